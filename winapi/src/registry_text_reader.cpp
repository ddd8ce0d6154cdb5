// REGEDIT4 text read into a registry built aside. Everything the live
// registry would refuse is refused here, with the line it is on, so that a
// file either loads whole or changes nothing.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry_internal.h"

namespace winapi {
namespace registry {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hexadecimal digits, all of the text.
bool ReadNumber(const std::string& text, size_t begin, size_t end, DWORD* value) {
  if (end <= begin || end - begin > 8) return false;
  DWORD number = 0;
  for (size_t i = begin; i < end; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return false;
    number = number * 16 + static_cast<DWORD>(digit);
  }
  *value = number;
  return true;
}

// "text" with \\ and \" escapes; *at moves past the closing quote.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
  if (*at >= text.size() || text[*at] != '"') return false;
  out->clear();
  for (size_t i = *at + 1; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      out->push_back(text[++i]);
    } else if (text[i] == '"') {
      *at = i + 1;
      return true;
    } else {
      out->push_back(text[i]);
    }
  }
  return false;
}

// Bytes of one or two hex digits, separated by commas, blanks allowed
// around them; no comma at the end.
bool ReadHexList(const std::string& text, size_t at, std::vector<BYTE>* out) {
  out->clear();
  while (at < text.size()) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at >= text.size()) break;
    unsigned value = 0;
    int digits = 0;
    for (; at < text.size() && HexDigit(text[at]) >= 0; ++at, ++digits) {
      value = value * 16 + static_cast<unsigned>(HexDigit(text[at]));
    }
    if (digits == 0 || digits > 2) return false;
    out->push_back(static_cast<BYTE>(value));
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at < text.size()) {
      if (text[at] != ',') return false;
      ++at;
      if (at >= text.size()) return false;
    }
  }
  return true;
}

bool StartsWith(const std::string& text, size_t at, const char* prefix) {
  return text.compare(at, std::strlen(prefix), prefix) == 0;
}

class Reader {
 public:
  Reader(const char* text, size_t size, Forest* forest) : m_text(text), m_size(size), m_forest(forest) {}

  LONG Read(DWORD* line) {
    const LONG status = ReadAll();
    *line = status == ERROR_SUCCESS ? 0 : m_line;
    return status;
  }

 private:
  // The next physical line without its line end; false at the end of the
  // text. *ended tells whether a line feed closed it.
  bool NextLine(std::string* out, bool* ended) {
    if (m_at >= m_size) return false;
    const char* begin = m_text + m_at;
    const void* feed = std::memchr(begin, '\n', m_size - m_at);
    const size_t length = feed ? static_cast<size_t>(static_cast<const char*>(feed) - begin) : m_size - m_at;
    m_at += length + (feed ? 1 : 0);
    *ended = feed != nullptr;
    out->assign(begin, length);
    if (!out->empty() && out->back() == '\r') out->pop_back();
    ++m_line;
    return true;
  }

  // A logical line: a hex list may go on over lines that end with a
  // backslash, the next one's leading blanks dropped. m_ended tells whether
  // its last line ended with a line feed.
  LONG NextLogicalLine(std::string* out, bool* more) {
    *more = NextLine(out, &m_ended);
    if (!*more) return ERROR_SUCCESS;
    // A name could not carry a NUL, and data is written in hex.
    if (out->find('\0') != std::string::npos) return ERROR_REGISTRY_CORRUPT;
    const bool isHex = out->find("hex") != std::string::npos;
    std::string next;
    while (isHex && !out->empty() && out->back() == '\\') {
      if (!NextLine(&next, &m_ended)) return ERROR_REGISTRY_CORRUPT;
      if (next.find('\0') != std::string::npos) return ERROR_REGISTRY_CORRUPT;
      out->pop_back();
      size_t first = 0;
      while (first < next.size() && IsBlank(next[first])) ++first;
      out->append(next, first, std::string::npos);
    }
    return ERROR_SUCCESS;
  }

  LONG ReadAll() {
    std::string line;
    bool more = false;
    LONG status = NextLogicalLine(&line, &more);
    if (status != ERROR_SUCCESS) return status;
    if (!more) {
      m_line = 1;
      return ERROR_BADKEY;
    }
    if (line != "REGEDIT4") return ERROR_BADKEY;
    for (;;) {
      status = NextLogicalLine(&line, &more);
      if (status != ERROR_SUCCESS || !more) return status;
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[') {
        status = Section(line);
      } else if (line[0] == '@' || line[0] == '"') {
        status = m_key ? ValueLine(line) : ERROR_REGISTRY_CORRUPT;
      } else {
        status = ERROR_REGISTRY_CORRUPT;
      }
      if (status != ERROR_SUCCESS) return status;
    }
  }

  // [ROOT] or [ROOT\A\B]: every level named, within the limits of a key
  // created by one call.
  LONG Section(const std::string& text) {
    if (text.size() < 3 || text.back() != ']') return ERROR_BADKEY;
    const size_t end = text.size() - 1;
    const char* separator = static_cast<const char*>(std::memchr(text.data() + 1, '\\', end - 1));
    const size_t rootEnd = separator ? static_cast<size_t>(separator - text.data()) : end;
    const std::string rootName = text.substr(1, rootEnd - 1);
    Key* key = nullptr;
    for (int i = 0; i < kRootCount; ++i) {
      if (RootKeepsData(i) && NamesEqual(rootName, RootName(i))) key = m_forest->roots[i].get();
    }
    if (!key) return ERROR_BADKEY;
    if (separator) {
      m_parts.clear();
      size_t start = rootEnd + 1;
      for (;;) {
        const void* next = std::memchr(text.data() + start, '\\', end - start);
        const size_t stop = next ? static_cast<size_t>(static_cast<const char*>(next) - text.data()) : end;
        if (stop == start || stop - start > kMaxKeyNameLength) return ERROR_BADKEY;
        m_parts.emplace_back(text, start, stop - start);
        if (!next) break;
        start = stop + 1;
      }
      if (m_parts.size() > static_cast<size_t>(kMaxDepth)) return ERROR_BADKEY;
      size_t existing = 0;
      for (; existing < m_parts.size(); ++existing) {
        const auto found = key->subkeys.find(m_parts[existing]);
        if (found == key->subkeys.end()) break;
        key = found->second.get();
      }
      if (m_parts.size() - existing > static_cast<size_t>(kMaxLevelsPerCall)) return ERROR_BADKEY;
      for (size_t i = existing; i < m_parts.size(); ++i) {
        key = AddSubkey(key, m_parts[i]);
        if (!key) return ERROR_BADKEY;
      }
    }
    m_key = key;
    return ERROR_SUCCESS;
  }

  // @=... or "name"=... with "text", dword:XXXXXXXX, hex:... or hex(N):...
  LONG ValueLine(const std::string& text) {
    size_t at = 0;
    if (text[0] == '@') {
      at = 1;
      m_name.clear();
    } else if (!ReadQuoted(text, &at, &m_name)) {
      return ERROR_REGISTRY_CORRUPT;
    }
    if (m_name.size() > kMaxValueNameLength || at >= text.size() || text[at] != '=') return ERROR_REGISTRY_CORRUPT;
    ++at;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (at < text.size() && text[at] == '"') {
      std::string value;
      if (!ReadQuoted(text, &at, &value) || at != text.size()) return ERROR_REGISTRY_CORRUPT;
      type = REG_SZ;
      data.assign(value.begin(), value.end());
      data.push_back(0);
    } else if (StartsWith(text, at, "dword:")) {
      DWORD number = 0;
      if (text.size() - at != 14 || !ReadNumber(text, at + 6, text.size(), &number)) return ERROR_REGISTRY_CORRUPT;
      type = REG_DWORD;
      data.resize(4);
      std::memcpy(data.data(), &number, 4);
    } else if (StartsWith(text, at, "hex:") || StartsWith(text, at, "hex(")) {
      size_t list = at + 4;
      type = REG_BINARY;
      if (text[at + 3] == '(') {
        list = text.find("):", at + 4);
        if (list == std::string::npos || !ReadNumber(text, at + 4, list, &type)) return ERROR_REGISTRY_CORRUPT;
        list += 2;
      }
      // Any prefix of a hex list reads as a list: only the line feed after
      // it tells that the file was not cut short inside the value.
      if (!m_ended || !ReadHexList(text, list, &data)) return ERROR_REGISTRY_CORRUPT;
    } else {
      return ERROR_REGISTRY_CORRUPT;
    }
    m_key->SetValue(m_name, type, std::move(data));
    return ERROR_SUCCESS;
  }

  const char* m_text;
  size_t m_size;
  size_t m_at = 0;
  DWORD m_line = 0;
  bool m_ended = false;
  Forest* m_forest;
  Key* m_key = nullptr;  // the current section's key
  std::vector<std::string> m_parts;
  std::string m_name;
};

}  // namespace

LONG ParseText(const char* text, size_t size, Forest* forest, DWORD* line) {
  return Reader(text, size, forest).Read(line);
}

}  // namespace registry
}  // namespace winapi
