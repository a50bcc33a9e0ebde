// ambergale-insert [OPTION]... (-o NEW | --check) IMAGE
// Puts the edited dumps of IMAGE back into a new image; see --help.
#include "app/insert_tool.hpp"
#include "platform/console.hpp"
#include "platform/signals.hpp"

int main(int argc, char** argv) {
  ambergale::open_standard_descriptors();
  ambergale::install_signal_handlers();
  return ambergale::run_insert_tool(argc, argv);
}
