// The registry of this host, kept in a REGEDIT4 file between commands: locked
// for the whole command, loaded at its start and saved, atomically, at its end.
#pragma once

#include <string>

namespace host {

class RegistryStore {
 public:
  static RegistryStore& Current();

  // The file: `path` if given, else $DAYBANDER_REGISTRY, else
  // $XDG_STATE_HOME/daybander/registry.reg (~/.local/state when unset).
  static std::string Location(const std::string& path);

  // Takes the lock and loads the file, if there is one. A file that cannot be
  // read is reported (with its line) and left as it is.
  bool Open(const std::string& path, std::string* error);
  // Writes the registry back; the lock goes with the process.
  bool Save(std::string* error);

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
};

}  // namespace host
