// nesting_stack: measures how many bytes of call stack one nesting level of the matcher takes, for
// recursive patterns that nest through every kind of composite element. The default nesting
// limit (TARNO_MAX_NESTING, engine/tarno/config.h) is a stack budget divided by the largest of
// these figures, so run this in each build that matters (Release, RelWithDebInfo, Debug with
// AddressSanitizer) after a change to the elements' Match and MatchNext.
//
// Each pattern runs on a thread whose stack is a buffer painted with a known byte; after the
// search, the lowest byte that is no longer paint shows how deep the stack went. Two depths of
// recursion give the bytes per recursion, and the least nesting limit at which each depth still
// matches gives the levels per recursion.
//
//   nesting_stack_plain, nesting_stack_host      (one build each; POSIX threads)
//
// bench/ is built without sanitizers; for the AddressSanitizer figures compile it by hand, e.g.
//   g++ -std=c++17 -O0 -g -fsanitize=address,undefined -I. bench/nesting_stack.cpp -lpthread
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/tarno.h"

namespace {

struct StackCase {
  const char* name;
  const char* pattern;
  const char* open;   // the subject is `open` k times, then `middle`, then `close` k - `fewer`
  const char* middle; // times; the match must span from `fewer` to the end
  const char* close;
  int fewer;
};

// The cases with one closing character fewer fail at the first position only after the search
// has backtracked through every level (MatchNext all the way down), then match from the second.
const StackCase kCases[] = {
    {"list, greedy ?", "a(?R)?b", "a", "", "b", 0},
    {"alternative, greedy *", "\\((?:[^()]|(?R))*\\)", "(", "", ")", 0},
    {"capture group", "(a(?1)?b)", "a", "", "b", 0},
    {"reluctant ??", "a(?R)??b", "a", "", "b", 0},
    {"possessive ?+", "a(?R)?+b", "a", "", "b", 0},
    {"independent", "a(?>(?R)|c)b", "a", "c", "b", 0},
    {"conditional", "a(?(?=a)(?R)|c)b", "a", "c", "b", 0},
    {"fixed {1}", "a(?:(?R)|c){1}b", "a", "c", "b", 0},
    {"look-ahead", "a(?=[ac])(?:(?=a)(?R)|c)b", "a", "c", "b", 0},
    {"retry: greedy ?", "a(?R)?b", "a", "", "b", 1},
    {"retry: greedy *", "\\((?:[^()]|(?R))*\\)", "(", "", ")", 1},
    {"retry: capture group", "(a(?1)?b)", "a", "", "b", 1},
    {"retry: reluctant ??", "a(?R)??b", "a", "", "b", 1},
    {"retry: conditional", "a(?(?=a)(?R)|c)b", "a", "c", "b", 1},
    {"retry: fixed {1}", "a(?:(?R)|c){1}b", "a", "c", "b", 1},
};

const size_t kStackBytes = size_t(64) << 20;
const unsigned char kPaint = 0xA5;

struct Job {
  const StackCase* c;
  int depth;
  int limit;
  bool matched;
  bool cut;
};

void* Run(void* arg) {
  Job* job = static_cast<Job*>(arg);
  std::string text;
  for (int i = 0; i < job->depth; ++i) text += job->c->open;
  text += job->c->middle;
  for (int i = job->c->fewer; i < job->depth; ++i) text += job->c->close;
  CRegexpT<char> re(job->c->pattern);
  CMatchContext<char> ctx;
  ctx.m_nMaxNesting = job->limit;
  re.PrepareMatch(text.c_str(), static_cast<int>(text.size()), -1, &ctx);
  MatchResult m = re.Match(&ctx);
  job->matched = m.IsMatched() && m.GetStart() == job->c->fewer && m.GetEnd() == static_cast<int>(text.size());
  job->cut = m.HitNestingLimit();
  return nullptr;
}

// Runs one search on a painted stack; returns the bytes of stack it used.
size_t Measure(unsigned char* stack, Job& job) {
  std::memset(stack, kPaint, kStackBytes);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstack(&attr, stack, kStackBytes);
  pthread_t thread;
  if (pthread_create(&thread, &attr, Run, &job) != 0) {
    std::fprintf(stderr, "nesting_stack: cannot start a thread\n");
    std::exit(1);
  }
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  size_t untouched = 0;
  while (untouched < kStackBytes && stack[untouched] == kPaint) ++untouched;
  return kStackBytes - untouched;
}

// The least nesting limit at which the search at `depth` matches the whole subject.
int LevelsNeeded(unsigned char* stack, const StackCase& c, int depth) {
  int lo = 1, hi = 64 * depth + 64;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    Job job = {&c, depth, mid, false, false};
    Measure(stack, job);
    if (job.matched)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

}  // namespace

int main() {
  unsigned char* stack = static_cast<unsigned char*>(std::aligned_alloc(4096, kStackBytes));
  if (!stack) return 1;
  const int shallow = 200, deep = 1200;
  double worst = 0;
  std::printf("%s build, TARNO_MAX_NESTING %d\n", TARNO_HOST ? "host" : "plain", TARNO_MAX_NESTING);
  std::printf("%-24s %16s %14s %14s\n", "nesting through", "levels/recursion", "bytes/level", "bytes at 1200");
  for (const StackCase& c : kCases) {
    int levels1 = LevelsNeeded(stack, c, shallow), levels2 = LevelsNeeded(stack, c, deep);
    Job a = {&c, shallow, 1 << 22, false, false}, b = {&c, deep, 1 << 22, false, false};
    size_t used1 = Measure(stack, a), used2 = Measure(stack, b);
    if (!a.matched || !b.matched) {
      std::printf("%-24s does not match its subject\n", c.name);
      continue;
    }
    double perLevel = double(used2 - used1) / double(levels2 - levels1);
    if (perLevel > worst) worst = perLevel;
    std::printf("%-24s %16.2f %14.1f %14zu\n", c.name, double(levels2 - levels1) / (deep - shallow), perLevel, used2);
  }
  std::printf("largest: %.1f bytes per level\n", worst);
  std::free(stack);
  return 0;
}
