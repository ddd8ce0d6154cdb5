// Kernel calls a C runtime makes: ending the process, sleeping, thread-local
// storage values, and querying and changing the protection of memory.
#include <windows.h>

#include <sched.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr uintptr_t kPage = 4096;

struct Region {
  uintptr_t start = 0;
  uintptr_t end = 0;
  int protection = PROT_NONE;
  bool mapped = false;  // false: the free gap between mappings
};

// The mapping that holds `address`, from the kernel's list of this process's
// mappings, or the free gap around it.
Region RegionOf(uintptr_t address) {
  Region region;
  region.end = ~static_cast<uintptr_t>(0);
  FILE* maps = std::fopen("/proc/self/maps", "re");
  if (!maps) return region;
  char* line = nullptr;
  size_t capacity = 0;
  uintptr_t gapStart = 0;
  while (getline(&line, &capacity, maps) > 0) {
    unsigned long long start, end;
    char rights[5];
    if (std::sscanf(line, "%llx-%llx %4s", &start, &end, rights) != 3) continue;
    if (address < start) {
      region.start = gapStart;
      region.end = static_cast<uintptr_t>(start);
      break;
    }
    if (address < end) {
      region.start = static_cast<uintptr_t>(start);
      region.end = static_cast<uintptr_t>(end);
      region.mapped = true;
      region.protection = (rights[0] == 'r' ? PROT_READ : 0) | (rights[1] == 'w' ? PROT_WRITE : 0) |
                          (rights[2] == 'x' ? PROT_EXEC : 0);
      break;
    }
    gapStart = static_cast<uintptr_t>(end);
    region.start = gapStart;
  }
  std::free(line);
  std::fclose(maps);
  return region;
}

DWORD PageProtection(int protection) {
  const bool read = protection & PROT_READ, write = protection & PROT_WRITE, execute = protection & PROT_EXEC;
  if (execute) return write ? PAGE_EXECUTE_READWRITE : read ? PAGE_EXECUTE_READ : PAGE_EXECUTE;
  if (write) return PAGE_READWRITE;
  return read ? PAGE_READONLY : PAGE_NOACCESS;
}

// The mprotect rights of a PAGE_* value; -1 for anything else.
int Rights(DWORD protect) {
  switch (protect) {
    case PAGE_NOACCESS: return PROT_NONE;
    case PAGE_READONLY: return PROT_READ;
    case PAGE_READWRITE:
    case PAGE_WRITECOPY: return PROT_READ | PROT_WRITE;
    case PAGE_EXECUTE: return PROT_EXEC;
    case PAGE_EXECUTE_READ: return PROT_READ | PROT_EXEC;
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY: return PROT_READ | PROT_WRITE | PROT_EXEC;
    default: return -1;
  }
}

}  // namespace

// Images still loaded are told of the exit (a non-null reserved pointer) by
// the exit handlers exit() runs.
EXTERN_C void WINAPI ExitProcess(UINT code) { std::exit(static_cast<int>(code)); }

EXTERN_C void WINAPI Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  if (milliseconds == 0xFFFFFFFF) {  // INFINITE
    for (;;) pause();
  }
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

// This layer hands out no TLS indexes of its own, so every slot of every
// thread still holds its initial null.
EXTERN_C LPVOID WINAPI TlsGetValue(DWORD index) {
  SetLastError(index < TLS_MINIMUM_AVAILABLE ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
  return nullptr;
}

EXTERN_C SIZE_T WINAPI VirtualQuery(LPCVOID address, PMEMORY_BASIC_INFORMATION info, SIZE_T length) {
  if (!info || length < sizeof(*info)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const uintptr_t page = reinterpret_cast<uintptr_t>(address) & ~(kPage - 1);
  const Region region = RegionOf(page);
  *info = MEMORY_BASIC_INFORMATION{};
  info->BaseAddress = reinterpret_cast<PVOID>(page);
  info->RegionSize = region.end - page;
  if (!region.mapped) {
    info->State = MEM_FREE;
    info->Protect = PAGE_NOACCESS;
    return sizeof(*info);
  }
  info->AllocationBase = reinterpret_cast<PVOID>(region.start);
  info->Protect = info->AllocationProtect = PageProtection(region.protection);
  info->State = MEM_COMMIT;
  info->Type = MEM_PRIVATE;
  return sizeof(*info);
}

EXTERN_C BOOL WINAPI VirtualProtect(LPVOID address, SIZE_T size, DWORD protect, LPDWORD oldProtect) {
  const int rights = Rights(protect);
  if (!oldProtect || rights < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const uintptr_t first = reinterpret_cast<uintptr_t>(address) & ~(kPage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(address) + size + kPage - 1) & ~(kPage - 1);
  const Region region = RegionOf(first);
  if (!region.mapped || mprotect(reinterpret_cast<void*>(first), end - first, rights) != 0) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  *oldProtect = PageProtection(region.protection);
  return TRUE;
}
