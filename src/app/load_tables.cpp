#include "app/load_tables.hpp"

namespace ambergale {

namespace {

constexpr int kTableBank = 0xF8;
constexpr int kTextLeadTree = 0xAFDA;
constexpr int kTextLowTree = 0xB2C2;
constexpr int kDictLeadTree = 0xB5C2;
constexpr int kDictLowTree = 0xB84A;
constexpr int kScriptTreeHeader = 0x20BA;

// The opcode table is in place: the line templates are compiled from it.
LoadStatus opcodes_loaded(Tables& tables) {
  tables.templates = compile_templates(tables.opcodes);
  return LoadStatus::ok;
}

}  // namespace

LoadStatus load_image_tables(const Cartridge& cart, Tables& tables, std::string& message) {
  rom_read(cart, kTableBank, kTextLeadTree, tables.text_trees.lead);
  rom_read(cart, kTableBank, kTextLowTree, tables.text_trees.low);
  rom_read(cart, kTableBank, kDictLeadTree, tables.dict_trees.lead);
  rom_read(cart, kTableBank, kDictLowTree, tables.dict_trees.low);
  index_trees(tables.text_trees);
  index_trees(tables.dict_trees);

  std::array<std::uint8_t, kScriptHeaderBytes> header;
  rom_read(cart, kTableBank, kScriptTreeHeader, header);
  ScriptTreeBuilder builder;
  tables.script_tree.leaf_boundary = builder.build_script_tree(tables.script_tree.nodes, header);
  if (tables.script_tree.leaf_boundary < 0) {
    message = "the script tree header at F8:20BA is malformed: " + builder.failure;
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
