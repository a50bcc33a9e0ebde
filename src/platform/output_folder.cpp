#include "platform/output_folder.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/temp_files.hpp"

namespace ambergale {

OutputDir::~OutputDir() {
  if (lock_fd_ >= 0) {
    // Removed while still held: a run that opened it in the meantime finds,
    // once it has the lock, that the name no longer leads to it.
    ::unlinkat(fd_, kLockFileName, 0);
    untrack_temp_file(lock_slot_);
    ::close(lock_fd_);
  }
  if (fd_ >= 0) ::close(fd_);
}

Outcome OutputDir::open(const std::string& path) {
  path_ = path;
  // O_PATH needs only search permission on the folder, as creating files in
  // it does.
  fd_ = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return system_failure("cannot open the output folder", errno).about(path);
  if (Outcome failure = lock()) return failure->about(path);
  return std::nullopt;
}

Outcome OutputDir::lock() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Read-only is enough for flock; O_NONBLOCK keeps a FIFO planted at the
    // name from stopping the open, and O_NOFOLLOW a link from being followed.
    const int fd = ::openat(fd_, kLockFileName, O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return system_failure("cannot lock the output folder", errno);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(fd);
      return Failure{{}, std::string("cannot lock the output folder: ") + kLockFileName + " is not a regular file"};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error == EWOULDBLOCK) return Failure{{}, "another run is writing its dumps in this folder"};
      return system_failure("cannot lock the output folder", error);
    }
    // The file may have been removed by the run that held it before us.
    struct stat named {};
    if (::fstatat(fd_, kLockFileName, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
      lock_fd_ = fd;
      lock_slot_ = track_temp_file(fd_, kLockFileName);
      return std::nullopt;
    }
    ::close(fd);
  }
  return Failure{{}, "cannot lock the output folder: its lock file keeps being replaced"};
}

std::string path_in_folder(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder == ".") return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

PathParts split_path(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

std::string OutputDir::path_of(const std::string& name) const { return path_in_folder(path_, name); }

void OutputDir::sync() const {
  const int readable = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (readable < 0) return;
  ::fsync(readable);
  ::close(readable);
}

StagedFile::~StagedFile() { discard(); }

Outcome StagedFile::create() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08X", static_cast<unsigned>(random()));
    temp_name_ = "." + name_ + "." + tag + ".tmp";
    slot_ = track_temp_file(dir_.fd(), temp_name_.c_str());
    // O_EXCL | O_NOFOLLOW: a planted file or link at the name makes the open
    // fail instead of being followed or overwritten.
    fd_ = ::openat(dir_.fd(), temp_name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      created_ = true;
      return std::nullopt;
    }
    const int error = errno;
    untrack_temp_file(slot_);
    slot_ = -1;
    if (error != EEXIST) return system_failure("cannot create", error);
  }
  return system_failure("cannot create", EEXIST);
}

void StagedFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (created_) ::unlinkat(dir_.fd(), temp_name_.c_str(), 0);
  created_ = false;
  untrack_temp_file(slot_);
  slot_ = -1;
}

Outcome StagedFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return system_failure("cannot write", errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

Outcome StagedFile::finish() {
  Outcome failure;
  if (::fsync(fd_) != 0) failure = system_failure("cannot write", errno);
  if (::close(fd_) != 0 && !failure) failure = system_failure("cannot write", errno);
  fd_ = -1;
  return failure;
}

namespace {

// What a symbolic link leads to, for a message: "a symbolic link to 'TARGET'",
// and what the target is when it is no regular file.
std::string link_kind(int dir_fd, const std::string& name, bool& to_regular_file) {
  std::string target(4096, '\0');
  const ssize_t length = ::readlinkat(dir_fd, name.c_str(), target.data(), target.size());
  target.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  const std::string kind = "a symbolic link to '" + target + "'";
  struct stat followed {};
  to_regular_file = false;
  if (::fstatat(dir_fd, name.c_str(), &followed, 0) != 0) return kind + ", which leads nowhere";
  if (!S_ISREG(followed.st_mode)) return kind + ", which is no regular file";
  to_regular_file = true;
  return kind;
}

// What the file type bits of `mode` name, other than a regular file or a link.
const char* kind_of(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFDIR: return "a directory";
    case S_IFCHR: return "a character device";
    case S_IFBLK: return "a block device";
    case S_IFIFO: return "a FIFO";
    case S_IFSOCK: return "a socket";
    default: return "something other than a regular file";
  }
}

}  // namespace

Outcome check_replaceable(int dir_fd, const std::string& name) {
  struct stat info {};
  if (::fstatat(dir_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISREG(info.st_mode)) return std::nullopt;
  // A link is not followed: the file would be staged beside the link, not
  // beside what it leads to, and renaming it over the link would cut the
  // link. The user can name the file itself.
  bool to_regular_file = false;
  const std::string kind = S_ISLNK(info.st_mode) ? link_kind(dir_fd, name, to_regular_file) : kind_of(info.st_mode);
  return Failure{{}, "cannot replace " + kind + ": only a regular file is replaced" +
                         (to_regular_file ? "; name the file it leads to" : ""),
                 false, S_ISDIR(info.st_mode) ? EISDIR : 0};
}

Outcome StagedFile::check_target() const { return check_replaceable(dir_.fd(), name_); }

Outcome StagedFile::install() {
  if (::renameat(dir_.fd(), temp_name_.c_str(), dir_.fd(), name_.c_str()) != 0) {
    return system_failure("cannot replace", errno);
  }
  created_ = false;
  untrack_temp_file(slot_);
  slot_ = -1;
  return std::nullopt;
}

}  // namespace ambergale
