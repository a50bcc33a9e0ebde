// The lines of the dumps: how a dump's text splits into lines, what names
// each line, and a dump with some of its lines replaced.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ambergale {

// The line at `at` of `text`, without its line end; `at` moves past the
// line end.
std::string_view take_line(std::string_view text, std::size_t& at);

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

}  // namespace ambergale
