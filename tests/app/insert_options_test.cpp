#include "app/insert_tool.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

struct Parsed {
  std::string error;
  InsertOptions options;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ambergale-insert");
  Parsed parsed;
  if (const Outcome failure = parse_insert_options(static_cast<int>(args.size()), args.data(), parsed.options)) {
    parsed.error = failure->text();
  }
  return parsed;
}

TEST(ParseInsertOptions, ReadsFreeRangesAndPolicies) {
  const Parsed parsed = parse({"--seq=fixed", "--free", "FB:F000-F0FF", "--free=fb:7ff2-7fff", "--checksum", "keep", "--newline=1700",
                               "--fullwidth", "-o", "new.smc", "--check", "image.smc"});
  ASSERT_EQ(parsed.error, "");
  const InsertSettings& settings = parsed.options.settings;
  ASSERT_EQ(settings.free.size(), 2u);
  EXPECT_EQ(declared_text(settings.free[0]), "FB:F000-F0FF");
  EXPECT_EQ(declared_text(settings.free[1]), "FB:7FF2-7FFF");
  EXPECT_EQ(settings.checksum, ChecksumPolicy::keep);
  EXPECT_EQ(settings.newline, 0x0017);
  EXPECT_TRUE(parsed.options.check);
  EXPECT_TRUE(parsed.options.fullwidth);
  EXPECT_EQ(parsed.options.output, "new.smc");
  EXPECT_EQ(parsed.options.image, "image.smc");
  // A catalogue is read as UTF-8 whatever --encoding says of dumps.
  const Parsed po = parse({"--encoding", "utf-8", "--po", "ja.po", "--check", "image.smc"});
  ASSERT_EQ(po.error, "");
  EXPECT_EQ(po.options.po, "ja.po");
  EXPECT_EQ(po.options.encoding, Encoding::shift_jis);
  EXPECT_FALSE(po.options.strict_tags);
  EXPECT_TRUE(parse({"--po", "ja.po", "--strict-tags", "--check", "image.smc"}).options.strict_tags);
  EXPECT_FALSE(po.options.settings.relayout);
  EXPECT_TRUE(parse({"--relayout", "--check", "image.smc"}).options.settings.relayout);
  EXPECT_EQ(po.options.settings.script_offsets, ScriptOffsets::none);
  EXPECT_EQ(parse({"--script-offsets=none", "--check", "image.smc"}).options.settings.script_offsets, ScriptOffsets::none);
  EXPECT_EQ(parse({"--relayout", "--script-offsets", "declared", "--check", "image.smc"}).options.settings.script_offsets,
            ScriptOffsets::declared);
  EXPECT_FALSE(po.options.settings.rebuild);
  EXPECT_EQ(parse({"--relayout", "--script-offsets", "declared", "--rebuild", "trees", "--check", "image.smc"}).options.settings.rebuild,
            encode::RebuildScope::trees);
}

TEST(ParseInsertOptions, NamesWhatIsWrong) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--free", "FB:F000", "i.smc"}, "invalid free range 'FB:F000' (write BB:AAAA-BBBB, hex, both ends included)"},
      {{"--free", "FB:F100-F0FF", "i.smc"}, "invalid free range 'FB:F100-F0FF': it ends before it starts"},
      {{"--checksum", "maybe", "i.smc"}, "invalid checksum policy 'maybe' (use auto, fix or keep)"},
      {{"--seq", "relayout", "i.smc"}, "invalid sequential-block mode 'relayout' (only fixed: every message keeps its length; --relayout lets lengths change)"},
      {{"--seq", "fixed", "--relayout", "--check", "i.smc"},
       "--seq fixed keeps every sequential-block message's length: leave it out with --relayout"},
      {{"--script-offsets", "all", "--relayout", "--check", "i.smc"},
       "invalid script offsets 'all' (use none, or declared when the opcode file declares every offset operand)"},
      {{"--script-offsets", "declared", "--check", "i.smc"},
       "--script-offsets declared lets script messages change length, which needs --relayout"},
      {{"--rebuild", "all", "--check", "i.smc"}, "invalid rebuild 'all' (use dictionary, or trees for the text trees as well)"},
      {{"--rebuild", "dictionary", "--relayout", "--check", "i.smc"},
       "--rebuild writes every script message at a new length: it needs --relayout and --script-offsets declared"},
      {{"--newline", "0012", "i.smc"}, "invalid line break '0012' (use 1200 or 1700, the units 0012 and 0017)"},
      {{"-o", "n.smc"}, "no image given"},
      {{"a.smc", "b.smc"}, "more than one image: 'a.smc' and 'b.smc'"},
      {{"--po", "ja.po", "-d", "work", "i.smc"}, "both --po and --dumps: the edits come from a catalogue or from dumps, not both"},
      {{"--po", "-", "-", "--check"}, "the catalogue and the image or opcode file cannot both be standard input ('-')"},
      {{"--strict-tags", "--check", "i.smc"}, "--strict-tags checks a catalogue's tags: give --po"},
      {{"i.smc"}, "no new image: give -o FILE, or --check"},
      {{"-o", "-", "--ips", "-", "i.smc"}, "only one output can go to standard output ('-')"},
      {{"--bps", "-", "--ips=-", "--check", "i.smc"}, "only one output can go to standard output ('-')"},
      {{"-o", "", "i.smc"}, "'': an empty name for --output"},
      {{"--bps=", "-o", "n.smc", "i.smc"}, "'': an empty name for --bps"},
      {{"-d", "", "--check", "i.smc"}, "'': an empty name for --dumps"},
  };
  for (const auto& [args, error] : cases) EXPECT_EQ(parse(args).error, error);
}

}  // namespace
}  // namespace ambergale
