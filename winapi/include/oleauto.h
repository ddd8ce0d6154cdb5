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
