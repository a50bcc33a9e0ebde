// The tags a translation keeps. A control does something other than show
// text, so each control of a msgid (code_units.hpp), with its arguments,
// stays in the translation, as often as the msgid has it and in any order:
// English reorders. The six names and the line breaks may move and change
// in number, since a translation reorders and rewraps. Other units without
// a character are no controls, and dictionary codes read as their entries'
// texts, which a translation replaces: neither is kept. A translation
// begins and ends with a line break where its msgid does, as msgfmt
// --check requires.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.hpp"

namespace ambergale {

// The controls of `text` (Shift-JIS, spelled as po_spelling.hpp says, line
// breaks as '\n'), each with its arguments as one tag, in order. A text that
// does not read as a line's text gives those before its fault: translations
// are refused where they are read.
std::vector<std::string> control_tags(std::string_view text);

// "keep these tags: <...> <...>", as refusals and the template say it.
std::string keep_these_tags(const std::vector<std::string>& tags);

// Nothing when `translation` keeps the tags of `source` (both spelled as for
// control_tags), in their order too when `strict_order`, and begins and ends
// with a line break where `source` does; else the reason alone.
Outcome check_tags(std::string_view source, std::string_view translation, bool strict_order);

// For the template's header (Shift-JIS, a line each): how a text is spelled,
// what is known of each control, and what a translation may move.
std::string tag_notes();

}  // namespace ambergale
