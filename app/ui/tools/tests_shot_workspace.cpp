// tests_shot_workspace: writes the workspace that app/ui/tools/tests_pane_shot.sh opens for the
// README's picture of the Tests pane: a date pattern with a replace-to text and tests of every
// kind, most passing, two failing (a two-digit year, a list of matches that misses one), and one
// that must pass in Python and JavaScript as well and fails in Python.
//   tests_shot_workspace OUTPUT.rws
#include <QCoreApplication>
#include <QFile>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/test_session.h"
#include "stringtable.h"

namespace {
TestText U16(const char* s) {
  const QString q = QString::fromUtf8(s);
  return TestText(q.utf16(), q.utf16() + q.size());
}

TestCase Test(const char* name, const char* subject, int expectation) {
  TestCase t;
  t.name = U16(name);
  t.SetSubject(U16(subject));
  t.expectation = expectation;
  return t;
}

TestMatch Span(int start, int end) {
  TestMatch m;
  m.start = start;
  m.end = end;
  return m;
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  CStringTable::SetCurrent(CStringTable::kEnglish);
  CKorvaneDoc doc(nullptr);
  doc.OnNewDocument();
  const TestText pattern = U16("(\\d{4})-(\\d{2})-(\\d{2})");
  const TestText subject = U16("Released on 2024-03-15, patched 2024-04-02.");
  const TestText replaceTo = U16("$3.$2.$1");
  doc.SetPattern(pattern.data(), static_cast<int>(pattern.size()), false);
  doc.SetSubjectText(subject.data(), static_cast<int>(subject.size()));
  doc.SetReplaceTo(replaceTo.data(), static_cast<int>(replaceTo.size()));

  TestSet tests;
  tests.push_back(Test("ISO date in a sentence", "Released on 2024-03-15.", EXPECT_MATCH));
  TestCase two = Test("Two dates", "From 2023-01-01 to 2023-12-31", EXPECT_MATCH_LIST);
  two.matches = {Span(5, 15), Span(19, 29)};
  tests.push_back(two);
  tests.push_back(Test("Whole text is a date", "2024-03-15", EXPECT_WHOLE));
  tests.push_back(Test("No date in prose", "See you next week.", EXPECT_NO_MATCH));
  tests.push_back(Test("US dates are not ISO", "03/15/2024", EXPECT_NO_MATCH));
  tests.push_back(Test("Two-digit year", "Due 24-03-15", EXPECT_MATCH));
  TestCase three = Test("Three dates", "2021-05-01, 2022-06-02 and 2023-07-03", EXPECT_MATCH_LIST);
  three.matches = {Span(0, 10), Span(12, 22)};
  tests.push_back(three);
  TestCase reformat = Test("Day first", "on 2024-03-15", EXPECT_REPLACED);
  reformat.SetReplaced(U16("on 15.03.2024"));
  tests.push_back(reformat);
  TestCase pieces = Test("Split at dates", "a2024-01-01b2024-02-02c", EXPECT_SPLIT);
  pieces.pieces = {U16("a"), U16("b"), U16("c")};
  tests.push_back(pieces);
  // Digits of another script are no date here, and must not be in Python or JavaScript either:
  // Python's \d takes them, so the list marks the test.
  TestCase arabic = Test("Arabic-Indic digits", "\u0662\u0660\u0662\u0664-\u0660\u0663-\u0661\u0665", EXPECT_NO_MATCH);
  arabic.mustPassIn = {U16("python"), U16("js")};
  tests.push_back(arabic);
  doc.Tests().Set(tests);

  const std::string bytes = doc.WorkspaceBytes();
  QFile out(QString::fromLocal8Bit(argv[1]));
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
    return 1;
  return 0;
}
