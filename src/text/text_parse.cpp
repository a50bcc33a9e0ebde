#include "text/text_parse.hpp"

#include <map>
#include <string>

#include "text/char_table.hpp"
#include "text/code_units.hpp"

namespace ambergale {

namespace {

constexpr std::string_view kNewline = "\\n";

// The codes of each character text, in code order; the newline escape is
// a piece of its own and is left out.
const std::map<std::string_view, std::vector<std::uint16_t>>& codes_by_text() {
  static const std::map<std::string_view, std::vector<std::uint16_t>> table = [] {
    std::map<std::string_view, std::vector<std::uint16_t>> codes;
    for (int c = 0; c < kCharTableSize; ++c) {
      if (!kCharTable[c].empty() && kCharTable[c] != kNewline) codes[kCharTable[c]].push_back(static_cast<std::uint16_t>(c));
    }
    return codes;
  }();
  return table;
}

bool is_lead_byte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

int hex_value(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// The unit "LLHH" stands for: low byte first.
std::uint16_t unit_of(std::string_view four) {
  const int low = hex_value(four[0]) * 16 + hex_value(four[1]);
  const int high = hex_value(four[2]) * 16 + hex_value(four[3]);
  return static_cast<std::uint16_t>(high << 8 | low);
}

Failure at_column(std::size_t column, std::string reason) { return Failure::at({}, 0, column, std::move(reason)); }

}  // namespace

Outcome parse_line_text(std::string_view text, std::vector<TextPiece>& pieces) {
  std::size_t column = 1;
  for (std::size_t at = 0; at < text.size(); ++column) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (is_lead_byte(byte)) {
      const std::string_view character = text.substr(at, 2);
      const auto found = codes_by_text().find(character);
      if (character.size() < 2 || found == codes_by_text().end()) {
        return at_column(column, "this character is not in the character table");
      }
      pieces.push_back({TextPiece::Kind::character, column, character, found->second});
      at += 2;
      continue;
    }
    if (text.substr(at, 2) == kNewline) {
      pieces.push_back({TextPiece::Kind::newline, column, text.substr(at, 2), {kLineBreak, kOtherLineBreak}});
      at += 2;
      ++column;
      continue;
    }
    if (byte == '\\') return at_column(column, "a '\\' not followed by 'n' (a line break is written \\n)");
    if (byte == '(') {
      bool named = false;
      for (std::size_t n = 0; n < kNameTable.size() && !named; ++n) {
        if (text.substr(at, kNameTable[n].size()) != kNameTable[n]) continue;
        pieces.push_back({TextPiece::Kind::name, column, text.substr(at, kNameTable[n].size()),
                          {kNameControl, static_cast<std::uint16_t>(kFirstNameCode + n)}});
        at += kNameTable[n].size();
        column += (kNameTable[n].size() - 2) / 2 + 1;  // the parentheses and the two-byte katakana
        named = true;
      }
      if (!named) return at_column(column, "'(' starts none of the six character names");
      continue;
    }
    if (byte == '<') {
      const std::size_t close = text.find('>', at);
      if (close == std::string_view::npos) return at_column(column, "an escape '<' without its '>'");
      const std::string_view inside = text.substr(at + 1, close - at - 1);
      TextPiece piece{TextPiece::Kind::escape, column, text.substr(at, close - at + 1), {}};
      for (std::size_t i = 0; i <= inside.size(); i += 5) {
        const std::string_view four = inside.substr(i, 4);
        const bool spaced = i + 4 == inside.size() || (i + 4 < inside.size() && inside[i + 4] == ' ');
        if (four.size() != 4 || !is_hex_digit(four[0]) || !is_hex_digit(four[1]) || !is_hex_digit(four[2]) ||
            !is_hex_digit(four[3]) || !spaced) {
          return at_column(column, "an escape holds units of four upper-case hex digits, low byte first, "
                                   "between spaces: <1700 3F00>");
        }
        if (!decodable_unit(unit_of(four))) {
          return at_column(column, "<" + std::string(four) + ">: the unit is never produced by the decoder");
        }
        piece.units.push_back(unit_of(four));
      }
      column += piece.text.size() - 1;
      pieces.push_back(std::move(piece));
      at = close + 1;
      continue;
    }
    if (is_hex_digit(static_cast<char>(byte))) {
      std::size_t end = at;
      while (end < text.size() && is_hex_digit(text[end])) ++end;
      const std::string_view run = text.substr(at, end - at);
      if (run.size() % 4 != 0) {
        return at_column(column, "a run of " + std::to_string(run.size()) +
                                     " hex digits: units take four each; digits are written full-width (\x82\x4F-\x82\x58)");  // ０-９
      }
      TextPiece piece{TextPiece::Kind::hex_run, column, run, {}};
      for (std::size_t i = 0; i < run.size(); i += 4) {
        if (!decodable_unit(unit_of(run.substr(i, 4)))) {
          return at_column(column + i, std::string(run.substr(i, 4)) + ": the unit is never produced by the decoder");
        }
        piece.units.push_back(unit_of(run.substr(i, 4)));
      }
      pieces.push_back(std::move(piece));
      column += run.size() - 1;
      at = end;
      continue;
    }
    const auto found = codes_by_text().find(text.substr(at, 1));
    if (found == codes_by_text().end()) {
      return at_column(column, std::string("'") + static_cast<char>(byte) +
                                   "' is not in the character table (its characters are full-width)");
    }
    pieces.push_back({TextPiece::Kind::character, column, text.substr(at, 1), found->second});
    ++at;
  }
  return std::nullopt;
}

}  // namespace ambergale
