// Threads that run PE code. On x86 Windows %fs addresses the running thread's
// environment block (TEB): an image's C runtime reads the block's own address
// at %fs:0x18 and the stack bounds at 4 and 8, and implicit TLS is reached
// through the array whose address is at 0x2C. Linux i386 leaves %fs free (the
// C library uses %gs), so each thread that runs PE code gets a TEB of its own,
// installed as a TLS descriptor of the GDT (set_thread_area) that %fs selects.
// Such a thread also gets the x87 control word of Windows threads.
#include "pe_loader.h"

#if defined(__i386__)

#include <asm/ldt.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace winapi {
namespace pe {
namespace {

constexpr int kTlsSlots = 64;
// 64-bit precision off (53-bit doubles), round to nearest, all exceptions
// masked: what Windows sets; Linux starts threads at 0x37F.
constexpr unsigned short kWindowsX87ControlWord = 0x27F;

// The part of the x86 TEB that images read, at Windows' offsets.
struct Teb {
  uint32_t exceptionList;  // 0x00: the end of the SEH chain (-1)
  uint32_t stackBase;      // 0x04: the top of the stack
  uint32_t stackLimit;     // 0x08: its lowest address
  uint32_t subSystemTib;
  uint32_t fiberData;
  uint32_t arbitraryUserPointer;
  uint32_t self;  // 0x18
  uint32_t environmentPointer;
  uint32_t processId;  // 0x20
  uint32_t threadId;   // 0x24
  uint32_t activeRpcHandle;
  uint32_t threadLocalStoragePointer;  // 0x2C
  uint32_t processEnvironmentBlock;    // 0x30
  uint32_t lastErrorValue;             // 0x34
  BYTE rest[0x1000 - 0x38];            // the x86 TEB fills a page; nothing else is read
};
static_assert(offsetof(Teb, stackBase) == 0x04 && offsetof(Teb, stackLimit) == 0x08, "TEB layout");
static_assert(offsetof(Teb, self) == 0x18 && offsetof(Teb, threadLocalStoragePointer) == 0x2C, "TEB layout");
static_assert(offsetof(Teb, processEnvironmentBlock) == 0x30, "TEB layout");

struct WindowsThread {
  Teb teb;
  void* tlsBlocks[kTlsSlots];  // what threadLocalStoragePointer points at
};

struct TlsTemplate {
  bool used = false;
  const BYTE* data = nullptr;
  DWORD size = 0;
  DWORD zeroFill = 0;
};

std::mutex g_lock;
TlsTemplate g_templates[kTlsSlots];
std::vector<WindowsThread*> g_threads;
int g_gdtEntry = -1;  // the TLS descriptor %fs selects, the same number in every thread
alignas(16) BYTE g_peb[0x1000];  // a process environment block nobody has filled in

thread_local WindowsThread* t_thread = nullptr;
pthread_key_t g_exitKey;
pthread_once_t g_exitKeyOnce = PTHREAD_ONCE_INIT;

void* NewTlsBlock(const TlsTemplate& t) {
  auto* block = static_cast<BYTE*>(std::calloc(1, static_cast<size_t>(t.size) + t.zeroFill + 1));
  if (block) std::memcpy(block, t.data, t.size);
  return block;
}

bool InstallDescriptor(WindowsThread* thread) {
  user_desc descriptor{};
  descriptor.entry_number = static_cast<unsigned>(g_gdtEntry);
  descriptor.base_addr = static_cast<unsigned>(reinterpret_cast<uintptr_t>(&thread->teb));
  descriptor.limit = sizeof(Teb) - 1;
  descriptor.seg_32bit = 1;
  descriptor.useable = 1;
  if (syscall(SYS_set_thread_area, &descriptor) != 0) return false;
  g_gdtEntry = static_cast<int>(descriptor.entry_number);
  const unsigned short selector = static_cast<unsigned short>((descriptor.entry_number << 3) | 3);
  asm volatile("movw %w0, %%fs" : : "r"(selector));
  return true;
}

// At the exit of a thread that ran PE code (the main thread's block lasts
// until the process ends).
void LeaveWindowsThread(void* data) {
  auto* thread = static_cast<WindowsThread*>(data);
  asm volatile("movw %w0, %%fs" : : "r"(static_cast<unsigned short>(0)));
  {
    std::lock_guard<std::mutex> hold(g_lock);
    for (size_t i = 0; i < g_threads.size(); ++i) {
      if (g_threads[i] == thread) g_threads.erase(g_threads.begin() + static_cast<long>(i));
    }
    for (void* block : thread->tlsBlocks) std::free(block);
  }
  t_thread = nullptr;
  std::free(thread);
}

}  // namespace

void EnterWindowsThread() {
  if (t_thread) return;
  auto* thread = static_cast<WindowsThread*>(std::calloc(1, sizeof(WindowsThread)));
  if (!thread) std::abort();  // PE code cannot run on this thread at all
  Teb& teb = thread->teb;
  teb.exceptionList = 0xFFFFFFFFu;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    void* stack = nullptr;
    size_t size = 0;
    pthread_attr_getstack(&attributes, &stack, &size);
    teb.stackLimit = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stack));
    teb.stackBase = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stack) + size);
    pthread_attr_destroy(&attributes);
  }
  teb.self = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&teb));
  teb.processId = static_cast<uint32_t>(getpid());
  teb.threadId = static_cast<uint32_t>(syscall(SYS_gettid));
  teb.threadLocalStoragePointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(thread->tlsBlocks));
  teb.processEnvironmentBlock = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(g_peb));

  std::lock_guard<std::mutex> hold(g_lock);
  for (int i = 0; i < kTlsSlots; ++i) {
    if (g_templates[i].used) thread->tlsBlocks[i] = NewTlsBlock(g_templates[i]);
  }
  if (!InstallDescriptor(thread)) std::abort();
  g_threads.push_back(thread);
  pthread_once(&g_exitKeyOnce, [] { pthread_key_create(&g_exitKey, LeaveWindowsThread); });
  pthread_setspecific(g_exitKey, thread);
  asm volatile("fldcw %0" : : "m"(kWindowsX87ControlWord));
  t_thread = thread;
}

int AddTlsTemplate(const BYTE* data, DWORD size, DWORD zeroFill) {
  std::lock_guard<std::mutex> hold(g_lock);
  for (int i = 0; i < kTlsSlots; ++i) {
    if (g_templates[i].used) continue;
    g_templates[i] = TlsTemplate{true, data, size, zeroFill};
    for (WindowsThread* thread : g_threads) thread->tlsBlocks[i] = NewTlsBlock(g_templates[i]);
    return i;
  }
  return -1;
}

void RemoveTlsTemplate(int index) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_templates[index] = TlsTemplate();
  for (WindowsThread* thread : g_threads) {
    std::free(thread->tlsBlocks[index]);
    thread->tlsBlocks[index] = nullptr;
  }
}

}  // namespace pe
}  // namespace winapi

#else

namespace winapi {
namespace pe {

// No PE code runs in a 64-bit process.
void EnterWindowsThread() {}
int AddTlsTemplate(const BYTE*, DWORD, DWORD) { return -1; }
void RemoveTlsTemplate(int) {}

}  // namespace pe
}  // namespace winapi

#endif
