// A host's stream for tests: holds bytes like a memory stream, records every
// call, and can be told to fail every call or to deliver fewer bytes than
// asked on one read.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

class FakeStream : public IStream {
 public:
  explicit FakeStream(std::vector<BYTE> bytes = {}) : bytes(std::move(bytes)) {}
  FakeStream(const FakeStream&) = delete;
  FakeStream& operator=(const FakeStream&) = delete;

  // Every call answers this failure, touching nothing (S_OK: behave).
  HRESULT failEvery = S_OK;
  // The read with this index (0 = first) delivers at most shortReadBytes.
  int shortReadAt = -1;
  ULONG shortReadBytes = 0;

  std::vector<BYTE> bytes;
  size_t position = 0;
  std::vector<std::string> calls;
  LONG refs = 1;

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    calls.push_back("QueryInterface");
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) || IsEqualIID(riid, IID_IStream)) {
      AddRef();
      *ppv = static_cast<IStream*>(this);
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }

  // ISequentialStream
  STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) override {
    calls.push_back("Read " + std::to_string(cb));
    const int index = m_reads++;
    if (FAILED(failEvery)) return failEvery;
    size_t count = std::min<size_t>(cb, position < bytes.size() ? bytes.size() - position : 0);
    if (index == shortReadAt) count = std::min<size_t>(count, shortReadBytes);
    std::memcpy(pv, bytes.data() + position, count);
    position += count;
    if (pcbRead) *pcbRead = static_cast<ULONG>(count);
    return count == cb ? S_OK : S_FALSE;
  }
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    calls.push_back("Write " + std::to_string(cb));
    if (FAILED(failEvery)) return failEvery;
    if (position + cb > bytes.size()) bytes.resize(position + cb);
    std::memcpy(bytes.data() + position, pv, cb);
    position += cb;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  // IStream: the band neither seeks nor asks for the size; any such call is
  // recorded and refused.
  STDMETHOD(Seek)(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return Refuse("Seek"); }
  STDMETHOD(SetSize)(ULARGE_INTEGER) override { return Refuse("SetSize"); }
  STDMETHOD(CopyTo)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return Refuse("CopyTo"); }
  STDMETHOD(Commit)(DWORD) override { return Refuse("Commit"); }
  STDMETHOD(Revert)() override { return Refuse("Revert"); }
  STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return Refuse("LockRegion"); }
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return Refuse("UnlockRegion"); }
  STDMETHOD(Stat)(STATSTG*, DWORD) override { return Refuse("Stat"); }
  STDMETHOD(Clone)(IStream**) override { return Refuse("Clone"); }

 private:
  HRESULT Refuse(const char* name) {
    calls.push_back(name);
    return E_NOTIMPL;
  }
  int m_reads = 0;
};
