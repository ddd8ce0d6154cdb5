/* A small PE image for the loader's tests, built with MinGW's own C runtime
 * start-up code (as daybander.dll once was): that code reads the thread
 * environment block through %fs during attach, runs TLS callbacks of its
 * own, and imports the part of msvcrt.dll that winapi/ provides. The image
 * records each call of its own TLS callback and of DllMain ("t" or "m", the
 * reason, "!" for a non-null reserved pointer), and refuses to attach when
 * its file name holds "fail". */
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

/* Whether %fs addresses a thread environment block laid out as Windows lays
 * it out: its own address at 0x18, the running stack between the limit at 8
 * and the base at 4. */
__declspec(dllexport) int ProbeThreadBlockIsSane(void) {
  NT_TIB* block;
  char here;
  __asm__ volatile("movl %%fs:0x18, %0" : "=r"(block));
  return block && block->Self == block && (char*)block->StackLimit < &here && &here < (char*)block->StackBase;
}

/* The x87 control word the image's code runs with. */
__declspec(dllexport) unsigned ProbeControlWord(void) {
  unsigned short word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

static void NTAPI ProbeTlsCallback(PVOID module, DWORD reason, PVOID reserved) {
  (void)module;
  Record('t', reason, reserved);
}

/* After the runtime's own callbacks (.CRT$XLC and on). */
PIMAGE_TLS_CALLBACK g_probeTlsCallback __attribute__((section(".CRT$XLY"), used)) = ProbeTlsCallback;

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
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
