// CTestCaseList: the list of the Tests pane. One row per test: its mark (passed, failed, timed
// out, error, not run yet: a coloured sign and a word), its name and the one-line reason of a
// failure. Rows are filled in place (items reused in order), so that a run's results, arriving
// after every edit, neither move the selection nor the scroll position. Rows are reordered by
// dragging; the list only reports the move (the pane moves the test in the document, which
// refills the list). Its context menu and double click go to the pane through signals.
//
// The marks are drawn, not loaded: a filled circle in the status's colour with a white sign,
// readable on light and dark bases and on the selection colour alike. In a dark palette the
// red and purple circles are lighter, so that they stand out from the dark base too. A test
// that passes here but fails in a flavour it must pass in gets a second mark before its name,
// an amber triangle, and the flavour's reason in the reason column.
//
// Covered by app/ui/tests/test_pane_test.cpp.
#ifndef KORVANE_TEST_CASE_LIST_H
#define KORVANE_TEST_CASE_LIST_H

#include <QIcon>
#include <QString>
#include <QTreeWidget>

class CTestCaseList : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column { COL_MARK = 0, COL_NAME = 1, COL_REASON = 2 };

  explicit CTestCaseList(QWidget* parent = nullptr);

  // Makes the list `count` rows long, reusing the rows it has.
  void SetRowCount(int count);
  // Fills one row: a status (ETestStatus), the test's name and the reason (one line).
  // `flavourNote`, when not empty, says that the test fails in a flavour it must pass in: the
  // name gets the flavour mark and the note stands in the reason column.
  void SetRow(int row, int status, const QString& name, const QString& reason,
              const QString& flavourNote = QString());
  int SelectedRow() const;
  void SelectRow(int row);

  // The mark of a status (for a list in a dark palette: `dark`), and its word (the mark's tool
  // tip and the cell's text).
  static QIcon Mark(int status, bool dark = false);
  // The mark of a test that fails in a flavour it must pass in.
  static QIcon FlavourMark();
  static QString MarkText(int status);
  // The row a test dropped at (`row`, before the row, or the row count for the end) comes to
  // after it left `from`; -1 when it stays where it is.
  static int MoveTarget(int from, int row, int count);

 signals:
  void RowMoved(int from, int to);
  void RowActivated(int row);
  void ContextMenuWanted(const QPoint& globalPos);

 protected:
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Wide enough for the mark and the longest status word in the current font and language.
  void FitMarkColumn();
};

#endif
