// Edited lines of "sublist.txt" planned: each dictionary entry re-encoded
// with the image's own dictionary trees and written into its own slot when
// it fits there; otherwise the entries from the first that does not fit on
// are laid out again back to back, in index order, up to the dictionary's
// end, their pointer words rewritten.
#pragma once

#include <span>

#include "dump/changes.hpp"
#include "insert/plan.hpp"
#include "text/dictionary.hpp"

namespace ambergale {

// Plans the changes; sets `plan.dictionary` to every entry as the new image
// holds it, decoded and not yet expanded, and builds `edited`, the
// dictionary as the new image holds it. An edited entry may use other
// entries, found again by their text, when they are clean and do not use an
// edited one. Refused: text the trees cannot write or that would not read
// back as written, a reference to an entry that uses an edited one, more
// than 397 compressed bytes, entries that no longer fit before the
// dictionary's end, an unchanged entry that would read differently, and an
// expansion past the 100 units of a slot (this entry's or one that uses it).
void plan_dictionary_edits(const ImageView& image, std::span<const Change> changes, InsertPlan& plan, Dictionary& edited);

}  // namespace ambergale
