#include "hresult_text.h"

#include <cstdio>

namespace host {
namespace {

struct Known {
  HRESULT hr;
  const char* name;
  const char* words;
};

const Known kKnown[] = {
    {S_OK, "S_OK", "success"},
    {S_FALSE, "S_FALSE", "success, with nothing to do"},
    {E_NOTIMPL, "E_NOTIMPL", "not implemented"},
    {E_NOINTERFACE, "E_NOINTERFACE", "no such interface"},
    {E_POINTER, "E_POINTER", "invalid pointer"},
    {E_FAIL, "E_FAIL", "unspecified failure"},
    {E_UNEXPECTED, "E_UNEXPECTED", "catastrophic failure"},
    {E_ACCESSDENIED, "E_ACCESSDENIED", "access is denied"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "not enough memory"},
    {E_INVALIDARG, "E_INVALIDARG", "an argument is invalid"},
    {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION", "the class cannot be aggregated"},
    {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE", "the library does not offer this class"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "the class is not registered"},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION", "the registry script is malformed"},
    {DISP_E_BADINDEX, "DISP_E_BADINDEX", "invalid index"},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH", "type mismatch"},
    {DISP_E_OVERFLOW, "DISP_E_OVERFLOW", "out of range"},
    {TYPE_E_LIBNOTREGISTERED, "TYPE_E_LIBNOTREGISTERED", "the type library is not registered"},
    {TYPE_E_CANTLOADLIBRARY, "TYPE_E_CANTLOADLIBRARY", "the type library cannot be loaded"},
};

const char* Win32Words(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "the file is not found";
    case ERROR_PATH_NOT_FOUND: return "the path is not found";
    case ERROR_ACCESS_DENIED: return "access is denied";
    case ERROR_INVALID_HANDLE: return "the handle is invalid";
    case ERROR_OUTOFMEMORY: return "not enough memory";
    case ERROR_BAD_EXE_FORMAT: return "not a loadable library";
    case ERROR_MOD_NOT_FOUND: return "the library is not found";
    case ERROR_PROC_NOT_FOUND: return "the library lacks that entry point";
    case ERROR_INSUFFICIENT_BUFFER: return "the buffer is too small";
    case ERROR_DLL_INIT_FAILED: return "the library failed to start";
    case ERROR_RESOURCE_TYPE_NOT_FOUND: return "the library has no resource of that type";
    case ERROR_RESOURCE_NAME_NOT_FOUND: return "the library has no resource of that name";
    default: return nullptr;
  }
}

}  // namespace

std::string DescribeHresult(HRESULT hr) {
  char hex[16];
  std::snprintf(hex, sizeof(hex), "0x%08X", static_cast<unsigned>(hr));
  for (const Known& known : kKnown) {
    if (known.hr == hr) return std::string(known.name) + ": " + known.words + " (" + hex + ")";
  }
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32 && FAILED(hr)) {
    const DWORD error = static_cast<DWORD>(HRESULT_CODE(hr));
    const char* words = Win32Words(error);
    return "Win32 error " + std::to_string(error) + (words ? std::string(": ") + words : std::string()) + " (" +
           hex + ")";
  }
  return std::string(FAILED(hr) ? "failure" : "success") + " (" + hex + ")";
}

}  // namespace host
