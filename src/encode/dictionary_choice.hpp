// Choosing a dictionary for a set of texts, and what the texts then cost.
//
// The dictionary is chosen by Re-Pair (Larsson and Moffat): the texts are
// one sequence of symbols, units or entries, kept as a doubly linked list;
// every adjacent pair that may become an entry is counted, with the places
// it occurs; a heap of the counts gives the most frequent pair, whose
// occurrences are replaced, left to right, by a new entry, and only the
// counts of the pairs around each replacement change. Each merge costs the
// occurrences it replaces, so the whole choice takes time near linear in the
// text.
//
// An entry holds two symbols, units or earlier entries, so nesting has no
// cycles. Only clean units travel (clean_unit, and never a control's
// argument); the end code between texts never does. An entry expands, as
// the game's builder expands it, to its own end unit and the full expansion
// of both halves, nested copies with their end units: at most
// kEntrySlotUnits.
//
// The texts are then written by their shortest parse over the entries, with
// Huffman codes over the symbol counts of the parse before: the text trees
// and the dictionary chosen together.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "encode/message_encoder.hpp"
#include "text/dictionary.hpp"

namespace ambergale::encode {

struct DictionaryLimits {
  std::size_t entries = kDictionaryEntries;
  std::size_t expansion = kEntrySlotUnits;  // units, end units included
  std::array<bool, 256> barred{};           // one-byte units that may not travel: the dictionary's lead tree has no room
};

// Entry e has the code kFirstEntryCode + e and holds `halves[e]`: two
// units or codes of earlier entries.
struct ChosenDictionary {
  std::vector<std::array<std::uint16_t, 2>> halves;
  std::vector<Units> expanded;  // entry e's characters, end units dropped
  std::vector<int> depth;       // 1 for an entry of two units
  std::vector<std::size_t> slot_units;  // as the game expands it, end units included
};

// Which units of `text` may travel inside an entry.
std::vector<bool> travelling_units(std::span<const std::uint16_t> text);

// Re-Pair over `texts` (their units, no end codes, entries expanded),
// deterministic: of pairs as frequent, the smaller (first, second) first.
ChosenDictionary choose_dictionary(std::span<const Units> texts, const DictionaryLimits& limits = {});

// What the texts cost written with a dictionary and trees built for them.
struct TextCost {
  std::vector<Units> parses;  // each text as written, the end code last
  std::size_t bits = 0;       // of every text, end codes included
  std::size_t characters = 0;  // counts_as_character units, arguments left out
  std::size_t lead_symbols = 0;  // lead symbols the text trees need
  std::size_t dictionary_bytes = 0;  // the entries under their own trees, and their pointers
  double bits_per_character() const { return characters == 0 ? 0.0 : static_cast<double>(bits) / characters; }
  double with_dictionary() const {
    return characters == 0 ? 0.0 : static_cast<double>(bits + 8 * dictionary_bytes) / characters;
  }
};

// The deepest code each tree may have (the image's own trees' depths, say);
// 0 leaves a tree unlimited.
struct TreeDepths {
  int text_lead = 0;
  int text_low = 0;
  int dict_lead = 0;
  int dict_low = 0;
};

// The shortest parse of every text over `dictionary`, with the trees built
// from the counts of the parse before (the first: the fewest codes),
// `rounds` times, each tree within its depth. Throws std::invalid_argument
// when a depth cannot hold a tree's symbols.
TextCost measure_texts(std::span<const Units> texts, const ChosenDictionary& dictionary, const TreeDepths& depths = {},
                       int rounds = 3);

// The characters of `text`: counts_as_character units, arguments left out.
std::size_t characters_of(std::span<const std::uint16_t> text);

}  // namespace ambergale::encode
