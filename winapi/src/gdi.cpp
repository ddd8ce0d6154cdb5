// Fonts. Nothing is drawn here: a font is the LOGFONT it was created from,
// which GetObject gives back, so the host and tests can see what was asked for.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "internal.h"
#include "loader_lock.h"
#include "winapi_control.h"

namespace {

struct Font {
  LOGFONTW logFont;
  bool stock;
};

std::mutex g_lock;
std::map<HGDIOBJ, Font> g_fonts;

// Taken by every font function: each is a call into Gdi32, which code under
// the loader lock must not make.
struct FontsLock : std::lock_guard<std::mutex> {
  FontsLock() : std::lock_guard<std::mutex>(g_lock) { winapi::CheckNotUnderLoaderLock("Gdi32"); }
};

// The stock fonts exist from the start and are never freed.
HGDIOBJ StockFont(int index) {
  static const struct {
    int index;
    LONG height;
    LONG weight;
    BYTE pitch;
    const char16_t* face;
  } kStock[] = {
      {OEM_FIXED_FONT, 12, FW_NORMAL, FIXED_PITCH | FF_MODERN, u"Terminal"},
      {ANSI_FIXED_FONT, 12, FW_NORMAL, FIXED_PITCH | FF_MODERN, u"Courier"},
      {ANSI_VAR_FONT, 12, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, u"MS Sans Serif"},
      {SYSTEM_FONT, 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS, u"System"},
      {DEVICE_DEFAULT_FONT, 16, FW_NORMAL, DEFAULT_PITCH, u"System"},
      {SYSTEM_FIXED_FONT, 16, FW_NORMAL, FIXED_PITCH | FF_MODERN, u"Fixedsys"},
      {DEFAULT_GUI_FONT, -11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, u"MS Shell Dlg"},
  };
  static HGDIOBJ handles[sizeof(kStock) / sizeof(kStock[0])];
  for (size_t i = 0; i < sizeof(kStock) / sizeof(kStock[0]); ++i) {
    if (kStock[i].index != index) continue;
    if (!handles[i]) {
      Font font{};
      font.stock = true;
      font.logFont.lfHeight = kStock[i].height;
      font.logFont.lfWeight = kStock[i].weight;
      font.logFont.lfCharSet = DEFAULT_CHARSET;
      font.logFont.lfPitchAndFamily = kStock[i].pitch;
      std::copy(kStock[i].face, kStock[i].face + std::char_traits<char16_t>::length(kStock[i].face),
                font.logFont.lfFaceName);
      handles[i] = reinterpret_cast<HGDIOBJ>(winapi::NewObjectHandle());
      g_fonts[handles[i]] = font;
    }
    return handles[i];
  }
  return nullptr;
}

HFONT AddFont(const LOGFONTW& logFont) {
  Font font{logFont, false};
  font.logFont.lfFaceName[LF_FACESIZE - 1] = 0;
  auto handle = reinterpret_cast<HFONT>(winapi::NewObjectHandle());
  {
    FontsLock hold;
    g_fonts[handle] = font;
  }
  WinapiCountObject(WinapiFonts, 1);
  return handle;
}

void WideFace(LPCSTR face, WCHAR* out) {
  std::memset(out, 0, LF_FACESIZE * sizeof(WCHAR));
  if (!face) return;
  const std::u16string wide = winapi::FromAnsi(face);
  std::copy_n(wide.begin(), std::min<size_t>(wide.size(), LF_FACESIZE - 1), out);
}

LOGFONTW FontFromArguments(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                           DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                           DWORD quality, DWORD pitchAndFamily) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  return lf;
}

bool FindFont(HGDIOBJ handle, LOGFONTW* out) {
  FontsLock hold;
  auto it = g_fonts.find(handle);
  if (it == g_fonts.end()) return false;
  *out = it->second.logFont;
  return true;
}

}  // namespace

EXTERN_C HFONT WINAPI CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR face) {
  LOGFONTW lf = FontFromArguments(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                                  charSet, outPrecision, clipPrecision, quality, pitchAndFamily);
  for (int i = 0; face && face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return AddFont(lf);
}

EXTERN_C HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
  LOGFONTW lf = FontFromArguments(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                                  charSet, outPrecision, clipPrecision, quality, pitchAndFamily);
  WideFace(face, lf.lfFaceName);
  return AddFont(lf);
}

EXTERN_C HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf) {
  if (!lplf) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return AddFont(*lplf);
}

EXTERN_C HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
  if (!lplf) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LOGFONTW lf{};
  std::memcpy(&lf, lplf, offsetof(LOGFONTA, lfFaceName));
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, lplf->lfFaceName, LF_FACESIZE);
  WideFace(face, lf.lfFaceName);
  return AddFont(lf);
}

EXTERN_C int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv) {
  LOGFONTW lf;
  if (!FindFont(h, &lf)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!pv) return sizeof(LOGFONTW);
  if (c <= 0) return 0;
  const int n = std::min<int>(c, sizeof(LOGFONTW));
  std::memcpy(pv, &lf, static_cast<size_t>(n));
  return n;
}

EXTERN_C int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  LOGFONTW lf;
  if (!FindFont(h, &lf)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!pv) return sizeof(LOGFONTA);
  if (c <= 0) return 0;
  LOGFONTA out{};
  std::memcpy(&out, &lf, offsetof(LOGFONTA, lfFaceName));
  WCHAR face[LF_FACESIZE + 1] = {};
  std::copy_n(lf.lfFaceName, LF_FACESIZE, face);
  const std::string narrow = winapi::ToAnsi(face);
  // A face is cut at a character boundary, never inside a character.
  const size_t keep = winapi::AnsiPrefix(narrow, LF_FACESIZE - 1);
  std::memcpy(out.lfFaceName, narrow.data(), keep);
  const int n = std::min<int>(c, sizeof(LOGFONTA));
  std::memcpy(pv, &out, static_cast<size_t>(n));
  return n;
}

EXTERN_C DWORD WINAPI GetObjectType(HGDIOBJ h) {
  FontsLock hold;
  if (g_fonts.count(h)) return OBJ_FONT;
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

EXTERN_C HGDIOBJ WINAPI GetStockObject(int i) {
  FontsLock hold;
  return StockFont(i);
}

// Stock objects may be "deleted": the call succeeds and they stay.
EXTERN_C BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  {
    FontsLock hold;
    auto it = g_fonts.find(ho);
    if (it == g_fonts.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (it->second.stock) return TRUE;
    g_fonts.erase(it);
  }
  WinapiCountObject(WinapiFonts, -1);
  return TRUE;
}
