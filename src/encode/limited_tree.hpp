// Text and dictionary trees held to what the game can read: the room each
// table has in the image, the depth of the image's own trees, and the lead
// symbols a text may need.
//
// Codes of a bounded depth are found by package-merge (Larmore and
// Hirschberg): every symbol is a coin of its frequency at each depth 1..D;
// the 2n - 2 cheapest coins, packaging pairs level by level from the
// deepest, give each symbol as many bits as coins of it were taken. The
// result costs the least of all codes no deeper than D.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"
#include "encode/message_encoder.hpp"

namespace ambergale::encode {

using Frequencies = std::array<std::uint64_t, 256>;

// How often units as written use each lead symbol and low byte.
struct SymbolCounts {
  Frequencies lead{};
  Frequencies low{};
  void add(std::uint16_t unit);
};

// A tree of N internal nodes uses 3N + 3 bytes, three for each of its N + 1
// symbols, and may use only the room before the table after it.
constexpr int symbols_within(int room) { return room / 3; }
inline constexpr int kTextLeadSymbols = symbols_within(cartridge_map::kTextLeadTreeRoom);  // 248
inline constexpr int kLowSymbols = symbols_within(cartridge_map::kLowTreeRoom);            // 256
inline constexpr int kDictLeadSymbols = symbols_within(cartridge_map::kDictLeadTreeRoom);  // 216

// Code lengths (0 for symbols left out) over the symbols with a nonzero
// frequency, padded to two, none deeper than `depth`; or why there are none.
struct CodeLengths {
  std::array<int, 256> lengths{};
  std::string refusal;  // empty when the lengths are found
};
CodeLengths limited_code_lengths(const Frequencies& frequency, int depth);

// The table laid out from limited_code_lengths, refused also when the
// symbols are more than `most_symbols`.
struct LimitedTree {
  ByteTreeCode tree;
  std::string refusal;  // empty when the tree is built
};
LimitedTree build_limited_tree(const Frequencies& frequency, int depth, int most_symbols);

// The depth of a table's deepest leaf: the bits of its longest code.
int tree_depth(const ByteTree& tree);

// What the lead tree must hold for texts as written (entries as their
// codes, end codes included): the characters that may travel in a
// one-character entry instead, by count, and the lead symbols that must be
// leaves (controls, their arguments, page prefixes, the end code).
struct LeadNeeds {
  Frequencies characters{};
  std::array<bool, 256> kept{};
};
LeadNeeds lead_needs(std::span<const Units> texts);

// The characters that go into one-character entries so the lead tree holds
// `most_symbols`: the rarest, of counts alike the smaller unit. Carried
// characters need a dictionary page, which counts as one more kept symbol
// when none is kept yet. Refused, with the counts, when the kept symbols
// alone are too many.
struct Carriers {
  std::vector<std::uint16_t> characters;
  std::string refusal;  // empty when the lead tree can hold the rest
};
Carriers choose_carriers(const LeadNeeds& needs, int most_symbols);

}  // namespace ambergale::encode
