// Kernel services: clock, last error, critical sections, interlocked counts,
// modules and their resources.
#pragma once

#include <windef.h>
#include <winerror.h>

typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

// A critical section of this layer: a recursive lock owned by its thread, in
// as many bytes as Windows' own, which is what code built for Windows sets
// aside for one.
typedef struct _RTL_CRITICAL_SECTION {
  void* LockImpl;
  LONG RecursionCount;
  DWORD OwningThread;
  ULONG_PTR Reserved[3];
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#define LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE 0x00000040

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_VERSION MAKEINTRESOURCEA(16)
#define RT_HTML MAKEINTRESOURCEA(23)
#define RT_MANIFEST MAKEINTRESOURCEA(24)

EXTERN_C void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
EXTERN_C void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
EXTERN_C DWORD WINAPI GetTickCount(void);

EXTERN_C DWORD WINAPI GetLastError(void);
EXTERN_C void WINAPI SetLastError(DWORD dwErrCode);
EXTERN_C DWORD WINAPI GetCurrentThreadId(void);
EXTERN_C DWORD WINAPI GetCurrentProcessId(void);

EXTERN_C void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount);
EXTERN_C BOOL WINAPI InitializeCriticalSectionEx(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount, DWORD Flags);
EXTERN_C void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

EXTERN_C LONG WINAPI InterlockedIncrement(LONG volatile* Addend);
EXTERN_C LONG WINAPI InterlockedDecrement(LONG volatile* Addend);
EXTERN_C LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value);
EXTERN_C LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand);

EXTERN_C HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
EXTERN_C HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
EXTERN_C HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
EXTERN_C HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
EXTERN_C BOOL WINAPI FreeLibrary(HMODULE hLibModule);
EXTERN_C FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
EXTERN_C BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);
EXTERN_C DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
EXTERN_C DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
EXTERN_C HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
EXTERN_C BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);

EXTERN_C HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
EXTERN_C HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
EXTERN_C HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
EXTERN_C LPVOID WINAPI LockResource(HGLOBAL hResData);
EXTERN_C DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
EXTERN_C int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);

EXTERN_C int WINAPI lstrlenA(LPCSTR lpString);
EXTERN_C int WINAPI lstrlenW(LPCWSTR lpString);
EXTERN_C int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
EXTERN_C int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
EXTERN_C int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);

EXTERN_C HANDLE WINAPI GetProcessHeap(void);
EXTERN_C LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
EXTERN_C LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
EXTERN_C BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
#define HEAP_ZERO_MEMORY 0x00000008

// Process, thread-local storage and virtual memory: what a C runtime calls.
typedef struct _MEMORY_BASIC_INFORMATION {
  PVOID BaseAddress;
  PVOID AllocationBase;
  DWORD AllocationProtect;
  SIZE_T RegionSize;
  DWORD State;
  DWORD Protect;
  DWORD Type;
} MEMORY_BASIC_INFORMATION, *PMEMORY_BASIC_INFORMATION;

#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define PAGE_WRITECOPY 0x08
#define PAGE_EXECUTE 0x10
#define PAGE_EXECUTE_READ 0x20
#define PAGE_EXECUTE_READWRITE 0x40
#define PAGE_EXECUTE_WRITECOPY 0x80
#define MEM_COMMIT 0x00001000
#define MEM_FREE 0x00010000
#define MEM_PRIVATE 0x00020000
#define TLS_MINIMUM_AVAILABLE 64

EXTERN_C void WINAPI ExitProcess(UINT uExitCode);
EXTERN_C void WINAPI Sleep(DWORD dwMilliseconds);
EXTERN_C LPVOID WINAPI TlsGetValue(DWORD dwTlsIndex);
EXTERN_C BOOL WINAPI VirtualProtect(LPVOID lpAddress, SIZE_T dwSize, DWORD flNewProtect, LPDWORD lpflOldProtect);
EXTERN_C SIZE_T WINAPI VirtualQuery(LPCVOID lpAddress, PMEMORY_BASIC_INFORMATION lpBuffer, SIZE_T dwLength);
