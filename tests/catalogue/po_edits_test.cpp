// Translations taken from a catalogue: the same image as the same edits
// made in the dumps, the image back from a catalogue left as it was, and
// each refusal naming the catalogue's line.
#include "catalogue/po_edits.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "catalogue/catalogue.hpp"
#include "catalogue/po_file.hpp"
#include "catalogue/po_spelling.hpp"
#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/line_text.hpp"
#include "support/po_support.hpp"
#include "text/text_parse.hpp"

namespace ambergale {
namespace {

struct Sample {
  InsertInputs inputs;
  MemoryRun dumps;
  std::vector<CatalogueItem> items;
  std::string po;  // the template
  InsertSettings settings;  // the end of bank FB free
};

Sample sample_of(std::uint32_t seed) {
  Sample s;
  s.inputs.image_file = sample::make_sample(seed).layout.image;
  s.inputs.image_name = "image.smc";
  s.inputs.opcode_file = sample::sample_opcode_file();
  s.dumps = run_in_memory(s.inputs.image_file, s.inputs.opcode_file, DumpSettings{}, true);
  Cartridge cart;
  cart.bytes = s.inputs.image_file;
  s.items = catalogue_items(cart, *s.dumps.tables, map_stored_messages(cart, *s.dumps.tables, true));
  EXPECT_FALSE(write_po_template(s.items, "9.9", image_crc(cart.bytes), s.po));
  int end = 0;
  for (const auto& [address, message] : testing_support::word_list_map_of(s.inputs.image_file).messages) {
    end = std::max(end, address + message.size);
  }
  s.settings.free = {{0xFB, {end, 0x10000}}};
  return s;
}

// Inserts the translations of `po` into the sample's image; the first
// refusal is the failure.
Outcome insert_po(const Sample& s, const std::string& po, InsertResult& result, const InsertSettings* settings = nullptr,
                  const PoRules& rules = {}) {
  PoCatalogue catalogue;
  if (Outcome failure = read_po_file("ja.po", po, catalogue)) return failure;
  OriginalImage original{s.inputs.image_file, "image.smc", s.inputs.opcode_file, Encoding::shift_jis, {}, {}, {}};
  if (Outcome failure = load_original(original)) return failure;
  map_scripts(original);
  ChangeSet changes;
  PoTally tally;
  if (Outcome failure = changes_from_po(original, catalogue, "ja.po", rules, changes, tally)) return failure;
  if (!tally.refused.empty()) return tally.refused.front().failure;
  if (Outcome failure = run_insert(original, changes, settings ? *settings : s.settings, result)) return failure;
  if (!result.refusals.empty()) return result.refusals.front().failure;
  return std::nullopt;
}

TEST(PoEdits, ACatalogueLeftAsItWasGivesTheImageBack) {
  const Sample s = sample_of(4);
  InsertResult result;
  ASSERT_FALSE(insert_po(s, s.po, result));
  EXPECT_TRUE(result.image_file == s.inputs.image_file);
  // Every entry "translated" as its own text is no edit either.
  PoCatalogue catalogue;
  ASSERT_FALSE(read_po_file("game.pot", s.po, catalogue));
  std::map<std::string, std::string> same;
  for (const PoEntry& entry : catalogue.entries) same[entry.context] = entry.source;
  ASSERT_FALSE(insert_po(s, testing_support::translated(s.po, same), result));
  EXPECT_TRUE(result.image_file == s.inputs.image_file);
}

TEST(PoEdits, TranslationsGiveTheImageTheSameEditsOfTheDumpsGive) {
  // On three seeds, a character of 25 texts of each kind replaced by another
  // of the text, in the catalogue and in the dumps alike; what the dumps
  // refuse is left out of both.
  const Cp932ToUtf8 to_utf8;
  for (const std::uint32_t seed : {2u, 5u, 7u}) {
    SCOPED_TRACE(seed);
    const Sample s = sample_of(seed);
    std::mt19937 random(seed);
    std::map<std::string, std::string> texts;  // context -> new text, Shift-JIS
    std::map<char, int> kinds;
    for (int tries = 0; tries < 20000 && texts.size() < 100; ++tries) {
      const CatalogueItem& item = s.items[random() % s.items.size()];
      if (kinds[item.context[0]] >= 25 || texts.count(item.context) || item.text.find('<') != std::string::npos) continue;
      const std::vector<std::size_t> wide = testing_support::wide_characters(item.text, 0);
      if (wide.size() < 2) continue;
      const std::string text = testing_support::one_character_edits(item.text, wide, random())[0].second;
      if (text == item.text) continue;
      texts[item.context] = text;
      ++kinds[item.context[0]];
    }
    std::map<std::string, const CatalogueItem*> by_context;
    for (const CatalogueItem& item : s.items) by_context[item.context] = &item;
    InsertResult by_dumps;
    for (;;) {
      std::array<std::vector<std::pair<std::size_t, std::string>>, 4> edits;
      for (const auto& [context, text] : texts) {
        for (const CatalogueLine& line : by_context.at(context)->lines) {
          const std::string_view old = split_lines(s.dumps.dumps[line.dump])[line.number - 1];
          std::string edited(line_identifier(kDumpFiles[line.dump].name, old));
          for (const char c : text) edited += c == '\n' ? std::string("<1200>") : std::string(1, c);
          edits[line.dump].emplace_back(line.number, edited);
        }
      }
      InsertInputs inputs = s.inputs;
      for (std::size_t d = 0; d < 4; ++d) {
        std::sort(edits[d].begin(), edits[d].end());
        if (!edits[d].empty()) inputs.edited[d] = with_lines(s.dumps.dumps[d], edits[d]);
      }
      const Outcome failure = insert_edited_dumps(inputs, s.settings, by_dumps);
      if (!failure) break;
      // The refused line's item leaves both.
      bool dropped = false;
      for (auto item = texts.begin(); item != texts.end() && !dropped; ++item) {
        for (const CatalogueLine& line : by_context.at(item->first)->lines) {
          if (failure->file == kDumpFiles[line.dump].name && failure->line == line.number) {
            texts.erase(item);
            dropped = true;
            break;
          }
        }
      }
      ASSERT_TRUE(dropped) << failure->text();
    }
    EXPECT_GT(texts.size(), 50u);
    std::map<std::string, std::string> translations;
    for (const auto& [context, text] : texts) to_utf8.convert(text, translations[context]);
    InsertResult by_po;
    const Outcome failure = insert_po(s, testing_support::translated(s.po, translations), by_po);
    ASSERT_FALSE(failure) << failure->text();
    EXPECT_TRUE(by_po.image_file == by_dumps.image_file);
    EXPECT_FALSE(by_po.image_file == s.inputs.image_file);
  }
}

TEST(PoEdits, ATranslationKeepsItsControlsInAnyOrderOrInTheirsWhenStrict) {
  const Sample s = sample_of(4);
  PoCatalogue catalogue;
  ASSERT_FALSE(read_po_file("game.pot", s.po, catalogue));
  // A word-list message (it may grow) with two controls and no line break at its edges.
  const auto chosen = std::find_if(catalogue.entries.begin(), catalogue.entries.end(), [&](const PoEntry& entry) {
    return entry.context[0] == 'W' && testing_support::controls_in(entry.source).size() == 2 &&
           entry.source.find('\n') == std::string::npos;
  });
  ASSERT_NE(chosen, catalogue.entries.end());
  const PoEntry& entry = *chosen;
  const std::vector<std::string> tags = testing_support::controls_in(entry.source);
  const std::string a = "\xe3\x81\x82";  // あ
  const std::string at = "ja.po:" + std::to_string(entry.line) + ": (" + entry.context + ") the translation ";
  const std::pair<std::string, std::string> cases[] = {
      {tags[1] + a + "\n" + tags[0] + a, ""},
      {tags[0] + a + a, at + "drops the tag " + tags[1]},
      {"\n" + tags[0] + a + tags[1], at + "begins with a line break and the msgid does not"},
  };
  for (const auto& [translation, refusal] : cases) {
    for (const bool strict : {false, true}) {
      const std::string expected = refusal.empty() && strict ? at + "has the tags in another order" : refusal;
      InsertResult result;
      const Outcome refused = insert_po(s, testing_support::translated(s.po, {{entry.context, translation}}), result, nullptr, {strict});
      EXPECT_EQ(refused ? refused->text().substr(0, expected.size()) : "", expected) << translation;
      if (!refused) {
        EXPECT_FALSE(result.image_file == s.inputs.image_file);
      }
    }
  }
}

TEST(PoEdits, EachRefusalNamesTheCatalogueAndItsLine) {
  const Sample s = sample_of(4);
  const std::string header = s.po.substr(0, s.po.find("\n\n") + 2);
  const auto entry = [](const std::string& context, const std::string& source, const std::string& translation) {
    return "msgctxt \"" + context + "\"\nmsgid \"" + testing_support::po_quoted(source) + "\"\nmsgstr \"" +
           testing_support::po_quoted(translation) + "\"\n";
  };
  const CatalogueItem& word = s.items.front();  // a word-list message
  std::string source;
  Cp932ToUtf8().convert(word.text, source);
  std::string other_image = header;
  other_image.replace(other_image.find("X-Ambergale-Image-CRC32: ") + 25, 8, "00000000");
  // An entry's msgctxt is the line after the header and its empty line.
  const std::size_t first_line = static_cast<std::size_t>(std::count(header.begin(), header.end(), '\n')) + 1;
  const std::string place = "ja.po:" + std::to_string(first_line) + ": ";
  const std::string at = place + "(" + word.context + ") ";
  const std::pair<std::string, std::string> cases[] = {
      {other_image + entry(word.context, source, "x"), "ja.po: made from another image"},
      {header + entry("W 7F:7FFF", "", "\xe3\x81\x82"), place + "(W 7F:7FFF) msgctxt \"W 7F:7FFF\" names no text of this image"},
      {header + "msgid \"x\"\nmsgstr \"y\"\n", place + "an entry without msgctxt"},
      {header + entry(word.context, source + "\xe3\x81\x82", "\xe3\x81\x82"), at + "the msgid is not"},
      {header + entry(word.context, source, "<12>"), place + "(" + word.context + ", character 1 of the translation) an escape"},
      {header + entry(word.context, source, "\xe3\x82\xa2\\n"), place + "(" + word.context + ", character 2 of the translation) '\\' (U+005C) is not"},
      {header + entry(word.context, source, "\xe3\x82\xa2\xc2\xa5n"), place + "(" + word.context + ", character 2 of the translation) '\xc2\xa5' (U+00A5) is not"},
      // ASCII digits and letters are characters of a translation, never units; a
      // line break is one character.
      {header + entry(word.context, source, "1200"),
       place + "(" + word.context + ", character 1 of the translation) '1' (U+0031) is not in the character table: write '\xef\xbc\x91'"},
      {header + entry(word.context, source, "\xe3\x82\xa2\nxBad"),
       place + "(" + word.context + ", character 3 of the translation) 'x' (U+0078) is not in the character table"},
      {header + entry(word.context, source, "\nB"), place + "(" + word.context + ", character 2 of the translation) 'B' (U+0042) is not"},
      {header + entry(word.context, source, "\xf0\x9f\x98\x80"), at + "byte 1 of the translation starts '\xf0\x9f\x98\x80' (U+1F600), which Shift-JIS does not have"},
      {header + "msgctxt \"" + word.context + "\"\nmsgid \"" + testing_support::po_quoted(source) +
           "\"\nmsgid_plural \"a\"\nmsgstr[0] \"b\"\n",
       at + "an entry with plural forms"},
      {header + "#~ msgctxt \"" + word.context + "\"\n#~ msgid \"" + testing_support::po_quoted(source) + "\"\n#~ msgstr \"b\"\n",
       at + "an obsolete entry"},
  };
  for (const auto& [po, expected] : cases) {
    InsertResult result;
    const Outcome refused = insert_po(s, po, result);
    ASSERT_TRUE(refused) << expected;
    EXPECT_EQ(refused->text().rfind(expected, 0), 0u) << refused->text();
  }
  // The inserter's own refusals name the entry too.
  std::string grown = source;
  for (int k = 0; k < 400; ++k) grown += "\xe3\x81\x82";
  const InsertSettings no_room;
  InsertResult result;
  const Outcome refused = insert_po(s, header + entry(word.context, source, grown), result, &no_room);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->file, "ja.po");
  EXPECT_EQ(refused->line, first_line);
  // Placed by its context alone: the translator never opened the dumps.
  EXPECT_EQ(refused->reason.rfind("(" + word.context + ") ", 0), 0u) << refused->text();
}

// `text`, a dump line's text, with each run of characters replaced by
// `phrase`: names, escapes, hex runs and line breaks kept.
std::string rephrased(std::string_view text, std::string_view phrase) {
  std::vector<TextPiece> pieces;
  EXPECT_FALSE(parse_line_text(text, HexRuns::units, pieces));
  std::string out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].kind != TextPiece::Kind::character) {
      out += pieces[i].text;
    } else if (i == 0 || pieces[i - 1].kind != TextPiece::Kind::character) {
      out += phrase;
    }
  }
  return out;
}

// A catalogue's text rephrased so, in UTF-8, its line breaks kept as such.
std::string rephrased_entry(std::string_view text, std::string_view phrase) {
  std::string line = rephrased(dump_line_text(text), phrase);
  for (std::size_t at = line.find("<1200>"); at != std::string::npos; at = line.find("<1200>", at)) line.replace(at, 6, "\n");
  std::string utf8;
  Cp932ToUtf8().convert(line, utf8);
  return utf8;
}

TEST(PoEdits, FullwidthGivesTheImageOfTheSameTextTypedFullWidth) {
  // Word-list texts holding tags or names, each run of their characters
  // replaced by an English phrase: typed full-width in the catalogue, and
  // in ASCII with --fullwidth in the catalogue and in the dumps (whose
  // controls are hex runs).
  const std::pair<std::string_view, std::string_view> phrases[] = {
      {"It's 1999 - \"Go!\"",
       "\x82\x68\x82\x94\x81\x66\x82\x93\x81\x40\x82\x50\x82\x58\x82\x58\x82\x58\x81\x40-\x81\x40\x81\x68\x82\x66\x82\x8F\x81\x49"
       "\x81\x68"},  // Ｉｔ’ｓ　１９９９　-　”Ｇｏ！”
      {"[A] ~ B_c = 50% * 2 / 3: ok? (x+y), z.",
       "\x81\x6D\x82\x60\x81\x6E\x81\x40\x81\x60\x81\x40\x82\x61\x81\x51\x82\x83\x81\x40\x81\x81\x81\x40\x82\x54\x82\x4F\x81\x93"
       "\x81\x40\x81\x96\x81\x40\x82\x51\x81\x40\x81\x5E\x81\x40\x82\x52\x81\x46\x81\x40\x82\x8F\x82\x8B\x81\x48\x81\x40\x81\x69"
       "\x82\x98\x81\x7B\x82\x99\x81\x6A\x81\x43\x81\x40\x82\x9A\x81\x44"},  // ［Ａ］　～　Ｂ＿ｃ　＝　５０％　＊　２　／　３：　ｏｋ？　（ｘ＋ｙ），　ｚ．
  };
  const Sample s = sample_of(3);
  std::map<std::string, const CatalogueItem*> chosen;
  for (const CatalogueItem& item : s.items) {
    const bool tags_or_names = item.text.find('<') != std::string::npos || item.text.find('(') != std::string::npos;
    if (item.context[0] == 'W' && tags_or_names && chosen.size() < 20) chosen[item.context] = &item;
  }
  ASSERT_EQ(chosen.size(), 20u);
  const auto phrase_of = [&](const std::string& context) { return phrases[context.back() % 2]; };
  std::map<std::string, std::string> typed_text;
  for (const auto& [context, item] : chosen) typed_text[context] = rephrased_entry(item->text, phrase_of(context).second);
  InsertResult typed;
  const Outcome typed_failure = insert_po(s, testing_support::translated(s.po, typed_text), typed);
  ASSERT_FALSE(typed_failure) << typed_failure->text();
  ASSERT_FALSE(typed.image_file == s.inputs.image_file);

  std::map<std::string, std::string> ascii;
  std::array<std::vector<std::pair<std::size_t, std::string>>, 4> edits;
  for (const auto& [context, item] : chosen) {
    ascii[context] = rephrased_entry(item->text, phrase_of(context).first);
    for (const CatalogueLine& line : item->lines) {
      const std::string_view old = split_lines(s.dumps.dumps[line.dump])[line.number - 1];
      const std::string_view identifier = line_identifier(kDumpFiles[line.dump].name, old);
      edits[line.dump].emplace_back(line.number, std::string(identifier) + rephrased(old.substr(identifier.size()), phrase_of(context).first));
    }
  }
  InsertResult from_po;
  const Outcome po_failure = insert_po(s, testing_support::translated(s.po, ascii), from_po, nullptr, PoRules{false, true});
  ASSERT_FALSE(po_failure) << po_failure->text();
  EXPECT_TRUE(from_po.image_file == typed.image_file);

  OriginalImage original{s.inputs.image_file, "image.smc", s.inputs.opcode_file, Encoding::shift_jis, {}, {}, {}};
  ASSERT_FALSE(load_original(original));
  map_scripts(original);
  std::array<std::optional<std::string>, 4> edited;
  for (std::size_t d = 0; d < 4; ++d) {
    std::sort(edits[d].begin(), edits[d].end());
    if (!edits[d].empty()) edited[d] = with_lines(s.dumps.dumps[d], edits[d]);
  }
  ChangeSet changes;
  ASSERT_FALSE(changes_from_dumps(original.dump.dumps, edited, Encoding::shift_jis, changes, true));
  InsertResult from_dumps;
  ASSERT_FALSE(run_insert(original, changes, s.settings, from_dumps));
  ASSERT_TRUE(from_dumps.refusals.empty()) << from_dumps.refusals.front().failure.text();
  EXPECT_TRUE(from_dumps.image_file == typed.image_file);
}

}  // namespace
}  // namespace ambergale
