// A band object under a window of a test host, with fakes for the host's site
// and browser, on a fixed clock. Every test ends with the band released and
// checks that windows, fonts, menus, timers, strings, task memory, module
// locks and the fakes' references are back where they started.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "explorer_bar.h"
#include "host_fakes.h"
#include "winapi_control.h"

namespace bandtest {

inline SYSTEMTIME LocalTime(WORD year, WORD month, WORD day, WORD hour = 10, WORD minute = 0, WORD second = 0) {
  SYSTEMTIME time = {};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  return time;
}

inline std::u16string WindowText(HWND window) {
  WCHAR text[128] = {};
  GetWindowTextW(window, text, 128);
  return text;
}

inline std::u16string MenuText(HMENU menu, UINT command) {
  WCHAR text[128] = {};
  GetMenuStringW(menu, command, text, 128, MF_BYCOMMAND);
  return text;
}

inline std::string ClassName(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, 128);
  return name;
}

class BandTest : public ::testing::Test {
 protected:
  static constexpr WinapiObjectKind Counted[] = {WinapiTaskMemory, WinapiBstrs, WinapiWindows,
                                                 WinapiMenus,      WinapiFonts, WinapiTimers};

  void SetUp() override {
    WinapiResetRegistry();
    WinapiSetArabicLocaleInstalled(1);
    const SYSTEMTIME time = LocalTime(2008, 4, 11);  // 23 Farvardin 1387
    WinapiSetLocalTime(&time);
    for (WinapiObjectKind kind : Counted) m_live[kind] = WinapiLiveCount(kind);
    m_locks = _Module.GetLockCount();
    m_screenInvalidations = WinapiScreenInvalidations();

    host = CreateWindowExA(0, "STATIC", "host", WS_VISIBLE, 0, 0, 400, 30, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    site.window = host;
    site.browser = &browser;
    CreateBand();
  }

  void TearDown() override {
    ReleaseBand();
    if (IsWindow(host)) DestroyWindow(host);
    for (WinapiObjectKind kind : Counted) EXPECT_EQ(WinapiLiveCount(kind), m_live[kind]) << "object kind " << kind;
    EXPECT_EQ(_Module.GetLockCount(), m_locks);
    EXPECT_EQ(WinapiScreenInvalidations(), m_screenInvalidations) << "the whole screen was repainted";
    EXPECT_EQ(site.refs(), 1u);
    EXPECT_EQ(browser.refs(), 1u);
    WinapiUseRealClock();
    WinapiSetArabicLocaleInstalled(-1);
  }

  void CreateBand() {
    IUnknown* unknown = nullptr;
    ASSERT_EQ(CComCreator<CComObject<CExplorerBar>>::CreateInstance(nullptr, IID_IUnknown,
                                                                   reinterpret_cast<void**>(&unknown)),
              S_OK);
    identity = unknown;
    band = static_cast<CExplorerBar*>(static_cast<IExplorerBar*>(unknown));
  }

  // Closes the band the way the browser does, then lets it go.
  void ReleaseBand() {
    if (!identity) return;
    band->CloseDW(0);
    band->SetSite(nullptr);
    EXPECT_EQ(identity->Release(), 0u);
    identity = nullptr;
    band = nullptr;
  }

  HRESULT Attach() { return static_cast<IObjectWithSite*>(band)->SetSite(static_cast<IOleWindow*>(&site)); }

  // The band replaced by a new one, made and sited at the given local time.
  void SiteANewBandAt(const SYSTEMTIME& time) {
    ReleaseBand();
    WinapiSetLocalTime(&time);
    CreateBand();
    ASSERT_EQ(Attach(), S_OK);
  }

  HWND Toolbar() const { return band->m_wndToolbar.m_hWnd; }
  HWND Text() const { return band->m_wndStatic; }
  HMENU FormatMenu() const { return GetSubMenu(GetSubMenu(band->m_hMenu.get(), 0), 1); }

  // A right click (or the menu key) on the band, with the user's answer.
  void ChooseFromMenu(UINT command, LPARAM position = MAKELPARAM(30, 40)) {
    WinapiScriptMenuChoice(command);
    SendMessageA(Toolbar(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Toolbar()), position);
  }

  fakes::FakeSite site;
  fakes::FakeBrowser browser;
  HWND host = nullptr;
  IUnknown* identity = nullptr;
  CExplorerBar* band = nullptr;

 private:
  LONG m_live[WinapiObjectKindCount] = {};
  LONG m_locks = 0;
  LONG m_screenInvalidations = 0;
};

}  // namespace bandtest
