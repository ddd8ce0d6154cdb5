// Where the host keeps its registry when it is not told: never in a folder
// that other users can write, since the registry names the libraries it loads.
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "registry_store.h"

namespace {

void SetOrUnset(const char* name, const char* value) {
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

TEST(RegistryLocation, FallsBackToTheAccountsHomeFolder) {
  const std::string home = getpwuid(getuid())->pw_dir;
  const struct {
    const char* state;
    const char* home;
    std::string file;
  } cases[] = {
      {"/state", nullptr, "/state/daybander/registry.reg"},
      {"relative", "/home/u", "/home/u/.local/state/daybander/registry.reg"},
      {nullptr, nullptr, home + "/.local/state/daybander/registry.reg"},
      {"", "", home + "/.local/state/daybander/registry.reg"},
  };
  unsetenv("DAYBANDER_REGISTRY");
  for (const auto& c : cases) {
    SetOrUnset("XDG_STATE_HOME", c.state);
    SetOrUnset("HOME", c.home);
    EXPECT_EQ(host::RegistryStore::Location(""), c.file) << (c.state ? c.state : "-") << " " << (c.home ? c.home : "-");
  }
}

}  // namespace
