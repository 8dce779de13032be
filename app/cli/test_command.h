// The command-line modes that need no window and no display: "--run-tests" runs the tests kept
// in a workspace file, prints one line per test and a summary, and optionally writes JUnit XML;
// "--help" prints the usage, "--version" the program's version, and an option nobody knows is
// refused with the usage. main() asks Wanted() before it creates any application object, and
// runs these under a QCoreApplication.
//
//   korvane --run-tests FILE.rws [--snapshot NAME] [--flavour LIST] [--junit FILE.xml]
//
// With --flavour (comma-separated flavour names, as --flavours takes them) the tests also run in
// each named flavour's engine (flavour_eval.h): one line per test and flavour, a summary line per
// flavour; what a flavour cannot decide, and every test of a flavour that is not installed, is
// skipped, never passed. The JUnit file then holds a suite per flavour as well.
//
// Exit codes: 0 every test passed (also when there are none) in Korvane and in every flavour
// asked, skipped ones aside; 1 a test failed, timed out or had no answer; 2 the workspace cannot
// be read, is not a workspace, has no such snapshot, the arguments are wrong, or the JUnit file
// cannot be written.
//
// Covered by app/cli/tests/test_command_test.cpp.
#ifndef KORVANE_TEST_COMMAND_H
#define KORVANE_TEST_COMMAND_H

#include <QString>
#include <QStringList>
#include <vector>

#include "app/document/testing/test_eval.h"

class QTextStream;

class CTestCommand {
 public:
  enum { NONE = 0, RUN_TESTS = 1, HELP = 2, VERSION = 3, BAD_OPTION = 4, CHECK_BACKTRACKING = 5, FLAVOURS = 6,
         CONVERT = 7 };
  enum { EXIT_PASSED = 0, EXIT_FAILED = 1, EXIT_UNREADABLE = 2 };

  // Which mode the raw arguments ask for (NONE: start the window as usual). A "--" option that
  // neither this program nor Qt's application object knows is BAD_OPTION, so that it is refused
  // before anything needs a display.
  static int Wanted(int argc, char** argv);
  // The first option left in a window start's arguments (after Qt took its own) that the window
  // does not know, or an empty string.
  static QString UnknownWindowOption(const QStringList& arguments);
  // Prints the refusal of `option` and the usage to `err`; returns the exit code.
  static int RefuseOption(const QString& option, QTextStream& err);

  struct Options {
    QString workspace;
    QString snapshot;
    bool useSnapshot = false;
    QString junit;
    QStringList flavours;  // other engines the tests run in as well
  };
  // Parses "--run-tests FILE [--snapshot NAME] [--flavour LIST] [--junit FILE]" (arguments[0] is
  // the program); an unknown flavour name is a wrong argument.
  // False with the offending argument in `bad` when an option is unknown or lacks its value.
  static bool Parse(const QStringList& arguments, Options* out, QString* bad);

  // The whole mode: reads the workspace, runs its tests (or a snapshot's), prints the lines and
  // the summary to `out` and problems to `err`, writes the JUnit file when asked. Returns the
  // exit code.
  static int RunTests(const Options& options, QTextStream& out, QTextStream& err);
  // The whole "--run-tests", "--help", "--version" or refused-option mode on the application's
  // arguments.
  static int Main(const QStringList& arguments);

  // JUnit XML for one suite: the tests' names and results. Characters XML cannot carry are
  // written as U+FFFD. A result not run is written as skipped.
  struct Suite {
    QString name;
    std::vector<TestResult> results;  // one per test of the set
  };
  static QByteArray JUnitXml(const QString& suite, const TestSet& tests, const std::vector<TestResult>& results);
  // The same with several suites over one test set (Korvane's, then one per flavour).
  static QByteArray JUnitXml(const std::vector<Suite>& suites, const TestSet& tests);
};

#endif
