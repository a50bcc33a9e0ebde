#include "insert/insert_run.hpp"

#include <algorithm>
#include <future>
#include <memory>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "dump/dumps.hpp"
#include "encode/message_encoder.hpp"
#include "insert/dictionary_edit.hpp"
#include "insert/edit_set.hpp"
#include "insert/patch.hpp"
#include "insert/script_edit.hpp"
#include "insert/script_lines.hpp"
#include "insert/sequential_edit.hpp"
#include "insert/word_list_edit.hpp"
#include "insert/word_list_map.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kWordList = 0;
constexpr std::size_t kSequential = 1;
constexpr std::size_t kDictionary = 2;
constexpr std::size_t kScripts = 3;

// Edited lines in UTF-8 are read as the Shift-JIS the dump converted from:
// each changed line's text is converted into `converted`, which it then views.
Outcome read_as_cp932(std::array<std::vector<ChangedLine>, 4>& changed, std::vector<std::string>& converted) {
  std::size_t lines = 0;
  for (const auto& dump : changed) lines += dump.size();
  if (lines == 0) return std::nullopt;
  const Utf8ToCp932 to_cp932;
  if (!to_cp932.available()) return Failure{{}, "the C library cannot convert UTF-8 to CP932"};
  converted.resize(lines);
  std::size_t next = 0;
  for (std::size_t d = 0; d < changed.size(); ++d) {
    for (ChangedLine& line : changed[d]) {
      std::size_t bad_at = 0;
      std::string& text = converted[next++];
      if (!to_cp932.convert(line.edited, text, bad_at)) {
        return Failure{std::string(kDumpFiles[d].name) + ":" + std::to_string(line.number),
                       "byte " + std::to_string(bad_at + 1) + " is not UTF-8, or starts a character Shift-JIS does not have"};
      }
      line.edited = text;
    }
  }
  return std::nullopt;
}

// The lines changed, and the unchanged lines the edits show anew.
void count_lines(const std::array<std::string, 4>& original, const std::array<std::string, 4>& expected,
                 const std::array<std::vector<ChangedLine>, 4>& changed, InsertReport& report) {
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    report.lines_changed[d] = changed[d].size();
    // Both lists are in line order.
    auto line = changed[d].begin();
    for (const std::size_t number : different_lines(original[d], expected[d])) {
      while (line != changed[d].end() && line->number < number) ++line;
      if (line == changed[d].end() || line->number != number) ++report.lines_reshown[d];
    }
  }
}

// The script dump the new image must give: the rewritten scripts listed
// from the units they now decode to. The dump reuses one buffer for the
// bytes of every script, so a later script whose listing reads past its own
// end may show rewritten bytes: such lines are the dump's artefacts.
Outcome expect_scripts(const Cartridge& cart, const Tables& tables, Encoding encoding, const ScriptEdits& edits,
                       const std::vector<ChangedLine>& changed, std::string& expected, InsertReport& report) {
  if (edits.expected.empty()) return std::nullopt;
  std::optional<Cp932ToUtf8> to_utf8;
  if (encoding == Encoding::utf8) to_utf8.emplace();
  if (!edits.replaced.empty()) {
    OutputBudget budget{~std::uint64_t{0}, 0};
    MemoryOutput out(kDumpFiles[kScripts].name, budget, TextFormat{to_utf8 ? &*to_utf8 : nullptr, true});
    dump_messcript_replacing(cart, tables, edits.replaced, out);
    out.hand_on();
    std::string redumped = out.take_contents();
    auto line = changed.begin();
    for (const std::size_t number : different_lines(expected, redumped)) {
      while (line != changed.end() && line->number < number) ++line;
      if (line == changed.end() || line->number != number) report.script_artefacts.push_back(number);
    }
    expected = std::move(redumped);
  }
  const std::vector<std::string_view> lines = split_lines(expected);
  for (const auto& [number, text] : edits.expected) {
    std::string shown;
    if (to_utf8) {
      to_utf8->convert(text, shown);
    } else {
      shown = text;
    }
    if (number > lines.size() || lines[number - 1] != shown) {
      return Failure{std::string(kDumpFiles[kScripts].name) + ":" + std::to_string(number),
                     "internal error: the rewritten script would not list this line as edited; nothing written"};
    }
  }
  return std::nullopt;
}

// Checks that `again`, the dump of the new image, is `expected`, that no
// byte changed outside the planned writes, and that both patches give the
// new image.
Outcome verify(const MemoryRun& again, const std::array<std::string, 4>& expected, std::span<const std::uint8_t> source,
               std::span<const std::uint8_t> target, const std::vector<PlannedWrite>& writes, const InsertResult& result) {
  if (again.failure) return Failure{{}, "internal error: the new image cannot be dumped: " + again.failure->text()};
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (again.dumps[d] != expected[d]) {
      return Failure{{}, std::string("internal error: the dump of the new image differs from the expected ") +
                             kDumpFiles[d].name + "; nothing written"};
    }
  }
  std::vector<bool> planned(target.size(), false);
  for (const PlannedWrite& write : writes) std::fill_n(planned.begin() + static_cast<std::ptrdiff_t>(write.offset), write.size, true);
  for (std::size_t at = first_difference(source, target, 0); at < target.size(); at = first_difference(source, target, at + 1)) {
    if (!planned[at]) return Failure{{}, "internal error: a byte outside the planned writes changed; nothing written"};
  }
  std::vector<std::uint8_t> applied;
  const auto gives_target = [&] { return std::equal(applied.begin(), applied.end(), target.begin(), target.end()); };
  if (Outcome failure = apply_ips(source, result.ips, applied); failure || !gives_target()) {
    return Failure{{}, "internal error: the IPS patch does not give the new image; nothing written"};
  }
  if (Outcome failure = apply_bps(source, result.bps, applied); failure || !gives_target()) {
    return Failure{{}, "internal error: the BPS patch does not give the new image; nothing written"};
  }
  return std::nullopt;
}

}  // namespace

Outcome run_insert(const InsertInputs& inputs, const InsertSettings& settings, InsertResult& result) {
  result = {};
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
  }
  Cartridge cart;
  cart.bytes = std::span(inputs.image_file).subspan(frame.offset, frame.size);
  const Tables& tables = *original.tables;  // the image's own, as its dump built them
  std::vector<ScriptLine> script_lines;
  if (!changed[kScripts].empty()) {
    script_lines = map_script_lines(cart, tables);
    if (Outcome failure = check_script_lines(script_lines, split_lines(original.dumps[kScripts]).size(), changed[kScripts])) {
      return failure;
    }
  }
  const bool utf8 = settings.encoding == Encoding::utf8;
  std::vector<std::string> converted;
  if (utf8) {
    if (Outcome failure = read_as_cp932(changed, converted)) return failure;
  }

  result.image_file = inputs.image_file;
  const std::span<const std::uint8_t> source = cart.bytes;
  const std::span<std::uint8_t> target = std::span(result.image_file).subspan(frame.offset, frame.size);
  std::array<std::string, 4> expected;
  std::vector<PlannedWrite> writes;
  InsertReport& report = result.report;
  const bool word_lists = !changed[kWordList].empty() || !settings.free.empty();
  // The dictionary the new image holds: the image's own, or as edited.
  auto edited_dictionary = std::make_unique<Dictionary>();
  const Dictionary* dictionary = &tables.dictionary;
  // The dumps with the dictionary as edited are made on a thread of their
  // own while the word lists are edited.
  std::future<MemoryRun> amended;
  if (!changed[kDictionary].empty()) {
    std::vector<CodeStream> decoded;
    DictionaryEdits edits;
    if (Outcome failure = insert_dictionary_edits(cart, tables, settings.newline, changed[kDictionary], target, decoded,
                                                  *edited_dictionary, edits)) {
      return failure;
    }
    // Every line that shows an edited entry, in all four dumps, is the
    // image's own dump with the dictionary as edited.
    amended = std::async(std::launch::async, [&inputs, &dump, decoded = std::move(decoded)] {
      return run_in_memory(inputs.image_file, inputs.opcode_file, dump, true,
                           [&](Tables& amend) { build_dictionary_from(decoded, amend.dictionary); });
    });
    dictionary = edited_dictionary.get();
    report.entries_in_place = edits.in_place;
    report.entries_laid_out = edits.laid_out;
    report.dictionary_end_before = edits.end_before;
    report.dictionary_end_after = edits.end_after;
    writes = std::move(edits.writes);
  }
  // The changed lines of each dump as the dump will write them.
  std::array<std::vector<std::pair<std::size_t, std::string>>, 4> lines_written;
  ScriptEdits scripts;
  if (word_lists || !changed[kSequential].empty() || !changed[kScripts].empty()) {
    const WordListMap map = map_word_lists(cart, tables);
    if (Outcome failure = check_declared_ranges(map, settings.free)) return failure;
    const auto coder = std::make_unique<encode::MessageCoder>(encode::make_message_coder(tables.text_trees, *dictionary));
    const LineDictionaries dictionaries{tables.dictionary, *dictionary};
    SequentialEdits sequential;
    if (Outcome failure = insert_sequential_edits(map.block, dictionaries, *coder, settings.newline, changed[kSequential],
                                                  target, sequential)) {
      return failure;
    }
    lines_written[kSequential] = std::move(sequential.expected);
    report.sequential_rewritten = sequential.rewritten.size();
    writes.insert(writes.end(), sequential.writes.begin(), sequential.writes.end());
    WordListEdits edits;
    if (Outcome failure = insert_word_list_edits(cart, map, dictionaries, *coder, settings.newline, settings.free,
                                                 sequential.rewritten, changed[kWordList], target, edits)) {
      return failure;
    }
    lines_written[kWordList] = std::move(edits.expected);
    report.messages_in_place = edits.in_place;
    report.messages_moved = edits.moved;
    report.messages_copied = edits.copied;
    report.free_before = edits.free_before;
    report.free_after = edits.free_after;
    writes.insert(writes.end(), edits.writes.begin(), edits.writes.end());
    if (Outcome failure = insert_script_edits(cart, tables, script_lines, dictionaries, *coder, settings.newline,
                                              changed[kScripts], target, scripts)) {
      return failure;
    }
    report.script_messages_rewritten = scripts.messages;
    report.script_blocks_recompressed = scripts.blocks;
    report.script_most_tries = scripts.most_tries;
    writes.insert(writes.end(), scripts.writes.begin(), scripts.writes.end());
  }
  // The tables the new image's dumps are made with.
  std::shared_ptr<const Tables> expected_tables = original.tables;
  if (amended.valid()) {
    MemoryRun run = amended.get();
    if (run.failure) return Failure(*run.failure).about(inputs.image_name);
    expected = std::move(run.dumps);
    expected_tables = run.tables;
  } else {
    expected = original.dumps;
  }
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (lines_written[d].empty()) continue;
    if (utf8) {
      const Cp932ToUtf8 to_utf8;
      for (auto& [number, text] : lines_written[d]) {
        std::string line;
        to_utf8.convert(text, line);
        text = std::move(line);
      }
    }
    expected[d] = with_lines(expected[d], lines_written[d]);
  }
  for (const PlannedWrite& write : writes) report.bytes_written += write.size;
  count_lines(original.dumps, expected, changed, report);
  if (Outcome failure = expect_scripts(cart, *expected_tables, settings.encoding, scripts, changed[kScripts],
                                       expected[kScripts], report)) {
    return failure;
  }
  // No changed byte, no byte written: the checksum follows the edits only.
  if (!std::equal(source.begin(), source.end(), target.begin())) {
    result.report.checksum_rewritten = apply_checksum_policy(settings.checksum, source, target);
    writes.push_back({header_checksum_offset(), 4});
  }
  // An image left as it was dumps as it did: only a changed one is dumped
  // again, on a thread of its own while the patches are made.
  std::future<MemoryRun> again;
  const bool image_changed = !std::equal(source.begin(), source.end(), target.begin());
  if (image_changed) {
    again = std::async(std::launch::async, [&] { return run_in_memory(result.image_file, inputs.opcode_file, dump, true); });
  }
  result.ips = make_ips(source, target);
  result.bps = make_bps(source, target);
  const MemoryRun dumped = image_changed ? again.get() : MemoryRun{};
  return verify(image_changed ? dumped : original, expected, source, target, writes, result);
}

std::string report_text(const InsertReport& report) {
  std::string text = "lines changed:";
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    text += std::string(d == 0 ? " " : ", ") + kDumpFiles[d].name + " " + std::to_string(report.lines_changed[d]);
  }
  text += "\n";
  std::size_t reshown = 0;
  for (const std::size_t count : report.lines_reshown) reshown += count;
  if (reshown > 0) {
    text += "unchanged lines that show an edited dictionary entry:";
    for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
      text += std::string(d == 0 ? " " : ", ") + kDumpFiles[d].name + " " + std::to_string(report.lines_reshown[d]);
    }
    text += "\n";
  }
  if (report.lines_changed[1] > 0) {
    text += "sequential-block messages: " + std::to_string(report.sequential_rewritten) +
            " rewritten at their lengths (the others read as they did and keep their bits)\n";
  }
  if (report.lines_changed[3] > 0) {
    text += "script messages rewritten at their lengths: " + std::to_string(report.script_messages_rewritten) +
            " (the others read as they did and keep their bits); blocks compressed again at theirs: " +
            std::to_string(report.script_blocks_recompressed) + "; byte strings tried by the longest search: " +
            std::to_string(report.script_most_tries) + "\n";
  }
  if (!report.script_artefacts.empty()) {
    text += "lines of " + std::string(kDumpFiles[kScripts].name) + " that show rewritten script bytes without being edited: " +
            std::to_string(report.script_artefacts.size()) +
            " (artefacts of the dump, not of the game: its listing reads them as an instruction's bytes or past a script's"
            " end, from the one buffer it keeps for every script):";
    const std::size_t shown = std::min<std::size_t>(report.script_artefacts.size(), 20);
    for (std::size_t k = 0; k < shown; ++k) text += " " + std::to_string(report.script_artefacts[k]);
    text += report.script_artefacts.size() > shown ? " ...\n" : "\n";
  }
  if (report.messages_in_place + report.messages_moved + report.messages_copied > 0 || report.free_before > 0) {
    text += "word-list messages: " + std::to_string(report.messages_in_place) + " in their own bytes, " +
            std::to_string(report.messages_moved) + " moved (their pointer words rewritten)" +
            (report.messages_copied > 0 ? ", " + std::to_string(report.messages_copied) +
                                              " unchanged ones copied out of rewritten bytes\n"
                                        : "\n");
    text += "bank " + bank_text(cartridge_map::kMessageBank) + " free for moved messages: " + std::to_string(report.free_before) + " bytes, " +
            std::to_string(report.free_before - report.free_after) + " used, " + std::to_string(report.free_after) + " left\n";
  }
  if (report.entries_in_place + report.entries_laid_out > 0) {
    using cartridge_map::kDictionaryEnd;
    const int bank = cartridge_map::kDictionaryPointers.bank;
    text += "dictionary entries: " + std::to_string(report.entries_in_place) + " in their own slots, " +
            std::to_string(report.entries_laid_out) + " laid out again\n";
    text += "dictionary up to " + address_text(bank, kDictionaryEnd) + ": the last entry ended at " +
            address_text(bank, report.dictionary_end_before) + " (" + std::to_string(kDictionaryEnd - report.dictionary_end_before) +
            " bytes left) and ends at " + address_text(bank, report.dictionary_end_after) + " (" +
            std::to_string(kDictionaryEnd - report.dictionary_end_after) + " bytes left)\n";
  }
  text += "image bytes rewritten: " + std::to_string(report.bytes_written) +
          (report.checksum_rewritten ? ", and the header checksum\n" : "\n");
  return text;
}

}  // namespace ambergale
