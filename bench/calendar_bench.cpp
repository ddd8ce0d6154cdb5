// Converting a Gregorian year-month-day to the Solar Hijri calendar, over
// random dates of the Windows clock's whole range (1601..30827): the band's
// conversion against ICU's Persian calendar, in one run, with their ratio.
#include <benchmark/benchmark.h>
#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "solar_hijri.h"

namespace {

struct Ymd {
  int year, month, day;
};

// A power of two, so the index wraps with a mask; small enough for the cache.
constexpr size_t kDates = 1 << 12;

const std::vector<Ymd>& RandomDates() {
  static const std::vector<Ymd> dates = [] {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::mt19937 random(20080411);
    std::uniform_int_distribution<int> year(1601, 30827), month(1, 12);
    std::vector<Ymd> out;
    for (size_t i = 0; i < kDates; ++i) {
      const int y = year(random), m = month(random);
      const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
      const int length = kDays[m - 1] + (m == 2 && leap ? 1 : 0);
      out.push_back({y, m, std::uniform_int_distribution<int>(1, length)(random)});
    }
    return out;
  }();
  return dates;
}

void BM_Daybander(benchmark::State& state) {
  const std::vector<Ymd>& dates = RandomDates();
  size_t i = 0;
  for (auto _ : state) {
    const Ymd& d = dates[i++ & (kDates - 1)];
    daybander::SolarHijriDate h = daybander::FixedToSolarHijri(daybander::GregorianToFixed(d.year, d.month, d.day));
    benchmark::DoNotOptimize(h);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Daybander);

// ICU's way: a proleptic Gregorian calendar gives the instant, a Persian
// calendar in the same zone gives its fields.
void BM_Icu(benchmark::State& state) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::GregorianCalendar> gregorian(
      new icu::GregorianCalendar(icu::TimeZone::getGMT()->clone(), icu::Locale::getUS(), status));
  gregorian->setGregorianChange(-1.7976931348623157e308, status);
  std::unique_ptr<icu::Calendar> persian(icu::Calendar::createInstance(
      icu::TimeZone::getGMT()->clone(), icu::Locale("en_US@calendar=persian"), status));
  if (U_FAILURE(status)) {
    state.SkipWithError(u_errorName(status));
    return;
  }
  const std::vector<Ymd>& dates = RandomDates();
  size_t i = 0;
  for (auto _ : state) {
    const Ymd& d = dates[i++ & (kDates - 1)];
    gregorian->clear();
    gregorian->set(d.year, d.month - 1, d.day);
    persian->setTime(gregorian->getTime(status), status);
    daybander::SolarHijriDate h = {persian->get(UCAL_EXTENDED_YEAR, status), persian->get(UCAL_MONTH, status) + 1,
                                   persian->get(UCAL_DATE, status)};
    benchmark::DoNotOptimize(h);
  }
  if (U_FAILURE(status)) state.SkipWithError(u_errorName(status));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Icu);

// The console report, plus the two figures per conversion and their ratio.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      // CPU time: on a machine shared with other work the wall clock also
      // counts the time spent waiting for a core (the table above has both).
      // With --benchmark_repetitions the fastest repetition counts.
      const double ns = run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations);
      if (run.run_name.function_name == "BM_Daybander") ours_ = ours_ > 0 && ours_ < ns ? ours_ : ns;
      if (run.run_name.function_name == "BM_Icu") icu_ = icu_ > 0 && icu_ < ns ? icu_ : ns;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (ours_ <= 0 || icu_ <= 0) return;
    std::printf("\nGregorian y-m-d -> Solar Hijri, random dates 1601..30827 (CPU time):\n");
    std::printf("  daybander  %8.2f ns per conversion (target: at most 12)\n", ours_);
    std::printf("  ICU        %8.2f ns per conversion\n", icu_);
    std::printf("  ratio      %8.1f times faster than ICU (target: at least 40)\n", icu_ / ours_);
  }

 private:
  double ours_ = 0, icu_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
