// The --convert command-line mode (see convert_command.h).
#include "app/cli/convert_command.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "app/document/flavours/conversion_check.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/korvane_column.h"

namespace {

const char kUsage[] =
    "usage: korvane --convert PATTERN --to FLAVOUR [--flags imsx] [--subject TEXT]... [--json]";

// The subject's index and its text on one line.
QString SubjectLine(int i, const QString& subject) {
  QString text;
  for (QChar c : subject) {
    if (c == QLatin1Char('\n')) text += QStringLiteral("\\n");
    else if (c == QLatin1Char('\r')) text += QStringLiteral("\\r");
    else if (c == QLatin1Char('\t')) text += QStringLiteral("\\t");
    else text += c;
  }
  return QStringLiteral("  %1: \"%2\"").arg(i + 1).arg(text);
}

}  // namespace

bool CConvertCommand::Wanted(const QStringList& arguments) { return arguments.contains(QLatin1String("--convert")); }

bool CConvertCommand::Parse(const QStringList& arguments, Options* out, QString* bad) {
  bool havePattern = false, haveTo = false, haveFlags = false;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == QLatin1String("--convert") && hasValue && !havePattern) {
      out->pattern = arguments[++i];
      havePattern = true;
    } else if (a == QLatin1String("--to") && hasValue && !haveTo) {
      out->flavour = arguments[++i].trimmed();
      haveTo = true;
      if (!IsConvertibleFlavour(out->flavour)) {
        *bad = out->flavour;
        return false;
      }
    } else if (a == QLatin1String("--flags") && hasValue && !haveFlags) {
      haveFlags = true;
      out->flags = arguments[++i];
      int bits = 0;
      if (!KorvaneFlagBits(out->flags, &bits)) {
        *bad = out->flags;
        return false;
      }
    } else if (a == QLatin1String("--subject") && hasValue) {
      out->subjects << arguments[++i];
    } else if (a == QLatin1String("--json")) {
      out->json = true;
    } else {
      *bad = a;
      return false;
    }
  }
  if (!havePattern || !haveTo) {
    *bad = havePattern ? QStringLiteral("--to") : QStringLiteral("--convert");
    return false;
  }
  return true;
}

int CConvertCommand::Main(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  Options o;
  QString bad;
  if (!Parse(arguments, &o, &bad)) {
    err << "korvane: wrong argument: " << bad << Qt::endl << kUsage << Qt::endl;
    err << "flavours: " << ConvertibleFlavours().join(QStringLiteral(", ")) << Qt::endl;
    return EXIT_USAGE;
  }
  int bits = 0;
  KorvaneFlagBits(o.flags, &bits);
  const FlavourConversion conversion = ConvertToFlavour(o.pattern.toStdU16String(), bits, o.flavour);
  ConversionCheck check;
  if (conversion.Converted()) {
    CFlavourPool pool;
    check = CheckConversion(&pool, o.pattern, o.flags, conversion, o.subjects);
  }
  const bool verified = conversion.Converted() && check.Verified();

  if (o.json) {
    QJsonObject j;
    j[QStringLiteral("flavour")] = o.flavour;
    j[QStringLiteral("pattern")] = conversion.pattern;
    j[QStringLiteral("flags")] = conversion.flags;
    j[QStringLiteral("verified")] = check.same;
    j[QStringLiteral("of")] = conversion.Converted() ? check.of : static_cast<int>(o.subjects.size());
    j[QStringLiteral("refused")] = QJsonArray::fromStringList(conversion.refused);
    if (conversion.Converted()) {
      j[QStringLiteral("engine")] = check.engine;
      QJsonArray groups, differing;
      for (int g : conversion.groupMap) groups.append(g);
      for (int d : check.differing) differing.append(d);
      j[QStringLiteral("groups")] = groups;
      j[QStringLiteral("differing")] = differing;
      if (!check.error.isEmpty()) j[QStringLiteral("error")] = check.error;
    }
    out << QJsonDocument(j).toJson(QJsonDocument::Compact) << Qt::endl;
    return verified ? EXIT_VERIFIED : EXIT_NOT_VERIFIED;
  }

  if (!conversion.Converted()) {
    out << "refused: no equivalent in " << o.flavour << Qt::endl;
    for (const QString& why : conversion.refused) out << "  " << why << Qt::endl;
    return EXIT_NOT_VERIFIED;
  }
  out << conversion.pattern << Qt::endl;
  if (!conversion.flags.isEmpty()) out << "flags: " << conversion.flags << Qt::endl;
  for (size_t k = 1; k < conversion.groupMap.size(); ++k)
    if (conversion.groupMap[k] != static_cast<int>(k))
      out << "group " << k << " is group " << conversion.groupMap[k] << " in " << o.flavour << Qt::endl;
  if (!check.error.isEmpty()) {
    out << o.flavour << " does not take it: " << check.error << Qt::endl;
    return EXIT_NOT_VERIFIED;
  }
  out << "same results on " << check.same << " of " << check.of << " texts (" << check.engine << ")" << Qt::endl;
  for (int d : check.differing)
    out << SubjectLine(d, o.subjects.value(d)) << ": " << CellStatusName(check.status[static_cast<size_t>(d)]) << Qt::endl;
  return verified ? EXIT_VERIFIED : EXIT_NOT_VERIFIED;
}
