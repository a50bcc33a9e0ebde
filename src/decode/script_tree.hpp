// The Huffman tree that event scripts are coded with, and the script decoder.
//
// The cartridge keeps the tree as a bit-packed header that lists
// the leaves from left to right, each with its depth and value:
//   spare_bits:4  depth_bits:4  depth_base:4  value_bits:4  node_count:16
//   first depth:depth_bits, then for each leaf  value:value_bits  next depth:depth_bits
// A depth field holds the depth less depth_base; the root stands at depth 0.
//
// The built tree is an array of 2048 16-bit entries. An internal node is a
// pair of entries holding the byte offsets of its left and right child;
// pairs are handed out from entry 0 in the order the builder meets internal
// nodes. Leaves hold their value and are handed out from entry
// 2 * node_count on. An offset below leaf_boundary (node_count * 4) names a
// pair, any other a leaf.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "decode/bit_reader.hpp"
#include "decode/tree_walk.hpp"
#include "platform/failure.hpp"

namespace ambergale {

inline constexpr int kScriptTreeEntries = 2048;
inline constexpr int kScriptHeaderBytes = 1024;
inline constexpr int kMaxScriptNodeCount = 682;  // 2 * 682 + 683 leaves fill 2047 entries
inline constexpr int kScriptWindow = 8192;       // compressed bytes read per script
inline constexpr int kScriptOutputCap = 12032;   // 0x2F00: 6016 symbols

using ScriptNodes = std::array<std::uint16_t, kScriptTreeEntries>;

struct ScriptTree {
  ScriptNodes nodes{};
  std::int32_t leaf_boundary = 0;
  WalkSteps steps{};  // speeds up the walks; see index_script_tree
};

// Fills the tree's step table from its nodes.
void index_script_tree(ScriptTree& tree);

// The working state of one build. A header that does not describe a tree that
// fits the array (see build_script_tree) is refused, and `failure` says why.
class ScriptTreeBuilder {
 public:
  // Builds the tree described by `header` into `nodes` and sets
  // `leaf_boundary`, or says why the header is refused. Refused are: node_count
  // above 682, more internal nodes than node_count, a depth sequence that is
  // not a full binary tree, a header that runs past its 1024 bytes, and a
  // root that would be a leaf. The builder never writes outside `nodes` and
  // never recurses deeper than node_count + 1.
  Outcome build_script_tree(ScriptNodes& nodes, std::span<const std::uint8_t, kScriptHeaderBytes> header,
                            std::int32_t& leaf_boundary);

  // Builds the subtree whose root stands at `depth`; returns its byte offset.
  int build_script_node(int depth);

  std::array<std::uint8_t, kScriptHeaderBytes> header_copy{};
  ScriptNodes* array_start = nullptr;
  int next_pair = 0;  // entry index of the next free pair
  int next_leaf = 0;  // entry index of the next free leaf
  std::int32_t header_bit_pos = 0;
  std::int32_t spare_bits = 0;
  std::int32_t depth_bits = 0;
  std::int32_t depth_base = 0;
  std::int32_t value_bits = 0;
  std::int32_t node_count = 0;
  std::int32_t next_leaf_depth = 0;
  std::string refusal;  // empty while the header is acceptable

  // Records why the header is refused; the first reason found is kept.
  void refuse(std::string why);
};

// Walks the node array. In a tree the builder accepted every child pair lies
// after its parent and every offset inside the array. The walk relies on
// neither: an offset that does not move forward ends it as a leaf, and
// indexes are masked to the array, so any node array gives a walk that ends
// and stays inside it.
struct ScriptTreeWalker {
  static constexpr int kMask = kScriptTreeEntries - 1;
  const ScriptNodes& nodes;
  int boundary;  // leaf_boundary, or 0 if negative
  int root() const { return 0; }
  bool step(int offset, int bit, int& next) const {
    next = nodes[((offset >> 1) + bit) & kMask];
    return next >= boundary || next <= offset;
  }
  int leaf(int next) const { return nodes[(next >> 1) & kMask]; }
};

inline ScriptTreeWalker walker_for(const ScriptNodes& nodes, std::int32_t leaf_boundary) {
  return {nodes, leaf_boundary > 0 ? leaf_boundary : 0};
}

// The two bytes a symbol decodes to: FF FF for 0, 00 00 for 256, otherwise
// its low byte then its high byte. A script keeps the first.
struct ScriptUnit {
  std::uint8_t byte;
  std::uint8_t high;
};
inline ScriptUnit script_unit(int symbol) {
  if (symbol == 0) return {0xFF, 0xFF};
  if (symbol == 256) return {0, 0};
  return {static_cast<std::uint8_t>(symbol & 0xFF), static_cast<std::uint8_t>(symbol >> 8)};
}

// Reads the n-bit field at bit `position` of the header (most significant bit
// first) and moves `position` past it. A field that would run past the
// header's 1024 bytes refuses the header and reads as 0.
std::int32_t read_header_bits(ScriptTreeBuilder& builder, std::int32_t& position, int n);

// Walks the tree from the root with bits from `reader`; returns the leaf value.
// `steps` (from index_script_tree) lets it take the first bits at once.
std::uint16_t decode_script_symbol(const ScriptNodes& nodes, std::int32_t leaf_boundary, BitReader& reader,
                                   const WalkSteps& steps = WalkSteps{});

// Decodes one script whose compressed length is `length` (raised to even).
// Each symbol becomes a byte pair: FF FF for 0, 00 00 for 256, otherwise the
// low byte then the high byte; symbol 0 does not end the script. Decoding
// stops at kScriptOutputCap bytes or at a symbol whose walk fetched past the
// length, which is dropped. Returns the bytes written.
int decode_script(const ScriptTree& tree, std::span<const std::uint8_t> input, std::int32_t length,
                  std::span<std::uint8_t, kScriptOutputCap> out);

}  // namespace ambergale
