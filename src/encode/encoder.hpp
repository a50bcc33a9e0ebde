// The inverse of the decoders: Huffman trees in the cartridge's two forms,
// built from symbol frequencies, and bit streams coded with them. The sample
// cartridge and the tests' images are made with it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "decode/byte_tree.hpp"

namespace ambergale::encode {

// A code: its `length` bits, most significant first, in the low bits of `bits`.
struct Code {
  std::uint32_t bits = 0;
  int length = 0;
};

// Collects bits most significant first, which is the order in which the
// decoders take them from big-endian words.
class BitWriter {
 public:
  void put(Code code);
  // Fills the last byte with `filler` bits (0 or 1).
  void pad_to_byte(int filler = 0);
  std::size_t bit_count() const { return bits_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bits_ = 0;
};

// A ByteTree laid out from a Huffman tree over symbols 0..255, and the code
// of each symbol (length 0 for symbols that do not occur).
struct ByteTreeCode {
  ByteTree table{};
  std::array<Code, 256> codes{};
};

// The symbols to build a tree over: those with a nonzero frequency, padded
// with unused ones to at least two.
std::vector<std::pair<int, std::uint64_t>> present_symbols(std::span<const std::uint64_t> frequency);

// Builds the tree for the symbols with a nonzero frequency. A tree needs two
// leaves, so with fewer symbols an unused one fills in.
ByteTreeCode build_byte_tree(const std::array<std::uint64_t, 256>& frequency);

// The tree whose codes have `lengths` (0 for symbols left out), canonical:
// codes in order of (length, symbol). The lengths must fill a tree exactly
// (Kraft sum 1, at least two symbols, at most 32 bits); otherwise throws
// std::invalid_argument.
ByteTreeCode byte_tree_of_lengths(const std::array<int, 256>& lengths);

// The code of each symbol in an existing tree (an image's own): the shortest
// walk that reaches a leaf holding it, the left child first among walks of
// one length. Length 0: no walk reaches it, or only walks longer than the 32
// bits a Code holds.
std::array<Code, 256> codes_of_tree(const ByteTree& tree);

// The text trees for a set of messages: lead symbols and low bytes.
struct TextCoder {
  ByteTreeCode lead;
  ByteTreeCode low;
  TreePair trees() const { return {lead.table, low.table}; }
};

// Counts the symbols `units` need and builds both trees for them. Units are
// CodeStream values: 0x0010..0x0FFF and the end code.
TextCoder build_text_coder(std::span<const std::vector<std::uint16_t>> messages);

// Codes `units` (which should end with the end code) and pads to a byte boundary.
std::vector<std::uint8_t> encode_units(const TextCoder& coder, std::span<const std::uint16_t> units);

// A script tree: its bit-packed header and the code of each symbol.
struct ScriptTreeCode {
  std::vector<std::uint8_t> header;
  std::map<int, Code> codes;
  int max_depth = 0;
};

// Builds a canonical tree for the symbols with a nonzero frequency (at least
// two), with `extra_pairs` unused pairs added to node_count.
ScriptTreeCode build_script_tree_code(const std::map<int, std::uint64_t>& frequency, int extra_pairs = 0);

// Writes `bytes` at bank:address of a 4 MiB image, running on into the next bank.
void put_bytes(std::span<std::uint8_t> image, int bank, int address, std::span<const std::uint8_t> bytes);
void put_word(std::span<std::uint8_t> image, int bank, int address, int word);

}  // namespace ambergale::encode
