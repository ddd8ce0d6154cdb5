// Draws the browser's toolbar row with the band in it, as the user would see
// it, to a PNG file.
#pragma once

#include <windows.h>

#include <string>

namespace host {

struct ToolbarPicture {
  int width = 0;  // the toolbar row
  int height = 0;
  RECT band{};    // the band's window, in toolbar coordinates
  std::u16string text;
  LONG fontHeight = 0;  // as given to CreateFont: >0 cell height, <0 character height, 0 default
  std::string fontFace;
};

// Whether this build can draw at all: the 32-bit one has no cairo and pango.
bool CanWriteToolbarPng();

// Writes the picture; false (with a reason in *error) when it cannot.
bool WriteToolbarPng(const ToolbarPicture& picture, const std::string& path, std::string* error);

}  // namespace host
