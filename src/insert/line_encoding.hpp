// One changed line made into bits: its text read into pieces and units
// against the original message, encoded by the shortest parse, and checked
// to read back exactly as written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encode/message_encoder.hpp"
#include "platform/failure.hpp"
#include "text/dictionary.hpp"

namespace ambergale {

struct EncodedLine {
  std::vector<std::uint16_t> literal;  // the units the text means, without the end code
  std::vector<std::size_t> columns;    // the column of each literal unit
  encode::EncodedMessage encoded;
  std::string read_back;  // the text as the dump will write it
};

// The dictionaries a line is read and written with: the one the original
// dump showed, and the one the new image holds (the same unless the run
// edits the dictionary too).
struct LineDictionaries {
  const Dictionary& original;
  const Dictionary& written;
};

// The bits a message that keeps its length may take: a total in
// [least, most], nearest to `near` (the original's). `what` names the
// message and its bytes in a refusal ("[FB:8A10] takes 23 bytes"), which
// counts characters as the original's when the new text has none.
struct BitWindow {
  std::size_t least = 0;
  std::size_t most = 0;
  std::size_t near = 0;
  std::string what;
  encode::CharacterBits original = {};
};

// How lines are written: the dictionaries they are read and written with,
// the coder that writes them, whose trees `trees` names in a refusal, and
// the code of a new "\n" (0 for the original's). A character with several
// codes takes the lowest that `choosing` writes (the writing coder when
// null): tables chosen for the new text keep the codes their choice counted.
struct LineCoding {
  LineDictionaries dictionaries;
  const encode::MessageCoder& coder;
  std::uint16_t newline = 0;
  std::string_view trees;
  const encode::MessageCoder* choosing = nullptr;
};

// One line to encode: its text after its identifier, the units the image
// holds for it, and the bits it must take when it keeps its length.
struct LineRequest {
  std::string_view text;
  std::span<const std::uint16_t> original;
  const BitWindow* window = nullptr;
};

// Reads the request's text against its original units and encodes it.
// With a window, the encoding is the parse that takes bits in it rather
// than the shortest. Refused, with the column when there is one: text that
// does not parse or cannot be read into units, a unit the trees cannot
// write, no parse in the window (with the characters and bits the text
// has too many or too few), and text that would not read back as written.
Outcome encode_line(const LineCoding& coding, const LineRequest& request, EncodedLine& out);

// encode_line's first step alone: the literal units of the request's text
// and their columns, read against its original.
Outcome read_line_units(const LineCoding& coding, const LineRequest& request, EncodedLine& out);

}  // namespace ambergale
