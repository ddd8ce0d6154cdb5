// Fuzz target: any bytes as a registry script, preprocessed, registered and
// unregistered against the in-memory registry. Besides the sanitizers' own
// reports, a pass must close every key it opened and free every allocation.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "reg_object.h"
#include "winapi_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Like a resource, the script ends at its first NUL.
  const std::string script(reinterpret_cast<const char*>(data), size);
  {
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\dir\\day'bander.dll"));
    registrar.AddReplacement(OLESTR("APPID"), OLESTR("{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}"));
    CRegScriptParser parser(&registrar);
    LPSTR text = nullptr;
    if (SUCCEEDED(parser.PreprocessScript(script.c_str(), &text))) CoTaskMemFree(text);
    registrar.ScriptRegister(script.c_str());
    registrar.ScriptUnregister(script.c_str());
  }
  if (WinapiLiveCount(WinapiKeys) != 0 || WinapiLiveCount(WinapiTaskMemory) != 0) std::abort();
  WinapiResetRegistry();
  return 0;
}
