#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "sample/sample_content.hpp"
#include "script/disassembler.hpp"
#include "support/run_tool.hpp"
#include "support/tool_process.hpp"

namespace ambergale {
namespace {

using sample::SampleCartridge;
using testing_support::read_file;
using testing_support::TempDir;

// Where an offset operand of the instruction at `start`, `shown` bytes long,
// sends the script: read here byte by byte, apart from the layout's writing.
int target_of(std::span<const std::uint8_t> script, int start, int shown, OffsetOperand operand) {
  const auto at = [&](int k) { return script_byte(script, start + k); };
  const std::map<OffsetField, int> values = {
      {OffsetField::byte0, at(1)},          {OffsetField::byte1, at(2)},          {OffsetField::byte2, at(3)},
      {OffsetField::word_le, at(1) | at(2) << 8}, {OffsetField::word_be, at(1) << 8 | at(2)},
  };
  int value = values.at(operand.field);
  if (!operand.relative) return value;
  const int bits = operand.field == OffsetField::word_le || operand.field == OffsetField::word_be ? 16 : 8;
  if (value >= 1 << (bits - 1)) value -= 1 << bits;
  return start + shown + value;
}

// What the jumps of the samples show, tallied over every one.
struct JumpKinds {
  std::map<std::pair<bool, int>, int> by_field;  // (relative, bytes) -> jumps
  int forward = 0;
  int backward = 0;
  int forward_across_message = 0;
  int to_end = 0;
};

// Walks one script as the dump does, checking that each declared offset
// lands on an instruction start of it or its end.
class JumpChecker {
 public:
  JumpChecker(std::span<const std::uint8_t> script, const TreePair& trees, const OffsetTable& offsets)
      : script_(script), trees_(trees), offsets_(offsets) {}

  bool ok() const { return true; }
  void instruction(std::int64_t position, int op, int shown, int) {
    starts_.insert(static_cast<int>(position));
    if (!offsets_[op].empty()) jumps_.push_back({static_cast<int>(position), op, shown});
  }
  std::int64_t message(std::int64_t position, int) {
    messages_.push_back(static_cast<int>(position));
    return decode_embedded(script_, static_cast<int>(script_.size()), position, trees_, codes_).consumed;
  }

  void check(int script_index, JumpKinds& kinds) const {
    const int length = static_cast<int>(script_.size());
    for (const Jump& jump : jumps_) {
      for (const OffsetOperand& operand : offsets_[jump.op]) {
        const int target = target_of(script_, jump.start, jump.shown, operand);
        EXPECT_TRUE(starts_.count(target) || target == length)
            << "script " << script_index << ": the jump at " << jump.start << " lands on " << target;
        tally(jump, operand, target, kinds);
      }
    }
  }

 private:
  struct Jump {
    int start;
    int op;
    int shown;
  };

  void tally(const Jump& jump, OffsetOperand operand, int target, JumpKinds& kinds) const {
    const bool word = operand.field == OffsetField::word_le || operand.field == OffsetField::word_be;
    ++kinds.by_field[{operand.relative, word ? 2 : 1}];
    const bool forward = target > jump.start;
    ++(forward ? kinds.forward : kinds.backward);
    const int low = std::min(jump.start, target);
    const int high = std::max(jump.start, target);
    const bool across = std::any_of(messages_.begin(), messages_.end(), [&](int m) { return m > low && m < high; });
    kinds.forward_across_message += across && forward;
    kinds.to_end += target == static_cast<int>(script_.size());
  }

  std::span<const std::uint8_t> script_;
  const TreePair& trees_;
  const OffsetTable& offsets_;
  CodeBuffer codes_{};
  std::set<int> starts_;
  std::vector<int> messages_;
  std::vector<Jump> jumps_;
};

class JumpSample : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (std::uint32_t seed : {1u, 2u}) samples_.push_back(std::make_unique<SampleCartridge>(sample::make_sample(seed, true)));
    ASSERT_FALSE(parse_opcodes(sample::sample_opcode_file(true), opcodes_));
  }
  static void TearDownTestSuite() { samples_.clear(); }

  static inline std::vector<std::unique_ptr<SampleCartridge>> samples_;
  static inline OpcodeTable opcodes_;
};

TEST_F(JumpSample, EveryJumpLandsOnAnInstructionStartOfItsScript) {
  const OffsetTable offsets = sample::sample_jump_offsets();
  for (const auto& sample : samples_) {
    const encode::TextCoder coder = sample::text_coder_for(sample->content);
    const TreePair trees = coder.trees();
    JumpKinds kinds;
    for (int i = 0; i < sample::kScriptCount; ++i) {
      const std::vector<std::uint8_t>& script = sample->layout.script_bytes[i];
      JumpChecker checker(script, trees, offsets);
      walk_script(script, static_cast<int>(script.size()), opcodes_, checker);
      checker.check(i, kinds);
      EXPECT_EQ(script.back(), 0x00) << "script " << i;
    }
    for (const auto& field : {std::pair{false, 1}, {false, 2}, {true, 1}, {true, 2}}) {
      EXPECT_GT(kinds.by_field[field], 500) << "relative " << field.first << ", bytes " << field.second;
    }
    EXPECT_GT(kinds.forward, 1000);
    EXPECT_GT(kinds.backward, 1000);
    EXPECT_GT(kinds.forward_across_message, 500);
    EXPECT_GT(kinds.to_end, 100);
  }
}

TEST(JumpSampleOpcodes, OnlyTheJumpsAreAddedToThePlainSamplesFile) {
  OpcodeTable plain;
  OpcodeTable with_jumps;
  ASSERT_FALSE(parse_opcodes(sample::sample_opcode_file(), plain));
  ASSERT_FALSE(parse_opcodes(sample::sample_opcode_file(true), with_jumps));
  const OffsetTable offsets = sample::sample_jump_offsets();
  for (int op = 0; op < kOpcodeCount; ++op) {
    if (offsets[op].empty()) {
      EXPECT_EQ(with_jumps[op].format, plain[op].format) << op;
    } else {
      EXPECT_EQ(plain[op].format, std::nullopt) << op;  // unused by the plain sample
      EXPECT_NE(with_jumps[op].format, std::nullopt) << op;
    }
  }
}

TEST_F(JumpSample, MakeSampleWritesItAndTheDumpReadsIt) {
  TempDir dir;
  const testing_support::ProcessResult made =
      testing_support::run_tool(dir.path(), {"--jumps", "--seed", "1", "."}, {}, MAKE_SAMPLE_PATH);
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string image = read_file(dir.file("Ambergale.smc"));
  EXPECT_TRUE(std::vector<std::uint8_t>(image.begin(), image.end()) == samples_[0]->layout.image);
  EXPECT_EQ(read_file(dir.file("mescmd.dat")), sample::sample_opcode_file(true));
  const testing_support::RunResult dumped = testing_support::run_in(dir, {});
  EXPECT_EQ(dumped.status, 0) << dumped.err;
}

}  // namespace
}  // namespace ambergale
