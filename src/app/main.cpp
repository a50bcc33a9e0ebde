// ambergale-dump [OPTION]... [IMAGE]
// Dumps the messages, dictionary and event scripts of the cartridge image
// IMAGE (default "Ambergale.smc") as four text files; see --help.
#include "app/run.hpp"
#include "platform/console.hpp"
#include "platform/signals.hpp"

int main(int argc, char** argv) {
  ambergale::open_standard_descriptors();
  ambergale::install_signal_handlers();
  return ambergale::run_dump_tool(argc, argv);
}
