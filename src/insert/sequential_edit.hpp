// Edited lines of "wordlist2.txt" put back into the image. The sequential
// block has no pointer table: each message is found where the one before it
// ends, so an edited message must take exactly the bytes it took. Among the
// encodings of the new text the one whose bits round up to that length is
// taken, and the bits after its end code are the original's.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "encode/message_encoder.hpp"
#include "insert/edit_set.hpp"
#include "insert/line_encoding.hpp"
#include "insert/word_list_edit.hpp"
#include "insert/word_list_map.hpp"
#include "platform/failure.hpp"

namespace ambergale {

struct SequentialEdits {
  std::vector<std::pair<std::size_t, std::string>> expected;  // line number and the line as the dump will write it
  std::vector<RewrittenMessage> rewritten;
  std::vector<PlannedWrite> writes;
};

// Encodes the changed lines at the lengths their messages had and writes
// them into `image`. Refused, naming wordlist2.txt:LINE[:COLUMN]: a message
// that does not end with its end code within its window, and a new text no
// encoding of which takes the message's bytes (with the bits it needs and
// the bits it has), besides what every changed line may be refused for.
Outcome insert_sequential_edits(const std::vector<SequentialMessage>& block, LineDictionaries dictionaries,
                                const encode::MessageCoder& coder, std::uint16_t newline,
                                const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                                SequentialEdits& edits);

}  // namespace ambergale
