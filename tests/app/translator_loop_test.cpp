// The translator's loop through the tools: insert what fits, keep a
// catalogue of what did not, insert that again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include "catalogue/po_file.hpp"
#include "sample/sample_content.hpp"
#include "support/po_support.hpp"
#include "support/run_tool.hpp"
#include "support/tool_process.hpp"

namespace ambergale {
namespace {

using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

ProcessResult insert(const TempDir& dir, const std::vector<std::string>& args) {
  return testing_support::run_tool(dir.path(), args, {}, AMBERGALE_INSERT_PATH);
}

// The catalogue of `dir`'s image read back, by context.
std::map<std::string, PoEntry> entries_of(const std::string& po) {
  PoCatalogue catalogue;
  EXPECT_FALSE(read_po_file("x.po", po, catalogue));
  std::map<std::string, PoEntry> entries;
  for (PoEntry& entry : catalogue.entries) entries.emplace(entry.context, std::move(entry));
  return entries;
}

// The small image with its template; ！例 (W 00:0000) shortened goes in,
// ！例！ (W 00:0001) grown far past any free byte does not.
class SmallLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::fill_inputs(dir_);
    ASSERT_EQ(testing_support::run_tool(dir_.path(), {"--pot", "game.pot"}).status, 0);
    pot_ = read_file(dir_.file("game.pot"));
    std::string grown;
    for (int k = 0; k < 300; ++k) grown += "\xe4\xbe\x8b";  // 例
    write_file(dir_.file("good.po"), testing_support::translated(pot_, {{"W 00:0000", "\xe4\xbe\x8b"}}));
    write_file(dir_.file("mixed.po"), testing_support::translated(pot_, {{"W 00:0000", "\xe4\xbe\x8b"}, {"W 00:0001", grown}}));
  }

  TempDir dir_;
  std::string pot_;
};

TEST_F(SmallLoop, ExitStatusesOneForEachRow) {
  struct Case {
    std::vector<std::string> args;
    int status;
    bool writes;
  };
  const Case cases[] = {
      {{"--po", "good.po", "-o", "new.smc"}, 0, true},                          // all went in
      {{"--po", "mixed.po", "-o", "new.smc"}, 1, false},                        // refused without --keep-going
      {{"--po", "good.po", "-o", "new.smc", "missing.smc"}, 1, false},          // a failure
      {{"--refused", "r.po", "-o", "new.smc"}, 2, false},                       // --refused needs --po
      {{"--po", "mixed.po", "--check", "--refused", "r.po"}, 2, false},         // and a run that writes
      {{"--po", "mixed.po", "-o", "new.smc", "--keep-going"}, 3, true},         // some refused, the rest written
      {{"--po", "good.po", "--check"}, 0, false},
      {{"--po", "mixed.po", "--check"}, 3, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    if (std::find(args.begin(), args.end(), "missing.smc") == args.end()) args.push_back("Ambergale.smc");
    std::filesystem::remove(dir_.file("new.smc"));
    const ProcessResult r = insert(dir_, args);
    EXPECT_EQ(r.status, c.status) << args[1] << " " << args.back() << "\n" << r.err;
    EXPECT_EQ(std::filesystem::exists(dir_.file("new.smc")), c.writes) << args[1] << " " << args.back();
  }
}

TEST_F(SmallLoop, TheRefusedCatalogueGoesInAgainAsTheRestDid) {
  const ProcessResult kept = insert(dir_, {"--po", "mixed.po", "-o", "new.smc", "--keep-going", "--refused", "r.po", "Ambergale.smc"});
  ASSERT_EQ(kept.status, 3) << kept.err;
  EXPECT_NE(kept.err.find("mixed.po:"), std::string::npos) << kept.err;
  EXPECT_NE(kept.out.find("entries inserted: 1 entry (1 word-list message, 0 sequential-block messages, 0 dictionary entries, 0 script messages)\n"), std::string::npos) << kept.out;
  EXPECT_NE(kept.out.find("entries refused: 1 entry (mixed.po:" + std::to_string(entries_of(read_file(dir_.file("mixed.po"))).at("W 00:0001").line) + ")\n"),
            std::string::npos)
      << kept.out;
  const std::string refused = read_file(dir_.file("r.po"));
  const std::map<std::string, PoEntry> entries = entries_of(refused);
  EXPECT_TRUE(entries.at("W 00:0001").fuzzy);
  EXPECT_FALSE(entries.at("W 00:0000").fuzzy);
  const std::size_t comment = refused.find(std::string("#. ") + kRefusedComment + "(W 00:0001) ");
  ASSERT_NE(comment, std::string::npos) << refused;
  EXPECT_LT(comment, refused.find("msgctxt \"W 00:0001\""));
  if (std::system("msgfmt --version >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("msgfmt --check -o /dev/null " + dir_.file("r.po")).c_str()), 0);
  }
  const ProcessResult again = insert(dir_, {"--po", "r.po", "-o", "again.smc", "--refused", "r2.po", "Ambergale.smc"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(read_file(dir_.file("again.smc")), read_file(dir_.file("new.smc")));
  const std::string skipped = "fuzzy entries skipped: 1 entry (r.po:" + std::to_string(entries.at("W 00:0001").line) + ")\n";
  EXPECT_NE(again.out.find(skipped), std::string::npos) << again.out;
  // A fuzzy entry keeps what was said of it; once translated anew and
  // taken, the old comment goes.
  EXPECT_NE(read_file(dir_.file("r2.po")).find(kRefusedComment), std::string::npos);
  std::string fixed = refused;
  fixed.erase(fixed.find("#, fuzzy\nmsgctxt \"W 00:0001\""), 9);
  write_file(dir_.file("fixed.po"), fixed);
  const ProcessResult taken = insert(dir_, {"--po", "fixed.po", "--free", "FB:F000-FFFF", "-o", "fixed.smc", "--refused", "r3.po",
                                            "Ambergale.smc"});
  ASSERT_EQ(taken.status, 0) << taken.err;
  EXPECT_EQ(read_file(dir_.file("r3.po")).find(kRefusedComment), std::string::npos);
}

TEST_F(SmallLoop, EntriesAreFoundWhereverTheirKeywordsStand) {
  // Keywords after blanks are a PO file's too: each entry keeps its own line.
  std::string indented = read_file(dir_.file("mixed.po"));
  for (const char* keyword : {"msgctxt ", "msgid ", "msgstr "}) {
    for (std::size_t at = indented.find(std::string("\n") + keyword); at != std::string::npos;
         at = indented.find(std::string("\n") + keyword, at + 3)) {
      indented.insert(at + 1, " \t");
    }
  }
  write_file(dir_.file("indented.po"), indented);
  const ProcessResult kept = insert(dir_, {"--po", "indented.po", "-k", "--refused", "r.po", "-o", "new.smc", "Ambergale.smc"});
  ASSERT_EQ(kept.status, 3) << kept.err;
  const std::size_t line = static_cast<std::size_t>(
      std::count(indented.begin(), indented.begin() + static_cast<std::ptrdiff_t>(indented.find("msgctxt \"W 00:0001\"")), '\n') + 1);
  EXPECT_EQ(kept.err.rfind("ambergale-insert: indented.po:" + std::to_string(line) + ": (W 00:0001) ", 0), 0u) << kept.err;
  const std::map<std::string, PoEntry> entries = entries_of(read_file(dir_.file("r.po")));
  EXPECT_TRUE(entries.at("W 00:0001").fuzzy);
  EXPECT_FALSE(entries.at("W 00:0000").fuzzy);
}

TEST_F(SmallLoop, SaysWhatItSkippedAndWhenNothingIsTranslated) {
  const ProcessResult good = insert(dir_, {"--po", "good.po", "--check", "Ambergale.smc"});
  EXPECT_NE(good.out.find("the edits can be inserted into Ambergale.smc"), std::string::npos) << good.out;
  const ProcessResult untranslated = insert(dir_, {"--po", "game.pot", "--check", "Ambergale.smc"});
  ASSERT_EQ(untranslated.status, 0) << untranslated.err;
  EXPECT_NE(untranslated.out.find("game.pot is an untranslated catalogue"), std::string::npos) << untranslated.out;
  const ProcessResult written = insert(dir_, {"--po", "game.pot", "-o", "same.smc", "Ambergale.smc"});
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_NE(written.out.find("; game.pot is an untranslated catalogue"), std::string::npos) << written.out;
  // msginit copies each msgid into msgstr: such entries change nothing, and are counted.
  const std::map<std::string, PoEntry> entries = entries_of(pot_);
  write_file(dir_.file("copied.po"), testing_support::translated(pot_, {{"W 00:0000", entries.at("W 00:0000").source}}));
  const ProcessResult copied = insert(dir_, {"--po", "copied.po", "--check", "Ambergale.smc"});
  ASSERT_EQ(copied.status, 0) << copied.err;
  EXPECT_NE(copied.out.find("entries whose msgstr is their msgid, so nothing to change: 1 entry (copied.po:"), std::string::npos)
      << copied.out;
}

TEST_F(SmallLoop, EntriesWithNothingToInsertAreSkippedWhateverTheyName) {
  // Untranslated or fuzzy, an entry is not read: not even its context or
  // its plural forms are refused, so a refused catalogue always goes in again.
  const std::string odd = "msgctxt \"W 7F:7FFF\"\nmsgid \"a\"\nmsgstr \"\"\n\n"
                          "msgid \"b\"\nmsgstr \"\"\n\n"
                          "#, fuzzy\nmsgctxt \"W 7F:7FFE\"\nmsgid \"c\"\nmsgid_plural \"cs\"\nmsgstr[0] \"d\"\n\n";
  write_file(dir_.file("odd.po"), pot_ + "\n" + odd);
  const ProcessResult skipped = insert(dir_, {"--po", "odd.po", "--check", "Ambergale.smc"});
  EXPECT_EQ(skipped.status, 0) << skipped.err;
  const std::string plural = "msgctxt \"W 7F:7FFD\"\nmsgid \"c\"\nmsgid_plural \"cs\"\nmsgstr[0] \"d\"\n";
  write_file(dir_.file("plural.po"), pot_ + "\n" + odd + plural);
  const ProcessResult kept = insert(dir_, {"--po", "plural.po", "-k", "--refused", "r.po", "-o", "new.smc", "Ambergale.smc"});
  EXPECT_EQ(kept.status, 3) << kept.err;
  EXPECT_NE(kept.err.find("(W 7F:7FFD) an entry with plural forms"), std::string::npos) << kept.err;
  EXPECT_EQ(insert(dir_, {"--po", "r.po", "-o", "again.smc", "Ambergale.smc"}).status, 0);
}

// Every msgid's characters shuffled, its tags, names and escapes kept.
std::string shuffled(const std::string& text, std::mt19937& random) {
  std::vector<std::string> pieces;
  std::vector<std::size_t> movable;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at + 1;
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (const std::size_t close = text.find(text[at] == '<' ? '>' : ')', at);
        (text[at] == '<' || text[at] == '(') && close != std::string::npos) {
      end = close + 1;
    } else if (text[at] == '\\') {
      end = at + 2;
    } else if (c >= 0xC0) {
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
      movable.push_back(pieces.size());
    }
    pieces.push_back(text.substr(at, end - at));
    at = end;
  }
  std::vector<std::string> moved;
  for (const std::size_t k : movable) moved.push_back(pieces[k]);
  std::shuffle(moved.begin(), moved.end(), random);
  for (std::size_t k = 0; k < movable.size(); ++k) pieces[movable[k]] = moved[k];
  std::string out;
  for (const std::string& piece : pieces) out += piece;
  return out;
}

TEST(TranslatorLoop, AWholeCatalogueGoesInOrIsListedAndGoesInAgain) {
  TempDir dir;
  testing_support::write_image(dir, "Ambergale.smc", sample::make_sample(3).layout.image);
  write_file(dir.file("mescmd.dat"), sample::sample_opcode_file());
  ASSERT_EQ(testing_support::run_tool(dir.path(), {"--pot", "game.pot"}).status, 0);
  const std::string pot = read_file(dir.file("game.pot"));
  std::mt19937 random(3);
  std::string po = pot.substr(0, pot.find("\n\n") + 2);
  std::map<std::string, std::string> translations;
  for (const auto& [context, entry] : entries_of(pot)) {
    const std::string text = shuffled(entry.source, random);
    if (text != entry.source) translations[context] = text;
    po += "msgctxt \"" + context + "\"\nmsgid \"" + testing_support::po_quoted(entry.source) + "\"\nmsgstr \"" +
          testing_support::po_quoted(text) + "\"\n\n";
  }
  write_file(dir.file("ja.po"), po);
  const ProcessResult kept = insert(dir, {"--po", "ja.po", "-o", "new.smc", "--keep-going", "--refused", "r.po", "Ambergale.smc"});
  ASSERT_EQ(kept.status, 3) << kept.err.substr(0, 2000);
  const std::map<std::string, PoEntry> refused = entries_of(read_file(dir.file("r.po")));
  TempDir made;
  write_file(made.file("Ambergale.smc"), read_file(dir.file("new.smc")));
  write_file(made.file("mescmd.dat"), sample::sample_opcode_file());
  ASSERT_EQ(testing_support::run_tool(made.path(), {"--pot", "new.pot"}).status, 0);
  const std::map<std::string, PoEntry> shown = entries_of(read_file(made.file("new.pot")));
  std::size_t inserted = 0, listed = 0;
  const std::string r = read_file(dir.file("r.po"));
  for (const auto& [context, text] : translations) {
    if (refused.at(context).fuzzy) {
      ++listed;
      // One reason an entry, however many lines show it.
      const std::size_t at = r.find("msgctxt \"" + context + "\"");
      const std::size_t start = r.rfind("\n\n", at);
      EXPECT_EQ(r.find(kRefusedComment, r.find(kRefusedComment, start) + 1) > at, true) << context;
      continue;
    }
    ++inserted;
    EXPECT_EQ(shown.at(context).source, text) << context;
  }
  EXPECT_GT(inserted, translations.size() / 4);
  EXPECT_GT(listed, 0u);
  // Each reason tells the translator what to change in characters.
  std::size_t comments = 0;
  for (std::size_t at = r.find(kRefusedComment); at != std::string::npos; at = r.find(kRefusedComment, at + 1)) {
    ++comments;
    const std::string reason = r.substr(at, r.find('\n', at) - at);
    EXPECT_NE(reason.find("character"), std::string::npos) << reason;
  }
  EXPECT_GE(comments, listed);
  const ProcessResult again = insert(dir, {"--po", "r.po", "-o", "again.smc", "Ambergale.smc"});
  ASSERT_EQ(again.status, 0) << again.err.substr(0, 2000);
  EXPECT_TRUE(read_file(dir.file("again.smc")) == read_file(dir.file("new.smc")));
}

}  // namespace
}  // namespace ambergale
