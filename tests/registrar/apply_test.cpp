// Scripts applied to the registry and removed again, with the registry
// expected after each pass.
#include <cctype>
#include <string>
#include <vector>

#include "registrar_fixture.h"

namespace {

constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);
constexpr HRESULT kInvalidParameter = static_cast<HRESULT>(0x80070057);

struct RoundTrip {
  const char* name;
  const char* setup;  // registered first, as a registry found in place
  const char* script;
  const char* afterRegister;
  const char* afterUnregister;
};

const RoundTrip kRoundTrips[] = {
    {"the server's kind of script: only the NoRemove keys stay", "",
     "HKCR\r\n{\r\n"
     "\tDaybander.ExplorerBar.1 = s 'Daybander Band' { CLSID = s '{8DCA}' }\r\n"
     "\tNoRemove CLSID\r\n\t{\r\n"
     "\t\tForceRemove {8DCA} = s 'Daybander Band'\r\n\t\t{\r\n"
     "\t\t\tProgID = s 'Daybander.ExplorerBar.1'\r\n"
     "\t\t\tInprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' }\r\n"
     "\t\t}\r\n\t}\r\n}\r\n"
     "HKLM { NoRemove SOFTWARE { NoRemove Microsoft { NoRemove 'Internet Explorer' {\r\n"
     "\tNoRemove Toolbar { val {8DCA} = s 'Daybander' } } } } }\r\n",
     "[HKCR]\n"
     "CLSID\n"
     "CLSID\\{8DCA}\n  @=S:Daybander Band\n"
     "CLSID\\{8DCA}\\InprocServer32\n  @=S:C:\\dir\\daybander.dll\n  ThreadingModel=S:Apartment\n"
     "CLSID\\{8DCA}\\ProgID\n  @=S:Daybander.ExplorerBar.1\n"
     "Daybander.ExplorerBar.1\n  @=S:Daybander Band\n"
     "Daybander.ExplorerBar.1\\CLSID\n  @=S:{8DCA}\n"
     "[HKLM]\n"
     "SOFTWARE\nSOFTWARE\\Microsoft\nSOFTWARE\\Microsoft\\Internet Explorer\n"
     "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar\n  {8DCA}=S:Daybander\n",
     "[HKCR]\nCLSID\n"
     "[HKLM]\nSOFTWARE\nSOFTWARE\\Microsoft\nSOFTWARE\\Microsoft\\Internet Explorer\n"
     "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar\n"},

    {"value types and their byte images", "",
     "HKCU { Types {\r\n"
     "  val s1 = s ''\r\n"
     "  val s2 = s 'it''s'\r\n"
     "  val m1 = m 'a\\0b\\0'\r\n"
     "  val m2 = m 'a\\0\\0b'\r\n"
     "  val m3 = m ''\r\n"
     "  val m4 = m 'one'\r\n"
     "  val m5 = m 'x\\1'\r\n"
     "  val d1 = d '4294967295'\r\n"
     "  val d2 = D ' 7 '\r\n"
     "  val b1 = b 0aFF\r\n"
     "  val b2 = B ''\r\n"
     "  val b3 = b zz10\r\n"
     "  val '' = s default\r\n"
     "} }",
     "[HKCU]\nTypes\n"
     "  s1=S:\n  s2=S:it's\n"
     "  m1=M:6100620000\n  m2=M:610000\n  m3=M:00\n  m4=M:6f6e650000\n  m5=M:785c310000\n"
     "  d1=D:4294967295\n  d2=D:7\n"
     "  b1=B:0aff\n  b2=B:\n  b3=B:0010\n"
     "  @=S:default\n",
     ""},

    {"ForceRemove replaces an existing tree", "HKCR { Old = s old { Deep { val x = s y } } }",
     "HKCR { ForceRemove Old { New } }", "[HKCR]\nOld\nOld\\New\n", ""},

    {"ForceRemove of a protected name removes nothing", "HKCR { CLSID { Foreign } }",
     "HKCR { ForceRemove clsid { Mine } }", "[HKCR]\nCLSID\nCLSID\\Foreign\nCLSID\\Mine\n",
     "[HKCR]\nCLSID\nCLSID\\Foreign\n"},

    {"an empty ForceRemove entry before the next key", "", "HKCR { ForceRemove 'Empty Key'\r\n Next = s v }",
     "[HKCR]\nEmpty Key\nNext\n  @=S:v\n", ""},

    {"Delete removes a tree and skips its assignment", "HKCR { Gone { Sub } }",
     "HKCR { Delete Gone = s 'never written' Kept }", "[HKCR]\nKept\n", ""},

    {"NoRemove keys keep their own NoRemove values", "",
     "HKCU { NoRemove Kept { val a = s x NoRemove val b = s y Child } }",
     "[HKCU]\nKept\n  a=S:x\n  b=S:y\nKept\\Child\n", "[HKCU]\nKept\n  b=S:y\n"},

    {"a key that gained a foreign subkey stays, with its default value", "HKLM { K { Foreign } }",
     "HKLM { K = s v { Mine { val q = d 1 } } }", "[HKLM]\nK\n  @=S:v\nK\\Foreign\nK\\Mine\n  q=D:1\n",
     "[HKLM]\nK\n  @=S:v\nK\\Foreign\n"},

    {"keywords in any case and quoted", "",
     "hkcu { 'noremove' A { VAL v = S x 'FORCEREMOVE' B } }", "[HKCU]\nA\n  v=S:x\nA\\B\n", "[HKCU]\nA\n"},

    {"names keep their case and match without it", "HKCU { MixedCase }", "HKCU { MIXEDCASE { Inner } }",
     "[HKCU]\nMixedCase\nMixedCase\\Inner\n", ""},

    {"a quoted brace opens a block, a longer token does not", "",
     "HKCU { A '{' B } C {} }", "[HKCU]\nA\nA\\B\nC\n{}\n", ""},
};

class RoundTrips : public RegistrarTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(RoundTrips, RegisterTwiceThenUnregisterTwice) {
  const RoundTrip& c = GetParam();
  ASSERT_EQ(Register(c.setup), S_OK);
  EXPECT_EQ(Register(c.script), S_OK);
  EXPECT_EQ(DumpAll(), c.afterRegister);
  EXPECT_EQ(Register(c.script), S_OK) << "registering again";
  EXPECT_EQ(DumpAll(), c.afterRegister) << "registering again";
  EXPECT_EQ(Unregister(c.script), S_OK);
  EXPECT_EQ(DumpAll(), c.afterUnregister);
  EXPECT_EQ(Unregister(c.script), S_OK) << "unregistering again";
  EXPECT_EQ(DumpAll(), c.afterUnregister) << "unregistering again";
}

INSTANTIATE_TEST_SUITE_P(Scripts, RoundTrips, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTrip>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

struct Failure {
  const char* name;
  std::string script;
  HRESULT hr;
  const char* afterRegister;  // what the failed pass leaves
};

const Failure kFailures[] = {
    {"unknown root", "HKXX { A }", DISP_E_EXCEPTION, ""},
    {"root without its block", "HKCR A", DISP_E_EXCEPTION, ""},
    {"last block without its brace", "HKCR { A", DISP_E_EXCEPTION, ""},
    {"a path as a key name", "HKCR { A\\B }", DISP_E_EXCEPTION, ""},
    {"a path after ForceRemove", "HKCR { ForceRemove A\\B }", DISP_E_EXCEPTION, ""},
    {"an empty key name", "HKCR { '' { B } }", DISP_E_EXCEPTION, ""},
    {"a value without =", "HKCR { val v s x }", DISP_E_EXCEPTION, ""},
    {"a syntax fault inside a new key's block", "HKCR { A { val v s x } }", DISP_E_EXCEPTION, ""},
    {"an unknown type", "HKCR { A = sz x }", DISP_E_EXCEPTION, ""},
    {"binary of odd length", "HKCR { A { val b = b 0aF } }", E_FAIL, ""},
    {"D that is no number", "HKCR { A { val n = d 'twelve' } }", DISP_E_TYPEMISMATCH, ""},
    {"D beyond 32 bits", "HKCR { A { val n = d 4294967296 } }", DISP_E_OVERFLOW, ""},
    {"a key name Windows refuses", "HKCR { " + std::string(256, 'k') + " }", kInvalidParameter, ""},
    {"a 4095-byte data token", "HKCR { val A = s " + std::string(4095, 'x') + " }", DISP_E_EXCEPTION, ""},
    {"only white space", " \r\n\t", DISP_E_EXCEPTION, ""},
    {"text after the last block stops the pass, earlier blocks stay", "HKCR { A } garbage", DISP_E_EXCEPTION,
     "[HKCR]\nA\n"},
    {"a failing second block undoes only itself", "HKCR { A } HKCU { B { val n = b 123 } }", E_FAIL,
     "[HKCR]\nA\n"},
    {"a failing third block", "HKCR { A } HKCU { B } HKLM { C = d x }", DISP_E_TYPEMISMATCH,
     "[HKCR]\nA\n[HKCU]\nB\n"},
};

class Failures : public RegistrarTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(Failures, FailWithTheirStatusAndUndoTheirBlock) {
  const Failure& c = GetParam();
  EXPECT_EQ(Register(c.script), c.hr) << c.name;
  EXPECT_EQ(DumpAll(), c.afterRegister) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, Failures, ::testing::ValuesIn(kFailures));

TEST_F(RegistrarTest, EmptyScriptsAndSurroundingWhiteSpace) {
  EXPECT_EQ(Register(""), S_OK);
  EXPECT_EQ(Unregister(""), S_OK);
  EXPECT_EQ(Register("\r\n\t HKCU { A }\r\n\t "), S_OK);
  EXPECT_EQ(DumpAll(), "[HKCU]\nA\n");
  EXPECT_EQ(Unregister("HKCU { A }  \r\n"), S_OK);
  EXPECT_EQ(DumpAll(), "");
}

TEST_F(RegistrarTest, TokenOfTheLongestLengthIsWritten) {
  const std::string text(4094, 'x');
  ASSERT_EQ(Register("HKCU { A = s " + text + " }"), S_OK);
  EXPECT_EQ(DumpAll(), "[HKCU]\nA\n  @=S:" + text + "\n");
}

TEST_F(RegistrarTest, RollbackAfterAWriteRefusedByAReadOnlyKey) {
  ASSERT_EQ(Register("HKCR { Locked }"), S_OK);
  ASSERT_EQ(WinapiSetKeyRefusesWrites(HKEY_CLASSES_ROOT, "Locked", TRUE), ERROR_SUCCESS);
  // The key opens read-only, the value write on it is refused, and the whole
  // root block is undone: A goes, the locked key stays, B was never made.
  EXPECT_EQ(Register("HKCU { First } HKCR { A { val x = s 1 } Locked { val v = s 2 } B } HKLM { Never }"),
            kAccessDenied);
  EXPECT_EQ(DumpAll(), "[HKCR]\nLocked\n[HKCU]\nFirst\n");
}

TEST_F(RegistrarTest, RollbackKeepsWhatTheBlockFoundInPlace) {
  ASSERT_EQ(Register("HKCU { Old { val keep = s 1 } }"), S_OK);
  EXPECT_EQ(Register("HKCU { Old { New } Bad = b 1 }"), E_FAIL);
  EXPECT_EQ(DumpAll(), "[HKCU]\nOld\n  keep=S:1\n");
}

// What a user had before the script below ran.
const char kFoundInPlace[] =
    "HKCU { Pre = s before { val keep = s 1 val over = d 5 Child { val c = b 0aff } }"
    " Old { val o = s old Deep { val x = m 'a\\0b\\0' } } Gone { val g = s 1 Sub { val s = s 2 } }"
    " 'Mixed Case' { val m = s 1 } }";
// Creates, overwrites, deletes and force-removes; the faults come in its
// second root block.
const char* const kThreeBlocks[] = {
    "HKCR { Earlier { val e = s 1 } }\r\n",
    "HKCU {\r\n"
    "  Pre = s after { val over = d 7 val added = s new Child { val c2 = s 2 } New { val n = s 1 } }\r\n"
    "  Delete Absent { Again }\r\n"
    "  ForceRemove OLD = s fresh { Fresh }\r\n"
    "  Delete Gone\r\n"
    "  Brand { Newer = s x } Second\r\n"
    "  'MIXED CASE' { val M = s 2 }\r\n"
    "  ForceRemove Brand\r\n"
    "  val atTheRoot = s r\r\n"
    "}\r\n",
    "HKLM { Later }\r\n"};

TEST_F(RegistrarTest, AFailedBlockLeavesTheRegistryAsItWasBeforeIt) {
  // before[k]: the registry before block k runs.
  std::vector<std::string> before;
  std::vector<size_t> blockStart;
  std::string script;
  for (const char* block : kThreeBlocks) {
    WinapiResetRegistry();
    ASSERT_EQ(Register(kFoundInPlace), S_OK);
    ASSERT_EQ(Register(script), S_OK);
    before.push_back(DumpAll());
    blockStart.push_back(script.size());
    script += block;
  }
  auto blockOf = [&](size_t offset) {
    size_t k = 0;
    while (k + 1 < blockStart.size() && blockStart[k + 1] <= offset) ++k;
    return k;
  };

  // Malformed text at every token: from there on, a quote that never closes.
  CRegScriptParser tokens(nullptr);
  tokens.m_position = script.c_str();
  char token[kRegTokenBufferSize];
  while (tokens.SkipWhiteSpace(), *tokens.m_position) {
    const size_t at = static_cast<size_t>(tokens.m_position - script.c_str());
    ASSERT_EQ(tokens.NextToken(token), S_OK);
    WinapiResetRegistry();
    ASSERT_EQ(Register(kFoundInPlace), S_OK);
    EXPECT_EQ(Register(script.substr(0, at) + "'"), DISP_E_EXCEPTION) << "quote at " << at;
    EXPECT_EQ(DumpAll(), before[blockOf(at)]) << "quote at " << at;
  }

  // A key found in place that refuses writes, with the script whole and with
  // its second block cut short, so that it fails after every change it made.
  const std::string cut = script.substr(0, blockStart[2] - 3);
  int failures = 0;
  for (const char* refused : {"Pre", "Pre\\Child", "Old", "Old\\Deep", "Gone", "Gone\\Sub", "Mixed Case"}) {
    for (const std::string* variant : std::vector<const std::string*>{&script, &cut}) {
      WinapiResetRegistry();
      ASSERT_EQ(Register(kFoundInPlace), S_OK);
      ASSERT_EQ(WinapiSetKeyRefusesWrites(HKEY_CURRENT_USER, refused, TRUE), ERROR_SUCCESS) << refused;
      if (SUCCEEDED(Register(*variant))) continue;
      ++failures;
      EXPECT_EQ(DumpAll(), before[1]) << refused << (variant == &cut ? ", cut short" : "");
    }
  }
  EXPECT_EQ(failures, 11) << "all cut short, and the whole script wherever it writes to a refusing key";
}

TEST_F(RegistrarTest, AJournalLongerThanItsFirstRoom) {
  std::string inPlace = "HKCU { Many {", script = "HKCU { Many {";
  for (int i = 0; i < 100; ++i) {
    inPlace += " val v" + std::to_string(i) + " = d " + std::to_string(i);
    script += " val v" + std::to_string(i) + " = s changed val w" + std::to_string(i) + " = s added";
  }
  ASSERT_EQ(Register(inPlace + " } }"), S_OK);
  const std::string before = DumpAll();
  EXPECT_EQ(Register(script + " } Bad = b 1 }"), E_FAIL);
  EXPECT_EQ(DumpAll(), before);
}

TEST_F(RegistrarTest, AFailedScriptSaysWhereAndWhat) {
  const std::string longName(100, 'x');
  const struct {
    std::string script;
    HRESULT hr;
    LONG offset;
    LONG blockOffset;
    const char* expected;  // null: the registry refused
    const char* found;
  } cases[] = {
      {"HKCR { val x s y }", DISP_E_EXCEPTION, 13, 0, "'=' after the value name", "'s'"},
      {"HKCR {\r\n  A = s 'open\r\n}", DISP_E_EXCEPTION, 16, 0, "the value's data", "a quote that is never closed"},
      // Offsets are in the text as written, whatever the variables before.
      {"HKCU { A } HKCR { A = s '%MODULE%' B\\C }", DISP_E_EXCEPTION, 35, 11,
       "a key name without a backslash (each level has its own block)", "'B\\C'"},
      {"HKCR { A = s %MODULE% { val n = d twelve } }", DISP_E_TYPEMISMATCH, 34, 0, "an unsigned 32-bit number",
       "'twelve'"},
      {"HKCR { A } " + longName, DISP_E_EXCEPTION, 11, 11, "a root key such as HKCR or HKEY_LOCAL_MACHINE",
       "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'"},
      {"HKCU { A } HKCR { B", DISP_E_EXCEPTION, 19, 11, "'=', '{', a key name, 'val' or '}'",
       "the end of the script"},
      {"HKCR { A = s '%NOPE%' }", DISP_E_EXCEPTION, 14, 0, "a variable that has a value", "'NOPE'"},
      {"HKCR { A = b 123 }", E_FAIL, 13, 0, "pairs of hexadecimal digits", "'123'"},
      {"HKCR { Locked { val v = s 1 } }", kAccessDenied, 26, 0, nullptr, "'1'"},
  };
  for (const auto& c : cases) {
    WinapiResetRegistry();
    ASSERT_EQ(Register("HKCR { Locked }"), S_OK);
    ASSERT_EQ(WinapiSetKeyRefusesWrites(HKEY_CLASSES_ROOT, "Locked", TRUE), ERROR_SUCCESS);
    CRegObject registrar;
    registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\dir\\daybander.dll"));
    EXPECT_EQ(registrar.ScriptRegister(c.script.c_str()), c.hr) << c.script;
    const CRegScriptFault& fault = registrar.ScriptFault();
    EXPECT_EQ(fault.offset, c.offset) << c.script;
    EXPECT_EQ(fault.blockOffset, c.blockOffset) << c.script;
    EXPECT_STREQ(fault.expected, c.expected) << c.script;
    EXPECT_STREQ(fault.found, c.found) << c.script;
    EXPECT_EQ(registrar.ScriptRegister("HKCU { A }"), S_OK);
    EXPECT_EQ(registrar.ScriptFault().offset, -1) << "a success forgets the fault";
  }
}

TEST_F(RegistrarTest, UnregisteringSkipsAbsentKeysAndTheirBlocks) {
  ASSERT_EQ(Register("HKCR { Present { val v = s 1 } Other }"), S_OK);
  EXPECT_EQ(Unregister("HKCR { Absent = s x { Child { val v = s x Grand { } } NoRemove Else { val w = d 1 } }\r\n"
                       "  Present { val v = s 1 val missing = s 2 } }"),
            S_OK);
  EXPECT_EQ(DumpAll(), "[HKCR]\nOther\n");
}

TEST_F(RegistrarTest, UnregisterStopsAtTheFirstFailure) {
  ASSERT_EQ(Register("HKCU { A { Inner } B }"), S_OK);
  ASSERT_EQ(WinapiSetKeyRefusesWrites(HKEY_CURRENT_USER, "A\\Inner", TRUE), ERROR_SUCCESS);
  EXPECT_EQ(Unregister("HKCU { B A { Inner } }"), kAccessDenied);
  EXPECT_EQ(DumpAll(), "[HKCU]\nA\nA\\Inner\n") << "B, before the failure, stays deleted";
}

// Only an absent key or value is passed over when unregistering; any other
// refusal ends the pass with its status, and what went before stays removed.
TEST_F(RegistrarTest, UnregisterReportsWhatRefusesIt) {
  // Locked itself stays, so only its value's refusal can stop the pass there.
  const std::string script = "HKCU { Gone NoRemove Locked { val v = s 1 } Kept }";
  struct Case {
    const char* name;
    std::string script;
    const char* refusesWrites;  // a key of HKCU made read-only
    LONG valueDeletion;         // the status the next value deletion gets
    HRESULT hr;
  };
  const Case cases[] = {
      {"a key that cannot be opened, though it is not absent",
       "HKCU { Gone " + std::string(256, 'k') + " { val v = s 1 } Locked { val v = s 1 } Kept }", nullptr,
       ERROR_SUCCESS, kInvalidParameter},
      {"a parent that cannot be opened for writing", script, "Locked", ERROR_SUCCESS, kAccessDenied},
      {"a value deletion refused", script, nullptr, ERROR_ACCESS_DENIED, kAccessDenied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WinapiResetRegistry();
    ASSERT_EQ(Register(script), S_OK);
    if (c.refusesWrites) {
      ASSERT_EQ(WinapiSetKeyRefusesWrites(HKEY_CURRENT_USER, c.refusesWrites, TRUE), ERROR_SUCCESS);
    }
    WinapiFailNextValueDeletion(c.valueDeletion);
    EXPECT_EQ(Unregister(c.script), c.hr);
    EXPECT_EQ(DumpAll(), "[HKCU]\nKept\nLocked\n  v=S:1\n");
  }
  WinapiFailNextValueDeletion(ERROR_SUCCESS);
}

std::string Nested(int levels) {
  std::string script = "HKCR {";
  for (int i = 1; i < levels; ++i) script += " K {";
  for (int i = 1; i < levels; ++i) script += " }";
  return script + " }";
}

TEST_F(RegistrarTest, NestingIsCappedAt64Levels) {
  ASSERT_EQ(Register(Nested(64)), S_OK);
  std::string expected = "[HKCR]\n", path;
  for (int i = 1; i < 64; ++i) {
    path += i == 1 ? "K" : "\\K";
    expected += path + "\n";
  }
  EXPECT_EQ(DumpAll(), expected);
  // Unregistering a deeper script removes what it can reach and still fails.
  EXPECT_EQ(Unregister(Nested(65)), DISP_E_EXCEPTION);
  EXPECT_EQ(DumpAll(), "");

  EXPECT_EQ(Register(Nested(65)), DISP_E_EXCEPTION);
  EXPECT_EQ(DumpAll(), "") << "the refused script leaves nothing behind";
}

TEST_F(RegistrarTest, VeryDeepScriptsFailWithoutExhaustingTheStack) {
  const std::string deep = Nested(200000);
  EXPECT_EQ(Register(deep), DISP_E_EXCEPTION);
  EXPECT_EQ(DumpAll(), "");
  EXPECT_EQ(Unregister(deep), DISP_E_EXCEPTION);
  std::string unclosed = "HKCR {";
  for (int i = 0; i < 100000; ++i) unclosed += " K {";
  EXPECT_EQ(Unregister(unclosed), DISP_E_EXCEPTION);
}

TEST_F(RegistrarTest, DeleteTreeAndHasSubkeys) {
  ASSERT_EQ(Register("HKCU { T { A { B { C } } D { val v = s 1 } } Other }"), S_OK);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "T", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_TRUE(CRegObject::HasSubkeys(key));
  RegCloseKey(key);
  EXPECT_FALSE(CRegObject::HasSubkeys(nullptr));
  EXPECT_EQ(CRegObject::DeleteTree(HKEY_CURRENT_USER, "T"), ERROR_SUCCESS);
  EXPECT_EQ(CRegObject::DeleteTree(HKEY_CURRENT_USER, "T"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DumpAll(), "[HKCU]\nOther\n");
}

}  // namespace
