// The bounded reader of edited texts: each bound holds exactly at its value
// and is refused one byte or line past it, naming the file and the line,
// and an input far past a bound (an endless device, a huge line or millions
// of lines from a pipe) is refused as soon as it passes, having been read
// no further.
#include "platform/bounded_text.hpp"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "support/temp_dir.hpp"

namespace ambergale {
namespace {

using testing_support::TempDir;
using testing_support::write_file;

// 10 bytes at most, lines of 4 bytes at most, 3 lines at most.
TextBounds small_bounds() { return TextBounds{10, 4, 3, "as the test allows", "the most a test line holds", "the test has 3"}; }

struct Read {
  Outcome failure;
  std::string contents;
};

Read read_text(const std::string& path, const TextBounds& bounds = small_bounds()) {
  Read read;
  read.failure = read_bounded_text(path, bounds, read.contents);
  return read;
}

TEST(BoundedText, EachBoundHoldsAtItsValueAndIsRefusedPastIt) {
  // The text, and what is refused: nothing, or the reason's start.
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"abcd", ""},                    // a last line without LF
      {"abcd\r\nab\r\n", ""},          // CR LF not counted in a line
      {"abcd\nabcd\n", ""},            // exactly 10 bytes
      {"a\nb\nc\n", ""},               // exactly 3 lines, the last ended
      {"a\nb\nc", ""},                 // exactly 3 lines, the last not
      {"\n\n\n", ""},                  // three empty lines
      {"abcde\n", "line 1 is longer than 4 bytes, the most a test line holds"},
      {"ab\nabcd\r", "line 2 is longer than 4 bytes"},  // a CR without LF is text
      {"ab\nabc\rd\n", "line 2 is longer than 4 bytes"},
      {"abcd\nabcd\na", "larger than 10 bytes (passed in line 3), as the test allows"},
      {"a\nb\nc\nd", "more than 3 lines (line 4 is one too many), the test has 3"},
      {"\n\n\n\n", "more than 3 lines (line 4 is one too many)"},
  };
  TempDir dir;
  for (const auto& [text, refused] : cases) {
    write_file(dir.file("t.txt"), text);
    const Read read = read_text(dir.file("t.txt"));
    if (refused.empty()) {
      EXPECT_FALSE(read.failure) << text << ": " << read.failure->text();
      EXPECT_EQ(read.contents, text);
    } else {
      ASSERT_TRUE(read.failure) << text;
      EXPECT_EQ(read.failure->file, dir.file("t.txt"));
      EXPECT_EQ(read.failure->reason.rfind(refused, 0), 0u) << read.failure->reason;
    }
  }
}

TEST(BoundedText, FilesThatCannotBeReadAreNamed) {
  TempDir dir;
  const Read missing = read_text(dir.file("missing.txt"));
  ASSERT_TRUE(missing.failure);
  EXPECT_TRUE(missing.failure->cannot_open);
  EXPECT_EQ(missing.failure->error, ENOENT);
  EXPECT_EQ(missing.failure->file, dir.file("missing.txt"));
  const Read folder = read_text(dir.path().string());
  ASSERT_TRUE(folder.failure);
  EXPECT_EQ(folder.failure->file, dir.path().string());
  const Read unnamed = read_text("");
  ASSERT_TRUE(unnamed.failure);
  EXPECT_EQ(unnamed.failure->file, "''");
}

TEST(BoundedText, AnEndlessDeviceIsRefusedAtTheFirstBoundPassed) {
  const Read line = read_text("/dev/zero");  // one line of NULs
  ASSERT_TRUE(line.failure);
  EXPECT_EQ(line.failure->reason.rfind("line 1 is longer than 4 bytes", 0), 0u) << line.failure->reason;
  const Read bytes = read_text("/dev/zero", TextBounds{1 << 20, std::size_t{1} << 30, 3, "", "", ""});
  ASSERT_TRUE(bytes.failure);
  EXPECT_EQ(bytes.failure->reason, "larger than 1048576 bytes (passed in line 1)");
}

// Writes `repeats` copies of `unit` into the FIFO at `path` until the reader
// goes, counting the bytes it wrote.
class FifoWriter {
 public:
  FifoWriter(std::string path, std::string unit, std::size_t repeats)
      : thread_([this, path = std::move(path), unit = std::move(unit), repeats] {
          sigset_t pipe_signal;
          sigemptyset(&pipe_signal);
          sigaddset(&pipe_signal, SIGPIPE);
          pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
          const int fd = ::open(path.c_str(), O_WRONLY);
          std::string block;
          while (block.size() < (1 << 16)) block += unit;
          block.resize(block.size() - block.size() % unit.size());
          const std::size_t total = unit.size() * repeats;
          while (fd >= 0 && written_ < total) {
            const ssize_t n = ::write(fd, block.data(), std::min(block.size(), total - written_));
            if (n <= 0) break;
            written_ += static_cast<std::size_t>(n);
          }
          if (fd >= 0) ::close(fd);
        }) {}
  ~FifoWriter() {
    if (thread_.joinable()) thread_.join();
  }
  std::size_t join() {
    thread_.join();
    return written_;
  }

 private:
  std::atomic<std::size_t> written_{0};
  std::thread thread_;
};

TEST(BoundedText, WhatComesFromAPipeIsReadNoFurtherThanItsBounds) {
  struct Case {
    const char* what;
    std::string unit;
    std::size_t repeats;
    TextBounds bounds;
    const char* refused;
    std::size_t passed_at;  // the bytes read when the bound is passed
  };
  const Case cases[] = {
      {"a line of 100 MB", "x", 100u << 20, {std::size_t{1} << 30, 65536, 10, "", "", ""}, "line 1 is longer than 65536 bytes", 65537},
      {"10 million lines", "x\n", 10'000'000, {std::size_t{1} << 30, 65536, 3049, "", "", ""},
       "more than 3049 lines (line 3050 is one too many)", 3050 * 2},
      {"100 MB of lines", std::string(99, 'x') + "\n", 1u << 20, {1 << 20, 65536, 1u << 30, "", "", ""},
       "larger than 1048576 bytes (passed in line 10486)", 1048577},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    FifoWriter writer(dir.file("pipe"), c.unit, c.repeats);
    const Read read = read_text(dir.file("pipe"), c.bounds);
    const std::size_t written = writer.join();
    ASSERT_TRUE(read.failure) << c.what;
    EXPECT_EQ(read.failure->reason, c.refused) << c.what;
    // No more than a megabyte past the bytes the bound allowed: what the
    // reader took, the pipe's buffer and the write under way.
    EXPECT_LT(written, c.passed_at + (1u << 20)) << c.what;
  }
}

TEST(BoundedText, AFileFromAPipeWithinItsBoundsIsReadWhole) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  const std::string line = std::string(1000, 'x') + "\r\n";
  FifoWriter writer(dir.file("pipe"), line, 3000);
  const Read read = read_text(dir.file("pipe"), TextBounds{3000 * line.size(), 1000, 3000, "", "", ""});
  writer.join();
  ASSERT_FALSE(read.failure) << read.failure->text();
  ASSERT_EQ(read.contents.size(), 3000 * line.size());
  EXPECT_EQ(read.contents.substr(0, line.size()), line);
  // Held in a string of its size, not one doubled past it.
  EXPECT_LE(read.contents.capacity(), read.contents.size() + 64);
}

}  // namespace
}  // namespace ambergale
