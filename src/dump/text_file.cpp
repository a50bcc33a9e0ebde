#include "dump/text_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/temp_files.hpp"

namespace ambergale {

OutputDir::~OutputDir() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

std::optional<std::string> OutputDir::open(const std::string& path) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return path + ": cannot open the output folder: " + std::strerror(errno);
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return path + ": another run is writing its dumps in this folder";
    return path + ": cannot lock the output folder: " + std::strerror(errno);
  }
  return std::nullopt;
}

std::string OutputDir::path_of(const std::string& name) const {
  if (path_.empty() || path_ == ".") return name;
  return path_.back() == '/' ? path_ + name : path_ + "/" + name;
}

void OutputDir::sync() const { ::fsync(fd_); }

TextFile::TextFile(const OutputDir& dir, const std::string& name, OutputBudget& budget, const Cp932ToUtf8* utf8)
    : TextOutput(dir.path_of(name), budget, utf8), dir_(dir), name_in_dir_(name) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08X", static_cast<unsigned>(random()));
    temp_name_ = "." + name + "." + tag + ".tmp";
    slot_ = track_temp_file(dir.fd(), temp_name_.c_str());
    // O_EXCL | O_NOFOLLOW: a planted file or link at the name makes the open
    // fail instead of being followed or overwritten.
    fd_ = ::openat(dir.fd(), temp_name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      created_ = true;
      return;
    }
    const int error = errno;
    untrack_temp_file(slot_);
    slot_ = -1;
    if (error != EEXIST) {
      fail_with("cannot create", error);
      return;
    }
  }
  fail_with("cannot create", EEXIST);
}

TextFile::~TextFile() {
  if (!installed_) discard();
}

void TextFile::fail_with(const char* what, int error) { fail(std::string(what) + ": " + std::strerror(error)); }

void TextFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (created_) ::unlinkat(dir_.fd(), temp_name_.c_str(), 0);
  created_ = false;
  untrack_temp_file(slot_);
  slot_ = -1;
}

void TextFile::take(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      fail_with("cannot write", errno);
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::optional<std::string> TextFile::finish() {
  hand_on();
  if (ok() && ::fsync(fd_) != 0) fail_with("cannot write", errno);
  if (fd_ >= 0) {
    if (::close(fd_) != 0) fail_with("cannot write", errno);
    fd_ = -1;
  }
  if (!ok()) discard();
  return failure();
}

std::optional<std::string> TextFile::check_target() {
  struct stat info {};
  if (ok() && ::fstatat(dir_.fd(), name_in_dir_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
    fail_with("cannot replace", EISDIR);
    discard();
  }
  return failure();
}

std::optional<std::string> TextFile::install() {
  if (!ok()) return failure();
  if (::renameat(dir_.fd(), temp_name_.c_str(), dir_.fd(), name_in_dir_.c_str()) != 0) {
    fail_with("cannot replace", errno);
    discard();
    return failure();
  }
  installed_ = true;
  created_ = false;
  untrack_temp_file(slot_);
  slot_ = -1;
  return std::nullopt;
}

}  // namespace ambergale
