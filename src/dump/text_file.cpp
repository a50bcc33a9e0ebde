#include "dump/text_file.hpp"

namespace ambergale {

TextFile::TextFile(const OutputDir& dir, const std::string& name, OutputBudget& budget, const TextFormat& format)
    : TextOutput(dir.path_of(name), budget, format), file_(dir, name) {
  if (Outcome failure = file_.create()) fail_with(*failure);
}

void TextFile::fail_with(const Failure& failure) {
  fail(failure.reason);
  file_.discard();
}

void TextFile::take(std::string_view bytes) {
  if (Outcome failure = file_.write(bytes)) fail_with(*failure);
}

Outcome TextFile::finish() {
  hand_on();
  if (ok()) {
    if (Outcome failure = file_.finish()) fail_with(*failure);
  }
  if (!ok()) file_.discard();
  return failure();
}

Outcome TextFile::check_target() {
  if (ok()) {
    if (Outcome failure = file_.check_target()) fail_with(*failure);
  }
  return failure();
}

Outcome TextFile::install() {
  if (!ok()) return failure();
  if (Outcome failure = file_.install()) fail_with(*failure);
  return failure();
}

}  // namespace ambergale
