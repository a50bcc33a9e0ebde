#include "decode/byte_tree.hpp"

namespace ambergale {

namespace {

// One step of the walk: the child of internal node `node` for `bit`.
int child_of(const ByteTree& tree, int node, int bit) {
  return node + tree[2 * node + bit] + 1;  // at most 511
}

WalkSteps index_tree(const ByteTree& tree) {
  const int internal = tree[1];
  WalkSteps steps;
  for (int pattern = 0; pattern < (1 << kStepBits); ++pattern) {
    int node = 1;
    WalkStep& step = steps[pattern];
    for (int k = 1; k <= kStepBits; ++k) {
      node = child_of(tree, node, (pattern >> (kStepBits - k)) & 1);
      if (node > internal) {
        step = {tree[internal + 1 + node], static_cast<std::uint8_t>(k), true};
        break;
      }
      step = {static_cast<std::uint16_t>(node), static_cast<std::uint8_t>(k), false};
    }
  }
  return steps;
}

}  // namespace

void index_trees(TreePair& trees) {
  trees.lead_steps = index_tree(trees.lead);
  trees.low_steps = index_tree(trees.low);
}

int decode_symbol(std::span<const std::uint8_t> input, const ByteTree& tree, BitReader& reader,
                  const WalkSteps& steps) {
  const int internal = tree[1];  // N: nodes 1..N are internal
  BitReader local = reader;        // kept in registers for the walk
  int node = 1;
  const WalkStep& step = steps[peek_step_bits(local, input)];
  if (step.bits > 0) {
    skip_bits(local, input, step.bits);
    if (step.leaf) {
      reader = local;
      return step.value;
    }
    node = step.value;
  }
  for (;;) {
    const int child = child_of(tree, node, next_bit(local, input));
    if (child > internal) {
      reader = local;
      return tree[internal + 1 + child];  // at most 767
    }
    node = child;
  }
}

namespace {

// The loop shared by messages and dictionary entries: decodes codes until the
// end symbol, the output cap, or a lead symbol whose walk fetched past
// `input_limit`.
int decode_codes(const TreePair& trees, std::span<const std::uint8_t> input,
                 std::int32_t input_limit, CodeBuffer& out, BitReader& reader) {
  int written = 0;
  while (written < kCodeStreamCap) {
    const int lead = decode_symbol(input, trees.lead, reader, trees.lead_steps);
    if (reader.position > input_limit) break;  // the walk needed a word at the limit
    if (lead == 0) {
      out[written++] = 0xFF;
      out[written++] = 0xFF;
      break;
    }
    if (lead >= 16) {
      out[written++] = static_cast<std::uint8_t>(lead);
      out[written++] = 0;
    } else {
      // The low byte of a page prefix is written even when its walk fetched
      // the word at the limit: the limit is tested after lead symbols only.
      out[written++] = static_cast<std::uint8_t>(decode_symbol(input, trees.low, reader, trees.low_steps));
      out[written++] = static_cast<std::uint8_t>(lead);
    }
  }
  return written;
}

}  // namespace

int decode_text(const TreePair& trees, std::span<const std::uint8_t> input, std::int32_t& limit,
                CodeBuffer& out) {
  const std::int32_t raised = limit % 2 != 0 ? limit + 1 : limit;
  BitReader reader;
  const int written = decode_codes(trees, input, raised, out, reader);
  limit = consumed_length(reader);
  return written;
}

int decode_text_at(const Cartridge& cart, const TreePair& trees, int bank, int address,
                   CodeBuffer& out) {
  std::int32_t limit = kTextWindow;
  return decode_text(trees, rom_view(cart, bank, address), limit, out);
}

int decode_dict_entry(const TreePair& trees, std::span<const std::uint8_t> input,
                      std::int32_t length, CodeBuffer& out) {
  BitReader reader;
  return decode_codes(trees, input, length, out, reader);
}

}  // namespace ambergale
