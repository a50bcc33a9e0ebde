// Reading the text of an edited line back into the pieces the dump writes:
// characters of the character table, the character names, "\n", hex runs of
// units without a character, and the escapes "<LLHH LLHH ...>" that name
// units directly (in the dump's byte order: <1700> is the unit 0x0017).
//
// The text is split into Shift-JIS characters first (a lead byte 81-9F or
// E0-FC takes the byte after it), so a trail byte never reads as an ASCII
// digit, '\', '(' or '<'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.hpp"

namespace ambergale {

// Whether `b` starts a Shift-JIS character of two bytes (81-9F, E0-FC).
bool is_lead_byte(unsigned char b);

struct TextPiece {
  enum class Kind { character, name, newline, hex_run, escape };
  Kind kind;
  std::size_t column;   // where it starts, in characters, 1-based
  std::string_view text;  // as written
  // character: every code whose character it is, in code order; name: 0019
  // and its argument; newline: 0012 and 0017 (which one is decided later);
  // hex run and escape: the units written.
  std::vector<std::uint16_t> units;
};

// What runs of the ASCII hex digits 0-9 A-F are in a text: units, as in an
// edited dump line, or characters, as in a catalogue's translation, which
// writes every unit as a tag and a line break (0012) as itself.
enum class HexRuns { units, characters };

// Splits `text` (a line after its identifier) into pieces. Refused, with the
// 1-based column in characters as the failure's column: a '\' not followed by
// 'n', a '(' that starts no name, a malformed escape, a hex run whose length
// is not a multiple of four, a unit the decoder never produces
// (0000-000F, 1000-FFFE), and a character the table does not hold.
Outcome parse_line_text(std::string_view text, HexRuns hex_runs, std::vector<TextPiece>& pieces);

// --fullwidth: `text` with each ASCII character the reader would not take
// written as its full-width counterpart (fullwidth.hpp). Kept as written:
// characters of two bytes, "\n", the six names, an escape from '<' to its
// '>', '-' and what has no counterpart (which the reader then refuses);
// with HexRuns::units, a run of hex digits as far as it reads as units,
// four digits at a time (1300 3B02 ...), the rest of the run being text.
std::string fullwidth_text(std::string_view text, HexRuns hex_runs);

}  // namespace ambergale
