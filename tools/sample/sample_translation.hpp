// A synthetic English translation of the sample, for measuring what a whole
// translation costs: each text of a word list, the sequential block and the
// scripts becomes full-width English-like prose of a given ratio of its
// characters, with its controls, names and line breaks kept in place.
//
// The words come from a vocabulary generated here (no corpus is read):
// syllable-like words drawn from English letter frequencies, the frequent
// ones short, used with Zipf-like frequencies. A text's words follow from a
// hash of the text and the seed alone, so the same text is always
// translated the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "platform/failure.hpp"

namespace ambergale::sample {

// The ratios a translation may be asked for.
inline constexpr double kLeastRatio = 0.1;
inline constexpr double kMostRatio = 10.0;

// The vocabulary, the most frequent word first: distinct words of lower-case
// ASCII letters, 1 to 12 letters long, every length present.
const std::vector<std::string>& vocabulary();

// The characters of `text` (Shift-JIS, spelled as a catalogue spells it)
// that a ratio counts: characters of the table; not the names, line breaks
// and tags.
std::size_t counted_characters(std::string_view text);

// `text` (Shift-JIS, spelled as a catalogue spells it) translated: each run
// of characters between its names, line breaks and tags replaced by
// full-width prose, ratio x its characters in all, rounded down or up as
// the text's hash says (at least one for a text with any). A text that does not read as a catalogue's is kept as
// it is.
std::string translated_text(std::string_view text, double ratio, std::uint32_t seed);

// The catalogue of `cart` (its scripts read with the opcode file
// `opcodes`) as a PO file whose entries of kinds W, S and M are translated;
// the dictionary's are left untranslated.
Outcome write_sample_translation(const Cartridge& cart, std::string_view opcodes, double ratio, std::uint32_t seed,
                                 std::string& po);

}  // namespace ambergale::sample
