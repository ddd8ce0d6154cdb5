// CExplorerBar: the toolbar window's message map, the context menu and the
// commands behind it.
#include <limits.h>

#include "explorer_bar.h"
#include "module_instance.h"

namespace {

// TPM_RETURNCMD | TPM_RIGHTBUTTON, left- and top-aligned at the click.
constexpr UINT PopupFlags = TPM_RETURNCMD | TPM_RIGHTBUTTON;

// Steps a height by delta, stopping at the limits of an int instead of passing
// them (a height loaded from a stream can be anything).
int StepHeight(int height, int delta) {
  if (delta > 0 && height > INT_MAX - delta) return INT_MAX;
  if (delta < 0 && height < INT_MIN - delta) return INT_MIN;
  return height + delta;
}

// Appends text to a fixed buffer; false when it does not fit.
bool Append(WCHAR* buffer, int capacity, int* length, const WCHAR* text) {
  for (; *text; ++text) {
    if (*length >= capacity - 1) return false;
    buffer[(*length)++] = *text;
  }
  buffer[*length] = 0;
  return true;
}

}  // namespace

// ---- CMessageMap

BOOL CExplorerBar::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                        DWORD dwMsgMapID) {
  if (dwMsgMapID != 0) return FALSE;
  BOOL bHandled = TRUE;
  switch (uMsg) {
    case WM_LBUTTONUP:
      lResult = OnLButtonUp(uMsg, wParam, lParam, bHandled);
      break;
    case WM_CONTEXTMENU:
      lResult = OnContextMenu(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SETFOCUS:
      lResult = OnSetFocus(uMsg, wParam, lParam, bHandled);
      break;
    case WM_KILLFOCUS:
      lResult = OnKillFocus(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SIZE:
      lResult = OnSize(uMsg, wParam, lParam, bHandled);
      break;
    case WM_TIMER:
      lResult = OnTimer(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCDESTROY:
      lResult = OnNcDestroy(uMsg, wParam, lParam, bHandled);
      break;
    default:
      return FALSE;
  }
  return bHandled;
}

// ---- Handlers

LRESULT CExplorerBar::OnContextMenu(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  SetFocus(m_wndToolbar.m_hWnd);
  if (!m_hMenu) return 0;
  // Screen coordinates, signed: (-1, -1) when the menu key asked for the menu.
  const int x = static_cast<SHORT>(LOWORD(lParam));
  const int y = static_cast<SHORT>(HIWORD(lParam));
  // The menu runs a message loop of its own until the user answers: the host
  // may release the band meanwhile, so the band holds itself until the
  // command is carried out.
  IDeskBand* const self = this;
  self->AddRef();
  daybander::com_ptr<IDeskBand> keepAlive;
  keepAlive.attach(self);
  const int command =
      TrackPopupMenu(GetSubMenu(m_hMenu.get(), 0), PopupFlags, x, y, 0, m_wndToolbar.m_hWnd, nullptr);
  RunCommand(static_cast<UINT>(command));
  return 0;
}

LRESULT CExplorerBar::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  OpenFullCalendar();
  return 0;
}

// Only the midnight timer is the band's; any other timer is the toolbar's own.
LRESULT CExplorerBar::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  if (wParam != MidnightTimerId) {
    bHandled = FALSE;
    return 0;
  }
  bHandled = TRUE;
  RefreshDate();
  SetMidnightTimer();
  return 0;
}

// ---- Commands

void CExplorerBar::RunCommand(UINT command) {
  switch (command) {
    case ID_FULL_CALENDAR:
      OpenFullCalendar();
      break;
    case FormatPersian:
    case FormatEnglish:
    case FormatNumeric:
      m_formatId = command;
      RefreshText();
      break;
    case ID_SIZE_INCREASE:
      m_fontHeight = StepHeight(m_fontHeight, FontHeightStep);
      UpdateFont();
      break;
    case ID_SIZE_DECREASE:
      m_fontHeight = StepHeight(m_fontHeight, -FontHeightStep);
      UpdateFont();
      break;
    default:
      break;
  }
}

// The page lives in the library's own resources: res://<library path>/jcal,
// referred from the library's root. A new tab first; a browser that refuses
// tabs gets a new window. Without a browser, or without memory for the
// strings, nothing happens.
void CExplorerBar::OpenFullCalendar() {
  if (!m_spWebBrowser) return;

  // The URL is UTF-16, so the name is taken as it is: through the ANSI code
  // page a letter it lacks would become '?' and name no file.
  WCHAR widePath[MAX_PATH];
  const DWORD pathLength = GetModuleFileNameW(GetModuleInstance(), widePath, MAX_PATH);
  if (pathLength == 0 || pathLength >= MAX_PATH) return;

  constexpr int Capacity = MAX_PATH + 32;
  WCHAR url[Capacity];
  WCHAR referer[Capacity];
  int urlLength = 0;
  int refererLength = 0;
  if (!Append(url, Capacity, &urlLength, OLESTR("res://")) || !Append(url, Capacity, &urlLength, widePath) ||
      !Append(url, Capacity, &urlLength, OLESTR("/jcal")) ||
      !Append(referer, Capacity, &refererLength, OLESTR("Referer: res://")) ||
      !Append(referer, Capacity, &refererLength, widePath) ||
      !Append(referer, Capacity, &refererLength, OLESTR("/\r\n"))) {
    return;
  }

  const daybander::unique_bstr urlText(SysAllocString(url));
  if (!urlText) return;
  daybander::unique_variant empty;
  daybander::unique_variant headers;
  daybander::unique_variant flags;
  headers->bstrVal = SysAllocString(referer);
  if (!headers->bstrVal) return;
  headers->vt = VT_BSTR;
  flags->vt = VT_I4;
  flags->lVal = navOpenInNewTab;

  const HRESULT hr = m_spWebBrowser->Navigate(urlText.get(), flags.get(), empty.get(), empty.get(), headers.get());
  if (FAILED(hr) && m_spWebBrowser) {
    flags->lVal = navOpenInNewWindow;
    m_spWebBrowser->Navigate(urlText.get(), flags.get(), empty.get(), empty.get(), headers.get());
  }
}
