// compression-report IMAGE OPCODES
// Measures what choosing the dictionary again would give an image's text:
// bits a character under the image's own dictionary and trees, and under a
// dictionary chosen by Re-Pair with trees built over the new counts, those
// trees unlimited and held to the image's own trees' depths.
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "dump/original_image.hpp"
#include "encode/dictionary_choice.hpp"
#include "encode/limited_tree.hpp"
#include "encode/message_encoder.hpp"
#include "platform/input_file.hpp"
#include "text/code_units.hpp"

namespace {

using ambergale::encode::Units;

constexpr std::size_t kMostOpcodeFile = 1 << 20;

// Every text of the dump as stored, the end code last: each word-list
// message once, the sequential block, the script messages.
std::vector<Units> stored_texts(const ambergale::MessageMap& map) {
  std::vector<Units> texts;
  for (const auto& [address, message] : map.messages) texts.push_back(message.units);
  for (const auto& message : map.block) texts.push_back(message.units);
  for (const auto& line : map.script_lines) {
    if (line.kind == ambergale::ScriptLine::Kind::message) texts.push_back(line.units);
  }
  return texts;
}

void report_before(const ambergale::OriginalImage& original, const std::vector<Units>& stored, std::size_t characters) {
  const ambergale::Tables& tables = *original.dump.tables;
  const ambergale::encode::MessageCoder coder = ambergale::encode::make_message_coder(tables.text_trees, tables.dictionary);
  std::size_t bits = 0;
  for (const Units& text : stored) {
    for (const std::uint16_t unit : text) bits += static_cast<std::size_t>(ambergale::encode::unit_bits(coder, unit));
  }
  std::size_t dictionary_bytes = 2 * tables.dictionary.slots.size();
  for (const ambergale::EntrySlot& slot : tables.dictionary.slots) dictionary_bytes += static_cast<std::size_t>(std::max(slot.size, 0));
  std::printf("before: %.3f bits a character (the image's dictionary and trees), %.3f with the dictionary's %zu bytes\n",
              static_cast<double>(bits) / static_cast<double>(characters),
              static_cast<double>(bits + 8 * dictionary_bytes) / static_cast<double>(characters), dictionary_bytes);
}

void report_after(const ambergale::encode::ChosenDictionary& chosen, const ambergale::encode::TextCost& cost) {
  std::size_t units = 0;
  int deepest = 0;
  for (std::size_t e = 0; e < chosen.expanded.size(); ++e) {
    units += chosen.expanded[e].size();
    deepest = std::max(deepest, chosen.depth[e]);
  }
  std::printf("after:  %.3f bits a character (Re-Pair dictionary, trees over the new counts), %.3f with the dictionary's %zu bytes\n",
              cost.bits_per_character(), cost.with_dictionary(), cost.dictionary_bytes);
  std::printf("entries: %zu, mean length %.2f units, nesting depth %d; the text's lead tree needs %zu symbols\n",
              chosen.halves.size(), chosen.halves.empty() ? 0.0 : static_cast<double>(units) / chosen.halves.size(), deepest,
              cost.lead_symbols);
}

// The same dictionary with every tree no deeper than the image's own, and
// the characters that would travel in entries to keep the lead tree within
// its room.
void report_limited(const ambergale::Tables& tables, std::span<const Units> texts,
                    const ambergale::encode::ChosenDictionary& chosen) {
  using namespace ambergale::encode;
  const TreeDepths depths{tree_depth(tables.text_trees.lead), tree_depth(tables.text_trees.low),
                          tree_depth(tables.dict_trees.lead), tree_depth(tables.dict_trees.low)};
  try {
    const TextCost cost = measure_texts(texts, chosen, depths);
    std::printf("limited: %.3f bits a character (trees no deeper than the image's: %d, %d, %d, %d), %.3f with the dictionary's %zu bytes\n",
                cost.bits_per_character(), depths.text_lead, depths.text_low, depths.dict_lead, depths.dict_low,
                cost.with_dictionary(), cost.dictionary_bytes);
    const Carriers carriers = choose_carriers(lead_needs(cost.parses), kTextLeadSymbols);
    if (carriers.refusal.empty()) {
      std::printf("carriers: %zu characters travel in one-character entries to keep the lead tree within %d symbols\n",
                  carriers.characters.size(), kTextLeadSymbols);
    } else {
      std::printf("carriers: %s\n", carriers.refusal.c_str());
    }
  } catch (const std::invalid_argument& refused) {
    std::printf("limited: %s\n", refused.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("Usage: compression-report IMAGE OPCODES\n", stderr);
    return 2;
  }
  ambergale::OriginalImage original;
  original.name = argv[1];
  if (ambergale::Outcome failure = ambergale::read_whole_file(argv[1], ambergale::kMostRead, original.file);
      failure || (failure = ambergale::read_whole_file(argv[2], kMostOpcodeFile, original.opcode_file)) ||
      (failure = ambergale::load_original(original))) {
    std::fprintf(stderr, "compression-report: %s\n", failure->text().c_str());
    return 1;
  }
  ambergale::map_scripts(original);
  const std::vector<Units> stored = stored_texts(original.map);
  std::vector<Units> texts;
  std::size_t characters = 0;
  for (const Units& text : stored) {
    texts.push_back(ambergale::expanded_units(original.dump.tables->dictionary, text));
    characters += ambergale::encode::characters_of(texts.back());
  }
  std::size_t units = 0;
  for (const Units& text : texts) units += text.size();
  std::printf("texts: %zu, %zu units, %zu characters\n", texts.size(), units, characters);
  report_before(original, stored, characters);
  const ambergale::encode::ChosenDictionary chosen = ambergale::encode::choose_dictionary(texts);
  report_after(chosen, ambergale::encode::measure_texts(texts, chosen));
  report_limited(*original.dump.tables, texts, chosen);
  return 0;
}
