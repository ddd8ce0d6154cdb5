// The DLL under test as bytes, and copies of it with a few bytes changed.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_image.h"

namespace pe_test {

inline std::vector<BYTE> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<BYTE>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A PE file the Windows build made (DAYBANDER_DLL, PE_PROBE_DLL).
inline std::vector<BYTE> BuiltFile(const char* path) {
  std::vector<BYTE> bytes = ReadFile(path);
  EXPECT_FALSE(bytes.empty()) << "no " << path << ": build the Windows DLL first (scripts/test.sh does)";
  return bytes;
}

// A file named `name` holding `bytes`, in a folder of its own, both removed
// with the object.
class TemporaryFile {
 public:
  TemporaryFile(const std::vector<BYTE>& bytes, const std::string& name) {
    char folder[] = "/tmp/winapi-pe-XXXXXX";
    if (!mkdtemp(folder)) return;
    m_folder = folder;
    m_path = m_folder + "/" + name;
    std::ofstream(m_path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~TemporaryFile() {
    if (m_folder.empty()) return;
    unlink(m_path.c_str());
    rmdir(m_folder.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const char* path() const { return m_path.c_str(); }

 private:
  std::string m_folder;
  std::string m_path;
};

// daybander.dll with its first imported function renamed (its last letter
// made "!"), as no DLL exports it; `missing` names it as DLL!function.
struct DllWithAMissingImport {
  DllWithAMissingImport() : bytes(BuiltFile(DAYBANDER_DLL)) {
    winapi::pe::Image image;
    if (winapi::pe::ReadImage(bytes.data(), bytes.size(), winapi::pe::kEverything, &image) != ERROR_SUCCESS ||
        image.imports.empty() || image.imports[0].functions.empty()) {
      ADD_FAILURE() << "daybander.dll imports nothing by name";
      return;
    }
    const std::string name = image.imports[0].functions[0].name + '\0';
    for (size_t at = 0; at + name.size() <= bytes.size(); ++at) {
      if (std::equal(name.begin(), name.end(), bytes.begin() + static_cast<long>(at))) bytes[at + name.size() - 2] = '!';
    }
    missing = image.imports[0].name + "!" + name.substr(0, name.size() - 2) + "!";
  }
  std::vector<BYTE> bytes;
  std::string missing;
};

}  // namespace pe_test
