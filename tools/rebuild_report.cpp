// rebuild-report IMAGE OPCODES [RATIO]
// Measures the tables a rebuild writes for an image's text, or with RATIO
// for the sample's synthetic translation of it (seed 1): bits a character
// with `dictionary` and with `trees`, beside Re-Pair with unlimited trees.
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "catalogue/catalogue.hpp"
#include "dump/original_image.hpp"
#include "encode/dictionary_choice.hpp"
#include "encode/limited_tree.hpp"
#include "encode/rebuilt_tables.hpp"
#include "platform/input_file.hpp"
#include "sample/sample_translation.hpp"
#include "text/code_units.hpp"
#include "text/text_parse.hpp"

namespace {

using namespace ambergale;
using encode::Units;

constexpr std::size_t kMostOpcodeFile = 1 << 20;

// A catalogue text as units; a line break is 0012.
Units units_of(const std::string& text) {
  std::vector<TextPiece> pieces;
  Units units;
  if (parse_line_text(text, HexRuns::characters, pieces)) return units;
  for (const TextPiece& piece : pieces) {
    if (piece.kind == TextPiece::Kind::character || piece.kind == TextPiece::Kind::newline) units.push_back(piece.units.front());
    else units.insert(units.end(), piece.units.begin(), piece.units.end());
  }
  return units;
}

// Every item's text but the dictionary's, translated when `ratio` is not 0.
std::vector<Units> texts_of(const OriginalImage& original, double ratio) {
  std::vector<Units> texts;
  for (const CatalogueItem& item : catalogue_items(original.cart(), *original.dump.tables, original.map)) {
    if (item.context.front() == 'D') continue;
    texts.push_back(units_of(ratio == 0 ? item.text : sample::translated_text(item.text, ratio, 1)));
  }
  return texts;
}

void report(std::span<const Units> texts, const encode::RebuildBasis& basis, encode::RebuildScope scope) {
  const encode::RebuiltTables tables = encode::rebuild_tables(texts, basis, scope);
  const char* name = scope == encode::RebuildScope::trees ? "trees" : "dictionary";
  if (!tables.refusal.empty()) {
    std::printf("%s: refused: %s\n", name, tables.refusal.c_str());
    return;
  }
  Dictionary dictionary;
  const encode::WrittenBits written = encode::written_bits(texts, encode::writing_coder(tables, dictionary));
  const encode::TreeDepths& d = tables.built_depths;
  std::printf("%s: %.3f bits a character; %zu entries (%zu carriers), nesting %d, %zu of %zu bytes; depths %d, %d, %d, %d\n",
              name, written.per_character(), tables.entries_chosen, tables.carriers, tables.nesting,
              tables.entry_bytes.size(), basis.entry_room, d.text_lead, d.text_low, d.dict_lead, d.dict_low);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fputs("Usage: rebuild-report IMAGE OPCODES [RATIO]\n", stderr);
    return 2;
  }
  OriginalImage original;
  original.name = argv[1];
  if (Outcome failure = read_whole_file(argv[1], kMostRead, original.file);
      failure || (failure = read_whole_file(argv[2], kMostOpcodeFile, original.opcode_file)) ||
      (failure = load_original(original))) {
    std::fprintf(stderr, "rebuild-report: %s\n", failure->text().c_str());
    return 1;
  }
  map_scripts(original);
  const std::vector<Units> texts = texts_of(original, argc == 4 ? std::atof(argv[3]) : 0.0);
  std::size_t characters = 0;
  for (const Units& text : texts) characters += encode::characters_of(text);
  std::printf("texts: %zu, %zu characters\n", texts.size(), characters);
  const encode::ChosenDictionary chosen = encode::choose_dictionary(texts);
  std::printf("Re-Pair, unlimited trees: %.3f bits a character\n", encode::measure_texts(texts, chosen).bits_per_character());
  const Tables& tables = *original.dump.tables;
  const Cartridge cart = original.cart();
  const int first_entry = rom_read_word(cart, cartridge_map::kDictionaryPointers.bank, cartridge_map::kDictionaryPointers.address);
  const encode::RebuildBasis basis{tables.text_trees,
                                   {encode::tree_depth(tables.text_trees.lead), encode::tree_depth(tables.text_trees.low),
                                    encode::tree_depth(tables.dict_trees.lead), encode::tree_depth(tables.dict_trees.low)},
                                   static_cast<std::size_t>(cartridge_map::kDictionaryEnd - first_entry)};
  report(texts, basis, encode::RebuildScope::dictionary);
  report(texts, basis, encode::RebuildScope::trees);
  return 0;
}
