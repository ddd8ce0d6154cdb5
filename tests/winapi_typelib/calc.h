// ICalc of calc.idl as C++ sees it, and the ids of the test library, shared by
// the test server module and the tests.
#pragma once

#include <windows.h>

// {5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C01}
static const GUID kCalcLibId = {0x5C3A6E10, 0x2B7D, 0x4E21, {0x9F, 0x40, 0x6D, 0x1E, 0x0B, 0x7A, 0x1C, 0x01}};
static const IID kCalcIid = {0x5C3A6E10, 0x2B7D, 0x4E21, {0x9F, 0x40, 0x6D, 0x1E, 0x0B, 0x7A, 0x1C, 0x02}};
static const IID kCalcEventsIid = {0x5C3A6E10, 0x2B7D, 0x4E21, {0x9F, 0x40, 0x6D, 0x1E, 0x0B, 0x7A, 0x1C, 0x03}};
static const CLSID kCalcClsid = {0x5C3A6E10, 0x2B7D, 0x4E21, {0x9F, 0x40, 0x6D, 0x1E, 0x0B, 0x7A, 0x1C, 0x04}};
static const GUID kRoundingGuid = {0x5C3A6E10, 0x2B7D, 0x4E21, {0x9F, 0x40, 0x6D, 0x1E, 0x0B, 0x7A, 0x1C, 0x05}};

struct ICalc : public IDispatch {
  STDMETHOD(Add)(LONG a, LONG b, LONG* sum) = 0;
  STDMETHOD(get_Total)(LONG* value) = 0;
  STDMETHOD(put_Total)(LONG value) = 0;
  STDMETHOD(Reset)() = 0;
  STDMETHOD(Scale)(LONG factor, LONG divisor, LONG* result) = 0;  // E_INVALIDARG for divisor 0
  STDMETHOD(Echo)(BSTR text, BSTR* copy) = 0;
  STDMETHOD(Twice)(LONG* value) = 0;
  STDMETHOD(Round)(LONG mode, LONG* result) = 0;  // 100 times the mode
  STDMETHOD(Offset)(LONGLONG base, LONG delta, LONGLONG* result) = 0;  // base + delta
};
