// Reads the registry back through its public functions as text, one line per
// key and per value, so tests can state the registry they expect as a table.
//
//   Software\Foo               a key, relative to the root dumped
//     @=S:text                 the default value, REG_SZ "text" with its NUL
//     n=D:5                    REG_DWORD 5
//     m=M:6100620000           REG_MULTI_SZ bytes in hex, exactly as stored
//     b=B:0aff                 REG_BINARY bytes in hex
//     x=T7:610062              any other type or shape: type number, hex bytes
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

inline std::string HexBytes(const std::vector<BYTE>& data) {
  std::string out;
  char two[3];
  for (BYTE b : data) {
    std::snprintf(two, sizeof(two), "%02x", b);
    out += two;
  }
  return out;
}

inline std::string DescribeValue(DWORD type, const std::vector<BYTE>& data) {
  const std::string text(data.begin(), data.end());
  if (type == REG_SZ && !data.empty() && text.find('\0') == data.size() - 1) {
    return "S:" + text.substr(0, data.size() - 1);
  }
  if (type == REG_DWORD && data.size() == 4) {
    const DWORD v = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
    return "D:" + std::to_string(v);
  }
  if (type == REG_MULTI_SZ) return "M:" + HexBytes(data);
  if (type == REG_BINARY) return "B:" + HexBytes(data);
  return "T" + std::to_string(type) + ":" + HexBytes(data);
}

inline void DumpKey(HKEY key, const std::string& path, std::string* out) {
  if (!path.empty()) *out += path + "\n";
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD nameSize = sizeof(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size);
    nameSize = sizeof(name);
    RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.empty() ? nullptr : data.data(), &size);
    *out += "  " + std::string(nameSize ? name : "@") + "=" + DescribeValue(type, data) + "\n";
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameSize = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    DumpKey(child, path.empty() ? std::string(name) : path + "\\" + name, out);
    RegCloseKey(child);
  }
}

// The whole tree below root (the root's own values included, without a line
// for the root itself).
inline std::string DumpRegistry(HKEY root) {
  std::string out;
  DumpKey(root, "", &out);
  return out;
}

}  // namespace testing_support
