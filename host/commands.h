// The daybander commands. Each returns the process exit status.
#pragma once

#include <string>

#include "options.h"

namespace host {

// The library the host registers when it is not told which: daybander.so
// beside this command (or one folder up, where the build puts it); in the
// 32-bit build, the Windows build's daybander.dll.
std::string DefaultLibrary();

int RunShow(const Options& options);
int RunRegister(const Options& options, bool registering);
int RunMenu(const Options& options);
int RunChoose(const Options& options);
int RunClick(const Options& options);
int RunScript(const Options& options);
int RunRegistry(const Options& options);
// Prints, as a WiX include file, what registering the library writes into an
// empty registry of this process alone; the registry file is not opened.
int RunWix(const Options& options);

// A one-line error on stderr; returns the status to exit with.
int Fail(const std::string& message, int status = 1);

}  // namespace host
