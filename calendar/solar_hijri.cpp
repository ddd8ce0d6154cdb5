#include "solar_hijri.h"

namespace daybander {
namespace {

const int GregorianMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Esfand stands here with 30 days; that it has 29 in a common year follows
// from the length of the year, not from this table.
const int HijriMonthDays[12] = {31, 31, 31, 31, 31, 31, 30, 30, 30, 30, 30, 30};
const int HijriLeapPositions[8] = {1, 5, 9, 13, 17, 22, 26, 30};

bool IsGregorianLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

int GregorianDayOfYear(int year, int month, int day) {
  int dayOfYear = day;
  for (int m = 1; m < month; ++m) {
    dayOfYear += (m == 2 && IsGregorianLeapYear(year)) ? 29 : GregorianMonthDays[m - 1];
  }
  return dayOfYear;
}

int GregorianToFixed(int year, int month, int day) {
  const int p = year - 1;
  return 365 * p + p / 4 - p / 100 + p / 400 + GregorianDayOfYear(year, month, day);
}

bool IsHijriLeapYear(int year) {
  const int position = year % 33;
  for (int leap : HijriLeapPositions) {
    if (position == leap) return true;
  }
  return false;
}

int HijriLeapYearsThrough(int n) {
  int count = 8 * (n / 33);
  const int rest = n % 33;
  for (int leap : HijriLeapPositions) {
    if (leap <= rest) ++count;
  }
  return count;
}

SolarHijriDate FixedToSolarHijri(int dayNumber) {
  const int n = dayNumber - HijriEpochDay;
  // The estimate of whole years elapsed is never too small; it is one too large
  // only on the last day of a year, where r comes out as 0.
  const int q = static_cast<int>(static_cast<double>(n) / HijriMeanYear);
  const int r = n - 365 * q - HijriLeapYearsThrough(q);

  SolarHijriDate date;
  int dayOfYear;
  if (r == 0) {
    date.year = q;
    dayOfYear = IsHijriLeapYear(q) ? 366 : 365;
  } else {
    date.year = q + 1;
    dayOfYear = r;
  }
  int month = 1;
  while (dayOfYear > HijriMonthDays[month - 1]) {
    dayOfYear -= HijriMonthDays[month - 1];
    ++month;
  }
  date.month = month;
  date.day = dayOfYear;
  return date;
}

}  // namespace daybander
