// The --check-backtracking command-line mode (see backtrack_command.h).
#include "app/cli/backtrack_command.h"

#include <QTextStream>

#include "app/document/backtrack/backtrack_analysis.h"
#include "app/document/backtrack/backtrack_fixes.h"
#include "app/document/backtrack/backtrack_text.h"
#include "app/host_engine.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

QString Quote(const std::u16string& s) { return backtrack::Quoted(s); }

const char kUsage[] = "usage: korvane --check-backtracking PATTERN [--flags imsxrg]";

}  // namespace

bool CBacktrackCommand::Wanted(const QStringList& arguments) {
  return arguments.contains(QLatin1String("--check-backtracking"));
}

bool CBacktrackCommand::Parse(const QStringList& arguments, QString* pattern, int* flags, QString* bad) {
  bool havePattern = false, haveFlags = false;
  *flags = 0;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == QLatin1String("--check-backtracking") && hasValue && !havePattern) {
      *pattern = arguments[++i];
      havePattern = true;
    } else if (a == QLatin1String("--flags") && hasValue && !haveFlags) {
      haveFlags = true;
      for (QChar c : arguments[++i]) {
        switch (c.unicode()) {
          case 'i': *flags |= IGNORECASE; break;
          case 's': *flags |= SINGLELINE; break;
          case 'm': *flags |= MULTILINE; break;
          case 'g': *flags |= GLOBAL; break;
          case 'r': *flags |= RIGHTTOLEFT; break;
          case 'x': *flags |= EXTENDED; break;
          default:
            *bad = arguments[i];
            return false;
        }
      }
    } else {
      *bad = a;
      return false;
    }
  }
  if (!havePattern) {
    *bad = QStringLiteral("--check-backtracking");
    return false;
  }
  return true;
}

int CBacktrackCommand::Main(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  QString pattern, bad;
  int flags = 0;
  if (!Parse(arguments, &pattern, &flags, &bad)) {
    err << "korvane: wrong argument: " << bad << Qt::endl << kUsage << Qt::endl;
    return EXIT_USAGE;
  }
  const std::u16string p(reinterpret_cast<const char16_t*>(pattern.utf16()), static_cast<size_t>(pattern.size()));
  backtrack::Report r = backtrack::Analyze(p, flags);
  out << QString::fromStdString(backtrack::VerdictText(r)) << Qt::endl;
  const int worst = r.Worst();
  for (size_t i = 0; i < r.findings.size(); ++i) {
    const backtrack::Finding& f = r.findings[i];
    if (f.points.empty() && !f.confirmed) continue;  // never measured
    out << (static_cast<int>(i) == worst ? "finding" : "other finding") << ": ";
    if (f.confirmed)
      out << (f.measured == backtrack::EXPONENTIAL ? QStringLiteral("exponential, confirmed")
                                                   : QStringLiteral("polynomial of degree %1, confirmed").arg(f.measuredDegree));
    else
      out << (f.kind == backtrack::EXPONENTIAL ? "exponential" : "polynomial") << " predicted, not confirmed";
    out << Qt::endl << "  repeats:";
    for (const std::pair<int, int>& s : f.spans)
      out << ' ' << pattern.mid(s.first, s.second - s.first) << " (" << s.first << '-' << s.second << ')';
    out << Qt::endl
        << "  witness: prefix " << Quote(f.witness.prefix) << ", pump " << Quote(f.witness.pump) << " x n, suffix "
        << Quote(f.witness.suffix) << Qt::endl
        << "  steps:";
    for (const backtrack::StepPoint& pt : f.points) out << " n=" << pt.n << ':' << pt.steps << (pt.cut ? "+" : "");
    out << Qt::endl;
  }
  if (worst >= 0) {
    // The same rewrites the pane offers: the proven ones, then those that change the meaning,
    // each with the text on which it does.
    const std::vector<backtrack::Fix> fixes = backtrack::ProposeFixes(p, flags, r, {});
    bool proven = false;
    for (const backtrack::Fix& fix : fixes) proven = proven || fix.proven;
    if (!proven) out << CStringTable::Str(IDS_BT_CLI_NONE) << Qt::endl;
    for (const backtrack::Fix& fix : fixes) {
      const QString rewritten = QString::fromUtf16(fix.pattern.data(), static_cast<int>(fix.pattern.size()));
      const QString verdict = QString::fromStdString(backtrack::VerdictText(fix.report));
      if (fix.proven)
        out << CStringTable::FormatStrings(CStringTable::Str(IDS_BT_CLI_PROVEN),
                                           {backtrack::FixKindText(fix.kind), rewritten, verdict, QString::number(fix.subjects)});
      else
        out << CStringTable::FormatStrings(CStringTable::Str(IDS_BT_CLI_CHANGE),
                                           {backtrack::FixKindText(fix.kind), rewritten, verdict,
                                            backtrack::DifferenceText(fix.differs)});
      out << Qt::endl;
    }
  }
  switch (r.verdict) {
    case backtrack::LINEAR: return EXIT_LINEAR;
    case backtrack::POLYNOMIAL: return EXIT_POLYNOMIAL;
    case backtrack::EXPONENTIAL: return EXIT_EXPONENTIAL;
    default: return EXIT_NOT_ANALYSED;
  }
}
