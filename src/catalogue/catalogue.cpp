#include "catalogue/catalogue.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "cartridge/cartridge_map.hpp"
#include "catalogue/po_spelling.hpp"
#include "catalogue/po_tags.hpp"
#include "dump/dumps.hpp"
#include "dump/stored_messages.hpp"
#include "encode/character_room.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr std::size_t kWordList = 0, kSequential = 1, kDictionary = 2, kScripts = 3;

std::string hex2(int value) { return hex_text(static_cast<std::uint32_t>(value), 2); }
std::string hex4(std::int64_t value) { return hex_text(static_cast<std::uint32_t>(value), 4); }

// The dictionary entries each entry names before expansion.
std::vector<std::vector<int>> entry_references(const Dictionary& dictionary) {
  std::vector<std::vector<int>> references(dictionary.codes.size());
  for (std::size_t e = 0; e < references.size(); ++e) {
    for (const std::uint16_t unit : code_units(dictionary.decoded[e])) {
      if (unit >= kFirstEntryCode && static_cast<std::size_t>(unit - kFirstEntryCode) < references.size()) {
        references[e].push_back(unit - kFirstEntryCode);
      }
    }
  }
  return references;
}

// Counts, for each entry, the lines that show it, directly or through other entries.
class EntryUse {
 public:
  explicit EntryUse(const Dictionary& dictionary) : references_(entry_references(dictionary)), lines_(references_.size(), 0) {}

  void count_line(std::span<const std::uint16_t> units) {
    std::set<int> shown;
    for (const std::uint16_t unit : units) {
      if (unit >= kFirstEntryCode && static_cast<std::size_t>(unit - kFirstEntryCode) < references_.size()) {
        reach(unit - kFirstEntryCode, shown);
      }
    }
    for (const int e : shown) ++lines_[static_cast<std::size_t>(e)];
  }
  // The line of entry e itself shows the entries it names.
  void count_entry_line(int e) {
    std::set<int> shown;
    for (const int named : references_[static_cast<std::size_t>(e)]) reach(named, shown);
    for (const int shown_entry : shown) ++lines_[static_cast<std::size_t>(shown_entry)];
  }
  std::size_t lines(int e) const { return lines_[static_cast<std::size_t>(e)]; }

 private:
  void reach(int e, std::set<int>& shown) const {
    if (!shown.insert(e).second) return;
    for (const int named : references_[static_cast<std::size_t>(e)]) reach(named, shown);
  }

  std::vector<std::vector<int>> references_;
  std::vector<std::size_t> lines_;
};

// The trees a kind of text is written with, and what their full-width
// Latin letters cost: a text's room is told in characters before anything
// is translated.
struct RoomCounter {
  std::unique_ptr<encode::MessageCoder> coder;
  encode::CharacterBits latin;

  RoomCounter(const TreePair& trees, const Dictionary& dictionary)
      : coder(std::make_unique<encode::MessageCoder>(encode::make_message_coder(trees, dictionary))),
        latin(encode::latin_letter_bits(*coder)) {}

  // "about 11 characters like these, or 7 full-width Latin letters": the
  // bits of `bytes` left after the tags and end code of `units`, over the
  // mean of their characters and of the Latin letters.
  std::string room(int bytes, std::span<const std::uint16_t> units) const {
    const encode::CharacterBits own = encode::character_bits(*coder, units);
    const std::size_t all = 8 * static_cast<std::size_t>(std::max(bytes, 0));
    const std::size_t bits = all > own.other_bits ? all - own.other_bits : 0;
    const std::string like = own.characters > 0 ? encode::counted(encode::characters_in(bits, own), "character") + " like these" : "";
    if (latin.characters == 0) return (like.empty() ? "" : "about " + like + "; ") + "no full-width Latin letter has a code";
    return "about " + (like.empty() ? "" : like + ", or ") + encode::counted(encode::characters_in(bits, latin), "full-width Latin letter");
  }
};

// What a catalogue says of a text's room holds whatever the insert's mode:
// these say what --relayout changes.
constexpr const char* kSequentialTotal =
    "; with --relayout the block's texts share one total: a longer text is paid for by shorter ones";
constexpr const char* kScriptBlock =
    "; its block is compressed again (with --relayout, to any length its group has room for; with --script-offsets "
    "declared as well, the text itself may take more or fewer bytes)";

std::string fixed_rule(const RoomCounter& counter, int bytes, int bits, std::span<const std::uint16_t> units) {
  const BitSpan span = fixed_length_bits(static_cast<std::size_t>(bytes));
  return "fixed: " + encode::counted(static_cast<std::size_t>(bytes), "byte") + " (" + std::to_string(span.least) + " to " +
         std::to_string(span.most) + " bits, now " + std::to_string(bits) + "): " + counter.room(bytes, units);
}

// The items while they are gathered, and the lines that show each entry.
struct Gathering {
  const Tables& tables;
  const MessageMap& map;
  EntryUse use;
  RoomCounter messages;  // written with the text trees
  RoomCounter entries;   // with the dictionary trees
  std::vector<CatalogueItem> items;
  std::map<int, std::size_t> by_address = {};  // word-list and sequential items by message address
  std::map<int, const SequentialMessage*> sequential_at = {};  // the block's messages by address

  std::string spelled(std::span<const std::uint16_t> units) const {
    std::string text;
    append_po_spelling(units, tables.dictionary, text);
    return text;
  }
};

// A new item for the word-list message at `entry`'s address: a message of
// the sequential block when it is one.
CatalogueItem word_list_item(const Gathering& g, const WordListEntry& entry, const StoredMessage& message) {
  CatalogueItem item;
  const std::string where = address_text(kMessageBank, entry.address);
  if (const auto in_block = g.sequential_at.find(entry.address); in_block != g.sequential_at.end()) {
    const SequentialMessage& shown = *in_block->second;
    item.context = "S " + where;
    item.comment = "sequential block at " + where + ", also a word-list message; " +
                   fixed_rule(g.messages, shown.size, shown.bits, shown.units) + kSequentialTotal;
  } else {
    item.context = "W " + hex2(entry.group) + ":" + hex4(entry.index);
    item.comment = "word-list message at " + where + ", " + encode::counted(static_cast<std::size_t>(message.size), "byte") + ": " +
                   g.messages.room(message.size, message.units) + "; may grow: a longer text moves into free bytes of bank " +
                   bank_text(kMessageBank);
  }
  item.text = g.spelled(message.units);
  return item;
}

// Word lists and the sequential block: one item per message address.
void gather_messages(Gathering& g) {
  for (const SequentialMessage& message : g.map.block) g.sequential_at.emplace(message.address, &message);
  for (std::size_t k = 0; k < g.map.entries.size(); ++k) {
    const WordListEntry& entry = g.map.entries[k];
    const StoredMessage& message = g.map.messages.at(entry.address);
    g.use.count_line(message.units);
    auto [found, added] = g.by_address.emplace(entry.address, g.items.size());
    if (added) g.items.push_back(word_list_item(g, entry, message));
    g.items[found->second].lines.push_back({kWordList, k + 1});
  }
  for (std::size_t s = 0; s < g.map.block.size(); ++s) {
    const SequentialMessage& message = g.map.block[s];
    g.use.count_line(message.units);
    auto [found, added] = g.by_address.emplace(message.address, g.items.size());
    if (added) {
      const std::string where = address_text(kMessageBank, message.address);
      g.items.push_back({"S " + where, g.spelled(message.units),
                         "sequential block at " + where + "; " + fixed_rule(g.messages, message.size, message.bits, message.units) +
                             kSequentialTotal,
                         {}});
    }
    g.items[found->second].lines.push_back({kSequential, s + 1});
  }
}

CatalogueItem script_item(const Gathering& g, const ScriptLine& m, const ScriptPlace& place) {
  const std::string rule = ends_with_end_code(m.units) ? fixed_rule(g.messages, m.size, m.bits, m.units) + kScriptBlock
                                                       : std::string("cannot change: it has no end code within its script");
  return {"M " + hex4(m.script) + ":" + hex4(m.instruction) + ":" + std::to_string(m.message), g.spelled(m.units),
          "script " + hex4(m.script) + ", block " + address_text(place.bank, place.address) + " (" +
              std::to_string(place.length) + " bytes), message at " + hex4(m.offset) + "; " + rule,
          {}};
}

// Scripts: one item per message of a block.
std::vector<CatalogueItem> gather_scripts(const Cartridge& cart, Gathering& g) {
  const std::vector<ScriptPlace> places = script_places(cart);
  const std::vector<ScriptLine>& lines = g.map.script_lines;
  std::vector<CatalogueItem> items;
  std::map<std::tuple<int, int, std::int64_t>, std::size_t> by_block;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const ScriptLine& m = lines[n];
    if (m.kind != ScriptLine::Kind::message) continue;
    const ScriptPlace& place = places[static_cast<std::size_t>(m.script)];
    g.use.count_line(m.units);
    auto [found, added] = by_block.emplace(std::tuple{place.bank, place.address, m.offset}, items.size());
    if (added) items.push_back(script_item(g, m, place));
    items[found->second].lines.push_back({kScripts, n + 1});
  }
  return items;
}

// The dictionary, once every line that shows an entry is counted.
void gather_dictionary(Gathering& g) {
  const Dictionary& dictionary = g.tables.dictionary;
  for (std::size_t e = 0; e < dictionary.codes.size(); ++e) g.use.count_entry_line(static_cast<int>(e));
  for (std::size_t e = 0; e < dictionary.codes.size(); ++e) {
    const int code = kFirstEntryCode + static_cast<int>(e);
    const EntrySlot& slot = dictionary.slots[e];
    const std::string room = g.entries.room(slot.size, code_units(dictionary.decoded[e]));
    g.items.push_back({"D " + hex4(code), g.spelled(code_units(dictionary.codes[e])),
                       "dictionary entry " + hex4(code) + " at " + address_text(kDictionaryPointers.bank, slot.start) + ", " +
                           encode::counted(static_cast<std::size_t>(std::max(slot.size, 0)), "byte") + ": " + room +
                           "; its text shows in " + std::to_string(g.use.lines(static_cast<int>(e))) +
                           " other lines, which change with it; at most 100 units expanded",
                       {{kDictionary, e + 1}}});
  }
}

}  // namespace

std::vector<CatalogueItem> catalogue_items(const Cartridge& cart, const Tables& tables, const MessageMap& map) {
  Gathering g{tables, map, EntryUse(tables.dictionary), {tables.text_trees, tables.dictionary}, {tables.dict_trees, tables.dictionary}, {}};
  gather_messages(g);
  std::vector<CatalogueItem> scripts = gather_scripts(cart, g);
  gather_dictionary(g);
  g.items.insert(g.items.end(), std::make_move_iterator(scripts.begin()), std::make_move_iterator(scripts.end()));
  for (CatalogueItem& item : g.items) {
    if (const std::vector<std::string> tags = control_tags(item.text); !tags.empty()) item.comment += "\n" + keep_these_tags(tags);
  }
  return std::move(g.items);
}

}  // namespace ambergale
