#include "text/dictionary.hpp"

#include <algorithm>
#include <memory_resource>

#include "text/code_units.hpp"
#include "text/render.hpp"

namespace ambergale {

namespace {

int unit_at(const CodeStream& stream, std::size_t j) { return stream[j] + stream[j + 1] * 256; }

// The entry a unit refers to, or -1 when the unit is no reference.
int reference_target(int unit) { return kExpandedReferences.holds(unit) ? unit - kFirstEntryCode : -1; }

// Marks the entries whose full expansion is finite: those from which no cycle
// of references can be reached. An entry is finite once all the entries it
// refers to are; entries past the end of `codes` are empty and finite.
std::vector<bool> finite_entries(const std::vector<CodeStream>& codes) {
  const std::size_t count = codes.size();
  // Who refers to each entry, once per reference, as one array: the
  // referrers of r are referrers[first[r] .. first[r + 1]).
  std::vector<int> pending(count, 0);  // references to entries not yet known finite
  std::vector<int> first(count + 1, 0);
  auto for_each_reference = [&](auto&& visit) {
    for (std::size_t e = 0; e < count; ++e) {
      for (std::size_t j = 0; j + 1 < codes[e].size(); j += 2) {
        const int r = reference_target(unit_at(codes[e], j));
        if (r >= 0 && static_cast<std::size_t>(r) < count) visit(static_cast<int>(e), r);
      }
    }
  };
  for_each_reference([&](int e, int r) {
    ++pending[e];
    ++first[r + 1];
  });
  for (std::size_t r = 0; r < count; ++r) first[r + 1] += first[r];
  std::vector<int> referrers(static_cast<std::size_t>(first[count]));
  std::vector<int> filled(first.begin(), first.end() - 1);
  for_each_reference([&](int e, int r) { referrers[filled[r]++] = e; });

  std::vector<bool> finite(count, false);
  std::vector<int> ready;  // entries known finite whose referrers are still to visit
  for (std::size_t e = 0; e < count; ++e) {
    if (pending[e] == 0) ready.push_back(static_cast<int>(e));
  }
  while (!ready.empty()) {
    const int e = ready.back();
    ready.pop_back();
    finite[e] = true;
    for (int k = first[e]; k < first[e + 1]; ++k) {
      if (--pending[referrers[k]] == 0) ready.push_back(referrers[k]);
    }
  }
  return finite;
}

}  // namespace

EntrySlot dictionary_slot(const Cartridge& cart, int e) {
  using namespace cartridge_map;
  const int start = rom_read_word(cart, kDictionaryPointers.bank, kDictionaryPointers.address + 2 * e);
  const int end = e + 1 < kDictionaryEntries
                      ? rom_read_word(cart, kDictionaryPointers.bank, kDictionaryPointers.address + 2 * e + 2)
                      : kDictionaryEnd;
  return {start, end - start};
}

EntrySlot load_dictionary_entry(const Cartridge& cart, const TreePair& dict_trees, int e, CodeStream& decoded) {
  // The entry's bytes and the three after them are its input; a size that is
  // negative or larger than the data allows decodes from the image as it
  // stands, with that limit.
  EntrySlot slot = dictionary_slot(cart, e);
  CodeBuffer codes;
  const TextDecode entry = decode_dict_entry(
      dict_trees, rom_view(cart, cartridge_map::kDictionaryPointers.bank, slot.start), slot.size + 3, codes);
  decoded.assign(codes.begin(), codes.begin() + entry.written);
  slot.consumed = entry.consumed;
  return slot;
}

namespace {

// An entry during expansion. The units before its last replacement never
// change again, so they are kept apart (`done`) from the units still to be
// scanned (`pending`, stored last unit first so that the next one to scan is
// at the back). A scan then never revisits a unit, and a replacement costs
// only the size of the entry copied in.
struct Expanding {
  std::pmr::vector<std::uint16_t> done;
  std::pmr::vector<std::uint16_t> pending;
  std::size_t size() const { return done.size() + pending.size(); }
};

// Pushes the current units of `named` onto the front of `into`'s pending units.
void push_copy(const Expanding& named, Expanding& into) {
  into.pending.insert(into.pending.end(), named.pending.begin(), named.pending.end());
  into.pending.insert(into.pending.end(), named.done.rbegin(), named.done.rend());
}

// Whether each entry holds no reference, and so is expanded as it stands.
std::vector<bool> without_references(const std::vector<CodeStream>& codes) {
  std::vector<bool> settled(codes.size(), true);
  for (std::size_t e = 0; e < codes.size(); ++e) {
    for (std::size_t j = 0; j + 1 < codes[e].size() && settled[e]; j += 2) {
      settled[e] = reference_target(unit_at(codes[e], j)) < 0;
    }
  }
  return settled;
}

// Writes an expanded entry back as its code stream. A prepared entry that
// was never scanned (only copied from) still has all its units pending,
// last unit first; a lone final byte is no unit, and is kept as it is.
void store_expansion(const Expanding& entry, CodeStream& codes) {
  const bool odd = codes.size() % 2 != 0;
  const std::uint8_t last = odd ? codes.back() : 0;
  codes.clear();
  for (const std::uint16_t unit : entry.done) append_code_unit(unit, codes);
  for (auto unit = entry.pending.rbegin(); unit != entry.pending.rend(); ++unit) append_code_unit(*unit, codes);
  if (odd) codes.push_back(last);
}

}  // namespace

void expand_dictionary(std::vector<CodeStream>& codes) {
  const std::size_t count = codes.size();
  const std::vector<bool> finite = finite_entries(codes);
  // Entries are put in their expansion form only when they hold a reference
  // or are copied into one; the others are left as they are.
  // The expansion's many short-lived vectors come from one arena, given back
  // at once when the expansion ends.
  std::pmr::monotonic_buffer_resource arena;
  std::vector<Expanding> entries;
  entries.reserve(count);
  for (std::size_t e = 0; e < count; ++e) entries.push_back({std::pmr::vector<std::uint16_t>(&arena), std::pmr::vector<std::uint16_t>(&arena)});
  std::vector<bool> prepared(count, false);
  auto prepare = [&](std::size_t e) -> Expanding& {
    if (!prepared[e]) {
      for (std::size_t j = codes[e].size() & ~std::size_t{1}; j >= 2; j -= 2) {
        entries[e].pending.push_back(static_cast<std::uint16_t>(unit_at(codes[e], j - 2)));
      }
      prepared[e] = true;
    }
    return entries[e];
  };
  std::vector<bool> settled = without_references(codes);
  const Expanding empty;
  const std::size_t cap_units = kEntryCap / 2;
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t e = 0; e < count; ++e) {
      if (settled[e]) continue;
      Expanding& entry = prepare(e);
      bool replaced = false;
      while (!entry.pending.empty() && !replaced) {
        const std::uint16_t unit = entry.pending.back();
        const int r = reference_target(unit);
        const bool exists = r >= 0 && static_cast<std::size_t>(r) < count;
        const Expanding& named = exists ? prepare(static_cast<std::size_t>(r)) : empty;
        // A reference is left in place when the entry it names can never be
        // fully expanded, or when the copy would not fit.
        if (r < 0 || (exists && !finite[r]) || entry.size() - 1 + named.size() > cap_units) {
          entry.done.push_back(unit);
          entry.pending.pop_back();
          continue;
        }
        // `named` is another entry: a finite entry never refers to itself.
        entry.pending.pop_back();
        push_copy(named, entry);
        replaced = true;
      }
      if (replaced) {
        changed = true;
      } else {
        settled[e] = true;
      }
    }
  }
  for (std::size_t e = 0; e < count; ++e) {
    if (prepared[e]) store_expansion(entries[e], codes[e]);
  }
}

void build_dictionary(const Cartridge& cart, const TreePair& dict_trees, Dictionary& dictionary) {
  std::vector<CodeStream> decoded(kDictionaryEntries);
  dictionary.slots.resize(kDictionaryEntries);
  for (int e = 0; e < kDictionaryEntries; ++e) dictionary.slots[e] = load_dictionary_entry(cart, dict_trees, e, decoded[e]);
  build_dictionary_from(std::move(decoded), dictionary);
}

void build_dictionary_from(std::vector<CodeStream> decoded, Dictionary& dictionary) {
  dictionary.decoded = decoded;
  dictionary.codes = std::move(decoded);
  expand_dictionary(dictionary.codes);
  // No entry's text exists yet, so a reference left in place renders in its
  // hex form. The views are made once the storage has stopped growing.
  std::vector<std::size_t> ends(kDictionaryEntries);
  dictionary.storage.clear();
  for (int e = 0; e < kDictionaryEntries; ++e) {
    render_codes(dictionary.codes[e], static_cast<std::int32_t>(dictionary.codes[e].size()), {}, dictionary.storage);
    ends[e] = dictionary.storage.size();
  }
  dictionary.text.resize(kDictionaryEntries);
  for (std::size_t e = 0, start = 0; e < ends.size(); start = ends[e++]) {
    dictionary.text[e] = dictionary.storage.view().substr(start, ends[e] - start);
  }
}

std::vector<std::uint16_t> expanded_units(const Dictionary& dictionary, std::span<const std::uint16_t> units) {
  std::vector<std::uint16_t> out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint16_t unit = units[i];
    const std::size_t e = static_cast<std::size_t>(unit) - kFirstEntryCode;
    if (kExpandedReferences.holds(unit) && e < dictionary.codes.size()) {
      for (const std::uint16_t u : code_units(dictionary.codes[e])) {
        if (u != kEndCode) out.push_back(u);
      }
    } else if (unit != kEndCode) {
      const std::size_t end = std::min(units.size(), i + 1 + static_cast<std::size_t>(argument_units(unit)));
      out.insert(out.end(), units.begin() + static_cast<std::ptrdiff_t>(i), units.begin() + static_cast<std::ptrdiff_t>(end));
      i = end - 1;
    }
  }
  return out;
}

int nesting_depth(const std::vector<CodeStream>& decoded) {
  std::vector<int> depth(decoded.size(), -1);  // -1 unknown, -2 being walked
  const auto walk = [&](auto&& self, std::size_t e) -> int {
    if (depth[e] >= 0) return depth[e];
    if (depth[e] == -2) return 0;
    depth[e] = -2;
    int deepest = 0;
    for (const std::uint16_t u : code_units(decoded[e])) {
      const std::size_t named = static_cast<std::size_t>(u) - kFirstEntryCode;
      if (kExpandedReferences.holds(u) && named < decoded.size()) deepest = std::max(deepest, self(self, named));
    }
    return depth[e] = deepest + 1;
  };
  int deepest = 0;
  for (std::size_t e = 0; e < decoded.size(); ++e) deepest = std::max(deepest, walk(walk, e));
  return deepest;
}

}  // namespace ambergale
