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

// A new handle value for a window, menu or font: never 0, never used twice in
// the life of the process, so a handle of a destroyed object stays invalid.
uintptr_t NewObjectHandle();

// Forgets the scripted menu choices and the popup record (WinapiResetUser).
void ResetPopupMenus();

}  // namespace winapi
