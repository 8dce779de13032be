// CSnapshotTestTable: the dialog of "Run On All Snapshots". A table with a row for the pattern
// being edited and one for every snapshot (in tree order, captioned as the snapshot tree
// captions them) and a column for every test; each cell holds the test's mark and word on that
// row's pattern, its reason as the tool tip, so that one sees which version of the pattern broke
// which test.
//
// Covered by app/ui/tests/test_pane_test.cpp.
#ifndef KORVANE_SNAPSHOT_TEST_TABLE_H
#define KORVANE_SNAPSHOT_TEST_TABLE_H

#include <QDialog>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/test_session.h"

class QTableWidget;

class CSnapshotTestTable : public QDialog {
  Q_OBJECT

 public:
  CSnapshotTestTable(const CKorvaneDoc* doc, const CTestSession::SnapshotTestTable& table, QWidget* parent = nullptr);

  QTableWidget* Table() const { return m_pTable; }

 private:
  QTableWidget* m_pTable = nullptr;
};

#endif
