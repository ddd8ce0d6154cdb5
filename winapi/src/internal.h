// Shared between the areas of the native Windows layer; not part of its API.
#pragma once

#include <windows.h>

#include <string>

namespace winapi {

// UTF-16 <-> UTF-8 for the layer's own use (invalid input becomes U+FFFD).
std::u16string Widen(const char* utf8);
std::string Narrow(const char16_t* utf16);

// Frees the in-process servers whose DllCanUnloadNow answers S_OK.
void FreeUnusedInprocServers();

// A handle value never handed out before, for a window, menu or font: never 0.
// Menus and fonts take a new one each time, so a handle of a destroyed one
// stays invalid; windows reuse the values of destroyed windows first.
uintptr_t NewObjectHandle();

// Forgets the scripted menu choices and the popup record (WinapiResetUser).
void ResetPopupMenus();

// The milliseconds until the earliest timer falls due (0 or less when one is
// due now); false when there is no timer.
bool NextTimerDue(LONG* milliseconds);

}  // namespace winapi
