// The in-memory registry tree, shared by the registry functions and by the
// code that loads and saves it as a .reg file. Not part of the layer's API.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace winapi {
namespace registry {

// Orders names as Windows lists subkeys: byte by byte with ASCII letters
// folded to upper case, so "Beta" < "alpha_" is false and "_x" sorts after "Z".
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
bool NamesEqual(const std::string& a, const std::string& b);

struct Value {
  std::string name;  // empty: the key's default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::string name;  // as first created: case is kept, lookups ignore it
  Key* parent = nullptr;
  int depth = 0;  // 0 for a root
  std::map<std::string, std::shared_ptr<Key>, NameLess> subkeys;
  std::vector<Value> values;  // in the order they were first set
  bool deleted = false;
  bool refusesWrites = false;
  bool isVolatile = false;

  Value* FindValue(const char* name);
};

constexpr int kRootCount = 7;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr int kMaxDepth = 512;         // levels below a root
constexpr int kMaxLevelsPerCall = 32;  // levels a single create may add

// One lock for the whole tree; every function below expects it held.
std::recursive_mutex& Lock();
// Root i (0..6) is the predefined key 0x80000000 + i.
Key* Root(int index);
const char* RootName(int index);
// Empties the tree: every key below the roots is marked deleted.
void Clear();
// Creates (or finds) the subkey `name` of `parent`; nullptr when the name or
// the depth is beyond what Windows allows.
Key* AddSubkey(Key* parent, const std::string& name);
void SetValue(Key* key, const std::string& name, DWORD type, std::vector<BYTE> data);
// The status the next value deletion must fail with (WinapiFailNextValueDeletion),
// or ERROR_SUCCESS; taking it clears it.
LONG TakeValueDeletionFailure();

}  // namespace registry
}  // namespace winapi
