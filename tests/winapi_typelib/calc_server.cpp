// A minimal in-process server of the Calc class, loaded by the activation and
// Invoke tests the way COM loads a server: its two exports, one class object,
// objects counted for DllCanUnloadNow.
#include <windows.h>

#include <atomic>
#include <new>

#include "calc.h"

namespace {

std::atomic<LONG> g_objects{0};
std::atomic<LONG> g_locks{0};

class Calc final : public ICalc {
 public:
  Calc() { ++g_objects; }
  ~Calc() { --g_objects; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != kCalcIid) return E_NOINTERFACE;
    *ppv = static_cast<ICalc*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP Add(LONG a, LONG b, LONG* sum) override {
    if (!sum) return E_POINTER;
    *sum = a + b;
    return S_OK;
  }
  STDMETHODIMP get_Total(LONG* value) override {
    if (!value) return E_POINTER;
    *value = m_total;
    return S_OK;
  }
  STDMETHODIMP put_Total(LONG value) override {
    m_total = value;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    m_total = 0;
    return S_OK;
  }
  STDMETHODIMP Scale(LONG factor, LONG divisor, LONG* result) override {
    if (!result) return E_POINTER;
    if (divisor == 0) return E_INVALIDARG;
    *result = factor / divisor;
    return S_OK;
  }
  STDMETHODIMP Echo(BSTR text, BSTR* copy) override {
    if (!copy) return E_POINTER;
    *copy = SysAllocStringLen(text, SysStringLen(text));
    return *copy ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP Twice(LONG* value) override {
    if (!value) return E_POINTER;
    *value *= 2;
    return S_OK;
  }
  STDMETHODIMP Round(LONG mode, LONG* result) override {
    if (!result) return E_POINTER;
    *result = 100 * mode;
    return S_OK;
  }
  STDMETHODIMP Offset(LONGLONG base, LONG delta, LONGLONG* result) override {
    if (!result) return E_POINTER;
    *result = base + delta;
    return S_OK;
  }

 private:
  ULONG m_refs = 0;
  LONG m_total = 0;
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++g_locks); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--g_locks); }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Calc* calc = new (std::nothrow) Calc;
    if (!calc) return E_OUTOFMEMORY;
    calc->AddRef();
    const HRESULT hr = calc->QueryInterface(riid, ppv);
    calc->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    g_locks += lock ? 1 : -1;
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid,
                                                                                            REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != kCalcClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}
