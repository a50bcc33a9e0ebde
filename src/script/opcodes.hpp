// The opcode definition file, "mescmd.dat": a TAB-separated text file with a
// header line and one data line per opcode, data line k defining opcode k.
//
//   column 0  a name or comment, skipped
//   column 1  operand bytes after the opcode byte (decimal)
//   column 2  flags: bit 0 carries embedded text, bit 1 pads with "-"
//   column 3  spare, stored and never used
//   column 4  the line template with @-placeholders (optional)
//   column 5  and later: ignored by the listing; the inserter reads offset
//             declarations there (offset_declarations.hpp)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/failure.hpp"

namespace ambergale {

inline constexpr int kOpcodeCount = 256;
inline constexpr int kFlagText = 1;    // the opcode carries embedded messages
inline constexpr int kFlagDashes = 2;  // the byte column is padded with "-"
// No script holds more than 6016 bytes, so no instruction can be longer.
inline constexpr int kMaxOperandBytes = 6015;
// The most bytes the header and the 256 data lines may hold together.
inline constexpr std::size_t kMaxOpcodeFileBytes = std::size_t{16} << 20;

struct OpcodeDef {
  int index = 0;          // the opcode, set when a data line defined the record
  int operand_bytes = 0;  // bytes after the opcode byte
  int flags = 0;
  int spare = 0;
  std::optional<std::string> format;  // none without a column 4
};

using OpcodeTable = std::array<OpcodeDef, kOpcodeCount>;

// Reads the definition file at `path` ("-": standard input), no further than
// the end of its 256th data line. Refused: a file that cannot be opened
// (cannot_open), a directory, a read error, used lines longer than
// kMaxOpcodeFileBytes, and a FIFO that gives nothing. The failure names no
// file.
Outcome read_opcode_file(const std::string& path, std::string& contents);

// One data line of a definition file.
struct OpcodeLine {
  int opcode;             // the opcode it defines: data line k defines opcode k
  std::size_t number;     // its line in the file, the header being line 1
  std::string_view text;  // without its line end, cut at its first NUL
};

// The data lines of a definition file's contents, one at a time, the header
// skipped and no more than kOpcodeCount. Lines end at LF, a CR right before
// it belongs to the line end, and the last line needs no LF.
class OpcodeLines {
 public:
  explicit OpcodeLines(std::string_view contents);
  // The next data line; nothing past the last.
  std::optional<OpcodeLine> next();

 private:
  std::optional<std::string_view> next_line();

  std::string_view contents_;
  std::size_t at_ = 0;
  int opcode_ = 0;  // the opcode the next data line defines
};

// Fills `table` from the contents of a definition file, read as
// OpcodeLines reads them. Missing integer columns read as 0, a negative
// operand count as 0. Refused, naming the line, is an operand count larger
// than any script could hold.
Outcome parse_opcodes(std::string_view contents, OpcodeTable& table);

// Why contents that parse may still be no definition file at all (an image
// given by mistake, an empty file): they hold NUL bytes, or no data line holds
// a TAB. Nothing when they look like one.
std::optional<std::string> opcode_file_doubt(std::string_view contents);

// Splits `line` at each `separator` into at most fields.size() fields and
// returns how many it stored (at least 1). An empty line is one empty field;
// text after the separator that ends the last stored field is dropped.
int split_fields(std::string_view line, char separator, std::span<std::string_view> fields);

// Reads a decimal integer the way the C library's atoi does: leading white
// space, an optional sign, digits up to the first other character; 0 when
// there are none. Values past the int range saturate.
int read_integer(std::string_view text);

}  // namespace ambergale
