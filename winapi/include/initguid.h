// Included before a header that declares GUIDs, makes DEFINE_GUID define them.
#pragma once

#include <guiddef.h>

#undef DEFINE_GUID
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  EXTERN_C const GUID name DECLSPEC_SELECTANY = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
