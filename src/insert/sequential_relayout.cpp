#include "insert/sequential_relayout.hpp"

#include <algorithm>
#include <map>
#include <set>

#include "cartridge/cartridge_map.hpp"
#include "encode/character_room.hpp"
#include "insert/edit_set.hpp"
#include "insert/line_units.hpp"
#include "insert/sequential_edit.hpp"
#include "text/code_units.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "wordlist2.txt";
constexpr std::size_t kDump = 1;
constexpr int kBankEnd = 0x10000;
// Longer spellings tried per total before the next: each must read back
// as the shortest does.
constexpr int kMostSpellings = 64;

// A message of the block from the first edited one on, as it is laid out.
struct Relaid {
  const SequentialMessage* old = nullptr;
  std::size_t line = 0;            // of wordlist2.txt
  const Change* change = nullptr;  // its edit; none when it only moves
  bool new_text = false;           // its edit changes what it reads
  EncodedLine encoded = {};
  std::vector<std::uint8_t> bytes = {};
  int address = 0;  // where it is written
  std::size_t other_codes = 0;  // characters lengthened by another of their codes

  int size() const { return static_cast<int>(bytes.size()); }
  bool moved() const { return address != old->address; }
};

struct Relayout {
  const ImageView& image;
  const LineCoding& coding;
  InsertPlan& plan;
  int limit = 0;                      // the block may end there at most
  std::vector<Relaid> messages = {};  // from the first edited one to the block's last

  int start_last() const { return messages.back().address; }
  int end() const { return start_last() + messages.back().size(); }
  void lay_out() {
    int address = messages.front().old->address;
    for (Relaid& message : messages) {
      message.address = address;
      address += message.size();
    }
  }
  void refuse_first(std::string reason) {
    const auto first = std::find_if(messages.begin(), messages.end(), [](const Relaid& m) { return m.change; });
    plan.refuse(refusal_of(*first->change, 0, std::move(reason)));
  }
};

std::string name_of(int address) { return "[" + address_text(kMessageBank, address) + "]"; }

// How far the block may reach: over the bytes before the next word-list
// message after its old end and over the messages back to back from there
// (the word-list planner copies them out of its way), not into a declared
// free range.
int block_limit(const ImageView& image) {
  const int end = image.map.sequential().end;
  int limit = kBankEnd;
  auto next = image.map.messages.lower_bound(end);
  if (next != image.map.messages.end()) limit = next->first;
  for (; next != image.map.messages.end() && next->first <= limit; ++next) {
    limit = std::max(limit, next->first + std::max(next->second.size, 1));
  }
  for (const DeclaredRange& free : image.settings.free) {
    if (free.bank == kMessageBank && free.range.start >= end) limit = std::min(limit, free.range.start);
  }
  return limit;
}

encode::CharacterBits cost_of(const Relayout& work, const Relaid& message) {
  return encode::counting_cost(encode::character_bits(work.coding.coder, message.encoded.literal),
                               encode::character_bits(work.coding.coder, message.old->units));
}

// An edit at its shortest encoding.
Outcome encode_edit(const Relayout& work, Relaid& message) {
  if (Outcome failure = check_rewritable(*message.old)) return failure;
  const std::string_view identifier = line_identifier(kFile, message.change->edited);
  const std::string_view text = std::string_view(message.change->edited).substr(identifier.size());
  if (Outcome failure = encode_line(work.coding, {text, message.old->units}, message.encoded)) return failure;
  message.bytes = message.encoded.encoded.bytes;
  // Word-list lines showing the message read the same through its new bytes.
  message.new_text = message.encoded.read_back != rendered(message.old->units, work.coding.dictionaries.written);
  if (const int over = message.size() - kSequentialWindow; over > 0) {
    return Failure{{}, name_of(message.old->address) + " would take " + encode::counted(message.bytes.size(), "byte") +
                           ", past the " + std::to_string(kSequentialWindow) + "-byte window the block's messages are read through; the translation needs " +
                           encode::characters_off(8 * static_cast<std::size_t>(over), encode::Miss::over, cost_of(work, message))};
  }
  return std::nullopt;
}

// The block from its first accepted edit on, the other messages' bytes as
// they are; empty when every edit is refused.
void gather(Relayout& work, std::span<const Change> changes) {
  std::map<std::size_t, Relaid> edited;
  for (const Change& change : changes) {
    Relaid message{&work.image.map.block[change.number - 1], change.number, &change};
    if (Outcome failure = encode_edit(work, message)) {
      work.plan.refuse(refusal_of(change, failure->column, failure->reason));
      continue;
    }
    edited.emplace(change.number, std::move(message));
  }
  if (edited.empty()) return;
  const std::vector<SequentialMessage>& block = work.image.map.block;
  for (std::size_t line = edited.begin()->first; line <= block.size(); ++line) {
    if (const auto it = edited.find(line); it != edited.end()) {
      work.messages.push_back(std::move(it->second));
      continue;
    }
    const SequentialMessage& old = block[line - 1];
    const auto bytes = rom_view(work.image.cart, kMessageBank, old.address).first(static_cast<std::size_t>(old.size));
    work.messages.push_back({&old, line, nullptr, false, {}, {bytes.begin(), bytes.end()}});
  }
  work.lay_out();
}

// The bytes the block takes past what it may: its last message must start
// below D07D, and the block end by its limit.
int bytes_over(const Relayout& work) { return std::max(work.start_last() - (kSequentialEnd - 1), work.end() - work.limit); }

void refuse_grown(Relayout& work, int over) {
  std::string grown;
  for (const Relaid& message : work.messages) {
    if (!message.change || message.size() <= message.old->size) continue;
    grown += (grown.empty() ? "" : ", ") + name_of(message.old->address) + " by " +
             encode::counted(static_cast<std::size_t>(message.size() - message.old->size), "byte");
  }
  const std::string where =
      work.start_last() >= kSequentialEnd
          ? "its last message would start at " + address_text(kMessageBank, work.start_last()) + ", not below " +
                address_text(kMessageBank, kSequentialEnd)
          : "it would end at " + address_text(kMessageBank, work.end()) + ", past " + address_text(kMessageBank, work.limit) +
                ", where the messages the dump knows after it end or a declared free range begins";
  for (const Relaid& message : work.messages) {
    if (!message.change || message.size() <= message.old->size) continue;
    work.plan.refuse(refusal_of(*message.change, 0, "the sequential block's texts share one fixed total, and it would take " +
                                                        encode::counted(static_cast<std::size_t>(over), "byte") + " more than it has (" + where +
                                                        "); messages that grew: " + grown + "; the translation needs " +
                                                        encode::characters_off(8 * static_cast<std::size_t>(over), encode::Miss::over, cost_of(work, message)) +
                                                        ", or shorter texts elsewhere in the block"));
  }
}

// How many characters of `units` (a parse of `literal`) are written by
// another of their codes.
std::size_t other_codes_in(const encode::MessageCoder& coder, std::span<const std::uint16_t> literal, const encode::Units& units) {
  std::size_t others = 0, at = 0;
  for (const std::uint16_t unit : units) {
    if (unit == kEndCode) break;
    const std::size_t e = static_cast<std::size_t>(unit) - kFirstEntryCode;
    if (unit >= kFirstEntryCode && e < coder.clean.size() && !coder.clean[e].empty()) {
      at += coder.clean[e].size();
      continue;
    }
    others += unit != literal[at] ? 1 : 0;
    ++at;
  }
  return others;
}

// A spelling of `message` that grows it by `least` to `most` bytes, the
// growth nearest `least` (or `most`, `largest`): its dictionary entries
// spelled out, its characters written by longer codes of theirs (never one
// line break for the other), read back as the shortest reads. False when
// there is none.
bool lengthen(const Relayout& work, Relaid& message, int least, int most, bool largest) {
  most = std::min(most, kSequentialWindow - message.size());
  if (least < 1 || most < least) return false;
  const std::size_t low = 8 * static_cast<std::size_t>(message.size() + least - 1) + 1;
  const std::size_t high = 8 * static_cast<std::size_t>(message.size() + most);
  encode::Units found;
  int tried = 0;
  encode::for_each_parse_in_window(work.coding.coder, message.encoded.literal, low, high, largest ? high : low,
                                   [&](const encode::Units& units) {
                                     if (units.size() <= kCodeStreamCap / 2 &&
                                         rendered(units, work.coding.dictionaries.written) == message.encoded.read_back) {
                                       found = units;
                                     }
                                     return found.empty() && ++tried < kMostSpellings;
                                   },
                                   encode::CharacterCodes::own_or_longer);
  if (found.empty()) return false;
  message.other_codes = other_codes_in(work.coding.coder, message.encoded.literal, found);
  message.encoded.encoded = encode::write_units(work.coding.coder, found);
  message.bytes = message.encoded.encoded.bytes;
  return true;
}

// A block that would end short of D07D, whose dump would read on into the
// bytes after it, lengthened from its last edited message back. False when
// it still ends short.
bool reach_end(Relayout& work) {
  for (auto message = work.messages.rbegin(); message != work.messages.rend() && work.end() < kSequentialEnd; ++message) {
    if (!message->change) continue;
    const int short_by = kSequentialEnd - work.end();
    // Only the last message grows without moving the last start.
    const int room = work.limit - work.end();
    const int most = message == work.messages.rbegin() ? room : std::min(room, kSequentialEnd - 1 - work.start_last());
    if (!lengthen(work, *message, short_by, most, false)) lengthen(work, *message, 1, short_by - 1, true);
    work.lay_out();
  }
  return work.end() >= kSequentialEnd;
}

void refuse_short(Relayout& work) {
  const int short_by = kSequentialEnd - work.end();
  const bool any_shrank = std::any_of(work.messages.begin(), work.messages.end(),
                                      [](const Relaid& m) { return m.change && m.size() < m.old->size; });
  for (const Relaid& message : work.messages) {
    if (!message.change || (any_shrank && message.size() >= message.old->size)) continue;
    work.plan.refuse(refusal_of(
        *message.change, 0,
        "the sequential block's texts share one fixed total, and it would end at " + address_text(kMessageBank, work.end()) + ", " +
            encode::counted(static_cast<std::size_t>(short_by), "byte") + " short of " + address_text(kMessageBank, kSequentialEnd) +
            " (the dump would read the bytes after it as more messages), no longer spelling of its edited messages making up for it; "
            "the translation needs " +
            encode::characters_off(8 * static_cast<std::size_t>(short_by), encode::Miss::short_of, cost_of(work, message)) +
            ", or longer texts elsewhere in the block"));
  }
}

// An unchanged message that reads the bytes after it cannot move.
void refuse_unmovable(Relayout& work) {
  for (const Relaid& message : work.messages) {
    if (message.change || !message.moved()) continue;
    if (Outcome failure = check_rewritable(*message.old)) {
      work.refuse_first(failure->reason + " (" + kFile + " line " + std::to_string(message.line) + ", unchanged, would move to " +
                        address_text(kMessageBank, message.address) + ")");
      return;
    }
  }
}

// Word-list pointer words at a moved message's old address follow it. An
// unchanged line whose pointer lies inside one cannot; one inside an edited
// message is copied out by the word-list planner, as is an edited line.
void follow_pointers(Relayout& work, const std::set<std::size_t>& edited_lines) {
  const std::vector<WordListEntry>& entries = work.image.map.entries;
  const ByteRange laid{work.messages.front().old->address, work.image.map.sequential().end};
  std::set<int> words;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const WordListEntry& entry = entries[i];
    if (entry.address < laid.start || entry.address >= laid.end || !words.insert(entry.word).second) continue;
    const auto holder = std::prev(std::upper_bound(work.messages.begin(), work.messages.end(), entry.address,
                                                   [](int address, const Relaid& m) { return address < m.old->address; }));
    if (!holder->moved() && !holder->change) continue;
    if (entry.address == holder->old->address) {
      if (!holder->moved()) continue;
      work.plan.claim(static_cast<std::size_t>(rom_offset(kGroupPointers.bank, entry.word)), 2);
      work.plan.write_word(kGroupPointers.bank, entry.word, holder->address);
    } else if (!holder->new_text && !edited_lines.count(i + 1)) {
      work.refuse_first("entry " + entry_name(entry) + " (wordlist.txt line " + std::to_string(i + 1) + ") points at " +
                        address_text(kMessageBank, entry.address) + ", inside " + name_of(holder->old->address) + " (" + kFile + " line " +
                        std::to_string(holder->line) + "), which would be written again at " + address_text(kMessageBank, holder->address) +
                        ": a pointer into a message cannot follow it");
    }
  }
}

// Only the bytes that differ are written.
void write_block(Relayout& work) {
  std::vector<std::uint8_t> bytes;
  for (const Relaid& message : work.messages) bytes.insert(bytes.end(), message.bytes.begin(), message.bytes.end());
  const int start = work.messages.front().old->address;
  const auto old = work.plan.draft().subspan(static_cast<std::size_t>(rom_offset(kMessageBank, start)), bytes.size());
  std::size_t first = 0, last = bytes.size();
  while (first < last && bytes[first] == old[first]) ++first;
  while (last > first && bytes[last - 1] == old[last - 1]) --last;
  if (first == last) return;
  work.plan.claim(static_cast<std::size_t>(rom_offset(kMessageBank, start)) + first, last - first);
  work.plan.write(kMessageBank, start + static_cast<int>(first), std::span(bytes).subspan(first, last - first));
}

// Word-list messages the block now reaches past its old end are copied
// out of its way, as those in a rewritten message are.
void claim_past_end(Relayout& work) {
  const int old_end = work.image.map.sequential().end;
  if (work.end() <= old_end) return;
  const auto grown = std::find_if(work.messages.begin(), work.messages.end(),
                                  [](const Relaid& m) { return m.change && m.size() > m.old->size; });
  const Relaid& cause = grown != work.messages.end() ? *grown : work.messages.front();
  work.plan.rewritten.push_back({{old_end, work.end()}, -1, {}, {}, cause.change});
}

// The lines of the messages that moved or changed, with their new
// addresses; what the counts and the word-list planner need.
void record(Relayout& work) {
  PlanCounts& counts = work.plan.counts;
  counts.sequential_end_before = work.image.map.sequential().end;
  counts.sequential_end_after = work.end();
  for (const Relaid& message : work.messages) {
    if (message.new_text) {
      const int address = message.old->address;
      const std::string_view text = std::string_view(message.change->edited).substr(line_identifier(kFile, message.change->edited).size());
      work.plan.rewritten.push_back({{address, address + message.old->size}, address, text, message.encoded.read_back, message.change});
      ++counts.sequential_rewritten;
    }
    counts.sequential_other_codes += message.other_codes;
    if (message.moved()) counts.sequential_moved.push_back({message.line, message.old->address, message.address});
    if (!message.change && !message.moved()) continue;
    const std::string text = message.change ? message.encoded.read_back : rendered(message.old->units, work.coding.dictionaries.written);
    work.plan.expect_line(kDump, message.line, name_of(message.address) + text);
  }
}

}  // namespace

void plan_sequential_relayout(const ImageView& image, const LineCoding& coding, std::span<const Change> changes,
                              std::span<const Change> word_list_changes, InsertPlan& plan) {
  Relayout work{image, coding, plan, block_limit(image)};
  gather(work, changes);
  if (work.messages.empty()) return;
  if (const int over = bytes_over(work); over > 0) return refuse_grown(work, over);
  plan.counts.sequential_end_shortest = work.end();
  if (!reach_end(work)) return refuse_short(work);
  refuse_unmovable(work);
  std::set<std::size_t> edited_lines;
  for (const Change& change : word_list_changes) edited_lines.insert(change.number);
  follow_pointers(work, edited_lines);
  write_block(work);
  record(work);
  claim_past_end(work);
}

}  // namespace ambergale
