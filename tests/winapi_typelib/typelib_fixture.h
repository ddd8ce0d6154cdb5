// Shared by the type library tests: paths of the built libraries, owners, and
// a fixture that starts every test from an empty registry and checks that
// type objects, descriptions, strings, keys and modules are back where they
// started.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "owners.h"
#include "winapi_control.h"

namespace typelib_test {

using daybander::com_ptr;
using daybander::unique_bstr;
using daybander::unique_variant;

inline std::u16string Wide(const std::string& text) {
  std::u16string out;
  for (unsigned char c : text) out.push_back(static_cast<char16_t>(c));
  return out;
}

inline std::string Narrow(const OLECHAR* text) {
  std::string out;
  for (; text && *text; ++text) out.push_back(static_cast<char>(*text));
  return out;
}

// The registry below a root as text, depth first in the order Windows lists
// subkeys: a line per key ("Key\\Sub"), then a line per string value
// ("  @=S:text" for the default one, "  Name=S:text").
inline void DumpKeyTo(HKEY key, const std::string& path, std::string* out) {
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof(name);
    BYTE data[1024];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string text(reinterpret_cast<const char*>(data), size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    *out += "  " + (nameLength ? std::string(name, nameLength) : std::string("@")) +
            (type == REG_SZ ? "=S:" : "=T" + std::to_string(type) + ":") + text + "\n";
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::string childPath = path.empty() ? std::string(name) : path + "\\" + name;
    *out += childPath + "\n";
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    DumpKeyTo(child, childPath, out);
    RegCloseKey(child);
  }
}

inline std::string DumpKeys(HKEY root) {
  std::string out;
  DumpKeyTo(root, std::string(), &out);
  return out;
}

inline std::string ModulePath() {
  const char* path = std::getenv("DAYBANDER_MODULE");
  return path ? path : "";
}

class TypeLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WinapiResetRegistry();
    for (int kind : kKinds) m_before[kind] = WinapiLiveCount(static_cast<WinapiObjectKind>(kind));
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    for (int kind : kKinds) {
      EXPECT_EQ(WinapiLiveCount(static_cast<WinapiObjectKind>(kind)), m_before[kind]) << "live objects of kind " << kind;
    }
    WinapiResetRegistry();
  }

  static HRESULT Load(const std::string& path, com_ptr<ITypeLib>* lib) {
    return LoadTypeLib(Wide(path).c_str(), lib->put());
  }
  static com_ptr<ITypeInfo> TypeOfGuid(ITypeLib* lib, REFGUID guid) {
    com_ptr<ITypeInfo> info;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(guid, info.put()), S_OK);
    return info;
  }

 private:
  static constexpr int kKinds[] = {WinapiTypeObjects, WinapiBstrs, WinapiKeys, WinapiModules};
  LONG m_before[WinapiObjectKindCount] = {};
};

// A TYPEATTR, FUNCDESC or VARDESC, handed back to its type information.
class TypeAttr {
 public:
  explicit TypeAttr(ITypeInfo* info) : m_info(info) { EXPECT_EQ(info->GetTypeAttr(&m_attr), S_OK); }
  ~TypeAttr() {
    if (m_attr) m_info->ReleaseTypeAttr(m_attr);
  }
  TypeAttr(const TypeAttr&) = delete;
  TypeAttr& operator=(const TypeAttr&) = delete;
  const TYPEATTR* operator->() const { return m_attr; }

 private:
  ITypeInfo* m_info;
  TYPEATTR* m_attr = nullptr;
};

class FuncDesc {
 public:
  FuncDesc(ITypeInfo* info, UINT index) : m_info(info) { EXPECT_EQ(info->GetFuncDesc(index, &m_desc), S_OK); }
  ~FuncDesc() {
    if (m_desc) m_info->ReleaseFuncDesc(m_desc);
  }
  FuncDesc(const FuncDesc&) = delete;
  FuncDesc& operator=(const FuncDesc&) = delete;
  const FUNCDESC* operator->() const { return m_desc; }
  const ELEMDESC& Param(int i) const { return m_desc->lprgelemdescParam[i]; }

 private:
  ITypeInfo* m_info;
  FUNCDESC* m_desc = nullptr;
};

}  // namespace typelib_test
