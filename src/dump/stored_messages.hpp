// One map of the texts an image stores, made by the dump's own walks: the
// word lists through their pointer tables, the sequential block message by
// message from FB:8000, and the messages inside event scripts as the script
// listing meets them (the dictionary's entries are mapped when start-up
// decodes them: text/dictionary.hpp). For each text: where its bytes are,
// its units, the bytes and bits it takes, and the dump lines that show it.
// The catalogue and the inserter read the image through this map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "decode/byte_tree.hpp"
#include "dump/tables.hpp"

namespace ambergale {

// A line of "wordlist.txt": an entry of a group's list.
struct WordListEntry {
  int group = 0;
  int index = 0;
  int word = 0;     // the address in C4 of its pointer word
  int address = 0;  // of its message, in FB
};

// A message of bank FB that word-list entries point at.
struct StoredMessage {
  std::vector<std::uint16_t> units;  // as decoded, the end code last when it has one
  int size = 0;                      // the bytes holding its bits
  // Its bytes hold nothing but this message: it ends with its end code, lies
  // within bank FB past the event scripts, and shares no byte with the
  // sequential block or another message. Only such bytes may be written.
  bool own_bytes = false;
  std::vector<std::size_t> lines;  // of wordlist.txt that show it, 1-based, in order
};

// A message of the sequential block: line n of "wordlist2.txt" is block[n - 1].
struct SequentialMessage {
  int address = 0;                   // in FB
  int size = 0;                      // its consumed length: the next one starts after it
  int bits = 0;                      // the bits its decode took, the end code included
  std::vector<std::uint16_t> units;  // as decoded, the end code last when it has one
};

// What a line of "messcript.txt" shows: the empty line and the header that
// open a script, an instruction at an offset, or an embedded message.
struct ScriptLine {
  enum class Kind { blank, header, instruction, message };
  Kind kind;
  int script;            // its index
  std::int64_t offset;   // in the decoded script, for instructions and messages
  int message = 0;       // for messages: which one after its opcode, from 0
  // For messages: the offset of the instruction it follows, its units as
  // decoded, the script bytes it takes and the bits its decode took.
  std::int64_t instruction = 0;
  std::vector<std::uint16_t> units = {};
  int size = 0;
  int bits = 0;
};

struct MessageMap {
  std::vector<WordListEntry> entries;     // in the dump's line order
  std::map<int, StoredMessage> messages;  // by address in FB
  std::vector<SequentialMessage> block;
  std::vector<ScriptLine> script_lines;   // empty unless the scripts were mapped
  ByteRange scripts;                      // the event scripts' part of bank FB
  // The sequential block, to the end of its last message.
  ByteRange sequential() const { return {block.front().address, block.back().address + block.back().size}; }
};

// The map of `cart`; the scripts' lines only `with_scripts` (it decodes
// every script).
MessageMap map_stored_messages(const Cartridge& cart, const Tables& tables, bool with_scripts);

// The lines of the script dump, as its listing walks them.
std::vector<ScriptLine> map_script_lines(const Cartridge& cart, const Tables& tables);

// "0312": an entry as its line names it.
std::string entry_name(const WordListEntry& entry);

// Walks the sequential block as the dump does: from FB:8000, each message
// where the one before it ends, while the address is below FB:D07D. Calls
// `visit(address, decoded)` with the message's codes in `codes`; stops when
// it returns false.
template <class Visit>
void walk_sequential_block(const Cartridge& cart, const TreePair& text_trees, CodeBuffer& codes, Visit&& visit) {
  using namespace cartridge_map;
  for (int address = kSequentialStart; address < kSequentialEnd;) {
    const TextDecode message = decode_text(text_trees, rom_view(cart, kMessageBank, address), kSequentialWindow, codes);
    if (!visit(address, message)) return;
    address += message.consumed;  // at least 1: every symbol takes a bit
  }
}

}  // namespace ambergale
