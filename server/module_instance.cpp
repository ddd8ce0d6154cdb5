#include "module_instance.h"

// The image that holds this very record is the library itself, however it was
// loaded; asking by address needs no help from the entry point.
CModuleInstance::CModuleInstance() : m_hInst(nullptr) {
  HMODULE self = nullptr;
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(this), &self)) {
    m_hInst = self;
  }
}

CModuleInstance g_moduleInstance;
