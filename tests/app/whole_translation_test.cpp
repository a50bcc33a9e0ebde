// A whole translation inserted with the tables chosen again for it, checked
// through the template of the new image: every text of the word lists, the
// sequential block and the scripts must read as the catalogue has it (its
// translation, or its msgid where it has none).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "catalogue/po_file.hpp"
#include "sample/free_ranges.hpp"
#include "support/run_tool.hpp"
#include "support/tool_process.hpp"

namespace ambergale {
namespace {

using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::TempDir;

using TextsByKind = std::map<char, std::multiset<std::string>>;

PoCatalogue read_catalogue(const TempDir& dir, const std::string& name) {
  PoCatalogue catalogue;
  EXPECT_FALSE(read_po_file(name, read_file(dir.file(name)), catalogue)) << name;
  return catalogue;
}

// The texts of kinds W, S and M: each entry's translation, or its msgid
// when it has none (or `sources`).
TextsByKind texts_of(const PoCatalogue& catalogue, bool sources) {
  TextsByKind texts;
  for (const PoEntry& entry : catalogue.entries) {
    const char kind = entry.context.empty() ? '?' : entry.context.front();
    if (kind == 'D' || entry.obsolete) continue;
    texts[kind].insert(sources || entry.translation.empty() ? entry.source : entry.translation);
  }
  return texts;
}

// How many texts of `a` and `b` differ, counted both ways.
std::size_t differences(const std::multiset<std::string>& a, const std::multiset<std::string>& b) {
  std::vector<std::string> only_a, only_b;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only_a));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(only_b));
  return only_a.size() + only_b.size();
}

// The number a report line gives after the last `before`, or 0.
std::size_t reported(const std::string& report, const std::string& before) {
  const std::size_t at = report.rfind(before);
  return at == std::string::npos ? 0 : std::stoul(report.substr(at + before.size()));
}

// The sample with jumps (seed 1) and its translation at 1.5 times, made once.
class WholeTranslation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    const ProcessResult made =
        testing_support::run_tool(dir_->path(), {"--jumps", "--seed", "1", "--translate", "1.5", "."}, {}, MAKE_SAMPLE_PATH);
    ASSERT_EQ(made.status, 0) << made.err;
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static ProcessResult insert(const std::string& po, const char* scope, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--po", po, "--relayout", "--script-offsets", "declared", "--rebuild", scope, "-o", "new.smc"};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back("Ambergale.smc");
    return testing_support::run_tool(dir_->path(), args, {}, AMBERGALE_INSERT_PATH);
  }

  // The template of the new image, as the texts it shows.
  static TextsByKind new_texts() {
    std::filesystem::create_directories(dir_->file("new"));
    const ProcessResult dumped = testing_support::run_tool(dir_->path(), {"-o", "new", "--pot", "new.pot", "new.smc"});
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    return texts_of(read_catalogue(*dir_, "new.pot"), true);
  }

  static inline std::unique_ptr<TempDir> dir_;
};

// The lines of a dump that show texts: the word lists' with their bracketed
// address dropped, the script dump's that are neither a script's header nor
// an instruction (whose offsets may have moved).
std::vector<std::string> shown_texts(const std::string& dump) {
  std::vector<std::string> texts;
  for (std::size_t at = 0; at < dump.size();) {
    const std::size_t end = std::min(dump.find("\r\n", at), dump.size());
    std::string line = dump.substr(at, end - at);
    at = end + 2;
    const bool instruction = line.size() > 4 && line[4] == ' ' && line.find_first_not_of("0123456789ABCDEF") == 4;
    if (line.starts_with("[FB:")) line.erase(0, line.find(']') + 1);
    else if (line.starts_with("[") || instruction) continue;
    texts.push_back(line);
  }
  return texts;
}

// The texts of the new image read as `wanted`, but for the messages with
// no end code where the dump reads them: they keep their bytes, and the
// report names how many now read differently.
void expect_texts(const std::string& report, const TextsByKind& wanted, const TextsByKind& shown) {
  const std::size_t no_end = report.find(" messages with no end code where the dump reads them");
  ASSERT_NE(no_end, std::string::npos);
  const std::size_t left = reported(report.substr(0, no_end), "\nwarning: ");
  std::size_t differing = 0, texts = 0;
  for (const char kind : {'W', 'S', 'M'}) {
    ASSERT_GT(wanted.at(kind).size(), 100u) << kind;
    differing += differences(wanted.at(kind), shown.at(kind));
    texts += wanted.at(kind).size();
  }
  EXPECT_LE(differing, 2 * left);
  EXPECT_LT(100 * left, texts);
}

TEST_F(WholeTranslation, GoesInWholeAtOneAndAHalfTimesAndReadsAsTheCatalogue) {
  const ProcessResult r = insert("en.po", "trees");
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 3000);
  const std::string report = r.out + r.err;
  EXPECT_NE(report.find("tables chosen again for the new text: the dictionary, its trees and the text trees"), std::string::npos);
  EXPECT_EQ(reported(report, "entries refused: "), 0u);
  expect_texts(report, texts_of(read_catalogue(*dir_, "en.po"), false), new_texts());
}

// Every script message is written again with the new tables, each block
// compressed again: none may be left unable to end, nor a group to overflow
// the bytes the sample leaves it. Group F8 needs none of the bytes before
// it: of the ways of writing each message, those the script tree writes
// shortest are taken.
TEST_F(WholeTranslation, UntranslatedGoesBackWithEveryTextAsItWas) {
  std::filesystem::create_directories(dir_->file("old"));
  const ProcessResult dumped = testing_support::run_tool(dir_->path(), {"-o", "old", "--pot", "old.pot", "Ambergale.smc"});
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  const std::string image = read_file(dir_->file("Ambergale.smc"));
  std::vector<std::string> free = sample::free_options(std::vector<std::uint8_t>(image.begin(), image.end()));
  ASSERT_EQ(std::erase_if(free, [](const std::string& option) { return option.starts_with("--free=F8:"); }), 1u);
  const ProcessResult r = insert("old.pot", "trees", free);
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 3000);
  // Short Japanese messages leave some blocks unable to end: the tables are
  // chosen again with aliases for their characters. Few are needed once a
  // block's message is chosen again after its offsets moved (9 here, 22
  // without).
  const std::size_t aliases = reported(r.out + r.err, "  aliases: ");
  EXPECT_GT(aliases, 0u);
  EXPECT_LT(aliases, 15u);
  new_texts();
  for (const char* dump : {"wordlist.txt", "wordlist2.txt", "messcript.txt"}) {
    const std::vector<std::string> before = shown_texts(read_file(dir_->file("old/" + std::string(dump))));
    EXPECT_GT(before.size(), 100u) << dump;
    EXPECT_EQ(before, shown_texts(read_file(dir_->file("new/" + std::string(dump))))) << dump;
  }
}

TEST_F(WholeTranslation, LeavesTranslatedDictionaryEntriesOutWithAWarning) {
  std::string po = read_file(dir_->file("en.po"));
  const std::size_t entry = po.find("msgctxt \"D ");
  ASSERT_NE(entry, std::string::npos);
  const std::size_t translation = po.find("msgstr \"\"", entry);
  po.replace(translation, 9, "msgstr \"\xef\xbc\xa1\"");  // Ａ
  testing_support::write_file(dir_->file("with-entry.po"), po);
  const ProcessResult r = insert("with-entry.po", "trees");
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 3000);
  EXPECT_NE((r.out + r.err).find("warning: 1 edit of dictionary entries left out: a dictionary chosen anew has other entries"),
            std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace ambergale
