// Applying a registry script: loading it from a module's resources, walking its
// blocks to register or unregister, writing values and removing trees.
#include "reg_object.h"

namespace {

constexpr VARTYPE kVtMultiString = 0x4008;

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

// A buffer of bytes: in place up to N, larger from the task allocator.
template <int N>
class CValueBuffer {
 public:
  CValueBuffer() = default;
  CValueBuffer(const CValueBuffer&) = delete;
  CValueBuffer& operator=(const CValueBuffer&) = delete;
  ~CValueBuffer() {
    if (m_data != m_fixed) CoTaskMemFree(m_data);
  }
  BYTE* Allocate(SIZE_T size) {
    if (size > N) m_data = static_cast<BYTE*>(CoTaskMemAlloc(size));
    return m_data;
  }

 private:
  BYTE m_fixed[N];
  BYTE* m_data = m_fixed;
};

// "M": strings separated by the two characters \0, stored with a final empty
// string. The size counts the strings up to the first empty one.
HRESULT SetMultiString(HKEY key, LPCSTR name, LPCSTR text) {
  const SIZE_T length = static_cast<SIZE_T>(lstrlenA(text));
  CValueBuffer<256> buffer;
  BYTE* data = buffer.Allocate(length + 2);
  if (!data) return HRESULT_FROM_WIN32(ERROR_OUTOFMEMORY);
  SIZE_T used = 0;
  for (LPCSTR p = text; *p;) {
    if (p[0] == '\\' && p[1] == '0') {
      data[used++] = 0;
      p += 2;
      continue;
    }
    LPCSTR next = CharNextA(p);
    while (p < next) data[used++] = static_cast<BYTE>(*p++);
  }
  data[used++] = 0;
  data[used++] = 0;
  SIZE_T size = 0;
  for (;;) {
    SIZE_T stringLength = 0;
    while (data[size + stringLength]) ++stringLength;
    size += stringLength + 1;
    if (stringLength == 0) break;
  }
  return HRESULT_FROM_WIN32(RegSetValueExA(key, name, 0, REG_MULTI_SZ, data, static_cast<DWORD>(size)));
}

// "D": the text as an unsigned 32-bit number. Text that is not one fails the
// entry with the conversion's result, rather than writing a number nobody chose.
HRESULT SetNumber(HKEY key, LPCSTR name, LPCSTR text) {
  const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
  if (units <= 0) return E_OUTOFMEMORY;
  CValueBuffer<1024> buffer;
  OLECHAR* wide = reinterpret_cast<OLECHAR*>(buffer.Allocate(static_cast<SIZE_T>(units) * sizeof(OLECHAR)));
  if (!wide || MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide, units) != units) return E_OUTOFMEMORY;
  ULONG number = 0;
  const HRESULT hr = VarUI4FromStr(wide, 0, 0, &number);
  if (FAILED(hr)) return hr;
  const DWORD value = number;
  return HRESULT_FROM_WIN32(
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

BYTE DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<BYTE>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<BYTE>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<BYTE>(c - 'a' + 10);
  return 0;
}

// "B": pairs of hex digits, the first of each pair the high nibble.
HRESULT SetBinary(HKEY key, LPCSTR name, LPCSTR text) {
  const SIZE_T length = static_cast<SIZE_T>(lstrlenA(text));
  if (length % 2) return E_FAIL;
  CValueBuffer<256> buffer;
  BYTE* data = buffer.Allocate(length / 2);
  if (!data) return E_FAIL;
  for (SIZE_T i = 0; i < length / 2; ++i) data[i] = 0;
  for (SIZE_T i = 0; i < length; ++i) {
    data[i / 2] = static_cast<BYTE>(data[i / 2] | (DigitValue(text[i]) << ((i % 2) ? 0 : 4)));
  }
  return HRESULT_FROM_WIN32(RegSetValueExA(key, name, 0, REG_BINARY, data, static_cast<DWORD>(length / 2)));
}

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

LONG CRegKeyHandle::Create(HKEY parent, LPCSTR name, REGSAM access) {
  HKEY key = nullptr;
  const LONG status =
      RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
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
  LPSTR text = nullptr;
  HRESULT hr = parser->PreprocessScript(script, &text);
  if (FAILED(hr)) return hr;

  char token[kRegTokenBufferSize];
  parser->m_position = text;
  while (*parser->m_position) {
    hr = parser->NextToken(token);
    if (FAILED(hr)) break;
    const HKEY root = RootKeyFromName(token);
    if (!root) {
      hr = DISP_E_EXCEPTION;
      break;
    }
    hr = parser->NextToken(token);
    if (FAILED(hr)) break;
    if (token[0] != '{') {
      hr = DISP_E_EXCEPTION;
      break;
    }
    if (bRegister) {
      // A root block that fails is undone by unregistering it from its start;
      // the undo pass's own result does not matter.
      LPCSTR blockStart = parser->m_position;
      hr = ProcessKeyBlock(parser, token, root, TRUE, FALSE);
      if (FAILED(hr)) {
        parser->m_position = blockStart;
        ProcessKeyBlock(parser, token, root, FALSE, FALSE);
        break;
      }
    } else {
      hr = ProcessKeyBlock(parser, token, root, FALSE, FALSE);
      if (SUCCEEDED(hr) && parser->m_tooDeep) hr = DISP_E_EXCEPTION;
      if (FAILED(hr)) break;
    }
    parser->SkipWhiteSpace();
  }
  CoTaskMemFree(text);
  return hr;
}

HRESULT CRegObject::SkipAssignment(CRegScriptParser* parser, LPSTR token) {
  if (token[0] != '=') return S_OK;
  char data[kRegTokenBufferSize];
  HRESULT hr = parser->NextToken(token);
  if (FAILED(hr)) return hr;
  parser->SkipWhiteSpace();
  hr = parser->NextToken(data);
  if (FAILED(hr)) return hr;
  return parser->NextToken(token);
}

// Follows the reading of an unregister pass in recovery mode, where nothing is
// called, with a counter in place of recursion.
HRESULT CRegObject::SkipBlock(CRegScriptParser* parser, LPSTR token) {
  ULONG depth = 1;
  HRESULT hr = parser->NextToken(token);
  while (SUCCEEDED(hr)) {
    if (token[0] == '}') {
      if (--depth == 0) return S_OK;
      hr = parser->NextToken(token);
      continue;
    }
    if (Equals(token, "Delete") || Equals(token, "ForceRemove")) {
      hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
    }
    if (Equals(token, "NoRemove")) {
      hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
    }
    if (Equals(token, "Val")) {
      hr = parser->NextToken(token);
      if (SUCCEEDED(hr)) hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
      if (token[0] != '=') return DISP_E_EXCEPTION;
      hr = SkipAssignment(parser, token);
      continue;
    }
    if (!token[0] || HasBackslash(token)) return DISP_E_EXCEPTION;
    hr = parser->NextToken(token);
    if (SUCCEEDED(hr)) hr = SkipAssignment(parser, token);
    if (SUCCEEDED(hr) && token[0] == '{' && token[1] == '\0') {
      ++depth;
      hr = parser->NextToken(token);
    }
  }
  return hr;
}

HRESULT CRegObject::ProcessKeyBlock(CRegScriptParser* parser, LPSTR token, HKEY parent, BOOL bRegister,
                                    BOOL bRecover) {
  if (parser->m_depth >= kRegMaxNestingDepth) {
    // Nothing this deep is ever written, so unregistering has nothing to find
    // there; registering refuses the script.
    if (bRegister) return DISP_E_EXCEPTION;
    parser->m_tooDeep = true;
    return SkipBlock(parser, token);
  }
  CDepthGuard level(parser);

  CRegKeyHandle key;
  char valueName[kRegTokenBufferSize];
  char keyName[kRegKeyNameBufferSize];

  HRESULT hr = parser->NextToken(token);
  if (FAILED(hr)) return hr;
  while (token[0] != '}') {
    BOOL deletable = TRUE;
    const bool isDelete = Equals(token, "Delete");
    if (isDelete || Equals(token, "ForceRemove")) {
      hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
      if (bRegister) {
        if (!token[0] || HasBackslash(token)) return DISP_E_EXCEPTION;
        if (IsDeletableKeyName(token)) DeleteTree(parent, token);
        if (isDelete) {
          hr = parser->NextToken(token);
          if (SUCCEEDED(hr)) hr = SkipAssignment(parser, token);
          if (FAILED(hr)) return hr;
          goto nestedBlock;
        }
      }
    }
    if (Equals(token, "NoRemove")) {
      deletable = FALSE;
      hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
    }

    if (Equals(token, "Val")) {
      hr = parser->NextToken(valueName);
      if (SUCCEEDED(hr)) hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
      if (token[0] != '=') return DISP_E_EXCEPTION;
      if (bRegister) {
        hr = WriteValue(parser, parent, valueName, token);
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
    if (!token[0] || HasBackslash(token)) return DISP_E_EXCEPTION;

    if (bRegister) {
      LONG status = key.Open(parent, token, KEY_READ | KEY_WRITE);
      if (status != ERROR_SUCCESS) status = key.Open(parent, token, KEY_READ);
      if (status != ERROR_SUCCESS) status = key.Create(parent, token, KEY_READ | KEY_WRITE);
      if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
      hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
      if (token[0] == '=') {
        hr = WriteValue(parser, key.m_hKey, nullptr, token);
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
      hr = parser->NextToken(token);
      if (SUCCEEDED(hr)) hr = SkipAssignment(parser, token);
      if (FAILED(hr)) return hr;
      if (token[0] == '{' && token[1] == '\0') {
        hr = ProcessKeyBlock(parser, token, key.m_hKey, FALSE, recover);
        if (FAILED(hr) && !recover) return hr;
        hr = parser->NextToken(token);
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
      hr = ProcessKeyBlock(parser, token, key.m_hKey, TRUE, FALSE);
      if (SUCCEEDED(hr)) hr = parser->NextToken(token);
      if (FAILED(hr)) return hr;
    }
  }
  key.Close();
  return S_OK;
}

HRESULT CRegObject::WriteValue(CRegScriptParser* parser, HKEY key, LPCSTR valueName, LPSTR token) {
  char text[kRegTokenBufferSize];
  HRESULT hr = parser->NextToken(text);
  if (FAILED(hr)) return hr;
  VARTYPE type = VT_EMPTY;
  if (!ValueTypeFromLetter(text, &type)) return DISP_E_EXCEPTION;
  parser->SkipWhiteSpace();
  hr = parser->NextToken(text);
  if (FAILED(hr)) return hr;

  switch (type) {
    case VT_BSTR:
      hr = HRESULT_FROM_WIN32(RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                             static_cast<DWORD>(lstrlenA(text) + 1)));
      break;
    case kVtMultiString:
      hr = SetMultiString(key, valueName, text);
      break;
    case VT_UI4:
      hr = SetNumber(key, valueName, text);
      break;
    case VT_UI1:
      hr = SetBinary(key, valueName, text);
      break;
    default:
      hr = DISP_E_EXCEPTION;
      break;
  }
  if (FAILED(hr)) return hr;
  return parser->NextToken(token);
}
