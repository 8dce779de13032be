// Grid lines of the list form and readable text colours.
#include "app/ui/editor/item_look.h"

#include <QPainter>
#include <cmath>

namespace {

double Channel(double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

double Luminance(const QColor& c) {
  return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  double la = Luminance(a), lb = Luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

QColor ReadableTextColor(const QColor& wanted, const QColor& background, double minimum) {
  if (ContrastRatio(wanted, background) >= minimum) return wanted;
  // Away from the background: towards white on a dark one, towards black on a light one. The
  // last step is pure white or black, which always reaches more than 4.5 on one side of mid grey.
  const QColor target = Luminance(background) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
  QColor mixed = wanted;
  for (int step = 1; step <= 10; ++step) {
    const double t = step / 10.0;
    mixed = QColor::fromRgbF(wanted.redF() + (target.redF() - wanted.redF()) * t,
                             wanted.greenF() + (target.greenF() - wanted.greenF()) * t,
                             wanted.blueF() + (target.blueF() - wanted.blueF()) * t);
    if (ContrastRatio(mixed, background) >= minimum) break;
  }
  return mixed;
}

CGridLineDelegate::CGridLineDelegate(QObject* parent, int lines, QPalette::ColorRole role)
    : QStyledItemDelegate(parent), m_nLines(lines), m_role(role) {}

void CGridLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  const QRect r = option.rect;
  painter->save();
  painter->setPen(option.palette.color(m_role));
  if (m_nLines & LINE_BOTTOM) painter->drawLine(r.bottomLeft(), r.bottomRight());
  if (m_nLines & LINE_RIGHT) painter->drawLine(r.topRight(), r.bottomRight());
  painter->restore();
}
