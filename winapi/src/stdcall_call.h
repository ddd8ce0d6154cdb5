// Calls a function whose parameters are known only at run time, under the
// convention code compiled for Windows uses: the type library's Invoke calls
// interface methods through it, and code that runs Windows images may call
// their entry points through it.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Calls `function` with `count` argument words, words[0] first. On i386 the
// call is stdcall (the callee removes its arguments; a 64-bit argument takes
// two words, low word first) and the result is EDX:EAX; on x86-64 it is the
// platform's convention with words in integer registers, then on the stack,
// and the result is RAX. The stack is 16-byte aligned at the call, as the
// layer's own code expects it. Floating-point arguments and results are not
// supported.
extern "C" uint64_t winapi_stdcall_call(const void* function, const uintptr_t* words, size_t count);
