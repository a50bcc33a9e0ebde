#include "sample/sample_translation.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <set>
#include <utility>

#include "catalogue/catalogue.hpp"
#include "catalogue/po_edits.hpp"
#include "catalogue/po_file.hpp"
#include "dump/load_tables.hpp"
#include "dump/stored_messages.hpp"
#include "text/fullwidth.hpp"
#include "text/text_parse.hpp"

namespace ambergale::sample {

namespace {

constexpr std::size_t kVocabularySize = 4096;
constexpr std::size_t kLongestWord = 12;
constexpr std::uint64_t kVocabularySeed = 0x616D626572;
// Zipf-Mandelbrot: the word of rank r is used in proportion to 1 / (r + kRankOffset).
constexpr double kRankOffset = 2.7;

// splitmix64: a whole stream from one 64-bit state, the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t state) : state_(state) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }

 private:
  std::uint64_t state_;
};

// English letter frequencies, per mille, vowels apart from consonants; y
// counts as a consonant.
struct Letter {
  char letter;
  int weight;
};
constexpr std::array<Letter, 5> kVowels = {{{'e', 127}, {'a', 82}, {'o', 75}, {'i', 70}, {'u', 28}}};
constexpr std::array<Letter, 21> kConsonants = {{{'t', 91}, {'n', 67}, {'s', 63}, {'h', 61}, {'r', 60}, {'d', 43}, {'l', 40},
                                                 {'c', 28}, {'m', 24}, {'w', 24}, {'f', 22}, {'g', 20}, {'y', 20}, {'p', 19},
                                                 {'b', 15}, {'v', 10}, {'k', 8},  {'j', 2},  {'x', 2},  {'q', 1},  {'z', 1}}};
// A consonant follows a single consonant this often and a vowel a single
// vowel this often, never a third of a kind: vowels then make 38 % of the
// letters, as in English ((1 + v) / (2 + c + v)).
constexpr double kConsonantPair = 0.70;
constexpr double kVowelPair = 0.05;
constexpr double kVowelShare = (1 + kVowelPair) / (2 + kConsonantPair + kVowelPair);

template <std::size_t N>
char drawn(const std::array<Letter, N>& letters, Random& random) {
  const int total = std::accumulate(letters.begin(), letters.end(), 0, [](int sum, const Letter& l) { return sum + l.weight; });
  int at = static_cast<int>(random.below(static_cast<std::size_t>(total)));
  for (const Letter& l : letters) {
    if ((at -= l.weight) < 0) return l.letter;
  }
  return letters.back().letter;
}

// Syllable-like: vowels and consonants alternate, now and then two of a
// kind, never three.
std::string made_word(std::size_t length, Random& random) {
  bool vowel = random.unit() < kVowelShare;
  bool repeated = false;  // the last two letters are of a kind
  std::string word;
  while (word.size() < length) {
    word += vowel ? drawn(kVowels, random) : drawn(kConsonants, random);
    repeated = !repeated && random.unit() < (vowel ? kVowelPair : kConsonantPair);
    vowel = repeated == vowel;
  }
  return word;
}

// The length of the word of `rank`: frequent words are short, as in
// English (about 4.7 letters a word of running text).
std::size_t word_length(std::size_t rank, Random& random) {
  double spread = 0;
  for (int k = 0; k < 4; ++k) spread += 2 * random.unit() - 1;
  const double length = 1 + 0.8 * std::log(static_cast<double>(rank) + 1) + 1.5 * spread;
  return static_cast<std::size_t>(std::clamp(std::lround(length), 1L, static_cast<long>(kLongestWord)));
}

std::vector<std::string> made_vocabulary() {
  Random random(kVocabularySeed);
  std::vector<std::string> words;
  std::set<std::string> made;
  while (words.size() < kVocabularySize) {
    std::string word = made_word(word_length(words.size(), random), random);
    if (made.insert(word).second) words.push_back(std::move(word));
  }
  return words;
}

// Picks an index in proportion to its weight.
class WeightedPick {
 public:
  void add(double weight) { cumulative_.push_back((cumulative_.empty() ? 0 : cumulative_.back()) + weight); }
  std::size_t pick(Random& random) const {
    const double at = random.unit() * cumulative_.back();
    const auto found = std::upper_bound(cumulative_.begin(), cumulative_.end(), at);
    return std::min(static_cast<std::size_t>(found - cumulative_.begin()), cumulative_.size() - 1);
  }

 private:
  std::vector<double> cumulative_;
};

// The vocabulary as it is drawn from: any word by its frequency, or a word
// of a given length by its frequency among those.
class Words {
 public:
  Words() : by_length_(kLongestWord + 1), pick_by_length_(kLongestWord + 1) {
    const std::vector<std::string>& words = vocabulary();
    for (std::size_t rank = 0; rank < words.size(); ++rank) {
      const double weight = 1 / (static_cast<double>(rank) + kRankOffset);
      pick_any_.add(weight);
      by_length_[words[rank].size()].push_back(rank);
      pick_by_length_[words[rank].size()].add(weight);
    }
  }
  const std::string& any(Random& random) const { return vocabulary()[pick_any_.pick(random)]; }
  const std::string& of_length(std::size_t length, Random& random) const {
    return vocabulary()[by_length_[length][pick_by_length_[length].pick(random)]];
  }

 private:
  WeightedPick pick_any_;
  std::vector<std::vector<std::size_t>> by_length_;  // ranks of each length
  std::vector<WeightedPick> pick_by_length_;
};

const Words& word_source() {
  static const Words kWords;
  return kWords;
}

// Prose of exact lengths, run after run of one text: sentences of 4 to 17
// words, capitalised, ended by '.' and now and then by '?' or '!', with a
// comma now and then. ASCII until it is taken.
class Prose {
 public:
  explicit Prose(std::uint64_t state) : random_(state), words_left_(sentence_words()) {}

  // Exactly `count` characters; `closes` ends the text's last sentence,
  // `before_name` leaves a space before the name that follows.
  void run(std::size_t count, bool closes, bool before_name) {
    const std::size_t close = closes && count >= 2 ? 1 : 0;
    const std::size_t gap = before_name && count - close >= 2 ? 1 : 0;
    fill(count - close - gap);
    if (close == 1) end_sentence(sentence_end());
    if (gap == 1) {
      ascii_ += ' ';
      space_due_ = false;
    }
  }
  void after_name() { space_due_ = true; }
  void after_line_break() { space_due_ = false; }
  std::string take() { return std::exchange(ascii_, {}); }

 private:
  std::size_t sentence_words() { return 4 + random_.below(14); }
  char sentence_end() {
    const std::size_t draw = random_.below(20);
    return draw == 0 ? '!' : draw < 3 ? '?' : '.';
  }
  char mark() {
    if (words_left_ <= 1) return sentence_end();
    return words_left_ > 2 && random_.below(12) == 0 ? ',' : '\0';
  }
  void end_sentence(char end) {
    ascii_ += end;
    sentence_start_ = true;
    words_left_ = sentence_words();
  }

  void put(const std::string& word, char after) {
    if (space_due_) ascii_ += ' ';
    const std::size_t first = ascii_.size();
    ascii_ += word;
    if (sentence_start_) ascii_[first] = static_cast<char>(ascii_[first] - 'a' + 'A');
    sentence_start_ = false;
    space_due_ = true;
    if (after == ',') ascii_ += after;
    if (after != ',' && after != '\0') {
      end_sentence(after);
    } else if (words_left_ > 0) {
      --words_left_;
    }
  }

  // Words drawn by frequency while they leave room for one more, then
  // words of the lengths that fill `count` exactly.
  void fill(std::size_t count) {
    for (std::size_t left = count; left > 0;) {
      const std::string& word = word_source().any(random_);
      const char after = mark();
      const std::size_t cost = (space_due_ ? 1 : 0) + word.size() + (after != '\0' ? 1 : 0);
      // A last word that fills the run exactly takes no comma after it.
      if ((cost != left && cost + 2 > left) || (cost == left && after == ',')) return exact(left);
      put(word, after);
      left -= cost;
    }
  }
  void exact(std::size_t left) {
    if (left == 1) space_due_ = false;  // no room for a space and a word
    while (left > 0) {
      const std::size_t spaced = space_due_ ? 1 : 0;
      const std::size_t room = left - spaced;
      const std::size_t length = room <= kLongestWord ? room : std::min(kLongestWord, room - 2);
      put(word_source().of_length(length, random_), '\0');
      left -= spaced + length;
    }
  }

  Random random_;
  std::string ascii_;
  std::size_t words_left_;  // in the sentence, this one included
  bool sentence_start_ = true;
  bool space_due_ = false;  // before the next word
};

std::string fullwidth(std::string_view ascii) {
  std::string text;
  for (const char c : ascii) text += fullwidth_counterpart(c);
  return text;
}

// FNV-1a of the text, with the seed: the state of its words.
std::uint64_t text_state(std::string_view text, std::uint32_t seed) {
  std::uint64_t hash = 0xCBF29CE484222325;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3;
  return hash ^ (static_cast<std::uint64_t>(seed) * 0x9E3779B97F4A7C15);
}

constexpr std::size_t kNoRun = static_cast<std::size_t>(-1);

// The runs of characters between a text's other pieces: each piece's run
// (kNoRun for the others), and each run's characters.
struct Runs {
  std::vector<std::size_t> of_piece;
  std::vector<std::size_t> characters;
};

Runs runs_of(const std::vector<TextPiece>& pieces) {
  Runs runs;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    if (pieces[p].kind != TextPiece::Kind::character) {
      runs.of_piece.push_back(kNoRun);
      continue;
    }
    if (p == 0 || runs.of_piece.back() == kNoRun) runs.characters.push_back(0);
    runs.of_piece.push_back(runs.characters.size() - 1);
    ++runs.characters.back();
  }
  return runs;
}

// `total` shared among the runs in proportion to their characters, the
// remainder to the largest fractions.
std::vector<std::size_t> shares(const std::vector<std::size_t>& characters, std::size_t total) {
  const std::size_t all = std::accumulate(characters.begin(), characters.end(), std::size_t{0});
  std::vector<std::size_t> share(characters.size());
  std::vector<std::size_t> order(characters.size());
  std::size_t given = 0;
  for (std::size_t r = 0; r < characters.size(); ++r) {
    share[r] = total * characters[r] / all;
    given += share[r];
    order[r] = r;
  }
  const auto fraction = [&](std::size_t r) { return total * characters[r] % all; };
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return fraction(a) > fraction(b); });
  for (std::size_t k = 0; given < total; ++k, ++given) ++share[order[k]];
  return share;
}

// `value` rounded up as often as its fraction says: short texts abound, and
// rounding each to the nearest would move the ratio of the whole.
std::size_t rounded(double value, Random& random) {
  const double whole = std::floor(value);
  return static_cast<std::size_t>(whole) + (random.unit() < value - whole ? 1 : 0);
}

}  // namespace

const std::vector<std::string>& vocabulary() {
  static const std::vector<std::string> kVocabulary = made_vocabulary();
  return kVocabulary;
}

std::size_t counted_characters(std::string_view text) {
  std::vector<TextPiece> pieces;
  parse_line_text(text, HexRuns::characters, pieces);
  return static_cast<std::size_t>(
      std::count_if(pieces.begin(), pieces.end(), [](const TextPiece& piece) { return piece.kind == TextPiece::Kind::character; }));
}

std::string translated_text(std::string_view text, double ratio, std::uint32_t seed) {
  std::vector<TextPiece> pieces;
  if (parse_line_text(text, HexRuns::characters, pieces)) return std::string(text);
  const Runs runs = runs_of(pieces);
  const std::size_t characters = std::accumulate(runs.characters.begin(), runs.characters.end(), std::size_t{0});
  Random random(text_state(text, seed));
  const std::size_t total = characters == 0 ? 0 : std::max<std::size_t>(1, rounded(ratio * static_cast<double>(characters), random));
  const std::vector<std::size_t> share = shares(runs.characters, total);
  Prose prose(random.next());
  std::string out;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    const std::size_t run = runs.of_piece[p];
    if (run == kNoRun) {
      out += pieces[p].text;
      if (pieces[p].kind == TextPiece::Kind::name) prose.after_name();
      if (pieces[p].kind == TextPiece::Kind::newline) prose.after_line_break();
    } else if (p == 0 || runs.of_piece[p - 1] != run) {
      const std::size_t after = p + runs.characters[run];
      prose.run(share[run], run + 1 == share.size(), after < pieces.size() && pieces[after].kind == TextPiece::Kind::name);
      out += fullwidth(prose.take());
    }
  }
  return out;
}

Outcome write_sample_translation(const Cartridge& cart, std::string_view opcodes, double ratio, std::uint32_t seed,
                                 std::string& po) {
  Tables tables;
  if (Outcome failure = load_image_tables(cart, tables)) return failure;
  if (Outcome failure = load_opcode_table(opcodes, tables)) return failure;
  const std::vector<CatalogueItem> items = catalogue_items(cart, tables, map_stored_messages(cart, tables, true));
  std::vector<std::string> translations(items.size());
  for (std::size_t k = 0; k < items.size(); ++k) {
    // A translation's dictionary is chosen anew from its text: the old entries are left as they are.
    if (items[k].context.front() != 'D') translations[k] = translated_text(items[k].text, ratio, seed);
  }
  return write_po_catalogue(items, translations, "sample", image_crc(cart.bytes), po);
}

}  // namespace ambergale::sample
