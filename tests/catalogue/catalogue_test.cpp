// The catalogue of the sample: every text once, every line that shows it,
// and texts that read as the dumps show them.
#include "catalogue/catalogue.hpp"

#include <gtest/gtest.h>

#include <map>
#include <algorithm>
#include <string>
#include <vector>
#include <set>

#include "catalogue/po_spelling.hpp"
#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "dump/stored_messages.hpp"
#include "sample/sample_content.hpp"
#include "support/line_text.hpp"

namespace ambergale {
namespace {

// A catalogue text as the dump writes it: a line break and the tag <1700>
// as "\n", every other tag as its units' hex run.
std::string as_dumped(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\n') {
      out += "\\n";
    } else if (text[at] == '<') {
      const std::size_t end = text.find('>', at);
      for (std::size_t unit = at + 1; unit < end; unit += 5) {
        const std::string_view hex = text.substr(unit, 4);
        out += hex == "1700" ? std::string("\\n") : std::string(hex);
      }
      at = end;
    } else {
      out += text[at];
    }
  }
  return out;
}

TEST(PoSpelling, EachKindOfUnit) {
  Dictionary dictionary;
  dictionary.codes = {{0x80, 0x00, 0x12, 0x00, 0xFF, 0xFF, 0x81, 0x00}};  // entry 0410: い \n (end) う
  const std::vector<std::pair<std::vector<std::uint16_t>, std::string>> cases = {
      {{0x0080, 0x0012, 0x0081, 0xFFFF}, "\x82\xA2\n\x82\xA4"},          // い \n う
      {{0x0017}, "<1700>"},
      {{0x0013, 0x0229, 0x01BA, 0x01A9}, "<1300 2902 BA01 A901>"},
      {{0x0019, 0x0080}, "(\x83K\x83\x8B\x83h\x83X)"},                   // (ガルドス)
      {{0x0019, 0x0190}, "<1900 9001>"},
      {{0x0016, 0x0081}, "<1600 8100>"},
      {{0x0410, 0x0011}, "\x82\xA2\n\x82\xA4<1100>"},
      {{0x0500}, "<0005>"},
      {{0x0013, 0x0229}, "<1300 2902>"},  // its arguments cut short
  };
  for (const auto& [units, expected] : cases) {
    std::string text;
    append_po_spelling(units, dictionary, text);
    EXPECT_EQ(text, expected);
  }
  EXPECT_EQ(dump_line_text("\x82\xA2\n\x82\xA4\n"), "\x82\xA2<1200>\x82\xA4<1200>");
}

TEST(Catalogue, EveryTextOnceWithEveryLineThatShowsIt) {
  const std::vector<std::uint8_t> image = sample::make_sample(3).layout.image;
  const MemoryRun run = run_in_memory(image, sample::sample_opcode_file(), DumpSettings{}, true);
  ASSERT_FALSE(run.failure);
  Cartridge cart;
  cart.bytes = image;
  const std::vector<CatalogueItem> items = catalogue_items(cart, *run.tables, map_stored_messages(cart, *run.tables, true));
  std::array<std::vector<std::string_view>, 4> lines;
  for (std::size_t d = 0; d < lines.size(); ++d) lines[d] = split_lines(run.dumps[d]);

  std::set<std::string> contexts;
  std::array<std::vector<int>, 4> shown;
  for (std::size_t d = 0; d < lines.size(); ++d) shown[d].assign(lines[d].size(), 0);
  std::map<char, std::size_t> kinds, shared;
  for (const CatalogueItem& item : items) {
    EXPECT_TRUE(contexts.insert(item.context).second) << item.context;
    const std::map<char, std::size_t> widths = {{'W', 9}, {'S', 9}, {'D', 6}, {'M', 13}};
    ASSERT_TRUE(widths.count(item.context[0])) << item.context;
    EXPECT_EQ(item.context.size(), widths.at(item.context[0])) << item.context;
    ++kinds[item.context[0]];
    shared[item.context[0]] += item.lines.size() > 1;
    ASSERT_FALSE(item.lines.empty());
    for (const CatalogueLine& line : item.lines) {
      ++shown[line.dump][line.number - 1];
      const std::string_view text = lines[line.dump][line.number - 1];
      const std::string_view identifier = line_identifier(kDumpFiles[line.dump].name, text);
      EXPECT_EQ(as_dumped(item.text), text.substr(identifier.size())) << item.context << " " << kDumpFiles[line.dump].name << ":" << line.number;
    }
  }
  // Each line of the word lists, the block and the dictionary is one
  // item's, and of the script dump each message line.
  const std::vector<ScriptLine> map = map_script_lines(cart, *run.tables);
  for (std::size_t d = 0; d < lines.size(); ++d) {
    for (std::size_t n = 0; n < lines[d].size(); ++n) {
      const bool text_line = d < 3 || map[n].kind == ScriptLine::Kind::message;
      EXPECT_EQ(shown[d][n], text_line ? 1 : 0) << kDumpFiles[d].name << ":" << n + 1;
    }
  }
  EXPECT_EQ(kinds['D'], 3049u);
  // The sample shares storage in each way: word-list entries, entries and
  // the block, scripts of one block.
  EXPECT_GT(shared['W'], 0u);
  EXPECT_GT(shared['S'], 0u);
  EXPECT_GT(shared['M'], 0u);
}

// The characters of a catalogue text: neither its tags, names nor line breaks.
std::size_t characters_of(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '<' || text[at] == '(') {
      at = text.find(text[at] == '<' ? '>' : ')', at);
    } else if (text[at] != '\n') {
      ++count;
      at += testing_support::two_bytes(text, at);
    }
  }
  return count;
}

// `text` with each number written '#' and each plural of the counted nouns
// singular, and its numbers in order. (Read by hand: GCC 12 warns falsely
// on std::regex's headers under the sanitizers.)
struct Shape {
  std::string text;
  std::vector<int> numbers;
  bool counts_agree = true;  // each count ("1 byte", "7 full-width Latin letters") has the plural its number needs
};

Shape shape_of(const std::string& text) {
  static const std::string nouns[] = {" bit", " byte", " character", " full-width Latin letter"};
  Shape shape;
  for (std::size_t at = 0; at < text.size();) {
    if (text[at] < '0' || text[at] > '9') {
      shape.text += text[at++];
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    shape.numbers.push_back(std::stoi(text.substr(at, end - at)));
    shape.text += '#';
    for (const std::string& noun : nouns) {
      if (text.compare(end, noun.size(), noun) != 0) continue;
      const std::size_t after = end + noun.size();
      const bool plural = after < text.size() && text[after] == 's';
      shape.counts_agree = shape.counts_agree && (shape.numbers.back() == 1) != plural;
      shape.text += noun;
      end = after + (plural ? 1 : 0);
    }
    at = end;
  }
  return shape;
}

// The numbers of `shape` from the one at `text`'s position `at` of its shaped text on.
std::vector<int> numbers_from(const Shape& shape, std::size_t at) {
  const auto before = static_cast<std::size_t>(std::count(shape.text.begin(), shape.text.begin() + static_cast<std::ptrdiff_t>(at), '#'));
  return {shape.numbers.begin() + static_cast<std::ptrdiff_t>(before), shape.numbers.end()};
}

TEST(Catalogue, EachCommentStatesTheRoomInCharacters) {
  const std::vector<std::uint8_t> image = sample::make_sample(3).layout.image;
  const MemoryRun run = run_in_memory(image, sample::sample_opcode_file(), DumpSettings{}, true);
  ASSERT_FALSE(run.failure);
  Cartridge cart;
  cart.bytes = image;
  const std::vector<CatalogueItem> items = catalogue_items(cart, *run.tables, map_stored_messages(cart, *run.tables, true));
  // Fixed texts: their bytes, the bits those allow and now take, and the
  // room (in characters like the text's when it has some). Word-list
  // messages: the room in their bytes. Dictionary entries: the sample's
  // dictionary trees write no full-width Latin letter.
  const std::string fixed = "fixed: # byte (# to # bit, now #): about ";
  const std::string like_these = "# character like these, or # full-width Latin letter";
  const std::string latin = "# full-width Latin letter";
  const std::string grows[] = {", # byte: about " + like_these + "; may grow", ", # byte: about " + latin + "; may grow"};
  const std::string entry[] = {", # byte: about # character like these; no full-width Latin letter has a code; ",
                               ", # byte: no full-width Latin letter has a code; "};
  const auto holds = [](const std::string& text, const auto& forms) {
    return std::any_of(std::begin(forms), std::end(forms), [&](const std::string& form) { return text.find(form) != std::string::npos; });
  };
  std::map<char, std::size_t> stated;
  for (const CatalogueItem& item : items) {
    const Shape shape = shape_of(item.comment);
    EXPECT_TRUE(shape.counts_agree) << item.comment;
    if (const std::size_t at = shape.text.find(fixed);
        at != std::string::npos && (shape.text.compare(at + fixed.size(), like_these.size(), like_these) == 0 ||
                                    shape.text.compare(at + fixed.size(), latin.size(), latin) == 0)) {
      const std::vector<int> n = numbers_from(shape, at);
      const int bytes = n[0], least = n[1], most = n[2], now = n[3];
      EXPECT_EQ(least, 8 * bytes - 7) << item.comment;
      EXPECT_EQ(most, 8 * bytes) << item.comment;
      EXPECT_TRUE(now >= least && now <= most) << item.comment;
      // The text's own characters fit in its room.
      if (shape.text.compare(at + fixed.size(), like_these.size(), like_these) == 0) {
        EXPECT_GE(static_cast<std::size_t>(n[4]), characters_of(item.text)) << item.comment;
      }
      ++stated[item.context[0]];
      // What --relayout changes is said whatever the mode.
      const char* relayout = item.context[0] == 'S' ? "with --relayout the block's texts share one total"
                                                    : "with --relayout, to any length its group";
      EXPECT_NE(item.comment.find(relayout), std::string::npos) << item.comment;
    } else if (item.context[0] == 'W' ? holds(shape.text, grows) : holds(shape.text, entry)) {
      ++stated[item.context[0]];
    } else {
      EXPECT_TRUE(item.context[0] == 'M' && item.comment.find("cannot change") != std::string::npos) << item.comment;
    }
  }
  for (const char kind : {'W', 'S', 'D', 'M'}) EXPECT_GT(stated[kind], 0u) << kind;
}

}  // namespace
}  // namespace ambergale
