#include "dispatch.h"

// Type information arrives with the type library; until then the holder
// reports that it has none to give.
HRESULT CComTypeInfoHolder::GetTI(LCID) { return E_NOTIMPL; }

HRESULT CComTypeInfoHolder::GetTI(LCID, ITypeInfo** ppInfo) {
  if (!ppInfo) return E_POINTER;
  *ppInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT CComTypeInfoHolder::LoadNameCache(ITypeInfo*) { return S_OK; }

void WINAPI CComTypeInfoHolder::Cleanup(DWORD_PTR) {}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) {
  if (itinfo != 0) return DISP_E_BADINDEX;
  if (!pptinfo) return E_POINTER;
  return GetTI(lcid, pptinfo);
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID lcid, DISPID*) { return GetTI(lcid); }

HRESULT CComTypeInfoHolder::Invoke(IDispatch*, DISPID, REFIID, LCID lcid, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) {
  return GetTI(lcid);
}
