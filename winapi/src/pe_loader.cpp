// Mapping PE32 images: headers and sections at their addresses, base
// relocations when the preferred address is taken, imports bound by DLL name
// (without regard to case) and function name to this layer's own functions,
// section protections, implicit TLS, and the calls of the TLS callbacks and
// the entry point. Only i386 runs an image; every build maps data files.
#include "pe_loader.h"

#include <dlfcn.h>
#include <strings.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace winapi {
namespace pe {
namespace {

constexpr size_t kPage = 4096;

size_t PageRound(uint64_t length) { return static_cast<size_t>((length + kPage - 1) / kPage * kPage); }

#if defined(__i386__)

typedef void(__attribute__((stdcall)) * TlsCallback)(PVOID, DWORD, PVOID);
typedef BOOL(__attribute__((stdcall)) * EntryPoint)(HINSTANCE, DWORD, LPVOID);

// The system DLLs whose functions this layer stands in for; msvcrt.dll has a
// part of its own.
const char* const kSystemDlls[] = {"kernel32.dll", "user32.dll",   "gdi32.dll",   "advapi32.dll", "ole32.dll",
                                   "oleaut32.dll", "shlwapi.dll", "shell32.dll", "comctl32.dll"};

bool IsSystemDll(const std::string& name) {
  for (const char* dll : kSystemDlls) {
    if (strcasecmp(name.c_str(), dll) == 0) return true;
  }
  return false;
}

// A function this layer itself exports, by name; never one of a library it
// links against (the C library's `free` is not KERNEL32's).
void* LayerFunction(const std::string& name) {
  static Dl_info self{};
  static void* handle = [] {
    dladdr(reinterpret_cast<void*>(&IsSystemDll), &self);
    return dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  }();
  void* found = handle ? dlsym(handle, name.c_str()) : nullptr;
  Dl_info owner{};
  if (!found || !dladdr(found, &owner) || owner.dli_fbase != self.dli_fbase) return nullptr;
  return found;
}

int Protection(DWORD characteristics) {
  int protection = PROT_NONE;
  if (characteristics & kSectionRead) protection |= PROT_READ;
  if (characteristics & kSectionWrite) protection |= PROT_READ | PROT_WRITE;
  if (characteristics & kSectionExecute) protection |= PROT_READ | PROT_EXEC;
  return protection;
}

#endif

}  // namespace

DWORD MappedImage::Map(const std::string& path, const std::vector<BYTE>& file, bool dataFile,
                       std::unique_ptr<MappedImage>* mapped) {
  std::unique_ptr<MappedImage> image(new MappedImage());
  image->m_dataFile = dataFile;
  Image& pe = image->m_image;
  DWORD status = ReadImage(file.data(), file.size(), dataFile ? kResourcesOnly : kEverything, &pe);
  if (status != ERROR_SUCCESS) return status;
#if defined(__i386__)
  if (!dataFile && pe.machine != kMachineI386) return ERROR_BAD_EXE_FORMAT;
#else
  (void)path;
  if (!dataFile) return ERROR_BAD_EXE_FORMAT;  // a 32-bit image cannot run in this process
#endif

  const size_t length = PageRound(pe.sizeOfImage);
  void* want = dataFile ? nullptr : reinterpret_cast<void*>(static_cast<uintptr_t>(pe.imageBase));
  void* at = MAP_FAILED;
  if (want) at = mmap(want, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (at == MAP_FAILED) at = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (at == MAP_FAILED) return ERROR_NOT_ENOUGH_MEMORY;
  image->m_base = static_cast<BYTE*>(at);
  image->m_length = length;
  std::memcpy(image->m_base, file.data(), pe.sizeOfHeaders);
  for (const Section& s : pe.sections) {
    std::memcpy(image->m_base + s.virtualAddress, file.data() + s.rawOffset, std::min(s.rawSize, s.virtualSize));
  }
  if (dataFile) {
    mprotect(image->m_base, length, PROT_READ);
    *mapped = std::move(image);
    return ERROR_SUCCESS;
  }

#if defined(__i386__)
  if ((status = image->Relocate()) != ERROR_SUCCESS || (status = image->BindImports(path)) != ERROR_SUCCESS) {
    return status;
  }
  if (pe.tls.present) {
    image->m_tlsIndex = AddTlsTemplate(image->m_base + pe.tls.templateRva, pe.tls.templateSize, pe.tls.zeroFill);
    if (image->m_tlsIndex < 0) return ERROR_NOT_ENOUGH_MEMORY;
    if (pe.tls.indexRva) {
      const DWORD index = static_cast<DWORD>(image->m_tlsIndex);
      std::memcpy(image->m_base + pe.tls.indexRva, &index, sizeof(index));
    }
  }
  image->Protect();
#endif
  *mapped = std::move(image);
  return ERROR_SUCCESS;
}

MappedImage::~MappedImage() {
  if (m_tlsIndex >= 0) RemoveTlsTemplate(m_tlsIndex);
  if (m_base) munmap(m_base, m_length);
}

bool MappedImage::Contains(const void* address) const {
  const auto* at = static_cast<const BYTE*>(address);
  return at >= m_base && at < m_base + m_length;
}

FARPROC MappedImage::Export(LPCSTR name) {
  bool forwarded = false;
  const DWORD rva = IS_INTRESOURCE(name)
                        ? FindExportByOrdinal(m_image.exports, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)),
                                              &forwarded)
                        : FindExport(m_image.exports, name, &forwarded);
  // A forwarder names a function of another DLL, which this layer does not
  // load on an image's behalf.
  if (m_dataFile || rva == 0 || forwarded) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  EnterWindowsThread();  // the caller is about to run the image's code
  return reinterpret_cast<FARPROC>(m_base + rva);
}

BOOL MappedImage::Notify(DWORD reason, LPVOID reserved) {
#if defined(__i386__)
  if (m_dataFile) return TRUE;
  EnterWindowsThread();
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(m_base);
  auto callbacks = [&] {
    for (DWORD rva : m_image.tls.callbacks) reinterpret_cast<TlsCallback>(m_base + rva)(instance, reason, reserved);
  };
  if (reason != DLL_PROCESS_DETACH) callbacks();
  BOOL result = TRUE;
  if (m_image.entryRva != 0 && (m_image.characteristics & kFileDll)) {
    result = reinterpret_cast<EntryPoint>(m_base + m_image.entryRva)(instance, reason, reserved);
  }
  if (reason == DLL_PROCESS_DETACH) callbacks();
  return result;
#else
  (void)reason;
  (void)reserved;
  return TRUE;
#endif
}

#if defined(__i386__)

DWORD MappedImage::Relocate() {
  const DWORD delta = static_cast<DWORD>(reinterpret_cast<uintptr_t>(m_base)) - m_image.imageBase;
  if (delta == 0) return ERROR_SUCCESS;
  if (m_image.characteristics & kFileRelocsStripped) return ERROR_INVALID_ADDRESS;
  for (DWORD rva : m_image.fixups) {
    DWORD value;
    std::memcpy(&value, m_base + rva, sizeof(value));
    value += delta;
    std::memcpy(m_base + rva, &value, sizeof(value));
  }
  return ERROR_SUCCESS;
}

DWORD MappedImage::BindImports(const std::string& path) {
  for (const ImportedLibrary& library : m_image.imports) {
    const bool crt = strcasecmp(library.name.c_str(), "msvcrt.dll") == 0;
    if (!crt && !IsSystemDll(library.name)) {
      std::fprintf(stderr, "winapi: cannot load %s: the library %s could not be found\n", path.c_str(),
                   library.name.c_str());
      return ERROR_MOD_NOT_FOUND;
    }
    for (const ImportedFunction& function : library.functions) {
      void* address = nullptr;
      if (!function.byOrdinal) address = crt ? MsvcrtExport(function.name) : LayerFunction(function.name);
      if (!address) {
        const std::string name = function.byOrdinal ? "#" + std::to_string(function.ordinal) : function.name;
        std::fprintf(stderr, "winapi: cannot load %s: the procedure entry point %s!%s could not be located\n",
                     path.c_str(), library.name.c_str(), name.c_str());
        return ERROR_PROC_NOT_FOUND;
      }
      const DWORD value = static_cast<DWORD>(reinterpret_cast<uintptr_t>(address));
      std::memcpy(m_base + function.iatRva, &value, sizeof(value));
    }
  }
  return ERROR_SUCCESS;
}

// Each page gets the union of the rights of the sections on it; the headers
// are read-only.
void MappedImage::Protect() {
  std::vector<int> pages(m_length / kPage, PROT_NONE);
  auto grant = [&](uint64_t rva, uint64_t size, int protection) {
    for (uint64_t page = rva / kPage; page < (rva + size + kPage - 1) / kPage && page < pages.size(); ++page) {
      pages[page] |= protection;
    }
  };
  grant(0, m_image.sizeOfHeaders, PROT_READ);
  for (const Section& s : m_image.sections) grant(s.virtualAddress, s.virtualSize, Protection(s.characteristics));
  for (size_t first = 0; first < pages.size();) {
    size_t end = first + 1;
    while (end < pages.size() && pages[end] == pages[first]) ++end;
    mprotect(m_base + first * kPage, (end - first) * kPage, pages[first]);
    first = end;
  }
}

#endif

}  // namespace pe
}  // namespace winapi
