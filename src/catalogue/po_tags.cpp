#include "catalogue/po_tags.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <span>

#include "catalogue/po_spelling.hpp"
#include "text/char_table.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"
#include "text/text_parse.hpp"

namespace ambergale {

namespace {

// The units `text` stands for, as far as it reads. A character stands for
// its first code and a line break for 0012: neither is a control, and which
// code it takes does not matter here.
std::vector<std::uint16_t> units_of(std::string_view text) {
  std::vector<TextPiece> pieces;
  parse_line_text(text, HexRuns::characters, pieces);
  std::vector<std::uint16_t> units;
  for (const TextPiece& piece : pieces) {
    const bool one_code = piece.kind == TextPiece::Kind::character || piece.kind == TextPiece::Kind::newline;
    units.insert(units.end(), piece.units.begin(), one_code ? piece.units.begin() + 1 : piece.units.end());
  }
  return units;
}

// The first tag of `from`, in order, that `in` holds fewer times.
const std::string* first_missing(const std::vector<std::string>& from, const std::vector<std::string>& in) {
  std::map<std::string_view, int> left;
  for (const std::string& tag : in) ++left[tag];
  for (const std::string& tag : from) {
    if (left[tag]-- == 0) return &tag;
  }
  return nullptr;
}

std::string joined(const std::vector<std::string>& tags) {
  std::string text;
  for (const std::string& tag : tags) text += (text.empty() ? "" : " ") + tag;
  return text;
}

// A line break at one edge (`edge` "begins" or "ends") of both texts, or of neither.
Outcome same_edge(bool in_source, bool in_translation, const std::string& edge) {
  if (in_source == in_translation) return std::nullopt;
  return Failure{{}, in_source ? "the msgid " + edge + " with a line break and the translation does not"
                               : "the translation " + edge + " with a line break and the msgid does not"};
}

Outcome line_break_edges(std::string_view source, std::string_view translation) {
  const auto begins = [](std::string_view text) { return !text.empty() && text.front() == '\n'; };
  const auto ends = [](std::string_view text) { return !text.empty() && text.back() == '\n'; };
  if (Outcome failure = same_edge(begins(source), begins(translation), "begins")) return failure;
  return same_edge(ends(source), ends(translation), "ends");
}

std::string tag_of(std::uint16_t unit) { return po_tag(std::span<const std::uint16_t>(&unit, 1)); }

// A line for each control: its tag, its unit, its arguments.
std::string control_notes() {
  std::string notes;
  for (const Control& control : kControls) {
    std::string tag = tag_of(control.unit);
    tag.insert(tag.size() - 1, " ...");  // before its '>'
    notes += "  " + tag + "  control " + hex_text(control.unit, 4) + ", " + std::to_string(control.arguments) +
             (control.arguments == 1 ? " argument" : " arguments");
    if (control.unit == kNameControl) {
      notes += " (" + hex_text(kFirstNameCode, 4) + "-" + hex_text(kFirstNameCode + kNameTable.size() - 1, 4) +
               ": the six names, in order, written as them)";
    }
    notes += "\n";
  }
  std::string unknown;
  for (int unit = kControlUnits.first; unit <= kControlUnits.last; ++unit) {
    if (control_unit(unit) && argument_units(unit) == 0) unknown += " " + tag_of(static_cast<std::uint16_t>(unit));
  }
  return notes + " " + unknown + "  no character and no known use: kept as controls\n";
}

}  // namespace

std::vector<std::string> control_tags(std::string_view text) {
  const std::vector<std::uint16_t> units = units_of(text);
  std::vector<std::string> tags;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (!control_unit(units[i])) continue;
    const std::size_t count = std::min<std::size_t>(1 + argument_units(units[i]), units.size() - i);
    if (units[i] == kNameControl && count == 2 && names_a_character(units[i + 1])) {
      ++i;
      continue;
    }
    tags.push_back(po_tag(std::span(units).subspan(i, count)));
    i += count - 1;
  }
  return tags;
}

std::string keep_these_tags(const std::vector<std::string>& tags) { return "keep these tags: " + joined(tags); }

Outcome check_tags(std::string_view source, std::string_view translation, bool strict_order) {
  const std::vector<std::string> kept = control_tags(source), written = control_tags(translation);
  const auto times = [](const std::vector<std::string>& tags, const std::string& tag) {
    const auto count = std::count(tags.begin(), tags.end(), tag);
    return count == 1 ? std::string("once") : count == 2 ? std::string("twice") : std::to_string(count) + " times";
  };
  if (const std::string* dropped = first_missing(kept, written)) {
    const std::string how = std::find(written.begin(), written.end(), *dropped) == written.end()
                                ? " of the msgid; "
                                : " (the msgid has it " + times(kept, *dropped) + ", the translation " + times(written, *dropped) + "); ";
    return Failure{{}, "the translation drops the tag " + *dropped + how + keep_these_tags(kept)};
  }
  if (const std::string* added = first_missing(written, kept)) {
    const std::string how = std::find(kept.begin(), kept.end(), *added) == kept.end()
                                ? ", which the msgid does not have; "
                                : " (the msgid has it " + times(kept, *added) + ", the translation " + times(written, *added) + "); ";
    return Failure{{}, "the translation adds the tag " + *added + how +
                           (kept.empty() ? std::string("the msgid has no tags to keep") : keep_these_tags(kept))};
  }
  if (strict_order && written != kept) {
    return Failure{{}, "the translation has the tags in another order than the msgid (--strict-tags); keep them in this order: " +
                           joined(kept)};
  }
  return line_break_edges(source, translation);
}

std::string tag_notes() {
  std::string names;
  for (const std::string_view name : kNameTable) names += " " + std::string(name);
  return "How a text is written, in msgid and msgstr alike:\n"
         "  characters as the game shows them, and the six names" + names + "\n"
         "  \\n  a line break (unit " + hex_text(kLineBreak, 4) + "); " + tag_of(kOtherLineBreak) + " the other line break (" +
         hex_text(kOtherLineBreak, 4) + ")\n"
         "  <LLHH LLHH ...>  a tag: units named directly, four hex digits each, low byte\n"
         "                   first (" + tag_of(kOtherLineBreak) + " is the unit " + hex_text(kOtherLineBreak, 4) + ")\n"
         "A control does something other than show text. It takes the units after it\n"
         "as its arguments, and one tag holds it with them:\n" +
         control_notes() +
         "A translation may move the names and line breaks, and use more or fewer of\n"
         "them. It keeps each control with its arguments, as often as the msgid has\n"
         "it, in any order (in the msgid's with ambergale-insert --strict-tags): an\n"
         "entry's \"keep these tags:\" comment lists them. It begins and ends with a\n"
         "line break where the msgid does. Other tags, such as " + tag_of(kCharTableSize) + ", are units\n"
         "without a character that are no control: they need not be kept.\n";
}

}  // namespace ambergale
