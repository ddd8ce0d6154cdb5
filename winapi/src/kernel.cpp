// Kernel services: the clock, the last error, critical sections, interlocked
// counts, the process heap, strings and locales (code pages: codepage.cpp).
#include <windows.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "winapi_control.h"
#include "internal.h"

// ---------------------------------------------------------------------------
// Live-object counts
namespace {
std::atomic<LONG> g_liveCounts[WinapiObjectKindCount];
std::atomic<LONG> g_createdCounts[WinapiObjectKindCount];
}

EXTERN_C void WinapiCountObject(WinapiObjectKind kind, LONG delta) {
  if (kind < 0 || kind >= WinapiObjectKindCount) return;
  g_liveCounts[kind] += delta;
  if (delta > 0) g_createdCounts[kind] += delta;
}

EXTERN_C LONG WinapiCreatedCount(WinapiObjectKind kind) {
  return (kind >= 0 && kind < WinapiObjectKindCount) ? g_createdCounts[kind].load() : 0;
}

EXTERN_C LONG WinapiLiveCount(WinapiObjectKind kind) {
  return (kind >= 0 && kind < WinapiObjectKindCount) ? g_liveCounts[kind].load() : 0;
}

// ---------------------------------------------------------------------------
// Clock
//
// Times are kept as milliseconds since 1601-01-01 00:00, the epoch of the
// Windows clock; the proleptic Gregorian calendar covers the whole range.
namespace {

constexpr LONGLONG kMsPerDay = 86400000LL;

std::mutex g_clockLock;
bool g_clockFixed = false;
LONGLONG g_fixedMs = 0;
LONGLONG g_offsetMs = 0;

LONGLONG DaysBeforeYear(LONGLONG year) {
  const LONGLONG p = year - 1;
  return 365 * p + p / 4 - p / 100 + p / 400;
}

bool IsLeap(LONGLONG y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(LONGLONG y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Day number with 1601-01-01 as day 0.
LONGLONG DayFromDate(LONGLONG y, int m, int d) {
  LONGLONG days = DaysBeforeYear(y) - DaysBeforeYear(1601);
  for (int i = 1; i < m; ++i) days += DaysInMonth(y, i);
  return days + d - 1;
}

void DateFromDay(LONGLONG day, SYSTEMTIME* st) {
  LONGLONG y = 1601 + day / 366;
  while (DaysBeforeYear(y + 1) - DaysBeforeYear(1601) <= day) ++y;
  LONGLONG rest = day - (DaysBeforeYear(y) - DaysBeforeYear(1601));
  int m = 1;
  while (rest >= DaysInMonth(y, m)) rest -= DaysInMonth(y, m++);
  st->wYear = static_cast<WORD>(y);
  st->wMonth = static_cast<WORD>(m);
  st->wDay = static_cast<WORD>(rest + 1);
  st->wDayOfWeek = static_cast<WORD>((day + 1) % 7);  // 1601-01-01 was a Monday
}

LONGLONG MsFromSystemTime(const SYSTEMTIME* st) {
  return DayFromDate(st->wYear, st->wMonth, st->wDay) * kMsPerDay +
         ((st->wHour * 60LL + st->wMinute) * 60 + st->wSecond) * 1000 + st->wMilliseconds;
}

void SystemTimeFromMs(LONGLONG ms, SYSTEMTIME* st) {
  if (ms < 0) ms = 0;
  DateFromDay(ms / kMsPerDay, st);
  LONGLONG rest = ms % kMsPerDay;
  st->wMilliseconds = static_cast<WORD>(rest % 1000);
  rest /= 1000;
  st->wSecond = static_cast<WORD>(rest % 60);
  rest /= 60;
  st->wMinute = static_cast<WORD>(rest % 60);
  st->wHour = static_cast<WORD>(rest / 60);
}

LONGLONG RealMs(bool local) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const LONGLONG ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  if (local) {
    localtime_r(&secs, &tm);
  } else {
    gmtime_r(&secs, &tm);
  }
  return (DayFromDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) * 86400LL + tm.tm_hour * 3600LL +
          tm.tm_min * 60LL + tm.tm_sec) * 1000 + ms;
}

LONGLONG CurrentLocalMs() {
  std::lock_guard<std::mutex> hold(g_clockLock);
  return g_clockFixed ? g_fixedMs : RealMs(true) + g_offsetMs;
}

}  // namespace

EXTERN_C void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  if (lpSystemTime) SystemTimeFromMs(CurrentLocalMs(), lpSystemTime);
}

EXTERN_C void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
  if (!lpSystemTime) return;
  LONGLONG ms;
  {
    std::lock_guard<std::mutex> hold(g_clockLock);
    ms = g_clockFixed ? g_fixedMs : RealMs(false) + g_offsetMs;
  }
  SystemTimeFromMs(ms, lpSystemTime);
}

EXTERN_C DWORD WINAPI GetTickCount(void) {
  using namespace std::chrono;
  const LONGLONG real = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  std::lock_guard<std::mutex> hold(g_clockLock);
  return static_cast<DWORD>(real + g_offsetMs);
}

EXTERN_C void WinapiSetLocalTime(const SYSTEMTIME* time) {
  if (!time) return;
  std::lock_guard<std::mutex> hold(g_clockLock);
  g_clockFixed = true;
  g_fixedMs = MsFromSystemTime(time);
}

EXTERN_C void WinapiUseRealClock(void) {
  std::lock_guard<std::mutex> hold(g_clockLock);
  g_clockFixed = false;
}

EXTERN_C void WinapiAdvanceClock(LONGLONG milliseconds) {
  std::lock_guard<std::mutex> hold(g_clockLock);
  // The tick count follows the offset, so timers fall due as the date moves.
  g_offsetMs += milliseconds;
  if (g_clockFixed) g_fixedMs += milliseconds;
}

// ---------------------------------------------------------------------------
// Threads and the last error
namespace {
thread_local DWORD t_lastError = 0;
}

EXTERN_C DWORD WINAPI GetLastError(void) { return t_lastError; }
EXTERN_C void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }
EXTERN_C DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }
EXTERN_C DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

// ---------------------------------------------------------------------------
// Critical sections
namespace {
std::atomic<int> g_failCriticalSections{0};
}

EXTERN_C void WinapiFailNextCriticalSectionInits(int count) { g_failCriticalSections = count; }

EXTERN_C BOOL WINAPI InitializeCriticalSectionEx(LPCRITICAL_SECTION cs, DWORD, DWORD) {
  if (!cs) return FALSE;
  std::memset(cs, 0, sizeof(*cs));
  int pending = g_failCriticalSections.load();
  while (pending > 0 && !g_failCriticalSections.compare_exchange_weak(pending, pending - 1)) {
  }
  if (pending > 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  cs->LockImpl = new (std::nothrow) std::recursive_mutex;
  if (!cs->LockImpl) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  WinapiCountObject(WinapiCriticalSections, 1);
  return TRUE;
}

EXTERN_C BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spin) {
  return InitializeCriticalSectionEx(cs, spin, 0);
}

EXTERN_C void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) { InitializeCriticalSectionEx(cs, 0, 0); }

EXTERN_C void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) {
  static_cast<std::recursive_mutex*>(cs->LockImpl)->lock();
  cs->OwningThread = GetCurrentThreadId();
  ++cs->RecursionCount;
}

EXTERN_C void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) {
  if (--cs->RecursionCount == 0) cs->OwningThread = 0;
  static_cast<std::recursive_mutex*>(cs->LockImpl)->unlock();
}

EXTERN_C void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  if (!cs || !cs->LockImpl) return;
  WinapiCountObject(WinapiCriticalSections, -1);
  delete static_cast<std::recursive_mutex*>(cs->LockImpl);
  cs->LockImpl = nullptr;
}

// ---------------------------------------------------------------------------
// Interlocked operations
EXTERN_C LONG WINAPI InterlockedIncrement(LONG volatile* addend) { return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST); }
EXTERN_C LONG WINAPI InterlockedDecrement(LONG volatile* addend) { return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST); }
EXTERN_C LONG WINAPI InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
EXTERN_C LONG WINAPI InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comperand) {
  __atomic_compare_exchange_n(destination, &comperand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comperand;
}

// ---------------------------------------------------------------------------
// Process heap
EXTERN_C HANDLE WINAPI GetProcessHeap(void) {
  static int heap;
  return &heap;
}

EXTERN_C LPVOID WINAPI HeapAlloc(HANDLE, DWORD flags, SIZE_T bytes) {
  void* p = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}

EXTERN_C LPVOID WINAPI HeapReAlloc(HANDLE, DWORD, LPVOID mem, SIZE_T bytes) {
  void* p = std::realloc(mem, bytes ? bytes : 1);
  if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}

EXTERN_C BOOL WINAPI HeapFree(HANDLE, DWORD, LPVOID mem) {
  std::free(mem);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Strings (the case-insensitive comparisons follow the code page: codepage.cpp)
namespace {
int Sign(int v) { return (v > 0) - (v < 0); }
}  // namespace

EXTERN_C int WINAPI lstrlenA(LPCSTR s) { return s ? static_cast<int>(std::strlen(s)) : 0; }

EXTERN_C int WINAPI lstrlenW(LPCWSTR s) {
  if (!s) return 0;
  int n = 0;
  while (s[n]) ++n;
  return n;
}

EXTERN_C int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  for (;; ++a, ++b) {
    if (*a != *b || *a == 0) return Sign(static_cast<int>(*a) - static_cast<int>(*b));
  }
}

// ---------------------------------------------------------------------------
// Locales
namespace {
std::atomic<int> g_arabicInstalled{-1};

bool CLibraryHasArabicLocale() {
  static const char* const kNames[] = {"ar_SA.UTF-8", "ar_SA.utf8", "ar_SA", "ar_EG.UTF-8", "ar_AE.UTF-8",
                                       "ar_JO.UTF-8", "ar_LB.UTF-8", "ar_MA.UTF-8", "ar_IQ.UTF-8"};
  for (const char* name : kNames) {
    locale_t loc = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
    if (loc) {
      freelocale(loc);
      return true;
    }
  }
  return false;
}
}  // namespace

EXTERN_C void WinapiSetArabicLocaleInstalled(int installed) { g_arabicInstalled = installed; }

EXTERN_C BOOL WINAPI IsValidLocale(LCID locale, DWORD flags) {
  const WORD language = static_cast<WORD>(locale & 0x3FF);
  if (language == 0x01) {  // Arabic
    if (!(flags & LCID_INSTALLED)) return TRUE;
    const int forced = g_arabicInstalled.load();
    return forced >= 0 ? (forced != 0) : CLibraryHasArabicLocale();
  }
  return language == 0x09 || locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT;
}
