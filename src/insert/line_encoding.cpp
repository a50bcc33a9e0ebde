#include "insert/line_encoding.hpp"

#include "decode/byte_tree.hpp"
#include "insert/line_units.hpp"
#include "insert/text_parse.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

std::string window_refusal(const BitWindow& window, const encode::WindowFit& fit) {
  const auto bytes = [](std::size_t bits) { return std::to_string((bits + 7) / 8); };
  const std::string needs = "; the new text needs " + bytes(fit.shortest) + " to " + bytes(fit.longest) + " bytes (" +
                            std::to_string(fit.shortest) + " to " + std::to_string(fit.longest) + " bits), the slot " +
                            std::to_string(window.least) + " to " + std::to_string(window.most) + " bits: ";
  if (fit.shortest > window.most) {
    return window.what + needs + std::to_string(fit.shortest - window.most) + " bits too long in its shortest form";
  }
  if (fit.longest < window.least) {
    return window.what + needs + std::to_string(window.least - fit.longest) + " bits too short in its longest form";
  }
  return window.what + needs + "no way of writing it takes a number of bits in the slot";
}

}  // namespace

Outcome encode_line(const std::string& where, std::string_view text, std::span<const std::uint16_t> original,
                    LineDictionaries dictionaries, const encode::MessageCoder& coder, std::uint16_t newline,
                    std::string_view trees, EncodedLine& out, const BitWindow* window) {
  std::vector<TextPiece> pieces;
  if (Outcome failure = parse_line_text(text, pieces)) return Failure{where + ":" + failure->file, failure->reason};
  const ReadingRules rules{[&](std::uint16_t u) { return encode::unit_bits(coder, u) > 0; }, newline};
  if (Outcome failure = line_units(pieces, original, dictionaries.original, rules, out.literal, out.columns)) {
    return Failure{where + ":" + failure->file, failure->reason};
  }
  std::size_t unencodable = 0;
  if (!encode::encode_message(coder, out.literal, out.encoded, unencodable)) {
    const std::string column = unencodable < out.columns.size() ? ":" + std::to_string(out.columns[unencodable]) : "";
    const std::uint16_t unit = unencodable < out.literal.size() ? out.literal[unencodable] : kEndCode;
    return Failure{where + column, "code " + hex_text(unit, 4) + " has no code in the " + std::string(trees)};
  }
  if (window) {
    const encode::WindowFit fit =
        encode::encode_in_window(coder, out.literal, window->least, window->most, window->near, out.encoded);
    if (!fit.found) return Failure{where, window_refusal(*window, fit)};
  }
  // The decoder keeps at most kCodeStreamCap bytes of a message's units.
  if (const std::size_t most = kCodeStreamCap / 2; out.encoded.units.size() > most) {
    return Failure{where, "the text takes " + std::to_string(out.encoded.units.size() - 1) + " units; a message holds at most " +
                              std::to_string(most - 1) + " before its end code"};
  }
  // The new bits must read back as the line says, its escapes written as
  // the dump writes them.
  std::string as_written;
  for (const TextPiece& piece : pieces) {
    as_written += piece.kind == TextPiece::Kind::escape ? rendered(piece.units, dictionaries.written) : std::string(piece.text);
  }
  out.read_back = rendered(out.encoded.units, dictionaries.written);
  if (out.read_back != as_written) {
    return Failure{where, "the text would not read back as written (a control takes the units after it, "
                          "or a unit is written otherwise by the dump)"};
  }
  return std::nullopt;
}

}  // namespace ambergale
