#include "app/options.hpp"

#include <gtest/gtest.h>
#include <iconv.h>

#include <filesystem>

#include "app/run.hpp"
#include "support/run_tool.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale {
namespace {

using testing_support::files_in;
using testing_support::read_file;
using testing_support::RunResult;
using testing_support::run_in;
using testing_support::TempDir;
using testing_support::write_file;
using testing_support::write_image;

struct Parsed {
  std::string error;
  Options options;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ambergale-dump");
  Parsed parsed;
  if (const Outcome failure = parse_options(static_cast<int>(args.size()), args.data(), parsed.options)) {
    parsed.error = failure->text();
  }
  return parsed;
}

TEST(ParseOptions, ReadsEachFormOfEachOption) {
  struct Case {
    std::vector<const char*> args;
    std::string image, output_dir, opcode_file;
    Encoding encoding;
    std::uint64_t max_output;
  };
  const Case cases[] = {
      {{}, "Ambergale.smc", ".", "mescmd.dat", Encoding::shift_jis, 1u << 30},
      {{"a.smc", "ignored", "-o", "out", "also ignored"}, "a.smc", "out", "mescmd.dat", Encoding::shift_jis, 1u << 30},
      {{"-o", "out", "-m", "defs"}, "Ambergale.smc", "out", "defs", Encoding::shift_jis, 1u << 30},
      {{"-oout", "-mdefs", "x.smc"}, "x.smc", "out", "defs", Encoding::shift_jis, 1u << 30},
      {{"--output-dir=out", "--mescmd", "defs", "--encoding=utf-8"}, "Ambergale.smc", "out", "defs", Encoding::utf8, 1u << 30},
      {{"x.smc", "--encoding", "shift-jis", "--max-output", "2G"}, "x.smc", ".", "mescmd.dat", Encoding::shift_jis, 2ull << 30},
      {{"--", "-o"}, "-o", ".", "mescmd.dat", Encoding::shift_jis, 1u << 30},
      {{"-", "-o", "a", "-o", "b"}, "-", "b", "mescmd.dat", Encoding::shift_jis, 1u << 30},
      {{"--output-dir="}, "Ambergale.smc", "", "mescmd.dat", Encoding::shift_jis, 1u << 30},
      {{"--enc", "UTF8", "--out", "o", "--max=1K"}, "Ambergale.smc", "o", "mescmd.dat", Encoding::utf8, 1024},
      {{"-m", "-", "x.smc"}, "x.smc", ".", "-", Encoding::shift_jis, 1u << 30},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.args);
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.image, c.image);
    EXPECT_EQ(p.options.output_dir, c.output_dir);
    EXPECT_EQ(p.options.opcode_file, c.opcode_file);
    EXPECT_EQ(p.options.settings.encoding, c.encoding);
    EXPECT_EQ(p.options.settings.max_output, c.max_output);
    EXPECT_FALSE(p.options.help || p.options.version);
  }
}

TEST(ParseOptions, StopsAtTheFirstErrorHelpOrVersion) {
  const std::pair<std::vector<const char*>, std::string> errors[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-o"}, "option '-o' needs a value"},
      {{"--mescmd"}, "option '--mescmd' needs a value"},
      {{"--encoding", "latin1"}, "invalid encoding 'latin1' (use shift-jis or utf-8)"},
      {{"--max-output=0"}, "invalid size '0' for --max-output (a positive number, with K, M, G or T)"},
      {{"--help=yes"}, "option '--help' takes no value"},
      {{"--bogus", "--help"}, "unknown option '--bogus'"},
      {{"--bogus=1"}, "unknown option '--bogus'"},
      {{"--m", "x"}, "option '--m' is ambiguous"},
      {{"--line-ends", "cr"}, "invalid line end 'cr' (use crlf or lf)"},
      {{"-m", "-", "-"}, "the image and the opcode file cannot both be standard input ('-')"},
      {{"--pot", "out/"}, "invalid template path 'out/' (--pot takes the path of a file)"},
      {{"--pot", ".."}, "invalid template path '..' (--pot takes the path of a file)"},
      {{"--pot", "out/.."}, "invalid template path 'out/..' (--pot takes the path of a file)"},
      {{"--pot", ""}, "invalid template path '' (--pot takes the path of a file)"},
      {{"--pot", "out/.ambergale.lock"}, "invalid template path 'out/.ambergale.lock' (--pot takes the path of a file)"},
  };
  for (const auto& [args, error] : errors) EXPECT_EQ(parse(args).error, error);
  EXPECT_TRUE(parse({"--help", "--bogus"}).options.help);
  EXPECT_TRUE(parse({"-h"}).options.help);
  EXPECT_TRUE(parse({"a.smc", "--version"}).options.version);
}

TEST(ParseSize, TakesBinarySuffixes) {
  const std::pair<const char*, std::uint64_t> sizes[] = {
      {"1", 1}, {"1000", 1000}, {"4K", 4096}, {"3m", 3u << 20}, {"2GiB", 2ull << 30}, {"1T", 1ull << 40},
      {"18446744073709551615", UINT64_MAX},
  };
  for (const auto& [text, expected] : sizes) EXPECT_EQ(parse_size(text), expected) << text;
  for (const char* bad : {"", "0", "K", "1X", "1KB", "-1", "+1", " 1", "1.5G", "18446744073709551616",
                          "99999999999999999999", "16777216T", "17179869184G"}) {
    EXPECT_EQ(parse_size(bad), std::nullopt) << bad;
  }
}

TEST(ParseEncoding, TakesTheUsualSpellingsInAnyCase) {
  for (const char* name : {"utf-8", "UTF-8", "utf8", "Utf8"}) EXPECT_EQ(parse_encoding(name), Encoding::utf8) << name;
  for (const char* name : {"shift-jis", "Shift_JIS", "sjis", "SJIS", "cp932", "CP932"}) {
    EXPECT_EQ(parse_encoding(name), Encoding::shift_jis) << name;
  }
  for (const char* name : {"", "utf-16", "latin1", "shiftjis "}) EXPECT_EQ(parse_encoding(name), std::nullopt) << name;
}

class CommandLine : public testing::Test {
 protected:
  void SetUp() override {
    write_image(dir_, "Ambergale.smc", testing_support::small_image());
    write_file(dir_.file("mescmd.dat"), testing_support::small_opcode_file());
  }
  std::vector<std::string> dumps(const std::string& folder) const {
    std::vector<std::string> all;
    for (const char* name : {"wordlist.txt", "wordlist2.txt", "sublist.txt", "messcript.txt"}) {
      all.push_back(read_file((dir_.path() / folder / name).string()));
    }
    return all;
  }
  TempDir dir_;
};

TEST_F(CommandLine, HelpAndVersionWriteNothingElse) {
  RunResult r = run_in(dir_, {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, usage_text());
  EXPECT_EQ(r.err, "");
  r = run_in(dir_, {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("ambergale-dump ", 0), 0u);
  r = run_in(dir_, {"--output-dir"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ambergale-dump: option '--output-dir' needs a value\nTry 'ambergale-dump --help' for more information.\n");
  EXPECT_EQ(files_in(dir_).size(), 2u);
}

TEST_F(CommandLine, OptionsMoveTheFilesButNotTheirBytes) {
  ASSERT_EQ(run_in(dir_, {}).status, 0);
  std::filesystem::create_directories(dir_.file("out"));
  std::filesystem::create_directories(dir_.file("defs"));
  std::filesystem::rename(dir_.file("mescmd.dat"), dir_.file("defs/ops.tsv"));
  std::filesystem::rename(dir_.file("Ambergale.smc"), dir_.file("defs/image"));
  const RunResult r = run_in(dir_, {"-o", "out", "--mescmd=defs/ops.tsv", "defs/image"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dumps("out"), dumps("."));
  // The opcode file is looked for where -m says, and named when missing.
  const RunResult missing = run_in(dir_, {"-m", "none.dat", "defs/image"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "mescmd.dat\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n");  // mescmd.datがありません
  EXPECT_EQ(missing.err, "ambergale-dump: none.dat: cannot open: No such file or directory\n");
}

// Converts UTF-8 back to CP932 with the C library.
std::string to_cp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out(utf8.size(), '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char* to = out.data();
  std::size_t to_left = out.size();
  const std::size_t result = iconv(cd, &in, &in_left, &to, &to_left);
  iconv_close(cd);
  EXPECT_NE(result, static_cast<std::size_t>(-1));
  out.resize(out.size() - to_left);
  return out;
}

TEST_F(CommandLine, Utf8DumpsConvertBackToTheShiftJisOnes) {
  ASSERT_EQ(run_in(dir_, {}).status, 0);
  std::filesystem::create_directories(dir_.file("utf8"));
  ASSERT_EQ(run_in(dir_, {"--encoding", "utf-8", "-o", "utf8"}).status, 0);
  const std::vector<std::string> sjis = dumps(".");
  const std::vector<std::string> utf8 = dumps("utf8");
  for (std::size_t d = 0; d < sjis.size(); ++d) {
    EXPECT_NE(utf8[d], sjis[d]);
    EXPECT_EQ(to_cp932(utf8[d]), sjis[d]) << d;
    EXPECT_NE(utf8[d].rfind("\xEF\xBB\xBF", 0), 0u);  // no byte-order mark
  }
}

TEST_F(CommandLine, LfLineEndsChangeNoOtherByte) {
  ASSERT_EQ(run_in(dir_, {}).status, 0);
  std::filesystem::create_directories(dir_.file("lf"));
  ASSERT_EQ(run_in(dir_, {"--line-ends=lf", "-o", "lf"}).status, 0);
  const std::vector<std::string> crlf = dumps(".");
  const std::vector<std::string> lf = dumps("lf");
  for (std::size_t d = 0; d < crlf.size(); ++d) {
    std::string expected;
    for (std::size_t at = 0; at < crlf[d].size(); ++at) {
      if (crlf[d].compare(at, 2, "\r\n") != 0) expected += crlf[d][at];
    }
    EXPECT_EQ(lf[d], expected) << d;
    EXPECT_NE(lf[d].find('\n'), std::string::npos);
  }
}

TEST_F(CommandLine, ConsoleMessagesFollowTheEncoding) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"missing.smc"}, "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\n"},  // ファイルが開けません
      {{"missing.smc", "--encoding", "utf-8"},
       "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\x8C\xE9\x96\x8B\xE3\x81\x91\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\n"},
      {{"-m", "none.dat", "--encoding=UTF8"},
       "mescmd.dat\xE3\x81\x8C\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\n"},  // mescmd.datがありません
  };
  for (const auto& [args, out] : cases) {
    const RunResult r = run_in(dir_, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, out) << args[0];
  }
}

}  // namespace
}  // namespace ambergale
