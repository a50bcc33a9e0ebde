#include "insert/edit_set.hpp"

#include <algorithm>

#include "dump/dump_lines.hpp"
#include "dump/dumps.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "text/shown_character.hpp"
#include "text/text_parse.hpp"

namespace ambergale {

namespace {

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
      return Failure::at(name, number, 0, "the line starts " + shown(name, after) + ", the dump has " + std::string(id) +
                                              " here; what names the line cannot change");
    }
    if (const std::size_t nul = after.find('\0'); nul != std::string_view::npos) {
      if (Outcome failure = count_mismatch(name, original, edited)) return failure;
      return Failure::at(name, number, nul + 1, "a NUL byte");
    }
    changed.push_back({number, before, after});
  }
  if (a < original.size() || b < edited.size()) return count_mismatch(name, original, edited);
  return std::nullopt;
}

namespace {

// The changed lines of one dump as changes, converted to Shift-JIS from
// UTF-8, the ASCII of their texts written full-width with `fullwidth`.
Outcome to_changes(std::size_t dump, const std::vector<ChangedLine>& lines, const Utf8ToCp932* to_cp932, bool fullwidth,
                   std::vector<Change>& changes) {
  const std::string name = kDumpFiles[dump].name;
  for (const ChangedLine& line : lines) {
    Change change{dump, line.number, line.original, std::string(line.edited), {name, line.number, dump, {}}};
    std::size_t bad_at = 0;
    if (to_cp932 && !to_cp932->convert(line.edited, change.edited, bad_at)) {
      return Failure::at(name, line.number, 0, "byte " + std::to_string(bad_at + 1) + " " + not_converted(line.edited, bad_at));
    }
    if (fullwidth) {
      const std::size_t text = line_identifier(name, line.original).size();
      change.edited = change.edited.substr(0, text) + fullwidth_text(std::string_view(change.edited).substr(text), HexRuns::units);
    }
    changes.push_back(std::move(change));
  }
  return std::nullopt;
}

}  // namespace

Outcome changes_from_dumps(const std::array<std::string, 4>& original,
                           const std::array<std::optional<std::string>, 4>& edited, Encoding encoding, ChangeSet& changes,
                           bool fullwidth) {
  std::optional<Utf8ToCp932> to_cp932;
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (!edited[d]) continue;
    std::vector<ChangedLine> lines;
    if (Outcome failure = match_dump(kDumpFiles[d].name, original[d], *edited[d], lines)) return failure;
    if (encoding == Encoding::utf8 && !lines.empty() && !to_cp932) {
      to_cp932.emplace();
      if (!to_cp932->available()) return Failure{{}, "the C library cannot convert UTF-8 to CP932"};
    }
    if (Outcome failure = to_changes(d, lines, to_cp932 ? &*to_cp932 : nullptr, fullwidth, changes[d])) return failure;
  }
  return std::nullopt;
}

}  // namespace ambergale
