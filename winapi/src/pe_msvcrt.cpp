// The part of msvcrt.dll that the C runtime of a MinGW-built image imports:
// start-up tables, runtime locks, memory, a few string functions and error
// output. All cdecl. Each is a function of this layer (rather than the C
// library's own) so that it realigns the stack that PE code leaves 4-byte
// aligned, and stdio calls get the msvcrt FILE objects translated.
#include <stdarg.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "pe_loader.h"

namespace winapi {
namespace pe {
namespace {

// msvcrt's FILE, as code compiled against its headers sees it: `_iob` is an
// array of these, and stdin, stdout and stderr are its first three entries.
struct MsvcrtFile {
  char* ptr;
  int cnt;
  char* base;
  int flag;
  int file;
  int charbuf;
  int bufsiz;
  char* tmpfname;
};
constexpr int kIoRead = 0x0001, kIoWrite = 0x0002;
MsvcrtFile g_iob[20] = {{nullptr, 0, nullptr, kIoRead, 0, 0, 0, nullptr},
                        {nullptr, 0, nullptr, kIoWrite, 1, 0, 0, nullptr},
                        {nullptr, 0, nullptr, kIoWrite, 2, 0, 0, nullptr}};

FILE* HostStream(MsvcrtFile* file) {
  if (file == &g_iob[0]) return stdin;
  if (file == &g_iob[1]) return stdout;
  if (file == &g_iob[2]) return stderr;
  return nullptr;
}

// The runtime's numbered locks (_lock(n)); msvcrt has fewer than this.
constexpr int kRuntimeLocks = 64;
std::recursive_mutex g_runtimeLocks[kRuntimeLocks];

typedef void (*Initializer)();

void MsvcrtInitterm(Initializer* begin, Initializer* end) {
  for (; begin < end; ++begin) {
    if (*begin) (*begin)();
  }
}

void MsvcrtAmsgExit(int code) {
  std::fprintf(stderr, "runtime error R60%02d\n", code);
  _exit(255);
}

void MsvcrtLock(int n) {
  if (n < 0 || n >= kRuntimeLocks) std::abort();
  g_runtimeLocks[n].lock();
}

void MsvcrtUnlock(int n) {
  if (n < 0 || n >= kRuntimeLocks) std::abort();
  g_runtimeLocks[n].unlock();
}

void MsvcrtAbort() { std::abort(); }
void* MsvcrtCalloc(size_t count, size_t size) { return std::calloc(count, size); }
void MsvcrtFree(void* p) { std::free(p); }
void* MsvcrtRealloc(void* p, size_t size) { return std::realloc(p, size); }
int MsvcrtMemcmp(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n); }
size_t MsvcrtStrlen(const char* s) { return std::strlen(s); }
int MsvcrtStrncmp(const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); }

size_t MsvcrtFwrite(const void* data, size_t size, size_t count, MsvcrtFile* file) {
  FILE* stream = HostStream(file);
  return stream ? std::fwrite(data, size, count, stream) : 0;
}

int MsvcrtVfprintf(MsvcrtFile* file, const char* format, va_list arguments) {
  FILE* stream = HostStream(file);
  return stream ? std::vfprintf(stream, format, arguments) : -1;
}

struct Entry {
  const char* name;
  void* address;
};

template <typename Function>
void* Address(Function* function) {
  return reinterpret_cast<void*>(function);
}

const Entry kExports[] = {
    {"_amsg_exit", Address(MsvcrtAmsgExit)},
    {"_initterm", Address(MsvcrtInitterm)},
    {"_iob", g_iob},
    {"_lock", Address(MsvcrtLock)},
    {"_unlock", Address(MsvcrtUnlock)},
    {"abort", Address(MsvcrtAbort)},
    {"calloc", Address(MsvcrtCalloc)},
    {"free", Address(MsvcrtFree)},
    {"fwrite", Address(MsvcrtFwrite)},
    {"memcmp", Address(MsvcrtMemcmp)},
    {"realloc", Address(MsvcrtRealloc)},
    {"strlen", Address(MsvcrtStrlen)},
    {"strncmp", Address(MsvcrtStrncmp)},
    {"vfprintf", Address(MsvcrtVfprintf)},
};

}  // namespace

void* MsvcrtExport(const std::string& name) {
  for (const Entry& entry : kExports) {
    if (name == entry.name) return entry.address;
  }
  return nullptr;
}

}  // namespace pe
}  // namespace winapi
