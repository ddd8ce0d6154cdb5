// Window classes, windows, messages and focus: the orders and statuses that
// code written for Windows depends on.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include <string>

#include "ansi_code_page.h"
#include "user_fixture.h"
#include "winapi_control.h"

namespace {

const HINSTANCE kModuleA = reinterpret_cast<HINSTANCE>(0x51000000);
const HINSTANCE kModuleB = reinterpret_cast<HINSTANCE>(0x52000000);

ATOM Register(const char* name, HINSTANCE instance, UINT style = 0, WNDPROC proc = RecordingProcA) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = name;
  return RegisterClassExA(&wc);
}

std::u16string TextOf(HWND hwnd) {
  WCHAR buffer[256] = {};
  const int n = GetWindowTextW(hwnd, buffer, 256);
  return std::u16string(buffer, static_cast<size_t>(n));
}

// ---------------------------------------------------------------------------
// Creation

using CreateTest = UserTest;

TEST_F(CreateTest, SendsCreationMessagesInOrderAndShowsAfterwards) {
  int param = 0;
  DWORD styleDuringCreate = 0;
  LPVOID paramSeen = nullptr;
  std::u16string nameSeen;
  Hook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM lParam, LRESULT*) {
    if (msg == WM_CREATE) {
      const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      styleDuringCreate = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
      paramSeen = cs->lpCreateParams;
      nameSeen = cs->lpszName;
      EXPECT_EQ(10, cs->x);
      EXPECT_EQ(20, cs->y);
      EXPECT_EQ(30, cs->cx);
      EXPECT_EQ(40, cs->cy);
    }
    return false;
  };
  HWND hwnd = CreateWindowExW(0, kRecorder, u"title", WS_VISIBLE | WS_POPUP, 10, 20, 30, 40, nullptr, nullptr,
                              nullptr, &param);
  ASSERT_TRUE(hwnd);
  EXPECT_EQ(&param, paramSeen);
  EXPECT_EQ(u"title", nameSeen);
  EXPECT_FALSE(styleDuringCreate & WS_VISIBLE) << "a window is shown only once it is created";
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_EQ(u"title", TextOf(hwnd));  // the default WM_NCCREATE keeps the name
  const std::vector<Message> expected = {
      {hwnd, WM_NCCREATE, 0, 0}, {hwnd, WM_CREATE, 0, 0}, {hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(30, 40)},
      {hwnd, WM_MOVE, 0, MAKELPARAM(10, 20)}, {hwnd, WM_SHOWWINDOW, TRUE, 0}};
  auto got = Only({WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW});
  for (auto& m : got) {
    if (m.msg == WM_NCCREATE || m.msg == WM_CREATE) m.lParam = 0;
  }
  EXPECT_EQ(expected, got);
  EXPECT_TRUE(DestroyWindow(hwnd));
}

TEST_F(CreateTest, RefusedWindowsAreDestroyedAndNotReturned) {
  struct Case {
    const char* name;
    UINT refusing;
    LRESULT answer;
    std::vector<UINT> afterRefusal;
  };
  const Case cases[] = {
      {"WM_NCCREATE FALSE", WM_NCCREATE, FALSE, {WM_NCDESTROY}},
      {"WM_CREATE -1", WM_CREATE, -1, {WM_DESTROY, WM_NCDESTROY}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageLog().clear();
    Hook() = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT* result) {
      if (msg != c.refusing) return false;
      *result = c.answer;
      return true;
    };
    const LONG before = WinapiLiveCount(WinapiWindows);
    HWND hwnd = Make();
    EXPECT_EQ(nullptr, hwnd);
    EXPECT_EQ(before, WinapiLiveCount(WinapiWindows));
    std::vector<UINT> after;
    bool refused = false;
    for (const Message& m : MessageLog()) {
      if (refused) after.push_back(m.msg);
      if (m.msg == c.refusing) refused = true;
      if (refused) {
        EXPECT_FALSE(m.msg == WM_SIZE || m.msg == WM_SHOWWINDOW);
      }
    }
    EXPECT_EQ(c.afterRefusal, after);
    EXPECT_FALSE(IsWindow(MessageLog().front().hwnd));
  }
}

TEST_F(CreateTest, FailuresGiveWindowsStatuses) {
  HWND gone = Make();
  DestroyWindow(gone);
  struct Case {
    const char* name;
    const char16_t* cls;
    DWORD style;
    HWND parent;
    DWORD error;
  };
  const Case cases[] = {
      {"unknown class", u"NoSuchClass", 0, nullptr, ERROR_CANNOT_FIND_WND_CLASS},
      {"child without parent", kRecorder, WS_CHILD, nullptr, ERROR_TLW_WITH_WSCHILD},
      {"destroyed parent", kRecorder, WS_CHILD, gone, ERROR_INVALID_WINDOW_HANDLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0);
    EXPECT_EQ(nullptr, CreateWindowExW(0, c.cls, u"", c.style, 0, 0, 1, 1, c.parent, nullptr, nullptr, nullptr));
    EXPECT_EQ(c.error, GetLastError());
  }
}

TEST_F(CreateTest, DefaultPositionAndSize) {
  HWND top = CreateWindowExW(0, kRecorder, u"", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             nullptr, nullptr, nullptr, nullptr);
  HWND child = CreateWindowExW(0, kRecorder, u"", WS_CHILD, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, top, nullptr, nullptr, nullptr);
  RECT r;
  ASSERT_TRUE(GetClientRect(child, &r));
  EXPECT_EQ(0, r.right);
  EXPECT_EQ(0, r.bottom);
  ASSERT_TRUE(GetWindowRect(top, &r));
  EXPECT_GT(r.right - r.left, 0);
  EXPECT_GT(r.bottom - r.top, 0);
  ASSERT_TRUE(GetWindowRect(child, &r));
  RECT topRect;
  GetWindowRect(top, &topRect);
  EXPECT_EQ(topRect.left, r.left) << "a child's default place is its parent's corner";
  EXPECT_EQ(top, GetParent(child));
  EXPECT_EQ(nullptr, GetParent(top));
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(child));
}

// ---------------------------------------------------------------------------
// Destruction

using DestroyTest = UserTest;

TEST_F(DestroyTest, DestroyMessagesGoParentFirstAndNcDestroyChildrenFirst) {
  HWND parent = Make();
  HWND first = Make(parent);
  HWND second = Make(parent);
  bool childrenGoneAtParentNcDestroy = false;
  Hook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_NCDESTROY && hwnd == parent) {
      childrenGoneAtParentNcDestroy = !IsWindow(first) && !IsWindow(second) && IsWindow(parent);
    }
    return false;
  };
  MessageLog().clear();
  ASSERT_TRUE(DestroyWindow(parent));
  const std::vector<Message> expected = {
      {parent, WM_DESTROY, 0, 0},   {first, WM_DESTROY, 0, 0},    {second, WM_DESTROY, 0, 0},
      {first, WM_NCDESTROY, 0, 0},  {second, WM_NCDESTROY, 0, 0}, {parent, WM_NCDESTROY, 0, 0}};
  EXPECT_EQ(expected, Only({WM_DESTROY, WM_NCDESTROY}));
  EXPECT_TRUE(childrenGoneAtParentNcDestroy);
  // The window is hidden before it is destroyed.
  const auto& log = MessageLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(WM_WINDOWPOSCHANGING, log.front().msg);
  for (HWND h : {parent, first, second}) EXPECT_FALSE(IsWindow(h));
}

// As on Windows, a destroyed window's handle is invalid until the next window
// made takes it, the handle freed last first.
TEST_F(DestroyTest, DestroyedHandlesAreInvalidUntilNewWindowsTakeThem) {
  HWND hwnd = Make();
  HWND later = Make();
  ASSERT_TRUE(DestroyWindow(hwnd));
  ASSERT_TRUE(DestroyWindow(later));
  SetLastError(0);
  EXPECT_FALSE(DestroyWindow(hwnd));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  SetLastError(0);
  EXPECT_EQ(0, SendMessageW(hwnd, WM_USER, 0, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_FALSE(SetWindowTextW(hwnd, u"x"));
  HWND first = Make();
  HWND second = Make();
  HWND third = Make();
  EXPECT_EQ(later, first);
  EXPECT_EQ(hwnd, second);
  EXPECT_NE(hwnd, third);
  EXPECT_NE(later, third);
  for (HWND h : {first, second, third}) DestroyWindow(h);
  EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
}

TEST_F(DestroyTest, DestroyingItselfDuringDestroyIsHarmless) {
  HWND hwnd = Make();
  Hook() = [&](HWND h, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_DESTROY) DestroyWindow(h);
    return false;
  };
  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_EQ(1u, Only({WM_NCDESTROY}).size());
}

// ---------------------------------------------------------------------------
// Classes

using ClassTest = UserTest;

TEST_F(ClassTest, SystemClassesAreThereFromTheStart) {
  for (const char* name : {"ToolbarWindow32", "STATIC", "static"}) {
    SCOPED_TRACE(name);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    const BOOL atom = GetClassInfoExA(nullptr, name, &wc);
    EXPECT_NE(0, atom);
    EXPECT_NE(TRUE, atom) << "the class atom comes back, not just TRUE";
    EXPECT_TRUE(wc.lpfnWndProc);
    EXPECT_EQ(name, wc.lpszClassName);
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  EXPECT_NE(0, GetClassInfoExW(nullptr, TOOLBARCLASSNAMEW, &wc));
  EXPECT_TRUE(wc.style & CS_GLOBALCLASS) << "a superclass must clear it for its own module";
}

TEST_F(ClassTest, RegistrationRules) {
  const ATOM a = Register("Local", kModuleA);
  ASSERT_NE(0, a);
  struct Case {
    const char* name;
    const char* cls;
    HINSTANCE instance;
    UINT style;
    bool registers;
  };
  const Case cases[] = {
      {"same name, same module", "Local", kModuleA, 0, false},
      {"same name, other case", "LOCAL", kModuleA, 0, false},
      {"same name, other module", "Local", kModuleB, 0, true},
      {"a global class", "Global", kModuleA, CS_GLOBALCLASS, true},
      {"the same global class from another module", "Global", kModuleB, CS_GLOBALCLASS, false},
      {"a local class named as a system class", "STATIC", kModuleA, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0);
    const ATOM atom = Register(c.cls, c.instance, c.style);
    EXPECT_EQ(c.registers, atom != 0);
    if (!c.registers) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
    }
  }
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  EXPECT_EQ(a, GetClassInfoExA(kModuleA, "local", &wc));
  EXPECT_EQ(kModuleA, wc.hInstance);
  SetLastError(0);
  EXPECT_FALSE(GetClassInfoExA(reinterpret_cast<HINSTANCE>(0x53000000), "Local", &wc));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST), GetLastError());
  EXPECT_TRUE(GetClassInfoExA(reinterpret_cast<HINSTANCE>(0x53000000), "Global", &wc)) << "global: any module";
}

TEST_F(ClassTest, SuperclassOfTheToolbar) {
  WNDCLASSEXA base{};
  base.cbSize = sizeof(base);
  ASSERT_TRUE(GetClassInfoExA(nullptr, "ToolbarWindow32", &base));
  WNDCLASSEXA mine = base;
  mine.hInstance = kModuleA;
  mine.lpfnWndProc = RecordingProcA;
  mine.lpszClassName = "Daybander:ToolbarWindow32";
  mine.style &= ~CS_GLOBALCLASS;
  const ATOM atom = RegisterClassExA(&mine);
  ASSERT_NE(0, atom);

  WNDCLASSEXA found{};
  found.cbSize = sizeof(found);
  EXPECT_EQ(atom, GetClassInfoExA(kModuleA, "Daybander:ToolbarWindow32", &found));
  EXPECT_FALSE(GetClassInfoExA(nullptr, "Daybander:ToolbarWindow32", &found)) << "a module's class is its own";

  HWND parent = Make();
  HWND bar = CreateWindowExA(0, "Daybander:ToolbarWindow32", nullptr, 0x56008044, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, kModuleA, nullptr);
  ASSERT_TRUE(bar);
  // Unhandled messages forwarded to the toolbar's own procedure behave as
  // the default procedure does.
  EXPECT_TRUE(CallWindowProcA(base.lpfnWndProc, bar, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("bar")));
  char text[8] = {};
  EXPECT_EQ(3, GetWindowTextA(bar, text, 8));
  EXPECT_STREQ("bar", text);
  char name[64] = {};
  EXPECT_EQ(25, GetClassNameA(bar, name, 64));
  EXPECT_STREQ("Daybander:ToolbarWindow32", name);

  SetLastError(0);
  EXPECT_FALSE(UnregisterClassA("Daybander:ToolbarWindow32", kModuleA));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS), GetLastError());
  DestroyWindow(parent);
  EXPECT_TRUE(UnregisterClassA("Daybander:ToolbarWindow32", kModuleA));
  SetLastError(0);
  EXPECT_FALSE(UnregisterClassA("Daybander:ToolbarWindow32", kModuleA));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST), GetLastError());
  EXPECT_FALSE(UnregisterClassA("ToolbarWindow32", nullptr)) << "system classes stay";
}

// ---------------------------------------------------------------------------
// Text, fonts and the STATIC control

using TextTest = UserTest;

TEST_F(TextTest, TextCrossesCharacterSets) {
  const ScopedAnsiCodePage utf8(CP_UTF8);  // the A text below is UTF-8
  HWND ansi = CreateWindowExA(0, kRecorderA, "ansi", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  HWND wide = Make();
  HWND staticA = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 1, 1, wide, nullptr, nullptr, nullptr);
  ASSERT_TRUE(ansi && wide && staticA);
  const char16_t persian[] = u"\u06F1\u06F4 \u0622\u0630\u0631";  // 6 characters, 11 bytes in UTF-8
  for (HWND hwnd : {ansi, wide, staticA}) {
    SCOPED_TRACE(IsWindowUnicode(hwnd) ? "unicode window" : "ansi window");
    ASSERT_TRUE(SetWindowTextW(hwnd, persian));
    EXPECT_EQ(persian, TextOf(hwnd));
    EXPECT_EQ(6, GetWindowTextLengthW(hwnd));
    EXPECT_EQ(11, GetWindowTextLengthA(hwnd));
    char utf8[32] = {};
    EXPECT_EQ(11, GetWindowTextA(hwnd, utf8, 32));
    EXPECT_STREQ("\xDB\xB1\xDB\xB4 \xD8\xA2\xD8\xB0\xD8\xB1", utf8);
    // Cut to the buffer, never inside a character.
    WCHAR small[3];
    EXPECT_EQ(2, GetWindowTextW(hwnd, small, 3));
    EXPECT_EQ(0, small[2]);
    char cut[4];
    EXPECT_EQ(2, GetWindowTextA(hwnd, cut, 4));
    EXPECT_STREQ("\xDB\xB1", cut) << "the second character does not fit and is left out";
    EXPECT_EQ(0, GetWindowTextW(hwnd, small, 0));
    ASSERT_TRUE(SetWindowTextA(hwnd, "plain"));
    EXPECT_EQ(u"plain", TextOf(hwnd));
  }
  DestroyWindow(ansi);
  DestroyWindow(wide);
}

// A text cut to a short buffer keeps whole characters of the ANSI code page;
// in a single-byte one every byte is a character.
TEST_F(TextTest, AnsiTextIsCutBetweenCharactersOfTheCodePage) {
  struct Case {
    UINT codePage;
    std::u16string text;
    std::string ansi;
    int buffer;
    std::string cut;
  };
  const Case cases[] = {
      {1252, u"x \u00A9 y", "x \xA9 y", 3, "x "},
      {1256, u"\u06F1\u06F4 \u067E\u0627\u06A9", "?? \x81\xC7\x98", 4, "?? "},  // ۱۴ پاک
      {CP_UTF8, u"x \u00A9 y", "x \xC2\xA9 y", 4, "x "},
  };
  HWND wide = Make();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    const ScopedAnsiCodePage codePage(c.codePage);
    ASSERT_TRUE(SetWindowTextW(wide, c.text.c_str()));
    EXPECT_EQ(static_cast<int>(c.ansi.size()), GetWindowTextLengthA(wide));
    char full[32] = {};
    EXPECT_EQ(static_cast<int>(c.ansi.size()), GetWindowTextA(wide, full, 32));
    EXPECT_EQ(c.ansi, full);
    char cut[8] = {};
    EXPECT_EQ(static_cast<int>(c.cut.size()), GetWindowTextA(wide, cut, c.buffer));
    EXPECT_EQ(c.cut, cut);
  }
  DestroyWindow(wide);
}

TEST_F(TextTest, StaticKeepsItsTextAndFontAndLetsClicksThrough) {
  HWND parent = Make();
  HWND text = CreateWindowExW(0, u"STATIC", u"", 0x54000081, 0, 0, 0, 0, parent, nullptr, nullptr, nullptr);
  ASSERT_TRUE(text);
  EXPECT_EQ(u"", TextOf(text));
  ASSERT_TRUE(SetWindowTextW(text, u"date"));
  EXPECT_EQ(u"date", TextOf(text));
  EXPECT_EQ(0, SendMessageW(text, WM_GETFONT, 0, 0));
  HFONT font = CreateFontA(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Times New Roman");
  ValidateRect(text, nullptr);
  SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  EXPECT_EQ(reinterpret_cast<LRESULT>(font), SendMessageW(text, WM_GETFONT, 0, 0));
  EXPECT_TRUE(GetUpdateRect(text, nullptr, FALSE)) << "redraw TRUE asks for a repaint";
  UpdateWindow(text);
  EXPECT_FALSE(GetUpdateRect(text, nullptr, FALSE));
  EXPECT_EQ(HTTRANSPARENT, SendMessageW(text, WM_NCHITTEST, 0, 0)) << "no SS_NOTIFY: clicks go to the parent";
  DestroyWindow(parent);
  DeleteObject(font);
}

// ---------------------------------------------------------------------------
// Focus

using FocusTest = UserTest;

TEST_F(FocusTest, KillFocusThenSetFocusWithEachOther) {
  HWND a = Make();
  HWND b = Make();
  EXPECT_EQ(nullptr, SetFocus(a));
  MessageLog().clear();
  EXPECT_EQ(a, SetFocus(b));
  EXPECT_EQ(b, GetFocus());
  const std::vector<Message> expected = {{a, WM_KILLFOCUS, reinterpret_cast<WPARAM>(b), 0},
                                         {b, WM_SETFOCUS, reinterpret_cast<WPARAM>(a), 0}};
  EXPECT_EQ(expected, Only({WM_KILLFOCUS, WM_SETFOCUS}));

  MessageLog().clear();
  EXPECT_EQ(b, SetFocus(b));
  EXPECT_TRUE(Only({WM_KILLFOCUS, WM_SETFOCUS}).empty()) << "no messages when nothing changes";

  HWND gone = Make();
  DestroyWindow(gone);
  SetLastError(0);
  EXPECT_EQ(nullptr, SetFocus(gone));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_EQ(b, GetFocus());

  MessageLog().clear();
  EXPECT_EQ(b, SetFocus(nullptr));
  EXPECT_EQ((std::vector<Message>{{b, WM_KILLFOCUS, 0, 0}}), Only({WM_KILLFOCUS, WM_SETFOCUS}));
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST_F(FocusTest, HidingOrDestroyingTheFocusMovesItToTheParent) {
  struct Case {
    const char* name;
    bool destroy;
  };
  for (const Case c : {Case{"hide", false}, Case{"destroy", true}}) {
    SCOPED_TRACE(c.name);
    HWND parent = Make();
    HWND child = Make(parent);
    SetFocus(child);
    MessageLog().clear();
    if (c.destroy) {
      DestroyWindow(child);
    } else {
      EXPECT_TRUE(ShowWindow(child, SW_HIDE));
    }
    EXPECT_EQ(parent, GetFocus());
    const std::vector<Message> expected = {{child, WM_KILLFOCUS, reinterpret_cast<WPARAM>(parent), 0},
                                           {parent, WM_SETFOCUS, reinterpret_cast<WPARAM>(child), 0}};
    EXPECT_EQ(expected, Only({WM_KILLFOCUS, WM_SETFOCUS}));
    DestroyWindow(parent);
    EXPECT_EQ(nullptr, GetFocus());
  }
}

// ---------------------------------------------------------------------------
// Size, position and visibility

using LayoutTest = UserTest;

TEST_F(LayoutTest, MoveWindowSendsTheNewClientSize) {
  HWND parent = Make(nullptr, WS_VISIBLE, 200, 100, 400, 300);
  HWND child = Make(parent, WS_VISIBLE, 5, 6, 10, 10);
  struct Case {
    int x, y, cx, cy;
    bool sized, moved;
  };
  const Case cases[] = {
      {5, 6, 120, 24, true, false}, {7, 8, 120, 24, false, true}, {7, 8, 120, 24, false, false},
      {0, 0, 0, 0, true, true},     {1, 1, -5, -5, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.cx << "x" << c.cy);
    MessageLog().clear();
    ASSERT_TRUE(MoveWindow(child, c.x, c.y, c.cx, c.cy, TRUE));
    const int cx = c.cx < 0 ? 0 : c.cx;
    const int cy = c.cy < 0 ? 0 : c.cy;
    std::vector<Message> expected;
    if (c.moved) expected.push_back({child, WM_MOVE, 0, MAKELPARAM(c.x, c.y)});
    if (c.sized) expected.push_back({child, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cx, cy)});
    EXPECT_EQ(expected, Only({WM_SIZE, WM_MOVE}));
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(cx, r.right);
    EXPECT_EQ(cy, r.bottom);
    EXPECT_EQ(0, r.left);
    GetWindowRect(child, &r);
    EXPECT_EQ(200 + c.x, r.left);
    EXPECT_EQ(100 + c.y + cy, r.bottom);
  }
  POINT p{0, 0};
  ClientToScreen(child, &p);
  EXPECT_EQ(201, p.x);
  ScreenToClient(child, &p);
  EXPECT_EQ(0, p.x);
  DestroyWindow(parent);
}

// To InvalidateRect a null window is the whole screen, every window but the
// desktop, and each such call is counted; to MoveWindow it is no window.
TEST_F(LayoutTest, ANullWindowIsTheWholeScreenOrNoWindowAtAll) {
  HWND top = Make(nullptr, WS_VISIBLE);
  HWND child = Make(top, WS_VISIBLE);
  for (HWND h : {top, child}) ValidateRect(h, nullptr);
  const LONG before = WinapiScreenInvalidations();
  EXPECT_TRUE(InvalidateRect(child, nullptr, TRUE));
  EXPECT_EQ(before, WinapiScreenInvalidations());
  EXPECT_FALSE(GetUpdateRect(top, nullptr, FALSE));
  EXPECT_TRUE(InvalidateRect(nullptr, nullptr, TRUE));
  EXPECT_EQ(before + 1, WinapiScreenInvalidations());
  for (HWND h : {top, child}) EXPECT_TRUE(GetUpdateRect(h, nullptr, FALSE));

  SetLastError(0);
  EXPECT_FALSE(MoveWindow(nullptr, 0, 0, 10, 10, TRUE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  DestroyWindow(top);
}

TEST_F(LayoutTest, ShowWindowReturnsThePreviousVisibility) {
  HWND parent = Make(nullptr, 0);
  HWND child = Make(parent, WS_VISIBLE);
  EXPECT_FALSE(IsWindowVisible(child)) << "its parent is hidden";
  EXPECT_FALSE(ShowWindow(parent, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(child));
  MessageLog().clear();
  EXPECT_TRUE(ShowWindow(parent, SW_SHOW));
  EXPECT_TRUE(Only({WM_SHOWWINDOW}).empty()) << "no message when nothing changes";
  EXPECT_TRUE(ShowWindow(parent, SW_HIDE));
  EXPECT_EQ((std::vector<Message>{{parent, WM_SHOWWINDOW, FALSE, 0}}), Only({WM_SHOWWINDOW}));
  EXPECT_FALSE(ShowWindow(parent, SW_HIDE));
  DestroyWindow(parent);
}

// ---------------------------------------------------------------------------
// Window data, procedures and the default procedure

using DataTest = UserTest;

LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER) return 42;
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, u"old"));
  return CallWindowProcW(old, hwnd, msg, wParam, lParam);
}

TEST_F(DataTest, WindowLongsAndProperties) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = RecordingProc;
  wc.cbWndExtra = 16;
  wc.hInstance = kModuleA;
  wc.lpszClassName = u"ModuleClass";
  ASSERT_TRUE(RegisterClassExW(&wc));
  HWND parent = Make();
  HWND hwnd = CreateWindowExW(0, u"ModuleClass", u"", WS_CHILD, 0, 0, 1, 1, parent, reinterpret_cast<HMENU>(77),
                              kModuleA, nullptr);
  ASSERT_TRUE(hwnd);
  EXPECT_FALSE(CreateWindowExW(0, u"ModuleClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, kModuleB, nullptr))
      << "another module does not see the class";
  EXPECT_EQ(77, GetWindowLongPtrW(hwnd, GWLP_ID));
  EXPECT_EQ(77, GetDlgCtrlID(hwnd));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(kModuleA), GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(parent), GetWindowLongPtrW(hwnd, GWLP_HWNDPARENT));
  EXPECT_EQ(WS_CHILD, GetWindowLongPtrW(hwnd, GWL_STYLE));
  EXPECT_EQ(0, SetWindowLongPtrW(hwnd, GWLP_USERDATA, 1234));
  EXPECT_EQ(1234, SetWindowLongPtrW(hwnd, GWLP_USERDATA, 5));
  EXPECT_EQ(5, GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  EXPECT_EQ(0, SetWindowLongPtrW(hwnd, 8, 99)) << "the class's window bytes";
  EXPECT_EQ(99, GetWindowLongPtrW(hwnd, 8));
  SetLastError(0);
  EXPECT_EQ(0, GetWindowLongPtrW(hwnd, 17 - static_cast<int>(sizeof(LONG_PTR)))) << "past the window bytes";
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_INDEX), GetLastError());

  EXPECT_EQ(reinterpret_cast<LONG_PTR>(RecordingProc), GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  ASSERT_TRUE(SetPropW(hwnd, u"old", reinterpret_cast<HANDLE>(RecordingProc)));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(RecordingProc),
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
  EXPECT_EQ(42, SendMessageW(hwnd, WM_USER, 0, 0));
  MessageLog().clear();
  SendMessageW(hwnd, WM_USER + 1, 0, 0);
  EXPECT_EQ(1u, MessageLog().size()) << "the rest reaches the old procedure";
  EXPECT_EQ(reinterpret_cast<HANDLE>(RecordingProc), GetPropA(hwnd, "OLD"));
  EXPECT_EQ(reinterpret_cast<HANDLE>(RecordingProc), RemovePropW(hwnd, u"old"));
  EXPECT_EQ(nullptr, GetPropW(hwnd, u"old"));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc));
  DestroyWindow(parent);
}

TEST_F(DataTest, RightButtonUpBecomesAContextMenuThatClimbsToTheParent) {
  HWND parent = Make(nullptr, WS_VISIBLE, 300, 200, 100, 100);
  HWND child = Make(parent, WS_VISIBLE, 10, 20, 50, 50);
  MessageLog().clear();
  SendMessageW(child, WM_RBUTTONUP, 0, MAKELPARAM(3, 4));
  const LPARAM screen = MAKELPARAM(313, 224);
  const std::vector<Message> expected = {{child, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), screen},
                                         {parent, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), screen}};
  EXPECT_EQ(expected, Only({WM_CONTEXTMENU}));
  DestroyWindow(parent);
}

TEST_F(DataTest, PostedMessagesWaitForTheLoopAndDieWithTheirWindow) {
  HWND a = Make();
  HWND b = Make();
  EXPECT_TRUE(PostMessageW(a, WM_USER, 1, 2));
  EXPECT_TRUE(PostMessageW(b, WM_USER, 3, 4));
  EXPECT_TRUE(Only({WM_USER}).empty());
  DestroyWindow(b);
  EXPECT_EQ(1u, WinapiDispatchPostedMessages());
  EXPECT_EQ((std::vector<Message>{{a, WM_USER, 1, 2}}), Only({WM_USER}));
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(a);
}

// ---------------------------------------------------------------------------
// The mouse

using MouseTest = UserTest;

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
  return TRUE;
}

TEST_F(MouseTest, ClicksOnAStaticWithoutNotifyReachTheWindowBelow) {
  HWND top = Make(nullptr, WS_VISIBLE, 100, 100, 200, 50);
  HWND bar = Make(top, WS_VISIBLE, 10, 10, 150, 20);
  HWND text = CreateWindowExW(0, u"STATIC", u"date", 0x54000081, 0, 0, 150, 20, bar, nullptr, nullptr, nullptr);
  HWND notify = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 190, 0, 10, 10, top, nullptr,
                                nullptr, nullptr);
  struct Case {
    const char* name;
    POINT at;
    HWND found;
  };
  const Case cases[] = {
      {"on the text", {115, 115}, bar},
      {"on the bar's edge", {110, 129}, bar},
      {"beside the bar", {105, 105}, top},
      {"on a static that notifies", {295, 105}, notify},
      {"outside every window", {5, 5}, GetDesktopWindow()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.found, WindowFromPoint(c.at));
  }
  MessageLog().clear();
  EXPECT_EQ(bar, WinapiClick(POINT{115, 115}, FALSE));
  EXPECT_EQ((std::vector<Message>{{bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)},
                                   {bar, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)}}),
            Only({WM_LBUTTONDOWN, WM_LBUTTONUP}));
  MessageLog().clear();
  EXPECT_EQ(bar, WinapiClick(POINT{115, 115}, TRUE));
  EXPECT_EQ((std::vector<Message>{{bar, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar), MAKELPARAM(115, 115)},
                                   {top, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar), MAKELPARAM(115, 115)}}),
            Only({WM_CONTEXTMENU}));
  EXPECT_EQ(nullptr, WinapiClick(POINT{5, 5}, FALSE));
  ShowWindow(bar, SW_HIDE);
  EXPECT_EQ(top, WindowFromPoint(POINT{115, 115})) << "hidden windows are not hit";

  std::vector<HWND> seen;
  EnumChildWindows(top, CollectWindow, reinterpret_cast<LPARAM>(&seen));
  EXPECT_EQ((std::vector<HWND>{bar, text, notify}), seen);
  DestroyWindow(top);
}

}  // namespace
