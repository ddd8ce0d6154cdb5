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
// The object is made on the stack for one registration pass; it is not
// reference counted.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

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
  // token over 4094 bytes.
  HRESULT NextToken(LPSTR token);

  LPCSTR m_position = nullptr;
  CRegObject* m_registrar;
  int m_depth = 0;           // blocks open right now
  bool m_tooDeep = false;    // a block deeper than the cap was skipped
};

// An open registry key, closed when the wrapper goes.
class CRegKeyHandle {
 public:
  CRegKeyHandle() = default;
  CRegKeyHandle(const CRegKeyHandle&) = delete;
  CRegKeyHandle& operator=(const CRegKeyHandle&) = delete;
  ~CRegKeyHandle() { Close(); }

  // Both keep the held handle on failure and return the failure; on success
  // they close the old handle and return the status of that close.
  LONG Open(HKEY parent, LPCSTR name, REGSAM access);
  LONG Create(HKEY parent, LPCSTR name, REGSAM access);
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

 private:
  HRESULT RegisterFromResource(LPCOLESTR moduleName, LPCSTR resource, LPCSTR type, BOOL bRegister);
  HRESULT RegisterScript(CRegScriptParser* parser, LPCSTR script, BOOL bRegister);
  // On entry token holds the block's "{"; on success it holds the token that
  // closed the block and the position is just past it.
  HRESULT ProcessKeyBlock(CRegScriptParser* parser, LPSTR token, HKEY parent, BOOL bRegister, BOOL bRecover);
  // On entry token holds "="; on success the token after the data.
  REGISTRAR_NOINLINE HRESULT WriteValue(CRegScriptParser* parser, HKEY key, LPCSTR valueName, LPSTR token);
  REGISTRAR_NOINLINE static HRESULT SkipAssignment(CRegScriptParser* parser, LPSTR token);
  // Reads a block too deep to walk, in step, without touching the registry.
  REGISTRAR_NOINLINE static HRESULT SkipBlock(CRegScriptParser* parser, LPSTR token);

  struct ReplacementMap {
    LPSTR* keys = nullptr;       // ANSI names
    LPOLESTR* values = nullptr;  // UTF-16 values
    LONG count = 0;
  } m_replacements;
};
