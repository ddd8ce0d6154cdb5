// Where windows are: position, size and visibility, the parent and sibling
// links, and which window lies under a point of the screen.
#include <windows.h>
#include <windowsx.h>

#include "user_internal.h"
#include "winapi_control.h"

namespace winapi {
namespace user {

POINT Origin(HWND hwnd) {
  State& s = S();
  Lock hold(s.lock);
  POINT p{0, 0};
  for (auto w = Find(hwnd); w && w->handle != s.desktop; w = Find(w->parent)) {
    p.x += w->rect.left;
    p.y += w->rect.top;
  }
  return p;
}

bool Contains(HWND ancestor, HWND hwnd) {
  State& s = S();
  Lock hold(s.lock);
  for (auto w = Find(hwnd); w; w = Find(w->parent)) {
    if (w->handle == ancestor) return true;
    if (w->handle == s.desktop) break;
  }
  return false;
}

BOOL ChangeWindowPos(HWND hwnd, int x, int y, int cx, int cy, UINT flags) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  if (hwnd == S().desktop) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  WINDOWPOS pos{hwnd, nullptr, x, y, std::max(cx, 0), std::max(cy, 0), flags};
  {
    Lock hold(S().lock);
    if (flags & SWP_NOMOVE) {
      pos.x = w->rect.left;
      pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
      pos.cx = w->rect.right - w->rect.left;
      pos.cy = w->rect.bottom - w->rect.top;
    }
  }
  if (!(flags & SWP_NOSENDCHANGING)) {
    Send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    pos.cx = std::max(pos.cx, 0);
    pos.cy = std::max(pos.cy, 0);
  }
  bool hide = false;
  bool show = false;
  {
    Lock hold(S().lock);
    if (!Find(hwnd)) return FALSE;
    const RECT old = w->rect;
    const RECT now{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    if (now.left == old.left && now.top == old.top) pos.flags |= SWP_NOCLIENTMOVE;
    if (now.right - now.left == old.right - old.left && now.bottom - now.top == old.bottom - old.top) {
      pos.flags |= SWP_NOCLIENTSIZE;
    }
    w->rect = now;
    if ((pos.flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
      w->style |= WS_VISIBLE;
      show = true;
    }
    if ((pos.flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) {
      w->style &= ~WS_VISIBLE;
      hide = true;
    }
    if (!(pos.flags & SWP_NOREDRAW) && (show || !(pos.flags & SWP_NOCLIENTSIZE))) {
      w->updatePending = true;
      w->erasePending = true;
    }
  }
  if (hide) MoveFocusOutOf(hwnd);
  Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return TRUE;
}

BOOL ShowCommon(HWND hwnd, int cmd) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  bool wasVisible;
  {
    Lock hold(S().lock);
    wasVisible = (w->style & WS_VISIBLE) != 0;
  }
  const bool show = cmd != SW_HIDE;
  if (show == wasVisible) return wasVisible;
  Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  ChangeWindowPos(hwnd, 0, 0, 0, 0,
                  SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                      (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  return wasVisible;
}

namespace {

bool VisibleAt(HWND hwnd, POINT screen) {
  auto w = Find(hwnd);
  if (!w || !(w->style & WS_VISIBLE)) return false;
  const POINT origin = Origin(hwnd);
  Lock hold(S().lock);
  return screen.x >= origin.x && screen.y >= origin.y && screen.x < origin.x + (w->rect.right - w->rect.left) &&
         screen.y < origin.y + (w->rect.bottom - w->rect.top);
}

// Top of the Z order first: among children the first created; among
// top-level windows the last created.
std::vector<HWND> ZOrder(HWND parent) {
  State& s = S();
  Lock hold(s.lock);
  auto w = Find(parent);
  if (!w) return {};
  std::vector<HWND> order = w->children;
  if (parent == s.desktop) std::reverse(order.begin(), order.end());
  return order;
}

// The deepest window under `hwnd` (which contains the point) that does not
// answer HTTRANSPARENT, or null when all of them do.
HWND Deepest(HWND hwnd, POINT screen) {
  for (HWND child : ZOrder(hwnd)) {
    if (!VisibleAt(child, screen)) continue;
    if (HWND found = Deepest(child, screen)) return found;
  }
  return Send(hwnd, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)) == HTTRANSPARENT ? nullptr : hwnd;
}

void Descendants(HWND parent, std::vector<HWND>* out) {
  for (HWND child : ZOrder(parent)) {
    out->push_back(child);
    Descendants(child, out);
  }
}

}  // namespace

}  // namespace user
}  // namespace winapi

using namespace winapi::user;

EXTERN_C BOOL WINAPI IsWindowVisible(HWND hwnd) {
  State& s = S();
  Lock hold(s.lock);
  auto w = Find(hwnd);
  if (!w) return FALSE;
  for (; w; w = w->handle == s.desktop ? nullptr : Find(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
  }
  return TRUE;
}

EXTERN_C BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
  auto w = Find(hwnd);
  if (!w || hwnd == parent) return FALSE;
  State& s = S();
  Lock hold(s.lock);
  while (w && w->child) {
    if (w->parent == parent) return TRUE;
    w = Find(w->parent);
  }
  return FALSE;
}

EXTERN_C BOOL WINAPI ShowWindow(HWND hwnd, int cmd) { return ShowCommon(hwnd, cmd); }

EXTERN_C BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
  return ChangeWindowPos(hwnd, x, y, cx, cy, flags | SWP_NOZORDER);
}

EXTERN_C BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint) {
  return ChangeWindowPos(hwnd, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

// Windows here have no frame: the client area is the whole window.
EXTERN_C BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock hold(S().lock);
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

EXTERN_C BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
  auto w = Need(hwnd);
  if (!w) return FALSE;
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const POINT origin = Origin(hwnd);
  Lock hold(S().lock);
  *rect = RECT{origin.x, origin.y, origin.x + w->rect.right - w->rect.left, origin.y + w->rect.bottom - w->rect.top};
  return TRUE;
}

EXTERN_C BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
  if (!Need(hwnd) || !point) return FALSE;
  const POINT origin = Origin(hwnd);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

EXTERN_C BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
  if (!Need(hwnd) || !point) return FALSE;
  const POINT origin = Origin(hwnd);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

EXTERN_C HWND WINAPI GetParent(HWND hwnd) {
  auto w = Need(hwnd);
  if (!w) return nullptr;
  return w->child ? w->parent : w->owner;
}

EXTERN_C HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
  auto w = Need(hwnd);
  if (!w) return nullptr;
  Lock hold(S().lock);
  if (cmd == GW_OWNER) return w->owner;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  auto p = Find(w->parent);
  if (!p) return nullptr;
  const auto& siblings = p->children;
  const auto at = std::find(siblings.begin(), siblings.end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST:
      return siblings.front();
    case GW_HWNDLAST:
      return siblings.back();
    case GW_HWNDNEXT:
      return (at == siblings.end() || at + 1 == siblings.end()) ? nullptr : *(at + 1);
    case GW_HWNDPREV:
      return (at == siblings.end() || at == siblings.begin()) ? nullptr : *(at - 1);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

EXTERN_C HWND WINAPI GetDesktopWindow(void) { return S().desktop; }

EXTERN_C HWND WINAPI WindowFromPoint(POINT screen) {
  State& s = S();
  for (HWND top : ZOrder(s.desktop)) {
    if (!VisibleAt(top, screen)) continue;
    if (HWND found = Deepest(top, screen)) return found;
  }
  return s.desktop;
}

// Every descendant, parents before their children, listed before the first
// call so the callback may create and destroy windows.
EXTERN_C BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  std::vector<HWND> all;
  Descendants(parent ? parent : S().desktop, &all);
  for (HWND hwnd : all) {
    if (Find(hwnd) && !proc(hwnd, lParam)) break;
  }
  return TRUE;
}

EXTERN_C int WINAPI GetDlgCtrlID(HWND hwnd) {
  auto w = Need(hwnd);
  return w && w->child ? static_cast<int>(w->id) : 0;
}

EXTERN_C HWND WinapiClick(POINT screen, BOOL rightButton) {
  const HWND hwnd = WindowFromPoint(screen);
  if (!hwnd || hwnd == S().desktop) return nullptr;
  POINT client = screen;
  ScreenToClient(hwnd, &client);
  const LPARAM at = MAKELPARAM(client.x, client.y);
  Send(hwnd, rightButton ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, rightButton ? MK_RBUTTON : MK_LBUTTON, at);
  if (IsWindow(hwnd)) Send(hwnd, rightButton ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
  return hwnd;
}
