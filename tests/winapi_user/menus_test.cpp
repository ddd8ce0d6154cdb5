// Menus: templates compiled by windres and parsed back, item lookup and
// changes, destruction, and popups whose choice is scripted.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "user_fixture.h"
#include "winapi_control.h"

namespace {

std::u16string Caption(HMENU menu, UINT item, UINT flags) {
  WCHAR buffer[128] = {};
  const int n = GetMenuStringW(menu, item, buffer, 128, flags);
  return std::u16string(buffer, static_cast<size_t>(n));
}

// One item of a menu as the menu functions report it.
struct Item {
  std::u16string caption;
  UINT id;        // GetMenuItemID: -1 for a popup
  int subItems;   // items of its popup, -1 for a command
};

std::vector<Item> Items(HMENU menu) {
  std::vector<Item> out;
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    out.push_back(Item{Caption(menu, static_cast<UINT>(i), MF_BYPOSITION), GetMenuItemID(menu, i),
                       sub ? GetMenuItemCount(sub) : -1});
  }
  return out;
}

bool operator==(const Item& a, const Item& b) {
  return a.caption == b.caption && a.id == b.id && a.subItems == b.subItems;
}

std::ostream& operator<<(std::ostream& out, const Item& item) {
  out << "{";
  for (char16_t c : item.caption) out << (c < 0x80 ? static_cast<char>(c) : '?');
  return out << ", " << static_cast<int>(item.id) << ", " << item.subItems << "}";
}

constexpr UINT kNoId = static_cast<UINT>(-1);

using MenuTest = UserTest;

// ---------------------------------------------------------------------------
// Templates

TEST_F(MenuTest, ParsesTheContextMenuTemplate) {
  const LONG before = WinapiLiveCount(WinapiMenus);
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(300));
  ASSERT_TRUE(menu);
  EXPECT_EQ(before + 4, WinapiLiveCount(WinapiMenus)) << "the menu and its three popups";
  EXPECT_EQ((std::vector<Item>{{u"Nothing", kNoId, 3}}), Items(menu));
  HMENU context = GetSubMenu(menu, 0);
  EXPECT_EQ((std::vector<Item>{{u"Full Calendar", 65535, -1}, {u"Format", kNoId, 3}, {u"Size", kNoId, 2}}),
            Items(context));
  EXPECT_EQ((std::vector<Item>{{u"Persian", 32776, -1}, {u"English", 32771, -1}, {u"Numeric", 32775, -1}}),
            Items(GetSubMenu(context, 1)));
  EXPECT_EQ((std::vector<Item>{{u"Increase", 32777, -1}, {u"Decrease", 32778, -1}}), Items(GetSubMenu(context, 2)));
  EXPECT_EQ(nullptr, GetSubMenu(context, 0)) << "a command opens no popup";
  EXPECT_EQ(nullptr, GetSubMenu(context, 3));
  EXPECT_EQ(kNoId, GetMenuItemID(context, 3));
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_EQ(before, WinapiLiveCount(WinapiMenus));
}

TEST_F(MenuTest, ParsesStatesSeparatorsDeepPopupsAndWideCaptions) {
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(301));
  ASSERT_TRUE(menu);
  EXPECT_EQ((std::vector<Item>{{u"&File", kNoId, 5}, {u"\u062A\u0627\u0631\u06CC\u062E", 104, -1}}), Items(menu));
  HMENU file = GetSubMenu(menu, 0);
  struct Case {
    UINT id;
    UINT state;
  };
  const Case cases[] = {{100, MF_STRING}, {101, MF_GRAYED}, {102, MF_CHECKED}, {103, MF_STRING}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(c.state, GetMenuState(menu, c.id, MF_BYCOMMAND));
  }
  EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(file, 1, MF_BYPOSITION));
  EXPECT_EQ(0u, GetMenuItemID(file, 1)) << "a separator has command 0";
  EXPECT_EQ((1u << 8) | MF_POPUP, GetMenuState(file, 4, MF_BYPOSITION)) << "a popup's count in the high byte";
  HMENU deeper = GetSubMenu(GetSubMenu(file, 4), 0);
  EXPECT_EQ((std::vector<Item>{{u"Bottom", 103, -1}}), Items(deeper));
  EXPECT_EQ(u"Bottom", Caption(menu, 103, MF_BYCOMMAND)) << "found by command three levels down";
  EXPECT_EQ(kNoId, GetMenuState(menu, 999, MF_BYCOMMAND));
  DestroyMenu(menu);
  EXPECT_FALSE(IsMenu(deeper));
}

TEST_F(MenuTest, ParsesTheExtendedTemplate) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(302));
  ASSERT_TRUE(menu);
  EXPECT_EQ((std::vector<Item>{{u"Top", kNoId, 3}}), Items(menu));
  HMENU top = GetSubMenu(menu, 0);
  EXPECT_EQ((std::vector<Item>{{u"First", 401, -1}, {u"Second", 402, -1}, {u"Inner", kNoId, 1}}), Items(top));
  EXPECT_TRUE(GetMenuState(top, 402, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_EQ(u"Leaf", Caption(menu, 404, MF_BYCOMMAND));
  DestroyMenu(menu);
}

TEST_F(MenuTest, LoadFailures) {
  const LONG before = WinapiLiveCount(WinapiMenus);
  struct Case {
    const char* name;
    LPCSTR resource;
    DWORD error;
  };
  const Case cases[] = {
      {"no such menu", MAKEINTRESOURCEA(999), ERROR_RESOURCE_NAME_NOT_FOUND},
      {"caption running off the end", MAKEINTRESOURCEA(303), ERROR_INVALID_DATA},
      {"popups nested without end", MAKEINTRESOURCEA(304), ERROR_INVALID_DATA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadMenuA(nullptr, c.resource));
    EXPECT_EQ(c.error, GetLastError());
    EXPECT_EQ(before, WinapiLiveCount(WinapiMenus)) << "nothing half-built is left";
  }
  HMENU named = LoadMenuA(nullptr, "context");
  ASSERT_TRUE(named) << "string names are found case-insensitively";
  EXPECT_EQ(u"Only", Caption(named, 7, MF_BYCOMMAND));
  DestroyMenu(named);
}

// ---------------------------------------------------------------------------
// Changing and destroying menus

TEST_F(MenuTest, ModifyMenuByCommandReachesNestedPopups) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(300));
  HMENU format = GetSubMenu(GetSubMenu(menu, 0), 1);
  const std::u16string date = u"\u06F1\u06F7 \u0622\u0630\u0631 \u06F1\u06F4\u06F0\u06F5";
  struct Case {
    const char* name;
    HMENU where;
    UINT item;
    UINT flags;
    UINT_PTR newId;
    const char16_t* text;
    UINT lookFor;
  };
  const Case cases[] = {
      {"on the popup, keeping the id", format, 32776, MF_BYCOMMAND | MF_STRING, 32776, date.c_str(), 32776},
      {"from the top menu", menu, 32771, MF_BYCOMMAND | MF_STRING, 32771, u"English date", 32771},
      {"by position", format, 2, MF_BYPOSITION | MF_STRING, 32775, u"1404/9/17", 32775},
      {"changing the id", menu, 32777, MF_BYCOMMAND | MF_STRING, 40000, u"Bigger", 40000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(ModifyMenuW(c.where, c.item, c.flags, c.newId, c.text));
    EXPECT_EQ(c.text, Caption(menu, c.lookFor, MF_BYCOMMAND));
  }
  EXPECT_EQ(u"", Caption(menu, 32777, MF_BYCOMMAND)) << "the old id is gone";
  EXPECT_EQ(3, GetMenuItemCount(format));
  EXPECT_EQ(32776u, GetMenuItemID(format, 0));

  SetLastError(0);
  EXPECT_FALSE(ModifyMenuW(menu, 12345, MF_BYCOMMAND, 1, u"x"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND), GetLastError());
  EXPECT_FALSE(ModifyMenuW(format, 3, MF_BYPOSITION, 1, u"x"));

  // An item that opened a popup takes its popup along when it is replaced.
  HMENU context = GetSubMenu(menu, 0);
  HMENU size = GetSubMenu(context, 2);
  const LONG before = WinapiLiveCount(WinapiMenus);
  ASSERT_TRUE(ModifyMenuA(context, 2, MF_BYPOSITION | MF_STRING, 50, "Flat"));
  EXPECT_FALSE(IsMenu(size));
  EXPECT_EQ(before - 1, WinapiLiveCount(WinapiMenus));
  EXPECT_EQ(50u, GetMenuItemID(context, 2));
  DestroyMenu(menu);
}

TEST_F(MenuTest, MenuStringsAreCutToTheBuffer) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(300));
  WCHAR small[5];
  EXPECT_EQ(13, GetMenuStringW(menu, 65535, nullptr, 0, MF_BYCOMMAND)) << "no buffer: the length";
  EXPECT_EQ(4, GetMenuStringW(menu, 65535, small, 5, MF_BYCOMMAND));
  EXPECT_EQ(u"Full", std::u16string(small));
  char narrow[32];
  EXPECT_EQ(13, GetMenuStringA(menu, 65535, narrow, 32, MF_BYCOMMAND));
  EXPECT_STREQ("Full Calendar", narrow);
  EXPECT_EQ(0, GetMenuStringW(menu, 1, small, 5, MF_BYCOMMAND));
  DestroyMenu(menu);
}

TEST_F(MenuTest, DestroyMenuTakesItsPopupsAndRejectsBadHandles) {
  const LONG before = WinapiLiveCount(WinapiMenus);
  HMENU popup = CreatePopupMenu();
  HMENU inner = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(inner, MF_STRING, 2, u"Two"));
  ASSERT_TRUE(AppendMenuW(popup, MF_STRING, 1, u"One"));
  ASSERT_TRUE(AppendMenuW(popup, MF_SEPARATOR, 0, nullptr));
  ASSERT_TRUE(AppendMenuW(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(inner), u"More"));
  EXPECT_EQ(3, GetMenuItemCount(popup));
  EXPECT_EQ(u"Two", Caption(popup, 2, MF_BYCOMMAND));
  EXPECT_TRUE(DeleteMenu(popup, 1, MF_BYPOSITION));
  EXPECT_EQ(before + 2, WinapiLiveCount(WinapiMenus));
  EXPECT_TRUE(DestroyMenu(popup));
  EXPECT_FALSE(IsMenu(inner));
  EXPECT_EQ(before, WinapiLiveCount(WinapiMenus));
  for (HMENU bad : {popup, inner, static_cast<HMENU>(nullptr), reinterpret_cast<HMENU>(0x1234)}) {
    SetLastError(0);
    EXPECT_FALSE(DestroyMenu(bad));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
  }
  SetLastError(0);
  EXPECT_EQ(-1, GetMenuItemCount(popup));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
}

// ---------------------------------------------------------------------------
// Popup menus

TEST_F(MenuTest, TrackPopupMenuReturnsTheScriptedChoice) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(301));
  HMENU file = GetSubMenu(menu, 0);
  HWND owner = Make();
  struct Case {
    const char* name;
    bool script;
    UINT choice;
    UINT returned;
  };
  const Case cases[] = {
      {"an item", true, 100, 100},
      {"an item in a nested popup", true, 103, 103},
      {"Escape", true, 0, 0},
      {"not in this menu", true, 104, 0},
      {"a grayed item", true, 101, 0},
      {"nothing scripted", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.script) WinapiScriptMenuChoice(c.choice);
    EXPECT_EQ(static_cast<BOOL>(c.returned),
              TrackPopupMenu(file, TPM_RETURNCMD | TPM_RIGHTBUTTON, -1, -1, 0, owner, nullptr));
    WinapiPopupMenuRecord record{};
    ASSERT_TRUE(WinapiLastPopupMenu(&record));
    EXPECT_EQ(c.returned, record.command);
  }
  WinapiPopupMenuRecord record{};
  ASSERT_TRUE(WinapiLastPopupMenu(&record));
  EXPECT_EQ(file, record.menu);
  EXPECT_EQ(owner, record.owner);
  EXPECT_EQ(static_cast<UINT>(TPM_RETURNCMD | TPM_RIGHTBUTTON), record.flags);
  EXPECT_EQ(-1, record.x);
  EXPECT_EQ(-1, record.y);
  EXPECT_EQ(6u, record.shown);

  // Choices are taken in the order they were scripted.
  WinapiScriptMenuChoice(102);
  WinapiScriptMenuChoice(100);
  EXPECT_EQ(102, TrackPopupMenu(file, TPM_RETURNCMD, 10, 20, 0, owner, nullptr));
  EXPECT_EQ(100, TrackPopupMenuEx(file, TPM_RETURNCMD, 10, 20, owner, nullptr));
  DestroyWindow(owner);
  DestroyMenu(menu);
}

// Until the user answers, the menu's own loop dispatches the posted messages
// and the timers that fall due as the clock moves on; the owner's end, or
// WM_QUIT (which stays queued), ends the menu unanswered.
TEST_F(MenuTest, TheMenuLoopRunsWhileTheUserTakesTime) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(301));
  HMENU file = GetSubMenu(menu, 0);
  struct Case {
    const char* name;
    bool quit;
    bool ownerGoesAtTheFirstTimer;
    UINT returned;
    std::vector<UINT> seen;
  };
  const Case cases[] = {
      {"answered after 2.5 s", false, false, 100,
       {WM_INITMENUPOPUP, WM_APP, WM_TIMER, WM_TIMER, WM_UNINITMENUPOPUP}},
      {"the owner goes", false, true, 0, {WM_INITMENUPOPUP, WM_APP, WM_TIMER}},
      {"WM_QUIT", true, false, 0, {WM_INITMENUPOPUP, WM_APP, WM_UNINITMENUPOPUP}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND owner = Make();
    MessageLog().clear();
    Hook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
      if (msg == WM_TIMER && c.ownerGoesAtTheFirstTimer) DestroyWindow(hwnd);
      return false;
    };
    SetTimer(owner, 1, 1000, nullptr);
    PostMessageW(owner, WM_APP, 0, 0);
    if (c.quit) PostQuitMessage(3);
    WinapiScriptMenuChoiceAfter(100, 2500);
    EXPECT_EQ(static_cast<BOOL>(c.returned), TrackPopupMenu(file, TPM_RETURNCMD, 0, 0, 0, owner, nullptr));
    std::vector<UINT> seen;
    for (const Message& m : Only({WM_INITMENUPOPUP, WM_APP, WM_TIMER, WM_UNINITMENUPOPUP})) seen.push_back(m.msg);
    EXPECT_EQ(c.seen, seen);
    MSG quit{};
    EXPECT_EQ(c.quit, PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE);
    if (IsWindow(owner)) {
      LONG dueIn = 0;
      ASSERT_TRUE(WinapiTimerDueIn(owner, 1, &dueIn));
      // The tick count also follows real time, which moves on a little.
      if (!c.quit) {
        EXPECT_TRUE(dueIn > 400 && dueIn <= 500) << dueIn << " ms: the clock moved on 2.5 s";
      }
      DestroyWindow(owner);
    }
    Hook() = nullptr;
  }
  DestroyMenu(menu);
}

TEST_F(MenuTest, WithoutReturnCmdTheChoiceIsPostedToTheOwner) {
  HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(300));
  HMENU context = GetSubMenu(menu, 0);
  HWND owner = Make();
  MessageLog().clear();
  WinapiScriptMenuChoice(32771);
  EXPECT_TRUE(TrackPopupMenu(context, TPM_RIGHTBUTTON, 5, 6, 0, owner, nullptr));
  const std::vector<Message> loop = {
      {owner, WM_ENTERMENULOOP, TRUE, 0},
      {owner, WM_INITMENU, reinterpret_cast<WPARAM>(context), 0},
      {owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(context), 0},
      {owner, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(context), 0},
      {owner, WM_EXITMENULOOP, TRUE, 0}};
  EXPECT_EQ(loop, MessageLog());
  EXPECT_EQ(1u, WinapiDispatchPostedMessages());
  EXPECT_EQ((std::vector<Message>{{owner, WM_COMMAND, 32771, 0}}), Only({WM_COMMAND}));

  MessageLog().clear();
  EXPECT_TRUE(TrackPopupMenu(context, TPM_NONOTIFY, 0, 0, 0, owner, nullptr)) << "dismissed is not a failure";
  EXPECT_TRUE(MessageLog().empty());
  EXPECT_EQ(0u, WinapiDispatchPostedMessages());

  SetLastError(0);
  HWND gone = Make();
  DestroyWindow(gone);
  EXPECT_FALSE(TrackPopupMenu(context, TPM_RETURNCMD, 0, 0, 0, gone, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  DestroyMenu(menu);
  SetLastError(0);
  EXPECT_FALSE(TrackPopupMenu(context, TPM_RETURNCMD, 0, 0, 0, owner, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
  DestroyWindow(owner);
}

}  // namespace
