// tarno: a backtracking regular-expression engine, header-only, standard library only.
//
//   #include "tarno.h"                      // engine/ on the include path
//   CRegexpT<char> re("(\\w+)@(\\w+)", IGNORECASE);
//   MatchResult m = re.Match("mail: Bob@Example");
//   if (m.IsMatched()) { int from = m.GetStart(), to = m.GetEnd(); }
//   char* s = re.Replace("a@b c@d", "$2@$1");   // "b@a d@c"
//   re.ReleaseString(s);
//
// CRegexpT is a template over the character type: char for 8-bit text, unsigned short (or another
// 16-bit type) for UTF-16 code units. Positions and lengths count characters. Define
// TARNO_HOST_BUILD before including to get the instrumented build that korvane uses; see
// tarno/config.h. The engine never throws for any pattern or text; a search that would nest
// deeper than the nesting limit stops and says so (MatchResult::HitNestingLimit).
// engine/README.md describes the syntax and the limits.
#ifndef TARNO_H
#define TARNO_H

#include "tarno/operations.h"

#endif
