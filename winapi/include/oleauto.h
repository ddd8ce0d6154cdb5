// Automation functions: length-counted strings, VARIANTs, number conversion.
#pragma once

#include <oaidl.h>

STDAPI_(BSTR) SysAllocString(const OLECHAR* psz);
STDAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui);
STDAPI_(void) SysFreeString(BSTR bstrString);
STDAPI_(UINT) SysStringLen(BSTR pbstr);

STDAPI_(void) VariantInit(VARIANTARG* pvarg);
STDAPI VariantClear(VARIANTARG* pvarg);

// Text to an unsigned 32-bit number: decimal digits with an optional sign and
// fraction (rounded half to even), blanks around them allowed.
// DISP_E_TYPEMISMATCH for text that is not a number, DISP_E_OVERFLOW for a
// number outside 0..4294967295. lcid and dwFlags are accepted and ignored.
STDAPI VarUI4FromStr(OLECHAR* strIn, LCID lcid, ULONG dwFlags, ULONG* pulOut);

// Type libraries: loading one from a .tlb file or from a module's TYPELIB
// resource, and recording it under HKEY_CLASSES_ROOT\TypeLib.
typedef enum tagREGKIND { REGKIND_DEFAULT = 0, REGKIND_REGISTER = 1, REGKIND_NONE = 2 } REGKIND;

// A path naming a .tlb file loads the file; one naming a module loads its
// TYPELIB resource 1 ("module\\N": resource N). LoadTypeLib does not register
// the library (Windows registers only for a bare file name); LoadTypeLibEx
// with REGKIND_REGISTER does. TYPE_E_CANTLOADLIBRARY for anything else.
STDAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);
STDAPI LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib);
STDAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib);
STDAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid, BSTR* lpbstrPathName);
STDAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);
STDAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind);
