// The in-process server as a host meets it: daybander.so loaded with
// LoadLibraryA, its class object from DllGetClassObject, bands created plain
// and aggregated, the lock count seen through DllCanUnloadNow, and nothing
// left alive after FreeLibrary.
#include <gtest/gtest.h>

#include <windows.h>
#include <initguid.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <thread>
#include <vector>

#include "daybander_ids.h"
#include "loaded_module.h"
#include "winapi_control.h"

namespace {

const WinapiObjectKind kCountedKinds[] = {WinapiTaskMemory, WinapiModules, WinapiBstrs,   WinapiWindows,
                                         WinapiMenus,      WinapiFonts,   WinapiStreams, WinapiCriticalSections};

// A controlling outer object that only counts and records.
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

template <class T>
T* Query(IUnknown* unknown, REFIID iid) {
  void* result = nullptr;
  return SUCCEEDED(unknown->QueryInterface(iid, &result)) ? static_cast<T*>(result) : nullptr;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (WinapiObjectKind kind : kCountedKinds) m_live.push_back(WinapiLiveCount(kind));
    m_module = new LoadedModule;
    ASSERT_NE(nullptr, m_module->handle) << "DAYBANDER_MODULE must name the built daybander.so";
    ASSERT_NE(nullptr, m_module->getClassObject);
    ASSERT_NE(nullptr, m_module->canUnloadNow);
  }

  // Every test gives back what it took: the library may unload, and once it
  // has, nothing it made is alive (its critical sections included, which only
  // go when Term and static destruction have run).
  void TearDown() override {
    if (!m_module->canUnloadNow) {
      delete m_module;
      return;
    }
    EXPECT_EQ(S_OK, m_module->canUnloadNow());
    EXPECT_TRUE(m_module->Free());
    delete m_module;
    for (size_t i = 0; i < m_live.size(); ++i) {
      EXPECT_EQ(m_live[i], WinapiLiveCount(kCountedKinds[i])) << "object kind " << kCountedKinds[i];
    }
  }

  IClassFactory* ClassFactory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(S_OK, m_module->getClassObject(CLSID_ExplorerBar, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory)));
    return factory;
  }

  HRESULT CanUnloadNow() { return m_module->canUnloadNow(); }

  LoadedModule* m_module = nullptr;
  std::vector<LONG> m_live;
};

TEST_F(ServerTest, TheClassObjectIsCreatedOnceAndOutlivesItsOutsideReferences) {
  EXPECT_EQ(S_OK, CanUnloadNow());
  IClassFactory* first = ClassFactory();
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(S_FALSE, CanUnloadNow());
  IUnknown* second = nullptr;
  ASSERT_EQ(S_OK, m_module->getClassObject(CLSID_ExplorerBar, IID_IUnknown, reinterpret_cast<void**>(&second)));
  EXPECT_EQ(static_cast<IUnknown*>(first), second);
  second->Release();
  EXPECT_EQ(S_FALSE, CanUnloadNow());
  first->Release();
  EXPECT_EQ(S_OK, CanUnloadNow());

  // Still cached: the same object comes back.
  IClassFactory* again = ClassFactory();
  EXPECT_EQ(first, again);
  again->Release();
}

// At process exit the reserved pointer is not null: the library frees nothing
// then, not even the class object it keeps.
TEST_F(ServerTest, DetachAtProcessExitReleasesNothing) {
  typedef BOOL(WINAPI * DllMainFunc)(HINSTANCE, DWORD, LPVOID);
  const auto dllMain = LoadedModule::Export<DllMainFunc>(m_module->handle, "DllMain");
  ASSERT_NE(nullptr, dllMain);
  IClassFactory* factory = ClassFactory();
  ASSERT_NE(nullptr, factory);
  EXPECT_TRUE(dllMain(reinterpret_cast<HINSTANCE>(m_module->handle), DLL_PROCESS_DETACH, reinterpret_cast<LPVOID>(1)));
  IClassFactory* again = ClassFactory();
  EXPECT_EQ(factory, again);
  again->Release();
  EXPECT_EQ(1u, factory->Release()) << "the cached reference stays";
}

TEST_F(ServerTest, RequestsTheServerCannotAnswer) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, m_module->getClassObject(IID_IExplorerBar, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_POINTER, m_module->getClassObject(CLSID_ExplorerBar, IID_IClassFactory, nullptr));

  IClassFactory* factory = ClassFactory();
  factory->Release();
  // A class object that answers no such interface stays cached and holds no lock.
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, m_module->getClassObject(CLSID_ExplorerBar, IID_IClassFactory2, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(S_OK, CanUnloadNow());
  IClassFactory* cached = ClassFactory();
  EXPECT_EQ(factory, cached);

  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, cached->CreateInstance(nullptr, IID_IOleWindow, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_POINTER, cached->CreateInstance(nullptr, IID_IUnknown, nullptr));
  cached->Release();
  EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST_F(ServerTest, EveryTableLeadsToOneIdentity) {
  IClassFactory* factory = ClassFactory();
  IUnknown* band = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&band)));
  factory->Release();
  EXPECT_EQ(S_FALSE, CanUnloadNow());  // the band holds a lock of its own
  EXPECT_EQ(2u, band->AddRef());
  EXPECT_EQ(1u, band->Release());

  IUnknown* explorerBar = Query<IUnknown>(band, IID_IExplorerBar);
  IUnknown* dispatch = Query<IUnknown>(band, IID_IDispatch);
  IUnknown* site = Query<IUnknown>(band, IID_IObjectWithSite);
  IUnknown* persistStream = Query<IUnknown>(band, IID_IPersistStream);
  IUnknown* persist = Query<IUnknown>(band, IID_IPersist);
  IUnknown* deskBand = Query<IUnknown>(band, IID_IDeskBand);
  IUnknown* inputObject = Query<IUnknown>(band, IID_IInputObject);
  EXPECT_EQ(band, explorerBar);
  EXPECT_EQ(band, dispatch);
  EXPECT_EQ(persistStream, persist);
  const std::vector<IUnknown*> tables = {explorerBar, site, persistStream, deskBand, inputObject};
  for (IUnknown* table : tables) {
    ASSERT_NE(nullptr, table);
    IUnknown* identity = Query<IUnknown>(table, IID_IUnknown);
    EXPECT_EQ(band, identity);
    identity->Release();
  }
  EXPECT_NE(site, persistStream);
  EXPECT_NE(deskBand, inputObject);

  // The base interfaces of IDeskBand are reachable through it, not by their ids.
  void* refused = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, deskBand->QueryInterface(IID_IOleWindow, &refused));
  EXPECT_EQ(nullptr, refused);
  EXPECT_EQ(E_NOINTERFACE, band->QueryInterface(IID_IDockingWindow, &refused));
  EXPECT_EQ(E_POINTER, band->QueryInterface(IID_IUnknown, nullptr));

  for (IUnknown* table : tables) table->Release();
  dispatch->Release();
  persist->Release();
  EXPECT_EQ(S_FALSE, CanUnloadNow());
  EXPECT_EQ(0u, band->Release());
  EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST_F(ServerTest, AnAggregatedBandCountsOnItsOuterObject) {
  IClassFactory* factory = ClassFactory();
  FakeOuter outer;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IDeskBand, &object));
  EXPECT_EQ(nullptr, object);

  IUnknown* inner = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  factory->Release();
  EXPECT_EQ(1, outer.refs);
  EXPECT_EQ(S_FALSE, CanUnloadNow());

  IDeskBand* deskBand = Query<IDeskBand>(inner, IID_IDeskBand);
  ASSERT_NE(nullptr, deskBand);
  EXPECT_EQ(2, outer.refs);
  // The contained band's IUnknown is the outer object's.
  void* viaBand = nullptr;
  EXPECT_EQ(E_NOINTERFACE, deskBand->QueryInterface(IID_IPersistStream, &viaBand));
  EXPECT_EQ(1, outer.queries);
  deskBand->AddRef();
  EXPECT_EQ(3, outer.refs);
  deskBand->Release();
  deskBand->Release();
  EXPECT_EQ(1, outer.refs);

  EXPECT_EQ(inner, Query<IUnknown>(inner, IID_IUnknown));
  EXPECT_EQ(1u, inner->Release());
  EXPECT_EQ(0u, inner->Release());
  EXPECT_EQ(1, outer.refs);
}

TEST_F(ServerTest, LockServerHoldsTheLibraryUntilEveryLockIsGiven) {
  IClassFactory* factory = ClassFactory();
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  factory->Release();
  EXPECT_EQ(S_FALSE, CanUnloadNow());

  factory = ClassFactory();
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  factory->Release();
  EXPECT_EQ(S_FALSE, CanUnloadNow());
  factory = ClassFactory();
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  factory->Release();
  EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST_F(ServerTest, ConcurrentFirstRequestsShareOneClassObject) {
  const int kThreads = 8;
  std::vector<IUnknown*> results(kThreads, nullptr);
  std::vector<HRESULT> codes(kThreads, E_FAIL);
  std::atomic<int> waiting{kThreads};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      --waiting;
      while (waiting.load() > 0) std::this_thread::yield();
      codes[i] = m_module->getClassObject(CLSID_ExplorerBar, IID_IClassFactory, reinterpret_cast<void**>(&results[i]));
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(S_OK, codes[i]);
    EXPECT_EQ(results[0], results[i]);
  }
  EXPECT_EQ(S_FALSE, CanUnloadNow());
  for (IUnknown* result : results) result->Release();
  EXPECT_EQ(S_OK, CanUnloadNow());
}

}  // namespace
