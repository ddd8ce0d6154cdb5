// Self-registration: the registry scripts of the object map's classes, then
// the type library held in the library's own resources.
#include <windows.h>
#include <oleauto.h>

#include "module.h"
#include "module_instance.h"
#include "owners.h"
#include "reg_object.h"
#include "registration.h"

using daybander::com_ptr;
using daybander::unique_bstr;

namespace {

// The module's full file name; it has at most MAX_PATH - 1 characters, so a
// name that fills the buffer was cut.
HRESULT ModuleFileName(HMODULE module, char (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  if (length == MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  return S_OK;
}

HRESULT Widen(const char* text, OLECHAR (&wide)[MAX_PATH]) {
  return MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide, MAX_PATH) == 0 ? E_OUTOFMEMORY : S_OK;
}

// The component categories of a class. No class of this library declares
// any; registering a map would take the platform's categories manager.
HRESULT UpdateCategories(const ObjectMapEntry& entry) {
  return entry.pfnGetCategoryMap && entry.pfnGetCategoryMap() ? E_NOTIMPL : S_OK;
}

}  // namespace

// ---- Registry scripts

template <class T>
HRESULT CComModuleT<T>::UpdateRegistryFromResource(UINT resourceId, BOOL bRegister) {
  CRegObject registrar;
  HRESULT hr = registrar.AddReplacement(OLESTR("APPID"), OLESTR(""));
  if (FAILED(hr)) return hr;

  char path[MAX_PATH];
  hr = ModuleFileName(GetModuleInstance(), path);
  if (FAILED(hr)) return hr;
  OLECHAR widePath[MAX_PATH];
  hr = Widen(path, widePath);
  if (FAILED(hr)) return hr;

  // The script quotes the path, so each quote in it is written twice.
  OLECHAR escaped[2 * MAX_PATH];
  int out = 0;
  for (const OLECHAR* c = widePath; *c; ++c) {
    if (*c == OLESTR('\'')) escaped[out++] = OLESTR('\'');
    escaped[out++] = *c;
  }
  escaped[out] = 0;
  hr = registrar.AddReplacement(OLESTR("Module"), escaped);
  if (FAILED(hr)) return hr;
  hr = registrar.AddReplacement(OLESTR("Module_Raw"), escaped);
  if (FAILED(hr)) return hr;

  return bRegister ? registrar.ResourceRegister(widePath, resourceId, OLESTR("REGISTRY"))
                   : registrar.ResourceUnregister(widePath, resourceId, OLESTR("REGISTRY"));
}

template <class T>
HRESULT CComModuleT<T>::RegisterServer(BOOL bRegTypeLib) {
  for (ObjectMapEntry* entry = m_pObjMap; entry && entry->pclsid; ++entry) {
    HRESULT hr = entry->pfnUpdateRegistry(TRUE);
    if (FAILED(hr)) return hr;
    hr = UpdateCategories(*entry);
    if (FAILED(hr)) return hr;
  }
  return bRegTypeLib ? RegisterTypeLibrary(g_classObjects.m_hInstTypeLib) : S_OK;
}

template <class T>
HRESULT CComModuleT<T>::UnregisterServer(BOOL bUnRegTypeLib) {
  for (ObjectMapEntry* entry = m_pObjMap; entry && entry->pclsid; ++entry) {
    HRESULT hr = UpdateCategories(*entry);
    if (FAILED(hr)) return hr;
    hr = entry->pfnUpdateRegistry(FALSE);
    if (FAILED(hr)) return hr;
  }
  return bUnRegTypeLib ? UnregisterTypeLibrary(g_classObjects.m_hInstTypeLib) : S_OK;
}

template HRESULT CComModuleT<CComModule>::UpdateRegistryFromResource(UINT, BOOL);
template HRESULT CComModuleT<CComModule>::RegisterServer(BOOL);
template HRESULT CComModuleT<CComModule>::UnregisterServer(BOOL);

// ---- Type library

HRESULT LoadTypeLibrary(HINSTANCE module, BSTR* pbstrPath, ITypeLib** ppTypeLib) {
  if (!pbstrPath || !ppTypeLib) return E_POINTER;
  *pbstrPath = nullptr;
  *ppTypeLib = nullptr;

  char path[MAX_PATH];
  HRESULT hr = ModuleFileName(module, path);
  if (FAILED(hr)) return hr;

  // Where the extension starts: the last "." after the last path separator,
  // else the end of the name.
  char* extension = nullptr;
  char* end = path;
  for (char* c = path; *c; c = CharNextA(c)) {
    if (*c == '.') extension = c;
    if (*c == '\\' || *c == '/') extension = nullptr;
    end = CharNextA(c);
  }
  if (!extension) extension = end;

  // First the type library inside the file itself, then a ".tlb" beside it.
  OLECHAR widePath[MAX_PATH];
  hr = Widen(path, widePath);
  if (FAILED(hr)) return hr;
  com_ptr<ITypeLib> typeLib;
  hr = LoadTypeLib(widePath, typeLib.put());
  if (FAILED(hr)) {
    if ((extension - path) + 5 > MAX_PATH) return E_FAIL;
    const char tlb[] = ".tlb";
    for (size_t i = 0; i < sizeof(tlb); ++i) extension[i] = tlb[i];
    hr = Widen(path, widePath);
    if (FAILED(hr)) return hr;
    hr = LoadTypeLib(widePath, typeLib.put());
    if (FAILED(hr)) return hr;
  }

  BSTR loadedFrom = SysAllocString(widePath);
  if (!loadedFrom) return E_OUTOFMEMORY;
  *pbstrPath = loadedFrom;
  *ppTypeLib = typeLib.detach();
  return hr;
}

HRESULT RegisterTypeLibrary(HINSTANCE module) {
  unique_bstr path;
  com_ptr<ITypeLib> typeLib;
  HRESULT hr = LoadTypeLibrary(module, path.put(), typeLib.put());
  if (FAILED(hr)) return hr;

  // The help directory: the folder of the help file the library names, if any.
  unique_bstr helpFile;
  OLECHAR helpDirectory[MAX_PATH];
  const OLECHAR* helpDirectoryOrNull = nullptr;
  if (SUCCEEDED(typeLib->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put())) && helpFile &&
      SysStringLen(helpFile.get()) < MAX_PATH) {
    const UINT length = SysStringLen(helpFile.get());
    for (UINT i = 0; i < length; ++i) helpDirectory[i] = helpFile.get()[i];
    helpDirectory[length] = 0;
    OLECHAR* cut = nullptr;
    for (OLECHAR* c = helpDirectory; *c; c = CharNextW(c)) {
      if (*c == OLESTR('\\') || *c == OLESTR('/') || *c == OLESTR(':')) cut = c + 1;
    }
    if (cut) {
      *cut = 0;
      helpDirectoryOrNull = helpDirectory;
    }
  }
  return RegisterTypeLib(typeLib.get(), path.get(), const_cast<OLECHAR*>(helpDirectoryOrNull));
}

HRESULT UnregisterTypeLibrary(HINSTANCE module) {
  unique_bstr path;
  com_ptr<ITypeLib> typeLib;
  HRESULT hr = LoadTypeLibrary(module, path.put(), typeLib.put());
  if (FAILED(hr)) return hr;
  TLIBATTR* attributes = nullptr;
  hr = typeLib->GetLibAttr(&attributes);
  if (FAILED(hr)) return hr;
  hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                         attributes->syskind);
  typeLib->ReleaseTLibAttr(attributes);
  return hr;
}
