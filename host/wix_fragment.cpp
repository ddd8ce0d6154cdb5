// daybander wix: the registry entries of a library's self-registration as the
// rows of an installer. The library registers itself into an empty registry
// that lives only in this process (the registry file is never opened), so the
// installer writes exactly what DllRegisterServer writes, by construction.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "hresult_text.h"
#include "owners.h"
#include "text.h"
#include "winapi_control.h"

namespace host {
namespace {

// The installer's File id of the library: the rows name its installed path
// as [#daybander.dll].
const char kFileReference[] = "[#daybander.dll]";

struct RootKey {
  HKEY handle;
  const char* wixName;  // the Root attribute of the installer's elements
};
// The roots an installer's Registry table can write (HKCR goes to the
// machine's classes in a per-machine installation).
const RootKey kRoots[] = {{HKEY_CLASSES_ROOT, "HKCR"},
                          {HKEY_CURRENT_USER, "HKCU"},
                          {HKEY_LOCAL_MACHINE, "HKLM"},
                          {HKEY_USERS, "HKU"}};

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};

struct Key {
  const RootKey* root;
  std::string path;
  std::vector<Value> values;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string Identity(const Key& key) { return std::string(key.root->wixName) + "\\" + Lower(key.path); }

// Text in the ANSI code page, as the registry functions give it, in UTF-8.
std::string Utf8FromAnsi(const std::string& text) {
  if (text.empty()) return std::string();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return ToUtf8(wide);
}

// Every key below `key` (named `path`), depth first in the order the registry
// lists them, with its values.
bool ReadTree(HKEY key, const RootKey* root, const std::string& path, std::vector<Key>* keys, std::string* error) {
  DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    *error = "cannot read the key " + path;
    return false;
  }
  if (!path.empty()) {
    Key entry{root, path, {}};
    for (DWORD i = 0; i < values; ++i) {
      std::string name(maxName + 1, '\0');
      std::string data(maxData, '\0');
      DWORD nameLength = maxName + 1, size = maxData, type = REG_NONE;
      if (RegEnumValueA(key, i, &name[0], &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
          ERROR_SUCCESS) {
        *error = "cannot read the values of " + path;
        return false;
      }
      name.resize(nameLength);
      data.resize(size);
      entry.values.push_back(Value{name, type, data});
    }
    keys->push_back(std::move(entry));
  }
  for (DWORD i = 0; i < subkeys; ++i) {
    std::string name(maxSubkey + 1, '\0');
    DWORD length = maxSubkey + 1;
    if (RegEnumKeyExA(key, i, &name[0], &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      *error = "cannot list the subkeys of " + path;
      return false;
    }
    name.resize(length);
    daybander::unique_hkey child;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, child.put()) != ERROR_SUCCESS) {
      *error = "cannot open " + path + "\\" + name;
      return false;
    }
    if (!ReadTree(child.get(), root, path.empty() ? name : path + "\\" + name, keys, error)) return false;
  }
  return true;
}

bool ReadRegistry(std::vector<Key>* keys, std::string* error) {
  keys->clear();
  for (const RootKey& root : kRoots) {
    if (!ReadTree(root.handle, &root, std::string(), keys, error)) return false;
  }
  return true;
}

// Fails when the library wrote under a root that no installer row can name.
bool OnlyInstallerRoots(std::string* error) {
  for (HKEY other : {HKEY_CURRENT_CONFIG, HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA}) {
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyA(other, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    if (subkeys || values) {
      *error = "the library registered entries under a root an installer cannot write";
      return false;
    }
  }
  return true;
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
  return out;
}

// Text as the installer's Formatted type reads it: brackets escaped, and the
// library's path made the reference to its installed file. False with the
// reason when the text holds what no installer row can: a NUL, or the
// library's folder other than as part of its path.
bool InstallerText(const std::string& text, const std::string& modulePath, const std::string& folder,
                   std::string* formatted, std::string* error) {
  if (text.find('\0') != std::string::npos) {
    *error = "a NUL inside its text";
    return false;
  }
  formatted->clear();
  size_t at = 0;
  while (at <= text.size()) {
    const size_t next = modulePath.empty() ? std::string::npos : text.find(modulePath, at);
    const std::string piece = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
    if (!folder.empty() && piece.find(folder) != std::string::npos) {
      *error = "the library's folder, which the installer does not know";
      return false;
    }
    for (const char c : piece) {
      if (c == '[') {
        *formatted += "[\\[]";
      } else if (c == ']') {
        *formatted += "[\\]]";
      } else {
        *formatted += c;
      }
    }
    if (next == std::string::npos) break;
    *formatted += kFileReference;
    at = next + modulePath.size();
  }
  return true;
}

// Splits REG_SZ or REG_MULTI_SZ data at its NULs, dropping the terminators.
std::vector<std::string> StringItems(const std::string& data, bool multi) {
  std::string s = data;
  while (!s.empty() && s.back() == '\0') s.pop_back();
  if (!multi) return {s};
  std::vector<std::string> items;
  size_t at = 0;
  while (!s.empty()) {
    const size_t end = s.find('\0', at);
    items.push_back(s.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return items;
}

// One value as a RegistryValue element; false with the reason when the
// installer has no row for it.
bool WriteValue(const Value& value, const std::string& modulePath, const std::string& folder, std::string* out,
                std::string* error) {
  const std::string name = value.name.empty() ? std::string() : " Name=\"" + XmlEscaped(Utf8FromAnsi(value.name)) + "\"";
  const std::string where = "the value \"" + value.name + "\" holds ";
  std::string text;
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      if (!InstallerText(StringItems(value.data, false)[0], modulePath, folder, &text, error)) {
        *error = where + *error;
        return false;
      }
      *out += "    <RegistryValue" + name + " Type=\"" + (value.type == REG_SZ ? "string" : "expandable") +
              "\" Value=\"" + XmlEscaped(Utf8FromAnsi(text)) + "\"/>\n";
      return true;
    case REG_MULTI_SZ:
      *out += "    <RegistryValue" + name + " Type=\"multiString\">\n";
      for (const std::string& item : StringItems(value.data, true)) {
        if (!InstallerText(item, modulePath, folder, &text, error)) {
          *error = where + *error;
          return false;
        }
        *out += "      <MultiStringValue>" + XmlEscaped(Utf8FromAnsi(text)) + "</MultiStringValue>\n";
      }
      *out += "    </RegistryValue>\n";
      return true;
    case REG_DWORD:
      if (value.data.size() == sizeof(DWORD)) {
        DWORD n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value.data[i]);
        *out += "    <RegistryValue" + name + " Type=\"integer\" Value=\"" +
                std::to_string(static_cast<LONG>(n)) + "\"/>\n";
        return true;
      }
      break;
    case REG_BINARY: {
      static const char kHex[] = "0123456789ABCDEF";
      for (const unsigned char c : value.data) {
        text += kHex[c >> 4];
        text += kHex[c & 15];
      }
      *out += "    <RegistryValue" + name + " Type=\"binary\" Value=\"" + text + "\"/>\n";
      return true;
    }
    default:
      break;
  }
  *error = "the value \"" + value.name + "\" is of a type (" + std::to_string(value.type) +
           ") that no installer row holds";
  return false;
}

// Registers the library, notes what it wrote, unregisters it and notes what
// stayed: those keys are the ones the script must not remove (CLSID,
// SOFTWARE...), which exist on every Windows and which the installer must
// neither create as its own nor delete.
bool Register(const std::string& library, std::string* modulePath, std::vector<Key>* written,
              std::set<std::string>* stayed, std::string* error) {
  HMODULE module = LoadLibraryA(library.c_str());
  if (!module) {
    *error = "cannot load " + library + ": " + DescribeHresult(HRESULT_FROM_WIN32(GetLastError()));
    return false;
  }
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  modulePath->assign(path, length < MAX_PATH ? length : 0);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto registerServer = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  auto unregisterServer =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  bool ok = false;
  HRESULT hr = S_OK;
  std::vector<Key> left;
  if (modulePath->empty()) {
    *error = "cannot read the file name of " + library;
  } else if (!registerServer || !unregisterServer) {
    *error = library + " has no DllRegisterServer and DllUnregisterServer: it is not a self-registering library";
  } else if (FAILED(hr = registerServer())) {
    *error = "DllRegisterServer in " + library + " failed: " + DescribeHresult(hr);
  } else if (ReadRegistry(written, error) && OnlyInstallerRoots(error)) {
    if (FAILED(hr = unregisterServer())) {
      *error = "DllUnregisterServer in " + library + " failed: " + DescribeHresult(hr);
    } else if (ReadRegistry(&left, error)) {
      for (const Key& key : left) stayed->insert(Identity(key));
      ok = true;
    }
  }
  FreeLibrary(module);
  return ok;
}

}  // namespace

int RunWix(const Options& options) {
  if (options.arguments.size() > 1) return Fail("wix takes at most one library (see --help)", 2);
  const std::string library = options.arguments.empty() ? DefaultLibrary() : options.arguments[0];
  WinapiResetRegistry();
  std::string modulePath, error;
  std::vector<Key> written;
  std::set<std::string> stayed;
  if (!Register(library, &modulePath, &written, &stayed, &error)) return Fail(error);
  const size_t slash = modulePath.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : modulePath.substr(0, slash + 1);

  std::string out =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- The registry entries that registering the library writes, as installer\n"
      "     rows: made by \"daybander wix\" from the library itself; do not edit.\n"
      "     A key of the library's own is the row \"*\" (made on install, removed\n"
      "     with all below it on uninstall); keys that unregistering leaves, such\n"
      "     as CLSID, belong to Windows and appear only as the place of a value.\n"
      "     The library's path is its installed file, " + std::string(kFileReference) + ". -->\n"
      "<Include xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n";
  for (const Key& key : written) {
    const bool owned = stayed.count(Identity(key)) == 0;
    if (!owned && key.values.empty()) continue;
    out += "  <RegistryKey Root=\"" + std::string(key.root->wixName) + "\" Key=\"" +
           XmlEscaped(Utf8FromAnsi(key.path)) + "\">\n";
    if (owned) out += "    <RegistryValue Name=\"*\" Type=\"string\"/>\n";
    for (const Value& value : key.values) {
      if (!WriteValue(value, modulePath, folder, &out, &error)) return Fail(key.path + ": " + error);
    }
    out += "  </RegistryKey>\n";
  }
  out += "</Include>\n";
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    return Fail("cannot write the fragment");
  }
  return 0;
}

}  // namespace host
