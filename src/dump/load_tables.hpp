// Start-up: the tables the dumps read, built from the image and the opcode
// file.
#pragma once

#include <string_view>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// Builds the tables the image holds, in their fixed order: the four byte
// trees, the script tree and the dictionary. Refused is a script tree header
// that does not describe a tree that fits; the failure names no file.
Outcome load_image_tables(const Cartridge& cart, Tables& tables);

// Fills the opcode table from the contents of the opcode file, and compiles
// its line templates.
Outcome load_opcode_table(std::string_view contents, Tables& tables);

}  // namespace ambergale
