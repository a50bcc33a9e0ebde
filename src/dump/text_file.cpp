#include "dump/text_file.hpp"

#include <cerrno>
#include <cstring>

namespace ambergale {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;  // large writes, few pages to fault in

}  // namespace

TextFile::TextFile(std::string path) : path_(std::move(path)), temp_path_(path_ + ".tmp") {
  file_ = std::fopen(temp_path_.c_str(), "wb");
  if (!file_) {
    fail("cannot create", errno);
    return;
  }
  buffer_.reserve(kBufferSize + 2);
}

TextFile::~TextFile() {
  if (file_) {
    std::fclose(file_);
    std::remove(temp_path_.c_str());
  }
}

void TextFile::fail(const char* what, int error) {
  if (!failure_) failure_ = path_ + ": " + what + ": " + std::strerror(error);
}

void TextFile::write(std::string_view text) {
  if (failure_) return;
  while (!text.empty()) {
    const std::size_t line_end = text.find('\n');
    const std::string_view piece = text.substr(0, line_end);
    buffer_.append(piece);
    if (line_end == std::string_view::npos) {
      text = {};
    } else {
      buffer_.append("\r\n");
      text.remove_prefix(line_end + 1);
    }
    if (buffer_.size() >= kBufferSize) flush();
  }
}

void TextFile::flush() {
  if (failure_ || buffer_.empty()) return;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) fail("cannot write", errno);
  buffer_.clear();
}

std::optional<std::string> TextFile::commit() {
  flush();
  if (file_) {
    if (std::fclose(file_) != 0) fail("cannot write", errno);
    file_ = nullptr;
    if (!failure_ && std::rename(temp_path_.c_str(), path_.c_str()) != 0) fail("cannot replace", errno);
    if (failure_) std::remove(temp_path_.c_str());
  }
  return failure_;
}

}  // namespace ambergale
