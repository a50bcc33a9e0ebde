// One insert run, read as its steps: the image loaded and dumped in memory
// with the dump's own pipeline; the changes matched with its stored texts;
// a plan made of where each goes (or why it cannot); the dumps the new image
// must give expected from the plan; the plan written by the image writer;
// and the result proven by dumping the new image again and applying both
// patches.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dump/changes.hpp"
#include "dump/dump_run.hpp"
#include "dump/original_image.hpp"
#include "insert/plan.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// What a run did, for its report.
struct InsertReport {
  std::array<std::size_t, 4> lines_changed{};   // by dump, in run order
  std::array<std::size_t, 4> lines_reshown{};   // unchanged lines that show an edited dictionary entry
  PlanCounts counts;
  std::vector<std::size_t> script_artefacts;    // unedited lines of messcript.txt that show rewritten bytes
  std::size_t bytes_written = 0;                // of messages and entries
  bool checksum_rewritten = false;
};

struct InsertResult {
  std::vector<Refusal> refusals;         // in the order the user wrote the changes; nothing made when any, but with keep_going
  std::vector<std::uint8_t> image_file;  // the new file, copier header kept
  std::string ips;                       // both patches against the headerless images
  std::string bps;
  InsertReport report;
};

// The report, a few lines of text, each ending in LF.
std::string report_text(const InsertReport& report);

// Inserts `changes` into `original` (its scripts mapped when they change).
// Every change that cannot go in is a refusal in `result.refusals`, in file
// order; then nothing is made, unless `settings.keep_going`: the refused
// items are then left out and the rest made. A failure of the run itself (a
// declared free range that is refused, an internal error of the proof) is
// returned.
Outcome run_insert(const OriginalImage& original, const ChangeSet& changes, const InsertSettings& settings,
                   InsertResult& result);

// Edited dumps held in memory, inserted: the image loaded, the dumps
// matched with its own, then run_insert. Without keep_going, the first
// refusal in file order is returned as the failure.
struct InsertInputs {
  std::vector<std::uint8_t> image_file;
  std::string image_name;
  std::string opcode_file;
  std::array<std::optional<std::string>, 4> edited;  // in run order; nothing: unchanged
  Encoding encoding = Encoding::shift_jis;            // of the edited dumps
};
Outcome insert_edited_dumps(const InsertInputs& inputs, const InsertSettings& settings, InsertResult& result);

}  // namespace ambergale
