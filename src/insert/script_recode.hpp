// An event script compressed again around a rewritten message, at the
// length its block had.
//
// Nothing inside a script may move: its offsets, and any operand that might
// hold one, must stay. So a message keeps its byte length, the block keeps
// its compressed length, and every other byte of the script decodes as it
// did, the filler decoded after its last symbol included. The bits outside
// the message are kept as they are; the message's bytes take symbols whose
// codes add up to what the rest of the block leaves:
//   - an even block ends in its own word: after the last symbol come fewer
//     bits than any walk needs from there, so the decoder stops;
//   - an odd block's last word holds the next block's first byte: the walk
//     in progress where the block ends must start where it started, so the
//     symbols before it take exactly the bits they took.
// The block before an odd one reads this block's first byte, so it must
// decode as it did too. Each try is proven by decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "decode/script_tree.hpp"
#include "encode/message_encoder.hpp"
#include "encode/script_codes.hpp"
#include "insert/line_encoding.hpp"

namespace ambergale {

// How a block decodes: its symbols, the bit each starts at, and where the
// last one ends (where the walk that passed the block's end started).
struct BlockBits {
  std::vector<int> symbols;
  std::vector<std::int32_t> starts;  // one more than the symbols: the last is the end
  bool capped = false;               // the decoder stopped at its output cap instead
};
BlockBits read_block_bits(const ScriptTree& tree, std::span<const std::uint8_t> input, std::int32_t length);

// The decoded units of `symbols`, two bytes each, as decode_script writes them.
std::vector<std::uint8_t> units_for_symbols(std::span<const int> symbols);

// A block of a script group: where it lies in the image and its length.
struct BlockAt {
  std::size_t offset;  // in the image
  std::int32_t length;
};

// The block that ends where another begins, and the units it must decode to.
struct NeighbourBlock {
  BlockAt at;
  std::vector<std::uint8_t> units;
};

// Searches, one offered byte string at a time, for new bytes of a message
// that the block can hold; a found block is left written into `image`, a
// try that fails leaves the image as it was.
class BlockRecoder {
 public:
  // `message`: the script bytes [first, first + size) the message takes.
  // `previous`: the odd block that reads this one's first byte, if any.
  BlockRecoder(const ScriptTree& tree, const encode::ScriptCodes& codes, std::span<std::uint8_t> image, BlockAt block,
               int first, int size, const NeighbourBlock* previous, std::size_t bound);

  // Why no try can succeed whatever the bytes, or empty.
  const std::string& unusable() const { return unusable_; }

  // Tries `bytes` (the message's new bytes); true when the search is over:
  // a block was found, or the bound is reached.
  bool offer(std::span<const std::uint8_t> bytes);

  bool found() const { return found_; }
  std::size_t tries() const { return tries_; }
  // The units the new block decodes to, once found.
  const std::vector<std::uint8_t>& units() const { return units_; }
  // The first byte no symbol gives, of the tries that needed one; -1 if none.
  int missing_byte() const { return missing_byte_; }

 private:
  bool try_bytes(std::span<const std::uint8_t> bytes);
  bool holds(const std::vector<std::uint8_t>& block, const std::vector<std::uint8_t>& units);

  const ScriptTree& tree_;
  const encode::ScriptCodes& codes_;
  std::span<std::uint8_t> image_;
  BlockAt block_;
  int first_, size_;
  const NeighbourBlock* previous_;
  std::size_t bound_;

  std::vector<std::uint8_t> old_;  // the block's bytes as they stand
  BlockBits bits_;
  int fixed_from_ = 0;          // symbols from here on keep their bits
  std::int32_t tail_from_ = 0;  // where the kept bits after the symbols start
  std::int32_t total_bits_ = 0; // the bits the block holds
  std::string unusable_;

  std::size_t tries_ = 0;
  bool found_ = false;
  int missing_byte_ = -1;
  std::vector<std::uint8_t> units_;
};

// Calls `offer` with the encodings of `literal` (a message's text) whose
// bits lie in `window` (at most 8 × the message's bytes) until it returns
// true: each parse, nearest to the window's `near` first, with each value
// of the free bits after its end code, the old message's (from its last
// byte, `old_last`) first. Parses for which `skip` is true are left out.
void offer_encodings(const encode::MessageCoder& coder, std::span<const std::uint16_t> literal, const BitWindow& window,
                     std::uint8_t old_last, const std::function<bool(std::span<const std::uint8_t>)>& offer,
                     const std::function<bool(const encode::Units&)>& skip = {});

}  // namespace ambergale
