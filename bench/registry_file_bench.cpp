// The registry file with 100,000 keys, all under one parent or spread over
// 300, each key with one small value: one load and one save per iteration
// (Time: both, by the clock), the processor time of each apart (a busy
// machine stretches the clock, not these), the file's size and the peak
// memory of the case.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "winapi_control.h"

namespace {

void Fill(int keys, int parents) {
  WinapiResetRegistry();
  for (int i = 0; i < keys; ++i) {
    const std::string path = "Software\\Bench\\Parent" + std::to_string(i % parents) + "\\Key" + std::to_string(i);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof i);
      RegCloseKey(key);
    }
  }
}

// Linux keeps the process's peak resident size (VmHWM); writing 5 to
// clear_refs starts it over, so each case reports its own.
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

double PeakMemoryMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "VmHWM:") {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes / 1024.0;
    }
  }
  return 0;
}

double ProcessorMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void LoadAndSave(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const int parents = static_cast<int>(state.range(1));
  char folder[] = "/tmp/registry_file_bench.XXXXXX";
  if (!mkdtemp(folder)) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string path = std::string(folder) + "/registry.reg";
  ResetPeakMemory();
  Fill(keys, parents);
  if (WinapiSaveRegistry(path.c_str()) != ERROR_SUCCESS) {
    state.SkipWithError("the first save failed");
    return;
  }
  double loading = 0, saving = 0;
  for (auto _ : state) {
    const double start = ProcessorMilliseconds();
    if (WinapiLoadRegistry(path.c_str(), nullptr) != ERROR_SUCCESS) {
      state.SkipWithError("the load failed");
      break;
    }
    const double loaded = ProcessorMilliseconds();
    if (WinapiSaveRegistry(path.c_str()) != ERROR_SUCCESS) {
      state.SkipWithError("the save failed");
      break;
    }
    loading += loaded - start;
    saving += ProcessorMilliseconds() - loaded;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["load_cpu_ms"] = runs ? loading / runs : 0;
  state.counters["save_cpu_ms"] = runs ? saving / runs : 0;
  DWORD size = 0;
  WinapiExportRegistry(nullptr, nullptr, &size);
  state.counters["file_MB"] = size / 1e6;
  state.counters["peak_rss_MB"] = PeakMemoryMegabytes();
  WinapiResetRegistry();
  std::remove(path.c_str());
  rmdir(folder);
}
// Keys, parents they are spread over.
BENCHMARK(LoadAndSave)->Args({100000, 1})->Args({100000, 300})->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
