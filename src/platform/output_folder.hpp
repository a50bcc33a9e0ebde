// Output files written safely: a folder held open and locked for a run, and
// files in it that are written under a temporary name and take their own
// name only when complete.
//
// A staged file is created under a fresh name that nothing else can have
// planted (no existing file or link is ever opened), flushed to disk when
// finished, and renamed to its name only when installed. One that is not
// installed is removed, also when the run is interrupted, so a failed run
// never leaves a truncated file or a temporary one, and never destroys what
// an earlier run wrote.
#pragma once

#include <string>
#include <string_view>

#include "platform/failure.hpp"

namespace ambergale {

// `name` inside `folder`, as the user would write it ("." left out).
std::string path_in_folder(const std::string& folder, const std::string& name);

// A path's folder and the name it has there: "a/b" is "a" and "b", "b" is
// "." and "b", "/b" is "/" and "b", "a/" is "a" and "" (no file's name).
struct PathParts {
  std::string folder;
  std::string name;
};
PathParts split_path(const std::string& path);

// Whether two paths name one file (or folder), links followed.
bool same_file(const std::string& a, const std::string& b);

// The name of a locked folder's lock file: never a name for an output.
inline constexpr const char* kLockFileName = ".ambergale.lock";

// The folder, held open and locked for the whole run, so two runs never
// write one folder at the same time. The lock is an advisory lock on a file
// of its own in the folder (kLockFileName), removed when the run ends: a
// folder one may write but not read (mode 0733) can be locked too. A process
// locks a folder once: a second lock of it fails as another run's would.
class OutputDir {
 public:
  OutputDir() = default;
  ~OutputDir();
  OutputDir(const OutputDir&) = delete;
  OutputDir& operator=(const OutputDir&) = delete;

  // Opens and locks the folder at `path`. The failure names the folder
  // (another run holding the lock among the reasons).
  Outcome open(const std::string& path);

  int fd() const { return fd_; }
  // `name` as the user names it: inside the folder as it was given.
  std::string path_of(const std::string& name) const;
  // Flushes the folder's entries to disk, so the renames last (where the
  // folder can be read: a folder without read permission cannot be synced).
  void sync() const;

 private:
  Outcome lock();

  int fd_ = -1;       // only for the *at() calls: opened with O_PATH
  int lock_fd_ = -1;
  int lock_slot_ = -1;  // where a signal handler finds the lock file
  std::string path_;
};

// Whether a staged file may take the name `name` in the folder open as
// `dir_fd` (or the path `name`, with AT_FDCWD): it may when nothing is there
// or a regular file is. Anything else is refused, saying what it is ("cannot
// replace a FIFO: ..."): a rename would put the file in its place, so that a
// device, a FIFO or a socket would be gone and a link would no longer lead
// where it did. The failure names no file.
Outcome check_replaceable(int dir_fd, const std::string& name);

// A file of `dir` named `name`, staged. Failures name no file.
class StagedFile {
 public:
  StagedFile(const OutputDir& dir, std::string name) : dir_(dir), name_(std::move(name)) {}
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the temporary file.
  Outcome create();
  Outcome write(std::string_view bytes);
  // Flushes the file to disk and closes it.
  Outcome finish();
  // Whether install() may replace what has the name (see check_replaceable).
  Outcome check_target() const;
  // Renames the finished file to its name, replacing what was there.
  Outcome install();
  // Removes the temporary file (nothing once installed).
  void discard();

 private:
  const OutputDir& dir_;
  std::string name_;
  std::string temp_name_;
  int fd_ = -1;
  int slot_ = -1;          // where a signal handler finds the temporary file
  bool created_ = false;   // the temporary file exists
};

}  // namespace ambergale
