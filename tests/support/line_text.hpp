// The characters of a dump line's text, for tests that edit lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ambergale::testing_support {

// Whether the Shift-JIS character at `at` takes two bytes.
inline bool two_bytes(std::string_view line, std::size_t at) {
  const auto byte = static_cast<unsigned char>(line[at]);
  return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
}

// The starts of the two-byte characters of a line's text (from `from` on)
// outside names "(…)".
inline std::vector<std::size_t> wide_characters(std::string_view line, std::size_t from) {
  std::vector<std::size_t> starts;
  bool in_name = false;
  for (std::size_t at = from; at < line.size();) {
    if (line[at] == '(' || line[at] == ')') in_name = line[at] == '(';
    const bool wide = two_bytes(line, at);
    if (wide && !in_name) starts.push_back(at);
    at += wide ? 2 : 1;
  }
  return starts;
}

// Three edits of one character of a line, at the wide character `i` picks
// (of `wide`, at least two): replaced by the next one, deleted, doubled;
// each named.
inline std::vector<std::pair<std::string, std::string>> one_character_edits(std::string_view line,
                                                                            const std::vector<std::size_t>& wide,
                                                                            std::size_t i) {
  const std::size_t at = wide[i % wide.size()], other = wide[(i + 1) % wide.size()];
  std::string replaced(line), deleted(line), doubled(line);
  replaced.replace(at, 2, line.substr(other, 2));
  deleted.erase(at, 2);
  doubled.insert(at, line.substr(at, 2));
  return {{"replaced", replaced}, {"deleted", deleted}, {"doubled", doubled}};
}

}  // namespace ambergale::testing_support
