#include "script/disassembler.hpp"

#include <algorithm>
#include <cstring>

#include "decode/byte_tree.hpp"
#include "text/hex.hpp"
#include "text/render.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kPaddedBytes = 5;  // the byte column is as wide as five bytes

int byte_at(std::span<const std::uint8_t> bytes, std::int64_t index) {
  return index >= 0 && static_cast<std::uint64_t>(index) < bytes.size() ? bytes[index] : 0;
}

std::span<const std::uint8_t> from(std::span<const std::uint8_t> bytes, std::int64_t index) {
  return static_cast<std::uint64_t>(index) < bytes.size() ? bytes.subspan(index) : std::span<const std::uint8_t>();
}

// How many embedded messages follow a text-carrying opcode, and how many bytes
// its line shows; 0 messages for any other opcode.
struct TextOpcode {
  int shown;
  int messages;
};

TextOpcode text_opcode(int op) {
  switch (op) {
    case 0x58:
    case 0x5D:
    case 0x5E: return {1, 1};
    case 0x7A: return {2, 2};
    case 0x7B: return {2, 6};
    default: return {0, 0};
  }
}

// Decodes the message at `position`, writes its line, and returns the number
// of script bytes it occupied (at least 1).
std::int64_t write_message(TextOutput& out, std::span<const std::uint8_t> script, int length,
                           std::int64_t position, const ListingTables& tables, CodeBuffer& codes) {
  const TextDecode message =
      decode_text(tables.text_trees, from(script, position), static_cast<std::int32_t>(length - position), codes);
  render_codes(codes, message.written, tables.dictionary, out.line_text());
  out.end_line();
  return message.consumed;
}

}  // namespace

void write_op_line(TextBuffer& out, std::span<const std::uint8_t> op, int position, int shown,
                   int flags, const LineTemplate& line) {
  static constexpr char kSpaces[kCopySlack + 1] = "                ";
  static constexpr char kDashes[kCopySlack + 1] = "----------------";
  std::uint8_t b[4] = {0, 0, 0, 0};
  if (op.size() >= 4) {
    std::memcpy(b, op.data(), 4);
  } else {
    std::copy_n(op.begin(), op.size(), b);
  }
  const std::size_t bytes = static_cast<std::size_t>(std::max(shown, 0));
  const std::size_t padding = bytes < kPaddedBytes ? (kPaddedBytes - bytes) * 3 : 0;  // at most 15
  // The line is written in place into room for its longest form: the offset
  // (at most 8 digits), the bytes, the padding and the widest template, with
  // room for the fixed-size copies to overrun.
  char* p = put_hex(out.room(9 + 3 * bytes + kCopySlack + line.widest + kCopySlack),
                    static_cast<std::uint32_t>(position), 4);
  *p++ = ' ';
  const std::size_t present = std::min(bytes, op.size());
  for (std::size_t i = 0; i < present; ++i, p += 3) {
    put_hex2(p, op[i]);
    p[2] = ' ';
  }
  for (std::size_t i = present; i < bytes; ++i, p += 3) std::memcpy(p, "00 ", 3);
  std::memcpy(p, (flags & kFlagDashes) ? kDashes : kSpaces, kCopySlack);
  p += padding;
  for (const LineTemplate::Piece& piece : line.pieces) {
    const char* literal = line.literals.data() + piece.offset;
    if (piece.length <= kCopySlack) {
      std::memcpy(p, literal, kCopySlack);
    } else {
      std::memcpy(p, literal, piece.length);
    }
    p += piece.length;
    if (piece.placeholder != 0) p = put_placeholder(p, piece.placeholder, b);
  }
  out.commit(p);
}

void disassemble_script(TextOutput& out, std::span<const std::uint8_t> script, int length,
                        const ListingTables& tables) {
  CodeBuffer codes;
  std::int64_t position = 0;
  while (position < length && out.ok()) {
    const int op = byte_at(script, position);
    const OpcodeDef& def = tables.opcodes[op];
    const TextOpcode text = text_opcode(op);
    if ((def.flags & kFlagText) && text.messages > 0) {
      write_op_line(out.line_text(), from(script, position), static_cast<int>(position), text.shown, 0,
                    tables.templates[op]);
      out.end_line();
      position += text.shown;
      for (int m = 0; m < text.messages; ++m) position += write_message(out, script, length, position, tables, codes);
    } else {
      // Any other opcode, flag bit 0 or not, is an ordinary instruction.
      const int shown = def.operand_bytes + 1;
      write_op_line(out.line_text(), from(script, position), static_cast<int>(position), shown, def.flags,
                    tables.templates[op]);
      out.end_line();
      position += shown;
    }
  }
}

}  // namespace ambergale
