// Edited lines of "wordlist2.txt" planned. The sequential block has no
// pointer table: each message is found where the one before it ends, so an
// edited message must take exactly the bytes it took. Among the encodings
// of the new text the one whose bits round up to that length is taken, and
// the bits after its end code are the original's.
#pragma once

#include <span>

#include "dump/changes.hpp"
#include "insert/line_encoding.hpp"
#include "insert/plan.hpp"

namespace ambergale {

// Plans each change at the length its message had. Refused: a message that
// does not end with its end code within its window, and a new text no
// encoding of which takes the message's bytes (with the bits it needs and
// the bits it has), besides what every changed line may be refused for.
// Messages whose bytes changed go to `plan.rewritten`.
void plan_sequential_edits(const ImageView& image, const LineCoding& coding, std::span<const Change> changes,
                           InsertPlan& plan);

// Refused: a message without its end code within its window, whose bytes
// are not its own (its decode reads the bytes after it).
Outcome check_rewritable(const SequentialMessage& message);

}  // namespace ambergale
