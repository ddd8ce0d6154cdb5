// The code pages of the Windows layer: the tables of 1252 and 1256 against
// the C library's iconv, and the A functions following the ANSI code page.
#include <gtest/gtest.h>

#include <windows.h>

#include <iconv.h>

#include <functional>
#include <string>

#include "ansi_code_page.h"
#include "winapi_control.h"

namespace {

// One conversion by iconv; false when iconv has no mapping.
bool Iconv(iconv_t cd, const void* in, size_t inSize, void* out, size_t outSize, size_t* written) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* from = static_cast<char*>(const_cast<void*>(in));
  char* to = static_cast<char*>(out);
  size_t left = outSize;
  if (iconv(cd, &from, &inSize, &to, &left) == static_cast<size_t>(-1)) return false;
  *written = outSize - left;
  return true;
}

// Windows maps the five bytes that 1252 leaves unassigned to the C1 controls
// of the same value; iconv knows no character for them.
bool UnassignedIn1252(unsigned value) {
  return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

TEST(CodePageTables, EveryByteAndEveryUnitConvertsAsIconvSays) {
  for (const UINT codePage : {1252u, 1256u}) {
    SCOPED_TRACE(codePage);
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t toWide = iconv_open("UTF-16LE", name.c_str());
    iconv_t toBytes = iconv_open(name.c_str(), "UTF-16LE");
    ASSERT_NE(toWide, reinterpret_cast<iconv_t>(-1));
    ASSERT_NE(toBytes, reinterpret_cast<iconv_t>(-1));

    for (unsigned value = 0; value < 0x100; ++value) {
      const char byte = static_cast<char>(value);
      WCHAR unit = 0;
      ASSERT_EQ(1, MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &byte, 1, &unit, 1)) << value;
      char16_t expected = 0;
      size_t written = 0;
      if (Iconv(toWide, &byte, 1, &expected, sizeof(expected), &written)) {
        EXPECT_EQ(expected, unit) << "byte 0x" << std::hex << value;
      } else {
        EXPECT_TRUE(codePage == 1252 && UnassignedIn1252(value) && unit == value) << "byte 0x" << std::hex << value;
      }
    }

    for (unsigned value = 1; value < 0x10000; ++value) {
      const char16_t unit = static_cast<char16_t>(value);
      char byte = 0;
      BOOL defaulted = TRUE;
      ASSERT_EQ(1, WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &unit, 1, &byte, 1, nullptr, &defaulted));
      char expected = 0;
      size_t written = 0;
      if (Iconv(toBytes, &unit, sizeof(unit), &expected, 1, &written) && written == 1) {
        EXPECT_EQ(expected, byte) << "U+" << std::hex << value;
        EXPECT_FALSE(defaulted) << "U+" << std::hex << value;
      } else if (codePage == 1252 && UnassignedIn1252(value)) {
        EXPECT_EQ(static_cast<char>(value), byte);
        EXPECT_FALSE(defaulted);
      } else {
        EXPECT_EQ('?', byte) << "U+" << std::hex << value;
        EXPECT_TRUE(defaulted) << "U+" << std::hex << value;
      }
    }
    iconv_close(toWide);
    iconv_close(toBytes);
  }
}

TEST(AnsiCodePage, TextConvertsThroughTheChosenCodePage) {
  EXPECT_EQ(1252u, GetACP()) << "the default, as in Western Europe and the Americas";
  struct Case {
    UINT codePage;
    std::u16string text;
    std::string bytes;
    bool defaulted;
  };
  const Case cases[] = {
      {1252, u"Café", "Caf\xE9", false},
      {1256, u"Café", "Caf\xE9", false},
      {1252, u"€ 5", "\x80 5", false},
      {1252, u"\u06A9\u062A\u0627\u0628", "????", true},              // ک ت ا ب
      {1256, u"\u06A9\u062A\u0627\u0628", "\x98\xCA\xC7\xC8", false},  // all four in 1256
      {1256, u"\u06CC", "?", true},                                    // ی: 1256 has only the Arabic yeh
      {1252, u"\U0001F600", "??", true},                               // each half of the pair
      {CP_UTF8, u"\u06A9\u06CC", "\xDA\xA9\xDB\x8C", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    ScopedAnsiCodePage codePage(c.codePage);
    EXPECT_EQ(c.codePage, GetACP());
    for (const UINT alias : {static_cast<UINT>(CP_ACP), static_cast<UINT>(CP_THREAD_ACP)}) {
      char bytes[16] = {};
      BOOL defaulted = !c.defaulted;
      LPBOOL report = c.codePage == CP_UTF8 ? nullptr : &defaulted;
      ASSERT_EQ(static_cast<int>(c.bytes.size()),
                WideCharToMultiByte(alias, 0, c.text.c_str(), static_cast<int>(c.text.size()), bytes,
                                    sizeof(bytes), nullptr, report));
      EXPECT_EQ(c.bytes, std::string(bytes, c.bytes.size()));
      if (report) {
        EXPECT_EQ(c.defaulted, defaulted != FALSE);
      }
      if (!c.defaulted) {
        EXPECT_EQ(c.text, FromCodePage(alias, c.bytes));
      }
    }
  }
  EXPECT_EQ(1252u, GetACP());
}

TEST(AnsiCodePage, CharactersAreWalkedAndComparedInTheCodePage) {
  struct Case {
    UINT codePage;
    const char* a;
    const char* b;
    bool sameIgnoringCase;
    int characters;  // in a
  };
  const Case cases[] = {
      {1252, "\xC9t\xE9", "\xE9T\xC9", true, 3},                      // Été, éTÉ
      {1252, "\x8A", "\x9A", true, 1},                                // Š, š
      {1256, "\xC9", "\xE9", false, 1},                               // ة, é
      {CP_UTF8, "\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", true, 3},  // Été, éTÉ
      {CP_UTF8, "\xC9", "\xE9", false, 1},  // two different stray bytes are not one character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + " " + c.a);
    ScopedAnsiCodePage codePage(c.codePage);
    EXPECT_EQ(c.sameIgnoringCase, lstrcmpiA(c.a, c.b) == 0);
    int characters = 0;
    for (LPCSTR p = c.a; *p; p = CharNextA(p)) {
      EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(*p)));
      ++characters;
    }
    EXPECT_EQ(c.characters, characters);
  }
}

TEST(AnsiCodePage, ConversionsRefuseWhatWindowsRefuses) {
  const WCHAR text[] = u"ab";
  char out[8];
  BOOL defaulted = FALSE;
  struct Case {
    const char* what;
    UINT codePage;  // the ANSI code page meanwhile
    std::function<int()> call;
    DWORD error;
  };
  const Case cases[] = {
      {"UTF-8 reports no default character", 1252,
       [&] { return WideCharToMultiByte(CP_UTF8, 0, text, -1, out, 8, nullptr, &defaulted); }, ERROR_INVALID_PARAMETER},
      {"an ANSI code page of UTF-8 neither", CP_UTF8,
       [&] { return WideCharToMultiByte(CP_ACP, 0, text, -1, out, 8, nullptr, &defaulted); }, ERROR_INVALID_PARAMETER},
      {"UTF-8 takes no best-fit flag", 1252,
       [&] { return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, text, -1, out, 8, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
      {"a code page this system lacks", 1252,
       [&] { return MultiByteToWideChar(932, 0, "ab", -1, nullptr, 0); }, ERROR_INVALID_PARAMETER},
      {"a buffer too short for the NUL", 1256,
       [&] { return WideCharToMultiByte(CP_ACP, 0, text, -1, out, 2, nullptr, &defaulted); },
       ERROR_INSUFFICIENT_BUFFER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedAnsiCodePage codePage(c.codePage);
    SetLastError(0);
    EXPECT_EQ(0, c.call());
    EXPECT_EQ(c.error, GetLastError());
  }
  EXPECT_FALSE(WinapiSetAnsiCodePage(932));
  EXPECT_EQ(1252u, GetACP());
}

}  // namespace
