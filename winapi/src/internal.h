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

}  // namespace winapi
