// In-process activation against the test server module, found through its
// registered InprocServer32 path, and ITypeInfo::Invoke on the object it makes.
#include <cstring>

#include "calc.h"
#include "typelib_fixture.h"

namespace typelib_test {
namespace {

class Activation : public TypeLibTest {
 protected:
  static void RegisterServer(const char* path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{5C3A6E10-2B7D-4E21-9F40-6D1E0B7A1C04}\\InprocServer32", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                             static_cast<DWORD>(std::strlen(path) + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

TEST_F(Activation, UnregisteredClassesAreNotFound) {
  com_ptr<IUnknown> object;
  EXPECT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()),
            REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(object);
  RegisterServer(CALC_SERVER);
  EXPECT_EQ(CoGetClassObject(kCalcClsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, object.put_void()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Activation, ServersThatCannotServe) {
  RegisterServer("/nonexistent/calc_server.so");
  com_ptr<IUnknown> object;
  EXPECT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()),
            HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  RegisterServer(WINAPI_LIBRARY);  // a library without DllGetClassObject
  EXPECT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()),
            CO_E_ERRORINDLL);
  EXPECT_FALSE(object);
}

// The server stays loaded while anything of it lives, and goes when
// CoFreeUnusedLibraries finds DllCanUnloadNow answering S_OK.
TEST_F(Activation, ServerIsLoadedOnceAndFreedWhenUnused) {
  RegisterServer(CALC_SERVER);
  const LONG modules = WinapiLiveCount(WinapiModules);
  com_ptr<ICalc> first, second;
  ASSERT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_INPROC_SERVER, kCalcIid, first.put_void()), S_OK);
  ASSERT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_ALL, kCalcIid, second.put_void()), S_OK);
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules + 1);
  LONG sum = 0;
  EXPECT_EQ(first->Add(2, 3, &sum), S_OK);
  EXPECT_EQ(sum, 5);

  com_ptr<IUnknown> aggregated;
  EXPECT_EQ(CoCreateInstance(kCalcClsid, first.get(), CLSCTX_INPROC_SERVER, IID_IUnknown, aggregated.put_void()),
            CLASS_E_NOAGGREGATION);

  first.reset();
  CoFreeUnusedLibraries();
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules + 1) << "an object is still alive";
  com_ptr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(kCalcClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void()),
            S_OK);
  second.reset();
  CoFreeUnusedLibraries();
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules + 1) << "the class object is still held";
  factory.reset();
  CoFreeUnusedLibraries();
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules);
}

TEST_F(Activation, LastUninitializeFreesUnusedServers) {
  RegisterServer(CALC_SERVER);
  const LONG modules = WinapiLiveCount(WinapiModules);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  com_ptr<ICalc> calc;
  ASSERT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_INPROC_SERVER, kCalcIid, calc.put_void()), S_OK);
  calc.reset();
  CoUninitialize();
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules + 1);
  CoUninitialize();
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules);
}

// ITypeInfo::Invoke through the dual interface's dispatch side, as a script
// engine calls it: positional and named arguments, defaults, by-reference
// arguments, strings, failures.
class Invoking : public Activation {
 protected:
  void SetUp() override {
    Activation::SetUp();
    RegisterServer(CALC_SERVER);
    ASSERT_EQ(CoCreateInstance(kCalcClsid, nullptr, CLSCTX_INPROC_SERVER, kCalcIid, m_calc.put_void()), S_OK);
    com_ptr<ITypeLib> lib;
    ASSERT_EQ(Load(CALC_TLB, &lib), S_OK);
    m_info = TypeOfGuid(lib.get(), kCalcIid);
  }
  void TearDown() override {
    m_info.reset();
    m_calc.reset();
    Activation::TearDown();
  }

  // Arguments in the order the member declares them (rgvarg holds them last first).
  HRESULT Call(MEMBERID id, WORD flags, std::vector<VARIANT> args, VARIANT* result, EXCEPINFO* excep = nullptr,
               UINT* argErr = nullptr, DISPID* named = nullptr, UINT namedCount = 0) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), named, static_cast<UINT>(reversed.size()),
                         namedCount};
    return m_info->Invoke(m_calc.get(), id, flags, &params, result, excep, argErr);
  }
  static VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  }

  com_ptr<ICalc> m_calc;
  com_ptr<ITypeInfo> m_info;
};

TEST_F(Invoking, MethodsAndProperties) {
  unique_variant result;
  ASSERT_EQ(Call(1, DISPATCH_METHOD, {Long(2), Long(40)}, result.get()), S_OK);
  EXPECT_EQ(result->vt, VT_I4);
  EXPECT_EQ(result->lVal, 42);

  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"12");
  VARIANT small;
  VariantInit(&small);
  small.vt = VT_I2;
  small.iVal = -2;
  ASSERT_EQ(Call(1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {text, small}, result.get()), S_OK)
      << "arguments are converted to the parameter types";
  EXPECT_EQ(result->lVal, 10);
  VariantClear(&text);

  DISPID put = DISPID_PROPERTYPUT;
  EXPECT_EQ(Call(2, DISPATCH_PROPERTYPUT, {Long(7)}, nullptr, nullptr, nullptr, &put, 1), S_OK);
  ASSERT_EQ(Call(2, DISPATCH_PROPERTYGET, {}, result.get()), S_OK);
  EXPECT_EQ(result->lVal, 7);
  EXPECT_EQ(Call(3, DISPATCH_METHOD, {}, nullptr), S_OK);
  ASSERT_EQ(Call(2, DISPATCH_PROPERTYGET, {}, result.get()), S_OK);
  EXPECT_EQ(result->lVal, 0);

  ASSERT_EQ(Call(4, DISPATCH_METHOD, {Long(50)}, result.get()), S_OK) << "the default divisor is 10";
  EXPECT_EQ(result->lVal, 5);
  ASSERT_EQ(Call(4, DISPATCH_METHOD, {Long(50), Long(5)}, result.get()), S_OK);
  EXPECT_EQ(result->lVal, 10);
  DISPID divisor = 1;
  VARIANT byName = Long(25);
  VARIANT factor = Long(100);
  VARIANT args[] = {byName, factor};  // named first, then the positional ones
  DISPPARAMS params = {args, &divisor, 2, 1};
  ASSERT_EQ(m_info->Invoke(m_calc.get(), 4, DISPATCH_METHOD, &params, result.get(), nullptr, nullptr), S_OK);
  EXPECT_EQ(result->lVal, 4);

  ASSERT_EQ(Call(7, DISPATCH_METHOD, {Long(2)}, result.get()), S_OK) << "an enumeration travels as a long";
  EXPECT_EQ(result->lVal, 200);
}

// On i386 a 64-bit argument takes two stack words, so the arguments after it
// move, and a 64-bit result fills its whole retval.
TEST_F(Invoking, SixtyFourBitArgumentsAndResults) {
  unique_variant result;
  VARIANT base;
  VariantInit(&base);
  base.vt = VT_I8;
  base.llVal = 0x123456789ABLL;
  ASSERT_EQ(Call(8, DISPATCH_METHOD, {base, Long(-0x10)}, result.get()), S_OK);
  EXPECT_EQ(result->vt, VT_I8);
  EXPECT_EQ(result->llVal, 0x1234567899BLL);
  ASSERT_EQ(Call(8, DISPATCH_METHOD, {Long(-1), Long(-1)}, result.get()), S_OK);
  EXPECT_EQ(result->llVal, -2);
}

TEST_F(Invoking, StringsAndReferences) {
  unique_variant result;
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"salaam");
  ASSERT_EQ(Call(5, DISPATCH_METHOD, {text}, result.get()), S_OK);
  EXPECT_EQ(result->vt, VT_BSTR);
  EXPECT_EQ(Narrow(result->bstrVal), "salaam");
  EXPECT_EQ(Call(5, DISPATCH_METHOD, {text}, nullptr), S_OK) << "an unwanted result is freed";
  VariantClear(&text);

  LONG value = 21;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_I4;
  ref.byref = &value;
  EXPECT_EQ(Call(6, DISPATCH_METHOD, {ref}, nullptr), S_OK);
  EXPECT_EQ(value, 42);

  VARIANT inner = Long(5);
  VARIANT outer;
  VariantInit(&outer);
  outer.vt = VT_BYREF | VT_VARIANT;
  outer.pvarVal = &inner;
  VariantClear(result.get());
  ASSERT_EQ(Call(1, DISPATCH_METHOD, {outer, Long(1)}, result.get()), S_OK) << "a VARIANT by reference is read through";
  EXPECT_EQ(result->lVal, 6);
}

TEST_F(Invoking, FailuresAsWindowsReportsThem) {
  unique_variant result;
  EXCEPINFO excep;
  std::memset(&excep, 0xCC, sizeof(excep));
  EXPECT_EQ(Call(4, DISPATCH_METHOD, {Long(1), Long(0)}, result.get(), &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_INVALIDARG);
  EXPECT_EQ(excep.bstrDescription, nullptr);

  EXPECT_EQ(Call(99, DISPATCH_METHOD, {}, result.get()), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(3, DISPATCH_PROPERTYGET, {}, result.get()), DISP_E_MEMBERNOTFOUND) << "Reset is no property";
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1)}, result.get()), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1), Long(2), Long(3)}, result.get()), DISP_E_BADPARAMCOUNT);

  VARIANT word;
  VariantInit(&word);
  word.vt = VT_BSTR;
  word.bstrVal = SysAllocString(u"seven");
  UINT argErr = 99;
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1), word}, result.get(), nullptr, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u) << "rgvarg[0] holds the last argument";
  VariantClear(&word);
  VARIANT huge;
  VariantInit(&huge);
  huge.vt = VT_UI4;
  huge.ulVal = 0x80000000u;
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {huge, Long(1)}, result.get(), nullptr, &argErr), DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 1u);
  DISPID unknown = 7;
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1)}, result.get(), nullptr, &argErr, &unknown, 1), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(m_info->Invoke(m_calc.get(), 1, DISPATCH_METHOD, nullptr, result.get(), nullptr, nullptr),
            E_INVALIDARG);
}

}  // namespace
}  // namespace typelib_test
