// Edited lines of "sublist.txt" put back into the image: each dictionary
// entry re-encoded with the image's own dictionary trees and written into
// its own slot when it fits there; otherwise the entries from the first
// that does not fit on are laid out again back to back, in index order, up
// to the dictionary's end, their pointer words rewritten.
#pragma once

#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "insert/edit_set.hpp"
#include "insert/word_list_edit.hpp"
#include "platform/failure.hpp"

namespace ambergale {

struct DictionaryEdits {
  std::vector<PlannedWrite> writes;
  std::size_t in_place = 0;   // entries written into their own slots
  std::size_t laid_out = 0;   // entries laid out again, the unchanged ones among them copied
  int end_before = 0;         // where the last entry's bits end, before and after
  int end_after = 0;
};

// Encodes the changed lines and writes them into `image`; sets `decoded` to
// every entry as the new image holds it, decoded and not yet expanded, and
// builds `edited`, the dictionary as the new image holds it. An edited entry may use other entries, found again by their text,
// when they are clean and do not use an edited one. Refused, naming
// sublist.txt:LINE[:COLUMN]: text the trees cannot write or that would not
// read back as written, a reference to an entry that uses an edited one,
// more than 397 compressed bytes, entries that no longer fit before the
// dictionary's end, an unchanged entry that would read differently, and an
// expansion past the 100 units of a slot (this entry's or one that uses it).
Outcome insert_dictionary_edits(const Cartridge& cart, const Tables& tables, std::uint16_t newline,
                                const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                                std::vector<CodeStream>& decoded, Dictionary& edited, DictionaryEdits& edits);

}  // namespace ambergale
