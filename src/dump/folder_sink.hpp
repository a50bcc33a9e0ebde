// The dumps as files in a locked output folder, and the files written after
// them (a template) in a locked folder of their own, which may be the same:
// each written to a temporary file, and all renamed into place together once
// every one is finished.
#pragma once

#include <memory>
#include <vector>

#include "dump/dump_run.hpp"
#include "dump/text_file.hpp"

namespace ambergale {

class FolderSink : public DumpSink {
 public:
  FolderSink(const OutputDir& dumps, const OutputDir& extras) : dumps_(dumps), extras_(extras) {}
  TextOutput& open(const std::string& name, OutputBudget& budget, const TextFormat& format) override;
  Outcome finish() override;
  // Checks every target first, then renames the files in run order with the
  // stop signals held, and syncs the folders.
  Outcome commit() override;

 private:
  const OutputDir& dumps_;
  const OutputDir& extras_;
  std::vector<std::unique_ptr<TextFile>> files_;
};

}  // namespace ambergale
