// Declared offsets moved along when a script's messages change length.
//
// A message that takes other bytes moves every instruction after it. An
// offset the opcode file declares (see script/offset_declarations.hpp) is
// moved with its target when that target was an instruction's start or the
// script's end: an absolute one when the target lies past a change, a
// relative one when the span from the instruction's end to its target holds
// one. An offset that pointed anywhere else (inside an instruction or a
// message, past the script's end) means nothing the inserter can keep, nor
// does one in an instruction that runs past the script's end (filler bytes
// decoded as instructions): those are left as they were, and listed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/dumps.hpp"
#include "dump/tables.hpp"
#include "platform/failure.hpp"
#include "script/offset_declarations.hpp"
#include "script/script_shape.hpp"

namespace ambergale {

// A message's old bytes [at, at + size) given `new_size` bytes instead.
struct ScriptSplice {
  int at = 0;
  int size = 0;
  int new_size = 0;
};

// Where the old script's position `position`, which no splice covers (an
// instruction's start, a message's start or the script's end), lies once
// `splices` (in script order, not overlapping) are made.
int moved_position(std::span<const ScriptSplice> splices, int position);

// A declared offset: its instruction (an index into the shape) and operand.
struct OffsetAt {
  int instruction = 0;
  OffsetOperand operand;
};

// An offset whose bytes change: where they lie in the new script, and the
// splices that moved its target (for a refusal of its new bytes).
struct RewrittenOffset {
  OffsetAt at;
  int position = 0;
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> moved_by;
};

// An offset that cannot follow the changes, and the splices it refuses.
struct OffsetRefusal {
  OffsetAt at;
  std::string reason;
  std::vector<std::size_t> splices;
};

// An offset left as it was, and why.
struct LeftOffset {
  OffsetAt at;
  std::string reason;
};

struct OffsetMoves {
  std::vector<RewrittenOffset> rewritten;
  std::vector<OffsetRefusal> refused;
  std::vector<LeftOffset> left;
};

// The declared offsets of the script `bytes` (walked as `shape`) once
// `splices` are made. Refused: a new value its width cannot hold, and an
// offset into a message that a splice rewrites.
OffsetMoves move_offsets(const ScriptShape& shape, std::span<const std::uint8_t> bytes, const OffsetTable& offsets,
                         std::span<const ScriptSplice> splices);

// Whether every declared offset that pointed at an instruction's start (or
// the script's end) in the old script points at the instruction of the same
// index (or the end) in the new one; why not, naming the instruction.
std::optional<std::string> offsets_kept(const ScriptShape& old_shape, std::span<const std::uint8_t> old_bytes,
                                        const ScriptShape& new_shape, std::span<const std::uint8_t> new_bytes,
                                        const OffsetTable& offsets);

// An image and the tables its messages are read with.
struct ReadImage {
  const Cartridge& cart;
  const Tables& tables;
};

// The proof that `after` keeps the declared offsets of `before`: every
// script of `rewritten` (by index) decoded from both and compared with
// offsets_kept. A failure is an internal error of the run.
Outcome prove_script_offsets(const ReadImage& before, const ReadImage& after, const ScriptUnits& rewritten,
                             const OffsetTable& offsets);

}  // namespace ambergale
