// The dumps as files in the output folder.
//
// A dump is written to a temporary file of its own, created under a fresh
// name that nothing else can have planted (no existing file or link is ever
// opened), flushed to disk when finished, and renamed to its name only when
// the run installs it. A file that is not installed is removed, also when the
// run is interrupted, so a failed run never leaves a truncated dump or a
// temporary file and never destroys the dumps an earlier run wrote.
#pragma once

#include <string>
#include <string_view>

#include "text/text_output.hpp"

namespace ambergale {

// The folder the dumps go to, held open and locked for the whole run, so two
// runs never write one folder at the same time. The lock is an advisory lock
// on a file of its own in the folder, ".ambergale.lock", removed when the run
// ends: a folder one may write but not read (mode 0733) can be locked too.
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

class TextFile : public TextOutput {
 public:
  // Creates the temporary file for the dump `name`; a failure shows in ok().
  TextFile(const OutputDir& dir, const std::string& name, OutputBudget& budget, const TextFormat& format = {});
  ~TextFile() override;

  // Hands on the rest of the text, flushes the file to disk and closes it.
  // After a failure (which names the file) the temporary file is gone.
  Outcome finish();

  // Whether install() can be expected to work: it cannot replace a folder.
  // Checked for every dump before any is installed.
  Outcome check_target();

  // Renames the finished file to its name, replacing what was there.
  Outcome install();

 private:
  void take(std::string_view bytes) override;
  void fail_with(const char* what, int error);
  void discard();

  const OutputDir& dir_;
  std::string name_in_dir_;
  std::string temp_name_;
  int fd_ = -1;
  int slot_ = -1;          // where a signal handler finds the temporary file
  bool created_ = false;   // the temporary file exists
  bool installed_ = false;
};

}  // namespace ambergale
