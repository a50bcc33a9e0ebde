#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

#include "catalogue/po_file.hpp"
#include "catalogue/po_tags.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "sample/sample_translation.hpp"
#include "support/run_tool.hpp"
#include "support/tool_process.hpp"
#include "text/char_table.hpp"
#include "text/text_parse.hpp"

namespace ambergale {
namespace {

using sample::counted_characters;
using sample::translated_text;
using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::TempDir;

// What a translation keeps of its text: the pieces that are not characters, as written.
std::vector<std::string> kept_pieces(std::string_view text) {
  std::vector<TextPiece> pieces;
  EXPECT_FALSE(parse_line_text(text, HexRuns::characters, pieces)) << text;
  std::vector<std::string> kept;
  for (const TextPiece& piece : pieces) {
    if (piece.kind != TextPiece::Kind::character) kept.emplace_back(piece.text);
  }
  return kept;
}

// Whether `translated` has ratio x the characters of `text`, rounded down or up.
bool at_ratio(std::string_view text, std::string_view translated, double ratio) {
  const double wanted = ratio * static_cast<double>(counted_characters(text));
  const auto got = static_cast<double>(counted_characters(translated));
  return wanted == 0 ? got == 0 : got >= std::max(1.0, std::floor(wanted)) && got <= std::max(1.0, std::ceil(wanted));
}

TEST(SampleTranslation, VocabularyIsLargeDistinctAndShortWhereFrequent) {
  const std::vector<std::string>& words = sample::vocabulary();
  ASSERT_GE(words.size(), 2000u);
  EXPECT_EQ(std::set<std::string>(words.begin(), words.end()).size(), words.size());
  std::set<std::size_t> lengths;
  for (const std::string& word : words) {
    lengths.insert(word.size());
    EXPECT_EQ(word.find_first_not_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << word;
  }
  EXPECT_EQ(lengths, (std::set<std::size_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  const auto mean_length = [&](std::size_t from, std::size_t to) {
    std::size_t letters = 0;
    for (std::size_t k = from; k < to; ++k) letters += words[k].size();
    return static_cast<double>(letters) / static_cast<double>(to - from);
  };
  EXPECT_LT(mean_length(0, 100) + 2, mean_length(words.size() - 1000, words.size()));
}

TEST(SampleTranslation, KeepsNamesBreaksAndTagsInPlaceAtTheRatio) {
  const std::string kana = "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8";  // あいうえお
  const std::string name(kNameTable[0]);
  const std::string texts[] = {
      kana,
      name + kana + "\n" + kana + kana + "<1300 3B02 3803 EA00>" + kana.substr(0, 2) + name,
      "\n" + kana + "<1700>" + kana + kana + kana + "\n",
      "<1800 BF01>" + kana.substr(0, 2) + "<0204>",
      "<1800 BF01>\n",
      "",
  };
  for (const double ratio : {0.5, 1.0, 1.5, 2.0, 2.5}) {
    for (const std::string& text : texts) {
      const std::string out = translated_text(text, ratio, 7);
      SCOPED_TRACE(text + " at " + std::to_string(ratio) + ": " + out);
      EXPECT_TRUE(at_ratio(text, out, ratio));
      EXPECT_EQ(kept_pieces(out), kept_pieces(text));
      EXPECT_FALSE(check_tags(text, out, true));
      EXPECT_EQ(translated_text(text, ratio, 7), out);
    }
  }
  EXPECT_NE(translated_text(kana + kana, 2, 7), translated_text(kana + kana, 2, 8));
}

// The full-width letters of `utf8`, case folded: 0 to 25.
void count_letters(std::string_view utf8, std::array<std::size_t, 26>& counts) {
  for (std::size_t at = 0; at + 2 < utf8.size(); ++at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[at + k]); };
    if (byte(0) != 0xEF) continue;
    const int code = (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    if (code >= 0xFF21 && code <= 0xFF3A) ++counts[static_cast<std::size_t>(code - 0xFF21)];  // Ａ-Ｚ
    if (code >= 0xFF41 && code <= 0xFF5A) ++counts[static_cast<std::size_t>(code - 0xFF41)];  // ａ-ｚ
  }
}

double entropy_bits(const std::array<std::size_t, 26>& counts) {
  double all = 0, bits = 0;
  for (const std::size_t n : counts) all += static_cast<double>(n);
  for (const std::size_t n : counts) {
    if (n > 0) bits -= static_cast<double>(n) / all * std::log2(static_cast<double>(n) / all);
  }
  return bits;
}

// The sample of one seed with its translation at 1.5 times, made once.
class TranslatedSample : public ::testing::Test {
 protected:
  static constexpr double kRatio = 1.5;

  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    const ProcessResult made =
        testing_support::run_tool(dir_->path(), {"--seed", "3", "--translate", "1.5", "."}, {}, MAKE_SAMPLE_PATH);
    ASSERT_EQ(made.status, 0) << made.err;
    po_ = std::make_unique<PoCatalogue>();
    ASSERT_FALSE(read_po_file("en.po", read_file(dir_->file("en.po")), *po_));
  }
  static void TearDownTestSuite() {
    po_.reset();
    dir_.reset();
  }

  static std::string sjis(const std::string& utf8) {
    const Utf8ToCp932 to_cp932;
    std::string out;
    std::size_t bad_at = 0;
    EXPECT_TRUE(to_cp932.convert(utf8, out, bad_at)) << utf8;
    return out;
  }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::unique_ptr<PoCatalogue> po_;
};

TEST_F(TranslatedSample, TranslatesEveryTextButTheDictionaryKeepingItsTags) {
  std::map<char, std::size_t> translated;
  for (const PoEntry& entry : po_->entries) {
    SCOPED_TRACE(entry.context);
    const char kind = entry.context.front();
    if (kind == 'D') {
      EXPECT_EQ(entry.translation, "");
      continue;
    }
    const std::string source = sjis(entry.source), translation = sjis(entry.translation);
    EXPECT_EQ(translation.empty(), source.empty());
    EXPECT_EQ(kept_pieces(translation), kept_pieces(source));
    EXPECT_FALSE(check_tags(source, translation, true));
    translated[kind] += !translation.empty();
  }
  EXPECT_GT(translated['W'], 0u);
  EXPECT_GT(translated['S'], 0u);
  EXPECT_GT(translated['M'], 0u);
}

TEST_F(TranslatedSample, HoldsTheRatioAndTranslatesTheSameTextTheSameWay) {
  std::size_t source_characters = 0, translated_characters = 0;
  std::map<std::string, std::string> by_source;
  std::size_t texts = 0;
  for (const PoEntry& entry : po_->entries) {
    if (entry.context.front() == 'D') continue;
    ++texts;
    const std::size_t from = counted_characters(sjis(entry.source)), to = counted_characters(sjis(entry.translation));
    source_characters += from;
    translated_characters += to;
    if (from >= 20) {
      EXPECT_NEAR(static_cast<double>(to) / static_cast<double>(from), kRatio, 0.05) << entry.context;
    }
    const auto [seen, added] = by_source.emplace(entry.source, entry.translation);
    if (!added) {
      EXPECT_EQ(seen->second, entry.translation) << entry.context;
    }
  }
  ASSERT_GT(source_characters, 50000u);
  EXPECT_NEAR(static_cast<double>(translated_characters) / static_cast<double>(source_characters), kRatio, 0.01);
  EXPECT_LT(by_source.size(), texts);  // the sample repeats some texts
}

TEST_F(TranslatedSample, HasEnglishLetterStatistics) {
  std::array<std::size_t, 26> counts{};
  for (const PoEntry& entry : po_->entries) count_letters(entry.translation, counts);
  const double bits = entropy_bits(counts);
  EXPECT_GT(bits, 3.9);
  EXPECT_LT(bits, 4.3);
  RecordProperty("letter_entropy_bits", std::to_string(bits));
}

TEST_F(TranslatedSample, ReadsBackIntoTheInserterRefusedOnlyForRoom) {
  const ProcessResult r = testing_support::run_tool(dir_->path(), {"--po", "en.po", "--check", "Ambergale.smc"}, {},
                                                    AMBERGALE_INSERT_PATH);
  EXPECT_EQ(r.status, 3) << r.err.substr(0, 2000);
  std::size_t refusals = 0;
  for (std::size_t at = 0, end; at < r.err.size(); at = end + 1) {
    end = r.err.find('\n', at);
    const std::string line = r.err.substr(at, end - at);
    if (line.find(": en.po:") == std::string::npos) continue;
    ++refusals;
    const bool room = line.find(" fewer (") != std::string::npos || line.find(" more (") != std::string::npos ||
                      line.find(" missing") != std::string::npos || line.find("encoding") != std::string::npos;
    EXPECT_TRUE(room) << line;
  }
  EXPECT_GT(refusals, 1000u);
}

}  // namespace
}  // namespace ambergale
