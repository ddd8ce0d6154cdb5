// Fakes of the host's objects that a band talks to: the toolbar site (its
// window, focus notifications, command target and service provider) and the
// web browser. Each succeeds by default, records what it is asked, and can be
// told to fail a particular call. They count their references but are owned by
// the test, which checks that the count is back at 1 when the band is done.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlobj.h>

#include <deque>
#include <string>
#include <vector>

namespace fakes {

// Reference counting shared by the fakes: never deletes (the test owns them).
class Counted {
 public:
  ULONG refs() const { return m_refs; }

 protected:
  ULONG AddRefImpl() { return ++m_refs; }
  ULONG ReleaseImpl() { return --m_refs; }

 private:
  ULONG m_refs = 1;
};

// One call of IWebBrowser::Navigate, as the browser saw it.
struct NavigateCall {
  std::u16string url;
  VARTYPE flagsType;
  LONG flags;
  VARTYPE targetFrameType;
  VARTYPE postDataType;
  VARTYPE headersType;
  std::u16string headers;
};

class FakeBrowser : public IWebBrowser2, public Counted {
 public:
  // VT_ERROR stands for a missing argument.
  static VARTYPE TypeOf(const VARIANT* v) { return v ? v->vt : static_cast<VARTYPE>(VT_ERROR); }

  // Results for the next Navigate calls, in order; S_OK once they run out.
  std::deque<HRESULT> navigateResults;
  std::vector<NavigateCall> navigateCalls;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
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
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  STDMETHODIMP Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                        VARIANT* Headers) override {
    NavigateCall call{};
    call.url = URL ? std::u16string(URL, SysStringLen(URL)) : std::u16string();
    call.flagsType = TypeOf(Flags);
    call.flags = TypeOf(Flags) == VT_I4 ? Flags->lVal : -1;
    call.targetFrameType = TypeOf(TargetFrameName);
    call.postDataType = TypeOf(PostData);
    call.headersType = TypeOf(Headers);
    if (Headers && Headers->vt == VT_BSTR && Headers->bstrVal) {
      call.headers.assign(Headers->bstrVal, SysStringLen(Headers->bstrVal));
    }
    navigateCalls.push_back(call);
    if (navigateResults.empty()) return S_OK;
    const HRESULT hr = navigateResults.front();
    navigateResults.pop_front();
    return hr;
  }

  // Nothing else of the browser is used by a band.
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GoBack() override { return E_NOTIMPL; }
  STDMETHODIMP GoForward() override { return E_NOTIMPL; }
  STDMETHODIMP GoHome() override { return E_NOTIMPL; }
  STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
  STDMETHODIMP Refresh() override { return E_NOTIMPL; }
  STDMETHODIMP Refresh2(VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP Stop() override { return E_NOTIMPL; }
  STDMETHODIMP get_Application(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Parent(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Container(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Document(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Type(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Left(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Left(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Top(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Top(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Width(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Width(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Height(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Height(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationURL(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP Quit() override { return E_NOTIMPL; }
  STDMETHODIMP ClientToWindow(int*, int*) override { return E_NOTIMPL; }
  STDMETHODIMP PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Path(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusText(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusText(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_ToolBar(int*) override { return E_NOTIMPL; }
  STDMETHODIMP put_ToolBar(int) override { return E_NOTIMPL; }
  STDMETHODIMP get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
  STDMETHODIMP ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP get_ReadyState(READYSTATE*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }
};

// One call of IInputObjectSite::OnFocusChangeIS.
struct FocusCall {
  IUnknown* object;
  BOOL focus;
};

// The browser's toolbar site. Which interfaces it offers, the window it gives
// and the browser it serves are the test's to set before SetSite.
class FakeSite : public IOleWindow,
                 public IInputObjectSite,
                 public IOleCommandTarget,
                 public IServiceProvider,
                 public Counted {
 public:
  HWND window = nullptr;
  bool offersOleWindow = true;
  bool offersInputObjectSite = true;
  bool offersCommandTarget = true;
  bool offersServiceProvider = true;
  FakeBrowser* browser = nullptr;  // null: QueryService finds no browser

  std::vector<FocusCall> focusCalls;
  std::vector<GUID> queryServiceCalls;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IOleWindow*>(this);
    } else if (riid == IID_IOleWindow && offersOleWindow) {
      *ppv = static_cast<IOleWindow*>(this);
    } else if (riid == IID_IInputObjectSite && offersInputObjectSite) {
      *ppv = static_cast<IInputObjectSite*>(this);
    } else if (riid == IID_IOleCommandTarget && offersCommandTarget) {
      *ppv = static_cast<IOleCommandTarget*>(this);
    } else if (riid == IID_IServiceProvider && offersServiceProvider) {
      *ppv = static_cast<IServiceProvider*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* phwnd) override {
    if (!phwnd) return E_POINTER;
    *phwnd = window;
    return window ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IInputObjectSite
  STDMETHODIMP OnFocusChangeIS(IUnknown* punkObj, BOOL fSetFocus) override {
    focusCalls.push_back({punkObj, fSetFocus});
    return S_OK;
  }

  // IOleCommandTarget
  STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) override { return E_NOTIMPL; }
  STDMETHODIMP Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override { return E_NOTIMPL; }

  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID guidService, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    queryServiceCalls.push_back(guidService);
    if (!browser || guidService != SID_SWebBrowserApp) return E_NOINTERFACE;
    return browser->QueryInterface(riid, ppv);
  }
};

}  // namespace fakes
