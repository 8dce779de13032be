// "korvane --check-backtracking PATTERN [--flags imsxr]": the backtracking analysis without a
// window. Prints the verdict for a classic backtracking matcher, the repeats responsible, the
// witness and the measured step counts.
//
// Exit codes: 0 linear, 3 polynomial, 4 exponential, 2 wrong arguments, 1 not analysed (the
// pattern is beyond the analysis' bounds).
//
// Covered by app/cli/tests/check_backtracking_cli.cmake.
#ifndef KORVANE_BACKTRACK_COMMAND_H
#define KORVANE_BACKTRACK_COMMAND_H

#include <QString>
#include <QStringList>

class QTextStream;

class CBacktrackCommand {
 public:
  enum { EXIT_LINEAR = 0, EXIT_NOT_ANALYSED = 1, EXIT_USAGE = 2, EXIT_POLYNOMIAL = 3, EXIT_EXPONENTIAL = 4 };

  static bool Wanted(const QStringList& arguments);
  // Parses "--check-backtracking PATTERN [--flags LETTERS]"; false with the offending argument
  // in `bad`. Flag letters: i ignore case, s single line, m multiline, x extended, r right to
  // left, g global.
  static bool Parse(const QStringList& arguments, QString* pattern, int* flags, QString* bad);
  static int Main(const QStringList& arguments, QTextStream& out, QTextStream& err);
};

#endif
