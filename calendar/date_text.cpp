#include "date_text.h"

namespace daybander {
namespace {

const WCHAR* const PersianDigits[10] = {
    OLESTR("\u06F0"), OLESTR("\u06F1"), OLESTR("\u06F2"), OLESTR("\u06F3"), OLESTR("\u06F4"),
    OLESTR("\u06F5"), OLESTR("\u06F6"), OLESTR("\u06F7"), OLESTR("\u06F8"), OLESTR("\u06F9"),
};

const WCHAR* const LatinMonthNames[12] = {
    OLESTR("Farvardin"), OLESTR("Ordibehesht"), OLESTR("Khordad"), OLESTR("Tir"),
    OLESTR("Mordad"),    OLESTR("Shahrivar"),   OLESTR("Mehr"),    OLESTR("Aban"),
    OLESTR("Azar"),      OLESTR("Day"),         OLESTR("Bahman"),  OLESTR("Esfand"),
};

// Logical order, with ARABIC LETTER YEH (U+064A) and ALEF MAKSURA (U+0649).
const WCHAR* const ArabicMonthNames[12] = {
    OLESTR("\u0641\u0631\u0648\u0631\u062F\u064A\u0646"),
    OLESTR("\u0627\u0631\u062F\u064A\u0628\u0647\u0634\u062A"),
    OLESTR("\u062E\u0631\u062F\u0627\u062F"),
    OLESTR("\u062A\u064A\u0631"),
    OLESTR("\u0645\u0631\u062F\u0627\u062F"),
    OLESTR("\u0634\u0647\u0631\u064A\u0648\u0631"),
    OLESTR("\u0645\u0647\u0631"),
    OLESTR("\u0622\u0628\u0627\u0646"),
    OLESTR("\u0622\u0630\u0631"),
    OLESTR("\u062F\u0649"),
    OLESTR("\u0628\u0647\u0645\u0646"),
    OLESTR("\u0627\u0633\u0641\u0646\u062F"),
};

// Presentation forms in visual order: each entry read backwards and folded to
// base letters is its ArabicMonthNames entry.
const WCHAR* const VisualMonthNames[12] = {
    OLESTR("\uFEE6\uFEF3\uFEA9\uFEAD\uFEED\uFEAE\uFED3"),
    OLESTR("\uFE96\uFEB8\uFEEC\uFE92\uFEF3\uFEA9\uFEAD\uFE8D"),
    OLESTR("\uFEA9\uFE8D\uFEA9\uFEAE\uFEA7"),
    OLESTR("\uFEAE\uFEF4\uFE97"),
    OLESTR("\uFEA9\uFE8D\uFEA9\uFEAE\uFEE3"),
    OLESTR("\uFEAD\uFEEE\uFEF3\uFEAE\uFEEC\uFEB7"),
    OLESTR("\uFEAE\uFEEC\uFEE3"),
    OLESTR("\uFEE5\uFE8E\uFE91\uFE81"),
    OLESTR("\uFEAD\uFEAB\uFE81"),
    OLESTR("\uFEEF\uFEA9"),
    OLESTR("\uFEE6\uFEE4\uFEEC\uFE91"),
    OLESTR("\uFEAA\uFEE8\uFED4\uFEB3\uFE8D"),
};

}  // namespace

void DateText::Append(const WCHAR* text) {
  while (*text) Append(*text++);
}

void DateText::Append(WCHAR unit) {
  if (m_length == Capacity) return;
  m_text[m_length++] = unit;
  m_text[m_length] = 0;
}

void DateText::AppendDecimal(int value) {
  if (value < 0) Append(static_cast<WCHAR>('-'));
  // Negating in unsigned arithmetic keeps INT_MIN defined.
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  WCHAR digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<WCHAR>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  while (n) Append(digits[--n]);
}

bool DateText::operator==(const DateText& other) const {
  if (m_length != other.m_length) return false;
  for (int i = 0; i < m_length; ++i) {
    if (m_text[i] != other.m_text[i]) return false;
  }
  return true;
}

DateText ToPersianDigits(int value) {
  DateText text;
  if (value <= 0) return text;
  WCHAR digits[12];
  int n = 0;
  for (; value; value /= 10) digits[n++] = PersianDigits[value % 10][0];
  while (n) text.Append(digits[--n]);
  return text;
}

DateTexts ComposeDateTexts(const SolarHijriDate& date, bool arabicLocaleInstalled) {
  DateTexts texts;
  const int month = date.month - 1;

  if (arabicLocaleInstalled) {
    texts.persian.Append(ToPersianDigits(date.day).c_str());
    texts.persian.Append(ArabicMonthNames[month]);
    texts.persian.Append(ToPersianDigits(date.year).c_str());
  } else {
    texts.persian.Append(ToPersianDigits(date.year).c_str());
    texts.persian.Append(VisualMonthNames[month]);
    texts.persian.Append(ToPersianDigits(date.day).c_str());
  }

  texts.english.AppendDecimal(date.day);
  texts.english.Append(static_cast<WCHAR>(' '));
  texts.english.Append(LatinMonthNames[month]);
  texts.english.Append(static_cast<WCHAR>(' '));
  texts.english.AppendDecimal(date.year);

  texts.numeric.AppendDecimal(date.day);
  texts.numeric.Append(static_cast<WCHAR>('/'));
  texts.numeric.AppendDecimal(date.month);
  texts.numeric.Append(static_cast<WCHAR>('/'));
  texts.numeric.AppendDecimal(date.year);
  return texts;
}

}  // namespace daybander
