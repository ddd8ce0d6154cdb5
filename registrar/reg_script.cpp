// The text side of the registrar: the replacement map, preprocessing, the
// tokenizer and the tables of root names and value types.
#include "reg_internal.h"
#include "reg_object.h"

namespace {

const struct {
  const char* name;
  LONG key;  // the predefined key's 32-bit value
} RootKeyTable[] = {
    {"HKCR", static_cast<LONG>(0x80000000)},
    {"HKCU", static_cast<LONG>(0x80000001)},
    {"HKLM", static_cast<LONG>(0x80000002)},
    {"HKU", static_cast<LONG>(0x80000003)},
    {"HKPD", static_cast<LONG>(0x80000004)},
    {"HKDD", static_cast<LONG>(0x80000006)},
    {"HKCC", static_cast<LONG>(0x80000005)},
    {"HKEY_CLASSES_ROOT", static_cast<LONG>(0x80000000)},
    {"HKEY_CURRENT_USER", static_cast<LONG>(0x80000001)},
    {"HKEY_LOCAL_MACHINE", static_cast<LONG>(0x80000002)},
    {"HKEY_USERS", static_cast<LONG>(0x80000003)},
    {"HKEY_PERFORMANCE_DATA", static_cast<LONG>(0x80000004)},
    {"HKEY_DYN_DATA", static_cast<LONG>(0x80000006)},
    {"HKEY_CURRENT_CONFIG", static_cast<LONG>(0x80000005)},
};

const struct {
  const char* letter;
  VARTYPE code;
} ValueTypeTable[] = {
    {"S", VT_BSTR},
    {"M", kVtMultiString},
    {"D", VT_UI4},
    {"B", VT_UI1},
};

bool IsWhiteSpace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// How much of a token a fault shows.
constexpr LONG kExcerptLength = 40;

// Converts a UTF-16 value to the ANSI code page and appends it. The temporary
// text lives on the stack up to 1024 bytes.
HRESULT AppendConverted(CScriptBuffer* buffer, LPCOLESTR value) {
  const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, value, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return E_OUTOFMEMORY;
  char fixed[1024];
  LPSTR text = fixed;
  if (size > static_cast<int>(sizeof(fixed))) {
    text = static_cast<LPSTR>(CoTaskMemAlloc(static_cast<SIZE_T>(size)));
    if (!text) return E_OUTOFMEMORY;
  }
  HRESULT hr = E_OUTOFMEMORY;
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, value, -1, text, size, nullptr, nullptr) == size) {
    hr = buffer->Append(text, size - 1);
  }
  if (text != fixed) CoTaskMemFree(text);
  return hr;
}

}  // namespace

// ---------------------------------------------------------------------------
// CScriptBuffer

CScriptBuffer::~CScriptBuffer() { CoTaskMemFree(m_data); }

HRESULT CScriptBuffer::Allocate(LONG capacity) {
  m_data = static_cast<LPSTR>(CoTaskMemAlloc(static_cast<SIZE_T>(capacity)));
  if (!m_data) return E_OUTOFMEMORY;
  m_capacity = capacity;
  m_length = 0;
  m_data[0] = '\0';
  return S_OK;
}

HRESULT CScriptBuffer::Append(LPCSTR text, LONG count) {
  // The new length and its NUL must stay strictly below the capacity.
  LONG capacity = m_capacity;
  while (static_cast<LONGLONG>(m_length) + count + 1 >= capacity) {
    if (capacity > 0x3FFFFFFF) return E_OUTOFMEMORY;
    capacity *= 2;
  }
  if (capacity != m_capacity) {
    LPSTR grown = static_cast<LPSTR>(CoTaskMemRealloc(m_data, static_cast<SIZE_T>(capacity)));
    if (!grown) return E_OUTOFMEMORY;
    m_data = grown;
    m_capacity = capacity;
  }
  for (LONG i = 0; i < count; ++i) m_data[m_length + i] = text[i];
  m_length += count;
  m_data[m_length] = '\0';
  return S_OK;
}

LPSTR CScriptBuffer::Detach() {
  LPSTR data = m_data;
  m_data = nullptr;
  m_length = m_capacity = 0;
  return data;
}

// ---------------------------------------------------------------------------
// The replacement map

STDMETHODIMP CRegObject::QueryInterface(REFIID, void**) { return E_NOTIMPL; }
STDMETHODIMP_(ULONG) CRegObject::AddRef() { return 1; }
STDMETHODIMP_(ULONG) CRegObject::Release() { return 0; }

CRegObject::~CRegObject() { ClearReplacements(); }

STDMETHODIMP CRegObject::AddReplacement(LPCOLESTR key, LPCOLESTR item) {
  if (!key || !item) return E_INVALIDARG;
  const int keySize = WideCharToMultiByte(CP_THREAD_ACP, 0, key, -1, nullptr, 0, nullptr, nullptr);
  if (keySize <= 0) return E_OUTOFMEMORY;
  LPSTR keyCopy = static_cast<LPSTR>(CoTaskMemAlloc(static_cast<SIZE_T>(keySize)));
  if (!keyCopy) return E_OUTOFMEMORY;
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, key, -1, keyCopy, keySize, nullptr, nullptr) != keySize) {
    CoTaskMemFree(keyCopy);
    return E_OUTOFMEMORY;
  }
  const SIZE_T itemBytes = (static_cast<SIZE_T>(lstrlenW(item)) + 1) * sizeof(OLECHAR);
  LPOLESTR itemCopy = static_cast<LPOLESTR>(CoTaskMemAlloc(itemBytes));
  if (!itemCopy) {
    CoTaskMemFree(keyCopy);
    return E_OUTOFMEMORY;
  }
  for (SIZE_T i = 0; i < itemBytes / sizeof(OLECHAR); ++i) itemCopy[i] = item[i];

  // Each array grows by one element; a grown array with the old count is
  // harmless, so a failure of the second leaves the map as it was.
  const SIZE_T count = static_cast<SIZE_T>(m_replacements.count) + 1;
  LPSTR* keys = static_cast<LPSTR*>(CoTaskMemRealloc(m_replacements.keys, count * sizeof(LPSTR)));
  if (keys) m_replacements.keys = keys;
  LPOLESTR* values = keys ? static_cast<LPOLESTR*>(CoTaskMemRealloc(m_replacements.values, count * sizeof(LPOLESTR)))
                          : nullptr;
  if (values) m_replacements.values = values;
  if (!keys || !values) {
    CoTaskMemFree(keyCopy);
    CoTaskMemFree(itemCopy);
    return E_OUTOFMEMORY;
  }
  m_replacements.keys[m_replacements.count] = keyCopy;
  m_replacements.values[m_replacements.count] = itemCopy;
  ++m_replacements.count;
  return S_OK;
}

STDMETHODIMP CRegObject::ClearReplacements() {
  for (LONG i = 0; i < m_replacements.count; ++i) {
    CoTaskMemFree(m_replacements.keys[i]);
    CoTaskMemFree(m_replacements.values[i]);
  }
  CoTaskMemFree(m_replacements.keys);
  CoTaskMemFree(m_replacements.values);
  m_replacements.keys = nullptr;
  m_replacements.values = nullptr;
  m_replacements.count = 0;
  return S_OK;
}

LPCOLESTR CRegObject::FindReplacement(LPCSTR name) const {
  for (LONG i = 0; i < m_replacements.count; ++i) {
    if (lstrcmpiA(m_replacements.keys[i], name) == 0) return m_replacements.values[i];
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Tables

HKEY CRegObject::RootKeyFromName(LPCSTR name) {
  for (const auto& row : RootKeyTable) {
    if (lstrcmpiA(row.name, name) == 0) return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(row.key));
  }
  return nullptr;
}

BOOL CRegObject::ValueTypeFromLetter(LPCSTR letter, VARTYPE* code) {
  for (const auto& row : ValueTypeTable) {
    if (lstrcmpiA(row.letter, letter) == 0) {
      *code = row.code;
      return TRUE;
    }
  }
  return FALSE;
}

// ---------------------------------------------------------------------------
// Preprocessing

HRESULT CRegScriptParser::PreprocessScript(LPCSTR text, LPSTR* out) {
  if (!text || !out) return E_POINTER;
  *out = nullptr;
  const LONGLONG doubled = 2LL * lstrlenA(text);
  if (doubled > 0x7FFFFFFF) return E_OUTOFMEMORY;
  CScriptBuffer buffer;
  HRESULT hr = buffer.Allocate(doubled < 100 ? 1000 : static_cast<LONG>(doubled));
  if (FAILED(hr)) return hr;

  for (LPCSTR p = text; *p; p = CharNextA(p)) {
    if (*p != '%') {
      hr = buffer.Append(p, static_cast<LONG>(CharNextA(p) - p));
      if (FAILED(hr)) return hr;
      continue;
    }
    const LPCSTR percent = p;
    p = CharNextA(p);
    if (*p == '%') {
      hr = buffer.Append("%", 1);
      if (FAILED(hr)) return hr;
      continue;
    }
    LPCSTR end = p;
    while (*end && *end != '%') end = CharNextA(end);
    if (!*end) {
      SetFault(percent, "a closing '%'", "the end of the script", -1, false);
      return DISP_E_EXCEPTION;
    }
    const LONG length = static_cast<LONG>(end - p);
    if (length > kRegMaxVariableNameLength) {
      SetFault(p, "a variable name of at most 31 bytes", p, length, true);
      return E_FAIL;
    }
    char name[kRegMaxVariableNameLength + 1];
    for (LONG i = 0; i < length; ++i) name[i] = p[i];
    name[length] = '\0';
    LPCOLESTR value = m_registrar->FindReplacement(name);
    if (!value) {
      SetFault(percent, "a variable that has a value", name, length, true);
      return DISP_E_EXCEPTION;
    }
    hr = AppendConverted(&buffer, value);
    if (FAILED(hr)) return hr;
    p = end;  // onto the closing "%", which the loop steps past
  }
  *out = buffer.Detach();
  return S_OK;
}

LONG CRegScriptParser::SourceOffset(LPCSTR source, LONG offset) const {
  LONG out = 0;  // bytes of substituted text so far
  LPCSTR p = source;
  while (*p) {
    if (*p != '%') {
      const LONG bytes = static_cast<LONG>(CharNextA(p) - p);
      if (offset < out + bytes) break;
      out += bytes;
      p += bytes;
      continue;
    }
    LPCSTR next = CharNextA(p);
    LONG produced = 1;  // "%%"
    if (*next == '%') {
      next = CharNextA(next);
    } else {
      LPCSTR end = next;
      while (*end && *end != '%') end = CharNextA(end);
      const LONG length = static_cast<LONG>(end - next);
      if (!*end || length > kRegMaxVariableNameLength || !m_registrar) break;
      char name[kRegMaxVariableNameLength + 1];
      for (LONG i = 0; i < length; ++i) name[i] = next[i];
      name[length] = '\0';
      LPCOLESTR value = m_registrar->FindReplacement(name);
      if (!value) break;
      const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, value, -1, nullptr, 0, nullptr, nullptr);
      produced = size > 0 ? size - 1 : 0;
      next = CharNextA(end);
    }
    if (offset < out + produced) break;
    out += produced;
    p = next;
  }
  return static_cast<LONG>(p - source);
}

// ---------------------------------------------------------------------------
// Faults

void CRegScriptParser::SetFault(LPCSTR at, LPCSTR expected, LPCSTR found, LONG foundLength, bool quoted) {
  m_faultAt = at;
  m_faultExpected = expected;
  if (foundLength < 0) foundLength = lstrlenA(found);
  // A quoted excerpt, cut at a character boundary with "..." when long.
  LONG length = 0;
  char* out = m_faultFound;
  if (quoted) *out++ = '\'';
  while (length < foundLength && length < kExcerptLength) {
    const LONG bytes = static_cast<LONG>(CharNextA(found + length) - (found + length));
    if (bytes <= 0 || length + bytes > kExcerptLength || length + bytes > foundLength) break;
    for (LONG i = 0; i < bytes; ++i) *out++ = found[length + i];
    length += bytes;
  }
  if (length < foundLength) {
    for (int i = 0; i < 3; ++i) *out++ = '.';
  }
  if (quoted) *out++ = '\'';
  *out = '\0';
}

HRESULT CRegScriptParser::Unexpected(LPCSTR expected, LPCSTR token, HRESULT hr) {
  SetFault(m_tokenStart, expected, token, -1, true);
  return hr;
}

// ---------------------------------------------------------------------------
// Tokenizer

HRESULT CRegScriptParser::TokenTooLong(LPCSTR expected) {
  SetFault(m_tokenStart, expected, "a token longer than 4094 bytes", -1, false);
  return DISP_E_EXCEPTION;
}

void CRegScriptParser::SkipWhiteSpace() {
  while (IsWhiteSpace(*m_position)) m_position = CharNextA(m_position);
}

HRESULT CRegScriptParser::NextToken(LPSTR token, LPCSTR expected) {
  SkipWhiteSpace();
  m_tokenStart = m_position;
  if (!*m_position) {
    SetFault(m_tokenStart, expected, "the end of the script", -1, false);
    return DISP_E_EXCEPTION;
  }
  int length = 0;
  // Copies one character (one or more bytes) if it fits with the NUL and a
  // byte to spare.
  auto copy = [&]() -> bool {
    LPCSTR next = CharNextA(m_position);
    const int bytes = static_cast<int>(next - m_position);
    if (length + bytes + 1 >= kRegTokenBufferSize) return false;
    for (int i = 0; i < bytes; ++i) token[length++] = m_position[i];
    m_position = next;
    return true;
  };
  if (*m_position == '\'') {
    m_position = CharNextA(m_position);
    while (*m_position && !(*m_position == '\'' && m_position[1] != '\'')) {
      if (*m_position == '\'') m_position = CharNextA(m_position);  // the first of a doubled quote
      if (!copy()) return TokenTooLong(expected);
    }
    if (!*m_position) {
      SetFault(m_tokenStart, expected, "a quote that is never closed", -1, false);
      return DISP_E_EXCEPTION;
    }
    m_position = CharNextA(m_position);
  } else {
    while (*m_position && !IsWhiteSpace(*m_position)) {
      if (!copy()) return TokenTooLong(expected);
    }
  }
  token[length] = '\0';
  return S_OK;
}
