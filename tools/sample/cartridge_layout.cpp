#include "sample/cartridge_layout.hpp"

#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "decode/script_tree.hpp"
#include "encode/encoder.hpp"

namespace ambergale::sample {

namespace {

using encode::put_bytes;
using encode::put_word;
using Bytes = std::vector<std::uint8_t>;

using namespace cartridge_map;

void require(bool ok, const std::string& what) {
  if (!ok) throw std::invalid_argument("sample layout: " + what);
}

// A ByteTree may use only the bytes before the next table.
void put_tree(Bytes& image, RomAddress at, const encode::ByteTreeCode& tree, int room, const char* name) {
  const int used = 3 * tree.table[1] + 3;
  require(used <= room, std::string(name) + " needs " + std::to_string(used) + " bytes, has " + std::to_string(room));
  put_bytes(image, at.bank, at.address, std::span<const std::uint8_t>(tree.table).first(static_cast<std::size_t>(used)));
}

// Group 4 shares bank F8 with the tables and follows the script tree header.
constexpr int kGroupStart[] = {0x0000, 0x0000, 0x0000, kScriptTreeHeader.address + kScriptHeaderBytes};

// The bytes of each piece of `script`, its messages coded with `text`.
std::vector<Bytes> coded_pieces(const std::vector<ScriptPiece>& script, const encode::TextCoder& text) {
  std::vector<Bytes> pieces;
  for (const ScriptPiece& piece : script) {
    pieces.push_back(piece.is_message ? encode::encode_units(text, piece.message) : piece.bytes);
  }
  return pieces;
}

std::vector<int> positions_of(const std::vector<Bytes>& pieces) {
  std::vector<int> positions = {0};
  for (const Bytes& piece : pieces) positions.push_back(positions.back() + static_cast<int>(piece.size()));
  return positions;
}

void put_offset(Bytes& jump, OffsetField field, int value) {
  const FieldBytes place = field_bytes(field);
  require(static_cast<int>(jump.size()) >= place.first + place.width, "a jump is shorter than its offset operand");
  const std::uint8_t low = static_cast<std::uint8_t>(value & 0xFF);
  const std::uint8_t high = static_cast<std::uint8_t>((value >> 8) & 0xFF);
  if (place.width == 1) {
    jump[place.first] = low;
  } else {
    const bool big_endian = field == OffsetField::word_be;
    jump[place.first] = big_endian ? high : low;
    jump[place.first + 1] = big_endian ? low : high;
  }
}

// A script's bytecode: its pieces coded, each jump's operands filled from
// where its targets start.
Bytes script_bytecode(const std::vector<ScriptPiece>& script, const encode::TextCoder& text) {
  std::vector<Bytes> pieces = coded_pieces(script, text);
  const std::vector<int> positions = positions_of(pieces);
  for (std::size_t k = 0; k < script.size(); ++k) {
    for (const JumpOperand& jump : script[k].jumps) {
      require(jump.target >= 0 && static_cast<std::size_t>(jump.target) <= script.size(), "a jump names no piece of its script");
      const std::optional<int> value = offset_value(jump.operand, positions[k + 1], positions[jump.target]);
      require(value.has_value(), "a jump's target does not fit its operand");
      put_offset(pieces[k], jump.operand.field, *value);
    }
  }
  Bytes bytes;
  for (const Bytes& piece : pieces) bytes.insert(bytes.end(), piece.begin(), piece.end());
  return bytes;
}

}  // namespace

Units filler_message(int n) {
  Units units;
  for (int i = 0; i < 20 + n % 7; ++i) units.push_back(static_cast<std::uint16_t>(0x80 + (n + i) % 64));
  units.push_back(0xFFFF);
  return units;
}

encode::TextCoder text_coder_for(const CartridgeContent& content) {
  std::vector<Units> all_text = content.sequential;
  for (const auto& group : content.groups) all_text.insert(all_text.end(), group.begin(), group.end());
  for (const auto& script : content.scripts) {
    for (const auto& piece : script) {
      if (piece.is_message) all_text.push_back(piece.message);
    }
  }
  for (int n = 0; n < 4000; ++n) all_text.push_back(filler_message(n));
  return encode::build_text_coder(all_text);
}

std::vector<int> piece_positions(const std::vector<ScriptPiece>& script, const encode::TextCoder& text) {
  return positions_of(coded_pieces(script, text));
}

std::optional<int> offset_value(OffsetOperand operand, int end, int target) {
  const int bits = 8 * field_bytes(operand.field).width;
  const int value = operand.relative ? target - end : target;
  const int lowest = operand.relative ? -(1 << (bits - 1)) : 0;
  const int highest = operand.relative ? (1 << (bits - 1)) - 1 : (1 << bits) - 1;
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

CartridgeLayout build_cartridge(const CartridgeContent& content) {
  require(content.dictionary.size() == kDictionarySize, "the dictionary needs " + std::to_string(kDictionarySize) + " entries");
  require(content.scripts.size() == kScriptCount, std::to_string(kScriptCount) + " scripts are needed");
  CartridgeLayout layout;
  Bytes& image = layout.image;
  image.assign(kImageSize, 0);

  // Text: the sequential block grows with filler until it reaches its end.
  std::vector<Units> sequential = content.sequential;
  const encode::TextCoder text = text_coder_for(content);
  put_tree(image, kTextLeadTree, text.lead, kTextLeadTreeRoom, "text lead tree");
  put_tree(image, kTextLowTree, text.low, kLowTreeRoom, "text low tree");

  std::map<Units, int> placed;  // message -> address in bank FB, for sharing
  int address = kSequentialStart;
  for (std::size_t i = 0; address < kSequentialEnd; ++i) {
    if (i >= sequential.size()) sequential.push_back(filler_message(static_cast<int>(i)));
    const Bytes coded = encode::encode_units(text, sequential[i]);
    put_bytes(image, kMessageBank, address, coded);
    layout.sequential.emplace_back(address, sequential[i]);
    placed.emplace(sequential[i], address);
    address += static_cast<int>(coded.size());
  }

  // Word lists: message pointer lists back to back, the last ending where
  // the lists end; groups without entries point at that end itself.
  int entries = 0;
  for (const auto& group : content.groups) entries += static_cast<int>(group.size());
  int list = kGroupListsEnd - 2 * entries;
  require(list >= kGroupPointers.address + 2 * kGroupCount, "too many word-list entries");
  for (int g = 0; g < kGroupCount; ++g) {
    put_word(image, kGroupPointers.bank, kGroupPointers.address + 2 * g, content.groups[g].empty() ? kGroupListsEnd : list);
    for (const Units& message : content.groups[g]) {
      auto found = placed.find(message);
      if (found == placed.end()) {
        const Bytes coded = encode::encode_units(text, message);
        require(address + static_cast<int>(coded.size()) <= 0x10000, "word-list messages overflow bank FB");
        put_bytes(image, kMessageBank, address, coded);
        found = placed.emplace(message, address).first;
        address += static_cast<int>(coded.size());
      }
      put_word(image, kGroupPointers.bank, list, found->second);
      layout.group_pointers[g].push_back(found->second);
      list += 2;
    }
  }

  // Dictionary: entries back to back after the low tree, the last ending
  // where the dictionary ends.
  const encode::TextCoder dict = encode::build_text_coder(content.dictionary);
  put_tree(image, kDictLeadTree, dict.lead, kDictLeadTreeRoom, "dictionary lead tree");
  put_tree(image, kDictLowTree, dict.low, kLowTreeRoom, "dictionary low tree");
  std::vector<Bytes> entries_coded;
  int dictionary_bytes = 0;
  for (const Units& entry : content.dictionary) {
    entries_coded.push_back(encode::encode_units(dict, entry));
    dictionary_bytes += static_cast<int>(entries_coded.back().size());
  }
  int entry_address = kDictionaryEnd - dictionary_bytes;
  require(entry_address >= kDictLowTree.address + kLowTreeRoom, "the dictionary does not fit its region");
  for (int e = 0; e < kDictionarySize; ++e) {
    put_word(image, kDictionaryPointers.bank, kDictionaryPointers.address + 2 * e, entry_address);
    put_bytes(image, kDictionaryPointers.bank, entry_address, entries_coded[e]);
    entry_address += static_cast<int>(entries_coded[e].size());
  }

  // Scripts: bytecode with the embedded messages coded in place.
  layout.script_bytes.resize(kScriptCount);
  std::map<int, std::uint64_t> frequency;
  // Which symbols code each byte; with variation the script index picks one.
  auto symbol_for = [&](std::uint8_t byte, std::size_t salt) {
    if (!content.vary_script_symbols || salt % 3 == 0) return byte == 0 ? 256 : byte;
    if (byte == 0xFF && salt % 3 == 1) return 0;
    return 0x100 | byte;
  };
  for (int i = 0; i < kScriptCount; ++i) {
    layout.script_bytes[i] = script_bytecode(content.scripts[i], text);
    for (std::size_t k = 0; k < layout.script_bytes[i].size(); ++k) ++frequency[symbol_for(layout.script_bytes[i][k], k + i)];
  }
  frequency[1] += 1;  // a tree needs two symbols
  frequency[2] += 1;
  const encode::ScriptTreeCode tree = encode::build_script_tree_code(frequency);
  require(tree.header.size() <= kScriptHeaderBytes, "the script tree header is longer than its 1024 bytes");
  put_bytes(image, kScriptTreeHeader.bank, kScriptTreeHeader.address, tree.header);

  std::vector<Bytes> coded(kScriptCount);
  for (int i = 0; i < kScriptCount; ++i) {
    require(!layout.script_bytes[i].empty(), "script " + std::to_string(i) + " is empty");
    encode::BitWriter writer;
    for (std::size_t k = 0; k < layout.script_bytes[i].size(); ++k) {
      writer.put(tree.codes.at(symbol_for(layout.script_bytes[i][k], k + i)));
    }
    writer.pad_to_byte();
    coded[i] = writer.bytes();
  }
  layout.script_pointers.assign(kScriptCount, 0);
  for (int g = 0; g < 4; ++g) {
    const ScriptGroup& group = kScriptGroups[g];
    // Identical scripts share one pointer (keyed by their coded bytes).
    auto key = [&](int i) { return std::string(coded[i].begin(), coded[i].end()); };
    std::map<std::string, int> shared;
    int total = 0;
    for (int i = group.first; i < group.first + group.count; ++i) {
      if (shared.emplace(key(i), 0).second) total += static_cast<int>(coded[i].size());
    }
    int at = group.end_address - total;
    if (at < kGroupStart[g]) {
      throw ScriptGroupOverflow(g, "sample layout: script group " + std::to_string(g + 1) + " does not fit its region");
    }
    shared.clear();
    for (int i = group.first; i < group.first + group.count; ++i) {
      auto [found, added] = shared.emplace(key(i), at);
      if (added) {
        put_bytes(image, group.bank, at, coded[i]);
        at += static_cast<int>(coded[i].size());
      }
      layout.script_pointers[i] = found->second;
      put_word(image, kScriptPointers.bank, kScriptPointers.address + 2 * i, found->second);
    }
  }
  return layout;
}

}  // namespace ambergale::sample
