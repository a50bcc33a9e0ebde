// Script messages that change length on the sample with jumps, whose opcode
// file declares every offset: whole insert runs, growth in a group paid for
// by messages of the same group that shrink.
#include <gtest/gtest.h>

#include <iostream>
#include <map>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "dump/stored_messages.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "insert/script_offsets.hpp"
#include "sample/sample_content.hpp"
#include "support/line_text.hpp"
#include "text/code_units.hpp"

namespace ambergale {
namespace {

using Edits = std::vector<std::pair<std::size_t, std::string>>;

struct JumpSample {
  std::vector<std::uint8_t> image;
  MemoryRun dumps;
  Cartridge cart;
  std::vector<ScriptLine> map;
  std::vector<ScriptPlace> places;
};

const JumpSample& jump_sample(std::uint32_t seed) {
  static std::map<std::uint32_t, JumpSample> samples;
  if (const auto found = samples.find(seed); found != samples.end()) return found->second;
  JumpSample& sample = samples[seed];
  sample.image = sample::make_sample(seed, true).layout.image;
  sample.dumps = run_in_memory(sample.image, sample::sample_opcode_file(true), DumpSettings{}, true);
  sample.cart.bytes = sample.image;
  sample.map = map_script_lines(sample.cart, *sample.dumps.tables);
  sample.places = script_places(sample.cart);
  return sample;
}

InsertSettings declared() {
  InsertSettings settings;
  settings.relayout = true;
  settings.script_offsets = ScriptOffsets::declared;
  settings.keep_going = true;
  return settings;
}

Outcome insert(const JumpSample& sample, const Edits& edits, const InsertSettings& settings, InsertResult& result) {
  InsertInputs inputs{sample.image, "image.smc", sample::sample_opcode_file(true), {}, Encoding::shift_jis};
  inputs.edited[3] = with_lines(sample.dumps.dumps[3], edits);
  return insert_edited_dumps(inputs, settings, result);
}

bool shared(const JumpSample& sample, int script) {
  const ScriptPlace& place = sample.places[static_cast<std::size_t>(script)];
  return std::count_if(sample.places.begin(), sample.places.end(), [&](const ScriptPlace& other) {
           return other.bank == place.bank && other.address == place.address;
         }) > 1;
}

// Whether a message holds a dictionary entry: a character taken out of its
// text splits the entry, which may cost more than the character.
bool holds_entry(const ScriptLine& line) {
  return std::any_of(line.units.begin(), line.units.end(), [](std::uint16_t unit) { return kExpandedReferences.holds(unit); });
}

// Message lines of each script group that hold their end code, no
// dictionary entry and at least five wide characters, in an unshared block.
std::array<std::vector<std::size_t>, 4> editable_messages(const JumpSample& sample) {
  std::array<std::vector<std::size_t>, 4> found;
  const std::vector<std::string_view> lines = split_lines(sample.dumps.dumps[3]);
  for (std::size_t n = 0; n < sample.map.size(); ++n) {
    const ScriptLine& line = sample.map[n];
    if (line.kind != ScriptLine::Kind::message || !ends_with_end_code(line.units) || holds_entry(line) || shared(sample, line.script)) {
      continue;
    }
    // Five characters to take from, none with several codes (a doubled one
    // would not decide which).
    if (testing_support::wide_characters(lines[n], 0).size() < 5 || lines[n].find("\x81\xA1") != std::string_view::npos) continue;  // ■
    const auto group = std::find_if(cartridge_map::kScriptGroups.begin(), cartridge_map::kScriptGroups.end(),
                                    [&](const auto& g) { return line.script >= g.first && line.script < g.first + g.count; });
    found[static_cast<std::size_t>(group - cartridge_map::kScriptGroups.begin())].push_back(n + 1);
  }
  return found;
}

// `line` with `count` of its wide characters doubled, or taken out.
std::string grown(std::string_view line, int count) {
  std::string text(line);
  const std::vector<std::size_t> wide = testing_support::wide_characters(line, 0);
  for (int k = count; k-- > 0;) text.insert(wide[static_cast<std::size_t>(k)], line.substr(wide[static_cast<std::size_t>(k)], 2));
  return text;
}
std::string shrunk(std::string_view line, int count) {
  std::string text(line);
  const std::vector<std::size_t> wide = testing_support::wide_characters(line, 0);
  for (int k = count; k-- > 0;) text.erase(wide[static_cast<std::size_t>(k)], 2);
  return text;
}

// In each group, `pairs` messages grown by one to three characters, each
// paid for by another of the group shrunk by two more: a block compressed
// again ends where a word does, about half a byte later than one that ends
// where a byte does, and the sample's groups have no room to spare.
Edits balanced_campaign(const JumpSample& sample, std::size_t pairs) {
  const std::vector<std::string_view> lines = split_lines(sample.dumps.dumps[3]);
  Edits edits;
  for (const std::vector<std::size_t>& group : editable_messages(sample)) {
    const std::size_t stride = std::max<std::size_t>(1, group.size() / (2 * pairs));
    for (std::size_t p = 0; p < pairs && (2 * p + 1) * stride < group.size(); ++p) {
      const int growth = 1 + static_cast<int>(p % 3);
      const std::size_t up = group[2 * p * stride], down = group[(2 * p + 1) * stride];
      edits.emplace_back(up, grown(lines[up - 1], growth));
      edits.emplace_back(down, shrunk(lines[down - 1], growth + 2));
    }
  }
  std::sort(edits.begin(), edits.end());
  return edits;
}

// Every script's declared offsets in `image` point at the instructions they
// did in the sample.
Outcome offsets_kept_everywhere(const JumpSample& sample, const std::vector<std::uint8_t>& image) {
  ScriptUnits every;
  for (int script = 0; script < cartridge_map::kScriptCount; ++script) every[script] = {};
  Cartridge after;
  after.bytes = image;
  return prove_script_offsets({sample.cart, *sample.dumps.tables}, {after, *sample.dumps.tables}, every, sample::sample_jump_offsets());
}

TEST(ScriptOffsetsInsert, UnchangedDumpsGiveTheImageBack) {
  const JumpSample& sample = jump_sample(1);
  InsertResult result;
  const Outcome failure = insert(sample, {}, declared(), result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_TRUE(result.image_file == sample.image);
}

class ScriptOffsetsCampaign : public testing::TestWithParam<std::uint32_t> {};

TEST_P(ScriptOffsetsCampaign, GrowthPaidForWithinEachGroupGoesIn) {
  const JumpSample& sample = jump_sample(GetParam());
  const Edits edits = balanced_campaign(sample, 12);
  ASSERT_GE(edits.size(), 80u);
  InsertResult result;
  const Outcome failure = insert(sample, edits, declared(), result);
  ASSERT_FALSE(failure) << failure->text();
  for (const Refusal& refusal : result.refusals) std::cout << "  refused: " << refusal.failure.text() << "\n";
  const PlanCounts& counts = result.report.counts;
  std::cout << "seed " << GetParam() << ": " << edits.size() - result.refusals.size() << " of " << edits.size() << " in, "
            << counts.script_messages_resized << " at new lengths, offsets moved in " << counts.script_offsets_rewritten.size()
            << " scripts, " << counts.script_offsets_left.size() << " left alone\n";
  EXPECT_LE(result.refusals.size() * 20, edits.size());  // at least 95 % in
  EXPECT_GT(counts.script_messages_resized, edits.size() / 2);
  EXPECT_FALSE(counts.script_offsets_rewritten.empty());
  const Outcome kept = offsets_kept_everywhere(sample, result.image_file);
  EXPECT_FALSE(kept) << kept->text();
}

INSTANTIATE_TEST_SUITE_P(Seeds, ScriptOffsetsCampaign, testing::Values(1u, 2u, 3u));

}  // namespace
}  // namespace ambergale
