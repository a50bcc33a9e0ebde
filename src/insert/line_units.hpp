// The code units an edited line means: its pieces (text_parse.hpp), with the
// codes the text cannot tell apart (0012 or 0017 behind "\n", the duplicate
// characters ？ 食 分 ■) taken from the original message where the two lines
// agree, found by aligning them.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "text/text_parse.hpp"
#include "platform/failure.hpp"
#include "text/dictionary.hpp"

namespace ambergale {

// How codes the original does not decide are chosen.
struct ReadingRules {
  std::function<bool(std::uint16_t)> has_code;  // whether the trees can write a unit
  std::uint16_t newline = 0;                    // the code of a new "\n" (0012 or 0017), or 0
};

// The message a line is read against: the units the image's message
// decodes to, dictionary entries in it seen through `dictionary`.
struct OriginalLine {
  std::span<const std::uint16_t> units;
  const Dictionary& dictionary;
};

// The literal units (no end code) of a line, and the column of the piece
// behind each.
struct LineUnits {
  std::vector<std::uint16_t> units;
  std::vector<std::size_t> columns;
};

// The literal units of the edited text `pieces`, read against `original`.
// A new "\n" takes `rules.newline`, else the code of the original's line
// breaks when they are all one; a new duplicate character its lowest code
// for which `rules.has_code` holds. Refused, with the failure's column: a
// "\n" or ■ that nothing decides, a hex run that does not stand in the
// original (a new one is written as an escape), and an end code inside the
// text.
Outcome line_units(const std::vector<TextPiece>& pieces, const OriginalLine& original, const ReadingRules& rules,
                   LineUnits& out);

// The text a run of units renders to, with the dictionary's texts.
std::string rendered(std::span<const std::uint16_t> units, const Dictionary& dictionary);

}  // namespace ambergale
