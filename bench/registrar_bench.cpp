// A large generated script registered and unregistered: bytes of script per
// second, and heap allocations per pass (the interpreter's own, from the task
// allocator, and all of the process's, the in-memory registry included).
#include <benchmark/benchmark.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "reg_object.h"
#include "winapi_control.h"

#if defined(__SANITIZE_ADDRESS__)
#define REGISTRAR_BENCH_COUNTS_MALLOC 0
#else
#define REGISTRAR_BENCH_COUNTS_MALLOC 1
// Every malloc of the process, counted on its way to the C library's own.
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);
static std::atomic<long> g_mallocs{0};
extern "C" void* malloc(size_t size) {
  g_mallocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
  g_mallocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, size_t size) {
  g_mallocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(block, size);
}
extern "C" void free(void* block) { __libc_free(block); }
#endif

namespace {

// keys classes, each with a default value, a nested key with three typed
// values, and a NoRemove parent holding them all.
std::string GenerateScript(int keys) {
  std::string script = "HKCR\r\n{\r\n\tNoRemove CLSID\r\n\t{\r\n";
  for (int i = 0; i < keys; ++i) {
    const std::string id = std::to_string(100000 + i);
    script += "\t\tForceRemove {8DCA1F48-0961-4FE8-B70F-45E1C4" + id + "} = s 'Generated class " + id + "'\r\n";
    script += "\t\t{\r\n\t\t\tInprocServer32 = s '%MODULE%'\r\n\t\t\t{\r\n";
    script += "\t\t\t\tval ThreadingModel = s 'Apartment'\r\n";
    script += "\t\t\t\tval Flags = d '" + id + "'\r\n";
    script += "\t\t\t\tval Data = b 0A1B2C3D4E5F\r\n\t\t\t}\r\n";
    script += "\t\t\tval Names = m 'one\\0two\\0'\r\n\t\t}\r\n";
  }
  return script + "\t}\r\n}\r\n";
}

void RegisterAndUnregister(benchmark::State& state) {
  const std::string script = GenerateScript(static_cast<int>(state.range(0)));
  WinapiResetRegistry();
  long passes = 0;
  const LONG taskBefore = WinapiCreatedCount(WinapiTaskMemory);
#if REGISTRAR_BENCH_COUNTS_MALLOC
  const long mallocBefore = g_mallocs.load();
#endif
  for (auto _ : state) {
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\Program Files\\Daybander\\daybander.dll"));
    if (registrar.ScriptRegister(script.c_str()) != S_OK || registrar.ScriptUnregister(script.c_str()) != S_OK) {
      state.SkipWithError("the script failed");
      break;
    }
    ++passes;
  }
  // One pass is a register and an unregister, each over the whole script.
  state.SetBytesProcessed(static_cast<int64_t>(passes) * 2 * static_cast<int64_t>(script.size()));
  if (passes) {
    state.counters["script_bytes"] = static_cast<double>(script.size());
    state.counters["task_allocs_per_pass"] =
        static_cast<double>(WinapiCreatedCount(WinapiTaskMemory) - taskBefore) / static_cast<double>(passes);
#if REGISTRAR_BENCH_COUNTS_MALLOC
    state.counters["heap_allocs_per_pass"] =
        static_cast<double>(g_mallocs.load() - mallocBefore) / static_cast<double>(passes);
#endif
  }
}
BENCHMARK(RegisterAndUnregister)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

// Registering over a registration already in place: every value is replaced
// and every class's tree force-removed, so the journal saves all of them.
void RegisterOverItself(benchmark::State& state) {
  const std::string script = GenerateScript(static_cast<int>(state.range(0)));
  WinapiResetRegistry();
  {
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\Program Files\\Daybander\\daybander.dll"));
    if (registrar.ScriptRegister(script.c_str()) != S_OK) state.SkipWithError("the script failed");
  }
  long passes = 0;
  const LONG taskBefore = WinapiCreatedCount(WinapiTaskMemory);
  for (auto _ : state) {
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\Program Files\\Daybander\\daybander.dll"));
    if (registrar.ScriptRegister(script.c_str()) != S_OK) {
      state.SkipWithError("the script failed");
      break;
    }
    ++passes;
  }
  state.SetBytesProcessed(static_cast<int64_t>(passes) * static_cast<int64_t>(script.size()));
  if (passes) {
    state.counters["task_allocs_per_pass"] =
        static_cast<double>(WinapiCreatedCount(WinapiTaskMemory) - taskBefore) / static_cast<double>(passes);
  }
}
BENCHMARK(RegisterOverItself)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
