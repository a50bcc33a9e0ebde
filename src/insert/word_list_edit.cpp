#include "insert/word_list_edit.hpp"

#include <algorithm>
#include <map>

#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"
#include "insert/line_encoding.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "wordlist.txt";

std::string where(std::size_t line) { return std::string(kFile) + ":" + std::to_string(line); }

// One new text of one old message, stored once for all the lines that show it.
struct NewMessage {
  int old_address = 0;
  EncodedLine line;
  std::vector<std::size_t> lines;  // 1-based, in order
  int address = -1;                // where it is written
  bool copy = false;               // the old bytes as they were, for unchanged lines
};

void write_bytes(std::span<std::uint8_t> image, int bank, int address, std::span<const std::uint8_t> bytes,
                 std::vector<PlannedWrite>& writes) {
  encode::put_bytes(image, bank, address, bytes);
  writes.push_back({static_cast<std::size_t>(rom_offset(bank, address)), bytes.size()});
}

}  // namespace

Outcome insert_word_list_edits(const Cartridge& cart, const WordListMap& map, LineDictionaries dictionaries,
                               const encode::MessageCoder& coder, std::uint16_t newline,
                               std::span<const DeclaredRange> declared, std::span<const RewrittenMessage> rewritten,
                               const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                               WordListEdits& edits) {
  std::map<std::size_t, std::string_view> text_of;  // line -> its text after the identifier
  for (const ChangedLine& line : changed) text_of[line.number] = line.edited.substr(line_identifier(kFile, line.edited).size());
  // Lines that are one pointer word (groups sharing a list) are one message.
  std::map<int, std::vector<std::size_t>> lines_of_word;
  for (std::size_t i = 0; i < map.entries.size(); ++i) lines_of_word[map.entries[i].word].push_back(i + 1);
  for (const auto& [number, text] : text_of) {
    const WordListEntry& entry = map.entries[number - 1];
    for (const std::size_t other : lines_of_word.at(entry.word)) {
      const auto edited = text_of.find(other);
      if (other == number || (edited != text_of.end() && edited->second == text)) continue;
      const WordListEntry& twin = map.entries[other - 1];
      return Failure{where(number), "entry " + entry_name(entry) + " and line " + std::to_string(other) + " (entry " +
                                        entry_name(twin) + ") are one pointer word " +
                                        address_text(kGroupPointers.bank, entry.word) + " (groups " + hex_text(static_cast<std::uint32_t>(entry.group), 2) +
                                        " and " + hex_text(static_cast<std::uint32_t>(twin.group), 2) + " share a list): edit both the same way"};
    }
  }
  // A line edited as the message it shows was rewritten keeps pointing at it.
  std::map<std::size_t, const RewrittenMessage*> shares;
  for (const auto& [number, text] : text_of) {
    for (const RewrittenMessage& message : rewritten) {
      if (message.address == map.entries[number - 1].address && message.text == text) shares[number] = &message;
    }
  }
  // Each new text of a message is encoded once.
  std::vector<NewMessage> messages;
  std::map<std::pair<int, std::string_view>, std::size_t> message_of;
  for (const auto& [number, text] : text_of) {
    if (shares.count(number)) continue;
    const int address = map.entries[number - 1].address;
    const auto [it, added] = message_of.try_emplace({address, text}, messages.size());
    if (!added) {
      messages[it->second].lines.push_back(number);
      continue;
    }
    NewMessage message;
    message.old_address = address;
    message.lines.push_back(number);
    if (Outcome failure = encode_line(where(number), text, map.messages.at(address).units, dictionaries, coder,
                                      newline, "text trees", message.line)) {
      return failure;
    }
    messages.push_back(std::move(message));
  }
  // Unchanged lines whose message lies in rewritten bytes keep it through a
  // copy of its bytes, which decode the same anywhere.
  std::map<int, std::size_t> copy_of;  // old address -> its copy among `messages`
  for (std::size_t i = 0; i < map.entries.size(); ++i) {
    const int address = map.entries[i].address;
    const StoredMessage& stored = map.messages.at(address);
    const ByteRange bytes{address, address + std::max(stored.size, 1)};
    const auto inside = std::find_if(rewritten.begin(), rewritten.end(), [&](const RewrittenMessage& message) {
      return message.range.start < bytes.end && bytes.start < message.range.end;
    });
    if (text_of.count(i + 1) || inside == rewritten.end()) continue;
    if (stored.units.empty() || stored.units.back() != 0xFFFF) {
      return Failure{where(i + 1), "the message of entry " + entry_name(map.entries[i]) + " at " +
                                       address_text(kMessageBank, address) + " lies in bytes another edit rewrites, and has "
                                       "no end code, so it cannot be copied out"};
    }
    const auto [it, added] = copy_of.try_emplace(address, messages.size());
    if (added) {
      NewMessage copy;
      copy.old_address = address;
      copy.copy = true;
      const std::span<const std::uint8_t> old = rom_view(cart, kMessageBank, address).first(static_cast<std::size_t>(stored.size));
      copy.line.encoded.bytes.assign(old.begin(), old.end());
      messages.push_back(std::move(copy));
    }
    messages[it->second].lines.push_back(i + 1);
  }
  // A message's own bytes are freed when every entry pointing at it changed.
  std::map<int, int> users, changed_users;
  for (std::size_t i = 0; i < map.entries.size(); ++i) {
    ++users[map.entries[i].address];
    if (text_of.count(i + 1)) ++changed_users[map.entries[i].address];
  }
  FreeSpace pool;
  std::map<int, bool> freed;  // address -> whether its own bytes are still unclaimed
  for (const auto& [address, count] : changed_users) {
    const StoredMessage& message = map.messages.at(address);
    if (!message.own_bytes || count != users.at(address)) continue;
    pool.add({address, address + message.size});
    freed[address] = true;
  }
  for (const DeclaredRange& free : declared) pool.add(free.range);
  edits.free_before = pool.total();
  // Back into their own bytes first, then first fit in address order.
  for (NewMessage& message : messages) {
    const auto own = freed.find(message.old_address);
    const auto size = static_cast<int>(message.line.encoded.bytes.size());
    if (own == freed.end() || !own->second || size > map.messages.at(message.old_address).size) continue;
    pool.take_at(message.old_address, size);
    own->second = false;
    message.address = message.old_address;
  }
  for (NewMessage& message : messages) {
    if (message.address >= 0) continue;
    const auto size = static_cast<int>(message.line.encoded.bytes.size());
    if (const std::optional<int> address = pool.take(size)) {
      message.address = *address;
      continue;
    }
    const ByteRange largest = pool.largest();
    const std::string room = largest.size() == 0 ? "no byte there is free"
                                                 : "the largest free range is " +
                                                       range_text(kMessageBank, largest.start, largest.end) + " (" +
                                                       std::to_string(largest.size()) + " bytes)";
    return Failure{where(message.lines.front()),
                   "entry " + entry_name(map.entries[message.lines.front() - 1]) + " needs " + std::to_string(size) +
                       " bytes in bank " + bank_text(kMessageBank) + "; " + room + ": " +
                       std::to_string(size - largest.size()) + " bytes missing (add --free BB:AAAA-BBBB or shorten it)"};
  }
  edits.free_after = pool.total();
  for (const NewMessage& message : messages) {
    write_bytes(image, kMessageBank, message.address, message.line.encoded.bytes, edits.writes);
    edits.bytes += message.line.encoded.bytes.size();
    ++(message.copy ? edits.copied : message.address == message.old_address ? edits.in_place : edits.moved);
    for (const std::size_t number : message.lines) {
      const WordListEntry& entry = map.entries[number - 1];
      // Lines of groups sharing a list are one word, written once.
      if (message.address != entry.address && number == lines_of_word.at(entry.word).front()) {
        encode::put_word(image, kGroupPointers.bank, entry.word, message.address);
        edits.writes.push_back({static_cast<std::size_t>(rom_offset(kGroupPointers.bank, entry.word)), 2});
      }
    }
  }
  for (const ChangedLine& line : changed) {
    const auto shared = shares.find(line.number);
    const std::string& read_back =
        shared != shares.end()
            ? shared->second->read_back
            : messages[message_of.at({map.entries[line.number - 1].address, text_of.at(line.number)})].line.read_back;
    edits.expected.emplace_back(line.number, std::string(line_identifier(kFile, line.edited)) + read_back);
  }
  return std::nullopt;
}

}  // namespace ambergale
