// Opening and reading the tools' input files with plain POSIX calls, so that
// a directory or an endless device gives an answer instead of a hang or an
// unbounded read. A FIFO is opened as every ordinary reader opens it: the
// open waits for a writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/failure.hpp"

namespace ambergale {

// The path that names standard input.
inline constexpr const char* kStandardInput = "-";

// `path` as messages name it: "-" is standard input, and an empty path ''.
std::string input_name(const std::string& path);

// An input file opened for reading; closed when the object goes.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `path` for reading ("-": standard input). A directory fails with
  // "cannot read: Is a directory"; every other failure is cannot_open. The
  // failure names no file.
  Outcome open(const std::string& path);

  int fd() const { return fd_; }
  // A regular file opened by its path, which can be mapped from its start
  // (standard input is read from where it stands).
  bool mappable() const { return mappable_; }
  bool is_fifo() const { return fifo_; }
  std::uint64_t size() const { return size_; }  // of a mappable file

  // Reads until `out` is full or the file ends, and sets `got` to the bytes
  // read. Fails with "cannot read: reason".
  Outcome read(std::span<std::uint8_t> out, std::size_t& got);

 private:
  int fd_ = -1;
  bool mappable_ = false;
  bool fifo_ = false;
  std::uint64_t size_ = 0;
};

// Reads the whole file at `path` ("-": standard input), refusing one that
// holds more than `most` bytes after reading no more than that and a byte.
Outcome read_whole_file(const std::string& path, std::size_t most, std::string& contents);
Outcome read_whole_file(const std::string& path, std::size_t most, std::vector<std::uint8_t>& contents);

}  // namespace ambergale
