// CExplorerBar: the browser toolbar band that shows today's Solar Hijri date.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlobj.h>

#include "com_object.h"
#include "contained_window.h"
#include "date_text.h"
#include "daybander_ids.h"
#include "dispatch.h"
#include "owners.h"
#include "resource.h"

class CExplorerBar
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CExplorerBar, &CLSID_ExplorerBar>,
      public IObjectWithSite,
      public IPersistStream,
      public IDeskBand,
      public IInputObject,
      public IDispatchImpl<IExplorerBar, &IID_IExplorerBar, &LIBID_DAYBANDERLib, 1, 0>,
      public CMessageMap {
 public:
  // The format commands: each selects one of the three stored texts.
  static constexpr UINT FormatPersian = ID_FORMAT_PERSIAN;
  static constexpr UINT FormatEnglish = ID_FORMAT_ENGLISH;
  static constexpr UINT FormatNumeric = ID_FORMAT_NUMERIC;
  static constexpr int DefaultFontHeight = 15;
  static constexpr int FontHeightStep = 2;
  // The toolbar window's timer for the next date. Timer ids belong to the
  // window, and this window is the toolbar control's too, which sets timers of
  // its own under small ids of its choosing (one that takes the band's id
  // replaces the band's timer). The band takes an id from its own range, that
  // of its command ids (0x8000 up), next to the menu's commands.
  static constexpr UINT_PTR MidnightTimerId = 0x800B;
  // The longest the band waits before it looks at the date again.
  static constexpr UINT DateCheckInterval = 60 * 60 * 1000;

  CExplorerBar();
  CExplorerBar(const CExplorerBar&) = delete;
  CExplorerBar& operator=(const CExplorerBar&) = delete;
  ~CExplorerBar();

  static const InterfaceMapEntry* WINAPI GetInterfaceMap();

  // IObjectWithSite
  STDMETHOD(SetSite)(IUnknown* pUnkSite) override;
  STDMETHOD(GetSite)(REFIID riid, void** ppvSite) override;

  // IPersistStream (with IPersist): the two settings, in the settings stream's
  // own source file.
  STDMETHOD(GetClassID)(CLSID* pClassID) override;
  STDMETHOD(IsDirty)() override;
  STDMETHOD(Load)(IStream* pStm) override;
  STDMETHOD(Save)(IStream* pStm, BOOL fClearDirty) override;
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* pcbSize) override;

  // IOleWindow
  STDMETHOD(GetWindow)(HWND* phwnd) override;
  STDMETHOD(ContextSensitiveHelp)(BOOL fEnterMode) override;
  // IDockingWindow
  STDMETHOD(ShowDW)(BOOL fShow) override;
  STDMETHOD(CloseDW)(DWORD dwReserved) override;
  STDMETHOD(ResizeBorderDW)(LPCRECT prcBorder, IUnknown* punkToolbarSite, BOOL fReserved) override;
  // IDeskBand
  STDMETHOD(GetBandInfo)(DWORD dwBandID, DWORD dwViewMode, DESKBANDINFO* pdbi) override;

  // IInputObject
  STDMETHOD(UIActivateIO)(BOOL fActivate, MSG* pMsg) override;
  STDMETHOD(HasFocusIO)() override;
  STDMETHOD(TranslateAcceleratorIO)(MSG* pMsg) override;

  // CMessageMap: the toolbar window's messages (map 0 only).
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                            DWORD dwMsgMapID) override;

  // Windows, text and font.
  BOOL CreateBandWindows();
  void RefreshText();
  void UpdateFont();

  // Focus and the toolbar window's message handlers.
  void FocusChange(BOOL fFocus);
  LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  LRESULT OnContextMenu(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  LRESULT OnNcDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

  // Commands of the context menu.
  void OpenFullCalendar();
  // Carries out a command id of the context menu; 0 and unknown ids do nothing.
  void RunCommand(UINT command);

  // Today's date and its texts.
  int GregorianDayOfYear() const;
  int GregorianToFixed() const;
  static int HijriLeapYearsThrough(int n);
  static bool IsHijriLeapYear(int year);
  void FixedToSolarHijri(int dayNumber);
  static daybander::DateText ToPersianDigits(int value);
  void ComposeDateTexts();
  // A copy of the text of m_formatId; empty for an unknown format.
  daybander::DateText CurrentDateText() const;

  // Reads the local date; when it is not the date shown, converts it,
  // composes the texts and puts them over the Format captions and into the
  // text window. At construction, when sited, and on the toolbar's timer.
  void RefreshDate();
  void SetFormatCaptions();
  // Arms the timer of the toolbar window for the next local midnight, or for
  // DateCheckInterval from now when that comes first.
  void SetMidnightTimer();

  daybander::com_ptr<IInputObjectSite> m_spInputObjectSite;
  CContainedWindow m_wndToolbar;
  HWND m_wndStatic;
  HWND m_hwndParent;
  BOOL m_bFocus;
  DWORD m_dwViewMode;
  DWORD m_dwBandID;
  daybander::unique_hfont m_hFont;
  daybander::unique_hmenu m_hMenu;
  daybander::com_ptr<IWebBrowser2> m_spWebBrowser;
  int m_gregorianYear;
  int m_gregorianMonth;
  int m_gregorianDay;
  int m_hijriYear;
  int m_hijriMonth;
  int m_hijriDay;
  // The locale answer of construction, which decides how the Persian text is
  // written: a locale installed later does not change a band that exists.
  bool m_arabicInstalled;
  // The settings the stream carries.
  UINT m_formatId;
  int m_fontHeight;
  daybander::DateText m_persianText;
  daybander::DateText m_englishText;
  daybander::DateText m_numericText;
};
