// Small builders of test cases for the testing folder's own tests: ASCII text as units, a test of
// one subject and expectation, an expected match with its groups' texts.
#ifndef KORVANE_TESTING_TESTS_TEST_CASE_BUILDERS_H
#define KORVANE_TESTING_TESTS_TEST_CASE_BUILDERS_H

#include <string>
#include <vector>

#include "app/document/testing/test_cases.h"

inline TestText U(const std::string& s) { return TestText(s.begin(), s.end()); }

inline TestCase Make(const std::string& subject, int expectation) {
  TestCase t;
  t.name = U("t");
  t.SetSubject(U(subject));
  t.expectation = expectation;
  return t;
}

inline TestMatch M(int a, int b, std::vector<std::string> groups = {}) {
  TestMatch m;
  m.start = a;
  m.end = b;
  for (const std::string& g : groups) m.groups.push_back(U(g));
  return m;
}

#endif
