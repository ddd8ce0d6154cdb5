// The daybander command as a user runs it, each session on a registry file of
// its own: first use, format and size choices that last, the full-calendar
// navigation, unregistering, the installer rows, a damaged registry file, two
// commands at once, and the toolbar picture.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef HOST_DRAWS_PNG
#include <cairo.h>
#endif

#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "host_run.h"

namespace {

using host_test::HostRun;
using host_test::RunHost;

const char kSettingsKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";
// The class id in its 16-byte layout, as the per-band value starts.
const char kClassIdBytes[] = "48,1f,ca,8d,61,09,e8,4f,b7,0f,45,e1,c4,f0,65,7c";

class HostSession : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/daybander-session-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    m_folder = folder;
    m_registry = m_folder + "/registry.reg";
    setenv("DAYBANDER_REGISTRY", m_registry.c_str(), 1);
  }

  std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  }

  // The per-band value the band wrote on closing, as REGEDIT4 prints it.
  std::string SettingsValue() {
    const HostRun run = RunHost({"registry", kSettingsKey});
    const size_t at = run.out.find("\"{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}\"=");
    if (at == std::string::npos) return std::string();
    return run.out.substr(at, run.out.find('\r', at) - at);
  }

  std::string m_folder;
  std::string m_registry;
};

TEST_F(HostSession, FirstUseRegistersThenShowsTheBand) {
  const HostRun first = RunHost({"--date", "2008-04-11", "--format", "english"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "23 Farvardin 1387\n");
  EXPECT_NE(first.err.find("registering"), std::string::npos) << first.err;

  const HostRun second = RunHost({"show", "--date", "2008-04-11", "--arabic-locale", "yes"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, "23 Farvardin 1387\n") << "the chosen format lasts";
  EXPECT_EQ(second.err, "");
}

TEST_F(HostSession, ChoicesLastInTheBrowsersValue) {
  ASSERT_EQ(RunHost({"register"}).status, 0);
  const HostRun english = RunHost({"choose", "english", "--date", "2009-03-20"});
  ASSERT_EQ(english.status, 0) << english.err;
  EXPECT_EQ(english.out, "30 Esfand 1387\n");
  EXPECT_EQ(RunHost({"show", "--date", "2009-03-20"}).out, "30 Esfand 1387\n");
  EXPECT_EQ(SettingsValue(), std::string("\"{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}\"=hex:") + kClassIdBytes +
                                 ",03,80,00,00,0f,00,00,00");

  for (int i = 0; i < 3; ++i) ASSERT_EQ(RunHost({"choose", "increase"}).status, 0);
  EXPECT_EQ(SettingsValue(), std::string("\"{8DCA1F48-0961-4FE8-B70F-45E1C4F0657C}\"=hex:") + kClassIdBytes +
                                 ",03,80,00,00,15,00,00,00");
  const HostRun numeric = RunHost({"choose", "Numeric", "--date", "2008-04-11"});
  EXPECT_EQ(numeric.out, "23/1/1387\n");
}

TEST_F(HostSession, MenuShowsTodaysThreeCaptions) {
  ASSERT_EQ(RunHost({"register"}).status, 0);
  const HostRun run = RunHost({"menu", "--date", "2008-04-11", "--arabic-locale", "yes"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Full Calendar\n"
            "Format >\n"
            "    \u06F2\u06F3\u0641\u0631\u0648\u0631\u062F\u064A\u0646\u06F1\u06F3\u06F8\u06F7\n"
            "    23 Farvardin 1387\n"
            "    23/1/1387\n"
            "Size >\n"
            "    Increase\n"
            "    Decrease\n");
}

TEST_F(HostSession, ClickNavigatesToThePageInTheLibrary) {
  ASSERT_EQ(RunHost({"register"}).status, 0);
  for (const char* how : {"click", "choose"}) {
    const HostRun run = std::string(how) == "click" ? RunHost({"click"}) : RunHost({"choose", "full calendar"});
    ASSERT_EQ(run.status, 0) << how << ": " << run.err;
    const size_t module = run.out.find("res:///");
    ASSERT_NE(module, std::string::npos) << run.out;
    const std::string path = run.out.substr(module + 6, run.out.find("/jcal\n") - module - 6);
    EXPECT_NE(run.out.find("navigate: res://" + path + "/jcal\nflags: 0x800\nheaders: Referer: res://" + path +
                           "/\\r\\n\n"),
              std::string::npos)
        << how << ": " << run.out;
    const size_t page = run.out.find("page: ");
    ASSERT_NE(page, std::string::npos) << run.out;
    const std::string html = ReadFile(run.out.substr(page + 6, run.out.find('\n', page) - page - 6));
    EXPECT_NE(html.find("<html"), std::string::npos) << how;
  }
}

TEST_F(HostSession, UnregisterLeavesOnlyTheKeptKeys) {
  ASSERT_EQ(RunHost({"register"}).status, 0);
  const HostRun unregister = RunHost({"unregister"});
  ASSERT_EQ(unregister.status, 0) << unregister.err;
  EXPECT_NE(unregister.out.find("DllUnregisterServer"), std::string::npos);

  const std::string machine = RunHost({"registry", "HKEY_LOCAL_MACHINE"}).out;
  EXPECT_EQ(machine,
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar]\r\n\r\n");
  const std::string classes = RunHost({"registry", "HKEY_CLASSES_ROOT"}).out;
  EXPECT_EQ(classes.find("Daybander"), std::string::npos) << classes;
  EXPECT_EQ(classes.find("8DCA1F48"), std::string::npos) << classes;

  const HostRun show = RunHost({"show"});
  EXPECT_EQ(show.status, 1);
  EXPECT_NE(show.err.find("nothing is registered"), std::string::npos) << show.err;
}

// The installer rows come from a registry of the command's own: the user's
// file is neither made nor changed, and what Windows owns is not claimed.
TEST_F(HostSession, WixLeavesTheRegistryFileAlone) {
  const HostRun fresh = RunHost({"wix"});
  ASSERT_EQ(fresh.status, 0) << fresh.err;
  EXPECT_FALSE(std::ifstream(m_registry).good()) << "no registry file made";
  EXPECT_NE(fresh.out.find("<RegistryValue Type=\"string\" Value=\"[#daybander.dll]\"/>"), std::string::npos)
      << fresh.out;
  EXPECT_EQ(fresh.out.find("Value=\"/"), std::string::npos) << "no path of this machine";
  EXPECT_EQ(fresh.out.find("Key=\"CLSID\""), std::string::npos) << "CLSID is not the library's";

  ASSERT_EQ(RunHost({"register"}).status, 0);
  ASSERT_EQ(RunHost({"choose", "english"}).status, 0);
  const std::string before = ReadFile(m_registry);
  const HostRun again = RunHost({"wix"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, fresh.out) << "the same rows whatever the user's registry holds";
  EXPECT_EQ(ReadFile(m_registry), before);
}

TEST_F(HostSession, ADamagedRegistryFileIsReportedAndKept) {
  const std::string damaged = "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\Good]\r\nnot a value line\r\n";
  std::ofstream(m_registry, std::ios::binary) << damaged;
  const HostRun run = RunHost({"show"});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find(m_registry + ":4:"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(m_registry), damaged);
}

// A command that fails before it changes anything neither creates the
// registry file nor writes it again.
TEST_F(HostSession, FailingCommandsLeaveTheFileAlone) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string says;
  } cases[] = {
      {{"choose"}, 2, "choose takes one item"},
      {{"register", "/no/such/library.so"}, 1, "cannot load /no/such/library.so"},
      {{"script", "register", "/no/such/script.rgs"}, 1, "cannot read /no/such/script.rgs"},
      {{"--registry", ""}, 2, "--registry needs a file name"},
      {{"show", "--registry", m_folder}, 1, m_folder + " is a directory"},
  };
  for (const bool exists : {false, true}) {
    if (exists) {
      ASSERT_EQ(RunHost({"register"}).status, 0);
    }
    struct stat before = {};
    ASSERT_EQ(stat(m_registry.c_str(), &before) == 0, exists);
    const std::string text = ReadFile(m_registry);
    for (const auto& c : cases) {
      const HostRun run = RunHost(c.args);
      EXPECT_EQ(run.status, c.status) << c.args[0] << ": " << run.err;
      EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
      struct stat after = {};
      EXPECT_EQ(stat(m_registry.c_str(), &after) == 0, exists) << c.args[0];
      EXPECT_EQ(after.st_ino, before.st_ino) << c.args[0] << ": the file was written again";
      EXPECT_EQ(ReadFile(m_registry), text) << c.args[0];
    }
  }
}

// The desktop's browser may stay open for long: by the time it starts, the
// registry is saved and other commands may take the lock.
TEST_F(HostSession, OpeningThePageLeavesTheRegistryFree) {
  ASSERT_EQ(RunHost({"register"}).status, 0);
  const std::string bin = m_folder + "/bin", seen = m_folder + "/lock-seen";
  ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
  std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nif flock -n \"$DAYBANDER_REGISTRY.lock\" true; then echo free; "
                                      "else echo held; fi >" + seen + "\n";
  ASSERT_EQ(chmod((bin + "/xdg-open").c_str(), 0755), 0);
  const std::string path = getenv("PATH");
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  const HostRun run = RunHost({"click", "--open"});
  setenv("PATH", path.c_str(), 1);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(seen), "free\n");
}

TEST_F(HostSession, TwoCommandsAtOnceBothLand) {
  ASSERT_EQ(RunHost({"register"}).status, 0);
  HostRun first, second;
  std::thread a([&] { first = RunHost({"choose", "increase"}); });
  std::thread b([&] { second = RunHost({"choose", "increase"}); });
  a.join();
  b.join();
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(SettingsValue().find(",08,80,00,00,13,00,00,00"), std::string::npos) << SettingsValue();
}

#ifdef HOST_DRAWS_PNG
TEST_F(HostSession, ThePictureHasTheToolbarsSizeAndInkWhereTheTextIs) {
  const std::string png = m_folder + "/toolbar.png";
  const HostRun run = RunHost({"show", "--date", "2008-04-11", "--png", png});
  ASSERT_EQ(run.status, 0) << run.err;
  cairo_surface_t* surface = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
  // The band asks for 100 x 20; the row leaves 2 pixels around it.
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  EXPECT_EQ(width, 104);
  EXPECT_EQ(height, 24);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  int inkInText = 0, inkOutside = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* pixel = data + y * stride + x * 4;
      const bool dark = pixel[0] < 100 && pixel[1] < 100 && pixel[2] < 100;
      const bool inBand = x >= 3 && x < 101 && y >= 3 && y < 21;
      (inBand ? inkInText : inkOutside) += dark;
    }
  }
  cairo_surface_destroy(surface);
  EXPECT_GT(inkInText, 40);
  EXPECT_EQ(inkOutside, 0);
}
#else
TEST_F(HostSession, AHostThatCannotDrawRefusesThePictureBeforeDoingAnything) {
  const std::string png = m_folder + "/toolbar.png";
  const HostRun run = RunHost({"show", "--date", "2008-04-11", "--png", png});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "daybander: --png is not available in this build: it has no cairo and pango to draw with\n");
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_NE(access(png.c_str(), F_OK), 0);
  EXPECT_NE(access(m_registry.c_str(), F_OK), 0);
}
#endif

}  // namespace
