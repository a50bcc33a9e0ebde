#include "insert/script_edit.hpp"

#include "insert/script_lines.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

constexpr const char* kFile = "messcript.txt";

std::string hex4(std::int64_t value) { return hex_text(static_cast<std::uint32_t>(value), 4); }

}  // namespace

Outcome insert_script_edits(const Cartridge& cart, const Tables& tables, const std::vector<ChangedLine>& changed,
                            std::string_view dump) {
  if (changed.empty()) return std::nullopt;
  const std::vector<ScriptLine> lines = map_script_lines(cart, tables);
  const std::size_t dump_lines = split_lines(dump).size();
  if (lines.size() != dump_lines) {
    return Failure{kFile, "internal error: the map of the script dump has " + std::to_string(lines.size()) +
                              " lines, the dump " + std::to_string(dump_lines) + "; nothing written"};
  }
  const auto where = [](const ChangedLine& line) { return std::string(kFile) + ":" + std::to_string(line.number); };
  for (const ChangedLine& line : changed) {
    const ScriptLine& at = lines[line.number - 1];
    const std::string script = "script " + hex4(at.script);
    switch (at.kind) {
      case ScriptLine::Kind::blank:
        return Failure{where(line), "the empty line before " + script + " changed; only message lines may be edited"};
      case ScriptLine::Kind::header:
        return Failure{where(line), "the header of " + script + " changed; only message lines may be edited"};
      case ScriptLine::Kind::instruction:
        return Failure{where(line), "instruction line of " + script + " (offset " + hex4(at.offset) +
                                        ") changed; only message lines may be edited"};
      case ScriptLine::Kind::message: break;
    }
  }
  const ScriptLine& first = lines[changed.front().number - 1];
  return Failure{where(changed.front()), "the message at offset " + hex4(first.offset) + " of script " + hex4(first.script) +
                                             " cannot be changed yet: messages inside event scripts are not inserted"};
}

}  // namespace ambergale
