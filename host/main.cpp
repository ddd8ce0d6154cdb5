// daybander: the browser's and the registration tool's part on Linux.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "date_text.h"
#include "winapi_control.h"

namespace {

const char kUsage[] =
    "Usage: daybander [--date YYYY-MM-DD] [--format persian|english|numeric]\n"
    "\n"
    "Prints the text the Daybander band shows: the date in the Solar Hijri\n"
    "calendar, then a newline.\n"
    "\n"
    "  --date YYYY-MM-DD   the local date to show (1601-01-01..30827-12-31);\n"
    "                      default: today, from the clock\n"
    "  --format NAME       persian (default), english or numeric\n"
    "  --help              this text\n";

enum class Format { Persian, English, Numeric };

bool ParseNumber(const std::string& text, int digitsMin, int digitsMax, int* value) {
  if (text.size() < static_cast<size_t>(digitsMin) || text.size() > static_cast<size_t>(digitsMax)) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// Accepts YYYY-MM-DD (the year may have up to five digits) in the range of the
// Windows clock.
bool ParseDate(const std::string& text, SYSTEMTIME* date) {
  const size_t first = text.find('-');
  const size_t second = first == std::string::npos ? first : text.find('-', first + 1);
  if (second == std::string::npos) return false;
  int year, month, day;
  if (!ParseNumber(text.substr(0, first), 4, 5, &year) ||
      !ParseNumber(text.substr(first + 1, second - first - 1), 2, 2, &month) ||
      !ParseNumber(text.substr(second + 1), 2, 2, &day)) {
    return false;
  }
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1601 || year > 30827 || month < 1 || month > 12) return false;
  if (day < 1 || day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
  *date = SYSTEMTIME{};
  date->wYear = static_cast<WORD>(year);
  date->wMonth = static_cast<WORD>(month);
  date->wDay = static_cast<WORD>(day);
  date->wHour = 12;
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "daybander: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Format format = Format::Persian;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--date" || arg == "--format") {
      if (i + 1 >= argc) return Fail(arg + " needs a value (see --help)");
      const std::string value = argv[++i];
      if (arg == "--date") {
        SYSTEMTIME date;
        if (!ParseDate(value, &date)) {
          return Fail("not a date in 1601-01-01..30827-12-31 (YYYY-MM-DD): " + value);
        }
        WinapiSetLocalTime(&date);
      } else if (value == "persian") {
        format = Format::Persian;
      } else if (value == "english") {
        format = Format::English;
      } else if (value == "numeric") {
        format = Format::Numeric;
      } else {
        return Fail("unknown format: " + value + " (persian, english or numeric)");
      }
      continue;
    }
    return Fail("unknown argument: " + arg + " (see --help)");
  }

  SYSTEMTIME now;
  GetLocalTime(&now);
  const daybander::SolarHijriDate date =
      daybander::FixedToSolarHijri(daybander::GregorianToFixed(now.wYear, now.wMonth, now.wDay));
  const daybander::DateTexts texts = daybander::ComposeDateTexts(date, IsValidLocale(0x0401, LCID_INSTALLED) != 0);
  const daybander::DateText& text =
      format == Format::English ? texts.english : format == Format::Numeric ? texts.numeric : texts.persian;
  char utf8[4 * daybander::DateText::Capacity + 1];
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof(utf8), nullptr, nullptr);
  std::printf("%s\n", utf8);
  return 0;
}
