#include "insert/edit_set.hpp"

#include <algorithm>

namespace ambergale {

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (end < text.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    at = next;
  }
  return lines;
}

std::string with_lines(std::string_view dump, const std::vector<std::pair<std::size_t, std::string>>& replaced) {
  std::vector<std::string_view> lines = split_lines(dump);
  for (const auto& [number, text] : replaced) lines[number - 1] = text;
  std::string out;
  out.reserve(dump.size());
  for (const std::string_view line : lines) {
    out.append(line);
    out.append("\r\n");
  }
  return out;
}

std::string_view line_identifier(std::string_view dump_name, std::string_view line) {
  const char end = dump_name == "wordlist2.txt" ? ']' : dump_name == "messcript.txt" ? '\0' : ':';
  const std::size_t at = end == '\0' ? std::string_view::npos : line.find(end);
  return at == std::string_view::npos ? std::string_view() : line.substr(0, at + 1);
}

namespace {

std::string where(const std::string& name, std::size_t line) { return name + ":" + std::to_string(line); }

// A line as a message shows it: its identifier, or its start.
std::string shown(std::string_view dump_name, std::string_view line) {
  const std::string_view id = line_identifier(dump_name, line);
  return std::string(id.empty() ? line.substr(0, 20) : id);
}

}  // namespace

Outcome match_dump(const std::string& name, std::string_view original, std::string_view edited,
                   std::vector<ChangedLine>& changed) {
  const std::vector<std::string_view> before = split_lines(original);
  const std::vector<std::string_view> after = split_lines(edited);
  if (before.size() != after.size()) {
    std::size_t first = 0;
    while (first < std::min(before.size(), after.size()) &&
           line_identifier(name, before[first]) == line_identifier(name, after[first]) &&
           (!line_identifier(name, before[first]).empty() || before[first] == after[first])) {
      ++first;
    }
    std::string detail;
    if (first < std::min(before.size(), after.size())) {
      detail = " (first out of place: line " + std::to_string(first + 1) + ", " + shown(name, after[first]) +
               " where " + shown(name, before[first]) + " was expected)";
    }
    return Failure{name, std::to_string(after.size()) + " lines, the dump of the image has " +
                             std::to_string(before.size()) + "; lines may be changed, not added or removed" + detail};
  }
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] == after[i]) continue;
    const std::string_view id = line_identifier(name, before[i]);
    if (!id.empty() && after[i].substr(0, id.size()) != id) {
      return Failure{where(name, i + 1), "the line starts " + shown(name, after[i]) + ", the dump has " +
                                             std::string(id) + " here; what names the line cannot change"};
    }
    if (const std::size_t nul = after[i].find('\0'); nul != std::string_view::npos) {
      return Failure{where(name, i + 1) + ":" + std::to_string(nul + 1), "a NUL byte"};
    }
    changed.push_back({i + 1, before[i], after[i]});
  }
  return std::nullopt;
}

std::vector<std::size_t> different_lines(std::string_view a, std::string_view b) {
  const std::vector<std::string_view> first = split_lines(a), second = split_lines(b);
  std::vector<std::size_t> numbers;
  for (std::size_t i = 0; i < std::min(first.size(), second.size()); ++i) {
    if (first[i] != second[i]) numbers.push_back(i + 1);
  }
  return numbers;
}

}  // namespace ambergale
