// The browser's side of a band: the toolbar site the band is given and the
// browser it finds through it. These are the objects the band calls
// (IOleWindow, IInputObjectSite, IOleCommandTarget, IServiceProvider and
// IWebBrowser2::Navigate); they record what the band asks of them.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace host {

// One Navigate call as the browser received it.
struct Navigation {
  std::u16string url;
  LONG flags = 0;
  std::u16string headers;
};

class Browser : public IWebBrowser2 {
 public:
  Browser() = default;
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;
  virtual ~Browser() = default;

  const std::vector<Navigation>& navigations() const { return m_navigations; }
  // Flags the browser refuses, as a browser without tabs refuses
  // navOpenInNewTab: Navigate then fails with E_INVALIDARG.
  void RefuseFlags(LONG flags) { m_refusedFlags = flags; }

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  // IDispatch
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override;
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
  // IWebBrowser
  STDMETHOD(GoBack)() override;
  STDMETHOD(GoForward)() override;
  STDMETHOD(GoHome)() override;
  STDMETHOD(GoSearch)() override;
  STDMETHOD(Navigate)(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                      VARIANT* Headers) override;
  STDMETHOD(Refresh)() override;
  STDMETHOD(Refresh2)(VARIANT*) override;
  STDMETHOD(Stop)() override;
  STDMETHOD(get_Application)(IDispatch**) override;
  STDMETHOD(get_Parent)(IDispatch**) override;
  STDMETHOD(get_Container)(IDispatch**) override;
  STDMETHOD(get_Document)(IDispatch**) override;
  STDMETHOD(get_TopLevelContainer)(VARIANT_BOOL*) override;
  STDMETHOD(get_Type)(BSTR*) override;
  STDMETHOD(get_Left)(LONG*) override;
  STDMETHOD(put_Left)(LONG) override;
  STDMETHOD(get_Top)(LONG*) override;
  STDMETHOD(put_Top)(LONG) override;
  STDMETHOD(get_Width)(LONG*) override;
  STDMETHOD(put_Width)(LONG) override;
  STDMETHOD(get_Height)(LONG*) override;
  STDMETHOD(put_Height)(LONG) override;
  STDMETHOD(get_LocationName)(BSTR*) override;
  STDMETHOD(get_LocationURL)(BSTR*) override;
  STDMETHOD(get_Busy)(VARIANT_BOOL*) override;
  // IWebBrowserApp
  STDMETHOD(Quit)() override;
  STDMETHOD(ClientToWindow)(int*, int*) override;
  STDMETHOD(PutProperty)(BSTR, VARIANT) override;
  STDMETHOD(GetProperty)(BSTR, VARIANT*) override;
  STDMETHOD(get_Name)(BSTR*) override;
  STDMETHOD(get_HWND)(SHANDLE_PTR*) override;
  STDMETHOD(get_FullName)(BSTR*) override;
  STDMETHOD(get_Path)(BSTR*) override;
  STDMETHOD(get_Visible)(VARIANT_BOOL*) override;
  STDMETHOD(put_Visible)(VARIANT_BOOL) override;
  STDMETHOD(get_StatusBar)(VARIANT_BOOL*) override;
  STDMETHOD(put_StatusBar)(VARIANT_BOOL) override;
  STDMETHOD(get_StatusText)(BSTR*) override;
  STDMETHOD(put_StatusText)(BSTR) override;
  STDMETHOD(get_ToolBar)(int*) override;
  STDMETHOD(put_ToolBar)(int) override;
  STDMETHOD(get_MenuBar)(VARIANT_BOOL*) override;
  STDMETHOD(put_MenuBar)(VARIANT_BOOL) override;
  STDMETHOD(get_FullScreen)(VARIANT_BOOL*) override;
  STDMETHOD(put_FullScreen)(VARIANT_BOOL) override;
  // IWebBrowser2
  STDMETHOD(Navigate2)(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override;
  STDMETHOD(QueryStatusWB)(OLECMDID, OLECMDF*) override;
  STDMETHOD(ExecWB)(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override;
  STDMETHOD(ShowBrowserBar)(VARIANT*, VARIANT*, VARIANT*) override;
  STDMETHOD(get_ReadyState)(READYSTATE*) override;
  STDMETHOD(get_Offline)(VARIANT_BOOL*) override;
  STDMETHOD(put_Offline)(VARIANT_BOOL) override;
  STDMETHOD(get_Silent)(VARIANT_BOOL*) override;
  STDMETHOD(put_Silent)(VARIANT_BOOL) override;
  STDMETHOD(get_RegisterAsBrowser)(VARIANT_BOOL*) override;
  STDMETHOD(put_RegisterAsBrowser)(VARIANT_BOOL) override;
  STDMETHOD(get_RegisterAsDropTarget)(VARIANT_BOOL*) override;
  STDMETHOD(put_RegisterAsDropTarget)(VARIANT_BOOL) override;
  STDMETHOD(get_TheaterMode)(VARIANT_BOOL*) override;
  STDMETHOD(put_TheaterMode)(VARIANT_BOOL) override;
  STDMETHOD(get_AddressBar)(VARIANT_BOOL*) override;
  STDMETHOD(put_AddressBar)(VARIANT_BOOL) override;
  STDMETHOD(get_Resizable)(VARIANT_BOOL*) override;
  STDMETHOD(put_Resizable)(VARIANT_BOOL) override;

 private:
  LONG m_refs = 1;
  LONG m_refusedFlags = 0;
  std::vector<Navigation> m_navigations;
};

// The toolbar site: its window is the band's parent; it reports focus changes
// and offers the browser as the SID_SWebBrowserApp service.
class ToolbarSite : public IOleWindow, public IInputObjectSite, public IOleCommandTarget, public IServiceProvider {
 public:
  ToolbarSite(HWND window, Browser* browser);
  ToolbarSite(const ToolbarSite&) = delete;
  ToolbarSite& operator=(const ToolbarSite&) = delete;
  virtual ~ToolbarSite();

  // The last focus change the band reported: -1 none, else 0 or 1.
  int lastFocus() const { return m_lastFocus; }

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  // IOleWindow
  STDMETHOD(GetWindow)(HWND* phwnd) override;
  STDMETHOD(ContextSensitiveHelp)(BOOL fEnterMode) override;
  // IInputObjectSite
  STDMETHOD(OnFocusChangeIS)(IUnknown* punkObj, BOOL fSetFocus) override;
  // IOleCommandTarget
  STDMETHOD(QueryStatus)(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) override;
  STDMETHOD(Exec)(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override;
  // IServiceProvider
  STDMETHOD(QueryService)(REFGUID guidService, REFIID riid, void** ppv) override;

 private:
  LONG m_refs = 1;
  HWND m_window;
  Browser* m_browser;
  int m_lastFocus = -1;
};

}  // namespace host
