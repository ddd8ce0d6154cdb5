// `daybander --date D --format F`: the text on stdout, or one line on stderr
// and exit status 2 for a date the clock cannot give or a command line that
// means nothing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "host_run.h"


namespace {

using host_test::HostRun;
using host_test::RunHost;

// Every run of this suite works on a registry file of its own, with the
// library registered once, as an installer would have done.
class HostCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char folder[] = "/tmp/daybander-cli-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    setenv("DAYBANDER_REGISTRY", (std::string(folder) + "/registry.reg").c_str(), 1);
    const HostRun run = RunHost({"register"});
    ASSERT_EQ(run.status, 0) << run.err;
  }
};

TEST_F(HostCommand, PrintsTheTextOfTheDate) {
  struct Case {
    const char* date;
    const char* format;
    const char* text;
  };
  const Case cases[] = {
      {"2008-04-11", "english", "23 Farvardin 1387\n"},
      {"2008-04-11", "numeric", "23/1/1387\n"},
      {"1601-01-01", "english", "12 Day 979\n"},
      {"30827-12-31", "numeric", "12/10/30206\n"},
      {"2009-03-20", "english", "30 Esfand 1387\n"},
      {"2008-02-29", "numeric", "10/12/1386\n"},
  };
  for (const Case& c : cases) {
    const HostRun run = RunHost({"--date", c.date, "--format", c.format});
    EXPECT_EQ(run.status, 0) << c.date << " " << c.format << ": " << run.err;
    EXPECT_EQ(run.out, c.text) << c.date << " " << c.format;
    EXPECT_EQ(run.err, "") << c.date << " " << c.format;
  }
}

TEST_F(HostCommand, RejectsDatesTheClockCannotGive) {
  const char* const dates[] = {"1600-12-31", "30828-01-01", "2009-02-29", "2008-13-01", "2008-04-31",
                               "2008-00-10", "2008-04-00", "garbage",    "2008-4-11",  "",
                               "20080411",   "-2008-04-11", "2008-04-11x", "99999-01-01"};
  for (const char* date : dates) {
    const HostRun run = RunHost({"--date", date, "--format", "english"});
    EXPECT_EQ(run.status, 2) << "'" << date << "'";
    EXPECT_EQ(run.out, "") << "'" << date << "'";
    ASSERT_FALSE(run.err.empty()) << "'" << date << "'";
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "'" << date << "': one line, got: " << run.err;
  }
}

// A mistyped command line is refused before anything is loaded: status 2,
// nothing on stdout, and one line on stderr that names what was wrong.
TEST_F(HostCommand, RejectsCommandLinesThatMeanNothing) {
  struct Case {
    std::vector<std::string> args;
    const char* named;  // the line on stderr contains this
  };
  const Case cases[] = {
      {{"frobnicate"}, "frobnicate"},
      {{"show", "--frobnicate"}, "--frobnicate"},
      {{"show", "--date"}, "--date"},
      {{"script", "register", "x.rgs", "--var"}, "--var"},
      {{"--format", "klingon"}, "klingon"},
      {{"--arabic-locale", "maybe"}, "maybe"},
      {{"script", "register", "x.rgs", "--var", "NOVALUE"}, "NOVALUE"},
      {{"script", "register", "x.rgs", "--var", "=value"}, "=value"},
      {{"show", "extra"}, "extra"},
      {{"menu", "extra"}, "extra"},
      {{"click", "extra"}, "extra"},
      {{"choose", "english", "numeric"}, "one item"},
      {{"registry", "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER"}, "one key"},
      {{"register", "a.so", "b.so"}, "one library"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += " " + arg;
    const HostRun run = RunHost(c.args);
    EXPECT_EQ(run.status, 2) << line;
    EXPECT_EQ(run.out, "") << line;
    EXPECT_EQ(run.err.rfind("daybander: ", 0), 0u) << line << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << line << ": one line, got: " << run.err;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << line << ": " << run.err;
  }
}

// Several dates in one command, as the page's browser test asks for
// thousands: each date is a session of its own, in order; one bad date
// anywhere stops the command before any band is shown.
TEST_F(HostCommand, ShowsEachDateInTurn) {
  HostRun run = RunHost({"--date", "2009-03-20", "--date", "1601-01-01", "--date", "2009-03-21", "--format", "numeric"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "30/12/1387\n12/10/979\n1/1/1388\n");
  run = RunHost({"--date", "2009-03-20", "--date", "2009-02-29", "--format", "numeric"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  run = RunHost({"menu", "--date", "2009-03-20", "--date", "2009-03-21"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
}

}  // namespace
