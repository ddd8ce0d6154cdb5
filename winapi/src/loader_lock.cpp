// The loader lock and the count of calls made under it that Microsoft's rules
// for DllMain forbid (User32, Gdi32, the registry, loading and freeing
// libraries).
#include <windows.h>

#include <atomic>
#include <mutex>

#include "loader_lock.h"
#include "winapi_control.h"

namespace {

std::recursive_mutex g_loaderLock;
thread_local int t_depth = 0;  // how deep this thread is in the lock

std::atomic<LONG> g_violations{0};
std::atomic<const char*> g_lastArea{nullptr};

}  // namespace

namespace winapi {

LoaderLock::LoaderLock() {
  g_loaderLock.lock();
  ++t_depth;
}

LoaderLock::~LoaderLock() {
  --t_depth;
  g_loaderLock.unlock();
}

void CheckNotUnderLoaderLock(const char* area) {
  if (t_depth == 0) return;
  g_lastArea = area;
  ++g_violations;
}

}  // namespace winapi

EXTERN_C LONG WinapiLoaderLockViolations(LPCSTR* lastArea) {
  if (lastArea) *lastArea = g_lastArea.load();
  return g_violations.load();
}
