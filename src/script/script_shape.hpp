// A script's instructions and embedded messages where its listing finds
// them: what moves when a message changes length, and what an offset may
// point at.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "decode/byte_tree.hpp"
#include "script/opcodes.hpp"

namespace ambergale {

struct ScriptShape {
  struct Instruction {
    int start = 0;
    int size = 0;  // the bytes its line shows
    int op = 0;
    bool ordinary = true;  // not a text-carrying one, whose messages follow it
    int end() const { return start + size; }
  };
  int length = 0;  // of the script, in bytes
  std::vector<Instruction> instructions;
  std::vector<ByteRange> messages;

  // The index of the instruction that starts at `position`, or -1.
  int instruction_at(int position) const;
};

// Walks the first `length` bytes of `script` as the listing does.
ScriptShape shape_of(std::span<const std::uint8_t> script, int length, const OpcodeTable& opcodes, const TreePair& text_trees);

}  // namespace ambergale
