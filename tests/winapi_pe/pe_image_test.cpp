// The PE32 reader on the real daybander.dll and on copies damaged at each
// structure it follows; and data-file loads, which every build makes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>

#include "pe_files.h"
#include "pe_image.h"
#include "winapi_control.h"

namespace {

using winapi::pe::Image;
using winapi::pe::ReadImage;

// The DLL's bytes, with the offsets of its headers and directories found from
// an intact copy, to be damaged one place at a time.
struct Dll {
  explicit Dll(const char* path) : bytes(pe_test::BuiltFile(path)) {
    if (bytes.size() < 0x40) return;
    EXPECT_EQ(ReadImage(bytes.data(), bytes.size(), winapi::pe::kEverything, &image), ERROR_SUCCESS);
    pe = Dword(0x3C);
    optional = pe + 24;
    sections = optional + Word(pe + 20);
  }
  DWORD Dword(size_t at) const {
    DWORD v;
    std::memcpy(&v, &bytes[at], 4);
    return v;
  }
  WORD Word(size_t at) const { return static_cast<WORD>(bytes[at] | (bytes[at + 1] << 8)); }
  void SetDword(size_t at, DWORD v) { std::memcpy(&bytes[at], &v, 4); }
  void SetWord(size_t at, WORD v) { std::memcpy(&bytes[at], &v, 2); }
  DWORD Directory(int index) const { return Dword(optional + 96 + 8 * index); }
  // Where the byte at `rva` lies in the file.
  size_t Offset(DWORD rva) const {
    for (const winapi::pe::Section& s : image.sections) {
      if (rva >= s.virtualAddress && rva < s.virtualAddress + s.rawSize) return s.rawOffset + (rva - s.virtualAddress);
    }
    ADD_FAILURE() << "RVA " << rva << " is in no section";
    return 0;
  }
  size_t Section(int index) const { return sections + 40 * index; }

  std::vector<BYTE> bytes;
  Image image;
  size_t pe = 0, optional = 0, sections = 0;
};

constexpr int kExports = 0, kImports = 1, kResources = 2, kRelocations = 5, kTls = 9;

TEST(PeImage, DamageAnywhereIsABadFormatNeverACrash) {
  struct Case {
    const char* damage;
    std::function<void(Dll&)> apply;
    bool dataFileLoads;                 // a data file needs only headers, sections and resources
    const char* file = DAYBANDER_DLL;  // which has no TLS directory: pe_probe.dll has
  };
  const Case cases[] = {
      {"file cut inside the headers", [](Dll& d) { d.bytes.resize(0x100); }, false},
      {"PE header beyond the file", [](Dll& d) { d.SetDword(0x3C, static_cast<DWORD>(d.bytes.size())); }, false},
      {"97 sections", [](Dll& d) { d.SetWord(d.pe + 6, 97); }, false},
      {"optional header too short for PE32", [](Dll& d) { d.SetWord(d.pe + 20, 0x40); }, false},
      {"PE32+ (64-bit) image", [](Dll& d) { d.SetWord(d.optional, 0x20B); }, false},
      {"entry point outside the image", [](Dll& d) { d.SetDword(d.optional + 16, d.image.sizeOfImage); }, false},
      {"sections overlap", [](Dll& d) { d.SetDword(d.Section(1) + 12, d.image.sections[0].virtualAddress); }, false},
      {"file cut inside the last section", [](Dll& d) { d.bytes.resize(d.image.sections.back().rawOffset + 16); },
       false},
      {"resource subdirectory outside the image",
       [](Dll& d) { d.SetDword(d.Offset(d.Directory(kResources)) + 20, 0xFFFFFFF0); }, false},
      {"resource tree looping to its root",
       [](Dll& d) { d.SetDword(d.Offset(d.Directory(kResources)) + 20, 0x80000000); }, false},
      {"relocation block shorter than its header",
       [](Dll& d) { d.SetDword(d.Offset(d.Directory(kRelocations)) + 4, 4); }, true},
      {"relocation of a type i386 has not",
       [](Dll& d) { d.SetWord(d.Offset(d.Directory(kRelocations)) + 8, 0xA000); }, true},
      {"import directory outside the image", [](Dll& d) { d.SetDword(d.optional + 96 + 8 * kImports, d.image.sizeOfImage); },
       true},
      {"imported name outside the image",
       [](Dll& d) {
         const DWORD lookup = d.Dword(d.Offset(d.Directory(kImports)));
         d.SetDword(d.Offset(lookup), 0x7FFFFFF0);
       },
       true},
      {"DLL name running off the end of its section",
       [](Dll& d) {
         for (const winapi::pe::Section& s : d.image.sections) {
           const DWORD last = s.virtualAddress + s.virtualSize - 1;
           if (d.Directory(kImports) < s.virtualAddress || d.Directory(kImports) > last) continue;
           d.bytes[d.Offset(last)] = 'x';
           d.SetDword(d.Offset(d.Directory(kImports)) + 12, last);
         }
       },
       true},
      {"export name table outside the image",
       [](Dll& d) { d.SetDword(d.Offset(d.Directory(kExports)) + 32, 0x7FFFFFF0); }, true},
      {"exported name past the address table",
       [](Dll& d) { d.SetWord(d.Offset(d.Dword(d.Offset(d.Directory(kExports)) + 36)), 0xFFFF); }, true},
      {"TLS callbacks below the image", [](Dll& d) { d.SetDword(d.Offset(d.Directory(kTls)) + 12, 0x10); }, true,
       PE_PROBE_DLL},
      {"TLS index past the image",
       [](Dll& d) { d.SetDword(d.Offset(d.Directory(kTls)) + 8, d.image.imageBase + d.image.sizeOfImage); }, true,
       PE_PROBE_DLL},
  };
  for (const Case& c : cases) {
    Dll dll(c.file);
    ASSERT_FALSE(dll.image.sections.empty());
    c.apply(dll);
    Image image;
    EXPECT_EQ(ReadImage(dll.bytes.data(), dll.bytes.size(), winapi::pe::kEverything, &image), ERROR_BAD_EXE_FORMAT)
        << c.damage;
    EXPECT_EQ(ReadImage(dll.bytes.data(), dll.bytes.size(), winapi::pe::kResourcesOnly, &image),
              c.dataFileLoads ? ERROR_SUCCESS : ERROR_BAD_EXE_FORMAT)
        << c.damage << " (as a data file)";
  }
}

// A data file is mapped, never run: an image whose imports cannot be bound
// still gives its resources, looked up as Windows does (types and names
// without regard to case), and no procedures.
TEST(PeImage, DataFileLoadsNeedNothingBound) {
  const pe_test::TemporaryFile dll(pe_test::DllWithAMissingImport().bytes, "daybander.dll");
  const LONG modules = WinapiLiveCount(WinapiModules);
  HMODULE data = LoadLibraryExA(dll.path(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(data, nullptr) << GetLastError();
  HRSRC script = FindResourceA(data, MAKEINTRESOURCEA(101), "registry");
  ASSERT_NE(script, nullptr);
  const std::vector<BYTE> expected = pe_test::ReadFile(DAYBANDER_RGS);
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(data, script)));
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + SizeofResource(data, script)), expected);
  EXPECT_NE(FindResourceA(data, "#1", "TypeLib"), nullptr);
  EXPECT_EQ(GetProcAddress(data, "DllGetClassObject"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(data));
  EXPECT_EQ(WinapiLiveCount(WinapiModules), modules);
#if !defined(__i386__)
  // As 64-bit Windows refuses a 32-bit DLL.
  EXPECT_EQ(LoadLibraryA(DAYBANDER_DLL), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
#endif
}

}  // namespace
