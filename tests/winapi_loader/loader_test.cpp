// Entry points and static destruction run under the loader lock, where calls
// into User32 are counted; at process exit every module still loaded gets
// DLL_PROCESS_DETACH with a non-null reserved pointer, and calls made there
// are reported.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include "winapi_control.h"

namespace {

TEST(LoaderLock, CallsIntoUser32UnderItAreCounted) {
  struct Case {
    const char* calls;
    LONG counted;
  } cases[] = {{"", 0}, {"entry", 2}, {"destructor", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.calls);
    setenv("LOADER_PROBE_CALLS", c.calls, 1);
    const LONG before = WinapiLoaderLockViolations(nullptr);
    const HMODULE probe = LoadLibraryA(LOADER_PROBE);
    ASSERT_NE(nullptr, probe);
    GetFocus();  // outside the lock
    EXPECT_TRUE(FreeLibrary(probe));
    LPCSTR area = nullptr;
    EXPECT_EQ(c.counted, WinapiLoaderLockViolations(&area) - before);
    if (c.counted) {
      EXPECT_STREQ("User32", area);
    }
  }
  unsetenv("LOADER_PROBE_CALLS");
}

void LoadAndExit(const char* calls, bool freeFirst) {
  setenv("LOADER_PROBE_CALLS", calls, 1);
  const HMODULE probe = LoadLibraryA(LOADER_PROBE);
  if (probe && freeFirst) FreeLibrary(probe);
  exit(probe ? 0 : 1);
}

TEST(LoaderLock, ProcessExitDetachesWhatIsStillLoaded) {
  struct Case {
    const char* name;
    const char* calls;
    bool freeFirst;
    const char* stderrText;
  } cases[] = {
      {"freed before exit", "", true, "^probe: attach reserved=null\nprobe: detach reserved=null\n$"},
      {"loaded at exit", "", false, "^probe: attach reserved=null\nprobe: detach reserved=non-null\n$"},
      {"calling User32 at exit", "entry", false,
       "probe: detach reserved=non-null\n"
       "winapi: 1 call\\(s\\) under the loader lock at process exit, the last into User32\n$"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(LoadAndExit(c.calls, c.freeFirst), ::testing::ExitedWithCode(0), c.stderrText);
  }
}

}  // namespace
