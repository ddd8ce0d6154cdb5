// Message crackers: the signed coordinates packed into an LPARAM.
#pragma once

#include <windef.h>

#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
