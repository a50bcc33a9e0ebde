#include "insert/script_recode.hpp"

#include <algorithm>

#include "decode/bit_reader.hpp"

namespace ambergale {

namespace {

// The bits [from, to) of `bytes`, most significant first, appended to `out`.
void copy_bits(encode::BitWriter& out, std::span<const std::uint8_t> bytes, std::int32_t from, std::int32_t to) {
  for (std::int32_t at = from; at < to; ++at) {
    out.put({static_cast<std::uint32_t>(bytes[static_cast<std::size_t>(at / 8)] >> (7 - at % 8) & 1), 1});
  }
}

// The bits [from, to) of `bytes` as a number, the first the most significant.
std::uint32_t read_bits(std::span<const std::uint8_t> bytes, std::int32_t from, std::int32_t to) {
  std::uint32_t bits = 0;
  for (std::int32_t at = from; at < to; ++at) bits = bits << 1 | (bytes[static_cast<std::size_t>(at / 8)] >> (7 - at % 8) & 1);
  return bits;
}

// The totals the places from k on can take, for each k.
std::vector<encode::Totals> reachable_totals(const std::vector<std::vector<encode::ScriptLeaf>>& leaves, std::size_t widest) {
  std::vector<encode::Totals> reach(leaves.size() + 1, encode::Totals(widest + 1));
  reach.back().add(0);
  for (std::size_t k = leaves.size(); k-- > 0;) {
    int done = -1;  // lengths already added, in the usual case of one or two
    for (const auto& leaf : leaves[k]) {
      if (leaf.code.length == done) continue;
      reach[k].add_shifted(reach[k + 1], static_cast<std::size_t>(leaf.code.length));
      done = leaf.code.length;
    }
  }
  return reach;
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

std::vector<encode::ScriptLeaf> block_leaves(const ScriptTree& tree, std::span<const std::uint8_t> input, std::int32_t length,
                                             std::string& why) {
  const BlockBits bits = read_block_bits(tree, input, length);
  if (bits.capped) {
    why = "it decodes to the most a script may hold (" + std::to_string(kScriptOutputCap / 2) + " bytes)";
    return {};
  }
  std::vector<encode::ScriptLeaf> leaves;
  for (std::size_t k = 0; k < bits.symbols.size(); ++k) {
    const std::int32_t from = bits.starts[k], to = bits.starts[k + 1];
    if (to - from > 32) {
      why = "a symbol of it takes " + std::to_string(to - from) + " bits, more than a code holds";
      return {};
    }
    leaves.push_back({bits.symbols[k], {read_bits(input, from, to), to - from}});
  }
  return leaves;
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
                           const MessagePlace& place, std::size_t bound)
    : tree_(tree), codes_(codes), image_(image), place_(place), bound_(bound) {
  const BlockAt& block = place.block;
  const auto length = static_cast<std::size_t>(std::max(block.length, 0));
  const std::span<const std::uint8_t> from = std::span<const std::uint8_t>(image).subspan(block.offset);
  old_.assign(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(std::min(length, from.size())));
  bits_ = read_block_bits(tree, from, block.length);
  total_bits_ = 8 * static_cast<std::int32_t>(old_.size());
  if (bits_.capped) {
    unusable_ = "it decodes to the most a script may hold (" + std::to_string(kScriptOutputCap / 2) +
                " bytes), so its last bits are never read";
    return;
  }
  if (place.first + place.size > static_cast<int>(bits_.symbols.size())) {
    unusable_ = "the message runs past the script's end";
    return;
  }
  find_kept_bits();
  if (place.first >= fixed_from_) {
    unusable_ = "its bytes are decoded from the bits the block shares with the next one";
  }
}

// Which symbols keep their bits, and where the kept bits after them start.
void BlockRecoder::find_kept_bits() {
  const auto count = static_cast<int>(bits_.symbols.size());
  if (place_.block.length % 2 == 0) {
    fixed_from_ = count;
    tail_from_ = bits_.starts.back();
    return;
  }
  // The walk in progress at the block's end reads the next block's byte:
  // it and everything after it keep their bits.
  fixed_from_ = 0;
  while (fixed_from_ < count && start_of(fixed_from_ + 1) <= total_bits_) ++fixed_from_;
  tail_from_ = start_of(fixed_from_);
}

bool BlockRecoder::offer(std::span<const std::uint8_t> bytes) {
  if (found_ || tries_ >= bound_ || !unusable_.empty()) return true;
  ++tries_;
  found_ = try_bytes(bytes);
  return found_ || tries_ >= bound_;
}

bool BlockRecoder::try_bytes(std::span<const std::uint8_t> bytes) {
  const int last = std::min(place_.first + place_.size, fixed_from_);  // the places whose symbols may change
  if (!keeps_fixed_bytes(bytes, last)) return false;
  const std::optional<PlaceOptions> options = place_options(bytes.first(static_cast<std::size_t>(last - place_.first)));
  if (!options) return false;
  const std::int32_t old_total = start_of(last) - start_of(place_.first);
  const std::int32_t total = chosen_total(*options, old_total);
  if (total < 0) return false;
  std::vector<int> symbols = bits_.symbols;
  encode::BitWriter writer;
  copy_bits(writer, old_, 0, start_of(place_.first));
  write_leaves(writer, *options, total, symbols);
  copy_bits(writer, old_, start_of(last), tail_from_);
  write_tail(writer, total - old_total);
  if (writer.bit_count() != static_cast<std::size_t>(total_bits_)) return false;  // never: the totals add up
  return holds(writer.bytes(), units_for_symbols(symbols));
}

// The message's bytes from `last` on are decoded from the kept bits, so
// they cannot change.
bool BlockRecoder::keeps_fixed_bytes(std::span<const std::uint8_t> bytes, int last) const {
  for (int j = last; j < place_.first + place_.size; ++j) {
    const std::uint8_t kept = script_unit(bits_.symbols[static_cast<std::size_t>(j)]).byte;
    if (bytes[static_cast<std::size_t>(j - place_.first)] != kept) return false;
  }
  return true;
}

// Empty, with the byte noted, when some byte has no leaf.
std::optional<BlockRecoder::PlaceOptions> BlockRecoder::place_options(std::span<const std::uint8_t> bytes) {
  PlaceOptions options;
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    options.leaves.push_back(leaves_for(static_cast<std::size_t>(place_.first) + k, bytes[k]));
    if (options.leaves.back().empty()) {
      if (missing_byte_ < 0) missing_byte_ = bytes[k];
      return std::nullopt;
    }
    std::size_t longest = 0;
    for (const auto& leaf : options.leaves.back()) longest = std::max(longest, static_cast<std::size_t>(leaf.code.length));
    options.widest += longest;
  }
  options.reach = reachable_totals(options.leaves, options.widest);
  return options;
}

// The leaves that may give `byte` in place of symbol `index`: the symbol it
// has, with the bits it has, first when its byte stays, then the others that
// give the byte, shortest first.
std::vector<encode::ScriptLeaf> BlockRecoder::leaves_for(std::size_t index, std::uint8_t byte) const {
  std::vector<encode::ScriptLeaf> leaves;
  const int symbol = bits_.symbols[index];
  const std::int32_t from = bits_.starts[index], to = bits_.starts[index + 1];
  if (script_unit(symbol).byte == byte && to - from <= 32) {
    leaves.push_back({symbol, {read_bits(old_, from, to), to - from}});
  }
  const auto& others = codes_.by_byte[byte];
  leaves.insert(leaves.end(), others.begin(), others.end());
  return leaves;
}

// The total the message's symbols must take: exactly the old one in an odd
// block; in an even one, any that leaves a tail no walk completes in, the
// old one first, then the nearest. -1 when none can be reached.
std::int32_t BlockRecoder::chosen_total(const PlaceOptions& options, std::int32_t old_total) const {
  const std::int32_t old_tail = total_bits_ - tail_from_;
  const bool even = place_.block.length % 2 == 0;
  const auto limit = static_cast<std::int32_t>(options.widest);
  for (std::int32_t distance = 0; distance <= limit; ++distance) {
    for (const std::int32_t t : {old_total - distance, old_total + distance}) {
      if (t < 0 || t > limit || !options.reach[0].has(static_cast<std::size_t>(t))) continue;
      const std::int32_t tail = old_tail - (t - old_total);
      if (t == old_total || (even && tail >= 0 && tail <= codes_.longest_open)) return t;
    }
    if (!even) break;
  }
  return -1;
}

// Each place's leaf: the first that still leads to `total`.
void BlockRecoder::write_leaves(encode::BitWriter& writer, const PlaceOptions& options, std::int32_t total,
                                std::vector<int>& symbols) const {
  auto left = static_cast<std::size_t>(total);
  for (std::size_t k = 0; k < options.leaves.size(); ++k) {
    for (const auto& leaf : options.leaves[k]) {
      const auto length = static_cast<std::size_t>(leaf.code.length);
      if (length <= left && options.reach[k + 1].has(left - length)) {
        writer.put(leaf.code);
        symbols[static_cast<std::size_t>(place_.first) + k] = leaf.symbol;
        left -= length;
        break;
      }
    }
  }
}

// The old tail when the message's symbols kept their total, else a walk
// that reaches no leaf in the bits they left over (`grown` fewer).
void BlockRecoder::write_tail(encode::BitWriter& writer, std::int32_t grown) const {
  if (grown == 0) {
    copy_bits(writer, old_, tail_from_, total_bits_);
  } else {
    writer.put(codes_.open[static_cast<std::size_t>(total_bits_ - tail_from_ - grown)]);
  }
}

bool BlockRecoder::holds(const std::vector<std::uint8_t>& block, const std::vector<std::uint8_t>& units) {
  const auto at = static_cast<std::ptrdiff_t>(place_.block.offset);
  std::copy(block.begin(), block.end(), image_.begin() + at);
  const auto decodes_to = [&](const BlockAt& place, const std::vector<std::uint8_t>& expected) {
    std::vector<std::uint8_t> decoded(kScriptOutputCap);
    const int written = decode_script(tree_, std::span<const std::uint8_t>(image_).subspan(place.offset), place.length,
                                      std::span<std::uint8_t, kScriptOutputCap>(decoded));
    return std::equal(decoded.begin(), decoded.begin() + written, expected.begin(), expected.end());
  };
  if (decodes_to(place_.block, units) && (place_.previous == nullptr || decodes_to(place_.previous->at, place_.previous->units))) {
    units_ = units;
    return true;
  }
  std::copy(old_.begin(), old_.end(), image_.begin() + at);
  return false;
}

void offer_encodings(const encode::MessageCoder& coder, const OfferedText& text,
                     const std::function<bool(std::span<const std::uint8_t>)>& offer,
                     const std::function<bool(const encode::Units&)>& skip) {
  const BitWindow& window = text.window;
  const std::size_t size = window.most / 8;
  encode::for_each_parse_in_window(coder, text.literal, window.least, window.most, window.near, [&](const encode::Units& parse) {
    if (skip && skip(parse)) return true;
    encode::EncodedMessage message = encode::write_units(coder, parse);
    const int mask = (1 << (8 * size - message.bits)) - 1;
    const std::uint8_t bare = message.bytes.back();
    message.bytes.back() = static_cast<std::uint8_t>(bare | (text.old_last & mask));
    if (offer(message.bytes)) return false;
    for (int filler = 0; filler <= mask; ++filler) {
      if (filler == (text.old_last & mask)) continue;
      message.bytes.back() = static_cast<std::uint8_t>(bare | filler);
      if (offer(message.bytes)) return false;
    }
    return true;
  });
}

}  // namespace ambergale
