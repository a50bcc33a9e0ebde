// Edited lines of "wordlist.txt" put back into the image: each message
// re-encoded with the image's own text trees and written into its own old
// bytes when it may, else into bytes the edits freed or the user declared
// free in bank FB, its pointer words rewritten.
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
#include "insert/free_space.hpp"
#include "insert/line_encoding.hpp"
#include "insert/word_list_map.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// A byte range of the image the insert writes: [offset, offset + size).
struct PlannedWrite {
  std::size_t offset;
  std::size_t size;
};

// A message of bank FB another kind of edit rewrote in place, and the new
// text it holds: word-list lines whose message reads the bytes that changed
// must move, or carry the same text as the line that rewrote it; an
// unchanged line's message is copied out as it is.
struct RewrittenMessage {
  ByteRange range;             // the bytes that changed
  int address = 0;             // where the message starts
  std::string_view text;       // the edited text, after its identifier
  std::string read_back;       // as the dump will write it
};

struct WordListEdits {
  std::vector<std::pair<std::size_t, std::string>> expected;  // line number and the line as the dump will write it
  std::vector<PlannedWrite> writes;
  std::size_t in_place = 0;  // messages written into their own old bytes
  std::size_t moved = 0;     // messages written elsewhere, their pointer words rewritten
  std::size_t copied = 0;    // unchanged messages moved out of rewritten bytes
  std::size_t bytes = 0;     // message bytes written
  int free_before = 0;       // bytes of bank FB that moved messages could take
  int free_after = 0;        // of those, the bytes left
};

// Encodes the changed lines and writes them into `image` (the image being
// made; `cart` is the original). A message goes back into its old bytes
// when they are its own, every entry pointing at it changed, and the new
// bits fit; lines that share a message may be edited apart, each new text
// then stored once. Refused, naming wordlist.txt:LINE[:COLUMN]: text the
// trees cannot write or that would not read back as written, lines that are
// one pointer word edited apart, and a message that finds no room.
// `newline` is the code of a new "\n" (0 to take the original's).
// `dictionaries` are the dictionary as the original lines show it and as the
// new image holds it; `coder` writes with the second.
// `cart` is the original image, `rewritten` what other edits rewrote in it.
Outcome insert_word_list_edits(const Cartridge& cart, const WordListMap& map, LineDictionaries dictionaries,
                               const encode::MessageCoder& coder, std::uint16_t newline,
                               std::span<const DeclaredRange> declared, std::span<const RewrittenMessage> rewritten,
                               const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                               WordListEdits& edits);

}  // namespace ambergale
