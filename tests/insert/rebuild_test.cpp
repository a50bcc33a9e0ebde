#include <gtest/gtest.h>

#include <algorithm>

#include "dump/dump_lines.hpp"
#include "insert/edit_set.hpp"
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
