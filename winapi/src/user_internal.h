// Shared by the files of the window manager (user_*.cpp): the window tree, the
// window classes, the timers and the message queue of the process's one user
// interface thread, and the calls of window procedures. Not part of the
// layer's API.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"

namespace winapi {
namespace user {

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

// The procedures of the system classes (user_controls.cpp).
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
  std::vector<HWND> freedHandles;  // of destroyed windows, the most recent last
  HWND desktop = nullptr;
  HWND focus = nullptr;
  ATOM nextAtom = 0xC000;
  UINT_PTR nextThreadTimer = 0x7FF0;
  uint64_t timerOrder = 0;
  LONG screenInvalidations = 0;  // InvalidateRect calls for the whole screen

  State();
  std::shared_ptr<WindowClass> AddSystemClass(const char16_t* name, WNDPROC a, WNDPROC w, UINT style);
};

// The one window manager of the process.
State& S();

using Lock = std::lock_guard<std::recursive_mutex>;

// ---- Windows (user_windows.cpp)

std::shared_ptr<Window> Find(HWND hwnd);
// A live window, or null with ERROR_INVALID_WINDOW_HANDLE.
std::shared_ptr<Window> Need(HWND hwnd);
void MarkDestroying(HWND hwnd);
// WM_NCDESTROY goes to the children before their parent; each window is gone
// once it has had its WM_NCDESTROY.
void SendNcDestroy(HWND hwnd);

// ---- Classes (user_classes.cpp)

char16_t FoldAscii(char16_t c);
// Names compare with ASCII letters folded, as class and property names do.
bool SameName(const std::u16string& a, const std::u16string& b);

// A class named by a string or by its atom (MAKEINTATOM).
struct ClassName {
  bool isAtom = false;
  ATOM atom = 0;
  std::u16string text;
};

ClassName NameOf(LPCWSTR name);
ClassName NameOf(LPCSTR name);
HINSTANCE ProgramInstance();
// The class a name means for a module, searched as Windows searches: the
// module's own classes, then the global classes, then the system classes.
std::shared_ptr<WindowClass> FindClass(const ClassName& name, HINSTANCE instance, HINSTANCE program);

// ---- Messages (user_messages.cpp)

// How much of the first n units of a text to keep so that no character of the
// ANSI code page is cut in two.
inline size_t WholeCharacters(const std::u16string&, size_t n) { return n; }
inline size_t WholeCharacters(const std::string& text, size_t n) { return winapi::AnsiPrefix(text, n); }

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

// Calls a window procedure, converting text between the caller's character
// set and the procedure's.
LRESULT CallProc(WNDPROC proc, bool procUnicode, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                 bool callerUnicode);
LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool callerUnicode);
// Messages without text: the character set does not matter.
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
LRESULT DefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode);

// ---- Position, size and visibility (user_layout.cpp)

// The top left corner of the window's client area on the screen.
POINT Origin(HWND hwnd);
// Whether hwnd is ancestor or one of its descendants.
bool Contains(HWND ancestor, HWND hwnd);
// WM_WINDOWPOSCHANGING, the change, WM_WINDOWPOSCHANGED; DefWindowProc turns
// the latter into WM_MOVE and WM_SIZE.
BOOL ChangeWindowPos(HWND hwnd, int x, int y, int cx, int cy, UINT flags);
BOOL ShowCommon(HWND hwnd, int cmd);

// ---- Focus (user_focus.cpp)

// Focus leaves a window that is hidden or destroyed: to its parent for a
// child window, to nobody for a top-level one.
void MoveFocusOutOf(HWND hwnd);

// ---- Timers (user_timers.cpp)

// Forgets the timers of a window that is gone; returns how many. The state's
// lock is held.
LONG DropTimers(State& s, HWND hwnd);

}  // namespace user
}  // namespace winapi
