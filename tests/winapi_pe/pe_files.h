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

namespace pe_test {

inline std::vector<BYTE> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<BYTE>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// daybander.dll as the Windows build made it.
inline std::vector<BYTE> DllBytes() {
  std::vector<BYTE> bytes = ReadFile(DAYBANDER_DLL);
  EXPECT_FALSE(bytes.empty()) << "no " DAYBANDER_DLL ": build the Windows DLL first (scripts/test.sh does)";
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

// daybander.dll with every NUL-terminated "VirtualQuery" renamed
// "VirtualQuerx": an import from KERNEL32.dll that no Windows has.
inline std::vector<BYTE> DllWithAMissingImport() {
  std::vector<BYTE> bytes = DllBytes();
  const std::string name("VirtualQuery", sizeof("VirtualQuery"));
  int renamed = 0;
  for (size_t at = 0; at + name.size() <= bytes.size(); ++at) {
    if (std::equal(name.begin(), name.end(), bytes.begin() + static_cast<long>(at))) {
      bytes[at + name.size() - 2] = 'x';
      ++renamed;
    }
  }
  EXPECT_GT(renamed, 0);
  return bytes;
}

}  // namespace pe_test
