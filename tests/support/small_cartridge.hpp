// A small complete cartridge for end-to-end tests: a few known messages,
// dictionary entries and scripts, the rest filled in by the layout.
#pragma once

#include <string>

#include "sample/cartridge_layout.hpp"

namespace ambergale::testing_support {

// Content with known lines in every dump (see the .cpp for what they are).
sample::CartridgeContent small_content();

// A definition file for the opcodes small_content's scripts use.
std::string small_opcode_file();

}  // namespace ambergale::testing_support
