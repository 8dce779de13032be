#include "app/ui/panes/clips/clip_list_view.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>

#include "app/document/core/korvane_doc.h"
#include "app/document/files/text_clips.h"
#include "app/ui/editor/item_look.h"
#include "app/ui/results/view_busy.h"
#include "app/ui/results/view_prompts.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {

const QColor kDropRowColour(153, 153, 153);
const QColor kNamedColour(0, 0, 255);

QString FromU16(const std::vector<unsigned short>& v, int max = -1) {
  int n = static_cast<int>(v.size());
  if (max >= 0 && n > max) n = max;
  return QString(reinterpret_cast<const QChar*>(v.data()), n);
}

std::vector<unsigned short> ToU16(const QString& s) {
  return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size());
}

// One line of a row: line breaks shown as spaces so that every row keeps one line.
QString RowText(const std::vector<unsigned short>& text) {
  QString s = FromU16(text, CClipListView::kMaxRowText);
  for (QChar& c : s)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) c = QLatin1Char(' ');
  return s;
}

}  // namespace

CClipListView::CClipListView(CKorvaneDoc* doc, QWidget* parent) : QTreeWidget(parent), m_pDoc(doc) {
  setColumnCount(1);
  setHeaderLabels({CStringTable::Str(IDS_COL_TEXT_CLIP)});
  header()->setStretchLastSection(true);  // the one column always fills the client width
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAllColumnsShowFocus(true);
  setTextElideMode(Qt::ElideRight);
  // Drops are handled here, not by the view's own item moving.
  setDragEnabled(true);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::CopyAction);
  // A line under every row, drawn over the style's own cells (see item_look.h).
  setItemDelegate(new CGridLineDelegate(this, CGridLineDelegate::LINE_BOTTOM, QPalette::Midlight));
  m_pDoc->AddView(this);
  Rebuild();
}

CClipListView::~CClipListView() { m_pDoc->RemoveView(this); }

void CClipListView::OnUpdate(CDocView* sender, int hint) {
  if (m_nNesting > 0) return;
  if (hint & HINT_CLIPS) Rebuild();
}

void CClipListView::Rebuild() {
  CBusyGuard nesting(m_nNesting);
  const CTextClipList& clips = m_pDoc->GetClips().List();
  const int count = clips.Count();
  const int rows = count == 0 ? 1 : count;
  while (topLevelItemCount() > rows) delete takeTopLevelItem(topLevelItemCount() - 1);
  for (int i = 0; i < rows; ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (!item) {
      item = new QTreeWidgetItem;
      addTopLevelItem(item);
    }
    if (count == 0) {
      item->setText(0, CStringTable::Str(IDS_CLIP_DROP_HERE));
      item->setForeground(0, kDropRowColour);
      item->setToolTip(0, QString());
      continue;
    }
    const TextClip& clip = clips.At(i);
    if (!clip.name.empty()) {
      item->setText(0, FromU16(clip.name));
      // Blue, made lighter where the list's background is dark (selected rows use the
      // palette's selection colours instead).
      item->setForeground(0, ReadableTextColor(kNamedColour, palette().color(QPalette::Base)));
    } else {
      item->setText(0, RowText(clip.text));
      item->setData(0, Qt::ForegroundRole, QVariant());  // the default colours
    }
    item->setToolTip(0, FromU16(clip.text, kMaxToolTip));
  }
}

int CClipListView::SelectedClip() const {
  QTreeWidgetItem* item = currentItem();
  if (!item || !item->isSelected()) return -1;
  const int row = indexOfTopLevelItem(item);
  return row >= 0 && row < m_pDoc->GetClips().Count() ? row : -1;
}

void CClipListView::SelectClip(int index) {
  QTreeWidgetItem* item = topLevelItem(index);
  if (!item) return;
  setCurrentItem(item);
  item->setSelected(true);
  scrollToItem(item);
}

void CClipListView::Announce() {
  // The document saves the clips and tells the other copies; every view, this one too, rebuilds.
  m_pDoc->Notify(nullptr, HINT_CLIPS);
}

// ---------------------------------------------------------------------------------------------
// Dropping

int CClipListView::DropIndexAt(const QPoint& viewportPos) const {
  const int count = m_pDoc->GetClips().Count();
  QTreeWidgetItem* item = itemAt(viewportPos);
  if (!item) return count;
  int index = indexOfTopLevelItem(item);
  const QRect r = visualItemRect(item);
  if (viewportPos.y() > r.center().y()) ++index;
  return index > count ? count : index;
}

void CClipListView::SetDropIndex(int index) {
  if (index == m_nDropIndex) return;
  m_nDropIndex = index;
  viewport()->update();
}

void CClipListView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

// Text is copied in, shown by the insertion line at the row it would land on.
void CClipListView::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData()->hasText()) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  SetDropIndex(DropIndexAt(event->position().toPoint()));
}

void CClipListView::dragLeaveEvent(QDragLeaveEvent* event) {
  SetDropIndex(-1);
  event->accept();
}

void CClipListView::dropEvent(QDropEvent* event) {
  SetDropIndex(-1);
  const QMimeData* data = event->mimeData();
  if (!data->hasText() || data->text().isEmpty()) {
    event->ignore();
    return;
  }
  DropText(data->text(), DropIndexAt(event->position().toPoint()));
  event->setDropAction(Qt::CopyAction);
  event->accept();
  // The frame comes to the front and the list takes the focus.
  if (QWidget* top = window()) {
    top->raise();
    top->activateWindow();
  }
  setFocus();
}

int CClipListView::DropText(const QString& text, int index) {
  const int at = m_pDoc->GetClips().InsertClip(index, ToU16(text), {});
  Announce();
  SelectClip(at);
  return at;
}

void CClipListView::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  // The insertion line: along the top edge of the row at the index, or one pixel above the
  // bottom edge of the last row when the index is past it. Inverting keeps it visible on any
  // row colour. Nothing while the list has no clips: the drop row itself is the target.
  const int count = m_pDoc->GetClips().Count();
  if (m_nDropIndex < 0 || count == 0) return;
  int y;
  if (m_nDropIndex < topLevelItemCount()) {
    y = visualItemRect(topLevelItem(m_nDropIndex)).top();
  } else {
    y = visualItemRect(topLevelItem(topLevelItemCount() - 1)).bottom() - 1;
  }
  QPainter p(viewport());
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.setPen(QPen(Qt::white, 1));
  p.drawLine(0, y, viewport()->width(), y);
}

// ---------------------------------------------------------------------------------------------
// Dragging out

QMimeData* CClipListView::DragData(int index) const {
  const CTextClipList& clips = m_pDoc->GetClips().List();
  if (index < 0 || index >= clips.Count()) return nullptr;
  QMimeData* data = new QMimeData;
  data->setText(FromU16(clips.At(index).text));
  return data;
}

void CClipListView::startDrag(Qt::DropActions) {
  QMimeData* data = DragData(SelectedClip());
  if (!data) return;
  QDrag* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

// ---------------------------------------------------------------------------------------------
// Commands

bool CClipListView::HandlesViewCommand(int id) const {
  switch (id) {
    case ID_CLIP_SET_NAME:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case ID_EDIT_CLEAR:
    case ID_EDIT_CUT:
      return true;
    default:
      return false;
  }
}

CommandState CClipListView::QueryViewCommand(int id) const {
  CommandState state;
  switch (id) {
    case ID_CLIP_SET_NAME:
    case ID_EDIT_COPY:
    case ID_EDIT_CLEAR:
      state.enabled = SelectedClip() >= 0;
      break;
    case ID_EDIT_PASTE: {
      const QMimeData* m = QApplication::clipboard()->mimeData();
      state.enabled = m && m->hasText() && !m->text().isEmpty();
      break;
    }
    case ID_EDIT_CUT:
      state.enabled = false;
      break;
    default:
      state.enabled = false;
  }
  return state;
}

bool CClipListView::OnViewCommand(int id) {
  if (!HandlesViewCommand(id)) return false;
  if (!QueryViewCommand(id).enabled) return true;
  switch (id) {
    case ID_CLIP_SET_NAME: SetClipName(); break;
    case ID_EDIT_COPY: CopyClip(); break;
    case ID_EDIT_PASTE: PasteClip(); break;
    case ID_EDIT_CLEAR: DeleteClip(); break;
    default: break;
  }
  return true;
}

void CClipListView::SetClipName() {
  const int index = SelectedClip();
  if (index < 0) return;
  QString name = FromU16(m_pDoc->GetClips().List().At(index).name);
  if (!CViewPrompts::AskName(this, name)) return;
  m_pDoc->GetClips().SetClipName(index, ToU16(name));
  Announce();
  SelectClip(index);
}

void CClipListView::CopyClip() {
  const int index = SelectedClip();
  if (index < 0) return;
  // QMimeData's text is offered both as Unicode text and in the system's code page.
  QApplication::clipboard()->setText(FromU16(m_pDoc->GetClips().List().At(index).text));
}

void CClipListView::PasteClip() {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  const int at = m_pDoc->GetClips().AddClip(ToU16(text), {});
  Announce();
  SelectClip(at);
  setFocus();
}

void CClipListView::DeleteClip() {
  const int index = SelectedClip();
  if (index < 0) return;
  if (CViewPrompts::Ask(this, CStringTable::Str(IDS_MSG_DELETE_CLIP), CViewPrompts::YES_NO) != CViewPrompts::ANSWER_YES)
    return;
  m_pDoc->GetClips().RemoveClip(index);
  Announce();
}

void CClipListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
    OnViewCommand(ID_EDIT_CLEAR);
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CClipListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  if (SelectedClip() >= 0) OnViewCommand(ID_CLIP_SET_NAME);
}

void CClipListView::contextMenuEvent(QContextMenuEvent* event) {
  QPoint at;
  if (event->reason() == QContextMenuEvent::Mouse) {
    at = event->globalPos();
  } else {
    QTreeWidgetItem* item = currentItem();
    at = item && item->isSelected() ? viewport()->mapToGlobal(visualItemRect(item).topLeft()) : mapToGlobal(QPoint(0, 0));
  }
  ShowViewContextMenu(IDR_CTX_CLIP, this, at);
  event->accept();
}

void CClipListView::resizeEvent(QResizeEvent* event) {
  QTreeWidget::resizeEvent(event);
  header()->resizeSection(0, viewport()->width());
}

void CClipListView::changeEvent(QEvent* event) {
  QTreeWidget::changeEvent(event);
  // The named rows' blue depends on the background.
  if (event->type() == QEvent::PaletteChange && m_nNesting == 0) Rebuild();
}
