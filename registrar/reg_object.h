// CRegObject: applies a registry script to the registry, or removes what it
// names. A script is text in the ANSI code page:
//
//   HKCR
//   {
//     NoRemove CLSID
//     {
//       ForceRemove {8DCA...} = s 'Band'
//       {
//         InprocServer32 = s '%MODULE%'
//         {
//           val ThreadingModel = s 'Apartment'
//         }
//       }
//     }
//   }
//
// Variables between percent signs are replaced from the registrar's map first
// ("%%" is one percent sign). Then each root block ("HKCR", "HKLM", ...) is
// applied: registering creates the keys and sets the values it names (types
// S, M, D and B), "ForceRemove" and "Delete" first remove an existing tree;
// unregistering deletes the keys and values named, except those marked
// "NoRemove" and keys that still have subkeys.
//
// A root block that fails while registering is undone exactly: the pass keeps
// a journal of what it changed (reg_journal.h) and replays it backwards.
//
// The object is made on the stack for one registration pass; it is not
// reference counted.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "reg_journal.h"

#if defined(__GNUC__)
#define REGISTRAR_NOINLINE __attribute__((noinline))
#else
#define REGISTRAR_NOINLINE __declspec(noinline)
#endif

// Sizes of the fixed buffers: tokens hold at most 4094 bytes, a remembered
// key name 259, a variable name 31.
constexpr int kRegTokenBufferSize = 4096;
constexpr int kRegKeyNameBufferSize = 260;
constexpr int kRegMaxVariableNameLength = 31;
// Blocks nest at most this deep (the root block is level 1); every level keeps
// more than 4 KB of stack, and no real script comes near it.
constexpr int kRegMaxNestingDepth = 64;

// The replacement map's interface: what a caller fills before a pass.
struct IRegistrarBase : public IUnknown {
  STDMETHOD(AddReplacement)(LPCOLESTR key, LPCOLESTR item) = 0;
  STDMETHOD(ClearReplacements)() = 0;
};

class CRegObject;

// Where a pass over a script stopped when it failed, for callers that show it
// to a person; the HRESULT stays the only report to COM callers.
struct CRegScriptFault {
  // Bytes from the start of the script as given (a substituted variable counts
  // as the "%" that begins it); -1 when the last pass succeeded.
  LONG offset = -1;
  // Where the root block being applied begins: registering leaves the registry
  // as it was before it. 0 when the failure came before the first block.
  LONG blockOffset = -1;
  // What the script should have had there; null when the text was in order
  // and the registry refused the entry.
  LPCSTR expected = nullptr;
  // What it had: the token, quoted and cut short, or a description such as
  // "the end of the script".
  char found[64] = "";
};

// The growable output of preprocessing, NUL-terminated, from the task
// allocator.
class CScriptBuffer {
 public:
  CScriptBuffer() = default;
  CScriptBuffer(const CScriptBuffer&) = delete;
  CScriptBuffer& operator=(const CScriptBuffer&) = delete;
  ~CScriptBuffer();

  HRESULT Allocate(LONG capacity);
  // Appends count bytes; E_OUTOFMEMORY when the buffer cannot grow.
  HRESULT Append(LPCSTR text, LONG count);
  // Hands the text to the caller, who frees it with CoTaskMemFree.
  LPSTR Detach();

  LONG m_length = 0;
  LONG m_capacity = 0;
  LPSTR m_data = nullptr;
};

// The reading state shared by preprocessing, the tokenizer and the passes
// that apply a script.
class CRegScriptParser {
 public:
  explicit CRegScriptParser(CRegObject* registrar) : m_registrar(registrar) {}

  // Substitutes the variables of text into a new buffer (*out, CoTaskMemFree).
  // E_POINTER for a null argument; DISP_E_EXCEPTION for a "%" without its
  // closing "%" or an unknown name; E_FAIL for a name over 31 bytes;
  // E_OUTOFMEMORY. On failure *out is null.
  HRESULT PreprocessScript(LPCSTR text, LPSTR* out);

  // White space is TAB, LF, CR and space only.
  void SkipWhiteSpace();
  // Reads one token into token (kRegTokenBufferSize bytes): a quoted token
  // ('' inside stands for one quote) or a run up to white space.
  // DISP_E_EXCEPTION at the end of the text, for an unterminated quote or a
  // token over 4094 bytes; the fault then says that `expected` was expected.
  HRESULT NextToken(LPSTR token, LPCSTR expected = "more of the script");
  // Records that the token just read is not what was expected; returns hr.
  HRESULT Unexpected(LPCSTR expected, LPCSTR token, HRESULT hr = DISP_E_EXCEPTION);
  // Records a fault at a place of its own (in preprocessing, a place in the
  // script as given); found is cut short to fit, and quoted when it is text
  // of the script rather than a description. A foundLength of -1: up to NUL.
  void SetFault(LPCSTR at, LPCSTR expected, LPCSTR found, LONG foundLength, bool quoted);
  // The offset in the script as given of a byte of the substituted text:
  // preprocessing walked again, without writing anything.
  LONG SourceOffset(LPCSTR source, LONG offset) const;

  LPCSTR m_position = nullptr;
  LPCSTR m_tokenStart = nullptr;  // where the last token read (or tried) began
  CRegObject* m_registrar;
  int m_depth = 0;           // blocks open right now
  bool m_tooDeep = false;    // a block deeper than the cap was skipped
  // The last fault, until a pass ignores it (m_faultAt null: none).
  LPCSTR m_faultAt = nullptr;
  LPCSTR m_faultExpected = nullptr;
  char m_faultFound[sizeof(CRegScriptFault::found)] = "";

 private:
  HRESULT TokenTooLong(LPCSTR expected);
};

// An open registry key, closed when the wrapper goes.
class CRegKeyHandle {
 public:
  CRegKeyHandle() = default;
  CRegKeyHandle(const CRegKeyHandle&) = delete;
  CRegKeyHandle& operator=(const CRegKeyHandle&) = delete;
  ~CRegKeyHandle() { Close(); }

  // Both keep the held handle on failure and return the failure; on success
  // they close the old handle and return the status of that close. Create
  // tells through created whether the key is new.
  LONG Open(HKEY parent, LPCSTR name, REGSAM access);
  LONG Create(HKEY parent, LPCSTR name, REGSAM access, BOOL* created = nullptr);
  LONG Close();

  HKEY m_hKey = nullptr;
};

class CRegObject : public IRegistrarBase {
 public:
  CRegObject() = default;
  CRegObject(const CRegObject&) = delete;
  CRegObject& operator=(const CRegObject&) = delete;

  // IUnknown: not counted, and no other interface is handed out.
  STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IRegistrarBase
  // Adds a variable; when a name is added twice the first value wins.
  STDMETHOD(AddReplacement)(LPCOLESTR key, LPCOLESTR item) override;
  STDMETHOD(ClearReplacements)() override;

  virtual ~CRegObject();

  // Applies (or removes) the script held in a module's resources. The module is
  // loaded as a data file for the call only.
  HRESULT ResourceRegister(LPCOLESTR moduleName, UINT resourceId, LPCOLESTR type);
  HRESULT ResourceUnregister(LPCOLESTR moduleName, UINT resourceId, LPCOLESTR type);
  HRESULT ResourceRegisterSz(LPCOLESTR moduleName, LPCOLESTR resourceName, LPCOLESTR type);
  HRESULT ResourceUnregisterSz(LPCOLESTR moduleName, LPCOLESTR resourceName, LPCOLESTR type);
  // The same pass for script text the caller already has.
  HRESULT ScriptRegister(LPCSTR script);
  HRESULT ScriptUnregister(LPCSTR script);
  // Where the last pass over a script failed (offset -1 after a success).
  const CRegScriptFault& ScriptFault() const { return m_fault; }

  // The value of a variable (case-insensitive, first added wins), or null.
  LPCOLESTR FindReplacement(LPCSTR name) const;

  // Root key names ("HKCR", "HKEY_LOCAL_MACHINE", ...) to their predefined
  // keys; null when the name is not one.
  static HKEY RootKeyFromName(LPCSTR name);
  // Value type letters S, M, D, B (any case) to their automation type codes.
  static BOOL ValueTypeFromLetter(LPCSTR letter, VARTYPE* code);
  // Deletes parent\name and everything below it; a Win32 status.
  static LONG DeleteTree(HKEY parent, LPCSTR name);
  static BOOL HasSubkeys(HKEY key);
  // FALSE for the names that ForceRemove and Delete never remove ("CLSID"...).
  static BOOL IsDeletableKeyName(LPCSTR name);

  // Shown each key entry of the block being read; FALSE stops the reading.
  typedef BOOL (*KeyEntryVisitor)(void* context, CRegScriptParser* parser, LPCSTR name);
  // Reads entries the way a pass in the given mode reads them, without touching
  // the registry: from the entry that begins with token to the "}" that closes
  // their block, showing visit (which may be null) the key entries of that
  // block but not of the blocks inside it.
  static HRESULT ReadEntries(CRegScriptParser* parser, LPSTR token, BOOL bRegister, KeyEntryVisitor visit,
                             void* context);

 private:
  HRESULT RegisterFromResource(LPCOLESTR moduleName, LPCSTR resource, LPCSTR type, BOOL bRegister);
  HRESULT RegisterScript(CRegScriptParser* parser, LPCSTR script, BOOL bRegister);
  // Fills m_fault from the parser after a failed pass over script, whose
  // substituted text is text (null when preprocessing failed).
  void RecordFault(const CRegScriptParser& parser, LPCSTR script, LPCSTR text, LPCSTR blockStart);
  // On entry token holds the block's "{"; on success it holds the token that
  // closed the block and the position is just past it. Registering, parentEntry
  // is the parent as the journal knows it; unregistering, it is null.
  HRESULT ProcessKeyBlock(CRegScriptParser* parser, LPSTR token, HKEY parent, CRegJournalKey* parentEntry,
                          BOOL bRegister, BOOL bRecover);
  // On entry token holds "="; on success the token after the data. The value
  // name, null for the default value, stands in the script at namePosition.
  REGISTRAR_NOINLINE HRESULT WriteValue(CRegScriptParser* parser, HKEY key, CRegJournalKey* keyEntry,
                                        LPCSTR valueName, LPCSTR namePosition, LPSTR token);
  REGISTRAR_NOINLINE static HRESULT SkipAssignment(CRegScriptParser* parser, LPSTR token);
  // Reads a block too deep to walk, in step, without touching the registry.
  REGISTRAR_NOINLINE static HRESULT SkipBlock(CRegScriptParser* parser, LPSTR token);

  struct ReplacementMap {
    LPSTR* keys = nullptr;       // ANSI names
    LPOLESTR* values = nullptr;  // UTF-16 values
    LONG count = 0;
  } m_replacements;

  CRegJournal m_journal;
  CRegScriptFault m_fault;
};
