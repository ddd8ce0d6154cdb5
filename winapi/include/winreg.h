// Registry: predefined roots, keys and values, with the statuses Windows gives.
#pragma once

#include <windef.h>
#include <winerror.h>

typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK REGSAM;

EXTERN_C LONG WINAPI RegCloseKey(HKEY hKey);
