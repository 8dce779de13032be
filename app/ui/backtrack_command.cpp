// The --check-backtracking command-line mode (see backtrack_command.h).
#include "app/ui/backtrack_command.h"

#include <QTextStream>

#include "app/document/backtrack_analysis.h"
#include "app/document/backtrack_fixes.h"

namespace {

// A witness part as a quoted C-like literal, so that blanks and control characters show.
QString Quote(const std::u16string& s) {
  QString out = QStringLiteral("\"");
  for (char16_t c : s) {
    if (c == '"' || c == '\\') {
      out += QLatin1Char('\\');
      out += QChar(c);
    } else if (c == '\n') {
      out += QStringLiteral("\\n");
    } else if (c == '\t') {
      out += QStringLiteral("\\t");
    } else if (c < 32 || c == 127) {
      out += QStringLiteral("\\x%1").arg(static_cast<int>(c), 2, 16, QLatin1Char('0'));
    } else {
      out += QChar(c);
    }
  }
  return out + QLatin1Char('"');
}

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
          case 'i': *flags |= 0x08; break;
          case 's': *flags |= 0x01; break;
          case 'm': *flags |= 0x02; break;
          case 'g': *flags |= 0x04; break;
          case 'r': *flags |= 0x10; break;
          case 'x': *flags |= 0x20; break;
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
    // The same rewrites the pane offers, proven on the witnesses and generated texts.
    static const char* const kKinds[] = {"possessive", "atomic", "drop branch", "exclusive class"};
    const std::vector<backtrack::Fix> fixes = backtrack::ProposeFixes(p, flags, r, {});
    if (fixes.empty()) out << "proven fixes: none" << Qt::endl;
    for (const backtrack::Fix& fix : fixes)
      out << "proven fix (" << kKinds[fix.kind] << "): "
          << QString::fromUtf16(fix.pattern.data(), static_cast<int>(fix.pattern.size())) << "  -> "
          << QString::fromStdString(backtrack::VerdictText(fix.report)) << ", same matches on " << fix.subjects
          << " texts" << Qt::endl;
  }
  switch (r.verdict) {
    case backtrack::LINEAR: return EXIT_LINEAR;
    case backtrack::POLYNOMIAL: return EXIT_POLYNOMIAL;
    case backtrack::EXPONENTIAL: return EXIT_EXPONENTIAL;
    default: return EXIT_NOT_ANALYSED;
  }
}
