// The band's three date texts: Persian (Arabic-script month name, Persian
// digits), English (Latin-letter month name) and Numeric (day/month/year).
#pragma once

#include <windows.h>

#include "solar_hijri.h"

namespace daybander {

// A short UTF-16 text of fixed capacity, always NUL-terminated. The longest
// date text, "30 Ordibehesht 30206", has 20 code units.
class DateText {
 public:
  static constexpr int Capacity = 31;

  DateText() { m_text[0] = 0; }

  const WCHAR* c_str() const { return m_text; }
  int length() const { return m_length; }
  bool empty() const { return m_length == 0; }

  // Appending beyond the capacity keeps what fits.
  void Append(const WCHAR* text);
  void Append(WCHAR unit);
  // The value in ASCII decimal digits, as a classic-locale stream writes it.
  void AppendDecimal(int value);

  bool operator==(const DateText& other) const;
  bool operator!=(const DateText& other) const { return !(*this == other); }

 private:
  WCHAR m_text[Capacity + 1];
  int m_length = 0;
};

// The decimal digits of value in U+06F0..U+06F9, most significant first, no
// sign and no padding; 0 gives the empty text.
DateText ToPersianDigits(int value);

struct DateTexts {
  DateText persian;
  DateText english;
  DateText numeric;
};

// Composes the three texts of a Solar Hijri date. With the Arabic locale
// installed the Persian text is day, month name, year in logical order;
// without it the month name comes in presentation forms stored in visual
// order, and the year and the day swap places.
DateTexts ComposeDateTexts(const SolarHijriDate& date, bool arabicLocaleInstalled);

}  // namespace daybander
