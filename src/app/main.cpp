// ambergale-dump [IMAGE]
// Dumps the messages, dictionary and event scripts of the cartridge image
// IMAGE (default "Ambergale.smc") as Shift-JIS text files in the working
// directory, which must hold the opcode file "mescmd.dat".
#include "app/run.hpp"

int main(int argc, char** argv) { return ambergale::run_dump_tool(argc, argv); }
