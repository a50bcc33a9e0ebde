#include "insert/insert_run.hpp"

#include <algorithm>

#include "cartridge/cartridge.hpp"
#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "insert/patch.hpp"
#include "insert/text_parse.hpp"

namespace ambergale {

namespace {

// The dumps whose lines can be inserted so far.
bool insertable(const std::string& name) { return name == "wordlist.txt" || name == "sublist.txt"; }

// Checks that `expected` is what the dump of `image_file` gives, and that
// both patches turn `source` into `target`.
Outcome verify(const InsertInputs& inputs, const DumpSettings& dump, const MemoryRun& expected,
               std::span<const std::uint8_t> source, std::span<const std::uint8_t> target, const InsertResult& result) {
  const MemoryRun again = run_in_memory(result.image_file, inputs.opcode_file, dump, true);
  if (again.failure) return Failure{{}, "internal error: the new image cannot be dumped: " + again.failure->text()};
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (again.dumps[d] != expected.dumps[d]) {
      return Failure{{}, std::string("internal error: the dump of the new image differs from the expected ") +
                             kDumpFiles[d].name + "; nothing written"};
    }
  }
  std::vector<std::uint8_t> applied;
  if (Outcome failure = apply_ips(source, result.ips, applied); failure || applied != std::vector(target.begin(), target.end())) {
    return Failure{{}, "internal error: the IPS patch does not give the new image; nothing written"};
  }
  if (Outcome failure = apply_bps(source, result.bps, applied); failure || applied != std::vector(target.begin(), target.end())) {
    return Failure{{}, "internal error: the BPS patch does not give the new image; nothing written"};
  }
  return std::nullopt;
}

}  // namespace

Outcome run_insert(const InsertInputs& inputs, const InsertSettings& settings, InsertResult& result) {
  const ImageFrame frame = frame_image(inputs.image_file.size());
  if (frame.size != kImageSize || frame.truncated) {
    return Failure{inputs.image_name, std::to_string(inputs.image_file.size()) +
                                          " bytes: an image to insert into holds exactly 4 MiB, after a 512-byte copier header or none"};
  }
  // The original lines, as the dump tool writes them; line ends do not count.
  DumpSettings dump;
  dump.encoding = settings.encoding;
  dump.max_output = ~std::uint64_t{0};
  const MemoryRun original = run_in_memory(inputs.image_file, inputs.opcode_file, dump, true);
  if (original.failure) return Failure(*original.failure).about(inputs.image_name);

  std::array<std::vector<ChangedLine>, 4> changed;
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (!inputs.edited[d]) continue;
    const std::string name = kDumpFiles[d].name;
    if (Outcome failure = match_dump(name, original.dumps[d], *inputs.edited[d], changed[d])) return failure;
    result.lines_changed += changed[d].size();
    if (!changed[d].empty() && !insertable(name)) {
      return Failure{name + ":" + std::to_string(changed[d].front().number),
                     "lines of " + name + " cannot be changed yet: only wordlist.txt and sublist.txt are inserted"};
    }
  }

  result.image_file = inputs.image_file;
  const std::span<const std::uint8_t> source = std::span(inputs.image_file).subspan(frame.offset, frame.size);
  const std::span<std::uint8_t> target = std::span(result.image_file).subspan(frame.offset, frame.size);
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (changed[d].empty()) continue;
    const std::string name = kDumpFiles[d].name;
    // The text of each changed line is read already, so its mistakes show.
    for (const ChangedLine& line : changed[d]) {
      if (settings.encoding != Encoding::shift_jis) break;
      std::vector<TextPiece> pieces;
      const std::string_view text = line.edited.substr(line_identifier(name, line.edited).size());
      if (Outcome failure = parse_line_text(text, pieces)) {
        return Failure{name + ":" + std::to_string(line.number) + ":" + failure->file, failure->reason};
      }
    }
    return Failure{name + ":" + std::to_string(changed[d].front().number),
                   "inserting edited text is not built yet: the dumps can only be checked against the image"};
  }
  // No changed byte, no byte written: the checksum follows the edits only.
  if (!std::equal(source.begin(), source.end(), target.begin())) {
    result.checksum_rewritten = apply_checksum_policy(settings.checksum, source, target);
  }
  result.ips = make_ips(source, target);
  result.bps = make_bps(source, target);
  return verify(inputs, dump, original, source, target, result);
}

}  // namespace ambergale
