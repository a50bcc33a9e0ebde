#include "platform/bounded_text.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/input_file.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kReadBuffer = std::size_t{1} << 16;

std::string with_why(const std::string& text, const std::string& why) { return why.empty() ? text : text + ", " + why; }

// The bounds, checked as the file's bytes arrive, and the bytes kept: in
// blocks, as a string grown by doubling could take twice the room it holds.
class BoundedLines {
 public:
  explicit BoundedLines(const TextBounds& bounds) : bounds_(bounds) {}

  // Takes the next bytes of the file; fails where they pass a bound.
  Outcome take(std::string_view piece) {
    while (!piece.empty()) {
      if (!in_line_) {
        if (line_ == bounds_.most_lines) return too_many_lines();
        ++line_;
        in_line_ = true;
        line_length_ = 0;
        ends_in_cr_ = false;
      }
      const std::size_t lf = piece.find('\n');
      const std::size_t text = lf == std::string_view::npos ? piece.size() : lf;
      line_length_ += text;
      if (text > 0) ends_in_cr_ = piece[text - 1] == '\r';
      // A CR last may belong to the line end, with an LF still to come.
      if (line_length_ - (ends_in_cr_ ? 1 : 0) > bounds_.most_line) return too_long();
      const std::size_t taken = lf == std::string_view::npos ? text : text + 1;
      if (taken > bounds_.most_bytes - size_) return too_large();
      keep(piece.substr(0, taken));
      piece.remove_prefix(taken);
      if (lf != std::string_view::npos) in_line_ = false;
    }
    return std::nullopt;
  }

  // The file ended: a CR at the end of a last line without LF is its text.
  // The blocks become `contents`, each freed once copied.
  Outcome end(std::string& contents) {
    if (in_line_ && line_length_ > bounds_.most_line) return too_long();
    contents.clear();
    contents.shrink_to_fit();
    contents.reserve(size_);
    for (std::string& block : blocks_) {
      contents.append(block);
      std::string().swap(block);
    }
    return std::nullopt;
  }

 private:
  void keep(std::string_view bytes) {
    while (!bytes.empty()) {
      if (blocks_.empty() || blocks_.back().size() == kBlock) {
        blocks_.emplace_back();
        blocks_.back().reserve(kBlock);
      }
      const std::size_t room = std::min(bytes.size(), kBlock - blocks_.back().size());
      blocks_.back().append(bytes.substr(0, room));
      bytes.remove_prefix(room);
      size_ += room;
    }
  }

  Failure too_long() const {
    return Failure{{}, with_why("line " + std::to_string(line_) + " is longer than " + std::to_string(bounds_.most_line) + " bytes",
                                bounds_.line_why)};
  }
  Failure too_many_lines() const {
    return Failure{{}, with_why("more than " + std::to_string(bounds_.most_lines) + " lines (line " + std::to_string(line_ + 1) +
                                    " is one too many)",
                                bounds_.lines_why)};
  }
  Failure too_large() const {
    return Failure{{}, with_why("larger than " + std::to_string(bounds_.most_bytes) + " bytes (passed in line " +
                                    std::to_string(line_) + ")",
                                bounds_.bytes_why)};
  }

  static constexpr std::size_t kBlock = kReadBuffer;

  const TextBounds& bounds_;
  std::vector<std::string> blocks_;
  std::size_t size_ = 0;         // the bytes kept
  std::size_t line_ = 0;         // the line being read, from 1; 0 before the first byte
  std::size_t line_length_ = 0;  // its bytes so far, without an LF
  bool in_line_ = false;         // a line has begun and its LF has not come
  bool ends_in_cr_ = false;      // its last byte so far is a CR
};

}  // namespace

Outcome read_bounded_text(const std::string& path, const TextBounds& bounds, std::string& contents) {
  contents.clear();
  const std::string name = input_name(path);
  InputFile file;
  if (Outcome failure = file.open(path)) return failure->about(name);
  BoundedLines lines(bounds);
  std::vector<std::uint8_t> buffer(kReadBuffer);
  for (;;) {
    std::size_t got = 0;
    if (Outcome failure = file.read(buffer, got)) return failure->about(name);
    if (Outcome failure = lines.take(std::string_view(reinterpret_cast<const char*>(buffer.data()), got))) {
      return failure->about(name);
    }
    if (got < buffer.size()) break;  // the file ended
  }
  if (Outcome failure = lines.end(contents)) return failure->about(name);
  return std::nullopt;
}

}  // namespace ambergale
