// The texts a rewrite is compared on besides the caller's (see backtrack_fix_parts.h).
#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/document/backtrack/backtrack_fix_parts.h"

namespace backtrack {
namespace fixparts {
namespace {

const int kRandomSubjects = 600;

// The largest count a quantifier of the pattern names ({3}, {2,5}: 5), at least 1.
int LargestCount(const std::u16string& p) {
  int most = 1;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '\\') {
      ++i;
      continue;
    }
    if (p[i] != '{' || QuantifierEnd(p, static_cast<int>(i)) < 0) continue;
    int value = 0;
    for (size_t j = i + 1; j < p.size() && p[j] != '}'; ++j) {
      if (p[j] >= '0' && p[j] <= '9') {
        value = std::min(value * 10 + (p[j] - '0'), 1000);
      } else {
        most = std::max(most, value);
        value = 0;
      }
    }
    most = std::max(most, value);
  }
  return std::min(most, 40);
}

// The literal runs of the pattern in order (quantifier counts are not literals).
std::vector<std::u16string> LiteralRuns(const std::u16string& p) {
  std::vector<std::u16string> pieces;
  std::u16string run;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '{') {
      const int q = QuantifierEnd(p, static_cast<int>(i));
      if (q > 0) {
        if (!run.empty()) pieces.push_back(run);
        run.clear();
        i = static_cast<size_t>(q) - 1;
        continue;
      }
    }
    const int c = LiteralAt(p, static_cast<int>(i));
    if (c >= 0) {
      run += static_cast<char16_t>(c);
    } else {
      if (!run.empty()) pieces.push_back(run);
      run.clear();
    }
    if (p[i] == '\\') ++i;
  }
  if (!run.empty()) pieces.push_back(run);
  return pieces;
}

}  // namespace

// The texts a rewrite is compared on, besides the caller's: the witnesses; every text of up to
// four characters (three when there are many kinds) over a small alphabet of the pattern's
// literal characters and one character of each common kind; the pattern's literal runs in order,
// each repeated up to two times more often than the largest count in the pattern, with and
// without a filler before each (what (.*,){3}x needs: ",,,x", "a,a,a,a,x"); and random texts over
// a larger alphabet, half of them strung together from literal runs and witness parts.
std::vector<std::u16string> GeneratedSubjects(const std::u16string& p, const Report& report) {
  std::vector<std::u16string> out;
  std::vector<char16_t> small;  // in order of importance, no repeats
  auto addSmall = [&small](char16_t c) {
    if (c != 0 && std::find(small.begin(), small.end(), c) == small.end()) small.push_back(c);
  };
  std::set<char16_t> chars;
  std::vector<std::u16string> pieces = LiteralRuns(p);
  for (const std::u16string& piece : pieces)
    for (char16_t c : piece) {
      chars.insert(c);
      addSmall(c);
    }
  const std::vector<std::u16string> literals(pieces.begin(), pieces.begin() + std::min<size_t>(pieces.size(), 8));
  for (const Finding& f : report.findings) {
    if (!f.confirmed) continue;
    const Witness& w = f.witness;
    for (int n : {0, 1, 2, 3, 4, 6, 9}) {
      out.push_back(w.Text(n));
      std::u16string bare = w.prefix;
      for (int i = 0; i < n; ++i) bare += w.pump;
      out.push_back(bare);
    }
    for (const std::u16string* s : {&w.prefix, &w.pump, &w.suffix}) {
      chars.insert(s->begin(), s->end());
      for (char16_t c : *s) addSmall(c);
      if (!s->empty()) pieces.push_back(*s);
    }
  }
  for (char16_t c : std::u16string(u"0a A_\n-.")) addSmall(c);
  // Pumped witnesses ended by each small character and each literal run: what a match of the
  // rest of the pattern after the repeats needs ("000x" for \d+\d+\d+x).
  for (const Finding& f : report.findings) {
    if (!f.confirmed) continue;
    std::u16string pumped = f.witness.prefix;
    for (int n = 1; n <= 5; ++n) {
      pumped += f.witness.pump;
      for (char16_t c : small) out.push_back(pumped + c);
      for (const std::u16string& piece : pieces) out.push_back(pumped + piece);
    }
  }
  // The literal runs repeated: all of them in order, and each alone among the others.
  if (!literals.empty()) {
    const int most = LargestCount(p);
    std::vector<int> counts{1, 2, most, most + 1, most + 2};
    std::sort(counts.begin(), counts.end());
    counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    std::vector<std::u16string> fillers{std::u16string(), u"a", u"0", u" "};
    for (char16_t c : small)
      if (chars.count(c) == 0 && fillers.size() < 6) fillers.push_back(std::u16string(1, c));
    for (const std::u16string& filler : fillers) {
      for (int n : counts) {
        std::u16string all;
        for (const std::u16string& piece : literals)
          for (int k = 0; k < n; ++k) all += filler + piece;
        out.push_back(all);
        out.push_back(all + filler);
        out.push_back(filler + all.substr(0, all.size() / 2));
        for (size_t i = 0; i < literals.size(); ++i) {
          std::u16string one;
          for (size_t j = 0; j < literals.size(); ++j) {
            if (j == i) {
              for (int k = 0; k < n; ++k) one += filler + literals[j];
            } else {
              one += filler + literals[j];
            }
          }
          out.push_back(one);
          out.push_back(one + filler);
        }
      }
    }
  }
  for (char16_t c : std::u16string(u"aZ0_ \n\r-.=@,;\t\"")) chars.insert(c);
  chars.erase(u'\0');
  // Every short text over the small alphabet.
  const size_t kinds = std::min<size_t>(small.size(), 12);
  const int longest = kinds <= 9 ? 4 : 3;
  std::vector<std::u16string> level{std::u16string()};
  out.push_back(std::u16string());
  for (int len = 1; len <= longest; ++len) {
    std::vector<std::u16string> next;
    next.reserve(level.size() * kinds);
    for (const std::u16string& t : level)
      for (size_t k = 0; k < kinds; ++k) next.push_back(t + small[k]);
    out.insert(out.end(), next.begin(), next.end());
    level.swap(next);
  }
  std::vector<char16_t> alphabet(chars.begin(), chars.end());
  if (alphabet.size() > 40) alphabet.resize(40);
  for (char16_t c : alphabet) pieces.push_back(std::u16string(1, c));
  std::mt19937 rng(20261209);
  for (int k = 0; k < kRandomSubjects; ++k) {
    std::u16string s;
    if (k % 2 == 0) {
      const int len = 5 + static_cast<int>(rng() % 12);
      for (int i = 0; i < len; ++i) s += alphabet[rng() % alphabet.size()];
    } else {
      const int count = 1 + static_cast<int>(rng() % 6);
      for (int i = 0; i < count && s.size() < 60; ++i) s += pieces[rng() % pieces.size()];
    }
    out.push_back(s);
  }
  // Each text once.
  std::set<std::u16string> seen;
  std::vector<std::u16string> unique;
  unique.reserve(out.size());
  for (std::u16string& t : out)
    if (t.size() <= 400 && seen.insert(t).second) unique.push_back(std::move(t));
  return unique;
}

}  // namespace fixparts
}  // namespace backtrack
