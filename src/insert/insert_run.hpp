// One insert run: the image dumped in memory with the dump's own pipeline,
// the edited dumps matched with those original lines, the new image made
// and proven by dumping it in memory again, and the patches made and proven
// by applying them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dump/dump_run.hpp"
#include "insert/checksum.hpp"
#include "platform/failure.hpp"

namespace ambergale {

struct InsertInputs {
  std::vector<std::uint8_t> image_file;  // the whole file: an image, or a copier header and an image
  std::string image_name;
  std::string opcode_file;  // the contents of the opcode file the dumps were made with
  // The edited dumps in run order; nothing where the folder has none (it
  // counts as unchanged).
  std::array<std::optional<std::string>, 4> edited;
};

struct InsertSettings {
  Encoding encoding = Encoding::shift_jis;  // of the edited dumps
  ChecksumPolicy checksum = ChecksumPolicy::automatic;
  std::uint16_t newline = 0;  // the code of a new "\n": 0x0012, 0x0017, or 0 for the original's
};

struct InsertResult {
  std::vector<std::uint8_t> image_file;  // the new file, copier header kept
  std::string ips;                       // both patches against the headerless images
  std::string bps;
  std::size_t lines_changed = 0;
  std::size_t messages_written = 0;  // each into its own old bytes
  std::size_t bytes_written = 0;     // of messages, in the image
  bool checksum_rewritten = false;
};

// Refused, naming FILE[:LINE[:COLUMN]]: an image file that is not exactly an
// image (with or without a copier header), edited dumps that are not a dump
// of the image, and every edit that cannot be inserted.
Outcome run_insert(const InsertInputs& inputs, const InsertSettings& settings, InsertResult& result);

}  // namespace ambergale
