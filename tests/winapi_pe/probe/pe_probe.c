/* A small PE image for the loader's tests: it records each call of its TLS
 * callback and its entry point ("t" or "m", the reason, "!" for a non-null
 * reserved pointer), and refuses to attach when its file name holds "fail".
 * Built without a C runtime, so that it imports only the two functions it
 * calls. */
#include <windows.h>

typedef void (*ProbeReporter)(char who, DWORD reason, LPVOID reserved);

static ProbeReporter g_reporter;
static char g_events[64];
static int g_length;

static void Record(char who, DWORD reason, LPVOID reserved) {
  if (g_reporter) {
    g_reporter(who, reason, reserved);
    return;
  }
  if (g_length + 3 >= (int)sizeof(g_events)) return;
  g_events[g_length++] = who;
  g_events[g_length++] = (char)('0' + reason);
  g_events[g_length++] = reserved ? '!' : ' ';
}

/* What was recorded before a reporter was set. */
__declspec(dllexport) const char* ProbeEvents(void) { return g_events; }

/* From now on each call goes to `reporter` instead (it outlives the image). */
__declspec(dllexport) void ProbeSetReporter(ProbeReporter reporter) { g_reporter = reporter; }

static void NTAPI ProbeTlsCallback(PVOID module, DWORD reason, PVOID reserved) {
  (void)module;
  Record('t', reason, reserved);
}

/* The TLS directory the linker points the image at: one byte of template,
 * one callback. */
ULONG _tls_index;
char _tls_start __attribute__((section(".tls"))) = 0;
char _tls_end __attribute__((section(".tls$ZZZ"))) = 0;
PIMAGE_TLS_CALLBACK g_tlsCallbacks[] = {ProbeTlsCallback, 0};
const IMAGE_TLS_DIRECTORY _tls_used = {(DWORD)&_tls_start, (DWORD)&_tls_end, (DWORD)&_tls_index,
                                       (DWORD)g_tlsCallbacks, 0, 0};

BOOL WINAPI ProbeMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  char path[MAX_PATH];
  const char* p;
  Record('m', reason, reserved);
  if (reason != DLL_PROCESS_ATTACH || !GetModuleFileNameA(module, path, MAX_PATH)) return TRUE;
  for (p = path + lstrlenA(path); p > path && p[-1] != '\\' && p[-1] != '/'; --p) {
  }
  for (; *p; ++p) {
    if (p[0] == 'f' && p[1] == 'a' && p[2] == 'i' && p[3] == 'l') return FALSE;
  }
  return TRUE;
}
