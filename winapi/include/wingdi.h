// Fonts.
#pragma once

#include <windef.h>
#include <winerror.h>

EXTERN_C BOOL WINAPI DeleteObject(HGDIOBJ ho);
