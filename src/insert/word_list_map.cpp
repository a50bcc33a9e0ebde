#include "insert/word_list_map.hpp"

#include <algorithm>

#include "cartridge/cartridge_map.hpp"
#include "dump/dumps.hpp"
#include "dump/word_lists.hpp"
#include "text/hex.hpp"

namespace ambergale {

using namespace cartridge_map;

namespace {

constexpr int kBankEnd = 0x10000;

bool overlap(ByteRange a, ByteRange b) { return a.start < b.end && b.start < a.end; }


StoredMessage decode_message(const Cartridge& cart, const Tables& tables, int address) {
  CodeBuffer codes;
  const TextDecode decoded = decode_text_at(cart, tables.text_trees, kMessageBank, address, codes);
  StoredMessage message;
  message.units = code_units(std::span(codes).first(static_cast<std::size_t>(decoded.written)));
  message.size = decoded.consumed;
  return message;
}

}  // namespace

std::vector<SequentialMessage> map_sequential_block(const Cartridge& cart, const Tables& tables) {
  std::vector<SequentialMessage> block;
  CodeBuffer codes;
  for (int address = kSequentialStart; address < kSequentialEnd; address += block.back().size) {
    const TextDecode decoded = decode_text(tables.text_trees, rom_view(cart, kMessageBank, address), kSequentialWindow, codes);
    block.push_back({address, decoded.consumed, decoded.bits, code_units(std::span(codes).first(static_cast<std::size_t>(decoded.written)))});
  }
  return block;
}

std::string entry_name(const WordListEntry& entry) {
  return hex_text(static_cast<std::uint32_t>(entry.group), 2) + hex_text(static_cast<std::uint32_t>(entry.index), 2);
}

WordListMap map_word_lists(const Cartridge& cart, const Tables& tables) {
  WordListMap map;
  // The scripts of bank FB end at their group's end, but the decoder reads
  // words: an odd last block's last word holds the byte after it.
  const ScriptGroup& in_bank = kScriptGroups[2];
  map.scripts = {0, in_bank.end_address};
  const std::vector<ScriptPlace> places = script_places(cart);
  for (int i = in_bank.first; i < in_bank.first + in_bank.count; ++i) {
    if (places[i].address + places[i].length == in_bank.end_address && places[i].length % 2 != 0) ++map.scripts.end;
  }
  map.scripts.end = std::min(map.scripts.end, in_bank.end_address + 1);
  map.block = map_sequential_block(cart, tables);
  const WordListGroups groups = read_word_list_groups(cart);
  for (int g = 0; g < kGroupCount; ++g) {
    for (int e = 0; e < groups.entries[g]; ++e) {
      map.entries.push_back({g, e, groups.list[g] + 2 * e, word_list_message(cart, groups, g, e)});
    }
  }
  for (const WordListEntry& entry : map.entries) {
    if (!map.messages.count(entry.address)) map.messages[entry.address] = decode_message(cart, tables, entry.address);
  }
  for (auto& [address, message] : map.messages) {
    const ByteRange bytes{address, address + message.size};
    message.own_bytes = !message.units.empty() && message.units.back() == 0xFFFF && bytes.end <= kBankEnd &&
                        !overlap(bytes, map.scripts) && !overlap(bytes, map.sequential());
  }
  // Messages sharing bytes, found in address order: each against those
  // after it that start inside it.
  for (auto it = map.messages.begin(); it != map.messages.end(); ++it) {
    const int end = it->first + it->second.size;
    for (auto next = std::next(it); next != map.messages.end() && next->first < end; ++next) {
      it->second.own_bytes = false;
      next->second.own_bytes = false;
    }
  }
  return map;
}

Outcome check_declared_ranges(const WordListMap& map, std::span<const DeclaredRange> declared) {
  for (const DeclaredRange& free : declared) {
    const std::string name = "--free " + declared_text(free);
    if (free.bank != kMessageBank) {
      return Failure{{}, name + ": moved messages can go only into bank " + bank_text(kMessageBank)};
    }
    const auto holds = [&](ByteRange item, const std::string& what) -> Outcome {
      if (!overlap(free.range, item)) return std::nullopt;
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
