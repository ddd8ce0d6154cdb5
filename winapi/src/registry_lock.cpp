// The lock that a host holds around one command's load, work and save of the
// registry file, so that two commands run at once lose nothing.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include "winapi_control.h"

namespace {
std::mutex g_lockGuard;
int g_lockFile = -1;
}  // namespace

EXTERN_C LONG WinapiLockRegistryFile(LPCSTR path) {
  if (!path || !*path) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> hold(g_lockGuard);
  if (g_lockFile >= 0) return ERROR_INVALID_PARAMETER;
  const std::string lockPath = std::string(path) + ".lock";
  const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd);
      return ERROR_ACCESS_DENIED;
    }
  }
  g_lockFile = fd;
  return ERROR_SUCCESS;
}

EXTERN_C void WinapiUnlockRegistryFile(void) {
  std::lock_guard<std::mutex> hold(g_lockGuard);
  if (g_lockFile < 0) return;
  flock(g_lockFile, LOCK_UN);
  close(g_lockFile);
  g_lockFile = -1;
}
