// The band's settings stream: m_formatId then m_fontHeight, each its own four
// bytes, least significant first, with nothing before or after.
#include <cstring>

#include "explorer_bar.h"

namespace {

const ULONG kFieldSize = 4;
const ULONG kSettingsSize = 2 * kFieldSize;

// Reads one field into *field only when all of its bytes arrived, so that a
// short or failing stream leaves the setting as it was rather than half
// overwritten. The stream's result is not otherwise examined.
template <class Field>
void ReadField(IStream* stream, Field* field) {
  static_assert(sizeof(Field) == kFieldSize, "a settings field is 32 bits");
  BYTE bytes[kFieldSize];
  ULONG read = 0;
  const HRESULT hr = stream->Read(bytes, kFieldSize, &read);
  if (SUCCEEDED(hr) && read == kFieldSize) std::memcpy(field, bytes, kFieldSize);
}

template <class Field>
void WriteField(IStream* stream, const Field& field) {
  static_assert(sizeof(Field) == kFieldSize, "a settings field is 32 bits");
  ULONG written = 0;
  stream->Write(&field, kFieldSize, &written);
}

}  // namespace

// ---- IPersist

STDMETHODIMP CExplorerBar::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = CLSID_ExplorerBar;
  return S_OK;
}

// ---- IPersistStream

// The band keeps no record of changes: a save is always worth making.
STDMETHODIMP CExplorerBar::IsDirty() { return S_OK; }

// Stream errors are not reported: whatever did not arrive keeps its value.
STDMETHODIMP CExplorerBar::Load(IStream* pStm) {
  if (!pStm) return E_POINTER;
  ReadField(pStm, &m_formatId);
  ReadField(pStm, &m_fontHeight);
  return S_OK;
}

STDMETHODIMP CExplorerBar::Save(IStream* pStm, BOOL) {
  if (!pStm) return E_POINTER;
  WriteField(pStm, m_formatId);
  WriteField(pStm, m_fontHeight);
  return S_OK;
}

STDMETHODIMP CExplorerBar::GetSizeMax(ULARGE_INTEGER* pcbSize) {
  if (!pcbSize) return E_INVALIDARG;
  pcbSize->QuadPart = kSettingsSize;
  return S_OK;
}
