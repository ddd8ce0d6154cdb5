// Applying a registry script: loading it from a module's resources, walking its
// blocks to register or unregister, writing values and removing trees.
#include "reg_internal.h"
#include "reg_object.h"

namespace {

const char* const ProtectedKeyNames[] = {
    "AppID", "CLSID", "Component Categories", "FileType", "Interface", "Hardware",
    "Mime",  "SAM",   "SECURITY",             "SYSTEM",   "Software",  "TypeLib",
};

bool Equals(LPCSTR a, LPCSTR b) { return lstrcmpiA(a, b) == 0; }

bool HasBackslash(LPCSTR name) {
  for (LPCSTR p = name; *p; p = CharNextA(p)) {
    if (*p == '\\') return true;
  }
  return false;
}

// A failed call whose last error is 0 must still read as a failure.
HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// UTF-16 text converted to the ANSI code page: up to 1024 bytes in place,
// longer text from the task allocator.
class CAnsiText {
 public:
  CAnsiText() = default;
  CAnsiText(const CAnsiText&) = delete;
  CAnsiText& operator=(const CAnsiText&) = delete;
  ~CAnsiText() {
    if (m_text != m_fixed) CoTaskMemFree(m_text);
  }

  // FALSE when the text cannot be converted or has no room.
  BOOL Convert(LPCOLESTR text) {
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return FALSE;
    if (size > static_cast<int>(sizeof(m_fixed))) {
      m_text = static_cast<LPSTR>(CoTaskMemAlloc(static_cast<SIZE_T>(size)));
      if (!m_text) return FALSE;
    }
    return WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, m_text, size, nullptr, nullptr) == size;
  }
  LPCSTR Get() const { return m_text; }

 private:
  char m_fixed[1024];
  LPSTR m_text = m_fixed;
};

// Counts a level of nesting for as long as it is alive.
class CDepthGuard {
 public:
  explicit CDepthGuard(CRegScriptParser* parser) : m_parser(parser) { ++m_parser->m_depth; }
  CDepthGuard(const CDepthGuard&) = delete;
  CDepthGuard& operator=(const CDepthGuard&) = delete;
  ~CDepthGuard() { --m_parser->m_depth; }

 private:
  CRegScriptParser* m_parser;
};

}  // namespace

// ---------------------------------------------------------------------------
// CRegKeyHandle

LONG CRegKeyHandle::Open(HKEY parent, LPCSTR name, REGSAM access) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExA(parent, name, 0, access, &key);
  if (status != ERROR_SUCCESS) return status;
  const LONG closed = Close();
  m_hKey = key;
  return closed;
}

LONG CRegKeyHandle::Create(HKEY parent, LPCSTR name, REGSAM access, BOOL* created) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG status =
      RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return status;
  if (created) *created = disposition == REG_CREATED_NEW_KEY;
  const LONG closed = Close();
  m_hKey = key;
  return closed;
}

LONG CRegKeyHandle::Close() {
  if (!m_hKey) return ERROR_SUCCESS;
  const HKEY key = m_hKey;
  m_hKey = nullptr;
  return RegCloseKey(key);
}

// ---------------------------------------------------------------------------
// Key helpers

LONG CRegObject::DeleteTree(HKEY parent, LPCSTR name) {
  CRegKeyHandle key;
  LONG status = key.Open(parent, name, KEY_READ | KEY_WRITE);
  if (status != ERROR_SUCCESS) return status;
  // Index 0 every time: each pass deletes the subkey it found.
  char subkey[256];
  DWORD size = sizeof(subkey);
  while (RegEnumKeyExA(key.m_hKey, 0, subkey, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    status = DeleteTree(key.m_hKey, subkey);
    if (status != ERROR_SUCCESS) return status;
    size = sizeof(subkey);
  }
  key.Close();
  return RegDeleteKeyA(parent, name);
}

BOOL CRegObject::HasSubkeys(HKEY key) {
  DWORD subkeys = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS) {
    return FALSE;
  }
  return subkeys > 0;
}

BOOL CRegObject::IsDeletableKeyName(LPCSTR name) {
  for (const char* protectedName : ProtectedKeyNames) {
    if (Equals(protectedName, name)) return FALSE;
  }
  return TRUE;
}

// ---------------------------------------------------------------------------
// Entry points

HRESULT CRegObject::ResourceRegister(LPCOLESTR moduleName, UINT resourceId, LPCOLESTR type) {
  CAnsiText typeText;
  if (!type || !typeText.Convert(type)) return E_OUTOFMEMORY;
  return RegisterFromResource(moduleName, MAKEINTRESOURCEA(resourceId), typeText.Get(), TRUE);
}

HRESULT CRegObject::ResourceUnregister(LPCOLESTR moduleName, UINT resourceId, LPCOLESTR type) {
  CAnsiText typeText;
  if (!type || !typeText.Convert(type)) return E_OUTOFMEMORY;
  return RegisterFromResource(moduleName, MAKEINTRESOURCEA(resourceId), typeText.Get(), FALSE);
}

HRESULT CRegObject::ResourceRegisterSz(LPCOLESTR moduleName, LPCOLESTR resourceName, LPCOLESTR type) {
  if (!resourceName || !type) return E_INVALIDARG;
  CAnsiText nameText, typeText;
  if (!nameText.Convert(resourceName) || !typeText.Convert(type)) return E_OUTOFMEMORY;
  return RegisterFromResource(moduleName, nameText.Get(), typeText.Get(), TRUE);
}

HRESULT CRegObject::ResourceUnregisterSz(LPCOLESTR moduleName, LPCOLESTR resourceName, LPCOLESTR type) {
  if (!resourceName || !type) return E_INVALIDARG;
  CAnsiText nameText, typeText;
  if (!nameText.Convert(resourceName) || !typeText.Convert(type)) return E_OUTOFMEMORY;
  return RegisterFromResource(moduleName, nameText.Get(), typeText.Get(), FALSE);
}

HRESULT CRegObject::ScriptRegister(LPCSTR script) {
  CRegScriptParser parser(this);
  return RegisterScript(&parser, script, TRUE);
}

HRESULT CRegObject::ScriptUnregister(LPCSTR script) {
  CRegScriptParser parser(this);
  return RegisterScript(&parser, script, FALSE);
}

HRESULT CRegObject::RegisterFromResource(LPCOLESTR moduleName, LPCSTR resource, LPCSTR type, BOOL bRegister) {
  CAnsiText moduleText;
  if (!moduleName || !moduleText.Convert(moduleName)) return E_OUTOFMEMORY;
  const HMODULE module = LoadLibraryExA(moduleText.Get(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return LastErrorResult();

  HRESULT hr = S_OK;
  const BYTE* bytes = nullptr;
  DWORD size = 0;
  HRSRC info = FindResourceA(module, resource, type);
  HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  if (!loaded) {
    hr = LastErrorResult();
  } else {
    size = SizeofResource(module, info);
    bytes = static_cast<const BYTE*>(LockResource(loaded));
    if (size == 0xFFFFFFFFu) hr = E_OUTOFMEMORY;
    if (!bytes && size) hr = E_FAIL;
  }
  // The script is ANSI text without its NUL: copy it and add one.
  CValueBuffer<1024> copy;
  char* text = SUCCEEDED(hr) ? reinterpret_cast<char*>(copy.Allocate(static_cast<SIZE_T>(size) + 1)) : nullptr;
  if (SUCCEEDED(hr) && !text) hr = E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) {
    for (DWORD i = 0; i < size; ++i) text[i] = static_cast<char>(bytes[i]);
    text[size] = '\0';
    CRegScriptParser parser(this);
    hr = RegisterScript(&parser, text, bRegister);
  }
  FreeLibrary(module);
  return hr;
}

// ---------------------------------------------------------------------------
// Walking the script

HRESULT CRegObject::RegisterScript(CRegScriptParser* parser, LPCSTR script, BOOL bRegister) {
  m_fault = CRegScriptFault();
  LPSTR text = nullptr;
  HRESULT hr = parser->PreprocessScript(script, &text);
  if (FAILED(hr)) {
    RecordFault(*parser, script, nullptr, nullptr);
    return hr;
  }

  char token[kRegTokenBufferSize];
  parser->m_position = text;
  LPCSTR blockStart = text;
  while (*parser->m_position) {
    blockStart = parser->m_position;
    hr = parser->NextToken(token, kExpectRoot);
    if (FAILED(hr)) break;
    const HKEY root = RootKeyFromName(token);
    if (!root) {
      hr = parser->Unexpected(kExpectRoot, token);
      break;
    }
    hr = parser->NextToken(token, kExpectOpenBrace);
    if (FAILED(hr)) break;
    if (token[0] != '{') {
      hr = parser->Unexpected(kExpectOpenBrace, token);
      break;
    }
    if (bRegister) {
      // A root block that fails is put back as it was before it; the blocks
      // before it stay registered.
      m_journal.Begin(root);
      CRegJournalKey rootEntry;
      hr = ProcessKeyBlock(parser, token, root, &rootEntry, TRUE, FALSE);
      if (FAILED(hr)) {
        m_journal.Undo();
        break;
      }
      m_journal.Forget();
    } else {
      hr = ProcessKeyBlock(parser, token, root, nullptr, FALSE, FALSE);
      if (SUCCEEDED(hr) && parser->m_tooDeep) hr = DISP_E_EXCEPTION;
      if (FAILED(hr)) break;
    }
    parser->SkipWhiteSpace();
  }
  if (FAILED(hr)) RecordFault(*parser, script, text, blockStart);
  CoTaskMemFree(text);
  return hr;
}

void CRegObject::RecordFault(const CRegScriptParser& parser, LPCSTR script, LPCSTR text, LPCSTR blockStart) {
  m_fault.blockOffset = text ? parser.SourceOffset(script, static_cast<LONG>(blockStart - text)) : 0;
  LPCSTR at = parser.m_faultAt;
  if (!text) {
    // Preprocessing faults are placed in the script as given.
    if (!at) return;
    m_fault.offset = static_cast<LONG>(at - script);
  } else if (at) {
    m_fault.offset = parser.SourceOffset(script, static_cast<LONG>(at - text));
  } else {
    // The text was in order and the registry refused what the last token read
    // asked for: point at that token.
    at = parser.m_tokenStart;
    if (!at) return;
    CRegScriptParser reader(nullptr);
    reader.m_position = at;
    char token[kRegTokenBufferSize];
    if (SUCCEEDED(reader.NextToken(token))) reader.SetFault(at, nullptr, token, -1, true);
    m_fault.offset = parser.SourceOffset(script, static_cast<LONG>(at - text));
    for (size_t i = 0; i < sizeof(m_fault.found); ++i) m_fault.found[i] = reader.m_faultFound[i];
    return;
  }
  m_fault.expected = parser.m_faultExpected;
  for (size_t i = 0; i < sizeof(m_fault.found); ++i) m_fault.found[i] = parser.m_faultFound[i];
}

HRESULT CRegObject::SkipAssignment(CRegScriptParser* parser, LPSTR token) {
  if (token[0] != '=') return S_OK;
  char data[kRegTokenBufferSize];
  HRESULT hr = parser->NextToken(token, kExpectType);
  if (FAILED(hr)) return hr;
  parser->SkipWhiteSpace();
  hr = parser->NextToken(data, kExpectData);
  if (FAILED(hr)) return hr;
  return parser->NextToken(token, kExpectEntry);
}

HRESULT CRegObject::SkipBlock(CRegScriptParser* parser, LPSTR token) {
  const HRESULT hr = parser->NextToken(token, kExpectEntry);
  if (FAILED(hr)) return hr;
  return ReadEntries(parser, token, FALSE, nullptr, nullptr);
}

// Follows the reading of ProcessKeyBlock entry by entry, with a counter of
// levels in place of recursion.
HRESULT CRegObject::ReadEntries(CRegScriptParser* parser, LPSTR token, BOOL bRegister, KeyEntryVisitor visit,
                                void* context) {
  ULONG depth = 1;
  for (;;) {
    HRESULT hr = S_OK;
    if (token[0] == '}') {
      if (--depth == 0) return S_OK;
      hr = parser->NextToken(token, kExpectEntry);
      if (FAILED(hr)) return hr;
      continue;
    }
    // Registering, a block may follow any entry and applies to the key of the
    // last key entry; unregistering, only a key entry's.
    bool blockMayFollow = bRegister != FALSE;
    const bool isDelete = Equals(token, "Delete");
    if (isDelete || Equals(token, "ForceRemove")) {
      hr = parser->NextToken(token, kExpectKeyName);
      if (FAILED(hr)) return hr;
      if (bRegister && (!token[0] || HasBackslash(token))) return parser->Unexpected(kExpectOneName, token);
    }
    if (bRegister && isDelete) {
      hr = parser->NextToken(token, kExpectAfterKey);
      if (SUCCEEDED(hr)) hr = SkipAssignment(parser, token);
    } else {
      if (Equals(token, "NoRemove")) {
        hr = parser->NextToken(token, kExpectKeyName);
        if (FAILED(hr)) return hr;
      }
      if (Equals(token, "Val")) {
        hr = parser->NextToken(token, kExpectValueName);
        if (SUCCEEDED(hr)) hr = parser->NextToken(token, kExpectEquals);
        if (FAILED(hr)) return hr;
        if (token[0] != '=') return parser->Unexpected(kExpectEquals, token);
        hr = SkipAssignment(parser, token);
      } else {
        if (!token[0] || HasBackslash(token)) return parser->Unexpected(kExpectOneName, token);
        if (depth == 1 && visit && !visit(context, parser, token)) return S_OK;
        hr = parser->NextToken(token, kExpectAfterKey);
        if (SUCCEEDED(hr)) hr = SkipAssignment(parser, token);
        blockMayFollow = true;
      }
    }
    if (FAILED(hr)) return hr;
    if (blockMayFollow && token[0] == '{' && token[1] == '\0') {
      ++depth;
      hr = parser->NextToken(token, kExpectEntry);
      if (FAILED(hr)) return hr;
    }
  }
}

HRESULT CRegObject::ProcessKeyBlock(CRegScriptParser* parser, LPSTR token, HKEY parent, CRegJournalKey* parentEntry,
                                    BOOL bRegister, BOOL bRecover) {
  if (parser->m_depth >= kRegMaxNestingDepth) {
    // Nothing this deep is ever written, so unregistering has nothing to find
    // there; registering refuses the script.
    if (bRegister) return parser->Unexpected(kExpectShallower, token);
    if (!parser->m_tooDeep) parser->Unexpected(kExpectShallower, token);
    parser->m_tooDeep = true;
    return SkipBlock(parser, token);
  }
  CDepthGuard level(parser);
  // A run of created keys is read again to be undone, so it stays within one
  // block: a key may have a second block (after a Delete or a value entry).
  if (parentEntry) parentEntry->childRun = -1;

  CRegKeyHandle key;
  // The current key as the journal knows it. Before the first key entry there
  // is none, and nothing can change below it.
  CRegJournalKey keyEntry;
  keyEntry.isNew = TRUE;
  char valueName[kRegTokenBufferSize];
  char keyName[kRegKeyNameBufferSize];

  HRESULT hr = parser->NextToken(token, kExpectEntry);
  if (FAILED(hr)) return hr;
  while (token[0] != '}') {
    const LPCSTR entryStart = parser->m_tokenStart;
    BOOL deletable = TRUE;
    const bool isDelete = Equals(token, "Delete");
    if (isDelete || Equals(token, "ForceRemove")) {
      hr = parser->NextToken(token, kExpectKeyName);
      if (FAILED(hr)) return hr;
      if (bRegister) {
        if (!token[0] || HasBackslash(token)) return parser->Unexpected(kExpectOneName, token);
        if (IsDeletableKeyName(token)) {
          hr = m_journal.RemoveTree(parentEntry, parent, token);
          if (FAILED(hr)) return hr;
        }
        if (isDelete) {
          hr = parser->NextToken(token, kExpectAfterKey);
          if (SUCCEEDED(hr)) hr = SkipAssignment(parser, token);
          if (FAILED(hr)) return hr;
          goto nestedBlock;
        }
      }
    }
    if (Equals(token, "NoRemove")) {
      deletable = FALSE;
      hr = parser->NextToken(token, kExpectKeyName);
      if (FAILED(hr)) return hr;
    }

    if (Equals(token, "Val")) {
      hr = parser->NextToken(valueName, kExpectValueName);
      if (FAILED(hr)) return hr;
      const LPCSTR valueNamePosition = parser->m_tokenStart;
      hr = parser->NextToken(token, kExpectEquals);
      if (FAILED(hr)) return hr;
      if (token[0] != '=') return parser->Unexpected(kExpectEquals, token);
      if (bRegister) {
        hr = WriteValue(parser, parent, parentEntry, valueName, valueNamePosition, token);
        if (FAILED(hr)) return hr;
        goto nestedBlock;
      }
      if (!bRecover && deletable) {
        CRegKeyHandle writable;
        LONG status = writable.Open(parent, nullptr, KEY_WRITE);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        status = RegDeleteValueA(writable.m_hKey, valueName);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(status);
      }
      hr = SkipAssignment(parser, token);
      if (FAILED(hr)) return hr;
      continue;
    }

    // A key entry names one key: no path, and not the parent itself.
    if (!token[0] || HasBackslash(token)) return parser->Unexpected(kExpectOneName, token);

    if (bRegister) {
      const LPCSTR namePosition = parser->m_tokenStart;
      LONG status = key.Open(parent, token, KEY_READ | KEY_WRITE);
      if (status != ERROR_SUCCESS) status = key.Open(parent, token, KEY_READ);
      BOOL created = FALSE;
      if (status != ERROR_SUCCESS) {
        hr = m_journal.Reserve(parentEntry);
        if (FAILED(hr)) return hr;
        status = key.Create(parent, token, KEY_READ | KEY_WRITE, &created);
      }
      if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
      keyEntry = m_journal.KeyEntered(parentEntry, entryStart, namePosition, created);
      hr = parser->NextToken(token, kExpectAfterKey);
      if (FAILED(hr)) return hr;
      if (token[0] == '=') {
        hr = WriteValue(parser, key.m_hKey, &keyEntry, nullptr, nullptr, token);
        if (FAILED(hr)) return hr;
      }
      goto nestedBlock;
    }

    {
      // Unregistering a key entry. A key that cannot be opened has its block
      // read in recovery mode, so reading stays in step.
      LONG status = bRecover ? ERROR_FILE_NOT_FOUND : key.Open(parent, token, KEY_READ);
      const BOOL recover = bRecover || status != ERROR_SUCCESS;
      int copied = 0;
      for (; token[copied] && copied < kRegKeyNameBufferSize - 1; ++copied) keyName[copied] = token[copied];
      keyName[copied] = '\0';
      hr = parser->NextToken(token, kExpectAfterKey);
      if (SUCCEEDED(hr)) hr = SkipAssignment(parser, token);
      if (FAILED(hr)) return hr;
      if (token[0] == '{' && token[1] == '\0') {
        hr = ProcessKeyBlock(parser, token, key.m_hKey, nullptr, FALSE, recover);
        if (FAILED(hr)) {
          if (!recover) return hr;
          parser->m_faultAt = nullptr;  // ignored: not what ends the pass
        }
        hr = parser->NextToken(token, kExpectEntry);
        if (FAILED(hr)) return hr;
      }
      if (status == ERROR_FILE_NOT_FOUND) continue;
      if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
      const BOOL hasSubkeys = HasSubkeys(key.m_hKey);
      status = key.Close();
      if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
      if (deletable && !hasSubkeys) {
        status = RegDeleteKeyA(parent, keyName);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
      }
      continue;
    }

  nestedBlock:
    if (bRegister && token[0] == '{' && token[1] == '\0') {
      hr = ProcessKeyBlock(parser, token, key.m_hKey, &keyEntry, TRUE, FALSE);
      if (SUCCEEDED(hr)) hr = parser->NextToken(token, kExpectEntry);
      if (FAILED(hr)) return hr;
    }
  }
  key.Close();
  return S_OK;
}
