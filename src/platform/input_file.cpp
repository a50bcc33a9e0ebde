#include "platform/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ambergale {

std::string input_name(const std::string& path) { return path == kStandardInput ? "standard input" : shown_name(path); }

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

Outcome InputFile::open(const std::string& path) {
  // Standard input is read through a descriptor of its own, closed as any other.
  fd_ = path == kStandardInput ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                               : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    Failure failure = system_failure("cannot open", errno);
    failure.cannot_open = true;
    return failure;
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return system_failure("cannot read", errno);
  if (S_ISDIR(info.st_mode)) return system_failure("cannot read", EISDIR);
  mappable_ = S_ISREG(info.st_mode) && path != kStandardInput;
  fifo_ = S_ISFIFO(info.st_mode);
  size_ = mappable_ ? static_cast<std::uint64_t>(info.st_size) : 0;
  return std::nullopt;
}

Outcome InputFile::read(std::span<std::uint8_t> out, std::size_t& got) {
  got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(fd_, out.data() + got, out.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return system_failure("cannot read", errno);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return std::nullopt;
}

namespace {

template <class Bytes>
Outcome read_whole(const std::string& path, std::size_t most, Bytes& contents) {
  InputFile file;
  if (Outcome failure = file.open(path)) return failure;
  // Read straight into the buffer: sized for a regular file (and a byte, to
  // see that it ends there), doubled for anything else.
  const std::size_t first = std::max<std::size_t>(std::min<std::uint64_t>(file.size(), most) + 1, 1 << 16);
  contents.clear();
  std::size_t filled = 0;
  for (;;) {
    if (filled == contents.size()) contents.resize(std::min(std::max(first, 2 * contents.size()), most + 1));
    const std::span room(reinterpret_cast<std::uint8_t*>(contents.data()) + filled, contents.size() - filled);
    std::size_t got = 0;
    if (Outcome failure = file.read(room, got)) return failure;
    filled += got;
    if (filled > most) return Failure{{}, "larger than " + std::to_string(most) + " bytes"};
    if (got < room.size()) break;  // the file ended
  }
  contents.resize(filled);
  return std::nullopt;
}

}  // namespace

Outcome read_whole_file(const std::string& path, std::size_t most, std::string& contents) {
  return read_whole(path, most, contents);
}

Outcome read_whole_file(const std::string& path, std::size_t most, std::vector<std::uint8_t>& contents) {
  return read_whole(path, most, contents);
}

}  // namespace ambergale
