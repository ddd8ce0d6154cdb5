// Gregorian date -> day number -> Solar Hijri date.
#include <gtest/gtest.h>
#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <memory>
#include <ostream>

#include "solar_hijri.h"

namespace daybander {

std::ostream& operator<<(std::ostream& out, const SolarHijriDate& date) {
  return out << date.year << '-' << date.month << '-' << date.day;
}

bool operator==(const SolarHijriDate& a, const SolarHijriDate& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

namespace {

struct GregorianDate {
  int year, month, day;
};

std::ostream& operator<<(std::ostream& out, const GregorianDate& date) {
  return out << date.year << '-' << date.month << '-' << date.day;
}

// The first and the last day the Windows clock (SYSTEMTIME) can give.
constexpr GregorianDate kClockFirst = {1601, 1, 1};
constexpr GregorianDate kClockLast = {30827, 12, 31};
constexpr int kClockFirstDay = 584389;
constexpr int kClockLastDay = 11259330;

bool IsGregorianLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int GregorianMonthLength(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsGregorianLeap(year) ? 29 : kDays[month - 1];
}

GregorianDate NextGregorian(GregorianDate date) {
  if (date.day < GregorianMonthLength(date.year, date.month)) return {date.year, date.month, date.day + 1};
  if (date.month < 12) return {date.year, date.month + 1, 1};
  return {date.year + 1, 1, 1};
}

// The Solar Hijri date after `date`, by the calendar's own rules: six months
// of 31 days, five of 30, and Esfand of 30 days in a leap year, 29 otherwise.
SolarHijriDate NextSolarHijri(SolarHijriDate date) {
  const int length = date.month <= 6 ? 31 : date.month <= 11 ? 30 : IsHijriLeapYear(date.year) ? 30 : 29;
  if (date.day < length) return {date.year, date.month, date.day + 1};
  if (date.month < 12) return {date.year, date.month + 1, 1};
  return {date.year + 1, 1, 1};
}

struct DateCase {
  GregorianDate gregorian;
  int dayNumber;
  SolarHijriDate hijri;
  const char* what;
};

const DateCase kDateCases[] = {
    {{1601, 1, 1}, 584389, {979, 10, 12}, "earliest date of the clock"},
    {{1, 1, 1}, 1, {0, 0, 0}, "day one of the day numbers (no Solar Hijri check)"},
    {{622, 3, 21}, 226895, {1, 1, 1}, "1 Farvardin 1"},
    {{2000, 1, 1}, 730120, {1378, 10, 11}, "1 January 2000"},
    {{2008, 3, 19}, 733120, {1386, 12, 29}, "last day of common year 1386, through r = 0"},
    {{2008, 3, 20}, 733121, {1387, 1, 1}, "first day of a year"},
    {{2008, 4, 11}, 733143, {1387, 1, 23}, "worked example"},
    {{2009, 3, 18}, 733484, {1387, 12, 28}, "Esfand 28 of a leap year"},
    {{2009, 3, 19}, 733485, {1387, 12, 29}, "day 365 of leap year 1387, with r = 365"},
    {{2009, 3, 20}, 733486, {1387, 12, 30}, "day 366 of leap year 1387, through r = 0"},
    {{2009, 3, 21}, 733487, {1388, 1, 1}, "the year after a leap year"},
    {{2012, 3, 20}, 734582, {1391, 1, 1}, "first day of leap year 1391"},
    {{2012, 12, 31}, 734868, {1391, 10, 11}, "last day of a Gregorian leap year"},
    {{2013, 3, 20}, 734947, {1391, 12, 30}, "Esfand 30 of leap year 1391"},
    {{2013, 3, 21}, 734948, {1392, 1, 1}, "after Esfand 30"},
    {{2024, 2, 29}, 738945, {1402, 12, 10}, "Gregorian 29 February"},
    {{30827, 12, 31}, 11259330, {30206, 10, 12}, "latest date of the clock"},
};

TEST(GregorianToFixed, TableOfDates) {
  for (const DateCase& c : kDateCases) {
    const GregorianDate& g = c.gregorian;
    EXPECT_EQ(GregorianToFixed(g.year, g.month, g.day), c.dayNumber) << c.what << " (" << g << ")";
  }
}

TEST(GregorianDayOfYear, MonthBoundariesAndLeapYears) {
  struct Case {
    GregorianDate date;
    int dayOfYear;
  };
  const Case cases[] = {
      {{2008, 1, 1}, 1},    {{2008, 4, 11}, 102}, {{2008, 3, 1}, 61},     {{2007, 3, 1}, 60},
      {{2008, 12, 31}, 366}, {{2007, 12, 31}, 365}, {{1900, 3, 1}, 60},    {{2000, 3, 1}, 61},
      {{1700, 12, 31}, 365}, {{1600, 12, 31}, 366}, {{30827, 12, 31}, 365}, {{2009, 2, 28}, 59},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GregorianDayOfYear(c.date.year, c.date.month, c.date.day), c.dayOfYear) << c.date;
  }
}

TEST(FixedToSolarHijri, TableOfDates) {
  for (const DateCase& c : kDateCases) {
    if (c.hijri.year == 0) continue;
    EXPECT_EQ(FixedToSolarHijri(c.dayNumber), c.hijri) << c.what << " (day " << c.dayNumber << ")";
  }
}

TEST(HijriLeapYearsThrough, CountsLeapYearsFromOne) {
  struct Case {
    int n, count;
  };
  const Case cases[] = {{0, 0},     {1, 1},     {4, 1},     {5, 2},     {30, 8},      {32, 8},
                        {33, 8},    {34, 9},    {1386, 336}, {1387, 337}, {1391, 338}, {30206, 7323}};
  for (const Case& c : cases) EXPECT_EQ(HijriLeapYearsThrough(c.n), c.count) << "n = " << c.n;
}

// Where n / HijriMeanYear is a whole number the estimate of years is exact and
// the day is 29 Esfand of year 33 k, reached through r = 0.
TEST(FixedToSolarHijri, WholeCyclesEndOnEsfand29) {
  for (int k = 1; HijriEpochDay + 12053 * k <= kClockLastDay; ++k) {
    const SolarHijriDate expected = {33 * k, 12, 29};
    ASSERT_EQ(FixedToSolarHijri(HijriEpochDay + 12053 * k), expected) << "k = " << k;
  }
}

// Every day of the clock's range: consecutive Gregorian dates give consecutive
// day numbers, and consecutive day numbers give consecutive Solar Hijri dates.
TEST(CalendarSweep, EveryDayOfTheClockFollowsThePrevious) {
  GregorianDate g = kClockFirst;
  int dayNumber = GregorianToFixed(g.year, g.month, g.day);
  ASSERT_EQ(dayNumber, kClockFirstDay);
  SolarHijriDate h = FixedToSolarHijri(dayNumber);
  ASSERT_EQ(h, (SolarHijriDate{979, 10, 12}));
  long days = 1;
  while (g.year != kClockLast.year || g.month != kClockLast.month || g.day != kClockLast.day) {
    const GregorianDate nextG = NextGregorian(g);
    const int nextDay = GregorianToFixed(nextG.year, nextG.month, nextG.day);
    if (nextDay != dayNumber + 1) FAIL() << nextG << " is day " << nextDay << ", after " << g << " = " << dayNumber;
    const SolarHijriDate nextH = FixedToSolarHijri(nextDay);
    if (!(nextH == NextSolarHijri(h))) {
      FAIL() << "day " << nextDay << " (" << nextG << ") gives " << nextH << ", after " << h;
    }
    g = nextG;
    dayNumber = nextDay;
    h = nextH;
    ++days;
  }
  EXPECT_EQ(dayNumber, kClockLastDay);
  EXPECT_EQ(days, kClockLastDay - kClockFirstDay + 1);
  EXPECT_EQ(h, (SolarHijriDate{30206, 10, 12}));
}

// ICU's Persian calendar is an independent implementation of the same
// arithmetic calendar. Day numbers become ICU times at midnight UTC.
constexpr int kUnixEpochDay = 719163;  // 1 January 1970
constexpr double kMillisPerDay = 86400000.0;

class IcuPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    UErrorCode status = U_ZERO_ERROR;
    persian_.reset(icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(),
                                                 icu::Locale("en_US@calendar=persian"), status));
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    ASSERT_STREQ(persian_->getType(), "persian");
    gregorian_.reset(new icu::GregorianCalendar(icu::TimeZone::getGMT()->clone(), icu::Locale::getUS(), status));
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    // Proleptic Gregorian: no switch from the Julian calendar in 1582.
    gregorian_->setGregorianChange(-1.7976931348623157e308, status);
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }

  SolarHijriDate IcuPersianDate(int dayNumber) {
    UErrorCode status = U_ZERO_ERROR;
    persian_->setTime((dayNumber - kUnixEpochDay) * kMillisPerDay, status);
    SolarHijriDate date = {persian_->get(UCAL_EXTENDED_YEAR, status), persian_->get(UCAL_MONTH, status) + 1,
                           persian_->get(UCAL_DATE, status)};
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    return date;
  }

  int IcuDayNumber(const GregorianDate& date) {
    UErrorCode status = U_ZERO_ERROR;
    gregorian_->clear();
    gregorian_->set(date.year, date.month - 1, date.day);
    const UDate millis = gregorian_->getTime(status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    return static_cast<int>(millis / kMillisPerDay) + kUnixEpochDay;
  }

  std::unique_ptr<icu::Calendar> persian_;
  std::unique_ptr<icu::GregorianCalendar> gregorian_;
};

TEST_F(IcuPeer, AgreesOnTheTableOfDates) {
  for (const DateCase& c : kDateCases) {
    EXPECT_EQ(IcuDayNumber(c.gregorian), c.dayNumber) << c.what;
    if (c.hijri.year != 0) {
      EXPECT_EQ(IcuPersianDate(c.dayNumber), c.hijri) << c.what;
    }
  }
}

// ICU on every day of the clock's range.
TEST_F(IcuPeer, AgreesOnEveryDayOfTheClock) {
  for (int day = kClockFirstDay; day <= kClockLastDay; ++day) {
    const SolarHijriDate ours = FixedToSolarHijri(day);
    const SolarHijriDate icu = IcuPersianDate(day);
    if (!(ours == icu)) FAIL() << "day " << day << ": ours " << ours << ", ICU " << icu;
  }
}

// The Gregorian side against ICU's proleptic Gregorian calendar on the first
// and last day of every month; the sweep above fills in the days between.
TEST_F(IcuPeer, AgreesOnGregorianMonthEnds) {
  for (int year = kClockFirst.year; year <= kClockLast.year; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day : {1, GregorianMonthLength(year, month)}) {
        const GregorianDate date = {year, month, day};
        const int ours = GregorianToFixed(year, month, day);
        const int icu = IcuDayNumber(date);
        if (ours != icu) FAIL() << date << ": ours " << ours << ", ICU " << icu;
      }
    }
  }
}

}  // namespace
}  // namespace daybander
