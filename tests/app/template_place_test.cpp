// Where --pot writes the template: a path as the user gives it, relative to
// the working folder or absolute; its folder locked once, also when it is
// the dumps' folder however spelled; a folder another run holds stops the
// run before anything is written; a dump or an input is never replaced.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "support/run_tool.hpp"

namespace ambergale {
namespace {

using testing_support::fill_inputs;
using testing_support::read_file;
using testing_support::run_in;
using testing_support::RunResult;
using testing_support::TempDir;

// The names in `folder` of `dir`, sorted.
std::vector<std::string> names_in(const TempDir& dir, const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.file(folder))) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<std::string> kDumps = {"messcript.txt", "sublist.txt", "wordlist.txt", "wordlist2.txt"};

std::vector<std::string> dumps_and(const std::string& name) {
  std::vector<std::string> names = kDumps;
  names.push_back(name);
  std::sort(names.begin(), names.end());
  return names;
}

class TemplatePlace : public testing::Test {
 protected:
  void SetUp() override {
    fill_inputs(dir_);
    for (const char* folder : {"work", "pots"}) std::filesystem::create_directory(dir_.file(folder));
    ASSERT_EQ(run_in(dir_, {"--pot", "plain.pot", "-o", "plain"}).status, 1);  // no such folder: nothing made
    std::filesystem::create_directory(dir_.file("plain"));
    ASSERT_EQ(run_in(dir_, {"--pot", "plain/game.pot", "-o", "plain"}).status, 0);
    template_ = read_file(dir_.file("plain/game.pot"));
  }
  TempDir dir_;
  std::string template_;
};

TEST_F(TemplatePlace, APathIsTakenAsGiven) {
  const std::string absolute = dir_.file("pots/absolute.pot");
  const std::string work = dir_.file("work");
  const std::pair<std::vector<const char*>, std::string> runs[] = {
      {{"-o", "work", "--pot", "pots/relative.pot"}, "pots/relative.pot"},
      {{"-o", "work", "--pot", absolute.c_str()}, "pots/absolute.pot"},
      {{"-o", "work", "--pot", "./work//spelled.pot"}, "work/spelled.pot"},
      {{"-o", work.c_str(), "--pot", "work/absolute-dumps.pot"}, "work/absolute-dumps.pot"},
      {{"--pot", "here.pot"}, "here.pot"},
  };
  for (const auto& [args, written] : runs) {
    const RunResult r = run_in(dir_, args);
    ASSERT_EQ(r.status, 0) << written << ": " << r.err;
    EXPECT_EQ(read_file(dir_.file(written)), template_) << written;
  }
  EXPECT_EQ(names_in(dir_, "pots"), (std::vector<std::string>{"absolute.pot", "relative.pot"}));
  EXPECT_EQ(names_in(dir_, "work"),
            (std::vector<std::string>{"absolute-dumps.pot", "messcript.txt", "spelled.pot", "sublist.txt", "wordlist.txt",
                                      "wordlist2.txt"}));
}

TEST_F(TemplatePlace, AFolderAnotherRunHoldsStopsTheRunBeforeAnythingIsWritten) {
  const int held = ::open(dir_.file("pots/.ambergale.lock").c_str(), O_RDONLY | O_CREAT, 0644);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const RunResult r = run_in(dir_, {"-o", "work", "--pot", "pots/game.pot"});
  ::close(held);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: pots: another run is writing its dumps in this folder\n");
  EXPECT_TRUE(names_in(dir_, "work").empty());
  EXPECT_EQ(names_in(dir_, "pots"), (std::vector<std::string>{".ambergale.lock"}));
}

TEST_F(TemplatePlace, ADumpOrAnInputIsNeverReplaced) {
  ASSERT_EQ(run_in(dir_, {"-o", "work"}).status, 0);
  const std::pair<std::vector<const char*>, std::string> refused[] = {
      {{"-o", "work", "--pot", "work/wordlist.txt"}, "work/wordlist.txt: the template would replace the dump wordlist.txt"},
      {{"-o", "./work/", "--pot", "work/sublist.txt"}, "work/sublist.txt: the template would replace the dump sublist.txt"},
      {{"--pot", "Ambergale.smc"}, "Ambergale.smc: the template would replace the image"},
      {{"-o", "work", "--pot", "./mescmd.dat"}, "./mescmd.dat: the template would replace the opcode file"},
  };
  for (const auto& [args, error] : refused) {
    const RunResult r = run_in(dir_, args);
    EXPECT_EQ(r.status, 2) << error;
    EXPECT_EQ(r.err, "ambergale-dump: " + error + "\nTry 'ambergale-dump --help' for more information.\n");
  }
  EXPECT_EQ(names_in(dir_, "work"), kDumps);
  EXPECT_EQ(names_in(dir_, "."), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat", "plain", "pots", "work"}));
  // A dump's name in another folder is only a name.
  ASSERT_EQ(run_in(dir_, {"-o", "work", "--pot", "pots/wordlist.txt"}).status, 0);
  EXPECT_EQ(read_file(dir_.file("pots/wordlist.txt")), template_);
  EXPECT_EQ(names_in(dir_, "work"), kDumps);
  EXPECT_EQ(names_in(dir_, "plain"), dumps_and("game.pot"));
}

}  // namespace
}  // namespace ambergale
