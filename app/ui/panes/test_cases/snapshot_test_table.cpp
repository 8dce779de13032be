#include "app/ui/panes/test_cases/snapshot_test_table.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/ui/panes/test_cases/test_case_list.h"
#include "app/ui/shared/snapshot_caption.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"
#include "app/document/core/test_session.h"

namespace {
QString FromU16(const TestText& v) { return QString(reinterpret_cast<const QChar*>(v.data()), static_cast<int>(v.size())); }

QTableWidgetItem* Cell(const TestResult& result) {
  auto* item = new QTableWidgetItem(CTestCaseList::Mark(result.status), CTestCaseList::MarkText(result.status));
  item->setData(Qt::UserRole, result.status);
  item->setToolTip(result.reason);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}
}  // namespace

CSnapshotTestTable::CSnapshotTestTable(const CKorvaneDoc* doc, const CTestSession::SnapshotTestTable& table,
                                       QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(CStringTable::Str(IDS_DLG_SNAPSHOT_TESTS_CAPTION));
  auto* layout = new QVBoxLayout(this);
  const TestSet& tests = doc->Tests().All();
  const int columns = static_cast<int>(tests.size());
  const int rows = 1 + static_cast<int>(table.snapshotIds.size());
  m_pTable = new QTableWidget(rows, columns, this);
  m_pTable->setObjectName(QStringLiteral("snapshot-tests"));
  m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_pTable->setIconSize(QSize(16, 16));
  QStringList testNames;
  for (const TestCase& t : tests) testNames << FromU16(t.name);
  m_pTable->setHorizontalHeaderLabels(testNames);

  // The pattern being edited first, with the results the live run shows.
  QStringList rowNames{CStringTable::Str(IDS_COL_SNAPSHOT_CURRENT)};
  const std::vector<TestResult>& current = doc->Tests().Results();
  for (int c = 0; c < columns; ++c)
    m_pTable->setItem(0, c, Cell(c < static_cast<int>(current.size()) ? current[c] : TestResult()));
  for (size_t r = 0; r < table.snapshotIds.size(); ++r) {
    const Snapshot* s = doc->LookupSnapshot(table.snapshotIds[r]);
    rowNames << (s ? SnapshotCaption(*s) : QString());
    const std::vector<TestResult>* cells = r < table.cells.size() ? &table.cells[r] : nullptr;
    for (int c = 0; c < columns; ++c)
      m_pTable->setItem(static_cast<int>(r) + 1, c,
                        Cell(cells && c < static_cast<int>(cells->size()) ? (*cells)[c] : TestResult()));
  }
  m_pTable->setVerticalHeaderLabels(rowNames);
  m_pTable->resizeColumnsToContents();
  layout->addWidget(m_pTable);
  if (table.snapshotIds.empty()) layout->addWidget(new QLabel(CStringTable::Str(IDS_DLG_SNAPSHOT_TESTS_NONE), this));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, 360);
}
