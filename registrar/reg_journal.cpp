// The register pass's journal: records, what it saves, and undoing a block.
#include "reg_journal.h"

#include "reg_object.h"

namespace {

void CopyBytes(void* to, const void* from, SIZE_T count) {
  BYTE* out = static_cast<BYTE*>(to);
  const BYTE* in = static_cast<const BYTE*>(from);
  for (SIZE_T i = 0; i < count; ++i) out[i] = in[i];
}

// A byte string built from the task allocator; once an append fails the
// builder stays failed.
class CSaveBuffer {
 public:
  CSaveBuffer() = default;
  CSaveBuffer(const CSaveBuffer&) = delete;
  CSaveBuffer& operator=(const CSaveBuffer&) = delete;
  ~CSaveBuffer() { CoTaskMemFree(m_data); }

  // Room for count more bytes, or null.
  BYTE* Extend(DWORD count) {
    if (m_failed) return nullptr;
    if (count > m_capacity - m_size) {
      DWORD capacity = m_capacity ? m_capacity : 256;
      while (count > capacity - m_size) {
        if (capacity > 0x3FFFFFFFu) {
          m_failed = true;
          return nullptr;
        }
        capacity *= 2;
      }
      BYTE* grown = static_cast<BYTE*>(CoTaskMemRealloc(m_data, capacity));
      if (!grown) {
        m_failed = true;
        return nullptr;
      }
      m_data = grown;
      m_capacity = capacity;
    }
    BYTE* at = m_data + m_size;
    m_size += count;
    return at;
  }
  void PutByte(BYTE b) {
    if (BYTE* at = Extend(1)) *at = b;
  }
  void PutDword(DWORD d) {
    if (BYTE* at = Extend(sizeof(d))) CopyBytes(at, &d, sizeof(d));
  }
  // The bytes and their NUL.
  void PutText(LPCSTR text, DWORD length) {
    if (BYTE* at = Extend(length + 1)) {
      CopyBytes(at, text, length);
      at[length] = 0;
    }
  }
  bool failed() const { return m_failed; }
  DWORD size() const { return m_size; }
  BYTE* Detach() {
    BYTE* data = m_data;
    m_data = nullptr;
    m_size = m_capacity = 0;
    return data;
  }

 private:
  BYTE* m_data = nullptr;
  DWORD m_size = 0;
  DWORD m_capacity = 0;
  bool m_failed = false;
};

// A saved tree, depth first: 'K' name NUL, then its values ('V' name NUL,
// type, size, data), then its subkeys, then 'E'.
constexpr BYTE kKeyMark = 'K';
constexpr BYTE kValueMark = 'V';
constexpr BYTE kEndMark = 'E';

// Scratch space shared by every level of a save: a value name can be 16,383
// bytes, too much for each level of a deep tree to hold.
struct CTreeScratch {
  char valueName[16384];
};

LONG SaveValues(HKEY key, CSaveBuffer* out, CTreeScratch* scratch) {
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = sizeof(scratch->valueName);
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegEnumValueA(key, index, scratch->valueName, &nameLength, nullptr, &type, nullptr, &size);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    out->PutByte(kValueMark);
    out->PutText(scratch->valueName, nameLength);
    out->PutDword(type);
    out->PutDword(size);
    BYTE* data = out->Extend(size);
    if (!data) return ERROR_OUTOFMEMORY;
    DWORD read = size;
    nameLength = sizeof(scratch->valueName);
    status = RegEnumValueA(key, index, scratch->valueName, &nameLength, nullptr, &type, data, &read);
    if (status != ERROR_SUCCESS) return status;
    if (read != size) return ERROR_MORE_DATA;
  }
}

// Saves parent\name, calling the key storedName, with everything below it.
LONG SaveTree(HKEY parent, LPCSTR name, LPCSTR storedName, CSaveBuffer* out, CTreeScratch* scratch) {
  CRegKeyHandle key;
  LONG status = key.Open(parent, name, KEY_READ);
  if (status != ERROR_SUCCESS) return status;
  out->PutByte(kKeyMark);
  out->PutText(storedName, static_cast<DWORD>(lstrlenA(storedName)));
  status = SaveValues(key.m_hKey, out, scratch);
  if (status != ERROR_SUCCESS) return status;
  for (DWORD index = 0;; ++index) {
    char subkey[256];
    DWORD length = sizeof(subkey);
    status = RegEnumKeyExA(key.m_hKey, index, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    status = SaveTree(key.m_hKey, subkey, subkey, out, scratch);
    if (status != ERROR_SUCCESS) return status;
  }
  out->PutByte(kEndMark);
  return out->failed() ? ERROR_OUTOFMEMORY : ERROR_SUCCESS;
}

// Orders names as the registry lists subkeys: bytes, ASCII letters folded to
// upper case.
int CompareFolded(LPCSTR a, LPCSTR b) {
  for (;; ++a, ++b) {
    const BYTE x = static_cast<BYTE>(*a >= 'a' && *a <= 'z' ? *a - 'a' + 'A' : *a);
    const BYTE y = static_cast<BYTE>(*b >= 'a' && *b <= 'z' ? *b - 'a' + 'A' : *b);
    if (x != y || !x) return x < y ? -1 : x > y ? 1 : 0;
  }
}

// The name parent lists for its subkey name: keys are found whatever the case
// of the name, but a restored key must keep the case it had. Subkeys come
// listed in order of their names, so a binary search finds it among many; a
// listing in another order falls back to a walk.
void StoredKeyName(HKEY parent, LPCSTR name, char (&stored)[256]) {
  DWORD count = 0;
  if (RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) == ERROR_SUCCESS) {
    DWORD low = 0, high = count;
    while (low < high) {
      const DWORD middle = low + (high - low) / 2;
      DWORD length = sizeof(stored);
      if (RegEnumKeyExA(parent, middle, stored, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      const int order = CompareFolded(stored, name);
      if (order == 0) return;
      if (order < 0) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
  }
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof(stored);
    if (RegEnumKeyExA(parent, index, stored, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (lstrcmpiA(stored, name) == 0) return;
  }
  int length = 0;
  for (; name[length] && length < static_cast<int>(sizeof(stored)) - 1; ++length) stored[length] = name[length];
  stored[length] = '\0';
}

DWORD ReadDword(const BYTE** at) {
  DWORD d;
  CopyBytes(&d, *at, sizeof(d));
  *at += sizeof(d);
  return d;
}

LPCSTR ReadText(const BYTE** at) {
  LPCSTR text = reinterpret_cast<LPCSTR>(*at);
  *at += lstrlenA(text) + 1;
  return text;
}

// Puts back a saved key under parent as it was before the pass removed it. A
// key that is still there is one the removal could not delete: it kept its
// values, and only what is missing below it comes back.
const BYTE* RestoreTree(HKEY parent, const BYTE* at) {
  ++at;  // kKeyMark
  LPCSTR name = ReadText(&at);
  CRegKeyHandle key;
  BOOL created = FALSE;
  if (key.Open(parent, name, KEY_READ | KEY_WRITE) != ERROR_SUCCESS &&
      key.Open(parent, name, KEY_READ) != ERROR_SUCCESS) {
    key.Create(parent, name, KEY_READ | KEY_WRITE, &created);
  }
  while (*at == kValueMark) {
    ++at;
    LPCSTR valueName = ReadText(&at);
    const DWORD type = ReadDword(&at);
    const DWORD size = ReadDword(&at);
    if (created) RegSetValueExA(key.m_hKey, valueName, 0, type, at, size);
    at += size;
  }
  while (*at == kKeyMark) at = RestoreTree(key.m_hKey, at);
  return at + 1;  // kEndMark
}

// Deletes the keys a run created, met again by reading its entries.
struct CRunUndo {
  HKEY parent;
  LPCSTR last;

  static BOOL Visit(void* context, CRegScriptParser* parser, LPCSTR name) {
    const CRunUndo* run = static_cast<const CRunUndo*>(context);
    CRegObject::DeleteTree(run->parent, name);
    return parser->m_tokenStart != run->last;
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Recording

void CRegJournal::Begin(HKEY root) {
  Forget();
  m_root = root;
}

CRegJournal::Record* CRegJournal::Append(RecordKind kind, LONG parent, LPCSTR name) {
  Record* record = &m_records[m_count++];
  *record = Record{kind, parent, name, nullptr, 0, 0, nullptr};
  return record;
}

HRESULT CRegJournal::Reserve(CRegJournalKey* key) {
  if (key->isNew) return S_OK;
  if (key->parent && key->record < 0) {
    // A key's record names its parent's, which therefore comes first.
    const HRESULT hr = Reserve(key->parent);
    if (FAILED(hr)) return hr;
    key->record = m_count;
    Append(KeyFound, RecordOf(key->parent), key->name);
  }
  if (m_count < m_capacity) return S_OK;
  if (m_capacity > 0x3FFFFFF) return E_OUTOFMEMORY;
  const LONG capacity = m_capacity * 2;
  Record* grown = static_cast<Record*>(
      CoTaskMemRealloc(m_records == m_inline ? nullptr : m_records, static_cast<SIZE_T>(capacity) * sizeof(Record)));
  if (!grown) return E_OUTOFMEMORY;
  if (m_records == m_inline) CopyBytes(grown, m_inline, sizeof(m_inline));
  m_records = grown;
  m_capacity = capacity;
  return S_OK;
}

CRegJournalKey CRegJournal::KeyEntered(CRegJournalKey* parent, LPCSTR entry, LPCSTR name, BOOL created) {
  CRegJournalKey key;
  key.parent = parent;
  key.name = name;
  key.isNew = parent->isNew || created;
  if (parent->isNew) return key;
  if (!created) {
    // A key that was there breaks the run: undoing it must not delete this one.
    parent->childRun = -1;
    return key;
  }
  if (parent->childRun >= 0 && parent->childRun == m_count - 1) {
    m_records[parent->childRun].last = name;
    return key;
  }
  parent->childRun = m_count;
  Append(KeysCreated, RecordOf(parent), entry)->last = name;
  return key;
}

HRESULT CRegJournal::SetValue(CRegJournalKey* key, HKEY hKey, LPCSTR namePosition, LPCSTR name, DWORD type,
                              const BYTE* data, DWORD size) {
  if (key->isNew) return HRESULT_FROM_WIN32(RegSetValueExA(hKey, name, 0, type, data, size));
  HRESULT hr = Reserve(key);
  if (FAILED(hr)) return hr;

  // Keep what the value holds now; a value that cannot be read cannot be
  // put back, so it is not overwritten either.
  DWORD oldType = 0;
  DWORD oldSize = 0;
  LONG status = RegQueryValueExA(hKey, name, nullptr, &oldType, nullptr, &oldSize);
  BYTE* saved = nullptr;
  if (status == ERROR_SUCCESS) {
    saved = static_cast<BYTE*>(CoTaskMemAlloc(oldSize ? oldSize : 1));
    if (!saved) return E_OUTOFMEMORY;
    DWORD read = oldSize;
    status = RegQueryValueExA(hKey, name, nullptr, &oldType, saved, &read);
    if (status == ERROR_SUCCESS && read != oldSize) status = ERROR_MORE_DATA;
    if (status != ERROR_SUCCESS) {
      CoTaskMemFree(saved);
      return HRESULT_FROM_WIN32(status);
    }
  } else if (status != ERROR_FILE_NOT_FOUND) {
    return HRESULT_FROM_WIN32(status);
  }

  status = RegSetValueExA(hKey, name, 0, type, data, size);
  if (status != ERROR_SUCCESS) {
    CoTaskMemFree(saved);
    return HRESULT_FROM_WIN32(status);
  }
  Record* record = Append(saved ? ValueReplaced : ValueAdded, RecordOf(key), namePosition);
  record->type = oldType;
  record->size = oldSize;
  record->saved = saved;
  return S_OK;
}

HRESULT CRegJournal::RemoveTree(CRegJournalKey* parent, HKEY hParent, LPCSTR name) {
  if (parent->isNew) {
    CRegObject::DeleteTree(hParent, name);
    return S_OK;
  }
  {
    // A key that cannot be read cannot be removed either.
    CRegKeyHandle probe;
    if (probe.Open(hParent, name, KEY_READ) != ERROR_SUCCESS) return S_OK;
  }
  HRESULT hr = Reserve(parent);
  if (FAILED(hr)) return hr;

  char stored[256];
  StoredKeyName(hParent, name, stored);
  CSaveBuffer tree;
  CTreeScratch scratch;
  const LONG status = SaveTree(hParent, name, stored, &tree, &scratch);
  if (status == ERROR_OUTOFMEMORY) return E_OUTOFMEMORY;
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);

  CRegObject::DeleteTree(hParent, name);
  Record* record = Append(TreeRemoved, RecordOf(parent), nullptr);
  record->size = tree.size();
  record->saved = tree.Detach();
  return S_OK;
}

// ---------------------------------------------------------------------------
// Undoing

LONG CRegJournal::OpenRecordKey(LONG record, CRegKeyHandle* key) const {
  // The chain of names from the root, found from the key upwards.
  LONG chain[kRegMaxNestingDepth + 1];
  int levels = 0;
  for (LONG at = record; at != kRootRecord; at = m_records[at].parent) {
    if (levels == kRegMaxNestingDepth + 1) return ERROR_INVALID_PARAMETER;
    chain[levels++] = at;
  }
  LONG status = key->Open(m_root, nullptr, KEY_READ | KEY_WRITE);
  if (status != ERROR_SUCCESS) status = key->Open(m_root, nullptr, KEY_READ);
  char name[kRegTokenBufferSize];
  while (status == ERROR_SUCCESS && levels > 0) {
    CRegScriptParser reader(nullptr);
    reader.m_position = m_records[chain[--levels]].name;
    if (FAILED(reader.NextToken(name))) return ERROR_INVALID_PARAMETER;
    // Each open replaces the key held with its subkey.
    status = key->Open(key->m_hKey, name, KEY_READ | KEY_WRITE);
    if (status != ERROR_SUCCESS) status = key->Open(key->m_hKey, name, KEY_READ);
  }
  return status;
}

void CRegJournal::UndoRecord(const Record& record) const {
  if (record.kind == KeyFound) return;
  CRegKeyHandle key;
  if (OpenRecordKey(record.parent, &key) != ERROR_SUCCESS) return;
  char name[kRegTokenBufferSize];
  CRegScriptParser reader(nullptr);
  switch (record.kind) {
    case KeysCreated: {
      reader.m_position = record.name;
      CRunUndo run{key.m_hKey, record.last};
      if (SUCCEEDED(reader.NextToken(name))) CRegObject::ReadEntries(&reader, name, TRUE, &CRunUndo::Visit, &run);
      break;
    }
    case ValueAdded:
    case ValueReplaced: {
      LPCSTR valueName = nullptr;
      if (record.name) {
        reader.m_position = record.name;
        if (FAILED(reader.NextToken(name))) return;
        valueName = name;
      }
      if (record.kind == ValueAdded) {
        RegDeleteValueA(key.m_hKey, valueName);
      } else {
        RegSetValueExA(key.m_hKey, valueName, 0, record.type, record.saved, record.size);
      }
      break;
    }
    case TreeRemoved:
      RestoreTree(key.m_hKey, record.saved);
      break;
    case KeyFound:
      break;
  }
}

void CRegJournal::Undo() {
  for (LONG i = m_count - 1; i >= 0; --i) UndoRecord(m_records[i]);
  Forget();
}

void CRegJournal::Forget() {
  for (LONG i = 0; i < m_count; ++i) CoTaskMemFree(m_records[i].saved);
  if (m_records != m_inline) CoTaskMemFree(m_records);
  m_records = m_inline;
  m_capacity = kInlineRecords;
  m_count = 0;
}
