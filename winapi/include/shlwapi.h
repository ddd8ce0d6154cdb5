// Shell light-weight utilities: a stream over memory.
#pragma once

#include <objidl.h>

// A new IStream (one reference) holding a copy of cbInit bytes at pInit
// (pInit null: an empty stream), positioned at its start; null without memory.
EXTERN_C IStream* WINAPI SHCreateMemStream(const BYTE* pInit, UINT cbInit);
