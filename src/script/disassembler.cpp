#include "script/disassembler.hpp"

#include <algorithm>

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

// Expands the placeholder `letter` for the instruction `op`; false when "@"
// and `letter` are no placeholder.
bool append_placeholder(std::string& out, char letter, std::span<const std::uint8_t> op) {
  const std::uint32_t b0 = byte_at(op, 0), b1 = byte_at(op, 1), b2 = byte_at(op, 2), b3 = byte_at(op, 3);
  char text[4];
  switch (letter) {
    case '0': put_hex2(text, static_cast<std::uint8_t>(b1)); break;
    case '1': put_hex2(text, static_cast<std::uint8_t>(b2)); break;
    case '2': put_hex2(text, static_cast<std::uint8_t>(b3)); break;
    case 'v': put_hex2(text, static_cast<std::uint8_t>(b2 & 0x0F)); break;
    case 'b': put_hex2(text, static_cast<std::uint8_t>(b2 >> 4)); break;
    case 'w':
      put_hex2(text, static_cast<std::uint8_t>(b2));
      put_hex2(text + 2, static_cast<std::uint8_t>(b1));
      out.append(text, 4);
      return true;
    case 'r':
      put_hex2(text, static_cast<std::uint8_t>(b0 & 0x0F));
      put_hex2(text + 2, static_cast<std::uint8_t>(b1));
      out.append(text, 4);
      return true;
    case 'd': append_decimal(out, 256 * b1 + b2); return true;
    default: return false;
  }
  out.append(text, 2);
  return true;
}

// Decodes the message at `position`, appends its text and a line end, and
// returns the number of script bytes it occupied (at least 1).
std::int64_t write_message(std::string& out, std::span<const std::uint8_t> script, int length,
                           std::int64_t position, const Tables& tables, CodeBuffer& codes) {
  std::int32_t limit = static_cast<std::int32_t>(length - position);
  const int size = decode_text(tables.text_trees, from(script, position), limit, codes);
  render_codes(codes, size, tables.dictionary.text, out);
  out.push_back('\n');
  return limit;
}

}  // namespace

void write_op_line(std::string& out, std::span<const std::uint8_t> op, int position, int shown,
                   int flags, const std::optional<std::string>& format) {
  append_hex(out, static_cast<std::uint32_t>(position), 4);
  // The bytes and the padding, written in place: " ", "XX " per byte, then
  // three padding characters per byte short of five.
  const std::size_t bytes = static_cast<std::size_t>(std::max(shown, 0));
  const std::size_t padding = bytes < kPaddedBytes ? (kPaddedBytes - bytes) * 3 : 0;
  const std::size_t at = out.size();
  out.resize(at + 1 + 3 * bytes + padding, (flags & kFlagDashes) ? '-' : ' ');
  char* text = out.data() + at;
  *text++ = ' ';
  for (std::size_t i = 0; i < bytes; ++i, text += 3) {
    put_hex2(text, i < op.size() ? op[i] : std::uint8_t{0});
    text[2] = ' ';
  }
  if (format) {
    const std::string_view text_format = *format;
    std::size_t i = 0;
    while (i < text_format.size()) {
      const std::size_t mark = text_format.find('@', i);
      const std::size_t end = mark == std::string_view::npos ? text_format.size() : mark;
      out.append(text_format.substr(i, end - i));
      if (end == text_format.size()) break;
      if (end + 1 < text_format.size() && append_placeholder(out, text_format[end + 1], op)) {
        i = end + 2;
      } else {
        out.push_back('@');
        i = end + 1;
      }
    }
  }
  out.push_back('\n');
}

void disassemble_script(std::string& out, std::span<const std::uint8_t> script, int length,
                        const Tables& tables) {
  CodeBuffer codes;
  std::int64_t position = 0;
  while (position < length) {
    const int op = byte_at(script, position);
    const OpcodeDef& def = tables.opcodes[op];
    const TextOpcode text = text_opcode(op);
    if ((def.flags & kFlagText) && text.messages > 0) {
      write_op_line(out, from(script, position), static_cast<int>(position), text.shown, 0, def.format);
      position += text.shown;
      for (int m = 0; m < text.messages; ++m) position += write_message(out, script, length, position, tables, codes);
    } else {
      // Any other opcode, flag bit 0 or not, is an ordinary instruction.
      const int shown = def.operand_bytes + 1;
      write_op_line(out, from(script, position), static_cast<int>(position), shown, def.flags, def.format);
      position += shown;
    }
  }
}

}  // namespace ambergale
