// CSplitResultListView: the split result list of the work pane. One row per piece of the subject
// text between consecutive matches (reverse text order when matching right to left): column 0
// the row number from 1, column 1 the piece or the zero-length marker. The rows live in a small
// model that reads the piece texts from the document on demand, so twenty thousand rows cost
// two ints each and only the visible ones are ever turned into strings. A table, not a tree: a
// tree lays out an item per row when it is shown (37 ms for 824,000 pieces), a table's rows are
// fixed-height header sections.
//
// Covered by app/ui/results/tests/split_list_test.cpp and list_look_test.cpp (selected rows).
#ifndef KORVANE_SPLIT_RESULT_LIST_VIEW_H
#define KORVANE_SPLIT_RESULT_LIST_VIEW_H

#include <QAbstractTableModel>
#include <QTableView>
#include <vector>

#include "app/document/core/doc_ui.h"
#include "app/ui/shared/frame_services.h"
#include "app/document/matching/split_pieces.h"

class CKorvaneDoc;

class CSplitResultModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit CSplitResultModel(CKorvaneDoc* doc, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Rows overwritten in place, missing rows inserted and surplus rows removed from the end.
  void SetPieces(std::vector<SplitPiece> pieces);
  const std::vector<SplitPiece>& Pieces() const { return m_pieces; }

  // Longest piece text a cell shows; longer pieces are cut (the export writes them whole).
  static constexpr int kMaxCellText = 4096;

 private:
  CKorvaneDoc* m_pDoc;
  std::vector<SplitPiece> m_pieces;  // in row order
};

class CSplitResultListView : public QTableView, public CDocView, public IViewCommands {
  Q_OBJECT
 public:
  explicit CSplitResultListView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CSplitResultListView() override;

  void OnUpdate(CDocView* sender, int hint) override;

  // Save As (ID_EDIT_SAVE_CONTENT) is the list's one command.
  bool HandlesViewCommand(int id) const override;
  CommandState QueryViewCommand(int id) const override;
  bool OnViewCommand(int id) override;

  // Save As (ID_EDIT_SAVE_CONTENT): file dialog with IDS_FILTER_SAVE_SPLIT_RESULT, then the dispatch of SaveTo.
  void SaveAs();
  // Writes the split result to `path` (a ".rws" name saves the workspace instead); `filter` is
  // the 1-based filter index of the dialog. Returns false when nothing was written.
  bool SaveTo(const QString& path, int filter);

  CSplitResultModel* Model() const { return m_pModel; }
  // The document's piece index (text order) of a row.
  int PieceIndexOfRow(int row) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // The view's own handling of a change walks every row of the range: for hundreds of thousands
  // of rows overwritten in place it took longer than the rebuild. A wide range repaints the
  // viewport instead.
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Keys move as in a list: Home and End to the first and last row, Left and Right stay on it.
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

 private:
  void Rebuild();
  int RowHeight() const;
  void FitResultColumn();
  void OnCurrentRowChanged(const QModelIndex& current);

  CKorvaneDoc* m_pDoc;
  CSplitResultModel* m_pModel;
  bool m_bFresh = true;  // no update has come since the constructor built the rows
  int m_nBusy = 0;
  bool m_bRightToLeft = false;  // direction the rows were built with
};

#endif
