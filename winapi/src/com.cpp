// COM runtime: the task allocator and class ids as text.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "winapi_control.h"

namespace {

std::atomic<int> g_failTaskAllocations{0};

bool TakeInjectedFailure() {
  int pending = g_failTaskAllocations.load();
  while (pending > 0 && !g_failTaskAllocations.compare_exchange_weak(pending, pending - 1)) {
  }
  return pending > 0;
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at *p; false on anything else.
bool ReadHex(const OLECHAR** p, int digits, unsigned long long* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    const int v = HexValue((*p)[i]);
    if (v < 0) return false;
    *value = (*value << 4) | static_cast<unsigned>(v);
  }
  *p += digits;
  return true;
}

bool Expect(const OLECHAR** p, OLECHAR c) {
  if (**p != c) return false;
  ++*p;
  return true;
}

}  // namespace

EXTERN_C void WinapiFailNextTaskAllocations(int count) { g_failTaskAllocations = count; }

STDAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb) {
  if (TakeInjectedFailure()) return nullptr;
  void* p = std::malloc(cb ? cb : 1);
  if (p) WinapiCountObject(WinapiTaskMemory, 1);
  return p;
}

STDAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    CoTaskMemFree(pv);
    return nullptr;
  }
  if (TakeInjectedFailure()) return nullptr;
  return std::realloc(pv, cb);
}

STDAPI_(void) CoTaskMemFree(LPVOID pv) {
  if (!pv) return;
  WinapiCountObject(WinapiTaskMemory, -1);
  std::free(pv);
}

STDAPI_(int) StringFromGUID2(REFGUID g, LPOLESTR out, int cchMax) {
  static const char kHex[] = "0123456789ABCDEF";
  if (!out || cchMax < 39) return 0;
  OLECHAR* p = out;
  auto put = [&p](unsigned long long v, int digits) {
    for (int i = digits - 1; i >= 0; --i) *p++ = static_cast<OLECHAR>(kHex[(v >> (4 * i)) & 0xF]);
  };
  *p++ = u'{';
  put(g.Data1, 8);
  *p++ = u'-';
  put(g.Data2, 4);
  *p++ = u'-';
  put(g.Data3, 4);
  *p++ = u'-';
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  *p++ = u'-';
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  *p++ = u'}';
  *p = 0;
  return 39;
}

STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (!lplpsz) return E_INVALIDARG;
  *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc(39 * sizeof(OLECHAR)));
  if (!*lplpsz) return E_OUTOFMEMORY;
  StringFromGUID2(rclsid, *lplpsz, 39);
  return S_OK;
}

STDAPI IIDFromString(LPCOLESTR text, LPIID iid) {
  if (!iid) return E_INVALIDARG;
  if (!text) {
    *iid = IID_NULL;
    return S_OK;
  }
  const OLECHAR* p = text;
  unsigned long long v;
  GUID g{};
  if (!Expect(&p, u'{') || !ReadHex(&p, 8, &v)) return CO_E_CLASSSTRING;
  g.Data1 = static_cast<DWORD>(v);
  if (!Expect(&p, u'-') || !ReadHex(&p, 4, &v)) return CO_E_CLASSSTRING;
  g.Data2 = static_cast<WORD>(v);
  if (!Expect(&p, u'-') || !ReadHex(&p, 4, &v)) return CO_E_CLASSSTRING;
  g.Data3 = static_cast<WORD>(v);
  if (!Expect(&p, u'-')) return CO_E_CLASSSTRING;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(&p, u'-')) return CO_E_CLASSSTRING;
    if (!ReadHex(&p, 2, &v)) return CO_E_CLASSSTRING;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  if (!Expect(&p, u'}') || *p != 0) return CO_E_CLASSSTRING;
  *iid = g;
  return S_OK;
}

STDAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid) { return IIDFromString(text, clsid); }

// Initialisations are counted; the last CoUninitialize lets go of the
// in-process servers that are no longer in use.
namespace {
std::atomic<LONG> g_initCount{0};
}  // namespace

STDAPI CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }
STDAPI CoInitializeEx(LPVOID, DWORD) { return ++g_initCount == 1 ? S_OK : S_FALSE; }
STDAPI_(void) CoUninitialize(void) {
  LONG count = g_initCount.load();
  while (count > 0 && !g_initCount.compare_exchange_weak(count, count - 1)) {
  }
  if (count == 1) winapi::FreeUnusedInprocServers();
}
