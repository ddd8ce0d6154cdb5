// Takes the full-calendar page out of the built module the way the browser's
// res:// handler does (the module loaded as a data file, resource "JCAL" of
// type 23), checks it is the page as the build made it (jcal.html, minified)
// byte for byte, and writes the copy the browser test loads.
//   jcal_extract <module> <built page> <output file>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: jcal_extract <module> <built page> <output>\n");
    return 2;
  }
  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    std::fprintf(stderr, "cannot load %s as a data file (error %lu)\n", argv[1], (unsigned long)GetLastError());
    return 1;
  }
  int status = 0;
  HRSRC info = FindResourceA(module, "JCAL", RT_HTML);
  HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  const DWORD size = info ? SizeofResource(module, info) : 0;
  if (!bytes || size == 0) {
    std::fprintf(stderr, "%s has no HTML resource \"JCAL\" (error %lu)\n", argv[1], (unsigned long)GetLastError());
    status = 1;
  } else {
    const std::string page(bytes, size);
    std::ifstream in(argv[2], std::ios::binary);
    const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (page != source) {
      std::fprintf(stderr, "the module's JCAL (%lu bytes) differs from %s (%zu bytes)\n", (unsigned long)size, argv[2],
                   source.size());
      status = 1;
    }
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", argv[3]);
      status = 1;
    }
  }
  FreeLibrary(module);
  if (status == 0) std::printf("JCAL: %lu bytes, as built\n", (unsigned long)size);
  return status;
}
