// daybander.so loaded the way a host loads it: LoadLibraryA of the built
// module (env DAYBANDER_MODULE) or LoadLibraryW of a copy, its exports by
// GetProcAddress, FreeLibrary at the end.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdlib>

class LoadedModule {
 public:
  typedef HRESULT(STDAPICALLTYPE* ServerFunc)();

  // The built module, or the one at `path`.
  explicit LoadedModule(const char* path = std::getenv("DAYBANDER_MODULE")) {
    handle = path ? LoadLibraryA(path) : nullptr;
    FindExports();
  }
  // The module at `path`, which the ANSI code page may not be able to spell.
  explicit LoadedModule(const WCHAR* path) {
    handle = LoadLibraryW(path);
    FindExports();
  }
  ~LoadedModule() { Free(); }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // Unloads now (process detach, then static destruction); true on success.
  bool Free() {
    if (!handle) return false;
    const BOOL freed = FreeLibrary(handle);
    handle = nullptr;
    return freed != FALSE;
  }

  // An export of `module` as the function type it has.
  template <class Function>
  static Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }

  HMODULE handle = nullptr;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  LPFNCANUNLOADNOW canUnloadNow = nullptr;
  ServerFunc registerServer = nullptr;
  ServerFunc unregisterServer = nullptr;

 private:
  void FindExports() {
    if (!handle) return;
    getClassObject = Export<LPFNGETCLASSOBJECT>(handle, "DllGetClassObject");
    canUnloadNow = Export<LPFNCANUNLOADNOW>(handle, "DllCanUnloadNow");
    registerServer = Export<ServerFunc>(handle, "DllRegisterServer");
    unregisterServer = Export<ServerFunc>(handle, "DllUnregisterServer");
  }
};
