// Solar Hijri (Persian) calendar: conversion from the local Gregorian date.
//
// Integer arithmetic over day numbers (1 January of year 1 of the proleptic
// Gregorian calendar is day 1) and an arithmetic Solar Hijri calendar whose
// leap years follow a fixed 33-year cycle. No tables of observed dates, no
// astronomy, no time zones: the date is the calendar date the clock reports.
#pragma once

namespace daybander {

struct SolarHijriDate {
  int year;
  int month;  // 1 = Farvardin .. 12 = Esfand
  int day;
};

// Day number of 1 Farvardin 1 minus one (21 March 622 is day 226895).
constexpr int HijriEpochDay = 226894;
// The double nearest to 12053 / 33: the mean year of the 33-year cycle.
constexpr double HijriMeanYear = 365.24242424242425;

// A valid proleptic Gregorian date (month 1..12), as the clock gives it.
int GregorianDayOfYear(int year, int month, int day);
int GregorianToFixed(int year, int month, int day);
// The number of leap years among Solar Hijri years 1..n (n >= 0).
int HijriLeapYearsThrough(int n);
bool IsHijriLeapYear(int year);
// Defined for the day numbers the clock can give (years 1601..30827).
SolarHijriDate FixedToSolarHijri(int dayNumber);

}  // namespace daybander
