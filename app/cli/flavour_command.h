// "korvane --flavours PATTERN --subject TEXT [--subject TEXT]... [--flags imsx] [--only LIST]
// [--json]": the pattern in Korvane and in every flavour (or those of LIST, comma-separated
// names), on each subject, without a window. Prints a matrix, one row per flavour: Korvane's own
// matches, then for each flavour same / differs (with its matches) / error / timeout / not
// installed / text not representable; or, with --json, one JSON array with one object per
// flavour (per flavour and subject, with a "subject" index, when there are several subjects):
//   {"flavour": "python", "engine": "CPython re", "version": "3.11.2", "status": "same",
//    "error": "..." (status error only), "matches": [{"span": [0, 4], "groups": [[0, 4], null]}]}
// spans in UTF-16 units of the subject, every match of a find-all.
//
// Exit codes: 0 every flavour that ran agrees with Korvane (a missing flavour, a time-out and a
// text it cannot take do not count), 1 one differs or fails to compile (or its runner failed),
// 2 wrong arguments.
//
// Covered by app/cli/tests/flavour_command_test.cpp.
#ifndef KORVANE_FLAVOUR_COMMAND_H
#define KORVANE_FLAVOUR_COMMAND_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "app/flavours/flavour_answer.h"

class QTextStream;

class CFlavourCommand {
 public:
  enum { EXIT_AGREE = 0, EXIT_DIFFER = 1, EXIT_USAGE = 2 };

  struct Options {
    QString pattern;
    QStringList subjects;
    QString flags;
    QStringList flavours;  // korvane first, then the ones asked for
    bool json = false;
  };

  static bool Wanted(const QStringList& arguments);
  // False with the offending argument in `bad`.
  static bool Parse(const QStringList& arguments, Options* out, QString* bad);
  static int Main(const QStringList& arguments, QTextStream& out, QTextStream& err);

  // The parts, given every flavour's answer, korvane's first.
  static QByteArray Json(const Options& o, const std::vector<FlavourAnswer>& answers);
  static QString Matrix(const Options& o, const std::vector<FlavourAnswer>& answers);
  static int ExitCode(const std::vector<FlavourAnswer>& answers);
};

#endif
