// The object framework with a class of its own, linked straight in: reference
// counts, interface maps, the wrappers, creators, class factory and the
// module's lock count and termination list.
#include <gtest/gtest.h>

#include <vector>

#include "com_object.h"
#include "dispatch.h"
#include "module.h"
#include "winapi_control.h"

namespace {

const IID IID_ITestFirst = {0x1c3b1a01, 0x2f1d, 0x4c2e, {0x90, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
const IID IID_ITestSecond = {0x1c3b1a01, 0x2f1d, 0x4c2e, {0x90, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}};
const IID IID_ITestUnlisted = {0x1c3b1a01, 0x2f1d, 0x4c2e, {0x90, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03}};
const IID IID_ITestDual = {0x1c3b1a01, 0x2f1d, 0x4c2e, {0x90, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04}};
const GUID LIBID_Test = {0x1c3b1a01, 0x2f1d, 0x4c2e, {0x90, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05}};
const CLSID CLSID_Test = {0x1c3b1a01, 0x2f1d, 0x4c2e, {0x90, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06}};

struct ITestFirst : IUnknown {
  virtual int STDMETHODCALLTYPE First() = 0;
};
struct ITestSecond : IUnknown {
  virtual int STDMETHODCALLTYPE Second() = 0;
};
struct ITestUnlisted : IUnknown {};
struct ITestDual : IDispatch {};

int g_destroyed = 0;
LONG g_countInDestructor = 0;

class CTestObject : public CComObjectRootEx<CComSingleThreadModel>,
                    public CComCoClass<CTestObject, &CLSID_Test>,
                    public ITestFirst,
                    public ITestSecond,
                    public ITestUnlisted,
                    public IDispatchImpl<ITestDual, &IID_ITestDual, &LIBID_Test, 1, 0> {
 public:
  ~CTestObject() {
    ++g_destroyed;
    g_countInDestructor = m_dwRef;
  }
  static const InterfaceMapEntry* WINAPI GetInterfaceMap() {
    static const InterfaceMapEntry entries[] = {
        {&IID_ITestDual, OffsetOfBase<ITestDual, CTestObject>()},
        {&IID_ITestFirst, OffsetOfBase<ITestFirst, CTestObject>()},
        {&IID_ITestSecond, OffsetOfBase<ITestSecond, CTestObject>()},
        {&IID_IDispatch, OffsetOfBase<ITestDual, CTestObject>()},
        {nullptr, 0},
    };
    return entries;
  }
  int STDMETHODCALLTYPE First() override { return 1; }
  int STDMETHODCALLTYPE Second() override { return 2; }
};

typedef CComCreator2<CComCreator<CComObject<CTestObject>>, CComCreator<CComAggObject<CTestObject>>> TestCreator;

// A controlling outer object that only counts.
class FakeOuter : public IUnknown {
 public:
  STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
    ++queries;
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }
  LONG refs = 1;
  int queries = 0;
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_destroyed = 0;
    m_locks = _Module.GetLockCount();
  }
  void TearDown() override { EXPECT_EQ(m_locks, _Module.GetLockCount()); }
  LONG m_locks = 0;
};

TEST_F(FrameworkTest, QueryInterfaceWalksTheMapInOrderAndIUnknownIsTheFirstEntry) {
  IUnknown* unknown = nullptr;
  ASSERT_EQ(S_OK, TestCreator::CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  EXPECT_EQ(m_locks + 1, _Module.GetLockCount());

  void* dual = nullptr;
  void* dispatch = nullptr;
  ITestFirst* first = nullptr;
  ITestSecond* second = nullptr;
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ITestDual, &dual));
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IDispatch, &dispatch));
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ITestFirst, reinterpret_cast<void**>(&first)));
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ITestSecond, reinterpret_cast<void**>(&second)));
  EXPECT_EQ(static_cast<void*>(unknown), dual);
  EXPECT_EQ(dual, dispatch);
  EXPECT_EQ(1, first->First());
  EXPECT_EQ(2, second->Second());

  // Identity through every table.
  for (IUnknown* table : {static_cast<IUnknown*>(first), static_cast<IUnknown*>(second)}) {
    void* identity = nullptr;
    ASSERT_EQ(S_OK, table->QueryInterface(IID_IUnknown, &identity));
    EXPECT_EQ(static_cast<void*>(unknown), identity);
    static_cast<IUnknown*>(identity)->Release();
  }

  // A base class that is not in the map is refused, out pointer nulled.
  void* unlisted = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, unknown->QueryInterface(IID_ITestUnlisted, &unlisted));
  EXPECT_EQ(nullptr, unlisted);
  EXPECT_EQ(E_POINTER, unknown->QueryInterface(IID_IUnknown, nullptr));

  static_cast<IUnknown*>(dual)->Release();
  static_cast<IUnknown*>(dispatch)->Release();
  first->Release();
  EXPECT_EQ(1u, second->Release());
  EXPECT_EQ(0, g_destroyed);
  EXPECT_EQ(0u, unknown->Release());
  EXPECT_EQ(1, g_destroyed);
  EXPECT_EQ(static_cast<LONG>(0xC0000001), g_countInDestructor);
}

TEST_F(FrameworkTest, ARefusedInterfaceLeavesNothingBehind) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, TestCreator::CreateInstance(nullptr, IID_ITestUnlisted, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(1, g_destroyed);
  EXPECT_EQ(E_POINTER, TestCreator::CreateInstance(nullptr, IID_IUnknown, nullptr));
}

TEST_F(FrameworkTest, TheAggregateOwnsIUnknownAndLendsTheRestToItsOuterObject) {
  FakeOuter outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(S_OK, TestCreator::CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  EXPECT_EQ(m_locks + 1, _Module.GetLockCount());
  EXPECT_EQ(1, outer.refs);

  ITestFirst* first = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_ITestFirst, reinterpret_cast<void**>(&first)));
  EXPECT_EQ(2, outer.refs);  // the contained object's references count on the outer object
  EXPECT_EQ(1, first->First());

  // The contained object's IUnknown is the outer object's.
  void* viaFirst = nullptr;
  EXPECT_EQ(E_NOINTERFACE, first->QueryInterface(IID_ITestSecond, &viaFirst));
  EXPECT_EQ(1, outer.queries);
  first->Release();
  EXPECT_EQ(1, outer.refs);

  void* self = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_IUnknown, &self));
  EXPECT_EQ(static_cast<void*>(inner), self);
  EXPECT_EQ(1u, inner->Release());
  EXPECT_EQ(0u, inner->Release());
  EXPECT_EQ(1, g_destroyed);
  EXPECT_EQ(1, outer.refs);
}

TEST_F(FrameworkTest, TheCachedClassObjectHoldsOneLockForAllOutsideReferences) {
  IUnknown* cached = nullptr;
  ASSERT_EQ(S_OK, CComCreator<CComObjectCached<CComClassFactory>>::CreateInstance(
                      reinterpret_cast<void*>(&TestCreator::CreateInstance), IID_IUnknown,
                      reinterpret_cast<void**>(&cached)));
  EXPECT_EQ(m_locks, _Module.GetLockCount());

  IClassFactory* factory = nullptr;
  IClassFactory* again = nullptr;
  ASSERT_EQ(S_OK, cached->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  ASSERT_EQ(S_OK, cached->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&again)));
  EXPECT_EQ(m_locks + 1, _Module.GetLockCount());
  void* none = nullptr;
  EXPECT_EQ(E_NOINTERFACE, cached->QueryInterface(IID_IClassFactory2, &none));

  FakeOuter outer;
  void* object = nullptr;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_ITestFirst, &object));
  EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ITestSecond, &object));
  EXPECT_EQ(m_locks + 2, _Module.GetLockCount());
  static_cast<IUnknown*>(object)->Release();

  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(m_locks + 2, _Module.GetLockCount());
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));

  again->Release();
  EXPECT_EQ(m_locks + 1, _Module.GetLockCount());
  factory->Release();
  EXPECT_EQ(m_locks, _Module.GetLockCount());
  EXPECT_EQ(0u, cached->Release());
}

TEST_F(FrameworkTest, AClassObjectWhoseLockCannotBeInitialisedIsNotCreated) {
  WinapiFailNextCriticalSectionInits(1);
  void* cached = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_OUTOFMEMORY, CComCreator<CComObjectCached<CComClassFactory>>::CreateInstance(
                               reinterpret_cast<void*>(&TestCreator::CreateInstance), IID_IUnknown, &cached));
  EXPECT_EQ(nullptr, cached);
}

TEST_F(FrameworkTest, DualInterfaceCountsOneTypeInfo) {
  ITestDual* dual = nullptr;
  ASSERT_EQ(S_OK, TestCreator::CreateInstance(nullptr, IID_ITestDual, reinterpret_cast<void**>(&dual)));
  UINT count = 0;
  EXPECT_EQ(S_OK, dual->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);
  EXPECT_EQ(E_POINTER, dual->GetTypeInfoCount(nullptr));
  ITypeInfo* info = nullptr;
  EXPECT_EQ(DISP_E_BADINDEX, dual->GetTypeInfo(1, 0, &info));
  dual->Release();
}

// Type information for the holder's name cache: two members, every lookup it
// is asked counted.
class FakeTypeInfo : public ITypeInfo {
 public:
  STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }
  STDMETHOD(GetTypeAttr)(TYPEATTR** ppTypeAttr) override {
    m_attr = TYPEATTR();
    m_attr.cFuncs = 2;
    *ppTypeAttr = &m_attr;
    return S_OK;
  }
  STDMETHOD(GetTypeComp)(ITypeComp**) override { return E_NOTIMPL; }
  STDMETHOD(GetFuncDesc)(UINT index, FUNCDESC** ppFuncDesc) override {
    m_funcs[index] = FUNCDESC();
    m_funcs[index].memid = static_cast<MEMBERID>(100 + index);
    *ppFuncDesc = &m_funcs[index];
    return S_OK;
  }
  STDMETHOD(GetVarDesc)(UINT, VARDESC**) override { return E_NOTIMPL; }
  STDMETHOD(GetNames)(MEMBERID, BSTR*, UINT, UINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetRefTypeOfImplType)(UINT, HREFTYPE*) override { return E_NOTIMPL; }
  STDMETHOD(GetImplTypeFlags)(UINT, INT*) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(LPOLESTR*, UINT, MEMBERID* pMemId) override {
    ++lookups;
    *pMemId = 7;
    return S_OK;
  }
  STDMETHOD(Invoke)(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    ++invokes;
    return S_OK;
  }
  STDMETHOD(GetDocumentation)(MEMBERID memid, BSTR* pBstrName, BSTR*, DWORD*, BSTR*) override {
    *pBstrName = SysAllocString(memid == 100 ? OLESTR("Alpha") : OLESTR("Beta"));
    return S_OK;
  }
  STDMETHOD(GetDllEntry)(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
  STDMETHOD(GetRefTypeInfo)(HREFTYPE, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(AddressOfMember)(MEMBERID, INVOKEKIND, PVOID*) override { return E_NOTIMPL; }
  STDMETHOD(CreateInstance)(IUnknown*, REFIID, PVOID*) override { return E_NOTIMPL; }
  STDMETHOD(GetMops)(MEMBERID, BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(GetContainingTypeLib)(ITypeLib**, UINT*) override { return E_NOTIMPL; }
  STDMETHOD_(void, ReleaseTypeAttr)(TYPEATTR*) override {}
  STDMETHOD_(void, ReleaseFuncDesc)(FUNCDESC*) override {}
  STDMETHOD_(void, ReleaseVarDesc)(VARDESC*) override {}

  LONG refs = 1;
  int lookups = 0;
  int invokes = 0;

 private:
  TYPEATTR m_attr;
  FUNCDESC m_funcs[2];
};

TEST(TypeInfoHolderTest, SingleNamesComeFromTheCacheExactlyAsWritten) {
  const LONG bstrs = WinapiLiveCount(WinapiBstrs);
  FakeTypeInfo info;
  CComTypeInfoHolder holder = {&IID_ITestDual, &LIBID_Test, 1, 0, nullptr, nullptr, 0};
  info.AddRef();
  holder.m_pInfo = &info;
  ASSERT_EQ(S_OK, holder.LoadNameCache(&info));
  ASSERT_EQ(2, holder.m_nCount);

  struct Case {
    const OLECHAR* name;
    DISPID id;
    int lookups;  // calls that reached the type information so far
  };
  const Case cases[] = {
      {OLESTR("Beta"), 101, 0},
      {OLESTR("Alpha"), 100, 0},
      {OLESTR("alpha"), 7, 1},   // other letter case: the type information decides
      {OLESTR("Alph"), 7, 2},
      {OLESTR("Gamma"), 7, 3},
  };
  for (const Case& c : cases) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
    DISPID id = 0;
    EXPECT_EQ(S_OK, holder.GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(c.id, id);
    EXPECT_EQ(c.lookups, info.lookups);
  }
  // Several names at once always go to the type information.
  LPOLESTR two[] = {const_cast<LPOLESTR>(OLESTR("Alpha")), const_cast<LPOLESTR>(OLESTR("Beta"))};
  DISPID ids[2] = {};
  EXPECT_EQ(S_OK, holder.GetIDsOfNames(IID_NULL, two, 2, 0, ids));
  EXPECT_EQ(4, info.lookups);

  ITypeInfo* given = nullptr;
  EXPECT_EQ(S_OK, holder.GetTypeInfo(0, 0, &given));
  EXPECT_EQ(&info, given);
  given->Release();
  EXPECT_EQ(DISP_E_BADINDEX, holder.GetTypeInfo(1, 0, &given));

  CComTypeInfoHolder::Cleanup(reinterpret_cast<DWORD_PTR>(&holder));
  EXPECT_EQ(nullptr, holder.m_pInfo);
  EXPECT_EQ(nullptr, holder.m_pMap);
  EXPECT_EQ(1, info.refs);
  EXPECT_EQ(bstrs, WinapiLiveCount(WinapiBstrs));
}

std::vector<int> g_termOrder;
void WINAPI RecordTerm(DWORD_PTR argument) { g_termOrder.push_back(static_cast<int>(argument)); }

TEST(ModuleTest, TermRunsTheTerminationListMostRecentFirstAndOnlyOnce) {
  g_termOrder.clear();
  {
    CComModule module;
    ASSERT_EQ(CComModule::kInitializedSize, module.cbSize);
    ObjectMapEntry emptyMap[] = {{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}};
    EXPECT_EQ(S_OK, module.Init(emptyMap, nullptr));
    for (int i = 1; i <= 3; ++i) ASSERT_EQ(S_OK, module.AddTermFunc(RecordTerm, static_cast<DWORD_PTR>(i)));
    module.Term();
    EXPECT_EQ((std::vector<int>{3, 2, 1}), g_termOrder);
    EXPECT_EQ(0u, module.cbSize);
    EXPECT_EQ(nullptr, module.m_pTermFuncs);
    EXPECT_EQ(E_UNEXPECTED, module.AddTermFunc(RecordTerm, 4));
  }
  EXPECT_EQ(3u, g_termOrder.size());  // destruction finds nothing left to do
}

TEST(ModuleTest, AModuleWithoutItsCriticalSectionStaysUnusable) {
  WinapiFailNextCriticalSectionInits(1);
  CComModule module;
  EXPECT_EQ(0u, module.cbSize);
  EXPECT_EQ(E_UNEXPECTED, module.AddTermFunc(RecordTerm, 1));
  module.Term();
}

}  // namespace
