// PE32 images mapped by this layer: as data files everywhere, and as code on
// i386, where the image runs against this layer's own functions. module.cpp
// keeps the module records and hands PE modules to this class.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "pe_image.h"

namespace winapi {
namespace pe {

class MappedImage {
 public:
  // Maps the image in `path`. A data file gets its headers and sections,
  // read-only, and nothing else. An image to be run (i386 only: elsewhere
  // ERROR_BAD_EXE_FORMAT, as 64-bit Windows refuses a 32-bit DLL) is also
  // relocated, has its imports bound and its TLS index set; its entry point
  // has not run yet (Notify). Errors: ERROR_BAD_EXE_FORMAT for anything but a
  // well-formed PE32 image, ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND for an
  // import (reported on stderr as DLL!function), ERROR_INVALID_ADDRESS for an
  // image without relocations whose address is taken, ERROR_NOT_ENOUGH_MEMORY.
  static DWORD Map(const std::string& path, const std::vector<BYTE>& file, bool dataFile,
                   std::unique_ptr<MappedImage>* mapped);
  ~MappedImage();
  MappedImage(const MappedImage&) = delete;
  MappedImage& operator=(const MappedImage&) = delete;

  // Windows' module handle: the image's base address.
  HMODULE handle() const { return reinterpret_cast<HMODULE>(m_base); }
  bool Contains(const void* address) const;
  const std::vector<Resource>& resources() const { return m_image.resources; }
  const BYTE* At(DWORD rva) const { return m_base + rva; }

  // An export by name or by ordinal (MAKEINTRESOURCE); null with
  // ERROR_PROC_NOT_FOUND when there is none or it is forwarded to another DLL.
  FARPROC Export(LPCSTR name);

  // Tells the image about a process event: the TLS callbacks and then the
  // entry point on attach, the entry point and then the TLS callbacks on
  // detach. The entry point's answer; TRUE when the image has none.
  BOOL Notify(DWORD reason, LPVOID reserved);

 private:
  MappedImage() = default;
  DWORD Relocate();
  DWORD BindImports(const std::string& path);
  void Protect();

  BYTE* m_base = nullptr;
  size_t m_length = 0;  // the mapping: SizeOfImage in whole pages
  bool m_dataFile = false;
  Image m_image;
  int m_tlsIndex = -1;
};

// ---- The thread side of running PE code (pe_thread.cpp, i386)

// Makes the calling thread fit to run PE code: a thread environment block that
// %fs addresses (with the TLS blocks of the images loaded so far) and the x87
// control word Windows gives its threads. Cheap after the first call.
void EnterWindowsThread();

// Gives an image's implicit TLS a slot and every Windows thread a block copied
// from the template; the slot index, or -1 when none is left.
int AddTlsTemplate(const BYTE* data, DWORD size, DWORD zeroFill);
void RemoveTlsTemplate(int index);

// ---- The part of msvcrt.dll the images' C runtime imports (pe_msvcrt.cpp)

// A function (cdecl) or data object of msvcrt.dll by name; null when this
// layer has none.
void* MsvcrtExport(const std::string& name);

}  // namespace pe
}  // namespace winapi
