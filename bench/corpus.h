// The benchmark corpus: a seeded text and the patterns searched in it, shared by
// bench/engine_bench (the engine against its peers) and app/document/matching/bench/findall_bench (the
// document's Find All against the engine), and by the tests that compare the document's two
// searches on the same rows. Header-only, standard library only.
#ifndef KORVANE_BENCH_CORPUS_H
#define KORVANE_BENCH_CORPUS_H

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace bench_corpus {

// ---------------------------------------------------------------------------------------------
// The text: seeded, so that every run and every engine sees the same bytes. Lines of words from
// a made-up vocabulary, with the words the patterns look for mixed in at known rates: words in
// -ing and -ed, the ten alternation words (some capitalised), the name Sherlock Holmes (in three
// spellings of the case), e-mail addresses, URIs, dates, dotted quads (valid and not) and
// doubled words.

inline std::string MakeWord(std::mt19937& rng) {
  static const char* const kSyllables[] = {"ka", "lo", "mi", "ren", "sto", "va", "dre", "nu", "po", "shi",
                                           "tal", "or", "en", "bri", "gu", "xe", "ma", "il", "ton", "que"};
  int n = 1 + static_cast<int>(rng() % 3);
  std::string w;
  for (int i = 0; i < n; ++i) w += kSyllables[rng() % 20];
  return w;
}

static const char* const kTenWords[] = {"lantern", "harbor", "velvet", "copper", "meadow",
                                 "thistle", "garnet", "falcon", "ember",  "willow"};

// `size` bytes of it (3 MiB in engine_bench).
inline std::string MakeProse(size_t size) {
  std::mt19937 rng(1234567);
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 400; ++i) vocabulary.push_back(MakeWord(rng));
  std::string text;
  text.reserve(size + 128);
  int column = 0;
  while (text.size() < size) {
    unsigned r = rng() % 1000;
    std::string piece;
    if (r < 20) {
      piece = kTenWords[rng() % 10];
      if (rng() % 4 == 0) piece[0] = static_cast<char>(piece[0] - 32);
      if (rng() % 16 == 0)
        for (char& c : piece) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    } else if (r < 60) {
      piece = vocabulary[rng() % vocabulary.size()] + "ing";
    } else if (r < 63) {
      piece = vocabulary[rng() % vocabulary.size()] + "." + vocabulary[rng() % vocabulary.size()] + "@" +
              vocabulary[rng() % vocabulary.size()] + "." + (rng() % 2 ? "com" : "org");
    } else if (r < 66) {
      for (int i = 0; i < 4; ++i) {
        if (i) piece += '.';
        piece += std::to_string(rng() % 300);  // some are not valid octets
      }
    } else if (r < 70) {
      std::string w = vocabulary[rng() % vocabulary.size()];
      piece = w + " " + w;
    } else if (r < 73) {
      static const char* const kHolmes[] = {"Sherlock Holmes", "Holmes", "holmes", "HOLMES", "Sherlock"};
      piece = kHolmes[rng() % 5];
    } else if (r < 75) {
      piece = std::string(rng() % 2 ? "https" : "ftp") + "://" + vocabulary[rng() % vocabulary.size()] + ".org/" +
              vocabulary[rng() % vocabulary.size()];
      if (rng() % 2) piece += "?q=" + vocabulary[rng() % vocabulary.size()];
      if (rng() % 3 == 0) piece += "#" + vocabulary[rng() % vocabulary.size()];
    } else if (r < 78) {
      char date[16];
      std::snprintf(date, sizeof date, "%04u-%02u-%02u", 1900 + static_cast<unsigned>(rng() % 200),
                    1 + static_cast<unsigned>(rng() % 12), 1 + static_cast<unsigned>(rng() % 28));
      piece = date;
    } else if (r < 100) {
      piece = vocabulary[rng() % vocabulary.size()] + "ed";
    } else {
      piece = vocabulary[rng() % vocabulary.size()];
      if (rng() % 10 == 0) piece += rng() % 2 ? "," : ".";
    }
    text += piece;
    column += static_cast<int>(piece.size()) + 1;
    if (column > 72) {
      text += '\n';
      column = 0;
    } else {
      text += ' ';
    }
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// The patterns. Every one means the same in all engines of engine_bench (ECMAScript for
// std::regex).

// Which text a pattern runs on.
enum TextKind { TEXT_PROSE = 0, TEXT_AB = 1, TEXT_LINE = 2, TEXT_X400 = 3 };

struct BenchPattern {
  const char* name;
  const char* pattern;
  bool ignoreCase;
  TextKind text;
  const char* skip;  // engines left out of this row (blank-separated names), with the reason above
};

static const BenchPattern kPatterns[] = {
    {"Literal", "Sherlock", false, TEXT_PROSE, ""},
    {"LiteralNoCase", "holmes", true, TEXT_PROSE, ""},
    {"TenWords", "lantern|harbor|velvet|copper|meadow|thistle|garnet|falcon|ember|willow", false, TEXT_PROSE, ""},
    {"Email", "[\\w\\.+-]+@[\\w\\.-]+\\.[\\w\\.-]+", false, TEXT_PROSE, ""},
    {"Uri", "[\\w]+://[^/\\s?#]+[^\\s?#]+(?:\\?[^\\s#]*)?(?:#[^\\s]*)?", false, TEXT_PROSE, ""},
    {"IPv4", "(?:(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)\\.){3}(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)", false,
     TEXT_PROSE, ""},
    {"WordsIng", "\\b\\w+ing\\b", false, TEXT_PROSE, ""},
    {"WordsEd", "[a-z]+ed\\b", false, TEXT_PROSE, ""},
    {"Date", "\\d{4}-\\d{2}-\\d{2}", false, TEXT_PROSE, ""},
    {"TwoWords", "(\\w+)\\s+(\\w+)", false, TEXT_PROSE, ""},
    {"DoubledWord", "\\b(\\w+)\\s+\\1\\b", false, TEXT_PROSE, "re2"},  // RE2 has no back-references
    // Failing searches. std::regex recurses once per character of a repeat (its stack overflows on
    // a long run) and, like Boost.Regex, backtracks (?:x+)+y exponentially. The host build tries
    // every start position (its trace sees every attempt), which is quadratic on the long texts.
    {"FailAltStar", "(a|b)*c", false, TEXT_AB, "std_regex tarno_host"},
    {"FailDotStar", ".*x", false, TEXT_LINE, "std_regex tarno_host"},
    {"FailNested", "(?:x+)+y", false, TEXT_X400, "std_regex boost"},
    // Two mandatory iterations: every split of the run between them was tried once per attempt.
    {"FailCounted", "(?:x+){2,}(?:y|z)", false, TEXT_X400, "std_regex boost"},
};

// The texts of the failing searches: a run of a and b without c, one long line without x, and
// x repeated `xRun` times (400 in the benchmarks); `size` bytes of the first two.
inline std::string MakeAlternating(size_t size) {
  std::mt19937 rng(7654321);
  std::string t(size, 'a');
  for (char& c : t) c = rng() % 2 ? 'a' : 'b';
  return t;
}

inline std::string MakeLine(size_t size) {
  std::mt19937 rng(7654322);
  std::string t(size, ' ');
  for (char& c : t) {
    unsigned r = rng() % 27;
    c = r == 26 ? ' ' : static_cast<char>('a' + r);
    if (c == 'x') c = 'y';
  }
  return t;
}

}  // namespace bench_corpus

#endif
