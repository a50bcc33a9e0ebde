#include "insert/script_layout.hpp"

#include <algorithm>
#include <set>
#include <variant>

#include "dump/dumps.hpp"
#include "encode/character_room.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

std::string hex4(int value) { return hex_text(static_cast<std::uint32_t>(value), 4); }

std::string group_name(const ScriptGroup& group) {
  return "script group " + hex4(group.first) + "-" + hex4(group.first + group.count - 1) + " (bank " + bank_text(group.bank) + ")";
}

// A block of a group: its old address and length, and the scripts that point at it.
struct GroupBlock {
  int address = 0;
  int length = 0;
  std::vector<int> scripts = {};
};

// The blocks of a group in address order.
std::vector<GroupBlock> blocks_of(const std::vector<ScriptPlace>& places, const ScriptGroup& group) {
  std::map<int, GroupBlock> by_address;
  for (int i = group.first; i < group.first + group.count; ++i) {
    GroupBlock& block = by_address[places[static_cast<std::size_t>(i)].address];
    block.address = places[static_cast<std::size_t>(i)].address;
    block.length = places[static_cast<std::size_t>(i)].length;
    block.scripts.push_back(i);
  }
  std::vector<GroupBlock> blocks;
  for (auto& [address, block] : by_address) blocks.push_back(std::move(block));
  return blocks;
}

std::string block_name(const ScriptGroup& group, const GroupBlock& block) {
  return "block " + address_text(group.bank, block.address) + " (script " + hex4(block.scripts.front()) + ")";
}

// The group while it is laid out again, from its end backwards.
struct GroupLayout {
  const ImageView& image;
  const encode::ScriptCodes& codes;
  const ScriptGroup& group;
  InsertPlan& plan;
  std::vector<GroupBlock> blocks = {};
  int floor = 0;            // the lowest address the group may take
  std::vector<int> to = {};  // each block's new address
  int start = 0;            // where the group starts now
  std::map<int, std::vector<int>> symbols = {};  // of each block compressed again, by its old address

  std::size_t offset(int address) const { return static_cast<std::size_t>(rom_offset(group.bank, address)); }
};

// The lowest address the group may start at: its first block's, or lower
// over --free ranges that reach it.
int lowest_start(const ImageView& image, const ScriptGroup& group, int first) {
  int floor = first;
  for (bool lowered = true; lowered;) {
    lowered = false;
    for (const DeclaredRange& free : image.settings.free) {
      if (free.bank != group.bank || free.range.start >= floor || free.range.end < floor) continue;
      floor = free.range.start;
      lowered = true;
    }
  }
  return floor;
}

bool decodes_to(const GroupLayout& layout, int address, int length, std::span<const std::uint8_t> units) {
  std::vector<std::uint8_t> decoded(kScriptOutputCap);
  const int written = decode_script(layout.image.tables.script_tree, layout.plan.draft().subspan(layout.offset(address)), length,
                                    std::span<std::uint8_t, kScriptOutputCap>(decoded));
  return std::equal(decoded.begin(), decoded.begin() + written, units.begin(), units.end());
}

void put_bytes(GroupLayout& layout, int address, std::span<const std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), layout.plan.scratch().begin() + static_cast<std::ptrdiff_t>(layout.offset(address)));
}

// An unchanged block copied to end at `end`: its length when the copy
// decodes as the block did.
std::optional<int> copy_block(GroupLayout& layout, const GroupBlock& block, int end) {
  const int address = end - block.length;
  const std::span<const std::uint8_t> old = layout.image.cart.bytes.subspan(layout.offset(block.address));
  std::vector<std::uint8_t> units(kScriptOutputCap);
  units.resize(static_cast<std::size_t>(
      decode_script(layout.image.tables.script_tree, old, block.length, std::span<std::uint8_t, kScriptOutputCap>(units))));
  put_bytes(layout, address, old.first(static_cast<std::size_t>(block.length)));
  if (!decodes_to(layout, address, block.length, units)) return std::nullopt;
  return block.length;
}

// The totals of bits a block's choices can take: `least` plus one of
// reach[0], reach[k] holding what the choices from k on add above their
// shortest leaves.
struct ChoiceTotals {
  int least = 0;
  std::vector<encode::Totals> reach = {};

  bool has(int total) const { return total >= least && reach.front().has(static_cast<std::size_t>(total - least)); }
  int most() const { return least + static_cast<int>(reach.front().size()) - 1; }
};

int shortest_of(const std::vector<encode::ScriptLeaf>& leaves) {
  return std::min_element(leaves.begin(), leaves.end(), [](const auto& a, const auto& b) { return a.code.length < b.code.length; })
      ->code.length;
}

ChoiceTotals totals_of(const BlockChoices& choices) {
  ChoiceTotals totals;
  std::size_t widest = 0;
  for (const auto& leaves : choices) {
    const int shortest = shortest_of(leaves);
    totals.least += shortest;
    const auto longest = std::max_element(leaves.begin(), leaves.end(), [](const auto& a, const auto& b) { return a.code.length < b.code.length; });
    widest += static_cast<std::size_t>(longest->code.length - shortest);
  }
  totals.reach.assign(choices.size() + 1, encode::Totals(widest + 1));
  totals.reach.back().add(0);
  for (std::size_t k = choices.size(); k-- > 0;) {
    const int shortest = shortest_of(choices[k]);
    std::set<int> added;
    for (const auto& leaf : choices[k]) {
      if (added.insert(leaf.code.length).second) {
        totals.reach[k].add_shifted(totals.reach[k + 1], static_cast<std::size_t>(leaf.code.length - shortest));
      }
    }
  }
  return totals;
}

// Each symbol's leaf for the block to take `total` bits: the first choice
// that still leads to it.
BlockLeaves leaves_for_total(const BlockChoices& choices, const ChoiceTotals& totals, int total) {
  BlockLeaves leaves;
  auto left = static_cast<std::size_t>(total - totals.least);
  for (std::size_t k = 0; k < choices.size(); ++k) {
    const int shortest = shortest_of(choices[k]);
    for (const auto& leaf : choices[k]) {
      const auto above = static_cast<std::size_t>(leaf.code.length - shortest);
      if (above > left || !totals.reach[k + 1].has(left - above)) continue;
      leaves.push_back(leaf);
      left -= above;
      break;
    }
  }
  return leaves;
}

// A walk of `length` bits from `node` that reaches no leaf, and reaches
// none either with the bits of `next` after it (when given).
std::optional<encode::Code> open_walk(const ScriptTreeWalker& walker, int node, int length, std::optional<std::uint8_t> next,
                                      encode::Code prefix = {}) {
  if (length == 0) {
    for (int bit = 7; next && bit >= 0; --bit) {
      if (walker.step(node, *next >> bit & 1, node)) return std::nullopt;
    }
    return prefix;
  }
  for (int bit = 0; bit < 2; ++bit) {
    int child;
    if (walker.step(node, bit, child)) continue;
    const encode::Code longer{(prefix.bits << 1) | static_cast<std::uint32_t>(bit), prefix.length + 1};
    if (std::optional<encode::Code> found = open_walk(walker, child, length - 1, next, longer)) return found;
  }
  return std::nullopt;
}

// The bits after a block's last symbol when `pad` are left to its end: a
// walk that reaches no leaf, in an odd block not even with the next
// block's first byte, which its last word holds, after it.
std::optional<encode::Code> closing_walk(const GroupLayout& layout, int pad, int length, int end) {
  if (length % 2 == 0) {
    if (pad > layout.codes.longest_open) return std::nullopt;
    return layout.codes.open[static_cast<std::size_t>(pad)];
  }
  if (pad + 8 > layout.codes.longest_open) return std::nullopt;
  const ScriptTreeWalker walker = walker_for(layout.image.tables.script_tree.nodes, layout.image.tables.script_tree.leaf_boundary);
  return open_walk(walker, walker.root(), pad, layout.plan.draft()[layout.offset(end)]);
}

// Writes the block to end at `end` with `total` bits of symbols then
// `walk`; true, with its symbols, when it decodes to them where it lies.
bool write_block(GroupLayout& layout, const BlockChoices& choices, const ChoiceTotals& totals, int total, encode::Code walk, int end,
                 std::vector<int>& symbols) {
  const BlockLeaves leaves = leaves_for_total(choices, totals, total);
  encode::BitWriter bits;
  symbols.clear();
  for (const encode::ScriptLeaf& leaf : leaves) {
    bits.put(leaf.code);
    symbols.push_back(leaf.symbol);
  }
  if (walk.length > 0) bits.put(walk);
  const auto length = static_cast<int>(bits.bit_count() / 8);
  put_bytes(layout, end - length, bits.bytes());
  return decodes_to(layout, end - length, length, units_for_symbols(symbols));
}

// Writes the block to end at `end`, the shortest length that some total of
// its choices closes first; its length once it decodes as planned where it
// lies, else -1, with `below` set when it would start below the group's
// room.
int place_choices(GroupLayout& layout, const BlockChoices& choices, int end, std::optional<int>& below, std::vector<int>& symbols) {
  const ChoiceTotals totals = totals_of(choices);
  for (int length = std::max((totals.least + 7) / 8, 1); length <= (totals.most() + 7) / 8 + 1; ++length) {
    if (end - length < layout.floor) {
      below = end - length;
      return -1;
    }
    if (length + length % 2 + 2 > kScriptWindow) break;
    for (int pad = 0; pad <= layout.codes.longest_open; ++pad) {
      if (!totals.has(8 * length - pad)) continue;
      const std::optional<encode::Code> walk = closing_walk(layout, pad, length, end);
      if (walk && write_block(layout, choices, totals, 8 * length - pad, *walk, end, symbols)) return length;
    }
  }
  return -1;
}

// The changed blocks from k on that grew, k itself when changed; every
// changed block if none did.
std::vector<int> grown_blocks(const GroupLayout& layout, const ChangedBlocks& changed, std::size_t k) {
  std::vector<int> grown;
  for (std::size_t j = k; j < layout.blocks.size(); ++j) {
    const int address = layout.blocks[j].address;
    if (!changed.contains(address)) continue;
    const int end = j + 1 < layout.blocks.size() ? layout.to[j + 1] : layout.group.end_address;
    if (j == k || end - layout.to[j] > layout.blocks[j].length) grown.push_back(address);
  }
  if (grown.empty()) {
    for (const auto& [address, leaves] : changed) grown.push_back(address);
  }
  return grown;
}

// The changed blocks after block k that grew most, enough of them to make
// up `missing` bytes; when all of theirs does not, every grown block from k
// on. Refusing no more than that lets the rest of a campaign in.
std::vector<int> most_grown(const GroupLayout& layout, const ChangedBlocks& changed, std::size_t k, int missing) {
  std::vector<std::pair<int, int>> growth;  // bytes grown, old address
  for (std::size_t j = k + 1; j < layout.blocks.size(); ++j) {
    const int address = layout.blocks[j].address;
    const int end = j + 1 < layout.blocks.size() ? layout.to[j + 1] : layout.group.end_address;
    const int grew = end - layout.to[j] - layout.blocks[j].length;
    if (changed.contains(address) && grew > 0) growth.emplace_back(grew, address);
  }
  std::sort(growth.rbegin(), growth.rend());
  std::vector<int> refused;
  for (std::size_t g = 0; g < growth.size() && missing > 0; ++g) {
    refused.push_back(growth[g].second);
    missing -= growth[g].first;
  }
  return missing > 0 ? grown_blocks(layout, changed, k) : refused;
}

// The group's room and what it lacks, for block k that would start at
// `below`; the blocks that grew most refused.
GroupRefusal overflow(const GroupLayout& layout, const ChangedBlocks& changed, std::size_t k, int below) {
  int missing = layout.floor - below;
  for (std::size_t j = 0; j < k; ++j) missing += layout.blocks[j].length;
  const int room = layout.group.end_address - layout.floor;
  return {group_name(layout.group) + " overflows: its blocks need at least " + std::to_string(room + missing) + " bytes before its end at " +
              address_text(layout.group.bank, layout.group.end_address) + ", its room from " + address_text(layout.group.bank, layout.floor) +
              " is " + std::to_string(room) + ": " + encode::counted(static_cast<std::size_t>(missing), "byte") + " missing",
          most_grown(layout, changed, k, missing), missing};
}

// The first changed block after block k, whose first byte an odd block k
// reads; every changed block if none follows.
std::vector<int> changed_after(const GroupLayout& layout, const ChangedBlocks& changed, std::size_t k) {
  for (std::size_t j = k + 1; j < layout.blocks.size(); ++j) {
    if (changed.contains(layout.blocks[j].address)) return {layout.blocks[j].address};
  }
  return grown_blocks(layout, changed, layout.blocks.size());
}

// Why a block's choices found no compression: none of their totals can
// end within reach of a walk that fills a word without reaching a leaf, or
// none that did decoded as planned where the block would lie.
std::string unplaced(const GroupLayout& layout, const BlockChoices& choices) {
  if (closes_in_own_word(word_rests(choices), layout.codes)) return " has no compression that decodes as planned where it would lie";
  const ChoiceTotals totals = totals_of(choices);
  return " cannot end where a word does: its " + encode::counted(choices.size(), "symbol") + " take " + std::to_string(totals.least) +
         " to " + std::to_string(totals.most()) + " bits, none within " + std::to_string(layout.codes.longest_open) +
         " bits of a word's end, the most a walk reaching no leaf can fill";
}

// Block k compressed again to end at `end`: its length, or why not.
std::variant<int, GroupRefusal> recompress(GroupLayout& layout, const ChangedBlocks& changed, std::size_t k, int end) {
  const GroupBlock& block = layout.blocks[k];
  const auto found = changed.find(block.address);
  const std::vector<int> blamed = found != changed.end() ? std::vector<int>{block.address} : changed_after(layout, changed, k);
  std::string why;
  const BlockChoices choices =
      found != changed.end() ? found->second
                             : same_symbol_choices(block_leaves(layout.image.tables.script_tree,
                                                                layout.image.cart.bytes.subspan(layout.offset(block.address)), block.length, why),
                                                   layout.codes);
  if (!why.empty()) return GroupRefusal{block_name(layout.group, block) + " cannot be compressed again: " + why, blamed};
  std::optional<int> below;
  const int placed = place_choices(layout, choices, end, below, layout.symbols[block.address]);
  if (below) return overflow(layout, changed, k, *below);
  if (placed < 0) return GroupRefusal{block_name(layout.group, block) + unplaced(layout, choices), blamed, 0, true};
  return placed;
}

// Places every block from the last backwards; why it cannot, or nothing.
std::optional<GroupRefusal> place_blocks(GroupLayout& layout, const ChangedBlocks& changed) {
  int end = layout.group.end_address;
  layout.to.assign(layout.blocks.size(), 0);
  for (std::size_t k = layout.blocks.size(); k-- > 0;) {
    const GroupBlock& block = layout.blocks[k];
    const bool is_changed = changed.contains(block.address);
    if (!is_changed && end - block.length < layout.floor) {
      return overflow(layout, changed, k, end - block.length);
    }
    std::optional<int> length = is_changed ? std::nullopt : copy_block(layout, block, end);
    if (!length) {
      std::variant<int, GroupRefusal> placed = recompress(layout, changed, k, end);
      if (auto* refusal = std::get_if<GroupRefusal>(&placed)) return std::move(*refusal);
      length = std::get<int>(placed);
    }
    end -= *length;
    layout.to[k] = end;
  }
  layout.start = end;
  return std::nullopt;
}

// The bytes and pointer words that changed, written and claimed; the counts.
void commit(GroupLayout& layout, const ChangedBlocks& changed) {
  const std::span<const std::uint8_t> draft = layout.plan.draft(), old = layout.image.cart.bytes;
  std::size_t first = layout.offset(layout.group.end_address), last = first;
  for (std::size_t at = layout.offset(layout.start); at < layout.offset(layout.group.end_address); ++at) {
    if (draft[at] == old[at]) continue;
    first = std::min(first, at);
    last = at + 1;
  }
  if (last > first) {
    layout.plan.claim(first, last - first);
    layout.plan.written(first, last - first);
  }
  PlanCounts& counts = layout.plan.counts;
  for (std::size_t k = 0; k < layout.blocks.size(); ++k) {
    const GroupBlock& block = layout.blocks[k];
    if (layout.to[k] != block.address) ++counts.script_blocks_moved;
    for (const int script : block.scripts) {
      if (layout.to[k] != block.address) {
        const int address = kScriptPointers.address + 2 * script;
        layout.plan.claim(static_cast<std::size_t>(rom_offset(kScriptPointers.bank, address)), 2);
        layout.plan.write_word(kScriptPointers.bank, address, layout.to[k]);
      }
      if (changed.contains(block.address)) layout.plan.scripts_replaced[script] = units_for_symbols(layout.symbols.at(block.address));
    }
  }
  counts.script_blocks_recompressed += changed.size();
  counts.script_groups.push_back({layout.group.bank, layout.blocks.front().address, layout.start});
}

}  // namespace

BlockChoices same_symbol_choices(const BlockLeaves& leaves, const encode::ScriptCodes& codes) {
  BlockChoices choices;
  for (const encode::ScriptLeaf& leaf : leaves) {
    choices.push_back({leaf});
    for (const encode::ScriptLeaf& other : codes.by_byte[script_unit(leaf.symbol).byte]) {
      if (other.symbol == leaf.symbol && (other.code.bits != leaf.code.bits || other.code.length != leaf.code.length)) {
        choices.back().push_back(other);
      }
    }
  }
  return choices;
}

namespace {

// The rests of totals `bits` more than those of `rests`.
WordRests rotated(WordRests rests, int bits) {
  const int by = bits % 16;
  return by == 0 ? rests : static_cast<WordRests>(rests << by | rests >> (16 - by));
}

}  // namespace

WordRests word_rests(std::span<const std::vector<encode::ScriptLeaf>> choices) {
  WordRests rests = 1;
  for (const auto& leaves : choices) {
    WordRests next = 0;
    for (const encode::ScriptLeaf& leaf : leaves) next |= rotated(rests, leaf.code.length);
    rests = next;
  }
  return rests;
}

WordRests word_rests(WordRests first, WordRests second) {
  WordRests both = 0;
  for (int rest = 0; rest < 16; ++rest) {
    if (second >> rest & 1) both |= rotated(first, rest);
  }
  return both;
}

bool closes_in_own_word(WordRests rests, const encode::ScriptCodes& codes) {
  for (int rest = 0; rest < 16; ++rest) {
    if ((rests >> rest & 1) && (16 - rest) % 16 <= codes.longest_open) return true;
  }
  return false;
}

std::optional<GroupRefusal> lay_out_script_group(const ImageView& image, const encode::ScriptCodes& codes, std::size_t group,
                                                 const ChangedBlocks& changed, InsertPlan& plan) {
  GroupLayout layout{image, codes, kScriptGroups[group], plan};
  layout.blocks = blocks_of(script_places(image.cart), layout.group);
  const GroupBlock& last = layout.blocks.back();
  if (last.length <= 0) {
    std::vector<int> all;
    for (const auto& [address, leaves] : changed) all.push_back(address);
    return GroupRefusal{group_name(layout.group) + " cannot be laid out again: its block " + address_text(layout.group.bank, last.address) +
                            " lies at or past its end " + address_text(layout.group.bank, layout.group.end_address),
                        all};
  }
  layout.floor = lowest_start(image, layout.group, layout.blocks.front().address);
  std::optional<GroupRefusal> why = place_blocks(layout, changed);
  if (why) {
    const std::size_t from = layout.offset(layout.floor), to = layout.offset(layout.group.end_address);
    std::copy(image.cart.bytes.begin() + static_cast<std::ptrdiff_t>(from), image.cart.bytes.begin() + static_cast<std::ptrdiff_t>(to),
              plan.scratch().begin() + static_cast<std::ptrdiff_t>(from));
    return why;
  }
  commit(layout, changed);
  return std::nullopt;
}

const ScriptGroup* script_group_of(const DeclaredRange& free) {
  for (const ScriptGroup& group : kScriptGroups) {
    if (group.bank != free.bank) continue;
    if (group.bank != kMessageBank || free.range.start <= group.end_address) return &group;
  }
  return nullptr;
}

namespace {

// Why a --free range of `group`'s bank may not be taken by it, or nothing.
std::optional<std::string> not_before_group(const std::vector<ScriptPlace>& places, const ScriptGroup& group, ByteRange range) {
  int first = group.end_address;
  for (int i = group.first; i < group.first + group.count; ++i) {
    const ScriptPlace& place = places[static_cast<std::size_t>(i)];
    first = std::min(first, place.address);
    if (range.overlaps({place.address, place.address + std::max(place.length, 1)})) {
      return "holds bytes of script block " + address_text(group.bank, place.address) + " (script " + hex4(i) + ")";
    }
  }
  if (range.end > first) {
    return "lies past the first block of " + group_name(group) + " (" + address_text(group.bank, first) +
           "): only bytes before it may be given";
  }
  if (group.bank != kScriptPointers.bank) return std::nullopt;
  if (range.overlaps({kScriptPointers.address, kScriptPointers.address + 2 * kScriptCount})) return "holds the script pointers";
  if (range.overlaps({kScriptTreeHeader.address, kScriptTreeHeader.address + kScriptHeaderBytes})) {
    return "holds the script tree's header";
  }
  return std::nullopt;
}

}  // namespace

Outcome check_script_ranges(const Cartridge& cart, std::span<const DeclaredRange> declared, bool relayout) {
  std::vector<ScriptPlace> places;
  for (const DeclaredRange& free : declared) {
    const ScriptGroup* group = script_group_of(free);
    if (group == nullptr) continue;
    const std::string name = "--free " + declared_text(free);
    if (!relayout) return Failure{{}, name + " lies in a script group's bank, whose bytes are taken only with --relayout"};
    if (places.empty()) places = script_places(cart);
    if (std::optional<std::string> why = not_before_group(places, *group, free.range)) return Failure{{}, name + " " + *why};
  }
  return std::nullopt;
}

}  // namespace ambergale
