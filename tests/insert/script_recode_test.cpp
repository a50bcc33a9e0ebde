// Script blocks compressed again around new message bytes: worked cases on
// a three-leaf tree, then the sample's blocks.
#include "insert/script_recode.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <random>
#include <set>

#include "cartridge/cartridge.hpp"
#include "dump/dumps.hpp"
#include "dump/dump_run.hpp"
#include "encode/message_encoder.hpp"
#include "insert/script_edit.hpp"
#include "dump/stored_messages.hpp"
#include "sample/sample_content.hpp"
#include "script/disassembler.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Codes: 0 for 0x010 (byte 10), 10 for 0x000 (byte FF), 11 for 0x100 (byte 00).
ScriptTree worked_tree() {
  std::array<std::uint8_t, kScriptHeaderBytes> header{0x02, 0x19, 0x00, 0x02, 0x02, 0x08, 0x01, 0x80, 0x00};
  ScriptTree tree;
  ScriptTreeBuilder builder;
  EXPECT_FALSE(builder.build_script_tree(tree.nodes, header, tree.leaf_boundary));
  index_script_tree(tree);
  return tree;
}

Bytes decoded(const ScriptTree& tree, std::span<const std::uint8_t> image, const BlockAt& at) {
  std::array<std::uint8_t, kScriptOutputCap> out;
  const int n = decode_script(tree, image.subspan(at.offset), at.length, out);
  return Bytes(out.begin(), out.begin() + n);
}

struct WorkedCase {
  const char* what;
  Bytes image;  // the block at 0 unless said otherwise
  BlockAt block;
  int first, size;
  Bytes offered;
  bool found;
  Bytes after;  // the image after the search
};

TEST(BlockRecoder, WorkedCases) {
  const ScriptTree tree = worked_tree();
  const encode::ScriptCodes codes = encode::script_codes_of(tree);
  // 9D 55 is 10 0 11 10 10 10 10 10 1: bytes FF 10 00 FF FF FF FF FF, and a
  // last bit that completes no walk.
  const WorkedCase cases[] = {
      {"even, same bits", {0x9D, 0x55}, {0, 2}, 1, 2, {0x00, 0x10}, true, {0xB5, 0x55}},
      {"even, one bit more: the tail goes", {0x9D, 0x55}, {0, 2}, 1, 2, {0xFF, 0xFF}, true, {0xAA, 0xAA}},
      {"a byte no symbol gives", {0x9D, 0x55}, {0, 2}, 1, 2, {0x41, 0x10}, false, {0x9D, 0x55}},
      // Odd: the walk at bit 7 runs into the next byte, so the bits before
      // it must stay 7.
      {"odd, same bits", {0x9D, 0x55}, {0, 1}, 1, 2, {0x00, 0x10}, true, {0xB5, 0x55}},
      {"odd, one bit more", {0x9D, 0x55}, {0, 1}, 1, 2, {0xFF, 0xFF}, false, {0x9D, 0x55}},
      // The fifth symbol, FF, is the walk that straddles into the next byte:
      // a message over it may change only the bytes before it.
      {"odd, up to the straddling walk", {0x9D, 0x55}, {0, 1}, 3, 2, {0x00, 0xFF}, true, {0x9F, 0x55}},
      {"odd, the straddling walk changed", {0x9D, 0x55}, {0, 1}, 3, 2, {0x00, 0x00}, false, {0x9D, 0x55}},
      // The odd block before, at 0, decodes its filler from this block's
      // first byte, which the new bytes would change.
      {"the odd block before would change", {0xAA, 0x9D, 0x55}, {1, 2}, 1, 2, {0x00, 0x10}, false, {0xAA, 0x9D, 0x55}},
  };
  for (const WorkedCase& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes image = c.image;
    std::optional<NeighbourBlock> previous;
    if (c.block.offset > 0) previous = NeighbourBlock{{0, 1}, decoded(tree, image, {0, 1})};
    const Bytes before = decoded(tree, image, c.block);
    BlockRecoder recoder(tree, codes, image, {c.block, c.first, c.size, previous ? &*previous : nullptr}, 10);
    ASSERT_EQ(recoder.unusable(), "");
    EXPECT_EQ(recoder.offer(c.offered), c.found);
    EXPECT_EQ(recoder.found(), c.found);
    EXPECT_EQ(image, c.after);
    EXPECT_EQ(recoder.missing_byte(), c.offered[0] == 0x41 ? 0x41 : -1);
    if (!c.found) continue;
    Bytes expected = before;
    for (int k = 0; k < c.size; ++k) expected[2 * (c.first + k)] = c.offered[static_cast<std::size_t>(k)];
    const Bytes after = decoded(tree, image, c.block);
    ASSERT_EQ(after.size(), expected.size());
    for (std::size_t k = 0; k < after.size(); k += 2) EXPECT_EQ(after[k], expected[k]) << k;
    EXPECT_EQ(recoder.units(), after);
  }
  // A search is over once found, or once it has made its tries.
  {
    Bytes image = {0x9D, 0x55};
    BlockRecoder recoder(tree, codes, image, {{0, 2}, 1, 2, nullptr}, 10);
    ASSERT_TRUE(recoder.offer(Bytes{0x00, 0x10}));
    EXPECT_TRUE(recoder.offer(Bytes{0xFF, 0xFF}));
    EXPECT_EQ(recoder.tries(), 1u);
    EXPECT_EQ(image, (Bytes{0xB5, 0x55}));
    BlockRecoder bounded(tree, codes, image, {{0, 1}, 1, 2, nullptr}, 2);
    EXPECT_FALSE(bounded.offer(Bytes{0xFF, 0xFF}));
    EXPECT_TRUE(bounded.offer(Bytes{0xFF, 0xFF}));
    EXPECT_TRUE(bounded.offer(Bytes{0x10, 0x00}));
    EXPECT_EQ(bounded.tries(), 2u);
    EXPECT_FALSE(bounded.found());
  }
  // Bytes decoded from the next block's byte cannot change.
  Bytes image = {0x9D, 0x55};
  BlockRecoder shared(tree, codes, image, {{0, 1}, 4, 1, nullptr}, 10);
  EXPECT_NE(shared.unusable(), "");
}

// The sample's messages inside scripts, with their blocks.
class SampleBlocks : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    image_ = new Bytes(sample::make_sample(2).layout.image);
    Cartridge cart;
    cart.bytes = *image_;
    const MemoryRun run = run_in_memory(*image_, sample::sample_opcode_file(), DumpSettings{}, false);
    ASSERT_FALSE(run.failure);
    tables_ = new std::shared_ptr<const Tables>(run.tables);
    places_ = new std::vector<ScriptPlace>(script_places(cart));
  }
  static void TearDownTestSuite() {
    delete image_;
    delete tables_;
    delete places_;
  }

  struct Message {
    int script;
    BlockAt block;
    int first, size;
    std::vector<std::uint16_t> units;
    std::size_t bits;
    Bytes bytes;
  };

  // The messages that end with their end code, in dump order, at most `most`.
  static std::vector<Message> messages(std::size_t most) {
    Cartridge cart;
    cart.bytes = *image_;
    std::vector<Message> found;
    CodeBuffer codes;
    for_each_script(cart, **tables_, [&](const ScriptView& view) {
      for (const ScriptLine& line : map_lines_of(view)) {
        const TextDecode text = decode_embedded(view.bytes, view.size(), line.offset, (*tables_)->text_trees, codes);
        std::vector<std::uint16_t> units = code_units(std::span(codes).first(static_cast<std::size_t>(text.written)));
        if (units.empty() || units.back() != 0xFFFF) continue;
        const ScriptPlace& place = (*places_)[static_cast<std::size_t>(view.index)];
        const auto first = view.bytes.begin() + line.offset;
        found.push_back({view.index, {static_cast<std::size_t>(rom_offset(place.bank, place.address)), place.length},
                         static_cast<int>(line.offset), text.consumed, std::move(units), static_cast<std::size_t>(text.bits),
                         Bytes(first, first + text.consumed)});
      }
      return found.size() < most;
    });
    return found;
  }

  // The message lines of one script.
  static std::vector<ScriptLine> map_lines_of(const ScriptView& view) {
    struct Recorder {
      std::vector<ScriptLine> lines;
      const ScriptView& view;
      CodeBuffer codes;
      bool ok() const { return true; }
      void instruction(std::int64_t, int, int, int) {}
      std::int64_t message(std::int64_t position, int m) {
        lines.push_back({ScriptLine::Kind::message, view.index, position, m});
        return decode_embedded(view.bytes, view.size(), position, (*tables_)->text_trees, codes).consumed;
      }
    } recorder{{}, view, {}};
    walk_script(view.bytes, view.size(), (*tables_)->opcodes, recorder);
    return recorder.lines;
  }

  // The block before `at` when it is odd, as it decodes now.
  static std::optional<NeighbourBlock> previous_of(const Message& m) {
    const ScriptPlace& place = (*places_)[static_cast<std::size_t>(m.script)];
    int start = -1;
    for (const ScriptPlace& other : *places_) {
      if (other.bank == place.bank && other.address < place.address) start = std::max(start, other.address);
    }
    if (start < 0 || (place.address - start) % 2 == 0) return std::nullopt;
    const BlockAt at{static_cast<std::size_t>(rom_offset(place.bank, start)), place.address - start};
    return NeighbourBlock{at, decoded((*tables_)->script_tree, *image_, at)};
  }

  static Bytes* image_;
  static std::shared_ptr<const Tables>* tables_;
  static std::vector<ScriptPlace>* places_;
};

Bytes* SampleBlocks::image_ = nullptr;
std::shared_ptr<const Tables>* SampleBlocks::tables_ = nullptr;
std::vector<ScriptPlace>* SampleBlocks::places_ = nullptr;

TEST_F(SampleBlocks, UnchangedTextWrittenAgainRecompresses) {
  // 1000 messages, each written again as an edit is: every parse its text
  // has at its byte length, in order, until the block takes one. Then the
  // same with the message's own parse left out, where its text has another.
  const encode::ScriptCodes codes = encode::script_codes_of((*tables_)->script_tree);
  const auto coder = std::make_unique<encode::MessageCoder>(encode::make_message_coder((*tables_)->text_trees, (*tables_)->dictionary));
  std::array<std::size_t, 2> tried{}, recompressed{};
  std::size_t most_tries = 0;
  Bytes image = *image_;
  for (const Message& m : messages(20000)) {
    if (tried[0] == 1000 && tried[1] == 1000) break;
    const encode::Units literal = encode::opened(*coder, m.units);
    const std::optional<NeighbourBlock> previous = previous_of(m);
    for (const bool other_parse : {false, true}) {
      if (tried[other_parse] == 1000) continue;
      BlockRecoder recoder((*tables_)->script_tree, codes, image, {m.block, m.first, m.size, previous ? &*previous : nullptr},
                           kRecodeTries);
      if (!recoder.unusable().empty()) break;
      std::size_t others = 0;
      const auto size = static_cast<std::size_t>(m.size);
      offer_encodings(
          *coder, {literal, {8 * size - 7, 8 * size, m.bits, ""}, m.bytes.back()},
          [&](std::span<const std::uint8_t> bytes) { return recoder.offer(bytes); },
          [&](const encode::Units& parse) {
            others += parse != m.units;
            return other_parse && parse == m.units;
          });
      if (other_parse && others == 0) continue;
      ++tried[other_parse];
      most_tries = std::max(most_tries, recoder.tries());
      if (!recoder.found()) continue;
      ++recompressed[other_parse];
      // Only the block's bytes changed, and outside the message it decodes
      // to the same script.
      const Bytes units = decoded((*tables_)->script_tree, image, m.block);
      const Bytes original = decoded((*tables_)->script_tree, *image_, m.block);
      ASSERT_EQ(units.size(), original.size());
      for (std::size_t k = 0; k < units.size(); k += 2) {
        const auto at = static_cast<int>(k / 2);
        if (at >= m.first && at < m.first + m.size) continue;
        ASSERT_EQ(units[k], original[k]) << m.script << " " << k;
      }
      ASSERT_TRUE(std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(m.block.offset), image_->begin()));
      const auto end = static_cast<std::ptrdiff_t>(m.block.offset) + m.block.length;
      ASSERT_TRUE(std::equal(image.begin() + end, image.end(), image_->begin() + end));
      std::copy(image_->begin(), image_->end(), image.begin());
    }
  }
  std::cout << "written again: " << recompressed[0] << " of " << tried[0] << " recompress; by another parse: "
            << recompressed[1] << " of " << tried[1] << " (the most tries " << most_tries << ")\n";
  ASSERT_EQ(tried[0], 1000u);
  EXPECT_GE(recompressed[0] * 100, tried[0] * 99);
  // Another parse gives other bytes, mostly rarer ones with longer codes,
  // and a block has only the few bits after its last symbol to spare.
  EXPECT_GE(recompressed[1] * 100, tried[1] * 70);
}

TEST_F(SampleBlocks, EncodingsAreOfferedEachOnceOldFreeBitsFirst) {
  const auto coder = std::make_unique<encode::MessageCoder>(encode::make_message_coder((*tables_)->text_trees, (*tables_)->dictionary));
  std::size_t checked = 0;
  for (const Message& m : messages(400)) {
    const auto size = static_cast<std::size_t>(m.size);
    const BitWindow window{8 * size - 7, 8 * size, m.bits, ""};
    const encode::Units literal = encode::opened(*coder, m.units);
    // Every parse in the window gives as many strings as its free bits have values.
    std::size_t expected = 0;
    encode::for_each_parse_in_window(*coder, literal, window.least, window.most, window.near, [&](const encode::Units& parse) {
      expected += std::size_t{1} << (8 * size - encode::write_units(*coder, parse).bits);
      return true;
    });
    if (expected < 4) continue;
    std::set<std::string> offered;
    std::vector<Bytes> order;
    offer_encodings(*coder, {literal, window, m.bytes.back()}, [&](std::span<const std::uint8_t> bytes) {
      order.emplace_back(bytes.begin(), bytes.end());
      offered.emplace(bytes.begin(), bytes.end());
      return false;
    });
    EXPECT_EQ(order.size(), expected);
    EXPECT_EQ(offered.size(), expected);
    // The first keeps the old message's free bits: the first parse is the
    // nearest, and the message's own parse is among those at its total.
    const std::size_t free_bits = 8 * size - encode::write_units(*coder, m.units).bits;
    EXPECT_EQ(order.front().back() & ((1u << free_bits) - 1), m.bytes.back() & ((1u << free_bits) - 1));
    std::size_t asked = 0;
    offer_encodings(*coder, {literal, window, m.bytes.back()}, [&](std::span<const std::uint8_t>) { return ++asked == 3; });
    EXPECT_EQ(asked, 3u);
    if (++checked == 50) break;
  }
  EXPECT_EQ(checked, 50u);
}

TEST_F(SampleBlocks, RandomBytesThatFitChangeOnlyTheirBlock) {
  // New bytes for the first 300 messages, random, until the block takes
  // some: the script decodes to them, the block before to what it did.
  const encode::ScriptCodes codes = encode::script_codes_of((*tables_)->script_tree);
  std::mt19937 random(5);
  std::size_t found = 0, unusable = 0;
  Bytes image = *image_;
  for (const Message& m : messages(300)) {
    const std::optional<NeighbourBlock> previous = previous_of(m);
    BlockRecoder recoder((*tables_)->script_tree, codes, image, {m.block, m.first, m.size, previous ? &*previous : nullptr}, 200);
    if (!recoder.unusable().empty()) {
      ++unusable;
      continue;
    }
    Bytes offered = m.bytes;
    do {
      offered[random() % offered.size()] = static_cast<std::uint8_t>(random());
    } while (!recoder.offer(offered));
    if (!recoder.found()) continue;
    ++found;
    Bytes expected = decoded((*tables_)->script_tree, *image_, m.block);
    for (int k = 0; k < m.size; ++k) expected[static_cast<std::size_t>(2 * (m.first + k))] = offered[static_cast<std::size_t>(k)];
    const Bytes units = decoded((*tables_)->script_tree, image, m.block);
    ASSERT_EQ(units.size(), expected.size());
    for (std::size_t k = 0; k < units.size(); k += 2) ASSERT_EQ(units[k], expected[k]) << m.script << " " << k;
    if (previous) {
      EXPECT_EQ(decoded((*tables_)->script_tree, image, previous->at), previous->units);
    }
    const auto end = static_cast<std::ptrdiff_t>(m.block.offset) + m.block.length;
    ASSERT_TRUE(std::equal(image.begin() + end, image.end(), image_->begin() + end));
    std::copy(image_->begin(), image_->end(), image.begin());
  }
  EXPECT_GT(found, 100u);
  EXPECT_LT(unusable, 30u);
}

}  // namespace
}  // namespace ambergale
