// Locales and code pages. The ANSI code page is 1252 unless a test or the
// host chooses 1256 or UTF-8 (winapi_control.h); no double-byte code page is
// offered, so every byte below 0x80 stays a character of its own.
#pragma once

#include <windef.h>

#define CP_ACP 0
#define CP_THREAD_ACP 3
#define CP_UTF8 65001

#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

#define LCID_INSTALLED 0x00000001
#define LCID_SUPPORTED 0x00000002
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define LANG_ENGLISH 0x09
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define SORT_DEFAULT 0x0
#define MAKELCID(lgid, srtid) ((DWORD)((((DWORD)((WORD)(srtid))) << 16) | ((DWORD)((WORD)(lgid)))))

EXTERN_C BOOL WINAPI IsValidLocale(LCID Locale, DWORD dwFlags);
EXTERN_C UINT WINAPI GetACP(void);
EXTERN_C int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                        LPWSTR lpWideCharStr, int cchWideChar);
EXTERN_C int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                        LPBOOL lpUsedDefaultChar);
EXTERN_C LPSTR WINAPI CharNextA(LPCSTR lpsz);
EXTERN_C LPWSTR WINAPI CharNextW(LPCWSTR lpsz);
EXTERN_C BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
