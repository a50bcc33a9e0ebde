// Edited lines of "wordlist.txt" planned: each message re-encoded with the
// image's own text trees and written into its own old bytes when it may,
// else into bytes the edits freed or the user declared free in bank FB, its
// pointer words rewritten.
#pragma once

#include <span>

#include "dump/changes.hpp"
#include "insert/line_encoding.hpp"
#include "insert/plan.hpp"

namespace ambergale {

// Plans the changes after the sequential block's (`plan.rewritten`). A
// message goes back into its old bytes when they are its own, every entry
// pointing at it changed, and the new bits fit; lines that share a message
// may be edited apart, each new text then stored once; unchanged lines
// whose message lies in rewritten bytes keep it through a copy. Refused:
// text the trees cannot write or that would not read back as written,
// lines that are one pointer word edited apart, a message to copy without
// its end code, and a message that finds no room.
void plan_word_list_edits(const ImageView& image, const LineCoding& coding, std::span<const Change> changes,
                          InsertPlan& plan);

// Refused, naming the range: a declared free range outside bank FB, or one
// that holds bytes of the event scripts, the sequential block or a message.
Outcome check_declared_ranges(const MessageMap& map, std::span<const DeclaredRange> declared);

}  // namespace ambergale
