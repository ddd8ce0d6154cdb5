// The text side of the registrar: replacements, preprocessing, tokens, tables.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ansi_code_page.h"
#include "reg_object.h"
#include "winapi_control.h"

namespace {

// Every test leaves the task allocator as it found it.
class ScriptText : public ::testing::Test {
 protected:
  void SetUp() override { m_memoryBefore = WinapiLiveCount(WinapiTaskMemory); }
  void TearDown() override { EXPECT_EQ(WinapiLiveCount(WinapiTaskMemory), m_memoryBefore); }
  LONG m_memoryBefore = 0;
};

struct Preprocessed {
  HRESULT hr;
  std::string text;
};

Preprocessed Preprocess(CRegObject* registrar, const std::string& script) {
  CRegScriptParser parser(registrar);
  LPSTR out = reinterpret_cast<LPSTR>(1);
  const HRESULT hr = parser.PreprocessScript(script.c_str(), &out);
  Preprocessed result{hr, out ? std::string(out) : std::string()};
  if (FAILED(hr)) {
    EXPECT_EQ(out, nullptr) << "no output on failure: " << script;
  }
  CoTaskMemFree(out);
  return result;
}

TEST_F(ScriptText, PreprocessingSubstitutesVariables) {
  const ScopedAnsiCodePage utf8(CP_UTF8);  // the Persian text below is UTF-8
  CRegObject registrar;
  ASSERT_EQ(registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\dir\\daybander.dll")), S_OK);
  ASSERT_EQ(registrar.AddReplacement(OLESTR("MODULE"), OLESTR("second, never used")), S_OK);
  ASSERT_EQ(registrar.AddReplacement(OLESTR("pct"), OLESTR("100%PCT%")), S_OK);
  ASSERT_EQ(registrar.AddReplacement(OLESTR("empty"), OLESTR("")), S_OK);
  ASSERT_EQ(registrar.AddReplacement(OLESTR("fa"), u"\u062A\u0627\u0631\u06CC\u062E"), S_OK);
  const std::string name31(31, 'n'), name32(32, 'n');
  ASSERT_EQ(registrar.AddReplacement(std::u16string(31, u'n').c_str(), OLESTR("31")), S_OK);
  ASSERT_EQ(registrar.AddReplacement(std::u16string(32, u'n').c_str(), OLESTR("32")), S_OK);

  const struct {
    std::string script;
    HRESULT hr;
    std::string text;
  } cases[] = {
      {"s '%MODULE%'", S_OK, "s 'C:\\dir\\daybander.dll'"},
      {"%module%%Module%", S_OK, "C:\\dir\\daybander.dll" "C:\\dir\\daybander.dll"},
      {"100%% sure", S_OK, "100% sure"},
      {"%pct%", S_OK, "100%PCT%"},  // values are not scanned again
      {"[%empty%]", S_OK, "[]"},
      {"%fa%", S_OK, "\xD8\xAA\xD8\xA7\xD8\xB1\xDB\x8C\xD8\xAE"},
      {"%" + name31 + "%", S_OK, "31"},
      {"%" + name32 + "%", E_FAIL, ""},
      {"HKCR { '\t' }\r\n\x0b\x0c", S_OK, "HKCR { '\t' }\r\n\x0b\x0c"},
      {"", S_OK, ""},
      {"%", DISP_E_EXCEPTION, ""},
      {"x %MODULE", DISP_E_EXCEPTION, ""},
      {"%unknown%", DISP_E_EXCEPTION, ""},
  };
  for (const auto& c : cases) {
    const Preprocessed result = Preprocess(&registrar, c.script);
    EXPECT_EQ(result.hr, c.hr) << c.script;
    EXPECT_EQ(result.text, c.text) << c.script;
  }
  CRegScriptParser parser(&registrar);
  LPSTR out = nullptr;
  EXPECT_EQ(parser.PreprocessScript(nullptr, &out), E_POINTER);
  EXPECT_EQ(parser.PreprocessScript("x", nullptr), E_POINTER);
}

TEST_F(ScriptText, PreprocessingGrowsPastItsFirstBuffer) {
  CRegObject registrar;
  const std::u16string big(3000, u'v');
  ASSERT_EQ(registrar.AddReplacement(OLESTR("big"), big.c_str()), S_OK);
  const Preprocessed result = Preprocess(&registrar, "<%big%%big%>");
  EXPECT_EQ(result.hr, S_OK);
  EXPECT_EQ(result.text, "<" + std::string(6000, 'v') + ">");
}

TEST_F(ScriptText, ReplacementMapRules) {
  CRegObject registrar;
  EXPECT_EQ(registrar.AddReplacement(nullptr, OLESTR("x")), E_INVALIDARG);
  EXPECT_EQ(registrar.AddReplacement(OLESTR("x"), nullptr), E_INVALIDARG);
  WinapiFailNextTaskAllocations(1);
  EXPECT_EQ(registrar.AddReplacement(OLESTR("Module"), OLESTR("lost")), E_OUTOFMEMORY);
  WinapiFailNextTaskAllocations(0);
  EXPECT_EQ(registrar.FindReplacement("Module"), nullptr) << "a failed addition leaves nothing";
  ASSERT_EQ(registrar.AddReplacement(OLESTR("Module"), OLESTR("kept")), S_OK);
  EXPECT_EQ(std::u16string(registrar.FindReplacement("MODULE")), u"kept");
  EXPECT_EQ(registrar.ClearReplacements(), S_OK);
  EXPECT_EQ(registrar.FindReplacement("Module"), nullptr);

  IRegistrarBase* base = &registrar;
  void* untouched = &registrar;
  EXPECT_EQ(base->QueryInterface(IID_IUnknown, &untouched), E_NOTIMPL);
  EXPECT_EQ(untouched, &registrar);
  EXPECT_EQ(base->AddRef(), 1u);
  EXPECT_EQ(base->Release(), 0u);
}

// Reads tokens until the text ends; the last entry is the failure, if any.
std::vector<std::string> Tokens(const std::string& text) {
  CRegObject registrar;
  CRegScriptParser parser(&registrar);
  parser.m_position = text.c_str();
  std::vector<std::string> tokens;
  char token[kRegTokenBufferSize];
  for (;;) {
    parser.SkipWhiteSpace();
    if (!*parser.m_position) return tokens;
    const HRESULT hr = parser.NextToken(token);
    if (FAILED(hr)) {
      tokens.push_back(hr == DISP_E_EXCEPTION ? "<DISP_E_EXCEPTION>" : "<other failure>");
      return tokens;
    }
    tokens.push_back(token);
  }
}

TEST_F(ScriptText, Tokenizer) {
  const ScopedAnsiCodePage utf8(CP_UTF8);  // characters of two bytes below
  using V = std::vector<std::string>;
  const struct {
    std::string text;
    V tokens;
  } cases[] = {
      {"HKCR {\r\n\tval x = s 'a b' }", V{"HKCR", "{", "val", "x", "=", "s", "a b", "}"}},
      {"'Internet Explorer'", V{"Internet Explorer"}},
      {"'it''s'", V{"it's"}},
      {"''", V{""}},
      {"''''", V{"'"}},
      {"'a'b", V{"a", "b"}},  // nothing needed after a closing quote
      {"name=s", V{"name=s"}},
      {"it's", V{"it's"}},  // quotes inside a bare token are plain characters
      {"a\x0b" "b\x0c" "c", V{"a\x0b" "b\x0c" "c"}},
      {"'open", V{"<DISP_E_EXCEPTION>"}},
      {"'open''", V{"<DISP_E_EXCEPTION>"}},
      {"\xD8\xAA\xD8\xA7 '\xD8\xB1'", V{"\xD8\xAA\xD8\xA7", "\xD8\xB1"}},
      {std::string(4094, 'x'), V{std::string(4094, 'x')}},
      {std::string(4095, 'x'), V{"<DISP_E_EXCEPTION>"}},
      {"'" + std::string(4094, 'q') + "'", V{std::string(4094, 'q')}},
      {"'" + std::string(4095, 'q') + "'", V{"<DISP_E_EXCEPTION>"}},
      // A two-byte character that would end at byte 4095 does not fit.
      {std::string(4093, 'x') + "\xD8\xAA", V{"<DISP_E_EXCEPTION>"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << c.text.substr(0, 40);

  CRegObject registrar;
  CRegScriptParser parser(&registrar);
  parser.m_position = " \t\r\n";
  char token[kRegTokenBufferSize];
  EXPECT_EQ(parser.NextToken(token), DISP_E_EXCEPTION) << "no token at the end of the text";
}

TEST_F(ScriptText, RootNamesAndValueTypes) {
  const struct {
    const char* name;
    HKEY key;
  } roots[] = {
      {"HKCR", HKEY_CLASSES_ROOT},       {"hkcu", HKEY_CURRENT_USER},
      {"HKLM", HKEY_LOCAL_MACHINE},      {"HKU", HKEY_USERS},
      {"HKPD", HKEY_PERFORMANCE_DATA},   {"HKDD", HKEY_DYN_DATA},
      {"HKCC", HKEY_CURRENT_CONFIG},     {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"Hkey_Current_User", HKEY_CURRENT_USER}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
      {"HKEY_DYN_DATA", HKEY_DYN_DATA},  {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKLM2", nullptr},                {"", nullptr},
  };
  for (const auto& r : roots) {
    EXPECT_EQ(CRegObject::RootKeyFromName(r.name), r.key) << r.name;
    if (r.key) {
      EXPECT_EQ(RegCloseKey(CRegObject::RootKeyFromName(r.name)), ERROR_SUCCESS) << "a predefined key";
    }
  }

  const struct {
    const char* letter;
    BOOL found;
    VARTYPE code;
  } types[] = {
      {"S", TRUE, VT_BSTR}, {"s", TRUE, VT_BSTR}, {"M", TRUE, 0x4008}, {"d", TRUE, VT_UI4},
      {"B", TRUE, VT_UI1},  {"SZ", FALSE, 0},     {"", FALSE, 0},      {"x", FALSE, 0},
  };
  for (const auto& t : types) {
    VARTYPE code = VT_EMPTY;
    EXPECT_EQ(CRegObject::ValueTypeFromLetter(t.letter, &code), t.found) << t.letter;
    if (t.found) {
      EXPECT_EQ(code, t.code) << t.letter;
    }
  }

  for (const char* name : {"AppID", "clsid", "Component Categories", "FileType", "Interface", "Hardware", "Mime",
                           "SAM", "SECURITY", "SYSTEM", "software", "TypeLib"}) {
    EXPECT_FALSE(CRegObject::IsDeletableKeyName(name)) << name;
  }
  for (const char* name : {"CLSID2", "Soft", "Daybander.ExplorerBar", ""}) {
    EXPECT_TRUE(CRegObject::IsDeletableKeyName(name)) << name;
  }
}

}  // namespace
