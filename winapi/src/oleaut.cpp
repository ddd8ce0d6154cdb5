// OLE Automation: length-counted strings and VARIANTs.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "winapi_control.h"

// ---------------------------------------------------------------------------
// BSTR: a 32-bit byte length stored just before the characters, which are
// followed by a NUL that the length does not count.
STDAPI_(BSTR) SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > 0x3FFFFFF0u / sizeof(OLECHAR)) return nullptr;
  const size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
  auto* block = static_cast<BYTE*>(std::malloc(sizeof(DWORD) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const DWORD prefix = static_cast<DWORD>(bytes);
  std::memcpy(block, &prefix, sizeof(prefix));
  auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(DWORD));
  if (text) {
    std::memcpy(chars, text, bytes);
  } else {
    std::memset(chars, 0, bytes);
  }
  chars[length] = 0;
  WinapiCountObject(WinapiBstrs, 1);
  return chars;
}

STDAPI_(BSTR) SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(lstrlenW(text)));
}

STDAPI_(void) SysFreeString(BSTR text) {
  if (!text) return;
  WinapiCountObject(WinapiBstrs, -1);
  std::free(reinterpret_cast<BYTE*>(text) - sizeof(DWORD));
}

STDAPI_(UINT) SysStringLen(BSTR text) {
  if (!text) return 0;
  DWORD bytes;
  std::memcpy(&bytes, reinterpret_cast<BYTE*>(text) - sizeof(DWORD), sizeof(bytes));
  return bytes / sizeof(OLECHAR);
}

// ---------------------------------------------------------------------------
// VARIANT
STDAPI_(void) VariantInit(VARIANTARG* v) {
  if (!v) return;
  std::memset(v, 0, sizeof(*v));
  v->vt = VT_EMPTY;
}

STDAPI VariantClear(VARIANTARG* v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    switch (v->vt) {
      case VT_BSTR:
        SysFreeString(v->bstrVal);
        break;
      case VT_UNKNOWN:
      case VT_DISPATCH:
        if (v->punkVal) v->punkVal->Release();
        break;
      default:
        break;
    }
  }
  std::memset(v, 0, sizeof(*v));
  v->vt = VT_EMPTY;
  return S_OK;
}

// ---------------------------------------------------------------------------
// Numbers from text
namespace {
bool IsBlank(OLECHAR c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsDigit(OLECHAR c) { return c >= u'0' && c <= u'9'; }
}  // namespace

STDAPI VarUI4FromStr(OLECHAR* strIn, LCID, ULONG, ULONG* pulOut) {
  if (!strIn || !pulOut) return E_INVALIDARG;
  const OLECHAR* p = strIn;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
  // Whole part, saturating above 32 bits so that long inputs cannot wrap.
  unsigned long long whole = 0;
  bool anyDigit = false;
  for (; IsDigit(*p); ++p) {
    anyDigit = true;
    if (whole <= 0xFFFFFFFFull) whole = whole * 10 + static_cast<unsigned>(*p - u'0');
  }
  // Fraction: only its first digit and whether anything follows it matter.
  int firstFraction = -1;
  bool restNonZero = false;
  if (*p == u'.') {
    ++p;
    for (; IsDigit(*p); ++p) {
      anyDigit = true;
      if (firstFraction < 0) {
        firstFraction = *p - u'0';
      } else if (*p != u'0') {
        restNonZero = true;
      }
    }
  }
  while (IsBlank(*p)) ++p;
  if (!anyDigit || *p != 0) return DISP_E_TYPEMISMATCH;
  if (firstFraction > 5 || (firstFraction == 5 && (restNonZero || (whole & 1)))) ++whole;
  if (whole > 0xFFFFFFFFull || (negative && whole != 0)) return DISP_E_OVERFLOW;
  *pulOut = static_cast<ULONG>(whole);
  return S_OK;
}
