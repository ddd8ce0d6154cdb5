// Window classes, windows and messages, focus, menus, timers.
#pragma once

#include <windef.h>
#include <winerror.h>
