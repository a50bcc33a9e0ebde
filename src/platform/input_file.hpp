// Opening and reading the tool's input files with plain POSIX calls, so that
// a FIFO without a writer, a directory or an endless device gives an answer
// instead of a hang or an unbounded read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ambergale {

// An input file opened for reading; closed when the object goes.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `path` for reading. A FIFO is opened without waiting for a writer
  // (with none it reads as empty). Returns 0, or the errno of the failure;
  // a directory fails with EISDIR.
  int open(const std::string& path);

  int fd() const { return fd_; }
  bool is_regular() const { return regular_; }
  bool is_fifo() const { return fifo_; }
  std::uint64_t size() const { return size_; }  // of a regular file

  // Reads until `out` is full or the file ends; returns the bytes read, or
  // -1 with errno set on a read error.
  std::ptrdiff_t read_some(std::span<std::uint8_t> out);

 private:
  int fd_ = -1;
  bool regular_ = false;
  bool fifo_ = false;
  std::uint64_t size_ = 0;
};

}  // namespace ambergale
