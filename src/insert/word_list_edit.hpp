// Edited lines of "wordlist.txt" put back into the image: each message
// re-encoded with the image's own text trees and written into its own old
// bytes, when they are its alone and the new bits fit them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "encode/message_encoder.hpp"
#include "insert/edit_set.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// A byte range of the image the insert writes: [offset, offset + size).
struct PlannedWrite {
  std::size_t offset;
  std::size_t size;
};

struct WordListEdits {
  std::vector<std::pair<std::size_t, std::string>> expected;  // line number and the line as the dump will write it
  std::vector<PlannedWrite> writes;
};

// Encodes the changed lines and writes them into `image` (the image being
// made; `cart` is the original). Refused, naming wordlist.txt:LINE[:COLUMN]:
// text the trees cannot write, lines that share a message edited apart,
// messages whose bytes are not theirs alone (the sequential block, another
// message, event scripts), a new text longer than its old bytes, and text
// that would not read back as written.
// `newline` is the code of a new "\n" (0 to take the original's).
Outcome insert_word_list_edits(const Cartridge& cart, const Tables& tables, const encode::MessageCoder& coder,
                               std::uint16_t newline, const std::vector<ChangedLine>& changed,
                               std::span<std::uint8_t> image, WordListEdits& edits);

}  // namespace ambergale
