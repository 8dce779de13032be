// How a row of a list or tree view looks on screen, measured from its pixels: the background
// (the most frequent colour inside the row) and how well the text stands out from it (the
// largest contrast ratio of any pixel against that background, and how many pixels reach a
// readable ratio). Used by the view tests and by tools/selection_shots.cpp, so that the pictures
// and the tests judge a row the same way. Also the dark palette both of them use.
//
// Contrast ratios follow the usual relative-luminance formula: 1.0 for equal colours, 21.0 for
// black on white; 3.0 is the least that counts as readable here (white on the standard blue
// selection of the Fusion style is about 3.7).
#ifndef KORVANE_RESULT_ROW_LOOK_H
#define KORVANE_RESULT_ROW_LOOK_H

#include <QAbstractItemView>
#include <QHash>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <cmath>

namespace row_look {

constexpr double kReadable = 3.0;

inline double Channel(int v) {
  const double c = v / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

inline double Luminance(QRgb c) {
  return 0.2126 * Channel(qRed(c)) + 0.7152 * Channel(qGreen(c)) + 0.0722 * Channel(qBlue(c));
}

inline double Contrast(QRgb a, QRgb b) {
  double la = Luminance(a), lb = Luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

struct RowLook {
  QRgb background = 0;
  double best = 1.0;    // largest contrast of any pixel against the background
  int readable = 0;     // pixels with a contrast of at least kReadable
  bool Readable() const { return best >= kReadable && readable >= 8; }
};

// Measures `rect` of `image`, less a margin of `inset` pixels on every side (the grid lines,
// the focus frame and the row's edges lie there, not the text).
inline RowLook Measure(const QImage& image, QRect rect, int inset = 3) {
  RowLook look;
  rect = rect.adjusted(inset, inset, -inset, -inset).intersected(image.rect());
  if (rect.isEmpty()) return look;
  QHash<QRgb, int> counts;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x) ++counts[image.pixel(x, y) | 0xFF000000u];
  int most = 0;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it)
    if (it.value() > most) {
      most = it.value();
      look.background = it.key();
    }
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    const double c = Contrast(it.key(), look.background);
    if (c > look.best) look.best = c;
    if (c >= kReadable) look.readable += it.value();
  }
  return look;
}

// The whole row of `index` (every column) in viewport coordinates.
inline QRect RowRect(const QAbstractItemView* view, const QModelIndex& index) {
  QRect r = view->visualRect(index);
  const QAbstractItemModel* m = view->model();
  for (int c = 0; c < m->columnCount(index.parent()); ++c) r = r.united(view->visualRect(m->index(index.row(), c, index.parent())));
  return r;
}

// Grabs the view's viewport as it is drawn now (focus, window activation and selection as they
// are) and measures the row of `index`.
inline RowLook MeasureRow(QAbstractItemView* view, const QModelIndex& index) {
  const QImage image = view->viewport()->grab().toImage();
  return Measure(image, RowRect(view, index));
}

// A dark palette of the kind desktop themes give: light text on dark grey, a blue selection.
inline QPalette DarkPalette() {
  QPalette p;
  const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230), disabled(127, 127, 127);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
  p.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, disabled);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::red);
  p.setColor(QPalette::Light, QColor(75, 75, 75));
  p.setColor(QPalette::Midlight, QColor(62, 62, 62));
  p.setColor(QPalette::Mid, QColor(44, 44, 44));
  p.setColor(QPalette::Dark, QColor(30, 30, 30));
  p.setColor(QPalette::Shadow, Qt::black);
  p.setColor(QPalette::Link, QColor(42, 130, 218));
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(70, 70, 70));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
  p.setColor(QPalette::Disabled, QPalette::Text, disabled);
  p.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
  p.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
  p.setColor(QPalette::Disabled, QPalette::HighlightedText, disabled);
  return p;
}

}  // namespace row_look

#endif
