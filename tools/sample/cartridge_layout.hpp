// Lays out a complete cartridge image from its content: the messages, the
// dictionary and the event scripts, coded with trees built from their own
// symbol frequencies and placed in the regions the dump tool reads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"
#include "script/offset_declarations.hpp"

namespace ambergale::sample {

using Units = std::vector<std::uint16_t>;  // CodeStream values, ending in 0xFFFF

using cartridge_map::kGroupCount;
using cartridge_map::kScriptCount;
inline constexpr int kDictionarySize = cartridge_map::kDictionaryEntries;

// An operand of a jump that holds an offset into its own script: the field
// of the jump's bytes it fills and the piece it names, pieces.size() naming
// the script's end.
struct JumpOperand {
  OffsetOperand operand;
  int target = 0;
};

// A piece of script bytecode: raw bytes, or an embedded message that the
// layout codes with the text trees. A jump's offset operands are filled in
// by the layout from where their targets went, once the messages are coded.
struct ScriptPiece {
  std::vector<std::uint8_t> bytes;
  Units message;
  bool is_message = false;
  std::vector<JumpOperand> jumps = {};
};

struct CartridgeContent {
  std::array<std::vector<Units>, kGroupCount> groups;  // the word-list messages
  std::vector<Units> sequential;                       // the sequential block
  std::vector<Units> dictionary;                       // kDictionarySize entries
  std::vector<std::vector<ScriptPiece>> scripts;       // kScriptCount scripts
  // Each byte of a script's bytecode becomes one symbol of the script tree;
  // with this set a byte b also has the symbol 0x100 | b (and 0xFF the
  // symbol 0), so a byte can be coded in more than one way.
  bool vary_script_symbols = false;
};

// Where everything went, for checking the dumps against.
struct CartridgeLayout {
  std::vector<std::uint8_t> image;
  std::vector<std::pair<int, Units>> sequential;          // address and message, filler included
  std::array<std::vector<int>, kGroupCount> group_pointers;  // message address of each entry
  std::vector<int> script_pointers;
  std::vector<std::vector<std::uint8_t>> script_bytes;     // bytecode, embedded messages coded
};

// Thrown when the scripts of a group (0..3) do not fit its region.
struct ScriptGroupOverflow : std::invalid_argument {
  ScriptGroupOverflow(int overflowing, const std::string& what) : std::invalid_argument(what), group(overflowing) {}
  int group;
};

// Places sequential messages until the block reaches its end (the rest are
// not used), with filler messages where they run out. Content that does not
// fit its regions is refused with std::invalid_argument.
CartridgeLayout build_cartridge(const CartridgeContent& content);

// The filler message the layout appends to the sequential block.
Units filler_message(int n);

// The text trees build_cartridge codes every message of `content` with.
encode::TextCoder text_coder_for(const CartridgeContent& content);

// Where each piece of `script` starts once its messages are coded with
// `text`, and last where the script ends.
std::vector<int> piece_positions(const std::vector<ScriptPiece>& script, const encode::TextCoder& text);

// The value `operand` of a jump ending at `end` holds to reach `target`;
// nothing when it does not fit the operand's bytes.
std::optional<int> offset_value(OffsetOperand operand, int end, int target);

}  // namespace ambergale::sample
