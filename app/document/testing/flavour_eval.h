// A workspace's tests in another language's engine: the requests that run them (one per set of
// options the tests run with) and each test judged from that engine's find-all with the same
// rules as in Korvane (JudgeActual, test_eval.h).
//
// What an engine's find-all can decide is judged; what it cannot is skipped, never passed:
//   match, no match, match list (groups too)  judged from the matches
//   split                                     the pieces between the engine's matches (the one split rule)
//   whole text                                passes when a match found spans the whole text, else skipped:
//                                             a find-all does not try every way to match the whole
//   replaced text                             skipped: the replace-to text is in Korvane's syntax
//   right-to-left options                     skipped: no other engine searches that way
// A skipped test has TEST_NOT_RUN and its reason; a test whose engine is missing or cannot take
// the subject is skipped too. A pattern the engine rejects is an error for every test.
//
// Covered by app/document/testing/tests/flavour_eval_test.cpp.
#ifndef KORVANE_DOCUMENT_TESTING_FLAVOUR_EVAL_H
#define KORVANE_DOCUMENT_TESTING_FLAVOUR_EVAL_H

#include <QString>
#include <vector>

#include "app/document/testing/test_cases.h"
#include "app/document/testing/test_eval.h"
#include "app/flavours/flavour_answer.h"

// The tests of a set that run with one set of options, and the request that asks a flavour for
// all of them at once (their subjects in the order of `tests`).
struct FlavourTestBatch {
  std::vector<int> tests;  // indexes into the set
  FlavourRequest request;
};

// The batches for a set; a test that cannot be asked (right to left) is in no batch and gets its
// skipped result in `skipped` (one entry per test, TEST_PASS for the ones in a batch).
std::vector<FlavourTestBatch> FlavourTestBatches(const TestText& pattern, int workspaceFlags, const TestSet& tests,
                                                 int timeLimitMs, std::vector<TestResult>* skipped);

// Test `test` judged from `answer`, the flavour's answer to the batch in which the test's
// subject is subject `subject`.
TestResult JudgeInFlavour(const TestCase& test, const FlavourAnswer& answer, int subject);

// Counts for a flavour's summary line: passed, failed (fail, time-out, error), skipped.
void CountFlavourResults(const std::vector<TestResult>& results, int* passed, int* failed, int* skipped);

#endif
