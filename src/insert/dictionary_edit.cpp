#include "insert/dictionary_edit.hpp"

#include <algorithm>
#include <map>

#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"
#include "encode/message_encoder.hpp"
#include "insert/line_encoding.hpp"
#include "text/hex.hpp"
#include "text/render.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "sublist.txt";
constexpr int kBank = kDictionaryPointers.bank;
// An entry is expanded into a slot of 200 bytes: 100 units.
constexpr std::size_t kExpansionUnits = 100;
// An entry is read with the three bytes after it into 400 bytes.
constexpr int kMostEntryBytes = 397;

std::string where(std::size_t line) { return std::string(kFile) + ":" + std::to_string(line); }

std::string code_name(int e) { return hex_text(static_cast<std::uint32_t>(kFirstDictionaryCode + e), 4); }

CodeStream stream_of(const std::vector<std::uint16_t>& units) {
  CodeStream stream;
  for (const std::uint16_t u : units) {
    stream.push_back(static_cast<std::uint8_t>(u & 0xFF));
    stream.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return stream;
}

// The entries an entry's units name directly.
std::vector<int> references(const CodeStream& stream) {
  std::vector<int> named;
  for (const std::uint16_t u : code_units(stream)) {
    if (u >= kFirstReference && u <= kLastReference && u - kFirstReference < kDictionaryEntries) named.push_back(u - kFirstReference);
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

// An entry as it lies in an image.
struct Stored {
  int start = 0;
  int size = 0;  // its slot; may be 0 or negative
  int bits = 0;  // the bytes holding the bits its decode took
  int bits_end() const { return start + std::min(bits, std::max(size, 0)); }
};

// Decodes entry e as the dump does, into `decoded` when given.
Stored stored_entry(const Cartridge& cart, const TreePair& dict_trees, int e, CodeStream* decoded = nullptr) {
  const EntrySlot slot = dictionary_slot(cart, e);
  CodeBuffer codes;
  const TextDecode read = decode_dict_entry(dict_trees, rom_view(cart, kBank, slot.start), slot.size + 3, codes);
  if (decoded) decoded->assign(codes.begin(), codes.begin() + read.written);
  return {slot.start, slot.size, read.consumed};
}

// The edited entries' new bits, by entry, and the line of each.
struct NewEntries {
  std::map<int, std::vector<std::uint8_t>> bytes;
  std::map<int, std::size_t> line_of;
};

// Encodes each changed line with the dictionary trees, using only entries
// the edits do not reach, and sets its entry of `decoded` to the new units.
Outcome encode_entries(const Tables& tables, std::uint16_t newline, const std::vector<ChangedLine>& changed,
                       std::vector<CodeStream>& decoded, NewEntries& entries) {
  std::vector<int> edited;
  for (const ChangedLine& line : changed) edited.push_back(static_cast<int>(line.number) - 1);
  // Entries found again by their text must not change with the edits.
  const std::vector<bool> reaching = users_of(decoded, edited);
  Dictionary usable;
  usable.codes = tables.dictionary.codes;
  for (std::size_t e = 0; e < usable.codes.size(); ++e) {
    if (reaching[e]) usable.codes[e].clear();
  }
  const auto coder = std::make_unique<encode::MessageCoder>(encode::make_message_coder(tables.dict_trees, usable));
  for (const ChangedLine& line : changed) {
    const int e = static_cast<int>(line.number) - 1;
    EncodedLine encoded;
    if (Outcome failure = encode_line(where(line.number), line.edited.substr(line_identifier(kFile, line.edited).size()),
                                      code_units(decoded[static_cast<std::size_t>(e)]), {tables.dictionary, tables.dictionary}, *coder, newline,
                                      "dictionary trees", encoded)) {
      return failure;
    }
    for (std::size_t i = 0; i < encoded.literal.size(); ++i) {
      const int u = encoded.literal[i];
      if (u < kFirstReference || u > kLastReference || u - kFirstReference >= kDictionaryEntries) continue;
      const int d = u - kFirstReference;
      if (!reaching[static_cast<std::size_t>(d)]) continue;
      const std::string at = where(line.number) + ":" + std::to_string(encoded.columns[i]);
      if (d == e || reaches(decoded, d, e)) return Failure{at, "entry " + code_name(e) + " would refer to itself through " + code_name(d)};
      return Failure{at, "entry " + code_name(e) + " would use entry " + code_name(d) +
                             ", which uses an entry this run changes: edit them in separate runs, or write its text"};
    }
    if (encoded.encoded.bytes.size() > static_cast<std::size_t>(kMostEntryBytes)) {
      return Failure{where(line.number), "entry " + code_name(e) + " needs " + std::to_string(encoded.encoded.bytes.size()) +
                                             " bytes, more than the " + std::to_string(kMostEntryBytes) + " an entry may take"};
    }
    decoded[static_cast<std::size_t>(e)] = stream_of(encoded.encoded.units);
    entries.bytes[e] = std::move(encoded.encoded.bytes);
    entries.line_of[e] = line.number;
  }
  return std::nullopt;
}

int sum(const std::vector<int>& sizes) {
  int total = 0;
  for (const int size : sizes) total += size;
  return total;
}

// The slot sizes of entries `first`..3048 laid out back to back from the
// start of `first` to the dictionary's end: edited entries take their new
// bits, unchanged ones their old slots, or only their bits when that is
// what it takes to fit; the bytes left over widen the last slot, then
// those from the first on, each to at most what an entry may take.
Outcome plan_layout(const std::vector<Stored>& stored, const NewEntries& entries, int first, std::vector<int>& sizes) {
  const std::size_t line = entries.line_of.at(first);
  const int start = stored[static_cast<std::size_t>(first)].start;
  // Only entries stored in index order from there on can be laid out again.
  for (int e = 0; e < kDictionaryEntries; ++e) {
    const Stored& entry = stored[static_cast<std::size_t>(e)];
    const bool in_order = e < first ? entry.start <= start : entry.start >= start && entry.size >= 0;
    if (!in_order) {
      return Failure{where(line), "entry " + code_name(first) + " does not fit its slot, and the entries from it on "
                                  "cannot be laid out again: entry " + code_name(e) + " is not stored in index order"};
    }
  }
  const auto sizes_of = [&](bool trimmed) {
    std::vector<int> all;
    for (int e = first; e < kDictionaryEntries; ++e) {
      const Stored& entry = stored[static_cast<std::size_t>(e)];
      const bool last_entry = e + 1 == kDictionaryEntries;  // its slot runs to the end whatever its size
      if (const auto edited = entries.bytes.find(e); edited != entries.bytes.end()) {
        all.push_back(static_cast<int>(edited->second.size()));
      } else {
        all.push_back((trimmed || last_entry) && entry.bits <= entry.size ? entry.bits : entry.size);
      }
    }
    return all;
  };
  const int room = kDictionaryEnd - start;
  sizes = sizes_of(false);
  if (sum(sizes) > room) sizes = sizes_of(true);
  if (sum(sizes) > room) {
    int end = start, first_out = first;
    for (std::size_t k = 0; k < sizes.size() && end + sizes[k] <= kDictionaryEnd; ++k) {
      end += sizes[k];
      first_out = first + static_cast<int>(k) + 1;
    }
    return Failure{where(line), "entry " + code_name(first_out) + " does not fit: the entries from " + code_name(first) +
                                    " on need " + std::to_string(sum(sizes)) + " bytes, " + range_text(kBank, start, kDictionaryEnd) +
                                    " holds " + std::to_string(room) + ": " + std::to_string(sum(sizes) - room) + " bytes missing"};
  }
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
void write_layout(const Cartridge& cart, const std::vector<Stored>& stored, const NewEntries& entries, int first,
                  const std::vector<int>& sizes, std::span<std::uint8_t> image, DictionaryEdits& edits) {
  int at = stored[static_cast<std::size_t>(first)].start;
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    const int e = first + static_cast<int>(k);
    const Stored& entry = stored[static_cast<std::size_t>(e)];
    if (at != entry.start) {
      const int word = kDictionaryPointers.address + 2 * e;
      encode::put_word(image, kBank, word, at);
      edits.writes.push_back({static_cast<std::size_t>(rom_offset(kBank, word)), 2});
    }
    const auto edited = entries.bytes.find(e);
    const std::span<const std::uint8_t> bytes =
        edited != entries.bytes.end()
            ? std::span<const std::uint8_t>(edited->second)
            : rom_view(cart, kBank, entry.start).first(static_cast<std::size_t>(std::min(sizes[k], std::max(entry.size, 0))));
    encode::put_bytes(image, kBank, at, bytes);
    edits.writes.push_back({static_cast<std::size_t>(rom_offset(kBank, at)), bytes.size()});
    at += sizes[k];
    ++edits.laid_out;
  }
}

}  // namespace

Outcome insert_dictionary_edits(const Cartridge& cart, const Tables& tables, std::uint16_t newline,
                                const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                                std::vector<CodeStream>& decoded, Dictionary& edited, DictionaryEdits& edits) {
  std::vector<Stored> stored(kDictionaryEntries);
  decoded.resize(kDictionaryEntries);
  for (int e = 0; e < kDictionaryEntries; ++e) {
    stored[static_cast<std::size_t>(e)] = stored_entry(cart, tables.dict_trees, e, &decoded[static_cast<std::size_t>(e)]);
  }
  edits.end_before = stored.back().bits_end();
  NewEntries entries;
  if (Outcome failure = encode_entries(tables, newline, changed, decoded, entries)) return failure;
  // In place up to the first edited entry that does not fit its slot.
  int first_moved = kDictionaryEntries;
  for (const auto& [e, bytes] : entries.bytes) {
    if (static_cast<int>(bytes.size()) > stored[static_cast<std::size_t>(e)].size) {
      first_moved = e;
      break;
    }
    encode::put_bytes(image, kBank, stored[static_cast<std::size_t>(e)].start, bytes);
    edits.writes.push_back({static_cast<std::size_t>(rom_offset(kBank, stored[static_cast<std::size_t>(e)].start)), bytes.size()});
    ++edits.in_place;
  }
  if (first_moved < kDictionaryEntries) {
    std::vector<int> sizes;
    if (Outcome failure = plan_layout(stored, entries, first_moved, sizes)) return failure;
    write_layout(cart, stored, entries, first_moved, sizes, image, edits);
  }
  // No entry but the edited ones may read differently.
  Cartridge made;
  made.bytes = image;
  const std::size_t first_line = entries.line_of.begin()->second;
  for (int e = 0; e < kDictionaryEntries; ++e) {
    if (load_dictionary_entry(made, tables.dict_trees, e) == decoded[static_cast<std::size_t>(e)]) continue;
    const auto line = entries.line_of.find(e);
    return Failure{where(line != entries.line_of.end() ? line->second : first_line),
                   "entry " + code_name(e) + (line != entries.line_of.end() ? "" : " (line " + std::to_string(e + 1) + ")") +
                       " would read differently: its bits are not all inside its own slot"};
  }
  edits.end_after = stored_entry(made, tables.dict_trees, kDictionaryEntries - 1).bits_end();
  // Every entry the edits reach must still expand into its slot.
  build_dictionary_from(decoded, edited);
  for (std::size_t e = 0; e < edited.codes.size(); ++e) {
    if (edited.codes[e] == tables.dictionary.codes[e] || edited.codes[e].size() <= 2 * kExpansionUnits) continue;
    return Failure{where(first_line), "entry " + code_name(static_cast<int>(e)) + " would expand to " +
                                          std::to_string(edited.codes[e].size() / 2) + " units, more than the " +
                                          std::to_string(kExpansionUnits) + " of a slot"};
  }
  return std::nullopt;
}

}  // namespace ambergale
