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
