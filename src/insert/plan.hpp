// The inserter's plan: for every change, where its bytes go (in place,
// moved, copied, laid out again) or why it cannot go in. Planning works on a
// draft of the new image, since a compressed block can only be judged by
// decoding it; the plan is then the draft's written extents with their
// bytes, the extents the planners claimed, the refusals, and the dump lines
// the new image must show. Nothing reaches the real image until a plan
// without refusals is handed to the image writer.
//
// Each kind of text has its planner (dictionary_edit, sequential_edit,
// word_list_edit, script_edit), run in that order: the dictionary first,
// since the others write with it; the sequential block before the word
// lists, whose messages may lie in its bytes. A refused change is left out
// and planning goes on, so that every refusal is known.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/changes.hpp"
#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "dump/stored_messages.hpp"
#include "dump/tables.hpp"
#include "encode/rebuilt_tables.hpp"
#include "insert/checksum.hpp"
#include "insert/free_space.hpp"
#include "platform/failure.hpp"
#include "script/offset_declarations.hpp"

namespace ambergale {

// Whether the opcode file's offset declarations are complete: only then may
// a script message change its byte length, every declared offset moved along.
enum class ScriptOffsets { none, declared };

struct InsertSettings {
  bool keep_going = false;           // leave refused items out and insert the rest
  bool relayout = false;             // texts may change length: the sequential block and script groups laid out again
  ScriptOffsets script_offsets = ScriptOffsets::none;
  ChecksumPolicy checksum = ChecksumPolicy::automatic;
  std::uint16_t newline = 0;         // the code of a new "\n": 0x0012, 0x0017, or 0 for the original's
  std::vector<DeclaredRange> free;   // bytes moved messages may take, besides those the edits free
  std::optional<encode::RebuildScope> rebuild;  // the tables chosen again for the new text
};

// What the image holds, as planning reads it.
struct ImageView {
  const Cartridge& cart;  // the original image
  const Tables& tables;   // its tables
  const MessageMap& map;  // its stored texts, the scripts mapped when scripts change
  const InsertSettings& settings;
  const OffsetTable* offsets = nullptr;  // with --script-offsets declared: the opcode file's declarations
};

// A byte range of the image: [offset, offset + size).
struct Extent {
  std::size_t offset = 0;
  std::size_t size = 0;
};

// A message of bank FB another kind of edit rewrote in place, and the new
// text it holds: word-list lines whose message reads the bytes that changed
// must move, or carry the same text as the line that rewrote it; an
// unchanged line's message is copied out as it is.
struct RewrittenMessage {
  ByteRange range;             // the bytes that changed
  int address = 0;             // where the message starts; -1 for bytes the sequential block grew over
  std::string_view text;       // the edited text, after its identifier
  std::string read_back;       // as the dump will write it
  const Change* change = nullptr;  // the change that rewrote it
};

// A word-list message written away from its old bytes.
struct MovedMessage {
  std::size_t line = 0;  // the first line of wordlist.txt that shows it
  int from = 0;          // its old address in bank FB
  int to = 0;
};

// The declared offsets of one script moved along with its messages.
struct ScriptOffsetCount {
  int script = 0;
  std::size_t rewritten = 0;
};

// A declared offset of a script whose messages changed length, left as it
// was: where its instruction is, and why.
struct LeftScriptOffset {
  int script = 0;
  int instruction = 0;   // the instruction's offset in the old script
  std::size_t line = 0;  // its line of messcript.txt
  std::string reason;
};

// A script group laid out again: where its first block started and starts.
struct RelaidGroup {
  int bank = 0;
  int from = 0;
  int to = 0;
};

// The tables chosen again for the new text, beside the image's own.
struct RebuildFigures {
  encode::RebuildScope scope = encode::RebuildScope::dictionary;
  std::array<encode::WrittenBits, 3> before{};  // word lists, the sequential block, script messages
  std::array<encode::WrittenBits, 3> after{};
  std::size_t entry_bytes_before = 0;  // from the first entry to the last one's end
  std::size_t entry_bytes = 0;
  std::size_t entry_room = 0;          // up to the dictionary's end
  std::size_t entries_chosen = 0;
  std::size_t carriers = 0;
  int nesting_before = 0;
  int nesting = 0;
  encode::TreeDepths depths_before;
  encode::TreeDepths depths;
  std::size_t entry_edits_left_out = 0;  // edited dictionary entries, which mean nothing to new tables
  std::size_t without_end = 0;           // messages with no end code where the dump reads them, left as they were
  std::size_t aliases = 0;               // characters given aliases, for script blocks that could not end without
};

// What the planners counted, for the report.
struct PlanCounts {
  std::size_t messages_in_place = 0;           // word-list messages in their own old bytes
  std::size_t messages_moved = 0;              // word-list messages written elsewhere
  std::size_t messages_copied = 0;             // unchanged word-list messages copied out of rewritten bytes
  int free_before = 0;                         // bytes of bank FB moved messages could take
  int free_after = 0;
  std::size_t sequential_rewritten = 0;        // messages of the sequential block whose bytes changed
  std::size_t script_messages_rewritten = 0;   // messages inside event scripts whose bytes changed
  std::size_t script_messages_resized = 0;     // of those, the ones whose byte length changed
  std::size_t script_blocks_recompressed = 0;  // script blocks compressed again at their lengths
  std::size_t script_most_tries = 0;           // the most byte strings one message's search tried
  std::size_t script_blocks_moved = 0;         // blocks of re-laid script groups at new addresses
  std::vector<RelaidGroup> script_groups;      // the script groups laid out again, in group order
  std::vector<ScriptOffsetCount> script_offsets_rewritten;  // by script, of those whose messages changed length
  std::vector<LeftScriptOffset> script_offsets_left;        // by script and instruction
  std::size_t entries_in_place = 0;            // dictionary entries in their own slots
  std::size_t entries_laid_out = 0;            // entries laid out again
  int dictionary_end_before = 0;               // where the last entry's bits end in F8
  int dictionary_end_after = 0;
  std::vector<MovedMessage> moved;             // in line order
  // The sequential block laid out again (--relayout): the messages at new
  // addresses (`line` of wordlist2.txt), and where its last message ends.
  std::vector<MovedMessage> sequential_moved;  // in line order
  int sequential_end_before = 0;               // 0 when the block was not laid out again
  int sequential_end_shortest = 0;             // with every edit at its shortest spelling
  int sequential_end_after = 0;
  std::size_t sequential_other_codes = 0;      // characters lengthened by another of their codes
  std::optional<RebuildFigures> rebuild;
};

class InsertPlan {
 public:
  // A plan on a draft of `original` (the headerless image).
  explicit InsertPlan(std::span<const std::uint8_t> original) : draft_(original.begin(), original.end()) {}

  // The draft: what the new image will hold once the plan is carried out.
  std::span<const std::uint8_t> draft() const { return draft_; }
  Cartridge draft_cartridge() const;

  // Claims bytes for this run's writes: only claimed bytes may be written.
  void claim(std::size_t offset, std::size_t size) { owned_.push_back({offset, size}); }
  // Writes into the draft, and records the extent; a write past the
  // image's end is never made, and fails the plan (see overrun()).
  void write(int bank, int address, std::span<const std::uint8_t> bytes);
  void write_word(int bank, int address, int value);
  // Lets a planner try bytes in the draft (a block compressed again), then
  // record what it kept with `written`.
  std::span<std::uint8_t> scratch() { return draft_; }
  void written(std::size_t offset, std::size_t size) { writes_.push_back({offset, size}); }

  void refuse(Refusal refusal) { refusals_.push_back(std::move(refusal)); }
  // A line as the dump of the new image will write it.
  void expect_line(std::size_t dump, std::size_t number, std::string line) {
    lines_[dump].emplace_back(number, std::move(line));
  }

  const std::vector<Extent>& writes() const { return writes_; }
  const std::vector<Extent>& owned() const { return owned_; }
  // The refusals in the order the user wrote the changes, each once.
  std::vector<Refusal> refusals() const;
  bool refused() const { return !refusals_.empty(); }
  // A write past the image's end, which no plan should make.
  const Outcome& overrun() const { return overrun_; }
  const std::array<std::vector<std::pair<std::size_t, std::string>>, 4>& lines() const { return lines_; }

  PlanCounts counts;
  std::vector<RewrittenMessage> rewritten;  // sequential-block messages rewritten in place
  ScriptUnits scripts_replaced;             // what each script of a rewritten block decodes to now
  std::vector<CodeStream> dictionary;       // every entry as the new image holds it, when the dictionary changes
  // The units of script messages refused because their block found no
  // compression that ends where a word does and decodes as planned: tables
  // chosen again with aliases of them give those messages more lengths.
  std::set<std::uint16_t> unclosed_units;

 private:
  std::vector<std::uint8_t> draft_;
  std::vector<Extent> writes_;
  std::vector<Extent> owned_;
  std::vector<Refusal> refusals_;
  Outcome overrun_;
  std::array<std::vector<std::pair<std::size_t, std::string>>, 4> lines_;
};

}  // namespace ambergale
