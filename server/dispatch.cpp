#include "dispatch.h"

#include <new>
#include <utility>

#include "module.h"
#include "owners.h"

using daybander::com_ptr;

// ---- Loading

HRESULT CComTypeInfoHolder::GetTI(LCID lcid) {
  // Both loaded: nothing to do, and no lock to take.
  if (m_pInfo && m_pMap) return S_OK;
  // Without its critical section the module cannot guard the load.
  if (_Module.cbSize == 0) return E_UNEXPECTED;

  EnterCriticalSection(&_Module.m_csStaticDataInitAndTypeInfo);
  HRESULT hr = S_OK;
  if (!m_pInfo) {
    com_ptr<ITypeLib> typeLib;
    hr = LoadRegTypeLib(*m_plibid, m_wMajor, m_wMinor, lcid, typeLib.put());
    if (SUCCEEDED(hr)) {
      com_ptr<ITypeInfo> typeInfo;
      hr = typeLib->GetTypeInfoOfGuid(*m_pguid, typeInfo.put());
      if (SUCCEEDED(hr)) {
        // The richer interface when the platform offers it.
        com_ptr<ITypeInfo> richer;
        if (SUCCEEDED(typeInfo.query(IID_ITypeInfo2, &richer)) && richer) typeInfo = std::move(richer);
        m_pInfo = typeInfo.detach();
        _Module.AddTermFunc(Cleanup, reinterpret_cast<DWORD_PTR>(this));
      }
    }
  }
  if (m_pInfo && !m_pMap) hr = LoadNameCache(m_pInfo);
  LeaveCriticalSection(&_Module.m_csStaticDataInitAndTypeInfo);
  return hr;
}

HRESULT CComTypeInfoHolder::GetTI(LCID lcid, ITypeInfo** ppInfo) {
  if (!ppInfo) return E_POINTER;
  *ppInfo = nullptr;
  HRESULT hr = S_OK;
  if (!m_pInfo) hr = GetTI(lcid);
  *ppInfo = m_pInfo;
  if (!m_pInfo) return hr;
  m_pInfo->AddRef();
  return S_OK;
}

HRESULT CComTypeInfoHolder::LoadNameCache(ITypeInfo* pTypeInfo) {
  TYPEATTR* attributes = nullptr;
  if (FAILED(pTypeInfo->GetTypeAttr(&attributes)) || !attributes) return S_OK;
  m_nCount = attributes->cFuncs;
  m_pMap = nullptr;
  if (m_nCount > 0) {
    auto* map = new (std::nothrow) CComTypeInfoNameEntry[m_nCount];
    if (!map) {
      m_nCount = 0;
      pTypeInfo->ReleaseTypeAttr(attributes);
      return E_OUTOFMEMORY;
    }
    for (int i = 0; i < m_nCount; ++i) {
      map[i].bstr = nullptr;
      map[i].nLen = 0;
      map[i].id = DISPID_UNKNOWN;
      FUNCDESC* function = nullptr;
      if (FAILED(pTypeInfo->GetFuncDesc(static_cast<UINT>(i), &function)) || !function) continue;
      BSTR name = nullptr;
      if (SUCCEEDED(pTypeInfo->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
        map[i].bstr = name;
        map[i].nLen = static_cast<int>(SysStringLen(name));
        map[i].id = function->memid;
      }
      pTypeInfo->ReleaseFuncDesc(function);
    }
    m_pMap = map;
  }
  pTypeInfo->ReleaseTypeAttr(attributes);
  return S_OK;
}

void WINAPI CComTypeInfoHolder::Cleanup(DWORD_PTR holder) {
  auto* self = reinterpret_cast<CComTypeInfoHolder*>(holder);
  if (self->m_pInfo) {
    ITypeInfo* info = self->m_pInfo;
    self->m_pInfo = nullptr;
    info->Release();
  }
  if (self->m_pMap) {
    for (int i = 0; i < self->m_nCount; ++i) SysFreeString(self->m_pMap[i].bstr);
    delete[] self->m_pMap;
  }
  self->m_pMap = nullptr;
  self->m_nCount = 0;
}

// ---- IDispatch

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) {
  if (itinfo != 0) return DISP_E_BADINDEX;
  return GetTI(lcid, pptinfo);
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid) {
  HRESULT hr = GetTI(lcid);
  if (!m_pInfo) return hr;
  if (m_pMap && cNames == 1 && rgszNames && rgszNames[0] && rgdispid) {
    const int length = lstrlenW(rgszNames[0]);
    for (int i = m_nCount - 1; i >= 0; --i) {
      const CComTypeInfoNameEntry& entry = m_pMap[i];
      if (entry.nLen != length || !entry.bstr) continue;
      int j = 0;
      while (j < length && entry.bstr[j] == rgszNames[0][j]) ++j;
      if (j == length) {
        rgdispid[0] = entry.id;
        return S_OK;
      }
    }
  }
  return m_pInfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* p, DISPID dispidMember, REFIID, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pdispparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                                   UINT* puArgErr) {
  HRESULT hr = GetTI(lcid);
  if (!m_pInfo) return hr;
  return m_pInfo->Invoke(p, dispidMember, wFlags, pdispparams, pvarResult, pexcepinfo, puArgErr);
}
