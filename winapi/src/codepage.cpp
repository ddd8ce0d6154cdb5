// Code pages: the process's ANSI code page (1252 unless a test or the host
// chooses 1256 or UTF-8), the conversions between code pages and UTF-16, and
// the A functions' character walk and comparison, which follow that code page.
//
// Best fit is off: a UTF-16 character that the code page lacks becomes the
// default character, never a look-alike, so a lossy conversion always shows.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

#include "internal.h"
#include "winapi_control.h"

namespace {

#include "codepage_tables.inc"

constexpr DWORD kMbPrecomposed = 0x00000001;
constexpr DWORD kWcErrInvalidChars = 0x00000080;
constexpr uint32_t kInvalid = 0xFFFFFFFFu;

std::atomic<UINT> g_ansiCodePage{1252};

// The code page a CodePage argument names, or 0 for one this layer lacks.
// A thread's ANSI code page is the process's: nothing here changes a thread's
// locale.
UINT Resolve(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_THREAD_ACP) return g_ansiCodePage.load();
  if (codePage == 1252 || codePage == 1256 || codePage == CP_UTF8) return codePage;
  return 0;
}

// Bytes 0x80..0xFF of a single-byte code page.
const char16_t* UpperHalf(UINT codePage) { return codePage == 1256 ? kUpperHalf1256 : kUpperHalf1252; }

// Length in bytes of the UTF-8 sequence that starts with byte b (1 for a stray
// continuation or invalid byte, which then stands for itself).
int Utf8SequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 1;
}

// Decodes one code point from s (at most n bytes); kInvalid for an invalid
// sequence, of which one byte is consumed.
uint32_t DecodeUtf8(const unsigned char* s, int n, int* used) {
  const int len = Utf8SequenceLength(s[0]);
  *used = 1;
  if (s[0] < 0x80) return s[0];
  if (len == 1 || len > n) return kInvalid;
  uint32_t cp = s[0] & (0x7F >> len);
  for (int i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return kInvalid;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kInvalid;
  *used = len;
  return cp;
}

// One character of `codePage` text: its code point (kInvalid for bytes that
// are not one) and, through `used`, its length in bytes.
uint32_t DecodeChar(UINT codePage, const unsigned char* s, int n, int* used) {
  if (codePage == CP_UTF8) return DecodeUtf8(s, n, used);
  *used = 1;
  return s[0] < 0x80 ? s[0] : UpperHalf(codePage)[s[0] - 0x80];
}

int EncodeUtf8(uint32_t cp, unsigned char* bytes) {
  if (cp < 0x80) {
    bytes[0] = static_cast<unsigned char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    bytes[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
    bytes[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    bytes[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
    bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 3;
  }
  bytes[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
  bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
  bytes[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
  bytes[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
  return 4;
}

// The byte of a single-byte code page for a UTF-16 unit; false when the code
// page has none.
bool EncodeSingleByte(UINT codePage, char16_t unit, unsigned char* byte) {
  if (unit < 0x80) {
    *byte = static_cast<unsigned char>(unit);
    return true;
  }
  const char16_t* upper = UpperHalf(codePage);
  for (int i = 0; i < 128; ++i) {
    if (upper[i] == unit) {
      *byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

// Lower case for the letters of the code pages here: ASCII, Latin-1 and the
// four Latin Extended-A pairs of 1252 (Š Œ Ž Ÿ). Arabic letters have no case.
uint32_t FoldCase(uint32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x0152 || c == 0x0160 || c == 0x017D) return c + 1;
  if (c == 0x0178) return 0xFF;
  return c;
}

int Sign(int64_t v) { return (v > 0) - (v < 0); }

}  // namespace

EXTERN_C BOOL WinapiSetAnsiCodePage(UINT codePage) {
  if (codePage != 1252 && codePage != 1256 && codePage != CP_UTF8) return FALSE;
  g_ansiCodePage = codePage;
  return TRUE;
}

EXTERN_C UINT WINAPI GetACP(void) { return g_ansiCodePage.load(); }

EXTERN_C int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int cb, LPWSTR dst, int cch) {
  const UINT cp = Resolve(codePage);
  if (!cp || !src || cb == 0 || cb < -1 || cch < 0 || (cch > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD allowed = cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : (kMbPrecomposed | MB_ERR_INVALID_CHARS);
  if (flags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const int n = cb < 0 ? static_cast<int>(std::strlen(src)) + 1 : cb;
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  int out = 0;
  auto put = [&](WCHAR c) -> bool {
    if (cch > 0) {
      if (out >= cch) return false;
      dst[out] = c;
    }
    ++out;
    return true;
  };
  for (int i = 0; i < n;) {
    int used = 1;
    uint32_t c = DecodeChar(cp, s + i, n - i, &used);
    if (c == kInvalid) {
      if (flags & MB_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      c = 0xFFFD;
    }
    i += used;
    bool ok;
    if (c >= 0x10000) {
      c -= 0x10000;
      ok = put(static_cast<WCHAR>(0xD800 + (c >> 10))) && put(static_cast<WCHAR>(0xDC00 + (c & 0x3FF)));
    } else {
      ok = put(static_cast<WCHAR>(c));
    }
    if (!ok) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
  }
  return out;
}

EXTERN_C int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int cch, LPSTR dst, int cb,
                                        LPCSTR defaultChar, LPBOOL usedDefault) {
  const UINT cp = Resolve(codePage);
  if (!cp || !src || cch == 0 || cch < -1 || cb < 0 || (cb > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // UTF-8 has no default character to report; its only flag is the strict one,
  // which no single-byte code page takes.
  if (cp == CP_UTF8 && (defaultChar || usedDefault)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags & ~(cp == CP_UTF8 ? kWcErrInvalidChars : static_cast<DWORD>(WC_NO_BEST_FIT_CHARS))) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const unsigned char fallback = defaultChar ? static_cast<unsigned char>(*defaultChar) : '?';
  BOOL defaulted = FALSE;
  const int n = cch < 0 ? lstrlenW(src) + 1 : cch;
  int out = 0;
  for (int i = 0; i < n; ++i) {
    unsigned char bytes[4];
    int len = 1;
    if (cp != CP_UTF8) {
      // Unit by unit: each half of a surrogate pair is a character the code
      // page lacks.
      if (!EncodeSingleByte(cp, src[i], bytes)) {
        bytes[0] = fallback;
        defaulted = TRUE;
      }
    } else {
      uint32_t c = src[i];
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00);
        ++i;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        if (flags & kWcErrInvalidChars) {
          SetLastError(ERROR_NO_UNICODE_TRANSLATION);
          return 0;
        }
        c = 0xFFFD;
      }
      len = EncodeUtf8(c, bytes);
    }
    if (cb > 0) {
      if (out + len > cb) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      std::memcpy(dst + out, bytes, static_cast<size_t>(len));
    }
    out += len;
  }
  if (usedDefault) *usedDefault = defaulted;
  return out;
}

EXTERN_C LPSTR WINAPI CharNextA(LPCSTR s) {
  if (!s || !*s) return const_cast<LPSTR>(s);
  if (g_ansiCodePage.load() != CP_UTF8) return const_cast<LPSTR>(s + 1);
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  int len = Utf8SequenceLength(p[0]);
  // A sequence cut short by the terminating NUL ends at it.
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) {
      len = i;
      break;
    }
  }
  return const_cast<LPSTR>(s + len);
}

EXTERN_C LPWSTR WINAPI CharNextW(LPCWSTR s) {
  if (!s || !*s) return const_cast<LPWSTR>(s);
  if (s[0] >= 0xD800 && s[0] <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) return const_cast<LPWSTR>(s + 2);
  return const_cast<LPWSTR>(s + 1);
}

// None of the code pages here is a double-byte one (UTF-8 is not either).
EXTERN_C BOOL WINAPI IsDBCSLeadByte(BYTE) { return FALSE; }

// Character by character in the ANSI code page, letters folded to lower case.
// Bytes that are no character compare by value, after every character, so
// that two different ones never compare equal.
EXTERN_C int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  const UINT cp = g_ansiCodePage.load();
  const auto* pa = reinterpret_cast<const unsigned char*>(a);
  const auto* pb = reinterpret_cast<const unsigned char*>(b);
  const int na = static_cast<int>(std::strlen(a));
  const int nb = static_cast<int>(std::strlen(b));
  int ia = 0, ib = 0;
  for (;;) {
    if (ia == na || ib == nb) return Sign(static_cast<int64_t>(na - ia > 0) - (nb - ib > 0));
    int usedA = 1, usedB = 1;
    uint32_t ca = DecodeChar(cp, pa + ia, na - ia, &usedA);
    uint32_t cb = DecodeChar(cp, pb + ib, nb - ib, &usedB);
    ca = ca == kInvalid ? 0x110000u + pa[ia] : FoldCase(ca);
    cb = cb == kInvalid ? 0x110000u + pb[ib] : FoldCase(cb);
    if (ca != cb) return Sign(static_cast<int64_t>(ca) - cb);
    ia += usedA;
    ib += usedB;
  }
}

EXTERN_C int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  for (;; ++a, ++b) {
    const uint32_t ca = FoldCase(*a);
    const uint32_t cb = FoldCase(*b);
    if (ca != cb || ca == 0) return Sign(static_cast<int64_t>(ca) - cb);
  }
}

namespace winapi {

std::u16string FromCodePage(UINT codePage, const char* text) {
  std::u16string out;
  if (!text || !*text) return out;
  const int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(codePage, 0, text, -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string ToCodePage(UINT codePage, const char16_t* text) {
  std::string out;
  if (!text || !*text) return out;
  const int n = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  WideCharToMultiByte(codePage, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::u16string Widen(const char* utf8) { return FromCodePage(CP_UTF8, utf8); }
std::string Narrow(const char16_t* utf16) { return ToCodePage(CP_UTF8, utf16); }
std::u16string FromAnsi(const char* ansi) { return FromCodePage(CP_ACP, ansi); }
std::string ToAnsi(const char16_t* text) { return ToCodePage(CP_ACP, text); }

size_t AnsiPrefix(const std::string& ansi, size_t n) {
  if (n >= ansi.size()) return ansi.size();
  if (g_ansiCodePage.load() != CP_UTF8) return n;
  while (n > 0 && (static_cast<unsigned char>(ansi[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace winapi
