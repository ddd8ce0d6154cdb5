#include "commands.h"

#include <windows.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "band_session.h"
#include "hresult_text.h"
#include "reg_object.h"
#include "registry_store.h"
#include "resource.h"
#include "text.h"
#include "toolbar_png.h"

extern char** environ;

namespace host {
namespace {

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }

void PrintLine(const std::u16string& text) { std::printf("%s\n", Utf8(text).c_str()); }

// The class ids the browser's toolbar list names: the value names under
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\Toolbar.
std::vector<CLSID> ToolbarBands() {
  std::vector<CLSID> bands;
  daybander::unique_hkey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolbarListKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return bands;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof(name);
    const LONG status = RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) continue;
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromString(FromUtf8(name).c_str(), &clsid))) bands.push_back(clsid);
  }
  return bands;
}

HRESULT CallRegistration(const std::string& library, bool registering, std::string* error) {
  HMODULE module = LoadLibraryA(library.c_str());
  if (!module) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    *error = "cannot load " + library + ": " + DescribeHresult(hr);
    return hr;
  }
  const char* entry = registering ? "DllRegisterServer" : "DllUnregisterServer";
  auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(module, entry)));
  if (!function) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    FreeLibrary(module);
    *error = library + " has no entry point " + entry + ": it is not a self-registering library";
    return hr;
  }
  const HRESULT hr = function();
  FreeLibrary(module);
  if (FAILED(hr)) *error = std::string(entry) + " in " + library + " failed: " + DescribeHresult(hr);
  return hr;
}

// The bands to show. On first use (no registry yet) the built library is
// registered first, as an installer would have done.
bool BandsToShow(std::vector<CLSID>* bands) {
  *bands = ToolbarBands();
  if (!bands->empty()) return true;
  if (!RegistryStore::Current().wasNew()) {
    Fail("nothing is registered: no band is listed in the browser's toolbar (run: daybander register)");
    return false;
  }
  const std::string library = DefaultLibrary();
  std::fprintf(stderr, "daybander: first use: registering %s, as an installer would\n", library.c_str());
  std::string error;
  if (FAILED(CallRegistration(library, true, &error))) {
    Fail(error);
    return false;
  }
  *bands = ToolbarBands();
  if (bands->empty()) {
    Fail("the library registered no band in the browser's toolbar list");
    return false;
  }
  return true;
}

UINT FormatCommand(const std::string& format) {
  if (format == "english") return ID_FORMAT_ENGLISH;
  if (format == "numeric") return ID_FORMAT_NUMERIC;
  return ID_FORMAT_PERSIAN;
}

UINT MenuCommand(std::string item) {
  for (char& c : item) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (item == "persian" || item == "english" || item == "numeric") return FormatCommand(item);
  if (item == "increase") return ID_SIZE_INCREASE;
  if (item == "decrease") return ID_SIZE_DECREASE;
  if (item == "full calendar" || item == "full-calendar" || item == "fullcalendar") return ID_FULL_CALENDAR;
  return 0;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void OpenInDesktopBrowser(const std::string& path) {
  const char* argv[] = {"xdg-open", path.c_str(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    std::fprintf(stderr, "daybander: cannot start xdg-open to open %s\n", path.c_str());
    return;
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

// A res:// URL names a resource of a module: res://<module path>/<name>.
// Writes the page to a file beside the registry and returns its path.
std::string ResolvePage(const std::u16string& url, std::string* error) {
  const std::string text = Utf8(url);
  const std::string scheme = "res://";
  const size_t slash = text.rfind('/');
  if (text.compare(0, scheme.size(), scheme) != 0 || slash == std::string::npos || slash < scheme.size()) {
    *error = "not a res:// URL: " + text;
    return std::string();
  }
  const std::string module = text.substr(scheme.size(), slash - scheme.size());
  std::string name = text.substr(slash + 1);
  HMODULE data = LoadLibraryExA(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!data) {
    *error = "cannot open " + module + ": " + DescribeHresult(HRESULT_FROM_WIN32(GetLastError()));
    return std::string();
  }
  HRSRC resource = FindResourceA(data, name.c_str(), MAKEINTRESOURCEA(23));
  HGLOBAL loaded = resource ? LoadResource(data, resource) : nullptr;
  if (!loaded) {
    *error = module + " has no page " + name;
    FreeLibrary(data);
    return std::string();
  }
  const auto* bytes = static_cast<const char*>(LockResource(loaded));
  const DWORD size = SizeofResource(data, resource);
  const std::string path = RegistryStore::Current().stateFolder() + "/" + name + ".html";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes, size);
  FreeLibrary(data);
  if (!out) {
    *error = "cannot write " + path;
    return std::string();
  }
  return path;
}

// Prints what the browser was asked for and writes the last page to a file;
// returns its path, or "" when there is none.
std::string PrintNavigations(const Browser& browser) {
  for (const Navigation& navigation : browser.navigations()) {
    std::printf("navigate: %s\n", Utf8(navigation.url).c_str());
    std::printf("flags: 0x%X\n", static_cast<unsigned>(navigation.flags));
    std::printf("headers: %s\n", Escaped(Utf8(navigation.headers)).c_str());
  }
  if (browser.navigations().empty()) return std::string();
  std::string error;
  const std::string page = ResolvePage(browser.navigations().back().url, &error);
  if (page.empty()) {
    std::fprintf(stderr, "daybander: %s\n", error.c_str());
    return std::string();
  }
  std::printf("page: %s\n", page.c_str());
  return page;
}

// The desktop's browser may stay open for as long as the user reads: the
// registry is saved and its lock released first, so other commands go on.
int OpenPage(const std::string& page) {
  std::fflush(stdout);
  std::string error;
  if (!RegistryStore::Current().Close(&error)) return Fail(error);
  OpenInDesktopBrowser(page);
  return 0;
}

bool WritePng(const BandSession& session, const std::string& path) {
  ToolbarPicture picture;
  RECT row{};
  GetClientRect(session.toolbar(), &row);
  picture.width = row.right - row.left;
  picture.height = row.bottom - row.top;
  picture.band = session.bandRect();
  picture.text = session.Text();
  LOGFONTW font{};
  if (session.Font(&font)) {
    picture.fontHeight = font.lfHeight;
    picture.fontFace = Utf8(font.lfFaceName);
  }
  std::string error;
  if (!WriteToolbarPng(picture, path, &error)) {
    Fail(error);
    return false;
  }
  std::fprintf(stderr, "daybander: toolbar picture: %s\n", path.c_str());
  return true;
}

// Opens the first band of the toolbar list, or reports why it cannot.
bool OpenFirstBand(BandSession* session) {
  std::vector<CLSID> bands;
  if (!BandsToShow(&bands)) return false;
  std::string error;
  const HRESULT hr = session->Open(bands.front(), &error);
  if (FAILED(hr)) {
    Fail(error + ": " + DescribeHresult(hr));
    return false;
  }
  return true;
}

// The whole file, or why it cannot be read ("Is a directory"...).
bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  size_t read;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, read);
  const bool failed = std::ferror(file) != 0;
  const int reason = errno;
  std::fclose(file);
  if (failed) *error = std::strerror(reason);
  return !failed;
}

// "LINE:COLUMN" of a byte of text, both from 1; a column counts characters
// of UTF-8, not bytes.
std::string LineAndColumn(const std::string& text, size_t offset) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

void PrintMenu(HMENU menu, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    WCHAR caption[256] = {0};
    GetMenuStringW(menu, static_cast<UINT>(i), caption, 256, MF_BYPOSITION);
    HMENU submenu = GetSubMenu(menu, i);
    std::printf("%*s%s%s\n", depth * 4, "", Utf8(caption).c_str(), submenu ? " >" : "");
    if (submenu) PrintMenu(submenu, depth + 1);
  }
}

}  // namespace

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "daybander: %s\n", message.c_str());
  return status;
}

std::string DefaultLibrary() {
#ifdef DAYBANDER_DEFAULT_LIBRARY
  return DAYBANDER_DEFAULT_LIBRARY;
#endif
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder(self, length);
  folder.erase(folder.rfind('/') + 1);
  for (const char* candidate : {"daybander.so", "../daybander.so"}) {
    const std::string path = folder + candidate;
    if (std::ifstream(path).good()) return path;
  }
  return folder + "daybander.so";
}

int RunShow(const Options& options) {
  std::vector<CLSID> bands;
  if (!BandsToShow(&bands)) return 1;
  for (size_t i = 0; i < bands.size(); ++i) {
    BandSession session;
    std::string error;
    const HRESULT hr = session.Open(bands[i], &error);
    if (FAILED(hr)) return Fail(error + ": " + DescribeHresult(hr));
    if (!options.format.empty()) session.RightClick(FormatCommand(options.format));
    PrintLine(session.Text());
    if (i == 0 && !options.png.empty() && !WritePng(session, options.png)) return 1;
    session.Close();
  }
  return 0;
}

int RunRegister(const Options& options, bool registering) {
  if (options.arguments.size() > 1) return Fail("takes at most one library (see --help)", 2);
  const std::string library = options.arguments.empty() ? DefaultLibrary() : options.arguments[0];
  std::string error;
  const HRESULT hr = CallRegistration(library, registering, &error);
  if (FAILED(hr)) return Fail(error);
  std::printf("%s in %s succeeded: %s\n", registering ? "DllRegisterServer" : "DllUnregisterServer",
              library.c_str(), DescribeHresult(hr).c_str());
  return 0;
}

int RunMenu(const Options&) {
  BandSession session;
  if (!OpenFirstBand(&session)) return 1;
  HMENU menu = session.RightClick(0);
  if (!menu) return Fail("the band showed no context menu");
  PrintMenu(menu, 0);
  session.Close();
  return 0;
}

int RunChoose(const Options& options) {
  if (options.arguments.size() != 1) return Fail("choose takes one item (see --help)", 2);
  const UINT command = MenuCommand(options.arguments[0]);
  if (!command) {
    return Fail("no such menu item: " + options.arguments[0] +
                    " (persian, english, numeric, increase, decrease or \"full calendar\")",
                2);
  }
  BandSession session;
  if (!OpenFirstBand(&session)) return 1;
  if (!session.RightClick(command)) return Fail("the band showed no context menu");
  std::string page;
  if (!session.browser()->navigations().empty()) {
    page = PrintNavigations(*session.browser());
  } else {
    PrintLine(session.Text());
  }
  session.Close();
  return options.open && !page.empty() ? OpenPage(page) : 0;
}

int RunClick(const Options& options) {
  BandSession session;
  if (!OpenFirstBand(&session)) return 1;
  session.LeftClick();
  if (session.browser()->navigations().empty()) return Fail("the band asked the browser for nothing");
  const std::string page = PrintNavigations(*session.browser());
  session.Close();
  return options.open && !page.empty() ? OpenPage(page) : 0;
}

int RunScript(const Options& options) {
  if (options.arguments.size() != 2 || (options.arguments[0] != "register" && options.arguments[0] != "unregister")) {
    return Fail("usage: daybander script register|unregister FILE [--var NAME=VALUE]...", 2);
  }
  const std::string& path = options.arguments[1];
  std::string script, error;
  if (!ReadWholeFile(path, &script, &error)) return Fail("cannot read " + path + ": " + error);
  // The registrar reads a script up to its first NUL: one in the file would
  // silently cut it short.
  const size_t nul = script.find('\0');
  if (nul != std::string::npos) {
    return Fail(path + ":" + LineAndColumn(script, nul) + ": a NUL byte at offset " + std::to_string(nul) +
                "; a registry script is text");
  }
  CRegObject registrar;
  for (const auto& variable : options.variables) {
    const HRESULT hr = registrar.AddReplacement(FromUtf8(variable.first).c_str(),
                                                FromUtf8(variable.second).c_str());
    if (FAILED(hr)) return Fail("cannot add --var " + variable.first + ": " + DescribeHresult(hr));
  }
  const bool registering = options.arguments[0] == "register";
  const HRESULT hr = registering ? registrar.ScriptRegister(script.c_str()) : registrar.ScriptUnregister(script.c_str());
  if (FAILED(hr)) {
    const CRegScriptFault& fault = registrar.ScriptFault();
    if (fault.offset < 0) return Fail(path + ": " + DescribeHresult(hr));
    std::string where = path + ":" + LineAndColumn(script, static_cast<size_t>(fault.offset)) + ": ";
    if (fault.expected) {
      where += "expected " + std::string(fault.expected) + ", found " + Escaped(fault.found);
    } else {
      where += "at " + Escaped(fault.found);
    }
    return Fail(where + "; " + DescribeHresult(hr));
  }
  std::printf("%s %s: %s\n", registering ? "registered" : "unregistered", path.c_str(), DescribeHresult(hr).c_str());
  return 0;
}

int RunRegistry(const Options& options) {
  if (options.arguments.size() > 1) return Fail("registry takes at most one key (see --help)", 2);
  std::string text, error;
  if (!RegistryStore::Current().Export(options.arguments.empty() ? std::string() : options.arguments[0], &text,
                                       &error)) {
    return Fail(error);
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace host
