// Where the host keeps its registry when it is not told: never in a folder
// that other users can write, since the registry names the libraries it loads.
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "registry_store.h"

namespace {

// Empty stands for unset.
TEST(RegistryLocation, FallsBackToTheAccountsHomeFolder) {
  const std::string home = getpwuid(getuid())->pw_dir;
  const struct {
    const char* state;
    const char* home;
    std::string file;
  } cases[] = {
      {"relative", "/home/u", "/home/u/.local/state/daybander/registry.reg"},
      {"", "", home + "/.local/state/daybander/registry.reg"},
  };
  unsetenv("DAYBANDER_REGISTRY");
  for (const auto& c : cases) {
    for (const auto& variable : {std::make_pair("XDG_STATE_HOME", c.state), std::make_pair("HOME", c.home)}) {
      *variable.second ? setenv(variable.first, variable.second, 1) : unsetenv(variable.first);
    }
    EXPECT_EQ(host::RegistryStore::Location(""), c.file) << "'" << c.state << "' '" << c.home << "'";
  }
}

}  // namespace
