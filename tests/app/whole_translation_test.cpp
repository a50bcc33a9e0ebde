// A whole translation inserted with the tables chosen again for it, and an
// untranslated image rebuilt, each checked through the template of the new
// image: every text of the word lists, the sequential block and the scripts
// must read as the catalogue (or the original) has it.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "catalogue/po_file.hpp"
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

ProcessResult insert(const TempDir& dir, std::vector<std::string> args) {
  const std::vector<std::string> common = {"--relayout", "--script-offsets", "declared", "-o", "new.smc", "Ambergale.smc"};
  args.insert(args.end(), common.begin(), common.end());
  return testing_support::run_tool(dir.path(), args, {}, AMBERGALE_INSERT_PATH);
}

// The template of the new image, as the texts it shows.
TextsByKind new_texts(const TempDir& dir) {
  const ProcessResult dumped = testing_support::run_tool(dir.path(), {"-o", "new", "--pot", "new.pot", "new.smc"});
  EXPECT_EQ(dumped.status, 0) << dumped.err;
  return texts_of(read_catalogue(dir, "new.pot"), true);
}

// A sample with jumps and its translation at `ratio`, made once per ratio.
std::unique_ptr<TempDir> translated_sample(const char* ratio) {
  auto dir = std::make_unique<TempDir>();
  const ProcessResult made =
      testing_support::run_tool(dir->path(), {"--jumps", "--seed", "2", "--translate", ratio, "."}, {}, MAKE_SAMPLE_PATH);
  EXPECT_EQ(made.status, 0) << made.err;
  return dir;
}

TEST(WholeTranslation, GoesInWholeAtOneAndAHalfTimesWithTheTreesRebuilt) {
  const auto dir = translated_sample("1.5");
  const ProcessResult r = insert(*dir, {"--po", "en.po", "--rebuild", "trees"});
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 3000);
  EXPECT_NE(r.err.find("tables chosen again for the new text: the dictionary, its trees and the text trees"), std::string::npos)
      << r.err;
  const TextsByKind wanted = texts_of(read_catalogue(*dir, "en.po"), false);
  const TextsByKind shown = new_texts(*dir);
  for (const char kind : {'W', 'S', 'M'}) {
    ASSERT_GT(wanted.at(kind).size(), 100u) << kind;
    EXPECT_TRUE(shown.at(kind) == wanted.at(kind)) << "kind " << kind;
  }
}

TEST(WholeTranslation, UntranslatedRebuildShowsEveryTextUnchanged) {
  const auto dir = translated_sample("1.0");
  const ProcessResult template_made = testing_support::run_tool(dir->path(), {"-o", "old", "--pot", "old.pot", "Ambergale.smc"});
  ASSERT_EQ(template_made.status, 0) << template_made.err;
  for (const char* scope : {"dictionary", "trees"}) {
    SCOPED_TRACE(scope);
    const ProcessResult r = insert(*dir, {"-d", "old", "--rebuild", scope});
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 3000);
    EXPECT_EQ(new_texts(*dir), texts_of(read_catalogue(*dir, "old.pot"), true));
  }
}

TEST(WholeTranslation, LeavesEditedDictionaryEntriesOutWithAWarning) {
  const auto dir = translated_sample("1.0");
  ASSERT_EQ(testing_support::run_tool(dir->path(), {"-o", "work", "Ambergale.smc"}).status, 0);
  std::string sublist = read_file(dir->file("work/sublist.txt"));
  const std::size_t text = sublist.find(':') + 1;
  sublist.insert(text, "\x82\xa0");  // あ
  testing_support::write_file(dir->file("work/sublist.txt"), sublist);
  const ProcessResult r = insert(*dir, {"-d", "work", "--rebuild", "dictionary"});
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 3000);
  EXPECT_NE(r.err.find("warning: 1 edit of dictionary entries left out"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace ambergale
