// PE32 images as their file holds them: the headers, the section table and the
// directories a loader needs (base relocations, imports, exports, TLS and
// resources), read and checked against the bounds of the file and of the
// image. Nothing here depends on the machine it runs on: the same reader serves
// data-file loads and tests on x86-64 and the loader that runs images on i386.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace winapi {
namespace pe {

constexpr WORD kMachineI386 = 0x014C;
constexpr WORD kFileRelocsStripped = 0x0001;
constexpr WORD kFileExecutable = 0x0002;
constexpr WORD kFileDll = 0x2000;
constexpr DWORD kSectionExecute = 0x20000000;
constexpr DWORD kSectionRead = 0x40000000;
constexpr DWORD kSectionWrite = 0x80000000;

struct Section {
  DWORD virtualAddress = 0;
  DWORD virtualSize = 0;  // bytes in the image: the rest of the raw data is not mapped
  DWORD rawOffset = 0;
  DWORD rawSize = 0;      // bytes in the file; the image zero-fills up to virtualSize
  DWORD characteristics = 0;
};

struct ImportedFunction {
  bool byOrdinal = false;
  WORD ordinal = 0;  // when byOrdinal
  std::string name;  // otherwise; case-sensitive
  DWORD iatRva = 0;  // the slot that receives the function's address
};

struct ImportedLibrary {
  std::string name;  // as written, compared without regard to case
  std::vector<ImportedFunction> functions;
};

struct ExportTable {
  DWORD ordinalBase = 0;
  DWORD directoryRva = 0;  // an address inside the directory is a forwarder
  DWORD directorySize = 0;
  std::vector<DWORD> functions;                      // RVA by ordinal - ordinalBase, 0 for a gap
  std::vector<std::pair<std::string, WORD>> names;  // in the file's (sorted) order, with their index
};

struct ResourceName {
  bool isNumber = true;
  WORD number = 0;
  std::u16string text;  // as stored: resource names compare without regard to case
};

struct Resource {
  ResourceName type;
  ResourceName name;
  WORD language = 0;
  DWORD dataRva = 0;
  DWORD size = 0;
};

struct TlsDirectory {
  bool present = false;
  DWORD templateRva = 0;   // the initial data each thread's block is copied from
  DWORD templateSize = 0;
  DWORD zeroFill = 0;      // bytes of zeros after the template
  DWORD indexRva = 0;      // where the loader stores the module's TLS index; 0: nowhere
  std::vector<DWORD> callbacks;  // RVAs, called in order
};

struct Image {
  WORD machine = 0;
  WORD characteristics = 0;
  DWORD imageBase = 0;
  DWORD sizeOfImage = 0;
  DWORD sizeOfHeaders = 0;
  DWORD sectionAlignment = 0;
  DWORD entryRva = 0;  // 0: no entry point
  std::vector<Section> sections;
  // Read by ReadImage(..., kEverything) only:
  std::vector<DWORD> fixups;  // RVAs of 32-bit fields that move with the image
  std::vector<ImportedLibrary> imports;
  ExportTable exports;
  TlsDirectory tls;
  // Read in both modes:
  std::vector<Resource> resources;
};

// What a load needs: a data file only its sections and resources (Windows
// does not look at the rest), an image to be run everything.
enum ReadMode { kResourcesOnly, kEverything };

// true when the bytes start as an executable image does ("MZ").
bool LooksLikeImage(const BYTE* file, size_t size);

// Reads and checks a PE32 image. ERROR_SUCCESS, or ERROR_BAD_EXE_FORMAT for
// anything that is not a well-formed PE32 image: truncated headers, a bad
// section table, directories or names outside the file or the image, bad
// relocation blocks, unterminated names, resource trees that are not three
// levels deep.
DWORD ReadImage(const BYTE* file, size_t size, ReadMode mode, Image* image);

// The RVA an export name (case-sensitive) or ordinal stands for; 0 when the
// module has no such export. *forwarded is set when the RVA is a forwarder
// string ("DLL.name") rather than code or data.
DWORD FindExport(const ExportTable& exports, const char* name, bool* forwarded);
DWORD FindExportByOrdinal(const ExportTable& exports, DWORD ordinal, bool* forwarded);

}  // namespace pe
}  // namespace winapi
