#include "dump/stored_messages.hpp"

#include <algorithm>

#include "dump/dumps.hpp"
#include "dump/word_lists.hpp"
#include "script/disassembler.hpp"
#include "text/hex.hpp"
#include "text/code_units.hpp"

namespace ambergale {

using namespace cartridge_map;

namespace {

constexpr int kBankEnd = 0x10000;

std::vector<std::uint16_t> units_of(const CodeBuffer& codes, const TextDecode& decoded) {
  return code_units(std::span(codes).first(static_cast<std::size_t>(decoded.written)));
}

// The scripts of bank FB end at their group's end, but the decoder reads
// words: an odd last block's last word holds the byte after it.
ByteRange scripts_in_message_bank(const Cartridge& cart) {
  const ScriptGroup& in_bank = kScriptGroups[2];
  ByteRange scripts{0, in_bank.end_address};
  const std::vector<ScriptPlace> places = script_places(cart);
  for (int i = in_bank.first; i < in_bank.first + in_bank.count; ++i) {
    if (places[i].address + places[i].length == in_bank.end_address && places[i].length % 2 != 0) ++scripts.end;
  }
  scripts.end = std::min(scripts.end, in_bank.end_address + 1);
  return scripts;
}

void map_word_list_entries(const Cartridge& cart, const Tables& tables, MessageMap& map) {
  const WordListGroups groups = read_word_list_groups(cart);
  for (int g = 0; g < kGroupCount; ++g) {
    for (int e = 0; e < groups.entries[g]; ++e) {
      map.entries.push_back({g, e, groups.list[g] + 2 * e, word_list_message(cart, groups, g, e)});
    }
  }
  CodeBuffer codes;
  for (std::size_t k = 0; k < map.entries.size(); ++k) {
    const int address = map.entries[k].address;
    const auto [it, added] = map.messages.try_emplace(address);
    if (added) {
      const TextDecode decoded = decode_text_at(cart, tables.text_trees, kMessageBank, address, codes);
      it->second.units = units_of(codes, decoded);
      it->second.size = decoded.consumed;
    }
    it->second.lines.push_back(k + 1);
  }
}

// Which messages' bytes are theirs alone.
void mark_own_bytes(MessageMap& map) {
  for (auto& [address, message] : map.messages) {
    const ByteRange bytes{address, address + message.size};
    message.own_bytes = ends_with_end_code(message.units) && bytes.end <= kBankEnd &&
                        !bytes.overlaps(map.scripts) && !bytes.overlaps(map.sequential());
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
}

}  // namespace

std::string entry_name(const WordListEntry& entry) {
  return hex_text(static_cast<std::uint32_t>(entry.group), 2) + hex_text(static_cast<std::uint32_t>(entry.index), 2);
}

MessageMap map_stored_messages(const Cartridge& cart, const Tables& tables, bool with_scripts) {
  MessageMap map;
  map.scripts = scripts_in_message_bank(cart);
  CodeBuffer codes;
  walk_sequential_block(cart, tables.text_trees, codes, [&](int address, const TextDecode& decoded) {
    map.block.push_back({address, decoded.consumed, decoded.bits, units_of(codes, decoded)});
    return true;
  });
  map_word_list_entries(cart, tables, map);
  mark_own_bytes(map);
  if (with_scripts) map.script_lines = map_script_lines(cart, tables);
  return map;
}

namespace {

// Records the lines of one script as its listing walks them.
struct ScriptLineRecorder {
  std::vector<ScriptLine>& lines;
  const ScriptView& view;
  const TreePair& text_trees;
  CodeBuffer& codes;
  std::int64_t at_instruction = 0;

  bool ok() const { return true; }
  void instruction(std::int64_t position, int, int, int) {
    lines.push_back({ScriptLine::Kind::instruction, view.index, position});
    at_instruction = position;
  }
  std::int64_t message(std::int64_t position, int m) {
    const TextDecode text = decode_embedded(view.bytes, view.size(), position, text_trees, codes);
    lines.push_back({ScriptLine::Kind::message, view.index, position, m, at_instruction, units_of(codes, text),
                     text.consumed, text.bits});
    return text.consumed;
  }
};

}  // namespace

std::vector<ScriptLine> map_script_lines(const Cartridge& cart, const Tables& tables) {
  std::vector<ScriptLine> lines;
  CodeBuffer codes;
  for_each_script(cart, tables, [&](const ScriptView& view) {
    lines.push_back({ScriptLine::Kind::blank, view.index, 0});
    lines.push_back({ScriptLine::Kind::header, view.index, 0});
    ScriptLineRecorder recorder{lines, view, tables.text_trees, codes};
    walk_script(view.bytes, view.size(), tables.opcodes, recorder);
    return true;
  });
  return lines;
}

}  // namespace ambergale
