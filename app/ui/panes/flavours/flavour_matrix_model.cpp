// The flavour matrix as a table model (see flavour_matrix_model.h).
#include "app/ui/panes/flavours/flavour_matrix_model.h"

#include "korvane_ids.h"
#include "stringtable.h"

namespace {

QString Cut(const QString& s, int max) { return s.size() > max ? s.left(max - 1) + QChar(0x2026) : s; }

QString Span(int s, int e) { return s < 0 ? QStringLiteral("-") : QStringLiteral("%1-%2").arg(s).arg(e); }

// "0-7 (0-4, 5-7)  9-12 (...)": at most three matches, then how many more.
QString MatchesText(const SubjectAnswer* a) {
  if (!a) return CStringTable::Str(IDS_FLAVOURS_WAITING);
  if (a->status != SubjectStatus::Ok) return a->error;
  if (a->matches.empty()) return CStringTable::Str(IDS_FLAVOURS_NO_MATCH);
  QStringList parts;
  for (size_t i = 0; i < a->matches.size() && i < 3; ++i) {
    const FlavourMatch& m = a->matches[i];
    QString one = Span(m[0], m[1]);
    if (m.size() > 2) {
      QStringList groups;
      for (size_t g = 2; g + 1 < m.size(); g += 2) groups << Span(m[g], m[g + 1]);
      one += QStringLiteral(" (") + groups.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    parts << one;
  }
  if (a->matches.size() > 3) parts << QStringLiteral("+%1").arg(a->matches.size() - 3);
  return parts.join(QStringLiteral("  "));
}

}  // namespace

CFlavourMatrixModel::CFlavourMatrixModel(CFlavourSession* session, QObject* parent)
    : QAbstractTableModel(parent), m_pSession(session) {
  const CFlavourMatrix& m = m_pSession->Matrix();
  m_nRows = m.Rows();
  m_nColumns = m.Columns();
  for (const FlavourColumn& c : m.columns) m_shownColumns << c.flavour;
  m_shownRows = m.rowNames;
  connect(m_pSession, &CFlavourSession::MatrixChanged, this, &CFlavourMatrixModel::OnMatrixChanged);
}

int CFlavourMatrixModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_nRows; }

int CFlavourMatrixModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_nColumns; }

void CFlavourMatrixModel::OnMatrixChanged() {
  const CFlavourMatrix& m = m_pSession->Matrix();
  QStringList columns;
  for (const FlavourColumn& c : m.columns) columns << c.flavour;
  if (m.Rows() != m_nRows || columns != m_shownColumns) {
    beginResetModel();
    m_nRows = m.Rows();
    m_nColumns = m.Columns();
    m_shownColumns = columns;
    m_shownRows = m.rowNames;
    endResetModel();
    emit Reshaped();
    return;
  }
  if (m_nRows > 0 && m_nColumns > 0) emit dataChanged(index(0, 0), index(m_nRows - 1, m_nColumns - 1));
  if (m_nColumns > 0) emit headerDataChanged(Qt::Horizontal, 0, m_nColumns - 1);
  if (m.rowNames != m_shownRows && m_nRows > 0) {
    m_shownRows = m.rowNames;
    emit headerDataChanged(Qt::Vertical, 0, m_nRows - 1);
  }
}

QString CFlavourMatrixModel::CellText(const FlavourMatrixCell& cell) {
  if (cell.waiting) return CStringTable::Str(IDS_FLAVOURS_WAITING);
  switch (cell.cell.status) {
    case CellStatus::Same: return CStringTable::Str(IDS_FLAVOURS_SAME);
    case CellStatus::Differs: return CStringTable::Str(IDS_FLAVOURS_DIFFERS);
    case CellStatus::Error: return CStringTable::Str(IDS_FLAVOURS_ERROR);
    case CellStatus::Timeout: return CStringTable::Str(IDS_FLAVOURS_TIMEOUT);
    case CellStatus::NotInstalled: return CStringTable::Str(IDS_FLAVOURS_NOT_INSTALLED);
    case CellStatus::Unrepresentable: return CStringTable::Str(IDS_FLAVOURS_UNREPRESENTABLE);
  }
  return QString();
}

QColor CFlavourMatrixModel::CellColour(const FlavourMatrixCell& cell, bool dark) {
  if (cell.waiting) return QColor();
  switch (cell.cell.status) {
    case CellStatus::Same: return dark ? QColor(0x23, 0x5c, 0x2c) : QColor(0xd4, 0xef, 0xd6);
    case CellStatus::Differs: return dark ? QColor(0x7a, 0x4a, 0x0a) : QColor(0xff, 0xdf, 0xb0);
    case CellStatus::Error: return dark ? QColor(0x7c, 0x25, 0x25) : QColor(0xf6, 0xc4, 0xc4);
    case CellStatus::Timeout: return dark ? QColor(0x6a, 0x5c, 0x12) : QColor(0xf8, 0xee, 0xa8);
    case CellStatus::NotInstalled: return dark ? QColor(0x48, 0x48, 0x48) : QColor(0xe4, 0xe4, 0xe4);
    case CellStatus::Unrepresentable: return dark ? QColor(0x4e, 0x36, 0x6e) : QColor(0xe4, 0xd8, 0xf4);
  }
  return QColor();
}

QString CFlavourMatrixModel::CellToolTip(int row, int column) const {
  const CFlavourMatrix& m = m_pSession->Matrix();
  const FlavourMatrixCell cell = m.Cell(row, column);
  if (cell.waiting || column < 0 || column >= m.Columns()) return CellText(cell);
  const FlavourColumn& c = m.columns[static_cast<size_t>(column)];
  switch (cell.cell.status) {
    case CellStatus::Same:
      return CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_TIP_SAME), {MatchesText(m.KorvaneRow(row))});
    case CellStatus::Differs:
      return CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_TIP_DIFFERS),
                                         {c.display, c.answer.outcome == FlavourOutcome::Compiled ? MatchesText(m.FlavourRow(row, column)) : c.answer.error,
                                          MatchesText(m.KorvaneRow(row))});
    case CellStatus::Error:
      if (c.answer.outcome == FlavourOutcome::CompileError && c.answer.errorOffset >= 0)
        return CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_COMPILE_ERROR_AT),
                                           {QString::number(c.answer.errorOffset), c.answer.error});
      if (c.answer.outcome == FlavourOutcome::CompileError)
        return CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_COMPILE_ERROR), {c.answer.error});
      return cell.cell.message;
    case CellStatus::Timeout: return CStringTable::Str(IDS_FLAVOURS_TIP_TIMEOUT);
    case CellStatus::NotInstalled: return cell.cell.message;  // "not installed: apt-get install ..."
    case CellStatus::Unrepresentable: return CStringTable::Str(IDS_FLAVOURS_TIP_UNREPRESENTABLE);
  }
  return QString();
}

QVariant CFlavourMatrixModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_nRows || index.column() >= m_nColumns) return QVariant();
  const FlavourMatrixCell cell = m_pSession->Matrix().Cell(index.row(), index.column());
  switch (role) {
    case Qt::DisplayRole: return CellText(cell);
    case Qt::ToolTipRole: return CellToolTip(index.row(), index.column());
    case Qt::BackgroundRole: {
      const QColor c = CellColour(cell, m_bDark);
      return c.isValid() ? QVariant(c) : QVariant();
    }
    case Qt::ForegroundRole:
      if (cell.waiting) return QVariant();
      return m_bDark ? QColor(0xf0, 0xf0, 0xf0) : QColor(0x10, 0x10, 0x10);
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return QVariant();
  }
}

QVariant CFlavourMatrixModel::headerData(int section, Qt::Orientation orientation, int role) const {
  const CFlavourMatrix& m = m_pSession->Matrix();
  if (orientation == Qt::Vertical) {
    if (section < 0 || section >= m_nRows || section >= m.rowNames.size()) return QVariant();
    if (role == Qt::DisplayRole) return Cut(m.rowNames[section], 30);
    if (role == Qt::ToolTipRole) return m.rowNames[section] + QStringLiteral("\n") + CStringTable::Str(IDS_FLAVOURS_ROW_TIP);
    return QVariant();
  }
  if (section < 0 || section >= m_nColumns || section >= m.Columns()) return QVariant();
  const FlavourColumn& c = m.columns[static_cast<size_t>(section)];
  const QString engine = c.version.isEmpty() ? c.engine : c.engine + QLatin1Char(' ') + c.version;
  if (role == Qt::DisplayRole) {
    // Three short lines keep the columns narrow: the flavour, its engine, the engine's version.
    QString text = c.display;
    if (!c.engine.isEmpty()) text += QLatin1Char('\n') + Cut(c.engine, kMaxHeaderLine);
    if (!c.version.isEmpty()) text += QLatin1Char('\n') + Cut(c.version, kMaxHeaderLine);
    return text;
  }
  if (role == Qt::ToolTipRole) {
    QString tip = c.display + QStringLiteral(" (") + c.flavour + QLatin1Char(')');
    if (!engine.isEmpty()) tip += QLatin1Char('\n') + engine;
    if (c.answered && c.answer.outcome == FlavourOutcome::NotInstalled) tip += QLatin1Char('\n') + c.answer.error;
    return tip;
  }
  return QVariant();
}
