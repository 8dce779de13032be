#include "app/ui/results/split_result_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <utility>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/item_look.h"
#include "app/ui/results/save_dispatch.h"
#include "app/ui/results/view_busy.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {
constexpr int kNumberColumnWidth = 45;
constexpr int kResultColumnWidth = 100;
constexpr int kResultColumnMargin = 25;
constexpr int kResultColumnMinimum = 60;
}  // namespace

// ---------------------------------------------------------------------------------------------
// CSplitResultModel

CSplitResultModel::CSplitResultModel(CKorvaneDoc* doc, QObject* parent) : QAbstractTableModel(parent), m_pDoc(doc) {}

int CSplitResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_pieces.size());
}

int CSplitResultModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant CSplitResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(m_pieces.size())) return QVariant();
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return QVariant();
  if (index.column() == 0) return role == Qt::DisplayRole ? QVariant(QString::number(index.row() + 1)) : QVariant();
  const SplitPiece& p = m_pieces[index.row()];
  if (p.end <= p.start) return CStringTable::Str(IDS_ZERO_LENGTH_STRING);
  const std::vector<unsigned short>& text = m_pDoc->GetSubjectText();
  int end = std::min(p.end, static_cast<int>(text.size()));
  int start = std::min(p.start, end);
  int length = std::min(end - start, kMaxCellText);
  return QString(reinterpret_cast<const QChar*>(text.data() + start), length);
}

QVariant CSplitResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  return CStringTable::Str(section == 0 ? IDS_COL_SPLIT_NO : IDS_COL_SPLIT_RESULT);
}

void CSplitResultModel::SetPieces(std::vector<SplitPiece> pieces) {
  const int oldRows = static_cast<int>(m_pieces.size());
  const int newRows = static_cast<int>(pieces.size());
  if (newRows < oldRows) {
    beginRemoveRows(QModelIndex(), newRows, oldRows - 1);
    m_pieces.resize(newRows);
    endRemoveRows();
  }
  const int kept = std::min(oldRows, newRows);
  if (newRows > oldRows) {
    beginInsertRows(QModelIndex(), oldRows, newRows - 1);
    m_pieces = std::move(pieces);
    endInsertRows();
  } else {
    m_pieces = std::move(pieces);
  }
  if (kept > 0) emit dataChanged(index(0, 0), index(kept - 1, 1));
}

// ---------------------------------------------------------------------------------------------
// CSplitResultListView

CSplitResultListView::CSplitResultListView(CKorvaneDoc* doc, QWidget* parent)
    : QTableView(parent), m_pDoc(doc), m_pModel(new CSplitResultModel(doc, this)) {
  setModel(m_pModel);
  // The look of a list: no grid of the table's own, no row header, a header left-aligned.
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  // Fixed rows of one height keep hundreds of thousands of rows cheap to lay out.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(RowHeight());
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setFrameShape(QFrame::NoFrame);
  setTextElideMode(Qt::ElideRight);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionsMovable(false);
  horizontalHeader()->resizeSection(0, kNumberColumnWidth);
  horizontalHeader()->resizeSection(1, kResultColumnWidth);
  // Grid lines of the list form, drawn over the style's own cells (see item_look.h).
  setItemDelegate(new CGridLineDelegate(this, CGridLineDelegate::LINE_BOTTOM | CGridLineDelegate::LINE_RIGHT));
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) { OnCurrentRowChanged(current); });
  m_pDoc->AddView(this);
  Rebuild();
}

CSplitResultListView::~CSplitResultListView() { m_pDoc->RemoveView(this); }

void CSplitResultListView::OnUpdate(CDocView* sender, int hint) {
  // The constructor has built the rows; the first update of a view just made asks for the same
  // rows again (824,000 pieces are 10 ms).
  const bool fresh = std::exchange(m_bFresh, false);
  if (fresh && !sender && hint == kInitialUpdateHint) return;
  if (hint & HINT_SPLIT_ROWS) Rebuild();
}

void CSplitResultListView::Rebuild() {
  CBusyGuard busy(m_nBusy);
  m_bRightToLeft = (m_pDoc->GetFlags() & RIGHTTOLEFT) != 0;
  std::vector<SplitPiece> pieces;
  const int length = static_cast<int>(m_pDoc->GetSubjectText().size());
  // Read in place: a copy of hundreds of thousands of handles costs as many count changes.
  m_pDoc->VisitResults([&](const std::vector<MatchHandle>& results) {
    pieces = SplitPiecesInTextOrder(results, length, m_bRightToLeft);
  });
  if (m_bRightToLeft) std::reverse(pieces.begin(), pieces.end());
  m_pModel->SetPieces(std::move(pieces));
}

int CSplitResultListView::PieceIndexOfRow(int row) const {
  const int rows = m_pModel->rowCount();
  if (row < 0 || row >= rows) return -1;
  return m_bRightToLeft ? rows - 1 - row : row;
}

void CSplitResultListView::OnCurrentRowChanged(const QModelIndex& current) {
  if (m_nBusy > 0 || !current.isValid()) return;
  int piece = PieceIndexOfRow(current.row());
  if (piece < 0) return;
  m_pDoc->SelectSplitPiece(piece);
  m_pDoc->Notify(this, HINT_TEXT_HIGHLIGHTS | HINT_RESULTS);
}

void CSplitResultListView::FitResultColumn() {
  int width = viewport()->width() - horizontalHeader()->sectionSize(0) - kResultColumnMargin;
  horizontalHeader()->resizeSection(1, std::max(width, kResultColumnMinimum));
}

// A line of text and the item's margins, as a list row of the style is high.
int CSplitResultListView::RowHeight() const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.features |= QStyleOptionViewItem::HasDisplay;
  option.text = QStringLiteral("0");
  const QSize size = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
  return std::max(size.height(), fontMetrics().height());
}

QModelIndex CSplitResultListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const int rows = m_pModel->rowCount();
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  switch (action) {
    case MoveHome: return rows > 0 ? m_pModel->index(0, column) : QModelIndex();
    case MoveEnd: return rows > 0 ? m_pModel->index(rows - 1, column) : QModelIndex();
    case MoveLeft:
    case MoveRight: return currentIndex();
    default: return QTableView::moveCursor(action, modifiers);
  }
}

void CSplitResultListView::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
    verticalHeader()->setDefaultSectionSize(RowHeight());
}

void CSplitResultListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                       const QList<int>& roles) {
  constexpr int kWideChange = 1000;
  if (topLeft.isValid() && bottomRight.isValid() && bottomRight.row() - topLeft.row() > kWideChange) {
    QTableView::dataChanged(topLeft, model()->index(topLeft.row() + kWideChange, bottomRight.column()), roles);
    viewport()->update();
    return;
  }
  QTableView::dataChanged(topLeft, bottomRight, roles);
}

void CSplitResultListView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  FitResultColumn();
}

void CSplitResultListView::contextMenuEvent(QContextMenuEvent* event) {
  // Only for a selected row: the one command saves the whole result.
  if (!selectionModel()->hasSelection()) return;
  QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : mapToGlobal(QPoint(0, 0));
  ShowViewContextMenu(IDR_CTX_SPLIT, this, at);
  event->accept();
}

bool CSplitResultListView::HandlesViewCommand(int id) const { return id == ID_EDIT_SAVE_CONTENT; }

CommandState CSplitResultListView::QueryViewCommand(int id) const {
  CommandState state;
  state.enabled = id == ID_EDIT_SAVE_CONTENT && m_pModel->rowCount() > 0;
  return state;
}

bool CSplitResultListView::OnViewCommand(int id) {
  if (id != ID_EDIT_SAVE_CONTENT) return false;
  if (QueryViewCommand(id).enabled) SaveAs();
  return true;
}

void CSplitResultListView::SaveAs() { RunSaveAsDialog(this, m_pDoc, ESaveAsBox::SplitResult, QStringView()); }

bool CSplitResultListView::SaveTo(const QString& path, int filter) {
  return SaveBoxTo(m_pDoc, ESaveAsBox::SplitResult, path, filter, QStringView());
}
