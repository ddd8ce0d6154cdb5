#include "browser_objects.h"

namespace host {

// ---------------------------------------------------------------------------
// Browser

STDMETHODIMP Browser::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser || riid == IID_IWebBrowserApp ||
      riid == IID_IWebBrowser2) {
    *ppv = static_cast<IWebBrowser2*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) Browser::AddRef() { return static_cast<ULONG>(++m_refs); }

STDMETHODIMP_(ULONG) Browser::Release() {
  const LONG refs = --m_refs;
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

STDMETHODIMP Browser::Navigate(BSTR URL, VARIANT* Flags, VARIANT*, VARIANT*, VARIANT* Headers) {
  if (!URL) return E_INVALIDARG;
  Navigation navigation;
  navigation.url.assign(URL, SysStringLen(URL));
  if (Flags && Flags->vt == VT_I4) navigation.flags = Flags->lVal;
  if (Headers && Headers->vt == VT_BSTR && Headers->bstrVal) {
    navigation.headers.assign(Headers->bstrVal, SysStringLen(Headers->bstrVal));
  }
  const bool refused = (navigation.flags & m_refusedFlags) != 0;
  m_navigations.push_back(navigation);
  return refused ? E_INVALIDARG : S_OK;
}

// Everything else a browser offers is not part of what a band may rely on.
#define HOST_NOT_IMPLEMENTED(signature) \
  STDMETHODIMP Browser::signature { return E_NOTIMPL; }

HOST_NOT_IMPLEMENTED(GetTypeInfoCount(UINT*))
HOST_NOT_IMPLEMENTED(GetTypeInfo(UINT, LCID, ITypeInfo**))
HOST_NOT_IMPLEMENTED(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
HOST_NOT_IMPLEMENTED(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
HOST_NOT_IMPLEMENTED(GoBack())
HOST_NOT_IMPLEMENTED(GoForward())
HOST_NOT_IMPLEMENTED(GoHome())
HOST_NOT_IMPLEMENTED(GoSearch())
HOST_NOT_IMPLEMENTED(Refresh())
HOST_NOT_IMPLEMENTED(Refresh2(VARIANT*))
HOST_NOT_IMPLEMENTED(Stop())
HOST_NOT_IMPLEMENTED(get_Application(IDispatch**))
HOST_NOT_IMPLEMENTED(get_Parent(IDispatch**))
HOST_NOT_IMPLEMENTED(get_Container(IDispatch**))
HOST_NOT_IMPLEMENTED(get_Document(IDispatch**))
HOST_NOT_IMPLEMENTED(get_TopLevelContainer(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(get_Type(BSTR*))
HOST_NOT_IMPLEMENTED(get_Left(LONG*))
HOST_NOT_IMPLEMENTED(put_Left(LONG))
HOST_NOT_IMPLEMENTED(get_Top(LONG*))
HOST_NOT_IMPLEMENTED(put_Top(LONG))
HOST_NOT_IMPLEMENTED(get_Width(LONG*))
HOST_NOT_IMPLEMENTED(put_Width(LONG))
HOST_NOT_IMPLEMENTED(get_Height(LONG*))
HOST_NOT_IMPLEMENTED(put_Height(LONG))
HOST_NOT_IMPLEMENTED(get_LocationName(BSTR*))
HOST_NOT_IMPLEMENTED(get_LocationURL(BSTR*))
HOST_NOT_IMPLEMENTED(get_Busy(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(Quit())
HOST_NOT_IMPLEMENTED(ClientToWindow(int*, int*))
HOST_NOT_IMPLEMENTED(PutProperty(BSTR, VARIANT))
HOST_NOT_IMPLEMENTED(GetProperty(BSTR, VARIANT*))
HOST_NOT_IMPLEMENTED(get_Name(BSTR*))
HOST_NOT_IMPLEMENTED(get_HWND(SHANDLE_PTR*))
HOST_NOT_IMPLEMENTED(get_FullName(BSTR*))
HOST_NOT_IMPLEMENTED(get_Path(BSTR*))
HOST_NOT_IMPLEMENTED(get_Visible(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_Visible(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_StatusBar(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_StatusBar(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_StatusText(BSTR*))
HOST_NOT_IMPLEMENTED(put_StatusText(BSTR))
HOST_NOT_IMPLEMENTED(get_ToolBar(int*))
HOST_NOT_IMPLEMENTED(put_ToolBar(int))
HOST_NOT_IMPLEMENTED(get_MenuBar(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_MenuBar(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_FullScreen(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_FullScreen(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*))
HOST_NOT_IMPLEMENTED(QueryStatusWB(OLECMDID, OLECMDF*))
HOST_NOT_IMPLEMENTED(ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*))
HOST_NOT_IMPLEMENTED(ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*))
HOST_NOT_IMPLEMENTED(get_ReadyState(READYSTATE*))
HOST_NOT_IMPLEMENTED(get_Offline(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_Offline(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_Silent(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_Silent(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_RegisterAsBrowser(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_RegisterAsBrowser(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_RegisterAsDropTarget(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_RegisterAsDropTarget(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_TheaterMode(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_TheaterMode(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_AddressBar(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_AddressBar(VARIANT_BOOL))
HOST_NOT_IMPLEMENTED(get_Resizable(VARIANT_BOOL*))
HOST_NOT_IMPLEMENTED(put_Resizable(VARIANT_BOOL))
#undef HOST_NOT_IMPLEMENTED

// ---------------------------------------------------------------------------
// ToolbarSite

ToolbarSite::ToolbarSite(HWND window, Browser* browser) : m_window(window), m_browser(browser) {
  if (m_browser) m_browser->AddRef();
}

ToolbarSite::~ToolbarSite() {
  if (m_browser) m_browser->Release();
}

STDMETHODIMP ToolbarSite::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IOleWindow) {
    *ppv = static_cast<IOleWindow*>(this);
  } else if (riid == IID_IInputObjectSite) {
    *ppv = static_cast<IInputObjectSite*>(this);
  } else if (riid == IID_IOleCommandTarget) {
    *ppv = static_cast<IOleCommandTarget*>(this);
  } else if (riid == IID_IServiceProvider) {
    *ppv = static_cast<IServiceProvider*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ToolbarSite::AddRef() { return static_cast<ULONG>(++m_refs); }

STDMETHODIMP_(ULONG) ToolbarSite::Release() {
  const LONG refs = --m_refs;
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

STDMETHODIMP ToolbarSite::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = m_window;
  return m_window ? S_OK : E_FAIL;
}

STDMETHODIMP ToolbarSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP ToolbarSite::OnFocusChangeIS(IUnknown*, BOOL fSetFocus) {
  m_lastFocus = fSetFocus ? 1 : 0;
  return S_OK;
}

STDMETHODIMP ToolbarSite::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) { return E_NOTIMPL; }
STDMETHODIMP ToolbarSite::Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) { return E_NOTIMPL; }

STDMETHODIMP ToolbarSite::QueryService(REFGUID guidService, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (guidService != SID_SWebBrowserApp || !m_browser) return E_NOINTERFACE;
  return m_browser->QueryInterface(riid, ppv);
}

}  // namespace host
