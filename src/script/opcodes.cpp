#include "script/opcodes.hpp"

#include <cerrno>
#include <climits>
#include <cstring>

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
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

bool parse_opcodes(std::string_view contents, OpcodeTable& table, std::string& message) {
  table = OpcodeTable{};
  std::size_t at = 0;
  // Returns the next line without its line end, or nothing at the end of the file.
  auto next_line = [&]() -> std::optional<std::string_view> {
    if (at >= contents.size()) return std::nullopt;
    std::size_t end = contents.find('\n', at);
    const std::size_t next = end == std::string_view::npos ? contents.size() : end + 1;
    if (end == std::string_view::npos) end = contents.size();
    std::string_view line = contents.substr(at, end - at);
    if (end < contents.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = next;
    const std::size_t nul = line.find('\0');
    return nul == std::string_view::npos ? line : line.substr(0, nul);
  };
  if (!next_line()) return true;  // the header, ignored
  for (int i = 0; i < kOpcodeCount; ++i) {
    const std::optional<std::string_view> line = next_line();
    if (!line) break;
    std::array<std::string_view, 6> fields;
    const int count = split_fields(*line, '\t', fields);
    OpcodeDef& def = table[i];
    def.index = i;
    def.operand_bytes = count > 1 ? read_integer(fields[1]) : 0;
    def.flags = count > 2 ? read_integer(fields[2]) : 0;
    def.spare = count > 3 ? read_integer(fields[3]) : 0;
    if (count > 4) def.format = std::string(fields[4]);
    if (def.operand_bytes < 0) def.operand_bytes = 0;
    if (def.operand_bytes > kMaxOperandBytes) {
      message = "line " + std::to_string(i + 2) + ": operand count " + std::to_string(def.operand_bytes) +
                " is longer than any script (at most " + std::to_string(kMaxOperandBytes) + ")";
      return false;
    }
  }
  return true;
}

OpcodeLoad load_opcodes(const std::string& path, OpcodeTable& table, std::string& message) {
  InputFile file;
  if (const int error = file.open(path); error != 0) {
    // A directory opens, but cannot be read.
    message = (error == EISDIR ? "cannot read: " : "") + std::string(std::strerror(error));
    return error == EISDIR ? OpcodeLoad::invalid : OpcodeLoad::cannot_open;
  }
  // Read as a stream up to the end of the last line used, so an endless
  // file (a device, a pipe) costs no more than a long one.
  std::string contents;
  int lines = 0;
  std::uint8_t chunk[1 << 14];
  for (;;) {
    const std::ptrdiff_t got = file.read_some(chunk);
    if (got < 0) {
      message = "cannot read: " + std::string(std::strerror(errno));
      return OpcodeLoad::invalid;
    }
    const std::string_view piece(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(got));
    std::size_t used = piece.size();
    for (std::size_t at = 0; lines < kOpcodeCount + 1 && (at = piece.find('\n', at)) != std::string_view::npos; ++at) {
      if (++lines == kOpcodeCount + 1) used = at + 1;
    }
    if (contents.size() + used > kMaxOpcodeFileBytes) {
      message = "its header and " + std::to_string(kOpcodeCount) + " data lines pass " +
                std::to_string(kMaxOpcodeFileBytes) + " bytes (16 MiB)";
      return OpcodeLoad::invalid;
    }
    contents.append(piece.substr(0, used));
    if (lines == kOpcodeCount + 1 || got < static_cast<std::ptrdiff_t>(sizeof chunk)) break;
  }
  // An empty file is a valid (if useless) opcode file; a FIFO that gives
  // nothing is a FIFO nobody writes to.
  if (contents.empty() && file.is_fifo()) {
    message = "cannot read: the FIFO gave no data (is anything writing to it?)";
    return OpcodeLoad::invalid;
  }
  return parse_opcodes(contents, table, message) ? OpcodeLoad::ok : OpcodeLoad::invalid;
}

}  // namespace ambergale
