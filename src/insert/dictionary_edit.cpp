#include "insert/dictionary_edit.hpp"

#include <algorithm>
#include <map>

#include "cartridge/cartridge_map.hpp"
#include "encode/character_room.hpp"
#include "encode/encoder.hpp"
#include "encode/message_encoder.hpp"
#include "insert/edit_set.hpp"
#include "insert/line_encoding.hpp"
#include "text/hex.hpp"
#include "text/render.hpp"
#include "text/code_units.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "sublist.txt";
constexpr int kBank = kDictionaryPointers.bank;

std::string code_name(int e) { return hex_text(static_cast<std::uint32_t>(kFirstEntryCode + e), 4); }

// The entries an entry's units name directly.
std::vector<int> references(const CodeStream& stream) {
  std::vector<int> named;
  for (const std::uint16_t u : code_units(stream)) {
    if (kExpandedReferences.holds(u) && u - kFirstEntryCode < kDictionaryEntries) named.push_back(u - kFirstEntryCode);
  }
  return named;
}

// Whether entry `from` reaches entry `to` through references.
bool reaches(const std::vector<CodeStream>& decoded, int from, int to) {
  std::vector<bool> seen(decoded.size(), false);
  std::vector<int> pending{from};
  while (!pending.empty()) {
    const int e = pending.back();
    pending.pop_back();
    if (e == to) return true;
    if (seen[static_cast<std::size_t>(e)]) continue;
    seen[static_cast<std::size_t>(e)] = true;
    for (const int next : references(decoded[static_cast<std::size_t>(e)])) pending.push_back(next);
  }
  return false;
}

// Every entry that reaches one of `edited`, the edited ones included.
std::vector<bool> users_of(const std::vector<CodeStream>& decoded, const std::vector<int>& edited) {
  std::vector<std::vector<int>> used_by(decoded.size());
  for (std::size_t e = 0; e < decoded.size(); ++e) {
    for (const int d : references(decoded[e])) used_by[static_cast<std::size_t>(d)].push_back(static_cast<int>(e));
  }
  std::vector<bool> reached(decoded.size(), false);
  std::vector<int> pending = edited;
  while (!pending.empty()) {
    const auto e = static_cast<std::size_t>(pending.back());
    pending.pop_back();
    if (reached[e]) continue;
    reached[e] = true;
    for (const int user : used_by[e]) pending.push_back(user);
  }
  return reached;
}

// Where an entry's bits end in the image.
int bits_end(const EntrySlot& slot) { return slot.start + std::min(slot.consumed, std::max(slot.size, 0)); }

// The last entry's bits in `cart`.
int last_entry_end(const Cartridge& cart, const TreePair& dict_trees) {
  CodeStream decoded;
  return bits_end(load_dictionary_entry(cart, dict_trees, kDictionaryEntries - 1, decoded));
}

// The edited entries' new bits, by entry, the change of each, and what
// its characters cost, for a refusal.
struct NewEntries {
  std::map<int, std::vector<std::uint8_t>> bytes;
  std::map<int, const Change*> change_of;
  std::map<int, encode::CharacterBits> cost;
};

// The coder of entries: the dictionary trees, with only the entries the
// edits do not reach, since entries found again by their text must not
// change with the edits.
encode::MessageCoder entry_coder(const Tables& tables, const std::vector<bool>& reaching) {
  Dictionary usable;
  usable.codes = tables.dictionary.codes;
  for (std::size_t e = 0; e < usable.codes.size(); ++e) {
    if (reaching[e]) usable.codes[e].clear();
  }
  return encode::make_message_coder(tables.dict_trees, usable);
}

// Why entry e may not be written as `encoded`, whose characters cost
// `cost`, at a column or the whole line.
Outcome entry_refusal(const std::vector<CodeStream>& decoded, const std::vector<bool>& reaching, int e, const EncodedLine& encoded,
                      const encode::CharacterBits& cost) {
  for (std::size_t i = 0; i < encoded.literal.size(); ++i) {
    const int u = encoded.literal[i];
    if (!kExpandedReferences.holds(u) || u - kFirstEntryCode >= kDictionaryEntries) continue;
    const int d = u - kFirstEntryCode;
    if (!reaching[static_cast<std::size_t>(d)]) continue;
    if (d == e || reaches(decoded, d, e)) {
      return Failure::at({}, 0, encoded.columns[i], "entry " + code_name(e) + " would refer to itself through " + code_name(d));
    }
    return Failure::at({}, 0, encoded.columns[i], "entry " + code_name(e) + " would use entry " + code_name(d) +
                                                      ", which uses an entry this run changes: edit them in separate runs, or write its text");
  }
  if (encoded.encoded.bytes.size() > static_cast<std::size_t>(kMostEntryBytes)) {
    return Failure{{}, "entry " + code_name(e) + " needs " + std::to_string(encoded.encoded.bytes.size()) + " bytes, more than the " +
                           std::to_string(kMostEntryBytes) + " an entry may take; the translation needs " +
                           encode::characters_off(encoded.encoded.bits - 8 * static_cast<std::size_t>(kMostEntryBytes), encode::Miss::over, cost)};
  }
  return std::nullopt;
}

// Encodes each change with the dictionary trees and sets its entry of
// `decoded` to the new units; a refused change leaves its entry as it was.
void encode_entries(const ImageView& image, std::span<const Change> changes, std::vector<CodeStream>& decoded,
                    NewEntries& entries, InsertPlan& plan) {
  std::vector<int> edited;
  for (const Change& change : changes) edited.push_back(static_cast<int>(change.number) - 1);
  const std::vector<bool> reaching = users_of(decoded, edited);
  const auto coder = std::make_unique<encode::MessageCoder>(entry_coder(image.tables, reaching));
  const LineCoding coding{{image.tables.dictionary, image.tables.dictionary}, *coder, image.settings.newline, "dictionary trees"};
  for (const Change& change : changes) {
    const int e = static_cast<int>(change.number) - 1;
    const std::string_view text = std::string_view(change.edited).substr(line_identifier(kFile, change.edited).size());
    const std::vector<std::uint16_t> original = code_units(decoded[static_cast<std::size_t>(e)]);
    EncodedLine encoded;
    Outcome failure = encode_line(coding, {text, original}, encoded);
    const encode::CharacterBits cost =
        encode::counting_cost(encode::character_bits(*coder, encoded.literal), encode::character_bits(*coder, original));
    if (!failure) failure = entry_refusal(decoded, reaching, e, encoded, cost);
    if (failure) {
      plan.refuse(refusal_of(change, failure->column, failure->reason));
      continue;
    }
    decoded[static_cast<std::size_t>(e)] = code_bytes(encoded.encoded.units);
    entries.bytes[e] = std::move(encoded.encoded.bytes);
    entries.change_of[e] = &change;
    entries.cost[e] = cost;
  }
}

int sum(const std::vector<int>& sizes) {
  int total = 0;
  for (const int size : sizes) total += size;
  return total;
}

// Entry `first` on, when they can be laid out again: only entries stored in
// index order from there on can.
Outcome check_order(const std::vector<EntrySlot>& slots, int first) {
  const int start = slots[static_cast<std::size_t>(first)].start;
  for (int e = 0; e < kDictionaryEntries; ++e) {
    const EntrySlot& entry = slots[static_cast<std::size_t>(e)];
    const bool in_order = e < first ? entry.start <= start : entry.start >= start && entry.size >= 0;
    if (!in_order) {
      return Failure{{}, "entry " + code_name(first) + " does not fit its slot, and the entries from it on "
                         "cannot be laid out again: entry " + code_name(e) + " is not stored in index order"};
    }
  }
  return std::nullopt;
}

// The slot sizes of entries `first`..3048 back to back: edited entries take
// their new bits, unchanged ones their old slots, or only their bits when
// `trimmed` (the last one always, its slot running to the end).
std::vector<int> slot_sizes(const std::vector<EntrySlot>& slots, const NewEntries& entries, int first, bool trimmed) {
  std::vector<int> all;
  for (int e = first; e < kDictionaryEntries; ++e) {
    const EntrySlot& entry = slots[static_cast<std::size_t>(e)];
    const bool last_entry = e + 1 == kDictionaryEntries;
    if (const auto edited = entries.bytes.find(e); edited != entries.bytes.end()) {
      all.push_back(static_cast<int>(edited->second.size()));
    } else {
      all.push_back((trimmed || last_entry) && entry.consumed <= entry.size ? entry.consumed : entry.size);
    }
  }
  return all;
}

std::string overflow_refusal(const std::vector<int>& sizes, int first, int start, const encode::CharacterBits& cost) {
  const int room = kDictionaryEnd - start;
  int end = start, first_out = first;
  for (std::size_t k = 0; k < sizes.size() && end + sizes[k] <= kDictionaryEnd; ++k) {
    end += sizes[k];
    first_out = first + static_cast<int>(k) + 1;
  }
  return "entry " + code_name(first_out) + " does not fit: the entries from " + code_name(first) + " on need " +
         std::to_string(sum(sizes)) + " bytes, " + range_text(kBank, start, kDictionaryEnd) + " holds " + std::to_string(room) +
         ": " + encode::counted(static_cast<std::size_t>(sum(sizes) - room), "byte") + " missing; the translation needs " +
         encode::characters_off(8 * static_cast<std::size_t>(sum(sizes) - room), encode::Miss::over, cost);
}

// The slot sizes of entries `first`..3048 laid out back to back from the
// start of `first` to the dictionary's end: untrimmed when they fit so;
// the bytes left over widen the last slot, then those from the first on,
// each to at most what an entry may take.
Outcome plan_layout(const std::vector<EntrySlot>& slots, const NewEntries& entries, int first, std::vector<int>& sizes) {
  if (Outcome failure = check_order(slots, first)) return failure;
  const int start = slots[static_cast<std::size_t>(first)].start;
  const int room = kDictionaryEnd - start;
  sizes = slot_sizes(slots, entries, first, false);
  if (sum(sizes) > room) sizes = slot_sizes(slots, entries, first, true);
  if (sum(sizes) > room) return Failure{{}, overflow_refusal(sizes, first, start, entries.cost.at(first))};
  int spare = room - sum(sizes);
  const auto widen = [&](std::size_t k) {
    const int by = std::min(spare, std::max(kMostEntryBytes - sizes[k], 0));
    sizes[k] += by;
    spare -= by;
  };
  widen(sizes.size() - 1);
  for (std::size_t k = 0; k + 1 < sizes.size() && spare > 0; ++k) widen(k);
  sizes.back() += spare;  // only when the image's own slots were larger still
  return std::nullopt;
}

// Writes entries `first`.. at the sizes planned, rewriting the pointer
// words that change; unchanged entries are copied from the original image.
void write_layout(const ImageView& image, const NewEntries& entries, int first, const std::vector<int>& sizes, InsertPlan& plan) {
  const std::vector<EntrySlot>& slots = image.tables.dictionary.slots;
  int at = slots[static_cast<std::size_t>(first)].start;
  plan.claim(static_cast<std::size_t>(rom_offset(kBank, at)), static_cast<std::size_t>(kDictionaryEnd - at));
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    const int e = first + static_cast<int>(k);
    const EntrySlot& entry = slots[static_cast<std::size_t>(e)];
    if (at != entry.start) {
      const int word = kDictionaryPointers.address + 2 * e;
      plan.claim(static_cast<std::size_t>(rom_offset(kBank, word)), 2);
      plan.write_word(kBank, word, at);
    }
    const auto edited = entries.bytes.find(e);
    const std::span<const std::uint8_t> bytes =
        edited != entries.bytes.end()
            ? std::span<const std::uint8_t>(edited->second)
            : rom_view(image.cart, kBank, entry.start).first(static_cast<std::size_t>(std::min(sizes[k], std::max(entry.size, 0))));
    plan.write(kBank, at, bytes);
    at += sizes[k];
    ++plan.counts.entries_laid_out;
  }
}

// The first edited entry that does not fit its slot, or kDictionaryEntries.
int first_grown(const std::vector<EntrySlot>& slots, const NewEntries& entries) {
  for (const auto& [e, bytes] : entries.bytes) {
    if (static_cast<int>(bytes.size()) > slots[static_cast<std::size_t>(e)].size) return e;
  }
  return kDictionaryEntries;
}

// The entries that grow, taken in index order while the entries from
// `first` on, laid out again, still fit: one that would not is refused and
// left out (its entry of `decoded` as it was), so that the later ones are
// judged without it.
void refuse_overflow(const Dictionary& dictionary, int first, NewEntries& entries, std::vector<CodeStream>& decoded,
                     InsertPlan& plan) {
  const std::vector<EntrySlot>& slots = dictionary.slots;
  NewEntries as_they_were = entries;
  std::vector<int> grown;
  for (const auto& [e, bytes] : entries.bytes) {
    if (e < first || static_cast<int>(bytes.size()) <= slots[static_cast<std::size_t>(e)].size) continue;
    grown.push_back(e);
    as_they_were.bytes.erase(e);
  }
  const std::vector<int> sizes = slot_sizes(slots, as_they_were, first, true);
  const int room = kDictionaryEnd - slots[static_cast<std::size_t>(first)].start;
  int total = sum(sizes);
  for (const int e : grown) {
    const int growth = static_cast<int>(entries.bytes.at(e).size()) - sizes[static_cast<std::size_t>(e - first)];
    if (total + growth <= room) {
      total += growth;
      continue;
    }
    const int missing = total + growth - room;
    plan.refuse(refusal_of(*entries.change_of.at(e), 0,
                           "entry " + code_name(e) + " grows by " + encode::counted(static_cast<std::size_t>(growth), "byte") +
                               ", and the dictionary has " + std::to_string(std::max(room - total, 0)) + " left up to " +
                               address_text(kBank, kDictionaryEnd) + " after the entries before it: " +
                               encode::counted(static_cast<std::size_t>(missing), "byte") + " missing; the translation needs " +
                               encode::characters_off(8 * static_cast<std::size_t>(missing), encode::Miss::over, entries.cost.at(e))));
    entries.bytes.erase(e);
    entries.change_of.erase(e);
    decoded[static_cast<std::size_t>(e)] = dictionary.decoded[static_cast<std::size_t>(e)];
  }
}

// In place up to the first edited entry that does not fit its slot, then
// laid out again from there; grown entries the dictionary has no room for
// are refused first. Returns the change that refused the layout, if any.
const Change* place_entries(const ImageView& image, NewEntries& entries, std::vector<CodeStream>& decoded, InsertPlan& plan) {
  const std::vector<EntrySlot>& slots = image.tables.dictionary.slots;
  if (const int first = first_grown(slots, entries); first < kDictionaryEntries) {
    refuse_overflow(image.tables.dictionary, first, entries, decoded, plan);
  }
  const int first_moved = first_grown(slots, entries);
  for (const auto& [e, bytes] : entries.bytes) {
    if (e >= first_moved) break;
    const EntrySlot& slot = slots[static_cast<std::size_t>(e)];
    plan.claim(static_cast<std::size_t>(rom_offset(kBank, slot.start)), bytes.size());
    plan.write(kBank, slot.start, bytes);
    ++plan.counts.entries_in_place;
  }
  if (first_moved == kDictionaryEntries) return nullptr;
  std::vector<int> sizes;
  if (Outcome failure = plan_layout(slots, entries, first_moved, sizes)) {
    const Change& change = *entries.change_of.at(first_moved);
    plan.refuse(refusal_of(change, 0, failure->reason));
    return &change;
  }
  write_layout(image, entries, first_moved, sizes, plan);
  return nullptr;
}

// No entry but the edited ones may read differently in the draft.
void check_read_back(const ImageView& image, const NewEntries& entries, const std::vector<CodeStream>& decoded, InsertPlan& plan) {
  const Cartridge made = plan.draft_cartridge();
  const Change& first = *entries.change_of.begin()->second;
  for (int e = 0; e < kDictionaryEntries; ++e) {
    CodeStream now;
    load_dictionary_entry(made, image.tables.dict_trees, e, now);
    if (now == decoded[static_cast<std::size_t>(e)]) continue;
    const auto edited = entries.change_of.find(e);
    const Change& change = edited != entries.change_of.end() ? *edited->second : first;
    plan.refuse(refusal_of(change, 0, "entry " + code_name(e) + (edited != entries.change_of.end() ? "" : " (line " + std::to_string(e + 1) + ")") +
                                          " would read differently: its bits are not all inside its own slot"));
    return;
  }
}

// Every entry the edits reach must still expand into its slot.
void check_expansions(const ImageView& image, const NewEntries& entries, const Dictionary& edited, InsertPlan& plan) {
  const Change& first = *entries.change_of.begin()->second;
  for (std::size_t e = 0; e < edited.codes.size(); ++e) {
    if (edited.codes[e] == image.tables.dictionary.codes[e] || edited.codes[e].size() <= 2 * kEntrySlotUnits) continue;
    plan.refuse(refusal_of(first, 0, "entry " + code_name(static_cast<int>(e)) + " would expand to " +
                                         std::to_string(edited.codes[e].size() / 2) + " units, more than the " +
                                         std::to_string(kEntrySlotUnits) + " of a slot"));
    return;
  }
}

}  // namespace

void plan_dictionary_edits(const ImageView& image, std::span<const Change> changes, InsertPlan& plan, Dictionary& edited) {
  std::vector<CodeStream> decoded = image.tables.dictionary.decoded;
  plan.counts.dictionary_end_before = bits_end(image.tables.dictionary.slots.back());
  NewEntries entries;
  encode_entries(image, changes, decoded, entries, plan);
  if (entries.bytes.empty()) return;
  if (place_entries(image, entries, decoded, plan)) return;  // the layout was refused: nothing more to check
  if (entries.bytes.empty()) return;
  check_read_back(image, entries, decoded, plan);
  plan.counts.dictionary_end_after = last_entry_end(plan.draft_cartridge(), image.tables.dict_trees);
  build_dictionary_from(decoded, edited);
  check_expansions(image, entries, edited, plan);
  plan.dictionary = std::move(decoded);
}

}  // namespace ambergale
