#include "app/ui/panes/test_cases/test_case_list.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <algorithm>

#include "app/document/testing/test_eval.h"
#include "app/ui/editor/view_colours.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {

// Each circle stands out from the list's base by 3:1 or more, and its white sign from the
// circle by 3:1 or more, in the light palette and (with the dark variants) in the dark one.
QColor MarkColor(int status, bool dark) {
  switch (status) {
    case TEST_PASS: return QColor(0x2e, 0x8b, 0x3a);                                        // green
    case TEST_FAIL: return dark ? QColor(0xe5, 0x48, 0x48) : QColor(0xc6, 0x28, 0x28);     // red
    case TEST_TIMED_OUT: return QColor(0xd9, 0x7a, 0x00);                                   // amber
    case TEST_ERROR: return dark ? QColor(0xa8, 0x5c, 0xdc) : QColor(0x7b, 0x1f, 0xa2);    // purple
    default: return QColor(0x8a, 0x8a, 0x8a);                                               // grey
  }
}

// One mark at `size` device-independent pixels, drawn at the screen's pixel ratio.
QPixmap DrawMark(int status, int size, qreal ratio, bool dark) {
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box(1, 1, size - 2, size - 2);
  const QColor color = MarkColor(status, dark);
  if (status == TEST_NOT_RUN) {
    // A ring: no result yet.
    p.setPen(QPen(color, size / 8.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(box.adjusted(1, 1, -1, -1));
    return pixmap;
  }
  // A rim keeps the circle apart from a selection of a similar colour: dark on a light base,
  // light on a dark one, where the selection is as deep as the circles.
  p.setPen(QPen(dark ? QColor(240, 240, 240) : color.darker(150), 1));
  p.setBrush(color);
  p.drawEllipse(box);
  QPen sign(Qt::white, size / 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(sign);
  p.setBrush(Qt::NoBrush);
  const qreal s = size;
  switch (status) {
    case TEST_PASS: {
      QPainterPath check;
      check.moveTo(s * 0.28, s * 0.52);
      check.lineTo(s * 0.44, s * 0.68);
      check.lineTo(s * 0.72, s * 0.34);
      p.drawPath(check);
      break;
    }
    case TEST_FAIL:
      p.drawLine(QPointF(s * 0.33, s * 0.33), QPointF(s * 0.67, s * 0.67));
      p.drawLine(QPointF(s * 0.67, s * 0.33), QPointF(s * 0.33, s * 0.67));
      break;
    case TEST_TIMED_OUT:  // clock hands
      p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.5, s * 0.26));
      p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.7, s * 0.6));
      break;
    default:  // error: an exclamation mark
      p.drawLine(QPointF(s * 0.5, s * 0.25), QPointF(s * 0.5, s * 0.55));
      p.drawPoint(QPointF(s * 0.5, s * 0.74));
      break;
  }
  return pixmap;
}

}  // namespace

QIcon CTestCaseList::Mark(int status, bool dark) {
  if (status < TEST_NOT_RUN || status > TEST_ERROR) status = TEST_ERROR;
  static QIcon marks[2][TEST_ERROR + 1];
  QIcon& icon = marks[dark ? 1 : 0][status];
  if (icon.isNull()) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    for (int size : {16, 20, 24, 32}) icon.addPixmap(DrawMark(status, size, ratio, dark));
  }
  return icon;
}

QIcon CTestCaseList::FlavourMark() {
  static QIcon icon;
  if (icon.isNull()) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    for (int size : {16, 20, 24, 32}) {
      QPixmap pixmap(QSize(size, size) * ratio);
      pixmap.setDevicePixelRatio(ratio);
      pixmap.fill(Qt::transparent);
      QPainter p(&pixmap);
      p.setRenderHint(QPainter::Antialiasing);
      const qreal s = size;
      // An amber triangle with a dark rim and a dark exclamation mark: readable on light and
      // dark bases and on the selection alike.
      QPainterPath triangle;
      triangle.moveTo(s * 0.5, s * 0.08);
      triangle.lineTo(s * 0.95, s * 0.9);
      triangle.lineTo(s * 0.05, s * 0.9);
      triangle.closeSubpath();
      p.setPen(QPen(QColor(0x6b, 0x3d, 0x00), 1));
      p.setBrush(QColor(0xf2, 0xa9, 0x00));
      p.drawPath(triangle);
      p.setPen(QPen(QColor(0x30, 0x1c, 0x00), s / 8.0, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(s * 0.5, s * 0.36), QPointF(s * 0.5, s * 0.6));
      p.drawPoint(QPointF(s * 0.5, s * 0.76));
      icon.addPixmap(pixmap);
    }
  }
  return icon;
}

QString CTestCaseList::MarkText(int status) {
  switch (status) {
    case TEST_PASS: return CStringTable::Str(IDS_MARK_PASSED);
    case TEST_FAIL: return CStringTable::Str(IDS_MARK_FAILED);
    case TEST_TIMED_OUT: return CStringTable::Str(IDS_MARK_TIMED_OUT);
    case TEST_ERROR: return CStringTable::Str(IDS_MARK_ERROR);
    default: return CStringTable::Str(IDS_MARK_NOT_RUN);
  }
}

int CTestCaseList::MoveTarget(int from, int row, int count) {
  if (from < 0 || from >= count) return -1;
  if (row < 0 || row > count) row = count;
  // Dropped before the next row or before itself: no move.
  const int to = row > from ? row - 1 : row;
  return to == from ? -1 : to;
}

CTestCaseList::CTestCaseList(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("test-list"));
  setColumnCount(3);
  setHeaderLabels({CStringTable::Str(IDS_COL_TEST_MARK), CStringTable::Str(IDS_COL_TEST_NAME),
                   CStringTable::Str(IDS_COL_TEST_REASON)});
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::InternalMove);
  setDefaultDropAction(Qt::MoveAction);
  setIconSize(QSize(16, 16));
  header()->setStretchLastSection(true);
  // Never sized to its contents: that measures every row again at each row's change, so a run
  // of thousands of tests froze the window. The widest word a mark can have is known.
  header()->setSectionResizeMode(COL_MARK, QHeaderView::Interactive);
  FitMarkColumn();
  header()->resizeSection(COL_NAME, 170);
}

void CTestCaseList::FitMarkColumn() {
  const QFontMetrics metrics(font());
  int widest = header()->fontMetrics().horizontalAdvance(headerItem()->text(COL_MARK));
  for (int status = TEST_NOT_RUN; status <= TEST_ERROR; ++status)
    widest = std::max(widest, iconSize().width() + 6 + metrics.horizontalAdvance(MarkText(status)));
  header()->resizeSection(COL_MARK, widest + 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12);
}

void CTestCaseList::changeEvent(QEvent* event) {
  QTreeWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
      event->type() == QEvent::LanguageChange)
    FitMarkColumn();
  if (event->type() == QEvent::PaletteChange) {
    // The marks of the other palette.
    const bool dark = IsDarkPalette(palette());
    for (int row = 0; row < topLevelItemCount(); ++row) {
      QTreeWidgetItem* item = topLevelItem(row);
      item->setIcon(COL_MARK, Mark(item->data(COL_MARK, Qt::UserRole).toInt(), dark));
    }
  }
}

void CTestCaseList::SetRowCount(int count) {
  if (count < 0) count = 0;
  while (topLevelItemCount() > count) delete takeTopLevelItem(topLevelItemCount() - 1);
  if (topLevelItemCount() < count) {
    QList<QTreeWidgetItem*> items;
    for (int i = topLevelItemCount(); i < count; ++i) {
      auto* item = new QTreeWidgetItem;
      // Dragged, never dropped onto: a drop lands between rows.
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
      items.append(item);
    }
    addTopLevelItems(items);
  }
}

void CTestCaseList::SetRow(int row, int status, const QString& name, const QString& reason,
                           const QString& flavourNote) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return;
  const QString word = MarkText(status);
  if (item->data(COL_MARK, Qt::UserRole).toInt() != status || item->text(COL_MARK) != word) {
    item->setData(COL_MARK, Qt::UserRole, status);
    item->setIcon(COL_MARK, Mark(status, IsDarkPalette(palette())));
    item->setText(COL_MARK, word);
  }
  if (item->text(COL_NAME) != name) item->setText(COL_NAME, name);
  const bool flagged = !flavourNote.isEmpty();
  if (item->data(COL_NAME, Qt::UserRole).toBool() != flagged) {
    item->setData(COL_NAME, Qt::UserRole, flagged);
    item->setIcon(COL_NAME, flagged ? FlavourMark() : QIcon());
  }
  if (item->toolTip(COL_NAME) != flavourNote) item->setToolTip(COL_NAME, flavourNote);
  const QString shown = flagged && reason.isEmpty() ? flavourNote : reason;
  if (item->text(COL_REASON) != shown) {
    item->setText(COL_REASON, shown);
    item->setToolTip(COL_REASON, shown);
  }
}

int CTestCaseList::SelectedRow() const {
  QTreeWidgetItem* item = currentItem();
  return item && item->isSelected() ? indexOfTopLevelItem(item) : -1;
}

void CTestCaseList::SelectRow(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) {
    clearSelection();
    return;
  }
  setCurrentItem(item);
  item->setSelected(true);
  scrollToItem(item);
}

void CTestCaseList::dropEvent(QDropEvent* event) {
  // Only the list's own rows are dropped here; the move is the document's to make, so the
  // view's own moving of items is never run.
  if (event->source() != this) {
    event->ignore();
    return;
  }
  const int from = SelectedRow();
  int row = topLevelItemCount();
  if (QTreeWidgetItem* target = itemAt(event->position().toPoint())) {
    row = indexOfTopLevelItem(target);
    if (dropIndicatorPosition() == QAbstractItemView::BelowItem) ++row;
  }
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
  const int to = MoveTarget(from, row, topLevelItemCount());
  if (to >= 0) emit RowMoved(from, to);
}

void CTestCaseList::mousePressEvent(QMouseEvent* event) {
  // A right click selects the row under the mouse first.
  if (event->button() == Qt::RightButton)
    if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
      setCurrentItem(item);
      item->setSelected(true);
    }
  QTreeWidget::mousePressEvent(event);
}

void CTestCaseList::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  QTreeWidget::mouseDoubleClickEvent(event);
  if (item && event->button() == Qt::LeftButton) emit RowActivated(indexOfTopLevelItem(item));
}

void CTestCaseList::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && SelectedRow() >= 0) {
    emit RowActivated(SelectedRow());
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CTestCaseList::contextMenuEvent(QContextMenuEvent* event) {
  QPoint at;
  if (event->reason() == QContextMenuEvent::Mouse) {
    at = event->globalPos();
  } else {
    QTreeWidgetItem* item = currentItem();
    at = item && item->isSelected() ? viewport()->mapToGlobal(visualItemRect(item).bottomLeft())
                                    : mapToGlobal(QPoint(0, 0));
  }
  emit ContextMenuWanted(at);
  event->accept();
}
