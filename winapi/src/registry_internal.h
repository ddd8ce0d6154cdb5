// The in-memory registry tree, shared by the registry functions and by the
// code that loads and saves it as a .reg file. Not part of the layer's API.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
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
  // Sets (or replaces, keeping its place) the value; false when it already
  // held exactly this type and data.
  bool SetValue(const std::string& name, DWORD type, std::vector<BYTE> data);
  void EraseValue(const Value* value);
  void ClearValues();

 private:
  // Upper-cased name -> index in `values`, so that a key with many values
  // is still set and read in constant time.
  std::unordered_map<std::string, size_t> m_valueIndex;
};

constexpr int kRootCount = 7;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr int kMaxDepth = 512;         // levels below a root
constexpr int kMaxLevelsPerCall = 32;  // levels a single create may add
// HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA: Windows keeps no keys or values
// of its own under them, and writes there fail.
bool RootKeepsData(int index);

// A name Windows accepts but the registry file could not hold: the file is
// line based, so no key or value name may contain a line feed.
bool IsStorableName(const std::string& name);

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
// Follows a subkey path ("A\\B", one trailing backslash allowed) from base:
// ERROR_SUCCESS with *found, or the status RegOpenKeyEx gives.
LONG FindKey(Key* base, const char* path, Key** found);

// Counts every change to what the registry holds (keys made or deleted,
// values set to something new or deleted, a reset, a load).
void NoteChange();
ULONGLONG ChangeCount();

// A registry built aside, with roots of its own, to replace the live one
// in one step once it is complete.
struct Forest {
  Forest();
  std::unique_ptr<Key> roots[kRootCount];
};
// Moves everything below the forest's roots into the live registry in place
// of what was there (old keys are marked deleted, as by Clear).
void ReplaceAll(Forest* forest);

// The registry, or the key `path` ("HKEY_...\\A\\B") and everything below
// it, as REGEDIT4 text. Holds the lock while it reads.
LONG ExportText(const std::string& path, std::string* text);

// Reads REGEDIT4 text into the forest, checking every limit of the live
// registry on the way. On failure *line is the 1-based line at fault and the
// forest is to be thrown away.
LONG ParseText(const char* text, size_t size, Forest* forest, DWORD* line);
// The status the next value deletion must fail with (WinapiFailNextValueDeletion),
// or ERROR_SUCCESS; taking it clears it.
LONG TakeValueDeletionFailure();

}  // namespace registry
}  // namespace winapi
