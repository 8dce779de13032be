// The colours the views paint with, for the palette they are drawn in. The views keep the fixed
// colours of a light palette in their state (element colours, highlight backgrounds, heat) and
// turn them into what is drawn only here, so a palette change needs a repaint and nothing else.
//
// In a light palette every colour is drawn as it is. In a dark one each fixed colour has a dark
// variant: backgrounds become deep shades that the palette's light text can be read on, text
// colours become light tints that can be read on the dark base, and black text is the palette's
// own text colour. Text drawn on a heat colour is moved towards black or white until it keeps a
// contrast of 4.5:1 in either palette (ReadableTextColor).
//
// Covered by app/ui/editor/tests/view_colours_test.cpp.
#ifndef KORVANE_VIEW_COLOURS_H
#define KORVANE_VIEW_COLOURS_H

#include <QColor>
#include <QPalette>
#include <QRgb>

// True when the palette draws light text on a dark base.
bool IsDarkPalette(const QPalette& palette);

// The dark palette the program offers when asked for one (KORVANE_PALETTE=dark).
QPalette StandardDarkPalette();

// Reads KORVANE_PALETTE ("dark" or "light") and installs that palette on the application; any
// other value, or none, leaves the desktop's palette. Returns true when it installed one.
bool ApplyPaletteFromEnvironment();

// The heat colour of value k (0..255): RGB(255, 255 - k, 255 - k) in a light palette, from a
// warm dark grey to a deep red in a dark one.
QRgb HeatColorFor(int k, bool dark);
// True for a colour of the light heat scale, RGB(255, x, x).
inline bool IsLightHeat(QRgb c) { return qRed(c) == 255 && qGreen(c) == qBlue(c); }

// What a fixed text colour is drawn as in `palette`.
QColor ViewTextColor(QRgb light, const QPalette& palette);
// What a fixed background colour is drawn as in `palette` (light heat colours become dark heat).
QColor ViewBackColor(QRgb light, const QPalette& palette);

#endif
