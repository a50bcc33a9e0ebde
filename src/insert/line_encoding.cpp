#include "insert/line_encoding.hpp"

#include "decode/byte_tree.hpp"
#include "encode/character_room.hpp"
#include "insert/line_units.hpp"
#include "text/text_parse.hpp"
#include "text/code_units.hpp"
#include "text/shown_character.hpp"

namespace ambergale {

namespace {

std::string window_refusal(const BitWindow& window, const encode::WindowFit& fit) {
  const encode::CharacterBits cost = encode::counting_cost(fit.characters, window.original);
  if (fit.shortest > window.most) {
    return window.what + "; the translation needs " + encode::characters_off(fit.shortest - window.most, encode::Miss::over, cost);
  }
  if (fit.longest < window.least) {
    return window.what + "; the translation needs " + encode::characters_off(window.least - fit.longest, encode::Miss::short_of, cost);
  }
  return window.what + ", " + std::to_string(window.least) + " to " + std::to_string(window.most) +
         " bits; no way of writing the translation takes a number of bits in between: " + encode::change_a_character(cost);
}

}  // namespace

namespace {

// The units the text means, read against the original.
Outcome read_units(const LineCoding& coding, const LineRequest& request, std::vector<TextPiece>& pieces, EncodedLine& out) {
  if (Outcome failure = parse_line_text(request.text, HexRuns::units, pieces)) return failure;
  const encode::MessageCoder& choosing = coding.choosing ? *coding.choosing : coding.coder;
  const ReadingRules rules{[&](std::uint16_t u) { return encode::unit_bits(choosing, u) > 0; }, coding.newline};
  LineUnits read;
  if (Outcome failure = line_units(pieces, {request.original, coding.dictionaries.original}, rules, read)) return failure;
  out.literal = std::move(read.units);
  out.columns = std::move(read.columns);
  return std::nullopt;
}

Outcome encode_units(const LineCoding& coding, const LineRequest& request, EncodedLine& out) {
  std::size_t unencodable = 0;
  if (!encode::encode_message(coding.coder, out.literal, out.encoded, unencodable)) {
    const std::size_t column = unencodable < out.columns.size() ? out.columns[unencodable] : 0;
    const std::uint16_t unit = unencodable < out.literal.size() ? out.literal[unencodable] : kEndCode;
    return Failure::at({}, 0, column, shown_unit(unit) + " has no code in the " + std::string(coding.trees) +
                                          ": the game cannot write it in this kind of text");
  }
  if (const BitWindow* window = request.window) {
    const encode::WindowFit fit =
        encode::encode_in_window(coding.coder, out.literal, window->least, window->most, window->near, out.encoded);
    if (!fit.found) return Failure{{}, window_refusal(*window, fit)};
  }
  // The decoder keeps at most kCodeStreamCap bytes of a message's units.
  if (const std::size_t most = kCodeStreamCap / 2; out.encoded.units.size() > most) {
    return Failure{{}, "the text takes " + std::to_string(out.encoded.units.size() - 1) + " units; a message holds at most " +
                           std::to_string(most - 1) + " before its end code"};
  }
  return std::nullopt;
}

}  // namespace

Outcome encode_line(const LineCoding& coding, const LineRequest& request, EncodedLine& out) {
  std::vector<TextPiece> pieces;
  if (Outcome failure = read_units(coding, request, pieces, out)) return failure;
  if (Outcome failure = encode_units(coding, request, out)) return failure;
  // The new bits must read back as the line says, its escapes written as
  // the dump writes them.
  std::string as_written;
  for (const TextPiece& piece : pieces) {
    as_written += piece.kind == TextPiece::Kind::escape ? rendered(piece.units, coding.dictionaries.written) : std::string(piece.text);
  }
  out.read_back = rendered(out.encoded.units, coding.dictionaries.written);
  if (out.read_back != as_written) {
    return Failure{{}, "the text would not read back as written (a control takes the units after it, "
                       "or a unit is written otherwise by the dump)"};
  }
  return std::nullopt;
}

Outcome read_line_units(const LineCoding& coding, const LineRequest& request, EncodedLine& out) {
  std::vector<TextPiece> pieces;
  return read_units(coding, request, pieces, out);
}

}  // namespace ambergale
