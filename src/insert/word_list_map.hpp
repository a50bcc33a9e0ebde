// Where the lines of "wordlist.txt" are stored: each entry's pointer word in
// bank C4 and the message it points at in bank FB, with the bytes each
// message takes and whether they are the word lists' alone.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "insert/free_space.hpp"
#include "platform/failure.hpp"

namespace ambergale {

struct WordListEntry {
  int group = 0;
  int index = 0;
  int word = 0;     // the address in C4 of its pointer word
  int address = 0;  // of its message, in FB
};

struct StoredMessage {
  std::vector<std::uint16_t> units;  // as decoded, the end code last when it has one
  int size = 0;                      // the bytes holding its bits
  // Its bytes hold nothing but this message: it ends with its end code, lies
  // within bank FB past the event scripts, and shares no byte with the
  // sequential block or another message. Only such bytes may be written.
  bool own_bytes = false;
};

// A message of the sequential block.
struct SequentialMessage {
  int address = 0;                   // in FB
  int size = 0;                      // its consumed length: the next one starts after it
  int bits = 0;                      // the bits its decode took, the end code included
  std::vector<std::uint16_t> units;  // as decoded, the end code last when it has one
};

// The sequential block as the dump walks it: from FB:8000, each message
// where the one before it ends, the last the one that starts below FB:D07D.
std::vector<SequentialMessage> map_sequential_block(const Cartridge& cart, const Tables& tables);

struct WordListMap {
  std::vector<WordListEntry> entries;     // in the dump's line order
  std::map<int, StoredMessage> messages;  // by address in FB
  ByteRange scripts;                      // the event scripts' part of bank FB
  std::vector<SequentialMessage> block;   // the sequential block's messages
  // The sequential block, to the end of its last message.
  ByteRange sequential() const { return {block.front().address, block.back().address + block.back().size}; }
};

WordListMap map_word_lists(const Cartridge& cart, const Tables& tables);

// "0312": an entry as its line names it.
std::string entry_name(const WordListEntry& entry);

// Refused, naming the range: a declared free range outside bank FB, or one
// that holds bytes of the event scripts, the sequential block or a message.
Outcome check_declared_ranges(const WordListMap& map, std::span<const DeclaredRange> declared);

}  // namespace ambergale
