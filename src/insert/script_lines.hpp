// What each line of "messcript.txt" shows: the empty line and the header
// that open a script, an instruction at an offset, or an embedded message,
// found by walking the scripts as their listing does.
#pragma once

#include <cstdint>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"

namespace ambergale {

struct ScriptLine {
  enum class Kind { blank, header, instruction, message };
  Kind kind;
  int script;            // its index
  std::int64_t offset;   // in the decoded script, for instructions and messages
  int message = 0;       // for messages: which one after its opcode, from 0
  // For messages: the offset of the instruction it follows, its units as
  // decoded, the script bytes it takes and the bits its decode took.
  std::int64_t instruction = 0;
  std::vector<std::uint16_t> units = {};
  int size = 0;
  int bits = 0;
};

std::vector<ScriptLine> map_script_lines(const Cartridge& cart, const Tables& tables);

}  // namespace ambergale
