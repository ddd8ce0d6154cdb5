// Window classes, windows, messages, focus and timers.
//
// One window tree per process under a desktop window. Sent messages call the
// window procedure at once on the caller's thread, as Windows does for windows
// of the calling thread; the layer's lock is never held while a procedure
// runs, so procedures may create, destroy and send freely. Window text is kept
// in UTF-16; a message carrying text between an ANSI caller and a Unicode
// procedure (or the other way round) is converted on the way, as Windows does.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "winapi_control.h"

namespace winapi {

uintptr_t NewObjectHandle() {
  // Even values from 0x10000 up, as Windows handles look; never reused.
  static std::atomic<uintptr_t> next{0x10000};
  return next.fetch_add(4);
}

}  // namespace winapi

namespace {

// The screen of this layer: what the desktop window covers.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// Where and how large a top-level window given CW_USEDEFAULT is.
constexpr int kDefaultX = 100;
constexpr int kDefaultY = 100;
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;

struct WindowClass {
  std::u16string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;  // of a registered class
  bool unicode = false;    // registered with RegisterClassExW
  WNDPROC procA = nullptr;  // of a system class: one procedure per character set
  WNDPROC procW = nullptr;
  int clsExtra = 0;
  int wndExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON iconSmall = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  std::u16string menuNameW;  // kept in both forms for GetClassInfoEx
  std::string menuNameA;
  LPCSTR menuIdA = nullptr;  // an integer menu name
  bool system = false;
  LONG windows = 0;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  bool unicode = false;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  bool child = false;  // WS_CHILD at creation: parent is its parent, else its owner
  HWND parent = nullptr;  // in the tree: the desktop for top-level windows
  HWND owner = nullptr;
  std::vector<HWND> children;  // in creation order, which is also their Z order
  RECT rect{};  // relative to the parent's client area (the screen for top-level)
  UINT_PTR id = 0;
  LONG_PTR userData = 0;
  std::vector<BYTE> extra;
  std::u16string text;
  std::map<std::u16string, HANDLE> props;
  HFONT font = nullptr;  // of the controls that keep one (STATIC, toolbar)
  bool updatePending = false;
  bool erasePending = false;
  bool destroying = false;
};

struct TimerKey {
  HWND hwnd;
  UINT_PTR id;
  bool operator<(const TimerKey& o) const { return hwnd != o.hwnd ? hwnd < o.hwnd : id < o.id; }
};

struct Timer {
  UINT elapse = 0;
  DWORD due = 0;
  TIMERPROC proc = nullptr;
  uint64_t order = 0;  // creation order, for timers due at the same moment
};

LRESULT CALLBACK StaticProcA(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProcW(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ToolbarProcA(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ToolbarProcW(HWND, UINT, WPARAM, LPARAM);

struct State {
  std::recursive_mutex lock;
  std::map<HWND, std::shared_ptr<Window>> windows;
  std::vector<std::shared_ptr<WindowClass>> classes;
  std::map<TimerKey, Timer> timers;
  std::deque<MSG> posted;
  HWND desktop = nullptr;
  HWND focus = nullptr;
  ATOM nextAtom = 0xC000;
  UINT_PTR nextThreadTimer = 0x7FF0;
  uint64_t timerOrder = 0;

  State() {
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

  std::shared_ptr<WindowClass> AddSystemClass(const char16_t* name, WNDPROC a, WNDPROC w, UINT style) {
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
};

State& S() {
  static State* state = new State;  // outlives every static destructor that may still call in
  return *state;
}

using Lock = std::lock_guard<std::recursive_mutex>;

std::shared_ptr<Window> Find(HWND hwnd) {
  State& s = S();
  Lock hold(s.lock);
  auto it = s.windows.find(hwnd);
  return it == s.windows.end() ? nullptr : it->second;
}

// A live window, or null with ERROR_INVALID_WINDOW_HANDLE.
std::shared_ptr<Window> Need(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// A class named by a string or by its atom (MAKEINTATOM).
struct ClassName {
  bool isAtom = false;
  ATOM atom = 0;
  std::u16string text;
};

ClassName NameOf(LPCWSTR name) {
  ClassName n;
  if (IS_INTRESOURCE(name)) {
    n.isAtom = true;
    n.atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
  } else {
    n.text = name;
  }
  return n;
}

ClassName NameOf(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return NameOf(reinterpret_cast<LPCWSTR>(name));
  ClassName n;
  n.text = winapi::FromAnsi(name);
  return n;
}

bool Matches(const WindowClass& c, const ClassName& n) { return n.isAtom ? c.atom == n.atom : SameName(c.name, n.text); }

HINSTANCE ProgramInstance() { return reinterpret_cast<HINSTANCE>(GetModuleHandleA(nullptr)); }

// The class a name means for a module, searched as Windows searches: the
// module's own classes, then the global classes, then the system classes.
std::shared_ptr<WindowClass> FindClass(const ClassName& name, HINSTANCE instance, HINSTANCE program) {
  State& s = S();
  Lock hold(s.lock);
  if (!instance) instance = program;
  for (auto& c : s.classes) {
    if (!c->system && !(c->style & CS_GLOBALCLASS) && c->instance == instance && Matches(*c, name)) return c;
  }
  for (auto& c : s.classes) {
    if (!c->system && (c->style & CS_GLOBALCLASS) && Matches(*c, name)) return c;
  }
  for (auto& c : s.classes) {
    if (c->system && Matches(*c, name)) return c;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Calling window procedures, with text converted between character sets.

// How much of the first n units of a text to keep so that no character of the
// ANSI code page is cut in two.
size_t WholeCharacters(const std::u16string&, size_t n) { return n; }
size_t WholeCharacters(const std::string& text, size_t n) { return winapi::AnsiPrefix(text, n); }

// Copies text into a caller's buffer of `capacity` units, cut to fit with its
// terminating NUL; returns the units copied, the NUL not counted.
template <typename Char>
LRESULT CopyText(const std::basic_string<Char>& text, Char* buffer, WPARAM capacity) {
  if (!buffer || capacity == 0) return 0;
  const size_t n = WholeCharacters(text, std::min<size_t>(text.size(), capacity - 1));
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<LRESULT>(n);
}

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

// Messages without text: the character set does not matter.
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
  return Deliver(hwnd, msg, wParam, lParam, true);
}

// ---------------------------------------------------------------------------
// Geometry

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

// Focus leaves a window that is hidden or destroyed: to its parent for a
// child window, to nobody for a top-level one.
void MoveFocusOutOf(HWND hwnd) {
  HWND focus = GetFocus();
  if (!focus || !Contains(hwnd, focus)) return;
  auto w = Find(hwnd);
  SetFocus(w && w->child ? w->parent : nullptr);
}

// WM_WINDOWPOSCHANGING, the change, WM_WINDOWPOSCHANGED; DefWindowProc turns
// the latter into WM_MOVE and WM_SIZE.
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

// ---------------------------------------------------------------------------
// Creating and destroying windows

void MarkDestroying(HWND hwnd);
void SendNcDestroy(HWND hwnd);

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
  w->handle = reinterpret_cast<HWND>(winapi::NewObjectHandle());
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
  const HWND hwnd = w->handle;
  {
    Lock hold(s.lock);
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

  if (!Deliver(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs), unicode)) {
    // A window refused at WM_NCCREATE gets WM_NCDESTROY only.
    if (Find(hwnd)) {
      MarkDestroying(hwnd);
      SendNcDestroy(hwnd);
    }
    return nullptr;
  }
  if (!Find(hwnd)) return nullptr;
  if (Deliver(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs), unicode) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!Find(hwnd)) return nullptr;
  Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cx, cy));
  Send(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
  if (style & WS_VISIBLE) ShowCommon(hwnd, SW_SHOW);
  return Find(hwnd) ? hwnd : nullptr;
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
    if (Find(c)) SendDestroy(c);
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
    for (auto it = s.timers.begin(); it != s.timers.end();) {
      if (it->first.hwnd == hwnd) {
        it = s.timers.erase(it);
        ++timers;
      } else {
        ++it;
      }
    }
    s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                   s.posted.end());
    if (s.focus == hwnd) s.focus = nullptr;
    --w->cls->windows;
    s.windows.erase(hwnd);
  }
  WinapiCountObject(WinapiWindows, -1);
  if (timers) WinapiCountObject(WinapiTimers, -timers);
}

// WM_NCDESTROY goes to the children before their parent; each window is gone
// once it has had its WM_NCDESTROY.
void SendNcDestroy(HWND hwnd) {
  std::vector<HWND> children;
  {
    Lock hold(S().lock);
    auto w = Find(hwnd);
    if (w) children = w->children;
  }
  for (HWND c : children) {
    if (Find(c)) SendNcDestroy(c);
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

// ---------------------------------------------------------------------------
// The default procedure and the system classes

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

LRESULT CALLBACK StaticProcA(HWND h, UINT m, WPARAM w, LPARAM l) { return StaticProc(h, m, w, l, false); }
LRESULT CALLBACK StaticProcW(HWND h, UINT m, WPARAM w, LPARAM l) { return StaticProc(h, m, w, l, true); }

// An empty toolbar: no buttons, no toolbar messages answered; it keeps its
// font and otherwise behaves as the default procedure.
LRESULT ToolbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  LRESULT result = 0;
  if (KeepsFont(hwnd, msg, wParam, lParam, &result)) return result;
  if (msg >= WM_USER && msg < WM_USER + 0x100) return 0;  // TB_* requests of a toolbar without buttons
  return DefProc(hwnd, msg, wParam, lParam, unicode);
}

LRESULT CALLBACK ToolbarProcA(HWND h, UINT m, WPARAM w, LPARAM l) { return ToolbarProc(h, m, w, l, false); }
LRESULT CALLBACK ToolbarProcW(HWND h, UINT m, WPARAM w, LPARAM l) { return ToolbarProc(h, m, w, l, true); }

// ---------------------------------------------------------------------------
// Window classes

template <typename WndClass>
ATOM RegisterCommon(const WndClass* wc, bool unicode, const ClassName& name, HINSTANCE program) {
  State& s = S();
  auto c = std::make_shared<WindowClass>();
  c->name = name.text;
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->unicode = unicode;
  c->clsExtra = wc->cbClsExtra;
  c->wndExtra = wc->cbWndExtra;
  c->instance = wc->hInstance ? wc->hInstance : program;
  c->icon = wc->hIcon;
  c->iconSmall = wc->hIconSm;
  c->cursor = wc->hCursor;
  c->background = wc->hbrBackground;
  Lock hold(s.lock);
  for (auto& other : s.classes) {
    if (other->system || !SameName(other->name, c->name)) continue;
    const bool bothGlobal = (other->style & CS_GLOBALCLASS) && (c->style & CS_GLOBALCLASS);
    if (other->instance == c->instance || bothGlobal) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  c->atom = s.nextAtom++;
  s.classes.push_back(c);
  return c->atom;
}

BOOL UnregisterCommon(const ClassName& name, HINSTANCE instance, HINSTANCE program) {
  State& s = S();
  if (!instance) instance = program;
  Lock hold(s.lock);
  for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
    const auto& c = *it;
    if (c->system || c->instance != instance || !Matches(*c, name)) continue;
    if (c->windows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
    s.classes.erase(it);
    return TRUE;
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

// Fills what GetClassInfoEx reports, lpszClassName pointing at the caller's
// name as Windows leaves it; returns the atom.
template <typename WndClass, typename Char>
ATOM ClassInfo(const std::shared_ptr<WindowClass>& c, HINSTANCE instance, const Char* asked, WndClass* out,
               bool unicode) {
  out->style = c->style;
  out->lpfnWndProc = c->system ? (unicode ? c->procW : c->procA) : c->proc;
  out->cbClsExtra = c->clsExtra;
  out->cbWndExtra = c->wndExtra;
  out->hInstance = c->system ? instance : c->instance;
  out->hIcon = c->icon;
  out->hCursor = c->cursor;
  out->hbrBackground = c->background;
  out->lpszMenuName = nullptr;
  out->lpszClassName = asked;
  out->hIconSm = c->iconSmall;
  return c->atom;
}

}  // namespace

// ===========================================================================
// Window classes

EXTERN_C ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return RegisterCommon(wc, true, NameOf(wc->lpszClassName), ProgramInstance());
}

EXTERN_C ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return RegisterCommon(wc, false, NameOf(wc->lpszClassName), ProgramInstance());
}

EXTERN_C BOOL WINAPI UnregisterClassW(LPCWSTR name, HINSTANCE instance) {
  if (!name) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  return UnregisterCommon(NameOf(name), instance, ProgramInstance());
}

EXTERN_C BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance) {
  if (!name) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  return UnregisterCommon(NameOf(name), instance, ProgramInstance());
}

EXTERN_C BOOL WINAPI GetClassInfoExW(HINSTANCE instance, LPCWSTR name, LPWNDCLASSEXW out) {
  if (!name || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto c = FindClass(NameOf(name), instance, ProgramInstance());
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  Lock hold(S().lock);
  return ClassInfo(c, instance, name, out, true);
}

EXTERN_C BOOL WINAPI GetClassInfoExA(HINSTANCE instance, LPCSTR name, LPWNDCLASSEXA out) {
  if (!name || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto c = FindClass(NameOf(name), instance, ProgramInstance());
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  Lock hold(S().lock);
  return ClassInfo(c, instance, name, out, false);
}

EXTERN_C int WINAPI GetClassNameW(HWND hwnd, LPWSTR buffer, int max) {
  auto w = Need(hwnd);
  if (!w) return 0;
  if (!buffer || max <= 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  Lock hold(S().lock);
  return static_cast<int>(CopyText(w->cls->name, buffer, static_cast<WPARAM>(max)));
}

EXTERN_C int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int max) {
  auto w = Need(hwnd);
  if (!w) return 0;
  if (!buffer || max <= 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  Lock hold(S().lock);
  return static_cast<int>(CopyText(winapi::ToAnsi(w->cls->name.c_str()), buffer, static_cast<WPARAM>(max)));
}

// ===========================================================================
// Windows

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
  if (!Find(hwnd)) return TRUE;
  MarkDestroying(hwnd);
  SendDestroy(hwnd);
  SendNcDestroy(hwnd);
  return TRUE;
}

EXTERN_C BOOL WINAPI IsWindow(HWND hwnd) { return hwnd && Find(hwnd) ? TRUE : FALSE; }

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

EXTERN_C BOOL WINAPI IsWindowUnicode(HWND hwnd) {
  auto w = Find(hwnd);
  return w && w->unicode ? TRUE : FALSE;
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

// A null window invalidates every window, as on Windows.
EXTERN_C BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL erase) {
  State& s = S();
  Lock hold(s.lock);
  if (!hwnd) {
    for (auto& entry : s.windows) {
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

// ===========================================================================
// Messages

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

// ===========================================================================
// Timers

EXTERN_C UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  State& s = S();
  if (hwnd && !Need(hwnd)) return 0;
  elapse = std::min<UINT>(std::max<UINT>(elapse, USER_TIMER_MINIMUM), USER_TIMER_MAXIMUM);
  Lock hold(s.lock);
  if (!hwnd) {
    // A thread timer gets an id of its own unless it replaces one.
    if (!id || !s.timers.count(TimerKey{nullptr, id})) {
      do {
        id = s.nextThreadTimer++;
      } while (s.timers.count(TimerKey{nullptr, id}));
    }
  }
  const TimerKey key{hwnd, id};
  const bool replaced = s.timers.count(key) != 0;
  Timer& timer = s.timers[key];
  timer.elapse = elapse;
  timer.due = GetTickCount() + elapse;
  timer.proc = proc;
  timer.order = s.timerOrder++;
  if (!replaced) WinapiCountObject(WinapiTimers, 1);
  return id ? id : 1;
}

EXTERN_C BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  State& s = S();
  if (hwnd && !Need(hwnd)) return FALSE;
  {
    Lock hold(s.lock);
    auto it = s.timers.find(TimerKey{hwnd, id});
    if (it == s.timers.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    s.timers.erase(it);
    s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(),
                                  [&](const MSG& m) { return m.hwnd == hwnd && m.message == WM_TIMER && m.wParam == id; }),
                   s.posted.end());
  }
  WinapiCountObject(WinapiTimers, -1);
  return TRUE;
}

// ===========================================================================
// Control

EXTERN_C UINT WinapiDeliverDueTimers(void) {
  State& s = S();
  struct Due {
    TimerKey key;
    DWORD due;
    uint64_t order;
  };
  std::vector<Due> due;
  {
    Lock hold(s.lock);
    const DWORD now = GetTickCount();
    for (auto& entry : s.timers) {
      if (static_cast<LONG>(now - entry.second.due) >= 0) due.push_back(Due{entry.first, entry.second.due, entry.second.order});
    }
  }
  std::sort(due.begin(), due.end(), [](const Due& a, const Due& b) {
    const LONG d = static_cast<LONG>(a.due - b.due);
    return d != 0 ? d < 0 : a.order < b.order;
  });
  UINT sent = 0;
  for (const Due& d : due) {
    TIMERPROC proc;
    DWORD now;
    {
      // A timer killed, or set again, by an earlier delivery is left alone.
      Lock hold(s.lock);
      auto it = s.timers.find(d.key);
      if (it == s.timers.end() || it->second.order != d.order) continue;
      now = GetTickCount();
      it->second.due = now + it->second.elapse;
      proc = it->second.proc;
    }
    if (proc) {
      proc(d.key.hwnd, WM_TIMER, d.key.id, now);
    } else if (d.key.hwnd) {
      Send(d.key.hwnd, WM_TIMER, d.key.id, 0);
    }
    ++sent;
  }
  return sent;
}

EXTERN_C BOOL WinapiTimerDueIn(HWND hwnd, UINT_PTR id, LONG* milliseconds) {
  State& s = S();
  Lock hold(s.lock);
  auto it = s.timers.find(TimerKey{hwnd, id});
  if (it == s.timers.end()) return FALSE;
  if (milliseconds) *milliseconds = static_cast<LONG>(it->second.due - GetTickCount());
  return TRUE;
}

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
