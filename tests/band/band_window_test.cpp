// The host's window, layout and focus calls, and the value written on close.
#include <cstring>
#include <string>
#include <vector>

#include "band_fixture.h"
#include "fake_stream.h"

namespace bandtest {
namespace {

constexpr char BandStateKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";
constexpr char ValueName[] = "{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}";

DESKBANDINFO Filled(DWORD mask) {
  DESKBANDINFO info;
  std::memset(&info, 0xAB, sizeof(info));
  info.dwMask = mask;
  return info;
}

TEST_F(BandTest, BandInfoFillsWhatTheMaskAsks) {
  DESKBANDINFO info = Filled(0x7F);
  ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
  EXPECT_EQ(info.dwMask, 0x3Fu);
  EXPECT_EQ(info.ptMinSize.x, 100);
  EXPECT_EQ(info.ptMinSize.y, 20);
  EXPECT_EQ(info.ptMaxSize.x, 150);
  EXPECT_EQ(info.ptMaxSize.y, 20);
  EXPECT_EQ(info.ptIntegral.x, 1);
  EXPECT_EQ(info.ptIntegral.y, 1);
  EXPECT_EQ(info.ptActual.x, 50);
  EXPECT_EQ(info.ptActual.y, 20);
  for (WCHAR c : info.wszTitle) ASSERT_EQ(c, 0);
  EXPECT_EQ(info.dwModeFlags, 0u);
  EXPECT_EQ(info.crBkgnd, 0xABABABABu);  // the host keeps its own background

  DESKBANDINFO untouched = Filled(0);
  DESKBANDINFO expected = untouched;
  ASSERT_EQ(band->GetBandInfo(9, DBIF_VIEWMODE_VERTICAL, &untouched), S_OK);
  EXPECT_EQ(std::memcmp(&untouched, &expected, sizeof(expected)), 0);
  EXPECT_EQ(band->m_dwBandID, 9u);
  EXPECT_EQ(band->m_dwViewMode, static_cast<DWORD>(DBIF_VIEWMODE_VERTICAL));

  EXPECT_EQ(band->GetBandInfo(11, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(band->m_dwBandID, 9u);
}

TEST_F(BandTest, BandKeepsItsSizeWhateverTheFont) {
  ASSERT_EQ(Attach(), S_OK);
  ChooseFromMenu(32777);
  ChooseFromMenu(32777);
  DESKBANDINFO info = Filled(DBIM_MINSIZE | DBIM_ACTUAL);
  ASSERT_EQ(band->GetBandInfo(0, 0, &info), S_OK);
  EXPECT_EQ(info.ptMinSize.x, 100);
  EXPECT_EQ(info.ptActual.y, 20);
}

TEST_F(BandTest, UnusedHostCallsAnswerAsBefore) {
  EXPECT_EQ(band->ContextSensitiveHelp(TRUE), E_NOTIMPL);
  EXPECT_EQ(band->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);
  EXPECT_EQ(band->TranslateAcceleratorIO(nullptr), S_FALSE);
  EXPECT_EQ(band->GetWindow(nullptr), E_POINTER);
  // Before there is a window, showing and activating do nothing.
  EXPECT_EQ(band->ShowDW(TRUE), S_OK);
  EXPECT_EQ(band->UIActivateIO(TRUE, nullptr), S_OK);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
}

TEST_F(BandTest, ShowDWShowsAndHidesTheToolbar) {
  ASSERT_EQ(Attach(), S_OK);
  EXPECT_EQ(band->ShowDW(FALSE), S_OK);
  EXPECT_FALSE(IsWindowVisible(Toolbar()));
  EXPECT_EQ(band->ShowDW(TRUE), S_OK);
  EXPECT_TRUE(IsWindowVisible(Toolbar()));
}

// The class id and the same 8 bytes as the settings stream.
TEST_F(BandTest, CloseWritesTheBandStateValue) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, BandStateKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(Attach(), S_OK);
  band->m_formatId = 32771;
  band->m_fontHeight = 19;
  const LONG taskMemory = WinapiLiveCount(WinapiTaskMemory);

  ASSERT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(Toolbar(), nullptr);
  EXPECT_EQ(WinapiLiveCount(WinapiTaskMemory), taskMemory);

  BYTE value[64] = {};
  DWORD type = 0;
  DWORD size = sizeof(value);
  ASSERT_EQ(RegQueryValueExA(key, ValueName, nullptr, &type, value, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(size, 24u);
  const std::vector<BYTE> expected = {0x48, 0x1F, 0xCA, 0x8D, 0x61, 0x09, 0xE8, 0x4F, 0xB7, 0x0F, 0x45, 0xE1,
                                      0xC4, 0xF0, 0x65, 0x7C, 0x03, 0x80, 0x00, 0x00, 0x13, 0x00, 0x00, 0x00};
  EXPECT_EQ(std::vector<BYTE>(value, value + size), expected);

  // Every close writes again, windows or not.
  band->m_fontHeight = -3;
  ASSERT_EQ(band->CloseDW(0), S_OK);
  size = sizeof(value);
  ASSERT_EQ(RegQueryValueExA(key, ValueName, nullptr, &type, value, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::vector<BYTE>(value + 20, value + 24), (std::vector<BYTE>{0xFD, 0xFF, 0xFF, 0xFF}));
  RegCloseKey(key);
}

TEST_F(BandTest, CloseWithoutTheBrowsersKeyWritesNothingAndStillCloses) {
  ASSERT_EQ(Attach(), S_OK);
  ASSERT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(Toolbar(), nullptr);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, BandStateKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(BandTest, CloseWithoutMemoryForTheValueNameStillCloses) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, BandStateKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(Attach(), S_OK);
  WinapiFailNextTaskAllocations(1);
  ASSERT_EQ(band->CloseDW(0), S_OK);
  WinapiFailNextTaskAllocations(0);
  EXPECT_EQ(Toolbar(), nullptr);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, ValueName, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// Focus is what the window's messages say, reported to the site in the order
// SetFocus sends them.
TEST_F(BandTest, FocusFollowsTheToolbarWindowsMessages) {
  ASSERT_EQ(Attach(), S_OK);
  IUnknown* const deskBand = static_cast<IDeskBand*>(band);

  ASSERT_EQ(band->UIActivateIO(TRUE, nullptr), S_OK);
  EXPECT_EQ(GetFocus(), Toolbar());
  EXPECT_EQ(band->HasFocusIO(), S_OK);
  ASSERT_EQ(site.focusCalls.size(), 1u);
  EXPECT_EQ(site.focusCalls[0].object, deskBand);
  EXPECT_EQ(site.focusCalls[0].focus, TRUE);

  EXPECT_EQ(band->UIActivateIO(FALSE, nullptr), S_OK);  // no change of its own
  EXPECT_EQ(band->HasFocusIO(), S_OK);

  SetFocus(host);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
  ASSERT_EQ(site.focusCalls.size(), 2u);
  EXPECT_EQ(site.focusCalls[1].object, deskBand);
  EXPECT_EQ(site.focusCalls[1].focus, FALSE);
}

TEST_F(BandTest, TextChildFillsTheToolbarsClientArea) {
  ASSERT_EQ(Attach(), S_OK);
  for (const SIZE size : {SIZE{120, 22}, SIZE{0, 0}, SIZE{333, 17}}) {
    MoveWindow(Toolbar(), 5, 2, size.cx, size.cy, TRUE);
    RECT text = {};
    GetWindowRect(Text(), &text);
    RECT toolbar = {};
    GetWindowRect(Toolbar(), &toolbar);
    EXPECT_EQ(text.left, toolbar.left);
    EXPECT_EQ(text.top, toolbar.top);
    EXPECT_EQ(text.right - text.left, size.cx);
    EXPECT_EQ(text.bottom - text.top, size.cy);
  }
}

// The font the text window holds, as CreateFontA was asked for it.
std::string FontOf(HWND text) {
  LOGFONTW font = {};
  const auto handle = reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0));
  if (!handle || GetObjectW(handle, sizeof(font), &font) != sizeof(font)) return "no font";
  std::string face;
  for (const WCHAR* c = font.lfFaceName; *c; ++c) face += static_cast<char>(*c);
  return "height " + std::to_string(font.lfHeight) + ", width " + std::to_string(font.lfWidth) + ", weight " +
         std::to_string(font.lfWeight) + ", charset " + std::to_string(font.lfCharSet) + ", escapement " +
         std::to_string(font.lfEscapement) + ", italic " + std::to_string(font.lfItalic) + ", underline " +
         std::to_string(font.lfUnderline) + ", strike-out " + std::to_string(font.lfStrikeOut) + ", precision " +
         std::to_string(font.lfOutPrecision) + "/" + std::to_string(font.lfClipPrecision) + ", quality " +
         std::to_string(font.lfQuality) + ", pitch " + std::to_string(font.lfPitchAndFamily) + ", face " + face;
}

// Times New Roman of the band's height, normal weight, the default
// character set; a negative height asks for the character height.
std::string BandFont(LONG height) {
  return "height " + std::to_string(height) +
         ", width 0, weight 400, charset 1, escapement 0, italic 0, underline 0, strike-out 0, precision 0/0, "
         "quality 0, pitch 0, face Times New Roman";
}

TEST_F(BandTest, TheTextGetsTheFontOfItsHeight) {
  constexpr UINT Increase = 32777;
  constexpr UINT Decrease = 32778;
  constexpr int NotLoaded = 0x7FFFFFFF;
  struct Case {
    const char* name;
    int loadedBeforeSite;  // a height the host's saved settings bring
    int loadedAfterSite;
    std::vector<UINT> sizeCommands;
    LONG height;
  };
  const Case cases[] = {
      {"the default", NotLoaded, NotLoaded, {}, 15},
      {"a saved height", 30, NotLoaded, {}, 30},
      {"a saved character height keeps its sign", -12, NotLoaded, {}, -12},
      {"a saved zero, the default height of the face", 0, NotLoaded, {}, 0},
      {"larger", NotLoaded, NotLoaded, {Increase}, 17},
      {"smaller, down to a character height", NotLoaded, NotLoaded, {Decrease, Decrease, Decrease, Decrease,
                                                                     Decrease, Decrease, Decrease, Decrease}, -1},
      {"larger from a saved height", -12, NotLoaded, {Increase}, -10},
      {"settings loaded into a shown band wait for a size command", NotLoaded, 40, {}, 15},
      {"which steps from the loaded height", NotLoaded, 40, {Decrease}, 38},
  };
  auto load = [this](int height) {
    FakeStream stream({0x08, 0x80, 0, 0, static_cast<BYTE>(height), static_cast<BYTE>(height >> 8),
                       static_cast<BYTE>(height >> 16), static_cast<BYTE>(height >> 24)});
    EXPECT_EQ(static_cast<IPersistStream*>(band)->Load(&stream), S_OK);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReleaseBand();
    CreateBand();
    if (c.loadedBeforeSite != NotLoaded) load(c.loadedBeforeSite);
    ASSERT_EQ(Attach(), S_OK);
    if (c.loadedAfterSite != NotLoaded) load(c.loadedAfterSite);
    for (UINT command : c.sizeCommands) ChooseFromMenu(command);
    EXPECT_EQ(FontOf(Text()), BandFont(c.height));
  }
}

}  // namespace
}  // namespace bandtest
