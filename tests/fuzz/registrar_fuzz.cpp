// Fuzz target: any bytes as a registry script, preprocessed, registered and
// unregistered against the in-memory registry, over keys and values already in
// place that the script may overwrite, force-remove or delete. Besides the
// sanitizers' own reports, a pass must close every key it opened and free
// every allocation, and a register pass that fails must leave the registry as
// registering only the root blocks before the failing one leaves it.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "../support/registry_dump.h"
#include "reg_object.h"
#include "winapi_control.h"

namespace {

const char kInPlace[] =
    "HKCR { Pre = s p { val v = d 1 val m = m 'a\\0' Kid { val b = b 0a } } NoRemove CLSID { Foreign } }\n"
    "HKCU { Old { Deep { val x = s y } } }\n";

// Every root, each headed by its handle value.
std::string DumpAll() {
  std::string out;
  for (ULONG_PTR root = 0x80000000; root <= 0x80000006; ++root) {
    out += std::to_string(root) + "\n" + testing_support::DumpRegistry(reinterpret_cast<HKEY>(root));
  }
  return out;
}

void Require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Like a resource, the script ends at its first NUL.
  const std::string script(std::string(reinterpret_cast<const char*>(data), size).c_str());
  {
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\dir\\day'bander.dll"));
    registrar.AddReplacement(OLESTR("APPID"), OLESTR("{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}"));
    CRegScriptParser parser(&registrar);
    LPSTR text = nullptr;
    if (SUCCEEDED(parser.PreprocessScript(script.c_str(), &text))) CoTaskMemFree(text);

    Require(registrar.ScriptRegister(kInPlace) == S_OK);
    if (FAILED(registrar.ScriptRegister(script.c_str()))) {
      const std::string after = DumpAll();
      const LONG block = registrar.ScriptFault().blockOffset;
      Require(block >= 0 && static_cast<size_t>(block) <= script.size());
      WinapiResetRegistry();
      Require(registrar.ScriptRegister(kInPlace) == S_OK);
      if (registrar.ScriptRegister(script.substr(0, static_cast<size_t>(block)).c_str()) == S_OK) {
        Require(DumpAll() == after);
      } else {
        // The failing block began inside a substituted value (a quote in it
        // ends a token): the text as written has no place to cut there.
        Require(script[static_cast<size_t>(block)] == '%');
      }
    }
    registrar.ScriptUnregister(script.c_str());
  }
  Require(WinapiLiveCount(WinapiKeys) == 0 && WinapiLiveCount(WinapiTaskMemory) == 0);
  WinapiResetRegistry();
  return 0;
}
