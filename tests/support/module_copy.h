// A copy of the built module (env DAYBANDER_MODULE) in a folder of a given
// name under a temporary folder of its own, removed with it again: a library
// installed where its path has letters the ANSI code page may lack.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "ansi_code_page.h"

class ModuleCopy {
 public:
  explicit ModuleCopy(const std::u16string& folderName) {
    namespace fs = std::filesystem;
    m_root = fs::temp_directory_path() / ("daybander-copy-" + std::to_string(GetCurrentProcessId()));
    const fs::path folder = m_root / InCodePage(CP_UTF8, folderName);
    fs::create_directories(folder);
    const char* built = std::getenv("DAYBANDER_MODULE");
    fs::copy_file(built ? built : "", folder / "daybander.so", fs::copy_options::overwrite_existing);
    path = FromCodePage(CP_UTF8, fs::canonical(folder / "daybander.so").string());
  }
  ~ModuleCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
  }
  ModuleCopy(const ModuleCopy&) = delete;
  ModuleCopy& operator=(const ModuleCopy&) = delete;

  // The temporary folder, for other files of the test.
  std::string root() const { return m_root.string(); }

  std::u16string path;  // the copy's full path

 private:
  std::filesystem::path m_root;
};
