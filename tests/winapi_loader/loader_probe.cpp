// A module for the loader's tests. Its entry point writes every attach and
// detach to stderr with its reserved pointer; with LOADER_PROBE_CALLS set to
// "entry" or "destructor" in the environment, its entry point or a static
// destructor calls into User32, which the loader lock forbids.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

bool Asked(const char* where) {
  const char* calls = getenv("LOADER_PROBE_CALLS");
  return calls && strcmp(calls, where) == 0;
}

struct CallsOnDestruction {
  ~CallsOnDestruction() {
    if (Asked("destructor")) GetDesktopWindow();
  }
} g_callsOnDestruction;

}  // namespace

EXTERN_C BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason != DLL_PROCESS_ATTACH && reason != DLL_PROCESS_DETACH) return TRUE;
  fprintf(stderr, "probe: %s reserved=%s\n", reason == DLL_PROCESS_ATTACH ? "attach" : "detach",
          reserved ? "non-null" : "null");
  if (Asked("entry")) GetFocus();
  return TRUE;
}
