// The whole run of the dump tool: read the command line, open the output
// folder and the image, and run the dump into the folder.
#pragma once

namespace ambergale {

// Runs the tool as the command line `argv` asks; returns the exit status:
// 0 when all four dumps were written (or help or the version was shown),
// 1 when the run failed, 2 for a wrong command line.
int run_dump_tool(int argc, const char* const* argv);

}  // namespace ambergale
