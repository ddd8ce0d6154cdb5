// daybander script: files that cannot be read or are not scripts are reported
// with where and why, and the command exits 1 rather than aborting.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "host_run.h"

namespace {

using host_test::HostRun;
using host_test::RunHost;

TEST(HostScript, BadFilesSayWhereAndWhy) {
  char folder[] = "/tmp/daybander-script-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  setenv("DAYBANDER_REGISTRY", (dir + "/registry.reg").c_str(), 1);
  ASSERT_EQ(mkdir((dir + "/a folder").c_str(), 0700), 0);

  const struct {
    const char* file;
    std::string content;  // written unless the file is the folder or absent
    int status;
    std::string message;  // after "daybander: " and the file's path
  } cases[] = {
      {"a folder", "", 1, ": Is a directory"},
      {"absent.rgs", "", 1, ": No such file or directory"},
      {"nul.rgs", std::string("HKCU { A }\0HKCU { B }", 21), 1,
       ":1:11: a NUL byte at offset 10; a registry script is text"},
      {"no-equals.rgs", "HKCU\r\n{\r\n\tval x s y\r\n}\r\n", 1,
       ":3:8: expected '=' after the value name, found 's'; DISP_E_EXCEPTION"},
      {"open-quote.rgs", "HKCU { '\xD8\xAA' = s 'open\r\n}", 1,
       ":1:16: expected the value's data, found a quote that is never closed; DISP_E_EXCEPTION"},
      {"cut-short.rgs", "HKCU { A }\nHKCU { B {\n", 1,
       ":3:1: expected a key name, 'val' or '}', found the end of the script; DISP_E_EXCEPTION"},
      {"good.rgs", "HKCU { Good = s 1 }\n", 0, ""},
  };
  for (const auto& c : cases) {
    const std::string path = dir + "/" + c.file;
    if (!c.content.empty()) std::ofstream(path, std::ios::binary) << c.content;
    const HostRun run = RunHost({"script", "register", path});
    EXPECT_EQ(run.status, c.status) << c.file << ": " << run.err;
    if (c.status == 0) continue;
    const std::string prefix = (c.content.empty() ? "daybander: cannot read " : "daybander: ") + path;
    EXPECT_EQ(run.err.compare(0, prefix.size() + c.message.size(), prefix + c.message), 0) << run.err;
  }
}

}  // namespace
