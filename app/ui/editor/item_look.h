// How rows of the list and tree views are drawn beyond what the style does: the grid lines of
// the list form, and text colours that stay readable on the background they are drawn on.
//
// Grid lines are painted by a delegate after the style has drawn the cell. They are never set
// through a style sheet: an item style sheet hands the whole drawing of the view to the style
// sheet engine, which then ignores the palette's selection colours (selected rows showed white
// text on white) and the application's palette (a light list in a dark window).
//
// Covered by app/ui/results/tests/list_look_test.cpp.
#ifndef KORVANE_ITEM_LOOK_H
#define KORVANE_ITEM_LOOK_H

#include <QColor>
#include <QStyledItemDelegate>

// Contrast ratio of two colours by their relative luminance: 1 for equal colours, 21 for black
// on white.
double ContrastRatio(const QColor& a, const QColor& b);

// `wanted` when it reaches `minimum` contrast on `background`; otherwise the same colour mixed
// towards white (on a dark background) or black (on a light one), in steps, until it does.
QColor ReadableTextColor(const QColor& wanted, const QColor& background, double minimum = 4.5);

class CGridLineDelegate : public QStyledItemDelegate {
 public:
  enum Line { LINE_BOTTOM = 1, LINE_RIGHT = 2 };
  // `lines`: which edges of every cell get a line; `role`: the palette colour of the lines.
  CGridLineDelegate(QObject* parent, int lines, QPalette::ColorRole role = QPalette::Mid);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int m_nLines;
  QPalette::ColorRole m_role;
};

#endif
