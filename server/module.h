// The module object: the server's lock count, its object map, the termination
// list, and the records that exist from static construction on.
#pragma once

#include <windows.h>
#include <objbase.h>

// A creator: builds an object (pv is the controlling outer IUnknown, or, for a
// class object, the creator it will call) and answers it as riid.
typedef HRESULT(WINAPI* CreatorFunc)(void* pv, REFIID riid, LPVOID* ppv);
typedef HRESULT(WINAPI* UpdateRegistryFunc)(BOOL bRegister);
struct CategoryMapEntry;
typedef const CategoryMapEntry*(WINAPI* GetCategoryMapFunc)();
typedef void(WINAPI* ObjectMainFunc)(bool bStarting);
typedef void(WINAPI* TermFunc)(DWORD_PTR argument);

// One creatable class. A map is an array ended by an entry whose pclsid is null.
struct ObjectMapEntry {
  const CLSID* pclsid;
  UpdateRegistryFunc pfnUpdateRegistry;
  CreatorFunc pfnGetClassObject;
  CreatorFunc pfnCreateInstance;
  IUnknown* pCF;  // the cached class object: one counted reference, null until asked for
  GetCategoryMapFunc pfnGetCategoryMap;
  ObjectMainFunc pfnObjectMain;
};

// The library's one object map (server/object_map.cpp).
extern ObjectMapEntry ObjectMap[];

struct TermFuncNode {
  TermFunc pfn;
  DWORD_PTR argument;
  TermFuncNode* pNext;
};

struct _COM_MODULE_DATA {
  UINT cbSize;  // 0 until the critical section below is initialised; 0 again after Term
  LONG m_nLockCnt;
  TermFuncNode* m_pTermFuncs;  // the most recently added first
  CRITICAL_SECTION m_csStaticDataInitAndTypeInfo;
  ObjectMapEntry* m_pObjMap;
};

class CComModuleBase : public _COM_MODULE_DATA {
 public:
  // The size marker the record carries once it is usable.
  static constexpr UINT kInitializedSize = 36;

  CComModuleBase();
  // Frees nothing: after FreeLibrary, Term has freed it all already; at
  // process exit nothing may be freed (see DllMain).
  ~CComModuleBase() = default;
  CComModuleBase(const CComModuleBase&) = delete;
  CComModuleBase& operator=(const CComModuleBase&) = delete;

  // Both return the new count; the count changes atomically.
  LONG Lock();
  LONG Unlock();
  LONG GetLockCount() const { return m_nLockCnt; }

  // Queues a callback for Term; callbacks run the most recent first.
  // E_OUTOFMEMORY when no node can be had, E_UNEXPECTED when the module's
  // critical section never came to be (or Term already ran).
  HRESULT AddTermFunc(TermFunc pfn, DWORD_PTR argument);

 protected:
  // The second half of Term: the termination list, then the critical section.
  // Does nothing once cbSize is 0, so a second Term does nothing.
  void TermBase();
};

template <class T>
class CComModuleT : public CComModuleBase {
 public:
  // Keeps the object map and tells each class the server is starting; S_OK.
  HRESULT Init(ObjectMapEntry* objectMap, HINSTANCE instance);
  // Releases the cached class objects, tells each class the server stops,
  // then runs the termination list.
  void Term();

  // The class object of rclsid as riid: created once, cached in the map.
  HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);

  // Self-registration of every class in the map, and of the type library.
  HRESULT RegisterServer(BOOL bRegTypeLib);
  HRESULT UnregisterServer(BOOL bUnRegTypeLib);
  // Runs registry script resource `resourceId` of the library.
  HRESULT UpdateRegistryFromResource(UINT resourceId, BOOL bRegister);
};

class CComModule : public CComModuleT<CComModule> {};

// The library's module object.
extern CComModule _Module;

// The class-object record: guards the creation of cached class objects.
class CComClassObjectRecord {
 public:
  static constexpr UINT kInitializedSize = 40;

  CComClassObjectRecord();
  ~CComClassObjectRecord();
  CComClassObjectRecord(const CComClassObjectRecord&) = delete;
  CComClassObjectRecord& operator=(const CComClassObjectRecord&) = delete;

  UINT cbSize;  // 0 until m_csObjMap is initialised
  HINSTANCE m_hInstTypeLib;  // the module whose resources hold the type library
  CRITICAL_SECTION m_csObjMap;
};

extern CComClassObjectRecord g_classObjects;
