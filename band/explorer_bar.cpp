// CExplorerBar: construction, the site, the two windows, the text and the font,
// and today's date.
#include "explorer_bar.h"

#include <algorithm>

#include "module_instance.h"
#include "solar_hijri.h"

namespace {

constexpr char ToolbarClassName[] = "ToolbarWindow32";
// WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_TRANSPARENT
// | CCS_NODIVIDER | CCS_NORESIZE: an empty, transparent toolbar that the host
// places itself.
constexpr DWORD ToolbarStyle = 0x56008044;
// WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_NOPREFIX | SS_CENTER. Without
// SS_NOTIFY the clicks on the text go to the toolbar window.
constexpr DWORD TextStyle = 0x54000081;
// Arabic (Saudi Arabia): with it installed, the Persian text is written in
// logical order.
constexpr LCID ArabicLocale = 0x0401;

constexpr DWORD MillisecondsPerDay = 24 * 60 * 60 * 1000;

}  // namespace

// ---- Construction and destruction

CExplorerBar::CExplorerBar()
    : m_wndToolbar(ToolbarClassName, this, 0),
      m_wndStatic(nullptr),
      m_hwndParent(nullptr),
      m_bFocus(FALSE),
      m_dwViewMode(0),
      m_dwBandID(0),
      m_gregorianYear(0),
      m_gregorianMonth(0),
      m_gregorianDay(0),
      m_hijriYear(0),
      m_hijriMonth(0),
      m_hijriDay(0),
      m_arabicInstalled(IsValidLocale(ArabicLocale, LCID_INSTALLED) != FALSE),
      m_formatId(FormatPersian),
      m_fontHeight(DefaultFontHeight) {
  m_hMenu.reset(LoadMenuA(GetModuleInstance(), MAKEINTRESOURCEA(IDR_CONTEXTMENU)));
  RefreshDate();
}

// The windows are CloseDW's to destroy; a toolbar window still alive here is
// only unbound from this object (by m_wndToolbar).
CExplorerBar::~CExplorerBar() {
  m_hMenu.reset();
  m_hFont.reset();
  m_spWebBrowser.reset();
}

// ---- QueryInterface

// IExplorerBar first: it is the object's identity. IOleWindow and
// IDockingWindow are reachable only through IDeskBand, never by their ids.
const InterfaceMapEntry* WINAPI CExplorerBar::GetInterfaceMap() {
  static const InterfaceMapEntry entries[] = {
      {&IID_IExplorerBar, OffsetOfBase<IExplorerBar, CExplorerBar>()},
      {&IID_IObjectWithSite, OffsetOfBase<IObjectWithSite, CExplorerBar>()},
      {&IID_IPersistStream, OffsetOfBase<IPersistStream, CExplorerBar>()},
      {&IID_IPersist, OffsetOfBase<IPersistStream, CExplorerBar>()},
      {&IID_IDeskBand, OffsetOfBase<IDeskBand, CExplorerBar>()},
      {&IID_IInputObject, OffsetOfBase<IInputObject, CExplorerBar>()},
      {&IID_IDispatch, OffsetOfBase<IExplorerBar, CExplorerBar>()},
      {nullptr, 0},
  };
  return entries;
}

// ---- IObjectWithSite

STDMETHODIMP CExplorerBar::SetSite(IUnknown* pUnkSite) {
  m_spInputObjectSite.reset();
  m_spWebBrowser.reset();
  if (!pUnkSite) return S_OK;

  m_hwndParent = nullptr;
  daybander::com_ptr<IOleWindow> oleWindow;
  if (SUCCEEDED(pUnkSite->QueryInterface(IID_IOleWindow, oleWindow.put_void())) && oleWindow) {
    HWND parent = nullptr;
    oleWindow->GetWindow(&parent);
    m_hwndParent = parent;
  }
  if (!m_hwndParent) return E_FAIL;
  // A band closed and sited again, maybe days later, shows today.
  RefreshDate();
  if (!CreateBandWindows()) return E_FAIL;

  if (FAILED(pUnkSite->QueryInterface(IID_IInputObjectSite, m_spInputObjectSite.put_void()))) return E_FAIL;

  // The browser is optional: without it only the full-calendar page is missing.
  daybander::com_ptr<IOleCommandTarget> commandTarget;
  if (FAILED(pUnkSite->QueryInterface(IID_IOleCommandTarget, commandTarget.put_void())) || !commandTarget) {
    return S_OK;
  }
  daybander::com_ptr<IServiceProvider> serviceProvider;
  if (FAILED(commandTarget.query(IID_IServiceProvider, &serviceProvider)) || !serviceProvider) return S_OK;
  serviceProvider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, m_spWebBrowser.put_void());
  return S_OK;
}

// What the band keeps of its site is the site's IInputObjectSite.
STDMETHODIMP CExplorerBar::GetSite(REFIID riid, void** ppvSite) {
  if (!ppvSite) return E_POINTER;
  *ppvSite = nullptr;
  if (!m_spInputObjectSite) return E_FAIL;
  return m_spInputObjectSite->QueryInterface(riid, ppvSite);
}

// ---- Windows, text and font

BOOL CExplorerBar::CreateBandWindows() {
  if (m_wndToolbar.m_hWnd) return TRUE;
  if (!m_hwndParent) return FALSE;

  if (!m_wndToolbar.Create(m_hwndParent, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                           ToolbarStyle, 0, nullptr, nullptr)) {
    return FALSE;
  }
  m_wndStatic = CreateWindowExW(0, OLESTR("STATIC"), OLESTR(""), TextStyle, 0, 0, 0, 0, m_wndToolbar.m_hWnd,
                                nullptr, GetModuleInstance(), nullptr);
  RefreshText();
  UpdateFont();
  SetMidnightTimer();
  return TRUE;
}

void CExplorerBar::RefreshText() {
  if (m_wndStatic) SetWindowTextW(m_wndStatic, CurrentDateText().c_str());
}

// The child gets the new font before the old one is deleted.
void CExplorerBar::UpdateFont() {
  const daybander::unique_hfont oldFont(m_hFont.release());
  m_hFont.reset(CreateFontA(m_fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            "Times New Roman"));
  if (m_wndStatic) SendMessageA(m_wndStatic, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont.get()), TRUE);
}

// ---- Today's date

int CExplorerBar::GregorianDayOfYear() const {
  return daybander::GregorianDayOfYear(m_gregorianYear, m_gregorianMonth, m_gregorianDay);
}

int CExplorerBar::GregorianToFixed() const {
  return daybander::GregorianToFixed(m_gregorianYear, m_gregorianMonth, m_gregorianDay);
}

int CExplorerBar::HijriLeapYearsThrough(int n) { return daybander::HijriLeapYearsThrough(n); }

bool CExplorerBar::IsHijriLeapYear(int year) { return daybander::IsHijriLeapYear(year); }

void CExplorerBar::FixedToSolarHijri(int dayNumber) {
  const daybander::SolarHijriDate date = daybander::FixedToSolarHijri(dayNumber);
  m_hijriYear = date.year;
  m_hijriMonth = date.month;
  m_hijriDay = date.day;
}

daybander::DateText CExplorerBar::ToPersianDigits(int value) { return daybander::ToPersianDigits(value); }

void CExplorerBar::ComposeDateTexts() {
  const daybander::DateTexts texts = daybander::ComposeDateTexts(
      daybander::SolarHijriDate{m_hijriYear, m_hijriMonth, m_hijriDay}, m_arabicInstalled);
  m_persianText = texts.persian;
  m_englishText = texts.english;
  m_numericText = texts.numeric;
}

daybander::DateText CExplorerBar::CurrentDateText() const {
  switch (m_formatId) {
    case FormatPersian:
      return m_persianText;
    case FormatEnglish:
      return m_englishText;
    case FormatNumeric:
      return m_numericText;
    default:
      return daybander::DateText();
  }
}

void CExplorerBar::RefreshDate() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  if (now.wYear == m_gregorianYear && now.wMonth == m_gregorianMonth && now.wDay == m_gregorianDay) return;
  m_gregorianYear = now.wYear;
  m_gregorianMonth = now.wMonth;
  m_gregorianDay = now.wDay;
  FixedToSolarHijri(GregorianToFixed());
  ComposeDateTexts();
  SetFormatCaptions();
  RefreshText();
}

// The Format popup (position 1 of the context menu) offers today's date in each
// format in place of the format names.
void CExplorerBar::SetFormatCaptions() {
  if (!m_hMenu) return;
  const HMENU format = GetSubMenu(GetSubMenu(m_hMenu.get(), 0), 1);
  if (!format) return;
  ModifyMenuW(format, FormatPersian, MF_BYCOMMAND | MF_STRING, FormatPersian, m_persianText.c_str());
  ModifyMenuW(format, FormatEnglish, MF_BYCOMMAND | MF_STRING, FormatEnglish, m_englishText.c_str());
  ModifyMenuW(format, FormatNumeric, MF_BYCOMMAND | MF_STRING, FormatNumeric, m_numericText.c_str());
}

void CExplorerBar::SetMidnightTimer() {
  if (!m_wndToolbar.m_hWnd) return;
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  const DWORD sinceMidnight =
      ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
  // A timer that comes early finds the same date and is simply armed again.
  const DWORD untilMidnight = sinceMidnight < MillisecondsPerDay ? MillisecondsPerDay - sinceMidnight : 1;
  // The clock may move under the band (daylight saving time, the user setting
  // it), and WM_TIMECHANGE, which Windows sends to top-level windows only,
  // never reaches this child window: the band looks again within the hour.
  SetTimer(m_wndToolbar.m_hWnd, MidnightTimerId, std::min<DWORD>(untilMidnight, DateCheckInterval), nullptr);
}
