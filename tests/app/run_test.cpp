#include "app/run.hpp"
#include "dump/dump_run.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "support/code_units.hpp"
#include "support/run_tool.hpp"
#include "support/small_cartridge.hpp"
#include "support/temp_dir.hpp"
#include "text/char_table.hpp"
#include "text/render.hpp"

namespace ambergale {
namespace {

using testing_support::files_in;
using testing_support::lines_of;
using testing_support::read_file;
using testing_support::RunResult;
using testing_support::run_in;
using testing_support::TempDir;
using testing_support::write_file;
using testing_support::write_image;

TEST(Run, MissingImagePrintsItsMessageAndWritesNothing) {
  TempDir dir;
  const RunResult r = run_in(dir, {"missing.smc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8A" "J\x82\xAF\x82\xDC\x82\xB9\x82\xF1\n");  // ファイルが開けません
  EXPECT_TRUE(files_in(dir).empty());
  // Without an argument the default name is looked for.
  EXPECT_EQ(run_in(dir, {}).out, r.out);
}

TEST(Run, RefusesAShortImage) {
  TempDir dir;
  write_image(dir, "short.smc", std::vector<std::uint8_t>(1 << 20, 0));
  const RunResult r = run_in(dir, {"short.smc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ambergale-dump: short.smc: 1048576 bytes is too short for a cartridge image of 4194304 bytes (4 MiB)\n");
  EXPECT_EQ(files_in(dir), std::vector<std::string>{"short.smc"});
}

TEST(Run, RefusesAMalformedScriptTreeBeforeWritingAnything) {
  TempDir dir;
  std::vector<std::uint8_t> image(kImageSize, 0);
  image[0x3820BA + 2] = 0x02;  // node_count 683
  image[0x3820BA + 3] = 0xAB;
  write_image(dir, "Ambergale.smc", image);
  write_file(dir.file("mescmd.dat"), testing_support::small_opcode_file());
  const RunResult r = run_in(dir, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: Ambergale.smc: the script tree header at F8:20BA is malformed: node_count 683 is above 682 "
            "(the file does not look like an image of this game)\n");
  EXPECT_EQ(files_in(dir).size(), 2u);
}

class FullRun : public testing::Test {
 protected:
  static void SetUpTestSuite() { layout_ = new sample::CartridgeLayout(sample::build_cartridge(testing_support::small_content())); }
  static void TearDownTestSuite() { delete layout_; }
  void SetUp() override {
    write_image(dir_, "Ambergale.smc", layout_->image);
    write_file(dir_.file("mescmd.dat"), testing_support::small_opcode_file());
  }
  static sample::CartridgeLayout* layout_;
  TempDir dir_;
};
sample::CartridgeLayout* FullRun::layout_ = nullptr;

TEST_F(FullRun, WritesTheFourDumps) {
  const RunResult r = run_in(dir_, {"Ambergale.smc", "ignored"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(files_in(dir_), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat", "messcript.txt", "sublist.txt",
                                                      "wordlist.txt", "wordlist2.txt"}));

  EXPECT_EQ(read_file(dir_.file("wordlist.txt")),
            "0000:\x81\x49\x97\xE1\r\n"              // ！例
            "0001:\x81\x49\x97\xE1\x81\x49\r\n"      // ！例！
            "0200:\x81\x49\x97\xE1\r\n"
            "0E00:F90F\x82\xA9\r\n");                // F90F か

  const std::vector<std::string> sub = lines_of(read_file(dir_.file("sublist.txt")));
  ASSERT_EQ(sub.size(), 3049u);
  EXPECT_EQ(sub[0], "0410:\x81\x49");
  EXPECT_EQ(sub[2], "0412:\x81\x49\x97\xE1\x81\x49");
  EXPECT_EQ(sub[3], "0413:\x82\xA2");  // い: the unit 0FF9 vanished
  EXPECT_EQ(sub[4], "0414:1300810082008300");
  EXPECT_EQ(sub[5], "0415:");
  EXPECT_EQ(sub[3048], "0FF8:\x82\xA9");

  const std::vector<std::string> seq = lines_of(read_file(dir_.file("wordlist2.txt")));
  ASSERT_EQ(seq.size(), layout_->sequential.size());
  EXPECT_EQ(seq[0], "[FB:8000](\x83{\x83\x8B\x83" "e\x83\x93)");  // (ボルテン)
  for (std::size_t i = 0; i < seq.size(); ++i) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "[FB:%04X]", layout_->sequential[i].first);
    ASSERT_EQ(seq[i].substr(0, 9), prefix) << i;
    if (i >= 3) {
      EXPECT_EQ(seq[i].substr(9), testing_support::render_text(testing_support::code_bytes(layout_->sequential[i].second))) << i;
    }
  }
  EXPECT_EQ(seq[1].substr(9), "F90F");
  EXPECT_EQ(seq[2].substr(9), "\\n-");
  EXPECT_LT(layout_->sequential.back().first, 0xD07D);

  const std::string script = read_file(dir_.file("messcript.txt"));
  const std::vector<std::string> lines = lines_of(script);
  EXPECT_EQ(lines[0], "");
  char header[64];
  std::snprintf(header, sizeof header, "[0000:F9%04X](len=", layout_->script_pointers[0]);
  EXPECT_EQ(lines[1].substr(0, 18), header);
  EXPECT_EQ(lines[2], "0000 20 34 12 ------move 1234 (13330)");
  EXPECT_EQ(lines[3], "0003 58             text");
  EXPECT_EQ(lines[4], "\x82\xA2\x82\xA2");  // い + entry 3 (い)
  int headers = 0;
  for (const std::string& line : lines) headers += line.rfind("[", 0) == 0 && line.find("(len=") != std::string::npos;
  EXPECT_EQ(headers, 4096);
  EXPECT_NE(script.find("0000 7A 05          text\r\n\x81\x49\r\n(\x83" "e\x83" "B\x83})\r\n"), std::string::npos);
  EXPECT_NE(script.find("0000 20 FF 00 ------move 00FF (65280)\r\n0003 20 00 FF ------move FF00 (255)\r\n"), std::string::npos);
  EXPECT_NE(script.find("\r\n[0FFF:F8"), std::string::npos);
}

TEST_F(FullRun, ATemplateGoesWithTheDumpsUnderTheirCeiling) {
  const RunResult r = run_in(dir_, {"--pot", "game.pot", "-o", "."});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(files_in(dir_), (std::vector<std::string>{"Ambergale.smc", "game.pot", "mescmd.dat", "messcript.txt", "sublist.txt",
                                                      "wordlist.txt", "wordlist2.txt"}));
  const std::string pot = read_file(dir_.file("game.pot"));
  EXPECT_EQ(pot.rfind("# How a text is written", 0), 0u);  // the header's comment on tags
  EXPECT_NE(pot.find("\n#, fuzzy\nmsgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: ambergale "), std::string::npos);
  EXPECT_NE(pot.find("\n#: wordlist.txt:1 wordlist.txt:3\nmsgctxt \"W 00:0000\"\n"), std::string::npos);
  // The same image gives the same template.
  ASSERT_EQ(run_in(dir_, {"--pot", "game.pot"}).status, 0);
  EXPECT_EQ(read_file(dir_.file("game.pot")), pot);
  // The template counts against the ceiling; past it nothing is written.
  TempDir other;
  write_image(other, "Ambergale.smc", layout_->image);
  write_file(other.file("mescmd.dat"), testing_support::small_opcode_file());
  std::uintmax_t dumps = 0;
  for (const char* name : {"wordlist.txt", "wordlist2.txt", "sublist.txt", "messcript.txt"}) {
    dumps += std::filesystem::file_size(dir_.file(name));
  }
  const std::string ceiling = std::to_string(dumps + pot.size() / 2);
  const RunResult over = run_in(other, {"--pot", "game.pot", "--max-output", ceiling.c_str()});
  EXPECT_EQ(over.status, 1);
  EXPECT_NE(over.err.find("game.pot: the run's output passes its ceiling"), std::string::npos) << over.err;
  EXPECT_EQ(files_in(other), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat"}));
}

TEST_F(FullRun, TheLastScriptOfEachGroupEndsAtItsGroupsEnd) {
  ASSERT_EQ(run_in(dir_, {}).status, 0);
  const std::string listing = read_file(dir_.file("messcript.txt"));
  struct Group {
    int first, count, bank, end;
  };
  for (const Group& g : {Group{0x000, 1536, 0xF9, 0xFAE0}, Group{0x600, 1024, 0xFA, 0xFCA0},
                         Group{0xA00, 512, 0xFB, 0x7CB5}, Group{0xC00, 1024, 0xF8, 0x87AC}}) {
    int last = g.first;
    for (int i = g.first; i < g.first + g.count; ++i) {
      if (layout_->script_pointers[i] > layout_->script_pointers[last]) last = i;
    }
    char header[64];
    std::snprintf(header, sizeof header, "[%04X:%02X%04X](len=%04X,", last, g.bank, layout_->script_pointers[last],
                  g.end - layout_->script_pointers[last]);
    EXPECT_NE(listing.find(header), std::string::npos) << header;
  }
}

TEST_F(FullRun, AnInMemoryRunGivesTheDumpsOfARunWithFiles) {
  ASSERT_EQ(run_in(dir_, {}).status, 0);
  const MemoryRun run = run_in_memory(layout_->image, testing_support::small_opcode_file(), DumpSettings{}, true);
  ASSERT_FALSE(run.failure) << run.failure->text();
  const char* const names[] = {"wordlist.txt", "wordlist2.txt", "sublist.txt", "messcript.txt"};
  for (int d = 0; d < 4; ++d) {
    EXPECT_EQ(run.dumps[d], read_file(dir_.file(names[d]))) << names[d];
    EXPECT_EQ(run.sizes[d], run.dumps[d].size());
  }
  // Counted only, and stopped by the ceiling like a run with files.
  const MemoryRun counted = run_in_memory(layout_->image, testing_support::small_opcode_file(),
                                          DumpSettings{Encoding::shift_jis, true, 1000}, false);
  ASSERT_TRUE(counted.failure);
  EXPECT_EQ(counted.failure->text(), "wordlist2.txt: the run's output passes its ceiling of 1000 bytes (raise it with --max-output)");
  EXPECT_EQ(counted.dumps[0], "");
  EXPECT_EQ(counted.sizes[0], run.sizes[0]);
}

TEST_F(FullRun, MissingOpcodeFileWritesNothing) {
  std::filesystem::remove(dir_.file("mescmd.dat"));
  const RunResult r = run_in(dir_, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "mescmd.dat\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n");  // mescmd.datがありません
  EXPECT_EQ(files_in(dir_), std::vector<std::string>{"Ambergale.smc"});
}

TEST_F(FullRun, AnOutputThatCannotBeReplacedFailsTheRun) {
  // A folder, not empty, where the second dump goes.
  std::filesystem::create_directories(dir_.file("wordlist2.txt/inside"));
  const RunResult r = run_in(dir_, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: wordlist2.txt: cannot replace a directory: only a regular file is replaced\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.file("wordlist2.txt")));
  // No dump is installed when one cannot be.
  EXPECT_EQ(files_in(dir_), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat", "wordlist2.txt"}));
}

}  // namespace
}  // namespace ambergale
