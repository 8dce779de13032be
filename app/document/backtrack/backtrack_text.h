// The words for what the backtracking analysis and its rewrites found, shared by the
// Backtracking pane and "korvane --check-backtracking": a text quoted so that blanks and control
// characters show, and where a rewrite that changes the meaning parts from the pattern ("on
// "a,b,c,x" the pattern matches 0-7, the rewrite finds no match"). Positions are offsets into
// the text, from 0, as everywhere else a pattern or text position is shown.
#ifndef KORVANE_BACKTRACK_TEXT_H
#define KORVANE_BACKTRACK_TEXT_H

#include <QString>
#include <string>

#include "app/document/backtrack/backtrack_fixes.h"

namespace backtrack {

// "a,b\n" with quotes; \n, \t, \" and \\ escaped, other controls as \xNN.
QString Quoted(const std::u16string& text);
// A difference in the user's language; empty when `d` holds none.
QString DifferenceText(const Difference& d);
// "possessive", "atomic", "drop branch", "exclusive class".
QString FixKindText(Fix::Kind kind);

}  // namespace backtrack

#endif
