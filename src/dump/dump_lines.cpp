#include "dump/dump_lines.hpp"

namespace ambergale {

std::string_view take_line(std::string_view text, std::size_t& at) {
  std::size_t end = text.find('\n', at);
  const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(at, end - at);
  if (end < text.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  at = next;
  return line;
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) lines.push_back(take_line(text, at));
  return lines;
}

std::string with_lines(std::string_view dump, const std::vector<std::pair<std::size_t, std::string>>& replaced) {
  std::vector<std::string_view> lines = split_lines(dump);
  for (const auto& [number, text] : replaced) lines.at(number - 1) = text;
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

std::vector<std::size_t> different_lines(std::string_view a, std::string_view b) {
  std::vector<std::size_t> numbers;
  if (a == b) return numbers;
  std::size_t in_a = 0, in_b = 0;
  for (std::size_t number = 1; in_a < a.size() && in_b < b.size(); ++number) {
    if (take_line(a, in_a) != take_line(b, in_b)) numbers.push_back(number);
  }
  return numbers;
}

}  // namespace ambergale
