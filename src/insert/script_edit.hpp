// Edited lines of "messcript.txt" planned. Only the lines of embedded
// messages may change, since every other line follows from the bytes of a
// script. A message keeps its byte length and its script's block is
// compressed again at its length, every other byte decoding as before.
//
// Under --relayout the block may take any length, and its group is laid out
// again (see script_layout.hpp). A refusal then reaches only the changes at
// fault: a message refused for itself is left out of its block, once; a
// block the layout cannot take (no compression where it would lie, or the
// one after an unchanged block that finds none) has the changes that
// rewrote it refused, and an overflowing group those of its blocks that
// grew; the group is laid out again without them, and the rest go in.
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
