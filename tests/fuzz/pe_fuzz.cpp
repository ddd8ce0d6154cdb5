// Fuzz target: any bytes as a PE32 image, read as a data file and as an image
// to run, then mapped as a data file. Whatever the reader accepts must stay
// inside the image it describes; every export it lists must be found again.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "pe_loader.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckInside(const winapi::pe::Image& image, uint64_t rva, uint64_t size) {
  Check(rva + size <= image.sizeOfImage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace winapi::pe;
  Image image;
  if (ReadImage(data, size, kResourcesOnly, &image) != ERROR_SUCCESS) return 0;
  for (const Resource& r : image.resources) CheckInside(image, r.dataRva, r.size);
  std::unique_ptr<MappedImage> mapped;
  const std::vector<BYTE> file(data, data + size);
  if (MappedImage::Map("fuzz.dll", file, true, &mapped) == ERROR_SUCCESS) {
    for (const Resource& r : mapped->resources()) {
      volatile BYTE last = r.size ? mapped->At(r.dataRva)[r.size - 1] : 0;
      (void)last;
    }
  }

  if (ReadImage(data, size, kEverything, &image) != ERROR_SUCCESS) return 0;
  for (DWORD rva : image.fixups) CheckInside(image, rva, 4);
  for (const ImportedLibrary& library : image.imports) {
    for (const ImportedFunction& function : library.functions) CheckInside(image, function.iatRva, 4);
  }
  for (DWORD rva : image.tls.callbacks) CheckInside(image, rva, 1);
  const ExportTable& exports = image.exports;
  bool forwarded;
  for (size_t i = 0; i < exports.functions.size() && exports.ordinalBase + uint64_t{i} <= 0xFFFFFFFF; ++i) {
    Check(FindExportByOrdinal(exports, exports.ordinalBase + static_cast<DWORD>(i), &forwarded) ==
          exports.functions[i]);
  }
  for (const auto& name : exports.names) FindExport(exports, name.first.c_str(), &forwarded);
  return 0;
}
