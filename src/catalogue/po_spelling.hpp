// How a translation catalogue spells a message: one unambiguous form for
// everything that is not a character. Characters and the six names read as
// the dump writes them; the line break 0012 is a line break; every other
// unit without a character, 0017 and every control with its arguments
// among them, is a tag "<LLHH ...>", the escape the inserter reads in
// edited dump lines (units in the dump's byte order: <1700> is 0x0017).
// Dictionary codes read as the entries' texts, as in the dumps.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/dictionary.hpp"

namespace ambergale {

// Appends the spelling of `units` (Shift-JIS; end codes show nothing) to `out`.
void append_po_spelling(std::span<const std::uint16_t> units, const Dictionary& dictionary, std::string& out);

// The tag "<LLHH ...>" of `units`.
std::string po_tag(std::span<const std::uint16_t> units);

// A translation (Shift-JIS) as the text of an edited dump line: each line
// break becomes the tag of 0012, so that it never reads as 0017.
std::string dump_line_text(std::string_view translation);

}  // namespace ambergale
