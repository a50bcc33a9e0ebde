#include <gtest/gtest.h>

#include "support/run_tool.hpp"
#include "support/tool_process.hpp"

namespace ambergale {
namespace {

using testing_support::files_in;
using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::TempDir;

ProcessResult make_sample(const TempDir& dir, const std::vector<std::string>& args) {
  return testing_support::run_tool(dir.path(), args, {}, MAKE_SAMPLE_PATH);
}

TEST(MakeSample, TakesOptionsLikeTheTool) {
  TempDir dir;
  const std::pair<std::vector<std::string>, std::string> errors[] = {
      {{"--seed", "abc", "out"}, "make-sample: invalid seed 'abc' (a number, 0 to 4294967295)\n"},
      {{"--seed=4294967296", "out"}, "make-sample: invalid seed '4294967296' (a number, 0 to 4294967295)\n"},
      {{"out", "--seed"}, "make-sample: option '--seed' needs a value\n"},
      {{"--bogus", "out"}, "make-sample: unknown option '--bogus'\n"},
      {{"a", "b"}, "make-sample: more than one folder: 'a' and 'b'\n"},
      {{}, "make-sample: no folder given\n"},
  };
  for (const auto& [args, message] : errors) {
    const ProcessResult r = make_sample(dir, args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, message + "Try 'make-sample --help' for more information.\n");
  }
  const ProcessResult help = make_sample(dir, {"out", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: make-sample", 0), 0u);
  EXPECT_TRUE(files_in(dir).empty());  // no folder named after an option

  ASSERT_EQ(make_sample(dir, {"--seed=5", "--", "--help"}).status, 0);
  ASSERT_EQ(make_sample(dir, {"--seed", "5", "plain"}).status, 0);
  EXPECT_EQ(read_file(dir.file("--help/Ambergale.smc")), read_file(dir.file("plain/Ambergale.smc")));
  EXPECT_EQ(read_file(dir.file("plain/Ambergale.smc")).size(), 4194304u);
}

}  // namespace
}  // namespace ambergale
