// The keyboard focus: one window of the process, or none.
#include <windows.h>

#include "user_internal.h"

namespace winapi {
namespace user {

void MoveFocusOutOf(HWND hwnd) {
  HWND focus = GetFocus();
  if (!focus || !Contains(hwnd, focus)) return;
  auto w = Find(hwnd);
  SetFocus(w && w->child ? w->parent : nullptr);
}

}  // namespace user
}  // namespace winapi

using namespace winapi::user;

// WM_KILLFOCUS to the window losing the focus (wParam: the one gaining it),
// then WM_SETFOCUS to the one gaining it (wParam: the one that lost it).
EXTERN_C HWND WINAPI SetFocus(HWND hwnd) {
  State& s = S();
  if (hwnd && !Need(hwnd)) return nullptr;
  HWND old;
  {
    Lock hold(s.lock);
    old = s.focus;
    if (old == hwnd) return old;
  }
  if (old && Find(old)) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd));
  {
    Lock hold(s.lock);
    s.focus = hwnd && Find(hwnd) ? hwnd : nullptr;
  }
  if (hwnd && Find(hwnd)) Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old));
  return old;
}

EXTERN_C HWND WINAPI GetFocus(void) {
  State& s = S();
  Lock hold(s.lock);
  return s.focus;
}
