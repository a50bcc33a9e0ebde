#include "insert/edit_set.hpp"

#include <algorithm>

#include "dump/dumps.hpp"
#include "platform/cp932_to_utf8.hpp"

namespace ambergale {

namespace {

// The line at `at`, without its line end; `at` moves past the line end.
std::string_view take_line(std::string_view text, std::size_t& at) {
  std::size_t end = text.find('\n', at);
  const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(at, end - at);
  if (end < text.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  at = next;
  return line;
}

}  // namespace

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

namespace {

std::string where(const std::string& name, std::size_t line) { return name + ":" + std::to_string(line); }

// A line as a message shows it: its identifier, or its start.
std::string shown(std::string_view dump_name, std::string_view line) {
  const std::string_view id = line_identifier(dump_name, line);
  return std::string(id.empty() ? line.substr(0, 20) : id);
}

}  // namespace

namespace {

// A different count of lines, named with the first line out of place.
Outcome count_mismatch(const std::string& name, std::string_view original, std::string_view edited) {
  const std::vector<std::string_view> before = split_lines(original);
  const std::vector<std::string_view> after = split_lines(edited);
  if (before.size() == after.size()) return std::nullopt;
  std::size_t first = 0;
  while (first < std::min(before.size(), after.size()) &&
         line_identifier(name, before[first]) == line_identifier(name, after[first]) &&
         (!line_identifier(name, before[first]).empty() || before[first] == after[first])) {
    ++first;
  }
  std::string detail;
  if (first < std::min(before.size(), after.size())) {
    detail = " (first out of place: line " + std::to_string(first + 1) + ", " + shown(name, after[first]) + " where " +
             shown(name, before[first]) + " was expected)";
  }
  return Failure{name, std::to_string(after.size()) + " lines, the dump of the image has " + std::to_string(before.size()) +
                           "; lines may be changed, not added or removed" + detail};
}

}  // namespace

Outcome match_dump(const std::string& name, std::string_view original, std::string_view edited,
                   std::vector<ChangedLine>& changed) {
  if (edited == original) return std::nullopt;
  // Line by line in step; a refusal first checks that the counts agree, as
  // a line added or removed is the likelier mistake.
  std::size_t a = 0, b = 0;
  for (std::size_t number = 1; a < original.size() && b < edited.size(); ++number) {
    const std::string_view before = take_line(original, a), after = take_line(edited, b);
    if (before == after) continue;
    const std::string_view id = line_identifier(name, before);
    if (!id.empty() && after.substr(0, id.size()) != id) {
      if (Outcome failure = count_mismatch(name, original, edited)) return failure;
      return Failure{where(name, number), "the line starts " + shown(name, after) + ", the dump has " +
                                              std::string(id) + " here; what names the line cannot change"};
    }
    if (const std::size_t nul = after.find('\0'); nul != std::string_view::npos) {
      if (Outcome failure = count_mismatch(name, original, edited)) return failure;
      return Failure{where(name, number) + ":" + std::to_string(nul + 1), "a NUL byte"};
    }
    changed.push_back({number, before, after});
  }
  if (a < original.size() || b < edited.size()) return count_mismatch(name, original, edited);
  return std::nullopt;
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

namespace {

// The changed lines of one dump as changes, converted to Shift-JIS from UTF-8.
Outcome to_changes(std::size_t dump, const std::vector<ChangedLine>& lines, const Utf8ToCp932* to_cp932,
                   std::vector<Change>& changes) {
  const std::string name = kDumpFiles[dump].name;
  for (const ChangedLine& line : lines) {
    Change change{dump, line.number, line.original, std::string(line.edited), {name, line.number, dump, {}}};
    std::size_t bad_at = 0;
    if (to_cp932 && !to_cp932->convert(line.edited, change.edited, bad_at)) {
      return Failure::at(name, line.number, 0,
                         "byte " + std::to_string(bad_at + 1) + " is not UTF-8, or starts a character Shift-JIS does not have");
    }
    changes.push_back(std::move(change));
  }
  return std::nullopt;
}

}  // namespace

Outcome changes_from_dumps(const std::array<std::string, 4>& original,
                           const std::array<std::optional<std::string>, 4>& edited, Encoding encoding, ChangeSet& changes) {
  std::optional<Utf8ToCp932> to_cp932;
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (!edited[d]) continue;
    std::vector<ChangedLine> lines;
    if (Outcome failure = match_dump(kDumpFiles[d].name, original[d], *edited[d], lines)) return failure;
    if (encoding == Encoding::utf8 && !lines.empty() && !to_cp932) {
      to_cp932.emplace();
      if (!to_cp932->available()) return Failure{{}, "the C library cannot convert UTF-8 to CP932"};
    }
    if (Outcome failure = to_changes(d, lines, to_cp932 ? &*to_cp932 : nullptr, changes[d])) return failure;
  }
  return std::nullopt;
}

}  // namespace ambergale
