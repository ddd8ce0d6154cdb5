// Window classes, windows and messages, focus, menus, timers.
#pragma once

#include <windef.h>
#include <winerror.h>

EXTERN_C BOOL WINAPI DestroyWindow(HWND hWnd);
EXTERN_C BOOL WINAPI DestroyMenu(HMENU hMenu);
