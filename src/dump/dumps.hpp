// The four dumps. Each writes its whole file to `out` and stops early when
// `out` fails.
//
//   wordlist.txt   "%02X%02X:%s"     group, entry, message of 15 pointer-indexed groups
//   wordlist2.txt  "[%02X:%04X]%s"   bank FB, address, message of the sequential block
//   sublist.txt    "%04X:%s"         code, text of each dictionary entry
//   messcript.txt  per script: an empty line, a header line, its listing
#pragma once

#include <array>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "text/text_output.hpp"

namespace ambergale {

void dump_wordlist(const Cartridge& cart, const Tables& tables, TextOutput& out);
void dump_wordlist2(const Cartridge& cart, const Tables& tables, TextOutput& out);
void dump_sublist(const Tables& tables, TextOutput& out);
void dump_messcript(const Cartridge& cart, const Tables& tables, TextOutput& out);

// The four output files in the order a run writes them, each with its dump.
struct DumpFile {
  const char* name;
  void (*write)(const Cartridge& cart, const Tables& tables, TextOutput& out);
};
extern const std::array<DumpFile, 4> kDumpFiles;

// Writes the lines that open a script in "messcript.txt": an empty line and
// "[index:BBAAAA](len=length,展開BYTE=expanded)".
void write_script_header(TextOutput& out, int index, int bank, int address, int length, int expanded);

// One event script as the script dump meets it: where it is, how long, and
// its decoded bytes, the first size() of `bytes` (a buffer the scripts share,
// so the rest holds what earlier scripts left).
struct ScriptView {
  int index;
  int bank;
  int address;
  int length;    // of its compressed block
  int expanded;  // bytes of units decoded: each unit gives the script one byte
  std::span<const std::uint8_t> bytes;
  int size() const { return expanded / 2; }
};

// Where each of the 4096 scripts' blocks lies and how long it is, by index.
struct ScriptPlace {
  int bank;
  int address;
  int length;  // from the next pointer of its group, or its group's end
};
std::vector<ScriptPlace> script_places(const Cartridge& cart);

// Decoded units (two bytes a symbol, as decode_script writes them) to show
// for some scripts in place of what their blocks decode to, by index.
using ScriptUnits = std::map<int, std::vector<std::uint8_t>>;

// Calls `visit` for each script in dump order while it returns true; the
// scripts in `replaced` show its units.
void for_each_script(const Cartridge& cart, const Tables& tables, const std::function<bool(const ScriptView&)>& visit,
                     const ScriptUnits& replaced = {});

// The script dump as it would read if the scripts in `replaced` decoded to
// its units.
void dump_messcript_replacing(const Cartridge& cart, const Tables& tables, const ScriptUnits& replaced, TextOutput& out);

}  // namespace ambergale
