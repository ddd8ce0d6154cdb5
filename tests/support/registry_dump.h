// The registry below a root as sorted lines of text, for tests that compare
// what a registration left with a table:
//   "HKCR\Key\Sub @ = 'text'"        the key's default value (REG_SZ)
//   "HKCR\Key\Sub Name = 'text'"     a named value
//   "HKCR\Key\Sub"                   a key with neither values nor subkeys
// Other value types show as "<type N, M bytes>".
#pragma once

#include <windows.h>

#include <set>
#include <string>

inline void DumpKey(HKEY key, const std::string& path, std::set<std::string>* lines) {
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS) {
    lines->insert(path + " <unreadable>");
    return;
  }
  if (subkeys == 0 && values == 0) lines->insert(path);
  for (DWORD i = 0; i < values; ++i) {
    char name[16384];
    DWORD nameLength = sizeof(name);
    BYTE data[4096];
    DWORD dataSize = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) continue;
    std::string text;
    if (type == REG_SZ) {
      text.assign(reinterpret_cast<const char*>(data), dataSize);
      while (!text.empty() && text.back() == '\0') text.pop_back();
      text = "'" + text + "'";
    } else {
      text = "<type " + std::to_string(type) + ", " + std::to_string(dataSize) + " bytes>";
    }
    lines->insert(path + " " + (nameLength ? std::string(name, nameLength) : std::string("@")) + " = " + text);
  }
  for (DWORD i = 0; i < subkeys; ++i) {
    char name[256];
    DWORD nameLength = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    DumpKey(child, path + "\\" + name, lines);
    RegCloseKey(child);
  }
}

inline std::set<std::string> DumpRegistry(HKEY root, const std::string& rootName) {
  std::set<std::string> lines;
  DumpKey(root, rootName, &lines);
  return lines;
}
