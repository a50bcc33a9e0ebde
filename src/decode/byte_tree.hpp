// The table-form Huffman trees that messages and dictionary entries are
// coded with, and the decoders that turn such a bit stream into a CodeStream.
//
// A ByteTree is 1024 bytes. Byte 1 is N, the number of internal nodes;
// internal node a (1..N) keeps its left and right distances in bytes 2a and
// 2a+1, a distance d naming child a + d + 1; leaf j (above N) keeps its symbol
// in byte N + 1 + j. No walk can form an index above 767, so every lookup
// stays inside the table whatever its bytes hold.
//
// A CodeStream holds 16-bit units, low byte first. Each lead symbol gives one
// unit: 0 the end code FFFF (decoding stops), 16..255 the unit s, and a page
// prefix 1..15 the unit s * 256 + t, where t is the next symbol of the low
// tree. The decoders never write more than kCodeStreamCap bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "decode/bit_reader.hpp"
#include "decode/tree_walk.hpp"

namespace ambergale {

inline constexpr int kByteTreeSize = 1024;
inline constexpr int kCodeStreamCap = 3840;   // 1920 units
inline constexpr int kTextWindow = 4096;      // what decode_text_at decodes from

using ByteTree = std::array<std::uint8_t, kByteTreeSize>;
using CodeBuffer = std::array<std::uint8_t, kCodeStreamCap>;

// The 16-bit units of a code stream's bytes (low byte first); an odd last byte is left out.
std::vector<std::uint16_t> code_units(std::span<const std::uint8_t> codes);

// The inverse: one unit appended to a code stream's bytes, low byte first;
// and a run of units as bytes.
void append_code_unit(std::uint16_t unit, std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> code_bytes(std::span<const std::uint16_t> units);

// The codes that the next kStepBits bits hold whole, one after another, for
// decoding several at once: `count` units (a one-byte code, or a page prefix
// with the low tree's symbol after it) taking `bits` bits. A run ends before
// the end symbol and before a code whose bits are not all known; count 0
// gives no shortcut.
inline constexpr int kRunUnits = 5;
struct SymbolRun {
  std::uint8_t count = 0;
  std::uint8_t bits = 0;
  std::uint16_t units[kRunUnits] = {};
};
using SymbolRuns = std::array<SymbolRun, 1 << kStepBits>;

// A lead tree and the low tree that supplies the byte after a page prefix,
// with the tables that speed up their walks (see index_trees).
struct TreePair {
  ByteTree lead{};
  ByteTree low{};
  WalkSteps lead_steps{};
  WalkSteps low_steps{};
  SymbolRuns lead_runs{};
};

// Fills the step tables of both trees, and the run table from them.
void index_trees(TreePair& trees);

// Walks `tree` from the root with bits from `reader`; returns the leaf symbol.
// `steps` (from index_trees) lets it take the first bits at once.
int decode_symbol(const ByteTree& tree, BitReader& reader, const WalkSteps& steps = WalkSteps{});

// What decoding one message gives.
struct TextDecode {
  int written = 0;            // bytes written to the output: even, at most kCodeStreamCap
  std::int32_t consumed = 0;  // input bytes holding a bit the decode took (consumed_length)
  std::int32_t bits = 0;      // the bits the decode took
};

// Decodes one message with the text trees. `limit` is the number of input
// bytes the message may occupy (raised to even); a lead symbol whose walk
// passed it is dropped. After a stop at the limit, the consumed length counts
// the dropped symbol's bits too.
TextDecode decode_text(const TreePair& trees, std::span<const std::uint8_t> input, std::int32_t limit,
                       CodeBuffer& out);

// Decodes one message at bank:address with limit kTextWindow. The dump does
// not use its consumed length.
TextDecode decode_text_at(const Cartridge& cart, const TreePair& trees, int bank, int address, CodeBuffer& out);

// Decodes one dictionary entry with the dictionary trees. The length is the
// input limit, used as it is (an odd one is not raised).
TextDecode decode_dict_entry(const TreePair& trees, std::span<const std::uint8_t> input,
                             std::int32_t length, CodeBuffer& out);

}  // namespace ambergale
