// The bit source shared by both Huffman decoders.
//
// A reader holds its input and its bound. Bits are taken most significant
// first from big-endian 16-bit words fetched from the start of the input:
// the first word is byte 0 * 256 + byte 1, whatever the parity of the
// address the input came from. A word is fetched only when a bit is needed,
// never ahead. Bytes past the end of the input read as zero, so no fetch can
// leave it. The bound is the decoders' input limit: a symbol whose walk
// fetched the word that starts at the bound, or a later one, has passed it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

namespace ambergale {

struct BitReader {
  explicit BitReader(std::span<const std::uint8_t> bytes,
                     std::int64_t limit = std::numeric_limits<std::int64_t>::max())
      : input(bytes), bound(limit) {}

  std::span<const std::uint8_t> input;
  std::int64_t bound;
  std::int32_t position = 0;   // index of the next input byte to fetch; always even
  std::int32_t word = 0;       // the 16-bit word being read
  std::int32_t bit_index = -1; // next bit of `word` to take (15 = top); -1: used up

  // Whether the last walk fetched a word at or past the bound.
  bool passed_bound() const { return position > bound; }
};

// The big-endian word at byte `at` of the input; bytes past its end are zero.
inline int word_at(std::span<const std::uint8_t> input, std::size_t at) {
  if (at + 1 < input.size()) return input[at] << 8 | input[at + 1];  // the common case: one test
  return at < input.size() ? input[at] << 8 : 0;
}

// Takes the next bit, fetching a word first when the last one is used up.
// Inline: every decoder calls it once per bit.
inline int next_bit(BitReader& reader) {
  if (reader.bit_index < 0) {
    reader.word = word_at(reader.input, static_cast<std::size_t>(reader.position));  // never negative
    reader.position += 2;
    reader.bit_index = 15;
  }
  return (reader.word >> reader.bit_index--) & 1;
}

// How many bits a step table takes at once.
inline constexpr int kStepBits = 11;

// The next kStepBits bits the reader would take, without taking them.
inline int peek_step_bits(const BitReader& reader) {
  const int available = reader.bit_index + 1;  // bits left in `word`, 0..16
  if (available >= kStepBits) return (reader.word >> (available - kStepBits)) & ((1 << kStepBits) - 1);
  const int next = word_at(reader.input, static_cast<std::size_t>(reader.position));
  const int from_word = reader.word & ((1 << available) - 1);
  return (from_word << (kStepBits - available)) | (next >> (16 - (kStepBits - available)));
}

// Takes n bits (at most 16) at once, leaving the reader as n calls of
// next_bit would.
inline void skip_bits(BitReader& reader, int n) {
  const int available = reader.bit_index + 1;
  if (n <= available) {
    reader.bit_index -= n;
    return;
  }
  reader.word = word_at(reader.input, static_cast<std::size_t>(reader.position));
  reader.position += 2;
  reader.bit_index = 15 - (n - available);
}

// The number of input bytes that hold at least one bit taken so far: the
// second byte of the last word counts only once a bit of it was taken.
std::int32_t consumed_length(const BitReader& reader);

// The number of bits taken so far.
inline std::int32_t bits_taken(const BitReader& reader) { return reader.position * 8 - (reader.bit_index + 1); }

}  // namespace ambergale
