// Inputs made wrong in every way we know of: each either gives the dumps its
// bytes decode to, or is refused with a message and no output file, and
// always quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "cartridge/cartridge.hpp"
#include "encode/encoder.hpp"
#include "sample/cartridge_layout.hpp"
#include "support/run_tool.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale {
namespace {

using testing_support::files_in;
using testing_support::lines_of;
using testing_support::read_file;
using testing_support::RunResult;
using testing_support::run_in;
using testing_support::TempDir;
using testing_support::write_file;
using testing_support::write_image;

const std::vector<std::string> kAllFiles = {"Ambergale.smc", "mescmd.dat", "messcript.txt", "sublist.txt", "wordlist.txt", "wordlist2.txt"};
const std::vector<std::string> kInputsOnly = {"Ambergale.smc", "mescmd.dat"};

using testing_support::random_image;
using testing_support::small_image;

// Runs the tool on `image` with `opcodes` as "mescmd.dat" and checks the
// outcome is clear, within `limit` (a bound against hangs, with room for
// sanitizer builds): all four dumps and status 0, or a message, status 1 and
// no dump. A complete run prints nothing but `notes`. Returns the result for
// further checks.
RunResult run_checked(const TempDir& dir, const std::vector<std::uint8_t>& image,
                      const std::string& opcodes = testing_support::small_opcode_file(),
                      std::chrono::seconds limit = std::chrono::seconds(10), const std::string& notes = "") {
  write_image(dir, "Ambergale.smc", image);
  write_file(dir.file("mescmd.dat"), opcodes);
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = run_in(dir, {});
  EXPECT_LT(std::chrono::steady_clock::now() - start, limit);
  if (r.status == 0) {
    EXPECT_EQ(files_in(dir), kAllFiles);
    EXPECT_EQ(r.out + r.err, notes);
  } else {
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(files_in(dir), kInputsOnly);
    EXPECT_NE(r.out + r.err, "");
  }
  return r;
}

TEST(HostileImage, ShortImagesAreRefused) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kImageSize - 1}) {
    TempDir dir;
    const RunResult r = run_checked(dir, std::vector<std::uint8_t>(size, 0xA5));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(std::to_string(size) + " bytes is too short"), std::string::npos) << r.err;
  }
}

TEST(HostileImage, RandomImagesCompleteOrAreRefused) {
  for (std::uint32_t seed : {1u, 2u}) {
    TempDir dir;
    run_checked(dir, random_image(seed), testing_support::small_opcode_file(), std::chrono::seconds(2));
  }
}

TEST(HostileImage, RandomDataUnderAValidScriptTreeIsDumped) {
  // Random pointers give word lists of tens of thousands of entries, each
  // decoded to its 3840-byte cap: over 100 MB of dumps, allowed more time.
  TempDir dir;
  EXPECT_EQ(run_checked(dir, testing_support::runaway_image(3), testing_support::small_opcode_file(), std::chrono::seconds(30)).status, 0);
  EXPECT_EQ(lines_of(read_file(dir.file("sublist.txt"))).size(), 3049u);
}

TEST(HostileImage, FullTreesWithTheLargestDistances) {
  std::vector<std::uint8_t> image = small_image();
  for (const int tree : {0xAFDA, 0xB2C2, 0xB5C2, 0xB84A}) {
    std::fill_n(image.begin() + rom_offset(0xF8, tree), 768, 0xFF);
  }
  TempDir dir;
  EXPECT_EQ(run_checked(dir, image).status, 0);
}

TEST(HostileImage, DictionaryPointersOutOfOrder) {
  std::vector<std::uint8_t> image = small_image();
  // Entry 5 starts after entry 6 (a negative size), entry 7 runs to the end
  // of the bank (a size far past the data).
  encode::put_word(image, 0xF8, 0x9808 + 2 * 5, 0xF000);
  encode::put_word(image, 0xF8, 0x9808 + 2 * 7, 0x0010);
  TempDir dir;
  ASSERT_EQ(run_checked(dir, image).status, 0);
  const std::vector<std::string> sub = lines_of(read_file(dir.file("sublist.txt")));
  ASSERT_EQ(sub.size(), 3049u);
  EXPECT_EQ(sub[5], "0415:");
}

TEST(HostileImage, DictionaryCyclesAreLeftInPlace) {
  sample::CartridgeContent content = testing_support::small_content();
  content.dictionary[10] = {0x041A, 0xFFFF};          // itself
  content.dictionary[11] = {0x0080, 0x041C, 0xFFFF};  // 11 -> 12 -> 11
  content.dictionary[12] = {0x041B, 0x0081, 0xFFFF};
  content.dictionary[13] = {0x041B, 0x0410, 0xFFFF};  // leads into the cycle
  content.groups[1] = {{0x041A, 0x0021, 0xFFFF}};
  TempDir dir;
  ASSERT_EQ(run_checked(dir, sample::build_cartridge(content).image).status, 0);
  const std::vector<std::string> sub = lines_of(read_file(dir.file("sublist.txt")));
  EXPECT_EQ(sub[10], "041A:1A04");
  EXPECT_EQ(sub[11], "041B:\x82\xA2" "1C04");  // い, then the reference to 12
  EXPECT_EQ(sub[13], "041D:1B04\x81\x49");      // the reference to 11, then ！
  EXPECT_NE(read_file(dir.file("wordlist.txt")).find("0100:1A04\x81\x49\r\n"), std::string::npos);
}

TEST(HostileImage, ScriptLengthsOutOfRange) {
  std::vector<std::uint8_t> image = small_image();
  encode::put_word(image, 0xF8, 2 * 0xBFF, 0x7FF0);  // past its group's end: a negative length
  encode::put_word(image, 0xF8, 2 * 0x9FF, 0xFCA0);  // the last of its group, at the end: length 0
  encode::put_word(image, 0xF8, 2 * 0x000, 0x0000);  // far before the next script: above 8190
  TempDir dir;
  ASSERT_EQ(run_checked(dir, image).status, 0);
  const std::string listing = read_file(dir.file("messcript.txt"));
  EXPECT_NE(listing.find("\r\n[0BFF:FB7FF0](len=FFFFFCC5,\x93W\x8A" "JBYTE=0000)\r\n\r\n[0C00:"), std::string::npos);
  EXPECT_NE(listing.find("\r\n[09FF:FAFCA0](len=0000,\x93W\x8A" "JBYTE=0000)\r\n\r\n[0A00:"), std::string::npos);
  EXPECT_NE(listing.find("[0000:F90000](len="), std::string::npos);
}

TEST(HostileOpcodeFile, OddFilesStillDumpOrAreRefused) {
  std::mt19937 random(3);
  std::string junk(20000, '\0');
  for (char& c : junk) c = static_cast<char>(random());
  const std::string long_line = "h\n" + std::string(100000, 'x') + "\top\t1\t0\t0\t" + std::string(50000, '@') + "\n";
  // Files that cannot be opcode files are still read as they read, with a
  // warning.
  const std::string no_tab = "ambergale-dump: mescmd.dat: no data line holds a TAB: it does not look like an opcode file\n";
  const std::string nul = "ambergale-dump: mescmd.dat: holds NUL bytes: it does not look like an opcode file\n";
  const std::tuple<const char*, std::string, std::string> files[] = {
      {"empty", "", no_tab},
      {"header only", "name\tops\tflags\tspare\tformat", no_tab},
      {"missing columns and blank lines", "h\n\nop\n\nop\t1\n", ""},
      {"very long lines", long_line, ""},
      {"CR-only line ends", "h\rop\t1\t0\t0\tx\r", no_tab},
      {"bit 0 on ordinary opcodes", "h\nop\t0\t1\t0\tflagged\nop\t-3\t1\t0\tnegative\n", ""},
      {"NUL bytes", std::string("h\nop\t1\0\t0\t0\tx\n", 14), nul},
      {"binary junk", junk, nul},
  };
  for (const auto& [what, file, notes] : files) {
    TempDir dir;
    EXPECT_EQ(run_checked(dir, small_image(), file, std::chrono::seconds(10), notes).status, 0) << what;
  }
}

TEST(HostileOpcodeFile, HugeOperandCountsAreRefused) {
  TempDir dir;
  const RunResult r = run_checked(dir, small_image(), "h\nop\t0\t0\t0\nop\t100000\t0\t0\tx\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: mescmd.dat: line 3: operand count 100000 is longer than any script (at most 6015)\n");
}

TEST(HostileOpcodeFile, OnlyTheLinesUsedCountTowardsTheSizeLimit) {
  std::string used = "header\n";
  for (int op = 0; op < 256; ++op) used += "op\t0\t0\t0\n";
  const std::string tail(17 << 20, 'x');  // past the limit, but after the 256th data line
  TempDir accepted;
  EXPECT_EQ(run_checked(accepted, small_image(), used + tail).status, 0);
  // The same bytes on the 256th data line itself are refused.
  used.pop_back();
  TempDir refused;
  const RunResult r = run_checked(refused, small_image(), used + tail + "\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: mescmd.dat: its header and 256 data lines pass 16777216 bytes (16 MiB)\n");
}

}  // namespace
}  // namespace ambergale
