// CExplorerBar: the host's window, layout and focus calls, the text child's
// size, focus reporting, and the per-band value written on close.
#include <string.h>

#include "explorer_bar.h"

namespace {

// The browser's per-band values, one per band class, opened and never created.
constexpr char BandStateKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";
constexpr DWORD BandStateSize = 24;

constexpr POINTL MinSize = {100, 20};
constexpr POINTL MaxSize = {150, 20};
constexpr POINTL Integral = {1, 1};
constexpr POINTL ActualSize = {50, 20};

void PutLittleEndian32(BYTE* at, DWORD value) {
  at[0] = static_cast<BYTE>(value);
  at[1] = static_cast<BYTE>(value >> 8);
  at[2] = static_cast<BYTE>(value >> 16);
  at[3] = static_cast<BYTE>(value >> 24);
}

}  // namespace

// ---- IOleWindow

STDMETHODIMP CExplorerBar::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = m_wndToolbar.m_hWnd;
  return S_OK;
}

STDMETHODIMP CExplorerBar::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---- IDockingWindow

STDMETHODIMP CExplorerBar::ShowDW(BOOL fShow) {
  if (m_wndToolbar.m_hWnd) ShowWindow(m_wndToolbar.m_hWnd, fShow ? SW_SHOW : SW_HIDE);
  return S_OK;
}

// Stores the class id and the two settings (the same 8 bytes as the settings
// stream) in the browser's per-band value, then hides and destroys the window.
// Registry failures are not the host's concern: the window goes regardless.
STDMETHODIMP CExplorerBar::CloseDW(DWORD) {
  BYTE value[BandStateSize];
  static_assert(sizeof(CLSID_ExplorerBar) == 16, "a class id is 16 bytes");
  memcpy(value, &CLSID_ExplorerBar, sizeof(CLSID_ExplorerBar));
  PutLittleEndian32(value + 16, m_formatId);
  PutLittleEndian32(value + 20, static_cast<DWORD>(m_fontHeight));

  daybander::unique_cotaskmem_string wideName;
  StringFromCLSID(CLSID_ExplorerBar, wideName.put());
  daybander::unique_hkey key;
  const LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, BandStateKey, 0, KEY_READ | KEY_WRITE, key.put());
  if (status == ERROR_SUCCESS && wideName) {
    char name[64];
    if (WideCharToMultiByte(CP_ACP, 0, wideName.get(), -1, name, sizeof(name), nullptr, nullptr) > 0) {
      RegSetValueExA(key.get(), name, 0, REG_BINARY, value, BandStateSize);
    }
  }

  ShowDW(FALSE);
  if (IsWindow(m_wndToolbar.m_hWnd)) DestroyWindow(m_wndToolbar.m_hWnd);
  return S_OK;
}

STDMETHODIMP CExplorerBar::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) { return E_NOTIMPL; }

// ---- IDeskBand

// A fixed size, whatever the font and the text: the actual width is below the
// minimum, and both are reported as they are.
STDMETHODIMP CExplorerBar::GetBandInfo(DWORD dwBandID, DWORD dwViewMode, DESKBANDINFO* pdbi) {
  if (!pdbi) return E_INVALIDARG;
  m_dwBandID = dwBandID;
  m_dwViewMode = dwViewMode;

  if (pdbi->dwMask & DBIM_MINSIZE) pdbi->ptMinSize = MinSize;
  if (pdbi->dwMask & DBIM_MAXSIZE) pdbi->ptMaxSize = MaxSize;
  if (pdbi->dwMask & DBIM_INTEGRAL) pdbi->ptIntegral = Integral;
  if (pdbi->dwMask & DBIM_ACTUAL) pdbi->ptActual = ActualSize;
  if (pdbi->dwMask & DBIM_TITLE) memset(pdbi->wszTitle, 0, sizeof(pdbi->wszTitle));
  if (pdbi->dwMask & DBIM_MODEFLAGS) pdbi->dwModeFlags = DBIMF_NORMAL;
  // The host paints its own background.
  if (pdbi->dwMask & DBIM_BKCOLOR) pdbi->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
  return S_OK;
}

// ---- IInputObject

// The focus flag follows the WM_SETFOCUS that SetFocus sends, not this call.
STDMETHODIMP CExplorerBar::UIActivateIO(BOOL fActivate, MSG*) {
  if (fActivate && m_wndToolbar.m_hWnd) SetFocus(m_wndToolbar.m_hWnd);
  return S_OK;
}

STDMETHODIMP CExplorerBar::HasFocusIO() { return m_bFocus ? S_OK : S_FALSE; }

STDMETHODIMP CExplorerBar::TranslateAcceleratorIO(MSG*) { return S_FALSE; }

// ---- Focus and size

void CExplorerBar::FocusChange(BOOL fFocus) {
  m_bFocus = fFocus;
  if (m_spInputObjectSite) m_spInputObjectSite->OnFocusChangeIS(static_cast<IDeskBand*>(this), fFocus);
}

// The text child fills the toolbar window's client area. The toolbar's first
// WM_SIZE comes inside its creation, before the child exists; a null window
// would mean the whole screen to InvalidateRect.
LRESULT CExplorerBar::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  if (!m_wndStatic) return 0;
  RECT client = {};
  GetClientRect(m_wndToolbar.m_hWnd, &client);
  MoveWindow(m_wndStatic, client.left, client.top, client.right - client.left, client.bottom - client.top, TRUE);
  InvalidateRect(m_wndStatic, nullptr, TRUE);
  return 0;
}

// The text child has gone with the toolbar window, and Windows gives its
// handle to the next window made, maybe another program's: the band forgets
// it. The toolbar's own procedure sees the message too.
LRESULT CExplorerBar::OnNcDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  m_wndStatic = nullptr;
  bHandled = FALSE;
  return 0;
}

LRESULT CExplorerBar::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  FocusChange(TRUE);
  bHandled = TRUE;
  return 0;
}

LRESULT CExplorerBar::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  FocusChange(FALSE);
  bHandled = TRUE;
  return 0;
}
