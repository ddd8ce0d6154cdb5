// daybander: the web browser's and the registration tool's part on Linux.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "options.h"
#include "registry_store.h"
#include "toolbar_png.h"
#include "winapi_control.h"

namespace {

bool ParseNumber(const std::string& text, size_t digitsMin, size_t digitsMax, int* value) {
  if (text.size() < digitsMin || text.size() > digitsMax) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// YYYY-MM-DD (the year may have five digits) within the range of the Windows
// clock, 1601-01-01..30827-12-31.
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

int Run(const host::Options& options) {
  const std::string& command = options.command;
  if (command == "show") return host::RunShow(options);
  if (command == "register") return host::RunRegister(options, true);
  if (command == "unregister") return host::RunRegister(options, false);
  if (command == "menu") return host::RunMenu(options);
  if (command == "choose") return host::RunChoose(options);
  if (command == "click") return host::RunClick(options);
  if (command == "script") return host::RunScript(options);
  return host::RunRegistry(options);
}

}  // namespace

int main(int argc, char** argv) {
  // The host is a program of this system, whose command line, file names and
  // terminal are UTF-8: it runs as a Windows program does whose manifest asks
  // for UTF-8 as its ANSI code page, and the library it loads meets that code
  // page, as a library may.
  WinapiSetAnsiCodePage(CP_UTF8);
  host::Options options;
  std::string error;
  if (!host::ParseOptions(argc, argv, &options, &error)) return host::Fail(error, 2);
  if (options.help) {
    std::fputs(host::Usage(options.commandGiven ? options.command : ""), stdout);
    return 0;
  }
  if (!options.png.empty() && !host::CanWriteToolbarPng()) {
    return host::Fail("--png is not available in this build: it has no cairo and pango to draw with", 2);
  }
  std::vector<SYSTEMTIME> dates(options.dates.size());
  for (size_t i = 0; i < dates.size(); ++i) {
    if (!ParseDate(options.dates[i], &dates[i])) {
      return host::Fail("not a date in 1601-01-01..30827-12-31 (YYYY-MM-DD): " + options.dates[i], 2);
    }
  }
  if (!options.arabicLocale.empty()) WinapiSetArabicLocaleInstalled(options.arabicLocale == "yes" ? 1 : 0);

  // wix registers into an empty registry of its own: the file is left alone.
  if (options.command == "wix") {
    CoInitialize(nullptr);
    const int status = host::RunWix(options);
    CoUninitialize();
    return status;
  }

  host::RegistryStore& store = host::RegistryStore::Current();
  if (!store.Open(options.registry, &error)) return host::Fail(error);

  CoInitialize(nullptr);
  int status = 0;
  if (dates.empty()) {
    status = Run(options);
  } else {
    // One registry lock for all of them: each date is a browser session of
    // its own, run in turn, and the first failure ends the command.
    for (size_t i = 0; i < dates.size() && status == 0; ++i) {
      WinapiSetLocalTime(&dates[i]);
      status = Run(options);
    }
  }
  CoUninitialize();

  if (!store.Close(&error)) return host::Fail(error);
  return status;
}
