// Shared between the areas of the native Windows layer; not part of its API.
#pragma once

#include <windows.h>

#include <string>

namespace winapi {

// UTF-16 <-> UTF-8, the character set of file names on this system and of
// the layer's own text (invalid input becomes U+FFFD).
std::u16string Widen(const char* utf8);
std::string Narrow(const char16_t* utf16);

// UTF-16 <-> the ANSI code page, as the A functions convert: a character the
// code page lacks becomes '?'.
std::u16string FromAnsi(const char* ansi);
std::string ToAnsi(const char16_t* text);

// The length of the longest prefix of `ansi`, at most n bytes, that cuts no
// character of the ANSI code page in two: where a short buffer cuts A text.
size_t AnsiPrefix(const std::string& ansi, size_t n);

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
