// The Flavours pane (see flavours_pane.h).
#include "app/ui/panes/flavours/flavours_pane.h"

#include <QDockWidget>
#include <QEvent>
#include <QShowEvent>
#include <QHideEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/document/flavours/flavour_session.h"
#include "app/flavours/flavour_table.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/panes/flavours/flavour_compare_view.h"
#include "app/ui/panes/flavours/flavour_matrix_model.h"
#include "korvane_ids.h"
#include "stringtable.h"

CFlavoursPane::CFlavoursPane(CKorvaneDoc* doc, QWidget* parent)
    : QWidget(parent), m_pDoc(doc), m_pSession(&doc->Flavours()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  auto* top = new QHBoxLayout;
  m_pSummary = new QLabel(this);
  m_pSummary->setObjectName(QStringLiteral("flavourSummary"));
  m_pSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont bold = m_pSummary->font();
  bold.setBold(true);
  m_pSummary->setFont(bold);
  top->addWidget(m_pSummary, 1);
  m_pChoose = new QToolButton(this);
  m_pChoose->setText(CStringTable::Str(IDS_FLAVOURS_CHOOSE));
  m_pChoose->setPopupMode(QToolButton::InstantPopup);
  m_pMenu = new QMenu(m_pChoose);
  m_pChoose->setMenu(m_pMenu);
  connect(m_pMenu, &QMenu::aboutToShow, this, &CFlavoursPane::FillChoiceMenu);
  top->addWidget(m_pChoose);
  layout->addLayout(top);

  m_pSplitter = new QSplitter(Qt::Vertical, this);
  m_pSplitter->setChildrenCollapsible(false);
  m_pMatrix = new QTableView(m_pSplitter);
  m_pMatrix->setObjectName(QStringLiteral("flavourMatrix"));
  m_pModel = new CFlavourMatrixModel(m_pSession, this);
  m_pModel->SetDark(IsDarkPalette(palette()));
  m_pMatrix->setModel(m_pModel);
  m_pMatrix->setSelectionMode(QAbstractItemView::SingleSelection);
  m_pMatrix->setSelectionBehavior(QAbstractItemView::SelectItems);
  m_pMatrix->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_pMatrix->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  m_pMatrix->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  m_pMatrix->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_pMatrix->verticalHeader()->setDefaultSectionSize(m_pMatrix->fontMetrics().height() + 8);
  m_pMatrix->setWordWrap(false);
  // Small minimums: the bar scrolls the whole pane below them, and a docked bar is often low.
  m_pMatrix->setMinimumSize(80, 50);
  m_pCompare = new CFlavourCompareView(m_pSplitter);
  m_pSplitter->addWidget(m_pMatrix);
  m_pSplitter->addWidget(m_pCompare);
  m_pSplitter->setStretchFactor(0, 1);
  m_pSplitter->setStretchFactor(1, 1);
  layout->addWidget(m_pSplitter, 1);
  // Once the user moves the line between the matrix and the cell, it stays where they put it.
  connect(m_pSplitter, &QSplitter::splitterMoved, this, [this] { m_bUserSized = true; });

  connect(m_pSession, &CFlavourSession::MatrixChanged, this, &CFlavoursPane::OnMatrixChanged);
  connect(m_pModel, &CFlavourMatrixModel::Reshaped, this, &CFlavoursPane::OnReshaped);
  connect(m_pMatrix->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& now) {
    if (!now.isValid()) return;
    m_nRow = now.row();
    const CFlavourMatrix& m = m_pSession->Matrix();
    m_selectedFlavour = now.column() < m.Columns() ? m.columns[static_cast<size_t>(now.column())].flavour : QString();
    ShowSelectedCell();
  });
  OnMatrixChanged();
}

CFlavoursPane::~CFlavoursPane() {
  // The session belongs to the document, which outlives the pane; without the pane nobody
  // looks at the matrix.
  m_pSession->SetActive(false);
  m_pSession->SetPaneOpen(false);
}

void CFlavoursPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A bar whose tab is behind another stays "visible" to Qt, covered by the one in front; its
  // dock says when its tab comes forward or goes back.
  if (!m_pDock) {
    for (QWidget* w = parentWidget(); w && !m_pDock; w = w->parentWidget()) m_pDock = qobject_cast<QDockWidget*>(w);
    if (m_pDock)
      connect(m_pDock, &QDockWidget::visibilityChanged, this,
              [this] { QTimer::singleShot(0, this, &CFlavoursPane::UpdateActive); });
  }
  UpdateActive();
  QTimer::singleShot(0, this, &CFlavoursPane::UpdateActive);  // once the window has laid the tabs out
}

void CFlavoursPane::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  UpdateActive();
}

void CFlavoursPane::UpdateActive() {
  const bool seen = isVisible() && (!window()->isVisible() || !visibleRegion().isEmpty());
  m_pSession->SetActive(seen);
  // Open, seen or not: a tab behind another stays visible to Qt.
  m_pSession->SetPaneOpen(isVisible());
}

void CFlavoursPane::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) {
    m_pModel->SetDark(IsDarkPalette(palette()));
    ShowSelectedCell();
  }
}

void CFlavoursPane::FillChoiceMenu() {
  m_pMenu->clear();
  const QString folder = RunnersFolder();
  const FlavourSettings settings = FlavourSettings::FromEnvironment();
  for (const FlavourInfo& info : AllFlavours()) {
    if (info.InProcess()) continue;  // Korvane itself is the reference, always there
    const QString name = QString::fromLatin1(info.name);
    const bool missing = !LaunchFor(info, folder, settings).notInstalled.isEmpty();
    const QString display = QString::fromLatin1(info.display);
    QAction* a = m_pMenu->addAction(
        missing ? CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_MENU_MISSING), {display}) : display);
    a->setCheckable(true);
    a->setChecked(m_pSession->Chosen().contains(name));
    a->setData(name);
    connect(a, &QAction::toggled, this, [this, name](bool on) { ToggleFlavour(name, on); });
  }
}

void CFlavoursPane::ToggleFlavour(const QString& flavour, bool on) {
  QStringList chosen = m_pSession->Chosen();
  if (on && !chosen.contains(flavour)) chosen << flavour;
  if (!on) chosen.removeAll(flavour);
  m_pSession->SetChosen(chosen);  // the document marks itself modified
}

void CFlavoursPane::SelectCell(int row, int column) {
  if (row < 0 || row >= m_pModel->rowCount() || column < 0 || column >= m_pModel->columnCount()) return;
  m_pMatrix->setCurrentIndex(m_pModel->index(row, column));
}

void CFlavoursPane::FitMatrixHeight() {
  // The matrix takes the room its rows need, at most half the pane; the cell side by side the rest.
  const int total = m_pSplitter->height();
  if (total <= 0) return;
  const int rows = m_pModel->rowCount();
  const int frame = 2 * m_pMatrix->frameWidth();
  // Room for the horizontal scroll bar only when the columns are wider than the view.
  const bool scrolls = m_pMatrix->horizontalHeader()->length() + m_pMatrix->verticalHeader()->width() + frame > m_pMatrix->width();
  const int need = m_pMatrix->horizontalHeader()->sizeHint().height() + rows * m_pMatrix->verticalHeader()->defaultSectionSize() +
                   (scrolls ? m_pMatrix->horizontalScrollBar()->sizeHint().height() : 0) + frame + 2;
  const int top = std::max(m_pMatrix->minimumHeight(), std::min(need, total / 2));
  m_pSplitter->setSizes({top, std::max(1, total - top - m_pSplitter->handleWidth())});
}

void CFlavoursPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!m_bUserSized) FitMatrixHeight();
}

void CFlavoursPane::OnReshaped() {
  if (!m_bUserSized) FitMatrixHeight();
  // The same row and flavour as before, where they still are.
  const CFlavourMatrix& m = m_pSession->Matrix();
  int column = -1;
  for (int c = 0; c < m.Columns(); ++c)
    if (m.columns[static_cast<size_t>(c)].flavour == m_selectedFlavour) column = c;
  if (m_nRow >= 0 && m_nRow < m.Rows() && column >= 0) {
    const int row = m_nRow;
    const QString flavour = m_selectedFlavour;
    m_pMatrix->setCurrentIndex(m_pModel->index(row, column));
    m_nRow = row;
    m_selectedFlavour = flavour;
  }
}

void CFlavoursPane::OnMatrixChanged() {
  m_pSummary->setText(m_pSession->Summary());
  // The columns are fitted to their headers when those change (a runner's first answer brings
  // its engine and version), not on every answer, so that they do not jump while the user reads.
  QStringList headers;
  for (int c = 0; c < m_pModel->columnCount(); ++c) headers << m_pModel->headerData(c, Qt::Horizontal).toString();
  if (headers != m_fittedHeaders) {
    m_fittedHeaders = headers;
    m_pMatrix->resizeColumnsToContents();
    m_pMatrix->horizontalHeader()->resizeSections(QHeaderView::ResizeToContents);
    if (!m_bUserSized) FitMatrixHeight();  // the header may have grown a line
  }
  ShowSelectedCell();
}

void CFlavoursPane::ShowSelectedCell() {
  const CFlavourMatrix& m = m_pSession->Matrix();
  int column = -1;
  for (int c = 0; c < m.Columns(); ++c)
    if (m.columns[static_cast<size_t>(c)].flavour == m_selectedFlavour) column = c;
  m_pCompare->ShowCell(m, m_nRow, column);
}
