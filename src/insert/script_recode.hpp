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
#include "encode/totals.hpp"
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

// The symbols a block decodes to, each with the bits it took (filler
// symbols included), for writing the block again elsewhere. Empty, with
// `why` set, when it cannot be: the decoder stopped at its output cap, or a
// walk is longer than a code holds.
std::vector<encode::ScriptLeaf> block_leaves(const ScriptTree& tree, std::span<const std::uint8_t> input, std::int32_t length,
                                             std::string& why);

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

// Where a message lies: its block, the script bytes [first, first + size)
// it takes, and the odd block that reads the block's first byte, if any.
struct MessagePlace {
  BlockAt block;
  int first;
  int size;
  const NeighbourBlock* previous = nullptr;
};

// Searches, one offered byte string at a time, for new bytes of a message
// that the block can hold; a found block is left written into `image`, a
// try that fails leaves the image as it was. At most `bound` tries.
class BlockRecoder {
 public:
  BlockRecoder(const ScriptTree& tree, const encode::ScriptCodes& codes, std::span<std::uint8_t> image,
               const MessagePlace& place, std::size_t bound);

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
  // The leaves each place of the message may take, the most bits they add
  // up to, and the totals the places from each one on can take.
  struct PlaceOptions {
    std::vector<std::vector<encode::ScriptLeaf>> leaves;
    std::size_t widest = 0;
    std::vector<encode::Totals> reach;
  };

  void find_kept_bits();
  std::int32_t start_of(int symbol) const { return bits_.starts[static_cast<std::size_t>(symbol)]; }

  bool try_bytes(std::span<const std::uint8_t> bytes);
  bool keeps_fixed_bytes(std::span<const std::uint8_t> bytes, int last) const;
  std::optional<PlaceOptions> place_options(std::span<const std::uint8_t> bytes);
  std::vector<encode::ScriptLeaf> leaves_for(std::size_t index, std::uint8_t byte) const;
  std::int32_t chosen_total(const PlaceOptions& options, std::int32_t old_total) const;
  void write_leaves(encode::BitWriter& writer, const PlaceOptions& options, std::int32_t total, std::vector<int>& symbols) const;
  void write_tail(encode::BitWriter& writer, std::int32_t grown) const;
  bool holds(const std::vector<std::uint8_t>& block, const std::vector<std::uint8_t>& units);

  const ScriptTree& tree_;
  const encode::ScriptCodes& codes_;
  std::span<std::uint8_t> image_;
  MessagePlace place_;
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

// A message's new text as its encodings are offered: its literal units,
// the bits they may take (at most 8 × the message's bytes), and the old
// message's last byte, whose free bits are offered first.
struct OfferedText {
  std::span<const std::uint16_t> literal;
  BitWindow window;
  std::uint8_t old_last;
};

// Calls `offer` with the encodings of the text whose bits lie in its window
// until it returns true: each parse, nearest to the window's `near` first,
// with each value of the free bits after its end code, the old message's
// first. Parses for which `skip` is true are left out.
void offer_encodings(const encode::MessageCoder& coder, const OfferedText& text,
                     const std::function<bool(std::span<const std::uint8_t>)>& offer,
                     const std::function<bool(const encode::Units&)>& skip = {});

}  // namespace ambergale
