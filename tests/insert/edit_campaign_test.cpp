// Random edit campaigns: on several sample cartridges, many word-list and
// dictionary lines changed at random in one run. Every refusal names a line
// and leaves the campaign; what is left must insert, and the new image must
// dump to exactly the edited lines.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <random>

#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "dump/stored_messages.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"

namespace ambergale {
namespace {

// Where a line's text starts: after its identifier.
std::size_t text_start(std::string_view line) { return line.find(line.substr(0, 1) == "[" ? ']' : ':') + 1; }

// The start of each character of a line's text, which starts at `start`.
std::vector<std::size_t> characters(std::string_view line, std::size_t start) {
  std::vector<std::size_t> starts;
  for (std::size_t at = start; at < line.size();) {
    starts.push_back(at);
    const auto byte = static_cast<unsigned char>(line[at]);
    at += (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0 ? 2 : 1;
  }
  return starts;
}

// A refusal without the numbers that differ from line to line: each run of
// digits, or of two or more hex digits, becomes '#'.
std::string without_numbers(std::string_view text) {
  const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at;
    while (end < text.size() && hex(text[end])) ++end;
    const bool number = end - at >= 2 || (end > at && text[at] <= '9');
    out += number ? std::string("#") : std::string(text.substr(at, std::max<std::size_t>(end - at, 1)));
    at = std::max(end, at + 1);
  }
  return out;
}

bool two_bytes(std::string_view line, std::size_t at) { return static_cast<unsigned char>(line[at]) >= 0x81; }

// One random change of a line's text (from `start` on): a character
// dropped, doubled or replaced by another of the line, the text emptied, or
// a ？ added.
std::string changed_line(std::string_view line, std::size_t start, std::mt19937& random) {
  const std::vector<std::size_t> starts = characters(line, start);
  // Characters inside a name "(…)" are not touched: the name would not be one.
  std::vector<std::size_t> wide;
  bool in_name = false;
  for (const std::size_t at : starts) {
    if (line[at] == '(' || line[at] == ')') in_name = line[at] == '(';
    if (two_bytes(line, at) && !in_name) wide.push_back(at);
  }
  std::string text(line);
  const int kind = wide.empty() ? 4 : static_cast<int>(random() % 5);
  if (kind == 3) return std::string(line.substr(0, start));
  if (kind == 4) return text + "\x81H";
  const std::size_t at = wide[random() % wide.size()];
  if (kind == 0) return text.erase(at, 2);
  if (kind == 1) return text.insert(at, line.substr(at, 2));
  return text.replace(at, 2, line.substr(wide[random() % wide.size()], 2));
}

TEST(EditCampaign, RandomEditsOfEveryDumpOnSampleSeeds) {
  std::map<std::string, int> refusals;
  std::size_t tried = 0, inserted = 0, artefacts = 0;
  for (const std::uint32_t seed : {21u, 22u, 23u}) {
    SCOPED_TRACE(seed);
    const std::vector<std::uint8_t> image = sample::make_sample(seed).layout.image;
    InsertInputs inputs;
    inputs.image_file = image;
    inputs.image_name = "image.smc";
    inputs.opcode_file = sample::sample_opcode_file();
    const MemoryRun original = run_in_memory(image, inputs.opcode_file, DumpSettings{}, true);
    ASSERT_FALSE(original.failure);
    const MessageMap map = testing_support::word_list_map_of(image);
    int end = 0;
    for (const auto& [address, message] : map.messages) end = std::max(end, address + message.size);
    InsertSettings settings;
    settings.free = {{0xFB, {end, 0x10000}}};

    std::mt19937 random(seed);
    std::array<std::map<std::size_t, std::string>, 4> edits;  // by dump: line (1-based) -> new line
    const std::vector<std::string_view> words = split_lines(original.dumps[0]);
    const std::vector<std::string_view> sequential = split_lines(original.dumps[1]);
    const std::vector<std::string_view> entries = split_lines(original.dumps[2]);
    while (edits[0].size() < 200) {
      const std::size_t i = random() % words.size();
      const std::string line = changed_line(words[i], text_start(words[i]), random);
      edits[0][i + 1] = line;
      // Half the time every line of a shared message changes alike.
      if (random() % 2 == 0) continue;
      for (std::size_t j = 0; j < map.entries.size(); ++j) {
        if (j != i && map.entries[j].address == map.entries[i].address) {
          edits[0][j + 1] = std::string(line_identifier("wordlist.txt", words[j])) + line.substr(line.find(':') + 1);
        }
      }
    }
    while (edits[2].size() < 50) {
      const std::size_t i = random() % entries.size();
      edits[2][i + 1] = changed_line(entries[i], text_start(entries[i]), random);
    }
    while (edits[1].size() < 50) {
      const std::size_t i = random() % sequential.size();
      edits[1][i + 1] = changed_line(sequential[i], text_start(sequential[i]), random);
    }
    // Message lines of the scripts; half the time every script of a block
    // changes alike.
    Cartridge cart;
    cart.bytes = image;
    const std::vector<ScriptLine> script_lines = map_script_lines(cart, *original.tables);
    const std::vector<ScriptPlace> places = script_places(cart);
    std::map<std::pair<int, std::int64_t>, std::size_t> message_line;
    std::vector<std::size_t> messages;
    for (std::size_t n = 0; n < script_lines.size(); ++n) {
      if (script_lines[n].kind != ScriptLine::Kind::message) continue;
      message_line[{script_lines[n].script, script_lines[n].offset}] = n + 1;
      messages.push_back(n);
    }
    const std::vector<std::string_view> listing = split_lines(original.dumps[3]);
    while (edits[3].size() < 50) {
      const std::size_t n = messages[random() % messages.size()];
      const std::string line = changed_line(listing[n], 0, random);
      edits[3][n + 1] = line;
      if (random() % 2 == 0) continue;
      const ScriptPlace& place = places[script_lines[n].script];
      for (int other = 0; other < static_cast<int>(places.size()); ++other) {
        if (places[other].bank == place.bank && places[other].address == place.address) {
          edits[3][message_line.at({other, script_lines[n].offset})] = line;
        }
      }
    }
    tried += edits[0].size() + edits[1].size() + edits[2].size() + edits[3].size();
    InsertResult result;
    for (;;) {
      for (const std::size_t d : {0u, 1u, 2u, 3u}) {
        inputs.edited[d] = with_lines(original.dumps[d], {edits[d].begin(), edits[d].end()});
      }
      const Outcome failure = insert_edited_dumps(inputs, settings, result);
      if (!failure) break;
      const std::string text = failure->text();
      ASSERT_EQ(text.find("internal error"), std::string::npos) << text;
      std::size_t d = 0;
      while (d < kDumpFiles.size() && text.rfind(std::string(kDumpFiles[d].name) + ":", 0) != 0) ++d;
      ASSERT_LT(d, kDumpFiles.size()) << text;
      const std::size_t colon = text.find(':');
      ASSERT_EQ(edits[d].erase(std::stoul(text.substr(colon + 1))), 1u) << text;
      ++refusals[without_numbers(text.substr(text.find(": ", colon) + 2)).substr(0, 70)];
    }
    inserted += edits[0].size() + edits[1].size() + edits[2].size() + edits[3].size();
    artefacts += result.report.script_artefacts.size();
    const MemoryRun again = run_in_memory(result.image_file, inputs.opcode_file, DumpSettings{}, true);
    ASSERT_FALSE(again.failure);
    for (const std::size_t d : {0u, 1u, 2u, 3u}) {
      const std::vector<std::string_view> lines = split_lines(again.dumps[d]);
      for (const auto& [number, line] : edits[d]) EXPECT_EQ(lines[number - 1], line) << d << ":" << number;
    }
  }
  // Most edits go in (those of the sequential block and the scripts must
  // keep their lengths); the refusals are there to read when something
  // changes.
  EXPECT_GT(inserted, tried * 3 / 4);
  std::cout << "edits tried " << tried << ", inserted " << inserted << "; lines that show rewritten script bytes: "
            << artefacts << "\n";
  for (const auto& [kind, count] : refusals) std::cout << "  refused " << count << ": " << kind << "\n";
}

}  // namespace
}  // namespace ambergale
