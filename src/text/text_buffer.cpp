#include "text/text_buffer.hpp"

#include <algorithm>

namespace ambergale {

void TextBuffer::grow(std::size_t n) {
  const std::size_t capacity = std::max({size_ + n, 2 * capacity_, std::size_t{256}});
  std::unique_ptr<char[]> data(new char[capacity]);
  if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

}  // namespace ambergale
