// Lists a decoded event script instruction by instruction.
//
// Each instruction gives one line: its offset, its bytes, padding up to five
// bytes' width, and its template from the opcode table with the placeholders
// filled in. The five text-carrying opcodes (0x58, 0x5D, 0x5E with one
// embedded message, 0x7A with two, 0x7B with six), when their definition has
// flag bit 0, are followed by their messages, decoded and rendered, one line
// each.
//
// Placeholders, bytes 1..3 being the bytes after the opcode byte 0:
//   @0 @1 @2  byte 1, 2, 3 as %02X      @w  byte 1 + 256 * byte 2 as %04X
//   @d  256 * byte 1 + byte 2 as %d      @r  (byte 0 & 0x0F) * 256 + byte 1 as %04X
//   @v  byte 2 & 0x0F as %02X            @b  byte 2 >> 4 as %02X
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "decode/byte_tree.hpp"
#include "script/line_template.hpp"
#include "script/opcodes.hpp"
#include "text/text_output.hpp"

namespace ambergale {

// What a listing needs of the start-up tables.
struct ListingTables {
  const TreePair& text_trees;
  std::span<const std::string_view> dictionary;  // rendered entries
  const OpcodeTable& opcodes;
  const LineTemplates& templates;  // compiled from the opcodes' templates
};

// How many embedded messages follow a text-carrying opcode, and how many bytes
// its line shows; 0 messages for any other opcode.
struct TextOpcode {
  int shown;
  int messages;
};
TextOpcode text_opcode(int op);

// Whether the instructions of `op`, defined by `def`, carry embedded
// messages: a text-carrying opcode whose definition has flag bit 0.
inline bool carries_messages(int op, const OpcodeDef& def) {
  return (def.flags & kFlagText) && text_opcode(op).messages > 0;
}

// Decodes the embedded message at `position` of a script of `length` bytes:
// its limit is the rest of the script, and the listing moves on by its
// consumed length.
TextDecode decode_embedded(std::span<const std::uint8_t> script, int length, std::int64_t position,
                           const TreePair& text_trees, CodeBuffer& codes);

// The byte at `index` of a script, zero past its end.
inline int script_byte(std::span<const std::uint8_t> bytes, std::int64_t index) {
  return index >= 0 && static_cast<std::uint64_t>(index) < bytes.size() ? bytes[index] : 0;
}

// Walks a script line by line as its listing does, for `visitor`:
//   ok()                                  whether to go on
//   instruction(position, op, shown, flags)  an instruction line (flags 0 for a text opcode's)
//   message(position, m)                  the m-th message after a text opcode; returns its consumed length
template <class Visitor>
void walk_script(std::span<const std::uint8_t> script, int length, const OpcodeTable& opcodes, Visitor& visitor) {
  std::int64_t position = 0;
  while (position < length && visitor.ok()) {
    const int op = script_byte(script, position);
    const OpcodeDef& def = opcodes[op];
    if (carries_messages(op, def)) {
      const TextOpcode text = text_opcode(op);
      visitor.instruction(position, op, text.shown, 0);
      position += text.shown;
      for (int m = 0; m < text.messages; ++m) position += visitor.message(position, m);
    } else {
      // Any other opcode, flag bit 0 or not, is an ordinary instruction.
      const int shown = def.operand_bytes + 1;
      visitor.instruction(position, op, shown, def.flags);
      position += shown;
    }
  }
}

// Writes the lines of the script held in the first `length` bytes of
// `script` to `out`, stopping early when `out` fails. Bytes past `length`
// that instructions, placeholders or messages reach are read from `script`
// as it stands; past its end they are zero.
void disassemble_script(TextOutput& out, std::span<const std::uint8_t> script, int length,
                        const ListingTables& tables);

// Appends the text of one instruction line (without its line end) for the
// `shown` bytes at the start of `op` (the script from the instruction on), at
// offset `position`, with the template `line`. Only bit 1 of `flags` is used.
void write_op_line(TextBuffer& out, std::span<const std::uint8_t> op, int position, int shown,
                   int flags, const LineTemplate& line);

}  // namespace ambergale
