// The ANSI code page of winapi/ set for one scope, as a machine's system
// locale would set it, and the one before restored at its end.
#pragma once

#include <windows.h>

#include <string>

#include "winapi_control.h"

class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(UINT codePage) : m_previous(GetACP()) { m_set = WinapiSetAnsiCodePage(codePage); }
  ~ScopedAnsiCodePage() { WinapiSetAnsiCodePage(m_previous); }
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

  bool set() const { return m_set != FALSE; }

 private:
  UINT m_previous;
  BOOL m_set;
};

// UTF-16 text in a code page (a character it lacks becomes '?'), and back.
inline std::string InCodePage(UINT codePage, const std::u16string& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

inline std::u16string FromCodePage(UINT codePage, const std::string& text) {
  if (text.empty()) return std::u16string();
  const int n = MultiByteToWideChar(codePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n);
  return out;
}
