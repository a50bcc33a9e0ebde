// The walk from a Huffman tree's root to a leaf, shared by both kinds of
// tree, with a step table that takes the first kStepBits bits at once.
//
// A Walker describes one tree:
//   int root() const;                            the node a walk starts from
//   bool step(int node, int bit, int& next) const;  the child for `bit`; true when it is a leaf
//   int leaf(int next) const;                    the symbol of that leaf
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "decode/bit_reader.hpp"

namespace ambergale {

// Where a walk stands after the first bits of a symbol, for each value of the
// next kStepBits bits: the leaf's symbol and the bits it took, or the node
// reached after all of them. An entry with 0 bits gives no shortcut and the
// walk takes its bits one by one, so a table of zeros is always correct.
struct WalkStep {
  std::uint16_t value = 0;  // the symbol (leaf) or the node reached
  std::uint8_t bits = 0;    // bits taken; 0: no shortcut
  bool leaf = false;
};
using WalkSteps = std::array<WalkStep, 1 << kStepBits>;

// Builds the step table by walking every bit pattern exactly as the walk does.
template <typename Walker>
WalkSteps index_walk(const Walker& walker) {
  WalkSteps steps;
  for (int pattern = 0; pattern < (1 << kStepBits); ++pattern) {
    int node = walker.root();
    WalkStep& step = steps[pattern];
    for (int k = 1; k <= kStepBits; ++k) {
      int next;
      if (walker.step(node, (pattern >> (kStepBits - k)) & 1, next)) {
        step = {static_cast<std::uint16_t>(walker.leaf(next)), static_cast<std::uint8_t>(k), true};
        break;
      }
      node = next;
      step = {static_cast<std::uint16_t>(node), static_cast<std::uint8_t>(k), false};
    }
  }
  return steps;
}

// Walks from the root with bits from `reader`, starting with `step`, the
// step table's entry for the next kStepBits bits, and returns the leaf's
// symbol.
template <typename Walker>
int walk_symbol_from(const Walker& walker, BitReader& reader, const WalkStep& step) {
  BitReader local = reader;  // kept in registers for the walk
  int node = walker.root();
  if (step.bits > 0) {
    skip_bits(local, step.bits);
    if (step.leaf) {
      reader = local;
      return step.value;
    }
    node = step.value;
  }
  for (;;) {
    int next;
    if (walker.step(node, next_bit(local), next)) {
      reader = local;
      return walker.leaf(next);
    }
    node = next;
  }
}

// Walks from the root with bits from `reader` and returns the leaf's symbol.
template <typename Walker>
int walk_symbol(const Walker& walker, BitReader& reader, const WalkSteps& steps) {
  return walk_symbol_from(walker, reader, steps[peek_step_bits(reader)]);
}

}  // namespace ambergale
