// engine_bench: the engine (CRegexpT<char>, the plain build and, as "tarno_host", the host build
// without a trace hook) against std::regex, Boost.Regex, RE2 and PCRE2 (the interpreter and the
// JIT), each finding every match of a pattern in the same generated text of 3 MiB. Reports bytes
// per second and the match count of each run.
//
// The failing searches run on texts of their own, where the character a match needs is missing:
// `(a|b)*c` on a run of a and b, `.*x` on one long line without x (1 MiB each, --fail_size=BYTES
// changes it), `(?:x+)+y` and `(?:x+){2,}(?:y|z)` on 400 x. Engines that would overflow their stack or run for hours on
// one of them (they backtrack by recursion, or exponentially) are left out of that row.
//
// Before the benchmarks run, every engine counts the matches of every pattern once and the
// counts are compared; a pattern on which the engines disagree is reported and makes the program
// exit with status 1 after the benchmarks.
//
//   engine_bench [--fail_size=BYTES] [Google Benchmark options]    e.g. --benchmark_filter=Email
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "bench/corpus.h"
#include "bench/engine_bench_host.h"
#include "engine/tarno.h"

#ifdef KORVANE_HAVE_BOOST_REGEX
#include <boost/regex.hpp>
#endif
#ifdef KORVANE_HAVE_RE2
#include <re2/re2.h>
#endif

#ifdef KORVANE_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

using bench_corpus::BenchPattern;
using bench_corpus::kPatterns;
using bench_corpus::TextKind;
using bench_corpus::TEXT_PROSE;
using bench_corpus::TEXT_AB;
using bench_corpus::TEXT_LINE;
using bench_corpus::TEXT_X400;

const size_t kTextSize = 3u << 20;

const std::string& Text() {
  static const std::string text = bench_corpus::MakeProse(kTextSize);
  return text;
}

size_t g_failSize = 1u << 20;

const std::string& TextFor(TextKind kind) {
  static const std::string ab = bench_corpus::MakeAlternating(g_failSize);
  static const std::string line = bench_corpus::MakeLine(g_failSize);
  static const std::string x400(400, 'x');
  switch (kind) {
    case TEXT_AB: return ab;
    case TEXT_LINE: return line;
    case TEXT_X400: return x400;
    default: return Text();
  }
}

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

class TarnoHostMatcher : public Matcher {
 public:
  explicit TarnoHostMatcher(const BenchPattern& p) : m_re(MakeHostCounter(p.pattern, p.ignoreCase)) {}
  long CountAll(const std::string& text) const override { return m_re->CountAll(text); }

 private:
  std::unique_ptr<HostCounter> m_re;
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

#ifdef KORVANE_HAVE_BOOST_REGEX
class BoostMatcher : public Matcher {
 public:
  explicit BoostMatcher(const BenchPattern& p) {
    try {
      m_re.assign(p.pattern, p.ignoreCase ? boost::regex::perl | boost::regex::icase : boost::regex::perl);
      m_ok = true;
    } catch (const std::exception&) {
      m_ok = false;
    }
  }
  bool Ok() const override { return m_ok; }
  // -1 when the engine gives up (its limit on backtracking).
  long CountAll(const std::string& text) const override {
    long n = 0;
    std::string::const_iterator begin = text.begin(), end = text.end(), pos = begin;
    boost::smatch m;
    try {
      while (pos <= end) {
        boost::match_flag_type flags = pos == begin ? boost::match_default : boost::match_prev_avail;
        if (!boost::regex_search(pos, end, m, m_re, flags)) break;
        ++n;
        if (m[0].first == m[0].second) {
          if (m[0].second == end) break;
          pos = m[0].second + 1;
        } else {
          pos = m[0].second;
        }
      }
    } catch (const std::exception&) {
      return -1;
    }
    return n;
  }

 private:
  boost::regex m_re;
  bool m_ok = false;
};
#endif

#ifdef KORVANE_HAVE_RE2
class Re2Matcher : public Matcher {
 public:
  explicit Re2Matcher(const BenchPattern& p) : m_re(p.pattern, Options(p)) {}
  bool Ok() const override { return m_re.ok(); }
  long CountAll(const std::string& text) const override {
    re2::StringPiece input(text);
    re2::StringPiece m;
    size_t pos = 0, len = text.size();
    long n = 0;
    while (pos <= len && m_re.Match(input, pos, len, RE2::UNANCHORED, &m, 1)) {
      ++n;
      size_t start = static_cast<size_t>(m.data() - text.data()), stop = start + m.size();
      pos = stop == start ? stop + 1 : stop;
    }
    return n;
  }

 private:
  static RE2::Options Options(const BenchPattern& p) {
    RE2::Options o;
    o.set_case_sensitive(!p.ignoreCase);
    o.set_log_errors(false);
    return o;
  }
  RE2 m_re;
};
#endif

struct EngineKind {
  const char* name;
  Matcher* (*make)(const BenchPattern&);
};

const EngineKind kEngines[] = {
    {"tarno", [](const BenchPattern& p) -> Matcher* { return new TarnoMatcher(p); }},
    {"tarno_host", [](const BenchPattern& p) -> Matcher* { return new TarnoHostMatcher(p); }},
    {"std_regex", [](const BenchPattern& p) -> Matcher* { return new StdMatcher(p); }},
#ifdef KORVANE_HAVE_BOOST_REGEX
    {"boost", [](const BenchPattern& p) -> Matcher* { return new BoostMatcher(p); }},
#endif
#ifdef KORVANE_HAVE_RE2
    {"re2", [](const BenchPattern& p) -> Matcher* { return new Re2Matcher(p); }},
#endif
#ifdef KORVANE_HAVE_PCRE2
    {"pcre2_interp", [](const BenchPattern& p) -> Matcher* { return new PcreMatcher(p, false); }},
    {"pcre2_jit", [](const BenchPattern& p) -> Matcher* { return new PcreMatcher(p, true); }},
#endif
};

bool Skipped(const BenchPattern& p, const EngineKind& e) {
  std::string list = std::string(" ") + p.skip + " ";
  return list.find(std::string(" ") + e.name + " ") != std::string::npos;
}

void RunMatcher(benchmark::State& state, const EngineKind* engine, const BenchPattern* pattern) {
  const std::string& text = TextFor(pattern->text);
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
  bool agree = true;
  std::printf("Text: %zu bytes, failing searches %zu. Match counts (-2: left out, -1: gave up):\n%-14s",
              Text().size(), g_failSize, "");
  for (const EngineKind& e : kEngines) std::printf(" %13s", e.name);
  std::printf("\n");
  for (const BenchPattern& p : kPatterns) {
    std::printf("%-14s", p.name);
    long first = -1;
    bool same = true;
    for (const EngineKind& e : kEngines) {
      if (Skipped(p, e)) {
        std::printf(" %13d", -2);
        continue;
      }
      std::unique_ptr<Matcher> m(e.make(p));
      long n = m->Ok() ? m->CountAll(TextFor(p.text)) : -2;
      std::printf(" %13ld", n);
      if (n < 0) continue;
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
  // Our own option first; Google Benchmark refuses what it does not know.
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--fail_size=", 12) == 0) {
      long size = std::atol(argv[i] + 12);
      if (size > 0) g_failSize = static_cast<size_t>(size);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  bool agree = CheckCounts();
  for (const BenchPattern& p : kPatterns)
    for (const EngineKind& e : kEngines)
      if (!Skipped(p, e))
        benchmark::RegisterBenchmark((std::string(p.name) + "/" + e.name).c_str(), RunMatcher, &e, &p)
          ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return agree ? 0 : 1;
}
