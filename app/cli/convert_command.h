// "korvane --convert PATTERN --to FLAVOUR [--flags imsx] [--subject TEXT]... [--json]": the
// pattern rewritten for another flavour's engine, then run there and in Korvane on each subject.
// Prints the converted pattern, how many subjects gave the same matches and groups (read through
// the group map where the target numbers its groups otherwise), and which did not; or, for each
// construct that has no equivalent, the reason. With --json one object:
//   {"flavour": "python", "pattern": "...", "flags": "", "verified": 2, "of": 2, "refused": [],
//    "engine": "CPython re 3.11.2", "groups": [0, 2, 1], "differing": [], "error": "..."}
// ("groups": Korvane's group k is the target's groups[k]; "error" only when the target refused
// the converted pattern or is not installed).
//
// Exit codes: 0 converted and the same on every subject (a target that compiled it, when no
// subject is given), 1 refused, not the same on a subject, or the target failed, 2 wrong
// arguments.
//
// Covered by app/cli/tests/convert_command_test.cpp.
#ifndef KORVANE_CONVERT_COMMAND_H
#define KORVANE_CONVERT_COMMAND_H

#include <QString>
#include <QStringList>

class QTextStream;

class CConvertCommand {
 public:
  enum { EXIT_VERIFIED = 0, EXIT_NOT_VERIFIED = 1, EXIT_USAGE = 2 };

  struct Options {
    QString pattern;
    QString flavour;
    QString flags;
    QStringList subjects;
    bool json = false;
  };

  static bool Wanted(const QStringList& arguments);
  // False with the offending argument in `bad`.
  static bool Parse(const QStringList& arguments, Options* out, QString* bad);
  static int Main(const QStringList& arguments, QTextStream& out, QTextStream& err);
};

#endif
