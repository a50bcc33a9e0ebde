#include "dump/dumps.hpp"

namespace ambergale {

const std::array<DumpFile, 4> kDumpFiles = {{
    {"wordlist.txt", dump_wordlist},
    {"wordlist2.txt", dump_wordlist2},
    {"sublist.txt", [](const Cartridge&, const Tables& tables, TextOutput& out) { dump_sublist(tables, out); }},
    {"messcript.txt", dump_messcript},
}};

}  // namespace ambergale
