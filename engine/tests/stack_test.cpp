// The default nesting limit fits its stack budget: recursions that run into the limit, through
// every kind of composite element, on the way in and while backtracking, run in each of the
// engines on a thread whose stack is the budget plus room for the test's own frames. Were the
// bytes per level of config.h too small for this build, the thread would overflow its stack and
// the test binary would crash. (bench/nesting_stack measures the figures themselves.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tarno.h"
#include "engine/tests/builds.h"

#if defined(__unix__) || defined(__APPLE__)
#include <pthread.h>

namespace tarno_test {
namespace {

struct DeepCase {
  const char* pattern;
  const char* open;
  const char* middle;
  const char* close;
  int fewer;  // closing characters left out: the search backtracks through every level first
};

const DeepCase kDeep[] = {
    {"a(?R)?b", "a", "", "b", 0},
    {"a(?R)?b", "a", "", "b", 1},
    {"\\((?:[^()]|(?R))*\\)", "(", "", ")", 0},
    {"\\((?:[^()]|(?R))*\\)", "(", "", ")", 1},
    {"(a(?1)?b)", "a", "", "b", 1},
    {"a(?R)??b", "a", "", "b", 1},
    {"a(?R)?+b", "a", "", "b", 0},
    {"a(?>(?R)|c)b", "a", "c", "b", 0},
    {"a(?(?=a)(?R)|c)b", "a", "c", "b", 1},
    {"a(?:(?R)|c){1}b", "a", "c", "b", 1},
};

struct Job {
  std::vector<std::string> outcomes;
};

void* RunDeep(void* arg) {
  Job* job = static_cast<Job*>(arg);
  // Deep enough to reach the limit in every build: at least two levels per recursion.
  const int depth = TARNO_MAX_NESTING / 2 + 10;
  for (const DeepCase& c : kDeep) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += c.open;
    text += c.middle;
    for (int i = c.fewer; i < depth; ++i) text += c.close;
    for (const Engine* e : AllEngines())
      job->outcomes.push_back(std::string(e->Name()) + " /" + c.pattern + "/ " +
                              e->Matches(U(c.pattern), 0, U(text)));
  }
  return nullptr;
}

TEST(NestingLimit, DeepestRecursionFitsTheStackBudget) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  ASSERT_EQ(0, pthread_attr_setstacksize(&attr, TARNO_STACK_BUDGET + 512 * 1024));
  Job job;
  pthread_t thread;
  ASSERT_EQ(0, pthread_create(&thread, &attr, RunDeep, &job));
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  ASSERT_EQ(AllEngines().size() * (sizeof kDeep / sizeof kDeep[0]), job.outcomes.size());
  // Every one of them ran into the limit: the search stops without an answer. (A cut can come
  // after some matches: those within the limit further on.)
  for (const std::string& o : job.outcomes)
    EXPECT_EQ("cut", o.substr(o.size() < 3 ? 0 : o.size() - 3)) << o.substr(0, 80);
}

}  // namespace
}  // namespace tarno_test

#endif
