#include "text/text_parse.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "text/char_table.hpp"
#include "text/code_units.hpp"
#include "text/fullwidth.hpp"
#include "text/shown_character.hpp"

namespace ambergale {

bool is_lead_byte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

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

bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

int hex_value(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// The unit "LLHH" stands for: low byte first.
std::uint16_t unit_of(std::string_view four) {
  const int low = hex_value(four[0]) * 16 + hex_value(four[1]);
  const int high = hex_value(four[2]) * 16 + hex_value(four[3]);
  return static_cast<std::uint16_t>(high << 8 | low);
}

Failure at_column(std::size_t column, std::string reason) { return Failure::at({}, 0, column, std::move(reason)); }

// A character the table lacks, shown as the user wrote it, with what may
// be written instead.
Failure not_in_table(std::size_t column, std::string_view character) {
  const std::optional<char32_t> value = unicode_of(character);
  if (!value) return at_column(column, no_character(character));
  std::string reason = shown_character(*value) + " is not in the character table";
  if (const std::string instead = written_instead(character); !instead.empty()) {
    reason += ": " + instead;
  } else if (*value >= ' ' && *value <= '~') {
    reason += ", nor a full-width form of it";
  }
  return at_column(column, std::move(reason));
}

// Where reading stands: the next byte, and the column of the piece it
// starts. Each reader below takes one piece and moves `at` past it, and
// `column` to its last character; the loop steps to the next.
struct Cursor {
  std::string_view text;
  HexRuns hex_runs;
  std::size_t at = 0;
  std::size_t column = 1;
};

// A character of two bytes, or one of the six names "(…)".
Outcome read_wide(Cursor& c, std::vector<TextPiece>& pieces) {
  const std::string_view character = c.text.substr(c.at, 2);
  const auto found = codes_by_text().find(character);
  if (character.size() < 2 || found == codes_by_text().end()) return not_in_table(c.column, character);
  pieces.push_back({TextPiece::Kind::character, c.column, character, found->second});
  c.at += 2;
  return std::nullopt;
}

Outcome read_name(Cursor& c, std::vector<TextPiece>& pieces) {
  for (std::size_t n = 0; n < kNameTable.size(); ++n) {
    if (c.text.substr(c.at, kNameTable[n].size()) != kNameTable[n]) continue;
    pieces.push_back({TextPiece::Kind::name, c.column, c.text.substr(c.at, kNameTable[n].size()),
                      {kNameControl, static_cast<std::uint16_t>(kFirstNameCode + n)}});
    c.at += kNameTable[n].size();
    c.column += (kNameTable[n].size() - 2) / 2 + 1;  // the parentheses and the two-byte katakana
    return std::nullopt;
  }
  return at_column(c.column, "'(' starts none of the six character names");
}

// "<LLHH LLHH ...>": units named directly.
Outcome read_escape(Cursor& c, std::vector<TextPiece>& pieces) {
  const std::size_t close = c.text.find('>', c.at);
  if (close == std::string_view::npos) return at_column(c.column, "an escape '<' without its '>'");
  const std::string_view inside = c.text.substr(c.at + 1, close - c.at - 1);
  TextPiece piece{TextPiece::Kind::escape, c.column, c.text.substr(c.at, close - c.at + 1), {}};
  for (std::size_t i = 0; i <= inside.size(); i += 5) {
    const std::string_view four = inside.substr(i, 4);
    const bool spaced = i + 4 == inside.size() || (i + 4 < inside.size() && inside[i + 4] == ' ');
    if (four.size() != 4 || !is_hex_digit(four[0]) || !is_hex_digit(four[1]) || !is_hex_digit(four[2]) ||
        !is_hex_digit(four[3]) || !spaced) {
      return at_column(c.column, "an escape holds units of four upper-case hex digits, low byte first, "
                                 "between spaces: <1700 3F00>");
    }
    if (!decodable_unit(unit_of(four))) {
      return at_column(c.column, "<" + std::string(four) + ">: the unit is never produced by the decoder");
    }
    piece.units.push_back(unit_of(four));
  }
  c.column += piece.text.size() - 1;
  pieces.push_back(std::move(piece));
  c.at = close + 1;
  return std::nullopt;
}

// Hex digits: units without a character, four digits each.
Outcome read_hex_run(Cursor& c, std::vector<TextPiece>& pieces) {
  std::size_t end = c.at;
  while (end < c.text.size() && is_hex_digit(c.text[end])) ++end;
  const std::string_view run = c.text.substr(c.at, end - c.at);
  if (run.size() % 4 != 0) {
    return at_column(c.column, "a run of " + std::to_string(run.size()) + " hex digits: units take four each; digits are "
                                   "written full-width (\xEF\xBC\x90-\xEF\xBC\x99), or use --fullwidth");  // ０-９ in UTF-8
  }
  TextPiece piece{TextPiece::Kind::hex_run, c.column, run, {}};
  for (std::size_t i = 0; i < run.size(); i += 4) {
    if (!decodable_unit(unit_of(run.substr(i, 4)))) {
      return at_column(c.column + i, std::string(run.substr(i, 4)) + ": the unit is never produced by the decoder");
    }
    piece.units.push_back(unit_of(run.substr(i, 4)));
  }
  pieces.push_back(std::move(piece));
  c.column += run.size() - 1;
  c.at = end;
  return std::nullopt;
}

// A character of one byte.
Outcome read_narrow(Cursor& c, std::vector<TextPiece>& pieces) {
  const auto found = codes_by_text().find(c.text.substr(c.at, 1));
  if (found == codes_by_text().end()) return not_in_table(c.column, c.text.substr(c.at, 1));
  pieces.push_back({TextPiece::Kind::character, c.column, c.text.substr(c.at, 1), found->second});
  ++c.at;
  return std::nullopt;
}

// A catalogue's line break: the unit 0012, never 0017.
Outcome read_line_break(Cursor& c, std::vector<TextPiece>& pieces) {
  pieces.push_back({TextPiece::Kind::newline, c.column, c.text.substr(c.at, 1), {kLineBreak}});
  ++c.at;
  return std::nullopt;
}

// The piece that starts at the cursor.
Outcome read_piece(Cursor& c, std::vector<TextPiece>& pieces) {
  const auto byte = static_cast<unsigned char>(c.text[c.at]);
  if (is_lead_byte(byte)) return read_wide(c, pieces);
  if (c.text.substr(c.at, 2) == kNewline) {
    pieces.push_back({TextPiece::Kind::newline, c.column, c.text.substr(c.at, 2), {kLineBreak, kOtherLineBreak}});
    c.at += 2;
    ++c.column;
    return std::nullopt;
  }
  if (byte == '\\') return at_column(c.column, "a '\\' not followed by 'n' (a line break is written \\n)");
  if (byte == '(') return read_name(c, pieces);
  if (byte == '<') return read_escape(c, pieces);
  if (c.hex_runs == HexRuns::characters) {
    if (byte == '\n') return read_line_break(c, pieces);
    return read_narrow(c, pieces);
  }
  if (is_hex_digit(static_cast<char>(byte))) return read_hex_run(c, pieces);
  return read_narrow(c, pieces);
}

// A run of hex digits under --fullwidth: as far as it reads as units, four
// digits at a time, it stays; the rest of it is text.
void append_fullwidth_run(std::string_view run, std::string& out) {
  std::size_t units = 0;
  while (units + 4 <= run.size() && decodable_unit(unit_of(run.substr(units, 4)))) units += 4;
  out += run.substr(0, units);
  for (const char digit : run.substr(units)) out += fullwidth_counterpart(digit);
}

// The bytes at `at` that --fullwidth keeps as they are, hex runs aside: a
// character of two bytes, "\n", a name, an escape to its '>'; 0 for a
// character of one byte.
std::size_t syntax_length(std::string_view text, std::size_t at) {
  if (is_lead_byte(static_cast<unsigned char>(text[at]))) return std::min<std::size_t>(2, text.size() - at);
  if (text.substr(at, 2) == kNewline) return 2;
  if (text[at] == '(') {
    for (const std::string_view name : kNameTable) {
      if (text.substr(at, name.size()) == name) return name.size();
    }
  }
  if (text[at] != '<') return 0;
  const std::size_t close = text.find('>', at);
  return close == std::string_view::npos ? 0 : close - at + 1;
}

}  // namespace

Outcome parse_line_text(std::string_view text, HexRuns hex_runs, std::vector<TextPiece>& pieces) {
  for (Cursor c{text, hex_runs}; c.at < text.size(); ++c.column) {
    if (Outcome failure = read_piece(c, pieces)) return failure;
  }
  return std::nullopt;
}

std::string fullwidth_text(std::string_view text, HexRuns hex_runs) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    if (hex_runs == HexRuns::units && is_hex_digit(text[at])) {
      const std::size_t start = at;
      while (at < text.size() && is_hex_digit(text[at])) ++at;
      append_fullwidth_run(text.substr(start, at - start), out);
    } else if (const std::size_t kept = syntax_length(text, at); kept > 0) {
      out += text.substr(at, kept);
      at += kept;
    } else {
      const std::string_view counterpart = fullwidth_counterpart(text[at]);
      out += counterpart.empty() ? text.substr(at, 1) : counterpart;
      ++at;
    }
  }
  return out;
}

}  // namespace ambergale
