// Edited lines of "messcript.txt". Only the lines of embedded messages may
// change, since every other line follows from the bytes of a script; and a
// message cannot be rewritten yet, as a script would have to be compressed
// again to keep its block's length.
#pragma once

#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "insert/edit_set.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// Refuses the changed lines of the script dump, naming messcript.txt:LINE:
// the first that is not a message line (an empty line, a script's header,
// an instruction) as one that may never change, else the first message
// line as one that cannot change yet. `dump` is the image's own script
// dump, whose lines the map of its lines must match.
Outcome insert_script_edits(const Cartridge& cart, const Tables& tables, const std::vector<ChangedLine>& changed,
                            std::string_view dump);

}  // namespace ambergale
