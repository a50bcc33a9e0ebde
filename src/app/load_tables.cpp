#include "app/load_tables.hpp"

#include "cartridge/cartridge_map.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

void read_tree(const Cartridge& cart, RomAddress at, ByteTree& tree) { rom_read(cart, at.bank, at.address, tree); }

// The opcode table is in place: the line templates are compiled from it.
LoadStatus opcodes_loaded(Tables& tables) {
  tables.templates = compile_templates(tables.opcodes);
  return LoadStatus::ok;
}

}  // namespace

LoadStatus load_image_tables(const Cartridge& cart, Tables& tables, std::string& message) {
  read_tree(cart, kTextLeadTree, tables.text_trees.lead);
  read_tree(cart, kTextLowTree, tables.text_trees.low);
  read_tree(cart, kDictLeadTree, tables.dict_trees.lead);
  read_tree(cart, kDictLowTree, tables.dict_trees.low);
  index_trees(tables.text_trees);
  index_trees(tables.dict_trees);

  std::array<std::uint8_t, kScriptHeaderBytes> header;
  rom_read(cart, kScriptTreeHeader.bank, kScriptTreeHeader.address, header);
  ScriptTreeBuilder builder;
  tables.script_tree.leaf_boundary = builder.build_script_tree(tables.script_tree.nodes, header);
  if (tables.script_tree.leaf_boundary < 0) {
    message = "the script tree header at " + address_text(kScriptTreeHeader.bank, kScriptTreeHeader.address) +
              " is malformed: " + builder.failure;
    return LoadStatus::bad_script_tree;
  }
  index_script_tree(tables.script_tree);

  build_dictionary(cart, tables.dict_trees, tables.dictionary);
  return LoadStatus::ok;
}

LoadStatus load_tables(const Cartridge& cart, const std::string& opcode_path, Tables& tables,
                       std::string& message) {
  if (const LoadStatus status = load_image_tables(cart, tables, message); status != LoadStatus::ok) return status;
  switch (load_opcodes(opcode_path, tables.opcodes, message)) {
    case OpcodeLoad::ok: return opcodes_loaded(tables);
    case OpcodeLoad::cannot_open: return LoadStatus::opcodes_missing;
    case OpcodeLoad::invalid: return LoadStatus::opcodes_invalid;
  }
  return LoadStatus::opcodes_invalid;
}

LoadStatus load_opcode_contents(std::string_view contents, Tables& tables, std::string& message) {
  return parse_opcodes(contents, tables.opcodes, message) ? opcodes_loaded(tables) : LoadStatus::opcodes_invalid;
}

}  // namespace ambergale
