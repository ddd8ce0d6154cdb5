// IDispatch for dual interfaces, answered from the registered type library.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

// One member name of the described interface and its dispatch id.
struct CComTypeInfoNameEntry {
  BSTR bstr;  // owned
  int nLen;
  DISPID id;
};

// The type information of one interface, loaded from its registered type
// library on first need and kept until the module's Term. A plain aggregate
// so that its static instances need no construction.
class CComTypeInfoHolder {
 public:
  const GUID* m_pguid;
  const GUID* m_plibid;
  WORD m_wMajor;
  WORD m_wMinor;
  ITypeInfo* m_pInfo;
  CComTypeInfoNameEntry* m_pMap;
  int m_nCount;

  // Loads the type information and the name cache (once; again after a failure).
  HRESULT GetTI(LCID lcid);
  // The cached type information, AddRef'ed.
  HRESULT GetTI(LCID lcid, ITypeInfo** ppInfo);
  HRESULT LoadNameCache(ITypeInfo* pTypeInfo);
  // The termination callback: releases everything the holder keeps.
  static void WINAPI Cleanup(DWORD_PTR holder);

  HRESULT GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo);
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid);
  HRESULT Invoke(IDispatch* p, DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pdispparams,
                 VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);
};

// The IDispatch half of dual interface T (piid, in type library plibid of
// version wMajor.wMinor).
template <class T, const IID* piid, const GUID* plibid, WORD wMajor = 1, WORD wMinor = 0,
          class tihclass = CComTypeInfoHolder>
class IDispatchImpl : public T {
 public:
  // IDispatch
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) override {
    return _tih.GetTypeInfo(itinfo, lcid, pptinfo);
  }
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid) override {
    return _tih.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgdispid);
  }
  STDMETHOD(Invoke)(DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pdispparams,
                    VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) override {
    return _tih.Invoke(static_cast<IDispatch*>(this), dispidMember, riid, lcid, wFlags, pdispparams, pvarResult,
                       pexcepinfo, puArgErr);
  }

 protected:
  static tihclass _tih;
};

template <class T, const IID* piid, const GUID* plibid, WORD wMajor, WORD wMinor, class tihclass>
tihclass IDispatchImpl<T, piid, plibid, wMajor, wMinor, tihclass>::_tih = {piid,    plibid,  wMajor, wMinor,
                                                                            nullptr, nullptr, 0};
