#include "script/opcodes.hpp"

#include <algorithm>
#include <charconv>
#include <climits>

#include "platform/input_file.hpp"

namespace ambergale {

int split_fields(std::string_view line, char separator, std::span<std::string_view> fields) {
  int stored = 0;
  std::size_t start = 0;
  for (std::size_t i = 0;; ++i) {
    if (i == line.size()) {
      fields[stored++] = line.substr(start);
      return stored;
    }
    if (line[i] == separator) {
      fields[stored++] = line.substr(start, i - start);
      start = i + 1;
      if (stored == static_cast<int>(fields.size())) return stored;
    }
  }
}

int read_integer(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size() || text[i] < '0' || text[i] > '9') return 0;
  constexpr unsigned long long kMostMagnitude = static_cast<unsigned long long>(INT_MAX) + 1;
  unsigned long long magnitude = 0;
  const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), magnitude);
  if (error == std::errc::result_out_of_range || magnitude > kMostMagnitude) magnitude = kMostMagnitude;
  if (negative) return static_cast<int>(-static_cast<long long>(magnitude));
  return static_cast<int>(std::min<unsigned long long>(magnitude, INT_MAX));
}

OpcodeLines::OpcodeLines(std::string_view contents) : contents_(contents) { next_line(); }  // the header

std::optional<OpcodeLine> OpcodeLines::next() {
  if (opcode_ == kOpcodeCount) return std::nullopt;
  const std::optional<std::string_view> line = next_line();
  if (!line) return std::nullopt;
  const int opcode = opcode_++;
  return OpcodeLine{opcode, static_cast<std::size_t>(opcode) + 2, *line};
}

std::optional<std::string_view> OpcodeLines::next_line() {
  if (at_ >= contents_.size()) return std::nullopt;
  std::size_t end = contents_.find('\n', at_);
  const std::size_t next = end == std::string_view::npos ? contents_.size() : end + 1;
  if (end == std::string_view::npos) end = contents_.size();
  std::string_view line = contents_.substr(at_, end - at_);
  if (end < contents_.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  at_ = next;
  const std::size_t nul = line.find('\0');
  return nul == std::string_view::npos ? line : line.substr(0, nul);
}

Outcome parse_opcodes(std::string_view contents, OpcodeTable& table) {
  table = OpcodeTable{};
  OpcodeLines lines(contents);
  while (const std::optional<OpcodeLine> line = lines.next()) {
    std::array<std::string_view, 6> fields;
    const int count = split_fields(line->text, '\t', fields);
    OpcodeDef& def = table[line->opcode];
    def.index = line->opcode;
    def.operand_bytes = count > 1 ? read_integer(fields[1]) : 0;
    def.flags = count > 2 ? read_integer(fields[2]) : 0;
    def.spare = count > 3 ? read_integer(fields[3]) : 0;
    if (count > 4) def.format = std::string(fields[4]);
    if (def.operand_bytes < 0) def.operand_bytes = 0;
    if (def.operand_bytes > kMaxOperandBytes) {
      return Failure{{}, "line " + std::to_string(line->number) + ": operand count " + std::to_string(def.operand_bytes) +
                             " is longer than any script (at most " + std::to_string(kMaxOperandBytes) + ")"};
    }
  }
  return std::nullopt;
}

std::optional<std::string> opcode_file_doubt(std::string_view contents) {
  if (contents.find('\0') != std::string_view::npos) return "holds NUL bytes: it does not look like an opcode file";
  OpcodeLines lines(contents);
  while (const std::optional<OpcodeLine> line = lines.next()) {
    if (line->text.find('\t') != std::string_view::npos) return std::nullopt;
  }
  return "no data line holds a TAB: it does not look like an opcode file";
}

Outcome read_opcode_file(const std::string& path, std::string& contents) {
  InputFile file;
  if (Outcome failure = file.open(path)) return failure;
  // Read as a stream up to the end of the last line used, so an endless
  // file (a device, a pipe) costs no more than a long one.
  contents.clear();
  int lines = 0;
  std::uint8_t chunk[1 << 14];
  for (;;) {
    std::size_t got = 0;
    if (Outcome failure = file.read(chunk, got)) return failure;
    const std::string_view piece(reinterpret_cast<const char*>(chunk), got);
    std::size_t used = piece.size();
    for (std::size_t at = 0; lines < kOpcodeCount + 1 && (at = piece.find('\n', at)) != std::string_view::npos; ++at) {
      if (++lines == kOpcodeCount + 1) used = at + 1;
    }
    if (contents.size() + used > kMaxOpcodeFileBytes) {
      return Failure{{}, "its header and " + std::to_string(kOpcodeCount) + " data lines pass " +
                             std::to_string(kMaxOpcodeFileBytes) + " bytes (16 MiB)"};
    }
    contents.append(piece.substr(0, used));
    if (lines == kOpcodeCount + 1 || got < sizeof chunk) break;
  }
  // An empty file is a valid (if useless) opcode file; a FIFO that gives
  // nothing had a writer that wrote nothing.
  if (contents.empty() && file.is_fifo()) return Failure{{}, "cannot read: the FIFO gave no data"};
  return std::nullopt;
}

}  // namespace ambergale
