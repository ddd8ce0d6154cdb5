// The band as a browser meets it: daybander.so loaded, the band made by its
// class object, sited, clicked, closed; and the library unloaded and loaded
// again, which must leave no window class behind that points into the old
// image, and must call no User32 function under the loader lock (from DllMain
// or from static destruction) on the way.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <initguid.h>  // defines the ids of daybander_ids.h here

#include "ansi_code_page.h"
#include "daybander_ids.h"
#include "host_fakes.h"
#include "loaded_module.h"
#include "module_copy.h"
#include "winapi_control.h"

namespace {

constexpr char ToolbarClass[] = "Daybander:ToolbarWindow32";

// One band's life in a loaded library, the built one or the one at `path`;
// returns the library's handle.
HMODULE RunBand(fakes::FakeSite* site, fakes::FakeBrowser* browser, const WCHAR* path = nullptr) {
  const auto loaded = path ? std::make_unique<LoadedModule>(path) : std::make_unique<LoadedModule>();
  LoadedModule& module = *loaded;
  EXPECT_NE(module.handle, nullptr);
  if (!module.handle) return nullptr;

  IClassFactory* factory = nullptr;
  EXPECT_EQ(module.getClassObject(CLSID_ExplorerBar, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IDeskBand* band = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, reinterpret_cast<void**>(&band)), S_OK);
  factory->Release();
  IObjectWithSite* withSite = nullptr;
  EXPECT_EQ(band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)), S_OK);
  EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(site)), S_OK);

  HWND toolbar = nullptr;
  EXPECT_EQ(band->GetWindow(&toolbar), S_OK);
  char className[64] = {};
  GetClassNameA(toolbar, className, sizeof(className));
  EXPECT_STREQ(className, ToolbarClass);
  WNDCLASSEXA info = {};
  info.cbSize = sizeof(info);
  EXPECT_TRUE(GetClassInfoExA(module.handle, ToolbarClass, &info));

  SendMessageA(toolbar, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  withSite->Release();
  EXPECT_EQ(band->Release(), 0u);
  EXPECT_EQ(module.canUnloadNow(), S_OK);

  WCHAR name[MAX_PATH] = {};
  GetModuleFileNameW(module.handle, name, MAX_PATH);
  EXPECT_FALSE(browser->navigateCalls.empty());
  if (!browser->navigateCalls.empty()) {
    EXPECT_EQ(browser->navigateCalls.back().url, u"res://" + std::u16string(name) + u"/jcal");
  }
  return module.handle;
}

TEST(LoadedBand, LivesAndGoesWithTheLibraryAgainAndAgain) {
  const LONG windows = WinapiLiveCount(WinapiWindows);
  const LONG menus = WinapiLiveCount(WinapiMenus);
  const LONG fonts = WinapiLiveCount(WinapiFonts);
  const LONG underLoaderLock = WinapiLoaderLockViolations(nullptr);
  fakes::FakeBrowser browser;
  fakes::FakeSite site;
  site.browser = &browser;
  site.window = CreateWindowExA(0, "STATIC", "host", WS_VISIBLE, 0, 0, 400, 30, nullptr, nullptr, nullptr, nullptr);

  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    const HMODULE unloaded = RunBand(&site, &browser);
    EXPECT_EQ(browser.navigateCalls.size(), static_cast<size_t>(round));
    WNDCLASSEXA info = {};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetClassInfoExA(unloaded, ToolbarClass, &info)) << "the superclass outlived its library";
    LPCSTR area = nullptr;
    EXPECT_EQ(WinapiLoaderLockViolations(&area), underLoaderLock) << "a call into " << (area ? area : "?");
  }

  DestroyWindow(site.window);
  EXPECT_EQ(WinapiLiveCount(WinapiWindows), windows);
  EXPECT_EQ(WinapiLiveCount(WinapiMenus), menus);
  EXPECT_EQ(WinapiLiveCount(WinapiFonts), fonts);
  EXPECT_EQ(site.refs(), 1u);
  EXPECT_EQ(browser.refs(), 1u);
}

// The page's URL is UTF-16: a library in a folder named with Persian letters
// (ی among them, which neither 1252 nor 1256 holds) opens its own page under
// every ANSI code page.
TEST(LoadedBand, OpensItsPageFromAPersianNamedFolderUnderEveryCodePage) {
  const ModuleCopy copy(u"\u062A\u0642\u0648\u06CC\u0645");  // تقویم
  fakes::FakeBrowser browser;
  fakes::FakeSite site;
  site.browser = &browser;
  site.window = CreateWindowExA(0, "STATIC", "host", WS_VISIBLE, 0, 0, 400, 30, nullptr, nullptr, nullptr, nullptr);
  for (const UINT codePage : {1252u, 1256u, static_cast<UINT>(CP_UTF8)}) {
    SCOPED_TRACE(codePage);
    const ScopedAnsiCodePage ansi(codePage);
    browser.navigateCalls.clear();
    RunBand(&site, &browser, copy.path.c_str());
    ASSERT_EQ(browser.navigateCalls.size(), 1u);
    EXPECT_EQ(browser.navigateCalls[0].url, u"res://" + copy.path + u"/jcal");
    EXPECT_EQ(browser.navigateCalls[0].headers, u"Referer: res://" + copy.path + u"/\r\n");
  }
  DestroyWindow(site.window);
}

}  // namespace
