// The C++ runtime pieces the DLL needs, on the process heap, so that neither
// the exception machinery nor the rest of the standard library is linked in.
// Built into daybander.dll only; the native module uses the system's runtime.
#include <windows.h>

#include <new>

// The tag of `new (std::nothrow)`, defined here so that the standard library's
// file that defines it (with the new-handler machinery) stays out.
namespace std {
const nothrow_t nothrow{};
}

void* operator new(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void* operator new[](size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}
void operator delete(void* p) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete[](void* p) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete(void* p, size_t) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete[](void* p, size_t) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}

// A call through a pure virtual slot is a programming error: stop at once.
extern "C" void __cxa_pure_virtual() { ExitProcess(3); }

// Guards of function-local statics: the first byte of a guard says the object
// is constructed. One lock, owned by a thread (and re-entrant for statics that
// construct others), serialises construction.
namespace {
LONG volatile g_guardOwner = 0;
LONG g_guardDepth = 0;

void LockGuards() {
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  if (g_guardOwner == self) {
    ++g_guardDepth;
    return;
  }
  while (InterlockedCompareExchange(&g_guardOwner, self, 0) != 0) Sleep(0);
  g_guardDepth = 1;
}

void UnlockGuards() {
  if (--g_guardDepth == 0) InterlockedExchange(&g_guardOwner, 0);
}
}  // namespace

extern "C" int __cxa_guard_acquire(long long* guard) {
  if (*reinterpret_cast<volatile char*>(guard)) return 0;
  LockGuards();
  if (*reinterpret_cast<volatile char*>(guard)) {
    UnlockGuards();
    return 0;
  }
  return 1;
}

extern "C" void __cxa_guard_release(long long* guard) {
  *reinterpret_cast<volatile char*>(guard) = 1;
  UnlockGuards();
}

extern "C" void __cxa_guard_abort(long long*) { UnlockGuards(); }
