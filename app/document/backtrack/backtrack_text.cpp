// The words for the backtracking analysis' findings and rewrites (see backtrack_text.h).
#include "app/document/backtrack/backtrack_text.h"

#include "korvane_ids.h"
#include "stringtable.h"

namespace backtrack {
namespace {

QString Span(std::pair<int, int> s) { return QStringLiteral("%1-%2").arg(s.first).arg(s.second); }

// What one pattern does at the differing match: its span, or the group's.
QString Side(const Difference& d, std::pair<int, int> span) {
  if (d.group == 0)
    return span.first < 0 ? CStringTable::Str(IDS_BT_DIFF_NO_MATCH)
                          : CStringTable::FormatStrings(CStringTable::Str(IDS_BT_DIFF_MATCHES), {Span(span)});
  if (span.first < 0)
    return CStringTable::FormatStrings(CStringTable::Str(IDS_BT_DIFF_NO_GROUP), {QString::number(d.group)});
  return CStringTable::FormatStrings(CStringTable::Str(IDS_BT_DIFF_GROUP), {QString::number(d.group), Span(span)});
}

}  // namespace

QString Quoted(const std::u16string& text) {
  QString out = QStringLiteral("\"");
  for (char16_t c : text) {
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

QString DifferenceText(const Difference& d) {
  if (d.match < 0) return QString();
  const QString before = Side(d, d.before), after = Side(d, d.after);
  if (d.match == 0) return CStringTable::FormatStrings(CStringTable::Str(IDS_BT_DIFF), {Quoted(d.text), before, after});
  return CStringTable::FormatStrings(CStringTable::Str(IDS_BT_DIFF_NTH),
                                     {Quoted(d.text), QString::number(d.match + 1), before, after});
}

QString FixKindText(Fix::Kind kind) {
  switch (kind) {
    case Fix::POSSESSIVE: return CStringTable::Str(IDS_BT_KIND_POSSESSIVE);
    case Fix::ATOMIC: return CStringTable::Str(IDS_BT_KIND_ATOMIC);
    case Fix::DROP_BRANCH: return CStringTable::Str(IDS_BT_KIND_DROP_BRANCH);
    default: return CStringTable::Str(IDS_BT_KIND_EXCLUSIVE);
  }
}

}  // namespace backtrack
