#include "catalogue/catalogue.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "cartridge/cartridge_map.hpp"
#include "catalogue/po_spelling.hpp"
#include "dump/dumps.hpp"
#include "dump/stored_messages.hpp"
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

std::string fixed_rule(int bytes, int bits) {
  const BitSpan span = fixed_length_bits(static_cast<std::size_t>(bytes));
  return "fixed: " + std::to_string(bytes) + " bytes, the text " + std::to_string(span.least) + " to " +
         std::to_string(span.most) + " bits (now " + std::to_string(bits) + ")";
}

}  // namespace

std::vector<CatalogueItem> catalogue_items(const Cartridge& cart, const Tables& tables, const MessageMap& map) {
  std::vector<CatalogueItem> items;
  EntryUse use(tables.dictionary);
  const auto spelled = [&](std::span<const std::uint16_t> units) {
    std::string text;
    append_po_spelling(units, tables.dictionary, text);
    return text;
  };

  // Word lists and the sequential block: one item per message address.
  std::map<int, std::size_t> by_address;
  std::map<int, std::size_t> sequential_at;
  for (std::size_t s = 0; s < map.block.size(); ++s) sequential_at[map.block[s].address] = s;
  for (std::size_t k = 0; k < map.entries.size(); ++k) {
    const WordListEntry& entry = map.entries[k];
    const StoredMessage& message = map.messages.at(entry.address);
    use.count_line(message.units);
    auto [found, added] = by_address.emplace(entry.address, items.size());
    if (added) {
      CatalogueItem item;
      const std::string where = address_text(kMessageBank, entry.address);
      if (const auto in_block = sequential_at.find(entry.address); in_block != sequential_at.end()) {
        const SequentialMessage& shown = map.block[in_block->second];
        item.context = "S " + where;
        item.comment = "sequential block at " + where + ", also a word-list message; " + fixed_rule(shown.size, shown.bits);
      } else {
        item.context = "W " + hex2(entry.group) + ":" + hex4(entry.index);
        item.comment = "word-list message at " + where + ", " + std::to_string(message.size) +
                       " bytes; may grow: a longer text moves into free bytes of bank " + bank_text(kMessageBank);
      }
      item.text = spelled(message.units);
      items.push_back(std::move(item));
    }
    items[found->second].lines.push_back({kWordList, k + 1});
  }
  for (std::size_t s = 0; s < map.block.size(); ++s) {
    const SequentialMessage& message = map.block[s];
    use.count_line(message.units);
    auto [found, added] = by_address.emplace(message.address, items.size());
    if (added) {
      const std::string where = address_text(kMessageBank, message.address);
      items.push_back({"S " + where, spelled(message.units), "sequential block at " + where + "; " + fixed_rule(message.size, message.bits), {}});
    }
    items[found->second].lines.push_back({kSequential, s + 1});
  }

  // Scripts: one item per message of a block.
  const std::vector<ScriptPlace> places = script_places(cart);
  const std::vector<ScriptLine>& lines = map.script_lines;
  std::vector<CatalogueItem> script_items;
  std::map<std::tuple<int, int, std::int64_t>, std::size_t> by_block;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const ScriptLine& m = lines[n];
    if (m.kind != ScriptLine::Kind::message) continue;
    const ScriptPlace& place = places[static_cast<std::size_t>(m.script)];
    use.count_line(m.units);
    auto [found, added] = by_block.emplace(std::tuple{place.bank, place.address, m.offset}, script_items.size());
    if (added) {
      CatalogueItem item;
      item.context = "M " + hex4(m.script) + ":" + hex4(m.instruction) + ":" + std::to_string(m.message);
      item.text = spelled(m.units);
      const bool own = ends_with_end_code(m.units);
      item.comment = "script " + hex4(m.script) + ", block " + address_text(place.bank, place.address) + " (" +
                     std::to_string(place.length) + " bytes), message at " + hex4(m.offset) + "; " +
                     (own ? fixed_rule(m.size, m.bits) + ", and the block keeps its length"
                          : std::string("cannot change: it has no end code within its script"));
      script_items.push_back(std::move(item));
    }
    script_items[found->second].lines.push_back({kScripts, n + 1});
  }

  // The dictionary, once every line that shows an entry is counted.
  for (std::size_t e = 0; e < tables.dictionary.codes.size(); ++e) use.count_entry_line(static_cast<int>(e));
  for (std::size_t e = 0; e < tables.dictionary.codes.size(); ++e) {
    const int code = kFirstEntryCode + static_cast<int>(e);
    const EntrySlot& slot = tables.dictionary.slots[e];
    CatalogueItem item{"D " + hex4(code), spelled(code_units(tables.dictionary.codes[e])),
                       "dictionary entry " + hex4(code) + " at " + address_text(kDictionaryPointers.bank, slot.start) + ", " +
                           std::to_string(slot.size) + " bytes; its text shows in " +
                           std::to_string(use.lines(static_cast<int>(e))) +
                           " other lines, which change with it; at most 100 units expanded",
                       {{kDictionary, e + 1}}};
    items.push_back(std::move(item));
  }
  items.insert(items.end(), std::make_move_iterator(script_items.begin()), std::make_move_iterator(script_items.end()));
  return items;
}

}  // namespace ambergale
