// The facts about code units hold where they are used: the renderer, the
// catalogue's spelling, the expansion and the decoder agree with them.
#include "text/code_units.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "catalogue/po_spelling.hpp"
#include "decode/byte_tree.hpp"
#include "encode/encoder.hpp"
#include "support/code_units.hpp"
#include "text/dictionary.hpp"
#include "text/hex.hpp"

namespace ambergale {
namespace {

constexpr std::uint16_t kMark = 0x0021;
const std::string kMarkText = "\x81\x49";  // ！, no name and no entry

// How many ！ a text ends with.
int trailing_marks(std::string_view text) {
  int count = 0;
  for (; text.ends_with(kMarkText); text.remove_suffix(kMarkText.size())) ++count;
  return count;
}

TEST(CodeUnits, EveryUnitTakesItsArgumentsInTheRendererAndTheSpelling) {
  const Dictionary no_entries;
  for (int unit = 0; unit < 0x1000; ++unit) {
    if (unit == kMark) continue;
    const std::vector<std::uint16_t> units = {static_cast<std::uint16_t>(unit), kMark, kMark, kMark, kMark};
    const int arguments = argument_units(unit);
    EXPECT_EQ(trailing_marks(testing_support::render_text(testing_support::code_bytes(units))), 4 - arguments) << unit;
    std::string spelled;
    append_po_spelling(units, no_entries, spelled);
    EXPECT_EQ(trailing_marks(spelled), 4 - arguments) << unit;
    if (arguments == 0) continue;
    // A control and its arguments make one tag (！ selects no name).
    std::string expected = "<" + hex_text(static_cast<std::uint32_t>(unit), 2) + "00";  // controls lie in page 0
    for (int k = 0; k < arguments; ++k) expected += " 2100";
    expected += ">";
    for (int k = arguments; k < 4; ++k) expected += kMarkText;
    EXPECT_EQ(spelled, expected);
  }
}

TEST(CodeUnits, TheRenderedCodesStopWhereTheExpandedReferencesGoOn) {
  std::vector<std::string> texts(kRenderedEntryCodes.last - kFirstEntryCode + 1, "e");
  const auto render = [&](std::uint16_t unit) { return testing_support::render_text(testing_support::code_bytes({unit}), texts); };
  EXPECT_EQ(render(kRenderedEntryCodes.first), "e");
  EXPECT_EQ(render(kRenderedEntryCodes.last), "e");
  EXPECT_EQ(render(kRenderedEntryCodes.first - 1), "0F04");
  EXPECT_EQ(render(kRenderedEntryCodes.last + 1), "F90F");

  // Past the last entry a reference names an empty entry and vanishes.
  std::vector<CodeStream> codes = {testing_support::code_bytes(
      {kExpandedReferences.first - 1, kExpandedReferences.last, kExpandedReferences.last + 1, kEndCode})};
  expand_dictionary(codes);
  EXPECT_EQ(codes[0], testing_support::code_bytes({kExpandedReferences.first - 1, kExpandedReferences.last + 1, kEndCode}));
}

TEST(CodeUnits, TheTextTreesWriteEveryDecodableUnitAndTheDecoderReadsItBack) {
  std::vector<std::vector<std::uint16_t>> messages(1);
  for (int unit = 0; unit <= 0xFFFF; ++unit) {
    if (!decodable_unit(unit) || unit == kEndCode) continue;
    if (messages.back().size() == 1000) messages.emplace_back();
    messages.back().push_back(static_cast<std::uint16_t>(unit));
  }
  for (auto& message : messages) message.push_back(kEndCode);
  EXPECT_EQ(messages.size(), 5u);  // 4080 units and the end code
  const encode::TextCoder coder = encode::build_text_coder(messages);
  for (const auto& message : messages) {
    const std::vector<std::uint8_t> coded = encode::encode_units(coder, message);
    CodeBuffer out;
    const TextDecode decoded = decode_text(coder.trees(), coded, static_cast<std::int32_t>(coded.size()), out);
    EXPECT_EQ(code_units(std::span(out).first(static_cast<std::size_t>(decoded.written))), message);
  }
}

TEST(CodeUnits, AFixedLengthMessageTakesTheBitsThatEndInItsLastByte) {
  for (std::size_t bytes = 1; bytes <= 4; ++bytes) {
    const BitSpan span = fixed_length_bits(bytes);
    for (std::size_t bits = 1; bits <= 40; ++bits) {
      EXPECT_EQ(span.least <= bits && bits <= span.most, (bits + 7) / 8 == bytes) << bytes << " " << bits;
    }
  }
}

}  // namespace
}  // namespace ambergale
