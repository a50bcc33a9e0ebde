#include "platform/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ambergale {

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

int InputFile::open(const std::string& path) {
  // O_NONBLOCK only for the open itself: a FIFO would otherwise wait for a
  // writer forever.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return errno;
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
  regular_ = S_ISREG(info.st_mode);
  fifo_ = S_ISFIFO(info.st_mode);
  size_ = regular_ ? static_cast<std::uint64_t>(info.st_size) : 0;
  return 0;
}

std::ptrdiff_t InputFile::read_some(std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::read(fd_, out.data() + done, out.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::ptrdiff_t>(done);
}

}  // namespace ambergale
