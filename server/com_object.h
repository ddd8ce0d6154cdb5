// The object framework: reference counting and QueryInterface over an
// interface map, the wrappers that give a class its IUnknown (plain, contained
// in an aggregate, cached class object), the class factory and the creators.
//
// A class served by the framework derives from CComObjectRootEx<ThreadModel>
// and its interfaces, and declares, public:
//   static const InterfaceMapEntry* WINAPI GetInterfaceMap();
// It leaves IUnknown unimplemented: the wrapper that is actually allocated
// (CComObject, CComContainedObject inside CComAggObject) supplies it.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <new>

#include "module.h"

// ---------------------------------------------------------------------------
// Thread models

// For objects that live in one apartment: a plain counter.
class CComSingleThreadModel {
 public:
  static ULONG WINAPI Increment(LONG* p) { return static_cast<ULONG>(++*p); }
  static ULONG WINAPI Decrement(LONG* p) { return static_cast<ULONG>(--*p); }
};

// For objects any thread may call: atomic counts.
class CComMultiThreadModel {
 public:
  static ULONG WINAPI Increment(LONG* p) { return static_cast<ULONG>(InterlockedIncrement(p)); }
  static ULONG WINAPI Decrement(LONG* p) { return static_cast<ULONG>(InterlockedDecrement(p)); }
};

// ---------------------------------------------------------------------------
// Interface maps

// One entry of an interface map; a map is an array ended by {nullptr, 0}.
// The first entry also answers IID_IUnknown: it is the object's identity.
struct InterfaceMapEntry {
  const IID* piid;
  DWORD_PTR offset;  // offset of the interface's base inside the class
};

// Offset of base Base inside class Derived, for map entries. The probe address
// is never dereferenced; it only has to be suitably aligned and not null, so
// that the conversion is a plain adjustment.
template <class Base, class Derived>
DWORD_PTR OffsetOfBase() {
  const DWORD_PTR probe = 0x1000;
  return reinterpret_cast<DWORD_PTR>(static_cast<Base*>(reinterpret_cast<Derived*>(probe))) - probe;
}

// ---------------------------------------------------------------------------
// Object roots

class CComObjectRootBase {
 public:
  CComObjectRootBase() : m_dwRef(0) {}

  // Hooks a class may hide: after construction (a failure destroys the object)
  // and before destruction.
  HRESULT FinalConstruct() { return S_OK; }
  void FinalRelease() {}
  // What a creator hands every new object; only the class factory uses it.
  void SetVoid(void*) {}
  // Everything a new object needs that can fail for want of memory.
  HRESULT InitializeLock() { return S_OK; }

  // Walks `entries` in order (IID_IUnknown takes the first entry); on a hit
  // AddRefs through the found interface and stores it: S_OK; else E_NOINTERFACE.
  // Null ppv: E_POINTER; *ppv is nulled first. pThis is the class's own
  // address, the one the entries' offsets count from.
  static HRESULT WINAPI InternalQueryInterface(void* pThis, const InterfaceMapEntry* entries, REFIID iid,
                                               void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!pThis || !entries || !entries->piid) return E_NOINTERFACE;
    const InterfaceMapEntry* hit = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown)) {
      hit = entries;
    } else {
      for (const InterfaceMapEntry* entry = entries; entry->piid; ++entry) {
        if (IsEqualGUID(iid, *entry->piid)) {
          hit = entry;
          break;
        }
      }
    }
    if (!hit) return E_NOINTERFACE;
    auto* unknown = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(pThis) + hit->offset);
    unknown->AddRef();
    *ppv = unknown;
    return S_OK;
  }

  // For the contained object of an aggregate: forward to m_pOuterUnknown.
  ULONG OuterAddRef() { return m_pOuterUnknown->AddRef(); }
  ULONG OuterRelease() { return m_pOuterUnknown->Release(); }
  HRESULT OuterQueryInterface(REFIID iid, void** ppv) { return m_pOuterUnknown->QueryInterface(iid, ppv); }

  union {
    LONG m_dwRef;
    IUnknown* m_pOuterUnknown;
  };
};

// The count a dying object carries while its destructor runs, so that an
// AddRef/Release pair made from inside the destructor cannot delete it again.
const LONG kDyingRefCount = static_cast<LONG>(0xC0000001);

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
 public:
  typedef ThreadModel _ThreadModel;

  ULONG InternalAddRef() { return ThreadModel::Increment(&m_dwRef); }
  ULONG InternalRelease() { return ThreadModel::Decrement(&m_dwRef); }
};

// The root of objects any thread may call carries a lock of their own: a
// critical section and a flag saying whether it was initialised, so that an
// object whose initialisation failed is destroyed without deleting it.
template <>
class CComObjectRootEx<CComMultiThreadModel> : public CComObjectRootBase {
 public:
  typedef CComMultiThreadModel _ThreadModel;

  CComObjectRootEx() : m_bCritSecInitialized(false) {}
  ~CComObjectRootEx() {
    if (m_bCritSecInitialized) DeleteCriticalSection(&m_critsec);
  }
  CComObjectRootEx(const CComObjectRootEx&) = delete;
  CComObjectRootEx& operator=(const CComObjectRootEx&) = delete;

  ULONG InternalAddRef() { return CComMultiThreadModel::Increment(&m_dwRef); }
  ULONG InternalRelease() { return CComMultiThreadModel::Decrement(&m_dwRef); }

  HRESULT InitializeLock() {
    if (!InitializeCriticalSectionAndSpinCount(&m_critsec, 0)) return E_OUTOFMEMORY;
    m_bCritSecInitialized = true;
    return S_OK;
  }
  void Lock() { EnterCriticalSection(&m_critsec); }
  void Unlock() { LeaveCriticalSection(&m_critsec); }

 private:
  CRITICAL_SECTION m_critsec;
  bool m_bCritSecInitialized;
};

template <class T, const CLSID* pclsid>
class CComCoClass {
 public:
  static const CLSID& WINAPI GetObjectCLSID() { return *pclsid; }
  // What the object map asks of every class; a class may hide them.
  static const CategoryMapEntry* WINAPI GetCategoryMap() { return nullptr; }
  static void WINAPI ObjectMain(bool) {}
};

// ---------------------------------------------------------------------------
// IUnknown wrappers

// A stand-alone object: its own count, one module lock while it lives.
template <class Base>
class CComObject : public Base {
 public:
  explicit CComObject(void* = nullptr) { _Module.Lock(); }
  virtual ~CComObject() {
    this->m_dwRef = kDyingRefCount;
    this->FinalRelease();
    _Module.Unlock();
  }

  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    return CComObjectRootBase::InternalQueryInterface(static_cast<Base*>(this), Base::GetInterfaceMap(), iid, ppv);
  }
  STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG count = this->InternalRelease();
    if (count == 0) delete this;
    return count;
  }
};

// The inner object of an aggregate: every IUnknown call goes to the
// controlling outer object.
template <class Base>
class CComContainedObject : public Base {
 public:
  explicit CComContainedObject(void* pv) { this->m_pOuterUnknown = static_cast<IUnknown*>(pv); }

  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override { return this->OuterQueryInterface(iid, ppv); }
  STDMETHOD_(ULONG, AddRef)() override { return this->OuterAddRef(); }
  STDMETHOD_(ULONG, Release)() override { return this->OuterRelease(); }

  // The contained object's own interfaces, by its interface map.
  HRESULT InnerQueryInterface(REFIID iid, void** ppv) {
    return CComObjectRootBase::InternalQueryInterface(static_cast<Base*>(this), Base::GetInterfaceMap(), iid, ppv);
  }
};

// An object created inside a controlling outer object. Its own IUnknown is
// what the outer object holds; every other interface is the contained
// object's, whose references count on the outer object.
template <class Contained>
class CComAggObject : public IUnknown, public CComObjectRootEx<typename Contained::_ThreadModel> {
 public:
  explicit CComAggObject(void* pv) : m_contained(pv) { _Module.Lock(); }
  virtual ~CComAggObject() {
    this->m_dwRef = kDyingRefCount;
    this->FinalRelease();
    _Module.Unlock();
  }
  CComAggObject(const CComAggObject&) = delete;
  CComAggObject& operator=(const CComAggObject&) = delete;

  HRESULT InitializeLock() {
    const HRESULT hr = CComObjectRootEx<typename Contained::_ThreadModel>::InitializeLock();
    return FAILED(hr) ? hr : m_contained.InitializeLock();
  }
  HRESULT FinalConstruct() { return m_contained.FinalConstruct(); }
  void FinalRelease() { m_contained.FinalRelease(); }

  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown)) {
      AddRef();
      *ppv = static_cast<IUnknown*>(this);
      return S_OK;
    }
    return m_contained.InnerQueryInterface(iid, ppv);
  }
  STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG count = this->InternalRelease();
    if (count == 0) delete this;
    return count;
  }

  CComContainedObject<Contained> m_contained;
};

// A class object kept in the object map for the library's lifetime. The map's
// own reference holds no module lock; all outside references together hold
// exactly one.
template <class Base>
class CComObjectCached : public Base {
 public:
  explicit CComObjectCached(void* = nullptr) {}
  virtual ~CComObjectCached() {
    this->m_dwRef = kDyingRefCount;
    this->FinalRelease();
  }

  STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
    return CComObjectRootBase::InternalQueryInterface(static_cast<Base*>(this), Base::GetInterfaceMap(), iid, ppv);
  }
  STDMETHOD_(ULONG, AddRef)() override {
    const ULONG count = this->InternalAddRef();
    if (count == 2) _Module.Lock();
    return count;
  }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG count = this->InternalRelease();
    if (count == 0) {
      delete this;
    } else if (count == 1) {
      _Module.Unlock();
    }
    return count;
  }
};

// ---------------------------------------------------------------------------
// Creators

// Allocates a T (given pv), initialises it, and answers it as riid; anything
// short of S_OK destroys it again, so a refused interface leaves nothing behind.
template <class T>
class CComCreator {
 public:
  static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    T* object = new (std::nothrow) T(pv);
    if (!object) return E_OUTOFMEMORY;
    object->SetVoid(pv);
    HRESULT hr = object->InitializeLock();
    if (SUCCEEDED(hr)) hr = object->FinalConstruct();
    if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
    if (hr != S_OK) {
      *ppv = nullptr;
      delete object;
    }
    return hr;
  }
};

// The creator of an object map entry: Plain without an outer object,
// Aggregating with one.
template <class Plain, class Aggregating>
class CComCreator2 {
 public:
  static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, LPVOID* ppv) {
    return pv ? Aggregating::CreateInstance(pv, riid, ppv) : Plain::CreateInstance(nullptr, riid, ppv);
  }
};

// ---------------------------------------------------------------------------
// The class object

class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComMultiThreadModel> {
 public:
  static const InterfaceMapEntry* WINAPI GetInterfaceMap() {
    static const InterfaceMapEntry entries[] = {
        {&IID_IClassFactory, OffsetOfBase<IClassFactory, CComClassFactory>()},
        {nullptr, 0},
    };
    return entries;
  }

  // IClassFactory
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) override {
    if (!ppvObj) return E_POINTER;
    *ppvObj = nullptr;
    if (pUnkOuter && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    if (!m_pfnCreateInstance) return E_UNEXPECTED;
    return m_pfnCreateInstance(pUnkOuter, riid, ppvObj);
  }
  STDMETHOD(LockServer)(BOOL fLock) override {
    if (fLock) {
      _Module.Lock();
    } else {
      _Module.Unlock();
    }
    return S_OK;
  }

  // The creator comes in as the creation argument.
  void SetVoid(void* pv) { m_pfnCreateInstance = reinterpret_cast<CreatorFunc>(pv); }

  CreatorFunc m_pfnCreateInstance = nullptr;
};
