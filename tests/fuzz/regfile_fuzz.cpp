// Fuzz target: any bytes as a .reg file. A file that loads must save, load
// again and save to the very same bytes; one that does not load must leave
// the registry as it was.
#include <windows.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "winapi_control.h"

namespace {

// In memory when the machine has a folder for that: every save is flushed to
// disk, which on a disk would be most of a run's time.
std::string Scratch(const char* name) {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/regfile_fuzz." + std::to_string(getpid()) + "." + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = Scratch("input.reg"), first = Scratch("first.reg"), second = Scratch("second.reg");
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  WinapiResetRegistry();
  DWORD line = 0;
  if (WinapiLoadRegistry(input.c_str(), &line) == ERROR_SUCCESS) {
    if (WinapiSaveRegistry(first.c_str()) != ERROR_SUCCESS) std::abort();
    WinapiResetRegistry();
    if (WinapiLoadRegistry(first.c_str(), &line) != ERROR_SUCCESS) std::abort();
    if (WinapiSaveRegistry(second.c_str()) != ERROR_SUCCESS) std::abort();
    if (ReadAll(first) != ReadAll(second)) std::abort();
  } else if (line == 0) {
    std::abort();  // a parse failure always names its line
  }
  return 0;
}
