// The whole run of the dump tool: open the image, build the tables, write
// the four dumps into the working directory.
#pragma once

namespace ambergale {

inline constexpr const char* kDefaultImage = "Ambergale.smc";
inline constexpr const char* kOpcodeFile = "mescmd.dat";

// Runs the tool as the command line `argv` asks; returns the exit status:
// 0 when all four dumps were written, 1 otherwise.
int run_dump_tool(int argc, const char* const* argv);

}  // namespace ambergale
