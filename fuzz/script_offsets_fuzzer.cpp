// The whole insert of script messages that change length, in memory, on the
// cut-down sample with jumps whose opcode file declares every offset: with
// relayout and declared offsets, the fuzzer chooses message lines of
// messcript.txt and grows them (doubling characters, so that most inputs
// are texts that go in) or replaces their text with its own bytes.
// Every run must insert or refuse (or, keeping going, insert the rest); an
// insert whose own proof fails (an "internal error") is a finding, and so is
// a new image where any script's declared offset no longer points at its
// instruction.
#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "dump/stored_messages.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "insert/script_offsets.hpp"
#include "sample/sample_content.hpp"
#include "small_sample.hpp"

namespace {

using namespace ambergale;

struct JumpSample {
  InsertInputs inputs;
  Cartridge cart;
  MemoryRun dumps;
  std::vector<std::size_t> messages;  // the message lines of messcript.txt, 0-based
  std::vector<std::size_t> across;    // those of scripts with a jump across a message
  std::vector<DeclaredRange> free;    // room for each script group to grow into
};

// Whether a jump of `script` spans one of its messages: between its own end
// and its target when relative, the script's start and its target when not.
bool jumps_across_message(const std::vector<sample::ScriptPiece>& script) {
  for (std::size_t k = 0; k < script.size(); ++k) {
    for (const sample::JumpOperand& jump : script[k].jumps) {
      const std::size_t from = jump.operand.relative ? k + 1 : 0, to = static_cast<std::size_t>(jump.target);
      const auto first = script.begin() + static_cast<std::ptrdiff_t>(std::min(from, to));
      const auto last = script.begin() + static_cast<std::ptrdiff_t>(std::max(from, to));
      if (std::any_of(first, last, [](const sample::ScriptPiece& piece) { return piece.is_message; })) return true;
    }
  }
  return false;
}

// The sample's groups fill their regions: the 256 bytes before each
// group's first block (zeros in the sample) are given as free.
std::vector<DeclaredRange> room_before_groups(const Cartridge& cart) {
  const std::vector<ScriptPlace> places = script_places(cart);
  std::vector<DeclaredRange> free;
  for (const cartridge_map::ScriptGroup& group : cartridge_map::kScriptGroups) {
    const auto first = places.begin() + group.first;
    const int start = std::min_element(first, first + group.count, [](const ScriptPlace& a, const ScriptPlace& b) {
                        return a.address < b.address;
                      })->address;
    free.push_back({group.bank, {start - 0x100, start}});
  }
  return free;
}

JumpSample load_sample() {
  const sample::SampleCartridge small = fuzz::small_jump_sample();
  JumpSample sample;
  sample.inputs.image_file = small.layout.image;
  sample.inputs.image_name = "image";
  sample.inputs.opcode_file = sample::sample_opcode_file(true);
  sample.cart = make_cartridge(small.layout.image);
  sample.dumps = run_in_memory(sample.inputs.image_file, sample.inputs.opcode_file, DumpSettings{}, true);
  if (sample.dumps.failure) return sample;
  sample.inputs.edited[3] = sample.dumps.dumps[3];
  sample.free = room_before_groups(sample.cart);
  const std::vector<ScriptLine> map = map_script_lines(sample.cart, *sample.dumps.tables);
  for (std::size_t n = 0; n < map.size(); ++n) {
    if (map[n].kind != ScriptLine::Kind::message) continue;
    sample.messages.push_back(n);
    if (jumps_across_message(small.content.scripts[static_cast<std::size_t>(map[n].script)])) sample.across.push_back(n);
  }
  return sample;
}

// The starts of a message line's two-byte characters outside names "(…)"
// and escapes "<…>".
std::vector<std::size_t> wide_characters(std::string_view line) {
  std::vector<std::size_t> starts;
  char closing = 0;
  for (std::size_t at = 0; at < line.size();) {
    const auto byte = static_cast<unsigned char>(line[at]);
    const bool wide = (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
    if (closing == 0 && (line[at] == '(' || line[at] == '<')) closing = line[at] == '(' ? ')' : '>';
    else if (line[at] == closing) closing = 0;
    if (wide && closing == 0) starts.push_back(at);
    at += wide ? 2 : 1;
  }
  return starts;
}

// `line` with the wide character each byte of `picks` chooses doubled (the
// first when there are no picks).
std::string grown(std::string_view line, std::string_view picks) {
  std::string text(line);
  std::vector<std::size_t> wide = wide_characters(line);
  if (wide.empty()) return text;
  std::vector<std::size_t> chosen;
  for (const char pick : picks) chosen.push_back(wide[static_cast<unsigned char>(pick) % wide.size()]);
  if (chosen.empty()) chosen.push_back(wide.front());
  std::sort(chosen.begin(), chosen.end(), std::greater<>());
  for (const std::size_t at : chosen) text.insert(at, line.substr(at, 2));
  return text;
}

// Every declared offset of every script of `image` points at the
// instruction it did in the sample.
bool offsets_kept_everywhere(const JumpSample& sample, const std::vector<std::uint8_t>& image) {
  ScriptUnits every;
  for (int script = 0; script < cartridge_map::kScriptCount; ++script) every[script] = {};
  Cartridge after;
  after.bytes = image;
  return !prove_script_offsets({sample.cart, *sample.dumps.tables}, {after, *sample.dumps.tables}, every, sample::sample_jump_offsets());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const JumpSample sample = load_sample();
  if (size == 0 || sample.across.empty()) return 0;
  // The first byte: keep going (0x80), pick among every message line (0x40)
  // or those where a jump reaches across a message, and a shift of the
  // picks. Then edits separated by LF, each a byte that picks the line and
  // one whose low bit says how the rest makes its text: even, bytes that
  // each double a character of the line; odd, the text itself.
  const std::vector<std::size_t>& candidates = (data[0] & 0x40) != 0 ? sample.messages : sample.across;
  const std::vector<std::string_view> lines = split_lines(*sample.inputs.edited[3]);
  std::vector<std::pair<std::size_t, std::string>> replaced;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  for (std::size_t at = 0; at < rest.size();) {
    const std::size_t end = std::min(rest.find('\n', at), rest.size());
    const std::string_view edit = rest.substr(at, end - at);
    at = end + 1;
    if (edit.empty()) continue;
    const std::size_t pick = static_cast<unsigned char>(edit[0]) * 7 + (data[0] & 0x3F);
    const std::size_t chosen = candidates[pick % candidates.size()];
    const bool raw = edit.size() > 1 && (edit[1] & 1) != 0;
    const std::string_view text = edit.substr(std::min<std::size_t>(2, edit.size()));
    replaced.emplace_back(chosen + 1, raw ? std::string(text) : grown(lines[chosen], text));
  }
  InsertInputs inputs = sample.inputs;
  inputs.edited[3] = with_lines(*sample.inputs.edited[3], replaced);
  InsertSettings run;
  run.free = sample.free;
  run.keep_going = (data[0] & 0x80) != 0;
  run.relayout = true;
  run.script_offsets = ScriptOffsets::declared;
  InsertResult result;
  const Outcome outcome = insert_edited_dumps(inputs, run, result);
  if (outcome && outcome->text().find("internal error") != std::string::npos) __builtin_trap();
  if (run.keep_going && !outcome && result.image_file.empty()) __builtin_trap();
  if (!outcome && !result.image_file.empty() && !offsets_kept_everywhere(sample, result.image_file)) __builtin_trap();
  return 0;
}
