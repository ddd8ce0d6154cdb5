// The DLL's entry point, in place of the C runtime's start-up code: the DLL
// needs nothing of that code but the running of static constructors before
// DllMain sees the process attach and of the destructors registered with
// atexit after it sees the detach. The rest (runtime pseudo-relocations,
// thread-local storage callbacks, frame registration, their unwind tables and
// imports) would be some 8 KB of the file that nothing uses. The link refuses
// data imports that would need pseudo-relocations (--disable-auto-import), so
// nothing goes missing silently. Built into daybander.dll only.
#include <windows.h>

EXTERN_C BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

// The linker frames the constructors (and destructors) of every object file
// as { -1, functions..., 0 }; constructors run from the last to the first, as
// the runtime's own start-up code runs them, destructors from the first on.
typedef void (*StaticFunction)();
EXTERN_C StaticFunction __CTOR_LIST__[];
EXTERN_C StaticFunction __DTOR_LIST__[];

namespace {

// Destructors of statics, most recently registered first. A function-local
// static registers its destructor when it is first constructed, at any time
// on any thread, so the list takes new entries without a lock.
struct ExitEntry {
  void (*function)();
  ExitEntry* next;
};
ExitEntry* volatile g_exitList = nullptr;

void RunConstructors() {
  int count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  for (int i = count; i > 0; --i) __CTOR_LIST__[i]();
}

void RunDestructors() {
  ExitEntry* entry =
      static_cast<ExitEntry*>(InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_exitList), nullptr));
  while (entry) {
    ExitEntry* next = entry->next;
    entry->function();
    HeapFree(GetProcessHeap(), 0, entry);
    entry = next;
  }
  for (int i = 1; __DTOR_LIST__[i]; ++i) __DTOR_LIST__[i]();
}

}  // namespace

// Static destructors of this DLL run when it is unloaded, not at process exit:
// the compiler registers them here.
extern "C" int atexit(void (*function)()) {
  ExitEntry* entry = static_cast<ExitEntry*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ExitEntry)));
  if (!entry) return -1;
  entry->function = function;
  ExitEntry* head;
  do {
    head = g_exitList;
    entry->next = head;
  } while (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_exitList), entry, head) != head);
  return 0;
}

EXTERN_C BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) RunConstructors();
  const BOOL result = DllMain(instance, reason, reserved);
  if (reason == DLL_PROCESS_DETACH) RunDestructors();
  return result;
}
