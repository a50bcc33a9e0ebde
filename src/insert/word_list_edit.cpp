#include "insert/word_list_edit.hpp"

#include <algorithm>
#include <map>
#include <set>

#include "cartridge/cartridge_map.hpp"
#include "encode/character_room.hpp"
#include "insert/edit_set.hpp"
#include "insert/rebuild.hpp"
#include "insert/script_layout.hpp"
#include "text/hex.hpp"
#include "text/code_units.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "wordlist.txt";
constexpr std::size_t kDump = 0;

// One new text of one old message, stored once for all the lines that show it.
struct NewMessage {
  int old_address = 0;
  EncodedLine line;
  std::vector<std::size_t> lines;  // 1-based, in order
  int address = -1;                // where it is written
  const Change* copied_for = nullptr;  // a copy of the old bytes for unchanged lines: the change that rewrote them
};

using MessageKey = std::pair<int, std::string_view>;  // old address, new text

// The word-list changes while they are planned.
struct WordListWork {
  const ImageView& image;
  InsertPlan& plan;
  const encode::MessageCoder& coder;
  std::map<std::size_t, const Change*> changed = {};    // by line
  std::map<std::size_t, std::string_view> text_of = {};  // line -> its text after the identifier
  std::map<int, std::vector<std::size_t>> lines_of_word = {};
  std::map<std::size_t, const RewrittenMessage*> shares = {};  // lines edited as a rewritten message reads
  std::vector<NewMessage> messages = {};
  std::map<MessageKey, std::size_t> message_of = {};
  FreeSpace pool = {};
  std::map<int, bool> freed = {};  // address -> whether its own bytes are still unclaimed

  const WordListEntry& entry(std::size_t line) const { return image.map.entries[line - 1]; }
  void refuse(std::size_t line, std::string reason) {
    plan.refuse(refusal_of(*changed.at(line), 0, std::move(reason)));
    text_of.erase(line);
  }
};

std::string twin_refusal(const WordListWork& work, std::size_t number, std::size_t other) {
  const WordListEntry& entry = work.entry(number);
  const WordListEntry& twin = work.entry(other);
  return "entry " + entry_name(entry) + " and line " + std::to_string(other) + " (entry " + entry_name(twin) +
         ") are one pointer word " + address_text(kGroupPointers.bank, entry.word) + " (groups " +
         hex_text(static_cast<std::uint32_t>(entry.group), 2) + " and " + hex_text(static_cast<std::uint32_t>(twin.group), 2) +
         " share a list): edit both the same way";
}

// Lines that are one pointer word (groups sharing a list) are one message:
// edited apart, each is refused.
void refuse_split_words(WordListWork& work) {
  std::vector<std::pair<std::size_t, std::string>> refused;
  for (const auto& [number, text] : work.text_of) {
    for (const std::size_t other : work.lines_of_word.at(work.entry(number).word)) {
      const auto edited = work.text_of.find(other);
      if (other == number || (edited != work.text_of.end() && edited->second == text)) continue;
      refused.emplace_back(number, twin_refusal(work, number, other));
      break;
    }
  }
  for (auto& [number, reason] : refused) work.refuse(number, std::move(reason));
}

// Each new text of a message is encoded once; a line edited as the message
// it shows was rewritten keeps pointing at it.
void encode_messages(WordListWork& work, const LineCoding& coding) {
  std::map<MessageKey, Failure> failed;
  for (auto it = work.text_of.begin(); it != work.text_of.end();) {
    const std::size_t number = it->first;
    const std::string_view text = it->second;
    ++it;
    const int address = work.entry(number).address;
    const auto rewritten = std::find_if(work.plan.rewritten.begin(), work.plan.rewritten.end(),
                                        [&](const RewrittenMessage& m) { return m.address == address && m.text == text; });
    if (rewritten != work.plan.rewritten.end()) {
      work.shares[number] = &*rewritten;
      continue;
    }
    const MessageKey key{address, text};
    if (const auto refused = failed.find(key); refused != failed.end()) {
      work.plan.refuse(refusal_of(*work.changed.at(number), refused->second.column, refused->second.reason));
      work.text_of.erase(number);
      continue;
    }
    const auto [found, added] = work.message_of.try_emplace(key, work.messages.size());
    if (!added) {
      work.messages[found->second].lines.push_back(number);
      continue;
    }
    NewMessage message{address, {}, {number}};
    if (Outcome failure = encode_line(coding, {text, work.image.map.messages.at(address).units}, message.line)) {
      work.message_of.erase(found);
      work.plan.refuse(refusal_of(*work.changed.at(number), failure->column, failure->reason));
      work.text_of.erase(number);
      failed.emplace(key, *failure);
      continue;
    }
    work.messages.push_back(std::move(message));
  }
}

// Unchanged lines whose message lies in rewritten bytes keep it through a
// copy of its bytes, which decode the same anywhere.
void copy_unchanged(WordListWork& work) {
  std::map<int, std::size_t> copy_of;  // old address -> its copy among the messages
  const MessageMap& map = work.image.map;
  for (std::size_t line = 1; line <= map.entries.size(); ++line) {
    const int address = work.entry(line).address;
    const StoredMessage& stored = map.messages.at(address);
    const ByteRange bytes{address, address + std::max(stored.size, 1)};
    const auto inside = std::find_if(work.plan.rewritten.begin(), work.plan.rewritten.end(),
                                     [&](const RewrittenMessage& message) { return message.range.overlaps(bytes); });
    if (work.changed.count(line) || inside == work.plan.rewritten.end()) continue;
    if (!ends_with_end_code(stored.units)) {
      work.plan.refuse(refusal_of(*inside->change, 0, "the message of entry " + entry_name(work.entry(line)) + " (" + kFile + " line " +
                                                          std::to_string(line) + ", unchanged) lies in the bytes this edit rewrites, "
                                                          "and has no end code, so it cannot be copied out"));
      continue;
    }
    const auto [it, added] = copy_of.try_emplace(address, work.messages.size());
    if (added) {
      NewMessage copy{address, {}, {}, -1, inside->change};
      const std::span<const std::uint8_t> old =
          rom_view(work.image.cart, kMessageBank, address).first(static_cast<std::size_t>(stored.size));
      copy.line.encoded.bytes.assign(old.begin(), old.end());
      work.messages.push_back(std::move(copy));
    }
    work.messages[it->second].lines.push_back(line);
  }
}

// A message's own bytes are freed when every entry pointing at it changed
// and no other edit rewrites them; they and the declared ranges are the bytes moved messages may take.
void gather_free_space(WordListWork& work) {
  std::map<int, std::size_t> changed_users;
  for (const auto& [line, change] : work.changed) ++changed_users[work.entry(line).address];
  const auto take = [&](ByteRange range) {
    work.pool.add(range);
    work.plan.claim(static_cast<std::size_t>(rom_offset(kMessageBank, range.start)), static_cast<std::size_t>(range.size()));
  };
  const auto rewritten = [&](ByteRange bytes) {
    return std::any_of(work.plan.rewritten.begin(), work.plan.rewritten.end(),
                       [&](const RewrittenMessage& other) { return other.range.overlaps(bytes); });
  };
  for (const auto& [address, count] : changed_users) {
    const StoredMessage& message = work.image.map.messages.at(address);
    if (!message.own_bytes || count != message.lines.size() || rewritten({address, address + message.size})) continue;
    take({address, address + message.size});
    work.freed[address] = true;
  }
  for (const DeclaredRange& free : work.image.settings.free) {
    if (script_group_of(free) == nullptr) take(free.range);
  }
  work.plan.counts.free_before = work.pool.total();
}

std::string no_room(const WordListWork& work, const NewMessage& message, int size) {
  const ByteRange largest = work.pool.largest();
  const std::string room = largest.size() == 0 ? "no byte there is free"
                                               : "the largest free range is " +
                                                     range_text(kMessageBank, largest.start, largest.end) + " (" +
                                                     encode::counted(static_cast<std::size_t>(largest.size()), "byte") + ")";
  const auto missing = static_cast<std::size_t>(size - largest.size());
  const encode::CharacterBits cost =
      encode::counting_cost(encode::character_bits(work.coder, message.line.literal),
                            encode::character_bits(work.coder, work.image.map.messages.at(message.old_address).units));
  return "entry " + entry_name(work.entry(message.lines.front())) + " needs " +
         encode::counted(static_cast<std::size_t>(size), "byte") + " in bank " + bank_text(kMessageBank) + "; " + room + ": " +
         encode::counted(missing, "byte") + " missing; " + (message.copied_for ? "its text" : "the translation") + " needs " +
         encode::characters_off(8 * missing, encode::Miss::over, cost) + ", or add --free BB:AAAA-BBBB";
}

// Messages whose new bits fit their own old bytes, written there.
void place_in_own_bytes(WordListWork& work) {
  for (NewMessage& message : work.messages) {
    const auto own = work.freed.find(message.old_address);
    const auto size = static_cast<int>(message.line.encoded.bytes.size());
    if (own == work.freed.end() || !own->second || size > work.image.map.messages.at(message.old_address).size) continue;
    work.pool.take_at(message.old_address, size);
    own->second = false;
    message.address = message.old_address;
  }
}

// Back into their own bytes first, then first fit in address order. Tables
// chosen again move every message anyway: then they are packed, in the
// order of their old addresses, so that no small gaps are left between.
void place_messages(WordListWork& work) {
  std::vector<NewMessage*> order;
  for (NewMessage& message : work.messages) order.push_back(&message);
  if (work.image.settings.rebuild) {
    // Lines the run writes as they were must go in; the user's may be refused.
    const auto untouched = [&](const NewMessage* message) {
      return message->copied_for == nullptr && untouched_line(item_of(work.changed.at(message->lines.front())->origin));
    };
    std::stable_sort(order.begin(), order.end(), [&](const NewMessage* a, const NewMessage* b) {
      return std::pair(!untouched(a), a->old_address) < std::pair(!untouched(b), b->old_address);
    });
  } else {
    place_in_own_bytes(work);
  }
  for (NewMessage* placing : order) {
    NewMessage& message = *placing;
    if (message.address >= 0) continue;
    const auto size = static_cast<int>(message.line.encoded.bytes.size());
    if (const std::optional<int> address = work.pool.take(size)) {
      message.address = *address;
    } else if (message.copied_for) {
      work.plan.refuse(refusal_of(*message.copied_for, 0, "the unchanged message of " + std::string(kFile) + " line " +
                                                              std::to_string(message.lines.front()) + " must be copied out of the bytes this edit rewrites, and " +
                                                              no_room(work, message, size)));
    } else {
      work.refuse(message.lines.front(), no_room(work, message, size));
    }
  }
  work.plan.counts.free_after = work.pool.total();
}

bool by_line(const MovedMessage& a, const MovedMessage& b) { return a.line < b.line; }

void write_messages(WordListWork& work) {
  PlanCounts& counts = work.plan.counts;
  for (const NewMessage& message : work.messages) {
    if (message.address < 0) continue;
    work.plan.write(kMessageBank, message.address, message.line.encoded.bytes);
    ++(message.copied_for ? counts.messages_copied : message.address == message.old_address ? counts.messages_in_place : counts.messages_moved);
    if (!message.copied_for && message.address != message.old_address) {
      counts.moved.push_back({message.lines.front(), message.old_address, message.address});
    }
    for (const std::size_t number : message.lines) {
      const WordListEntry& entry = work.entry(number);
      // Lines of groups sharing a list are one word, written once.
      if (message.address == entry.address || number != work.lines_of_word.at(entry.word).front()) continue;
      const auto word = static_cast<std::size_t>(rom_offset(kGroupPointers.bank, entry.word));
      work.plan.claim(word, 2);
      work.plan.write_word(kGroupPointers.bank, entry.word, message.address);
    }
  }
}

void expect_lines(const WordListWork& work) {
  for (const auto& [number, text] : work.text_of) {
    const Change& change = *work.changed.at(number);
    const auto shared = work.shares.find(number);
    const std::string& read_back =
        shared != work.shares.end()
            ? shared->second->read_back
            : work.messages[work.message_of.at({work.entry(number).address, text})].line.read_back;
    work.plan.expect_line(kDump, number, std::string(line_identifier(kFile, change.edited)) + read_back);
  }
}

}  // namespace

void plan_word_list_edits(const ImageView& image, const LineCoding& coding, std::span<const Change> changes,
                          InsertPlan& plan) {
  WordListWork work{image, plan, coding.coder};
  for (const Change& change : changes) {
    work.changed[change.number] = &change;
    work.text_of[change.number] = std::string_view(change.edited).substr(line_identifier(kFile, change.edited).size());
  }
  for (std::size_t i = 0; i < image.map.entries.size(); ++i) work.lines_of_word[image.map.entries[i].word].push_back(i + 1);
  refuse_split_words(work);
  encode_messages(work, coding);
  copy_unchanged(work);
  gather_free_space(work);
  place_messages(work);
  write_messages(work);
  std::sort(plan.counts.moved.begin(), plan.counts.moved.end(), by_line);
  expect_lines(work);
}

Outcome check_declared_ranges(const MessageMap& map, std::span<const DeclaredRange> declared) {
  for (const DeclaredRange& free : declared) {
    const std::string name = "--free " + declared_text(free);
    if (free.bank != kMessageBank) {
      return Failure{{}, name + ": moved messages can go only into bank " + bank_text(kMessageBank)};
    }
    const auto holds = [&](ByteRange item, const std::string& what) -> Outcome {
      if (!free.range.overlaps(item)) return std::nullopt;
      return Failure{{}, name + " holds bytes of " + what + " (" + range_text(kMessageBank, item.start, item.end) + ")"};
    };
    if (Outcome failure = holds(map.scripts, "the event scripts")) return failure;
    if (Outcome failure = holds(map.sequential(), "the sequential block")) return failure;
    for (const auto& [address, message] : map.messages) {
      if (Outcome failure = holds({address, address + std::max(message.size, 1)}, "a word-list message")) return failure;
    }
  }
  return std::nullopt;
}

}  // namespace ambergale
