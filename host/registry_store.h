// The registry of this host, kept in a REGEDIT4 file between commands: locked
// for the whole command, loaded at its start and saved, atomically, at its end
// when the command changed it.
#pragma once

#include <windows.h>

#include <string>

namespace host {

class RegistryStore {
 public:
  static RegistryStore& Current();

  // The file: `path` if given, else $DAYBANDER_REGISTRY, else
  // $XDG_STATE_HOME/daybander/registry.reg, else the same under ~/.local/state,
  // the home folder being $HOME or the account's own. Never a shared folder
  // such as /tmp: the registry names the libraries the host loads. Empty when
  // there is no home folder to be found.
  static std::string Location(const std::string& path);

  // Takes the lock and loads the file, if there is one. A file that cannot be
  // read is reported (with its line) and left as it is.
  bool Open(const std::string& path, std::string* error);
  // Writes the registry back if it changed since it was loaded (or saved):
  // a command that changed nothing neither creates nor rewrites the file.
  bool Save(std::string* error);
  // Saves as above and releases the lock; nothing is saved after that.
  bool Close(std::string* error);

  // True when there was no registry file before this command: first use.
  bool wasNew() const { return m_wasNew; }
  const std::string& path() const { return m_path; }
  // The folder of the registry file, where the host keeps what it writes.
  std::string stateFolder() const;

  // The registry, or the key `key` and everything below it, as REGEDIT4 text.
  bool Export(const std::string& key, std::string* text, std::string* error) const;

 private:
  std::string m_path;
  bool m_wasNew = false;
  bool m_open = false;       // loaded and locked: saves go to m_path
  ULONGLONG m_changes = 0;   // WinapiRegistryChangeCount when last in step with the file
};

}  // namespace host
