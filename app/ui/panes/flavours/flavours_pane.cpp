// The Flavours pane (see flavours_pane.h).
#include "app/ui/panes/flavours/flavours_pane.h"

#include <QDockWidget>
#include <QEvent>
#include <QShowEvent>
#include <QHideEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
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
#include "app/document/core/test_session.h"
#include "app/document/flavours/difference_search.h"
#include "app/document/flavours/flavour_session.h"
#include "app/document/pattern/flavour_convert.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/flavour_table.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/panes/flavours/convert_dialog.h"
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
  m_pFind = new QToolButton(this);
  m_pFind->setObjectName(QStringLiteral("findDifference"));
  m_pFind->setText(CStringTable::Str(IDS_FLAVOURS_FIND_DIFFERENCE));
  m_pFind->setToolTip(CStringTable::Str(IDS_FLAVOURS_FIND_TIP));
  connect(m_pFind, &QToolButton::clicked, this, &CFlavoursPane::FindDifference);
  top->addWidget(m_pFind);
  m_pConvert = new QToolButton(this);
  m_pConvert->setObjectName(QStringLiteral("convert"));
  m_pConvert->setText(CStringTable::Str(IDS_CONVERT_BUTTON));
  m_pConvert->setToolTip(CStringTable::Str(IDS_CONVERT_BUTTON_TIP));
  connect(m_pConvert, &QToolButton::clicked, this, [this] { OpenConvert(); });
  top->addWidget(m_pConvert);
  top->addWidget(m_pChoose);
  layout->addLayout(top);
  auto* found = new QHBoxLayout;
  m_pFound = new QLabel(this);
  m_pFound->setObjectName(QStringLiteral("differenceFound"));
  m_pFound->setWordWrap(true);
  m_pFound->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pFound->hide();
  found->addWidget(m_pFound, 1);
  m_pAddTest = new QToolButton(this);
  m_pAddTest->setText(CStringTable::Str(IDS_FLAVOURS_ADD_AS_TEST));
  m_pAddTest->hide();
  connect(m_pAddTest, &QToolButton::clicked, this, &CFlavoursPane::AddDifferenceAsTest);
  found->addWidget(m_pAddTest);
  layout->addLayout(found);
  m_pDifference = new CDifferenceSearch(this);
  connect(m_pDifference, &CDifferenceSearch::Finished, this, &CFlavoursPane::OnDifferenceFinished);

  m_pSplitter = new QSplitter(Qt::Vertical, this);
  m_pSplitter->setChildrenCollapsible(false);
  m_pMatrix = new QTableView(m_pSplitter);
  m_pMatrix->setObjectName(QStringLiteral("flavourMatrix"));
  m_pModel = new CFlavourMatrixModel(m_pSession, this);
  m_pModel->SetDark(IsDarkPalette(palette()));
  m_pMatrix->setModel(m_pModel);
  m_pMatrix->setSelectionMode(QAbstractItemView::SingleSelection);
  m_pMatrix->setSelectionBehavior(QAbstractItemView::SelectItems);
  m_pMatrix->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_pMatrix, &QWidget::customContextMenuRequested, this, &CFlavoursPane::ShowMatrixMenu);
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
    m_bShowingDifference = false;
    const CFlavourMatrix& m = m_pSession->Matrix();
    m_selectedFlavour = now.column() < m.Columns() ? m.columns[static_cast<size_t>(now.column())].flavour : QString();
    ShowSelectedCell();
  });
  connect(m_pMatrix, &QTableView::activated, this, [this](const QModelIndex& index) {
    if (m_pSession->Matrix().Cell(index.row(), index.column()).cell.status == CellStatus::Timeout &&
        !m_pSession->Matrix().Cell(index.row(), index.column()).waiting)
      emit ShowBacktracking();
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
  const FlavourSettings settings = FlavourSettings::Current();
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
  // Each flavour that runs on an interpreter may be pointed at another one (a newer python3, a
  // java of one's own); the header then shows the engine and version that one reports.
  QMenu* interpreters = m_pMenu->addMenu(CStringTable::Str(IDS_FLAVOURS_INTERPRETERS));
  for (const FlavourInfo& info : AllFlavours()) {
    if (info.InProcess() || !*info.interpreter) continue;
    const QString name = QString::fromLatin1(info.name);
    const QString display = QString::fromLatin1(info.display);
    const QString current = settings.interpreters.value(name, QString::fromLatin1(info.interpreter));
    QAction* a = interpreters->addAction(
        CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_INTERPRETER_ITEM), {display, current}));
    a->setData(name);
    connect(a, &QAction::triggered, this, [this, name] { AskInterpreter(name); });
  }
}

void CFlavoursPane::AskInterpreter(const QString& flavour) {
  const FlavourInfo* info = FindFlavour(flavour);
  if (!info) return;
  const QString display = QString::fromLatin1(info->display);
  bool ok = false;
  const QString program = QInputDialog::getText(
      this, CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_INTERPRETER_TITLE), {display}),
      CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_INTERPRETER_PROMPT),
                                  {display, QString::fromLatin1(info->interpreter)}),
      QLineEdit::Normal, FlavourSettings::StoredInterpreter(flavour), &ok);
  if (!ok || program.trimmed() == FlavourSettings::StoredInterpreter(flavour)) return;
  FlavourSettings::SetInterpreter(flavour, program);
  m_pSession->InterpreterChanged(flavour);
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

namespace {

// A text as the difference line shows it: quoted, with line breaks, tabs and the no-break space
// written out, since they are often what the engines disagree on.
QString Visible(const QString& text) {
  QString out;
  for (QChar c : text.left(200)) {
    if (c == QLatin1Char('\n')) out += QStringLiteral("\\n");
    else if (c == QLatin1Char('\r')) out += QStringLiteral("\\r");
    else if (c == QLatin1Char('\t')) out += QStringLiteral("\\t");
    else if (c.unicode() == 0x00A0) out += QStringLiteral("\\u00A0");
    else out += c;
  }
  if (text.size() > 200) out += QStringLiteral("...");
  return QStringLiteral("\u201C") + out + QStringLiteral("\u201D");
}

QString MatchesOf(const SubjectAnswer& a) {
  if (a.matches.empty()) return CStringTable::Str(IDS_FLAVOURS_NO_MATCH);
  QStringList spans;
  for (const FlavourMatch& m : a.matches) {
    if (spans.size() == 3) {
      spans << QStringLiteral("...");
      break;
    }
    if (m.size() >= 2) spans << QStringLiteral("%1-%2").arg(m[0]).arg(m[1]);
  }
  return spans.join(QStringLiteral(", "));
}

}  // namespace

CConvertDialog* CFlavoursPane::OpenConvert(const QString& flavour) {
  QString target = flavour;
  if (target.isEmpty() && IsConvertibleFlavour(m_selectedFlavour)) target = m_selectedFlavour;
  const CFlavourMatrix& m = m_pSession->Matrix();
  for (int c = 0; target.isEmpty() && c < m.Columns(); ++c)
    if (IsConvertibleFlavour(m.columns[static_cast<size_t>(c)].flavour)) target = m.columns[static_cast<size_t>(c)].flavour;
  auto* dialog = new CConvertDialog(m_pDoc, target, window());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  return dialog;
}

void CFlavoursPane::ShowMatrixMenu(const QPoint& at) {
  const QModelIndex index = m_pMatrix->indexAt(at);
  const CFlavourMatrix& m = m_pSession->Matrix();
  const int column = index.isValid() ? index.column() : m_pMatrix->horizontalHeader()->logicalIndexAt(at.x());
  if (column < 0 || column >= m.Columns()) return;
  const FlavourColumn& c = m.columns[static_cast<size_t>(column)];
  if (!IsConvertibleFlavour(c.flavour)) return;
  QMenu menu(this);
  const QString flavour = c.flavour;
  menu.addAction(CStringTable::FormatStrings(CStringTable::Str(IDS_CONVERT_MENU), {c.display}), this,
                 [this, flavour] { OpenConvert(flavour); });
  menu.exec(m_pMatrix->viewport()->mapToGlobal(at));
}

bool CFlavoursPane::IsFindingDifference() const {
  return m_pDifference->GetState() == CDifferenceSearch::State::Running;
}

void CFlavoursPane::FindDifference() {
  if (IsFindingDifference()) {
    // The button reads "Stop" while a search runs: a pathological pattern may time out on
    // every text tried, which takes a while; its runners go with the pool.
    m_pDifference->Cancel();
    m_pDifferencePool->deleteLater();
    m_pDifferencePool = nullptr;
    m_pFind->setText(CStringTable::Str(IDS_FLAVOURS_FIND_DIFFERENCE));
    m_pFound->setText(CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_FIND_STOPPED), {m_differenceDisplay}));
    return;
  }
  const CFlavourMatrix& m = m_pSession->Matrix();
  if (m.Columns() == 0) {
    m_pFound->setText(CStringTable::Str(IDS_FLAVOURS_NONE_CHOSEN));
    m_pFound->show();
    return;
  }
  int column = 0;
  for (int c = 0; c < m.Columns(); ++c)
    if (m.columns[static_cast<size_t>(c)].flavour == m_selectedFlavour) column = c;
  const FlavourColumn& c = m.columns[static_cast<size_t>(column)];
  m_differenceDisplay = c.display;
  // The searched state is the session's newest request: what the matrix shows.
  delete m_pDifferencePool;
  m_pDifferencePool = new CFlavourPool(this);
  m_pDifferencePool->SetLauncher(m_pSession->Pool().GetLauncher());  // the same interpreters
  m_pFind->setText(CStringTable::Str(IDS_FLAVOURS_STOP_FINDING));
  m_pAddTest->hide();
  m_pFound->setText(CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_FINDING), {c.display}));
  m_pFound->show();
  m_pDifference->Start(m_pDifferencePool, c.flavour, m.request.pattern, m.request.flags, m.request.subjects);
}

void CFlavoursPane::OnDifferenceFinished() {
  m_pFind->setText(CStringTable::Str(IDS_FLAVOURS_FIND_DIFFERENCE));
  const CDifferenceSearch& d = *m_pDifference;
  switch (d.GetState()) {
    case CDifferenceSearch::State::Found:
      m_pFound->setText(CStringTable::FormatStrings(
          CStringTable::Str(IDS_FLAVOURS_FOUND),
          {m_differenceDisplay, Visible(d.Subject()), MatchesOf(d.KorvaneAnswer()), MatchesOf(d.FlavourAnswerRow())}));
      m_pAddTest->show();
      m_pCompare->ShowCell(d.FoundMatrix(m_differenceDisplay), 0, 0);
      m_bShowingDifference = true;
      break;
    case CDifferenceSearch::State::NotFound:
      m_pFound->setText(CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_NOT_FOUND),
                                                    {m_differenceDisplay, QString::number(d.Tried())}));
      break;
    default:
      m_pFound->setText(CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_CANNOT_FIND),
                                                    {m_differenceDisplay, d.Problem()}));
      break;
  }
  // The runners of the search go; the matrix keeps its own.
  if (m_pDifferencePool) m_pDifferencePool->deleteLater();
  m_pDifferencePool = nullptr;
}

void CFlavoursPane::AddDifferenceAsTest() {
  const CDifferenceSearch& d = *m_pDifference;
  if (d.GetState() != CDifferenceSearch::State::Found) return;
  TestCase t;
  const QString name = CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_DIFFERENCE_TEST), {m_differenceDisplay});
  t.name.assign(name.utf16(), name.utf16() + name.size());
  t.SetSubject(TestText(d.Subject().utf16(), d.Subject().utf16() + d.Subject().size()));
  t.flags = m_pDoc->GetFlags();
  t.expectation = d.KorvaneAnswer().matches.empty() ? EXPECT_NO_MATCH : EXPECT_MATCH;
  const int index = m_pDoc->Tests().Add(t);
  m_pAddTest->hide();
  m_bShowingDifference = false;
  // The new test is a row of the matrix (the text box is row 0): select it in the flavour's column.
  m_nRow = index + 1;
  m_selectedFlavour = d.Flavour();
  ShowSelectedCell();
}

void CFlavoursPane::ShowSelectedCell() {
  if (m_bShowingDifference) return;  // the text found stays until a cell is picked
  const CFlavourMatrix& m = m_pSession->Matrix();
  int column = -1;
  for (int c = 0; c < m.Columns(); ++c)
    if (m.columns[static_cast<size_t>(c)].flavour == m_selectedFlavour) column = c;
  m_pCompare->ShowCell(m, m_nRow, column);
}
