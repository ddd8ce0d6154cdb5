// Registration of type libraries as Windows records it under
// HKEY_CLASSES_ROOT: TypeLib\{libid}\major.minor (hexadecimal) with the help
// string, FLAGS, HELPDIR and lcid\platform holding the path, and
// Interface\{iid} for every interface that automation marshals.
// LoadRegTypeLib finds the path there.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "internal.h"

namespace {

std::string GuidText(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return winapi::ToAnsi(text);
}

struct RegistryKey {
  HKEY handle = nullptr;
  ~RegistryKey() {
    if (handle) RegCloseKey(handle);
  }
};

const char* PlatformName(SYSKIND kind) {
  switch (kind) {
    case SYS_WIN16: return "win16";
    case SYS_MAC: return "mac";
    case SYS_WIN64: return "win64";
    default: return "win32";
  }
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%x", value);
  return text;
}

std::string VersionKeyPath(REFGUID libid, WORD major, WORD minor) {
  return "TypeLib\\" + GuidText(libid) + "\\" + Hex(major) + "." + Hex(minor);
}

bool SetDefaultValue(const std::string& path, const std::string& value, const char* valueName = nullptr) {
  RegistryKey key;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key.handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExA(key.handle, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool ReadDefaultValue(HKEY root, const std::string& path, std::string* value) {
  RegistryKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key.handle) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.handle, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return false;
  }
  std::string text(size, '\0');
  if (RegQueryValueExA(key.handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  text.resize(std::strlen(text.c_str()));
  *value = text;
  return true;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  RegistryKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key.handle) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof(name);
    if (RegEnumKeyExA(key.handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

void DeleteTree(HKEY root, const std::string& path) {
  for (const std::string& child : SubkeyNames(root, path)) DeleteTree(root, path + "\\" + child);
  RegDeleteKeyA(root, path.c_str());
}

bool IsAutomationInterface(const TYPEATTR& t) {
  return t.typekind == TKIND_DISPATCH ||
         (t.typekind == TKIND_INTERFACE && (t.wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL)));
}

// Calls visit(info, attributes) for each automation interface of a library.
template <typename Visit>
bool ForEachAutomationInterface(ITypeLib* lib, Visit visit) {
  const UINT count = lib->GetTypeInfoCount();
  bool ok = true;
  for (UINT i = 0; ok && i < count; ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfo(i, &info))) continue;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
      if (IsAutomationInterface(*attr)) ok = visit(info, *attr);
      info->ReleaseTypeAttr(attr);
    }
    info->Release();
  }
  return ok;
}

// The registered path of a library: the version with the wanted major number
// and the highest minor number not below the wanted one; the locale as asked,
// then its primary language, then neutral; this platform, then 32-bit Windows.
bool FindRegisteredPath(REFGUID libid, WORD major, WORD minor, LCID lcid, std::string* path) {
  const std::string libKey = "TypeLib\\" + GuidText(libid);
  int bestMinor = -1;
  for (const std::string& name : SubkeyNames(HKEY_CLASSES_ROOT, libKey)) {
    unsigned keyMajor = 0, keyMinor = 0;
    char extra;
    if (std::sscanf(name.c_str(), "%x.%x%c", &keyMajor, &keyMinor, &extra) != 2) continue;
    if (keyMajor == major && keyMinor >= minor && static_cast<int>(keyMinor) > bestMinor) {
      bestMinor = static_cast<int>(keyMinor);
    }
  }
  if (bestMinor < 0) return false;
  const std::string versionKey = libKey + "\\" + Hex(major) + "." + Hex(static_cast<unsigned>(bestMinor));
  const LCID locales[] = {lcid, lcid & 0x3FF, 0};
  for (LCID locale : locales) {
    for (const char* platform : {sizeof(void*) == 8 ? "win64" : "win32", "win32"}) {
      if (ReadDefaultValue(HKEY_CLASSES_ROOT, versionKey + "\\" + Hex(locale) + "\\" + platform, path)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

STDAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid, BSTR* lpbstrPathName) {
  if (!lpbstrPathName) return E_INVALIDARG;
  *lpbstrPathName = nullptr;
  std::string path;
  if (!FindRegisteredPath(guid, wMaj, wMin, lcid, &path)) return TYPE_E_LIBNOTREGISTERED;
  *lpbstrPathName = SysAllocString(winapi::FromAnsi(path.c_str()).c_str());
  return *lpbstrPathName ? S_OK : E_OUTOFMEMORY;
}

STDAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
  if (!pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  std::string path;
  if (!FindRegisteredPath(rguid, wVerMajor, wVerMinor, lcid, &path)) return TYPE_E_LIBNOTREGISTERED;
  return LoadTypeLib(winapi::FromAnsi(path.c_str()).c_str(), pptlib);
}

STDAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (!ptlib || !szFullPath) return E_INVALIDARG;
  TLIBATTR* attr = nullptr;
  HRESULT hr = ptlib->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  const TLIBATTR lib = *attr;
  ptlib->ReleaseTLibAttr(attr);
  BSTR name = nullptr, doc = nullptr;
  hr = ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  if (FAILED(hr)) return hr;
  const std::string title = winapi::ToAnsi(doc && *doc ? doc : (name ? name : u""));
  SysFreeString(name);
  SysFreeString(doc);

  const std::string libid = GuidText(lib.guid);
  const std::string versionKey = VersionKeyPath(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum);
  const std::string helpDir = szHelpDir ? winapi::ToAnsi(szHelpDir) : std::string();
  // FLAGS is the LIBFLAG_* mask in hexadecimal, as Windows writes it.
  bool ok = SetDefaultValue(versionKey, title) && SetDefaultValue(versionKey + "\\FLAGS", Hex(lib.wLibFlags)) &&
            SetDefaultValue(versionKey + "\\HELPDIR", helpDir) &&
            SetDefaultValue(versionKey + "\\" + Hex(lib.lcid) + "\\" + PlatformName(lib.syskind),
                            winapi::ToAnsi(szFullPath));

  // Interfaces that automation marshals: dispatch interfaces through the
  // IDispatch proxy, dual and oleautomation ones through the type library's.
  const std::string version = Hex(lib.wMajorVerNum) + "." + Hex(lib.wMinorVerNum);
  ok = ok && ForEachAutomationInterface(ptlib, [&](ITypeInfo* info, const TYPEATTR& attr) {
    BSTR typeName = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr);
    const std::string key = "Interface\\" + GuidText(attr.guid);
    const bool dispatchOnly = attr.typekind == TKIND_DISPATCH && !(attr.wTypeFlags & TYPEFLAG_FDUAL);
    const char* proxy =
        dispatchOnly ? "{00020420-0000-0000-C000-000000000046}" : "{00020424-0000-0000-C000-000000000046}";
    const bool written = SetDefaultValue(key, winapi::ToAnsi(typeName ? typeName : u"")) &&
                         SetDefaultValue(key + "\\ProxyStubClsid", proxy) &&
                         SetDefaultValue(key + "\\ProxyStubClsid32", proxy) &&
                         SetDefaultValue(key + "\\TypeLib", libid) &&
                         SetDefaultValue(key + "\\TypeLib", version, "Version");
    SysFreeString(typeName);
    return written;
  });
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

STDAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
  const std::string libKey = "TypeLib\\" + GuidText(libID);
  const std::string versionKey = VersionKeyPath(libID, wVerMajor, wVerMinor);
  const std::string localeKey = versionKey + "\\" + Hex(lcid);
  const std::string platformKey = localeKey + "\\" + PlatformName(syskind);
  std::string path;
  if (!ReadDefaultValue(HKEY_CLASSES_ROOT, platformKey, &path)) return TYPE_E_REGISTRYACCESS;

  // The interfaces it recorded, where they still name this library.
  ITypeLib* lib = nullptr;
  if (SUCCEEDED(LoadTypeLib(winapi::FromAnsi(path.c_str()).c_str(), &lib))) {
    const std::string libid = GuidText(libID);
    ForEachAutomationInterface(lib, [&](ITypeInfo*, const TYPEATTR& attr) {
      const std::string key = "Interface\\" + GuidText(attr.guid);
      std::string owner;
      if (ReadDefaultValue(HKEY_CLASSES_ROOT, key + "\\TypeLib", &owner) &&
          lstrcmpiA(owner.c_str(), libid.c_str()) == 0) {
        DeleteTree(HKEY_CLASSES_ROOT, key);
      }
      return true;
    });
    lib->Release();
  }

  DeleteTree(HKEY_CLASSES_ROOT, platformKey);
  if (SubkeyNames(HKEY_CLASSES_ROOT, localeKey).empty()) RegDeleteKeyA(HKEY_CLASSES_ROOT, localeKey.c_str());
  // The version goes when no locale is left under it, only FLAGS and HELPDIR.
  bool localesLeft = false;
  for (const std::string& name : SubkeyNames(HKEY_CLASSES_ROOT, versionKey)) {
    if (lstrcmpiA(name.c_str(), "FLAGS") != 0 && lstrcmpiA(name.c_str(), "HELPDIR") != 0) localesLeft = true;
  }
  if (!localesLeft) DeleteTree(HKEY_CLASSES_ROOT, versionKey);
  if (SubkeyNames(HKEY_CLASSES_ROOT, libKey).empty()) RegDeleteKeyA(HKEY_CLASSES_ROOT, libKey.c_str());
  return S_OK;
}
