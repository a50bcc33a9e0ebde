// Edited lines of "wordlist2.txt" planned when texts may change length
// (--relayout). The dump finds each message of the sequential block where
// the one before it ends, and stops after the first that reaches D07D: so
// from the first edited message on, the messages are written back to back,
// count and order kept, and the last must still start below D07D and reach
// it. A message is a whole-byte extent that decodes the same wherever it
// lies, so an unchanged one moves by copying its bytes.
#pragma once

#include <span>

#include "dump/changes.hpp"
#include "insert/line_encoding.hpp"
#include "insert/plan.hpp"

namespace ambergale {

// Plans `changes` (the block's, in line order): each edited message at its
// shortest encoding; a block that would end short of D07D is lengthened by
// longer spellings of its edited messages (dictionary entries spelled out),
// from the last one back. Past its old end the block may take the bytes
// up to the word-list messages after it and those messages, back to back
// (copied out of its way by the word-list planner), not a declared free
// range.
// Word-list pointer words at a moved message's old address follow it.
// Refused: what plan_sequential_edits refuses but the length, a message
// past the 768-byte window; each message that grew, when the block would
// start its last message at or past D07D or end past its bound; each that
// shrank, when no longer spelling brings the block to D07D; and the block's
// first edit, when an unchanged moved message has no end code or an
// unchanged word-list line (not among `word_list_changes`) points inside a
// moved message. Messages whose text changed go to `plan.rewritten`, at
// their old addresses.
void plan_sequential_relayout(const ImageView& image, const LineCoding& coding, std::span<const Change> changes,
                              std::span<const Change> word_list_changes, InsertPlan& plan);

}  // namespace ambergale
