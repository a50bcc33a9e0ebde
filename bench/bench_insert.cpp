// bench_insert MEASURE DUMP INSERT RUNS DIR JUMPS
// Times the insert tool as a user runs it, a whole process, against one run
// of the dump tool on the cartridge folder DIR (Ambergale.smc and
// mescmd.dat): the insert of its unchanged dumps, and the insert of dumps
// whose every word-list and dictionary line lost its last character, with
// the end of bank FB declared free. Lines whose change cannot be inserted
// (dropping a character can undo a dictionary match, and the dictionary may
// have no room to grow) are left as they were and counted. A fourth run
// re-encodes every message of the sequential block at its length: each
// line's first character written as an escape, the same text; a fifth the
// same with --relayout, every such message at its shortest and the block
// laid out again back to D07D. On the sample with jumps in JUMPS, against a
// dump of it, a sixth grows every script message by one character, with
// --relayout --script-offsets declared -k: what cannot go in (mostly groups
// that overflow, since nothing shrinks) is left out, and counted. Then the
// synthetic translations of that sample (JUMPS/en.po at 1.5 times the
// characters, en-2.0.po at 2.0) go in with --rebuild trees and the bytes
// the sample leaves unused declared free (sample::free_options), both whole,
// proven. The runs
// alternate, RUNS times each; the table gives medians and the ratios to the
// dump of their sample.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "bench_timing.hpp"
#include "cartridge/cartridge.hpp"
#include "dump/dump_run.hpp"
#include "dump/load_tables.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "dump/stored_messages.hpp"
#include "sample/free_ranges.hpp"
#include "text/char_table.hpp"

namespace {

namespace fs = std::filesystem;
using namespace ambergale;

const char* const kDumps[] = {"wordlist.txt", "wordlist2.txt", "sublist.txt", "messcript.txt"};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The line without its last character, when that is not part of a name.
std::string shortened(std::string_view line) {
  std::size_t last = line.size();
  for (std::size_t at = line.find(':') + 1; at < line.size();) {
    const auto byte = static_cast<unsigned char>(line[at]);
    last = at;
    at += (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0 ? 2 : 1;
  }
  if (last == line.size() || line[last] == ')') return std::string(line) + "\x81H";  // ？
  return std::string(line.substr(0, last));
}

// Bank FB after the last word-list message.
DeclaredRange end_of_bank(const std::vector<std::uint8_t>& image) {
  Cartridge cart;
  cart.bytes = image;
  auto tables = std::make_unique<Tables>();
  if (load_image_tables(cart, *tables)) return {};
  int end = 0;
  for (const auto& [address, message] : map_stored_messages(cart, *tables, false).messages) end = std::max(end, address + message.size);
  return {0xFB, {end, 0x10000}};
}

// Writes DIR/sequential: the dumps with every sequential-block line whose
// text starts with a character of the table changed into the same text,
// that character written as an escape; returns the lines changed.
std::size_t make_sequential(const fs::path& dir) {
  const std::string dump = read_file(dir / "unchanged" / kDumps[1]);
  std::vector<std::pair<std::size_t, std::string>> edits;
  // Two-byte characters that have one code (a single byte could be part of
  // a hex run), by their text.
  std::map<std::string_view, int> code_of;
  std::map<std::string_view, int> codes;
  for (int unit = 0x0020; unit < kCharTableSize; ++unit) {
    const std::string_view character = kCharTable[static_cast<std::size_t>(unit)];
    if (character.size() != 2) continue;
    code_of.emplace(character, unit);
    ++codes[character];
  }
  const std::vector<std::string_view> lines = split_lines(dump);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view text = lines[i].substr(lines[i].find(']') + 1);
    const auto found = code_of.find(text.substr(0, 2));
    if (found == code_of.end() || codes.at(found->first) != 1) continue;
    char escape[8];
    std::snprintf(escape, sizeof escape, "<%02X%02X>", found->second & 0xFF, found->second >> 8);
    edits.emplace_back(i + 1, std::string(lines[i].substr(0, lines[i].size() - text.size())) + escape + std::string(text.substr(2)));
  }
  fs::create_directories(dir / "sequential");
  for (std::size_t d = 0; d < 4; ++d) {
    write_file(dir / "sequential" / kDumps[d], d == 1 ? with_lines(dump, edits) : read_file(dir / "unchanged" / kDumps[d]));
  }
  return edits.size();
}

// Writes DIR/edited: the dumps with every word-list and dictionary line
// changed that can be; returns the lines changed and the lines tried.
std::pair<std::size_t, std::size_t> make_edited(const fs::path& dir, const DeclaredRange& free) {
  InsertInputs inputs;
  const std::string image = read_file(dir / "Ambergale.smc");
  inputs.image_file.assign(image.begin(), image.end());
  inputs.image_name = "Ambergale.smc";
  inputs.opcode_file = read_file(dir / "mescmd.dat");
  std::array<std::map<std::size_t, std::string>, 4> edits;
  std::array<std::string, 4> dumps;
  std::size_t tried = 0;
  for (std::size_t d = 0; d < 4; ++d) {
    dumps[d] = read_file(dir / "unchanged" / kDumps[d]);
    inputs.edited[d] = dumps[d];
    if (d % 2 != 0) continue;
    const std::vector<std::string_view> lines = split_lines(dumps[d]);
    for (std::size_t i = 0; i < lines.size(); ++i) edits[d][i + 1] = shortened(lines[i]);
    tried += lines.size();
  }
  InsertSettings settings;
  settings.free = {free};
  for (;;) {
    for (const std::size_t d : {0u, 2u}) inputs.edited[d] = with_lines(dumps[d], {edits[d].begin(), edits[d].end()});
    InsertResult result;
    const Outcome failure = insert_edited_dumps(inputs, settings, result);
    if (!failure) break;
    const std::string text = failure->text();
    const std::size_t d = text.rfind("wordlist.txt:", 0) == 0 ? 0 : 2;
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || edits[d].erase(std::strtoul(text.c_str() + colon + 1, nullptr, 10)) != 1) {
      std::fprintf(stderr, "bench: %s\n", text.c_str());
      std::exit(1);
    }
  }
  fs::create_directories(dir / "edited");
  for (std::size_t d = 0; d < 4; ++d) write_file(dir / "edited" / kDumps[d], *inputs.edited[d]);
  return {edits[0].size() + edits[2].size(), tried};
}

// The line with its first two-byte character outside names "(…)" and
// escapes "<…>" doubled; nothing when it has none.
std::optional<std::string> one_character_longer(std::string_view line) {
  char closing = 0;
  for (std::size_t at = 0; at < line.size();) {
    const auto byte = static_cast<unsigned char>(line[at]);
    const bool wide = (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
    if (closing == 0 && (line[at] == '(' || line[at] == '<')) closing = line[at] == '(' ? ')' : '>';
    else if (line[at] == closing) closing = 0;
    if (wide && closing == 0) return std::string(line).insert(at, line.substr(at, 2));
    at += wide ? 2 : 1;
  }
  return std::nullopt;
}

// What the grown script messages came to: lines grown, lines refused, and
// of those the ones whose script group overflowed.
struct Growth {
  std::size_t grown = 0;
  std::size_t refused = 0;
  std::size_t overflowing = 0;
};

// Writes DIR/grown: the dumps with every script message line one character
// longer; counts what a keep-going insert leaves out.
Growth make_grown(const fs::path& dir) {
  InsertInputs inputs;
  const std::string image = read_file(dir / "Ambergale.smc");
  inputs.image_file.assign(image.begin(), image.end());
  inputs.image_name = "Ambergale.smc";
  inputs.opcode_file = read_file(dir / "mescmd.dat");
  const MemoryRun original = run_in_memory(inputs.image_file, inputs.opcode_file, DumpSettings{}, false);
  if (original.failure) {
    std::fprintf(stderr, "bench: %s\n", original.failure->text().c_str());
    std::exit(1);
  }
  const std::string dump = read_file(dir / "unchanged" / kDumps[3]);
  const std::vector<std::string_view> lines = split_lines(dump);
  const std::vector<ScriptLine> map = map_script_lines(make_cartridge(inputs.image_file), *original.tables);
  std::vector<std::pair<std::size_t, std::string>> edits;
  for (std::size_t n = 0; n < map.size(); ++n) {
    if (map[n].kind != ScriptLine::Kind::message) continue;
    if (std::optional<std::string> longer = one_character_longer(lines[n])) edits.emplace_back(n + 1, std::move(*longer));
  }
  inputs.edited[3] = with_lines(dump, edits);
  InsertSettings settings;
  settings.keep_going = true;
  settings.relayout = true;
  settings.script_offsets = ScriptOffsets::declared;
  InsertResult result;
  if (const Outcome failure = insert_edited_dumps(inputs, settings, result)) {
    std::fprintf(stderr, "bench: %s\n", failure->text().c_str());
    std::exit(1);
  }
  Growth growth{edits.size(), result.refusals.size(), 0};
  for (const Refusal& refusal : result.refusals) growth.overflowing += refusal.failure.text().find(" overflows") != std::string::npos;
  fs::create_directories(dir / "grown");
  for (std::size_t d = 0; d < 4; ++d) write_file(dir / "grown" / kDumps[d], d == 3 ? *inputs.edited[3] : read_file(dir / "unchanged" / kDumps[d]));
  return growth;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: bench_insert MEASURE DUMP INSERT RUNS DIR JUMPS\n");
    return 2;
  }
  const std::string measure = fs::absolute(argv[1]).string();
  const std::string dump = fs::absolute(argv[2]).string();
  const std::string insert = fs::absolute(argv[3]).string();
  const int runs = std::max(1, std::atoi(argv[4]));
  const fs::path dir = fs::absolute(argv[5]);
  const fs::path jumps = fs::absolute(argv[6]);
  fs::create_directories(dir / "unchanged");
  bench::run(measure, dir, {dump, "-o", "unchanged"});
  fs::create_directories(jumps / "unchanged");
  bench::run(measure, jumps, {dump, "-o", "unchanged"});
  const std::string image = read_file(dir / "Ambergale.smc");
  const DeclaredRange free = end_of_bank(std::vector<std::uint8_t>(image.begin(), image.end()));
  const auto [changed, lines] = make_edited(dir, free);
  const std::string free_option = "--free=" + declared_text(free);
  const std::size_t rewritten = make_sequential(dir);
  const Growth growth = make_grown(jumps);

  const std::string jumps_image = read_file(jumps / "Ambergale.smc");
  const std::vector<std::string> unused = sample::free_options(std::vector<std::uint8_t>(jumps_image.begin(), jumps_image.end()));
  const auto rebuild = [&](const char* po, const char* image) {
    std::vector<std::string> args = {insert, "--po", po, "--relayout", "--script-offsets", "declared", "--rebuild", "trees", "-o", image};
    args.insert(args.end(), unused.begin(), unused.end());
    args.push_back("Ambergale.smc");
    return args;
  };
  std::vector<bench::Sample> dumps, unchanged, edited, sequential, relaid, jump_dumps, grown, whole, twice;
  for (int i = 0; i < runs; ++i) {
    dumps.push_back(bench::run(measure, dir, {dump, "-o", "unchanged"}));
    unchanged.push_back(bench::run(measure, dir, {insert, "-d", "unchanged", "-o", "unchanged.smc", "Ambergale.smc"}));
    edited.push_back(bench::run(measure, dir, {insert, "-d", "edited", "-o", "edited.smc", free_option, "Ambergale.smc"}));
    sequential.push_back(
        bench::run(measure, dir, {insert, "-d", "sequential", "-o", "sequential.smc", free_option, "Ambergale.smc"}));
    relaid.push_back(bench::run(measure, dir,
                                {insert, "-d", "sequential", "-o", "relaid.smc", free_option, "--relayout", "Ambergale.smc"}));
    jump_dumps.push_back(bench::run(measure, jumps, {dump, "-o", "unchanged"}));
    grown.push_back(bench::run(measure, jumps, {insert, "-d", "grown", "-o", "grown.smc", "--relayout", "--script-offsets",
                                                "declared", "-k", "Ambergale.smc"},
                               3));
    whole.push_back(bench::run(measure, jumps, rebuild("en.po", "whole.smc")));
    twice.push_back(bench::run(measure, jumps, rebuild("en-2.0.po", "twice.smc")));
  }
  std::printf("%-34s %9s %9s %9s   %s\n", "run", "CPU ms", "wall ms", "peak MiB", "CPU / dump, wall / dump");
  const auto base_row = [](const char* name, const std::vector<bench::Sample>& samples) {
    const bench::Summary base = bench::summarize(samples);
    std::printf("%-34s %9.2f %9.2f %9.2f\n", name, base.cpu_ms, base.wall_ms, base.peak_mib);
    return base;
  };
  const auto row = [](const char* name, const std::vector<bench::Sample>& samples, const bench::Summary& base) {
    const bench::Summary s = bench::summarize(samples);
    std::printf("%-34s %9.2f %9.2f %9.2f   %5.2f, %5.2f\n", name, s.cpu_ms, s.wall_ms, s.peak_mib, s.cpu_ms / base.cpu_ms,
                s.wall_ms / base.wall_ms);
  };
  const bench::Summary base = base_row("ambergale-dump", dumps);
  row("ambergale-insert, unchanged", unchanged, base);
  row("ambergale-insert, lines changed", edited, base);
  row("ambergale-insert, block re-encoded", sequential, base);
  row("ambergale-insert, block relaid", relaid, base);
  const bench::Summary jump_base = base_row("ambergale-dump, jumps", jump_dumps);
  row("ambergale-insert, scripts grown", grown, jump_base);
  row("ambergale-insert, rebuilt at 1.5", whole, jump_base);
  row("ambergale-insert, rebuilt at 2.0", twice, jump_base);
  std::printf("%zu of the %zu word-list and dictionary lines changed (%s); %zu sequential-block lines re-encoded "
              "(at their lengths, or at their shortest with the block laid out again: --relayout); "
              "%zu script message lines of the sample with jumps grown by a character, %zu of them refused "
              "(%zu in groups that overflow); medians of %d alternated runs each\n",
              changed, lines, free_option.c_str(), rewritten, growth.grown, growth.refused, growth.overflowing, runs);
  return 0;
}
