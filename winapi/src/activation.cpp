// COM activation of in-process servers: the class's InprocServer32 path under
// HKEY_CLASSES_ROOT\CLSID, loaded once and asked for DllGetClassObject; kept
// loaded until CoFreeUnusedLibraries (or the last CoUninitialize) finds that
// its DllCanUnloadNow answers S_OK.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"

namespace {

struct InprocServer {
  std::string path;
  HMODULE module;
};

// Recursive: a server's DllGetClassObject may itself create other classes.
std::recursive_mutex g_lock;
std::vector<InprocServer> g_servers;

// An exported function as its real type (through void (*)(), which any
// function pointer type converts from without a warning).
template <typename Function>
Function ProcAs(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The server path of a class, or an empty string when the class has none.
std::string InprocServerPath(REFCLSID clsid) {
  OLECHAR text[39];
  StringFromGUID2(clsid, text, 39);
  const std::string keyPath = "CLSID\\" + winapi::ToAnsi(text) + "\\InprocServer32";
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::string();
  }
  std::string path;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 1) {
    path.assign(size, '\0');
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(&path[0]), &size) == ERROR_SUCCESS) {
      path.resize(std::strlen(path.c_str()));
    } else {
      path.clear();
    }
  }
  RegCloseKey(key);
  return path;
}

}  // namespace

namespace winapi {

void FreeUnusedInprocServers() {
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  for (size_t i = 0; i < g_servers.size();) {
    const auto canUnload = ProcAs<LPFNCANUNLOADNOW>(g_servers[i].module, "DllCanUnloadNow");
    if (canUnload && canUnload() == S_OK) {
      const HMODULE module = g_servers[i].module;
      g_servers.erase(g_servers.begin() + static_cast<long>(i));
      FreeLibrary(module);
    } else {
      ++i;
    }
  }
}

}  // namespace winapi

STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  const std::string path = InprocServerPath(rclsid);
  if (path.empty()) return REGDB_E_CLASSNOTREG;

  std::lock_guard<std::recursive_mutex> hold(g_lock);
  HMODULE module = nullptr;
  for (const InprocServer& server : g_servers) {
    if (server.path == path) module = server.module;
  }
  if (!module) {
    module = LoadLibraryA(path.c_str());
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    if (!ProcAs<LPFNGETCLASSOBJECT>(module, "DllGetClassObject")) {
      FreeLibrary(module);  // not a server: nothing of it can be in use
      return CO_E_ERRORINDLL;
    }
    g_servers.push_back(InprocServer{path, module});
  }
  return ProcAs<LPFNGETCLASSOBJECT>(module, "DllGetClassObject")(rclsid, riid, ppv);
}

STDAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

STDAPI_(void) CoFreeUnusedLibraries(void) { winapi::FreeUnusedInprocServers(); }

STDAPI_(void) CoFreeUnusedLibrariesEx(DWORD, DWORD) { winapi::FreeUnusedInprocServers(); }
