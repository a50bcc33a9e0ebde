// Translations written into catalogues, for tests.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace ambergale::testing_support {

// `text` as a PO string's contents: backslash, quote and line break escaped.
inline std::string po_quoted(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

// `po` (as ambergale-dump or msginit wrote it) with the entries of the given
// contexts translated: the msgstr "" after each one's msgctxt replaced.
inline std::string translated(std::string po, const std::map<std::string, std::string>& translations) {
  for (const auto& [context, text] : translations) {
    const std::size_t at = po.find("msgctxt \"" + context + "\"\n");
    if (at == std::string::npos) continue;
    const std::size_t empty = po.find("\nmsgstr \"\"\n", at);
    po.replace(empty, 11, "\nmsgstr \"" + po_quoted(text) + "\"\n");
  }
  return po;
}

}  // namespace ambergale::testing_support
