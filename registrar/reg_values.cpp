// Writing a value of each type: "S", "M", "D" and "B" data turned into the
// bytes the registry stores.
#include "reg_internal.h"
#include "reg_object.h"

namespace {

// Where a value goes. The journal saves what the value holds before it is set.
struct CValueTarget {
  CRegJournal* journal;
  CRegJournalKey* keyEntry;
  HKEY key;
  LPCSTR name;          // null: the default value
  LPCSTR namePosition;  // the name's token in the script text

  HRESULT Write(DWORD type, const BYTE* data, DWORD size) const {
    return journal->SetValue(keyEntry, key, namePosition, name, type, data, size);
  }
};

// "M": strings separated by the two characters \0, stored with a final empty
// string. The size counts the strings up to the first empty one.
HRESULT SetMultiString(const CValueTarget& target, LPCSTR text) {
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
  return target.Write(REG_MULTI_SZ, data, static_cast<DWORD>(size));
}

// "D": the text as an unsigned 32-bit number. Text that is not one fails the
// entry with the conversion's result, rather than writing a number nobody chose.
HRESULT ParseNumber(LPCSTR text, DWORD* number) {
  const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
  if (units <= 0) return E_OUTOFMEMORY;
  CValueBuffer<1024> buffer;
  OLECHAR* wide = reinterpret_cast<OLECHAR*>(buffer.Allocate(static_cast<SIZE_T>(units) * sizeof(OLECHAR)));
  if (!wide || MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide, units) != units) return E_OUTOFMEMORY;
  ULONG value = 0;
  const HRESULT hr = VarUI4FromStr(wide, 0, 0, &value);
  if (FAILED(hr)) return hr;
  *number = value;
  return S_OK;
}

BYTE DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<BYTE>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<BYTE>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<BYTE>(c - 'a' + 10);
  return 0;
}

// "B": pairs of hex digits (an even count, checked by the caller), the first
// of each pair the high nibble.
HRESULT SetBinary(const CValueTarget& target, LPCSTR text) {
  const SIZE_T length = static_cast<SIZE_T>(lstrlenA(text));
  CValueBuffer<256> buffer;
  BYTE* data = buffer.Allocate(length / 2);
  if (!data) return E_FAIL;
  for (SIZE_T i = 0; i < length / 2; ++i) data[i] = 0;
  for (SIZE_T i = 0; i < length; ++i) {
    data[i / 2] = static_cast<BYTE>(data[i / 2] | (DigitValue(text[i]) << ((i % 2) ? 0 : 4)));
  }
  return target.Write(REG_BINARY, data, static_cast<DWORD>(length / 2));
}

}  // namespace

HRESULT CRegObject::WriteValue(CRegScriptParser* parser, HKEY key, CRegJournalKey* keyEntry, LPCSTR valueName,
                               LPCSTR namePosition, LPSTR token) {
  char text[kRegTokenBufferSize];
  HRESULT hr = parser->NextToken(text, kExpectType);
  if (FAILED(hr)) return hr;
  VARTYPE type = VT_EMPTY;
  if (!ValueTypeFromLetter(text, &type)) return parser->Unexpected(kExpectType, text);
  parser->SkipWhiteSpace();
  hr = parser->NextToken(text, kExpectData);
  if (FAILED(hr)) return hr;

  const CValueTarget target{&m_journal, keyEntry, key, valueName, namePosition};
  switch (type) {
    case VT_BSTR:
      hr = target.Write(REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(lstrlenA(text) + 1));
      break;
    case kVtMultiString:
      hr = SetMultiString(target, text);
      break;
    case VT_UI4: {
      DWORD number = 0;
      hr = ParseNumber(text, &number);
      if (FAILED(hr)) return hr == E_OUTOFMEMORY ? hr : parser->Unexpected(kExpectNumber, text, hr);
      hr = target.Write(REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
      break;
    }
    case VT_UI1:
      if (lstrlenA(text) % 2) return parser->Unexpected(kExpectHexPairs, text, E_FAIL);
      hr = SetBinary(target, text);
      break;
    default:
      hr = DISP_E_EXCEPTION;
      break;
  }
  if (FAILED(hr)) return hr;
  return parser->NextToken(token, kExpectEntry);
}
