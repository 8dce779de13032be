// Dark variants of the views' fixed colours and the program's dark palette.
#include "app/ui/editor/view_colours.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>

#include "app/ui/editor/item_look.h"

namespace {

struct Variant {
  QRgb light;
  QRgb dark;
};

// Text colours: the element colours, comments, the uncompiled tail, greyed and before-start
// text, replace-to references. Each dark tint keeps the hue and reads at 4.5:1 or more on the
// dark palette's base (the greyed ones are dim on purpose, as they are in a light palette).
const Variant kTextVariants[] = {
    {qRgb(80, 80, 255), qRgb(135, 145, 255)},   // alternative, bracket, capture group
    {qRgb(144, 144, 153), qRgb(160, 160, 172)}, // assertion, independent, non-capture group
    {qRgb(255, 0, 255), qRgb(255, 115, 255)},   // back-reference, boundary, ...; references
    {qRgb(144, 144, 144), qRgb(155, 155, 155)}, // empty
    {qRgb(224, 112, 0), qRgb(245, 155, 65)},    // quantifiers
    {qRgb(144, 0, 80), qRgb(235, 115, 175)},    // character and POSIX classes
    {qRgb(128, 0, 0), qRgb(235, 115, 115)},     // mode modifier
    {qRgb(0, 128, 0), qRgb(115, 205, 115)},     // comments and quoting
    {qRgb(160, 160, 160), qRgb(140, 140, 140)}, // the part the compiler did not take in
    {qRgb(192, 192, 192), qRgb(110, 110, 110)}, // "Only current node" greying, before the start
    {qRgb(0, 0, 255), qRgb(120, 150, 255)},     // named clips
};

// Backgrounds: deep shades, each readable under the dark palette's light text.
const Variant kBackVariants[] = {
    {qRgb(187, 255, 255), qRgb(0, 84, 96)},    // every match / replacement
    {qRgb(255, 255, 0), qRgb(100, 88, 0)},     // current element, match, token
    {qRgb(255, 255, 136), qRgb(78, 78, 36)},   // trace attempt
    {qRgb(136, 255, 136), qRgb(28, 98, 28)},   // trace step matched
    {qRgb(204, 204, 204), qRgb(84, 84, 84)},   // trace step failed on a retry
    {qRgb(255, 136, 136), qRgb(122, 30, 30)},  // trace step failed
    {qRgb(255, 204, 204), qRgb(100, 48, 48)},  // fail point in the text
    {qRgb(255, 216, 176), qRgb(100, 62, 22)},  // fail element in the pattern
};

template <size_t N>
bool Lookup(const Variant (&table)[N], QRgb light, QRgb* dark) {
  const QRgb key = light | 0xFF000000u;
  const auto* it = std::find_if(table, table + N, [key](const Variant& v) { return v.light == key; });
  if (it == table + N) return false;
  *dark = it->dark;
  return true;
}

}  // namespace

bool IsDarkPalette(const QPalette& palette) {
  return palette.color(QPalette::Base).lightness() < palette.color(QPalette::Text).lightness();
}

QPalette StandardDarkPalette() {
  QPalette p;
  const QColor window(46, 47, 50), base(30, 31, 34), text(228, 228, 228), dim(130, 130, 130);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(40, 41, 45));
  p.setColor(QPalette::ToolTipBase, QColor(24, 24, 26));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, dim);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(70, 71, 76));  // light enough for Fusion to show a checked button darker
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 90, 90));
  p.setColor(QPalette::Light, QColor(92, 93, 98));
  p.setColor(QPalette::Midlight, QColor(80, 81, 86));
  p.setColor(QPalette::Mid, QColor(38, 39, 42));
  p.setColor(QPalette::Dark, QColor(24, 24, 26));
  p.setColor(QPalette::Shadow, QColor(8, 8, 8));
  p.setColor(QPalette::Highlight, QColor(45, 105, 175));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, QColor(120, 165, 255));
  p.setColor(QPalette::LinkVisited, QColor(190, 140, 255));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, dim);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 70, 74));
  return p;
}

bool ApplyPaletteFromEnvironment() {
  const QByteArray wanted = qgetenv("KORVANE_PALETTE").trimmed().toLower();
  if (wanted == "dark") {
    QApplication::setPalette(StandardDarkPalette());
    return true;
  }
  if (wanted == "light") {
    QApplication::setPalette(QApplication::style()->standardPalette());
    return true;
  }
  return false;
}

QRgb HeatColorFor(int k, bool dark) {
  k = std::clamp(k, 0, 255);
  if (!dark) return qRgb(255, 255 - k, 255 - k);
  // From RGB(56, 44, 44) (just warmer than the base) to RGB(185, 22, 22): red rises, the
  // others fall, so the dark palette's light text stays readable on every step.
  return qRgb(56 + k * (185 - 56) / 255, 44 - k * 22 / 255, 44 - k * 22 / 255);
}

QColor ViewTextColor(QRgb light, const QPalette& palette) {
  if (!IsDarkPalette(palette)) return QColor::fromRgb(light);
  if ((light & 0xFFFFFFu) == 0) return palette.color(QPalette::Text);
  QRgb dark;
  if (Lookup(kTextVariants, light, &dark)) return QColor::fromRgb(dark);
  return ReadableTextColor(QColor::fromRgb(light), palette.color(QPalette::Base));
}

QColor ViewBackColor(QRgb light, const QPalette& palette) {
  if (!IsDarkPalette(palette)) return QColor::fromRgb(light);
  QRgb dark;
  if (Lookup(kBackVariants, light, &dark)) return QColor::fromRgb(dark);
  if (IsLightHeat(light)) return QColor::fromRgb(HeatColorFor(255 - qGreen(light), true));
  return QColor::fromRgb(light);
}
