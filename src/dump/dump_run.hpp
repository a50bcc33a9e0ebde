// One dump run, the same whether its files come from disk or memory: the
// image framed, its tables built, the opcode file read and parsed, then the
// four dumps written, in order, to the outputs a DumpSink hands out.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/tables.hpp"
#include "platform/failure.hpp"
#include "text/text_output.hpp"

namespace ambergale {

enum class Encoding { shift_jis, utf8 };

struct DumpSettings {
  Encoding encoding = Encoding::shift_jis;
  bool crlf = true;  // CR LF line ends, else LF
  std::uint64_t max_output = std::uint64_t{1} << 30;  // the most bytes the four dumps may take together
};

// Where the dumps go: an output per dump, opened in run order, each finished
// before the next is opened; then all are committed together.
class DumpSink {
 public:
  virtual ~DumpSink() = default;
  virtual TextOutput& open(const std::string& name, OutputBudget& budget, const TextFormat& format) = 0;
  // Finishes the output last opened; its failure names it.
  virtual Outcome finish() = 0;
  // Every dump is finished: they take their places together.
  virtual Outcome commit() = 0;
};

// What a run reads. The image is opened by the caller (a missing image is
// the caller's to report); the opcode file is read only once the image's
// tables are built, by `read_opcodes`.
struct DumpInputs {
  ImageFile image;
  std::string image_name;   // as messages name it; empty: the caller names the image's failures
  std::string opcode_name;  // likewise
  std::function<Outcome(std::string& contents)> read_opcodes;
  // Changes the image's tables before the dumps are written, if set: the
  // inserter's expected dumps are the image's with its edited dictionary.
  std::function<void(Tables& tables)> amend_tables;
  // Files written after the four dumps and installed with them: each a name
  // and what makes its bytes from the image and its tables.
  struct ExtraFile {
    std::string name;
    std::function<Outcome(const Cartridge& cart, const Tables& tables, std::string& bytes)> make;
  };
  std::vector<ExtraFile> extra_files;
};

// Runs the dump. Notes for the user that do not stop the run (how the image
// was framed, an opcode file that does not look like one) go to `note` as
// they arise. The failure names its file; it is cannot_open only when the
// opcode file could not be opened.
Outcome run_dump(const DumpInputs& inputs, const DumpSettings& settings, DumpSink& sink,
                 const std::function<void(const std::string&)>& note);

// A sink that keeps the dumps in memory, or only counts their bytes.
class MemorySink : public DumpSink {
 public:
  explicit MemorySink(bool keep = true) : keep_(keep) {}
  TextOutput& open(const std::string& name, OutputBudget& budget, const TextFormat& format) override;
  Outcome finish() override;
  Outcome commit() override { return std::nullopt; }

  // The dumps in run order.
  const std::vector<std::unique_ptr<MemoryOutput>>& outputs() const { return outputs_; }
  MemoryOutput& output(std::size_t d) { return *outputs_[d]; }

 private:
  bool keep_;
  std::vector<std::unique_ptr<MemoryOutput>> outputs_;
};

// A run on files held in memory, without touching the disk: `image_file` is
// what an image file holds (framed as a file would be), `opcode_file` the
// contents of the opcode file. Notes are dropped. A failure of the image
// names no file, for the caller to name it with Failure::about; one of the
// opcode file is about the "opcode file".
struct MemoryRun {
  Outcome failure;
  std::array<std::string, 4> dumps;  // the files in run order, when kept
  std::array<std::uint64_t, 4> sizes{};
  std::shared_ptr<const Tables> tables;  // the tables the dumps were made with, once built
};
MemoryRun run_in_memory(std::span<const std::uint8_t> image_file, std::string_view opcode_file,
                        const DumpSettings& settings, bool keep_dumps,
                        const std::function<void(Tables& tables)>& amend_tables = {});

}  // namespace ambergale
