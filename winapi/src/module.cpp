// Modules and their resources. A module is a shared object (or, loaded as a
// data file, just its bytes); its resources are the compiled resource file that
// the build put into the ELF section ".rsrc", read in the .res format windres
// writes, so they are looked up by type, name and language as Windows does.
// A module may also be a PE32 image, mapped by pe_loader.cpp: its handle is
// its base address and its resources come from its resource directory.
#include <windows.h>

#include <dlfcn.h>
#include <elf.h>
#include <limits.h>
#include <link.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "loader_lock.h"
#include "pe_loader.h"
#include "winapi_control.h"

namespace {

// A resource type or name: an integer id or a string.
struct ResourceId {
  bool isNumber = true;
  WORD number = 0;
  std::u16string text;  // upper-cased ASCII, for case-insensitive lookup
};

struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  WORD language = 0;
  const BYTE* data = nullptr;
  DWORD size = 0;
};

typedef BOOL(WINAPI* DllMainProc)(HINSTANCE, DWORD, LPVOID);

struct Module {
  HMODULE handle = nullptr;  // the record itself, or a PE image's base address
  std::string path;          // canonical full path
  void* dl = nullptr;        // dlopen handle of a loaded image
  std::unique_ptr<winapi::pe::MappedImage> pe;  // a PE image (or data file) this layer mapped
  bool implicit = false;     // mapped by the system loader, never freed here
  bool dataFile = false;     // loaded with LOAD_LIBRARY_AS_DATAFILE
  LONG refs = 0;             // LoadLibrary references
  std::vector<BYTE> resourceBytes;
  std::vector<ResourceEntry> resources;
  // What the loader calls of an image it loaded, whatever its format: the
  // entry point with DllMain's reason and reserved pointer (empty: none), and
  // the unmapping, which for a shared object runs its static destructors.
  // Both run under the loader lock (CallEntryPoint, UnloadImage).
  std::function<BOOL(DWORD reason, LPVOID reserved)> entryPoint;
  std::function<void()> unmap;
  bool detachedAtExit = false;  // had its DLL_PROCESS_DETACH at process exit
};

std::recursive_mutex g_lock;
std::vector<std::unique_ptr<Module>> g_modules;

char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

std::string Canonical(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::string MainProgramPath() { return Canonical("/proc/self/exe"); }

// Whether [offset, offset + size) lies within a file of fileSize bytes.
bool WithinFile(uint64_t offset, uint64_t size, size_t fileSize) {
  return offset <= fileSize && size <= fileSize - offset;
}

// Finds ".rsrc" among the sections of an ELF file of one class (32 or 64 bits:
// the i386 build's modules are ELF32).
template <typename Header, typename Section>
void FindResourceSection(const std::vector<BYTE>& bytes, std::vector<BYTE>* out) {
  Header header;
  std::memcpy(&header, bytes.data(), sizeof(header));
  if (header.e_shoff == 0 || header.e_shentsize != sizeof(Section) || header.e_shstrndx >= header.e_shnum ||
      !WithinFile(header.e_shoff, static_cast<uint64_t>(header.e_shnum) * sizeof(Section), bytes.size())) {
    return;
  }
  auto section = [&](unsigned i) {
    Section s;
    std::memcpy(&s, bytes.data() + header.e_shoff + i * sizeof(Section), sizeof(s));
    return s;
  };
  const Section names = section(header.e_shstrndx);
  for (unsigned i = 0; i < header.e_shnum; ++i) {
    const Section s = section(i);
    if (!WithinFile(static_cast<uint64_t>(names.sh_offset) + s.sh_name, sizeof(".rsrc"), bytes.size())) continue;
    if (std::memcmp(bytes.data() + names.sh_offset + s.sh_name, ".rsrc", sizeof(".rsrc")) != 0) continue;
    if (s.sh_type == SHT_NOBITS || !WithinFile(s.sh_offset, s.sh_size, bytes.size())) return;
    out->assign(bytes.begin() + static_cast<long>(s.sh_offset),
                bytes.begin() + static_cast<long>(s.sh_offset + s.sh_size));
    return;
  }
}

// Reads the section ".rsrc" of an ELF file. false: not an ELF file at all.
bool ReadResourceSection(const std::string& path, std::vector<BYTE>* out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::vector<BYTE> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() < EI_NIDENT || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0) return false;
  if (bytes[EI_CLASS] == ELFCLASS64 && bytes.size() >= sizeof(Elf64_Ehdr)) {
    FindResourceSection<Elf64_Ehdr, Elf64_Shdr>(bytes, out);
    return true;
  }
  if (bytes[EI_CLASS] == ELFCLASS32 && bytes.size() >= sizeof(Elf32_Ehdr)) {
    FindResourceSection<Elf32_Ehdr, Elf32_Shdr>(bytes, out);
    return true;
  }
  return false;
}

// Reads a type or name field of a .res header; false when it runs off the end.
bool ReadResourceId(const BYTE* base, size_t end, size_t* at, ResourceId* id) {
  auto word = [&](size_t p) { return static_cast<WORD>(base[p] | (base[p + 1] << 8)); };
  if (*at + 2 > end) return false;
  if (word(*at) == 0xFFFF) {
    if (*at + 4 > end) return false;
    id->isNumber = true;
    id->number = word(*at + 2);
    *at += 4;
    return true;
  }
  id->isNumber = false;
  id->text.clear();
  for (;;) {
    if (*at + 2 > end) return false;
    const WORD c = word(*at);
    *at += 2;
    if (c == 0) return true;
    id->text.push_back(UpperAscii(static_cast<char16_t>(c)));
  }
}

// The .res format: a sequence of records, each a header (data size, header
// size, type, name, DWORD-aligned, then version, flags, language...) followed by
// the data, the next record starting at the next DWORD boundary.
void ParseResources(Module* module) {
  const std::vector<BYTE>& bytes = module->resourceBytes;
  const BYTE* base = bytes.data();
  size_t at = 0;
  while (at + 16 <= bytes.size()) {
    DWORD dataSize, headerSize;
    std::memcpy(&dataSize, base + at, 4);
    std::memcpy(&headerSize, base + at + 4, 4);
    if (headerSize < 16 || at + headerSize > bytes.size() || dataSize > bytes.size() - at - headerSize) break;
    ResourceEntry entry;
    size_t field = at + 8;
    const size_t headerEnd = at + headerSize;
    if (!ReadResourceId(base, headerEnd, &field, &entry.type) ||
        !ReadResourceId(base, headerEnd, &field, &entry.name)) {
      break;
    }
    field = (field + 3) & ~static_cast<size_t>(3);
    if (field + 8 <= headerEnd) entry.language = static_cast<WORD>(base[field + 6] | (base[field + 7] << 8));
    entry.data = base + headerEnd;
    entry.size = dataSize;
    // The file begins with an empty record (type 0, name 0) that marks the format.
    if (!(entry.type.isNumber && entry.type.number == 0)) module->resources.push_back(entry);
    at = (headerEnd + dataSize + 3) & ~static_cast<size_t>(3);
  }
}

Module* Find(HMODULE handle) {
  for (auto& m : g_modules) {
    if (m->handle == handle) return m.get();
  }
  return nullptr;
}

// An image mapped to run (not a data file): a new load of its path shares it.
bool IsMappedImage(const Module* m) { return m->dl || m->implicit || (m->pe && !m->dataFile); }

Module* FindImage(const std::string& path) {
  for (auto& m : g_modules) {
    if (!m->dataFile && m->path == path) return m.get();
  }
  return nullptr;
}

Module* AddModule(const std::string& path) {
  auto module = std::make_unique<Module>();
  module->handle = reinterpret_cast<HMODULE>(module.get());
  module->path = path;
  std::vector<BYTE> section;
  if (ReadResourceSection(path, &section)) {
    module->resourceBytes = std::move(section);
    ParseResources(module.get());
  }
  g_modules.push_back(std::move(module));
  return g_modules.back().get();
}

void RemoveModule(Module* module) {
  for (auto it = g_modules.begin(); it != g_modules.end(); ++it) {
    if (it->get() == module) {
      g_modules.erase(it);
      return;
    }
  }
}

Module* MainProgram() {
  const std::string path = MainProgramPath();
  Module* module = FindImage(path);
  if (!module) {
    module = AddModule(path);
    module->implicit = true;
  }
  return module;
}

Module* ModuleOrMain(HMODULE handle) { return handle ? Find(handle) : MainProgram(); }

// ---------------------------------------------------------------------------
// Entry points: every call of one, attach or detach, goes through here and
// holds the loader lock.

// The reserved pointer of DLL_PROCESS_DETACH at process exit: any non-null
// value says so.
LPVOID const kProcessExit = reinterpret_cast<LPVOID>(1);

BOOL CallEntryPoint(Module* module, DWORD reason, LPVOID reserved) {
  if (!module->entryPoint) return TRUE;
  winapi::LoaderLock hold;
  return module->entryPoint(reason, reserved);
}

// The end of an image: it is unmapped under the loader lock, as the static
// destructors of a Windows module run inside its entry point, and then its
// record goes (static destruction may still ask for its own handle).
void UnloadImage(Module* module) {
  if (module->unmap) {
    winapi::LoaderLock hold;
    module->unmap();
  }
  RemoveModule(module);
}

// An image this layer loaded and still holds: it hears of process exit.
bool IsLoadedImage(const Module& m) { return !m.dataFile && !m.implicit && m.refs > 0; }

// At process exit Windows calls the entry point of every module still loaded
// with DLL_PROCESS_DETACH and a non-null reserved pointer, the last loaded
// first, and unmaps nothing. Registered after every load (exit handlers run
// the most recent first), so it precedes the static destructors that the
// image's own start-up has just registered, and later passes find nothing
// left to do.
void DetachImagesAtExit() {
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  const LONG before = WinapiLoaderLockViolations(nullptr);
  for (auto it = g_modules.rbegin(); it != g_modules.rend(); ++it) {
    Module* module = it->get();
    if (!IsLoadedImage(*module) || module->detachedAtExit) continue;
    module->detachedAtExit = true;
    CallEntryPoint(module, DLL_PROCESS_DETACH, kProcessExit);
    // A PE image stays mapped until the process is gone: exit handlers and
    // destructors that run after this one may still reach its code.
    if (module->pe) (void)module->pe.release();
  }
  LPCSTR area = nullptr;
  const LONG made = WinapiLoaderLockViolations(&area) - before;
  if (made > 0) {
    fprintf(stderr, "winapi: %ld call(s) under the loader lock at process exit, the last into %s\n",
            static_cast<long>(made), area ? area : "?");
  }
}

// The loader's part once an image is mapped and its entry point known:
// DLL_PROCESS_ATTACH, and on refusal the immediate detach and unload that
// Windows gives. The module lock is held.
HMODULE AttachImage(Module* module) {
  module->implicit = false;
  module->refs = 1;
  WinapiCountObject(WinapiModules, 1);
  const HMODULE handle = module->handle;
  if (!CallEntryPoint(module, DLL_PROCESS_ATTACH, nullptr)) {
    CallEntryPoint(module, DLL_PROCESS_DETACH, nullptr);
    UnloadImage(module);
    WinapiCountObject(WinapiModules, -1);
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  atexit(DetachImagesAtExit);
  return handle;
}

// The file a library name means: a path as given (relative to the current
// folder), or a bare name looked for in the current folder, then beside the
// program, as the Windows loader searches.
std::string ResolveLibrary(const char* name) {
  std::string given(name);
  if (given.find('/') != std::string::npos) return Canonical(given);
  std::string found = Canonical(given);
  if (!found.empty()) return found;
  const std::string program = MainProgramPath();
  return Canonical(program.substr(0, program.rfind('/') + 1) + given);
}

struct AddressQuery {
  uintptr_t address;
  std::string path;
  bool found;
};

int FindObjectOfAddress(struct dl_phdr_info* info, size_t, void* data) {
  auto* query = static_cast<AddressQuery*>(data);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    if (query->address >= start && query->address < start + ph.p_memsz) {
      query->found = true;
      query->path = (info->dlpi_name && info->dlpi_name[0]) ? Canonical(info->dlpi_name) : MainProgramPath();
      return 1;
    }
  }
  return 0;
}

// The module whose image holds `address`: a PE image of this layer, or an
// object the system loader mapped (recorded on first sight).
Module* ModuleOfAddress(const void* address) {
  for (auto& m : g_modules) {
    if (m->pe && !m->dataFile && m->pe->Contains(address)) return m.get();
  }
  AddressQuery query{reinterpret_cast<uintptr_t>(address), std::string(), false};
  dl_iterate_phdr(FindObjectOfAddress, &query);
  if (!query.found || query.path.empty()) return nullptr;
  Module* module = FindImage(query.path);
  if (!module) {
    module = AddModule(query.path);
    module->implicit = true;
  }
  return module;
}

bool MatchesId(const ResourceId& id, const char16_t* wanted, WORD wantedNumber, bool wantedIsNumber) {
  if (wantedIsNumber) return id.isNumber && id.number == wantedNumber;
  if (id.isNumber) return false;
  size_t i = 0;
  for (; wanted[i]; ++i) {
    if (i >= id.text.size() || id.text[i] != UpperAscii(wanted[i])) return false;
  }
  return i == id.text.size();
}

// Resolves "#123" to the integer 123, as the resource functions do.
void ParseResourceName(const char16_t* text, bool* isNumber, WORD* number) {
  *isNumber = false;
  if (!text || text[0] != u'#') return;
  unsigned value = 0;
  for (const char16_t* p = text + 1; *p; ++p) {
    if (*p < u'0' || *p > u'9') return;
    value = value * 10 + static_cast<unsigned>(*p - u'0');
    if (value > 0xFFFF) return;
  }
  *isNumber = true;
  *number = static_cast<WORD>(value);
}

HRSRC FindResourceCommon(HMODULE handle, const char16_t* nameText, WORD nameNumber, bool nameIsNumber,
                         const char16_t* typeText, WORD typeNumber, bool typeIsNumber) {
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  Module* module = ModuleOrMain(handle);
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!nameIsNumber) ParseResourceName(nameText, &nameIsNumber, &nameNumber);
  if (!typeIsNumber) ParseResourceName(typeText, &typeIsNumber, &typeNumber);
  bool typeSeen = false;
  for (ResourceEntry& entry : module->resources) {
    if (!MatchesId(entry.type, typeText, typeNumber, typeIsNumber)) continue;
    typeSeen = true;
    if (MatchesId(entry.name, nameText, nameNumber, nameIsNumber)) return reinterpret_cast<HRSRC>(&entry);
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

// ---- PE32 images

bool IsPeFile(const std::string& path) {
  char magic[2] = {0, 0};
  std::ifstream file(path, std::ios::binary);
  return file.read(magic, 2) && winapi::pe::LooksLikeImage(reinterpret_cast<const BYTE*>(magic), 2);
}

ResourceId IdOf(const winapi::pe::ResourceName& name) {
  ResourceId id;
  id.isNumber = name.isNumber;
  id.number = name.number;
  for (char16_t c : name.text) id.text.push_back(UpperAscii(c));
  return id;
}

HMODULE LoadPeModule(const std::string& path, bool dataFile) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<BYTE> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::unique_ptr<winapi::pe::MappedImage> image;
  const DWORD status = winapi::pe::MappedImage::Map(path, file, dataFile, &image);
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    return nullptr;
  }
  auto record = std::make_unique<Module>();
  record->handle = image->handle();
  record->path = path;
  record->dataFile = dataFile;
  record->refs = 1;
  for (const winapi::pe::Resource& r : image->resources()) {
    record->resources.push_back(ResourceEntry{IdOf(r.type), IdOf(r.name), r.language, image->At(r.dataRva), r.size});
  }
  winapi::pe::MappedImage* mapped = image.get();
  record->pe = std::move(image);
  g_modules.push_back(std::move(record));
  Module* module = g_modules.back().get();
  if (dataFile) {
    WinapiCountObject(WinapiModules, 1);
    return module->handle;
  }
  module->entryPoint = [mapped](DWORD reason, LPVOID reserved) { return mapped->Notify(reason, reserved); };
  return AttachImage(module);
}

}  // namespace

// Loads the library named `name` (UTF-8, the file system's own spelling).
static HMODULE LoadNamedLibrary(const std::string& name, DWORD flags) {
  winapi::CheckNotUnderLoaderLock("LoadLibrary");
  const std::string path = ResolveLibrary(name.c_str());
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  // An image already mapped (by an earlier load, or by the system loader) is
  // shared, whatever the flags.
  Module* loaded = FindImage(path);
  if (loaded && IsMappedImage(loaded)) {
    ++loaded->refs;
    return loaded->handle;
  }

  const bool dataFile =
      (flags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) != 0;
  if (IsPeFile(path)) return LoadPeModule(path, dataFile);
  if (dataFile) {
    std::vector<BYTE> section;
    if (!ReadResourceSection(path, &section)) {
      SetLastError(ERROR_BAD_EXE_FORMAT);
      return nullptr;
    }
    auto module = std::make_unique<Module>();
    module->handle = reinterpret_cast<HMODULE>(module.get());
    module->path = path;
    module->dataFile = true;
    module->refs = 1;
    module->resourceBytes = std::move(section);
    ParseResources(module.get());
    g_modules.push_back(std::move(module));
    WinapiCountObject(WinapiModules, 1);
    return reinterpret_cast<HMODULE>(g_modules.back().get());
  }

  // Static construction runs inside dlopen, under the loader lock as inside a
  // Windows module's entry point, and may already ask for its own module
  // handle; that record is then the one this load completes.
  void* dl;
  {
    winapi::LoaderLock loading;
    dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!dl) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  Module* module = FindImage(path);
  if (!module) module = AddModule(path);
  module->dl = dl;
  const auto instance = reinterpret_cast<HINSTANCE>(module->handle);
  if (const auto dllMain = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"))) {
    module->entryPoint = [dllMain, instance](DWORD reason, LPVOID reserved) {
      return dllMain(instance, reason, reserved);
    };
  }
  module->unmap = [dl] { dlclose(dl); };
  return AttachImage(module);
}

EXTERN_C HMODULE WINAPI LoadLibraryExW(LPCWSTR name, HANDLE, DWORD flags) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadNamedLibrary(winapi::Narrow(name), flags);
}

// The name is in the ANSI code page: a file whose name it cannot spell is not
// found, as on Windows.
EXTERN_C HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadLibraryExW(winapi::FromAnsi(name).c_str(), file, flags);
}

EXTERN_C HMODULE WINAPI LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }
EXTERN_C HMODULE WINAPI LoadLibraryW(LPCWSTR name) { return LoadLibraryExW(name, nullptr, 0); }

EXTERN_C BOOL WINAPI FreeLibrary(HMODULE handle) {
  winapi::CheckNotUnderLoaderLock("FreeLibrary");
  std::unique_lock<std::recursive_mutex> hold(g_lock);
  Module* module = Find(handle);
  if (!module || module->refs <= 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--module->refs > 0 || module->implicit) return TRUE;
  WinapiCountObject(WinapiModules, -1);
  if (module->dataFile) {
    RemoveModule(module);
    return TRUE;
  }
  if (!module->detachedAtExit) CallEntryPoint(module, DLL_PROCESS_DETACH, nullptr);
  UnloadImage(module);
  return TRUE;
}

EXTERN_C FARPROC WINAPI GetProcAddress(HMODULE handle, LPCSTR name) {
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  Module* module = Find(handle);
  if (module && module->pe && !module->dataFile && name) return module->pe->Export(name);
  if (!module || !module->dl || !name || IS_INTRESOURCE(name)) {
    SetLastError(module ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* proc = dlsym(module->dl, name);
  if (!proc) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(proc);
}

EXTERN_C BOOL WINAPI DisableThreadLibraryCalls(HMODULE handle) {
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  if (!Find(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;  // this layer starts no thread notifications in the first place
}

namespace {

std::atomic<bool> g_failModuleFileName{false};
std::atomic<DWORD> g_moduleFileNameError{0};

// A name cut to a buffer of `size` characters: size - 1 of them and the NUL,
// the result `size`, the last error ERROR_INSUFFICIENT_BUFFER.
template <typename Char>
DWORD CopyFileName(const std::basic_string<Char>& name, Char* buffer, DWORD size) {
  if (name.size() >= size) {
    std::memcpy(buffer, name.data(), (size - 1) * sizeof(Char));
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(Char));
  return static_cast<DWORD>(name.size());
}

// The file name of a module in UTF-16, or false with the last error set.
bool ModuleFileName(HMODULE handle, void* buffer, DWORD size, std::u16string* name) {
  if (g_failModuleFileName.exchange(false)) {
    SetLastError(g_moduleFileNameError.load());
    return false;
  }
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  Module* module = ModuleOrMain(handle);
  if (!module) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return false;
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  *name = winapi::Widen(module->path.c_str());
  return true;
}

}  // namespace

EXTERN_C void WinapiFailNextModuleFileName(DWORD lastError) {
  g_moduleFileNameError = lastError;
  g_failModuleFileName = true;
}

EXTERN_C DWORD WINAPI GetModuleFileNameW(HMODULE handle, LPWSTR buffer, DWORD size) {
  std::u16string name;
  if (!ModuleFileName(handle, buffer, size, &name)) return 0;
  return CopyFileName(name, buffer, size);
}

// The name in the ANSI code page: a character it lacks comes out as '?'.
EXTERN_C DWORD WINAPI GetModuleFileNameA(HMODULE handle, LPSTR buffer, DWORD size) {
  std::u16string name;
  if (!ModuleFileName(handle, buffer, size, &name)) return 0;
  return CopyFileName(winapi::ToAnsi(name.c_str()), buffer, size);
}

EXTERN_C BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* result) {
  if (!result) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *result = nullptr;
  std::lock_guard<std::recursive_mutex> hold(g_lock);
  Module* module = nullptr;
  if (!name) {
    module = MainProgram();
  } else if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
    module = ModuleOfAddress(name);
    if (!module) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
  } else {
    const std::u16string wanted = winapi::FromAnsi(name);
    for (auto& m : g_modules) {
      if (m->dataFile) continue;
      const std::u16string path = winapi::Widen(m->path.c_str());
      const std::u16string base = path.substr(path.rfind(u'/') + 1);
      if (path == wanted || lstrcmpiW(base.c_str(), wanted.c_str()) == 0) {
        module = m.get();
        break;
      }
    }
    if (!module) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
  }
  if (!(flags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN)) &&
      (module->dl || module->pe)) {
    ++module->refs;
  }
  *result = module->handle;
  return TRUE;
}

EXTERN_C HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, name, &module);
  return module;
}

EXTERN_C HRSRC WINAPI FindResourceW(HMODULE handle, LPCWSTR name, LPCWSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const bool nameIsNumber = IS_INTRESOURCE(name);
  const bool typeIsNumber = IS_INTRESOURCE(type);
  return FindResourceCommon(handle, nameIsNumber ? u"" : name, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)),
                            nameIsNumber, typeIsNumber ? u"" : type,
                            static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type)), typeIsNumber);
}

EXTERN_C HRSRC WINAPI FindResourceA(HMODULE handle, LPCSTR name, LPCSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::u16string nameText = IS_INTRESOURCE(name) ? std::u16string() : winapi::FromAnsi(name);
  const std::u16string typeText = IS_INTRESOURCE(type) ? std::u16string() : winapi::FromAnsi(type);
  return FindResourceW(handle, IS_INTRESOURCE(name) ? reinterpret_cast<LPCWSTR>(name) : nameText.c_str(),
                       IS_INTRESOURCE(type) ? reinterpret_cast<LPCWSTR>(type) : typeText.c_str());
}

EXTERN_C HGLOBAL WINAPI LoadResource(HMODULE, HRSRC info) {
  if (!info) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<BYTE*>(reinterpret_cast<ResourceEntry*>(info)->data);
}

EXTERN_C LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

EXTERN_C DWORD WINAPI SizeofResource(HMODULE, HRSRC info) {
  if (!info) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<ResourceEntry*>(info)->size;
}

// String tables hold 16 strings per block, block id (uID / 16) + 1, each string
// a length word and that many UTF-16 units.
EXTERN_C int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int max) {
  if (!buffer) return 0;
  HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW((id >> 4) + 1), MAKEINTRESOURCEW(6));
  if (!info) return 0;
  const auto* entry = reinterpret_cast<const ResourceEntry*>(info);
  const BYTE* p = entry->data;
  const BYTE* end = p + entry->size;
  for (UINT i = 0; i < (id & 15); ++i) {
    if (p + 2 > end) return 0;
    p += 2 + 2 * (p[0] | (p[1] << 8));
  }
  if (p + 2 > end) return 0;
  const int length = p[0] | (p[1] << 8);
  const auto* text = reinterpret_cast<const WCHAR*>(p + 2);
  if (max == 0) {
    *reinterpret_cast<const WCHAR**>(buffer) = text;
    return length;
  }
  const int copied = length < max - 1 ? length : max - 1;
  std::memcpy(buffer, text, static_cast<size_t>(copied) * sizeof(WCHAR));
  buffer[copied] = 0;
  return copied;
}
