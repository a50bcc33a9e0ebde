// How messages show the user a character of an edited text: as written,
// in UTF-8 (the console's and the catalogue's encoding, whatever the
// dumps'), with its Unicode value, so that a character the user cannot
// see or tell apart (a space, a dash) can still be found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ambergale {

// The Unicode value of `character`, one Shift-JIS (CP932) character of one
// or two bytes; nothing when the bytes are no such character.
std::optional<char32_t> unicode_of(std::string_view character);

// "'♪' (U+266A)": the character `value` between quotes, then its value; a
// control character (U+0000-001F, U+007F) by its value alone.
std::string shown_character(char32_t value);

// "the bytes 85 40 are no Shift-JIS character", for bytes unicode_of
// cannot read.
std::string no_character(std::string_view bytes);

// Why UTF-8 text did not convert to Shift-JIS at byte `at`, to follow
// "byte N": "starts '😀' (U+1F600), which Shift-JIS does not have", or
// "is not UTF-8".
std::string not_converted(std::string_view utf8, std::size_t at);

// A unit as a refusal names it: its character from the table, shown as
// above, or its escape "<1000>" (so are the two line breaks, which "\n"
// does not tell apart).
std::string shown_unit(std::uint16_t unit);

}  // namespace ambergale
