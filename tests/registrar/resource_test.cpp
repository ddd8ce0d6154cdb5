// Scripts loaded from a module's resources: this test program carries its own
// (scripts/registrar_test.rc).
#include <string>

#include "registrar_fixture.h"

namespace {

std::u16string OwnPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::u16string(path, path + length);
}

constexpr HRESULT FromWin32(LONG error) { return static_cast<HRESULT>(0x80070000u | static_cast<ULONG>(error)); }

class FromResources : public RegistrarTest {
 protected:
  void SetUp() override {
    RegistrarTest::SetUp();
    ASSERT_EQ(m_registrar.AddReplacement(OLESTR("MODULE"), OLESTR("C:\\dir\\band.dll")), S_OK);
  }
  void TearDown() override {
    m_registrar.ClearReplacements();
    RegistrarTest::TearDown();
  }
  CRegObject m_registrar;
  std::u16string m_module = OwnPath();
};

const char kBandRegistered[] =
    "[HKCR]\nCLSID\n"
    "CLSID\\{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}\n  @=S:Daybander\n"
    "CLSID\\{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}\\InprocServer32\n  @=S:C:\\dir\\band.dll\n"
    "  ThreadingModel=S:Apartment\n";

TEST_F(FromResources, ByNumberAndByName) {
  EXPECT_EQ(m_registrar.ResourceRegister(m_module.c_str(), 1, OLESTR("REGISTRY")), S_OK);
  EXPECT_EQ(DumpAll(), kBandRegistered);
  EXPECT_EQ(m_registrar.ResourceUnregister(m_module.c_str(), 1, OLESTR("registry")), S_OK);
  EXPECT_EQ(DumpAll(), "[HKCR]\nCLSID\n");
  EXPECT_EQ(m_registrar.ResourceRegisterSz(m_module.c_str(), OLESTR("named"), OLESTR("REGISTRY")), S_OK);
  EXPECT_EQ(DumpAll(), kBandRegistered);
  EXPECT_EQ(m_registrar.ResourceUnregisterSz(m_module.c_str(), OLESTR("NAMED"), OLESTR("REGISTRY")), S_OK);
  EXPECT_EQ(m_registrar.ResourceUnregisterSz(m_module.c_str(), OLESTR("#1"), OLESTR("REGISTRY")), S_OK)
      << "twice, and by the number written as text";
  EXPECT_EQ(DumpAll(), "[HKCR]\nCLSID\n");
}

TEST_F(FromResources, TheScriptEndsAtANulInside) {
  EXPECT_EQ(m_registrar.ResourceRegister(m_module.c_str(), 2, OLESTR("REGISTRY")), S_OK);
  EXPECT_EQ(DumpAll(), "[HKCU]\nBefore\n");
}

TEST_F(FromResources, EmptyAndBlankResources) {
  EXPECT_EQ(m_registrar.ResourceRegister(m_module.c_str(), 3, OLESTR("REGISTRY")), S_OK);
  EXPECT_EQ(m_registrar.ResourceRegister(m_module.c_str(), 4, OLESTR("REGISTRY")), DISP_E_EXCEPTION);
  EXPECT_EQ(DumpAll(), "");
}

TEST_F(FromResources, FailuresToLoad) {
  const struct {
    const char* name;
    HRESULT got;
    HRESULT want;
  } cases[] = {
      {"no such resource", m_registrar.ResourceRegister(m_module.c_str(), 99, OLESTR("REGISTRY")),
       FromWin32(ERROR_RESOURCE_NAME_NOT_FOUND)},
      {"no such type", m_registrar.ResourceRegister(m_module.c_str(), 1, OLESTR("NOTHERE")),
       FromWin32(ERROR_RESOURCE_TYPE_NOT_FOUND)},
      {"no such module", m_registrar.ResourceRegister(OLESTR("/nonexistent/lib.so"), 1, OLESTR("REGISTRY")),
       FromWin32(ERROR_MOD_NOT_FOUND)},
      {"null module", m_registrar.ResourceRegister(nullptr, 1, OLESTR("REGISTRY")), E_OUTOFMEMORY},
      {"null type by number", m_registrar.ResourceUnregister(m_module.c_str(), 1, nullptr), E_OUTOFMEMORY},
      {"null name", m_registrar.ResourceRegisterSz(m_module.c_str(), nullptr, OLESTR("REGISTRY")), E_INVALIDARG},
      {"null type by name", m_registrar.ResourceUnregisterSz(m_module.c_str(), OLESTR("NAMED"), nullptr),
       E_INVALIDARG},
      {"another type's resource", m_registrar.ResourceRegister(m_module.c_str(), 1, OLESTR("OTHERTYPE")),
       FromWin32(ERROR_RESOURCE_NAME_NOT_FOUND)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
  EXPECT_EQ(m_registrar.ResourceRegister(m_module.c_str(), 7, OLESTR("OTHERTYPE")), S_OK)
      << "any resource type can hold a script";
  EXPECT_EQ(DumpAll(), kBandRegistered);
}

TEST_F(FromResources, AMissingVariableFailsBeforeAnythingIsWritten) {
  CRegObject bare;
  EXPECT_EQ(bare.ResourceRegister(m_module.c_str(), 1, OLESTR("REGISTRY")), DISP_E_EXCEPTION);
  EXPECT_EQ(DumpAll(), "");
}

}  // namespace
