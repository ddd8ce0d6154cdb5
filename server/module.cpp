#include "module.h"

#include <new>

#include "com_object.h"

// ---------------------------------------------------------------------------
// Module object

CComModuleBase::CComModuleBase() {
  cbSize = 0;
  m_nLockCnt = 0;
  m_pTermFuncs = nullptr;
  m_pObjMap = nullptr;
  if (InitializeCriticalSectionAndSpinCount(&m_csStaticDataInitAndTypeInfo, 0)) cbSize = kInitializedSize;
}

LONG CComModuleBase::Lock() { return InterlockedIncrement(&m_nLockCnt); }

LONG CComModuleBase::Unlock() { return InterlockedDecrement(&m_nLockCnt); }

HRESULT CComModuleBase::AddTermFunc(TermFunc pfn, DWORD_PTR argument) {
  if (cbSize == 0) return E_UNEXPECTED;
  auto* node = new (std::nothrow) TermFuncNode;
  if (!node) return E_OUTOFMEMORY;
  node->pfn = pfn;
  node->argument = argument;
  EnterCriticalSection(&m_csStaticDataInitAndTypeInfo);
  node->pNext = m_pTermFuncs;
  m_pTermFuncs = node;
  LeaveCriticalSection(&m_csStaticDataInitAndTypeInfo);
  return S_OK;
}

void CComModuleBase::TermBase() {
  if (cbSize == 0) return;
  TermFuncNode* node = m_pTermFuncs;
  while (node) {
    node->pfn(node->argument);
    TermFuncNode* next = node->pNext;
    delete node;
    node = next;
  }
  m_pTermFuncs = nullptr;
  DeleteCriticalSection(&m_csStaticDataInitAndTypeInfo);
  cbSize = 0;
}

template <class T>
HRESULT CComModuleT<T>::Init(ObjectMapEntry* objectMap, HINSTANCE instance) {
  m_pObjMap = objectMap;
  g_classObjects.m_hInstTypeLib = instance;
  for (ObjectMapEntry* entry = m_pObjMap; entry && entry->pclsid; ++entry) entry->pfnObjectMain(true);
  return S_OK;
}

template <class T>
void CComModuleT<T>::Term() {
  for (ObjectMapEntry* entry = m_pObjMap; entry && entry->pclsid; ++entry) {
    if (entry->pCF) {
      IUnknown* classObject = entry->pCF;
      entry->pCF = nullptr;
      classObject->Release();
    }
    entry->pfnObjectMain(false);
  }
  TermBase();
}

template <class T>
HRESULT CComModuleT<T>::GetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ObjectMapEntry* entry = m_pObjMap;
  for (; entry && entry->pclsid; ++entry) {
    if (entry->pfnGetClassObject && IsEqualCLSID(rclsid, *entry->pclsid)) break;
  }
  // Without its critical section the record cannot create class objects
  // safely: it answers as if it had none.
  if (g_classObjects.cbSize == 0) return E_UNEXPECTED;
  if (!entry || !entry->pclsid) return CLASS_E_CLASSNOTAVAILABLE;

  HRESULT hr = S_OK;
  if (!entry->pCF) {
    EnterCriticalSection(&g_classObjects.m_csObjMap);
    if (!entry->pCF) {
      hr = entry->pfnGetClassObject(reinterpret_cast<void*>(entry->pfnCreateInstance), IID_IUnknown,
                                    reinterpret_cast<void**>(&entry->pCF));
    }
    LeaveCriticalSection(&g_classObjects.m_csObjMap);
  }
  return entry->pCF ? entry->pCF->QueryInterface(riid, ppv) : hr;
}

template class CComModuleT<CComModule>;

// ---------------------------------------------------------------------------
// Class-object record

CComClassObjectRecord::CComClassObjectRecord() : cbSize(0), m_hInstTypeLib(nullptr) {
  if (InitializeCriticalSectionAndSpinCount(&m_csObjMap, 0)) cbSize = kInitializedSize;
}

CComClassObjectRecord::~CComClassObjectRecord() {
  if (cbSize != 0) DeleteCriticalSection(&m_csObjMap);
  cbSize = 0;
}

// Static construction builds the module object first, then the class-object
// record; destruction runs the other way round.
CComModule _Module;
CComClassObjectRecord g_classObjects;
