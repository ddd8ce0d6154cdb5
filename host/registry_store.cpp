#include "registry_store.h"

#include <windows.h>

#include <errno.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "winapi_control.h"

namespace host {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

// mkdir -p
bool MakeFolders(const std::string& folder) {
  std::string path;
  size_t at = 0;
  while (at != std::string::npos) {
    at = folder.find('/', at + 1);
    path = folder.substr(0, at);
    if (!path.empty() && mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

RegistryStore& RegistryStore::Current() {
  static RegistryStore store;
  return store;
}

std::string RegistryStore::Location(const std::string& path) {
  if (!path.empty()) return path;
  const char* fromEnvironment = std::getenv("DAYBANDER_REGISTRY");
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state == '/') return std::string(state) + "/daybander/registry.reg";
  std::string home;
  const char* fromHome = std::getenv("HOME");
  if (fromHome && *fromHome) {
    home = fromHome;
  } else {
    const passwd* account = getpwuid(getuid());
    if (account && account->pw_dir && *account->pw_dir == '/') home = account->pw_dir;
  }
  if (home.empty()) return std::string();
  return home + "/.local/state/daybander/registry.reg";
}

std::string RegistryStore::stateFolder() const { return FolderOf(m_path); }

bool RegistryStore::Open(const std::string& path, std::string* error) {
  m_path = Location(path);
  if (m_path.empty()) {
    *error = "no home folder for the registry file: set HOME or DAYBANDER_REGISTRY, or give --registry FILE";
    return false;
  }
  struct stat info;
  if (stat(m_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = m_path + " is a directory, not a registry file";
    return false;
  }
  if (!MakeFolders(FolderOf(m_path))) {
    *error = "cannot make the folder of " + m_path + ": " + std::strerror(errno);
    return false;
  }
  // One command at a time: the lock is held until the process ends, so a
  // second command waits and then reads what the first one saved.
  if (WinapiLockRegistryFile(m_path.c_str()) != ERROR_SUCCESS) {
    *error = "cannot lock " + m_path + ".lock: " + std::strerror(errno);
    return false;
  }
  DWORD line = 0;
  const LONG status = WinapiLoadRegistry(m_path.c_str(), &line);
  m_wasNew = status == ERROR_FILE_NOT_FOUND;
  if (status != ERROR_SUCCESS && !m_wasNew) {
    // Never overwritten: m_open stays false.
    if (line) {
      *error = m_path + ":" + std::to_string(line) + ": not a REGEDIT4 registry file; it is left as it is";
    } else if (status == ERROR_ACCESS_DENIED) {
      *error = "cannot read " + m_path + ": permission denied; it is left as it is";
    } else {
      *error = "cannot load " + m_path + " (error " + std::to_string(status) + "); it is left as it is";
    }
    return false;
  }
  m_open = true;
  m_changes = WinapiRegistryChangeCount();
  return true;
}

bool RegistryStore::Save(std::string* error) {
  if (!m_open || WinapiRegistryChangeCount() == m_changes) return true;
  if (WinapiSaveRegistry(m_path.c_str()) != ERROR_SUCCESS) {
    *error = "cannot save the registry to " + m_path;
    return false;
  }
  m_changes = WinapiRegistryChangeCount();
  return true;
}

bool RegistryStore::Close(std::string* error) {
  const bool saved = Save(error);
  if (m_open) WinapiUnlockRegistryFile();
  m_open = false;
  return saved;
}

bool RegistryStore::Export(const std::string& key, std::string* text, std::string* error) const {
  DWORD size = 0;
  LONG status = WinapiExportRegistry(key.c_str(), nullptr, &size);
  if (status == ERROR_MORE_DATA) {
    text->assign(size, '\0');
    status = WinapiExportRegistry(key.c_str(), &(*text)[0], &size);
    text->resize(size ? size - 1 : 0);
  }
  if (status == ERROR_FILE_NOT_FOUND) {
    *error = "no such key: " + key;
    return false;
  }
  if (status != ERROR_SUCCESS) {
    *error = "cannot read the registry (error " + std::to_string(status) + ")";
    return false;
  }
  return true;
}

}  // namespace host
