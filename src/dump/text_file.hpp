// An output text file as the dumps write it: every "\n" becomes CR LF, every
// other byte is written unchanged, through one large buffer.
//
// The file is written under a temporary name beside the target and renamed
// into place only by commit(), so a run that fails part-way never leaves a
// truncated dump, nor destroys the one an earlier run wrote.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace ambergale {

class TextFile {
 public:
  explicit TextFile(std::string path);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Appends `text`, writing each "\n" as CR LF. After a failure it does nothing.
  void write(std::string_view text);

  // Flushes, closes and renames the file into place. Returns nothing on
  // success, else a message naming the file and the reason.
  std::optional<std::string> commit();

 private:
  void flush();
  void fail(const char* what, int error);

  std::string path_;
  std::string temp_path_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
  std::optional<std::string> failure_;
};

}  // namespace ambergale
