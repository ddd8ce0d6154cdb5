// What needs painting: the update region of each window (whole windows here:
// nothing is drawn) and the calls that set, clear and paint it.
#include <windows.h>

#include "user_internal.h"
#include "winapi_control.h"

using namespace winapi::user;

// A null window means the whole screen: Windows invalidates and repaints every
// top-level window and its children, other programs' too. Each such call is
// counted, so that tests can see nothing asks for it.
EXTERN_C BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL erase) {
  State& s = S();
  Lock hold(s.lock);
  if (!hwnd) {
    ++s.screenInvalidations;
    for (auto& entry : s.windows) {
      if (entry.first == s.desktop) continue;
      entry.second->updatePending = true;
      entry.second->erasePending = entry.second->erasePending || erase;
    }
    return TRUE;
  }
  auto w = Need(hwnd);
  if (!w) return FALSE;
  w->updatePending = true;
  w->erasePending = w->erasePending || erase;
  return TRUE;
}

EXTERN_C BOOL WINAPI ValidateRect(HWND hwnd, const RECT*) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  Lock hold(S().lock);
  w->updatePending = false;
  w->erasePending = false;
  return TRUE;
}

EXTERN_C BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  Lock hold(S().lock);
  if (rect) {
    *rect = w->updatePending ? RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top} : RECT{};
  }
  return w->updatePending ? TRUE : FALSE;
}

EXTERN_C BOOL WINAPI UpdateWindow(HWND hwnd) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  bool pending, erase;
  {
    Lock hold(S().lock);
    pending = w->updatePending;
    erase = w->erasePending;
  }
  if (!pending) return TRUE;
  if (erase) Send(hwnd, WM_ERASEBKGND);
  Send(hwnd, WM_PAINT);
  return TRUE;
}

EXTERN_C LONG WinapiScreenInvalidations(void) {
  State& s = S();
  Lock hold(s.lock);
  return s.screenInvalidations;
}
