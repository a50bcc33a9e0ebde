// Builds the full-size sample cartridge, runs the tool on it, and checks that
// everything the sample encoded comes back: every word-list and sequential
// message, every dictionary entry fully expanded, every script's bytecode and
// embedded messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "app/run.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"
#include "support/code_units.hpp"
#include "support/run_tool.hpp"
#include "support/temp_dir.hpp"
#include "text/render.hpp"

namespace ambergale {
namespace {

using sample::Units;
using testing_support::lines_of;
using testing_support::read_file;
using testing_support::TempDir;

std::string render(const Units& units, const std::vector<std::string>& dictionary) {
  return testing_support::render_text(testing_support::code_bytes(units), dictionary);
}

// The full expansion of an entry, worked out directly by recursion.
Units expand(const std::vector<Units>& entries, int e) {
  Units out;
  for (std::uint16_t u : entries[e]) {
    if (u >= 0x0410 && u <= 0x0FFF) {
      if (u - 0x0410 < static_cast<int>(entries.size())) {
        const Units inner = expand(entries, u - 0x0410);
        out.insert(out.end(), inner.begin(), inner.end());
      }
    } else {
      out.push_back(u);
    }
  }
  return out;
}

std::string hex(int value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

TEST(RoundTrip, TheSampleComesBackAsEncoded) {
  const sample::SampleCartridge made = sample::make_sample(7);
  const sample::CartridgeContent& content = made.content;
  const sample::CartridgeLayout& layout = made.layout;
  TempDir dir;
  testing_support::write_file(dir.file("Ambergale.smc"), std::string(layout.image.begin(), layout.image.end()));
  testing_support::write_file(dir.file("mescmd.dat"), sample::sample_opcode_file());
  {
    testing_support::WorkingDirectory cwd(dir.path());
    const char* argv[] = {"ambergale-dump"};
    ASSERT_EQ(run_dump_tool(1, argv), 0);
  }

  // Dictionary.
  std::vector<std::string> dictionary;
  for (int e = 0; e < sample::kDictionarySize; ++e) dictionary.push_back(render(expand(content.dictionary, e), {}));
  const std::vector<std::string> sub = lines_of(read_file(dir.file("sublist.txt")));
  ASSERT_EQ(sub.size(), dictionary.size());
  for (int e = 0; e < sample::kDictionarySize; ++e) ASSERT_EQ(sub[e], hex(0x0410 + e, 4) + ":" + dictionary[e]) << e;

  // Word lists.
  const std::vector<std::string> words = lines_of(read_file(dir.file("wordlist.txt")));
  std::size_t line = 0;
  for (int g = 0; g < sample::kGroupCount; ++g) {
    for (std::size_t e = 0; e < content.groups[g].size(); ++e, ++line) {
      ASSERT_LT(line, words.size());
      ASSERT_EQ(words[line], hex(g, 2) + hex(static_cast<int>(e), 2) + ":" + render(content.groups[g][e], dictionary))
          << g << " " << e;
    }
  }
  EXPECT_EQ(line, words.size());

  // The sequential block.
  const std::vector<std::string> seq = lines_of(read_file(dir.file("wordlist2.txt")));
  ASSERT_EQ(seq.size(), layout.sequential.size());
  for (std::size_t i = 0; i < seq.size(); ++i) {
    const auto& [address, units] = layout.sequential[i];
    ASSERT_EQ(seq[i], "[FB:" + hex(address, 4) + "]" + render(units, dictionary)) << i;
  }

  // Scripts: each header, then one line per encoded piece. Lines after them
  // come from the filler bits that end a script's last word.
  const std::vector<std::string> listing = lines_of(read_file(dir.file("messcript.txt")));
  std::size_t at = 0;
  const int banks[] = {0xF9, 0xFA, 0xFB, 0xF8};
  for (int i = 0; i < sample::kScriptCount; ++i) {
    while (at < listing.size() && listing[at].rfind("[", 0) != 0) ++at;
    ASSERT_LT(at, listing.size()) << i;
    ASSERT_EQ(listing[at - 1], "");
    const std::string header = "[" + hex(i, 4) + ":" + hex(banks[i < 0x600 ? 0 : i < 0xA00 ? 1 : i < 0xC00 ? 2 : 3], 2) +
                               hex(layout.script_pointers[i], 4) + "](len=";
    ASSERT_EQ(listing[at].substr(0, header.size()), header) << i;
    ++at;
    int offset = 0;
    for (const sample::ScriptPiece& piece : content.scripts[i]) {
      ASSERT_LT(at, listing.size());
      const std::string& got = listing[at++];
      if (piece.is_message) {
        ASSERT_EQ(got, render(piece.message, dictionary)) << "script " << i;
        continue;
      }
      // The instruction sits where the bytecode has its bytes.
      offset = std::stoi(got.substr(0, 4), nullptr, 16);
      std::string shown = hex(offset, 4) + " ";
      for (std::size_t k = 0; k < piece.bytes.size(); ++k) {
        ASSERT_EQ(layout.script_bytes[i][offset + k], piece.bytes[k]) << "script " << i;
        shown += hex(piece.bytes[k], 2) + " ";
      }
      ASSERT_EQ(got.substr(0, shown.size()), shown) << "script " << i;
    }
  }
}

}  // namespace
}  // namespace ambergale
