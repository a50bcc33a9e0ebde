// Edited lines of "messcript.txt" put back into the image. Only the lines of
// embedded messages may change, since every other line follows from the
// bytes of a script. A message keeps its byte length and its script's block
// is compressed again at its length, every other byte decoding as before.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/dumps.hpp"
#include "dump/tables.hpp"
#include "encode/message_encoder.hpp"
#include "insert/edit_set.hpp"
#include "insert/line_encoding.hpp"
#include "insert/script_lines.hpp"
#include "insert/word_list_edit.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// The most byte strings tried for one message before giving up.
inline constexpr std::size_t kRecodeTries = 100000;

// Refuses, naming messcript.txt:LINE, the first changed line that is not a
// message line (an empty line, a script's header, an instruction). `lines`
// is the map of the image's own script dump, of `dump_lines` lines.
Outcome check_script_lines(const std::vector<ScriptLine>& lines, std::size_t dump_lines,
                           const std::vector<ChangedLine>& changed);

struct ScriptEdits {
  std::vector<std::pair<std::size_t, std::string>> expected;  // line number and the line as the dump will write it
  ScriptUnits replaced;  // what each script of a rewritten block decodes to now
  std::vector<PlannedWrite> writes;
  std::size_t messages = 0;    // messages whose bytes changed
  std::size_t blocks = 0;      // blocks compressed again
  std::size_t most_tries = 0;  // the most byte strings one message took
};

// Writes the changed message lines of `lines` (checked by
// check_script_lines) into `image`. Refused, naming messcript.txt:LINE: a
// message without its end code within its script, scripts of one block
// edited differently, a new text no encoding of which takes the message's
// bytes (with the bits it needs and the bits it has), and a block that no
// recompression within kRecodeTries keeps at its length, besides what every
// changed line may be refused for.
Outcome insert_script_edits(const Cartridge& cart, const Tables& tables, const std::vector<ScriptLine>& lines,
                            LineDictionaries dictionaries, const encode::MessageCoder& coder, std::uint16_t newline,
                            const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image, ScriptEdits& edits);

}  // namespace ambergale
