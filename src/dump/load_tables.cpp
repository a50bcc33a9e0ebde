#include "dump/load_tables.hpp"

#include "cartridge/cartridge_map.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

void read_tree(const Cartridge& cart, RomAddress at, ByteTree& tree) { rom_read(cart, at.bank, at.address, tree); }

}  // namespace

Outcome load_image_tables(const Cartridge& cart, Tables& tables) {
  read_tree(cart, kTextLeadTree, tables.text_trees.lead);
  read_tree(cart, kTextLowTree, tables.text_trees.low);
  read_tree(cart, kDictLeadTree, tables.dict_trees.lead);
  read_tree(cart, kDictLowTree, tables.dict_trees.low);
  index_trees(tables.text_trees);
  index_trees(tables.dict_trees);

  std::array<std::uint8_t, kScriptHeaderBytes> header;
  rom_read(cart, kScriptTreeHeader.bank, kScriptTreeHeader.address, header);
  ScriptTreeBuilder builder;
  if (Outcome refused = builder.build_script_tree(tables.script_tree.nodes, header, tables.script_tree.leaf_boundary)) {
    refused->reason = "the script tree header at " + address_text(kScriptTreeHeader.bank, kScriptTreeHeader.address) +
                      " is malformed: " + refused->reason + " (the file does not look like an image of this game)";
    return refused;
  }
  index_script_tree(tables.script_tree);

  build_dictionary(cart, tables.dict_trees, tables.dictionary);
  return std::nullopt;
}

Outcome load_opcode_table(std::string_view contents, Tables& tables) {
  if (Outcome failure = parse_opcodes(contents, tables.opcodes)) return failure;
  tables.templates = compile_templates(tables.opcodes);
  return std::nullopt;
}

}  // namespace ambergale
