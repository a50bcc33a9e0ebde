// The changes edited dumps hold: each edited dump matched line by line with
// the dump of the image. A line equal to its original is unchanged and is
// never looked at again; only the changed ones are collected.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dump/changes.hpp"
#include "dump/dump_lines.hpp"
#include "dump/dump_run.hpp"
#include "platform/failure.hpp"

namespace ambergale {

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
// not UTF-8 or holds a character Shift-JIS lacks. With `fullwidth`
// (--fullwidth), the ASCII of each changed line's text is then written
// full-width (fullwidth_text, hex runs read as units).
Outcome changes_from_dumps(const std::array<std::string, 4>& original,
                           const std::array<std::optional<std::string>, 4>& edited, Encoding encoding, ChangeSet& changes,
                           bool fullwidth = false);

}  // namespace ambergale
