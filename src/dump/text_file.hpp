// A dump as a file in the output folder: its text staged (see
// platform/output_folder.hpp) and put in place only when the run installs it.
#pragma once

#include <string>
#include <string_view>

#include "platform/output_folder.hpp"
#include "text/text_output.hpp"

namespace ambergale {

class TextFile : public TextOutput {
 public:
  // Creates the temporary file for the dump `name`; a failure shows in ok().
  TextFile(const OutputDir& dir, const std::string& name, OutputBudget& budget, const TextFormat& format = {});

  // Hands on the rest of the text, flushes the file to disk and closes it.
  // After a failure (which names the file) the temporary file is gone.
  Outcome finish();

  // Whether install() may replace what has the name (only a regular file,
  // see check_replaceable). Checked for every dump before any is installed.
  Outcome check_target();

  // Renames the finished file to its name, replacing what was there.
  Outcome install();

 private:
  void take(std::string_view bytes) override;
  // Records a failure of the file, which is then removed.
  void fail_with(const Failure& failure);

  StagedFile file_;
};

}  // namespace ambergale
