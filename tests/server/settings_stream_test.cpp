// The band's two settings through IPersistStream, on a band made by the loaded
// library: the 8-byte layout, short and failing streams, null arguments.
#include <gtest/gtest.h>

#include <windows.h>
#include <initguid.h>
#include <objbase.h>
#include <shlwapi.h>

#include <vector>

#include "daybander_ids.h"
#include "fake_stream.h"
#include "loaded_module.h"
#include "winapi_control.h"

namespace {

typedef std::vector<BYTE> Bytes;

const Bytes kDefaults = {0x08, 0x80, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00};

class SettingsStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_streams = WinapiLiveCount(WinapiStreams);
    ASSERT_NE(nullptr, m_module.getClassObject);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, m_module.getClassObject(CLSID_ExplorerBar, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersistStream, reinterpret_cast<void**>(&m_persist)));
    factory->Release();
  }
  void TearDown() override {
    if (m_persist) {
      EXPECT_EQ(0u, m_persist->Release());
    }
    if (m_module.canUnloadNow) {
      EXPECT_EQ(S_OK, m_module.canUnloadNow());
    }
    EXPECT_EQ(m_streams, WinapiLiveCount(WinapiStreams));
  }

  // What the band saves into a fresh memory stream.
  Bytes Saved() {
    IStream* stream = SHCreateMemStream(nullptr, 0);
    EXPECT_EQ(S_OK, m_persist->Save(stream, TRUE));
    Bytes bytes = Contents(stream);
    stream->Release();
    return bytes;
  }

  static Bytes Contents(IStream* stream) {
    STATSTG stat = {};
    EXPECT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
    Bytes bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
  }

  HRESULT LoadFrom(const Bytes& bytes, ULONGLONG* position = nullptr) {
    IStream* stream = SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
    const HRESULT hr = m_persist->Load(stream);
    LARGE_INTEGER none = {};
    ULARGE_INTEGER at = {};
    stream->Seek(none, STREAM_SEEK_CUR, &at);
    if (position) *position = at.QuadPart;
    stream->Release();
    return hr;
  }

  LoadedModule m_module;
  IPersistStream* m_persist = nullptr;
  LONG m_streams = 0;
};

TEST_F(SettingsStreamTest, AFreshBandSavesItsDefaultsInEightBytes) {
  ULARGE_INTEGER size = {};
  EXPECT_EQ(S_OK, m_persist->GetSizeMax(&size));
  EXPECT_EQ(8u, size.QuadPart);
  EXPECT_EQ(E_INVALIDARG, m_persist->GetSizeMax(nullptr));
  EXPECT_EQ(kDefaults, Saved());
}

struct LoadCase {
  const char* name;
  Bytes stream;
  Bytes savedAfter;     // what the band saves after loading it
  ULONGLONG consumed;   // where the stream's position ends
};

TEST_F(SettingsStreamTest, LoadTakesWhatArrivesWholeAndKeepsTheRest) {
  const LoadCase cases[] = {
      {"empty stream keeps both defaults", {}, kDefaults, 0},
      {"English, height 21", {0x03, 0x80, 0, 0, 21, 0, 0, 0}, {0x03, 0x80, 0, 0, 21, 0, 0, 0}, 8},
      {"only the format", {0x07, 0x80, 0, 0}, {0x07, 0x80, 0, 0, 0x0F, 0, 0, 0}, 4},
      // A height cut short must not leave half of its bytes in the setting.
      {"height cut short", {0x07, 0x80, 0, 0, 0x2A, 0x01}, {0x07, 0x80, 0, 0, 0x0F, 0, 0, 0}, 6},
      {"format cut short", {0x03, 0x80}, kDefaults, 2},
      {"longer stream: only the first 8 bytes", {1, 2, 3, 4, 0xFE, 0xFF, 0xFF, 0xFF, 9, 9}, {1, 2, 3, 4, 0xFE, 0xFF, 0xFF, 0xFF}, 8},
      {"unknown format, zero height", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, 8},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Start each case from the defaults.
    ASSERT_EQ(S_OK, LoadFrom(kDefaults));
    ULONGLONG consumed = 99;
    EXPECT_EQ(S_OK, LoadFrom(c.stream, &consumed));
    EXPECT_EQ(c.consumed, consumed);
    EXPECT_EQ(c.savedAfter, Saved());
  }
}

TEST_F(SettingsStreamTest, AStreamThatFailsEveryCallChangesNothingAndIsNotReported) {
  ASSERT_EQ(S_OK, LoadFrom({0x03, 0x80, 0, 0, 19, 0, 0, 0}));
  FakeStream failing;
  failing.failEvery = STG_E_READFAULT;
  EXPECT_EQ(S_OK, m_persist->Load(&failing));
  EXPECT_EQ(S_OK, m_persist->Save(&failing, FALSE));
  // Both fields are tried even after the first one failed; nothing else is asked.
  EXPECT_EQ((std::vector<std::string>{"Read 4", "Read 4", "Write 4", "Write 4"}), failing.calls);
  EXPECT_EQ(1, failing.refs);
  EXPECT_EQ((Bytes{0x03, 0x80, 0, 0, 19, 0, 0, 0}), Saved());
}

TEST_F(SettingsStreamTest, AReadThatDeliversPartOfAFieldLeavesTheFieldAlone) {
  FakeStream stream({0x07, 0x80, 0, 0, 0x11, 0, 0, 0});
  stream.shortReadAt = 0;
  stream.shortReadBytes = 3;
  EXPECT_EQ(S_OK, m_persist->Load(&stream));
  // The format's read came back with three bytes; the height's read took the
  // next four, whatever they were.
  EXPECT_EQ((Bytes{0x08, 0x80, 0, 0, 0, 0x11, 0, 0}), Saved());
}

TEST_F(SettingsStreamTest, IdentityAndDirtyState) {
  CLSID clsid = {};
  EXPECT_EQ(S_OK, m_persist->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(CLSID_ExplorerBar, clsid));
  IUnknown* classObject = nullptr;
  EXPECT_EQ(S_OK, m_module.getClassObject(clsid, IID_IUnknown, reinterpret_cast<void**>(&classObject)));
  classObject->Release();

  EXPECT_EQ(S_OK, m_persist->IsDirty());
  Saved();
  EXPECT_EQ(S_OK, m_persist->IsDirty());
  ASSERT_EQ(S_OK, LoadFrom(kDefaults));
  EXPECT_EQ(S_OK, m_persist->IsDirty());
}

TEST_F(SettingsStreamTest, NullArgumentsAreRefusedAndTouchNothing) {
  ASSERT_EQ(S_OK, LoadFrom({0x07, 0x80, 0, 0, 11, 0, 0, 0}));
  EXPECT_EQ(E_POINTER, m_persist->GetClassID(nullptr));
  EXPECT_EQ(E_POINTER, m_persist->Load(nullptr));
  EXPECT_EQ(E_POINTER, m_persist->Save(nullptr, TRUE));
  EXPECT_EQ((Bytes{0x07, 0x80, 0, 0, 11, 0, 0, 0}), Saved());
}

// The memory stream the host and these tests use, behaving as the system's.
TEST(MemoryStreamTest, ReadsStopAtTheEndWritesGrowSeeksAndStatWork) {
  const LONG streams = WinapiLiveCount(WinapiStreams);
  const BYTE initial[] = {1, 2, 3};
  IStream* stream = SHCreateMemStream(initial, sizeof(initial));
  ASSERT_NE(nullptr, stream);
  EXPECT_EQ(streams + 1, WinapiLiveCount(WinapiStreams));

  BYTE buffer[8] = {};
  ULONG count = 99;
  EXPECT_EQ(S_FALSE, stream->Read(buffer, 5, &count));
  EXPECT_EQ(3u, count);
  EXPECT_EQ(S_FALSE, stream->Read(buffer, 1, &count));
  EXPECT_EQ(0u, count);

  LARGE_INTEGER move = {};
  move.QuadPart = 5;
  ULARGE_INTEGER at = {};
  EXPECT_EQ(S_OK, stream->Seek(move, STREAM_SEEK_SET, &at));
  EXPECT_EQ(5u, at.QuadPart);
  const BYTE more[] = {9, 8};
  EXPECT_EQ(S_OK, stream->Write(more, sizeof(more), &count));
  EXPECT_EQ(2u, count);
  STATSTG stat = {};
  EXPECT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_EQ(static_cast<DWORD>(STGTY_STREAM), stat.type);
  EXPECT_EQ(7u, stat.cbSize.QuadPart);

  move.QuadPart = -7;
  EXPECT_EQ(S_OK, stream->Seek(move, STREAM_SEEK_END, &at));
  EXPECT_EQ(0u, at.QuadPart);
  EXPECT_EQ(S_OK, stream->Read(buffer, 7, &count));
  EXPECT_EQ((Bytes{1, 2, 3, 0, 0, 9, 8}), Bytes(buffer, buffer + 7));

  move.QuadPart = -8;
  EXPECT_EQ(STG_E_INVALIDFUNCTION, stream->Seek(move, STREAM_SEEK_CUR, &at));
  EXPECT_EQ(STG_E_INVALIDFUNCTION, stream->Seek(move, 7, &at));
  IStream* asStream = nullptr;
  EXPECT_EQ(S_OK, stream->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&asStream)));
  EXPECT_EQ(stream, asStream);
  asStream->Release();
  EXPECT_EQ(0u, stream->Release());
  EXPECT_EQ(streams, WinapiLiveCount(WinapiStreams));
}

}  // namespace
