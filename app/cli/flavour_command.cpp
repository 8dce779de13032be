// The --flavours command-line mode (see flavour_command.h).
#include "app/cli/flavour_command.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "app/flavours/flavour_compare.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/flavour_table.h"
#include "app/flavours/korvane_column.h"

namespace {

const char kUsage[] =
    "usage: korvane --flavours PATTERN --subject TEXT [--subject TEXT]... [--flags imsx] [--only LIST] [--json]";

// A subject or a message on one line: breaks, tabs and other controls written as escapes.
QString Escaped(const QString& s) {
  QString out;
  for (QChar c : s) {
    switch (c.unicode()) {
      case '\n': out += QStringLiteral("\\n"); break;
      case '\r': out += QStringLiteral("\\r"); break;
      case '\t': out += QStringLiteral("\\t"); break;
      case '"': out += QStringLiteral("\\\""); break;
      case '\\': out += QStringLiteral("\\\\"); break;
      default:
        if (c.unicode() < 0x20)
          out +=  QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
          out += c;
    }
  }
  return out;
}

QString Span(int s, int e) { return s < 0 ? QStringLiteral("-") : QStringLiteral("%1-%2").arg(s).arg(e); }

// "0-4 (0-4, -)  5-9 (...)": at most three matches, then how many more.
QString MatchesText(const SubjectAnswer& a) {
  if (a.matches.empty()) return QStringLiteral("no match");
  QStringList parts;
  for (size_t i = 0; i < a.matches.size() && i < 3; ++i) {
    const FlavourMatch& m = a.matches[i];
    QString one = Span(m[0], m[1]);
    if (m.size() > 2) {
      QStringList groups;
      for (size_t g = 2; g + 1 < m.size(); g += 2) groups << Span(m[g], m[g + 1]);
      one += QStringLiteral(" (") + groups.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    parts << one;
  }
  if (a.matches.size() > 3) parts << QStringLiteral("+%1 more").arg(a.matches.size() - 3);
  if (a.truncated) parts << QStringLiteral("(cut short)");
  return parts.join(QStringLiteral("  "));
}

// The engine and its version as the runner reported them, cut to a column's width (Mono's
// version alone runs to 80 characters); --json gives them whole.
QString Header(const FlavourAnswer& a) {
  if (a.engine.isEmpty()) return QStringLiteral("-");
  const QString h = a.version.isEmpty() ? a.engine : a.engine + QLatin1Char(' ') + a.version;
  const int kMax = 44;
  return h.size() > kMax ? h.left(kMax - 3) + QStringLiteral("...") : h;
}

// A message on one line: breaks and other controls written as escapes, the rest as it is.
QString OneLine(const QString& s) {
  QString out;
  for (QChar c : s) {
    if (c == QLatin1Char('\n')) out += QStringLiteral("\\n");
    else if (c.unicode() < 0x20) out += QLatin1Char(' ');
    else out += c;
  }
  return out;
}

QString Padded(const QString& s, int width) { return s.size() >= width ? s + QLatin1Char(' ') : s.leftJustified(width); }

}  // namespace

bool CFlavourCommand::Wanted(const QStringList& arguments) { return arguments.contains(QLatin1String("--flavours")); }

bool CFlavourCommand::Parse(const QStringList& arguments, Options* out, QString* bad) {
  bool havePattern = false, haveFlags = false, haveOnly = false;
  QStringList only;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == QLatin1String("--flavours") && hasValue && !havePattern) {
      out->pattern = arguments[++i];
      havePattern = true;
    } else if (a == QLatin1String("--subject") && hasValue) {
      out->subjects << arguments[++i];
    } else if (a == QLatin1String("--flags") && hasValue && !haveFlags) {
      haveFlags = true;
      out->flags = arguments[++i];
      int bits = 0;
      if (!KorvaneFlagBits(out->flags, &bits)) {
        *bad = out->flags;
        return false;
      }
    } else if (a == QLatin1String("--only") && hasValue && !haveOnly) {
      haveOnly = true;
      only = arguments[++i].split(QLatin1Char(','), Qt::SkipEmptyParts);
      for (QString& f : only) f = f.trimmed();
      for (const QString& f : only) {
        if (!FindFlavour(f)) {
          *bad = f;
          return false;
        }
      }
      if (only.isEmpty()) {
        *bad = arguments[i];
        return false;
      }
    } else if (a == QLatin1String("--json")) {
      out->json = true;
    } else {
      *bad = a;
      return false;
    }
  }
  if (!havePattern) {
    *bad = QStringLiteral("--flavours");
    return false;
  }
  if (out->subjects.isEmpty()) {
    *bad = QStringLiteral("--subject");
    return false;
  }
  // Korvane is the reference: always computed, always the first row.
  out->flavours = {QStringLiteral("korvane")};
  for (const QString& f : haveOnly ? only : FlavourNames())
    if (!out->flavours.contains(f)) out->flavours << f;
  return true;
}

int CFlavourCommand::ExitCode(const std::vector<FlavourAnswer>& answers) {
  if (answers.empty()) return EXIT_DIFFER;
  const FlavourAnswer& korvane = answers[0];
  for (size_t f = 1; f < answers.size(); ++f) {
    for (size_t s = 0; s < korvane.subjects.size(); ++s) {
      const CellStatus c = CompareWithKorvane(korvane, answers[f], static_cast<int>(s)).status;
      if (c == CellStatus::Differs || c == CellStatus::Error) return EXIT_DIFFER;
    }
  }
  return EXIT_AGREE;
}

QByteArray CFlavourCommand::Json(const Options& o, const std::vector<FlavourAnswer>& answers) {
  QJsonArray all;
  if (answers.empty()) return QJsonDocument(all).toJson(QJsonDocument::Indented);
  const FlavourAnswer& korvane = answers[0];
  const bool several = o.subjects.size() > 1;
  for (size_t f = 0; f < answers.size(); ++f) {
    const FlavourAnswer& a = answers[f];
    for (int s = 0; s < o.subjects.size(); ++s) {
      QJsonObject row;
      row.insert(QStringLiteral("flavour"), a.flavour);
      row.insert(QStringLiteral("engine"), a.engine);
      row.insert(QStringLiteral("version"), a.version);
      if (several) row.insert(QStringLiteral("subject"), s);
      const FlavourCell cell = f == 0 ? FlavourCell{korvane.subjects[static_cast<size_t>(s)].status == SubjectStatus::Ok
                                                        ? CellStatus::Same
                                                        : korvane.subjects[static_cast<size_t>(s)].status == SubjectStatus::Timeout
                                                              ? CellStatus::Timeout
                                                              : CellStatus::Error,
                                                    korvane.subjects[static_cast<size_t>(s)].error}
                                      : CompareWithKorvane(korvane, a, s);
      row.insert(QStringLiteral("status"), QString::fromLatin1(CellStatusName(cell.status)));
      if (cell.status == CellStatus::Error) {
        QString message = cell.message;
        if (a.outcome == FlavourOutcome::CompileError && a.errorOffset >= 0)
          message += QStringLiteral(" (at %1)").arg(a.errorOffset);
        row.insert(QStringLiteral("error"), message);
      }
      QJsonArray matches;
      const size_t si = static_cast<size_t>(s);
      if (a.outcome == FlavourOutcome::Compiled && si < a.subjects.size() && a.subjects[si].status == SubjectStatus::Ok) {
        for (const FlavourMatch& m : a.subjects[si].matches) {
          QJsonObject match;
          match.insert(QStringLiteral("span"), QJsonArray{m[0], m[1]});
          QJsonArray groups;
          for (size_t g = 2; g + 1 < m.size(); g += 2) {
            if (m[g] < 0) groups.append(QJsonValue::Null);
            else groups.append(QJsonArray{m[g], m[g + 1]});
          }
          match.insert(QStringLiteral("groups"), groups);
          matches.append(match);
        }
      }
      row.insert(QStringLiteral("matches"), matches);
      all.append(row);
    }
  }
  return QJsonDocument(all).toJson(QJsonDocument::Indented);
}

QString CFlavourCommand::Matrix(const Options& o, const std::vector<FlavourAnswer>& answers) {
  QString text;
  QTextStream out(&text);
  out << "pattern    \"" << Escaped(o.pattern) << "\"";
  if (!o.flags.isEmpty()) out << "  flags " << o.flags;
  out << Qt::endl;
  for (int s = 0; s < o.subjects.size(); ++s)
    out << "subject " << (s + 1) << "  \"" << Escaped(o.subjects[s]) << "\"" << Qt::endl;
  out << Qt::endl;
  if (answers.empty()) return text;
  const FlavourAnswer& korvane = answers[0];
  // One row per flavour: name, engine and version, then one cell per subject.
  std::vector<QStringList> rows;
  rows.push_back({QStringLiteral("flavour"), QStringLiteral("engine")});
  for (int s = 0; s < o.subjects.size(); ++s) rows.back() << QStringLiteral("subject %1").arg(s + 1);
  std::vector<QString> wholeRow(1);  // a message that stands for every cell of a row
  int ran = 0, compiled = 0, same = 0;
  for (size_t f = 0; f < answers.size(); ++f) {
    const FlavourAnswer& a = answers[f];
    QStringList row = {a.flavour, Header(a)};
    QString whole;
    if (f == 0) {
      for (const SubjectAnswer& s : a.subjects)
        row << (s.status == SubjectStatus::Ok ? MatchesText(s)
                                              : s.status == SubjectStatus::Timeout ? QStringLiteral("timeout") : s.error);
    } else if (a.outcome == FlavourOutcome::NotInstalled || a.outcome == FlavourOutcome::RunnerFailed) {
      whole = a.error;
    } else if (a.outcome == FlavourOutcome::CompileError) {
      ++ran;
      whole = QStringLiteral("compile error: ") + a.error;
      if (a.errorOffset >= 0) whole += QStringLiteral(" (at %1)").arg(a.errorOffset);
    } else {
      ++ran;
      ++compiled;
      bool allSame = true;
      for (int s = 0; s < o.subjects.size(); ++s) {
        const FlavourCell cell = CompareWithKorvane(korvane, a, s);
        const SubjectAnswer& sa = a.subjects[static_cast<size_t>(s)];
        allSame = allSame && cell.status == CellStatus::Same;
        switch (cell.status) {
          case CellStatus::Same: row << QStringLiteral("same"); break;
          case CellStatus::Differs: row << QStringLiteral("differs: ") + MatchesText(sa); break;
          case CellStatus::Timeout: row << QStringLiteral("timeout"); break;
          case CellStatus::Unrepresentable: row << QStringLiteral("text not representable"); break;
          default: row << QStringLiteral("error: ") + OneLine(cell.message); break;
        }
      }
      if (allSame) ++same;
    }
    rows.push_back(row);
    wholeRow.push_back(whole);
  }
  std::vector<int> widths;
  for (const QStringList& r : rows)
    for (int c = 0; c < r.size(); ++c) {
      if (static_cast<int>(widths.size()) <= c) widths.push_back(0);
      widths[static_cast<size_t>(c)] = std::max(widths[static_cast<size_t>(c)], static_cast<int>(r[c].size()) + 2);
    }
  for (size_t r = 0; r < rows.size(); ++r) {
    QString line;
    // Every cell padded to its column but the last; a message for the whole row is the last.
    const bool whole = !wholeRow[r].isEmpty();
    for (int c = 0; c < rows[r].size(); ++c)
      line += c + 1 < rows[r].size() || whole ? Padded(rows[r][c], widths[static_cast<size_t>(c)]) : rows[r][c];
    if (!wholeRow[r].isEmpty()) line += OneLine(wholeRow[r]);
    out << line.trimmed() << Qt::endl;
  }
  out << Qt::endl << QStringLiteral("compiles in %1 of %2 flavours, same results in %3").arg(compiled).arg(ran).arg(same) << Qt::endl;
  return text;
}

int CFlavourCommand::Main(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  Options o;
  QString bad;
  if (!Parse(arguments, &o, &bad)) {
    err << "korvane: wrong argument: " << bad << Qt::endl << kUsage << Qt::endl;
    return EXIT_USAGE;
  }
  FlavourRequest r;
  r.pattern = o.pattern;
  r.flags = o.flags;
  r.subjects = o.subjects;
  CFlavourPool pool;
  const std::vector<FlavourAnswer> answers = pool.RunBlocking(o.flavours, r);
  if (o.json) out << Json(o, answers);
  else out << Matrix(o, answers);
  out.flush();
  return ExitCode(answers);
}
