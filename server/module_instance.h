// The library's own module handle, known from static construction on: its file
// name and its resources (menu, registry script, type library) come from it.
#pragma once

#include <windows.h>

class CModuleInstance {
 public:
  CModuleInstance();
  CModuleInstance(const CModuleInstance&) = delete;
  CModuleInstance& operator=(const CModuleInstance&) = delete;

  HINSTANCE m_hInst;
};

extern CModuleInstance g_moduleInstance;

inline HINSTANCE GetModuleInstance() { return g_moduleInstance.m_hInst; }
