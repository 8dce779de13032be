// Covered by app/document/files/tests/result_export_test.cpp.
#include "app/document/files/result_export.h"

#include <algorithm>

#include "app/document/matching/split_pieces.h"
#include "platform/code_page.h"
#include "platform/file_io.h"

namespace {

const QByteArray kLineEnd("\r\n", 2);

// The subject's code units from..to, clamped to the text.
QStringView Piece(const unsigned short* subject, int length, int from, int to) {
  if (!subject || length <= 0) return QStringView();
  from = std::max(0, std::min(from, length));
  to = std::max(from, std::min(to, length));
  return QStringView(reinterpret_cast<const char16_t*>(subject) + from, to - from);
}

QByteArray Convert(QStringView text) { return CCodePage::ForReadableFile(text); }

QByteArray Line(QStringView text, bool csv) {
  return Convert(csv ? QStringView(CResultExport::QuotedField(text)) : text) + kLineEnd;
}

bool EndsWith(const QString& path, const char* tail) {
  return path.endsWith(QLatin1String(tail), Qt::CaseInsensitive);
}

}  // namespace

bool CResultExport::IsCsvPath(const QString& path) { return EndsWith(path, ".csv"); }
bool CResultExport::IsWorkspacePath(const QString& path) { return EndsWith(path, ".rws"); }

QString CResultExport::QuotedField(QStringView text) {
  QString out;
  out.reserve(text.size() + 2);
  out += QLatin1Char('"');
  for (QChar c : text) {
    if (c == QLatin1Char('"')) out += QLatin1Char('"');
    out += c;
  }
  out += QLatin1Char('"');
  return out;
}

QByteArray CResultExport::MatchResultFile(const std::vector<MatchHandle>& results, const unsigned short* subject,
                                          int subjectLength, bool rightToLeft, bool csv) {
  int n = static_cast<int>(results.size());
  if (n > 0 && !results.back()->result.IsMatched()) --n;
  QByteArray out;
  for (int i = 0; i < n; ++i) {
    // Right to left the list holds the matches from the end of the text; the sentinel (if any)
    // is after them, so the first match in text order is entry n - 1.
    const StoredMatch& m = results[static_cast<size_t>(rightToLeft ? n - 1 - i : i)]->result;
    if (!csv) {
      out += Line(Piece(subject, subjectLength, m.GetStart(), m.GetEnd()), false);
      continue;
    }
    out += Convert(QuotedField(Piece(subject, subjectLength, m.GetStart(), m.GetEnd())));
    for (int g = 1; g <= m.MaxGroupNumber(); ++g) {
      out += ',';
      const int s = m.GetGroupStart(g), e = m.GetGroupEnd(g);
      out += Convert(QuotedField(s >= 0 && e >= 0 ? Piece(subject, subjectLength, s, e) : QStringView()));
    }
    out += kLineEnd;
  }
  return out;
}

// The pieces are the text between consecutive entries of the results list, read in text order
// (from the end of the list right to left), the sentinel of a finished search included. Then,
// right to left or while the search is unfinished, the piece from the last entry to the end of
// the text. Right to left, an unfinished search starts at the end of the current match (the
// text before it has not been searched yet); a piece whose end would come before its start is
// empty.
//
// The pieces themselves are cut by the program's one split rule (SplitAround), with every entry
// of the list, the sentinel included, as a span.
QByteArray CResultExport::SplitResultFile(const std::vector<MatchHandle>& results, const MatchHandle& current,
                                          const unsigned short* subject, int subjectLength, bool rightToLeft,
                                          bool csv) {
  const bool currentMatched = current && current->result.IsMatched();
  const int from = rightToLeft && currentMatched ? current->result.GetEnd() : 0;
  std::vector<std::pair<int, int>> spans;
  spans.reserve(results.size());
  const int n = static_cast<int>(results.size());
  for (int k = 0; k < n; ++k) {
    const StoredMatch& m = results[static_cast<size_t>(rightToLeft ? n - 1 - k : k)]->result;
    spans.emplace_back(m.GetStart(), m.GetEnd());
  }
  std::vector<SplitPiece> pieces = SplitAround(spans, subjectLength, from);
  if (!(rightToLeft || !currentMatched)) pieces.pop_back();  // the text after it is not searched yet
  QByteArray out;
  for (const SplitPiece& p : pieces) out += Line(Piece(subject, subjectLength, p.start, p.end), csv);
  return out;
}

QByteArray CResultExport::ReplaceResultFile(const ReplaceResult& replace, const unsigned short* subject, bool csv) {
  QByteArray out;
  for (const ReplaceSegment& seg : replace.Segments()) {
    const std::vector<unsigned short> text = replace.SegmentText(subject, seg);
    out += Line(QStringView(reinterpret_cast<const char16_t*>(text.data()), static_cast<qsizetype>(text.size())),
                csv);
  }
  return out;
}

QByteArray CResultExport::TextFile(QStringView text) {
  const QStringList lines = CCodePage::SplitLines(text);
  QByteArray out;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i > 0) out += kLineEnd;
    out += CCodePage::FromUtf16(lines[i]);
  }
  return out;
}

bool CResultExport::SaveTextFile(const QString& path, QStringView text, QString* reason) {
  return WriteFile(path, TextFile(text), reason);
}

bool CResultExport::WriteFile(const QString& path, const QByteArray& bytes, QString* reason) {
  QString detail;
  const bool written = CFileIo::WriteAll(path, bytes, &detail) == EFileError::None;
  if (reason) *reason = written ? QString() : detail;
  return written;
}
