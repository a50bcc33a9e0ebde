// Turns a CodeStream into Shift-JIS text.
//
// Every unit becomes a character of the character table, a character name,
// a dictionary text, or, when it has no text, its hex form; only the end code
// FFFF renders as nothing, and the units after it are rendered too.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "text/code_units.hpp"
#include "text/text_buffer.hpp"

namespace ambergale {

// Appends the rendering of the first `length` bytes of `stream` to `out` and
// returns the number of bytes appended. Dictionary code c renders as
// dictionary[c - 0x0410]; a code past the end of `dictionary` has no text yet
// and takes the hex form. Nothing past `length` (or the stream) is read: a
// control whose further units lie beyond it writes the hex form of only the
// units present, and a lone final byte is written as two hex digits.
int render_codes(std::span<const std::uint8_t> stream, std::int32_t length,
                 std::span<const std::string_view> dictionary, TextBuffer& out);

}  // namespace ambergale
