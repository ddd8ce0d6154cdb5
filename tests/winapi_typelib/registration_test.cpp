// Registering type libraries: the entries written and removed, and
// LoadRegTypeLib before and after, with the statuses Windows gives.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "calc.h"
#include "typelib_fixture.h"

namespace typelib_test {
namespace {

class Registration : public TypeLibTest {
 protected:
  void SetUp() override {
    TypeLibTest::SetUp();
    ASSERT_EQ(Load(CALC_TLB, &m_lib), S_OK);
  }
  void TearDown() override {
    m_lib.reset();
    TypeLibTest::TearDown();
  }
  HRESULT Register(const char* helpDir = nullptr) {
    const std::u16string dir = helpDir ? Wide(helpDir) : std::u16string();
    return RegisterTypeLib(m_lib.get(), Wide(CALC_TLB).c_str(), helpDir ? dir.c_str() : nullptr);
  }
  static HRESULT LoadRegistered(WORD major, WORD minor, LCID lcid = 0) {
    com_ptr<ITypeLib> lib;
    const HRESULT hr = LoadRegTypeLib(kCalcLibId, major, minor, lcid, lib.put());
    EXPECT_EQ(static_cast<bool>(lib), SUCCEEDED(hr));
    return hr;
  }

  com_ptr<ITypeLib> m_lib;
};

const char kExpectedEntries[] =
    "Interface\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C02}\n"
    "  @=S:ICalc\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C02}\\ProxyStubClsid\n"
    "  @=S:{00020424-0000-0000-C000-000000000046}\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C02}\\ProxyStubClsid32\n"
    "  @=S:{00020424-0000-0000-C000-000000000046}\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C02}\\TypeLib\n"
    "  @=S:{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\n"
    "  Version=S:2.3\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C03}\n"
    "  @=S:DCalcEvents\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C03}\\ProxyStubClsid\n"
    "  @=S:{00020420-0000-0000-C000-000000000046}\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C03}\\ProxyStubClsid32\n"
    "  @=S:{00020420-0000-0000-C000-000000000046}\n"
    "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C03}\\TypeLib\n"
    "  @=S:{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\n"
    "  Version=S:2.3\n"
    "TypeLib\n"
    "TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\n"
    "TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\\2.3\n"
    "  @=S:Calculator Library\n"
    "TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\\2.3\\0\n"
    "TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\\2.3\\0\\win32\n"
    "  @=S:" CALC_TLB "\n"
    "TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\\2.3\\FLAGS\n"
    "  @=S:0\n"
    "TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\\2.3\\HELPDIR\n"
    "  @=S:\n";

TEST_F(Registration, WritesTheLibraryAndItsAutomationInterfaces) {
  ASSERT_EQ(Register(), S_OK);
  EXPECT_EQ(DumpKeys(HKEY_CLASSES_ROOT), kExpectedEntries);
  ASSERT_EQ(Register(), S_OK) << "registering again rewrites the same entries";
  EXPECT_EQ(DumpKeys(HKEY_CLASSES_ROOT), kExpectedEntries);

  ASSERT_EQ(Register("/opt/calc/help/"), S_OK);
  EXPECT_NE(DumpKeys(HKEY_CLASSES_ROOT).find("HELPDIR\n  @=S:/opt/calc/help/\n"), std::string::npos);
  EXPECT_EQ(RegisterTypeLib(nullptr, u"x", nullptr), E_INVALIDARG);
  EXPECT_EQ(RegisterTypeLib(m_lib.get(), nullptr, nullptr), E_INVALIDARG);
}

// FLAGS holds the library flags in hexadecimal: a copy of the test library
// whose header says LIBFLAG_FCONTROL | LIBFLAG_FHASDISKIMAGE registers "a".
TEST_F(Registration, FlagsAreWrittenInHexadecimal) {
  std::ifstream in(CALC_TLB, std::ios::binary);
  std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 0x1Eu);
  image[0x1C] = 0x0A;  // the MSFT header's library flags
  image[0x1D] = 0;
  const std::string copy = ::testing::TempDir() + "calc-flags.tlb";
  std::ofstream(copy, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
  com_ptr<ITypeLib> lib;
  ASSERT_EQ(Load(copy, &lib), S_OK);
  ASSERT_EQ(RegisterTypeLib(lib.get(), Wide(copy).c_str(), nullptr), S_OK);
  EXPECT_NE(DumpKeys(HKEY_CLASSES_ROOT).find("\\2.3\\FLAGS\n  @=S:a\n"), std::string::npos);
  lib.reset();
  std::remove(copy.c_str());
}

TEST_F(Registration, LoadRegTypeLibFindsAMatchingVersion) {
  EXPECT_EQ(LoadRegistered(2, 3), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(Register(), S_OK);
  struct Case {
    WORD major, minor;
    LCID lcid;
    HRESULT result;
  };
  const Case cases[] = {
      {2, 3, 0, S_OK},       {2, 0, 0, S_OK},  // an older minor version is served by a newer one
      {2, 4, 0, TYPE_E_LIBNOTREGISTERED},      {1, 0, 0, TYPE_E_LIBNOTREGISTERED},
      {3, 3, 0, TYPE_E_LIBNOTREGISTERED},      {2, 3, 0x0409, S_OK},  // any locale falls back to neutral
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadRegistered(c.major, c.minor, c.lcid), c.result) << c.major << "." << c.minor << " " << c.lcid;
  }
  BSTR path = nullptr;
  ASSERT_EQ(QueryPathOfRegTypeLib(kCalcLibId, 2, 1, 0, &path), S_OK);
  EXPECT_EQ(Narrow(path), CALC_TLB);
  SysFreeString(path);
  EXPECT_EQ(QueryPathOfRegTypeLib(kCalcLibId, 9, 0, 0, &path), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(path, nullptr);
  EXPECT_EQ(LoadRegTypeLib(kCalcLibId, 2, 3, 0, nullptr), E_INVALIDARG);
}

TEST_F(Registration, ARegisteredPathThatIsGoneFailsToLoad) {
  ASSERT_EQ(RegisterTypeLib(m_lib.get(), u"/nonexistent/calc.tlb", nullptr), S_OK);
  EXPECT_EQ(LoadRegistered(2, 3), TYPE_E_CANTLOADLIBRARY);
}

TEST_F(Registration, UnregisterRemovesWhatRegisterWrote) {
  ASSERT_EQ(Register(), S_OK);
  ASSERT_EQ(UnRegisterTypeLib(kCalcLibId, 2, 3, 0, SYS_WIN32), S_OK);
  EXPECT_EQ(DumpKeys(HKEY_CLASSES_ROOT), "Interface\nTypeLib\n");
  EXPECT_EQ(LoadRegistered(2, 3), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(UnRegisterTypeLib(kCalcLibId, 2, 3, 0, SYS_WIN32), TYPE_E_REGISTRYACCESS) << "nothing left to remove";
}

TEST_F(Registration, UnregisterLeavesOtherVersionsAndInterfacesNowOwnedElsewhere) {
  ASSERT_EQ(Register(), S_OK);
  HKEY key = nullptr;
  // Another version of the library, and ICalc taken over by another library.
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\\1.0\\0\\win32", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C02}\\TypeLib", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char other[] = "{00000000-0000-0000-0000-000000000001}";
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof(other)),
            ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(UnRegisterTypeLib(kCalcLibId, 2, 3, 0, SYS_WIN32), S_OK);
  const std::string left = DumpKeys(HKEY_CLASSES_ROOT);
  EXPECT_NE(left.find("TypeLib\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}\\1.0\\0\\win32\n"), std::string::npos);
  EXPECT_EQ(left.find("\\2.3"), std::string::npos);
  EXPECT_NE(left.find("Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C02}\n"), std::string::npos);
  EXPECT_EQ(left.find("Interface\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C03}"), std::string::npos);
}

// Daybander's own library, registered from the module as its setup does.
TEST_F(Registration, DaybanderLibraryFromItsModule) {
  com_ptr<ITypeLib> lib;
  ASSERT_EQ(Load(ModulePath(), &lib), S_OK);
  ASSERT_EQ(RegisterTypeLib(lib.get(), Wide(ModulePath()).c_str(), nullptr), S_OK);
  const std::string entries = DumpKeys(HKEY_CLASSES_ROOT);
  EXPECT_NE(entries.find("TypeLib\\{8200D3A3-81E7-4A2A-A0B2-17E272B1A45C}\\1.0\n"
                         "  @=S:Daybander 1.0 Type Library\n"),
            std::string::npos);
  EXPECT_NE(entries.find("\\1.0\\0\\win32\n  @=S:" + ModulePath() + "\n"), std::string::npos);
  EXPECT_NE(entries.find("Interface\\{73FE2B10-075F-4D49-90DF-804768588E6C}\n  @=S:IExplorerBar\n"),
            std::string::npos);
  EXPECT_NE(entries.find("Interface\\{73FE2B10-075F-4D49-90DF-804768588E6C}\\TypeLib\n"
                         "  @=S:{8200D3A3-81E7-4A2A-A0B2-17E272B1A45C}\n  Version=S:1.0\n"),
            std::string::npos);

  const GUID libid = {0x8200D3A3, 0x81E7, 0x4A2A, {0xA0, 0xB2, 0x17, 0xE2, 0x72, 0xB1, 0xA4, 0x5C}};
  com_ptr<ITypeLib> registered;
  ASSERT_EQ(LoadRegTypeLib(libid, 1, 0, 0, registered.put()), S_OK);
  EXPECT_EQ(registered->GetTypeInfoCount(), 2u);
  registered.reset();
  ASSERT_EQ(UnRegisterTypeLib(libid, 1, 0, 0, SYS_WIN32), S_OK);
  EXPECT_EQ(DumpKeys(HKEY_CLASSES_ROOT), "Interface\nTypeLib\n");
}

}  // namespace
}  // namespace typelib_test
