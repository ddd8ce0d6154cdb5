// Registry: an in-memory tree under the seven predefined roots, with the
// statuses, access checks and limits of the Windows registry.
//
// HKEY_CLASSES_ROOT is a root of its own here. On Windows it is a merged view
// of HKLM\Software\Classes and HKCU\Software\Classes; nothing in this project
// reads classes through the other two paths, so the merge is left out.
#include <windows.h>

#include <cstring>
#include <unordered_map>

#include "loader_lock.h"
#include "registry_internal.h"
#include "winapi_control.h"

namespace winapi {
namespace registry {

namespace {

int FoldUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

const char* const kRootNames[kRootCount] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

struct Tree {
  std::recursive_mutex lock;
  std::shared_ptr<Key> roots[kRootCount];
  ULONGLONG changes = 0;
  Tree() {
    for (int i = 0; i < kRootCount; ++i) {
      roots[i] = std::make_shared<Key>();
      roots[i]->name = kRootNames[i];
    }
  }
};

Tree& TheTree() {
  static Tree* tree = new Tree();  // never destroyed: handles may outlive static destruction
  return *tree;
}

void MarkDeleted(Key* key) {
  for (auto& child : key->subkeys) MarkDeleted(child.second.get());
  key->subkeys.clear();
  key->ClearValues();
  key->deleted = true;
  key->parent = nullptr;
}

std::string Folded(const char* name) {
  std::string folded(name ? name : "");
  for (char& c : folded) c = static_cast<char>(FoldUpper(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

bool NameLess::operator()(const std::string& a, const std::string& b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int ca = FoldUpper(static_cast<unsigned char>(a[i]));
    const int cb = FoldUpper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool NamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldUpper(static_cast<unsigned char>(a[i])) != FoldUpper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

Value* Key::FindValue(const char* name) {
  const auto found = m_valueIndex.find(Folded(name));
  return found == m_valueIndex.end() ? nullptr : &values[found->second];
}

bool Key::SetValue(const std::string& name, DWORD type, std::vector<BYTE> data) {
  const auto slot = m_valueIndex.emplace(Folded(name.c_str()), values.size());
  if (slot.second) {
    values.push_back(Value{name, type, std::move(data)});
    return true;
  }
  Value& existing = values[slot.first->second];
  if (existing.type == type && existing.data == data) return false;
  existing.type = type;
  existing.data = std::move(data);
  return true;
}

void Key::EraseValue(const Value* value) {
  const size_t index = static_cast<size_t>(value - values.data());
  m_valueIndex.erase(Folded(value->name.c_str()));
  values.erase(values.begin() + static_cast<std::ptrdiff_t>(index));
  for (auto& slot : m_valueIndex) {
    if (slot.second > index) --slot.second;
  }
}

void Key::ClearValues() {
  values.clear();
  m_valueIndex.clear();
}

bool RootKeepsData(int index) { return index != 4 && index != 6; }

bool IsStorableName(const std::string& name) { return name.find('\n') == std::string::npos; }

// Every registry function takes the lock first: the one place to see a
// registry call made under the loader lock, where Windows forbids it.
std::recursive_mutex& Lock() {
  CheckNotUnderLoaderLock("registry");
  return TheTree().lock;
}
Key* Root(int index) { return TheTree().roots[index].get(); }
const char* RootName(int index) { return kRootNames[index]; }

void NoteChange() { ++TheTree().changes; }
ULONGLONG ChangeCount() { return TheTree().changes; }

void Clear() {
  for (auto& root : TheTree().roots) {
    for (auto& child : root->subkeys) MarkDeleted(child.second.get());
    root->subkeys.clear();
    root->ClearValues();
    root->refusesWrites = false;
  }
  NoteChange();
}

Forest::Forest() {
  for (int i = 0; i < kRootCount; ++i) {
    roots[i].reset(new Key());
    roots[i]->name = kRootNames[i];
  }
}

void ReplaceAll(Forest* forest) {
  Clear();
  for (int i = 0; i < kRootCount; ++i) {
    Key* root = Root(i);
    Key* staged = forest->roots[i].get();
    root->subkeys = std::move(staged->subkeys);
    for (auto& child : root->subkeys) child.second->parent = root;
    for (Value& value : staged->values) root->SetValue(value.name, value.type, std::move(value.data));
    staged->subkeys.clear();
    staged->ClearValues();
  }
}

Key* AddSubkey(Key* parent, const std::string& name) {
  auto found = parent->subkeys.find(name);
  if (found != parent->subkeys.end()) return found->second.get();
  if (name.empty() || name.size() > kMaxKeyNameLength || name.find('\\') != std::string::npos ||
      !IsStorableName(name) || parent->depth >= kMaxDepth) {
    return nullptr;
  }
  auto key = std::make_shared<Key>();
  key->name = name;
  key->parent = parent;
  key->depth = parent->depth + 1;
  key->isVolatile = parent->isVolatile;
  Key* raw = key.get();
  parent->subkeys.emplace_hint(found, name, std::move(key));
  NoteChange();
  return raw;
}

}  // namespace registry
}  // namespace winapi

using winapi::registry::Key;
using winapi::registry::Value;
namespace reg = winapi::registry;

namespace {

// What an open handle refers to, with the access it was opened with.
struct OpenKey {
  std::shared_ptr<Key> key;
  REGSAM access = 0;
};

std::unordered_map<ULONG_PTR, OpenKey> g_handles;
ULONG_PTR g_nextHandle = 0x10000;

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

// The root index of a predefined key, or -1. Both the sign-extended form of the
// SDK's macros and a zero-extended 32-bit value are accepted (on i386 the two
// are one).
int PredefinedIndex(HKEY hkey) {
  const uint64_t value = reinterpret_cast<ULONG_PTR>(hkey);
  const ULONG_PTR high = value >> 32;
  if (high != 0 && high != 0xFFFFFFFFu) return -1;
  const DWORD low = static_cast<DWORD>(value & 0xFFFFFFFFu);
  if (low < 0x80000000u || low >= 0x80000000u + reg::kRootCount) return -1;
  return static_cast<int>(low - 0x80000000u);
}

// HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA take no keys or values: the
// write functions do not accept them, as on Windows. Nothing can be created
// below them, so the roots themselves are all there is to check.
bool RefusesAllWrites(const Key* key) {
  for (int i = 0; i < reg::kRootCount; ++i) {
    if (!reg::RootKeepsData(i) && key == reg::Root(i)) return true;
  }
  return false;
}

std::shared_ptr<Key> RootShared(int index) {
  // Roots are held by the tree; hand out a non-owning alias of the same key.
  return std::shared_ptr<Key>(std::shared_ptr<Key>(), reg::Root(index));
}

// Finds the key behind a handle. Roots carry every right they do not refuse.
LONG Resolve(HKEY hkey, std::shared_ptr<Key>* key, REGSAM* access) {
  const int root = PredefinedIndex(hkey);
  if (root >= 0) {
    *key = RootShared(root);
    *access = (*key)->refusesWrites ? KEY_READ : KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  auto found = g_handles.find(reinterpret_cast<ULONG_PTR>(hkey));
  if (found == g_handles.end()) return ERROR_INVALID_HANDLE;
  if (found->second.key->deleted) return ERROR_KEY_DELETED;
  *key = found->second.key;
  *access = found->second.access;
  return ERROR_SUCCESS;
}

// Splits a subkey path into its names. A leading backslash or an empty name
// between two backslashes is a bad path; one trailing backslash is allowed.
LONG SplitPath(const char* path, std::vector<std::string>* parts) {
  parts->clear();
  if (!path || !*path) return ERROR_SUCCESS;
  if (*path == '\\') return ERROR_BAD_PATHNAME;
  const char* start = path;
  for (const char* p = path;; ++p) {
    if (*p == '\\' || *p == '\0') {
      const size_t length = static_cast<size_t>(p - start);
      if (length == 0) {
        if (*p == '\0') break;  // the trailing backslash
        return ERROR_BAD_PATHNAME;
      }
      if (length > reg::kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
      parts->emplace_back(start, length);
      if (*p == '\0') break;
      start = p + 1;
    }
  }
  return ERROR_SUCCESS;
}

std::shared_ptr<Key> ChildOf(Key* parent, const std::string& name) {
  auto found = parent->subkeys.find(name);
  return found == parent->subkeys.end() ? nullptr : found->second;
}

// Follows parts from base; on success *key is the last one.
LONG Walk(const std::shared_ptr<Key>& base, const std::vector<std::string>& parts, std::shared_ptr<Key>* key) {
  std::shared_ptr<Key> at = base;
  for (const std::string& part : parts) {
    at = ChildOf(at.get(), part);
    if (!at) return ERROR_FILE_NOT_FOUND;
  }
  *key = at;
  return ERROR_SUCCESS;
}

}  // namespace

LONG reg::FindKey(Key* base, const char* path, Key** found) {
  std::vector<std::string> parts;
  const LONG status = SplitPath(path, &parts);
  if (status != ERROR_SUCCESS) return status;
  for (const std::string& part : parts) {
    auto child = base->subkeys.find(part);
    if (child == base->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    base = child->second.get();
  }
  *found = base;
  return ERROR_SUCCESS;
}

namespace {

REGSAM Normalise(REGSAM sam) { return sam & ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY); }

// Opens a handle on key with the rights asked for, or refuses them.
LONG HandOut(const std::shared_ptr<Key>& key, REGSAM sam, PHKEY result) {
  sam = Normalise(sam);
  if (sam & MAXIMUM_ALLOWED) sam = key->refusesWrites ? KEY_READ : KEY_ALL_ACCESS;
  if (key->refusesWrites && (sam & kWriteRights)) return ERROR_ACCESS_DENIED;
  const ULONG_PTR id = g_nextHandle;
  g_nextHandle += 4;
  g_handles[id] = OpenKey{key, sam};
  WinapiCountObject(WinapiKeys, 1);
  *result = reinterpret_cast<HKEY>(id);
  return ERROR_SUCCESS;
}

void CopyName(const std::string& name, LPSTR out) {
  std::memcpy(out, name.c_str(), name.size() + 1);
}

}  // namespace

EXTERN_C LONG WINAPI RegCloseKey(HKEY hKey) {
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  if (PredefinedIndex(hKey) >= 0) return ERROR_SUCCESS;
  auto found = g_handles.find(reinterpret_cast<ULONG_PTR>(hKey));
  if (found == g_handles.end()) return ERROR_INVALID_HANDLE;
  g_handles.erase(found);
  WinapiCountObject(WinapiKeys, -1);
  return ERROR_SUCCESS;
}

EXTERN_C LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> base;
  REGSAM baseAccess;
  LONG status = Resolve(hKey, &base, &baseAccess);
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> parts;
  status = SplitPath(lpSubKey, &parts);
  if (status != ERROR_SUCCESS) return status;
  std::shared_ptr<Key> key;
  status = Walk(base, parts, &key);
  if (status != ERROR_SUCCESS) return status;
  return HandOut(key, samDesired, phkResult);
}

EXTERN_C LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                                     LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  if (dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> base;
  REGSAM baseAccess;
  LONG status = Resolve(hKey, &base, &baseAccess);
  if (status != ERROR_SUCCESS) return status;
  if (RefusesAllWrites(base.get())) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  status = SplitPath(lpSubKey, &parts);
  if (status != ERROR_SUCCESS) return status;

  // Find how far the path exists, then check everything before creating the rest.
  std::shared_ptr<Key> at = base;
  size_t existing = 0;
  for (; existing < parts.size(); ++existing) {
    std::shared_ptr<Key> next = ChildOf(at.get(), parts[existing]);
    if (!next) break;
    at = next;
  }
  if (existing == parts.size()) {
    status = HandOut(at, samDesired, phkResult);
    if (status == ERROR_SUCCESS && lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
    return status;
  }
  const size_t adding = parts.size() - existing;
  if (adding > static_cast<size_t>(reg::kMaxLevelsPerCall) ||
      at->depth + static_cast<int>(adding) > reg::kMaxDepth) {
    return ERROR_INVALID_PARAMETER;
  }
  for (size_t i = existing; i < parts.size(); ++i) {
    if (!reg::IsStorableName(parts[i])) return ERROR_INVALID_PARAMETER;
  }
  if (at->refusesWrites || (at == base && !(baseAccess & KEY_CREATE_SUB_KEY))) return ERROR_ACCESS_DENIED;
  const bool isVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
  if (at->isVolatile && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
  for (size_t i = existing; i < parts.size(); ++i) {
    Key* created = reg::AddSubkey(at.get(), parts[i]);
    if (!created) return ERROR_INVALID_PARAMETER;
    created->isVolatile = isVolatile;
    at = ChildOf(at.get(), parts[i]);
  }
  status = HandOut(at, samDesired, phkResult);
  if (status == ERROR_SUCCESS && lpdwDisposition) *lpdwDisposition = REG_CREATED_NEW_KEY;
  return status;
}

EXTERN_C LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> base;
  REGSAM baseAccess;
  LONG status = Resolve(hKey, &base, &baseAccess);
  if (status != ERROR_SUCCESS) return status;
  if (RefusesAllWrites(base.get())) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  status = SplitPath(lpSubKey, &parts);
  if (status != ERROR_SUCCESS) return status;
  std::shared_ptr<Key> key;
  status = Walk(base, parts, &key);
  if (status != ERROR_SUCCESS) return status;
  if (!key->parent || key->refusesWrites || !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
  Key* parent = key->parent;
  key->deleted = true;
  key->parent = nullptr;
  key->ClearValues();
  parent->subkeys.erase(key->name);
  reg::NoteChange();
  return ERROR_SUCCESS;
}

EXTERN_C LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                                    DWORD cbData) {
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> key;
  REGSAM access;
  LONG status = Resolve(hKey, &key, &access);
  if (status != ERROR_SUCCESS) return status;
  if (RefusesAllWrites(key.get())) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  const std::string name(lpValueName ? lpValueName : "");
  if (name.size() > reg::kMaxValueNameLength || !reg::IsStorableName(name)) return ERROR_INVALID_PARAMETER;
  if (!lpData && cbData) return ERROR_NOACCESS;
  if (key->SetValue(name, dwType, std::vector<BYTE>(lpData, lpData + cbData))) reg::NoteChange();
  return ERROR_SUCCESS;
}

EXTERN_C LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                      LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> key;
  REGSAM access;
  LONG status = Resolve(hKey, &key, &access);
  if (status != ERROR_SUCCESS) return status;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const Value* value = key->FindValue(lpValueName);
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = value->type;
  if (!lpcbData) return ERROR_SUCCESS;
  const DWORD size = static_cast<DWORD>(value->data.size());
  if (lpData && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (lpData && size) std::memcpy(lpData, value->data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

EXTERN_C LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> key;
  REGSAM access;
  LONG status = Resolve(hKey, &key, &access);
  if (status != ERROR_SUCCESS) return status;
  if (RefusesAllWrites(key.get())) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  const LONG refused = reg::TakeValueDeletionFailure();
  if (refused != ERROR_SUCCESS) return refused;
  const Value* value = key->FindValue(lpValueName);
  if (!value) return ERROR_FILE_NOT_FOUND;
  key->EraseValue(value);
  reg::NoteChange();
  return ERROR_SUCCESS;
}

EXTERN_C LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                   LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> key;
  REGSAM access;
  LONG status = Resolve(hKey, &key, &access);
  if (status != ERROR_SUCCESS) return status;
  if (!(access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto it = key->subkeys.begin();
  std::advance(it, dwIndex);
  const std::string& name = it->second->name;
  if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
  CopyName(name, lpName);
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass && lpcchClass && *lpcchClass > 0) *lpClass = '\0';
  if (lpcchClass) *lpcchClass = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

EXTERN_C LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> key;
  REGSAM access;
  LONG status = Resolve(hKey, &key, &access);
  if (status != ERROR_SUCCESS) return status;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& value = key->values[dwIndex];
  if (value.name.size() >= *lpcchValueName) return ERROR_MORE_DATA;
  CopyName(value.name, lpValueName);
  *lpcchValueName = static_cast<DWORD>(value.name.size());
  if (lpType) *lpType = value.type;
  if (!lpcbData) return ERROR_SUCCESS;
  const DWORD size = static_cast<DWORD>(value.data.size());
  if (lpData && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (lpData && size) std::memcpy(lpData, value.data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

EXTERN_C LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                      LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                      LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  std::shared_ptr<Key> key;
  REGSAM access;
  LONG status = Resolve(hKey, &key, &access);
  if (status != ERROR_SUCCESS) return status;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  DWORD maxSubkey = 0, maxName = 0, maxData = 0;
  for (const auto& child : key->subkeys) {
    if (child.second->name.size() > maxSubkey) maxSubkey = static_cast<DWORD>(child.second->name.size());
  }
  for (const Value& v : key->values) {
    if (v.name.size() > maxName) maxName = static_cast<DWORD>(v.name.size());
    if (v.data.size() > maxData) maxData = static_cast<DWORD>(v.data.size());
  }
  if (lpClass && *lpcchClass > 0) *lpClass = '\0';
  if (lpcchClass) *lpcchClass = 0;
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubkey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Control

EXTERN_C void WinapiResetRegistry(void) {
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  reg::Clear();
}

EXTERN_C ULONGLONG WinapiRegistryChangeCount(void) {
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  return reg::ChangeCount();
}

EXTERN_C LONG WinapiSetKeyRefusesWrites(HKEY root, LPCSTR path, BOOL refuse) {
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  const int index = PredefinedIndex(root);
  if (index < 0) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  LONG status = SplitPath(path, &parts);
  if (status != ERROR_SUCCESS) return status;
  std::shared_ptr<Key> key;
  status = Walk(RootShared(index), parts, &key);
  if (status != ERROR_SUCCESS) return status;
  key->refusesWrites = refuse != FALSE;
  return ERROR_SUCCESS;
}
