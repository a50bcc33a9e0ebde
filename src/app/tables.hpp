// Everything start-up builds, in one value: filled once by load_tables and
// only read afterwards, passed by const reference to the dumps.
#pragma once

#include <string>

#include "cartridge/cartridge.hpp"
#include "decode/byte_tree.hpp"
#include "decode/script_tree.hpp"
#include "script/opcodes.hpp"
#include "text/dictionary.hpp"

namespace ambergale {

struct Tables {
  TreePair text_trees;  // lead tree F8:AFDA, low tree F8:B2C2
  TreePair dict_trees;  // lead tree F8:B5C2, low tree F8:B84A
  ScriptTree script_tree;
  Dictionary dictionary;
  OpcodeTable opcodes;
};

enum class LoadStatus { ok, bad_script_tree, opcodes_missing, opcodes_invalid };

// Builds the tables in their fixed order: the four byte trees, the script
// tree, the dictionary, and last the opcode file at `opcode_path`. `message`
// says what went wrong when the result is not ok.
LoadStatus load_tables(const Cartridge& cart, const std::string& opcode_path, Tables& tables,
                       std::string& message);

}  // namespace ambergale
