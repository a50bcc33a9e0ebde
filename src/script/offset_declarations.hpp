// Operands that hold offsets into their own script, as the user declares
// them in the opcode file: a column from 5 on of a data line (the listing
// reads none of them) holding
//
//   offsets=OPERAND[ OPERAND...]
//
// where OPERAND names operand bytes as the line templates do: @0, @1 or @2 one
// byte (bytes 1, 2, 3 after the opcode byte), @w the little-endian word of
// bytes 1-2, @d the big-endian one. Bare, the offset counts from the
// script's first byte; with "+" before it ("+@0"), it is signed (two's
// complement) and counts from the instruction's end.
//
// Nothing in the opcode file says which operands are offsets, so a script
// whose messages change length is only as safe as these declarations are
// complete.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.hpp"
#include "script/opcodes.hpp"

namespace ambergale {

enum class OffsetField { byte0, byte1, byte2, word_le, word_be };

struct OffsetOperand {
  OffsetField field = OffsetField::byte0;
  bool relative = false;  // from the instruction's end, signed

  bool operator==(const OffsetOperand&) const = default;
};

// The operand bytes a field covers: the first (1..3, byte 0 being the
// opcode) and how many.
struct FieldBytes {
  int first;
  int width;
};
FieldBytes field_bytes(OffsetField field);

// The OPERAND that declares `operand`, as the opcode file writes it ("+@0").
std::string operand_text(OffsetOperand operand);

// The declared offset operands of each opcode, in the order written.
using OffsetTable = std::array<std::vector<OffsetOperand>, kOpcodeCount>;

// Reads the declarations of an opcode file's `contents`, whose data lines
// `opcodes` holds as parse_opcodes read them; the lines are read as it reads
// them, each split at every TAB. OPERANDs stand between one or more spaces; a
// column from 5 on that does not start "offsets=" is ignored. Refused,
// naming the line and the column in characters of the "offsets=" or the
// OPERAND (the file is left for the caller to name): an "offsets=" with no OPERAND
// or one that is none of the above, two "offsets=" columns on one line, two
// OPERANDs that share a byte, a OPERAND past the instruction's operand bytes, and
// a declaration on an opcode that carries embedded messages.
Outcome parse_offset_declarations(std::string_view contents, const OpcodeTable& opcodes, OffsetTable& offsets);

}  // namespace ambergale
