#include "insert/script_layout.hpp"

#include <algorithm>
#include <variant>

#include "dump/dumps.hpp"
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

// Writes `leaves` to end at `end`, the shortest length first, the bits
// after the last symbol a walk that reaches no leaf; its length once the
// block decodes to their symbols where it lies, else -1, with `below` set
// when it would start below the group's room.
int place_leaves(GroupLayout& layout, const BlockLeaves& leaves, int end, std::optional<int>& below) {
  encode::BitWriter bits;
  std::vector<int> symbols;
  for (const encode::ScriptLeaf& leaf : leaves) {
    bits.put(leaf.code);
    symbols.push_back(leaf.symbol);
  }
  const std::vector<std::uint8_t> units = units_for_symbols(symbols);
  const auto total = static_cast<int>(bits.bit_count());
  const int shortest = std::max((total + 7) / 8, 1);
  for (int length = shortest; length < shortest + 4; ++length) {
    const int pad = 8 * length - total;
    const int raised = length + length % 2;
    if (end - length < layout.floor) {
      below = end - length;
      return -1;
    }
    if (pad > layout.codes.longest_open || raised + 2 > kScriptWindow) break;
    encode::BitWriter block = bits;
    if (pad > 0) block.put(layout.codes.open[static_cast<std::size_t>(pad)]);
    put_bytes(layout, end - length, block.bytes());
    if (decodes_to(layout, end - length, length, units)) return length;
  }
  return -1;
}

// Places `leaves`, else the same with one symbol written by another leaf
// of it, whose other length moves the bits after the last symbol; as
// place_leaves.
int place_with_aliases(GroupLayout& layout, BlockLeaves leaves, int end, std::optional<int>& below) {
  const int length = place_leaves(layout, leaves, end, below);
  if (length >= 0 || below) return length;
  for (std::size_t k = leaves.size(); k-- > 0;) {
    const encode::ScriptLeaf kept = leaves[k];
    for (const encode::ScriptLeaf& other : layout.codes.by_byte[script_unit(kept.symbol).byte]) {
      if (other.symbol != kept.symbol || other.code.length == kept.code.length) continue;
      leaves[k] = other;
      const int placed = place_with_aliases(layout, leaves, end, below);
      if (placed >= 0 || below) return placed;
    }
    leaves[k] = kept;
  }
  return -1;
}

// The group's room and what it lacks, for a block that would start at `below`.
std::string overflow(const GroupLayout& layout, std::size_t k, int below) {
  int missing = layout.floor - below;
  for (std::size_t j = 0; j < k; ++j) missing += layout.blocks[j].length;
  const int room = layout.group.end_address - layout.floor;
  return group_name(layout.group) + " overflows: its blocks need at least " + std::to_string(room + missing) +
         " bytes before its end at " + address_text(layout.group.bank, layout.group.end_address) + ", its room from " +
         address_text(layout.group.bank, layout.floor) + " is " + std::to_string(room) + ": " + std::to_string(missing) +
         " bytes missing (shorten its texts, or give free bytes before it with --free)";
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

// The first changed block after block k, whose first byte an odd block k
// reads; every changed block if none follows.
std::vector<int> changed_after(const GroupLayout& layout, const ChangedBlocks& changed, std::size_t k) {
  for (std::size_t j = k + 1; j < layout.blocks.size(); ++j) {
    if (changed.contains(layout.blocks[j].address)) return {layout.blocks[j].address};
  }
  return grown_blocks(layout, changed, layout.blocks.size());
}

// Block k compressed again to end at `end`: its length, or why not.
std::variant<int, GroupRefusal> recompress(GroupLayout& layout, const ChangedBlocks& changed, std::size_t k, int end) {
  const GroupBlock& block = layout.blocks[k];
  const auto found = changed.find(block.address);
  const std::vector<int> blamed = found != changed.end() ? std::vector<int>{block.address} : changed_after(layout, changed, k);
  std::string why;
  const BlockLeaves leaves = found != changed.end()
                                 ? found->second
                                 : block_leaves(layout.image.tables.script_tree,
                                                layout.image.cart.bytes.subspan(layout.offset(block.address)), block.length, why);
  if (!why.empty()) return GroupRefusal{block_name(layout.group, block) + " cannot be compressed again: " + why, blamed};
  std::optional<int> below;
  const int placed = place_with_aliases(layout, leaves, end, below);
  if (below) return GroupRefusal{overflow(layout, k, *below), grown_blocks(layout, changed, k)};
  if (placed < 0) {
    return GroupRefusal{block_name(layout.group, block) + " has no compression that decodes as planned where it would lie", blamed};
  }
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
      return GroupRefusal{overflow(layout, k, end - block.length), grown_blocks(layout, changed, k)};
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
      const auto found = changed.find(block.address);
      if (found == changed.end()) continue;
      std::vector<int> symbols;
      for (const encode::ScriptLeaf& leaf : found->second) symbols.push_back(leaf.symbol);
      layout.plan.scripts_replaced[script] = units_for_symbols(symbols);
    }
  }
  counts.script_blocks_recompressed += changed.size();
  counts.script_groups.push_back({layout.group.bank, layout.blocks.front().address, layout.start});
}

}  // namespace

bool ends_in_own_word(const BlockLeaves& leaves, const encode::ScriptCodes& codes) {
  int bits = 0;
  for (const encode::ScriptLeaf& leaf : leaves) bits += leaf.code.length;
  return (16 - bits % 16) % 16 <= codes.longest_open;
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
