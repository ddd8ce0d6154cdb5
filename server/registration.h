// Registration of the library's type library, which lives in its resources
// (TYPELIB 1) or, failing that, in a ".tlb" file beside it.
#pragma once

#include <windows.h>
#include <oaidl.h>

// Loads the type library of `module`: *pbstrPath receives the file name it
// loaded from, *ppTypeLib the library. Both start as null.
HRESULT LoadTypeLibrary(HINSTANCE module, BSTR* pbstrPath, ITypeLib** ppTypeLib);
HRESULT RegisterTypeLibrary(HINSTANCE module);
HRESULT UnregisterTypeLibrary(HINSTANCE module);
