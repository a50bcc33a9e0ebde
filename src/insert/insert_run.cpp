#include "insert/insert_run.hpp"

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>
#include <set>

#include "cartridge/cartridge_map.hpp"
#include "dump/dumps.hpp"
#include "encode/character_room.hpp"
#include "encode/message_encoder.hpp"
#include "insert/dictionary_edit.hpp"
#include "insert/edit_set.hpp"
#include "insert/image_writer.hpp"
#include "insert/patch.hpp"
#include "insert/rebuild.hpp"
#include "insert/script_edit.hpp"
#include "insert/script_layout.hpp"
#include "insert/script_offsets.hpp"
#include "insert/sequential_edit.hpp"
#include "insert/sequential_relayout.hpp"
#include "insert/word_list_edit.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kWordList = 0;
constexpr std::size_t kSequential = 1;
constexpr std::size_t kDictionary = 2;
constexpr std::size_t kScripts = 3;

// The plan of a run and what it needs besides: the dictionary the new image
// holds, and the dumps it gives, made on a thread of their own. A rebuild
// plans every text line (`lines`) with the tables it chose (`rebuilt`).
struct Planned {
  explicit Planned(std::span<const std::uint8_t> image) : plan(image) {}
  InsertPlan plan;
  std::unique_ptr<Dictionary> dictionary = std::make_unique<Dictionary>();
  std::future<MemoryRun> amended;
  std::optional<OffsetTable> offsets;  // when script messages may change length
  std::optional<Rebuilt> rebuilt;
  ChangeSet lines;
  std::shared_ptr<const Tables> written_tables;  // the new image's, once the dumps are expected
};

// The dumps of the image with its dictionary as `plan` leaves it, and the
// trees a rebuild chose, on a thread.
std::future<MemoryRun> dump_with_tables(const OriginalImage& original, std::vector<CodeStream> decoded,
                                        const encode::RebuiltTables* rebuilt) {
  return std::async(std::launch::async, [&original, decoded = std::move(decoded), rebuilt] {
    return run_in_memory(original.file, original.opcode_file, compared_dumps(original.encoding), true, [&](Tables& amend) {
      if (rebuilt) {
        amend.text_trees = rebuilt->text_trees;
        amend.dict_trees = rebuilt->dict_trees;
      }
      build_dictionary_from(decoded, amend.dictionary);
    });
  });
}

// The changes of items the plan has not refused yet: an item refused in one
// dump (an entry shown by word lists and the sequential block) is not
// planned, nor refused again, in the next.
std::vector<Change> not_refused(std::span<const Change> changes, const InsertPlan& plan) {
  std::set<ItemKey> refused;
  for (const Refusal& refusal : plan.refusals()) refused.insert(refusal.item);
  std::vector<Change> kept;
  std::copy_if(changes.begin(), changes.end(), std::back_inserter(kept),
               [&](const Change& change) { return refused.count(item_of(change.origin)) == 0; });
  return kept;
}

// The texts of the word lists, the sequential block and the scripts; the
// sequential block before the word lists, whose messages may lie in it.
void plan_texts(const ImageView& image, const LineCoding& coding, const ChangeSet& changes, InsertPlan& plan) {
  // Kept to the end of planning: the plan points into what it planned.
  const std::vector<Change> sequential = not_refused(changes[kSequential], plan);
  if (image.settings.relayout) {
    plan_sequential_relayout(image, coding, sequential, changes[kWordList], plan);
  } else {
    plan_sequential_edits(image, coding, sequential, plan);
  }
  const std::vector<Change> word_lists = not_refused(changes[kWordList], plan);
  plan_word_list_edits(image, coding, word_lists, plan);
  const std::vector<Change> scripts = not_refused(changes[kScripts], plan);
  plan_script_edits(image, coding, scripts, plan);
}

// Every text line planned with the tables `rebuilt` holds: each line's units
// read as the image's own tables read it (`reading`), so a character with
// several codes keeps the code the choice counted.
void plan_with_tables(const ImageView& image, const LineCoding& reading, const ChangeSet& lines, InsertPlan& plan,
                      const Rebuilt& rebuilt) {
  const Tables& tables = image.tables;
  const LineCoding coding{{tables.dictionary, *rebuilt.dictionary}, *rebuilt.coder, image.settings.newline, "rebuilt text trees",
                          &reading.coder};
  plan_texts(image, coding, lines, plan);
  plan.counts.rebuild = rebuilt.figures;
}

// How far a plan is from going in: its refusals of lines the user did not
// change (no leaving out mends those), then all of them.
std::pair<std::size_t, std::size_t> shortfall(const InsertPlan& plan) {
  const std::vector<Refusal> refusals = plan.refusals();
  return {static_cast<std::size_t>(std::count_if(refusals.begin(), refusals.end(),
                                                 [](const Refusal& refusal) { return untouched_line(refusal.item); })),
          refusals.size()};
}

// Choices of tables a rebuild tries: the first without aliases, which
// compresses best; each later one with aliases for the units of the script
// messages whose blocks could not end where a word does before.
constexpr int kTableChoices = 3;

// Every text line planned with tables chosen for the new text: the choice
// with the fewest refusals, the earliest of equals; a later choice that
// cannot be made leaves the earlier ones.
Outcome plan_rebuild(const OriginalImage& original, const ChangeSet& changes, const ImageView& image, Planned& planned) {
  const Tables& tables = image.tables;
  const auto own = std::make_unique<encode::MessageCoder>(encode::make_message_coder(tables.text_trees, tables.dictionary));
  const LineCoding reading{{tables.dictionary, tables.dictionary}, *own, image.settings.newline, "text trees"};
  planned.lines = every_text_line(original, changes);
  RebuildSource source;
  if (Outcome failure = read_rebuild_source(image, reading, planned.lines, source)) return failure;
  std::vector<std::uint16_t> wanted;
  for (int choice = 0; choice < kTableChoices; ++choice) {
    InsertPlan plan(image.cart.bytes);
    Rebuilt rebuilt;
    if (Outcome failure = plan_rebuilt_tables(image, source, wanted, plan, rebuilt)) {
      // Aliases take entries: a later choice may not hold the text where the first did.
      if (choice == 0) return failure;
      break;
    }
    plan_with_tables(image, reading, planned.lines, plan, rebuilt);
    if (Outcome overrun = plan.overrun()) return overrun;
    const std::set<std::uint16_t> unclosed = plan.unclosed_units;
    if (choice == 0 || shortfall(plan) < shortfall(planned.plan)) {
      planned.plan = std::move(plan);
      planned.rebuilt = std::move(rebuilt);
    }
    if (std::includes(wanted.begin(), wanted.end(), unclosed.begin(), unclosed.end())) break;
    std::vector<std::uint16_t> more;
    std::set_union(wanted.begin(), wanted.end(), unclosed.begin(), unclosed.end(), std::back_inserter(more));
    wanted = std::move(more);
  }
  return std::nullopt;
}

// The plan: the dictionary first, since the others write with it; the
// sequential block before the word lists, whose messages may lie in it.
Outcome make_plan(const OriginalImage& original, const ChangeSet& changes, const InsertSettings& settings, Planned& planned) {
  const Cartridge cart = original.cart();
  const Tables& tables = *original.dump.tables;
  if (!changes[kScripts].empty() && original.map.script_lines.size() != split_lines(original.dump.dumps[kScripts]).size()) {
    return Failure{kDumpFiles[kScripts].name, "internal error: the map of the script dump has " +
                                                  std::to_string(original.map.script_lines.size()) + " lines, the dump another number; nothing written"};
  }
  if (Outcome failure = check_script_ranges(cart, settings.free, settings.relayout)) return failure;
  std::vector<DeclaredRange> for_messages;
  std::copy_if(settings.free.begin(), settings.free.end(), std::back_inserter(for_messages),
               [](const DeclaredRange& free) { return script_group_of(free) == nullptr; });
  if (Outcome failure = check_declared_ranges(original.map, for_messages)) return failure;
  if (settings.relayout && settings.script_offsets == ScriptOffsets::declared) {
    planned.offsets.emplace();
    if (Outcome failure = parse_offset_declarations(original.opcode_file, tables.opcodes, *planned.offsets)) {
      return failure->about("the opcode file");
    }
  }
  const ImageView image{cart, tables, original.map, settings, planned.offsets ? &*planned.offsets : nullptr};
  if (settings.rebuild) return plan_rebuild(original, changes, image, planned);
  InsertPlan& plan = planned.plan;
  const Dictionary* dictionary = &tables.dictionary;
  if (!changes[kDictionary].empty()) {
    plan_dictionary_edits(image, changes[kDictionary], plan, *planned.dictionary);
    if (plan.overrun()) return plan.overrun();
    // A refused dictionary is not written: the other texts are then planned
    // with the image's own, so that their refusals are known too.
    if (!plan.refused()) dictionary = planned.dictionary.get();
  }
  if (changes[kWordList].empty() && changes[kSequential].empty() && changes[kScripts].empty() && settings.free.empty()) {
    return std::nullopt;
  }
  const auto coder = std::make_unique<encode::MessageCoder>(encode::make_message_coder(tables.text_trees, *dictionary));
  plan_texts(image, {{tables.dictionary, *dictionary}, *coder, settings.newline, "text trees"}, changes, plan);
  return plan.overrun();
}

// The lines changed, and the unchanged lines the edits show anew.
void count_lines(const std::array<std::string, 4>& original, const std::array<std::string, 4>& expected,
                 const ChangeSet& changes, InsertReport& report) {
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    report.lines_changed[d] = changes[d].size();
    // Both lists are in line order.
    auto change = changes[d].begin();
    const std::vector<std::string_view> before = split_lines(original[d]), after = split_lines(expected[d]);
    for (const std::size_t number : different_lines(original[d], expected[d])) {
      while (change != changes[d].end() && change->number < number) ++change;
      if (change != changes[d].end() && change->number == number) continue;
      // A message of the sequential block that only moved reads as it did.
      const auto text = [](std::string_view line) { return line.substr(line.find(']') + 1); };
      if (d == kSequential && text(before[number - 1]) == text(after[number - 1])) continue;
      ++report.lines_reshown[d];
    }
  }
}

// The changed lines as the dump writes them, in its encoding.
std::vector<std::pair<std::size_t, std::string>> lines_as_dumped(const InsertPlan& plan, std::size_t d, Encoding encoding) {
  std::vector<std::pair<std::size_t, std::string>> lines = plan.lines()[d];
  std::sort(lines.begin(), lines.end());
  if (encoding != Encoding::utf8) return lines;
  const Cp932ToUtf8 to_utf8;
  for (auto& [number, text] : lines) {
    std::string line;
    to_utf8.convert(text, line);
    text = std::move(line);
  }
  return lines;
}

// The script dump the new image must give: the rewritten scripts listed
// from the units they now decode to, every script where the draft puts it.
std::string redump_scripts(const OriginalImage& original, const Tables& tables, const InsertPlan& plan) {
  std::optional<Cp932ToUtf8> to_utf8;
  if (original.encoding == Encoding::utf8) to_utf8.emplace();
  OutputBudget budget{~std::uint64_t{0}, 0};
  MemoryOutput out(kDumpFiles[kScripts].name, budget, TextFormat{to_utf8 ? &*to_utf8 : nullptr, true});
  dump_messcript_replacing(plan.draft_cartridge(), tables, plan.scripts_replaced, out);
  out.hand_on();
  return out.take_contents();
}

// The dump reuses one buffer for the bytes of every script, so a later
// script whose listing reads past its own end may show rewritten bytes:
// such lines, unedited, are the dump's artefacts. The header of a moved
// block's script is no artefact.
void note_artefacts(std::string_view before, std::string_view after, std::span<const ScriptLine> lines,
                    std::span<const Change> changes, InsertReport& report) {
  auto change = changes.begin();
  for (const std::size_t number : different_lines(before, after)) {
    while (change != changes.end() && change->number < number) ++change;
    if (number <= lines.size() && lines[number - 1].kind == ScriptLine::Kind::header) continue;
    if (change == changes.end() || change->number != number) report.script_artefacts.push_back(number);
  }
}

// Every line the plan expects of a rewritten script is listed so.
Outcome check_listed(const InsertPlan& plan, Encoding encoding, std::string_view expected) {
  const std::vector<std::string_view> listed = split_lines(expected);
  for (const auto& [number, text] : lines_as_dumped(plan, kScripts, encoding)) {
    if (number <= listed.size() && listed[number - 1] == text) continue;
    return Failure::at(kDumpFiles[kScripts].name, number, 0,
                       "internal error: the rewritten script would not list this line as edited; nothing written");
  }
  return std::nullopt;
}

// The dumps the new image must give, from the plan.
Outcome expect_dumps(const OriginalImage& original, const ChangeSet& changes, Planned& planned,
                     std::array<std::string, 4>& expected, InsertReport& report) {
  std::shared_ptr<const Tables> tables = original.dump.tables;
  expected = original.dump.dumps;
  if (planned.amended.valid()) {
    MemoryRun run = planned.amended.get();
    if (run.failure) return Failure(*run.failure).about(original.name);
    // With rebuilt trees the image's old bytes mean nothing: every text
    // line is expected from the plan, over the dumps as they were.
    if (planned.rebuilt) {
      expected[kDictionary] = std::move(run.dumps[kDictionary]);
    } else {
      expected = std::move(run.dumps);
    }
    tables = run.tables;
  }
  planned.written_tables = tables;
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    const auto lines = lines_as_dumped(planned.plan, d, original.encoding);
    if (!lines.empty()) expected[d] = with_lines(expected[d], lines);
  }
  count_lines(original.dump.dumps, expected, changes, report);
  // Every entry of a chosen dictionary is new: none is an edit shown anew.
  if (planned.rebuilt) report.lines_reshown[kDictionary] = 0;
  if (planned.plan.scripts_replaced.empty()) return std::nullopt;
  std::string redumped = redump_scripts(original, *tables, planned.plan);
  // A rebuild writes every script again: every line that differs is new.
  if (!planned.rebuilt) note_artefacts(expected[kScripts], redumped, original.map.script_lines, changes[kScripts], report);
  expected[kScripts] = std::move(redumped);
  return check_listed(planned.plan, original.encoding, expected[kScripts]);
}

// Checks that `again`, the dump of the new image, is `expected`, and that
// both patches give the new image.
Outcome verify(const MemoryRun& again, const std::array<std::string, 4>& expected, std::span<const std::uint8_t> source,
               std::span<const std::uint8_t> target, const InsertResult& result) {
  if (again.failure) return Failure{{}, "internal error: the new image cannot be dumped: " + again.failure->text()};
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    if (again.dumps[d] != expected[d]) {
      return Failure{{}, std::string("internal error: the dump of the new image differs from the expected ") +
                             kDumpFiles[d].name + "; nothing written"};
    }
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

// Writes the plan into a copy of the original file, makes the patches and
// proves them and the new image. An image left as it was dumps as it did:
// only a changed one is dumped again, on a thread of its own while the
// patches are made.
Outcome write_and_verify(const OriginalImage& original, const Planned& planned, const InsertSettings& settings,
                         const std::array<std::string, 4>& expected, InsertResult& result) {
  const InsertPlan& plan = planned.plan;
  result.image_file = original.file;
  const std::span<const std::uint8_t> source = original.cart().bytes;
  const std::span<std::uint8_t> target = std::span(result.image_file).subspan(original.frame.offset, original.frame.size);
  if (Outcome failure = write_plan(plan, settings.checksum, source, target, result.report.checksum_rewritten)) return failure;
  for (const Extent& write : plan.writes()) result.report.bytes_written += write.size;
  std::future<MemoryRun> again;
  const bool changed = !std::equal(source.begin(), source.end(), target.begin());
  if (changed) {
    again = std::async(std::launch::async, [&] {
      return run_in_memory(result.image_file, original.opcode_file, compared_dumps(original.encoding), true);
    });
  }
  result.ips = make_ips(source, target);
  result.bps = make_bps(source, target);
  if (Outcome failure = verify(changed ? again.get() : original.dump, expected, source, target, result)) return failure;
  if (!planned.offsets) return std::nullopt;
  const Cartridge after{target, {}};
  return prove_script_offsets({original.cart(), *original.dump.tables}, {after, *planned.written_tables}, plan.scripts_replaced,
                              *planned.offsets);
}

// Leaves out of `changes` every change of a refused item; returns how many.
std::size_t leave_out(const std::vector<Refusal>& refusals, ChangeSet& changes) {
  std::set<ItemKey> refused;
  for (const Refusal& refusal : refusals) refused.insert(refusal.item);
  std::size_t left = 0;
  for (std::vector<Change>& dump : changes) {
    const auto kept_end = std::remove_if(dump.begin(), dump.end(),
                                         [&](const Change& change) { return refused.count(item_of(change.origin)) > 0; });
    left += static_cast<std::size_t>(dump.end() - kept_end);
    dump.erase(kept_end, dump.end());
  }
  return left;
}

// Refusals of lines a rebuild writes as they were, and none of the user's
// items: leaving nothing out can mend that. `left_out` items were left out
// before: their old text, written with tables chosen for the new one, may
// take more room than their translation did.
Outcome untouched_refused(const std::vector<Refusal>& refusals, std::size_t left_out) {
  const auto untouched = [](const Refusal& refusal) { return untouched_line(refusal.item); };
  const auto first = std::find_if(refusals.begin(), refusals.end(), untouched);
  if (first == refusals.end() || !std::all_of(refusals.begin(), refusals.end(), untouched)) return std::nullopt;
  Failure failure = first->failure;
  failure.reason = "this line is not changed, yet the rebuilt tables cannot write it: " + failure.reason;
  if (left_out > 0) {
    failure.reason += " (after " + encode::counted(left_out, "refused item") +
                      " went back to their old text, which takes more room than the translations: shorten those instead)";
  }
  return failure;
}

// A plan of `changes` without refusals. Without keep_going, the first plan
// and its refusals; with it, refused items are left out of `changes` and the
// rest planned again, so that what depended on them (lines sharing their
// storage, lines showing a dictionary entry they edit) is judged without
// them, until nothing is refused.
Outcome plan_accepted(const OriginalImage& original, ChangeSet& changes, const InsertSettings& settings,
                      std::unique_ptr<Planned>& planned, std::vector<Refusal>& refusals) {
  for (;;) {
    planned = std::make_unique<Planned>(original.cart().bytes);
    if (Outcome failure = make_plan(original, changes, settings, *planned)) return failure;
    if (!planned->plan.refused()) break;
    std::vector<Refusal> found = planned->plan.refusals();
    if (Outcome failure = untouched_refused(found, refusals.size())) return failure;
    // The user's items left out may make room for the lines a rebuild
    // writes as they were; those are no item of the user's to report.
    std::erase_if(found, [](const Refusal& refusal) { return untouched_line(refusal.item); });
    refusals.insert(refusals.end(), found.begin(), found.end());
    if (!settings.keep_going) return std::nullopt;
    if (leave_out(found, changes) == 0) {
      return Failure{{}, "internal error: a refusal names no change of this run; nothing written"};
    }
  }
  std::stable_sort(refusals.begin(), refusals.end());
  if (!planned->plan.dictionary.empty()) {
    planned->amended = dump_with_tables(original, planned->plan.dictionary, planned->rebuilt ? &planned->rebuilt->tables : nullptr);
  }
  return std::nullopt;
}

}  // namespace

Outcome run_insert(const OriginalImage& original, const ChangeSet& changes, const InsertSettings& settings,
                   InsertResult& result) {
  result = {};
  ChangeSet kept = changes;
  // A chosen dictionary is new: an edit of an entry of the old one means nothing to it.
  const std::size_t entry_edits = settings.rebuild ? kept[kDictionary].size() : 0;
  if (settings.rebuild) kept[kDictionary].clear();
  std::unique_ptr<Planned> planned;
  if (Outcome failure = plan_accepted(original, kept, settings, planned, result.refusals)) return failure;
  if (!result.refusals.empty() && !settings.keep_going) return std::nullopt;
  result.report.counts = planned->plan.counts;
  if (auto& rebuild = result.report.counts.rebuild) rebuild->entry_edits_left_out = entry_edits;
  std::array<std::string, 4> expected;
  if (Outcome failure = expect_dumps(original, kept, *planned, expected, result.report)) return failure;
  return write_and_verify(original, *planned, settings, expected, result);
}

Outcome insert_edited_dumps(const InsertInputs& inputs, const InsertSettings& settings, InsertResult& result) {
  OriginalImage original{inputs.image_file, inputs.image_name, inputs.opcode_file, inputs.encoding, {}, {}, {}};
  if (Outcome failure = load_original(original)) return failure;
  ChangeSet changes;
  if (Outcome failure = changes_from_dumps(original.dump.dumps, inputs.edited, inputs.encoding, changes)) return failure;
  if (!changes[kScripts].empty() || settings.rebuild) map_scripts(original);
  if (Outcome failure = run_insert(original, changes, settings, result)) return failure;
  if (!result.refusals.empty() && !settings.keep_going) return result.refusals.front().failure;
  return std::nullopt;
}

namespace {

// The first of a list, and how many more.
constexpr std::size_t kMostListed = 20;

std::string moved_text(const std::vector<MovedMessage>& moved, std::size_t dump = kWordList) {
  if (moved.empty()) return {};
  std::string text = "moved:";
  const int bank = cartridge_map::kMessageBank;
  for (std::size_t k = 0; k < moved.size() && k < kMostListed; ++k) {
    text += std::string(k == 0 ? " " : ", ") + kDumpFiles[dump].name + " line " + std::to_string(moved[k].line) + " " +
            address_text(bank, moved[k].from) + " -> " + address_text(bank, moved[k].to);
  }
  if (moved.size() > kMostListed) text += ", and " + std::to_string(moved.size() - kMostListed) + " more";
  return text + "\n";
}

// The sequential block laid out again: what moved, and what the dump
// cannot see.
std::string sequential_relaid_text(const PlanCounts& counts) {
  if (counts.sequential_end_after == 0) return {};
  const int bank = cartridge_map::kMessageBank;
  std::string text = "sequential block laid out again: " + std::to_string(counts.sequential_rewritten) + " messages rewritten, " +
                     std::to_string(counts.sequential_moved.size()) + " moved";
  if (!counts.sequential_moved.empty()) text += ", the first from " + address_text(bank, counts.sequential_moved.front().from);
  text += "; its last message ended at " + address_text(bank, counts.sequential_end_before) + " and ends at " +
          address_text(bank, counts.sequential_end_after);
  if (counts.sequential_end_shortest < counts.sequential_end_after) {
    text += " (" + std::to_string(counts.sequential_end_after - counts.sequential_end_shortest) +
            " bytes of longer spellings: at their shortest it would have ended at " + address_text(bank, counts.sequential_end_shortest) + ")";
  }
  text += "\n";
  if (counts.sequential_other_codes > 0) {
    text += "warning: " + std::to_string(counts.sequential_other_codes) +
            " characters of the sequential block were written by another of their codes to lengthen it; the dump shows "
            "them alike, but the game may not\n";
  }
  if (counts.sequential_moved.empty()) return text;
  return text + moved_text(counts.sequential_moved, kSequential) +
         "warning: moved sequential-block messages may be addressed from places the dump does not know (game code, script "
         "operands, tables it never reads): only the word-list pointers were rewritten\n";
}

// The script groups laid out again, and where each starts now.
std::string script_groups_text(const PlanCounts& counts) {
  if (counts.script_groups.empty()) return {};
  std::string text = "script groups laid out again: " + std::to_string(counts.script_groups.size()) + ", " +
                     std::to_string(counts.script_blocks_moved) + " blocks moved (their pointers rewritten):";
  for (std::size_t k = 0; k < counts.script_groups.size(); ++k) {
    const RelaidGroup& group = counts.script_groups[k];
    const int freed = group.to - group.from;
    text += std::string(k == 0 ? " " : ", ") + "first block " + address_text(group.bank, group.from) + " -> " +
            address_text(group.bank, group.to) +
            (freed >= 0 ? " (" + std::to_string(freed) + " bytes freed before it)" : " (" + std::to_string(-freed) + " bytes of --free taken)");
  }
  return text + "\n";
}

// Script messages rewritten, and how their blocks were compressed again.
std::string script_messages_text(const InsertReport& report) {
  if (report.lines_changed[3] == 0) return {};
  const PlanCounts& counts = report.counts;
  if (counts.script_messages_resized > 0) {
    return "script messages rewritten: " + std::to_string(counts.script_messages_rewritten) + ", " +
           std::to_string(counts.script_messages_resized) + " of them at new lengths; their blocks compressed again: " +
           std::to_string(counts.script_blocks_recompressed) + "\n";
  }
  const std::string rewritten = "script messages rewritten at their lengths: " + std::to_string(counts.script_messages_rewritten);
  if (!counts.script_groups.empty()) {
    return rewritten + "; their blocks compressed again at new lengths: " + std::to_string(counts.script_blocks_recompressed) + "\n";
  }
  return rewritten + " (the others read as they did and keep their bits); blocks compressed again at theirs: " +
         std::to_string(counts.script_blocks_recompressed) + "; byte strings tried by the longest search: " +
         std::to_string(counts.script_most_tries) + "\n";
}

// The declared offsets moved along with script messages that changed
// length, and those left as they were.
std::string script_offsets_text(const PlanCounts& counts) {
  if (counts.script_messages_resized == 0) return {};
  std::size_t moved = 0;
  for (const ScriptOffsetCount& script : counts.script_offsets_rewritten) moved += script.rewritten;
  std::string text = "script offsets moved along: " + std::to_string(moved) + " in " +
                     encode::counted(counts.script_offsets_rewritten.size(), "script");
  const auto& rewritten = counts.script_offsets_rewritten;
  for (std::size_t k = 0; k < rewritten.size() && k < kMostListed; ++k) {
    text += std::string(k == 0 ? ": " : ", ") + "script " + hex_text(static_cast<std::uint32_t>(rewritten[k].script), 4) + " " +
            std::to_string(rewritten[k].rewritten);
  }
  if (rewritten.size() > kMostListed) text += ", and " + std::to_string(rewritten.size() - kMostListed) + " more";
  text += "\n";
  const auto& left = counts.script_offsets_left;
  if (!left.empty()) text += "script offsets left as they were: " + std::to_string(left.size()) + "\n";
  for (std::size_t k = 0; k < left.size() && k < kMostListed; ++k) {
    text += "  script " + hex_text(static_cast<std::uint32_t>(left[k].script), 4) + ", instruction at " +
            hex_text(static_cast<std::uint32_t>(left[k].instruction), 4) +
            (left[k].line > 0 ? " (line " + std::to_string(left[k].line) + ")" : "") + ": " + left[k].reason + "\n";
  }
  if (left.size() > kMostListed) text += "  and " + std::to_string(left.size() - kMostListed) + " more\n";
  return text +
         "warning: only the offsets the opcode file declares were moved; a script holding an undeclared one is broken "
         "where its messages changed length\n";
}

// Word-list messages in place, moved and copied, and the free bytes of bank FB.
std::string word_list_text(const PlanCounts& counts) {
  if (counts.messages_in_place + counts.messages_moved + counts.messages_copied == 0 && counts.free_before == 0) return {};
  std::string text = "word-list messages: " + std::to_string(counts.messages_in_place) + " in their own bytes, " +
                     std::to_string(counts.messages_moved) + " moved (their pointer words rewritten)" +
                     (counts.messages_copied > 0
                          ? ", " + std::to_string(counts.messages_copied) + " unchanged ones copied out of rewritten bytes\n"
                          : "\n");
  text += moved_text(counts.moved);
  return text + "bank " + bank_text(cartridge_map::kMessageBank) + " free for moved messages: " + std::to_string(counts.free_before) +
         " bytes, " + std::to_string(counts.free_before - counts.free_after) + " used, " + std::to_string(counts.free_after) + " left\n";
}

// Dictionary entries in their slots or laid out again, and the room left.
std::string dictionary_text(const PlanCounts& counts) {
  if (counts.entries_in_place + counts.entries_laid_out == 0) return {};
  using cartridge_map::kDictionaryEnd;
  const int bank = cartridge_map::kDictionaryPointers.bank;
  return "dictionary entries: " + std::to_string(counts.entries_in_place) + " in their own slots, " +
         std::to_string(counts.entries_laid_out) + " laid out again\n" + "dictionary up to " + address_text(bank, kDictionaryEnd) +
         ": the last entry ended at " + address_text(bank, counts.dictionary_end_before) + " (" +
         std::to_string(kDictionaryEnd - counts.dictionary_end_before) + " bytes left) and ends at " +
         address_text(bank, counts.dictionary_end_after) + " (" + std::to_string(kDictionaryEnd - counts.dictionary_end_after) +
         " bytes left)\n";
}

const char* region_name(std::size_t k) {
  constexpr std::array<const char*, 3> kNames = {"word lists", "sequential block", "script messages"};
  return kNames[k];
}

std::string per_character(const encode::WrittenBits& bits) {
  if (bits.characters == 0) return "no characters";
  char figure[32];
  std::snprintf(figure, sizeof figure, "%.2f", bits.per_character());
  return std::string(figure) + " bits a character";
}

std::string depths_text(const encode::TreeDepths& depths) {
  return std::to_string(depths.text_lead) + ", " + std::to_string(depths.text_low) + ", " + std::to_string(depths.dict_lead) + ", " +
         std::to_string(depths.dict_low);
}

// The tables chosen again: what each kind of text costs before and after,
// the dictionary's room, and what the game's decoder must now handle.
std::string rebuild_text(const RebuildFigures& figures) {
  const bool trees = figures.scope == encode::RebuildScope::trees;
  std::string text = trees ? "tables chosen again for the new text: the dictionary, its trees and the text trees\n"
                           : "tables chosen again for the new text: the dictionary and its trees (the text trees kept)\n";
  for (std::size_t k = 0; k < figures.before.size(); ++k) {
    text += std::string("  ") + region_name(k) + ": " + per_character(figures.before[k]) + " before (" +
            std::to_string(figures.before[k].characters) + " characters), " + per_character(figures.after[k]) + " after (" +
            std::to_string(figures.after[k].characters) + ")\n";
  }
  const int bank = cartridge_map::kDictionaryPointers.bank;
  text += "  dictionary: " + std::to_string(figures.entries_chosen) + " entries chosen, " + std::to_string(figures.carriers) +
          " of them carrying one character the text trees do not write; " + std::to_string(figures.entry_bytes) + " bytes of " +
          std::to_string(figures.entry_room) + " up to " + address_text(bank, cartridge_map::kDictionaryEnd) + " (the image's took " +
          std::to_string(figures.entry_bytes_before) + ")\n";
  text += "  deepest codes (text lead, text low, dictionary lead, dictionary low): " + depths_text(figures.depths) +
          " bits (the image's: " + depths_text(figures.depths_before) + "); dictionary nesting " + std::to_string(figures.nesting) +
          " (the image's: " + std::to_string(figures.nesting_before) + ")\n";
  if (figures.aliases > 0) {
    text += "  aliases: " + encode::counted(figures.aliases, "character") +
            " given entries of their own, so that the script messages holding them could be written a few bits longer\n";
  }
  if (figures.entry_edits_left_out > 0) {
    text += "warning: " + encode::counted(figures.entry_edits_left_out, "edit") +
            " of dictionary entries left out: a dictionary chosen anew has other entries\n";
  }
  if (figures.without_end > 0) {
    text += "warning: " + encode::counted(figures.without_end, "message") +
            " with no end code where the dump reads them (their bytes are not all their own) left as they were: they now "
            "read differently\n";
  }
  return text +
         "warning: text the dump never reads may be written with these tables too, and would now read differently\n"
         "warning: the game's decoder may not handle deeper codes or deeper nesting than the image's own; compare them above\n"
         "warning: box widths and line wrapping are not in the image's format: check the new text on screen\n";
}

}  // namespace

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
  if (report.lines_changed[1] > 0 && report.counts.sequential_end_after == 0) {
    text += "sequential-block messages: " + std::to_string(report.counts.sequential_rewritten) +
            " rewritten at their lengths (the others read as they did and keep their bits)\n";
  }
  text += sequential_relaid_text(report.counts);
  text += script_messages_text(report);
  text += script_groups_text(report.counts);
  text += script_offsets_text(report.counts);
  if (!report.script_artefacts.empty()) {
    text += "lines of " + std::string(kDumpFiles[kScripts].name) + " that show rewritten script bytes without being edited: " +
            std::to_string(report.script_artefacts.size()) +
            " (artefacts of the dump, not of the game: its listing reads them as an instruction's bytes or past a script's"
            " end, from the one buffer it keeps for every script):";
    const std::size_t shown = std::min<std::size_t>(report.script_artefacts.size(), 20);
    for (std::size_t k = 0; k < shown; ++k) text += " " + std::to_string(report.script_artefacts[k]);
    text += report.script_artefacts.size() > shown ? " ...\n" : "\n";
  }
  text += word_list_text(report.counts) + dictionary_text(report.counts);
  if (report.counts.rebuild) text += rebuild_text(*report.counts.rebuild);
  text += "image bytes rewritten: " + std::to_string(report.bytes_written) +
          (report.checksum_rewritten ? ", and the header checksum\n" : "\n");
  return text;
}

}  // namespace ambergale
