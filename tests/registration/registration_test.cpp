// Registering and unregistering daybander.so as a setup program does, then
// creating the band by class id as the browser does.
#include <gtest/gtest.h>

#include <windows.h>
#include <initguid.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ansi_code_page.h"
#include "daybander_ids.h"
#include "loaded_module.h"
#include "module_copy.h"
#include "registry_dump.h"
#include "winapi_control.h"

namespace {

typedef std::set<std::string> Lines;

const char kClsid[] = "{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}";
const char kLibid[] = "{8200D3A3-81E7-4A2A-A0B2-17E272B1A45C}";
const char kIid[] = "{73FE2B10-075F-4D49-90DF-804768588E6C}";

const WinapiObjectKind kCountedKinds[] = {WinapiTaskMemory, WinapiModules, WinapiBstrs,   WinapiWindows,
                                         WinapiMenus,      WinapiFonts,   WinapiKeys,    WinapiStreams,
                                         WinapiCriticalSections, WinapiTypeObjects};

// The registry as a set of lines: "ROOT\\key" for each key and
// "ROOT\\key name=S:text" for each value (the dump's notation).
Lines Entries(HKEY root, const std::string& rootName) {
  Lines lines;
  std::string key;
  std::istringstream dump(testing_support::DumpRegistry(root));
  for (std::string line; std::getline(dump, line);) {
    if (line.rfind("  ", 0) == 0) {
      lines.insert(key + " " + line.substr(2));
    } else {
      key = rootName + "\\" + line;
      lines.insert(key);
    }
  }
  return lines;
}

// Everything in the two roots the script touches, less what the platform's
// type library registration writes (checked on its own).
Lines ScriptPart() {
  Lines lines = Entries(HKEY_CLASSES_ROOT, "HKCR");
  const Lines machine = Entries(HKEY_LOCAL_MACHINE, "HKLM");
  lines.insert(machine.begin(), machine.end());
  for (auto it = lines.begin(); it != lines.end();) {
    const bool typeLibrary = it->rfind("HKCR\\TypeLib", 0) == 0 || it->rfind("HKCR\\Interface", 0) == 0;
    it = typeLibrary ? lines.erase(it) : std::next(it);
  }
  return lines;
}

// What the registry script leaves behind after unregistering: the keys it
// marks NoRemove.
const Lines kSharedKeys = {
    "HKCR\\CLSID",
    "HKLM\\SOFTWARE",
    "HKLM\\SOFTWARE\\Microsoft",
    "HKLM\\SOFTWARE\\Microsoft\\Internet Explorer",
    "HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar",
};

// The entries the registry script writes, for a module at `path`.
Lines ScriptEntries(const std::string& path) {
  const std::string progId = "HKCR\\Daybander.ExplorerBar";
  const std::string classKey = std::string("HKCR\\CLSID\\") + kClsid;
  Lines lines = {
      progId + ".1",
      progId + ".1 @=S:Daybander",
      progId + ".1\\CLSID",
      progId + ".1\\CLSID @=S:" + kClsid,
      progId,
      progId + " @=S:Daybander",
      progId + "\\CLSID",
      progId + "\\CLSID @=S:" + kClsid,
      progId + "\\CurVer",
      progId + "\\CurVer @=S:Daybander.ExplorerBar.1",
      classKey,
      classKey + " @=S:Daybander",
      classKey + "\\ProgID",
      classKey + "\\ProgID @=S:Daybander.ExplorerBar.1",
      classKey + "\\VersionIndependentProgID",
      classKey + "\\VersionIndependentProgID @=S:Daybander.ExplorerBar",
      classKey + "\\Programmable",
      classKey + "\\InprocServer32",
      classKey + "\\InprocServer32 @=S:" + path,
      classKey + "\\InprocServer32 ThreadingModel=S:Apartment",
      classKey + "\\TypeLib",
      classKey + "\\TypeLib @=S:" + kLibid,
      std::string("HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar ") + kClsid + "=S:Daybander",
  };
  lines.insert(kSharedKeys.begin(), kSharedKeys.end());
  return lines;
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void CreateKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  RegCloseKey(key);
}

std::string ModulePath() {
  const char* path = std::getenv("DAYBANDER_MODULE");
  return path ? std::filesystem::canonical(path).string() : std::string();
}

std::vector<LONG> LiveCounts() {
  std::vector<LONG> counts;
  for (WinapiObjectKind kind : kCountedKinds) counts.push_back(WinapiLiveCount(kind));
  return counts;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WinapiResetRegistry();
    ASSERT_NE(nullptr, m_module.registerServer);
    ASSERT_NE(nullptr, m_module.unregisterServer);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    EXPECT_EQ(S_OK, m_module.canUnloadNow());
    EXPECT_TRUE(m_module.Free());
    for (size_t i = 0; i < m_live.size(); ++i) {
      EXPECT_EQ(m_live[i], WinapiLiveCount(kCountedKinds[i])) << "object kind " << kCountedKinds[i];
    }
    WinapiResetRegistry();
  }

  // Taken before the library is loaded.
  std::vector<LONG> m_live = LiveCounts();
  LoadedModule m_module;
};

TEST_F(RegistrationTest, RegisteringWritesTheScriptsEntriesAndTheTypeLibrary) {
  ASSERT_EQ(S_OK, m_module.registerServer());
  EXPECT_EQ(ScriptEntries(ModulePath()), ScriptPart());
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibid + "\\1.0"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("Interface\\") + kIid));

  ITypeLib* typeLib = nullptr;
  ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_DAYBANDERLib, 1, 0, 0, &typeLib));
  typeLib->Release();
}

TEST_F(RegistrationTest, APathWithAnApostropheIsRecordedAsItIs) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("daybander-" + std::to_string(GetCurrentProcessId())) /
                          "Bob's band";
  fs::create_directories(folder);
  const fs::path copy = folder / "daybander.so";
  fs::copy_file(ModulePath(), copy, fs::copy_options::overwrite_existing);
  {
    LoadedModule quoted(copy.c_str());
    ASSERT_NE(nullptr, quoted.registerServer);
    EXPECT_EQ(S_OK, quoted.registerServer());
    EXPECT_EQ(ScriptEntries(fs::canonical(copy).string()), ScriptPart());
    EXPECT_EQ(S_OK, quoted.unregisterServer());
  }
  fs::remove_all(folder.parent_path());
}

// The registry script is ANSI text. A module registers where the ANSI code
// page spells its path, which then reads back byte for byte, from the saved
// registry too, and names the file the class loads from. Where the code page
// cannot spell it, or the name cannot be read at all, nothing is written.
TEST_F(RegistrationTest, TheModulePathRegistersOnlyAsTheAnsiCodePageSpellsIt) {
  const HRESULT unspellable = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  constexpr DWORD readable = 0xFFFFFFFFu;
  struct Case {
    const char* what;
    std::u16string folder;
    UINT codePage;
    DWORD nameError;  // the module's name cannot be read, with this last error
    HRESULT expected;
  };
  const Case cases[] = {
      {"accented Latin under 1252", u"Café Ñandú", 1252, readable, S_OK},
      {"Ñ, which 1256 lacks", u"Café Ñandú", 1256, readable, unspellable},
      {"Persian letters that 1256 holds, under 1256", u"\u06A9\u062A\u0627\u0628", 1256, readable, S_OK},
      {"the same letters under 1252", u"\u06A9\u062A\u0627\u0628", 1252, readable, unspellable},
      {"Farsi yeh, which 1256 lacks", u"\u06A9\u062A\u0627\u0628\u06CC", 1256, readable, unspellable},
      {"Farsi yeh under 1252", u"\u06A9\u062A\u0627\u0628\u06CC", 1252, readable, unspellable},
      {"any name under UTF-8", u"\u06A9\u062A\u0627\u0628\u06CC", CP_UTF8, readable, S_OK},
      {"a name that cannot be read, last error 0", u"plain", 1252, 0, E_FAIL},
      {"a name that cannot be read, for want of memory", u"plain", 1252, ERROR_NOT_ENOUGH_MEMORY,
       HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WinapiResetRegistry();
    ScopedAnsiCodePage codePage(c.codePage);
    ModuleCopy copy(c.folder);
    LoadedModule module(copy.path.c_str());
    ASSERT_NE(nullptr, module.registerServer);
    if (c.nameError != readable) WinapiFailNextModuleFileName(c.nameError);
    EXPECT_EQ(c.expected, module.registerServer());
    if (FAILED(c.expected)) {
      EXPECT_EQ(Lines(), Entries(HKEY_CLASSES_ROOT, "HKCR"));
      EXPECT_EQ(Lines(), Entries(HKEY_LOCAL_MACHINE, "HKLM"));
      continue;
    }
    const Lines expected = ScriptEntries(InCodePage(c.codePage, copy.path));
    EXPECT_EQ(expected, ScriptPart());
    const std::string saved = copy.root() + "/registry.reg";
    ASSERT_EQ(ERROR_SUCCESS, WinapiSaveRegistry(saved.c_str()));
    WinapiResetRegistry();
    ASSERT_EQ(ERROR_SUCCESS, WinapiLoadRegistry(saved.c_str(), nullptr));
    EXPECT_EQ(expected, ScriptPart());

    IUnknown* band = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ExplorerBar, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&band)));
    if (band) band->Release();
    ITypeLib* typeLib = nullptr;
    EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_DAYBANDERLib, 1, 0, 0, &typeLib));
    if (typeLib) typeLib->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(S_OK, module.unregisterServer());
    EXPECT_EQ(kSharedKeys, ScriptPart());
  }
}

TEST_F(RegistrationTest, RegisteringAgainRewritesTheClassKeyAndSparesTheProgIds) {
  ASSERT_EQ(S_OK, m_module.registerServer());
  const std::string classKey = std::string("CLSID\\") + kClsid;
  CreateKey(HKEY_CLASSES_ROOT, classKey + "\\Foreign");
  CreateKey(HKEY_CLASSES_ROOT, classKey + "\\Programmable\\Foreign");
  CreateKey(HKEY_CLASSES_ROOT, "Daybander.ExplorerBar\\Foreign");
  ASSERT_EQ(S_OK, m_module.registerServer());

  Lines expected = ScriptEntries(ModulePath());
  expected.insert("HKCR\\Daybander.ExplorerBar\\Foreign");
  EXPECT_EQ(expected, ScriptPart());
}

TEST_F(RegistrationTest, UnregisteringRemovesWhatTheScriptOwnsAndKeepsSharedKeys) {
  ASSERT_EQ(S_OK, m_module.registerServer());
  ASSERT_EQ(S_OK, m_module.unregisterServer());
  EXPECT_EQ(kSharedKeys, ScriptPart());
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibid));
  ITypeLib* typeLib = nullptr;
  EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, LoadRegTypeLib(LIBID_DAYBANDERLib, 1, 0, 0, &typeLib));

  // Again: the script finds nothing to remove; the answer is the type library's.
  const HRESULT again = m_module.unregisterServer();
  EXPECT_EQ(UnRegisterTypeLib(LIBID_DAYBANDERLib, 1, 0, 0, SYS_WIN32), again);
  EXPECT_EQ(kSharedKeys, ScriptPart());
}

TEST_F(RegistrationTest, TheBrowserCreatesTheBandByClassIdOnlyWhileItIsRegistered) {
  IDeskBand* band = nullptr;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_ExplorerBar, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                                  reinterpret_cast<void**>(&band)));
  EXPECT_EQ(nullptr, band);

  ASSERT_EQ(S_OK, m_module.registerServer());
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ExplorerBar, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                   reinterpret_cast<void**>(&band)));
  // A working band: it saves its default settings.
  IPersistStream* persist = nullptr;
  ASSERT_EQ(S_OK, band->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
  IStream* stream = SHCreateMemStream(nullptr, 0);
  EXPECT_EQ(S_OK, persist->Save(stream, TRUE));
  STATSTG stat = {};
  stream->Stat(&stat, STATFLAG_NONAME);
  EXPECT_EQ(8u, stat.cbSize.QuadPart);
  stream->Release();
  persist->Release();
  EXPECT_EQ(0u, band->Release());

  ASSERT_EQ(S_OK, m_module.unregisterServer());
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_ExplorerBar, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                                  reinterpret_cast<void**>(&band)));
}

TEST_F(RegistrationTest, TypeInformationComesFromTheRegisteredTypeLibrary) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, m_module.getClassObject(CLSID_ExplorerBar, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
  factory->Release();

  UINT count = 0;
  EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(DISP_E_BADINDEX, dispatch->GetTypeInfo(1, 0, &info));
  EXPECT_EQ(E_POINTER, dispatch->GetTypeInfo(0, 0, nullptr));

  // Before registration the platform cannot find the library.
  ITypeLib* unregistered = nullptr;
  const HRESULT notRegistered = LoadRegTypeLib(LIBID_DAYBANDERLib, 1, 0, 0, &unregistered);
  ASSERT_TRUE(FAILED(notRegistered));
  EXPECT_EQ(notRegistered, dispatch->GetTypeInfo(0, 0, &info));
  EXPECT_EQ(nullptr, info);
  LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("QueryInterface"))};
  DISPID id = 0;
  EXPECT_EQ(notRegistered, dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id));

  ASSERT_EQ(S_OK, m_module.registerServer());
  ITypeInfo* first = nullptr;
  ITypeInfo* second = nullptr;
  ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &first));
  ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &second));
  EXPECT_EQ(first, second);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, first->GetTypeAttr(&attributes));
  EXPECT_TRUE(IsEqualGUID(IID_IExplorerBar, attributes->guid));
  first->ReleaseTypeAttr(attributes);
  first->Release();
  second->Release();

  // The interface has no members of its own: names and calls reach the type
  // information and are refused there, in any letter case.
  DISPID looked = 0;
  const HRESULT lookup = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &looked);
  LPOLESTR otherCase[] = {const_cast<LPOLESTR>(OLESTR("queryINTERFACE"))};
  EXPECT_EQ(lookup, dispatch->GetIDsOfNames(IID_NULL, otherCase, 1, 0, &looked));
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(OLESTR("NoSuchMember"))};
  EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, unknown, 1, 0, &looked));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));

  EXPECT_EQ(0u, dispatch->Release());
  ASSERT_EQ(S_OK, m_module.unregisterServer());
}

// Everything in the registry, every root.
Lines WholeRegistry() {
  Lines lines = Entries(HKEY_CLASSES_ROOT, "HKCR");
  for (const auto& root : {std::make_pair(HKEY_CURRENT_USER, "HKCU"), std::make_pair(HKEY_LOCAL_MACHINE, "HKLM"),
                           std::make_pair(HKEY_USERS, "HKU")}) {
    const Lines more = Entries(root.first, root.second);
    lines.insert(more.begin(), more.end());
  }
  return lines;
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// The library's type library, as its TYPELIB resource holds it.
std::string TypeLibraryBytes() {
  const HMODULE data = LoadLibraryExA(ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  const HRSRC info = FindResourceA(data, MAKEINTRESOURCEA(1), "TYPELIB");
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(data, info)));
  std::string copy(bytes ? bytes : "", bytes ? SizeofResource(data, info) : 0);
  FreeLibrary(data);
  return copy;
}

// A path of exactly `length` characters that ends in `file`, below `folder`
// and a folder with a dot in its name (which is no extension of the file).
std::filesystem::path PathOfLength(const std::filesystem::path& folder, size_t length, const std::string& file) {
  std::string path = folder.string();
  const std::string last = "/band.v1/" + file;
  size_t padding = length - path.size() - last.size();
  while (padding > 0) {
    size_t part = padding > 201 ? 201 : padding;
    if (padding - part == 1) --part;  // every folder name needs a character
    path += "/" + std::string(part - 1, 'p');
    padding -= part;
  }
  return path + last;
}

enum class Before { Nothing, ClassesRefuseWrites, TypeLibsRefuseWrites, Registered, RegisteredProgIdLocked };
enum class After { Unchanged, ScriptAdded, AllAdded, ScriptRemoved };

// Registration that meets a failure reports it, and the registry afterwards
// is the one before it with exactly what the steps before the failure did.
TEST_F(RegistrationTest, AFailingStepIsReportedAndLeavesTheRegistryInStep) {
  const std::string kLibrary = "daybander.so";
  const std::string kNoExtension = "daybander";
  struct Case {
    const char* name;
    size_t pathLength;  // of the library's copy; 0 for a short path
    std::string file;
    bool typeLibInside;  // false: the copy carries no type library
    bool tlbBeside;      // the type library beside it, in <name>.tlb
    Before before;
    bool registering;
    HRESULT hr;
    After after;
  };
  const Case cases[] = {
      {"the class script refused", 0, kLibrary, true, false, Before::ClassesRefuseWrites, true, E_ACCESSDENIED,
       After::Unchanged},
      {"the type library refused", 0, kLibrary, true, false, Before::TypeLibsRefuseWrites, true,
       TYPE_E_REGISTRYACCESS, After::ScriptAdded},
      {"no type library in the file nor beside it", 0, kLibrary, false, false, Before::Nothing, true,
       TYPE_E_CANTLOADLIBRARY, After::ScriptAdded},
      {"the type library beside the file", 0, kLibrary, false, true, Before::Nothing, true, S_OK, After::AllAdded},
      {"a file name of 259 characters", 259, kLibrary, true, false, Before::Nothing, true, S_OK, After::AllAdded},
      {"a file name cut at 260 characters", 260, kLibrary, true, false, Before::Nothing, true,
       HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), After::Unchanged},
      {"a .tlb name of 259 characters", 255, kNoExtension, false, true, Before::Nothing, true, S_OK,
       After::AllAdded},
      {"a .tlb name past 259 characters", 256, kNoExtension, false, true, Before::Nothing, true, E_FAIL,
       After::ScriptAdded},
      {"the script refused while unregistering", 0, kLibrary, true, false, Before::RegisteredProgIdLocked, false,
       E_ACCESSDENIED, After::Unchanged},
      {"no type library to unregister", 0, kLibrary, false, false, Before::Registered, false,
       TYPE_E_CANTLOADLIBRARY, After::ScriptRemoved},
  };
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::canonical(fs::temp_directory_path()) / ("daybander-failing-" + std::to_string(GetCurrentProcessId()));
  const std::string typeLibrary = TypeLibraryBytes();
  ASSERT_FALSE(typeLibrary.empty());
  std::string withoutTypeLib = FileBytes(ModulePath());
  const std::string typeName(reinterpret_cast<const char*>(u"TYPELIB"), 14);
  const size_t typeAt = withoutTypeLib.find(typeName);
  ASSERT_NE(typeAt, std::string::npos);
  ASSERT_EQ(withoutTypeLib.find(typeName, typeAt + 1), std::string::npos);
  withoutTypeLib[typeAt + 12] = 'X';  // another resource type

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WinapiResetRegistry();
    const fs::path path = c.pathLength ? PathOfLength(folder, c.pathLength, c.file) : folder / c.file;
    if (c.pathLength) {
      ASSERT_EQ(c.pathLength, path.string().size());
    }
    WriteBytes(path, c.typeLibInside ? FileBytes(ModulePath()) : withoutTypeLib);
    const fs::path tlb = fs::path(path).replace_extension(".tlb");
    if (c.tlbBeside) WriteBytes(tlb, typeLibrary);

    // What the platform records for the type library that is found.
    Lines typeLibEntries;
    if (c.after == After::AllAdded) {
      const std::string recorded = c.typeLibInside ? path.string() : tlb.string();
      ITypeLib* lib = nullptr;
      ASSERT_EQ(S_OK, LoadTypeLib(Wide(recorded).c_str(), &lib));
      ASSERT_EQ(S_OK, RegisterTypeLib(lib, Wide(recorded).c_str(), nullptr));
      lib->Release();
      typeLibEntries = WholeRegistry();
      WinapiResetRegistry();
    }
    {
      LoadedModule copy(path.c_str());
      ASSERT_NE(nullptr, copy.registerServer);
      if (c.before == Before::ClassesRefuseWrites || c.before == Before::TypeLibsRefuseWrites) {
        const char* key = c.before == Before::ClassesRefuseWrites ? "CLSID" : "TypeLib";
        CreateKey(HKEY_CLASSES_ROOT, key);
        ASSERT_EQ(ERROR_SUCCESS, WinapiSetKeyRefusesWrites(HKEY_CLASSES_ROOT, key, TRUE));
      }
      if (c.before == Before::Registered || c.before == Before::RegisteredProgIdLocked) {
        ASSERT_EQ(c.typeLibInside ? S_OK : TYPE_E_CANTLOADLIBRARY, copy.registerServer());
      }
      if (c.before == Before::RegisteredProgIdLocked) {
        ASSERT_EQ(ERROR_SUCCESS,
                  WinapiSetKeyRefusesWrites(HKEY_CLASSES_ROOT, "Daybander.ExplorerBar.1\\CLSID", TRUE));
      }
      const Lines before = WholeRegistry();
      EXPECT_EQ(c.hr, c.registering ? copy.registerServer() : copy.unregisterServer());

      Lines expected = before;
      Lines script = ScriptEntries(path.string());
      if (c.after == After::ScriptAdded || c.after == After::AllAdded) expected.insert(script.begin(), script.end());
      if (c.after == After::AllAdded) expected.insert(typeLibEntries.begin(), typeLibEntries.end());
      if (c.after == After::ScriptRemoved) {
        for (const std::string& shared : kSharedKeys) script.erase(shared);
        for (const std::string& line : script) expected.erase(line);
      }
      EXPECT_EQ(expected, WholeRegistry());
    }
    fs::remove_all(folder);
  }
}

}  // namespace
