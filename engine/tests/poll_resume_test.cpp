// A search of the untraced host build that its poll function breaks off inside an attempt goes
// on after TakeBackAttempt from that attempt's start: the same matches as a search never broken
// off, and the lists of explored ends that the attempts before the break left still serve.
#define TARNO_HOST_BUILD
#define TARNO_UNTRACED
#include <gtest/gtest.h>

#include <string>

#include "engine/tarno.h"

namespace {

struct Break {};

// Throws at the polls whose numbers the schedule picks, at most `limit` times, so that every
// search ends.
struct Schedule {
  unsigned seed;
  int limit;
  int polls = 0;
  int breaks = 0;
  static void Poll(CMatchContext<char>*, void* user) {
    Schedule* s = static_cast<Schedule*>(user);
    ++s->polls;
    s->seed = s->seed * 1103515245u + 12345u;
    if (s->breaks < s->limit && (s->seed >> 16) % 3 != 0) {
      ++s->breaks;
      throw Break();
    }
  }
};

// Every match of the search as "start-end,group1,..." ("-" for a group that did not take part),
// separated by spaces; with a schedule, every break is taken back and the search goes on.
std::string Search(const CRegexpT<char>& re, const std::string& text, Schedule* schedule, int interval,
                   unsigned long long* steps = nullptr) {
  CMatchContext<char> ctx;
  if (schedule) ctx.SetPoll(&Schedule::Poll, schedule, interval);
  re.PrepareMatch(text.c_str(), static_cast<int>(text.size()), -1, &ctx);
  std::string out;
  for (;;) {
    MatchResult m;
    try {
      m = re.Match(&ctx);
    } catch (const Break&) {
      ctx.TakeBackAttempt();
      continue;
    }
    if (!m.IsMatched()) break;
    if (!out.empty()) out += ' ';
    out += std::to_string(m.GetStart()) + "-" + std::to_string(m.GetEnd());
    for (int g = 1; g <= re.MaxGroupNumber(); ++g)
      out += m.GetGroupStart(g) >= 0 ? "," + std::to_string(m.GetGroupStart(g)) + "-" + std::to_string(m.GetGroupEnd(g))
                                     : std::string(",-");
  }
  if (steps) *steps = ctx.Steps();
  return out;
}

TEST(PollResume, BrokenOffAttemptsFindTheSameMatches) {
  struct Row {
    const char* pattern;
    const char* subject;
  };
  // Repeats whose lists of explored ends outlive attempts, and some that keep none.
  static const Row rows[] = {
      {"(?:x+)+y", "xxxxz xxy xy xxxxxxxxy"},
      {"(?:x+){2,}(?:y|z)", "xxxxxxw xxxxz xz xxxxxxxxxxy"},
      {"(?:xx|x)+y", "xxxxxw xxxy xxxxxxxxxxxxy"},
      {"a*(?:x+)+y", "axxxq xxay axxy aaaxxxxxxy"},
      {"(?:x+)+y|x", "xxxxxxxxxx"},
      {"((?:x+)+)y", "xxw xxxy xxxxxxxxw xxxxy"},
      {"d|(?:x+){2,}(?:y|z)|x", "xxxw dz xxz xxd xxxxxxxxxxw"},
      {"(?:q|(x+)+)(?:y|z)", "xxxw qz xxz xxxxxxxxxxxy"},
      {"(a|b)(?:x+)+\\1", "bxxa axxa bxxxxxxxxb"},
      {"(?:x+)+\\b", "xx xxx xxxxxxxx"},
      {"\\b\\w+ing\\b", "sing a song of singing things ringing"},
  };
  for (const Row& row : rows) {
    CRegexpT<char> re(row.pattern);
    const std::string text = row.subject;
    const std::string want = Search(re, text, nullptr, 0);
    ASSERT_FALSE(want.empty()) << row.pattern;
    for (int interval = 1; interval <= 24; ++interval)
      for (unsigned seed = 1; seed <= 6; ++seed) {
        Schedule schedule{seed, 40};
        EXPECT_EQ(want, Search(re, text, &schedule, interval))
            << "/" << row.pattern << "/ poll every " << interval << " steps, seed " << seed;
      }
  }
}

// Most of a failing search of `(?:x+){2,}(?:y|z)` is its first attempt, which fills the lists of
// explored ends that make every later attempt cheap. Broken off in the second attempt, the
// search must go on with those lists: begun afresh, it would pay for the first attempt again.
struct BreakOnceLater {
  int breaks = 0;
  static void Poll(CMatchContext<char>* ctx, void* user) {
    BreakOnceLater* b = static_cast<BreakOnceLater*>(user);
    if (ctx->m_nBeginPos > 0 && b->breaks == 0) {
      ++b->breaks;
      throw Break();
    }
  }
};

TEST(PollResume, ABreakKeepsTheListsOfEarlierAttempts) {
  CRegexpT<char> re("(?:x+){2,}(?:y|z)");
  const std::string text(400, 'x');
  unsigned long long unbroken = 0, broken = 0;
  CMatchContext<char> ctx;
  BreakOnceLater once;
  for (int pass = 0; pass < 2; ++pass) {
    ctx.SetPoll(pass ? &BreakOnceLater::Poll : nullptr, &once, 64);
    ctx.ResetSteps();
    re.PrepareMatch(text.c_str(), static_cast<int>(text.size()), -1, &ctx);
    for (;;) {
      try {
        EXPECT_FALSE(re.Match(&ctx).IsMatched());
        break;
      } catch (const Break&) {
        ctx.TakeBackAttempt();
      }
    }
    (pass ? broken : unbroken) = ctx.Steps();
  }
  EXPECT_EQ(1, once.breaks);
  // The attempt broken off is done again; a search that lost its lists took 1.66 times the steps.
  EXPECT_LT(broken, unbroken + unbroken / 10) << "unbroken " << unbroken;
}

}  // namespace
