// The image a run inserts into, read once: its file, its four dumps and its
// tables as the dump tool makes them in memory, and the map of its stored
// texts. The edited dumps and a catalogue are read against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/dump_run.hpp"
#include "dump/stored_messages.hpp"
#include "platform/failure.hpp"

namespace ambergale {

struct OriginalImage {
  std::vector<std::uint8_t> file;  // the whole file: an image, or a copier header and an image
  std::string name;                // as the user named it
  std::string opcode_file;         // the contents of the opcode file the dumps are made with
  Encoding encoding = Encoding::shift_jis;  // of its dumps, and of the edited ones
  ImageFrame frame;
  MemoryRun dump;  // its four dumps and its tables
  MessageMap map;  // its scripts' lines only once map_scripts() was called

  Cartridge cart() const;
};

// Loads `original.file` (named `original.name`): dumps and maps it.
// Refused, naming the file: one that is not exactly an image (with or
// without a copier header), or whose tables or opcode file cannot be read.
Outcome load_original(OriginalImage& original);

// Adds the lines of the script dump to the map (decoding every script),
// when they are not there yet.
void map_scripts(OriginalImage& original);

// The settings of the dumps a run compares: all of them, in `encoding`.
DumpSettings compared_dumps(Encoding encoding);

}  // namespace ambergale
