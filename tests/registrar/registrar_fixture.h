// A fresh registry per test, and the checks every registrar test ends with:
// no key handle, task allocation or module left behind.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "reg_object.h"
#include "registry_dump.h"
#include "winapi_control.h"

class RegistrarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WinapiResetRegistry();
    m_keys = WinapiLiveCount(WinapiKeys);
    m_memory = WinapiLiveCount(WinapiTaskMemory);
    m_modules = WinapiLiveCount(WinapiModules);
  }
  void TearDown() override {
    EXPECT_EQ(WinapiLiveCount(WinapiKeys), m_keys) << "key handles left open";
    EXPECT_EQ(WinapiLiveCount(WinapiTaskMemory), m_memory) << "task memory left allocated";
    EXPECT_EQ(WinapiLiveCount(WinapiModules), m_modules) << "modules left loaded";
    WinapiResetRegistry();
  }

  // The registry below the four roots scripts use, each non-empty root headed
  // by its short name.
  static std::string DumpAll() {
    const struct {
      const char* name;
      HKEY key;
    } roots[] = {{"HKCR", HKEY_CLASSES_ROOT}, {"HKCU", HKEY_CURRENT_USER}, {"HKLM", HKEY_LOCAL_MACHINE},
                 {"HKU", HKEY_USERS}};
    std::string out;
    for (const auto& root : roots) {
      const std::string dump = testing_support::DumpRegistry(root.key);
      if (!dump.empty()) out += "[" + std::string(root.name) + "]\n" + dump;
    }
    return out;
  }

  static HRESULT Register(const std::string& script) {
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\dir\\daybander.dll"));
    return registrar.ScriptRegister(script.c_str());
  }
  static HRESULT Unregister(const std::string& script) {
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\dir\\daybander.dll"));
    return registrar.ScriptUnregister(script.c_str());
  }

  LONG m_keys = 0;
  LONG m_memory = 0;
  LONG m_modules = 0;
};
