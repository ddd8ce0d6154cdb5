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

// A failed call whose last error is 0 must still read as a failure.
HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// The module's full file name; it has at most MAX_PATH - 1 characters, so a
// name that fills the buffer was cut.
HRESULT ModuleFileName(HMODULE module, OLECHAR (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0) return LastErrorResult();
  if (length == MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  return S_OK;
}

// Whether the thread's ANSI code page spells `text` exactly. The registry
// script is ANSI text: a letter the code page lacks would be recorded as '?'
// or a look-alike, naming a file that does not exist. The round trip catches
// both in every code page (UTF-8 takes neither WC_NO_BEST_FIT_CHARS nor
// lpUsedDefaultChar).
bool SpelledInAnsi(const OLECHAR* text) {
  char ansi[3 * MAX_PATH];  // no code page needs more than 3 bytes for a UTF-16 unit
  OLECHAR back[MAX_PATH];
  const int units = lstrlenW(text) + 1;
  if (units > MAX_PATH ||
      WideCharToMultiByte(CP_THREAD_ACP, 0, text, units, ansi, sizeof(ansi), nullptr, nullptr) <= 0 ||
      MultiByteToWideChar(CP_THREAD_ACP, 0, ansi, -1, back, MAX_PATH) != units) {
    return false;
  }
  for (int i = 0; i < units; ++i) {
    if (back[i] != text[i]) return false;
  }
  return true;
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

  OLECHAR path[MAX_PATH];
  hr = ModuleFileName(GetModuleInstance(), path);
  if (FAILED(hr)) return hr;
  if (!SpelledInAnsi(path)) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);

  // The script quotes the path, so each quote in it is written twice.
  OLECHAR escaped[2 * MAX_PATH];
  int out = 0;
  for (const OLECHAR* c = path; *c; ++c) {
    if (*c == OLESTR('\'')) escaped[out++] = OLESTR('\'');
    escaped[out++] = *c;
  }
  escaped[out] = 0;
  hr = registrar.AddReplacement(OLESTR("Module"), escaped);
  if (FAILED(hr)) return hr;
  hr = registrar.AddReplacement(OLESTR("Module_Raw"), escaped);
  if (FAILED(hr)) return hr;

  return bRegister ? registrar.ResourceRegister(path, resourceId, OLESTR("REGISTRY"))
                   : registrar.ResourceUnregister(path, resourceId, OLESTR("REGISTRY"));
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

  OLECHAR path[MAX_PATH];
  HRESULT hr = ModuleFileName(module, path);
  if (FAILED(hr)) return hr;

  // Where the extension starts: the last "." after the last path separator,
  // else the end of the name.
  OLECHAR* extension = nullptr;
  OLECHAR* end = path;
  for (OLECHAR* c = path; *c; c = CharNextW(c)) {
    if (*c == OLESTR('.')) extension = c;
    if (*c == OLESTR('\\') || *c == OLESTR('/')) extension = nullptr;
    end = CharNextW(c);
  }
  if (!extension) extension = end;

  // First the type library inside the file itself, then a ".tlb" beside it.
  com_ptr<ITypeLib> typeLib;
  hr = LoadTypeLib(path, typeLib.put());
  if (FAILED(hr)) {
    if ((extension - path) + 5 > MAX_PATH) return E_FAIL;
    const OLECHAR tlb[] = OLESTR(".tlb");
    for (size_t i = 0; i < sizeof(tlb) / sizeof(tlb[0]); ++i) extension[i] = tlb[i];
    hr = LoadTypeLib(path, typeLib.put());
    if (FAILED(hr)) return hr;
  }

  BSTR loadedFrom = SysAllocString(path);
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
