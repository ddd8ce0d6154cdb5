#include "solar_hijri.h"

namespace daybander {
namespace {

// The conversion runs on random dates in tight loops as well as once per band,
// so the tables below replace loops whose trip counts a branch predictor
// cannot guess. Each is derived from the plain table above it.

// January .. December; February counts 29 in a leap year.
//   GregorianMonthDays: 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31
// Days of a common year before the first of each month.
const int GregorianDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Farvardin .. Esfand. Esfand stands with 30 days; that it has 29 in a common
// year follows from the length of the year, not from the table.
//   HijriMonthDays: 31, 31, 31, 31, 31, 31, 30, 30, 30, 30, 30, 30
// Months 1..6 fill days 1..186 of the year; months 7..12 start at day 187.
constexpr int HijriFirstHalfDays = 6 * 31;

// Leap positions of the 33-year cycle: 1, 5, 9, 13, 17, 22, 26, 30, as bits
// of a mask wide enough for every position 0..32.
constexpr unsigned long long HijriLeapMask = (1ull << 1) | (1ull << 5) | (1ull << 9) | (1ull << 13) |
                                             (1ull << 17) | (1ull << 22) | (1ull << 26) | (1ull << 30);
// The number of leap positions at or below k, for k = 0..32.
const unsigned char HijriLeapsUpTo[33] = {0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,
                                          5, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7, 8, 8, 8};

bool IsGregorianLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

int GregorianDayOfYear(int year, int month, int day) {
  return GregorianDaysBeforeMonth[month - 1] + day + (month > 2 && IsGregorianLeapYear(year) ? 1 : 0);
}

int GregorianToFixed(int year, int month, int day) {
  const int p = year - 1;
  return 365 * p + p / 4 - p / 100 + p / 400 + GregorianDayOfYear(year, month, day);
}

bool IsHijriLeapYear(int year) {
  const int position = year % 33;
  return position >= 0 && ((HijriLeapMask >> position) & 1ull) != 0;
}

int HijriLeapYearsThrough(int n) {
  // A negative n (before the epoch, outside the domain) must not index the table.
  const int rest = n % 33;
  return 8 * (n / 33) + (rest > 0 ? HijriLeapsUpTo[rest] : 0);
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
  // Both halves computed, one chosen: a branch here would be a coin toss.
  const int early = dayOfYear - 1;
  const int late = dayOfYear - 1 - HijriFirstHalfDays;
  const bool firstHalf = dayOfYear <= HijriFirstHalfDays;
  date.month = firstHalf ? 1 + early / 31 : 7 + late / 30;
  date.day = firstHalf ? 1 + early % 31 : 1 + late % 30;
  return date;
}

}  // namespace daybander
