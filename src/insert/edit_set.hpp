// The edits a user made: each edited dump matched line by line with the dump
// of the image. A line equal to its original is unchanged and is never
// looked at again; only the changed ones are collected.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dump/changes.hpp"
#include "dump/dump_run.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// The lines of a dump's text without their line ends: a line ends at LF, a
// CR right before it belongs to the line end, and a last line needs no LF.
std::vector<std::string_view> split_lines(std::string_view text);

// What names a line of each dump: the text up to its first ':' (word lists by
// group and entry, the dictionary by code) or ']' (the sequential block by
// address); the lines of messcript.txt are named by their place alone.
std::string_view line_identifier(std::string_view dump_name, std::string_view line);

// `dump` with the given lines (1-based) replaced, CR LF after each line.
std::string with_lines(std::string_view dump, const std::vector<std::pair<std::size_t, std::string>>& replaced);

// The numbers (1-based) of the lines where two texts differ, up to the
// shorter one's end.
std::vector<std::size_t> different_lines(std::string_view a, std::string_view b);

struct ChangedLine {
  std::size_t number = 0;     // 1-based
  std::string_view original;  // as the dump of the image has it
  std::string_view edited;
};

// Matches the edited text of the dump `name` with its original. Refused,
// naming FILE or FILE:LINE: a different number of lines (with the first line
// out of place), a changed identifier, a NUL byte in a changed line.
Outcome match_dump(const std::string& name, std::string_view original, std::string_view edited,
                   std::vector<ChangedLine>& changed);

// The changes edited dumps hold: each matched with the image's own dump
// (`original`, in run order, in `encoding`); a dump left out is unchanged.
// The changed lines of UTF-8 dumps are converted to the Shift-JIS the dump
// converted from. Refused as match_dump refuses, and a changed line that is
// not UTF-8 or holds a character Shift-JIS lacks.
Outcome changes_from_dumps(const std::array<std::string, 4>& original,
                           const std::array<std::optional<std::string>, 4>& edited, Encoding encoding, ChangeSet& changes);

}  // namespace ambergale
