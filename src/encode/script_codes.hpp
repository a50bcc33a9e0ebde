// The codes of an image's own script tree, read off its node array: which
// walks give each script byte, and walks that reach no leaf.
//
// A script byte is the first byte of a symbol's pair, so several symbols
// give one byte (0x41 and 0x141 both give 41; 0 and 0xFF give FF), and a
// symbol may stand on more than one leaf.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "decode/script_tree.hpp"
#include "encode/encoder.hpp"

namespace ambergale::encode {

struct ScriptLeaf {
  int symbol;
  Code code;
};

struct ScriptCodes {
  // The leaves that give each byte, shortest code first, then by its bits.
  // Walks longer than 32 bits are left out.
  std::array<std::vector<ScriptLeaf>, 256> by_byte;
  // Walks of n bits that reach no leaf, for n up to `longest_open` (at most
  // 32): the first of each length in bit order.
  std::array<Code, 33> open{};
  int longest_open = 0;
};

ScriptCodes script_codes_of(const ScriptTree& tree);

}  // namespace ambergale::encode
