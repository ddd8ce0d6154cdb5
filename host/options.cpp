#include "options.h"

#include <cstring>

namespace host {
namespace {

const char* const kCommands[] = {"show", "register", "unregister", "menu", "choose",
                                 "click", "script", "registry", "wix"};

bool IsCommand(const std::string& word) {
  for (const char* command : kCommands) {
    if (word == command) return true;
  }
  return false;
}

const char kOverview[] =
    "Usage: daybander [COMMAND] [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "Plays the web browser and the registration tool for the Daybander band,\n"
    "against a registry kept in a file.\n"
    "\n"
    "Commands (default: show):\n"
    "  show                  show the band as the browser would and print its text\n"
    "  register [LIBRARY]    register the library (default: the built daybander.so, or\n"
    "                        daybander.dll in the 32-bit build)\n"
    "  unregister [LIBRARY]  remove its registration\n"
    "  menu                  print the band's context menu\n"
    "  choose ITEM           right-click the band and pick ITEM: persian, english, numeric,\n"
    "                        increase, decrease or \"full calendar\"\n"
    "  click                 left-click the band (opens the full-calendar page)\n"
    "  script register|unregister FILE [--var NAME=VALUE]...\n"
    "                        apply a registry script file to the registry\n"
    "  registry [KEY]        print the registry, or one key, in REGEDIT4 format\n"
    "  wix [LIBRARY]         print what registering the library writes, as installer rows\n"
    "\n"
    "Options:\n"
    "  --date YYYY-MM-DD     the local date (1601-01-01..30827-12-31); default: today.\n"
    "                        show takes it more than once: one line per date\n"
    "  --format NAME         show: pick persian, english or numeric from the context menu first\n"
    "  --arabic-locale yes|no  whether the Arabic locale counts as installed\n"
    "  --png FILE            show: also draw the toolbar to a PNG file\n"
    "  --open                click, choose: open the page in the desktop's browser\n"
    "  --registry FILE       the registry file (default: $DAYBANDER_REGISTRY, else\n"
    "                        $XDG_STATE_HOME/daybander/registry.reg, else\n"
    "                        ~/.local/state/daybander/registry.reg)\n"
    "  --help                this text, or a command's with COMMAND --help\n";

const char kShow[] =
    "Usage: daybander [show] [--date YYYY-MM-DD]... [--format persian|english|numeric]\n"
    "                 [--arabic-locale yes|no] [--png FILE]\n"
    "\n"
    "Creates every band the browser's toolbar list names, hands it its saved\n"
    "settings, sites it in a toolbar row, shows it and prints the text it shows;\n"
    "then closes it, as the browser does, so its settings are saved. Registers\n"
    "the built library first when nothing is registered yet. --format picks the\n"
    "format from the band's context menu, as a user would. With several --date\n"
    "options it does all this for each date in turn (--png draws the last).\n";

const char kRegister[] =
    "Usage: daybander register|unregister [LIBRARY]\n"
    "\n"
    "Loads the library and calls its DllRegisterServer or DllUnregisterServer,\n"
    "as regsvr32 does; reports the result, and exits with status 1 when it\n"
    "failed. LIBRARY is daybander.so or, in the 32-bit build, also the Windows\n"
    "build's daybander.dll, which runs here as it is. The default is daybander.so\n"
    "beside this command, or daybander.dll in the 32-bit build.\n";

const char kMenu[] =
    "Usage: daybander menu [--date YYYY-MM-DD]\n"
    "\n"
    "Right-clicks the band and prints its context menu as the user sees it,\n"
    "submenus indented, then dismisses it.\n";

const char kChoose[] =
    "Usage: daybander choose ITEM [--date YYYY-MM-DD] [--open]\n"
    "\n"
    "Right-clicks the band and picks ITEM from its context menu: persian,\n"
    "english or numeric (a Format item), increase or decrease (Size), or\n"
    "\"full calendar\". Prints what the band shows afterwards, or the navigation\n"
    "it asked of the browser; closes the band so its settings are saved.\n";

const char kClick[] =
    "Usage: daybander click [--open]\n"
    "\n"
    "Left-clicks the band, which opens the full-calendar page: prints the URL,\n"
    "flags and headers the browser received, writes the page to a file and\n"
    "prints its path; --open also opens it in the desktop's browser.\n";

const char kScript[] =
    "Usage: daybander script register|unregister FILE [--var NAME=VALUE]...\n"
    "\n"
    "Applies a registry script file to the registry (or removes what it names)\n"
    "with the library's own interpreter; each --var adds a replacement for\n"
    "%NAME% in the script.\n";

const char kRegistry[] =
    "Usage: daybander registry [KEY]\n"
    "\n"
    "Prints the registry, or the key KEY (for example\n"
    "\"HKEY_CLASSES_ROOT\\CLSID\") with everything below it, in REGEDIT4 format.\n";

const char kWix[] =
    "Usage: daybander wix [LIBRARY]\n"
    "\n"
    "Registers the library (default: daybander.so beside this command) into an\n"
    "empty registry of this command alone, never the registry file, and prints\n"
    "what it wrote as a WiX include file of RegistryKey and RegistryValue\n"
    "elements for the installer: the library's path becomes [#daybander.dll], its\n"
    "own keys are made on install and removed on uninstall, and the keys that\n"
    "unregistering leaves (CLSID, SOFTWARE...) only hold its values.\n";

bool NeedsValue(const std::string& option) {
  return option == "--registry" || option == "--date" || option == "--format" || option == "--arabic-locale" ||
         option == "--png" || option == "--var";
}

}  // namespace

const char* Usage(const std::string& command) {
  if (command == "show") return kShow;
  if (command == "register" || command == "unregister") return kRegister;
  if (command == "menu") return kMenu;
  if (command == "choose") return kChoose;
  if (command == "click") return kClick;
  if (command == "script") return kScript;
  if (command == "registry") return kRegistry;
  if (command == "wix") return kWix;
  return kOverview;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  bool commandSeen = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      continue;
    }
    if (arg == "--open") {
      options->open = true;
      continue;
    }
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      if (!NeedsValue(arg)) {
        *error = "unknown option: " + arg + " (see --help)";
        return false;
      }
      if (i + 1 >= argc) {
        *error = arg + " needs a value (see --help)";
        return false;
      }
      const std::string value = argv[++i];
      if (arg == "--registry") {
        if (value.empty()) {
          *error = "--registry needs a file name (see --help)";
          return false;
        }
        options->registry = value;
      } else if (arg == "--date") {
        options->dates.push_back(value);
      } else if (arg == "--format") {
        if (value != "persian" && value != "english" && value != "numeric") {
          *error = "unknown format: " + value + " (persian, english or numeric)";
          return false;
        }
        options->format = value;
      } else if (arg == "--arabic-locale") {
        if (value != "yes" && value != "no") {
          *error = "--arabic-locale takes yes or no, not " + value;
          return false;
        }
        options->arabicLocale = value;
      } else if (arg == "--png") {
        options->png = value;
      } else {
        const size_t equals = value.find('=');
        if (equals == std::string::npos || equals == 0) {
          *error = "--var takes NAME=VALUE, not " + value;
          return false;
        }
        options->variables.emplace_back(value.substr(0, equals), value.substr(equals + 1));
      }
      continue;
    }
    if (!commandSeen && options->arguments.empty() && IsCommand(arg)) {
      options->command = arg;
      options->commandGiven = true;
      commandSeen = true;
      continue;
    }
    if (!commandSeen) {
      *error = "unknown command: " + arg + " (see --help)";
      return false;
    }
    options->arguments.push_back(arg);
  }
  // show, menu and click act on the band as it is: a word after them is a
  // mistake, not something to ignore.
  if (!options->arguments.empty() &&
      (options->command == "show" || options->command == "menu" || options->command == "click")) {
    *error = options->command + " takes no arguments, not " + options->arguments[0] + " (see --help)";
    return false;
  }
  if (options->dates.size() > 1 && options->command != "show") {
    *error = "only show takes more than one --date (see --help)";
    return false;
  }
  return true;
}

}  // namespace host
