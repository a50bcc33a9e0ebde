#include "dump/folder_sink.hpp"

#include "platform/signals.hpp"

namespace ambergale {

TextOutput& FolderSink::open(const std::string& name, OutputBudget& budget, const TextFormat& format) {
  files_.push_back(std::make_unique<TextFile>(dir_, name, budget, format));
  return *files_.back();
}

Outcome FolderSink::finish() { return files_.back()->finish(); }

Outcome FolderSink::commit() {
  for (const auto& file : files_) {
    if (Outcome failure = file->check_target()) return failure;
  }
  const SignalHold hold;  // no interruption between the renames
  for (const auto& file : files_) {
    if (Outcome failure = file->install()) return failure;
  }
  dir_.sync();
  return std::nullopt;
}

}  // namespace ambergale
