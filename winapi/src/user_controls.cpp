// The system classes this layer provides: "STATIC" and the common control
// "ToolbarWindow32", each as much as the library uses of it.
#include <windows.h>
#include <commctrl.h>

#include "user_internal.h"

namespace winapi {
namespace user {

namespace {

// Controls that keep the font they are given (WM_SETFONT, WM_GETFONT).
bool KeepsFont(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto w = Find(hwnd);
  if (!w) return false;
  if (msg == WM_SETFONT) {
    {
      Lock hold(S().lock);
      w->font = reinterpret_cast<HFONT>(wParam);
    }
    if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
    *result = 0;
    return true;
  }
  if (msg == WM_GETFONT) {
    Lock hold(S().lock);
    *result = reinterpret_cast<LRESULT>(w->font);
    return true;
  }
  return false;
}

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  LRESULT result = 0;
  if (KeepsFont(hwnd, msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_NCHITTEST: {
      // Without SS_NOTIFY a static takes no mouse input: it goes to what lies below.
      auto w = Find(hwnd);
      if (w && !(w->style & SS_NOTIFY)) return HTTRANSPARENT;
      return HTCLIENT;
    }
    case WM_SETTEXT: {
      const LRESULT r = DefProc(hwnd, msg, wParam, lParam, unicode);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    default:
      return DefProc(hwnd, msg, wParam, lParam, unicode);
  }
}

// An empty toolbar: no buttons, no toolbar messages answered; it keeps its
// font and otherwise behaves as the default procedure.
LRESULT ToolbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  LRESULT result = 0;
  if (KeepsFont(hwnd, msg, wParam, lParam, &result)) return result;
  if (msg >= WM_USER && msg < WM_USER + 0x100) return 0;  // TB_* requests of a toolbar without buttons
  return DefProc(hwnd, msg, wParam, lParam, unicode);
}

}  // namespace

LRESULT CALLBACK StaticProcA(HWND h, UINT m, WPARAM w, LPARAM l) { return StaticProc(h, m, w, l, false); }
LRESULT CALLBACK StaticProcW(HWND h, UINT m, WPARAM w, LPARAM l) { return StaticProc(h, m, w, l, true); }
LRESULT CALLBACK ToolbarProcA(HWND h, UINT m, WPARAM w, LPARAM l) { return ToolbarProc(h, m, w, l, false); }
LRESULT CALLBACK ToolbarProcW(HWND h, UINT m, WPARAM w, LPARAM l) { return ToolbarProc(h, m, w, l, true); }

}  // namespace user
}  // namespace winapi
