// Test cases of a pattern: a named subject text with the options it runs with and one
// expectation of what the pattern gives for it. A test set is what the document and each
// snapshot keep. Standard library only, so that the workspace reader and its fuzz target need
// nothing else; running a test is in test_eval.h.
//
// Covered by app/document/testing/tests/test_cases_test.cpp and workspace_file_test.cpp.
#ifndef KORVANE_TEST_CASES_H
#define KORVANE_TEST_CASES_H

#include <memory>
#include <vector>

using TestText = std::vector<unsigned short>;

// What a test expects. The numbers are stored in workspace files: never renumber.
enum ETestExpectation {
  EXPECT_MATCH = 0,       // a match anywhere in the subject
  EXPECT_NO_MATCH = 1,    // no match anywhere
  EXPECT_WHOLE = 2,       // the pattern matches the whole subject (as MatchExact does)
  EXPECT_MATCH_LIST = 3,  // exactly these matches, in the order a search finds them
  EXPECT_REPLACED = 4,    // replacing every match with the replace-to text gives this text
  EXPECT_SPLIT = 5        // splitting at every match gives these pieces
};
constexpr int kExpectationKinds = 6;

// How long one test may run, in milliseconds: a setting of the workspace (saved with it), the
// same for every test of the set.
constexpr int kDefaultTestTimeLimitMs = 500;
constexpr int kMinTestTimeLimitMs = 1;
constexpr int kMaxTestTimeLimitMs = 3600 * 1000;
inline int ClampTestTimeLimit(long long ms) {
  return ms < kMinTestTimeLimitMs ? kMinTestTimeLimitMs : ms > kMaxTestTimeLimitMs ? kMaxTestTimeLimitMs : static_cast<int>(ms);
}

// One expected match of EXPECT_MATCH_LIST: its span and, when the test compares groups, the
// text each group 1..n captured (a group that took no part captures the empty text).
struct TestMatch {
  int start = 0;
  int end = 0;
  std::vector<TestText> groups;
  bool operator==(const TestMatch& o) const { return start == o.start && end == o.end && groups == o.groups; }
  bool operator!=(const TestMatch& o) const { return !(*this == o); }
};

// The subject and the expected replaced text may be large (tens of megabytes). They are held
// through shared pointers to constant text, so copying a test (the undo history, snapshots,
// the runner's own copy) never copies them; setting one replaces the pointer, never the text
// another copy sees.
struct TestCase {
  TestText name;
  bool ownOptions = false;  // false: the test runs with the workspace's options
  int flags = 0;            // the test's own options (compile flags) when ownOptions
  int expectation = EXPECT_MATCH;
  bool withGroups = false;  // EXPECT_MATCH_LIST: compare every group's capture too
  std::vector<TestMatch> matches;  // EXPECT_MATCH_LIST
  std::vector<TestText> pieces;    // EXPECT_SPLIT
  // The other languages' engines the test must pass in as well, by flavour name ("python",
  // "js", as the command line names them), in the order chosen; Korvane is always implied.
  std::vector<TestText> mustPassIn;

  TestCase() : m_subject(Empty()), m_replaced(Empty()) {}

  const TestText& Subject() const { return *m_subject; }
  void SetSubject(TestText text) { m_subject = std::make_shared<const TestText>(std::move(text)); }
  const std::shared_ptr<const TestText>& SharedSubject() const { return m_subject; }
  // EXPECT_REPLACED: the expected text.
  const TestText& Replaced() const { return *m_replaced; }
  void SetReplaced(TestText text) { m_replaced = std::make_shared<const TestText>(std::move(text)); }
  const std::shared_ptr<const TestText>& SharedReplaced() const { return m_replaced; }
  // Takes texts that others share (the workspace reader); a null pointer stands for the empty
  // text.
  void ShareSubject(std::shared_ptr<const TestText> text) { m_subject = text ? std::move(text) : Empty(); }
  void ShareReplaced(std::shared_ptr<const TestText> text) { m_replaced = text ? std::move(text) : Empty(); }

  // The options the test runs with when the workspace has `workspaceFlags`.
  int EffectiveFlags(int workspaceFlags) const { return ownOptions ? flags : workspaceFlags; }

  bool operator==(const TestCase& o) const {
    return name == o.name && ownOptions == o.ownOptions && (!ownOptions || flags == o.flags) &&
           expectation == o.expectation && withGroups == o.withGroups && matches == o.matches &&
           pieces == o.pieces && mustPassIn == o.mustPassIn && Subject() == o.Subject() && Replaced() == o.Replaced();
  }
  bool operator!=(const TestCase& o) const { return !(*this == o); }

 private:
  static const std::shared_ptr<const TestText>& Empty() {
    static const std::shared_ptr<const TestText> empty = std::make_shared<const TestText>();
    return empty;
  }
  std::shared_ptr<const TestText> m_subject;   // never null
  std::shared_ptr<const TestText> m_replaced;  // never null
};

using TestSet = std::vector<TestCase>;

#endif
