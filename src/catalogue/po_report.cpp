#include "catalogue/po_report.hpp"

#include <array>
#include <set>
#include <utility>

#include "catalogue/catalogue.hpp"

namespace ambergale {

namespace {

// What an entry is, by its kind.
constexpr std::array<std::pair<const char*, const char*>, kItemKinds.size()> kEntryKinds = {{
    {"word-list message", "word-list messages"},
    {"sequential-block message", "sequential-block messages"},
    {"dictionary entry", "dictionary entries"},
    {"script message", "script messages"},
}};

// The most entries a list of the report names.
constexpr std::size_t kMostListed = 20;

std::string entries_text(std::size_t count) { return std::to_string(count) + (count == 1 ? " entry" : " entries"); }

// "N entries (FILE:A, FILE:B, ...)", the first few.
std::string listed(const std::vector<Origin>& entries) {
  std::string text = entries_text(entries.size());
  for (std::size_t k = 0; k < entries.size() && k < kMostListed; ++k) {
    text += (k == 0 ? " (" : ", ") + entries[k].file + ":" + std::to_string(entries[k].line);
  }
  if (entries.size() > kMostListed) text += ", and " + std::to_string(entries.size() - kMostListed) + " more";
  return entries.empty() ? text : text + ")";
}

}  // namespace

bool untranslated(const PoTally& tally) { return tally.taken.empty() && tally.refused.empty(); }

std::string po_report_text(const PoTally& tally, const std::vector<Refusal>& refusals) {
  std::set<ItemKey> refused;
  for (const Refusal& refusal : refusals) refused.insert(refusal.item);
  std::array<std::size_t, kItemKinds.size()> inserted{};
  for (const auto& [item, kind] : tally.taken) inserted[kind] += refused.count(item) == 0 ? 1 : 0;
  std::size_t all = 0;
  std::string kinds;
  for (std::size_t k = 0; k < inserted.size(); ++k) {
    all += inserted[k];
    kinds += std::string(k == 0 ? "" : ", ") + std::to_string(inserted[k]) + " " +
             (inserted[k] == 1 ? kEntryKinds[k].first : kEntryKinds[k].second);
  }
  std::string text = "entries inserted: " + entries_text(all) + " (" + kinds + ")\n";
  if (!refused.empty()) {
    std::vector<Origin> places;
    for (const Refusal& refusal : refusals) {
      if (places.empty() || places.back().line != refusal.item.line) places.push_back({refusal.failure.file, refusal.item.line, 0, {}});
    }
    text += "entries refused: " + listed(places) + "\n";
  }
  if (!tally.fuzzy.empty()) text += "fuzzy entries skipped: " + listed(tally.fuzzy) + "\n";
  if (!tally.unchanged.empty()) {
    text += "entries whose msgstr is their msgid, so nothing to change: " + listed(tally.unchanged) + "\n";
  }
  if (tally.untranslated > 0) text += "entries without a translation: " + entries_text(tally.untranslated) + "\n";
  return text;
}

}  // namespace ambergale
