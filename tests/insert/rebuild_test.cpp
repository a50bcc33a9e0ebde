#include <gtest/gtest.h>

#include <algorithm>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_lines.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "insert/rebuild.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale {
namespace {

// The small image loaded and its scripts mapped, as a rebuild reads it.
OriginalImage small_original() {
  const testing_support::SmallInsert small = testing_support::small_insert(testing_support::small_image());
  OriginalImage original{small.inputs.image_file, "image.smc", small.inputs.opcode_file, Encoding::shift_jis, {}, {}, {}};
  EXPECT_FALSE(load_original(original));
  map_scripts(original);
  return original;
}

TEST(EveryTextLine, KeepsTheUsersChangesAndAddsEveryOtherMessageLineAsItIs) {
  const OriginalImage original = small_original();
  ChangeSet changes;
  std::array<std::optional<std::string>, 4> edited;
  const std::vector<std::string_view> word_lists = split_lines(original.dump.dumps[0]);
  edited[0] = with_lines(original.dump.dumps[0], {{2, std::string(word_lists[1]) + "\x82\xa0"}});  // あ
  edited[2] = with_lines(original.dump.dumps[2], {{1, std::string(split_lines(original.dump.dumps[2])[0]) + "\x82\xa0"}});
  ASSERT_FALSE(changes_from_dumps(original.dump.dumps, edited, Encoding::shift_jis, changes));
  const ChangeSet lines = every_text_line(original, changes);

  EXPECT_TRUE(lines[2].empty());  // dictionary edits are never lines of a rebuild
  const MessageMap& map = original.map;
  for (const std::size_t d : {0u, 1u, 3u}) {
    SCOPED_TRACE(d);
    const std::vector<std::string_view> dump = split_lines(original.dump.dumps[d]);
    std::size_t expected = 0;
    for (std::size_t n = 1; n <= dump.size(); ++n) {
      const bool ends = d == 0   ? ends_with_end_code(map.messages.at(map.entries[n - 1].address).units)
                        : d == 1 ? ends_with_end_code(map.block[n - 1].units)
                                 : map.script_lines[n - 1].kind == ScriptLine::Kind::message && ends_with_end_code(map.script_lines[n - 1].units);
      expected += ends || (d == 0 && n == 2);
    }
    ASSERT_EQ(lines[d].size(), expected);
    EXPECT_TRUE(std::is_sorted(lines[d].begin(), lines[d].end(), [](const Change& a, const Change& b) { return a.number < b.number; }));
    for (const Change& line : lines[d]) {
      const bool users = d == 0 && line.number == 2;
      EXPECT_EQ(untouched_line(item_of(line.origin)), !users) << line.number;
      EXPECT_EQ(line.original, dump[line.number - 1]);
      if (!users) {
        EXPECT_EQ(line.edited, line.original) << line.number;
      }
    }
  }
  EXPECT_EQ(lines[0][1].edited, changes[0][0].edited);
  EXPECT_FALSE(untouched_line(item_of(changes[0][0].origin)));
}

}  // namespace
}  // namespace ambergale

namespace ambergale {
namespace {

TEST(RebuildReport, GivesEachKindsBitsTheDictionaryTheDepthsAndTheWarnings) {
  InsertReport report;
  RebuildFigures figures;
  figures.scope = encode::RebuildScope::trees;
  figures.before = {encode::WrittenBits{700, 100}, encode::WrittenBits{1100, 100}, encode::WrittenBits{0, 0}};
  figures.after = {encode::WrittenBits{750, 150}, encode::WrittenBits{1000, 200}, encode::WrittenBits{0, 0}};
  figures.entry_bytes = 9000;
  figures.entry_room = 12000;
  figures.entry_bytes_before = 11500;
  figures.entries_chosen = 3000;
  figures.carriers = 2;
  figures.aliases = 3;
  figures.depths_before = {14, 9, 11, 10};
  figures.depths = {13, 9, 12, 10};
  figures.nesting_before = 11;
  figures.nesting = 6;
  report.counts.rebuild = figures;
  const std::string text = report_text(report);
  for (const char* line : {
           "tables chosen again for the new text: the dictionary, its trees and the text trees\n",
           "  word lists: 7.00 bits a character before (100 characters), 5.00 bits a character after (150)\n",
           "  sequential block: 11.00 bits a character before (100 characters), 5.00 bits a character after (200)\n",
           "  script messages: no characters before (0 characters), no characters after (0)\n",
           "  dictionary: 3000 entries chosen, 2 of them carrying one character the text trees do not write; 9000 bytes of "
           "12000 up to F8:FA6E (the image's took 11500)\n",
           "  aliases: 3 characters given entries of their own, so that the script messages holding them could be written a few "
           "bits longer\n",
           "  deepest codes (text lead, text low, dictionary lead, dictionary low): 13, 9, 12, 10 bits (the image's: 14, 9, 11, "
           "10); dictionary nesting 6 (the image's: 11)\n",
           "warning: the game's decoder may not handle deeper codes or deeper nesting than the image's own; compare them above\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
  }
  EXPECT_EQ(text.find("edits of dictionary entries"), std::string::npos);
  EXPECT_EQ(text.find("with no end code"), std::string::npos);
  report.counts.rebuild->entry_edits_left_out = 2;
  report.counts.rebuild->without_end = 1;
  const std::string warned = report_text(report);
  EXPECT_NE(warned.find("warning: 2 edits of dictionary entries left out"), std::string::npos);
  EXPECT_NE(warned.find("warning: 1 message with no end code"), std::string::npos);
}

}  // namespace
}  // namespace ambergale

namespace ambergale {
namespace {

TEST(RebuildRegion, RefusesADictionaryWhoseFirstEntryLiesAmongTheTablesBeforeIt) {
  std::vector<std::uint8_t> image = testing_support::small_image();
  const std::size_t pointer = static_cast<std::size_t>(rom_offset(cartridge_map::kDictionaryPointers.bank,
                                                                   cartridge_map::kDictionaryPointers.address));
  image[pointer] = 0x00;  // entry 0 at F8:B800, inside the dictionary's low tree
  image[pointer + 1] = 0xB8;
  const testing_support::SmallInsert small = testing_support::small_insert(image);
  OriginalImage original{small.inputs.image_file, "image.smc", small.inputs.opcode_file, Encoding::shift_jis, {}, {}, {}};
  ASSERT_FALSE(load_original(original));
  map_scripts(original);
  InsertSettings settings;
  settings.relayout = true;
  settings.script_offsets = ScriptOffsets::declared;
  settings.rebuild = encode::RebuildScope::trees;
  InsertResult result;
  const Outcome failure = run_insert(original, {}, settings, result);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->reason,
            "the dictionary's first entry lies at F8:B800, not between the byte trees' end at F8:BB4A and the dictionary's end at "
            "F8:FA6E: the tables cannot be chosen again for this image");
  EXPECT_TRUE(result.image_file.empty());
}

}  // namespace
}  // namespace ambergale
