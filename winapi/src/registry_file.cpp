// The registry as a REGEDIT4 text file. It goes through the registry's own
// functions, so what is saved is exactly what a program can read back.
#include <windows.h>

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "winapi_control.h"

namespace {

struct Root {
  const char* name;
  HKEY key;
};

const Root kRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

HKEY RootOf(const std::string& name) {
  for (const Root& root : kRoots) {
    if (lstrcmpiA(root.name, name.c_str()) == 0) return root.key;
  }
  return nullptr;
}

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (m_key) RegCloseKey(m_key);
  }
  HKEY* put() { return &m_key; }
  HKEY get() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};

// ---------------------------------------------------------------------------
// Writing

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string HexList(const BYTE* data, DWORD size) {
  std::string out;
  char byte[4];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof(byte), i ? ",%02x" : "%02x", data[i]);
    out += byte;
  }
  return out;
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

void WriteValue(std::string* out, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
  *out += name.empty() ? std::string("@") : Quoted(name);
  *out += '=';
  if (type == REG_SZ && IsPlainText(data)) {
    *out += Quoted(std::string(reinterpret_cast<const char*>(data.data()), data.size() - 1));
  } else if (type == REG_DWORD && data.size() == 4) {
    DWORD value;
    std::memcpy(&value, data.data(), 4);
    char text[16];
    std::snprintf(text, sizeof(text), "dword:%08x", value);
    *out += text;
  } else if (type == REG_BINARY) {
    *out += "hex:" + HexList(data.data(), static_cast<DWORD>(data.size()));
  } else {
    char prefix[24];
    std::snprintf(prefix, sizeof(prefix), "hex(%x):", type);
    *out += prefix + HexList(data.data(), static_cast<DWORD>(data.size()));
  }
  *out += "\r\n";
}

LONG WriteKey(std::string* out, HKEY key, const std::string& path) {
  *out += "[" + path + "]\r\n";
  DWORD subkeys = 0, values = 0, maxSubkey = 0, maxName = 0, maxData = 0;
  LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName,
                                 &maxData, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;
  for (DWORD i = 0; i < values; ++i) {
    std::vector<char> name(maxName + 2);
    std::vector<BYTE> data(maxData + 1);
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    status = RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
    if (status != ERROR_SUCCESS) return status;
    data.resize(dataSize);
    WriteValue(out, std::string(name.data(), nameLength), type, data);
  }
  *out += "\r\n";
  for (DWORD i = 0; i < subkeys; ++i) {
    std::vector<char> name(maxSubkey + 2);
    DWORD nameLength = static_cast<DWORD>(name.size());
    status = RegEnumKeyExA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    const std::string child(name.data(), nameLength);
    Key opened;
    status = RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, opened.put());
    if (status != ERROR_SUCCESS) return status;
    status = WriteKey(out, opened.get(), path + "\\" + child);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

// The registry below a root writes its subkeys; the root itself has no
// section unless it holds values.
LONG WriteRoot(std::string* out, const Root& root) {
  DWORD subkeys = 0, values = 0;
  LONG status = RegQueryInfoKeyA(root.key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;
  if (values) return WriteKey(out, root.key, root.name);
  for (DWORD i = 0; i < subkeys; ++i) {
    char name[256];
    DWORD length = sizeof(name);
    status = RegEnumKeyExA(root.key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    Key opened;
    status = RegOpenKeyExA(root.key, name, 0, KEY_READ, opened.put());
    if (status != ERROR_SUCCESS) return status;
    status = WriteKey(out, opened.get(), std::string(root.name) + "\\" + name);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

LONG Export(const std::string& keyPath, std::string* out) {
  *out = "REGEDIT4\r\n\r\n";
  if (keyPath.empty()) {
    for (const Root& root : kRoots) {
      const LONG status = WriteRoot(out, root);
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  }
  const size_t slash = keyPath.find('\\');
  HKEY root = RootOf(keyPath.substr(0, slash));
  if (!root) return ERROR_FILE_NOT_FOUND;
  if (slash == std::string::npos) {
    for (const Root& r : kRoots) {
      if (r.key == root) return WriteRoot(out, r);
    }
  }
  Key opened;
  const LONG status = RegOpenKeyExA(root, keyPath.substr(slash + 1).c_str(), 0, KEY_READ, opened.put());
  if (status != ERROR_SUCCESS) return status;
  std::string path = keyPath;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return WriteKey(out, opened.get(), path);
}

// ---------------------------------------------------------------------------
// Reading

struct Entry {
  std::string key;       // full path with its root name
  bool isValue = false;
  std::string name;      // empty: the default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Parser {
  std::vector<Entry> entries;
  DWORD line = 0;
  LONG status = ERROR_SUCCESS;

  bool Fail(LONG error) {
    status = error;
    return false;
  }

  // "text" with \\ and \" escapes; *at moves past the closing quote.
  static bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
    if (*at >= text.size() || text[*at] != '"') return false;
    out->clear();
    for (size_t i = *at + 1; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) {
        out->push_back(text[++i]);
      } else if (text[i] == '"') {
        *at = i + 1;
        return true;
      } else {
        out->push_back(text[i]);
      }
    }
    return false;
  }

  static bool ReadHex(const std::string& text, std::vector<BYTE>* out) {
    out->clear();
    size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i >= text.size()) break;
      unsigned value = 0;
      int digits = 0;
      for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) && digits < 3; ++i, ++digits) {
        const char c = text[i];
        value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
      }
      if (digits == 0 || digits > 2) return false;
      out->push_back(static_cast<BYTE>(value));
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i < text.size()) {
        if (text[i] != ',') return false;
        ++i;
        if (i >= text.size()) return false;
      }
    }
    return true;
  }

  bool Value(const std::string& key, const std::string& text) {
    Entry entry;
    entry.key = key;
    entry.isValue = true;
    size_t at = 0;
    if (text[0] == '@') {
      at = 1;
    } else if (!ReadQuoted(text, &at, &entry.name)) {
      return Fail(ERROR_REGISTRY_CORRUPT);
    }
    if (at >= text.size() || text[at] != '=') return Fail(ERROR_REGISTRY_CORRUPT);
    const std::string data = text.substr(at + 1);
    if (!data.empty() && data[0] == '"') {
      std::string value;
      size_t end = 0;
      if (!ReadQuoted(data, &end, &value) || end != data.size()) return Fail(ERROR_REGISTRY_CORRUPT);
      entry.type = REG_SZ;
      entry.data.assign(value.begin(), value.end());
      entry.data.push_back(0);
    } else if (data.compare(0, 6, "dword:") == 0) {
      const std::string digits = data.substr(6);
      if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return Fail(ERROR_REGISTRY_CORRUPT);
      }
      const DWORD value = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
      entry.type = REG_DWORD;
      entry.data.resize(4);
      std::memcpy(entry.data.data(), &value, 4);
    } else if (data.compare(0, 4, "hex:") == 0) {
      entry.type = REG_BINARY;
      if (!ReadHex(data.substr(4), &entry.data)) return Fail(ERROR_REGISTRY_CORRUPT);
    } else if (data.compare(0, 4, "hex(") == 0) {
      const size_t close = data.find("):");
      const std::string digits = close == std::string::npos ? std::string() : data.substr(4, close - 4);
      if (digits.empty() || digits.size() > 8 ||
          digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return Fail(ERROR_REGISTRY_CORRUPT);
      }
      entry.type = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
      if (!ReadHex(data.substr(close + 2), &entry.data)) return Fail(ERROR_REGISTRY_CORRUPT);
    } else {
      return Fail(ERROR_REGISTRY_CORRUPT);
    }
    entries.push_back(std::move(entry));
    return true;
  }

  bool Section(const std::string& text, std::string* key) {
    if (text.size() < 3 || text.back() != ']') return Fail(ERROR_BADKEY);
    *key = text.substr(1, text.size() - 2);
    const size_t slash = key->find('\\');
    if (!RootOf(key->substr(0, slash))) return Fail(ERROR_BADKEY);
    if (slash != std::string::npos) {
      // Every level needs a name: no empty part, no leading or trailing backslash.
      const std::string rest = key->substr(slash + 1);
      if (rest.empty() || rest.front() == '\\' || rest.back() == '\\' || rest.find("\\\\") != std::string::npos) {
        return Fail(ERROR_BADKEY);
      }
    }
    Entry entry;
    entry.key = *key;
    entries.push_back(std::move(entry));
    return true;
  }

  bool Parse(std::istream& in) {
    std::string raw, key;
    bool header = false;
    while (std::getline(in, raw)) {
      ++line;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      // A registry text file holds no NUL: names could not carry one anyway.
      if (raw.find('\0') != std::string::npos) return Fail(ERROR_REGISTRY_CORRUPT);
      // A value's hex list may go on over lines that end with a backslash.
      while (!raw.empty() && raw.back() == '\\' && raw.find("hex") != std::string::npos) {
        std::string next;
        if (!std::getline(in, next)) return Fail(ERROR_REGISTRY_CORRUPT);
        ++line;
        if (!next.empty() && next.back() == '\r') next.pop_back();
        raw.pop_back();
        raw += next.substr(next.find_first_not_of(" \t") == std::string::npos ? next.size()
                                                                               : next.find_first_not_of(" \t"));
      }
      if (!header) {
        if (raw != "REGEDIT4") return Fail(ERROR_BADKEY);
        header = true;
        continue;
      }
      if (raw.empty() || raw[0] == ';') continue;
      if (raw[0] == '[') {
        if (!Section(raw, &key)) return false;
      } else if (raw[0] == '@' || raw[0] == '"') {
        if (key.empty()) return Fail(ERROR_REGISTRY_CORRUPT);
        if (!Value(key, raw)) return false;
      } else {
        return Fail(ERROR_REGISTRY_CORRUPT);
      }
    }
    if (!header) {
      line = 1;
      return Fail(ERROR_BADKEY);
    }
    return true;
  }
};

LONG Apply(const std::vector<Entry>& entries) {
  WinapiResetRegistry();
  for (const Entry& entry : entries) {
    const size_t slash = entry.key.find('\\');
    HKEY root = RootOf(entry.key.substr(0, slash));
    Key key;
    LONG status;
    if (slash == std::string::npos) {
      status = RegOpenKeyExA(root, nullptr, 0, KEY_READ | KEY_WRITE, key.put());
    } else {
      status = RegCreateKeyExA(root, entry.key.substr(slash + 1).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                               nullptr, key.put(), nullptr);
    }
    if (status != ERROR_SUCCESS) return status;
    if (!entry.isValue) continue;
    status = RegSetValueExA(key.get(), entry.name.empty() ? nullptr : entry.name.c_str(), 0, entry.type,
                            entry.data.data(), static_cast<DWORD>(entry.data.size()));
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace

EXTERN_C LONG WinapiLoadRegistry(LPCSTR path, DWORD* errorLine) {
  if (errorLine) *errorLine = 0;
  if (!path) return ERROR_INVALID_PARAMETER;
  std::ifstream file(path, std::ios::binary);
  if (!file) return ERROR_FILE_NOT_FOUND;
  Parser parser;
  if (!parser.Parse(file)) {
    if (errorLine) *errorLine = parser.line;
    return parser.status;
  }
  return Apply(parser.entries);
}

EXTERN_C LONG WinapiSaveRegistry(LPCSTR path) {
  if (!path) return ERROR_INVALID_PARAMETER;
  std::string text;
  const LONG status = Export(std::string(), &text);
  if (status != ERROR_SUCCESS) return status;
  const std::string beside = std::string(path) + ".new." + std::to_string(getpid());
  const int fd = open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return ERROR_WRITE_FAULT;
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool ok = written == text.size() && fsync(fd) == 0;
  close(fd);
  if (!ok || rename(beside.c_str(), path) != 0) {
    unlink(beside.c_str());
    return ERROR_WRITE_FAULT;
  }
  return ERROR_SUCCESS;
}

EXTERN_C LONG WinapiExportRegistry(LPCSTR key, LPSTR buffer, DWORD* size) {
  if (!size) return ERROR_INVALID_PARAMETER;
  std::string text;
  const LONG status = Export(key ? key : "", &text);
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
