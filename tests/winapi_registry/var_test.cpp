// Text to unsigned 32-bit numbers, as locale 0 reads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>

#include <string>

namespace {

struct Case {
  const char16_t* text;
  HRESULT status;
  ULONG value;
};

TEST(VarUI4FromStr, ReadsDecimalTextAndReportsWhatItCannot) {
  const Case cases[] = {
      {u"0", S_OK, 0},
      {u"4294967295", S_OK, 4294967295u},
      {u"  42\t", S_OK, 42},
      {u"+7", S_OK, 7},
      {u"-0", S_OK, 0},
      {u"00000000000000000000000009", S_OK, 9},
      {u"2.5", S_OK, 2},  // half to even
      {u"3.5", S_OK, 4},
      {u"2.51", S_OK, 3},
      {u"-0.4", S_OK, 0},
      {u"4294967295.4", S_OK, 4294967295u},
      {u"4294967296", DISP_E_OVERFLOW, 0},
      {u"4294967295.5", DISP_E_OVERFLOW, 0},
      {u"99999999999999999999", DISP_E_OVERFLOW, 0},
      {u"-1", DISP_E_OVERFLOW, 0},
      {u"", DISP_E_TYPEMISMATCH, 0},
      {u"   ", DISP_E_TYPEMISMATCH, 0},
      {u"abc", DISP_E_TYPEMISMATCH, 0},
      {u"12abc", DISP_E_TYPEMISMATCH, 0},
      {u"1 2", DISP_E_TYPEMISMATCH, 0},
      {u"+", DISP_E_TYPEMISMATCH, 0},
      {u".", DISP_E_TYPEMISMATCH, 0},
      {u"--1", DISP_E_TYPEMISMATCH, 0},
  };
  for (const Case& c : cases) {
    std::u16string text(c.text);
    ULONG value = 0xDEADBEEF;
    const HRESULT hr = VarUI4FromStr(&text[0], 0, 0, &value);
    const std::string shown(text.begin(), text.end());
    EXPECT_EQ(hr, c.status) << '"' << shown << '"';
    if (SUCCEEDED(c.status)) {
      EXPECT_EQ(value, c.value) << '"' << shown << '"';
    } else {
      EXPECT_EQ(value, 0xDEADBEEFu) << "output untouched on failure: \"" << shown << '"';
    }
  }
  ULONG value;
  EXPECT_EQ(VarUI4FromStr(nullptr, 0, 0, &value), E_INVALIDARG);
}

}  // namespace
