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
#include "insert/free_space.hpp"
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
  std::uint16_t newline = 0;         // the code of a new "\n": 0x0012, 0x0017, or 0 for the original's
  std::vector<DeclaredRange> free;   // bytes moved messages may take, besides those the edits free
};

// What a run did, for its report.
struct InsertReport {
  std::array<std::size_t, 4> lines_changed{};   // by dump, in run order
  std::array<std::size_t, 4> lines_reshown{};   // unchanged lines that show an edited dictionary entry
  std::size_t messages_in_place = 0;            // word-list messages in their own old bytes
  std::size_t messages_moved = 0;               // word-list messages written elsewhere
  std::size_t messages_copied = 0;              // unchanged word-list messages copied out of rewritten bytes
  std::size_t sequential_rewritten = 0;         // messages of the sequential block whose bytes changed, each at its length
  std::size_t script_messages_rewritten = 0;    // messages inside event scripts whose bytes changed
  std::size_t script_blocks_recompressed = 0;   // script blocks compressed again at their lengths
  std::size_t script_most_tries = 0;            // the most byte strings one message's search tried
  std::vector<std::size_t> script_artefacts;    // unedited lines of messcript.txt that show rewritten bytes
  int free_before = 0;                          // bytes of bank FB moved messages could take
  int free_after = 0;
  std::size_t entries_in_place = 0;             // dictionary entries in their own slots
  std::size_t entries_laid_out = 0;             // entries laid out again
  int dictionary_end_before = 0;                // where the last entry's bits end in F8
  int dictionary_end_after = 0;
  std::size_t bytes_written = 0;                // of messages and entries
  bool checksum_rewritten = false;
};

struct InsertResult {
  std::vector<std::uint8_t> image_file;  // the new file, copier header kept
  std::string ips;                       // both patches against the headerless images
  std::string bps;
  InsertReport report;
};

// The report, a few lines of text, each ending in LF.
std::string report_text(const InsertReport& report);

// Refused, naming FILE[:LINE[:COLUMN]]: an image file that is not exactly an
// image (with or without a copier header), edited dumps that are not a dump
// of the image, and every edit that cannot be inserted.
Outcome run_insert(const InsertInputs& inputs, const InsertSettings& settings, InsertResult& result);

}  // namespace ambergale
