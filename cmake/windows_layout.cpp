// The layout of every structure that crosses between the library and Windows,
// as the 32-bit Windows SDK gives it. This file is compiled by the Windows
// build against the SDK's headers and by the i386 Linux build against
// winapi/'s, so both must agree with the same figures: a structure that
// differs fails the build. (On i386 Linux, 64-bit integers and doubles are
// 4-byte aligned in structures unless the headers say otherwise; Windows
// aligns them to 8.)
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <objidl.h>
#include <shobjidl.h>
#include <docobj.h>

#include <stddef.h>

#if !defined(__i386__)
#error "Win32 layouts are checked in 32-bit builds only"
#endif

#define CHECK_SIZE(type, size, align) \
  static_assert(sizeof(type) == (size) && alignof(type) == (align), #type ": size or alignment is not Win32's")
#define CHECK_AT(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "::" #field ": not at Win32's offset")

// Base types.
CHECK_SIZE(GUID, 16, 4); CHECK_AT(GUID, Data1, 0); CHECK_AT(GUID, Data2, 4); CHECK_AT(GUID, Data3, 6);
    CHECK_AT(GUID, Data4, 8);
CHECK_SIZE(FILETIME, 8, 4); CHECK_AT(FILETIME, dwLowDateTime, 0); CHECK_AT(FILETIME, dwHighDateTime, 4);
CHECK_SIZE(SYSTEMTIME, 16, 2); CHECK_AT(SYSTEMTIME, wYear, 0); CHECK_AT(SYSTEMTIME, wDay, 6);
    CHECK_AT(SYSTEMTIME, wMilliseconds, 14);
CHECK_SIZE(LARGE_INTEGER, 8, 8); CHECK_AT(LARGE_INTEGER, LowPart, 0); CHECK_AT(LARGE_INTEGER, HighPart, 4);
    CHECK_AT(LARGE_INTEGER, QuadPart, 0);
CHECK_SIZE(ULARGE_INTEGER, 8, 8); CHECK_AT(ULARGE_INTEGER, LowPart, 0); CHECK_AT(ULARGE_INTEGER, HighPart, 4);
    CHECK_AT(ULARGE_INTEGER, QuadPart, 0);
CHECK_SIZE(CY, 8, 8); CHECK_AT(CY, Lo, 0); CHECK_AT(CY, Hi, 4); CHECK_AT(CY, int64, 0);
CHECK_SIZE(VARIANT, 16, 8); CHECK_AT(VARIANT, vt, 0); CHECK_AT(VARIANT, wReserved1, 2);
    CHECK_AT(VARIANT, wReserved2, 4); CHECK_AT(VARIANT, wReserved3, 6); CHECK_AT(VARIANT, llVal, 8);
    CHECK_AT(VARIANT, lVal, 8); CHECK_AT(VARIANT, dblVal, 8); CHECK_AT(VARIANT, date, 8); CHECK_AT(VARIANT, cyVal, 8);
    CHECK_AT(VARIANT, bstrVal, 8); CHECK_AT(VARIANT, punkVal, 8); CHECK_AT(VARIANT, byref, 8);

// Automation calls and streams.
CHECK_SIZE(DISPPARAMS, 16, 4); CHECK_AT(DISPPARAMS, rgvarg, 0); CHECK_AT(DISPPARAMS, rgdispidNamedArgs, 4);
    CHECK_AT(DISPPARAMS, cArgs, 8); CHECK_AT(DISPPARAMS, cNamedArgs, 12);
CHECK_SIZE(EXCEPINFO, 32, 4); CHECK_AT(EXCEPINFO, wCode, 0); CHECK_AT(EXCEPINFO, bstrSource, 4);
    CHECK_AT(EXCEPINFO, bstrDescription, 8); CHECK_AT(EXCEPINFO, bstrHelpFile, 12);
    CHECK_AT(EXCEPINFO, dwHelpContext, 16); CHECK_AT(EXCEPINFO, pvReserved, 20);
    CHECK_AT(EXCEPINFO, pfnDeferredFillIn, 24); CHECK_AT(EXCEPINFO, scode, 28);
CHECK_SIZE(STATSTG, 72, 8); CHECK_AT(STATSTG, pwcsName, 0); CHECK_AT(STATSTG, type, 4); CHECK_AT(STATSTG, cbSize, 8);
    CHECK_AT(STATSTG, mtime, 16); CHECK_AT(STATSTG, ctime, 24); CHECK_AT(STATSTG, atime, 32);
    CHECK_AT(STATSTG, grfMode, 40); CHECK_AT(STATSTG, grfLocksSupported, 44); CHECK_AT(STATSTG, clsid, 48);
    CHECK_AT(STATSTG, grfStateBits, 64); CHECK_AT(STATSTG, reserved, 68);

// Type information, as ITypeInfo hands it out.
CHECK_SIZE(SAFEARRAYBOUND, 8, 4); CHECK_AT(SAFEARRAYBOUND, cElements, 0); CHECK_AT(SAFEARRAYBOUND, lLbound, 4);
CHECK_SIZE(TYPEDESC, 8, 4); CHECK_AT(TYPEDESC, lptdesc, 0); CHECK_AT(TYPEDESC, hreftype, 0);
    CHECK_AT(TYPEDESC, vt, 4);
CHECK_SIZE(ARRAYDESC, 20, 4); CHECK_AT(ARRAYDESC, tdescElem, 0); CHECK_AT(ARRAYDESC, cDims, 8);
    CHECK_AT(ARRAYDESC, rgbounds, 12);
CHECK_SIZE(PARAMDESCEX, 24, 8); CHECK_AT(PARAMDESCEX, cBytes, 0); CHECK_AT(PARAMDESCEX, varDefaultValue, 8);
CHECK_SIZE(PARAMDESC, 8, 4); CHECK_AT(PARAMDESC, pparamdescex, 0); CHECK_AT(PARAMDESC, wParamFlags, 4);
CHECK_SIZE(IDLDESC, 8, 4); CHECK_AT(IDLDESC, dwReserved, 0); CHECK_AT(IDLDESC, wIDLFlags, 4);
CHECK_SIZE(ELEMDESC, 16, 4); CHECK_AT(ELEMDESC, tdesc, 0); CHECK_AT(ELEMDESC, idldesc, 8);
    CHECK_AT(ELEMDESC, paramdesc, 8);
CHECK_SIZE(TYPEATTR, 76, 4); CHECK_AT(TYPEATTR, guid, 0); CHECK_AT(TYPEATTR, lcid, 16);
    CHECK_AT(TYPEATTR, dwReserved, 20); CHECK_AT(TYPEATTR, memidConstructor, 24);
    CHECK_AT(TYPEATTR, memidDestructor, 28); CHECK_AT(TYPEATTR, lpstrSchema, 32);
    CHECK_AT(TYPEATTR, cbSizeInstance, 36); CHECK_AT(TYPEATTR, typekind, 40); CHECK_AT(TYPEATTR, cFuncs, 44);
    CHECK_AT(TYPEATTR, cVars, 46); CHECK_AT(TYPEATTR, cImplTypes, 48); CHECK_AT(TYPEATTR, cbSizeVft, 50);
    CHECK_AT(TYPEATTR, cbAlignment, 52); CHECK_AT(TYPEATTR, wTypeFlags, 54); CHECK_AT(TYPEATTR, wMajorVerNum, 56);
    CHECK_AT(TYPEATTR, wMinorVerNum, 58); CHECK_AT(TYPEATTR, tdescAlias, 60); CHECK_AT(TYPEATTR, idldescType, 68);
CHECK_SIZE(FUNCDESC, 52, 4); CHECK_AT(FUNCDESC, memid, 0); CHECK_AT(FUNCDESC, lprgscode, 4);
    CHECK_AT(FUNCDESC, lprgelemdescParam, 8); CHECK_AT(FUNCDESC, funckind, 12); CHECK_AT(FUNCDESC, invkind, 16);
    CHECK_AT(FUNCDESC, callconv, 20); CHECK_AT(FUNCDESC, cParams, 24); CHECK_AT(FUNCDESC, cParamsOpt, 26);
    CHECK_AT(FUNCDESC, oVft, 28); CHECK_AT(FUNCDESC, cScodes, 30); CHECK_AT(FUNCDESC, elemdescFunc, 32);
    CHECK_AT(FUNCDESC, wFuncFlags, 48);
CHECK_SIZE(VARDESC, 36, 4); CHECK_AT(VARDESC, memid, 0); CHECK_AT(VARDESC, lpstrSchema, 4);
    CHECK_AT(VARDESC, oInst, 8); CHECK_AT(VARDESC, lpvarValue, 8); CHECK_AT(VARDESC, elemdescVar, 12);
    CHECK_AT(VARDESC, wVarFlags, 28); CHECK_AT(VARDESC, varkind, 32);
CHECK_SIZE(TLIBATTR, 32, 4); CHECK_AT(TLIBATTR, guid, 0); CHECK_AT(TLIBATTR, lcid, 16);
    CHECK_AT(TLIBATTR, syskind, 20); CHECK_AT(TLIBATTR, wMajorVerNum, 24); CHECK_AT(TLIBATTR, wMinorVerNum, 26);
    CHECK_AT(TLIBATTR, wLibFlags, 28);
CHECK_SIZE(CUSTDATAITEM, 32, 8); CHECK_AT(CUSTDATAITEM, guid, 0); CHECK_AT(CUSTDATAITEM, varValue, 16);
CHECK_SIZE(CUSTDATA, 8, 4); CHECK_AT(CUSTDATA, cCustData, 0); CHECK_AT(CUSTDATA, prgCustData, 4);

// Kernel, windows, menus and fonts.
CHECK_SIZE(CRITICAL_SECTION, 24, 4);
CHECK_SIZE(SECURITY_ATTRIBUTES, 12, 4); CHECK_AT(SECURITY_ATTRIBUTES, nLength, 0);
    CHECK_AT(SECURITY_ATTRIBUTES, lpSecurityDescriptor, 4); CHECK_AT(SECURITY_ATTRIBUTES, bInheritHandle, 8);
CHECK_SIZE(RECT, 16, 4); CHECK_AT(RECT, left, 0); CHECK_AT(RECT, top, 4); CHECK_AT(RECT, right, 8);
    CHECK_AT(RECT, bottom, 12);
CHECK_SIZE(POINT, 8, 4); CHECK_AT(POINT, x, 0); CHECK_AT(POINT, y, 4);
CHECK_SIZE(SIZE, 8, 4); CHECK_AT(SIZE, cx, 0); CHECK_AT(SIZE, cy, 4);
CHECK_SIZE(MSG, 28, 4); CHECK_AT(MSG, hwnd, 0); CHECK_AT(MSG, message, 4); CHECK_AT(MSG, wParam, 8);
    CHECK_AT(MSG, lParam, 12); CHECK_AT(MSG, time, 16); CHECK_AT(MSG, pt, 20);
CHECK_SIZE(WNDCLASSEXA, 48, 4); CHECK_AT(WNDCLASSEXA, cbSize, 0); CHECK_AT(WNDCLASSEXA, style, 4);
    CHECK_AT(WNDCLASSEXA, lpfnWndProc, 8); CHECK_AT(WNDCLASSEXA, cbClsExtra, 12);
    CHECK_AT(WNDCLASSEXA, cbWndExtra, 16); CHECK_AT(WNDCLASSEXA, hInstance, 20); CHECK_AT(WNDCLASSEXA, hIcon, 24);
    CHECK_AT(WNDCLASSEXA, hCursor, 28); CHECK_AT(WNDCLASSEXA, hbrBackground, 32);
    CHECK_AT(WNDCLASSEXA, lpszMenuName, 36); CHECK_AT(WNDCLASSEXA, lpszClassName, 40);
    CHECK_AT(WNDCLASSEXA, hIconSm, 44);
CHECK_SIZE(WNDCLASSEXW, 48, 4); CHECK_AT(WNDCLASSEXW, lpfnWndProc, 8); CHECK_AT(WNDCLASSEXW, hInstance, 20);
    CHECK_AT(WNDCLASSEXW, lpszMenuName, 36); CHECK_AT(WNDCLASSEXW, lpszClassName, 40);
    CHECK_AT(WNDCLASSEXW, hIconSm, 44);
CHECK_SIZE(CREATESTRUCTA, 48, 4); CHECK_AT(CREATESTRUCTA, lpCreateParams, 0); CHECK_AT(CREATESTRUCTA, hInstance, 4);
    CHECK_AT(CREATESTRUCTA, hMenu, 8); CHECK_AT(CREATESTRUCTA, hwndParent, 12); CHECK_AT(CREATESTRUCTA, cy, 16);
    CHECK_AT(CREATESTRUCTA, cx, 20); CHECK_AT(CREATESTRUCTA, y, 24); CHECK_AT(CREATESTRUCTA, x, 28);
    CHECK_AT(CREATESTRUCTA, style, 32); CHECK_AT(CREATESTRUCTA, lpszName, 36); CHECK_AT(CREATESTRUCTA, lpszClass, 40);
    CHECK_AT(CREATESTRUCTA, dwExStyle, 44);
CHECK_SIZE(CREATESTRUCTW, 48, 4); CHECK_AT(CREATESTRUCTW, lpCreateParams, 0); CHECK_AT(CREATESTRUCTW, hwndParent, 12);
    CHECK_AT(CREATESTRUCTW, style, 32); CHECK_AT(CREATESTRUCTW, lpszName, 36); CHECK_AT(CREATESTRUCTW, lpszClass, 40);
    CHECK_AT(CREATESTRUCTW, dwExStyle, 44);
CHECK_SIZE(WINDOWPOS, 28, 4); CHECK_AT(WINDOWPOS, hwnd, 0); CHECK_AT(WINDOWPOS, hwndInsertAfter, 4);
    CHECK_AT(WINDOWPOS, x, 8); CHECK_AT(WINDOWPOS, y, 12); CHECK_AT(WINDOWPOS, cx, 16); CHECK_AT(WINDOWPOS, cy, 20);
    CHECK_AT(WINDOWPOS, flags, 24);
CHECK_SIZE(TPMPARAMS, 20, 4); CHECK_AT(TPMPARAMS, cbSize, 0); CHECK_AT(TPMPARAMS, rcExclude, 4);
CHECK_SIZE(LOGFONTA, 60, 4); CHECK_AT(LOGFONTA, lfHeight, 0); CHECK_AT(LOGFONTA, lfWeight, 16);
    CHECK_AT(LOGFONTA, lfItalic, 20); CHECK_AT(LOGFONTA, lfPitchAndFamily, 27); CHECK_AT(LOGFONTA, lfFaceName, 28);
CHECK_SIZE(LOGFONTW, 92, 4); CHECK_AT(LOGFONTW, lfHeight, 0); CHECK_AT(LOGFONTW, lfWeight, 16);
    CHECK_AT(LOGFONTW, lfItalic, 20); CHECK_AT(LOGFONTW, lfPitchAndFamily, 27); CHECK_AT(LOGFONTW, lfFaceName, 28);

// The band's own interfaces.
CHECK_SIZE(DESKBANDINFO, 556, 4); CHECK_AT(DESKBANDINFO, dwMask, 0); CHECK_AT(DESKBANDINFO, ptMinSize, 4);
    CHECK_AT(DESKBANDINFO, ptMaxSize, 12); CHECK_AT(DESKBANDINFO, ptIntegral, 20);
    CHECK_AT(DESKBANDINFO, ptActual, 28); CHECK_AT(DESKBANDINFO, wszTitle, 36);
    CHECK_AT(DESKBANDINFO, dwModeFlags, 548); CHECK_AT(DESKBANDINFO, crBkgnd, 552);
CHECK_SIZE(OLECMD, 8, 4); CHECK_AT(OLECMD, cmdID, 0); CHECK_AT(OLECMD, cmdf, 4);
CHECK_SIZE(OLECMDTEXT, 16, 4); CHECK_AT(OLECMDTEXT, cmdtextf, 0); CHECK_AT(OLECMDTEXT, cwActual, 4);
    CHECK_AT(OLECMDTEXT, cwBuf, 8); CHECK_AT(OLECMDTEXT, rgwz, 12);
