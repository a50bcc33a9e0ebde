#include "app/insert_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "dump/dumps.hpp"
#include "platform/console.hpp"
#include "platform/input_file.hpp"
#include "platform/output_folder.hpp"

namespace ambergale {

namespace {

// The report is written beside the new image, named after it.
constexpr const char* kReportSuffix = ".report.txt";

// A file the run reads or writes, and what it is to the run, for messages.
struct RunFile {
  std::string path;
  std::string role;  // "the new image (-o)", "the input image"
};

std::vector<RunFile> outputs_of(const InsertOptions& options) {
  std::vector<RunFile> outputs;
  const auto add = [&](const std::string& path, const char* role) {
    if (!path.empty() && path != kStandardOutput) outputs.push_back({path, role});
  };
  add(options.output, "the new image (-o)");
  add(insert_report_path(options), "the report of the new image");
  add(options.bps, "the BPS patch (--bps)");
  add(options.ips, "the IPS patch (--ips)");
  add(options.refused, "the refused catalogue (--refused)");
  return outputs;
}

std::vector<RunFile> inputs_of(const InsertOptions& options) {
  std::vector<RunFile> inputs = {{options.image, "the input image"}, {options.opcode_file, "the opcode file (-m)"}};
  if (!options.po.empty()) {
    inputs.push_back({options.po, "the catalogue (--po)"});
    return inputs;
  }
  // Edited dumps are read where they exist; one that is missing would be
  // read by the next run, so its place is kept too.
  for (const DumpFile& dump : kDumpFiles) {
    inputs.push_back({path_in_folder(options.dumps_dir, dump.name), "an edited dump (-d)"});
  }
  return inputs;
}

// Where a file is, or would be: its folder, as a file where it exists, and
// its name there.
struct Place {
  PathParts parts;
  std::optional<std::pair<dev_t, ino_t>> folder;
};

Place place_of(const std::string& path) {
  Place place{split_path(path), std::nullopt};
  struct stat info {};
  if (::stat(place.parts.folder.c_str(), &info) == 0) place.folder = {info.st_dev, info.st_ino};
  return place;
}

bool same_place(const Place& a, const Place& b) {
  if (a.parts.name != b.parts.name) return false;
  if (a.folder && b.folder) return *a.folder == *b.folder;
  return !a.folder && !b.folder && a.parts.folder == b.parts.folder;
}

// The file at `path` (standard input for "-"), links followed, when it exists.
std::optional<std::pair<dev_t, ino_t>> existing_file(const std::string& path) {
  struct stat info {};
  const int result = path == kStandardInput ? ::fstat(STDIN_FILENO, &info) : ::stat(path.c_str(), &info);
  if (result != 0) return std::nullopt;
  return std::pair{info.st_dev, info.st_ino};
}

bool is_file_name(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

}  // namespace

std::string insert_report_path(const InsertOptions& options) {
  if (options.output.empty() || options.output == kStandardOutput) return "";
  return options.output + kReportSuffix;
}

bool writes_standard_output(const InsertOptions& options) {
  return options.output == kStandardOutput || options.bps == kStandardOutput || options.ips == kStandardOutput ||
         options.refused == kStandardOutput;
}

Outcome check_output_names(const InsertOptions& options) {
  const std::vector<RunFile> outputs = outputs_of(options);
  std::vector<Place> places;
  for (const RunFile& output : outputs) {
    places.push_back(place_of(output.path));
    if (!is_file_name(places.back().parts.name)) return Failure{{}, "not a file name, for " + output.role}.about(output.path);
    // The lock file is removed when the run lets go of its folder.
    if (places.back().parts.name == kLockFileName) {
      return Failure{{}, "the name of the folder's lock file, for " + output.role}.about(output.path);
    }
  }
  for (std::size_t later = 1; later < outputs.size(); ++later) {
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      if (!same_place(places[earlier], places[later])) continue;
      return Failure{{}, "would be both " + outputs[earlier].role + " and " + outputs[later].role +
                             "; give each output a file of its own"}
          .about(outputs[later].path);
    }
  }
  for (const RunFile& input : inputs_of(options)) {
    // Standard input has no place, but may be a file an output names.
    const std::optional<Place> input_place =
        input.path == kStandardInput ? std::nullopt : std::optional<Place>(place_of(input.path));
    const auto input_file = existing_file(input.path);
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      const auto output_file = input_file ? existing_file(outputs[o].path) : std::nullopt;
      const bool same_file = output_file && output_file == input_file;
      if (!same_file && !(input_place && same_place(*input_place, places[o]))) continue;
      return Failure{{}, outputs[o].role + " would replace " + input.role + "; write the new files elsewhere"}.about(outputs[o].path);
    }
  }
  return std::nullopt;
}

Outcome check_output_targets(const InsertOptions& options) {
  for (const RunFile& output : outputs_of(options)) {
    if (Outcome failure = check_replaceable(AT_FDCWD, output.path)) return failure->about(output.path);
  }
  return std::nullopt;
}

}  // namespace ambergale
