// The toolbar picture in a build without cairo and pango (the 32-bit one).
#include "toolbar_png.h"

namespace host {

bool CanWriteToolbarPng() { return false; }

bool WriteToolbarPng(const ToolbarPicture&, const std::string&, std::string* error) {
  *error = "this build of daybander cannot draw the toolbar (it has no cairo and pango)";
  return false;
}

}  // namespace host
