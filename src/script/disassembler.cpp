#include "script/disassembler.hpp"

#include <algorithm>
#include <cstring>

#include "decode/byte_tree.hpp"
#include "text/hex.hpp"
#include "text/render.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kPaddedBytes = 5;  // the byte column is as wide as five bytes

std::span<const std::uint8_t> from(std::span<const std::uint8_t> bytes, std::int64_t index) {
  return static_cast<std::uint64_t>(index) < bytes.size() ? bytes.subspan(index) : std::span<const std::uint8_t>();
}

// Decodes the message at `position`, writes its line, and returns the number
// of script bytes it occupied (at least 1).
std::int64_t write_message(TextOutput& out, std::span<const std::uint8_t> script, int length,
                           std::int64_t position, const ListingTables& tables, CodeBuffer& codes) {
  const TextDecode message = decode_embedded(script, length, position, tables.text_trees, codes);
  render_codes(codes, message.written, tables.dictionary, out.line_text());
  out.end_line();
  return message.consumed;
}

}  // namespace

TextDecode decode_embedded(std::span<const std::uint8_t> script, int length, std::int64_t position,
                           const TreePair& text_trees, CodeBuffer& codes) {
  return decode_text(text_trees, from(script, position), static_cast<std::int32_t>(length - position), codes);
}

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
  class Listing {
   public:
    Listing(TextOutput& out, std::span<const std::uint8_t> script, int length, const ListingTables& tables)
        : out(out), script(script), length(length), tables(tables) {}
    bool ok() const { return out.ok(); }
    void instruction(std::int64_t position, int op, int shown, int flags) {
      write_op_line(out.line_text(), from(script, position), static_cast<int>(position), shown, flags, tables.templates[op]);
      out.end_line();
    }
    std::int64_t message(std::int64_t position, int) { return write_message(out, script, length, position, tables, codes); }

   private:
    TextOutput& out;
    std::span<const std::uint8_t> script;
    int length;
    const ListingTables& tables;
    CodeBuffer codes;  // written before it is read
  };
  Listing listing(out, script, length, tables);
  walk_script(script, length, tables.opcodes, listing);
}

}  // namespace ambergale
