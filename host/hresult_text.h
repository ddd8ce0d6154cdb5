// HRESULTs in words, as a registration tool reports them.
#pragma once

#include <windows.h>

#include <string>

namespace host {

// "S_OK (0x00000000)", "E_OUTOFMEMORY: not enough memory (0x8007000E)",
// "Win32 error 2: the file is not found (0x80070002)".
std::string DescribeHresult(HRESULT hr);

}  // namespace host
