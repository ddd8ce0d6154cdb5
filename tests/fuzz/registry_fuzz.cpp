// Fuzz target: the registry driven through its functions (keys, values, types
// and bytes in names and data chosen by the input), then saved, loaded and
// saved again. The registry read back must be the one saved, and the second
// file the first one byte for byte: whatever the registry accepts, its file
// keeps.
#include <windows.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "winapi_control.h"

namespace {

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                       HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};
const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_NONE, REG_QWORD};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool more() const { return m_at < m_size; }
  uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
  std::string Bytes(size_t count) {
    const size_t n = count < m_size - m_at ? count : m_size - m_at;
    std::string out(reinterpret_cast<const char*>(m_data + m_at), n);
    m_at += n;
    return out;
  }
  // A name or path: a length byte, then that many bytes (a NUL ends it
  // early, as it would for any caller).
  std::string Text() { return Bytes(Byte() % 48); }
  HKEY Root() { return kRoots[Byte() % 7]; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
};

// Every key and value below `key`, read back through the registry's
// functions, one line each.
void Dump(HKEY key, const std::string& path, std::string* out) {
  std::vector<char> name(16384);
  std::vector<BYTE> data;
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size()), type = 0, size = 0;
    if (RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    data.assign(size, 0);
    nameSize = static_cast<DWORD>(name.size());
    if (RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) abort();
    *out += path + "|" + std::string(name.data(), nameSize) + "|" + std::to_string(type) + "|" +
            std::string(data.begin(), data.end()) + "\n";
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(key, i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::string child(name.data(), nameSize);
    HKEY opened = nullptr;
    if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) abort();
    *out += path + "\\" + child + "\n";
    Dump(opened, path + "\\" + child, out);
    RegCloseKey(opened);
  }
}

std::string DumpAll() {
  std::string out;
  for (HKEY root : kRoots) {
    Dump(root, "", &out);
    out += "--\n";
  }
  return out;
}

// In memory when the machine has a folder for that: every save is flushed to
// disk, which on a disk would be most of a run's time.
std::string Scratch(const char* name) {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/registry_fuzz." + std::to_string(getpid()) + "." + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Opens root\path for `sam`; the root itself for an empty path.
HKEY Open(HKEY root, const std::string& path, REGSAM sam) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, sam, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

void Apply(Input* in) {
  const uint8_t op = in->Byte() % 4;
  const HKEY root = in->Root();
  const std::string path = in->Text();
  if (op == 0) {
    HKEY key = nullptr;
    const DWORD options = in->Byte() & 1 ? REG_OPTION_VOLATILE : 0;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr) == 0) {
      RegCloseKey(key);
    }
  } else if (op == 3) {
    RegDeleteKeyA(root, path.c_str());
  } else {
    HKEY key = Open(root, path, KEY_SET_VALUE);
    const std::string name = in->Text();
    const char* valueName = in->Byte() & 1 ? name.c_str() : nullptr;
    if (key && op == 1) {
      const uint8_t pick = in->Byte();
      const DWORD type = pick < 240 ? kTypes[pick % 7] : pick;
      const std::string data = in->Bytes(in->Byte());
      RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
    } else if (key) {
      RegDeleteValueA(key, valueName);
    }
    if (key) RegCloseKey(key);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string first = Scratch("first.reg"), second = Scratch("second.reg");
  WinapiResetRegistry();
  Input in(data, size);
  while (in.more()) Apply(&in);
  const std::string before = DumpAll();
  if (WinapiSaveRegistry(first.c_str()) != ERROR_SUCCESS) abort();
  WinapiResetRegistry();
  DWORD line = 0;
  if (WinapiLoadRegistry(first.c_str(), &line) != ERROR_SUCCESS) {
    std::fprintf(stderr, "the saved registry does not load: line %u\n", static_cast<unsigned>(line));
    abort();
  }
  if (DumpAll() != before) abort();
  if (WinapiSaveRegistry(second.c_str()) != ERROR_SUCCESS || ReadAll(first) != ReadAll(second)) abort();
  if (WinapiLiveCount(WinapiKeys) != 0) abort();
  return 0;
}
