// One cell of the flavour matrix side by side (see flavour_compare_view.h).
#include "app/ui/panes/flavours/flavour_compare_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ui/editor/view_colours.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

const QChar kReturnSign(0x21B5);  // shown before a line break
const QChar kEmptyMark(0x2502);   // an empty match
const int kSnippet = 24;          // characters of a span's text in the group table

// A span with the text it took: "0-4 “2024”"; "-" for a group that took no part.
QString SpanText(const QString& subject, int start, int end) {
  if (start < 0) return CStringTable::Str(IDS_FLAVOURS_NO_SPAN);
  QString taken = subject.mid(start, end - start);
  if (taken.size() > kSnippet) taken = taken.left(kSnippet - 1) + QChar(0x2026);
  taken.replace(QLatin1Char('\n'), kReturnSign).replace(QLatin1Char('\r'), QStringLiteral("\\r"));
  return QStringLiteral("%1-%2 \u201C%3\u201D").arg(start).arg(end).arg(taken);
}

// What an engine says for a row that gave no matches to list: its error, or "no match".
QString RowNote(const SubjectAnswer* a, const FlavourAnswer* whole) {
  if (whole && whole->outcome != FlavourOutcome::Compiled) return whole->error;
  if (!a) return CStringTable::Str(IDS_FLAVOURS_WAITING);
  if (a->status != SubjectStatus::Ok) return a->error.isEmpty() ? CStringTable::Str(IDS_FLAVOURS_TIMEOUT) : a->error;
  return QString();
}

}  // namespace

QColor CFlavourCompareView::KorvaneColour(bool dark) { return dark ? QColor(0x2f, 0x5f, 0xa8) : QColor(0xbf, 0xd9, 0xff); }

QColor CFlavourCompareView::FlavourColour(bool dark) { return dark ? QColor(0xff, 0xa0, 0x40) : QColor(0xd0, 0x5a, 0x00); }

CFlavourCompareView::CFlavourCompareView(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  m_pLegend = new QLabel(this);
  m_pLegend->setWordWrap(true);
  layout->addWidget(m_pLegend);
  m_pSplitter = new QSplitter(Qt::Horizontal, this);
  m_pText = new QTextEdit(m_pSplitter);
  m_pText->setReadOnly(true);
  m_pText->setLineWrapMode(QTextEdit::WidgetWidth);
  m_pText->setObjectName(QStringLiteral("flavourText"));
  m_pGroups = new QTableWidget(m_pSplitter);
  m_pGroups->setObjectName(QStringLiteral("flavourGroups"));
  m_pGroups->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_pGroups->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_pGroups->verticalHeader()->hide();
  m_pGroups->horizontalHeader()->setStretchLastSection(true);
  m_pGroups->verticalHeader()->setDefaultSectionSize(m_pGroups->fontMetrics().height() + 6);
  m_pText->setMinimumSize(60, 30);
  m_pGroups->setMinimumSize(60, 30);
  m_pSplitter->addWidget(m_pText);
  m_pSplitter->addWidget(m_pGroups);
  m_pSplitter->setStretchFactor(0, 1);
  m_pSplitter->setStretchFactor(1, 1);
  m_pSplitter->setChildrenCollapsible(false);
  layout->addWidget(m_pSplitter, 1);
  Clear();
}

void CFlavourCompareView::Clear() {
  m_pLegend->setText(CStringTable::Str(IDS_FLAVOURS_SELECT_CELL));
  m_pText->clear();
  m_pGroups->clear();
  m_pGroups->setRowCount(0);
  m_pGroups->setColumnCount(0);
  m_differing.clear();
}

void CFlavourCompareView::ShowCell(const CFlavourMatrix& matrix, int row, int column) {
  if (row < 0 || row >= matrix.Rows() || column < 0 || column >= matrix.Columns()) {
    Clear();
    return;
  }
  const FlavourColumn& c = matrix.columns[static_cast<size_t>(column)];
  m_pLegend->setText(CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_LEGEND), {c.display}));
  const SubjectAnswer* korvane = matrix.KorvaneRow(row);
  const SubjectAnswer* flavour = c.answered && c.answer.outcome == FlavourOutcome::Compiled ? matrix.FlavourRow(row, column) : nullptr;
  FillText(matrix.request.subjects[row], korvane && korvane->status == SubjectStatus::Ok ? korvane : nullptr,
           flavour && flavour->status == SubjectStatus::Ok ? flavour : nullptr);
  FillGroups(matrix, row, column);
}

void CFlavourCompareView::FillText(const QString& text, const SubjectAnswer* korvane, const SubjectAnswer* flavour) {
  const bool dark = IsDarkPalette(palette());
  const int n = static_cast<int>(std::min<qsizetype>(text.size(), kMaxTextShown));
  // Per code unit: covered by a Korvane match (bit 1), by a flavour match (bit 2); per position
  // the empty matches that stand there.
  std::vector<unsigned char> cover(static_cast<size_t>(n), 0);
  std::vector<unsigned char> empty(static_cast<size_t>(n) + 1, 0);
  auto mark = [&](const SubjectAnswer* a, unsigned char bit) {
    if (!a) return;
    int shown = 0;
    for (const FlavourMatch& m : a->matches) {
      if (++shown > kMaxMatchesShown || m.size() < 2 || m[0] < 0) break;
      const int s = std::min(m[0], n), e = std::min(m[1], n);
      if (m[0] == m[1]) {
        if (m[0] <= n) empty[static_cast<size_t>(m[0])] |= bit;
        continue;
      }
      for (int i = s; i < e; ++i) cover[static_cast<size_t>(i)] |= bit;
    }
  };
  mark(korvane, 1);
  mark(flavour, 2);

  QTextCharFormat plain;
  QTextCharFormat kFormat, fFormat, both;
  kFormat.setBackground(KorvaneColour(dark));
  fFormat.setUnderlineStyle(QTextCharFormat::SingleUnderline);
  fFormat.setUnderlineColor(FlavourColour(dark));
  fFormat.setFontUnderline(true);
  fFormat.setForeground(FlavourColour(dark));
  fFormat.setFontWeight(QFont::Bold);
  both = fFormat;
  both.setBackground(KorvaneColour(dark));
  auto formatOf = [&](unsigned char bits) { return bits == 3 ? both : bits == 1 ? kFormat : bits == 2 ? fFormat : plain; };

  m_pText->clear();
  QTextCursor cursor(m_pText->document());
  cursor.beginEditBlock();
  auto emptyMarks = [&](int at) {
    const unsigned char bits = empty[static_cast<size_t>(at)];
    for (unsigned char bit : {static_cast<unsigned char>(1), static_cast<unsigned char>(2)}) {
      if (!(bits & bit)) continue;
      QTextCharFormat f;
      f.setForeground(bit == 1 ? KorvaneColour(dark).darker(dark ? 60 : 150) : FlavourColour(dark));
      f.setFontWeight(QFont::Bold);
      cursor.insertText(QString(kEmptyMark), f);
    }
  };
  int i = 0;
  while (i < n) {
    emptyMarks(i);
    const unsigned char bits = cover[static_cast<size_t>(i)];
    int j = i;
    QString run;
    while (j < n && cover[static_cast<size_t>(j)] == bits && (j == i || !empty[static_cast<size_t>(j)])) {
      const QChar ch = text[j];
      if (ch == QLatin1Char('\n')) {
        run += kReturnSign;
        run += QChar(QChar::LineSeparator);
      } else if (ch == QLatin1Char('\r')) {
        run += QStringLiteral("\\r");
      } else {
        run += ch;
      }
      ++j;
    }
    cursor.insertText(run, formatOf(bits));
    i = j;
  }
  emptyMarks(n);
  if (text.size() > n) cursor.insertText(QString(QChar(0x2026)), plain);
  cursor.endEditBlock();
}

void CFlavourCompareView::FillGroups(const CFlavourMatrix& matrix, int row, int column) {
  const FlavourColumn& c = matrix.columns[static_cast<size_t>(column)];
  const QString& subject = matrix.request.subjects[row];
  const SubjectAnswer* korvane = matrix.KorvaneRow(row);
  const SubjectAnswer* flavour = c.answered ? matrix.FlavourRow(row, column) : nullptr;
  const FlavourAnswer* flavourWhole = c.answered ? &c.answer : nullptr;
  const FlavourAnswer* korvaneWhole = matrix.korvaneAnswered ? &matrix.korvane : nullptr;

  m_pGroups->clear();
  m_differing.clear();
  m_pGroups->setColumnCount(3);
  m_pGroups->setHorizontalHeaderLabels(
      {CStringTable::Str(IDS_FLAVOURS_PART), CStringTable::Str(IDS_FLAVOURS_KORVANE), c.display});
  struct Line {
    QString what, k, f;
  };
  std::vector<Line> lines;
  const QString kNote = RowNote(korvane, korvaneWhole), fNote = RowNote(flavour, flavourWhole);
  const bool kList = kNote.isEmpty(), fList = fNote.isEmpty();
  const size_t kCount = kList ? korvane->matches.size() : 0, fCount = fList ? flavour->matches.size() : 0;
  const size_t count = std::min<size_t>(std::max(kCount, fCount), kMaxMatchesShown);
  // An engine that failed (compile error, time out) says so in a first line of its own.
  if (!kList || !fList) lines.push_back({QString(), kList ? QString() : kNote, fList ? QString() : fNote});
  if (count == 0 && kList && fList)
    lines.push_back({CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_MATCH), {QStringLiteral("1")}),
                     CStringTable::Str(IDS_FLAVOURS_NO_MATCH), CStringTable::Str(IDS_FLAVOURS_NO_MATCH)});
  // Group names: the flavour's when it gives them (its numbering is the one in the row), else
  // Korvane's.
  auto nameOf = [&](int group) {
    for (const FlavourAnswer* a : {flavourWhole, korvaneWhole}) {
      if (!a) continue;
      for (const auto& n : a->names)
        if (n.second == group) return n.first;
    }
    return QString();
  };
  for (size_t m = 0; m < count; ++m) {
    const FlavourMatch* km = m < kCount ? &korvane->matches[m] : nullptr;
    const FlavourMatch* fm = m < fCount ? &flavour->matches[m] : nullptr;
    auto spanOf = [&](const FlavourMatch* match, size_t slot, bool listed) {
      if (!listed) return QString();
      if (!match) return CStringTable::Str(IDS_FLAVOURS_NO_MATCH);
      if (2 * slot + 1 >= match->size()) return CStringTable::Str(IDS_FLAVOURS_NO_SPAN);
      return SpanText(subject, (*match)[2 * slot], (*match)[2 * slot + 1]);
    };
    lines.push_back({CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_MATCH), {QString::number(m + 1)}),
                     spanOf(km, 0, kList), spanOf(fm, 0, fList)});
    const size_t groups = std::max(km ? km->size() / 2 : 0, fm ? fm->size() / 2 : 0);
    for (size_t g = 1; g < groups; ++g) {
      const QString name = nameOf(static_cast<int>(g));
      const QString what = name.isEmpty()
                               ? CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_GROUP), {QString::number(g)})
                               : CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_NAMED_GROUP), {QString::number(g), name});
      lines.push_back({QStringLiteral("   ") + what, spanOf(km, g, kList), spanOf(fm, g, fList)});
    }
  }
  m_pGroups->setRowCount(static_cast<int>(lines.size()));
  const bool dark = IsDarkPalette(palette());
  const QColor differs = dark ? QColor(0x7a, 0x4a, 0x0a) : QColor(0xff, 0xdf, 0xb0);
  for (int r = 0; r < static_cast<int>(lines.size()); ++r) {
    const Line& l = lines[static_cast<size_t>(r)];
    const bool differ = l.k != l.f;
    if (differ) m_differing << r;
    const QString cells[] = {l.what, l.k, l.f};
    for (int col = 0; col < 3; ++col) {
      auto* item = new QTableWidgetItem(cells[col]);
      item->setToolTip(cells[col]);
      if (differ) {
        item->setBackground(differs);
        item->setForeground(dark ? QColor(0xf0, 0xf0, 0xf0) : QColor(0x10, 0x10, 0x10));
      }
      m_pGroups->setItem(r, col, item);
    }
  }
  m_pGroups->resizeColumnToContents(0);
  m_pGroups->resizeColumnToContents(1);
}
