#include "text/text_output.hpp"

namespace ambergale {

TextOutput::TextOutput(std::string name, OutputBudget& budget, const TextFormat& format)
    : name_(std::move(name)), budget_(budget), format_(format) {
  buffer_.room(kHandOnSize + 1024);
}

void TextOutput::fail(const std::string& reason) {
  if (!failure_) failure_ = Failure{name_, reason};
}

void TextOutput::hand_on() {
  if (failure_) {
    buffer_.clear();
    return;
  }
  std::string_view bytes = buffer_.view();
  if (format_.utf8) {
    converted_.clear();
    format_.utf8->convert(bytes, converted_);
    bytes = converted_;
  }
  if (bytes.size() > budget_.ceiling - budget_.used) {
    fail("the run's output passes its ceiling of " + std::to_string(budget_.ceiling) +
         " bytes (raise it with --max-output)");
  } else {
    budget_.used += bytes.size();
    take(bytes);
  }
  buffer_.clear();
}

void MemoryOutput::take(std::string_view bytes) {
  if (keep_) contents_.append(bytes);
  size_ += bytes.size();
}

}  // namespace ambergale
