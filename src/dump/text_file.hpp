// The dumps as files in the output folder.
//
// A dump is written to a temporary file of its own, created under a fresh
// name that nothing else can have planted (no existing file or link is ever
// opened), flushed to disk when finished, and renamed to its name only when
// the run installs it. A file that is not installed is removed, also when the
// run is interrupted, so a failed run never leaves a truncated dump or a
// temporary file and never destroys the dumps an earlier run wrote.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/text_output.hpp"

namespace ambergale {

// The folder the dumps go to, held open and locked (an advisory lock) for the
// whole run, so two runs never write one folder at the same time.
class OutputDir {
 public:
  OutputDir() = default;
  ~OutputDir();
  OutputDir(const OutputDir&) = delete;
  OutputDir& operator=(const OutputDir&) = delete;

  // Opens and locks the folder at `path`. Returns nothing, or a message naming
  // the folder and the reason (another run holding the lock among them).
  std::optional<std::string> open(const std::string& path);

  int fd() const { return fd_; }
  // `name` as the user names it: inside the folder as it was given.
  std::string path_of(const std::string& name) const;
  // Flushes the folder's entries to disk, so the renames last.
  void sync() const;

 private:
  int fd_ = -1;
  std::string path_;
};

class TextFile : public TextOutput {
 public:
  // Creates the temporary file for the dump `name`; a failure shows in ok().
  TextFile(const OutputDir& dir, const std::string& name, OutputBudget& budget,
           const Cp932ToUtf8* utf8 = nullptr);
  ~TextFile() override;

  // Hands on the rest of the text, flushes the file to disk and closes it.
  // Returns nothing, or a message naming the file and the reason; after a
  // failure the temporary file is gone.
  std::optional<std::string> finish();

  // Whether install() can be expected to work: it cannot replace a folder.
  // Checked for every dump before any is installed.
  std::optional<std::string> check_target();

  // Renames the finished file to its name, replacing what was there.
  std::optional<std::string> install();

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
