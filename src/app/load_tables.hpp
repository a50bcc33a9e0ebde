// Start-up: the tables the dumps read, built from the image and the opcode
// file.
#pragma once

#include <string>
#include <string_view>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"

namespace ambergale {

enum class LoadStatus { ok, bad_script_tree, opcodes_missing, opcodes_invalid };

// Builds the tables in their fixed order: the four byte trees, the script
// tree, the dictionary, and last the opcode file at `opcode_path`. `message`
// says what went wrong when the result is not ok.
LoadStatus load_tables(const Cartridge& cart, const std::string& opcode_path, Tables& tables,
                       std::string& message);

// The part of load_tables that reads the image: everything but the opcode
// table. Returns ok or bad_script_tree.
LoadStatus load_image_tables(const Cartridge& cart, Tables& tables, std::string& message);

// The part of load_tables that reads the opcode file, from its contents in
// memory. Returns ok or opcodes_invalid.
LoadStatus load_opcode_contents(std::string_view contents, Tables& tables, std::string& message);

}  // namespace ambergale
