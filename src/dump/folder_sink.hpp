// The dumps as files in a locked output folder: each written to a temporary
// file, and all four renamed into place together once every one is finished.
#pragma once

#include <memory>
#include <vector>

#include "dump/dump_run.hpp"
#include "dump/text_file.hpp"

namespace ambergale {

class FolderSink : public DumpSink {
 public:
  explicit FolderSink(const OutputDir& dir) : dir_(dir) {}
  TextOutput& open(const std::string& name, OutputBudget& budget, const TextFormat& format) override;
  Outcome finish() override;
  // Checks every target first, then renames the files in run order with the
  // stop signals held, and syncs the folder.
  Outcome commit() override;

 private:
  const OutputDir& dir_;
  std::vector<std::unique_ptr<TextFile>> files_;
};

}  // namespace ambergale
