#include "decode/byte_tree.hpp"

namespace ambergale {

std::vector<std::uint16_t> code_units(std::span<const std::uint8_t> codes) {
  std::vector<std::uint16_t> units(codes.size() / 2);
  for (std::size_t j = 0; j < units.size(); ++j) units[j] = static_cast<std::uint16_t>(codes[2 * j] | codes[2 * j + 1] << 8);
  return units;
}

void append_code_unit(std::uint16_t unit, std::vector<std::uint8_t>& bytes) {
  bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

std::vector<std::uint8_t> code_bytes(std::span<const std::uint16_t> units) {
  std::vector<std::uint8_t> bytes;
  for (const std::uint16_t unit : units) append_code_unit(unit, bytes);
  return bytes;
}

namespace {

// Walks a ByteTree: internal nodes 1..N, a distance d at node a naming child
// a + d + 1. No index formed can pass 767.
struct ByteTreeWalker {
  const ByteTree& tree;
  int root() const { return 1; }
  bool step(int node, int bit, int& next) const {
    next = node + tree[2 * node + bit] + 1;  // at most 511
    return next > tree[1];
  }
  int leaf(int next) const { return tree[tree[1] + 1 + next]; }  // at most 767
};

// Each run follows the step tables: a code whose walk ends within the bits
// still known after the codes before it is the code of the step entry for
// those bits, shifted to the front.
SymbolRuns index_runs(const WalkSteps& lead_steps, const WalkSteps& low_steps) {
  SymbolRuns runs;
  constexpr int kMask = (1 << kStepBits) - 1;
  // The leaf a step entry reaches within `known` bits, or nullptr.
  auto leaf_within = [](const WalkStep& step, int known) {
    return step.leaf && step.bits > 0 && step.bits <= known ? &step : nullptr;
  };
  for (int pattern = 0; pattern <= kMask; ++pattern) {
    SymbolRun& run = runs[pattern];
    int used = 0;
    while (run.count < kRunUnits) {
      const WalkStep* lead = leaf_within(lead_steps[(pattern << used) & kMask], kStepBits - used);
      if (!lead || lead->value == 0) break;
      if (lead->value >= 16) {
        run.units[run.count++] = lead->value;
        used += lead->bits;
        continue;
      }
      const int after = used + lead->bits;
      const WalkStep* low = leaf_within(low_steps[(pattern << after) & kMask], kStepBits - after);
      if (!low) break;
      run.units[run.count++] = static_cast<std::uint16_t>(lead->value << 8 | low->value);
      used = after + low->bits;
    }
    run.bits = static_cast<std::uint8_t>(used);
  }
  return runs;
}

}  // namespace

void index_trees(TreePair& trees) {
  trees.lead_steps = index_walk(ByteTreeWalker{trees.lead});
  trees.low_steps = index_walk(ByteTreeWalker{trees.low});
  trees.lead_runs = index_runs(trees.lead_steps, trees.low_steps);
}

int decode_symbol(const ByteTree& tree, BitReader& reader, const WalkSteps& steps) {
  return walk_symbol(ByteTreeWalker{tree}, reader, steps);
}

namespace {

// The loop shared by messages and dictionary entries: decodes codes until the
// end symbol, the output cap, or a lead symbol whose walk passed the
// reader's bound.
int decode_codes(const TreePair& trees, CodeBuffer& out, BitReader& reader) {
  int written = 0;
  while (written < kCodeStreamCap) {
    // Whole codes at once where none of them can reach the limit (their
    // bits fetch at most one more word) or the cap.
    const int pattern = peek_step_bits(reader);
    if (reader.position + 2 <= reader.bound && written <= kCodeStreamCap - 2 * kRunUnits) {
      const SymbolRun& run = trees.lead_runs[pattern];
      if (run.count > 0) {
        skip_bits(reader, run.bits);
        for (int i = 0; i < run.count; ++i, written += 2) {
          out[written] = static_cast<std::uint8_t>(run.units[i]);
          out[written + 1] = static_cast<std::uint8_t>(run.units[i] >> 8);
        }
        continue;
      }
    }
    const int lead = walk_symbol_from(ByteTreeWalker{trees.lead}, reader, trees.lead_steps[pattern]);
    if (reader.passed_bound()) break;  // the walk needed a word at the limit
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
      out[written++] = static_cast<std::uint8_t>(decode_symbol(trees.low, reader, trees.low_steps));
      out[written++] = static_cast<std::uint8_t>(lead);
    }
  }
  return written;
}

}  // namespace

TextDecode decode_text(const TreePair& trees, std::span<const std::uint8_t> input, std::int32_t limit,
                       CodeBuffer& out) {
  BitReader reader(input, limit % 2 != 0 ? std::int64_t{limit} + 1 : limit);
  const int written = decode_codes(trees, out, reader);
  return {written, consumed_length(reader), bits_taken(reader)};
}

TextDecode decode_text_at(const Cartridge& cart, const TreePair& trees, int bank, int address, CodeBuffer& out) {
  return decode_text(trees, rom_view(cart, bank, address), kTextWindow, out);
}

TextDecode decode_dict_entry(const TreePair& trees, std::span<const std::uint8_t> input,
                             std::int32_t length, CodeBuffer& out) {
  BitReader reader(input, length);
  const int written = decode_codes(trees, out, reader);
  return {written, consumed_length(reader), bits_taken(reader)};
}

}  // namespace ambergale
