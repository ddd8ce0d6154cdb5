// The three date texts, code unit by code unit, for both answers of the
// Arabic-locale question.
#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <string>

#include "date_text.h"

namespace daybander {
namespace {

std::u16string Text(const DateText& text) { return std::u16string(text.c_str(), text.length()); }

// Code units as "U+0641 U+0631 ...", so that a mismatch reads as a table row.
std::string Units(const std::u16string& text) {
  std::string out;
  char unit[8];
  for (char16_t c : text) {
    std::snprintf(unit, sizeof unit, "U+%04X", static_cast<unsigned>(c));
    if (!out.empty()) out += ' ';
    out += unit;
  }
  return out;
}

#define EXPECT_UNITS(actual, expected, what) \
  EXPECT_EQ(Units(actual), Units(expected)) << what

struct MonthRow {
  const char* latin;
  const char16_t* arabic;  // logical order
  const char16_t* visual;  // presentation forms, stored order
};

const MonthRow kMonths[12] = {
    {"Farvardin", u"\u0641\u0631\u0648\u0631\u062F\u064A\u0646", u"\uFEE6\uFEF3\uFEA9\uFEAD\uFEED\uFEAE\uFED3"},
    {"Ordibehesht", u"\u0627\u0631\u062F\u064A\u0628\u0647\u0634\u062A",
     u"\uFE96\uFEB8\uFEEC\uFE92\uFEF3\uFEA9\uFEAD\uFE8D"},
    {"Khordad", u"\u062E\u0631\u062F\u0627\u062F", u"\uFEA9\uFE8D\uFEA9\uFEAE\uFEA7"},
    {"Tir", u"\u062A\u064A\u0631", u"\uFEAE\uFEF4\uFE97"},
    {"Mordad", u"\u0645\u0631\u062F\u0627\u062F", u"\uFEA9\uFE8D\uFEA9\uFEAE\uFEE3"},
    {"Shahrivar", u"\u0634\u0647\u0631\u064A\u0648\u0631", u"\uFEAD\uFEEE\uFEF3\uFEAE\uFEEC\uFEB7"},
    {"Mehr", u"\u0645\u0647\u0631", u"\uFEAE\uFEEC\uFEE3"},
    {"Aban", u"\u0622\u0628\u0627\u0646", u"\uFEE5\uFE8E\uFE91\uFE81"},
    {"Azar", u"\u0622\u0630\u0631", u"\uFEAD\uFEAB\uFE81"},
    {"Day", u"\u062F\u0649", u"\uFEEF\uFEA9"},
    {"Bahman", u"\u0628\u0647\u0645\u0646", u"\uFEE6\uFEE4\uFEEC\uFE91"},
    {"Esfand", u"\u0627\u0633\u0641\u0646\u062F", u"\uFEAA\uFEE8\uFED4\uFEB3\uFE8D"},
};

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEST(ToPersianDigits, Numbers) {
  struct Case {
    int value;
    const char16_t* digits;
  };
  const Case cases[] = {
      {0, u""},
      {5, u"\u06F5"},
      {10, u"\u06F1\u06F0"},
      {979, u"\u06F9\u06F7\u06F9"},
      {1387, u"\u06F1\u06F3\u06F8\u06F7"},
      {30206, u"\u06F3\u06F0\u06F2\u06F0\u06F6"},
      {1234567890, u"\u06F1\u06F2\u06F3\u06F4\u06F5\u06F6\u06F7\u06F8\u06F9\u06F0"},
  };
  for (const Case& c : cases) EXPECT_UNITS(Text(ToPersianDigits(c.value)), c.digits, "value " << c.value);
}

// Day 10 of every month of 1387, so each month name stands between two
// numbers whose digits include the table's zero.
TEST(ComposeDateTexts, EveryMonthWithTheArabicLocale) {
  for (int month = 1; month <= 12; ++month) {
    const DateTexts texts = ComposeDateTexts({1387, month, 10}, true);
    const std::u16string expected = std::u16string(u"\u06F1\u06F0") + kMonths[month - 1].arabic + u"\u06F1\u06F3\u06F8\u06F7";
    EXPECT_UNITS(Text(texts.persian), expected, "month " << month);
  }
}

TEST(ComposeDateTexts, EveryMonthWithoutTheArabicLocale) {
  for (int month = 1; month <= 12; ++month) {
    const DateTexts texts = ComposeDateTexts({1387, month, 10}, false);
    const std::u16string expected = std::u16string(u"\u06F1\u06F3\u06F8\u06F7") + kMonths[month - 1].visual + u"\u06F1\u06F0";
    EXPECT_UNITS(Text(texts.persian), expected, "month " << month);
  }
}

TEST(ComposeDateTexts, EveryMonthInEnglishAndNumeric) {
  for (int month = 1; month <= 12; ++month) {
    for (bool arabic : {true, false}) {
      const DateTexts texts = ComposeDateTexts({1387, month, 10}, arabic);
      EXPECT_EQ(Text(texts.english), Ascii(std::string("10 ") + kMonths[month - 1].latin + " 1387")) << "month " << month;
      EXPECT_EQ(Text(texts.numeric), Ascii("10/" + std::to_string(month) + "/1387")) << "month " << month;
    }
  }
}

// The visual names read backwards and folded from presentation forms to base
// letters (compatibility normalisation, by ICU) are the logical names.
TEST(ComposeDateTexts, VisualNamesAreTheLogicalNamesReversedAndShaped) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
  ASSERT_TRUE(U_SUCCESS(status));
  for (int month = 1; month <= 12; ++month) {
    const std::u16string persian = Text(ComposeDateTexts({1, month, 1}, false).persian);
    // year 1 and day 1 are one digit each; the name stands between them.
    std::u16string visual = persian.substr(1, persian.size() - 2);
    for (char16_t c : visual) EXPECT_TRUE(c >= 0xFE70 && c <= 0xFEFF) << "month " << month << ": " << Units(visual);
    const icu::UnicodeString reversed = icu::UnicodeString(visual.data(), static_cast<int32_t>(visual.size())).reverse();
    const icu::UnicodeString folded = nfkc->normalize(reversed, status);
    ASSERT_TRUE(U_SUCCESS(status));
    EXPECT_UNITS(std::u16string(folded.getBuffer(), folded.length()), kMonths[month - 1].arabic, "month " << month);
  }
}

struct TextCase {
  SolarHijriDate date;
  const char16_t* persianInstalled;
  const char16_t* persianNotInstalled;
  const char* english;
  const char* numeric;
  const char* what;
};

const TextCase kTextCases[] = {
    {{1387, 1, 23},
     u"\u06F2\u06F3\u0641\u0631\u0648\u0631\u062F\u064A\u0646\u06F1\u06F3\u06F8\u06F7",
     u"\u06F1\u06F3\u06F8\u06F7\uFEE6\uFEF3\uFEA9\uFEAD\uFEED\uFEAE\uFED3\u06F2\u06F3",
     "23 Farvardin 1387", "23/1/1387", "worked example, 11 April 2008"},
    {{1388, 1, 1},
     u"\u06F1\u0641\u0631\u0648\u0631\u062F\u064A\u0646\u06F1\u06F3\u06F8\u06F8",
     u"\u06F1\u06F3\u06F8\u06F8\uFEE6\uFEF3\uFEA9\uFEAD\uFEED\uFEAE\uFED3\u06F1",
     "1 Farvardin 1388", "1/1/1388", "single-digit day and month"},
    {{1387, 10, 10},
     u"\u06F1\u06F0\u062F\u0649\u06F1\u06F3\u06F8\u06F7",
     u"\u06F1\u06F3\u06F8\u06F7\uFEEF\uFEA9\u06F1\u06F0",
     "10 Day 1387", "10/10/1387", "the month Day, zero digits"},
    {{1387, 12, 30},
     u"\u06F3\u06F0\u0627\u0633\u0641\u0646\u062F\u06F1\u06F3\u06F8\u06F7",
     u"\u06F1\u06F3\u06F8\u06F7\uFEAA\uFEE8\uFED4\uFEB3\uFE8D\u06F3\u06F0",
     "30 Esfand 1387", "30/12/1387", "last day of a leap year"},
    {{979, 10, 12},
     u"\u06F1\u06F2\u062F\u0649\u06F9\u06F7\u06F9",
     u"\u06F9\u06F7\u06F9\uFEEF\uFEA9\u06F1\u06F2",
     "12 Day 979", "12/10/979", "earliest date of the clock, three-digit year"},
    {{30206, 10, 12},
     u"\u06F1\u06F2\u062F\u0649\u06F3\u06F0\u06F2\u06F0\u06F6",
     u"\u06F3\u06F0\u06F2\u06F0\u06F6\uFEEF\uFEA9\u06F1\u06F2",
     "12 Day 30206", "12/10/30206", "latest date of the clock, five-digit year"},
    {{30206, 2, 30},
     u"\u06F3\u06F0\u0627\u0631\u062F\u064A\u0628\u0647\u0634\u062A\u06F3\u06F0\u06F2\u06F0\u06F6",
     u"\u06F3\u06F0\u06F2\u06F0\u06F6\uFE96\uFEB8\uFEEC\uFE92\uFEF3\uFEA9\uFEAD\uFE8D\u06F3\u06F0",
     "30 Ordibehesht 30206", "30/2/30206", "the longest texts"},
};

TEST(ComposeDateTexts, TableOfDates) {
  for (const TextCase& c : kTextCases) {
    const DateTexts installed = ComposeDateTexts(c.date, true);
    const DateTexts notInstalled = ComposeDateTexts(c.date, false);
    EXPECT_UNITS(Text(installed.persian), c.persianInstalled, c.what << ", Arabic locale installed");
    EXPECT_UNITS(Text(notInstalled.persian), c.persianNotInstalled, c.what << ", Arabic locale not installed");
    for (const DateTexts* texts : {&installed, &notInstalled}) {
      EXPECT_EQ(Text(texts->english), Ascii(c.english)) << c.what;
      EXPECT_EQ(Text(texts->numeric), Ascii(c.numeric)) << c.what;
      // NUL-terminated where length() says.
      EXPECT_EQ(texts->english.c_str()[texts->english.length()], u'\0') << c.what;
    }
  }
}

TEST(DateText, AppendKeepsWhatFits) {
  DateText text;
  for (int i = 0; i < DateText::Capacity + 5; ++i) text.Append(u'x');
  EXPECT_EQ(text.length(), DateText::Capacity);
  EXPECT_EQ(text.c_str()[DateText::Capacity], u'\0');
  DateText decimal;
  decimal.AppendDecimal(-2147483647 - 1);
  EXPECT_EQ(Text(decimal), u"-2147483648");
}

}  // namespace
}  // namespace daybander
