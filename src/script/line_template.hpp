// An instruction line's template from the opcode file, split once into the
// literal runs between its placeholders, so that a line is written with a
// few fixed-size copies instead of a look at every byte of the template.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "script/opcodes.hpp"

namespace ambergale {

// Copies of a literal run are made kCopySlack bytes at a time: the runs are
// stored with that many spare bytes after them, and a writer needs that much
// room past what it keeps.
inline constexpr std::size_t kCopySlack = 16;

struct LineTemplate {
  struct Piece {
    std::uint32_t offset = 0;  // of the literal run in `literals`
    std::uint32_t length = 0;
    char placeholder = 0;      // the letter of the "@" placeholder after the run, or 0
  };
  std::string literals;      // the runs back to back, then kCopySlack spare bytes
  std::vector<Piece> pieces;
  std::size_t widest = 0;    // the most bytes the template can expand to
};

using LineTemplates = std::array<LineTemplate, kOpcodeCount>;

// Splits `format` (none: an empty template). "@" followed by anything but a
// placeholder letter is literal text.
LineTemplate compile_template(const std::optional<std::string>& format);

// The template of every opcode.
LineTemplates compile_templates(const OpcodeTable& opcodes);

// Writes the value of the placeholder "@" `letter` (one compile_template
// accepted) at `at` for the instruction whose first four bytes are `b`;
// returns the end of what it wrote (at most 5 characters).
char* put_placeholder(char* at, char letter, const std::uint8_t (&b)[4]);

}  // namespace ambergale
