// The toolbar window's message map, the context menu and its commands, and the
// change of date at midnight.
#include <algorithm>
#include <climits>

#include "band_fixture.h"
#include "module_instance.h"

namespace bandtest {
namespace {

constexpr UINT FullCalendar = 65535;
constexpr UINT Persian = 32776;
constexpr UINT English = 32771;
constexpr UINT Numeric = 32775;
constexpr UINT Increase = 32777;
constexpr UINT Decrease = 32778;

constexpr LONGLONG Minute = 60 * 1000;
constexpr LONGLONG Hour = 60 * Minute;

// The last minute of 30 Esfand 1387.
const SYSTEMTIME LastMinuteOf1387 = LocalTime(2009, 3, 20, 23, 59, 0);

// Time passes as under a host's message loop: the clock moves on a minute at
// a time, and the timers that fall due are delivered.
void RunFor(LONGLONG milliseconds) {
  for (LONGLONG done = 0; done < milliseconds; done += Minute) {
    WinapiAdvanceClock(std::min(Minute, milliseconds - done));
    WinapiDeliverDueTimers();
  }
}

std::u16string ModulePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleInstance(), path, MAX_PATH);
  std::u16string wide;
  for (const char* c = path; *c; ++c) wide += static_cast<char16_t>(static_cast<unsigned char>(*c));
  return wide;
}

TEST_F(BandTest, FormatCommandsSwitchTheShownText) {
  ASSERT_EQ(Attach(), S_OK);
  const std::u16string persian = WindowText(Text());
  ChooseFromMenu(English);
  EXPECT_EQ(WindowText(Text()), u"23 Farvardin 1387");
  ChooseFromMenu(Numeric);
  EXPECT_EQ(WindowText(Text()), u"23/1/1387");
  ChooseFromMenu(Persian);
  EXPECT_EQ(WindowText(Text()), persian);
  EXPECT_EQ(band->m_formatId, Persian);
  EXPECT_EQ(band->m_fontHeight, 15);
}

TEST_F(BandTest, ContextMenuIsThePopupAtTheClickOwnedByTheToolbar) {
  ASSERT_EQ(Attach(), S_OK);
  ChooseFromMenu(English, MAKELPARAM(-20, 700));
  WinapiPopupMenuRecord shown = {};
  ASSERT_TRUE(WinapiLastPopupMenu(&shown));
  EXPECT_EQ(shown.menu, GetSubMenu(band->m_hMenu.get(), 0));
  EXPECT_EQ(shown.flags, 0x0102u);
  EXPECT_EQ(shown.x, -20);
  EXPECT_EQ(shown.y, 700);
  EXPECT_EQ(shown.owner, Toolbar());
  EXPECT_EQ(shown.command, English);
  // Opening the menu gave the band the focus first.
  EXPECT_EQ(GetFocus(), Toolbar());
  EXPECT_EQ(band->HasFocusIO(), S_OK);
  ASSERT_FALSE(site.focusCalls.empty());
  EXPECT_EQ(site.focusCalls.back().focus, TRUE);
}

TEST_F(BandTest, MenuKeyOpensThePopupAtMinusOne) {
  ASSERT_EQ(Attach(), S_OK);
  ChooseFromMenu(Numeric, static_cast<LPARAM>(static_cast<LONG>(0xFFFFFFFF)));
  WinapiPopupMenuRecord shown = {};
  ASSERT_TRUE(WinapiLastPopupMenu(&shown));
  EXPECT_EQ(shown.x, -1);
  EXPECT_EQ(shown.y, -1);
  EXPECT_EQ(band->m_formatId, Numeric);
}

TEST_F(BandTest, DismissedMenuChangesNothing) {
  ASSERT_EQ(Attach(), S_OK);
  const std::u16string text = WindowText(Text());
  const HFONT font = band->m_hFont.get();
  ChooseFromMenu(0);
  EXPECT_EQ(band->m_formatId, Persian);
  EXPECT_EQ(band->m_fontHeight, 15);
  EXPECT_EQ(WindowText(Text()), text);
  EXPECT_EQ(band->m_hFont.get(), font);
  EXPECT_TRUE(browser.navigateCalls.empty());
}

// A menu that could not be loaded: no popup, no command, still the focus.
TEST_F(BandTest, WithoutItsMenuTheBandShowsNoPopup) {
  ASSERT_EQ(Attach(), S_OK);
  band->m_hMenu.reset();
  WinapiPopupMenuRecord before = {};
  const bool shownBefore = WinapiLastPopupMenu(&before);
  SendMessageA(Toolbar(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Toolbar()), MAKELPARAM(30, 40));
  WinapiPopupMenuRecord after = {};
  EXPECT_EQ(WinapiLastPopupMenu(&after) != FALSE, shownBefore);
  EXPECT_EQ(after.shown, before.shown);
  EXPECT_EQ(band->m_formatId, Persian);
  EXPECT_EQ(GetFocus(), Toolbar());
}

TEST_F(BandTest, SizeCommandsStepTheFontHeightByTwo) {
  ASSERT_EQ(Attach(), S_OK);
  for (int i = 0; i < 3; ++i) ChooseFromMenu(Increase);
  EXPECT_EQ(band->m_fontHeight, 21);
  for (int i = 0; i < 11; ++i) ChooseFromMenu(Decrease);
  EXPECT_EQ(band->m_fontHeight, -1);
  // One font alive, and it is the child's.
  EXPECT_EQ(WinapiLiveCount(WinapiFonts), 1);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(Text(), WM_GETFONT, 0, 0)), band->m_hFont.get());
  EXPECT_EQ(band->m_formatId, Persian);
}

// A height loaded from a stream can sit next to the limits of an int.
TEST_F(BandTest, SizeCommandsStopAtTheLimitsOfAnInt) {
  ASSERT_EQ(Attach(), S_OK);
  struct Case {
    int from;
    UINT command;
    int to;
  } cases[] = {{INT_MAX - 1, Increase, INT_MAX}, {INT_MAX, Increase, INT_MAX}, {INT_MAX - 2, Increase, INT_MAX},
               {INT_MIN + 1, Decrease, INT_MIN}, {INT_MIN, Decrease, INT_MIN}, {INT_MIN + 2, Decrease, INT_MIN},
               {0, Decrease, -2},                {-1, Increase, 1}};
  for (const Case& c : cases) {
    band->m_fontHeight = c.from;
    ChooseFromMenu(c.command);
    EXPECT_EQ(band->m_fontHeight, c.to) << "from " << c.from;
  }
}

TEST_F(BandTest, LeftClickOpensTheFullCalendarInANewTab) {
  ASSERT_EQ(Attach(), S_OK);
  const LONG bstrs = WinapiLiveCount(WinapiBstrs);
  SendMessageA(Toolbar(), WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
  EXPECT_EQ(WinapiLiveCount(WinapiBstrs), bstrs);
  ASSERT_EQ(browser.navigateCalls.size(), 1u);
  const fakes::NavigateCall& call = browser.navigateCalls[0];
  EXPECT_EQ(call.url, u"res://" + ModulePath() + u"/jcal");
  EXPECT_EQ(call.flagsType, VT_I4);
  EXPECT_EQ(call.flags, 0x800);
  EXPECT_EQ(call.targetFrameType, VT_EMPTY);
  EXPECT_EQ(call.postDataType, VT_EMPTY);
  EXPECT_EQ(call.headersType, VT_BSTR);
  EXPECT_EQ(call.headers, u"Referer: res://" + ModulePath() + u"/\r\n");
}

// The user's own clicks: the mouse lands on the date text, which takes no
// mouse input, so each click reaches the band's window below it.
TEST_F(BandTest, ClicksOnTheTextReachTheBand) {
  MoveWindow(host, 50, 60, 400, 30, TRUE);
  ASSERT_EQ(Attach(), S_OK);
  MoveWindow(Toolbar(), 10, 5, 200, 20, TRUE);  // where the host puts its band
  const POINT onText = {160, 75};
  RECT text = {};
  GetWindowRect(Text(), &text);
  ASSERT_TRUE(onText.x >= text.left && onText.x < text.right && onText.y >= text.top && onText.y < text.bottom);

  struct Case {
    const char* name;
    BOOL right;
    UINT choice;  // the user's pick from the menu, when one opens
    size_t navigations;
    bool menu;
    std::u16string shown;
  };
  const Case cases[] = {
      {"left opens the page", FALSE, 0, 1, false, WindowText(Text())},
      {"right opens the menu where the mouse is", TRUE, English, 0, true, u"23 Farvardin 1387"},
      {"right, menu dismissed", TRUE, 0, 0, true, u"23 Farvardin 1387"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    browser.navigateCalls.clear();
    WinapiPopupMenuRecord shown = {};
    WinapiLastPopupMenu(&shown);
    const UINT popupsBefore = shown.shown;
    if (c.menu) WinapiScriptMenuChoice(c.choice);
    EXPECT_EQ(WinapiClick(onText, c.right), Toolbar());
    EXPECT_EQ(browser.navigateCalls.size(), c.navigations);
    WinapiLastPopupMenu(&shown);
    EXPECT_EQ(shown.shown != popupsBefore, c.menu);
    if (c.menu) {
      EXPECT_EQ(shown.x, onText.x);
      EXPECT_EQ(shown.y, onText.y);
      EXPECT_EQ(shown.owner, Toolbar());
    }
    EXPECT_EQ(WindowText(Text()), c.shown);
  }
}

TEST_F(BandTest, FullCalendarCommandNavigatesAsTheClickDoes) {
  ASSERT_EQ(Attach(), S_OK);
  ChooseFromMenu(FullCalendar);
  SendMessageA(Toolbar(), WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(browser.navigateCalls.size(), 2u);
  EXPECT_EQ(browser.navigateCalls[0].url, browser.navigateCalls[1].url);
  EXPECT_EQ(browser.navigateCalls[0].headers, browser.navigateCalls[1].headers);
}

TEST_F(BandTest, BrowserThatRefusesTabsGetsANewWindow) {
  ASSERT_EQ(Attach(), S_OK);
  browser.navigateResults = {E_INVALIDARG, E_FAIL};
  SendMessageA(Toolbar(), WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(browser.navigateCalls.size(), 2u);
  EXPECT_EQ(browser.navigateCalls[0].flags, 0x800);
  EXPECT_EQ(browser.navigateCalls[1].flags, 1);
  EXPECT_EQ(browser.navigateCalls[1].url, browser.navigateCalls[0].url);
  EXPECT_EQ(browser.navigateCalls[1].headers, browser.navigateCalls[0].headers);

  // S_FALSE is a success: no retry.
  browser.navigateResults = {S_FALSE};
  SendMessageA(Toolbar(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(browser.navigateCalls.size(), 3u);
}

TEST_F(BandTest, WithoutABrowserTheCalendarCommandDoesNothing) {
  site.browser = nullptr;
  ASSERT_EQ(Attach(), S_OK);
  const LONG bstrs = WinapiLiveCount(WinapiBstrs);
  SendMessageA(Toolbar(), WM_LBUTTONUP, 0, 0);
  ChooseFromMenu(FullCalendar);
  EXPECT_EQ(WinapiLiveCount(WinapiBstrs), bstrs);
  EXPECT_TRUE(browser.navigateCalls.empty());
}

TEST_F(BandTest, OnlyMessageMapZeroHandlesMessages) {
  ASSERT_EQ(Attach(), S_OK);
  for (UINT message : {WM_LBUTTONUP, WM_CONTEXTMENU, WM_SETFOCUS, WM_KILLFOCUS, WM_SIZE, WM_TIMER}) {
    LRESULT result = 12345;
    EXPECT_FALSE(band->ProcessWindowMessage(Toolbar(), message, CExplorerBar::MidnightTimerId, 0, result, 1))
        << "message " << message;
    EXPECT_EQ(result, 12345);
  }
  EXPECT_TRUE(browser.navigateCalls.empty());
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);

  LRESULT result = 12345;
  EXPECT_TRUE(band->ProcessWindowMessage(Toolbar(), WM_SIZE, 0, 0, result, 0));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(band->ProcessWindowMessage(Toolbar(), WM_PAINT, 0, 0, result, 0));
  EXPECT_FALSE(band->ProcessWindowMessage(Toolbar(), WM_TIMER, CExplorerBar::MidnightTimerId + 1, 0, result, 0));
}

// A band open across midnight moves on to the new day: text, captions and the
// next timer; the settings stay as they are.
TEST_F(BandTest, MidnightBringsTheNewDate) {
  SiteANewBandAt(LastMinuteOf1387);
  ChooseFromMenu(English);
  ChooseFromMenu(Increase);
  EXPECT_EQ(WindowText(Text()), u"30 Esfand 1387");

  LONG dueIn = 0;
  ASSERT_TRUE(WinapiTimerDueIn(Toolbar(), CExplorerBar::MidnightTimerId, &dueIn));
  // Timers run on the tick count, which real time moves on as well.
  EXPECT_LE(dueIn, 60 * 1000);
  EXPECT_GT(dueIn, 55 * 1000);

  WinapiAdvanceClock(59 * 1000);
  WinapiDeliverDueTimers();
  EXPECT_EQ(WindowText(Text()), u"30 Esfand 1387");

  WinapiAdvanceClock(1000);
  WinapiDeliverDueTimers();
  EXPECT_EQ(band->m_hijriYear, 1388);
  EXPECT_EQ(band->m_gregorianDay, 21);
  EXPECT_EQ(WindowText(Text()), u"1 Farvardin 1388");
  EXPECT_EQ(MenuText(FormatMenu(), English), u"1 Farvardin 1388");
  EXPECT_EQ(MenuText(FormatMenu(), Numeric), u"1/1/1388");
  EXPECT_EQ(MenuText(FormatMenu(), Persian),
            u"\u06F1\u0641\u0631\u0648\u0631\u062F\u064A\u0646\u06F1\u06F3\u06F8\u06F8");
  EXPECT_EQ(band->m_formatId, English);
  EXPECT_EQ(band->m_fontHeight, 17);

  // The band looks at the date again within the hour, whatever the clock does.
  ASSERT_TRUE(WinapiTimerDueIn(Toolbar(), CExplorerBar::MidnightTimerId, &dueIn));
  EXPECT_LE(dueIn, Hour);
  EXPECT_GT(dueIn, Hour - 5000);
  EXPECT_EQ(WinapiLiveCount(WinapiTimers), 1);
}

// The clock may change under the band, or the band may be sited again on a
// later day: within the hour it shows the date the clock gives. A change of
// the clock moves the local time but not the tick count that timers run on.
TEST_F(BandTest, TheDateFollowsTheClockWithinTheHour) {
  struct Case {
    const char* name;
    SYSTEMTIME sited;
    LONGLONG before;       // run before the clock changes
    SYSTEMTIME changedTo;  // what the clock then reads
    bool closed;           // closed before the change, sited again after it
    LONGLONG after;        // run after the change
    const char16_t* shown;
  } cases[] = {
      // The day daylight saving time starts has 23 hours.
      {"daylight saving time starts at 02:00", LocalTime(2009, 3, 29, 0), 2 * Hour, LocalTime(2009, 3, 29, 3),
       false, 21 * Hour, u"10 Farvardin 1388"},
      {"the user sets the clock two days on", LocalTime(2008, 4, 11, 10), 0, LocalTime(2008, 4, 13, 10), false,
       Hour, u"25 Farvardin 1387"},
      {"the user sets the clock a day back", LocalTime(2008, 4, 11, 10), 0, LocalTime(2008, 4, 10, 10), false, Hour,
       u"22 Farvardin 1387"},
      {"closed at night, sited again in the morning", LocalTime(2008, 4, 11, 22), 0, LocalTime(2008, 4, 12, 9), true,
       0, u"24 Farvardin 1387"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SiteANewBandAt(c.sited);
    ChooseFromMenu(English);
    RunFor(c.before);
    if (c.closed) {
      band->CloseDW(0);
      band->SetSite(nullptr);
    }
    WinapiSetLocalTime(&c.changedTo);
    if (c.closed) {
      ASSERT_EQ(Attach(), S_OK);
    }
    RunFor(c.after);
    EXPECT_EQ(WindowText(Text()), c.shown);
    EXPECT_EQ(MenuText(FormatMenu(), English), c.shown);
  }
}

// The locale answer is the one of construction: an Arabic locale installed
// later does not change how the band writes the Persian text, on any day.
TEST_F(BandTest, TheTextKeepsTheFormOfConstruction) {
  WinapiSetArabicLocaleInstalled(0);
  SiteANewBandAt(LastMinuteOf1387);
  WinapiSetArabicLocaleInstalled(1);
  RunFor(Minute);
  ASSERT_EQ(band->m_hijriYear, 1388);
  EXPECT_EQ(WindowText(Text()), std::u16string(daybander::ComposeDateTexts({1388, 1, 1}, false).persian.c_str()));
}

// The toolbar control sets timers of its own on the band's window, under small
// ids; none of them takes the place of the band's.
TEST_F(BandTest, TheToolbarsOwnTimersLeaveTheBandsAlone) {
  SiteANewBandAt(LastMinuteOf1387);
  for (UINT_PTR id = 1; id <= 16; ++id) SetTimer(Toolbar(), id, 100, nullptr);
  LONG dueIn = 0;
  ASSERT_TRUE(WinapiTimerDueIn(Toolbar(), CExplorerBar::MidnightTimerId, &dueIn));
  EXPECT_GT(dueIn, 55 * 1000);
  RunFor(Minute);
  EXPECT_EQ(band->m_hijriYear, 1388);
}

// The menu runs a loop of its own until the user answers, and the midnight
// timer comes in it: the captions chosen from, the format chosen and the text
// all belong to the new day.
TEST_F(BandTest, MidnightWhileTheMenuIsOpen) {
  SiteANewBandAt(LastMinuteOf1387);
  WinapiScriptMenuChoiceAfter(English, 2 * Minute);
  SendMessageA(Toolbar(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Toolbar()), MAKELPARAM(30, 40));
  WinapiPopupMenuRecord shown = {};
  ASSERT_TRUE(WinapiLastPopupMenu(&shown));
  EXPECT_EQ(shown.command, English);
  EXPECT_EQ(band->m_formatId, English);
  EXPECT_EQ(WindowText(Text()), u"1 Farvardin 1388");
  EXPECT_EQ(MenuText(FormatMenu(), English), u"1 Farvardin 1388");
  EXPECT_EQ(MenuText(FormatMenu(), Numeric), u"1/1/1388");
  EXPECT_EQ(WinapiLiveCount(WinapiTimers), 1);
}

IUnknown* g_letGo = nullptr;

// As a browser lets a band go: off its site and released, its window left to
// the host.
void CALLBACK LetTheBandGo(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  IObjectWithSite* withSite = nullptr;
  g_letGo->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
  withSite->SetSite(nullptr);
  withSite->Release();
  EXPECT_EQ(g_letGo->Release(), 1u) << "the band holds itself while its menu is open";
}

// The host's code may run in the menu's loop and let the band go: the band
// lives on until the chosen command is carried out.
TEST_F(BandTest, TheHostMayLetTheBandGoWhileItsMenuIsOpen) {
  ASSERT_EQ(Attach(), S_OK);
  const HWND toolbar = Toolbar();
  g_letGo = identity;
  identity = nullptr;
  band = nullptr;
  SetTimer(nullptr, 0, 1000, LetTheBandGo);
  WinapiScriptMenuChoiceAfter(English, 2000);
  SendMessageA(toolbar, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(toolbar), MAKELPARAM(30, 40));
  EXPECT_TRUE(DestroyWindow(toolbar));
}

}  // namespace
}  // namespace bandtest
