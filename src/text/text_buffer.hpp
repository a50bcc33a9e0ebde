// A growable byte buffer that hands out room to write into: text is
// formatted in place, without zero-filling or checking each byte.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace ambergale {

class TextBuffer {
 public:
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_.get(), size_}; }
  void clear() { size_ = 0; }

  // Room for at least `n` more bytes after the text; write into it, then
  // commit() the end of what was written.
  char* room(std::size_t n) {
    if (capacity_ - size_ < n) grow(n);
    return data_.get() + size_;
  }
  void commit(char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }

  void push_back(char c) {
    *room(1) = c;
    ++size_;
  }
  void append(std::string_view text) {
    if (text.empty()) return;
    std::memcpy(room(text.size()), text.data(), text.size());
    size_ += text.size();
  }

 private:
  void grow(std::size_t n);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace ambergale
