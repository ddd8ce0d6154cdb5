// The shell's interfaces and service ids.
#pragma once

#include <ole2.h>
#include <shlguid.h>
#include <shobjidl.h>
