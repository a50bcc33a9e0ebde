#include "decode/script_tree.hpp"

#include <algorithm>

namespace ambergale {

void ScriptTreeBuilder::refuse(std::string why) {
  if (refusal.empty()) refusal = std::move(why);
}

std::int32_t read_header_bits(ScriptTreeBuilder& builder, std::int32_t& position, int n) {
  if (position + n > kScriptHeaderBytes * 8) {
    builder.refuse("the header runs past its 1024 bytes");
    position += n;
    return 0;
  }
  std::int32_t value = 0;
  for (int i = 0; i < n; ++i) {
    const std::int32_t q = position + i;
    value = value * 2 + ((builder.header_copy[q / 8] >> (7 - q % 8)) & 1);
  }
  position += n;
  return value;
}

Outcome ScriptTreeBuilder::build_script_tree(ScriptNodes& nodes, std::span<const std::uint8_t, kScriptHeaderBytes> header,
                                             std::int32_t& leaf_boundary) {
  std::copy(header.begin(), header.end(), header_copy.begin());
  nodes.fill(0);
  array_start = &nodes;
  next_pair = 0;
  header_bit_pos = 0;
  refusal.clear();
  spare_bits = read_header_bits(*this, header_bit_pos, 4);
  depth_bits = read_header_bits(*this, header_bit_pos, 4);
  depth_base = read_header_bits(*this, header_bit_pos, 4);
  value_bits = read_header_bits(*this, header_bit_pos, 4);
  node_count = read_header_bits(*this, header_bit_pos, 16);
  if (node_count > kMaxScriptNodeCount) {
    refuse("node_count " + std::to_string(node_count) + " is above " + std::to_string(kMaxScriptNodeCount));
    return Failure{{}, refusal};
  }
  next_leaf = 2 * node_count;
  next_leaf_depth = read_header_bits(*this, header_bit_pos, depth_bits) + depth_base;
  if (next_leaf_depth == 0) {
    refuse("its first leaf stands at depth 0, which would make the root a leaf");
    return Failure{{}, refusal};
  }
  build_script_node(0);
  if (!refusal.empty()) return Failure{{}, refusal};
  leaf_boundary = node_count * 4;
  return std::nullopt;
}

int ScriptTreeBuilder::build_script_node(int depth) {
  if (!refusal.empty()) return 0;
  ScriptNodes& nodes = *array_start;
  if (depth == next_leaf_depth) {
    if (next_leaf >= kScriptTreeEntries) {
      refuse("its leaves run past the node array");
      return 0;
    }
    const std::int32_t value = read_header_bits(*this, header_bit_pos, value_bits);
    nodes[next_leaf] = static_cast<std::uint16_t>(value);
    next_leaf_depth = read_header_bits(*this, header_bit_pos, depth_bits) + depth_base;
    return 2 * next_leaf++;
  }
  // A descent that never meets the next leaf's depth takes a new pair at every
  // level, so counting pairs against node_count also bounds the recursion.
  if (next_pair >= 2 * node_count) {
    refuse("it has more internal nodes than its node_count of " + std::to_string(node_count) +
           " (or a depth sequence that is not a full binary tree)");
    return 0;
  }
  const int pair = next_pair;
  next_pair += 2;
  const int left = build_script_node(depth + 1);
  nodes[pair] = static_cast<std::uint16_t>(left);
  const int right = build_script_node(depth + 1);
  nodes[pair + 1] = static_cast<std::uint16_t>(right);
  return 2 * pair;
}

void index_script_tree(ScriptTree& tree) {
  tree.steps = index_walk(walker_for(tree.nodes, tree.leaf_boundary));
}

std::uint16_t decode_script_symbol(const ScriptNodes& nodes, std::int32_t leaf_boundary, BitReader& reader,
                                   const WalkSteps& steps) {
  return static_cast<std::uint16_t>(walk_symbol(walker_for(nodes, leaf_boundary), reader, steps));
}

int decode_script(const ScriptTree& tree, std::span<const std::uint8_t> input, std::int32_t length,
                  std::span<std::uint8_t, kScriptOutputCap> out) {
  BitReader reader(input, length % 2 != 0 ? std::int64_t{length} + 1 : length);
  int written = 0;
  while (written < kScriptOutputCap) {
    const int symbol = decode_script_symbol(tree.nodes, tree.leaf_boundary, reader, tree.steps);
    if (reader.passed_bound()) break;  // the walk needed the word at the limit
    const ScriptUnit unit = script_unit(symbol);
    out[written++] = unit.byte;
    out[written++] = unit.high;
  }
  return written;
}

}  // namespace ambergale
