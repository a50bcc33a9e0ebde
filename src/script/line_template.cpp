#include "script/line_template.hpp"

#include <string_view>

#include "text/hex.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kWidestPlaceholder = 5;  // @d: up to 65535

// Whether "@" and `letter` form a placeholder.
bool is_placeholder(char letter) {
  switch (letter) {
    case '0': case '1': case '2': case 'w': case 'd': case 'r': case 'v': case 'b': return true;
    default: return false;
  }
}

}  // namespace

LineTemplate compile_template(const std::optional<std::string>& format) {
  LineTemplate compiled;
  const std::string_view text = format ? std::string_view(*format) : std::string_view();
  LineTemplate::Piece piece;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '@' && i + 1 < text.size() && is_placeholder(text[i + 1])) {
      piece.placeholder = text[++i];
      compiled.pieces.push_back(piece);
      compiled.widest += piece.length + kWidestPlaceholder;
      piece = {static_cast<std::uint32_t>(compiled.literals.size()), 0, 0};
    } else {
      compiled.literals.push_back(text[i]);
      ++piece.length;
    }
  }
  if (piece.length > 0) {
    compiled.pieces.push_back(piece);
    compiled.widest += piece.length;
  }
  compiled.literals.append(kCopySlack, '\0');
  return compiled;
}

LineTemplates compile_templates(const OpcodeTable& opcodes) {
  LineTemplates templates;
  for (int op = 0; op < kOpcodeCount; ++op) templates[op] = compile_template(opcodes[op].format);
  return templates;
}

char* put_placeholder(char* at, char letter, const std::uint8_t (&b)[4]) {
  switch (letter) {
    case '0': put_hex2(at, b[1]); return at + 2;
    case '1': put_hex2(at, b[2]); return at + 2;
    case '2': put_hex2(at, b[3]); return at + 2;
    case 'w': put_hex2(at, b[2]); put_hex2(at + 2, b[1]); return at + 4;
    case 'd': return put_decimal(at, 256u * b[1] + b[2]);
    case 'r': put_hex2(at, b[0] & 0x0F); put_hex2(at + 2, b[1]); return at + 4;
    case 'v': put_hex2(at, b[2] & 0x0F); return at + 2;
    default: put_hex2(at, static_cast<std::uint8_t>(b[2] >> 4)); return at + 2;  // 'b'
  }
}

}  // namespace ambergale
