// The daybander command line.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace host {

struct Options {
  std::string command = "show";
  bool commandGiven = false;
  std::vector<std::string> arguments;  // after the command
  std::string registry;                // --registry FILE
  std::vector<std::string> dates;      // --date YYYY-MM-DD; show takes several
  std::string format;                  // --format persian|english|numeric
  std::string arabicLocale;            // --arabic-locale yes|no
  std::string png;                     // --png FILE
  bool open = false;                   // --open
  bool help = false;
  std::vector<std::pair<std::string, std::string>> variables;  // --var NAME=VALUE
};

// Parses argv; false with a one-line reason in *error.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

// The help text of a command ("" for the overview).
const char* Usage(const std::string& command);

}  // namespace host
