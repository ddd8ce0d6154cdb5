// The library's entry point and exports: each hands over to the module object.
#include <windows.h>
#include <objbase.h>

#include "contained_window.h"
#include "module.h"

// At process exit (a non-null reserved pointer) the other threads are gone and
// the libraries that the module's objects belong to may be detached already:
// nothing is freed or released, as Microsoft's rules for DllMain ask.
EXTERN_C BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    _Module.Init(ObjectMap, instance);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    _Module.Term();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return _Module.GetClassObject(rclsid, riid, ppv);
}

// The library's window classes go before it may go: a class that outlived its
// last band (a window survived it) is unregistered here.
STDAPI DllCanUnloadNow(void) {
  if (_Module.GetLockCount() != 0) return S_FALSE;
  CContainedWindow::UnregisterUnusedSuperclasses();
  return S_OK;
}

STDAPI DllRegisterServer(void) { return _Module.RegisterServer(TRUE); }

STDAPI DllUnregisterServer(void) { return _Module.UnregisterServer(TRUE); }
