// Fonts: every argument kept and given back by GetObject; stock fonts that
// survive DeleteObject; live fonts counted.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ansi_code_page.h"
#include "winapi_control.h"

namespace {

TEST(FontTest, KeepsEveryArgumentOfCreateFont) {
  const LONG before = WinapiLiveCount(WinapiFonts);
  HFONT font = CreateFontA(-19, 7, 900, 450, FW_BOLD, TRUE, FALSE, TRUE, ARABIC_CHARSET, OUT_TT_PRECIS,
                           CLIP_STROKE_PRECIS, CLEARTYPE_QUALITY, VARIABLE_PITCH | FF_ROMAN, "Times New Roman");
  ASSERT_TRUE(font);
  EXPECT_EQ(before + 1, WinapiLiveCount(WinapiFonts));
  LOGFONTW lf{};
  ASSERT_EQ(static_cast<int>(sizeof(lf)), GetObjectW(font, sizeof(lf), &lf));
  EXPECT_EQ(-19, lf.lfHeight);
  EXPECT_EQ(7, lf.lfWidth);
  EXPECT_EQ(900, lf.lfEscapement);
  EXPECT_EQ(450, lf.lfOrientation);
  EXPECT_EQ(FW_BOLD, lf.lfWeight);
  EXPECT_EQ(1, lf.lfItalic);
  EXPECT_EQ(0, lf.lfUnderline);
  EXPECT_EQ(1, lf.lfStrikeOut);
  EXPECT_EQ(ARABIC_CHARSET, lf.lfCharSet);
  EXPECT_EQ(OUT_TT_PRECIS, lf.lfOutPrecision);
  EXPECT_EQ(CLIP_STROKE_PRECIS, lf.lfClipPrecision);
  EXPECT_EQ(CLEARTYPE_QUALITY, lf.lfQuality);
  EXPECT_EQ(VARIABLE_PITCH | FF_ROMAN, lf.lfPitchAndFamily);
  EXPECT_EQ(u"Times New Roman", std::u16string(lf.lfFaceName));

  LOGFONTA lfa{};
  ASSERT_EQ(static_cast<int>(sizeof(lfa)), GetObjectA(font, sizeof(lfa), &lfa));
  EXPECT_EQ(-19, lfa.lfHeight);
  EXPECT_STREQ("Times New Roman", lfa.lfFaceName);
  EXPECT_EQ(static_cast<int>(sizeof(LOGFONTW)), GetObjectW(font, 0, nullptr)) << "no buffer: the size";

  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(before, WinapiLiveCount(WinapiFonts));
  EXPECT_FALSE(DeleteObject(font)) << "a deleted font is no font";
  EXPECT_EQ(0, GetObjectW(font, sizeof(lf), &lf));
  EXPECT_FALSE(DeleteObject(nullptr));
}

TEST(FontTest, FaceNamesAreCutToTheirField) {
  const std::string longName(40, 'x');
  HFONT font = CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, longName.c_str());
  LOGFONTW lf{};
  GetObjectW(font, sizeof(lf), &lf);
  EXPECT_EQ(std::u16string(LF_FACESIZE - 1, u'x'), std::u16string(lf.lfFaceName));
  DeleteObject(font);

  // A face outside ASCII keeps whole characters in the narrow form.
  const ScopedAnsiCodePage utf8(CP_UTF8);
  LOGFONTW wide{};
  wide.lfHeight = 15;
  for (int i = 0; i < LF_FACESIZE - 1; ++i) wide.lfFaceName[i] = u'\u0628';
  font = CreateFontIndirectW(&wide);
  LOGFONTA narrow{};
  GetObjectA(font, sizeof(narrow), &narrow);
  EXPECT_EQ(30u, std::strlen(narrow.lfFaceName)) << "15 two-byte characters fit in 31 bytes";
  DeleteObject(font);
}

TEST(FontTest, StockFontsStay) {
  const LONG before = WinapiLiveCount(WinapiFonts);
  HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
  ASSERT_TRUE(gui);
  EXPECT_EQ(gui, GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_NE(gui, GetStockObject(SYSTEM_FONT));
  EXPECT_TRUE(DeleteObject(gui));
  LOGFONTW lf{};
  EXPECT_EQ(static_cast<int>(sizeof(lf)), GetObjectW(gui, sizeof(lf), &lf));
  EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(gui));
  EXPECT_EQ(before, WinapiLiveCount(WinapiFonts));
}

}  // namespace
