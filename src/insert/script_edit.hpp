// Edited lines of "messcript.txt" planned. Only the lines of embedded
// messages may change, since every other line follows from the bytes of a
// script. A message keeps its byte length and its script's block is
// compressed again at its length, every other byte decoding as before.
#pragma once

#include <cstddef>
#include <span>

#include "dump/changes.hpp"
#include "insert/line_encoding.hpp"
#include "insert/plan.hpp"

namespace ambergale {

// The most byte strings tried for one message before giving up.
inline constexpr std::size_t kRecodeTries = 100000;

// Plans the changes against the map's script lines (`image.map` mapped with
// its scripts). Refused: a line that is not a message line (an empty line,
// a script's header, an instruction), a message without its end code
// within its script, scripts of one block edited differently, a new text no
// encoding of which takes the message's bytes (with the bits it needs and
// the bits it has), and a block that no recompression within kRecodeTries
// keeps at its length, besides what every changed line may be refused for.
void plan_script_edits(const ImageView& image, const LineCoding& coding, std::span<const Change> changes,
                       InsertPlan& plan);

}  // namespace ambergale
