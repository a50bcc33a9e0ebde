#include "app/insert_tool.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

#include "app/insert_files.hpp"
#include "app/options.hpp"
#include "catalogue/po_edits.hpp"
#include "catalogue/po_file.hpp"
#include "catalogue/po_report.hpp"
#include "cartridge/cartridge.hpp"
#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "platform/bounded_text.hpp"
#include "platform/command_line.hpp"
#include "platform/console.hpp"
#include "platform/input_file.hpp"
#include "platform/output_folder.hpp"
#include "platform/signals.hpp"
#include "script/offset_declarations.hpp"
#include "script/opcodes.hpp"
#include "text/code_units.hpp"

#ifndef AMBERGALE_VERSION
#define AMBERGALE_VERSION "unknown"
#endif

namespace ambergale {

namespace {

constexpr const char* kProgram = "ambergale-insert";

enum Option : std::size_t {
  kOutput, kDumps, kPo, kMescmd, kEncoding, kBps, kIps, kFree, kSeq, kChecksum, kNewline, kFullwidth, kStrictTags, kCheck,
  kKeepGoing, kRefused, kRelayout, kScriptOffsets, kRebuild, kHelp, kVersion
};
constexpr std::array<CommandOption, 21> kOptions = {{
    {"output", 'o', true, false},
    {"dumps", 'd', true, false},
    {"po", 0, true, false},
    {"mescmd", 'm', true, false},
    {"encoding", 0, true, false},
    {"bps", 0, true, false},
    {"ips", 0, true, false},
    {"free", 0, true, false},
    {"seq", 0, true, false},
    {"checksum", 0, true, false},
    {"newline", 0, true, false},
    {"fullwidth", 0, false, false},
    {"strict-tags", 0, false, false},
    {"check", 0, false, false},
    {"keep-going", 'k', false, false},
    {"refused", 0, true, false},
    {"relayout", 0, false, false},
    {"script-offsets", 0, true, false},
    {"rebuild", 0, true, false},
    {"help", 'h', false, true},
    {"version", 0, false, true},
}};

// A file or folder option given an empty name (which would otherwise read
// as the option left out).
Outcome empty_name(std::size_t option) {
  return Failure{{}, std::string("an empty name for --") + kOptions[option].name}.about("");
}

Outcome take_script_offsets(std::string_view value, ScriptOffsets& offsets) {
  if (value == "none") {
    offsets = ScriptOffsets::none;
  } else if (value == "declared") {
    offsets = ScriptOffsets::declared;
  } else {
    return Failure{{}, "invalid script offsets '" + std::string(value) +
                           "' (use none, or declared when the opcode file declares every offset operand)"};
  }
  return std::nullopt;
}

Outcome take_checksum(std::string_view policy, ChecksumPolicy& checksum) {
  if (policy == "auto") {
    checksum = ChecksumPolicy::automatic;
  } else if (policy == "fix") {
    checksum = ChecksumPolicy::fix;
  } else if (policy == "keep") {
    checksum = ChecksumPolicy::keep;
  } else {
    return Failure{{}, "invalid checksum policy '" + std::string(policy) + "' (use auto, fix or keep)"};
  }
  return std::nullopt;
}

Outcome take_rebuild(std::string_view value, std::optional<encode::RebuildScope>& rebuild) {
  if (value == "dictionary") {
    rebuild = encode::RebuildScope::dictionary;
  } else if (value == "trees") {
    rebuild = encode::RebuildScope::trees;
  } else {
    return Failure{{}, "invalid rebuild '" + std::string(value) + "' (use dictionary, or trees for the text trees as well)"};
  }
  return std::nullopt;
}

Outcome take_option(std::size_t option, const char* value, InsertOptions& options) {
  const bool names_file =
      option == kOutput || option == kDumps || option == kPo || option == kBps || option == kIps || option == kRefused;
  if (names_file && *value == '\0') return empty_name(option);
  switch (option) {
    case kOutput: options.output = value; break;
    case kDumps:
      options.dumps_dir = value;
      options.dumps_given = true;
      break;
    case kPo: options.po = value; break;
    case kMescmd: options.opcode_file = value; break;
    case kEncoding: return take_encoding(value, options.encoding);
    case kBps: options.bps = value; break;
    case kIps: options.ips = value; break;
    case kFree: {
      DeclaredRange range;
      if (Outcome failure = parse_declared_range(value, range)) return failure;
      options.settings.free.push_back(range);
      break;
    }
    case kSeq:
      if (std::string_view(value) != "fixed") {
        return Failure{{}, "invalid sequential-block mode '" + std::string(value) +
                               "' (only fixed: every message keeps its length; --relayout lets lengths change)"};
      }
      options.seq_fixed = true;
      break;
    case kChecksum: return take_checksum(value, options.settings.checksum);
    case kNewline:
      if (std::string_view(value) == "1200" || std::string_view(value) == "1700") {
        options.settings.newline = std::string_view(value) == "1200" ? kLineBreak : kOtherLineBreak;
      } else {
        return Failure{{}, "invalid line break '" + std::string(value) + "' (use 1200 or 1700, the units 0012 and 0017)"};
      }
      break;
    case kFullwidth: options.fullwidth = true; break;
    case kCheck: options.check = true; break;
    case kKeepGoing: options.settings.keep_going = true; break;
    case kRefused: options.refused = value; break;
    case kRelayout: options.settings.relayout = true; break;
    case kScriptOffsets: return take_script_offsets(value, options.settings.script_offsets);
    case kRebuild: return take_rebuild(value, options.settings.rebuild);
    case kHelp: options.help = true; break;
    case kVersion: options.version = true; break;
    case kStrictTags: options.strict_tags = true; break;
  }
  return std::nullopt;
}

void say(const std::string& message) { write_console(STDERR_FILENO, std::string(kProgram) + ": " + message + "\n"); }

int fail(const Failure& failure) {
  say(failure.text());
  return kNothingWritten;
}

// The files a run writes, each staged in its folder; the folders are locked
// once each, however they are spelled.
class Outputs {
 public:
  Outcome add(const std::string& path, std::string_view bytes) {
    if (path == kStandardOutput) {
      standard_output_ = bytes;
      return std::nullopt;
    }
    const auto [folder, name] = split_path(path);
    if (name.empty() || name == "." || name == "..") return Failure{path, "not a file name"};
    OutputDir* dir = nullptr;
    for (std::size_t i = 0; i < folders_.size() && !dir; ++i) {
      if (same_file(folder_paths_[i], folder)) dir = folders_[i].get();
    }
    if (!dir) {
      folders_.push_back(std::make_unique<OutputDir>());
      folder_paths_.push_back(folder);
      dir = folders_.back().get();
      if (Outcome failure = dir->open(folder)) return failure;
    }
    files_.push_back(std::make_unique<StagedFile>(*dir, name));
    paths_.push_back(path);
    StagedFile& file = *files_.back();
    if (Outcome failure = file.create()) return failure->about(path);
    if (Outcome failure = file.write(bytes)) return failure->about(path);
    if (Outcome failure = file.finish()) return failure->about(path);
    return std::nullopt;
  }

  // Every file is finished: what goes to standard output is written, then
  // all files take their names, with the stop signals held.
  Outcome install() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (Outcome failure = files_[i]->check_target()) return failure->about(paths_[i]);
    }
    if (standard_output_) {
      if (Outcome failure = write_standard_output(*standard_output_)) return failure;
    }
    const SignalHold hold;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (Outcome failure = files_[i]->install()) return failure->about(paths_[i]);
    }
    for (const auto& folder : folders_) folder->sync();
    return std::nullopt;
  }

 private:
  std::vector<std::unique_ptr<OutputDir>> folders_;  // before the files, which refer to them
  std::vector<std::string> folder_paths_;
  std::vector<std::unique_ptr<StagedFile>> files_;
  std::vector<std::string> paths_;
  std::optional<std::string_view> standard_output_;  // the bytes of the output "-", if any
};

// The image and the opcode file, loaded and dumped.
Outcome read_original(const InsertOptions& options, OriginalImage& original) {
  original.name = input_name(options.image);
  original.encoding = options.encoding;
  if (Outcome failure = read_whole_file(options.image, kImageSize + kCopierHeaderSize, original.file)) {
    return failure->about(original.name);
  }
  const std::string opcode_name = input_name(options.opcode_file);
  if (Outcome failure = read_opcode_file(options.opcode_file, original.opcode_file)) return failure->about(opcode_name);
  // Parsed here as the run will parse it, so a malformed file is named as
  // the user named it.
  OpcodeTable opcodes;
  if (Outcome failure = parse_opcodes(original.opcode_file, opcodes)) return failure->about(opcode_name);
  if (options.settings.script_offsets == ScriptOffsets::declared) {
    OffsetTable offsets;
    if (Outcome failure = parse_offset_declarations(original.opcode_file, opcodes, offsets)) return failure->about(opcode_name);
  }
  return load_original(original);
}

// The most a line a user edits may hold: a message of 1919 units written
// as escapes takes about 11.5 KB; longer lines only cost time and memory.
constexpr std::size_t kMostEditedLine = std::size_t{64} << 10;

std::size_t longest_line(std::string_view text) {
  std::size_t longest = 0;
  for (const std::string_view line : split_lines(text)) longest = std::max(longest, line.size());
  return longest;
}

// What an edited dump may hold: what the image's own dump can become, its
// lines each as long as a message can need or the original's longest.
TextBounds edited_dump_bounds(std::string_view original) {
  const std::size_t lines = split_lines(original).size();
  return {8 * original.size() + (std::size_t{1} << 20), std::max(kMostEditedLine, longest_line(original)), lines,
          "8 times the image's dump and 1 MiB", "the most a line of this dump can hold",
          "the dump of the image has " + std::to_string(lines)};
}

// What a run inserts: the changes, and for a catalogue its text (which the
// refused catalogue copies) and what reading it found.
struct EditInputs {
  ChangeSet changes;
  std::optional<PoTally> tally;
  std::string po_contents;
};

// The changes of the edited dumps in the dumps folder.
Outcome read_dump_changes(const InsertOptions& options, OriginalImage& original, EditInputs& inputs) {
  std::array<std::optional<std::string>, 4> edited;
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    const std::string path = path_in_folder(options.dumps_dir, kDumpFiles[d].name);
    std::string contents;
    if (Outcome failure = read_bounded_text(path, edited_dump_bounds(original.dump.dumps[d]), contents)) {
      if (failure->cannot_open && failure->error == ENOENT) continue;  // a dump left out is unchanged
      return failure->about(path);
    }
    edited[d] = std::move(contents);
  }
  if (Outcome failure = changes_from_dumps(original.dump.dumps, edited, original.encoding, inputs.changes, options.fullwidth)) {
    return failure;
  }
  if (!inputs.changes[3].empty() || options.settings.rebuild) map_scripts(original);
  return std::nullopt;
}

// The changes of the catalogue given with --po.
Outcome read_po_changes(const InsertOptions& options, OriginalImage& original, EditInputs& inputs) {
  const std::string po_name = input_name(options.po);
  std::size_t dumps = 0;
  for (const std::string& dump : original.dump.dumps) dumps += dump.size();
  // A catalogue holds each text once, with its comments, in UTF-8: the
  // four dumps' size bounds it as their own does an edited dump.
  const TextBounds bounds{8 * dumps + (std::size_t{1} << 20), kMostEditedLine, 8 * dumps + (std::size_t{1} << 20),
                          "8 times the image's dumps and 1 MiB", "the most a line of a catalogue can hold", ""};
  if (Outcome failure = read_bounded_text(options.po, bounds, inputs.po_contents)) return failure->about(po_name);
  PoCatalogue catalogue;
  if (Outcome failure = read_po_file(po_name, inputs.po_contents, catalogue)) return failure;
  map_scripts(original);
  inputs.tally.emplace();
  return changes_from_po(original, catalogue, po_name, {options.strict_tags, options.fullwidth}, inputs.changes, *inputs.tally);
}

// Every refusal of the run, the catalogue's own among them, in the order
// the user wrote the items.
std::vector<Refusal> all_refusals(const EditInputs& inputs, const InsertResult& result) {
  std::vector<Refusal> refusals = result.refusals;
  if (inputs.tally) refusals.insert(refusals.end(), inputs.tally->refused.begin(), inputs.tally->refused.end());
  std::stable_sort(refusals.begin(), refusals.end());
  return refusals;
}

// "N entries" of a catalogue, "N lines" of edited dumps: the items refused.
std::string items_text(const EditInputs& inputs, const std::vector<Refusal>& refusals) {
  std::set<ItemKey> items;
  for (const Refusal& refusal : refusals) items.insert(refusal.item);
  const char* what = inputs.tally ? (items.size() == 1 ? " entry" : " entries") : (items.size() == 1 ? " line" : " lines");
  return std::to_string(items.size()) + what;
}

int refuse(const EditInputs& inputs, const std::vector<Refusal>& refusals) {
  say(items_text(inputs, refusals) + " cannot be inserted; nothing written (--keep-going inserts the rest)");
  return kNothingWritten;
}

// The catalogue again, each refused entry fuzzy with its reasons.
Outcome refused_catalogue(const InsertOptions& options, const EditInputs& inputs, const std::vector<Refusal>& refusals,
                          std::string& out) {
  std::map<std::size_t, std::vector<std::string>> reasons;
  for (const Refusal& refusal : refusals) reasons[refusal.item.line].push_back(refusal.failure.reason);
  return write_refused_catalogue(input_name(options.po), inputs.po_contents, reasons, out);
}

Outcome write_outputs(const InsertOptions& options, const InsertResult& result, const std::string& report_path,
                      const std::string& report, const std::string& refused) {
  Outputs outputs;
  const std::string_view image(reinterpret_cast<const char*>(result.image_file.data()), result.image_file.size());
  if (Outcome failure = outputs.add(options.output, image)) return failure;
  const std::array<std::pair<const std::string*, std::string_view>, 4> others = {
      {{&options.ips, result.ips}, {&options.bps, result.bps}, {&report_path, report}, {&options.refused, refused}}};
  for (const auto& [path, bytes] : others) {
    if (path->empty()) continue;
    if (Outcome failure = outputs.add(*path, bytes)) return failure;
  }
  return outputs.install();
}

// "lines refused: N (FILE:LINE, ...)": the edited lines left out, the first few.
std::string refused_lines_text(const std::vector<Refusal>& refusals) {
  constexpr std::size_t kMostListed = 20;
  std::string text;
  std::set<ItemKey> seen;
  for (const Refusal& refusal : refusals) {
    if (!seen.insert(refusal.item).second || seen.size() > kMostListed) continue;
    text += (seen.size() == 1 ? " (" : ", ") + refusal.failure.file + ":" + std::to_string(refusal.failure.line);
  }
  if (seen.empty()) return text;
  const std::string more = seen.size() > kMostListed ? ", and " + std::to_string(seen.size() - kMostListed) + " more" : "";
  return "lines refused: " + std::to_string(seen.size()) + text + more + ")\n";
}

// The report: what the run did to the image, and to a catalogue's entries.
std::string full_report(const EditInputs& inputs, const InsertResult& result, const std::vector<Refusal>& refusals) {
  const std::string report = report_text(result.report);
  return (inputs.tally ? po_report_text(*inputs.tally, refusals) : refused_lines_text(refusals)) + report;
}

std::string untranslated_text(const InsertOptions& options) {
  return input_name(options.po) + " is an untranslated catalogue: no entry has a translation that differs from its msgid";
}

// What --check found, written nowhere.
int report_check(const InsertOptions& options, const OriginalImage& original, const EditInputs& inputs,
                 const InsertResult& result, const std::vector<Refusal>& refusals, int console) {
  const bool unchanged = std::all_of(result.report.lines_changed.begin(), result.report.lines_changed.end(),
                                     [](std::size_t count) { return count == 0; });
  std::string verdict = "the edits can be inserted into " + original.name;
  if (!refusals.empty()) {
    verdict = items_text(inputs, refusals) + " cannot be inserted; the rest can be inserted into " + original.name;
  } else if (inputs.tally && untranslated(*inputs.tally)) {
    verdict = untranslated_text(options);
  } else if (unchanged) {
    verdict = "the dumps are a dump of " + original.name;
  }
  write_console(console, std::string(kProgram) + ": " + verdict + "; nothing written\n" + full_report(inputs, result, refusals));
  return refusals.empty() ? kAllInserted : kSomeRefused;
}

int run(const InsertOptions& options) {
  const std::string report_path = insert_report_path(options);
  const int console = writes_standard_output(options) ? STDERR_FILENO : STDOUT_FILENO;
  OriginalImage original;
  if (Outcome failure = read_original(options, original)) return fail(*failure);
  EditInputs inputs;
  const Outcome read = options.po.empty() ? read_dump_changes(options, original, inputs) : read_po_changes(options, original, inputs);
  if (read) return fail(*read);
  InsertSettings settings = options.settings;
  settings.keep_going = settings.keep_going || options.check;
  InsertResult result;
  if (Outcome failure = run_insert(original, inputs.changes, settings, result)) return fail(*failure);
  const std::vector<Refusal> refusals = all_refusals(inputs, result);
  for (const Refusal& refusal : refusals) say(refusal.failure.text());
  if (!refusals.empty() && !settings.keep_going) return refuse(inputs, refusals);
  if (options.check) return report_check(options, original, inputs, result, refusals, console);
  std::string refused;
  if (!options.refused.empty()) {
    if (Outcome failure = refused_catalogue(options, inputs, refusals, refused)) return fail(*failure);
  }
  const std::string report = full_report(inputs, result, refusals);
  if (Outcome failure = write_outputs(options, result, report_path, report, refused)) return fail(*failure);
  std::string written = report_path.empty() ? "the new image to standard output" : options.output + " and its report " + report_path;
  if (!refusals.empty()) written += ", without the " + items_text(inputs, refusals) + " refused";
  if (inputs.tally && untranslated(*inputs.tally)) written += "; " + untranslated_text(options);
  write_console(console, std::string(kProgram) + ": wrote " + written + "\n" + report);
  return refusals.empty() ? kAllInserted : kSomeRefused;
}

}  // namespace

Outcome parse_insert_options(int argc, const char* const* argv, InsertOptions& options) {
  std::vector<std::string> operands;
  if (Outcome failure = parse_command_line(
          argc, argv, kOptions, [&](std::size_t option, const char* value) { return take_option(option, value, options); },
          operands)) {
    return failure;
  }
  if (options.help || options.version) return std::nullopt;
  if (operands.empty()) return Failure{{}, "no image given"};
  if (operands.size() > 1) return Failure{{}, "more than one image: '" + operands[0] + "' and '" + operands[1] + "'"};
  options.image = operands.front();
  if (options.image == kStandardInput && options.opcode_file == kStandardInput) {
    return Failure{{}, "the image and the opcode file cannot both be standard input ('-')"};
  }
  if (options.strict_tags && options.po.empty()) return Failure{{}, "--strict-tags checks a catalogue's tags: give --po"};
  if (!options.po.empty() && options.dumps_given) {
    return Failure{{}, "both --po and --dumps: the edits come from a catalogue or from dumps, not both"};
  }
  if (options.po == kStandardInput && (options.image == kStandardInput || options.opcode_file == kStandardInput)) {
    return Failure{{}, "the catalogue and the image or opcode file cannot both be standard input ('-')"};
  }
  if (!options.check && options.output.empty()) return Failure{{}, "no new image: give -o FILE, or --check"};
  if (options.seq_fixed && options.settings.relayout) {
    return Failure{{}, "--seq fixed keeps every sequential-block message's length: leave it out with --relayout"};
  }
  if (options.settings.script_offsets == ScriptOffsets::declared && !options.settings.relayout) {
    return Failure{{}, "--script-offsets declared lets script messages change length, which needs --relayout"};
  }
  if (options.settings.rebuild && options.settings.script_offsets != ScriptOffsets::declared) {
    return Failure{{}, "--rebuild writes every script message at a new length: it needs --relayout and --script-offsets declared"};
  }
  if (!options.refused.empty() && options.po.empty()) {
    return Failure{{}, "--refused writes a catalogue's refused entries: it needs --po"};
  }
  if (!options.refused.empty() && options.check) return Failure{{}, "--check writes nothing: give -o FILE for --refused"};
  const int to_standard_output = (options.output == kStandardOutput) + (options.bps == kStandardOutput) +
                                 (options.ips == kStandardOutput) + (options.refused == kStandardOutput);
  if (to_standard_output > 1) return Failure{{}, "only one output can go to standard output ('-')"};
  // A catalogue is UTF-8 and becomes edits of the dumps as Shift-JIS.
  if (!options.po.empty()) options.encoding = Encoding::shift_jis;
  return std::nullopt;
}

// The help text: its options, then what the outputs and exit statuses are.
constexpr const char kUsage[] =
    "Usage: ambergale-insert [OPTION]... (-o NEW | --check) IMAGE\n"
    "Put the edited dumps of IMAGE back into a new image, proven by dumping it again.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE       write the new image to FILE (never IMAGE itself), and\n"
    "                          what the run did to FILE.report.txt\n"
    "  -d, --dumps DIR         the folder of the edited dumps (default: the working\n"
    "                          folder); a dump missing there counts as unchanged\n"
    "      --po FILE           take the translations from the PO file FILE (made from\n"
    "                          ambergale-dump --pot) instead of edited dumps\n"
    "      --strict-tags       with --po, a translation keeps its msgid's controls in\n"
    "                          their order too, not only each of them\n"
    "  -m, --mescmd FILE       the opcode file the dumps were made with (default:\n"
    "                          mescmd.dat)\n"
    "      --encoding ENC      the dumps' encoding: shift-jis (default) or utf-8\n"
    "      --bps FILE          also write a BPS patch from IMAGE to the new image\n"
    "      --ips FILE          also write an IPS patch\n"
    "      --free BB:AAAA-BBBB\n"
    "                          bytes of bank FB that moved word-list messages may\n"
    "                          take (both ends included; repeatable), and with\n"
    "                          the option --relayout bytes of a script bank before\n"
    "                          a script group's first block, for the group to take\n"
    "      --seq fixed         sequential-block messages keep their lengths (default)\n"
    "      --relayout          let texts change length: the sequential block and the\n"
    "                          script groups laid out again where the image allows\n"
    "      --script-offsets none|declared\n"
    "                          with --relayout, declared lets script messages change\n"
    "                          length: the opcode file's offsets= columns name every\n"
    "                          operand that holds an offset into its script, each\n"
    "                          moved along; an undeclared offset breaks its script\n"
    "                          (default: none, script messages keep their lengths)\n"
    "      --rebuild dictionary|trees\n"
    "                          for a whole translation: choose the dictionary (and\n"
    "                          with trees the text trees) again for the new text,\n"
    "                          and write every text with them; needs --relayout\n"
    "                          and --script-offsets declared; edited dictionary\n"
    "                          entries are left out\n"
    "      --checksum POLICY   the header checksum of a changed image: auto (default:\n"
    "                          recomputed when it was valid), fix or keep\n"
    "      --newline 1200|1700\n"
    "                          the code of a line break the original line does not\n"
    "                          decide\n"
    "      --fullwidth         write the edits' ASCII letters, digits, spaces and\n"
    "                          punctuation as the table's full-width characters\n"
    "      --check             check every edit against IMAGE and write nothing\n"
    "  -k, --keep-going        leave out what cannot go in, and insert the rest\n"
    "      --refused FILE      with --po: write the catalogue again to FILE, each\n"
    "                          refused entry fuzzy with the reason in a comment\n"
    "  -h, --help              show this help and exit\n"
    "      --version           show the version and exit\n"
    "\n"
    "One of -o, --bps, --ips and --refused may be -, standard output: the run's\n"
    "messages, its report among them, then go to standard error (-o - writes no\n"
    "report file).\n"
    "No two outputs (the report included) may be one file, and no output may be an\n"
    "input (IMAGE, -m, --po or a dump in DIR); an output that exists must be a\n"
    "regular file, not a link, a device, a FIFO, a socket or a folder.\n"
    "\n"
    "Every refusal is printed, in the order of the files, before anything is written.\n"
    "\n"
    "Exit status: 0 when every edit went in (or, with --check, can); 1 when nothing\n"
    "was written: the run failed, or refused an edit without --keep-going; 2 for a\n"
    "wrong command line; 3 when, with --keep-going or --check, some edits were\n"
    "refused and the rest went in (or can).\n";

const char* insert_usage_text() { return kUsage; }

namespace {

int wrong_command_line(const Failure& failure) {
  write_console(STDERR_FILENO,
                std::string(kProgram) + ": " + failure.text() + "\nTry 'ambergale-insert --help' for more information.\n");
  return kWrongCommandLine;
}

}  // namespace

int run_insert_tool(int argc, const char* const* argv) {
  InsertOptions options;
  if (Outcome failure = parse_insert_options(argc, argv, options)) return wrong_command_line(*failure);
  if (options.help) {
    write_console(STDOUT_FILENO, insert_usage_text());
    return 0;
  }
  if (options.version) {
    write_console(STDOUT_FILENO, std::string(kProgram) + " " + AMBERGALE_VERSION + "\n");
    return 0;
  }
  // The files are weighed before any is read.
  if (Outcome failure = check_output_names(options)) return wrong_command_line(*failure);
  if (!options.check) {
    if (Outcome failure = check_output_targets(options)) return fail(*failure);
  }
  try {
    return run(options);
  } catch (const std::bad_alloc&) {
    return fail(Failure{{}, "out of memory"});
  } catch (const std::length_error&) {
    return fail(Failure{{}, "out of memory"});
  }
}

}  // namespace ambergale
