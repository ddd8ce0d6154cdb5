// Messages: calling window procedures (with text converted between an ANSI
// caller and a Unicode procedure, or the other way round, as Windows does),
// the default procedure, and the queue of posted messages.
#include <windows.h>
#include <windowsx.h>

#include <cstring>

#include "internal.h"
#include "user_internal.h"
#include "winapi_control.h"

namespace winapi {
namespace user {

LRESULT CallProc(WNDPROC proc, bool procUnicode, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                 bool callerUnicode) {
  if (!proc) return 0;
  if (procUnicode == callerUnicode) return proc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_SETTEXT: {
      if (!lParam) break;
      if (callerUnicode) {
        const std::string text = winapi::ToAnsi(reinterpret_cast<LPCWSTR>(lParam));
        return proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(text.c_str()));
      }
      const std::u16string text = winapi::FromAnsi(reinterpret_cast<LPCSTR>(lParam));
      return proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case WM_GETTEXT: {
      if (!lParam || wParam == 0) return 0;
      if (callerUnicode) {
        std::string buffer(wParam * 3 + 1, '\0');
        const LRESULT n = proc(hwnd, msg, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]));
        buffer.resize(std::min<size_t>(static_cast<size_t>(std::max<LRESULT>(n, 0)), buffer.size() - 1));
        return CopyText(winapi::FromAnsi(buffer.c_str()), reinterpret_cast<LPWSTR>(lParam), wParam);
      }
      std::u16string buffer(wParam + 1, u'\0');
      const LRESULT n = proc(hwnd, msg, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]));
      buffer.resize(std::min<size_t>(static_cast<size_t>(std::max<LRESULT>(n, 0)), buffer.size() - 1));
      return CopyText(winapi::ToAnsi(buffer.c_str()), reinterpret_cast<LPSTR>(lParam), wParam);
    }
    case WM_GETTEXTLENGTH: {
      // The length in the caller's units: ask for the text itself to count it.
      const LRESULT n = proc(hwnd, WM_GETTEXTLENGTH, 0, 0);
      if (n <= 0) return n;
      if (callerUnicode) {
        std::string buffer(static_cast<size_t>(n) + 1, '\0');
        proc(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]));
        return static_cast<LRESULT>(winapi::FromAnsi(buffer.c_str()).size());
      }
      std::u16string buffer(static_cast<size_t>(n) + 1, u'\0');
      proc(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]));
      return static_cast<LRESULT>(winapi::ToAnsi(buffer.c_str()).size());
    }
    case WM_NCCREATE:
    case WM_CREATE: {
      if (!lParam) break;
      if (callerUnicode) {
        CREATESTRUCTA cs;
        std::memcpy(&cs, reinterpret_cast<const void*>(lParam), sizeof(cs));
        const auto* w = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        std::string name, cls;
        if (w->lpszName && !IS_INTRESOURCE(w->lpszName)) {
          name = winapi::ToAnsi(w->lpszName);
          cs.lpszName = name.c_str();
        }
        if (w->lpszClass && !IS_INTRESOURCE(w->lpszClass)) {
          cls = winapi::ToAnsi(w->lpszClass);
          cs.lpszClass = cls.c_str();
        }
        const LRESULT r = proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(&cs));
        reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams = cs.lpCreateParams;
        return r;
      }
      CREATESTRUCTW cs;
      std::memcpy(&cs, reinterpret_cast<const void*>(lParam), sizeof(cs));
      const auto* a = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      std::u16string name, cls;
      if (a->lpszName && !IS_INTRESOURCE(a->lpszName)) {
        name = winapi::FromAnsi(a->lpszName);
        cs.lpszName = name.c_str();
      }
      if (a->lpszClass && !IS_INTRESOURCE(a->lpszClass)) {
        cls = winapi::FromAnsi(a->lpszClass);
        cs.lpszClass = cls.c_str();
      }
      const LRESULT r = proc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(&cs));
      reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams = cs.lpCreateParams;
      return r;
    }
    default:
      break;
  }
  return proc(hwnd, msg, wParam, lParam);
}

LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool callerUnicode) {
  WNDPROC proc;
  bool unicode;
  {
    auto w = Need(hwnd);
    if (!w) return 0;
    proc = w->proc;
    unicode = w->unicode;
  }
  return CallProc(proc, unicode, hwnd, msg, wParam, lParam, callerUnicode);
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Deliver(hwnd, msg, wParam, lParam, true);
}

LRESULT DefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  auto w = Find(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
        std::u16string text = unicode ? std::u16string(cs->lpszName)
                                      : winapi::FromAnsi(reinterpret_cast<const CREATESTRUCTA*>(cs)->lpszName);
        Lock hold(S().lock);
        w->text = std::move(text);
      }
      return TRUE;
    }
    case WM_SETTEXT: {
      std::u16string text;
      if (lParam) {
        text = unicode ? std::u16string(reinterpret_cast<LPCWSTR>(lParam))
                       : winapi::FromAnsi(reinterpret_cast<LPCSTR>(lParam));
      }
      Lock hold(S().lock);
      w->text = std::move(text);
      return TRUE;
    }
    case WM_GETTEXT: {
      std::u16string text;
      {
        Lock hold(S().lock);
        text = w->text;
      }
      if (unicode) return CopyText(text, reinterpret_cast<LPWSTR>(lParam), wParam);
      return CopyText(winapi::ToAnsi(text.c_str()), reinterpret_cast<LPSTR>(lParam), wParam);
    }
    case WM_GETTEXTLENGTH: {
      Lock hold(S().lock);
      return static_cast<LRESULT>(unicode ? w->text.size() : winapi::ToAnsi(w->text.c_str()).size());
    }
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOCLIENTMOVE)) Send(hwnd, WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
      if (!(pos->flags & SWP_NOCLIENTSIZE)) Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(pos->cx, pos->cy));
      return 0;
    }
    case WM_PAINT: {
      Lock hold(S().lock);
      w->updatePending = false;
      w->erasePending = false;
      return 0;
    }
    case WM_ERASEBKGND: {
      Lock hold(S().lock);
      w->erasePending = false;
      return w->cls->background ? 1 : 0;
    }
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_RBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &p);
      Send(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(p.x, p.y));
      return 0;
    }
    case WM_CONTEXTMENU:
      // Unhandled, it goes up to the parent.
      if (w->child) Send(w->parent, WM_CONTEXTMENU, wParam, lParam);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    default:
      return 0;
  }
}

namespace {

BOOL PostCommon(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  State& s = S();
  if (hwnd && !Need(hwnd)) return FALSE;
  Lock hold(s.lock);
  MSG m{hwnd, msg, wParam, lParam, GetTickCount(), POINT{0, 0}};
  s.posted.push_back(m);
  return TRUE;
}

bool InRange(UINT msg, UINT low, UINT high) { return (low == 0 && high == 0) || (msg >= low && msg <= high); }

bool WantedWindow(HWND filter, HWND hwnd) {
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(-1)) return hwnd == nullptr;
  return filter == hwnd || (hwnd && IsChild(filter, hwnd));
}

BOOL PeekCommon(LPMSG out, HWND filter, UINT low, UINT high, UINT remove) {
  State& s = S();
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock hold(s.lock);
  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (!WantedWindow(filter, it->hwnd) || !InRange(it->message, low, high)) continue;
    *out = *it;
    if (remove & PM_REMOVE) s.posted.erase(it);
    return TRUE;
  }
  if (!InRange(WM_TIMER, low, high)) return FALSE;
  const DWORD now = GetTickCount();
  auto due = s.timers.end();
  for (auto it = s.timers.begin(); it != s.timers.end(); ++it) {
    if (!WantedWindow(filter, it->first.hwnd)) continue;
    if (static_cast<LONG>(now - it->second.due) < 0) continue;
    if (due == s.timers.end() || static_cast<LONG>(it->second.due - due->second.due) < 0 ||
        (it->second.due == due->second.due && it->second.order < due->second.order)) {
      due = it;
    }
  }
  if (due == s.timers.end()) return FALSE;
  *out = MSG{due->first.hwnd, WM_TIMER, due->first.id, reinterpret_cast<LPARAM>(due->second.proc), now, POINT{0, 0}};
  if (remove & PM_REMOVE) due->second.due = now + due->second.elapse;
  return TRUE;
}

LRESULT DispatchCommon(const MSG* msg, bool unicode) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  return Deliver(msg->hwnd, msg->message, msg->wParam, msg->lParam, unicode);
}

}  // namespace

}  // namespace user
}  // namespace winapi

using namespace winapi::user;

EXTERN_C LRESULT WINAPI SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Deliver(hwnd, msg, wParam, lParam, true);
}

EXTERN_C LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Deliver(hwnd, msg, wParam, lParam, false);
}

EXTERN_C LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

EXTERN_C LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

EXTERN_C LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefProc(hwnd, msg, wParam, lParam, true);
}

EXTERN_C LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefProc(hwnd, msg, wParam, lParam, false);
}

EXTERN_C BOOL WINAPI PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostCommon(hwnd, msg, wParam, lParam);
}
EXTERN_C BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostCommon(hwnd, msg, wParam, lParam);
}
EXTERN_C void WINAPI PostQuitMessage(int exitCode) { PostCommon(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }
EXTERN_C BOOL WINAPI PeekMessageW(LPMSG msg, HWND hwnd, UINT low, UINT high, UINT remove) {
  return PeekCommon(msg, hwnd, low, high, remove);
}
EXTERN_C BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT low, UINT high, UINT remove) {
  return PeekCommon(msg, hwnd, low, high, remove);
}
EXTERN_C BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }
EXTERN_C LRESULT WINAPI DispatchMessageW(const MSG* msg) { return DispatchCommon(msg, true); }
EXTERN_C LRESULT WINAPI DispatchMessageA(const MSG* msg) { return DispatchCommon(msg, false); }

EXTERN_C UINT WinapiDispatchPostedMessages(void) {
  UINT dispatched = 0;
  MSG msg;
  for (;;) {
    {
      State& s = S();
      Lock hold(s.lock);
      auto it = std::find_if(s.posted.begin(), s.posted.end(), [](const MSG& m) { return m.message != WM_QUIT; });
      if (it == s.posted.end()) break;
      msg = *it;
      s.posted.erase(it);
    }
    DispatchMessageW(&msg);
    ++dispatched;
  }
  return dispatched;
}
