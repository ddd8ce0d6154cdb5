// Shell light-weight utilities: the memory stream.
#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "winapi_control.h"

namespace {

// A stream over a growable byte buffer. Reads past the end deliver what is
// there (S_FALSE when short); writes past the end grow the buffer, filling any
// gap left by a seek with zeros.
class MemoryStream final : public IStream {
 public:
  MemoryStream() { WinapiCountObject(WinapiStreams, 1); }
  ~MemoryStream() { WinapiCountObject(WinapiStreams, -1); }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  bool Assign(const BYTE* data, UINT size) {
    try {
      m_bytes.assign(data, data + size);
    } catch (...) {
      return false;
    }
    return true;
  }

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_ISequentialStream) && !IsEqualIID(riid, IID_IStream)) {
      return E_NOINTERFACE;
    }
    AddRef();
    *ppv = static_cast<IStream*>(this);
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

  // ISequentialStream
  STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    ULONG available = m_position < m_bytes.size() ? static_cast<ULONG>(m_bytes.size() - m_position) : 0;
    const ULONG count = cb < available ? cb : available;
    if (count) std::memcpy(pv, m_bytes.data() + m_position, count);
    m_position += count;
    if (pcbRead) *pcbRead = count;
    return count == cb ? S_OK : S_FALSE;
  }
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (cb == 0) return S_OK;
    const ULONGLONG end = m_position + cb;
    if (end > 0xFFFFFFFFull) return STG_E_MEDIUMFULL;
    if (end > m_bytes.size() && !Resize(end)) return STG_E_MEDIUMFULL;
    std::memcpy(m_bytes.data() + m_position, pv, cb);
    m_position = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  // IStream
  STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    LONGLONG base;
    switch (dwOrigin) {
      case STREAM_SEEK_SET:
        base = 0;
        break;
      case STREAM_SEEK_CUR:
        base = static_cast<LONGLONG>(m_position);
        break;
      case STREAM_SEEK_END:
        base = static_cast<LONGLONG>(m_bytes.size());
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    const LONGLONG position = base + dlibMove.QuadPart;
    if (position < 0 || position > 0xFFFFFFFFll) return STG_E_INVALIDFUNCTION;
    m_position = static_cast<ULONGLONG>(position);
    if (plibNewPosition) plibNewPosition->QuadPart = m_position;
    return S_OK;
  }
  STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) override {
    if (libNewSize.QuadPart > 0xFFFFFFFFull) return STG_E_MEDIUMFULL;
    return Resize(libNewSize.QuadPart) ? S_OK : STG_E_MEDIUMFULL;
  }
  STDMETHOD(CopyTo)(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override {
    if (pcbRead) pcbRead->QuadPart = 0;
    if (pcbWritten) pcbWritten->QuadPart = 0;
    if (!pstm) return STG_E_INVALIDPOINTER;
    const ULONGLONG available = m_position < m_bytes.size() ? m_bytes.size() - m_position : 0;
    ULONGLONG count = cb.QuadPart < available ? cb.QuadPart : available;
    ULONG written = 0;
    const HRESULT hr = pstm->Write(m_bytes.data() + m_position, static_cast<ULONG>(count), &written);
    m_position += count;
    if (pcbRead) pcbRead->QuadPart = count;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return hr;
  }
  STDMETHOD(Commit)(DWORD) override { return S_OK; }
  STDMETHOD(Revert)() override { return S_OK; }
  STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHOD(Stat)(STATSTG* pstatstg, DWORD) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    std::memset(pstatstg, 0, sizeof(*pstatstg));
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = m_bytes.size();
    return S_OK;
  }
  STDMETHOD(Clone)(IStream** ppstm) override {
    if (ppstm) *ppstm = nullptr;
    return E_NOTIMPL;
  }

 private:
  bool Resize(ULONGLONG size) {
    try {
      m_bytes.resize(static_cast<size_t>(size), 0);
    } catch (...) {
      return false;
    }
    return true;
  }

  std::atomic<ULONG> m_refs{1};
  std::vector<BYTE> m_bytes;
  ULONGLONG m_position = 0;
};

}  // namespace

EXTERN_C IStream* WINAPI SHCreateMemStream(const BYTE* pInit, UINT cbInit) {
  auto* stream = new (std::nothrow) MemoryStream;
  if (!stream) return nullptr;
  if (pInit && !stream->Assign(pInit, cbInit)) {
    stream->Release();
    return nullptr;
  }
  return stream;
}
