// The backtracking analysis: the corpus of patterns of known class, the witnesses' growth, the
// responsible repeats and the bounds on bad input.
#include <gtest/gtest.h>

#include <random>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/document/backtrack_analysis.h"
#include "app/document/backtrack_fixes.h"

namespace {

using backtrack::Analyze;
using backtrack::CountSteps;
using backtrack::Report;

std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string ClassOf(const Report& r) {
  switch (r.verdict) {
    case backtrack::LINEAR: return "linear";
    case backtrack::POLYNOMIAL: return "poly" + std::to_string(r.degree);
    case backtrack::EXPONENTIAL: return "exp";
    default: return "not analysed";
  }
}

int FlagsOf(const std::string& letters) {
  int flags = 0;
  for (char c : letters) {
    if (c == 'i') flags |= 0x08;
    if (c == 'm') flags |= 0x02;
    if (c == 's') flags |= 0x01;
    if (c == 'x') flags |= 0x20;
  }
  return flags;
}

struct CorpusRow {
  std::string expected, flags, pattern;
};

std::vector<CorpusRow> ReadCorpus() {
  std::vector<CorpusRow> rows;
  std::ifstream in(KV_BACKTRACK_CORPUS);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t t1 = line.find('\t'), t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    if (t2 == std::string::npos) continue;
    rows.push_back({line.substr(0, t1), line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1)});
  }
  return rows;
}

// Every pattern of the corpus, with the table of results printed for the record.
TEST(BacktrackCorpus, ClassifiesKnownPatterns) {
  std::vector<CorpusRow> rows = ReadCorpus();
  ASSERT_GE(rows.size(), 150u) << "corpus not found or too small: " << KV_BACKTRACK_CORPUS;
  int right = 0, safeCalledExp = 0, expUnconfirmed = 0;
  std::map<std::string, std::map<std::string, int>> table;  // expected -> got -> count
  for (const CorpusRow& row : rows) {
    Report r = Analyze(U(row.pattern), FlagsOf(row.flags));
    std::string got = ClassOf(r);
    ++table[row.expected][got];
    if (got == row.expected) {
      ++right;
    } else {
      std::printf("  differs: %-6s got %-12s %s\n", row.expected.c_str(), got.c_str(), row.pattern.c_str());
    }
    if (row.expected == "linear" && r.verdict == backtrack::EXPONENTIAL) ++safeCalledExp;
    if (r.verdict == backtrack::EXPONENTIAL) {
      // An exponential verdict is always a measured one.
      int worst = r.Worst();
      ASSERT_GE(worst, 0) << row.pattern;
      EXPECT_TRUE(r.findings[worst].confirmed) << row.pattern;
    }
    if (row.expected == "exp" && r.verdict != backtrack::EXPONENTIAL) ++expUnconfirmed;
  }
  std::printf("backtracking corpus: %d patterns, %d classified right (%.1f%%)\n", static_cast<int>(rows.size()), right,
              100.0 * right / rows.size());
  std::printf("  %-8s | %s\n", "known", "analysis (count)");
  for (const auto& e : table) {
    std::printf("  %-8s |", e.first.c_str());
    for (const auto& g : e.second) std::printf(" %s %d", g.first.c_str(), g.second);
    std::printf("\n");
  }
  EXPECT_GE(right * 100, static_cast<int>(rows.size()) * 95);
  EXPECT_EQ(0, safeCalledExp);
  EXPECT_EQ(0, expUnconfirmed) << "exponential patterns not confirmed";
}

// The witness of the worst finding, run at n and 2n outside the analysis: the steps grow as the
// class says. Exponential: far more than any low power; degree k: by about 2^k.
TEST(BacktrackWitness, GrowsAsTheClassSays) {
  struct Row {
    const char* pattern;
    const char* expected;
  } rows[] = {
      {"(a+)+b", "exp"},          {"^(a|aa)+$", "exp"},      {"^(\\w+\\s?)*$", "exp"}, {"(x+x+)+y", "exp"},
      {"^(a)(?:\\1|a)*$", "exp"}, {"(.|\\s)*z", "exp"},      {"\\d+\\d+x", "poly2"},   {".*.*=.*", "poly2"},
      {"a*a*a*b", "poly3"},       {"\\d+\\d+\\d+x", "poly3"}, {"^\\s*.+\\s*;", "poly3"},
  };
  for (const Row& row : rows) {
    Report r = Analyze(U(row.pattern), 0);
    ASSERT_EQ(row.expected, ClassOf(r)) << row.pattern;
    const backtrack::Witness& w = r.findings[r.Worst()].witness;
    bool cut = false, matched = true;
    if (r.verdict == backtrack::EXPONENTIAL) {
      // Pumps until the attempt costs at least 5,000 steps, then twice as many pumps: the count
      // must grow by more than any polynomial of degree 6 would (2^6), or run into the budget
      // (which is 400 times the first count).
      int n = 1;
      while (n < 40 && CountSteps(U(row.pattern), 0, w.Text(n), 1000000, &cut, &matched) < 5000) ++n;
      long long a = CountSteps(U(row.pattern), 0, w.Text(n), 2000000, &cut, &matched);
      EXPECT_FALSE(matched || cut) << row.pattern;
      long long b = CountSteps(U(row.pattern), 0, w.Text(2 * n), 2000000, &cut, &matched);
      EXPECT_FALSE(matched) << row.pattern;
      EXPECT_TRUE(cut || b > 64 * a) << row.pattern << ": " << a << " then " << b;
    } else {
      const int n = 100;
      long long a = CountSteps(U(row.pattern), 0, w.Text(n), 100000000, &cut, &matched);
      EXPECT_FALSE(matched || cut) << row.pattern;
      long long b = CountSteps(U(row.pattern), 0, w.Text(2 * n), 100000000, &cut, &matched);
      EXPECT_FALSE(matched || cut) << row.pattern;
      double k = std::log2(static_cast<double>(b) / a);
      EXPECT_NEAR(r.degree, k, 0.5) << row.pattern << ": " << a << " then " << b;
    }
  }
}

// Linear patterns: a witness-like text grows the steps linearly.
TEST(BacktrackWitness, LinearStaysLinear) {
  struct Row {
    const char* pattern;
    const char* prefix;
    const char* pump;
    const char* suffix;
  } rows[] = {
      {"^(?>a+)+$", "", "a", "!"},
      {"\\d++\\d+x", "", "1", "!"},
      {"^(\\w+\\s)*$", "", "a", "!"},
      {"^(?:a(?!a)|a)*$", "", "a", "!"},
      {"\\d+\\b\\d+x", "", "1", "!"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ("linear", ClassOf(Analyze(U(row.pattern), 0))) << row.pattern;
    backtrack::Witness w{U(row.prefix), U(row.pump), U(row.suffix)};
    long long a = CountSteps(U(row.pattern), 0, w.Text(200), 100000000);
    long long b = CountSteps(U(row.pattern), 0, w.Text(400), 100000000);
    EXPECT_LT(b, 3 * a) << row.pattern << ": " << a << " then " << b;
  }
}

// The repeats responsible, as spans in the pattern.
TEST(BacktrackFindings, ResponsibleRepeats) {
  struct Row {
    const char* pattern;
    std::vector<std::pair<int, int>> spans;
  } rows[] = {
      {"(a+)+b", {{0, 5}, {1, 3}}},
      {"x(a|aa)*c", {{1, 8}}},
      {"\\d+\\d+x", {{0, 3}, {3, 6}}},
      {"ab\\w+\\d+!", {{2, 5}, {5, 8}}},
  };
  for (const Row& row : rows) {
    Report r = Analyze(U(row.pattern), 0);
    ASSERT_GE(r.Worst(), 0) << row.pattern;
    EXPECT_EQ(row.spans, r.findings[r.Worst()].spans) << row.pattern;
  }
}

// Beyond the bounds the analysis says so instead of guessing; nothing crashes or hangs.
TEST(BacktrackBounds, TooLargeOrStopped) {
  std::string alternatives = "^(?:";
  for (int i = 0; i < 10000; ++i) alternatives += (i ? "|x" : "x") + std::to_string(i);
  alternatives += ")*$";
  Report r = Analyze(U(alternatives), 0);
  EXPECT_EQ(backtrack::TOO_LARGE, r.verdict);
  EXPECT_NE(std::string::npos, backtrack::VerdictText(r).find("too large"));

  std::string deep;
  for (int i = 0; i < 2000; ++i) deep += "(?:";
  deep += "a+";
  for (int i = 0; i < 2000; ++i) deep += ")*";
  r = Analyze(U(deep + "b"), 0);
  EXPECT_TRUE(r.verdict == backtrack::TOO_LARGE || r.verdict == backtrack::EXPONENTIAL) << ClassOf(r);

  // Counted repeats nest into many copies: bounded by the automaton's size.
  r = Analyze(U("((a{16}b){16}c){16}d"), 0);
  EXPECT_EQ(backtrack::TOO_LARGE, r.verdict);
  // A huge count is read as unbounded from some copies on: analysed, and the witness shows it.
  r = Analyze(U("(?:a|a){1,100000}b"), 0);
  EXPECT_EQ(backtrack::EXPONENTIAL, r.verdict);

  std::atomic<bool> abort(true);
  r = Analyze(U("(a+)+b"), 0, backtrack::Limits(), &abort);
  EXPECT_EQ(backtrack::TOO_LARGE, r.verdict);
  EXPECT_EQ("stopped", r.reason);

  r = Analyze(U("(a+)+b"), 0x10);  // right to left
  EXPECT_EQ(backtrack::TOO_LARGE, r.verdict);

  // A pattern with an error is not judged by what the engine makes of the rest.
  struct {
    const char* pattern;
    int at;
  } broken[] = {{"(", 0}, {"a)b[", 1}, {"(a+)+(?<n", 5}};
  for (const auto& b : broken) {
    r = Analyze(U(b.pattern), 0);
    EXPECT_EQ(backtrack::TOO_LARGE, r.verdict) << b.pattern;
    EXPECT_EQ(b.at, r.errorAt) << b.pattern;
    EXPECT_EQ("Not analysed: the pattern has an error at " + std::to_string(b.at), backtrack::VerdictText(r));
    EXPECT_TRUE(r.findings.empty());
  }
  EXPECT_EQ(-1, Analyze(U("(a)b\\["), 0).errorAt);

  // Tight limits: a small step budget still gives a verdict or none, never a wrong blow-up.
  backtrack::Limits tight;
  tight.stepBudget = 50;
  r = Analyze(U("\\d+x"), 0, tight);
  EXPECT_EQ(backtrack::LINEAR, r.verdict);
}

// A witness run stops at its budget and says so.
TEST(BacktrackSteps, BudgetStopsARun) {
  bool cut = false, matched = true;
  long long steps = CountSteps(U("(a|aa)*c"), 0, U(std::string(60, 'a')), 5000, &cut, &matched);
  EXPECT_TRUE(cut);
  EXPECT_FALSE(matched);
  EXPECT_EQ(5000, steps);
  steps = CountSteps(U("a+c"), 0, U("aaac"), 5000, &cut, &matched);
  EXPECT_FALSE(cut);
  EXPECT_TRUE(matched);
  EXPECT_GT(steps, 0);
}

TEST(BacktrackVerdict, Texts) {
  Report r;
  EXPECT_EQ("Safe: linear", backtrack::VerdictText(r));
  r.verdict = backtrack::POLYNOMIAL;
  r.degree = 3;
  EXPECT_EQ("Polynomial, degree 3", backtrack::VerdictText(r));
  r.verdict = backtrack::EXPONENTIAL;
  EXPECT_EQ("Exponential", backtrack::VerdictText(r));
}

}  // namespace

// The proven rewrites of every costly corpus pattern, checked again on texts the proposer never
// made (another generator: longer random texts over the pattern's own characters): not one
// differs. Prints how many patterns got a fix, for the record.
TEST(BacktrackCorpus, ProvenFixesKeepEveryMatch) {
  std::vector<CorpusRow> rows = ReadCorpus();
  ASSERT_GE(rows.size(), 150u);
  int costly = 0, fixed = 0, offered = 0;
  for (const CorpusRow& row : rows) {
    if (row.expected == "linear") continue;
    const std::u16string p = U(row.pattern);
    const int flags = FlagsOf(row.flags);
    Report r = Analyze(p, flags);
    if (r.Worst() < 0) continue;
    ++costly;
    std::vector<backtrack::Fix> fixes = backtrack::ProposeFixes(p, flags, r, {});
    fixed += fixes.empty() ? 0 : 1;
    offered += static_cast<int>(fixes.size());
    std::u16string alphabet = u"a1 .\n";
    for (char16_t c : p)
      if (c > ' ' && alphabet.find(c) == std::u16string::npos && alphabet.size() < 24) alphabet += c;
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>()(row.pattern)));
    for (const backtrack::Fix& f : fixes) {
      EXPECT_TRUE(backtrack::BetterVerdict(f.report, r)) << row.pattern;
      for (int k = 0; k < 400; ++k) {
        std::u16string t;
        const int len = static_cast<int>(rng() % 24);
        for (int i = 0; i < len; ++i) t += alphabet[rng() % alphabet.size()];
        bool undecided = false;
        const bool same = backtrack::SameMatches(p, f.pattern, flags, t, 100000, &undecided);
        EXPECT_TRUE(same || undecided) << row.pattern << " -> " << std::string(f.pattern.begin(), f.pattern.end())
                                       << " on \"" << std::string(t.begin(), t.end()) << '"';
      }
    }
  }
  std::printf("proven fixes: %d of %d costly corpus patterns got one (%d rewrites in all)\n", fixed, costly, offered);
  EXPECT_GT(fixed, 0);
}
