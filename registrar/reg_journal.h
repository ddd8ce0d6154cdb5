// The journal of a register pass: what the pass changed in the root block it is
// applying, kept so that a failure puts the registry back exactly as it was
// before that block, keys, values, value order and the case of names included.
//
// Records name keys and values by their name tokens in the script text, which
// outlives the journal, so recording a key or a new value allocates nothing:
//   - a key the pass creates under a key that was there before starts a run,
//     and each key created next to it extends the run; undoing the run reads
//     those entries again and deletes each key with everything below it;
//   - nothing is recorded below a key the pass created, since it goes whole;
//   - a value set in a key that was there before records that it was new, or
//     saves the type and data it replaced (from the task allocator);
//   - a tree that ForceRemove or Delete removes is saved whole first.
// A change is made only once its record is sure: when the record cannot be
// kept the change is not made and the pass fails with E_OUTOFMEMORY.
#pragma once

#include <windows.h>

class CRegKeyHandle;

// A key of the block being registered, as the journal knows it. One lives in
// each nesting level while the level runs.
struct CRegJournalKey {
  CRegJournalKey* parent = nullptr;  // null: the root key of the block
  LPCSTR name = nullptr;             // its name token in the script text
  LONG record = -1;                  // its record, made once something below it changes
  LONG childRun = -1;                // the run of keys just created in its block, while it may grow
  // Nothing below it needs recording: the pass created it, or there is no
  // key (a block with no key entry before it cannot change anything).
  BOOL isNew = FALSE;
};

class CRegJournal {
 public:
  CRegJournal() = default;
  CRegJournal(const CRegJournal&) = delete;
  CRegJournal& operator=(const CRegJournal&) = delete;
  ~CRegJournal() { Forget(); }

  // Starts the journal of a root block of the key root.
  void Begin(HKEY root);

  // Makes room for a record about a subkey or value of key, recording the keys
  // above it as needed. E_OUTOFMEMORY when there is no room.
  HRESULT Reserve(CRegJournalKey* key);
  // After Reserve: the subkey of parent whose entry begins at entry and whose
  // name token is at name was created, or found (created FALSE). Returns the
  // key as the journal knows it.
  CRegJournalKey KeyEntered(CRegJournalKey* parent, LPCSTR entry, LPCSTR name, BOOL created);

  // Sets a value of key (hKey, open for querying and setting) after saving
  // what it holds. namePosition is the value name's token, null for the
  // default value. The write's status as an HRESULT, or the save's failure.
  HRESULT SetValue(CRegJournalKey* key, HKEY hKey, LPCSTR namePosition, LPCSTR name, DWORD type, const BYTE* data,
                   DWORD size);
  // Deletes the subkey name of parent (hParent) with everything below it,
  // after saving it whole. Fails only when it cannot save (E_OUTOFMEMORY, or
  // the status of reading the tree); the deletion's own result is not looked
  // at, as for an unjournaled ForceRemove.
  HRESULT RemoveTree(CRegJournalKey* parent, HKEY hParent, LPCSTR name);

  // Undoes every change since Begin, newest first, then forgets them. A step
  // that fails does not stop the ones before it.
  void Undo();
  // Drops the records and frees what they saved.
  void Forget();

 private:
  enum RecordKind : BYTE { KeyFound, KeysCreated, ValueAdded, ValueReplaced, TreeRemoved };
  struct Record {
    RecordKind kind;
    LONG parent;    // the record of the key concerned; kRootRecord: the root
    LPCSTR name;    // the key's or value's name token (null: the default value); a run: its first entry
    LPCSTR last;    // a run: the name token of its last key
    DWORD type;     // a replaced value's type
    DWORD size;     // bytes saved
    BYTE* saved;    // task allocator
  };
  static constexpr LONG kRootRecord = -1;
  static constexpr LONG kInlineRecords = 32;

  LONG RecordOf(const CRegJournalKey* key) const { return key->parent ? key->record : kRootRecord; }
  Record* Append(RecordKind kind, LONG parent, LPCSTR name);
  // Opens the key of a record for reading and writing (else reading).
  LONG OpenRecordKey(LONG record, CRegKeyHandle* key) const;
  void UndoRecord(const Record& record) const;

  HKEY m_root = nullptr;
  Record m_inline[kInlineRecords];
  Record* m_records = m_inline;
  LONG m_count = 0;
  LONG m_capacity = kInlineRecords;
};
