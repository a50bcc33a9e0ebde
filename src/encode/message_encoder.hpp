// Encoding a message with an image's own text trees: the shortest parse of
// its units, where a run of units that a clean dictionary entry expands to
// may be written as that entry's one code.
//
// A clean entry holds, fully expanded, only characters of the character
// table (0012 and 0017 among them), and at least one. Matching on units
// rather than text keeps every code the writer meant and never slips in an
// entry whose hidden units the game might act on. No entry starts or ends
// inside a control's arguments.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "decode/byte_tree.hpp"
#include "encode/encoder.hpp"
#include "text/dictionary.hpp"

namespace ambergale::encode {

using Units = std::vector<std::uint16_t>;

// The clean entries by their units, one node a unit: every entry a text
// starts with is found in one walk along it.
struct EntryTrie {
  struct Node {
    std::vector<std::pair<std::uint16_t, std::size_t>> children;  // by unit, ascending
    std::vector<int> entries;                                     // those whose units end here
  };
  std::vector<Node> nodes{1};  // the root first

  // The node after `node` along `unit`, or 0 (the root) when there is none.
  std::size_t child(std::size_t node, std::uint16_t unit) const;
};

// What the encoder knows of an image: its text trees' codes and its clean
// dictionary entries, built once per run.
struct MessageCoder {
  std::array<Code, 256> lead{};
  std::array<Code, 256> low{};
  std::vector<Units> clean;  // entry e's units, end units dropped; empty when not clean
  EntryTrie trie;            // of `clean`
};

// Indexes `coder.clean` into its trie.
void index_clean_entries(MessageCoder& coder);

// Calls `visit` with each clean entry whose units `text` starts with, the
// shorter first.
template <typename Visit>
void for_each_entry_at(const MessageCoder& coder, std::span<const std::uint16_t> text, Visit visit) {
  std::size_t node = 0;
  for (const std::uint16_t unit : text) {
    node = coder.trie.child(node, unit);
    if (node == 0) return;
    for (const int e : coder.trie.nodes[node].entries) visit(e);
  }
}

MessageCoder make_message_coder(const TreePair& text_trees, const Dictionary& dictionary);

// Whether a clean entry may hold `unit`: a character of the character table
// that is no control. A control's arguments never travel, whatever they are.
bool clean_unit(std::uint16_t unit);

// Whether `unit` counts as a character: a clean unit other than a line break.
bool counts_as_character(std::uint16_t unit);

// The bits unit `u` takes, or 0 when the trees cannot write it.
int unit_bits(const MessageCoder& coder, std::uint16_t unit);

struct EncodedMessage {
  Units units;                      // as written, the end code last
  std::size_t bits = 0;             // the end code's included
  std::vector<std::uint8_t> bytes;  // the bits, the last byte filled with zeros
};

// The shortest parse of `literal` (the message without its end code): fewest
// bits, then fewest units, then the smallest units first. When some unit
// has no code and no entry covers it, returns false and sets `unencodable`
// to its index.
bool encode_message(const MessageCoder& coder, std::span<const std::uint16_t> literal, EncodedMessage& out,
                    std::size_t& unencodable);

// `units` with the code of every clean entry replaced by the units it
// expands to, and the end code dropped: the text they stand for.
Units opened(const MessageCoder& coder, std::span<const std::uint16_t> units);

// What the characters of a message cost, one unit at a time, for telling a
// translator in characters how much text fits. A character is a unit of the
// character table that is neither a line break nor a control; a clean
// entry counts as the characters it stands for, its bits shared among them.
// Controls with their arguments, line breaks, other entries and the end
// code are the rest; units the trees cannot write count for nothing.
struct CharacterBits {
  std::size_t bits = 0;  // of the characters
  std::size_t characters = 0;
  std::size_t other_bits = 0;  // of the rest
};

// What `units` cost: a message as stored (entries in it), or the literal an
// edited line means.
CharacterBits character_bits(const MessageCoder& coder, std::span<const std::uint16_t> units);

// What the full-width Latin letters (Ａ..Ｚ, ａ..ｚ) that the trees can write
// cost, one of each.
CharacterBits latin_letter_bits(const MessageCoder& coder);

// What a search for a parse of a given length found.
struct WindowFit {
  bool found = false;
  std::size_t shortest = 0;  // the fewest and most bits any parse takes, end code
  std::size_t longest = 0;   // included (both 0 when the text cannot be written)
  CharacterBits characters;  // of the literal, for a refusal's room in characters
};

// A parse of `literal` whose bits, end code included, lie in [least, most]:
// of the totals in the window, the one nearest to `near` (the smaller of
// two as near), and of the parses with that total the one that takes, at
// each place, the first edge that still leads to it (the unit itself, then
// entries by index). Sets `out` when found.
WindowFit encode_in_window(const MessageCoder& coder, std::span<const std::uint16_t> literal, std::size_t least,
                           std::size_t most, std::size_t near, EncodedMessage& out);

// The codes a parse may write for a character of the literal: its own, or
// also each other code of the same character (other_codes_of) that takes
// more bits, so a message grows without reading differently.
enum class CharacterCodes { own, own_or_longer };

// Calls `visit` with each parse of `literal` (its units, the end code last)
// whose bits lie in [least, most], until it returns false: the totals
// nearest to `near` first (the smaller of two as near), and for each total
// the parses in the order of their edges, the unit itself before entries by
// index, then longer codes of its character in code order. With
// CharacterCodes::own its first parse is encode_in_window's.
WindowFit for_each_parse_in_window(const MessageCoder& coder, std::span<const std::uint16_t> literal, std::size_t least,
                                   std::size_t most, std::size_t near, const std::function<bool(const Units&)>& visit,
                                   CharacterCodes codes = CharacterCodes::own);

// The bits of a parse, written out; `units` ends with the end code.
EncodedMessage write_units(const MessageCoder& coder, const Units& units);

}  // namespace ambergale::encode
