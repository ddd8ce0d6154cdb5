// Registry: predefined roots, keys and values, with the statuses Windows gives.
#pragma once

#include <windef.h>
#include <winerror.h>
