#include "insert/line_units.hpp"

#include <algorithm>

#include <string>

#include "text/code_units.hpp"
#include "text/render.hpp"
#include "text/shown_character.hpp"

namespace ambergale {

namespace {

// The largest alignment table: two lines of 2000 characters.
constexpr std::size_t kMostAligned = 2000 * 2000;

// A piece of text and the units behind it.
struct Token {
  std::string text;
  std::vector<std::uint16_t> units;
};

}  // namespace

std::string rendered(std::span<const std::uint16_t> units, const Dictionary& dictionary) {
  std::vector<std::uint8_t> stream;
  for (const std::uint16_t u : units) {
    stream.push_back(static_cast<std::uint8_t>(u & 0xFF));
    stream.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  TextBuffer text;
  render_codes(stream, static_cast<std::int32_t>(stream.size()), dictionary.text, text);
  return std::string(text.view());
}

namespace {

// The original message as tokens of one character (or one unit without
// one, or one control with its arguments); dictionary codes whose entries
// hold only plain units are opened into those.
void add_original_tokens(std::span<const std::uint16_t> units, const Dictionary& dictionary, int depth,
                         std::vector<Token>& tokens) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint16_t u = units[i];
    if (u == kEndCode) continue;
    const int arguments = argument_units(u);
    if (arguments > 0) {
      const std::size_t end = std::min(units.size(), i + 1 + static_cast<std::size_t>(arguments));
      const std::span<const std::uint16_t> group = units.subspan(i, end - i);
      const std::string text = rendered(group, dictionary);
      if (text.size() == 4 * group.size()) {
        // Shown in hex, four digits a unit, as an edited line's hex run is split.
        for (std::size_t k = 0; k < group.size(); ++k) tokens.push_back({text.substr(4 * k, 4), {group[k]}});
      } else {
        tokens.push_back({text, {group.begin(), group.end()}});  // a name
      }
      i = end - 1;
      continue;
    }
    const int entry = u - kFirstEntryCode;
    if (kRenderedEntryCodes.holds(u) && static_cast<std::size_t>(entry) < dictionary.codes.size() && depth < 8) {
      const CodeStream& stream = dictionary.codes[static_cast<std::size_t>(entry)];
      add_original_tokens(code_units(stream), dictionary, depth + 1, tokens);
      continue;
    }
    tokens.push_back({rendered(units.subspan(i, 1), dictionary), {u}});
  }
}

// The edited line as tokens, each with its piece and column: hex runs split
// into their units.
std::vector<Token> edited_tokens(const std::vector<TextPiece>& pieces, std::vector<std::size_t>& piece_of,
                                 std::vector<std::size_t>& column_of) {
  std::vector<Token> tokens;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    const TextPiece& piece = pieces[p];
    if (piece.kind == TextPiece::Kind::hex_run) {
      for (std::size_t k = 0; k < piece.units.size(); ++k) {
        tokens.push_back({std::string(piece.text.substr(4 * k, 4)), {piece.units[k]}});
        piece_of.push_back(p);
        column_of.push_back(piece.column + 4 * k);
      }
    } else {
      tokens.push_back({std::string(piece.text), piece.units});
      piece_of.push_back(p);
      column_of.push_back(piece.column);
    }
  }
  return tokens;
}

// For each edited token, the original token it is aligned with (a longest
// common subsequence of equal texts), or -1.
std::vector<int> align(const std::vector<Token>& original, const std::vector<Token>& edited) {
  const std::size_t n = original.size(), m = edited.size();
  std::vector<int> matched(m, -1);
  if (n * m > kMostAligned) return matched;  // such lines are far beyond any edit; nothing is inherited
  std::vector<std::vector<std::uint16_t>> common(n + 1, std::vector<std::uint16_t>(m + 1, 0));
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      common[i][j] = original[i].text == edited[j].text ? static_cast<std::uint16_t>(common[i + 1][j + 1] + 1)
                                                        : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  for (std::size_t i = 0, j = 0; i < n && j < m;) {
    if (original[i].text == edited[j].text) {
      matched[j++] = static_cast<int>(i++);
    } else if (common[i + 1][j] >= common[i][j + 1]) {
      ++i;
    } else {
      ++j;
    }
  }
  return matched;
}

// How one edited token is read: the rules, and the codes of the original's
// line breaks, when they are all one.
struct TokenReading {
  const ReadingRules& rules;
  std::vector<std::uint16_t> newline_codes;
};

std::vector<std::uint16_t> newline_codes_of(const std::vector<Token>& original) {
  std::vector<std::uint16_t> codes;
  for (const Token& token : original) {
    if (token.text == "\\n" && (codes.empty() || codes.front() != token.units.front())) codes.push_back(token.units.front());
  }
  return codes;
}

// The code of a character or line break the text cannot tell apart: the
// aligned original's, else what the rules choose.
Outcome choose_code(const TokenReading& reading, const TextPiece& piece, const Token& token, const Token* twin,
                    std::vector<std::uint16_t>& units) {
  if (token.units.size() == 1) {
    units.push_back(token.units.front());
  } else if (twin && twin->units.size() == 1) {
    units.push_back(twin->units.front());
  } else if (piece.kind == TextPiece::Kind::newline) {
    if (reading.rules.newline == 0 && reading.newline_codes.size() != 1) {
      return Failure{{}, "\\n may be 0012 or 0017 and the original line does not decide: write <1200> or <1700>, or give --newline"};
    }
    units.push_back(reading.rules.newline != 0 ? reading.rules.newline : reading.newline_codes.front());
  } else if (token.units.size() == 4) {  // ■: four codes the table cannot tell apart
    return Failure{{}, shown_unit(token.units.front()) +
                           " has four codes and the original line does not decide: write it as <FC03>, <FD03>, <FE03> or <FF03>"};
  } else {
    const auto writable = std::find_if(token.units.begin(), token.units.end(), reading.rules.has_code);
    units.push_back(writable != token.units.end() ? *writable : token.units.front());
  }
  return std::nullopt;
}

// The units of one edited token.
Outcome read_token(const TokenReading& reading, const TextPiece& piece, const Token& token, const Token* twin,
                   std::vector<std::uint16_t>& units) {
  switch (piece.kind) {
    case TextPiece::Kind::hex_run:
      if (!twin) return Failure{{}, "a hex run that the original line does not hold: write new units as <LLHH>"};
      units.push_back(token.units.front());
      return std::nullopt;
    case TextPiece::Kind::escape:
      for (const std::uint16_t u : token.units) {
        if (u == kEndCode) return Failure{{}, "<FFFF> would end the message there"};
        units.push_back(u);
      }
      return std::nullopt;
    case TextPiece::Kind::name: units.insert(units.end(), token.units.begin(), token.units.end()); return std::nullopt;
    case TextPiece::Kind::newline:
    case TextPiece::Kind::character: return choose_code(reading, piece, token, twin, units);
  }
  return std::nullopt;
}

}  // namespace

Outcome line_units(const std::vector<TextPiece>& pieces, const OriginalLine& original, const ReadingRules& rules,
                   LineUnits& out) {
  std::vector<Token> before;
  add_original_tokens(original.units, original.dictionary, 0, before);
  std::vector<std::size_t> piece_of, column_of;
  const std::vector<Token> after = edited_tokens(pieces, piece_of, column_of);
  const std::vector<int> matched = align(before, after);
  const TokenReading reading{rules, newline_codes_of(before)};
  for (std::size_t t = 0; t < after.size(); ++t) {
    const Token* twin = matched[t] >= 0 ? &before[static_cast<std::size_t>(matched[t])] : nullptr;
    if (Outcome failure = read_token(reading, pieces[piece_of[t]], after[t], twin, out.units)) {
      failure->column = column_of[t];
      return failure;
    }
    out.columns.resize(out.units.size(), column_of[t]);
  }
  return std::nullopt;
}

}  // namespace ambergale
