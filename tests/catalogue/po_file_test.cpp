// The catalogue as a PO file, written and read with gettext's library, and
// what gettext's own tools make of it.
#include "catalogue/po_file.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "catalogue/catalogue.hpp"
#include "catalogue/po_edits.hpp"
#include "dump/dump_run.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "sample/sample_content.hpp"
#include "support/po_support.hpp"
#include "support/temp_dir.hpp"

namespace ambergale {
namespace {

using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

class PoFile : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::vector<std::uint8_t> image = sample::make_sample(3).layout.image;
    const MemoryRun run = run_in_memory(image, sample::sample_opcode_file(), DumpSettings{}, false);
    ASSERT_FALSE(run.failure);
    Cartridge cart;
    cart.bytes = image;
    items_ = new std::vector<CatalogueItem>(catalogue_items(cart, *run.tables, map_stored_messages(cart, *run.tables, true)));
    crc_ = image_crc(image);
    template_ = new std::string;
    ASSERT_FALSE(write_po_template(*items_, "9.9", crc_, *template_));
  }
  static void TearDownTestSuite() {
    delete items_;
    delete template_;
  }

  // Runs a shell command in the scratch folder; its exit status.
  int run(const std::string& command) const {
    return std::system(("cd '" + dir_.path().string() + "' && " + command + " >/dev/null 2>&1").c_str());
  }

  static std::vector<CatalogueItem>* items_;
  static std::uint32_t crc_;
  static std::string* template_;
  TempDir dir_;
};

std::vector<CatalogueItem>* PoFile::items_ = nullptr;
std::uint32_t PoFile::crc_ = 0;
std::string* PoFile::template_ = nullptr;

TEST_F(PoFile, TheTemplateReadsBackAsTheCatalogue) {
  PoCatalogue read;
  ASSERT_FALSE(read_po_file("game.pot", *template_, read));
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08X", crc_);
  EXPECT_EQ(read.image_crc, crc);
  ASSERT_EQ(read.entries.size(), items_->size());
  const Cp932ToUtf8 to_utf8;
  for (std::size_t k = 0; k < items_->size(); ++k) {
    const PoEntry& entry = read.entries[k];
    std::string text;
    to_utf8.convert((*items_)[k].text, text);
    EXPECT_EQ(entry.context, (*items_)[k].context);
    EXPECT_EQ(entry.source, text) << entry.context;
    EXPECT_EQ(entry.translation, "");
    EXPECT_GT(entry.line, 0u);
    EXPECT_FALSE(entry.fuzzy || entry.obsolete || entry.plural);
  }
  // A catalogue read again into the same place holds the file's entries once.
  ASSERT_FALSE(read_po_file("game.pot", *template_, read));
  EXPECT_EQ(read.entries.size(), items_->size());
  // The references and comments are gettext's usual ones.
  EXPECT_NE(template_->find("\n#: wordlist.txt:1\n"), std::string::npos);
  EXPECT_NE(template_->find("\n#. dictionary entry 0410 at F8:"), std::string::npos);
}

TEST_F(PoFile, TheHeaderExplainsTagsAndEachEntryListsThoseToKeep) {
  EXPECT_EQ(template_->rfind("# How a text is written, in msgid and msgstr alike:\n", 0), 0u);
  EXPECT_NE(template_->find("\n#   <1300 ...>  control 0013, 3 arguments\n"), std::string::npos);
  EXPECT_NE(template_->find("\n#   <1900 ...>  control 0019, 1 argument (0080-0085: the six names"), std::string::npos);
  EXPECT_NE(template_->find("\n#   <1000> <1100> <1400> <1500> <1A00> <1C00> <1D00> <1E00> <1F00>  no character"), std::string::npos);
  EXPECT_LT(template_->find("# A translation may move"), template_->find("msgid \"\""));
  PoCatalogue read;
  ASSERT_FALSE(read_po_file("game.pot", *template_, read));
  std::map<std::string, std::string> expected;  // context -> its "keep these tags" line, or ""
  std::size_t with_tags = 0;
  for (const PoEntry& entry : read.entries) {
    std::string line;
    for (const std::string& tag : testing_support::controls_in(entry.source)) line += (line.empty() ? "#. keep these tags: " : " ") + tag;
    with_tags += !line.empty();
    expected[entry.context] = line;
  }
  EXPECT_GT(with_tags, 1000u);
  std::size_t blocks = 0;
  for (std::size_t at = template_->find("\n\n"); at != std::string::npos; at = template_->find("\n\n", at + 2)) {
    const std::string block = template_->substr(at + 2, template_->find("\n\n", at + 2) - at - 2);
    const std::size_t context = block.find("msgctxt \"") + 9;
    const std::size_t keep = block.find("#. keep these tags: ");
    const std::string shown = keep == std::string::npos ? "" : block.substr(keep, block.find('\n', keep) - keep);
    EXPECT_EQ(shown, expected.at(block.substr(context, block.find('"', context) - context))) << block;
    ++blocks;
  }
  EXPECT_EQ(blocks, read.entries.size());
}

TEST_F(PoFile, GettextsToolsTakeItAsItIs) {
  write_file(dir_.file("game.pot"), *template_);
  ASSERT_EQ(run("msgfmt --check -o /dev/null game.pot"), 0);
  // msgcat gives the same entries back.
  ASSERT_EQ(run("msgcat -o again.pot game.pot"), 0);
  PoCatalogue original, again;
  ASSERT_FALSE(read_po_file("game.pot", *template_, original));
  ASSERT_FALSE(read_po_file("again.pot", read_file(dir_.file("again.pot")), again));
  ASSERT_EQ(again.entries.size(), original.entries.size());
  for (std::size_t k = 0; k < again.entries.size(); ++k) {
    EXPECT_EQ(again.entries[k].context, original.entries[k].context);
    EXPECT_EQ(again.entries[k].source, original.entries[k].source);
  }
  // A translation made from it checks, and merged into the template of the
  // same image keeps every translation.
  ASSERT_EQ(run("msginit --no-translator -l ja_JP.UTF-8 -i game.pot -o ja.po"), 0);
  std::map<std::string, std::string> translations;
  for (std::size_t k = 0; k < original.entries.size() && translations.size() < 40; k += 97) {
    const PoEntry& entry = original.entries[k];
    if (entry.source.empty() || entry.source.front() == '\n' || entry.source.back() == '\n') continue;
    translations[entry.context] = entry.source + "\xe3\x81\x82";  // あ
  }
  write_file(dir_.file("ja.po"), testing_support::translated(read_file(dir_.file("ja.po")), translations));
  ASSERT_EQ(run("msgfmt --check -o /dev/null ja.po"), 0);
  ASSERT_EQ(run("msgmerge -q -o merged.po ja.po game.pot"), 0);
  PoCatalogue merged;
  ASSERT_FALSE(read_po_file("merged.po", read_file(dir_.file("merged.po")), merged));
  std::size_t kept = 0;
  for (const PoEntry& entry : merged.entries) {
    const auto found = translations.find(entry.context);
    if (found == translations.end()) continue;
    EXPECT_EQ(entry.translation, found->second) << entry.context;
    EXPECT_FALSE(entry.fuzzy) << entry.context;
    ++kept;
  }
  EXPECT_EQ(kept, translations.size());
}

TEST_F(PoFile, WhatIsNoPoFileIsRefusedWhereTheLibraryFoundIt) {
  const std::pair<std::string, std::string> cases[] = {
      {std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10), "x.po:1"},
      {"msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\nmsgctxt \"W 00:0001\"\nmsgid \"\xff\xfe\"\nmsgstr \"x\"\n",
       "x.po:6"},
      {"msgid \"a\"\nmsgstr \"b\"\nmsgid \"a\"\nmsgstr \"c\"\n", "x.po:3"},
  };
  for (const auto& [contents, where] : cases) {
    PoCatalogue read;
    const Outcome refused = read_po_file("x.po", contents, read);
    ASSERT_TRUE(refused) << where;
    EXPECT_EQ(refused->place(), where) << refused->text();
    EXPECT_FALSE(refused->reason.empty());
  }
}

}  // namespace
}  // namespace ambergale
