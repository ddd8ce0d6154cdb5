// Control of the native Windows layer, for tests and the host only: the library
// never includes this header. It sets what Windows would take from the machine
// or the user (the clock, the installed locales, a menu choice) and reports what
// is alive, so tests can check that nothing leaks.
#pragma once

#include <windows.h>

// Clock. WinapiSetLocalTime fixes the local date and time that GetLocalTime
// reports, until WinapiUseRealClock; WinapiAdvanceClock moves a fixed clock on.
EXTERN_C void WinapiSetLocalTime(const SYSTEMTIME* time);
EXTERN_C void WinapiUseRealClock(void);
EXTERN_C void WinapiAdvanceClock(LONGLONG milliseconds);

// The answer of IsValidLocale(0x0401, LCID_INSTALLED): 1 installed, 0 not,
// -1 ask the C library whether an Arabic locale is available (the default).
EXTERN_C void WinapiSetArabicLocaleInstalled(int installed);

// The ANSI code page, as a system locale sets it: 1252 (the default), 1256 or
// CP_UTF8. GetACP, CP_ACP and CP_THREAD_ACP, CharNextA, lstrcmpiA and every A
// function that converts text follow it. FALSE (and no change) for any other.
EXTERN_C BOOL WinapiSetAnsiCodePage(UINT codePage);

// Makes the next GetModuleFileNameA or GetModuleFileNameW fail, returning 0
// with `lastError` as the last error (0 included).
EXTERN_C void WinapiFailNextModuleFileName(DWORD lastError);

// Live objects, by kind: what a test expects to be back where it started.
typedef enum WinapiObjectKind {
  WinapiTaskMemory = 0,
  WinapiModules,
  WinapiBstrs,
  WinapiWindows,
  WinapiMenus,
  WinapiFonts,
  WinapiKeys,
  WinapiTimers,
  WinapiStreams,
  WinapiCriticalSections,
  WinapiTypeObjects,  // ITypeLib/ITypeInfo objects and the descriptions they hand out
  WinapiObjectKindCount
} WinapiObjectKind;
EXTERN_C LONG WinapiLiveCount(WinapiObjectKind kind);
// Called by each area of the layer as it creates (+1) and frees (-1) an object.
EXTERN_C void WinapiCountObject(WinapiObjectKind kind, LONG delta);
// How many objects of a kind were ever created (for WinapiTaskMemory: the
// number of task-allocator allocations), for benchmarks that count them.
EXTERN_C LONG WinapiCreatedCount(WinapiObjectKind kind);

// Makes the next `count` critical-section initialisations fail as Windows
// does when it has no memory for them.
EXTERN_C void WinapiFailNextCriticalSectionInits(int count);

// Makes the next `count` task-allocator requests (CoTaskMemAlloc and growing
// CoTaskMemRealloc) fail, as when memory runs out.
EXTERN_C void WinapiFailNextTaskAllocations(int count);

// ---------------------------------------------------------------------------
// Registry. The registry lives in memory, one per process; WinapiKeys counts
// the handles open on it (predefined roots are not counted).
//
// Besides Windows' own limits it refuses, with ERROR_INVALID_PARAMETER, a key
// or value name holding a line feed, which its file (below) could not hold.
// HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA hold nothing: creating keys, setting
// or deleting values and deleting keys there fail with ERROR_INVALID_HANDLE.

// Empties every root. Handles still open on keys below a root then fail with
// ERROR_KEY_DELETED; closing them still succeeds.
EXTERN_C void WinapiResetRegistry(void);

// A number that grows with every change to what the registry holds: a key
// created or deleted, a value set to a new type or data or deleted, a reset,
// a load. Equal numbers mean nothing changed in between, so there is nothing
// new to save.
EXTERN_C ULONGLONG WinapiRegistryChangeCount(void);

// Makes the existing key root\path refuse writes (refuse TRUE) or accept them
// again, as an access-control list that grants only reading would: opening it
// with any write right (KEY_WRITE, KEY_SET_VALUE, KEY_CREATE_SUB_KEY, DELETE...)
// fails with ERROR_ACCESS_DENIED while KEY_READ succeeds, and deleting it, its
// values or creating a subkey under it is refused the same way. Handles opened
// before keep the rights they were opened with. Returns ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND for an absent key, ERROR_INVALID_HANDLE when root is not
// a predefined key. WinapiResetRegistry clears the mark.
EXTERN_C LONG WinapiSetKeyRefusesWrites(HKEY root, LPCSTR path, BOOL refuse);

// Makes the next RegDeleteValueA on a handle with the right to set values
// fail with `status` and delete nothing, as Windows may for reasons the
// handle's rights do not show. ERROR_SUCCESS takes the request back.
EXTERN_C void WinapiFailNextValueDeletion(LONG status);

// ---------------------------------------------------------------------------
// Windows, classes and timers.

// Forgets every window, window class registered by a program or library,
// timer, posted message and the focus, without sending a message to anyone
// (their procedures may be gone already); the system classes stay. Live counts
// of windows and timers drop accordingly. Menus and fonts are objects of their
// owners and stay.
EXTERN_C void WinapiResetUser(void);

// Delivers WM_TIMER (or calls the timer procedure) once for every timer whose
// time has come by GetTickCount, which WinapiAdvanceClock moves on; each
// delivered timer is due again its interval later. Returns how many it sent.
EXTERN_C UINT WinapiDeliverDueTimers(void);

// The milliseconds until the timer `id` of `hwnd` falls due (0 or less when it
// is due now), through `milliseconds`; FALSE when there is no such timer.
EXTERN_C BOOL WinapiTimerDueIn(HWND hwnd, UINT_PTR id, LONG* milliseconds);

// How many times InvalidateRect was given a null window, which on Windows
// invalidates and repaints the whole screen: every top-level window and its
// children, other programs' windows too.
EXTERN_C LONG WinapiScreenInvalidations(void);

// Dispatches the posted messages waiting in the queue (as a message loop of
// the host would), WM_QUIT excepted; returns how many it dispatched.
EXTERN_C UINT WinapiDispatchPostedMessages(void);

// A click of the left (rightButton FALSE) or right mouse button at a screen
// point, as a user makes it: the window WindowFromPoint finds there (windows
// that answer WM_NCHITTEST with HTTRANSPARENT, such as a STATIC without
// SS_NOTIFY, let it through to what lies below) is sent the button-down and
// button-up messages with the point in its client coordinates; a right
// button-up not handled becomes WM_CONTEXTMENU. Returns that window, or null
// when the point is on no window but the desktop (nothing is sent then).
EXTERN_C HWND WinapiClick(POINT screen, BOOL rightButton);

// ---------------------------------------------------------------------------
// Popup menus: what the user picks, and what was shown.

// Queues the user's answer to the next TrackPopupMenu(Ex): a command id to
// choose, or 0 to dismiss the menu (Escape). A command that is not an enabled
// item of the menu shown dismisses it too. With nothing queued, a popup is
// dismissed.
EXTERN_C void WinapiScriptMenuChoice(UINT command);

// The same answer, given after the menu has been open `milliseconds`: the
// clock moves on by that much meanwhile (as WinapiAdvanceClock moves it),
// while the menu's own message loop dispatches the posted messages and the
// timers that fall due. A plain WinapiScriptMenuChoice waits 0 ms; the loop
// still dispatches what is due before the choice is taken.
EXTERN_C void WinapiScriptMenuChoiceAfter(UINT command, LONGLONG milliseconds);

typedef struct WinapiPopupMenuRecord {
  HMENU menu;      // the menu shown
  UINT flags;      // TPM_* flags as given
  int x;           // screen position as given
  int y;
  HWND owner;      // the owner window
  UINT command;    // the command chosen, 0 when dismissed
  UINT shown;      // popups shown since the last WinapiResetUser
} WinapiPopupMenuRecord;

// The last popup menu shown; FALSE (and `record` untouched) when none was
// shown since the last WinapiResetUser.
EXTERN_C BOOL WinapiLastPopupMenu(WinapiPopupMenuRecord* record);

// ---------------------------------------------------------------------------
// The loader lock.
//
// Windows holds the loader lock while it runs a module's entry point, and with
// it the static constructors and destructors that the module's runtime runs
// there: at load, at FreeLibrary, and at process exit, when every module still
// loaded gets DLL_PROCESS_DETACH with a non-null reserved pointer (this layer
// does the same from an exit handler). Code under the lock must not call into
// User32, Gdi32 or the registry, nor load or free a library: this layer counts
// every such call, and at process exit reports the ones made there on stderr.

// The calls made under the loader lock since the process started; *lastArea,
// if given, names the area of the last one ("User32", "Gdi32", "registry",
// "LoadLibrary" or "FreeLibrary"), or is null when there was none.
EXTERN_C LONG WinapiLoaderLockViolations(LPCSTR* lastArea);

// ---------------------------------------------------------------------------
// The registry in a REGEDIT4 file, so that it lasts between runs of the host.
//
// Keys are written as [HKEY_...\path] sections, every key (also an empty one)
// with a section of its own; values as @= (the default value) or "name"=, with
// "text" for a clean REG_SZ, dword:XXXXXXXX for REG_DWORD and hex:/hex(N): byte
// lists for everything else, so every type and every byte round-trips. Text is
// the bytes the A calls stored, in the ANSI code page of the process that
// stored them, with \\ and \" escaped. A hex list may go on over lines ending
// in a backslash; its last line must end with a line feed, or the file is
// taken as cut short. HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA are not kept.
// Save and load cost time in proportion to the registry's size, however its
// keys are spread.

// Replaces the whole registry with the file's content. The file is read and
// checked completely first, against the registry's own limits too (key name
// length, depth, 32 new levels per section, value name length): on any error
// nothing changes, the result is ERROR_BADKEY for a bad section (or
// ERROR_REGISTRY_CORRUPT for a bad value or line, a NUL byte included) and
// *errorLine (if given) holds its 1-based line. ERROR_FILE_NOT_FOUND when
// there is no file, ERROR_ACCESS_DENIED when it may not be read or is a
// folder, ERROR_CANTOPEN when it cannot be opened otherwise, ERROR_READ_FAULT
// when reading fails; *errorLine is 0 for these.
EXTERN_C LONG WinapiLoadRegistry(LPCSTR path, DWORD* errorLine);

// Writes the whole registry to the file atomically: path + ".new" is
// written, flushed to disk and renamed over the file. A symbolic link is
// followed, and its target replaced; the file keeps its permission bits and,
// as far as the process may give it, its owner and group (a new file is
// 0644 less the umask). The caller holds the lock below, so the ".new" name is
// its own: what a killed save left there is removed first. ERROR_WRITE_FAULT
// on failure, with the file as it was.
EXTERN_C LONG WinapiSaveRegistry(LPCSTR path);

// The key `key` (for example "HKEY_CLASSES_ROOT\\CLSID") with everything
// below it, or the whole registry when key is null or empty, as REGEDIT4 text
// with its NUL. *size is the buffer's size in bytes; ERROR_MORE_DATA with the
// size needed in *size when it is too small, ERROR_FILE_NOT_FOUND for an
// absent key.
EXTERN_C LONG WinapiExportRegistry(LPCSTR key, LPSTR buffer, DWORD* size);

// An exclusive lock (flock) on the file path + ".lock", created when missing,
// waiting while another process holds it. A host takes it before
// WinapiLoadRegistry and drops it after WinapiSaveRegistry, so that two
// commands run at once each see what the other saved. Held until
// WinapiUnlockRegistryFile or the end of the process; one per process
// (ERROR_INVALID_PARAMETER while one is held); ERROR_PATH_NOT_FOUND when the
// folder is missing.
EXTERN_C LONG WinapiLockRegistryFile(LPCSTR path);
EXTERN_C void WinapiUnlockRegistryFile(void);
