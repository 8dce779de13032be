#include "app/ui/panes/test_cases/test_case_pane.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <thread>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/test_session.h"
#include "app/document/files/snapshot.h"
#include "app/document/files/text_clips.h"
#include "app/document/files/test_io.h"
#include "app/document/flavours/flavour_session.h"
#include "app/document/flavours/flavour_test_check.h"
#include "app/flavours/flavour_table.h"
#include "app/ui/panes/test_cases/snapshot_test_table.h"
#include "app/ui/panes/test_cases/test_case_editor.h"
#include "app/ui/panes/test_cases/test_case_list.h"
#include "app/ui/results/view_busy.h"
#include "app/ui/results/view_prompts.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {
QString FromU16(const TestText& v) { return QString(reinterpret_cast<const QChar*>(v.data()), static_cast<int>(v.size())); }
TestText ToU16(const QString& s) { return TestText(s.utf16(), s.utf16() + s.size()); }

CTestCasePane::PathAsker& Asker() {
  static CTestCasePane::PathAsker asker;
  return asker;
}

// The reason as one line: a reason quotes texts, which may hold line breaks.
QString OneLine(const QString& reason) {
  QString line = reason;
  line.replace(QLatin1Char('\n'), QChar(0x21B5)).replace(QLatin1Char('\r'), QChar(0x21B5));
  return line;
}
}  // namespace

void CTestCasePane::SetPathAsker(PathAsker asker) { Asker() = std::move(asker); }

CTestCasePane::CTestCasePane(CKorvaneDoc* doc, QWidget* parent) : QWidget(parent), m_pDoc(doc) {
  setObjectName(QStringLiteral("tests"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_pSplitter = new QSplitter(Qt::Vertical, this);
  m_pSplitter->setChildrenCollapsible(false);
  // The list with the time limit of the whole set under it; the editor beside or below. The
  // editor's rows scroll when the pane is small, instead of running over the list and the
  // window's tab bar; the list shows fewer rows.
  auto* listSide = new QWidget(m_pSplitter);
  auto* listLayout = new QVBoxLayout(listSide);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->setSpacing(2);
  m_pList = new CTestCaseList(listSide);
  listLayout->addWidget(m_pList, 1);
  auto* limitRow = new QHBoxLayout;
  limitRow->setContentsMargins(2, 0, 2, 2);
  auto* limitLabel = new QLabel(CStringTable::Str(IDS_TEST_TIME_LIMIT), listSide);
  m_pTimeLimit = new QSpinBox(listSide);
  m_pTimeLimit->setObjectName(QStringLiteral("test-time-limit"));
  m_pTimeLimit->setRange(kMinTestTimeLimitMs, kMaxTestTimeLimitMs);
  m_pTimeLimit->setSingleStep(100);
  m_pTimeLimit->setAccelerated(true);
  m_pTimeLimit->setGroupSeparatorShown(true);
  m_pTimeLimit->setKeyboardTracking(false);  // typed digits count once the box is left or Enter
  m_pTimeLimit->setValue(m_pDoc->Tests().TimeLimit());
  m_pTimeLimit->setToolTip(CStringTable::Str(IDS_TEST_TIME_LIMIT_TIP));
  limitLabel->setToolTip(m_pTimeLimit->toolTip());
  limitLabel->setBuddy(m_pTimeLimit);
  limitRow->addWidget(limitLabel);
  limitRow->addWidget(m_pTimeLimit);
  limitRow->addStretch(1);
  listLayout->addLayout(limitRow);
  m_pEditor = new CTestCaseEditor;
  auto* editorScroll = new QScrollArea(m_pSplitter);
  editorScroll->setObjectName(QStringLiteral("test-editor-scroll"));
  editorScroll->setFrameShape(QFrame::NoFrame);
  editorScroll->setWidgetResizable(true);
  editorScroll->setWidget(m_pEditor);
  editorScroll->setMinimumSize(kMinPartSize, kMinPartSize);
  listSide->setMinimumSize(kMinPartSize, kMinPartSize);
  m_pSplitter->addWidget(listSide);
  m_pSplitter->addWidget(editorScroll);
  m_pSplitter->setStretchFactor(0, 3);
  m_pSplitter->setStretchFactor(1, 2);
  layout->addWidget(m_pSplitter);

  m_pEditTimer = new QTimer(this);
  m_pEditTimer->setSingleShot(true);
  m_pEditTimer->setInterval(kEditDelayMs);
  connect(m_pEditTimer, &QTimer::timeout, this, &CTestCasePane::CommitEdit);
  connect(m_pEditor, &CTestCaseEditor::Edited, m_pEditTimer, qOverload<>(&QTimer::start));
  connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CTestCasePane::OnSelectionChanged);
  connect(m_pList, &CTestCaseList::RowMoved, this, &CTestCasePane::OnRowMoved);
  connect(m_pList, &CTestCaseList::RowActivated, this, [this](int row) {
    if (row >= 0) OnViewCommand(ID_TEST_LOAD);
  });
  connect(m_pList, &CTestCaseList::ContextMenuWanted, this, &CTestCasePane::OnContextMenu);
  connect(m_pTimeLimit, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int ms) {
    if (!m_nBusy) m_pDoc->Tests().SetTimeLimit(ms);
  });
  // The editor's change is written when the focus leaves it for anywhere else.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if (old && m_pEditor->isAncestorOf(old) && !(now && m_pEditor->isAncestorOf(now)) && m_pEditTimer->isActive())
      CommitEdit();
  });

  m_pDoc->AddView(this);
  Refill(true);
}

CTestCasePane::~CTestCasePane() { m_pDoc->RemoveView(this); }

void CTestCasePane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A pane at least twice as wide as tall shows the editor beside the list.
  const Qt::Orientation wanted = width() >= 2 * height() ? Qt::Horizontal : Qt::Vertical;
  if (m_pSplitter->orientation() == wanted) return;
  m_pSplitter->setOrientation(wanted);
  // The list keeps the larger share: its reasons are what one reads most.
  const int extent = wanted == Qt::Horizontal ? width() : height();
  m_pSplitter->setSizes({extent * 3 / 5, extent * 2 / 5});
}

void CTestCasePane::OnUpdate(CDocView*, int hint) {
  // A new or opened document, a snapshot switch and the test bits all can change the set.
  const bool tests = (hint & (HINT_TESTS | HINT_CURRENT_SNAPSHOT)) != 0;
  if (tests || (hint & HINT_TEST_RESULTS)) Refill(tests);
}

int CTestCasePane::SelectedTest() const { return m_pList->SelectedRow(); }

void CTestCasePane::SelectTest(int index) {
  m_pList->SelectRow(index);
  ShowSelected();
}

void CTestCasePane::Refill(bool tests) {
  CBusyGuard busy(m_nBusy);
  const TestSet& set = m_pDoc->Tests().All();
  const std::vector<TestResult>& results = m_pDoc->Tests().Results();
  const int count = static_cast<int>(set.size());
  if (tests) {
    // A test the editor shows that is gone, or was changed by someone else, is shown afresh.
    if (m_pList->topLevelItemCount() != count) m_pList->SetRowCount(count);
    if (SelectedTest() < 0 && count > 0 && m_nEditedTest >= 0) m_pList->SelectRow(qMin(m_nEditedTest, count - 1));
    ShowSelected();
  }
  if (m_pTimeLimit->value() != m_pDoc->Tests().TimeLimit()) m_pTimeLimit->setValue(m_pDoc->Tests().TimeLimit());
  if (m_pList->topLevelItemCount() != count) m_pList->SetRowCount(count);
  // A test whose edit was not applied shows that, not a result about what the editor no longer
  // says; the summary counts it as an error too.
  std::vector<TestResult> shown(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    shown[i] = i < static_cast<int>(results.size()) ? results[i] : TestResult();
    const int bad = NotAppliedLine(i);
    if (bad >= 0) {
      shown[i].status = TEST_ERROR;
      shown[i].reason = CStringTable::FormatStrings(CStringTable::Str(IDS_TEST_NOT_APPLIED), {QString::number(bad + 1)});
    }
    m_pList->SetRow(i, shown[i].status, FromU16(set[i].name), OneLine(shown[i].reason), FlavourNote(i, shown[i]));
  }
  const QString summary = TestStatusText(shown);
  if (summary != m_summary) {
    m_summary = summary;
    emit SummaryChanged(m_summary);
  }
}

QString CTestCasePane::FlavourNote(int row, const TestResult& shown) const {
  if (shown.status != TEST_PASS) return QString();
  const CFlavourTestCheck& check = m_pDoc->Flavours().TestCheck();
  if (check.CheckedSet() != m_pDoc->Tests().Shared()) return QString();
  const CFlavourTestCheck::Verdict* failure = check.FirstFailure(row);
  if (!failure) return QString();
  const FlavourInfo* info = FindFlavour(failure->flavour);
  return CStringTable::FormatStrings(CStringTable::Str(IDS_TEST_FAILS_IN_FLAVOUR),
                                     {info ? QString::fromUtf8(info->display) : failure->flavour,
                                      OneLine(failure->result.reason)});
}

int CTestCasePane::NotAppliedLine(int row) const {
  if (row == m_nEditedTest && m_pEditor->HasTest()) return m_pEditor->MarkedLine();
  const auto it = m_drafts.find(row);
  const TestSet& set = m_pDoc->Tests().All();
  if (it == m_drafts.end() || row >= static_cast<int>(set.size()) || !(set[row] == it->second.test)) return -1;
  return it->second.badLine;
}

void CTestCasePane::ShowSelected(bool force) {
  const int row = SelectedTest();
  const TestSet& set = m_pDoc->Tests().All();
  const int count = static_cast<int>(set.size());
  const int shown = row >= 0 && row < count ? row : -1;
  if (!force && shown >= 0 && shown == m_nEditedTest && m_pEditor->HasTest() && !m_pEditTimer->isActive()) {
    // The editor already says what the test holds (its own edit, just written back): its
    // fields stay as typed, caret and all ("1-2" and a line break read as the test's "1-2"),
    // and so do expected matches that do not parse, with their mark.
    TestCase fromEditor = set[shown];
    m_pEditor->Apply(&fromEditor);
    if (fromEditor == set[shown]) return;
  }
  if (shown != m_nEditedTest) {
    m_pEditTimer->stop();
    // An edit left with a line that does not parse waits for the test to come back.
    if (m_nEditedTest >= 0 && m_nEditedTest < count && m_pEditor->HasTest() && m_pEditor->MarkedLine() >= 0)
      m_drafts[m_nEditedTest] = Draft{m_pEditor->ExpectedBox()->toPlainText(), m_pEditor->MarkedLine(), set[m_nEditedTest]};
  }
  m_nEditedTest = shown;
  m_pEditor->Show(shown >= 0 ? &set[shown] : nullptr);
  const auto draft = m_drafts.find(shown);
  if (draft == m_drafts.end()) return;
  if (!force && set[shown] == draft->second.test) {
    m_pEditor->RestoreExpected(draft->second.expected);
    m_pEditor->MarkBadLine(draft->second.badLine);
  }
  m_drafts.erase(draft);  // the editor holds it now, or it no longer fits the test
}

void CTestCasePane::OnSelectionChanged() {
  if (m_nBusy) return;
  // The edit of the test left behind goes to that test, before the editor shows the next.
  if (m_pEditTimer->isActive()) {
    const int row = SelectedTest();
    CommitEdit();
    if (SelectedTest() != row) m_pList->SelectRow(row);
  }
  ShowSelected();
}

void CTestCasePane::CommitEdit() {
  m_pEditTimer->stop();
  const int index = m_nEditedTest;
  if (index < 0 || index >= m_pDoc->Tests().Count() || !m_pEditor->HasTest()) return;
  TestCase edited = m_pDoc->Tests().All()[index];
  // Every field that parses is written; a line of the expected matches that does not is marked
  // where it stands, and the test keeps its matches until it parses.
  int bad = -1;
  m_pEditor->Apply(&edited, &bad);
  const bool markChanged = bad != m_pEditor->MarkedLine();
  m_pEditor->MarkBadLine(bad);
  if (!(edited == m_pDoc->Tests().All()[index]))
    m_pDoc->Tests().Edit(index, edited);  // refills the list, marks and all
  else if (markChanged)
    Refill(false);
}

void CTestCasePane::OnRowMoved(int from, int to) {
  CommitEdit();
  if (m_pDoc->Tests().Move(from, to)) SelectTest(to);
}

void CTestCasePane::OnContextMenu(const QPoint& globalPos) { ShowViewContextMenu(IDR_CTX_TESTS, this, globalPos); }

// ---------------------------------------------------------------------------------------------
// Commands

QWidget* CTestCasePane::FocusedTextBox() const {
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !m_pEditor->isAncestorOf(focus)) return nullptr;
  if (qobject_cast<QPlainTextEdit*>(focus) || qobject_cast<QLineEdit*>(focus)) return focus;
  return nullptr;
}

bool CTestCasePane::HandlesViewCommand(int id) const {
  if (id >= ID_TEST_ADD && id <= ID_TEST_RUN_SNAPSHOTS) return true;
  switch (id) {
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case ID_EDIT_CLEAR:
    case ID_EDIT_SELECT_ALL:
      return true;
    default:
      return false;
  }
}

CommandState CTestCasePane::QueryViewCommand(int id) const {
  CommandState state;
  state.enabled = false;
  const int row = SelectedTest();
  const int count = m_pDoc->Tests().Count();
  const bool selected = row >= 0 && row < count;
  if (QWidget* box = FocusedTextBox(); box && id >= ID_EDIT_CLEAR && id <= ID_EDIT_SELECT_ALL) {
    auto* edit = qobject_cast<QPlainTextEdit*>(box);
    if (!edit) return state;
    const bool writable = !edit->isReadOnly();
    const bool selection = edit->textCursor().hasSelection();
    switch (id) {
      case ID_EDIT_UNDO: state.enabled = writable && edit->document()->isUndoAvailable(); break;
      case ID_EDIT_REDO: state.enabled = writable && edit->document()->isRedoAvailable(); break;
      case ID_EDIT_CUT:
      case ID_EDIT_CLEAR: state.enabled = writable && selection; break;
      case ID_EDIT_COPY: state.enabled = selection; break;
      case ID_EDIT_PASTE: state.enabled = writable && edit->canPaste(); break;
      case ID_EDIT_SELECT_ALL: state.enabled = !edit->document()->isEmpty(); break;
      default: break;
    }
    return state;
  }
  switch (id) {
    case ID_EDIT_UNDO: state.enabled = m_pDoc->Tests().CanUndo(); break;
    case ID_EDIT_REDO: state.enabled = m_pDoc->Tests().CanRedo(); break;
    case ID_EDIT_CLEAR: state.enabled = selected; break;
    case ID_TEST_ADD:
    case ID_TEST_IMPORT_FILE: state.enabled = true; break;
    case ID_TEST_DUPLICATE:
    case ID_TEST_RENAME:
    case ID_TEST_DELETE:
    case ID_TEST_LOAD:
    case ID_TEST_ACCEPT: state.enabled = selected; break;
    case ID_TEST_MOVE_UP: state.enabled = selected && row > 0; break;
    case ID_TEST_MOVE_DOWN: state.enabled = selected && row + 1 < count; break;
    case ID_TEST_IMPORT_CLIPS: state.enabled = m_pDoc->GetClips().Count() > 0; break;
    case ID_TEST_EXPORT_CSV:
    case ID_TEST_RUN_SNAPSHOTS: state.enabled = count > 0; break;
    default: break;
  }
  return state;
}

bool CTestCasePane::OnViewCommand(int id) {
  if (!HandlesViewCommand(id)) return false;
  if (!QueryViewCommand(id).enabled) return true;
  if (QWidget* box = FocusedTextBox(); box && id >= ID_EDIT_CLEAR && id <= ID_EDIT_SELECT_ALL) {
    auto* edit = qobject_cast<QPlainTextEdit*>(box);
    switch (id) {
      case ID_EDIT_UNDO: edit->undo(); break;
      case ID_EDIT_REDO: edit->redo(); break;
      case ID_EDIT_CUT: edit->cut(); break;
      case ID_EDIT_COPY: edit->copy(); break;
      case ID_EDIT_PASTE: edit->paste(); break;
      case ID_EDIT_CLEAR: edit->textCursor().removeSelectedText(); break;
      case ID_EDIT_SELECT_ALL: edit->selectAll(); break;
      default: break;
    }
    return true;
  }
  // Every command below acts on the tests as the editor shows them.
  CommitEdit();
  switch (id) {
    case ID_EDIT_UNDO: m_pDoc->Tests().Undo(); break;
    case ID_EDIT_REDO: m_pDoc->Tests().Redo(); break;
    case ID_EDIT_CLEAR:
    case ID_TEST_DELETE: DeleteTest(); break;
    case ID_TEST_ADD: AddTest(); break;
    case ID_TEST_DUPLICATE: DuplicateTest(); break;
    case ID_TEST_RENAME: RenameTest(); break;
    case ID_TEST_MOVE_UP: MoveTest(-1); break;
    case ID_TEST_MOVE_DOWN: MoveTest(1); break;
    case ID_TEST_LOAD: LoadTest(); break;
    case ID_TEST_ACCEPT: AcceptResult(); break;
    case ID_TEST_IMPORT_FILE: ImportFile(); break;
    case ID_TEST_IMPORT_CLIPS: ImportClips(); break;
    case ID_TEST_EXPORT_CSV: ExportCsv(); break;
    case ID_TEST_RUN_SNAPSHOTS: RunOnAllSnapshots(); break;
    default: break;
  }
  return true;
}

void CTestCasePane::AddTest() {
  const int index = m_pDoc->Tests().AddFromSubject();
  if (index >= 0) SelectTest(index);
}

void CTestCasePane::DuplicateTest() {
  const int index = m_pDoc->Tests().Duplicate(SelectedTest());
  if (index >= 0) SelectTest(index);
}

void CTestCasePane::RenameTest() {
  const int row = SelectedTest();
  if (row < 0 || row >= m_pDoc->Tests().Count()) return;
  const QString old = FromU16(m_pDoc->Tests().All()[row].name);
  QString name = old;
  if (!CViewPrompts::AskName(this, name)) return;
  if (IsBlankTestName(ToU16(name))) {
    CViewPrompts::Tell(this, CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_TEST_NAME_EMPTY), {old}));
    return;
  }
  m_pDoc->Tests().Rename(row, ToU16(name));
}

void CTestCasePane::DeleteTest() {
  const int row = SelectedTest();
  if (row < 0 || row >= m_pDoc->Tests().Count()) return;
  const QString question =
      CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_DELETE_TEST), {FromU16(m_pDoc->Tests().All()[row].name)});
  if (CViewPrompts::Ask(this, question, CViewPrompts::OK_CANCEL) != CViewPrompts::ANSWER_OK) return;
  if (!m_pDoc->Tests().Delete(row)) return;
  // The row that took its place is selected, or the new last one.
  const int count = m_pDoc->Tests().Count();
  SelectTest(count == 0 ? -1 : qMin(row, count - 1));
}

void CTestCasePane::MoveTest(int delta) {
  const int row = SelectedTest();
  if (m_pDoc->Tests().Move(row, row + delta)) SelectTest(row + delta);
}

void CTestCasePane::LoadTest() { m_pDoc->Tests().LoadIntoText(SelectedTest()); }

void CTestCasePane::AcceptResult() {
  const int row = SelectedTest();
  if (row < 0) return;
  const TestResult result = m_pDoc->Tests().Accept(row);
  if (result.status != TEST_PASS) {
    // Nothing was accepted: say so, and for a run out of time what to do about it.
    const int id = result.status == TEST_TIMED_OUT ? IDS_MSG_ACCEPT_TIMED_OUT : IDS_MSG_ACCEPT_FAILED;
    CViewPrompts::Tell(this, CStringTable::FormatStrings(CStringTable::Str(id), {result.reason}));
    return;
  }
  ShowSelected(true);  // the accepted expectation replaces what the editor showed
}

QString CTestCasePane::AskPath(bool save, int filterId) {
  if (Asker()) return Asker()(save, filterId);
  const QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(filterId));
  const QString joined = filters.join(QStringLiteral(";;"));
  return save ? QFileDialog::getSaveFileName(this, QString(), QString(), joined)
              : QFileDialog::getOpenFileName(this, QString(), QString(), joined);
}

void CTestCasePane::ImportFile() {
  const QString path = AskPath(false, IDS_FILTER_IMPORT_TESTS);
  if (path.isEmpty()) return;
  const int answer = CViewPrompts::Ask(this, CStringTable::Str(IDS_MSG_IMPORT_LINES), CViewPrompts::YES_NO_CANCEL);
  if (answer == CViewPrompts::ANSWER_CANCEL) return;
  TestSet tests;
  QString reason;
  if (!CTestIo::ImportFile(path, answer == CViewPrompts::ANSWER_YES, m_pDoc->Tests().Count() + 1, &tests, &reason)) {
    CViewPrompts::Tell(this, CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_IMPORT_FAILED),
                                                         {QDir::toNativeSeparators(path), reason}));
    return;
  }
  AddImported(tests);
}

void CTestCasePane::ImportClips() {
  AddImported(CTestIo::FromClips(m_pDoc->GetClips().List()));
}

void CTestCasePane::AddImported(const TestSet& tests) {
  if (tests.empty()) {
    CViewPrompts::Tell(this, CStringTable::Str(IDS_MSG_IMPORT_NOTHING));
    return;
  }
  const int first = m_pDoc->Tests().Count();
  if (m_pDoc->Tests().AddAll(tests) > 0) SelectTest(first);
}

void CTestCasePane::ExportCsv() {
  const QString path = AskPath(true, IDS_FILTER_EXPORT_TESTS);
  if (path.isEmpty()) return;
  QString reason;
  if (!CTestIo::ExportCsv(path, m_pDoc->Tests().All(), m_pDoc->Tests().Results(), &reason))
    m_pDoc->ReportWriteFailure(path, reason);
}

void CTestCasePane::RunOnAllSnapshots() {
  // The run goes on a thread of its own over a copy of what it reads; this thread keeps
  // painting and answers the Cancel button, which abandons even a test in the middle of its
  // time limit. The thread is joined before anything here goes out of scope.
  const CTestSession::SnapshotTestJob job = m_pDoc->Tests().PrepareSnapshotRun();
  const int total = static_cast<int>(job.snapshotIds.size());
  std::atomic<int> done{0};
  std::atomic<bool> finished{false};
  std::atomic<unsigned> cancel{0};
  CTestSession::SnapshotTestTable table;
  std::thread worker([&] {
    table = CTestSession::RunOnSnapshots(
        job,
        [&](int rows, int) {
          done = rows;
          return cancel.load() == 0;
        },
        &cancel, 0);
    finished = true;
  });

  QProgressDialog progress(CStringTable::Str(IDS_DLG_SNAPSHOT_TESTS_CAPTION), CStringTable::Str(IDS_BTN_CANCEL), 0,
                           std::max(1, total), this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  progress.setValue(0);
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(30);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (progress.wasCanceled()) cancel = 1;
    if (finished) {
      loop.quit();
      return;
    }
    progress.setValue(done.load());
  });
  poll.start();
  loop.exec();
  worker.join();
  progress.reset();
  CSnapshotTestTable dialog(m_pDoc, table, this);
  dialog.exec();
}
