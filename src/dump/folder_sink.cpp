#include "dump/folder_sink.hpp"

#include "dump/dumps.hpp"
#include "platform/signals.hpp"

namespace ambergale {

TextOutput& FolderSink::open(const std::string& name, OutputBudget& budget, const TextFormat& format) {
  // The dumps are opened first, the extra files after them.
  const OutputDir& dir = files_.size() < kDumpFiles.size() ? dumps_ : extras_;
  files_.push_back(std::make_unique<TextFile>(dir, name, budget, format));
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
  dumps_.sync();
  if (&extras_ != &dumps_) extras_.sync();
  return std::nullopt;
}

}  // namespace ambergale
