// The tables a rebuild writes for a new text: a dictionary chosen again for
// it, its two trees, and with `trees` the two text trees as well.
//
// The dictionary is chosen by Re-Pair (choose_dictionary) over the texts.
// Characters the text trees cannot write (the kept trees have no code for
// them, or a rebuilt lead tree has no room) travel in one-character entries,
// taken from the 3049. Entries are numbered by how often the texts' parse
// uses them, so the most used get the cheapest codes: with the kept trees
// the codes those trees write in the fewest bits; with rebuilt trees the
// first pages, the k-th most used of every page on the same low byte, so
// pages and low bytes both come out skewed. Entries the parse neither uses
// nor reaches through others hold only the end code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/byte_tree.hpp"
#include "encode/dictionary_choice.hpp"
#include "encode/message_encoder.hpp"
#include "text/dictionary.hpp"

namespace ambergale::encode {

// `dictionary`: only the dictionary and its two trees change. `trees`: the
// text trees as well.
enum class RebuildScope { dictionary, trees };

// What the rebuild keeps of the image: its text trees (written with
// `dictionary`), the depth of each of its four trees (no new tree may be
// deeper; 0 leaves one unlimited), and the bytes the entries may take; and
// the characters to give one-character entries of their own, which no
// shortest parse takes, so that their messages may be written a few bits
// longer (at most 256 of them, the most used).
struct RebuildBasis {
  const TreePair& text_trees;
  TreeDepths depths;
  std::size_t entry_room = 0;  // bytes from the first entry's pointer to the dictionary's end
  std::span<const std::uint16_t> wanted_aliases = {};
};

struct RebuiltTables {
  TreePair text_trees;  // index_trees() done; with `dictionary` a copy of the image's own
  TreePair dict_trees;  // index_trees() done
  // The bytes each rebuilt table takes (3N + 3 for N internal nodes): text
  // lead, text low, dictionary lead, dictionary low; the text ones empty
  // with `dictionary`.
  std::array<std::vector<std::uint8_t>, 4> tree_bytes;
  std::vector<CodeStream> entries;        // kDictionaryEntries, as stored: units low byte first, the end code last
  std::vector<std::uint8_t> entry_bytes;  // every entry under dict_trees, back to back, each padded to a byte
  std::vector<std::size_t> entry_starts;  // where entry e begins in entry_bytes
  std::size_t carriers = 0;        // one-character entries for characters the text trees do not write
  std::size_t aliases = 0;         // one-character entries for characters wanted_aliases asked for
  std::size_t entries_chosen = 0;  // entries holding something; the others hold only the end code
  int nesting = 0;                 // the deepest nesting of the chosen entries (1: two units)
  TreeDepths built_depths;         // of each tree as built (the kept text trees' own with `dictionary`)
  std::string refusal;             // empty when built; else why, with the counts
};

// `texts`: every message as it will be written, its literal units
// (characters, line breaks, controls with their arguments; no dictionary
// code, no end code). When built, encode_message writes every text with
// result.text_trees and the dictionary of result.entries.
RebuiltTables rebuild_tables(std::span<const Units> texts, const RebuildBasis& basis, RebuildScope scope);

// The bits the texts take as the rebuilt tables write them (end codes
// included), and their characters (characters_of).
struct WrittenBits {
  std::size_t bits = 0;
  std::size_t characters = 0;
  double per_character() const { return characters == 0 ? 0.0 : static_cast<double>(bits) / characters; }
};
WrittenBits written_bits(std::span<const Units> texts, const MessageCoder& coder);

// The coder that writes with the rebuilt tables: `dictionary` is given
// their entries, expanded and rendered as the game's builder does it.
MessageCoder writing_coder(const RebuiltTables& tables, Dictionary& dictionary);

}  // namespace ambergale::encode
