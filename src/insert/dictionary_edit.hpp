// Edited lines of "sublist.txt" put back into the image: each dictionary
// entry re-encoded with the image's own dictionary trees and written into
// its own slot, when it fits there.
#pragma once

#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "insert/edit_set.hpp"
#include "insert/word_list_edit.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// Encodes the changed lines, writes them into `image` and sets the entries
// of `decoded` (every entry as decoded, before expansion) to their new
// units. Refused, naming sublist.txt:LINE[:COLUMN]: text the trees cannot
// write, references to other entries, an entry without bytes of its own or
// whose bytes another entry's pointer reaches, a new text longer than its
// slot, an expansion past the 100 units of a slot (this entry's or one that
// uses it), and text that would not read back as written.
Outcome insert_dictionary_edits(const Cartridge& cart, const Tables& tables, std::uint16_t newline,
                                const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                                std::vector<CodeStream>& decoded, std::vector<PlannedWrite>& writes);

}  // namespace ambergale
