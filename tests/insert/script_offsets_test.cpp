// Declared offsets moved along when script messages change length: which
// are rewritten and to what, which are refused or left alone, and the proof
// that a new script keeps them.
#include "insert/script_offsets.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

// goto @w, goto @0, skip +@0, loop +@d
OffsetTable jumps() {
  OffsetTable table;
  table[0x22] = {{OffsetField::word_le, false}};
  table[0x23] = {{OffsetField::byte0, false}};
  table[0x24] = {{OffsetField::byte0, true}};
  table[0x25] = {{OffsetField::word_be, true}};
  return table;
}

// A script of 19 bytes with one embedded message at [3, 8):
//   0000 24 0B     skip +0B    to 000D, across the message
//   0002 58        message     (its message at 0003, 5 bytes)
//   0008 23 0A     goto 0A     to 000A, after it
//   000A 25 FF F5  loop -11    back to 0002, across it
//   000D 22 00 00  goto 0000   before it
//   0010 23 05     goto 05     into the message
//   0012 00        end
struct WorkedScript {
  std::vector<std::uint8_t> bytes = {0x24, 0x0B, 0x58, 1, 2, 3, 4, 5, 0x23, 0x0A, 0x25, 0xFF, 0xF5, 0x22, 0, 0, 0x23, 0x05, 0x00};
  ScriptShape shape{19,
                    {{0, 2, 0x24, true}, {2, 1, 0x58, false}, {8, 2, 0x23, true}, {10, 3, 0x25, true}, {13, 3, 0x22, true},
                     {16, 2, 0x23, true}, {18, 1, 0x00, true}},
                    {{3, 8}}};
};

TEST(MovedPosition, MovesWhatLiesPastEachSplice) {
  const std::vector<ScriptSplice> splices = {{3, 5, 8}, {20, 4, 2}};
  const std::pair<int, int> cases[] = {{0, 0}, {3, 3}, {8, 11}, {19, 22}, {20, 23}, {24, 25}, {40, 41}};
  for (const auto& [old, moved] : cases) EXPECT_EQ(moved_position(splices, old), moved) << old;
}

TEST(MoveOffsets, AMessageThatGrowsMovesTheOffsetsAcrossAndPastIt) {
  const WorkedScript script;
  const std::vector<ScriptSplice> grown = {{3, 5, 8}};
  const OffsetMoves moves = move_offsets(script.shape, script.bytes, jumps(), grown);
  ASSERT_EQ(moves.rewritten.size(), 3u);
  const struct {
    int instruction, position;
    std::vector<std::uint8_t> bytes;
  } expected[] = {
      {0, 1, {0x0E}},         // relative, across: 0010 from 0002
      {2, 12, {0x0D}},        // absolute, past it: 000D, in the instruction now at 000B
      {3, 14, {0xFF, 0xF2}},  // backward relative, across: 0002 from 0010
  };
  for (std::size_t k = 0; k < moves.rewritten.size(); ++k) {
    EXPECT_EQ(moves.rewritten[k].at.instruction, expected[k].instruction) << k;
    EXPECT_EQ(moves.rewritten[k].position, expected[k].position) << k;
    EXPECT_EQ(moves.rewritten[k].bytes, expected[k].bytes) << k;
    EXPECT_EQ(moves.rewritten[k].moved_by, std::vector<std::size_t>{0}) << k;
  }
  ASSERT_EQ(moves.refused.size(), 1u);
  EXPECT_EQ(moves.refused[0].at.instruction, 5);
  EXPECT_EQ(moves.refused[0].reason, "its offset @0 points into the message at 0003, which changes");
  EXPECT_EQ(moves.refused[0].splices, std::vector<std::size_t>{0});
  EXPECT_TRUE(moves.left.empty());
}

// Offsets at the edges of two messages, the first rewritten at its length,
// the second grown by a byte:
//   0000 23 0B     goto 0B     right after the second message
//   0002 22 06 00  goto 0006   the first message's first byte
//   0005 58        message     (its message at 0006, 2 bytes)
//   0008 58        message     (its message at 0009, 2 bytes)
//   000B 25 00 00  loop +0     the script's end, where its instruction ends
TEST(MoveOffsets, OffsetsAtTheEdgesOfMessagesNameOnlyTheChangesThatMovedThem) {
  const std::vector<std::uint8_t> bytes = {0x23, 0x0B, 0x22, 0x06, 0x00, 0x58, 1, 2, 0x58, 1, 2, 0x25, 0x00, 0x00};
  const ScriptShape shape{
      14, {{0, 2, 0x23, true}, {2, 3, 0x22, true}, {5, 1, 0x58, false}, {8, 1, 0x58, false}, {11, 3, 0x25, true}}, {{6, 8}, {9, 11}}};
  const std::vector<ScriptSplice> splices = {{6, 2, 2}, {9, 2, 3}};
  const OffsetMoves moves = move_offsets(shape, bytes, jumps(), splices);
  ASSERT_EQ(moves.rewritten.size(), 1u);
  EXPECT_EQ(moves.rewritten[0].at.instruction, 0);
  EXPECT_EQ(moves.rewritten[0].bytes, std::vector<std::uint8_t>{0x0C});
  EXPECT_EQ(moves.rewritten[0].moved_by, std::vector<std::size_t>{1});
  ASSERT_EQ(moves.refused.size(), 1u);
  EXPECT_EQ(moves.refused[0].at.instruction, 1);
  EXPECT_EQ(moves.refused[0].reason, "its offset @w points into the message at 0006, which changes");
  EXPECT_EQ(moves.refused[0].splices, std::vector<std::size_t>{0});
  EXPECT_TRUE(moves.left.empty());
}

TEST(MoveOffsets, AMessageThatKeepsItsLengthMovesNothing) {
  const WorkedScript script;
  const std::vector<ScriptSplice> same = {{3, 5, 5}};
  const OffsetMoves moves = move_offsets(script.shape, script.bytes, jumps(), same);
  EXPECT_TRUE(moves.rewritten.empty());
  EXPECT_EQ(moves.refused.size(), 1u);  // its bytes still change under the offset into it
}

// A script whose instruction at 0 jumps to the end instruction at `end`,
// past a message that fills the bytes between.
struct LongScript {
  std::vector<std::uint8_t> bytes;
  ScriptShape shape;
  LongScript(std::uint8_t op, int end) : bytes(static_cast<std::size_t>(end) + 1, 0x41) {
    bytes[0] = op;
    bytes[1] = op == 0x23 ? static_cast<std::uint8_t>(end) : static_cast<std::uint8_t>(end - 2);
    bytes[2] = 0x58;
    shape = {end + 1, {{0, 2, op, true}, {2, 1, 0x58, false}, {end, 1, 0x00, true}}, {{3, end}}};
  }
};

TEST(MoveOffsets, OffsetsUpToTheEdgeOfTheirWidthAreWritten) {
  const struct {
    std::uint8_t op;
    int end;
    int growth;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {0x23, 0xFD, 2, {0xFF}},  // absolute, the most one byte holds
      {0x24, 0x7E, 3, {0x7F}},  // relative, the most forward
  };
  for (const auto& c : cases) {
    const LongScript script(c.op, c.end);
    const std::vector<ScriptSplice> grown = {{3, c.end - 3, c.end - 3 + c.growth}};
    const OffsetMoves moves = move_offsets(script.shape, script.bytes, jumps(), grown);
    ASSERT_EQ(moves.rewritten.size(), 1u) << int{c.op};
    EXPECT_EQ(moves.rewritten[0].bytes, c.bytes);
    EXPECT_TRUE(moves.refused.empty());
  }
}

TEST(MoveOffsets, WordsAreWrittenInTheirOwnByteOrder) {
  // 0000 22 06 01   goto 0106          0003 25 01 00   loop +0100 to 0106
  // 0006 58         message at 0007    0106 00          end
  std::vector<std::uint8_t> bytes(0x107, 0x41);
  const std::uint8_t head[] = {0x22, 0x06, 0x01, 0x25, 0x01, 0x00, 0x58};
  std::copy(std::begin(head), std::end(head), bytes.begin());
  const ScriptShape shape{0x107, {{0, 3, 0x22, true}, {3, 3, 0x25, true}, {6, 1, 0x58, false}, {0x106, 1, 0x00, true}}, {{7, 0x106}}};
  const std::vector<ScriptSplice> grown = {{7, 0xFF, 0x101}};
  const OffsetMoves moves = move_offsets(shape, bytes, jumps(), grown);
  ASSERT_EQ(moves.rewritten.size(), 2u);
  EXPECT_EQ(moves.rewritten[0].bytes, (std::vector<std::uint8_t>{0x08, 0x01}));  // low byte first
  EXPECT_EQ(moves.rewritten[1].bytes, (std::vector<std::uint8_t>{0x01, 0x02}));  // high byte first
  EXPECT_EQ(moves.rewritten[1].position, 4);
}

TEST(MoveOffsets, AnOffsetItsWidthCannotHoldIsRefusedWithTheBytesOver) {
  const struct {
    std::uint8_t op;
    int end;
    int growth;
    std::string reason;
  } cases[] = {
      {0x23, 0xFE, 2, "its offset @0 to 0100 would be 256, 1 byte past what one byte holds (0 to 255)"},
      {0x24, 0x7F, 3, "its offset +@0 to 0082 would be 128, 1 byte past what one byte holds (-128 to 127)"},
  };
  for (const auto& c : cases) {
    const LongScript script(c.op, c.end);
    const std::vector<ScriptSplice> grown = {{3, c.end - 3, c.end - 3 + c.growth}};
    const OffsetMoves moves = move_offsets(script.shape, script.bytes, jumps(), grown);
    ASSERT_EQ(moves.refused.size(), 1u) << c.reason;
    EXPECT_EQ(moves.refused[0].reason, c.reason);
    EXPECT_EQ(moves.refused[0].splices, std::vector<std::size_t>{0});
    EXPECT_TRUE(moves.rewritten.empty());
  }
}

TEST(MoveOffsets, OffsetsThatPointedNowhereTheChangesKeepAreLeftAndListed) {
  // 0000 23 01   goto 01: inside itself
  // 0002 23 40   goto 40: past the script
  // 0004 58      message at 0005, 2 bytes
  // 0007 22 07   goto @w: runs past the end
  const std::vector<std::uint8_t> bytes = {0x23, 0x01, 0x23, 0x40, 0x58, 1, 2, 0x22, 0x07};
  const ScriptShape shape{9, {{0, 2, 0x23, true}, {2, 2, 0x23, true}, {4, 1, 0x58, false}, {7, 3, 0x22, true}}, {{5, 7}}};
  const std::vector<ScriptSplice> grown = {{5, 2, 4}};
  const OffsetMoves moves = move_offsets(shape, bytes, jumps(), grown);
  EXPECT_TRUE(moves.rewritten.empty());
  EXPECT_TRUE(moves.refused.empty());
  ASSERT_EQ(moves.left.size(), 3u);
  EXPECT_EQ(moves.left[0].reason, "points at 0001, where no instruction starts");
  EXPECT_EQ(moves.left[1].reason, "points at 0040, outside its script");
  EXPECT_EQ(moves.left[2].reason, "its instruction runs past the script's end");
}

TEST(OffsetsKept, TellsWhetherEveryOffsetStillPointsAtItsInstruction) {
  const WorkedScript old;
  // The message grown by three bytes, every offset but the one into it moved.
  std::vector<std::uint8_t> bytes = {0x24, 0x0E, 0x58, 1, 2, 3, 4, 5, 6, 7, 8, 0x23, 0x0D, 0x25, 0xFF, 0xF2, 0x22, 0, 0, 0x23, 0x05, 0x00};
  ScriptShape shape{22,
                    {{0, 2, 0x24, true}, {2, 1, 0x58, false}, {11, 2, 0x23, true}, {13, 3, 0x25, true}, {16, 3, 0x22, true},
                     {19, 2, 0x23, true}, {21, 1, 0x00, true}},
                    {{3, 11}}};
  EXPECT_EQ(offsets_kept(old.shape, old.bytes, shape, bytes, jumps()), std::nullopt);
  bytes[12] = 0x0A;  // the absolute goto left where it was
  const std::optional<std::string> why = offsets_kept(old.shape, old.bytes, shape, bytes, jumps());
  ASSERT_TRUE(why);
  EXPECT_EQ(*why, "the instruction at 0008 (@0) pointed at the instruction at 000A, and its copy at 000B does not point at the same "
                  "instruction");
  bytes[12] = 0x0D;
  shape.instructions.erase(shape.instructions.begin() + 2);
  // An instruction lost: the first offset's target is now another index.
  EXPECT_EQ(offsets_kept(old.shape, old.bytes, shape, bytes, jumps()),
            "the instruction at 0000 (+@0) pointed at the instruction at 000D, and its copy at 0000 does not point at the same "
            "instruction");
  shape.instructions.insert(shape.instructions.begin() + 2, {11, 2, 0x01, true});  // another opcode in its place
  EXPECT_EQ(offsets_kept(old.shape, old.bytes, shape, bytes, jumps()), "the instruction at 0008 (@0) is no longer there");
}

}  // namespace
}  // namespace ambergale
