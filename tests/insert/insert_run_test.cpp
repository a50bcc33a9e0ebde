#include "insert/insert_run.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "insert/patch.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/po_support.hpp"
#include "support/run_tool.hpp"
#include "support/small_cartridge.hpp"
#include "support/tool_process.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The inputs of an insert whose edited dumps are the image's own dumps.
InsertInputs unchanged_inputs(const Bytes& image, Encoding encoding = Encoding::shift_jis) {
  InsertInputs inputs;
  inputs.image_file = image;
  inputs.image_name = "image.smc";
  inputs.opcode_file = sample::sample_opcode_file();
  DumpSettings settings;
  settings.encoding = encoding;
  settings.max_output = ~std::uint64_t{0};
  const MemoryRun dumps = run_in_memory(image, inputs.opcode_file, settings, true);
  EXPECT_FALSE(dumps.failure);
  for (std::size_t d = 0; d < dumps.dumps.size(); ++d) inputs.edited[d] = dumps.dumps[d];
  inputs.encoding = encoding;
  return inputs;
}

void expect_image_back(const InsertInputs& inputs, const InsertSettings& settings = {}) {
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs, settings, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_TRUE(result.image_file == inputs.image_file);
  EXPECT_EQ(result.report.lines_changed, (std::array<std::size_t, 4>{}));
  EXPECT_FALSE(result.report.checksum_rewritten);
  EXPECT_EQ(result.ips, "PATCHEOF");
}

TEST(InsertUnchanged, GivesTheImageBackOnSampleSeeds) {
  // A sample takes about a second to make: a few seeds here, more by hand.
  for (std::uint32_t seed = 2; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    expect_image_back(unchanged_inputs(sample::make_sample(seed).layout.image));
  }
}

TEST(InsertUnchanged, GivesTheImageBackWhateverTheFormOfItsDumps) {
  const Bytes image = sample::make_sample(1).layout.image;
  // In UTF-8, with the checksum forced, with LF line ends, and with dumps left out.
  InsertSettings fix;
  fix.checksum = ChecksumPolicy::fix;
  expect_image_back(unchanged_inputs(image, Encoding::utf8), fix);
  InsertInputs lf = unchanged_inputs(image);
  for (auto& dump : lf.edited) {
    std::string joined;
    for (const char c : *dump) {
      if (c != '\r') joined += c;
    }
    dump = joined;
  }
  expect_image_back(lf);
  InsertInputs some = unchanged_inputs(image);
  some.edited[1].reset();
  some.edited[3].reset();
  expect_image_back(some);
  // A copier header in front is kept; the patches are of the image alone.
  InsertInputs headered = unchanged_inputs(image);
  headered.image_file.insert(headered.image_file.begin(), kCopierHeaderSize, 0x77);
  expect_image_back(headered);
}

TEST(InsertUnchanged, GivesBackAnImageOfRandomBytes) {
  expect_image_back(unchanged_inputs(testing_support::runaway_image(4)));
}

TEST(InsertRefuses, WhatItCannotInsert) {
  const Bytes image = sample::make_sample(2).layout.image;
  // Script lines, by what they show: only messages may change, and not yet.
  InsertInputs inputs = unchanged_inputs(image);
  const std::string dump = *inputs.edited[3];
  const std::vector<std::string_view> lines = split_lines(dump);
  const std::pair<std::size_t, std::string> cases[] = {
      {1, "messcript.txt:1: the empty line before script 0000 changed; only message lines may be edited"},
      {2, "messcript.txt:2: the header of script 0000 changed; only message lines may be edited"},
      {3, "messcript.txt:3: instruction line of script 0000 (offset 0000) changed; only message lines may be edited"},
  };
  for (const auto& [number, reason] : cases) {
    inputs.edited[3] = with_lines(dump, {{number, std::string(lines[number - 1]) + "\x81H"}});  // ？
    InsertResult result;
    const Outcome refused = insert_edited_dumps(inputs, {}, result);
    ASSERT_TRUE(refused) << number;
    EXPECT_EQ(refused->text(), reason);
  }
  InsertInputs cut = unchanged_inputs(image);
  cut.image_file.pop_back();
  InsertResult result;
  const Outcome refused = insert_edited_dumps(cut, {}, result);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "image.smc: 4194303 bytes: an image to insert into holds exactly 4 MiB, after a 512-byte copier header or none");
}

TEST(InsertRefuses, EveryChangeThatCannotGoInInTheOrderOfTheFiles) {
  // Refusals of every dump, the later dumps' first: all are listed, by
  // dump in run order, then by line, and nothing is made.
  const Bytes image = sample::make_sample(2).layout.image;
  InsertInputs inputs = unchanged_inputs(image);
  const auto edit = [&](std::size_t d, std::size_t number, const std::string& tail) {
    const std::vector<std::string_view> lines = split_lines(*inputs.edited[d]);
    inputs.edited[d] = with_lines(*inputs.edited[d], {{number, std::string(lines[number - 1]) + tail}});
  };
  const std::string long_tail(800, 'A');  // no character of the table
  edit(3, 3, "\x81H");
  edit(3, 1, "\x81H");
  edit(1, 9, long_tail);
  edit(1, 4, long_tail);
  edit(0, 7, long_tail);
  edit(2, 5, long_tail);  // a refused dictionary edit leaves the others planned
  OriginalImage original{inputs.image_file, "image.smc", inputs.opcode_file, Encoding::shift_jis, {}, {}, {}};
  ASSERT_FALSE(load_original(original));
  map_scripts(original);
  ChangeSet changes;
  ASSERT_FALSE(changes_from_dumps(original.dump.dumps, inputs.edited, Encoding::shift_jis, changes));
  InsertResult result;
  ASSERT_FALSE(run_insert(original, changes, {}, result));
  std::vector<std::string> places;
  for (const Refusal& refusal : result.refusals) places.push_back(refusal.failure.file + ":" + std::to_string(refusal.failure.line));
  EXPECT_EQ(places, (std::vector<std::string>{"wordlist.txt:7", "wordlist2.txt:4", "wordlist2.txt:9", "sublist.txt:5", "messcript.txt:1",
                                               "messcript.txt:3"}));
  EXPECT_TRUE(result.image_file.empty());
  EXPECT_TRUE(result.bps.empty());
}

// The lines of dump `d` of `image`.
std::vector<std::string> dump_lines(const Bytes& image, const std::string& opcode_file, std::size_t d) {
  const MemoryRun run = run_in_memory(image, opcode_file, DumpSettings{}, true);
  EXPECT_FALSE(run.failure);
  std::vector<std::string> lines;
  for (const std::string_view line : split_lines(run.dumps[d])) lines.emplace_back(line);
  return lines;
}

TEST(KeepGoing, ALineShowingARefusedDictionaryEditIsPlannedWithTheDictionaryAsItWas) {
  testing_support::SmallInsert small = testing_support::small_insert(testing_support::small_image());
  // Entry 0412 (！例！) made to name itself is refused; line 2 of the word
  // lists, which shows it, goes in with the dictionary as it was.
  small.inputs.edited[2] = with_lines(small.dumps[2], {{3, "0412:<1204>"}});
  const std::string shown = "0001:\x81\x49\x97\xE1\x81\x49\x97\xE1";  // ！例！例
  small.inputs.edited[0] = with_lines(small.dumps[0], {{2, shown}});
  InsertSettings settings;
  settings.free = {{0xFB, {0xF000, 0x10000}}};
  InsertResult result;
  ASSERT_TRUE(insert_edited_dumps(small.inputs, settings, result));
  EXPECT_TRUE(result.image_file.empty());
  settings.keep_going = true;
  ASSERT_FALSE(insert_edited_dumps(small.inputs, settings, result));
  ASSERT_EQ(result.refusals.size(), 1u);
  EXPECT_EQ(result.refusals[0].failure.place(), "sublist.txt:3:1");
  EXPECT_EQ(dump_lines(result.image_file, small.inputs.opcode_file, 0)[1], shown);
  EXPECT_EQ(dump_lines(result.image_file, small.inputs.opcode_file, 2)[2], split_lines(small.dumps[2])[2]);
  EXPECT_EQ(result.report.lines_changed, (std::array<std::size_t, 4>{1, 0, 0, 0}));
}

TEST(KeepGoing, ALineSharingAMessageWithARefusedOneMovesAlone) {
  const Bytes image = sample::make_sample(2).layout.image;
  const MessageMap map = testing_support::word_list_map_of(image);
  const auto shared = std::find_if(map.messages.begin(), map.messages.end(), [](const auto& m) { return m.second.lines.size() >= 2; });
  ASSERT_NE(shared, map.messages.end());
  const std::size_t refused = shared->second.lines[0], moved = shared->second.lines[1];
  InsertInputs inputs = unchanged_inputs(image);
  const std::string dump = *inputs.edited[0];
  const std::vector<std::string_view> lines = split_lines(dump);
  const std::string text = std::string(lines[moved - 1]) + "\x81\x49";  // ！ added
  inputs.edited[0] = with_lines(dump, {{refused, std::string(lines[refused - 1]) + "A"}, {moved, text}});
  InsertSettings settings;
  settings.keep_going = true;
  settings.free = {{0xFB, {0xFF00, 0x10000}}};
  InsertResult result;
  ASSERT_FALSE(insert_edited_dumps(inputs, settings, result));
  ASSERT_EQ(result.refusals.size(), 1u);
  EXPECT_EQ(result.refusals[0].failure.line, refused);
  const std::vector<std::string> after = dump_lines(result.image_file, inputs.opcode_file, 0);
  EXPECT_EQ(after[moved - 1], text);
  EXPECT_EQ(after[refused - 1], lines[refused - 1]);
  EXPECT_EQ(result.report.counts.messages_moved, 1u);
}

TEST(InsertTool, WritesTheImageAndPatchesOrChecksOnly) {
  testing_support::TempDir dir;
  testing_support::fill_inputs(dir);
  ASSERT_EQ(testing_support::run_tool(dir.path(), {}).status, 0);
  const testing_support::ProcessResult check =
      testing_support::run_tool(dir.path(), {"--check", "Ambergale.smc"}, {}, AMBERGALE_INSERT_PATH);
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.out,
            "ambergale-insert: the dumps are a dump of Ambergale.smc; nothing written\n"
            "lines changed: wordlist.txt 0, wordlist2.txt 0, sublist.txt 0, messcript.txt 0\n"
            "image bytes rewritten: 0\n");
  const testing_support::ProcessResult written = testing_support::run_tool(
      dir.path(), {"Ambergale.smc", "-o", "new.smc", "--ips", "p.ips", "--bps=p.bps"}, {}, AMBERGALE_INSERT_PATH);
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(testing_support::read_file(dir.file("new.smc")), testing_support::read_file(dir.file("Ambergale.smc")));
  EXPECT_EQ(testing_support::read_file(dir.file("p.ips")), "PATCHEOF");
  EXPECT_EQ(written.out.substr(0, written.out.find('\n') + 1), "ambergale-insert: wrote new.smc and its report new.smc.report.txt\n");
  EXPECT_EQ(testing_support::read_file(dir.file("new.smc.report.txt")), check.out.substr(check.out.find('\n') + 1));
  const std::string bps = testing_support::read_file(dir.file("p.bps"));
  Bytes applied;
  EXPECT_FALSE(apply_bps(testing_support::small_image(), bps, applied));
  EXPECT_TRUE(applied == testing_support::small_image());
  // Refusals: the input image as the output, no output (wrong command
  // lines), a line added.
  const std::pair<std::vector<std::string>, std::string> refusals[] = {
      {{"Ambergale.smc", "-o", "./Ambergale.smc"},
       "ambergale-insert: ./Ambergale.smc: the new image (-o) would replace the input image; write the new files elsewhere\n"},
      {{"Ambergale.smc"}, "ambergale-insert: no new image: give -o FILE, or --check\n"},
  };
  for (const auto& [args, message] : refusals) {
    const testing_support::ProcessResult r = testing_support::run_tool(dir.path(), args, {}, AMBERGALE_INSERT_PATH);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, message + "Try 'ambergale-insert --help' for more information.\n");
  }
  // An edited dump that is a folder is named.
  const std::string words = testing_support::read_file(dir.file("wordlist.txt"));
  std::filesystem::remove(dir.file("wordlist.txt"));
  std::filesystem::create_directory(dir.file("wordlist.txt"));
  const testing_support::ProcessResult folder =
      testing_support::run_tool(dir.path(), {"Ambergale.smc", "--check"}, {}, AMBERGALE_INSERT_PATH);
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "ambergale-insert: wordlist.txt: cannot read: Is a directory\n");
  std::filesystem::remove(dir.file("wordlist.txt"));
  testing_support::write_file(dir.file("wordlist.txt"), words);
  testing_support::write_file(dir.file("sublist.txt"), testing_support::read_file(dir.file("sublist.txt")) + "0FF9:\r\n");
  const std::vector<std::string> before = testing_support::files_in(dir);
  const testing_support::ProcessResult added =
      testing_support::run_tool(dir.path(), {"Ambergale.smc", "-o", "other.smc"}, {}, AMBERGALE_INSERT_PATH);
  EXPECT_EQ(added.status, 1);
  EXPECT_EQ(added.err.substr(0, 46), "ambergale-insert: sublist.txt: more than 3049 ");
  EXPECT_EQ(testing_support::files_in(dir), before);
}

TEST(InsertTool, PrintsEveryRefusalAndWritesNothing) {
  testing_support::TempDir dir;
  testing_support::fill_inputs(dir);
  ASSERT_EQ(testing_support::run_tool(dir.path(), {}).status, 0);
  std::string sequential = testing_support::read_file(dir.file("wordlist2.txt"));
  const std::vector<std::string_view> lines = split_lines(sequential);
  sequential = with_lines(sequential, {{2, std::string(lines[1]) + "A"}, {1, std::string(lines[0]) + "A"}});
  testing_support::write_file(dir.file("wordlist2.txt"), sequential);
  const std::vector<std::string> before = testing_support::files_in(dir);
  for (const char* mode : {"-o", "--check"}) {
    std::vector<std::string> args = {"Ambergale.smc", mode};
    if (std::string_view(mode) == "-o") args.push_back("new.smc");
    const testing_support::ProcessResult r = testing_support::run_tool(dir.path(), args, {}, AMBERGALE_INSERT_PATH);
    const bool check = std::string_view(mode) == "--check";
    EXPECT_EQ(r.status, check ? 3 : 1) << mode;
    const std::size_t first = r.err.find("wordlist2.txt:1:"), second = r.err.find("wordlist2.txt:2:");
    EXPECT_NE(first, std::string::npos) << r.err;
    EXPECT_NE(second, std::string::npos) << r.err;
    EXPECT_LT(first, second) << r.err;
    const std::string verdict = check ? "ambergale-insert: 2 lines cannot be inserted; the rest can be inserted into Ambergale.smc; nothing written\n"
                                      : "ambergale-insert: 2 lines cannot be inserted; nothing written (--keep-going inserts the rest)\n";
    EXPECT_NE((check ? r.out : r.err).find(verdict), std::string::npos) << r.err;
    EXPECT_EQ(testing_support::files_in(dir), before);
  }
}

TEST(InsertTool, TakesTranslationsFromACatalogue) {
  testing_support::TempDir dir;
  testing_support::fill_inputs(dir);
  ASSERT_EQ(testing_support::run_tool(dir.path(), {"--pot", "game.pot"}).status, 0);
  const std::string pot = testing_support::read_file(dir.file("game.pot"));
  // Entry 0001 (line 2, a message of its own): ！例！ becomes ！例例！.
  testing_support::write_file(dir.file("ja.po"), testing_support::translated(pot, {{"W 00:0001", "\xef\xbc\x81\xe4\xbe\x8b\xe4\xbe\x8b\xef\xbc\x81"}}));
  const testing_support::ProcessResult written =
      testing_support::run_tool(dir.path(), {"--po", "ja.po", "Ambergale.smc", "-o", "new.smc", "--free", "FB:F000-FFFF"}, {},
                                AMBERGALE_INSERT_PATH);
  ASSERT_EQ(written.status, 0) << written.err;
  testing_support::TempDir again;
  testing_support::write_file(again.file("Ambergale.smc"), testing_support::read_file(dir.file("new.smc")));
  testing_support::write_file(again.file("mescmd.dat"), testing_support::read_file(dir.file("mescmd.dat")));
  ASSERT_EQ(testing_support::run_tool(again.path(), {}).status, 0);
  EXPECT_EQ(testing_support::lines_of(testing_support::read_file(again.file("wordlist.txt")))[1], "0001:\x81\x49\x97\xE1\x97\xE1\x81\x49");
  // A catalogue from a pipe is read as any input is.
  ASSERT_EQ(::mkfifo(dir.file("pipe.po").c_str(), 0600), 0);
  std::thread feed([&] { testing_support::write_file(dir.file("pipe.po"), testing_support::read_file(dir.file("ja.po"))); });
  const testing_support::ProcessResult piped = testing_support::run_tool(
      dir.path(), {"--po", "pipe.po", "Ambergale.smc", "--check", "--free", "FB:F000-FFFF"}, {}, AMBERGALE_INSERT_PATH);
  feed.join();
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_NE(piped.out.find("lines changed: wordlist.txt 1,"), std::string::npos) << piped.out;
  // What is no PO file is named with the line gettext's library found.
  testing_support::write_file(dir.file("bad.po"), "x\n");
  const testing_support::ProcessResult bad =
      testing_support::run_tool(dir.path(), {"--po", "bad.po", "Ambergale.smc", "--check"}, {}, AMBERGALE_INSERT_PATH);
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("ambergale-insert: bad.po:1: ", 0), 0u) << bad.err;
}

}  // namespace
}  // namespace ambergale
