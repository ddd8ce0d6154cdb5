// The registry in a REGEDIT4 file: read whole and swapped in, or written
// beside the file and renamed over it.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "registry_internal.h"
#include "winapi_control.h"

namespace reg = winapi::registry;

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return m_fd; }
  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int m_fd;
};

// The status Windows gives for a file that cannot be opened for reading.
LONG OpenStatus(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_CANTOPEN;
  }
}

bool ReadWhole(int fd, std::string* text) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text->append(buffer, static_cast<size_t>(n));
  }
}

bool WriteWhole(int fd, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save replaces: the path itself, or where its symbolic links
// lead, so that a link stays a link and its target gets the new text.
bool SaveTarget(const std::string& path, std::string* target) {
  *target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (lstat(target->c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    char link[PATH_MAX];
    const ssize_t length = readlink(target->c_str(), link, sizeof link);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof link) return false;
    const std::string next(link, static_cast<size_t>(length));
    *target = next[0] == '/' ? next : FolderOf(*target) + "/" + next;
  }
  return false;  // a loop of links
}

}  // namespace

EXTERN_C LONG WinapiLoadRegistry(LPCSTR path, DWORD* errorLine) {
  if (errorLine) *errorLine = 0;
  if (!path || !*path) return ERROR_INVALID_PARAMETER;
  FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return OpenStatus(errno);
  struct stat info;
  if (fstat(file.get(), &info) != 0) return ERROR_READ_FAULT;
  if (S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;
  std::string text;
  if (!ReadWhole(file.get(), &text)) return ERROR_READ_FAULT;
  file.Close();

  // Built aside, and swapped in only once every line has been read.
  reg::Forest forest;
  DWORD line = 0;
  const LONG status = reg::ParseText(text.data(), text.size(), &forest, &line);
  if (status != ERROR_SUCCESS) {
    if (errorLine) *errorLine = line;
    return status;
  }
  std::lock_guard<std::recursive_mutex> hold(reg::Lock());
  reg::ReplaceAll(&forest);
  return ERROR_SUCCESS;
}

EXTERN_C LONG WinapiSaveRegistry(LPCSTR path) {
  if (!path || !*path) return ERROR_INVALID_PARAMETER;
  std::string text;
  const LONG status = reg::ExportText(std::string(), &text);
  if (status != ERROR_SUCCESS) return status;
  std::string target;
  if (!SaveTarget(path, &target)) return ERROR_WRITE_FAULT;

  // The new file takes the old one's owner and permission bits.
  struct stat old;
  const bool replacing = stat(target.c_str(), &old) == 0;
  if (replacing && !S_ISREG(old.st_mode)) return ERROR_WRITE_FAULT;
  const mode_t mode = replacing ? (old.st_mode & 07777) : 0644;

  // The caller holds the registry file's lock, so one name beside the file
  // serves; whatever a save that was killed left there goes first.
  const std::string beside = target + ".new";
  if (unlink(beside.c_str()) != 0 && errno != ENOENT) return ERROR_WRITE_FAULT;
  FileDescriptor file(open(beside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777));
  if (file.get() < 0) return ERROR_WRITE_FAULT;
  bool ok = true;
  if (replacing) {
    // Only root may give a file away; short of that the file keeps at
    // least its group when the saver belongs to it.
    if (fchown(file.get(), old.st_uid, old.st_gid) != 0 &&
        fchown(file.get(), static_cast<uid_t>(-1), old.st_gid) != 0) {
      // It stays the saver's, as a copy of it would.
    }
    ok = fchmod(file.get(), mode) == 0;
  }
  ok = ok && WriteWhole(file.get(), text) && fsync(file.get()) == 0;
  ok = file.Close() && ok;
  if (!ok || rename(beside.c_str(), target.c_str()) != 0) {
    unlink(beside.c_str());
    return ERROR_WRITE_FAULT;
  }
  // The rename itself lasts once the folder is on disk.
  FileDescriptor folder(open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0 && fsync(folder.get()) != 0) {
    // The file is in place; only its lasting through a crash is less sure.
  }
  return ERROR_SUCCESS;
}
