// What a window holds: its text, its enabled state, the window longs and
// extra bytes, and its properties.
#include <windows.h>

#include <cstring>

#include "internal.h"
#include "user_internal.h"

namespace winapi {
namespace user {

namespace {

bool ExtraSlot(const Window& w, int index, size_t size) {
  return index >= 0 && static_cast<size_t>(index) + size <= w.extra.size();
}

LONG_PTR GetLongCommon(HWND hwnd, int index, size_t size) {
  auto w = Need(hwnd);
  if (!w) return 0;
  Lock hold(S().lock);
  if (index >= 0) {
    if (!ExtraSlot(*w, index, size)) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    if (size == sizeof(LONG)) {
      LONG v;
      std::memcpy(&v, w->extra.data() + index, sizeof(v));
      return v;
    }
    LONG_PTR v;
    std::memcpy(&v, w->extra.data() + index, sizeof(v));
    return v;
  }
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->child ? w->parent : w->owner);
    case GWLP_ID:
      return static_cast<LONG_PTR>(w->id);
    case GWL_STYLE:
      return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA:
      return w->userData;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR SetLongCommon(HWND hwnd, int index, LONG_PTR value, size_t size, bool unicode) {
  auto w = Need(hwnd);
  if (!w) return 0;
  Lock hold(S().lock);
  LONG_PTR old = 0;
  if (index >= 0) {
    if (!ExtraSlot(*w, index, size)) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    if (size == sizeof(LONG)) {
      LONG o, v = static_cast<LONG>(value);
      std::memcpy(&o, w->extra.data() + index, sizeof(o));
      std::memcpy(w->extra.data() + index, &v, sizeof(v));
      return o;
    }
    std::memcpy(&old, w->extra.data() + index, sizeof(old));
    std::memcpy(w->extra.data() + index, &value, sizeof(value));
    return old;
  }
  switch (index) {
    case GWLP_WNDPROC:
      // The new procedure's character set is the setter's.
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      w->unicode = unicode;
      return old;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWLP_HWNDPARENT:
      if (w->child) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      old = reinterpret_cast<LONG_PTR>(w->owner);
      w->owner = reinterpret_cast<HWND>(value);
      return old;
    case GWLP_ID:
      old = static_cast<LONG_PTR>(w->id);
      w->id = static_cast<UINT_PTR>(value);
      return old;
    case GWL_STYLE:
      old = static_cast<LONG>(w->style);
      w->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      return old;
    case GWLP_USERDATA:
      old = w->userData;
      w->userData = value;
      return old;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

// A pointer-sized field cannot be read or written through the 32-bit calls
// on a 64-bit system.
bool PointerIndex(int index) { return index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT; }

std::u16string PropKey(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) return u"#" + winapi::Widen(std::to_string(reinterpret_cast<ULONG_PTR>(name)).c_str());
  std::u16string key(name);
  for (auto& c : key) c = FoldAscii(c);
  return key;
}

std::u16string PropKey(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return PropKey(reinterpret_cast<LPCWSTR>(name));
  return PropKey(winapi::FromAnsi(name).c_str());
}

BOOL SetPropCommon(HWND hwnd, const std::u16string& key, HANDLE data) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  Lock hold(S().lock);
  w->props[key] = data;
  return TRUE;
}

HANDLE GetPropCommon(HWND hwnd, const std::u16string& key, bool remove) {
  auto w = Find(hwnd);
  if (!w) return nullptr;
  Lock hold(S().lock);
  auto it = w->props.find(key);
  if (it == w->props.end()) return nullptr;
  HANDLE data = it->second;
  if (remove) w->props.erase(it);
  return data;
}

}  // namespace

}  // namespace user
}  // namespace winapi

using namespace winapi::user;

EXTERN_C BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  bool wasDisabled;
  {
    Lock hold(S().lock);
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled != !enable) {
      if (enable) {
        w->style &= ~WS_DISABLED;
      } else {
        w->style |= WS_DISABLED;
      }
    } else {
      return wasDisabled;
    }
  }
  if (!enable) MoveFocusOutOf(hwnd);
  Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE);
  return wasDisabled;
}

EXTERN_C BOOL WINAPI IsWindowEnabled(HWND hwnd) {
  auto w = Find(hwnd);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

EXTERN_C BOOL WINAPI SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!Need(hwnd)) return FALSE;
  return Deliver(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), true) ? TRUE : FALSE;
}

EXTERN_C BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
  if (!Need(hwnd)) return FALSE;
  return Deliver(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), false) ? TRUE : FALSE;
}

EXTERN_C int WINAPI GetWindowTextW(HWND hwnd, LPWSTR buffer, int max) {
  if (!Need(hwnd) || !buffer || max <= 0) return 0;
  buffer[0] = 0;
  return static_cast<int>(Deliver(hwnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer), true));
}

EXTERN_C int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int max) {
  if (!Need(hwnd) || !buffer || max <= 0) return 0;
  buffer[0] = 0;
  return static_cast<int>(
      Deliver(hwnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer), false));
}

EXTERN_C int WINAPI GetWindowTextLengthW(HWND hwnd) {
  if (!Need(hwnd)) return 0;
  return static_cast<int>(Deliver(hwnd, WM_GETTEXTLENGTH, 0, 0, true));
}

EXTERN_C int WINAPI GetWindowTextLengthA(HWND hwnd) {
  if (!Need(hwnd)) return 0;
  return static_cast<int>(Deliver(hwnd, WM_GETTEXTLENGTH, 0, 0, false));
}

EXTERN_C LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index) { return GetLongCommon(hwnd, index, sizeof(LONG_PTR)); }
EXTERN_C LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) { return GetLongCommon(hwnd, index, sizeof(LONG_PTR)); }
EXTERN_C LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  return SetLongCommon(hwnd, index, value, sizeof(LONG_PTR), true);
}
EXTERN_C LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  return SetLongCommon(hwnd, index, value, sizeof(LONG_PTR), false);
}

EXTERN_C LONG WINAPI GetWindowLongW(HWND hwnd, int index) {
  if (PointerIndex(index)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(GetLongCommon(hwnd, index, sizeof(LONG)));
}
EXTERN_C LONG WINAPI GetWindowLongA(HWND hwnd, int index) { return GetWindowLongW(hwnd, index); }

EXTERN_C LONG WINAPI SetWindowLongW(HWND hwnd, int index, LONG value) {
  if (PointerIndex(index)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(SetLongCommon(hwnd, index, value, sizeof(LONG), true));
}
EXTERN_C LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) {
  if (PointerIndex(index)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(SetLongCommon(hwnd, index, value, sizeof(LONG), false));
}

EXTERN_C BOOL WINAPI SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetPropCommon(hwnd, PropKey(name), data);
}
EXTERN_C BOOL WINAPI SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SetPropCommon(hwnd, PropKey(name), data);
}
EXTERN_C HANDLE WINAPI GetPropW(HWND hwnd, LPCWSTR name) { return name ? GetPropCommon(hwnd, PropKey(name), false) : nullptr; }
EXTERN_C HANDLE WINAPI GetPropA(HWND hwnd, LPCSTR name) { return name ? GetPropCommon(hwnd, PropKey(name), false) : nullptr; }
EXTERN_C HANDLE WINAPI RemovePropW(HWND hwnd, LPCWSTR name) { return name ? GetPropCommon(hwnd, PropKey(name), true) : nullptr; }
EXTERN_C HANDLE WINAPI RemovePropA(HWND hwnd, LPCSTR name) { return name ? GetPropCommon(hwnd, PropKey(name), true) : nullptr; }
