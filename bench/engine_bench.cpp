// engine_bench: the plain build of the engine (CRegexpT<char>) against std::regex and PCRE2 (the
// interpreter and the JIT), each finding every match of a pattern in the same generated text of
// 3 MiB. Reports bytes per second and the match count of each run.
//
// Before the benchmarks run, every engine counts the matches of every pattern once and the
// counts are compared; a pattern on which the engines disagree is reported and makes the program
// exit with status 1 after the benchmarks.
//
//   engine_bench [Google Benchmark options]       e.g. --benchmark_filter=Email
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "engine/tarno.h"

#ifdef KORVANE_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

// ---------------------------------------------------------------------------------------------
// The text: seeded, so that every run and every engine sees the same bytes. Lines of words from
// a made-up vocabulary, with the words the patterns look for mixed in at known rates: words in
// -ing, the ten alternation words (some capitalised), e-mail addresses, dotted quads (valid and
// not) and doubled words.

const size_t kTextSize = 3u << 20;

std::string MakeWord(std::mt19937& rng) {
  static const char* const kSyllables[] = {"ka", "lo", "mi", "ren", "sto", "va", "dre", "nu", "po", "shi",
                                           "tal", "or", "en", "bri", "gu", "xe", "ma", "il", "ton", "que"};
  int n = 1 + static_cast<int>(rng() % 3);
  std::string w;
  for (int i = 0; i < n; ++i) w += kSyllables[rng() % 20];
  return w;
}

const char* const kTenWords[] = {"lantern", "harbor", "velvet", "copper", "meadow",
                                 "thistle", "garnet", "falcon", "ember",  "willow"};

std::string MakeText() {
  std::mt19937 rng(1234567);
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 400; ++i) vocabulary.push_back(MakeWord(rng));
  std::string text;
  text.reserve(kTextSize + 128);
  int column = 0;
  while (text.size() < kTextSize) {
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

const std::string& Text() {
  static const std::string text = MakeText();
  return text;
}

// ---------------------------------------------------------------------------------------------
// The patterns. Every one means the same in all engines here (ECMAScript for std::regex).

struct BenchPattern {
  const char* name;
  const char* pattern;
  bool ignoreCase;
};

const BenchPattern kPatterns[] = {
    {"Literal", "lantern", false},
    {"LiteralNoCase", "lantern", true},
    {"TenWords", "lantern|harbor|velvet|copper|meadow|thistle|garnet|falcon|ember|willow", false},
    {"Email", "[\\w.+-]+@[\\w.-]+\\.[\\w.-]+", false},
    {"IPv4", "(?:(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)\\.){3}(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)", false},
    {"WordsIng", "\\b\\w+ing\\b", false},
    {"TwoWords", "(\\w+)\\s+(\\w+)", false},
    {"DoubledWord", "\\b(\\w+)\\s+\\1\\b", false},
};

// ---------------------------------------------------------------------------------------------
// One matcher per engine: compiled once, then counts every match in a text. After an empty
// match the next search starts one character further on, as the engine's own loop does.

class Matcher {
 public:
  virtual ~Matcher() {}
  virtual bool Ok() const { return true; }
  virtual long CountAll(const std::string& text) const = 0;
};

class TarnoMatcher : public Matcher {
 public:
  explicit TarnoMatcher(const BenchPattern& p) : m_re(p.pattern, p.ignoreCase ? IGNORECASE : 0) {}
  long CountAll(const std::string& text) const override {
    CMatchContext<char> ctx;
    m_re.PrepareMatch(text.data(), static_cast<int>(text.size()), -1, &ctx);
    long n = 0;
    while (m_re.Match(&ctx).IsMatched()) ++n;
    return n;
  }

 private:
  CRegexpT<char> m_re;
};

class StdMatcher : public Matcher {
 public:
  explicit StdMatcher(const BenchPattern& p)
      : m_re(p.pattern, p.ignoreCase ? std::regex::ECMAScript | std::regex::icase : std::regex::ECMAScript) {}
  long CountAll(const std::string& text) const override {
    long n = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), m_re), end; it != end; ++it) ++n;
    return n;
  }

 private:
  std::regex m_re;
};

#ifdef KORVANE_HAVE_PCRE2
class PcreMatcher : public Matcher {
 public:
  PcreMatcher(const BenchPattern& p, bool jit) {
    int error;
    PCRE2_SIZE offset;
    m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.pattern), PCRE2_ZERO_TERMINATED,
                           p.ignoreCase ? PCRE2_CASELESS : 0, &error, &offset, nullptr);
    if (m_code && jit && pcre2_jit_compile(m_code, PCRE2_JIT_COMPLETE) != 0) {
      pcre2_code_free(m_code);
      m_code = nullptr;
    }
    if (m_code) m_data = pcre2_match_data_create_from_pattern(m_code, nullptr);
    m_jit = jit;
  }
  ~PcreMatcher() override {
    pcre2_match_data_free(m_data);
    pcre2_code_free(m_code);
  }
  bool Ok() const override { return m_code != nullptr; }
  long CountAll(const std::string& text) const override {
    PCRE2_SPTR s = reinterpret_cast<PCRE2_SPTR>(text.data());
    size_t pos = 0, len = text.size();
    long n = 0;
    while (pos <= len) {
      int rc = m_jit ? pcre2_jit_match(m_code, s, len, pos, 0, m_data, nullptr)
                     : pcre2_match(m_code, s, len, pos, PCRE2_NO_JIT, m_data, nullptr);
      if (rc < 0) break;
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m_data);
      ++n;
      pos = ov[1] == ov[0] ? ov[1] + 1 : ov[1];
    }
    return n;
  }

 private:
  pcre2_code* m_code = nullptr;
  pcre2_match_data* m_data = nullptr;
  bool m_jit = false;
};
#endif

struct EngineKind {
  const char* name;
  Matcher* (*make)(const BenchPattern&);
};

const EngineKind kEngines[] = {
    {"tarno", [](const BenchPattern& p) -> Matcher* { return new TarnoMatcher(p); }},
    {"std_regex", [](const BenchPattern& p) -> Matcher* { return new StdMatcher(p); }},
#ifdef KORVANE_HAVE_PCRE2
    {"pcre2_interp", [](const BenchPattern& p) -> Matcher* { return new PcreMatcher(p, false); }},
    {"pcre2_jit", [](const BenchPattern& p) -> Matcher* { return new PcreMatcher(p, true); }},
#endif
};

void RunMatcher(benchmark::State& state, const EngineKind* engine, const BenchPattern* pattern) {
  const std::string& text = Text();
  std::unique_ptr<Matcher> m(engine->make(*pattern));
  if (!m->Ok()) {
    state.SkipWithError("the engine does not compile this pattern");
    return;
  }
  long count = 0;
  for (auto _ : state) {
    count = m->CountAll(text);
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["matches"] = static_cast<double>(count);
}

// Counts each pattern's matches once in every engine; prints the table and whether they agree.
bool CheckCounts() {
  const std::string& text = Text();
  bool agree = true;
  std::printf("Text: %zu bytes. Match counts:\n%-14s", text.size(), "");
  for (const EngineKind& e : kEngines) std::printf(" %13s", e.name);
  std::printf("\n");
  for (const BenchPattern& p : kPatterns) {
    std::printf("%-14s", p.name);
    long first = -1;
    bool same = true;
    for (const EngineKind& e : kEngines) {
      std::unique_ptr<Matcher> m(e.make(p));
      long n = m->Ok() ? m->CountAll(text) : -1;
      std::printf(" %13ld", n);
      if (first < 0) first = n;
      same = same && n == first;
    }
    std::printf("%s\n", same ? "" : "   <- the engines disagree");
    agree = agree && same;
  }
  std::fflush(stdout);
  return agree;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  bool agree = CheckCounts();
  for (const BenchPattern& p : kPatterns)
    for (const EngineKind& e : kEngines)
      benchmark::RegisterBenchmark((std::string(p.name) + "/" + e.name).c_str(), RunMatcher, &e, &p)
          ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return agree ? 0 : 1;
}
