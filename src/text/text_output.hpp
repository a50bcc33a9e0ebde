// Where the lines of a dump go: a file or memory.
//
// A writer appends a line's text to line_text() and ends the line with
// end_line(), which adds the line end (CR LF, or LF when asked): this is the
// one place that knows it. Text is buffered and handed on in large pieces at
// line ends, as Shift-JIS bytes unchanged, or converted to UTF-8.
//
// Every output of one run draws on one OutputBudget: once the run's output
// passes its ceiling, the output fails. After any failure ok() is false,
// nothing more is handed on, and writers are expected to stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cp932_to_utf8.hpp"
#include "platform/failure.hpp"
#include "text/text_buffer.hpp"

namespace ambergale {

// The ceiling on the bytes one run writes, and what it has written so far.
struct OutputBudget {
  std::uint64_t ceiling = std::uint64_t{1} << 30;
  std::uint64_t used = 0;
};

// How the text leaves: its encoding and its line end.
struct TextFormat {
  const Cp932ToUtf8* utf8 = nullptr;  // convert to UTF-8 on the way out; nullptr keeps Shift-JIS
  bool crlf = true;                   // CR LF line ends; LF alone otherwise
};

class TextOutput {
 public:
  virtual ~TextOutput() = default;
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  // The text of the line being written: append to it, then call end_line().
  TextBuffer& line_text() { return buffer_; }

  // Ends the line, handing the buffer on when it is large.
  void end_line() {
    char* at = buffer_.room(2);
    if (format_.crlf) *at++ = '\r';
    *at++ = '\n';
    buffer_.commit(at);
    if (buffer_.size() >= kHandOnSize) hand_on();
  }

  // Hands on everything buffered.
  void hand_on();

  bool ok() const { return !failure_; }
  // What failed, naming the output.
  const Outcome& failure() const { return failure_; }

 protected:
  TextOutput(std::string name, OutputBudget& budget, const TextFormat& format);

  // Receives the bytes of whole lines; calls fail() when they cannot be taken.
  virtual void take(std::string_view bytes) = 0;

  // Records the first failure; later ones are dropped.
  void fail(const std::string& reason);

 private:
  static constexpr std::size_t kHandOnSize = std::size_t{1} << 16;

  std::string name_;
  OutputBudget& budget_;
  TextFormat format_;
  TextBuffer buffer_;
  std::string converted_;
  Outcome failure_;
};

// An output kept in memory, for in-process runs.
class MemoryOutput : public TextOutput {
 public:
  // `keep`: keep the bytes; otherwise only count them.
  MemoryOutput(std::string name, OutputBudget& budget, const TextFormat& format = {}, bool keep = true)
      : TextOutput(std::move(name), budget, format), keep_(keep) {}

  // Everything handed on so far (empty when not kept).
  const std::string& contents() const { return contents_; }
  // Hands the bytes over, leaving the output empty.
  std::string take_contents() { return std::move(contents_); }
  std::uint64_t size() const { return size_; }

 private:
  void take(std::string_view bytes) override;

  bool keep_;
  std::string contents_;
  std::uint64_t size_ = 0;
};

}  // namespace ambergale
