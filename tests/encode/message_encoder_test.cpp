#include "encode/message_encoder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "dump/load_tables.hpp"
#include "dump/word_lists.hpp"
#include "sample/sample_content.hpp"

namespace ambergale {
namespace {

using encode::Units;

// The greedy parse: at each place the longest clean entry that fits, else
// the unit itself. Returns its bits, or 0 when some unit has no code.
std::size_t greedy_bits(const encode::MessageCoder& coder, const Units& literal) {
  std::size_t bits = static_cast<std::size_t>(encode::unit_bits(coder, 0xFFFF));
  for (std::size_t i = 0; i < literal.size();) {
    std::size_t take = 1;
    std::uint16_t unit = literal[i];
    for (std::size_t e = 0; e < coder.clean.size(); ++e) {
      const Units& entry = coder.clean[e];
      if (entry.size() > take && i + entry.size() <= literal.size() &&
          std::equal(entry.begin(), entry.end(), literal.begin() + static_cast<std::ptrdiff_t>(i)) &&
          encode::unit_bits(coder, static_cast<std::uint16_t>(0x0410 + e)) > 0) {
        take = entry.size();
        unit = static_cast<std::uint16_t>(0x0410 + e);
      }
    }
    if (encode::unit_bits(coder, unit) == 0) return 0;
    bits += static_cast<std::size_t>(encode::unit_bits(coder, unit));
    i += take;
  }
  return bits;
}

// The coder of the worked trees: lead 0 -> end, 10 -> 0x21, 11 -> page 3;
// low 0 -> 0x41, 1 -> 0x9C.
encode::MessageCoder worked_coder() {
  TreePair trees;
  const std::uint8_t lead[] = {0, 2, 1, 0, 1, 2, 0x00, 0x21, 0x03};
  const std::uint8_t low[] = {0, 1, 0, 1, 0x41, 0x9C};
  std::copy(std::begin(lead), std::end(lead), trees.lead.begin());
  std::copy(std::begin(low), std::end(low), trees.low.begin());
  return encode::make_message_coder(trees, Dictionary{});
}

// Every entry a text starts with, shorter first, twins in index order; none
// that runs past the text or parts from it.
TEST(EntryTrie, FindsEveryEntryTheTextStartsWith) {
  encode::MessageCoder coder;
  coder.clean = {{0x81}, {0x81, 0x82}, {0x81, 0x82, 0x83}, {0x82}, {0x81, 0x82}, {}, {0x81, 0x84}};
  encode::index_clean_entries(coder);
  const struct {
    Units text;
    std::vector<int> found;
  } cases[] = {{{0x81, 0x82, 0x85}, {0, 1, 4}}, {{0x81, 0x82, 0x83}, {0, 1, 4, 2}}, {{0x81}, {0}}, {{0x83}, {}}, {{}, {}}};
  for (const auto& c : cases) {
    std::vector<int> found;
    encode::for_each_entry_at(coder, c.text, [&](int e) { found.push_back(e); });
    EXPECT_EQ(found, c.found) << c.text.size();
  }
}

TEST(UnitBits, CountBothSymbolsOfAPagedUnitAndNeedBoth) {
  const encode::MessageCoder coder = worked_coder();
  const std::pair<std::uint16_t, int> cases[] = {
      {0xFFFF, 1}, {0x0021, 2}, {0x039C, 3}, {0x0341, 3},
      {0x0022, 0},  // no leaf
      {0x0141, 0},  // page 1 has no code
      {0x03FF, 0},  // low byte FF has none
      {0x000F, 0}, {0x1000, 0}, {0xFFFE, 0},
  };
  for (const auto& [unit, bits] : cases) EXPECT_EQ(encode::unit_bits(coder, unit), bits) << unit;
}

// A sample cartridge with its tables and the encoder for its text trees.
struct SampleCoder {
  sample::SampleCartridge sample = sample::make_sample(6);
  Cartridge cart;
  std::unique_ptr<Tables> tables = std::make_unique<Tables>();
  std::unique_ptr<encode::MessageCoder> coder;
  SampleCoder() {
    cart.bytes = sample.layout.image;
    EXPECT_FALSE(load_image_tables(cart, *tables));
    coder = std::make_unique<encode::MessageCoder>(encode::make_message_coder(tables->text_trees, tables->dictionary));
  }
};

TEST(EncodeMessage, EverySampleMessageDecodesBackAndNeverLosesToGreedy) {
  const SampleCoder sample;
  const Cartridge& cart = sample.cart;
  const auto& tables = sample.tables;
  const auto& coder = sample.coder;
  const WordListGroups groups = read_word_list_groups(cart);
  int encoded_count = 0, better_than_greedy = 0;
  for (int g = 0; g < 15; ++g) {
    for (int e = 0; e < groups.entries[g]; ++e) {
      CodeBuffer codes;
      const TextDecode decoded = decode_text_at(cart, tables->text_trees, 0xFB, word_list_message(cart, groups, g, e), codes);
      // The message with every dictionary code opened, as an editor's text is read.
      Units literal;
      for (int j = 0; j + 1 < decoded.written; j += 2) {
        const auto unit = static_cast<std::uint16_t>(codes[j] | codes[j + 1] << 8);
        if (unit == 0xFFFF) continue;
        if (unit >= 0x0410 && unit <= 0x0FF8) {
          const CodeStream& entry = tables->dictionary.codes[unit - 0x0410];
          for (std::size_t k = 0; k + 1 < entry.size(); k += 2) {
            const auto inner = static_cast<std::uint16_t>(entry[k] | entry[k + 1] << 8);
            if (inner != 0xFFFF) literal.push_back(inner);
          }
        } else {
          literal.push_back(unit);
        }
      }
      encode::EncodedMessage message;
      std::size_t unencodable = 0;
      if (!encode::encode_message(*coder, literal, message, unencodable)) continue;
      ++encoded_count;
      CodeBuffer back;
      const TextDecode redecoded = decode_text(tables->text_trees, message.bytes, 768, back);
      Units units;
      for (int j = 0; j + 1 < redecoded.written; j += 2) units.push_back(static_cast<std::uint16_t>(back[j] | back[j + 1] << 8));
      ASSERT_EQ(units, message.units) << g << " " << e;
      ASSERT_EQ(static_cast<std::size_t>(redecoded.consumed), (message.bits + 7) / 8);
      const std::size_t greedy = greedy_bits(*coder, literal);
      if (greedy > 0) {
        ASSERT_LE(message.bits, greedy) << g << " " << e;
        better_than_greedy += message.bits < greedy ? 1 : 0;
      }
    }
  }
  EXPECT_GT(encoded_count, 1000);
  EXPECT_GT(better_than_greedy, 0);
}

TEST(EncodeInWindow, EverySequentialMessageFitsItsOwnLengthAgain) {
  // Each message of the sample's sequential block, its units as decoded
  // (dictionary codes among them), encoded again within the bits of its bytes.
  const SampleCoder sample;
  const Cartridge& cart = sample.cart;
  const auto& tables = sample.tables;
  const auto& coder = sample.coder;
  std::size_t tried = 0;
  for (const auto& [address, original] : sample.sample.layout.sequential) {
    CodeBuffer codes;
    const TextDecode decoded = decode_text(tables->text_trees, rom_view(cart, 0xFB, address), 768, codes);
    Units literal;
    for (int j = 0; j + 1 < decoded.written; j += 2) {
      const auto unit = static_cast<std::uint16_t>(codes[j] | codes[j + 1] << 8);
      if (unit != 0xFFFF) literal.push_back(unit);
    }
    const auto bytes = static_cast<std::size_t>(decoded.consumed);
    encode::EncodedMessage message;
    const encode::WindowFit fit = encode::encode_in_window(*coder, literal, 8 * bytes - 7, 8 * bytes,
                                                           static_cast<std::size_t>(decoded.bits), message);
    ++tried;
    ASSERT_LE(fit.shortest, static_cast<std::size_t>(decoded.bits));
    ASSERT_GE(fit.longest, static_cast<std::size_t>(decoded.bits));
    ASSERT_TRUE(fit.found) << address;
    // The original total is in the window, so it is the one taken.
    EXPECT_EQ(message.bits, static_cast<std::size_t>(decoded.bits));
    CodeBuffer back;
    const TextDecode again = decode_text(tables->text_trees, message.bytes, 768, back);
    EXPECT_EQ(again.consumed, decoded.consumed);
    Units units;
    for (int j = 0; j + 1 < again.written; j += 2) units.push_back(static_cast<std::uint16_t>(back[j] | back[j + 1] << 8));
    EXPECT_EQ(units, message.units);
  }
  EXPECT_GT(tried, 1000u);
}

TEST(EncodeInWindow, NamesTheShortestAndLongestWhenNothingFits) {
  // The worked trees: end 1 bit, 0x21 2 bits, page 3 + low byte 3 bits.
  const encode::MessageCoder coder = worked_coder();
  const Units literal = {0x0021, 0x039C, 0x0021};  // 2 + 3 + 2 bits, and the end: 8
  encode::EncodedMessage message;
  EXPECT_TRUE(encode::encode_in_window(coder, literal, 1, 8, 8, message).found);
  EXPECT_EQ(message.bits, 8u);
  EXPECT_EQ(message.bytes.size(), 1u);
  const encode::WindowFit too_long = encode::encode_in_window(coder, literal, 1, 7, 4, message);
  EXPECT_FALSE(too_long.found);
  EXPECT_EQ(too_long.shortest, 8u);
  EXPECT_EQ(too_long.longest, 8u);
  EXPECT_FALSE(encode::encode_in_window(coder, literal, 9, 16, 12, message).found);
  const Units unwritable = {0x0022};
  const encode::WindowFit none = encode::encode_in_window(coder, unwritable, 1, 8, 4, message);
  EXPECT_FALSE(none.found);
  EXPECT_EQ(none.shortest, 0u);
}

TEST(ParsesInWindow, EachParseOnceNearestTotalFirstInEdgeOrder) {
  // Entries い‐う, う‐え and い‐う‐え over the text いうえ: four parses.
  const SampleCoder sample;
  Dictionary dictionary;
  const Units iu = {0x0080, 0x0081}, ue = {0x0081, 0x0082}, iue = {0x0080, 0x0081, 0x0082};
  for (const Units& entry : {iu, ue, iue}) {
    CodeStream& codes = dictionary.codes.emplace_back();
    for (const std::uint16_t u : entry) {
      codes.push_back(static_cast<std::uint8_t>(u & 0xFF));
      codes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  const encode::MessageCoder coder = encode::make_message_coder(sample.tables->text_trees, dictionary);
  const auto bits = [&](const Units& units) {
    std::size_t total = 0;
    for (const std::uint16_t u : units) total += static_cast<std::size_t>(encode::unit_bits(coder, u));
    return total;
  };
  const std::vector<Units> all = {{0x0080, 0x0081, 0x0082, 0xFFFF}, {0x0080, 0x0411, 0xFFFF}, {0x0410, 0x0082, 0xFFFF},
                                  {0x0412, 0xFFFF}};
  std::size_t least = SIZE_MAX, most = 0;
  for (const Units& parse : all) {
    least = std::min(least, bits(parse));
    most = std::max(most, bits(parse));
  }
  const std::size_t near = (least + most) / 2;
  std::vector<Units> seen;
  const encode::WindowFit fit = encode::for_each_parse_in_window(coder, iue, least, most, near, [&](const Units& parse) {
    seen.push_back(parse);
    return true;
  });
  EXPECT_TRUE(fit.found);
  EXPECT_EQ(fit.shortest, least);
  EXPECT_EQ(fit.longest, most);
  ASSERT_EQ(seen.size(), all.size());
  for (const Units& parse : all) EXPECT_EQ(std::count(seen.begin(), seen.end(), parse), 1);
  for (std::size_t k = 1; k < seen.size(); ++k) {
    const auto distance = [&](const Units& parse) { return std::max(bits(parse), near) - std::min(bits(parse), near); };
    EXPECT_LE(distance(seen[k - 1]), distance(seen[k])) << k;
    // Of one total, the parse whose first differing unit comes first: the
    // unit itself before entries, entries by index.
    if (bits(seen[k - 1]) == bits(seen[k])) {
      EXPECT_LT(seen[k - 1], seen[k]) << k;
    }
  }
  encode::EncodedMessage first;
  ASSERT_TRUE(encode::encode_in_window(coder, iue, least, most, near, first).found);
  EXPECT_EQ(first.units, seen.front());
  // The walk stops when asked, and a window that holds one total gives
  // only its parses.
  std::size_t visited = 0;
  encode::for_each_parse_in_window(coder, iue, least, most, near, [&](const Units&) { return ++visited < 2; });
  EXPECT_EQ(visited, 2u);
  const std::size_t only = bits(all[3]);
  encode::for_each_parse_in_window(coder, iue, only, only, only, [&](const Units& parse) {
    EXPECT_EQ(bits(parse), only);
    return true;
  });
}

TEST(ParsesInWindow, LongerCodesOfACharacterOnlyWhenAskedAndNeverForAnArgument) {
  // A character of two codes with their bits unequal, alone and as a
  // control's argument, and a line break: asked for, the longer code is
  // one more parse at the free-standing character only.
  const SampleCoder sample;
  const encode::MessageCoder& coder = *sample.coder;
  std::uint16_t shorter = 0, longer = 0;
  for (const auto& [a, b] : {std::pair<std::uint16_t, std::uint16_t>{0x003F, 0x007E}, {0x018B, 0x036D}, {0x01A6, 0x0284}}) {
    const int bits_a = encode::unit_bits(coder, a), bits_b = encode::unit_bits(coder, b);
    if (bits_a == 0 || bits_b == 0 || bits_a == bits_b) continue;
    std::tie(shorter, longer) = bits_a < bits_b ? std::pair{a, b} : std::pair{b, a};
  }
  ASSERT_NE(shorter, 0) << "no character of the sample has two codes of unequal bits";
  const Units literal = {shorter, 0x0016, shorter, 0x0012, 0x0017};
  const auto parses = [&](encode::CharacterCodes codes) {
    std::vector<Units> seen;
    encode::for_each_parse_in_window(
        coder, literal, 1, 4096, 1,
        [&](const Units& parse) {
          seen.push_back(parse);
          return true;
        },
        codes);
    return seen;
  };
  const std::vector<Units> own = {{shorter, 0x0016, shorter, 0x0012, 0x0017, 0xFFFF}};
  EXPECT_EQ(parses(encode::CharacterCodes::own), own);
  const std::vector<Units> with_longer = {own[0], {longer, 0x0016, shorter, 0x0012, 0x0017, 0xFFFF}};
  EXPECT_EQ(parses(encode::CharacterCodes::own_or_longer), with_longer);
}

TEST(EncodeMessage, OnlyEntriesOfPlainCharactersStandForTheirUnits) {
  // Entry 0 holds a control and its argument before twenty い, entry 1 the
  // twenty い alone: a text of the same units is spelled out where the
  // control stands, and takes entry 1 for the rest.
  const SampleCoder sample;
  Dictionary dictionary;
  dictionary.codes.resize(2);
  const Units kana(20, 0x0080);
  Units with_control = {0x0016, 0x0081};
  with_control.insert(with_control.end(), kana.begin(), kana.end());
  for (const auto& [e, units] : {std::pair{0, with_control}, std::pair{1, kana}}) {
    for (const std::uint16_t u : units) {
      dictionary.codes[e].push_back(static_cast<std::uint8_t>(u & 0xFF));
      dictionary.codes[e].push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  const encode::MessageCoder coder = encode::make_message_coder(sample.tables->text_trees, dictionary);
  EXPECT_TRUE(coder.clean[0].empty());
  EXPECT_EQ(coder.clean[1], kana);
  encode::EncodedMessage message;
  std::size_t unencodable = 0;
  ASSERT_TRUE(encode::encode_message(coder, with_control, message, unencodable));
  EXPECT_EQ(message.units, (Units{0x0016, 0x0081, 0x0411, 0xFFFF}));
}

}  // namespace
}  // namespace ambergale
