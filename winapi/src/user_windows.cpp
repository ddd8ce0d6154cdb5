// Windows: the tree under the desktop window, their handles, creation and
// destruction.
//
// One window tree per process under a desktop window. Sent messages call the
// window procedure at once on the caller's thread, as Windows does for windows
// of the calling thread; the layer's lock is never held while a procedure
// runs, so procedures may create, destroy and send freely.
#include <windows.h>

#include <atomic>

#include "internal.h"
#include "loader_lock.h"
#include "user_internal.h"
#include "winapi_control.h"

namespace winapi {

uintptr_t NewObjectHandle() {
  // Even values from 0x10000 up, as Windows handles look.
  static std::atomic<uintptr_t> next{0x10000};
  return next.fetch_add(4);
}

}  // namespace winapi

namespace winapi {
namespace user {

State::State() {
  AddSystemClass(u"STATIC", StaticProcA, StaticProcW, CS_DBLCLKS | CS_PARENTDC | CS_GLOBALCLASS);
  AddSystemClass(u"ToolbarWindow32", ToolbarProcA, ToolbarProcW, CS_DBLCLKS | CS_GLOBALCLASS);
  auto desktopClass = AddSystemClass(u"#32769", DefWindowProcA, DefWindowProcW, 0);
  auto w = std::make_shared<Window>();
  w->handle = reinterpret_cast<HWND>(winapi::NewObjectHandle());
  w->cls = desktopClass;
  w->proc = DefWindowProcW;
  w->unicode = true;
  w->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  w->rect = RECT{0, 0, kScreenWidth, kScreenHeight};
  desktop = w->handle;
  windows[desktop] = w;
}

std::shared_ptr<WindowClass> State::AddSystemClass(const char16_t* name, WNDPROC a, WNDPROC w, UINT style) {
  auto c = std::make_shared<WindowClass>();
  c->name = name;
  c->atom = nextAtom++;
  c->style = style;
  c->procA = a;
  c->procW = w;
  c->system = true;
  classes.push_back(c);
  return c;
}

// Every window function goes through here: the one place to see a User32 call
// made under the loader lock, where Windows forbids it.
State& S() {
  CheckNotUnderLoaderLock("User32");
  static State* state = new State;  // outlives every static destructor that may still call in
  return *state;
}

std::shared_ptr<Window> Find(HWND hwnd) {
  State& s = S();
  Lock hold(s.lock);
  auto it = s.windows.find(hwnd);
  return it == s.windows.end() ? nullptr : it->second;
}

std::shared_ptr<Window> Need(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

namespace {

// Windows reuses the handle values of destroyed windows, so a handle kept past
// its window's end may reach another program's window: the value freed last
// is the next one handed out. The state's lock is held.
HWND TakeWindowHandle(State& s) {
  if (s.freedHandles.empty()) return reinterpret_cast<HWND>(winapi::NewObjectHandle());
  const HWND hwnd = s.freedHandles.back();
  s.freedHandles.pop_back();
  return hwnd;
}

template <typename CreateStruct, typename Char>
HWND CreateCommon(DWORD exStyle, const Char* className, const Char* windowName, DWORD style, int x, int y, int cx,
                  int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param, bool unicode) {
  State& s = S();
  if (!className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const HINSTANCE program = ProgramInstance();
  auto cls = FindClass(NameOf(className), instance, program);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  const bool child = (style & WS_CHILD) != 0;
  if (parent == HWND_MESSAGE) parent = nullptr;
  if (parent && !Find(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (parent == s.desktop) parent = nullptr;
  if (child && !parent) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  if (x == CW_USEDEFAULT) {
    x = child ? 0 : kDefaultX;
    y = child ? 0 : kDefaultY;
  }
  if (cx == CW_USEDEFAULT) {
    cx = child ? 0 : kDefaultWidth;
    cy = child ? 0 : kDefaultHeight;
  }
  cx = std::max(cx, 0);
  cy = std::max(cy, 0);

  auto w = std::make_shared<Window>();
  w->cls = cls;
  if (cls->system) {
    w->proc = unicode ? cls->procW : cls->procA;
    w->unicode = unicode;
  } else {
    w->proc = cls->proc;
    w->unicode = cls->unicode;
  }
  w->instance = instance;
  w->style = style & ~WS_VISIBLE;  // shown once created, as Windows does
  w->exStyle = exStyle;
  w->child = child;
  w->parent = child ? parent : s.desktop;
  w->owner = child ? nullptr : parent;
  w->rect = RECT{x, y, x + cx, y + cy};
  w->id = reinterpret_cast<UINT_PTR>(menu);
  w->extra.assign(static_cast<size_t>(std::max(cls->wndExtra, 0)), 0);
  HWND hwnd;
  {
    Lock hold(s.lock);
    hwnd = w->handle = TakeWindowHandle(s);
    s.windows[hwnd] = w;
    auto p = Find(w->parent);
    if (p) p->children.push_back(hwnd);
    ++cls->windows;
  }
  WinapiCountObject(WinapiWindows, 1);

  CreateStruct cs{};
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.cy = cy;
  cs.cx = cx;
  cs.y = y;
  cs.x = x;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;

  // A procedure may destroy the window, and create another under its handle.
  const auto alive = [&] { return Find(hwnd) == w; };
  if (!Deliver(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs), unicode)) {
    // A window refused at WM_NCCREATE gets WM_NCDESTROY only.
    if (alive()) {
      MarkDestroying(hwnd);
      SendNcDestroy(hwnd);
    }
    return nullptr;
  }
  if (!alive()) return nullptr;
  if (Deliver(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs), unicode) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!alive()) return nullptr;
  Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cx, cy));
  Send(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
  if ((style & WS_VISIBLE) && alive()) ShowCommon(hwnd, SW_SHOW);
  return alive() ? hwnd : nullptr;
}

// A window of the tree being destroyed, not one made since under a handle
// freed on the way.
bool BeingDestroyed(HWND hwnd) {
  auto w = Find(hwnd);
  return w && w->destroying;
}

void SendDestroy(HWND hwnd) {
  Send(hwnd, WM_DESTROY);
  std::vector<HWND> children;
  {
    Lock hold(S().lock);
    auto w = Find(hwnd);
    if (w) children = w->children;
  }
  for (HWND c : children) {
    if (BeingDestroyed(c)) SendDestroy(c);
  }
}

void Forget(HWND hwnd) {
  State& s = S();
  LONG timers = 0;
  {
    Lock hold(s.lock);
    auto w = Find(hwnd);
    if (!w) return;
    auto p = Find(w->parent);
    if (p) p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd), p->children.end());
    timers = DropTimers(s, hwnd);
    s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                   s.posted.end());
    if (s.focus == hwnd) s.focus = nullptr;
    --w->cls->windows;
    s.windows.erase(hwnd);
    s.freedHandles.push_back(hwnd);
  }
  WinapiCountObject(WinapiWindows, -1);
  if (timers) WinapiCountObject(WinapiTimers, -timers);
}

}  // namespace

void SendNcDestroy(HWND hwnd) {
  std::vector<HWND> children;
  {
    Lock hold(S().lock);
    auto w = Find(hwnd);
    if (w) children = w->children;
  }
  for (HWND c : children) {
    if (BeingDestroyed(c)) SendNcDestroy(c);
  }
  Send(hwnd, WM_NCDESTROY);
  Forget(hwnd);
}

void MarkDestroying(HWND hwnd) {
  Lock hold(S().lock);
  auto w = Find(hwnd);
  if (!w) return;
  w->destroying = true;
  for (HWND c : w->children) MarkDestroying(c);
}

}  // namespace user
}  // namespace winapi

using namespace winapi::user;

EXTERN_C HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                     int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  return CreateCommon<CREATESTRUCTW>(exStyle, className, windowName, style, x, y, cx, cy, parent, menu, instance,
                                     param, true);
}

EXTERN_C HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                     int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  return CreateCommon<CREATESTRUCTA>(exStyle, className, windowName, style, x, y, cx, cy, parent, menu, instance,
                                     param, false);
}

// Hides the window, then WM_DESTROY to it and to its descendants, parents
// first; then WM_NCDESTROY to its descendants, children first, and last to the
// window itself. Windows it owns go before it.
EXTERN_C BOOL WINAPI DestroyWindow(HWND hwnd) {
  State& s = S();
  auto w = Need(hwnd);
  if (!w) return FALSE;
  if (hwnd == s.desktop) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::vector<HWND> owned;
  {
    Lock hold(s.lock);
    if (w->destroying) return TRUE;
    for (auto& entry : s.windows) {
      if (entry.second->owner == hwnd) owned.push_back(entry.first);
    }
  }
  for (HWND o : owned) {
    if (Find(o)) DestroyWindow(o);
  }
  bool visible;
  {
    Lock hold(s.lock);
    visible = (w->style & WS_VISIBLE) != 0;
  }
  if (visible) {
    ChangeWindowPos(hwnd, 0, 0, 0, 0,
                    SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
  }
  MoveFocusOutOf(hwnd);
  if (Find(hwnd) != w) return TRUE;
  MarkDestroying(hwnd);
  SendDestroy(hwnd);
  SendNcDestroy(hwnd);
  return TRUE;
}

EXTERN_C BOOL WINAPI IsWindow(HWND hwnd) { return hwnd && Find(hwnd) ? TRUE : FALSE; }

EXTERN_C BOOL WINAPI IsWindowUnicode(HWND hwnd) {
  auto w = Find(hwnd);
  return w && w->unicode ? TRUE : FALSE;
}

EXTERN_C void WinapiResetUser(void) {
  State& s = S();
  LONG windows = 0;
  LONG timers = 0;
  {
    Lock hold(s.lock);
    for (auto it = s.windows.begin(); it != s.windows.end();) {
      if (it->first == s.desktop) {
        it->second->children.clear();
        ++it;
      } else {
        s.freedHandles.push_back(it->first);
        it = s.windows.erase(it);
        ++windows;
      }
    }
    s.classes.erase(std::remove_if(s.classes.begin(), s.classes.end(),
                                   [](const std::shared_ptr<WindowClass>& c) { return !c->system; }),
                    s.classes.end());
    for (auto& c : s.classes) c->windows = 0;
    timers = static_cast<LONG>(s.timers.size());
    s.timers.clear();
    s.posted.clear();
    s.focus = nullptr;
  }
  if (windows) WinapiCountObject(WinapiWindows, -windows);
  if (timers) WinapiCountObject(WinapiTimers, -timers);
  winapi::ResetPopupMenus();
}
