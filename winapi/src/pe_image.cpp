// Reading PE32 images (Microsoft's PE/COFF format). Every offset, count and
// address the file gives is checked before it is followed; arithmetic is done
// in 64 bits so that no sum of file fields can wrap.
#include "pe_image.h"

#include <algorithm>
#include <cstring>

namespace winapi {
namespace pe {
namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr WORD kMagicPe32 = 0x10B;
constexpr size_t kOptionalFixedSize = 96;  // PE32 fields up to NumberOfRvaAndSizes
constexpr WORD kMaxSections = 96;
constexpr DWORD kDirectoryCount = 16;
constexpr DWORD kDirExport = 0, kDirImport = 1, kDirResource = 2, kDirBaseReloc = 5, kDirTls = 9;
constexpr size_t kMaxName = 4096;  // longer import, export and DLL names are refused
constexpr WORD kRelocAbsolute = 0, kRelocHighLow = 3;

uint16_t Le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool IsPowerOfTwo(DWORD v) { return v != 0 && (v & (v - 1)) == 0; }
uint64_t AlignUp(uint64_t v, DWORD alignment) { return (v + alignment - 1) / alignment * alignment; }

// The image as the loader lays it out, read through the file: the headers at
// RVA 0, each section's raw data at its address, zeros after the raw data.
class ImageView {
 public:
  ImageView(const BYTE* file, const Image& image) : m_file(file), m_image(image) {}

  // Copies `length` bytes at `rva`; false when any of them lies outside the
  // headers or a section.
  bool Read(uint64_t rva, size_t length, BYTE* out) const {
    if (length == 0) return true;
    const uint64_t end = rva + length;
    if (end <= m_image.sizeOfHeaders) {
      std::memcpy(out, m_file + rva, length);
      return true;
    }
    for (const Section& s : m_image.sections) {
      if (rva < s.virtualAddress || end > static_cast<uint64_t>(s.virtualAddress) + s.virtualSize) continue;
      const uint64_t offset = rva - s.virtualAddress;
      const uint64_t backed = std::min<uint64_t>(s.rawSize, s.virtualSize);
      size_t copied = 0;
      if (offset < backed) {
        copied = static_cast<size_t>(std::min<uint64_t>(length, backed - offset));
        std::memcpy(out, m_file + s.rawOffset + offset, copied);
      }
      std::memset(out + copied, 0, length - copied);
      return true;
    }
    return false;
  }

  bool Dword(uint64_t rva, DWORD* value) const {
    BYTE bytes[4];
    if (!Read(rva, 4, bytes)) return false;
    *value = Le32(bytes);
    return true;
  }

  bool Word(uint64_t rva, WORD* value) const {
    BYTE bytes[2];
    if (!Read(rva, 2, bytes)) return false;
    *value = Le16(bytes);
    return true;
  }

  // A NUL-terminated byte string at `rva`, at most kMaxName bytes long.
  bool String(uint64_t rva, std::string* text) const {
    text->clear();
    for (size_t i = 0; i <= kMaxName; ++i) {
      BYTE c;
      if (!Read(rva + i, 1, &c)) return false;
      if (c == 0) return true;
      text->push_back(static_cast<char>(c));
    }
    return false;
  }

 private:
  const BYTE* m_file;
  const Image& m_image;
};

struct Directory {
  DWORD rva = 0;
  DWORD size = 0;
  bool present() const { return rva != 0 && size != 0; }
};

bool ReadHeaders(const BYTE* file, size_t size, Image* image, Directory directories[kDirectoryCount]) {
  if (!LooksLikeImage(file, size) || size < kDosHeaderSize) return false;
  const uint64_t pe = Le32(file + kLfanewOffset);
  if (pe + 4 + kCoffHeaderSize > size || std::memcmp(file + pe, "PE\0\0", 4) != 0) return false;
  const BYTE* coff = file + pe + 4;
  image->machine = Le16(coff);
  const WORD sectionCount = Le16(coff + 2);
  const WORD optionalSize = Le16(coff + 16);
  image->characteristics = Le16(coff + 18);
  if (sectionCount > kMaxSections || optionalSize < kOptionalFixedSize) return false;
  if (!(image->characteristics & kFileExecutable)) return false;

  const uint64_t optionalAt = pe + 4 + kCoffHeaderSize;
  if (optionalAt + optionalSize > size) return false;
  const BYTE* opt = file + optionalAt;
  if (Le16(opt) != kMagicPe32) return false;
  image->entryRva = Le32(opt + 16);
  image->imageBase = Le32(opt + 28);
  image->sectionAlignment = Le32(opt + 32);
  const DWORD fileAlignment = Le32(opt + 36);
  image->sizeOfImage = Le32(opt + 56);
  image->sizeOfHeaders = Le32(opt + 60);
  const DWORD rvaCount = Le32(opt + 92);
  if (!IsPowerOfTwo(image->sectionAlignment) || !IsPowerOfTwo(fileAlignment) ||
      image->sectionAlignment < fileAlignment) {
    return false;
  }
  if (image->sizeOfImage == 0 || image->sizeOfImage % image->sectionAlignment != 0) return false;
  if (image->sizeOfHeaders > image->sizeOfImage || image->sizeOfHeaders > size) return false;
  if (image->entryRva >= image->sizeOfImage) return false;

  // Only the directories the header says it has, and only as far as the
  // optional header reaches.
  const DWORD available = static_cast<DWORD>((optionalSize - kOptionalFixedSize) / 8);
  const DWORD count = std::min(std::min(rvaCount, kDirectoryCount), available);
  for (DWORD i = 0; i < count; ++i) {
    directories[i].rva = Le32(opt + kOptionalFixedSize + 8 * i);
    directories[i].size = Le32(opt + kOptionalFixedSize + 8 * i + 4);
  }

  const uint64_t tableAt = optionalAt + optionalSize;
  if (tableAt + static_cast<uint64_t>(sectionCount) * kSectionHeaderSize > image->sizeOfHeaders) return false;
  // Sections follow the headers in ascending, non-overlapping order.
  uint64_t next = AlignUp(image->sizeOfHeaders, image->sectionAlignment);
  for (WORD i = 0; i < sectionCount; ++i) {
    const BYTE* h = file + tableAt + i * kSectionHeaderSize;
    Section s;
    s.virtualSize = Le32(h + 8);
    s.virtualAddress = Le32(h + 12);
    s.rawSize = Le32(h + 16);
    s.rawOffset = Le32(h + 20);
    s.characteristics = Le32(h + 36);
    if (s.virtualSize == 0) s.virtualSize = s.rawSize;
    if (s.virtualAddress % image->sectionAlignment != 0 || s.virtualAddress < next) return false;
    next = AlignUp(static_cast<uint64_t>(s.virtualAddress) + s.virtualSize, image->sectionAlignment);
    if (next > image->sizeOfImage) return false;
    if (s.rawSize != 0 && static_cast<uint64_t>(s.rawOffset) + s.rawSize > size) return false;
    image->sections.push_back(s);
  }
  return true;
}

bool ReadRelocations(const ImageView& view, const Directory& dir, Image* image) {
  if (!dir.present()) return true;
  uint64_t at = dir.rva;
  const uint64_t end = static_cast<uint64_t>(dir.rva) + dir.size;
  while (at + 8 <= end) {
    DWORD page, blockSize;
    if (!view.Dword(at, &page) || !view.Dword(at + 4, &blockSize)) return false;
    if (blockSize < 8 || blockSize % 2 != 0 || at + blockSize > end) return false;
    for (uint64_t entry = at + 8; entry < at + blockSize; entry += 2) {
      WORD value;
      if (!view.Word(entry, &value)) return false;
      const WORD type = value >> 12;
      if (type == kRelocAbsolute) continue;
      if (type != kRelocHighLow) return false;
      const uint64_t target = static_cast<uint64_t>(page) + (value & 0x0FFF);
      if (target + 4 > image->sizeOfImage) return false;
      image->fixups.push_back(static_cast<DWORD>(target));
    }
    at += blockSize;
  }
  return true;  // what is left is too short for a block: padding
}

bool ReadImports(const ImageView& view, const Directory& dir, Image* image) {
  if (!dir.present()) return true;
  for (uint64_t at = dir.rva;; at += 20) {
    BYTE d[20];
    if (!view.Read(at, sizeof(d), d)) return false;
    const DWORD lookup = Le32(d), nameRva = Le32(d + 12), iat = Le32(d + 16);
    if (lookup == 0 && nameRva == 0 && iat == 0) return true;
    ImportedLibrary library;
    if (nameRva == 0 || iat == 0 || !view.String(nameRva, &library.name) || library.name.empty()) return false;
    // Without a lookup table the address table itself names the functions.
    const uint64_t table = lookup ? lookup : iat;
    for (uint64_t i = 0;; ++i) {
      DWORD entry;
      if (!view.Dword(table + 4 * i, &entry)) return false;
      if (entry == 0) break;
      ImportedFunction function;
      const uint64_t slot = iat + 4 * i;
      if (slot + 4 > image->sizeOfImage) return false;
      function.iatRva = static_cast<DWORD>(slot);
      if (entry & 0x80000000u) {
        function.byOrdinal = true;
        function.ordinal = static_cast<WORD>(entry & 0xFFFF);
      } else if (!view.String(static_cast<uint64_t>(entry) + 2, &function.name) || function.name.empty()) {
        return false;  // a hint word, then the name
      }
      library.functions.push_back(std::move(function));
    }
    image->imports.push_back(std::move(library));
  }
}

bool ReadExports(const ImageView& view, const Directory& dir, Image* image) {
  if (!dir.present()) return true;
  BYTE d[40];
  if (dir.size < sizeof(d) || !view.Read(dir.rva, sizeof(d), d)) return false;
  ExportTable& exports = image->exports;
  exports.directoryRva = dir.rva;
  exports.directorySize = dir.size;
  exports.ordinalBase = Le32(d + 16);
  const DWORD functionCount = Le32(d + 20), nameCount = Le32(d + 24);
  const DWORD functionsRva = Le32(d + 28), namesRva = Le32(d + 32), ordinalsRva = Le32(d + 36);
  // Ordinals are 16-bit, and each table must lie in the image.
  if (functionCount > 0x10000 || nameCount > functionCount) return false;
  for (DWORD i = 0; i < functionCount; ++i) {
    DWORD rva;
    if (!view.Dword(static_cast<uint64_t>(functionsRva) + 4ull * i, &rva) || rva >= image->sizeOfImage) return false;
    const bool forwarder = rva >= dir.rva && rva - dir.rva < dir.size;
    std::string target;
    if (forwarder && !view.String(rva, &target)) return false;
    exports.functions.push_back(rva);
  }
  for (DWORD i = 0; i < nameCount; ++i) {
    DWORD nameRva;
    WORD index;
    std::string name;
    if (!view.Dword(static_cast<uint64_t>(namesRva) + 4ull * i, &nameRva) ||
        !view.Word(static_cast<uint64_t>(ordinalsRva) + 2ull * i, &index) || !view.String(nameRva, &name) ||
        index >= functionCount) {
      return false;
    }
    exports.names.emplace_back(std::move(name), index);
  }
  return true;
}

bool VaToRva(const Image& image, DWORD va, uint64_t length, DWORD* rva) {
  if (va < image.imageBase || static_cast<uint64_t>(va - image.imageBase) + length > image.sizeOfImage) return false;
  *rva = va - image.imageBase;
  return true;
}

bool ReadTls(const ImageView& view, const Directory& dir, Image* image) {
  if (!dir.present()) return true;
  BYTE d[24];
  if (dir.size < sizeof(d) || !view.Read(dir.rva, sizeof(d), d)) return false;
  TlsDirectory& tls = image->tls;
  tls.present = true;
  const DWORD start = Le32(d), end = Le32(d + 4), index = Le32(d + 8), callbacks = Le32(d + 12);
  tls.zeroFill = Le32(d + 16);
  if (end < start || !VaToRva(*image, start, end - start, &tls.templateRva)) return false;
  tls.templateSize = end - start;
  // A thread's block is allocated for every thread: keep it within reason.
  if (static_cast<uint64_t>(tls.templateSize) + tls.zeroFill > image->sizeOfImage) return false;
  if (index != 0 && !VaToRva(*image, index, 4, &tls.indexRva)) return false;
  if (callbacks == 0) return true;
  DWORD tableRva;
  if (!VaToRva(*image, callbacks, 4, &tableRva)) return false;
  for (uint64_t at = tableRva;; at += 4) {
    DWORD va, rva;
    if (!view.Dword(at, &va)) return false;
    if (va == 0) return true;
    if (!VaToRva(*image, va, 1, &rva)) return false;
    tls.callbacks.push_back(rva);
  }
}

// The resource tree: type, name and language directories, then data entries.
class ResourceReader {
 public:
  ResourceReader(const ImageView& view, const Directory& dir, Image* image)
      : m_view(view), m_root(dir.rva), m_size(dir.size), m_image(image) {}

  bool Read() { return Level(0, 0, Resource()); }

 private:
  // A directory at `offset` from the root; level 0 types, 1 names, 2 languages.
  bool Level(DWORD offset, int level, Resource path) {
    BYTE header[16];
    if (!m_view.Read(static_cast<uint64_t>(m_root) + offset, sizeof(header), header)) return false;
    const DWORD entries = static_cast<DWORD>(Le16(header + 12)) + Le16(header + 14);
    // Every entry of a well-formed tree is stored once within the directory's
    // extent; counting them keeps shared or looping subdirectories finite.
    m_entriesSeen += entries;
    if (m_entriesSeen * 8 > m_size) return false;
    for (DWORD i = 0; i < entries; ++i) {
      BYTE e[8];
      if (!m_view.Read(static_cast<uint64_t>(m_root) + offset + 16 + 8ull * i, sizeof(e), e)) return false;
      const DWORD id = Le32(e), target = Le32(e + 4);
      ResourceName name;
      if (id & 0x80000000u) {
        if (!NameAt(id & 0x7FFFFFFF, &name)) return false;
      } else if (id > 0xFFFF) {
        return false;
      } else {
        name.number = static_cast<WORD>(id);
      }
      const bool subdirectory = (target & 0x80000000u) != 0;
      if (subdirectory != (level < 2)) return false;
      if (level == 0) path.type = name;
      if (level == 1) path.name = name;
      if (level == 2) {
        path.language = name.isNumber ? name.number : 0;
        if (!Data(target, &path)) return false;
        m_image->resources.push_back(path);
      } else if (!Level(target & 0x7FFFFFFF, level + 1, path)) {
        return false;
      }
    }
    return true;
  }

  bool NameAt(DWORD offset, ResourceName* name) {
    WORD length;
    const uint64_t at = static_cast<uint64_t>(m_root) + offset;
    if (!m_view.Word(at, &length)) return false;
    std::vector<BYTE> units(2u * length);
    if (!m_view.Read(at + 2, units.size(), units.data())) return false;
    name->isNumber = false;
    for (WORD i = 0; i < length; ++i) name->text.push_back(static_cast<char16_t>(Le16(&units[2u * i])));
    return true;
  }

  bool Data(DWORD offset, Resource* resource) {
    BYTE d[16];
    if (!m_view.Read(static_cast<uint64_t>(m_root) + offset, sizeof(d), d)) return false;
    resource->dataRva = Le32(d);
    resource->size = Le32(d + 4);
    return static_cast<uint64_t>(resource->dataRva) + resource->size <= m_image->sizeOfImage;
  }

  const ImageView& m_view;
  DWORD m_root;
  DWORD m_size;
  Image* m_image;
  uint64_t m_entriesSeen = 0;
};

}  // namespace

bool LooksLikeImage(const BYTE* file, size_t size) { return size >= 2 && file[0] == 'M' && file[1] == 'Z'; }

DWORD ReadImage(const BYTE* file, size_t size, ReadMode mode, Image* image) {
  *image = Image();
  Directory directories[kDirectoryCount];
  if (!ReadHeaders(file, size, image, directories)) return ERROR_BAD_EXE_FORMAT;
  const ImageView view(file, *image);
  if (directories[kDirResource].present() &&
      !ResourceReader(view, directories[kDirResource], image).Read()) {
    return ERROR_BAD_EXE_FORMAT;
  }
  if (mode == kResourcesOnly) return ERROR_SUCCESS;
  if (!ReadRelocations(view, directories[kDirBaseReloc], image) ||
      !ReadImports(view, directories[kDirImport], image) || !ReadExports(view, directories[kDirExport], image) ||
      !ReadTls(view, directories[kDirTls], image)) {
    return ERROR_BAD_EXE_FORMAT;
  }
  return ERROR_SUCCESS;
}

namespace {
DWORD ExportAt(const ExportTable& exports, size_t index, bool* forwarded) {
  const DWORD rva = exports.functions[index];
  *forwarded = rva != 0 && rva >= exports.directoryRva && rva - exports.directoryRva < exports.directorySize;
  return rva;
}
}  // namespace

DWORD FindExport(const ExportTable& exports, const char* name, bool* forwarded) {
  *forwarded = false;
  // The name table is sorted, as the format requires; the ordinal table gives
  // the index into the address table directly (no ordinal base to take off).
  auto at = std::lower_bound(exports.names.begin(), exports.names.end(), name,
                             [](const std::pair<std::string, WORD>& entry, const char* wanted) {
                               return std::strcmp(entry.first.c_str(), wanted) < 0;
                             });
  if (at == exports.names.end() || at->first != name) return 0;
  return ExportAt(exports, at->second, forwarded);
}

DWORD FindExportByOrdinal(const ExportTable& exports, DWORD ordinal, bool* forwarded) {
  *forwarded = false;
  if (ordinal < exports.ordinalBase || ordinal - exports.ordinalBase >= exports.functions.size()) return 0;
  return ExportAt(exports, ordinal - exports.ordinalBase, forwarded);
}

}  // namespace pe
}  // namespace winapi
