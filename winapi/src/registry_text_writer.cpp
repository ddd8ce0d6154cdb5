// The registry as REGEDIT4 text. It walks the tree itself, under the lock,
// once: each key costs the same however many siblings it has.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry_internal.h"
#include "winapi_control.h"

namespace winapi {
namespace registry {
namespace {

// The roots the file keeps, in the order it lists them.
const int kSavedRoots[] = {0, 1, 2, 3, 5};

void AppendQuoted(std::string* out, const char* text, size_t size) {
  *out += '"';
  for (size_t i = 0; i < size; ++i) {
    if (text[i] == '\\' || text[i] == '"') *out += '\\';
    *out += text[i];
  }
  *out += '"';
}

void AppendHexList(std::string* out, const std::vector<BYTE>& data) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < data.size(); ++i) {
    if (i) *out += ',';
    *out += kDigits[data[i] >> 4];
    *out += kDigits[data[i] & 15];
  }
}

void AppendHex32(std::string* out, DWORD value, int minimumDigits) {
  static const char kDigits[] = "0123456789abcdef";
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kDigits[value & 15];
    value >>= 4;
  } while (value || count < minimumDigits);
  while (count) *out += digits[--count];
}

// A REG_SZ is written as text when that text reads back as the same bytes:
// one terminating NUL, nothing before it that a line could not hold.
bool IsPlainText(const std::vector<BYTE>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

void AppendValue(std::string* out, const Value& value) {
  if (value.name.empty()) {
    *out += '@';
  } else {
    AppendQuoted(out, value.name.data(), value.name.size());
  }
  *out += '=';
  if (value.type == REG_SZ && IsPlainText(value.data)) {
    AppendQuoted(out, reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1);
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number;
    std::memcpy(&number, value.data.data(), 4);
    *out += "dword:";
    AppendHex32(out, number, 8);
  } else {
    if (value.type == REG_BINARY) {
      *out += "hex:";
    } else {
      *out += "hex(";
      AppendHex32(out, value.type, 1);
      *out += "):";
    }
    AppendHexList(out, value.data);
  }
  *out += "\r\n";
}

// The key's section, then its subkeys' in the order Windows lists them.
// `path` is the key's full name; it is extended for each subkey and put back.
void AppendKey(std::string* out, const Key& key, std::string* path) {
  *out += '[';
  *out += *path;
  *out += "]\r\n";
  for (const Value& value : key.values) AppendValue(out, value);
  *out += "\r\n";
  const size_t length = path->size();
  for (const auto& child : key.subkeys) {
    *path += '\\';
    *path += child.second->name;
    AppendKey(out, *child.second, path);
    path->resize(length);
  }
}

// A root has no section of its own unless it holds values.
void AppendRoot(std::string* out, int index) {
  const Key& root = *Root(index);
  std::string path = RootName(index);
  if (!root.values.empty()) {
    AppendKey(out, root, &path);
    return;
  }
  for (const auto& child : root.subkeys) {
    path.resize(std::strlen(RootName(index)));
    path += '\\';
    path += child.second->name;
    AppendKey(out, *child.second, &path);
  }
}

}  // namespace

LONG ExportText(const std::string& keyPath, std::string* text) {
  std::lock_guard<std::recursive_mutex> hold(Lock());
  *text = "REGEDIT4\r\n\r\n";
  if (keyPath.empty()) {
    for (int index : kSavedRoots) AppendRoot(text, index);
    return ERROR_SUCCESS;
  }
  const size_t slash = keyPath.find('\\');
  const std::string rootName = keyPath.substr(0, slash);
  for (int index : kSavedRoots) {
    if (!NamesEqual(rootName, RootName(index))) continue;
    if (slash == std::string::npos) {
      AppendRoot(text, index);
      return ERROR_SUCCESS;
    }
    Key* key = nullptr;
    const LONG status = FindKey(Root(index), keyPath.c_str() + slash + 1, &key);
    if (status != ERROR_SUCCESS) return status;
    // The section names the key as it was asked for.
    std::string path = keyPath;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    AppendKey(text, *key, &path);
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_NOT_FOUND;
}

}  // namespace registry
}  // namespace winapi

EXTERN_C LONG WinapiExportRegistry(LPCSTR key, LPSTR buffer, DWORD* size) {
  if (!size) return ERROR_INVALID_PARAMETER;
  std::string text;
  const LONG status = winapi::registry::ExportText(key ? key : "", &text);
  if (status != ERROR_SUCCESS) return status;
  const DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (!buffer || *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, text.c_str(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}
