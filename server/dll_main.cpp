// The library's entry point and exports: each hands over to the module object.
#include <windows.h>
#include <objbase.h>

#include "module.h"

EXTERN_C BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    _Module.Init(ObjectMap, instance);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    _Module.Term();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return _Module.GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return _Module.GetLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer(void) { return _Module.RegisterServer(TRUE); }

STDAPI DllUnregisterServer(void) { return _Module.UnregisterServer(TRUE); }
