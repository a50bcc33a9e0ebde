#include "insert/script_recode.hpp"

#include <algorithm>

#include "decode/bit_reader.hpp"
#include "encode/totals.hpp"

namespace ambergale {

namespace {

// The bits [from, to) of `bytes`, most significant first, appended to `out`.
void copy_bits(encode::BitWriter& out, std::span<const std::uint8_t> bytes, std::int32_t from, std::int32_t to) {
  for (std::int32_t at = from; at < to; ++at) {
    out.put({static_cast<std::uint32_t>(bytes[static_cast<std::size_t>(at / 8)] >> (7 - at % 8) & 1), 1});
  }
}

}  // namespace

BlockBits read_block_bits(const ScriptTree& tree, std::span<const std::uint8_t> input, std::int32_t length) {
  BlockBits bits;
  BitReader reader(input, length % 2 != 0 ? std::int64_t{length} + 1 : length);
  while (bits.symbols.size() < kScriptOutputCap / 2) {
    const std::int32_t start = bits_taken(reader);
    const int symbol = decode_script_symbol(tree.nodes, tree.leaf_boundary, reader, tree.steps);
    bits.starts.push_back(start);
    if (reader.passed_bound()) return bits;
    bits.symbols.push_back(symbol);
  }
  bits.capped = true;
  bits.starts.push_back(bits_taken(reader));
  return bits;
}

std::vector<std::uint8_t> units_for_symbols(std::span<const int> symbols) {
  std::vector<std::uint8_t> units;
  units.reserve(2 * symbols.size());
  for (const int symbol : symbols) {
    const ScriptUnit unit = script_unit(symbol);
    units.push_back(unit.byte);
    units.push_back(unit.high);
  }
  return units;
}

BlockRecoder::BlockRecoder(const ScriptTree& tree, const encode::ScriptCodes& codes, std::span<std::uint8_t> image,
                           BlockAt block, int first, int size, const NeighbourBlock* previous, std::size_t bound)
    : tree_(tree), codes_(codes), image_(image), block_(block), first_(first), size_(size), previous_(previous), bound_(bound) {
  const auto length = static_cast<std::size_t>(std::max(block.length, 0));
  const std::span<const std::uint8_t> from = std::span<const std::uint8_t>(image).subspan(block.offset);
  old_.assign(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(std::min(length, from.size())));
  bits_ = read_block_bits(tree, from, block.length);
  const auto count = static_cast<int>(bits_.symbols.size());
  total_bits_ = 8 * static_cast<std::int32_t>(old_.size());
  if (bits_.capped) {
    unusable_ = "it decodes to the most a script may hold (" + std::to_string(kScriptOutputCap / 2) +
                " bytes), so its last bits are never read";
    return;
  }
  if (first + size > count) {
    unusable_ = "the message runs past the script's end";
    return;
  }
  if (block.length % 2 == 0) {
    fixed_from_ = count;
    tail_from_ = bits_.starts.back();
  } else {
    // The walk in progress at the block's end reads the next block's byte:
    // it and everything after it keep their bits.
    fixed_from_ = 0;
    while (fixed_from_ < count && bits_.starts[static_cast<std::size_t>(fixed_from_) + 1] <= total_bits_) ++fixed_from_;
    tail_from_ = bits_.starts[static_cast<std::size_t>(fixed_from_)];
  }
  if (first >= fixed_from_) {
    unusable_ = "its bytes are decoded from the bits the block shares with the next one";
  }
}

bool BlockRecoder::offer(std::span<const std::uint8_t> bytes) {
  if (found_ || tries_ >= bound_ || !unusable_.empty()) return true;
  ++tries_;
  found_ = try_bytes(bytes);
  return found_ || tries_ >= bound_;
}

bool BlockRecoder::try_bytes(std::span<const std::uint8_t> bytes) {
  const int last = std::min(first_ + size_, fixed_from_);  // the places whose symbols may change
  for (int j = last; j < first_ + size_; ++j) {
    if (bytes[static_cast<std::size_t>(j - first_)] != script_unit(bits_.symbols[static_cast<std::size_t>(j)]).byte) return false;
  }
  // Each place's leaves: the symbol it has first when its byte stays, then
  // the others that give the byte, shortest first.
  const auto places = static_cast<std::size_t>(last - first_);
  std::vector<std::vector<encode::ScriptLeaf>> options(places);
  std::size_t widest = 0;
  for (std::size_t k = 0; k < places; ++k) {
    const std::size_t j = static_cast<std::size_t>(first_) + k;
    const std::uint8_t byte = bytes[k];
    const int symbol = bits_.symbols[j];
    const std::int32_t code_bits = bits_.starts[j + 1] - bits_.starts[j];
    if (script_unit(symbol).byte == byte && code_bits <= 32) {
      std::uint32_t code = 0;
      for (std::int32_t at = bits_.starts[j]; at < bits_.starts[j + 1]; ++at) {
        code = code << 1 | (old_[static_cast<std::size_t>(at / 8)] >> (7 - at % 8) & 1);
      }
      options[k].push_back({symbol, {code, code_bits}});
    }
    const auto& leaves = codes_.by_byte[byte];
    options[k].insert(options[k].end(), leaves.begin(), leaves.end());
    if (options[k].empty()) {
      if (missing_byte_ < 0) missing_byte_ = byte;
      return false;
    }
    std::size_t longest = 0;
    for (const auto& leaf : options[k]) longest = std::max(longest, static_cast<std::size_t>(leaf.code.length));
    widest += longest;
  }
  // The totals the places from k on can take.
  std::vector<encode::Totals> reach(places + 1, encode::Totals(widest + 1));
  reach[places].add(0);
  for (std::size_t k = places; k-- > 0;) {
    int done = -1;  // lengths already added, in the usual case of one or two
    for (const auto& leaf : options[k]) {
      if (leaf.code.length == done) continue;
      reach[k].add_shifted(reach[k + 1], static_cast<std::size_t>(leaf.code.length));
      done = leaf.code.length;
    }
  }
  // The total the message's symbols must take: exactly the old one in an
  // odd block; in an even one, any that leaves a tail no walk completes in,
  // the old one first, then the nearest.
  const std::int32_t old_total = bits_.starts[static_cast<std::size_t>(last)] - bits_.starts[static_cast<std::size_t>(first_)];
  const std::int32_t old_tail = total_bits_ - tail_from_;
  std::int32_t total = -1;
  const bool even = block_.length % 2 == 0;
  const std::int32_t reach_limit = static_cast<std::int32_t>(widest);
  for (std::int32_t distance = 0; total < 0 && distance <= reach_limit; ++distance) {
    for (const std::int32_t t : {old_total - distance, old_total + distance}) {
      if (t < 0 || t > reach_limit || !reach[0].has(static_cast<std::size_t>(t))) continue;
      const std::int32_t tail = old_tail - (t - old_total);
      if (t == old_total || (even && tail >= 0 && tail <= codes_.longest_open)) {
        total = t;
        break;
      }
    }
    if (!even) break;
  }
  if (total < 0) return false;
  // The leaves, each the first that still leads to the total.
  std::vector<int> symbols = bits_.symbols;
  encode::BitWriter writer;
  copy_bits(writer, old_, 0, bits_.starts[static_cast<std::size_t>(first_)]);
  std::size_t left = static_cast<std::size_t>(total);
  for (std::size_t k = 0; k < places; ++k) {
    for (const auto& leaf : options[k]) {
      const auto length = static_cast<std::size_t>(leaf.code.length);
      if (length <= left && reach[k + 1].has(left - length)) {
        writer.put(leaf.code);
        symbols[static_cast<std::size_t>(first_) + k] = leaf.symbol;
        left -= length;
        break;
      }
    }
  }
  copy_bits(writer, old_, bits_.starts[static_cast<std::size_t>(last)], tail_from_);
  if (total == old_total) {
    copy_bits(writer, old_, tail_from_, total_bits_);
  } else {
    writer.put(codes_.open[static_cast<std::size_t>(old_tail - (total - old_total))]);
  }
  if (writer.bit_count() != static_cast<std::size_t>(total_bits_)) return false;  // never: the totals add up
  return holds(writer.bytes(), units_for_symbols(symbols));
}

bool BlockRecoder::holds(const std::vector<std::uint8_t>& block, const std::vector<std::uint8_t>& units) {
  const auto at = static_cast<std::ptrdiff_t>(block_.offset);
  std::copy(block.begin(), block.end(), image_.begin() + at);
  const auto decodes_to = [&](const BlockAt& place, const std::vector<std::uint8_t>& expected) {
    std::vector<std::uint8_t> decoded(kScriptOutputCap);
    const int written = decode_script(tree_, std::span<const std::uint8_t>(image_).subspan(place.offset), place.length,
                                      std::span<std::uint8_t, kScriptOutputCap>(decoded));
    return std::equal(decoded.begin(), decoded.begin() + written, expected.begin(), expected.end());
  };
  if (decodes_to(block_, units) && (previous_ == nullptr || decodes_to(previous_->at, previous_->units))) {
    units_ = units;
    return true;
  }
  std::copy(old_.begin(), old_.end(), image_.begin() + at);
  return false;
}

void offer_encodings(const encode::MessageCoder& coder, std::span<const std::uint16_t> literal, const BitWindow& window,
                     std::uint8_t old_last, const std::function<bool(std::span<const std::uint8_t>)>& offer,
                     const std::function<bool(const encode::Units&)>& skip) {
  const std::size_t size = window.most / 8;
  encode::for_each_parse_in_window(coder, literal, window.least, window.most, window.near, [&](const encode::Units& parse) {
    if (skip && skip(parse)) return true;
    encode::EncodedMessage message = encode::write_units(coder, parse);
    const int mask = (1 << (8 * size - message.bits)) - 1;
    const std::uint8_t bare = message.bytes.back();
    message.bytes.back() = static_cast<std::uint8_t>(bare | (old_last & mask));
    if (offer(message.bytes)) return false;
    for (int filler = 0; filler <= mask; ++filler) {
      if (filler == (old_last & mask)) continue;
      message.bytes.back() = static_cast<std::uint8_t>(bare | filler);
      if (offer(message.bytes)) return false;
    }
    return true;
  });
}

}  // namespace ambergale
