// `daybander --date D --format F`: the text on stdout, or one line on stderr
// and exit status 2 for a date the clock cannot give.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

struct HostRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  close(fd);
  return text;
}

HostRun RunHost(std::vector<std::string> args) {
  HostRun run;
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  args.insert(args.begin(), DAYBANDER_HOST);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid;
  const int spawned = posix_spawn(&pid, DAYBANDER_HOST, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) {
    close(out[0]);
    close(err[0]);
    return run;
  }
  // Outputs are tiny, well under a pipe's buffer: reading one after the other is safe.
  run.out = ReadAll(out[0]);
  run.err = ReadAll(err[0]);
  int status;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

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

}  // namespace
