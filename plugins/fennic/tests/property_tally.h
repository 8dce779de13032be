// The tally that fennic's property tests keep per rewrite: it compares the original and the
// rewritten pattern on each subject, reports the first disagreements in full (with the seed and
// case that replay them) and prints its figures when it goes.
#ifndef FENNIC_TESTS_PROPERTY_TALLY_H
#define FENNIC_TESTS_PROPERTY_TALLY_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "plugins/fennic/tests/random_patterns.h"

namespace fennic_props {

typedef std::vector<std::pair<int, int>> Spans;

inline std::string Show(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c == u'\n') {
      out += "\\n";
    } else if (c < 32 || c > 126) {
      char buf[12];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

inline std::string Show(const Spans& spans) {
  std::string out;
  for (const auto& s : spans) out += std::to_string(s.first) + "-" + std::to_string(s.second) + " ";
  return out.empty() ? "none " : out;
}

struct Tally {
  const char* name;
  int cases = 0;          // rewritten patterns compared
  int subjects = 0;       // subjects each compared on
  int rewritten = 0;      // cases whose pattern the rewrite changed
  int disagreements = 0;
  int limited = 0;        // subjects on which a search ran out of its budget (not compared)
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

  explicit Tally(const char* tallyName) : name(tallyName) {}
  Tally(const Tally&) = delete;
  Tally& operator=(const Tally&) = delete;

  // Compares `before` compiled with `beforeFlags` and `after` with `afterFlags` on each subject;
  // a case counts one disagreement at most.
  void Compare(int index, const std::u16string& before, int beforeFlags, const std::u16string& after,
               int afterFlags, const std::vector<std::u16string>& subjectList) {
    ++cases;
    if (before != after) ++rewritten;
    for (const std::u16string& subject : subjectList) {
      ++subjects;
      Spans want, got;
      if (!LimitedSpans(before, beforeFlags, subject, kSearchBudget, &want) ||
          !LimitedSpans(after, afterFlags, subject, kSearchBudget, &got)) {
        ++limited;
        continue;
      }
      if (want == got) continue;
      if (++disagreements <= 10)
        ADD_FAILURE() << name << ": /" << Show(before) << "/ (flags " << beforeFlags << ") became /" << Show(after)
                      << "/ (flags " << afterFlags << ") on \"" << Show(subject) << "\": " << Show(want)
                      << "before, " << Show(got) << "after (seed " << Options().seed << ", case " << index << ")";
      break;
    }
  }

  ~Tally() {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: seed %llu, %d cases (%d rewritten), %d subjects (%d cut off), %d disagreements, %.1f s\n",
                name, static_cast<unsigned long long>(Options().seed), cases, rewritten, subjects, limited,
                disagreements, seconds);
  }
};

}  // namespace fennic_props

#endif
