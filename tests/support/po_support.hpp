// Translations written into catalogues, for tests.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

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

// The tags of a catalogue text whose first unit is one of 0010-001F but no
// line break (<1200>, <1700>): its controls, read apart from the code that
// writes and checks them.
inline std::vector<std::string> controls_in(std::string_view text) {
  std::vector<std::string> tags;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const std::string_view tag = text.substr(at, text.find('>', at) + 1 - at);
    if (tag.size() >= 6 && tag[1] == '1' && tag.substr(3, 2) == "00" && tag[2] != '2' && tag[2] != '7') tags.emplace_back(tag);
  }
  return tags;
}

}  // namespace ambergale::testing_support
