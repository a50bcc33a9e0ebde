#include "text/dictionary.hpp"

#include <deque>

#include "text/render.hpp"

namespace ambergale {

namespace {

int unit_at(const CodeStream& stream, std::size_t j) { return stream[j] + stream[j + 1] * 256; }

// The entry a unit refers to, or -1 when the unit is no reference.
int reference_target(int unit) {
  return unit >= kFirstReference && unit <= kLastReference ? unit - kFirstReference : -1;
}

// Marks the entries whose full expansion is finite: those from which no cycle
// of references can be reached. An entry is finite once all the entries it
// refers to are; entries past the end of `codes` are empty and finite.
std::vector<bool> finite_entries(const std::vector<CodeStream>& codes) {
  const std::size_t count = codes.size();
  std::vector<int> pending(count, 0);             // references to entries not yet known finite
  std::vector<std::vector<int>> referrers(count);  // who refers to each entry, once per reference
  for (std::size_t e = 0; e < count; ++e) {
    for (std::size_t j = 0; j + 1 < codes[e].size(); j += 2) {
      const int r = reference_target(unit_at(codes[e], j));
      if (r < 0 || static_cast<std::size_t>(r) >= count) continue;
      ++pending[e];
      referrers[r].push_back(static_cast<int>(e));
    }
  }
  std::vector<bool> finite(count, false);
  std::deque<int> ready;
  for (std::size_t e = 0; e < count; ++e) {
    if (pending[e] == 0) ready.push_back(static_cast<int>(e));
  }
  while (!ready.empty()) {
    const int e = ready.front();
    ready.pop_front();
    finite[e] = true;
    for (int referrer : referrers[e]) {
      if (--pending[referrer] == 0) ready.push_back(referrer);
    }
  }
  return finite;
}

}  // namespace

CodeStream load_dictionary_entry(const Cartridge& cart, const TreePair& dict_trees, int e) {
  const int start = rom_read_word(cart, kDictionaryBank, kDictionaryPointers + 2 * e);
  const int end = e + 1 < kDictionaryEntries ? rom_read_word(cart, kDictionaryBank, kDictionaryPointers + 2 * e + 2)
                                             : kDictionaryEnd;
  // The entry's bytes and the three after them are its input; a size that is
  // negative or larger than the data allows decodes from the image as it
  // stands, with that limit.
  const int size = end - start;
  CodeBuffer decoded;
  const int length = decode_dict_entry(dict_trees, rom_view(cart, kDictionaryBank, start), size + 3, decoded);
  return CodeStream(decoded.begin(), decoded.begin() + length);
}

void expand_dictionary(std::vector<CodeStream>& codes) {
  const std::size_t count = codes.size();
  const std::vector<bool> finite = finite_entries(codes);
  // The units before an entry's last replacement are never changed again, so
  // its next scan resumes there: the same result as scanning from the start.
  std::vector<std::size_t> scan_from(count, 0);
  std::vector<bool> settled(count, false);
  const CodeStream empty;
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t e = 0; e < count; ++e) {
      if (settled[e]) continue;
      CodeStream& entry = codes[e];
      bool replaced = false;
      for (std::size_t j = scan_from[e]; j + 1 < entry.size(); j += 2) {
        const int r = reference_target(unit_at(entry, j));
        if (r < 0) continue;
        const bool exists = static_cast<std::size_t>(r) < count;
        if (exists && !finite[r]) continue;  // can never be expanded: left in place
        const CodeStream& named = exists ? codes[r] : empty;
        if (entry.size() - 2 + named.size() > static_cast<std::size_t>(kEntryCap)) continue;
        // `named` is another entry: a finite entry never refers to itself.
        entry.erase(entry.begin() + static_cast<std::ptrdiff_t>(j), entry.begin() + static_cast<std::ptrdiff_t>(j) + 2);
        entry.insert(entry.begin() + static_cast<std::ptrdiff_t>(j), named.begin(), named.end());
        scan_from[e] = j;
        replaced = true;
        break;
      }
      if (replaced) {
        changed = true;
      } else {
        settled[e] = true;
      }
    }
  }
}

void build_dictionary(const Cartridge& cart, const TreePair& dict_trees, Dictionary& dictionary) {
  dictionary.codes.resize(kDictionaryEntries);
  for (int e = 0; e < kDictionaryEntries; ++e) dictionary.codes[e] = load_dictionary_entry(cart, dict_trees, e);
  expand_dictionary(dictionary.codes);
  // No entry's text exists yet, so a reference left in place renders in its
  // hex form.
  dictionary.text.assign(kDictionaryEntries, std::string());
  for (int e = 0; e < kDictionaryEntries; ++e) {
    render_codes(dictionary.codes[e], static_cast<std::int32_t>(dictionary.codes[e].size()), {}, dictionary.text[e]);
  }
}

}  // namespace ambergale
