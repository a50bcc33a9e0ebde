#include "sample/sample_content.hpp"

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>

namespace ambergale::sample {

namespace {

// An ordinary opcode of the sample's definition file: its operand count.
struct SampleOpcode {
  int op;
  int operands;
};

// Every ordinary opcode the sample's scripts use; each line of the
// definition file below gives the same operand count.
constexpr SampleOpcode kOrdinary[] = {
    {0x00, 0}, {0x01, 1}, {0x02, 2}, {0x03, 3}, {0x04, 0}, {0x05, 1}, {0x10, 2}, {0x11, 2}, {0x12, 1},
    {0x20, 2}, {0x21, 2}, {0x30, 1}, {0x3A, 1}, {0x3F, 1}, {0x40, 2}, {0x41, 3}, {0x50, 3}, {0x51, 6},
    {0x52, 4}, {0x60, 0}, {0x61, 1}, {0x62, 2}, {0x63, 0}, {0x70, 5}, {0x71, 0},
};

// A jump opcode of the jump sample: its operand count (as its data line
// gives it), its data line, and the offset operands the line declares.
struct SampleJump {
  int op;
  int operands;
  const char* line;
  std::vector<OffsetOperand> offsets;
};

// Absolute and relative, one byte and two; the case's first operand is a
// value, the other two its targets.
const std::vector<SampleJump>& sample_jumps() {
  static const std::vector<SampleJump> jumps = {
      {0x22, 2, "goto\t2\t0\t0\tgoto @w\toffsets=@w", {{OffsetField::word_le, false}}},
      {0x23, 1, "goto\t1\t0\t0\tgoto @0\toffsets=@0", {{OffsetField::byte0, false}}},
      {0x24, 1, "skip\t1\t0\t0\tskip @0\toffsets=+@0", {{OffsetField::byte0, true}}},
      {0x25, 2, "loop\t2\t0\t0\tloop @d\toffsets=+@d", {{OffsetField::word_be, true}}},
      {0x26, 3, "case\t3\t0\t0\tcase @0 @1 @2\toffsets=@1 @2", {{OffsetField::byte1, false}, {OffsetField::byte2, false}}},
  };
  return jumps;
}

class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}
  // A number in [0, n).
  int below(int n) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }

 private:
  std::mt19937 engine_;
};

// One-byte codes the messages use: the controls, kana and punctuation. Two
// codes without text are left out to keep the lead tree within its room.
int one_byte_code(Random& random) {
  for (;;) {
    const int code = 0x20 + random.below(0xE0);
    if (code != 0x2D || random.chance(30)) return code;
  }
}

// Appends a few units of message text of the kinds the game's messages hold.
void append_text_piece(Random& random, Units& units) {
  const int kind = random.below(100);
  if (kind < 45) {
    units.push_back(static_cast<std::uint16_t>(0x80 + random.below(0x80)));  // kana
  } else if (kind < 62) {
    units.push_back(static_cast<std::uint16_t>(0x100 + random.below(0x300)));  // kanji, pages 1..3
  } else if (kind < 70) {
    units.push_back(static_cast<std::uint16_t>(one_byte_code(random)));
  } else if (kind < 80) {
    units.push_back(static_cast<std::uint16_t>(0x0410 + random.below(0x0FF9 - 0x0410)));  // dictionary
  } else if (kind < 85) {
    units.push_back(0x0019);  // a name, or now and then an argument without one
    units.push_back(static_cast<std::uint16_t>(random.chance(85) ? 0x80 + random.below(6) : 0x70 + random.below(0x120)));
  } else if (kind < 90) {
    units.push_back(random.chance(50) ? 0x0012 : 0x0017);  // line breaks
  } else if (kind < 93) {
    units.push_back(0x0013);
    for (int i = 0; i < 3; ++i) units.push_back(static_cast<std::uint16_t>(0x20 + random.below(0x3E0)));
  } else if (kind < 96) {
    const std::uint16_t controls[] = {0x0016, 0x0018, 0x001B};
    units.push_back(controls[random.below(3)]);
    units.push_back(static_cast<std::uint16_t>(0x20 + random.below(0x3E0)));
  } else if (kind < 98) {
    units.push_back(static_cast<std::uint16_t>(0x0400 + random.below(16)));  // codes without text
  } else {
    units.push_back(static_cast<std::uint16_t>(0x0FF9 + random.below(7)));
  }
}

Units message(Random& random, int min_pieces, int max_pieces) {
  Units units;
  const int pieces = min_pieces + random.below(max_pieces - min_pieces + 1);
  for (int i = 0; i < pieces; ++i) append_text_piece(random, units);
  units.push_back(0xFFFF);
  return units;
}

// 3049 entries whose references form no cycle (an entry refers only to
// entries ranked below it, whatever their index) and whose full expansion
// stays within 100 units.
std::vector<Units> dictionary(Random& random) {
  std::vector<int> rank(kDictionarySize);
  std::iota(rank.begin(), rank.end(), 0);
  for (int i = kDictionarySize - 1; i > 0; --i) std::swap(rank[i], rank[random.below(i + 1)]);
  std::vector<int> by_rank(kDictionarySize);
  for (int e = 0; e < kDictionarySize; ++e) by_rank[rank[e]] = e;

  std::vector<Units> entries(kDictionarySize);
  std::vector<int> expanded(kDictionarySize, 0);  // units once fully expanded
  for (int k = 0; k < kDictionarySize; ++k) {
    const int e = by_rank[k];
    Units& units = entries[e];
    int size = 1;  // the end unit
    if (random.chance(2)) {
      units = {0xFFFF};  // an empty entry
      expanded[e] = 1;
      continue;
    }
    const int pieces = 1 + random.below(4);
    for (int i = 0; i < pieces; ++i) {
      const int kind = random.below(100);
      if (kind < 25 && k > 0) {
        const int r = by_rank[random.below(k)];
        if (size + expanded[r] > 60) continue;
        units.push_back(static_cast<std::uint16_t>(0x0410 + r));
        size += expanded[r];
      } else if (kind < 28) {
        units.push_back(static_cast<std::uint16_t>(0x0FF9 + random.below(7)));  // vanishes
      } else if (kind < 75) {
        units.push_back(static_cast<std::uint16_t>(0x80 + random.below(0x80)));
        ++size;
      } else if (kind < 95) {
        units.push_back(static_cast<std::uint16_t>(0x100 + random.below(0x300)));
        ++size;
      } else {
        units.push_back(static_cast<std::uint16_t>(0x20 + random.below(0x20)));
        ++size;
      }
    }
    units.push_back(0xFFFF);
    expanded[e] = size;
  }
  return entries;
}

// One ordinary instruction: an opcode of the sample set and its operands.
std::vector<std::uint8_t> instruction(Random& random) {
  const SampleOpcode& def = kOrdinary[random.below(std::size(kOrdinary))];
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(def.op)};
  for (int i = 0; i < def.operands; ++i) bytes.push_back(static_cast<std::uint8_t>(random.below(256)));
  return bytes;
}

// A jump of a random kind, aimed once the messages are coded; its other
// operand bytes are random.
ScriptPiece jump(Random& random) {
  const SampleJump& kind = sample_jumps()[random.below(static_cast<int>(sample_jumps().size()))];
  ScriptPiece piece;
  piece.bytes = {static_cast<std::uint8_t>(kind.op)};
  for (int i = 0; i < kind.operands; ++i) piece.bytes.push_back(static_cast<std::uint8_t>(random.below(256)));
  for (const OffsetOperand& operand : kind.offsets) piece.jumps.push_back({operand, 0});
  return piece;
}

// A script: ordinary instructions (with `jumps`, now and then a jump
// instead) with now and then a text-carrying one and its embedded messages;
// it ends with opcode 0x00.
std::vector<ScriptPiece> script(Random& random, int instructions, bool jumps) {
  std::vector<ScriptPiece> pieces;
  for (int i = 0; i < instructions; ++i) {
    if (random.chance(12)) {
      const std::uint8_t ops[] = {0x58, 0x5D, 0x5E, 0x7A, 0x7B};
      const std::uint8_t op = ops[random.below(5)];
      const int messages = op == 0x7A ? 2 : op == 0x7B ? 6 : 1;
      ScriptPiece head;
      head.bytes = {op};
      if (op == 0x7A || op == 0x7B) head.bytes.push_back(static_cast<std::uint8_t>(random.below(16)));
      pieces.push_back(head);
      for (int m = 0; m < messages; ++m) {
        ScriptPiece text;
        text.is_message = true;
        text.message = op == 0x7B ? message(random, 1, 2) : message(random, 2, 8);
        pieces.push_back(text);
      }
    } else if (jumps && random.chance(20)) {
      pieces.push_back(jump(random));
    } else {
      pieces.push_back({instruction(random), {}, false});
    }
  }
  pieces.push_back({{0x00}, {}, false});
  return pieces;
}

// Aims each jump of `script`, whose pieces start at `positions`, at a random
// instruction start of it or its end that the jump's operand can reach.
// Some always can: the start for an absolute byte, the next instruction for
// a relative one.
void aim_jumps(Random& random, std::vector<ScriptPiece>& script, const std::vector<int>& positions) {
  for (std::size_t k = 0; k < script.size(); ++k) {
    for (JumpOperand& jump : script[k].jumps) {
      std::vector<int> reachable;
      for (std::size_t t = 0; t <= script.size(); ++t) {
        const bool start = t == script.size() || !script[t].is_message;
        if (start && offset_value(jump.operand, positions[k + 1], positions[t])) reachable.push_back(static_cast<int>(t));
      }
      jump.target = reachable[random.below(static_cast<int>(reachable.size()))];
    }
  }
}

// Aims the jumps of every script once all messages are known, and so their
// coded lengths; a script that repeats an earlier one, `original`, repeats
// its aim too.
void aim_all_jumps(Random& random, CartridgeContent& content, const std::vector<int>& original) {
  const encode::TextCoder text = text_coder_for(content);
  for (int i = 0; i < kScriptCount; ++i) {
    if (original[i] != i) {
      content.scripts[i] = content.scripts[original[i]];
    } else {
      aim_jumps(random, content.scripts[i], piece_positions(content.scripts[i], text));
    }
  }
}

}  // namespace

CartridgeContent generate_content(std::uint32_t seed, const std::array<int, 4>& fill, bool jumps) {
  Random random(seed);
  CartridgeContent content;
  content.vary_script_symbols = true;
  content.dictionary = dictionary(random);

  for (int i = 0; i < 2200; ++i) content.sequential.push_back(message(random, 2, 14));

  // Word lists: group 5 is empty, group 3 has more than 256 entries; some
  // entries repeat a message of their group or of the sequential block.
  const int sizes[kGroupCount] = {120, 96, 80, 300, 64, 0, 150, 90, 110, 70, 100, 60, 140, 80, 60};
  for (int g = 0; g < kGroupCount; ++g) {
    for (int e = 0; e < sizes[g]; ++e) {
      auto& group = content.groups[g];
      if (e > 0 && random.chance(10)) {
        group.push_back(group[random.below(e)]);
      } else if (random.chance(45)) {
        group.push_back(content.sequential[random.below(1200)]);
      } else {
        group.push_back(message(random, 1, 6));
      }
    }
  }

  // Scripts, sized to fill their groups' regions; a few repeat an earlier
  // script of their group and so share its pointer.
  const int full[] = {12, 16, 16, 8};  // instructions per script that overfill groups 1..4
  content.scripts.resize(kScriptCount);
  std::vector<int> original(kScriptCount);
  std::iota(original.begin(), original.end(), 0);
  for (int g = 0; g < 4; ++g) {
    const int first = cartridge_map::kScriptGroups[g].first;
    for (int i = first; i < first + cartridge_map::kScriptGroups[g].count; ++i) {
      if (i > first && random.chance(3)) {
        original[i] = original[first + random.below(i - first)];
        content.scripts[i] = content.scripts[original[i]];
      } else {
        // About full[g] * fill[g] / 100 instructions on average, the
        // fraction made up by an extra one now and then.
        const int hundredths = std::max(200, full[g] * fill[g]);
        const int count = hundredths / 200 + random.below(hundredths / 100) + (random.below(100) < hundredths % 100 ? 1 : 0);
        content.scripts[i] = script(random, count, jumps);
      }
    }
  }
  if (jumps) aim_all_jumps(random, content, original);
  return content;
}

SampleCartridge make_sample(std::uint32_t seed, bool jumps) {
  std::array<int, 4> fill = {100, 100, 100, 100};
  for (;;) {
    CartridgeContent content = generate_content(seed, fill, jumps);
    try {
      CartridgeLayout layout = build_cartridge(content);
      return {std::move(content), std::move(layout)};
    } catch (const ScriptGroupOverflow& overflow) {
      if (fill[overflow.group] <= 20) throw;
      fill[overflow.group] -= 2;
    }
  }
}

std::string sample_opcode_file(bool jumps) {
  // Columns: name, operand bytes, flags (1: embedded text, 2: "-" padding),
  // spare, template. Shift-JIS in templates is written to the listing as it is.
  std::string lines[256];
  for (int op = 0; op < 256; ++op) lines[op] = "unused\t0\t0\t0";
  lines[0x00] = "end\t0\t0\t0\tend";
  lines[0x01] = "wait\t1\t0\t0\twait @0";
  lines[0x02] = "flag_set\t2\t0\t0\tflag_set @w";
  lines[0x03] = "flag_if\t3\t0\t0\tif flag @w goto +@2";
  lines[0x04] = "return\t0\t0\t0\t";               // empty template
  lines[0x05] = "sound\t1\t0\t0";                  // no template at all
  lines[0x10] = "move\t2\t2\t0\tmove x=@0 y=@1";   // "-" padding
  lines[0x11] = "gold\t2\t0\t0\tgold += @d";
  lines[0x12] = "rate\t1\t0\t0\trate @0%";         // a literal %
  lines[0x20] = "jump\t2\t0\t0\tjump @w";
  lines[0x21] = "call\t2\t0\t0\tcall @w\tcolumns from 5 on are ignored\textra";
  lines[0x30] = "event\t1\t0\t0\tevent @r";
  lines[0x3A] = "event\t1\t0\t0\tevent @r";
  lines[0x3F] = "event\t1\t0\t0\tevent @r";
  lines[0x40] = "nibbles\t2\t0\t0\tvalue @v bank @b";
  lines[0x41] = "party\t3\t2\t0\tparty @0 @1 @2";
  lines[0x50] = "bytes\t3\t0\t0\t@0 @1 @2 @@0 @x";  // "@" that is no placeholder
  lines[0x51] = "long\t6\t0\t0\tlong @w ... @2";    // no padding past five bytes
  lines[0x52] = "item\t4\t0\t0\t\x83" "A\x83" "C\x83" "e\x83\x80 @0";  // アイテム (item)
  lines[0x58] = "message\t0\t1\t0\tmessage";
  lines[0x5D] = "message\t0\t3\t0\tmessage (bit 1 has no effect on text)";
  lines[0x5E] = "message\t0\t1\t0\tmessage";
  lines[0x60] = "fade\t0\t2\t0\tfade";
  lines[0x61] = "shake\t1\t0\t0\tshake @0";
  lines[0x62] = "pause\t2\t0\t0\tpause @d";
  lines[0x63] = "nop\t0\t0\t0\tnop";
  lines[0x70] = "warp\t5\t2\t0\twarp @w @2";
  lines[0x71] = "flagged\t0\t1\t0\tbit 0 on an opcode without text: ordinary";
  lines[0x7A] = "choice\t0\t1\t0\tchoice @0";
  lines[0x7B] = "menu\t0\t1\t0\tmenu @0";
  if (jumps) {
    for (const SampleJump& jump : sample_jumps()) lines[jump.op] = jump.line;
  }
  std::string file = "name\toperand_bytes\tflags\tspare\ttemplate\r\n";
  for (const std::string& line : lines) file += line + "\r\n";
  return file;
}

OffsetTable sample_jump_offsets() {
  OffsetTable table;
  for (const SampleJump& jump : sample_jumps()) table[jump.op] = jump.offsets;
  return table;
}

}  // namespace ambergale::sample
