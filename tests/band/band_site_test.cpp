// The band's state, its site and its windows.
#include "band_fixture.h"

namespace bandtest {
namespace {

const std::u16string PersianText = u"\u06F2\u06F3\u0641\u0631\u0648\u0631\u062F\u064A\u0646\u06F1\u06F3\u06F8\u06F7";

TEST_F(BandTest, StartsWithDefaultsTodaysTextsAndNoWindows) {
  EXPECT_EQ(band->m_formatId, 32776u);
  EXPECT_EQ(band->m_fontHeight, 15);
  EXPECT_EQ(Toolbar(), nullptr);
  EXPECT_EQ(Text(), nullptr);
  EXPECT_EQ(band->m_hFont.get(), nullptr);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);

  EXPECT_EQ(band->m_gregorianYear, 2008);
  EXPECT_EQ(band->m_hijriYear, 1387);
  EXPECT_EQ(band->m_hijriMonth, 1);
  EXPECT_EQ(band->m_hijriDay, 23);
  EXPECT_EQ(std::u16string(band->m_persianText.c_str()), PersianText);
  EXPECT_EQ(std::u16string(band->m_englishText.c_str()), u"23 Farvardin 1387");
  EXPECT_EQ(std::u16string(band->m_numericText.c_str()), u"23/1/1387");

  // The Format items offer today's date in each format.
  ASSERT_NE(band->m_hMenu.get(), nullptr);
  EXPECT_EQ(MenuText(FormatMenu(), 32776), PersianText);
  EXPECT_EQ(MenuText(FormatMenu(), 32771), u"23 Farvardin 1387");
  EXPECT_EQ(MenuText(FormatMenu(), 32775), u"23/1/1387");
}

TEST_F(BandTest, WithoutTheArabicLocaleThePersianTextStartsWithTheYear) {
  ReleaseBand();
  WinapiSetArabicLocaleInstalled(0);
  CreateBand();
  EXPECT_EQ(std::u16string(band->m_persianText.c_str()),
            u"\u06F1\u06F3\u06F8\u06F7\uFEE6\uFEF3\uFEA9\uFEAD\uFEED\uFEAE\uFED3\u06F2\u06F3");
}

TEST_F(BandTest, AnswersOnlyTheInterfacesOfItsMap) {
  struct Case {
    const IID* iid;
    HRESULT expected;
  } cases[] = {{&IID_IExplorerBar, S_OK},   {&IID_IObjectWithSite, S_OK}, {&IID_IPersistStream, S_OK},
               {&IID_IPersist, S_OK},       {&IID_IDeskBand, S_OK},       {&IID_IInputObject, S_OK},
               {&IID_IDispatch, S_OK},      {&IID_IOleWindow, E_NOINTERFACE},
               {&IID_IDockingWindow, E_NOINTERFACE}};
  for (const Case& c : cases) {
    IUnknown* answer = nullptr;
    EXPECT_EQ(identity->QueryInterface(*c.iid, reinterpret_cast<void**>(&answer)), c.expected);
    if (answer) answer->Release();
  }
  void* persist = nullptr;
  void* persistStream = nullptr;
  identity->QueryInterface(IID_IPersist, &persist);
  identity->QueryInterface(IID_IPersistStream, &persistStream);
  EXPECT_EQ(persist, persistStream);
  static_cast<IUnknown*>(persist)->Release();
  static_cast<IUnknown*>(persistStream)->Release();
}

TEST_F(BandTest, NullSiteOnAFreshBandChangesNothing) {
  EXPECT_EQ(band->SetSite(nullptr), S_OK);
  EXPECT_EQ(Toolbar(), nullptr);
  void* got = reinterpret_cast<void*>(1);
  EXPECT_EQ(band->GetSite(IID_IUnknown, &got), E_FAIL);
  EXPECT_EQ(got, nullptr);
}

// What the site offers decides the result, the windows and the pointers kept.
TEST_F(BandTest, SetSiteFollowsWhatTheSiteOffers) {
  struct Case {
    const char* name;
    bool oleWindow;
    bool window;
    bool inputObjectSite;
    bool commandTarget;
    bool serviceProvider;
    bool browser;
    HRESULT expected;
    bool windows;
    bool browserHeld;
  } cases[] = {
      {"everything", true, true, true, true, true, true, S_OK, true, true},
      {"no IOleWindow", false, true, true, true, true, true, E_FAIL, false, false},
      {"IOleWindow without a window", true, false, true, true, true, true, E_FAIL, false, false},
      {"no IInputObjectSite", true, true, false, true, true, true, E_FAIL, true, false},
      {"no command target", true, true, true, false, true, true, S_OK, true, false},
      {"no service provider", true, true, true, true, false, true, S_OK, true, false},
      {"no browser service", true, true, true, true, true, false, S_OK, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReleaseBand();
    CreateBand();
    site.offersOleWindow = c.oleWindow;
    site.window = c.window ? host : nullptr;
    site.offersInputObjectSite = c.inputObjectSite;
    site.offersCommandTarget = c.commandTarget;
    site.offersServiceProvider = c.serviceProvider;
    site.browser = c.browser ? &browser : nullptr;

    EXPECT_EQ(Attach(), c.expected);
    EXPECT_EQ(Toolbar() != nullptr, c.windows);
    EXPECT_EQ(Text() != nullptr, c.windows);
    EXPECT_EQ(band->m_spWebBrowser.get() != nullptr, c.browserHeld);
    EXPECT_EQ(browser.refs(), c.browserHeld ? 2u : 1u);
  }
}

TEST_F(BandTest, SitedBandShowsTheTextOfItsFormatInItsFont) {
  ASSERT_EQ(Attach(), S_OK);
  const HWND toolbar = Toolbar();
  EXPECT_EQ(ClassName(toolbar), "Daybander:ToolbarWindow32");
  EXPECT_EQ(GetParent(toolbar), host);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(toolbar, GWL_STYLE)), 0x56008044u);
  EXPECT_EQ(lstrcmpiA(ClassName(Text()).c_str(), "STATIC"), 0);
  EXPECT_EQ(GetParent(Text()), toolbar);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(Text(), GWL_STYLE)), 0x54000081u);
  EXPECT_EQ(WindowText(Text()), PersianText);
  ASSERT_NE(band->m_hFont.get(), nullptr);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(Text(), WM_GETFONT, 0, 0)), band->m_hFont.get());
  EXPECT_EQ(WinapiLiveCount(WinapiFonts), 1);

  HWND window = nullptr;
  EXPECT_EQ(band->GetWindow(&window), S_OK);
  EXPECT_EQ(window, toolbar);
}

TEST_F(BandTest, SettingsLoadedBeforeTheSiteAreShownFromTheStart) {
  band->m_formatId = 32775;
  band->m_fontHeight = 30;
  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(WindowText(Text()), u"23/1/1387");
}

TEST_F(BandTest, UnknownFormatShowsNoText) {
  band->m_formatId = 0;
  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(WindowText(Text()), u"");
}

TEST_F(BandTest, SecondSiteKeepsTheWindowAndTakesItsOwnPointers) {
  ASSERT_EQ(Attach(), S_OK);
  const HWND toolbar = Toolbar();
  const ULONG firstSiteRefs = site.refs();

  fakes::FakeSite other;
  HWND otherHost = CreateWindowExA(0, "STATIC", "other", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  other.window = otherHost;
  EXPECT_EQ(band->SetSite(static_cast<IOleWindow*>(&other)), S_OK);
  EXPECT_EQ(Toolbar(), toolbar);
  EXPECT_EQ(GetParent(toolbar), host);
  EXPECT_LT(site.refs(), firstSiteRefs);
  EXPECT_EQ(site.refs(), 1u);
  EXPECT_GT(other.refs(), 1u);
  EXPECT_EQ(browser.refs(), 1u);

  IOleWindow* answer = nullptr;
  EXPECT_EQ(band->GetSite(IID_IOleWindow, reinterpret_cast<void**>(&answer)), S_OK);
  EXPECT_EQ(answer, static_cast<IOleWindow*>(&other));
  answer->Release();

  ReleaseBand();
  EXPECT_EQ(other.refs(), 1u);
  DestroyWindow(otherHost);
}

TEST_F(BandTest, GetSiteAnswersThroughTheInputObjectSite) {
  void* got = reinterpret_cast<void*>(1);
  EXPECT_EQ(band->GetSite(IID_IUnknown, nullptr), E_POINTER);
  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(band->GetSite(IID_IInputObjectSite, &got), S_OK);
  EXPECT_EQ(got, static_cast<IInputObjectSite*>(&site));
  static_cast<IUnknown*>(got)->Release();
  EXPECT_EQ(band->GetSite(IID_IDispatch, &got), E_NOINTERFACE);
  EXPECT_EQ(got, nullptr);

  EXPECT_EQ(band->SetSite(nullptr), S_OK);
  got = reinterpret_cast<void*>(1);
  EXPECT_EQ(band->GetSite(IID_IUnknown, &got), E_FAIL);
  EXPECT_EQ(got, nullptr);
  EXPECT_NE(Toolbar(), nullptr);  // the windows stay until CloseDW
}

TEST_F(BandTest, NewSiteAfterCloseMakesNewWindows) {
  ASSERT_EQ(Attach(), S_OK);
  ASSERT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(Toolbar(), nullptr);
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(band->GetWindow(&window), S_OK);
  EXPECT_EQ(window, nullptr);

  ASSERT_EQ(Attach(), S_OK);
  EXPECT_TRUE(IsWindow(Toolbar()));
  EXPECT_EQ(WindowText(Text()), PersianText);
  EXPECT_EQ(WinapiLiveCount(WinapiFonts), 1);
}

// Windows gives a destroyed window's handle to the next window made: after
// CloseDW other windows may hold the band's old handles, and a new site must
// leave them as they are.
TEST_F(BandTest, ANewSiteAfterCloseLeavesOtherWindowsAlone) {
  ASSERT_EQ(Attach(), S_OK);
  const HWND oldText = Text();
  ASSERT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(Text(), nullptr);
  HWND strangers[2];
  for (HWND& stranger : strangers) {
    stranger =
        CreateWindowExA(0, "STATIC", "stranger", WS_VISIBLE, 10, 10, 200, 30, nullptr, nullptr, nullptr, nullptr);
    ValidateRect(stranger, nullptr);
  }
  ASSERT_TRUE(strangers[0] == oldText || strangers[1] == oldText);

  ASSERT_EQ(Attach(), S_OK);
  for (HWND stranger : strangers) {
    ASSERT_TRUE(IsWindow(stranger));
    RECT rect = {};
    GetWindowRect(stranger, &rect);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 30);
    EXPECT_EQ(WindowText(stranger), u"stranger");
    EXPECT_FALSE(GetUpdateRect(stranger, nullptr, FALSE));
    DestroyWindow(stranger);
  }
  EXPECT_EQ(GetParent(Text()), Toolbar());
  EXPECT_EQ(WindowText(Text()), PersianText);
}

// The superclass is registered once and found again by every later band.
TEST_F(BandTest, BandsShareOneToolbarClass) {
  ASSERT_EQ(Attach(), S_OK);
  fakes::FakeSite otherSite;
  otherSite.window = host;
  auto* other = new CComObject<CExplorerBar>();
  other->AddRef();
  EXPECT_EQ(other->SetSite(static_cast<IOleWindow*>(&otherSite)), S_OK);
  ASSERT_NE(other->m_wndToolbar.m_hWnd, nullptr);
  EXPECT_NE(other->m_wndToolbar.m_hWnd, Toolbar());
  EXPECT_EQ(ClassName(other->m_wndToolbar.m_hWnd), ClassName(Toolbar()));

  // Each window reaches its own band.
  ChooseFromMenu(32771);
  EXPECT_EQ(WindowText(Text()), u"23 Farvardin 1387");
  EXPECT_EQ(WindowText(other->m_wndStatic), PersianText);
  other->CloseDW(0);
  other->SetSite(nullptr);
  EXPECT_EQ(other->Release(), 0u);
  EXPECT_EQ(otherSite.refs(), 1u);
}

// A band let go without CloseDW leaves its window behind; the window must not
// reach the dead object any more.
TEST_F(BandTest, WindowThatOutlivesItsBandNoLongerReachesIt) {
  ASSERT_EQ(Attach(), S_OK);
  const HWND toolbar = Toolbar();
  ASSERT_EQ(band->SetSite(nullptr), S_OK);
  EXPECT_EQ(identity->Release(), 0u);
  identity = nullptr;
  band = nullptr;

  ASSERT_TRUE(IsWindow(toolbar));
  SendMessageA(toolbar, WM_LBUTTONUP, 0, 0);
  SendMessageA(toolbar, WM_SIZE, 0, MAKELPARAM(50, 20));
  EXPECT_TRUE(browser.navigateCalls.empty());
  DestroyWindow(toolbar);
}

}  // namespace
}  // namespace bandtest
