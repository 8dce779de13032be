// CFlavourMatrixModel: the flavour session's matrix (flavour_session.h) as a table for the
// Flavours pane. Rows: the text box, then the tests (the vertical header names them); columns:
// the chosen flavours, each header the flavour's name over the engine and the version its
// runner reported (three lines, each cut short; the tool tip has them whole). Each cell a short word and a colour: same, differs, error (the compile error's
// message and position in the tool tip), timed out, not installed (the package in the tool
// tip), not representable, and "..." while its answer is out.
//
// The model follows the session's MatrixChanged: a new shape resets it, answers within the same
// shape only change data (a selection stays where it is).
//
// Covered by app/ui/panes/flavours/tests/flavours_pane_test.cpp.
#ifndef KORVANE_FLAVOUR_MATRIX_MODEL_H
#define KORVANE_FLAVOUR_MATRIX_MODEL_H

#include <QAbstractTableModel>
#include <QColor>

#include "app/document/flavours/flavour_session.h"

class CFlavourMatrixModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Header lines longer than this are cut with an ellipsis (Mono's version runs to 80
  // characters); the tool tip has them whole.
  static constexpr int kMaxHeaderLine = 17;

  explicit CFlavourMatrixModel(CFlavourSession* session, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // The word of a cell, its tool tip, and its colour in a light or dark palette.
  static QString CellText(const FlavourMatrixCell& cell);
  QString CellToolTip(int row, int column) const;
  static QColor CellColour(const FlavourMatrixCell& cell, bool dark);
  void SetDark(bool dark) { m_bDark = dark; }

 signals:
  // The matrix's shape (its rows or columns) changed: the model was reset.
  void Reshaped();

 private:
  void OnMatrixChanged();

  CFlavourSession* m_pSession;  // owned by the document, which outlives the pane
  int m_nRows = 0;
  int m_nColumns = 0;
  QStringList m_shownColumns;   // the flavours of the columns as last reset
  QStringList m_shownRows;
  bool m_bDark = false;
};

#endif
