// Convert to flavour: the pattern rewritten for another language's engine.
//
// The rewrite is read from what Korvane's engine compiled, never from a second parse of the
// text: each element of the host build's tree is written out in the target's syntax with the
// meaning it has here. Flags are folded into the elements they changed (an ignore-case text,
// a multiline $, a single-line dot), so the converted pattern carries its meaning inline and the
// target needs no flags of its own. Where the target reads a construct as Korvane does (`\d` in
// JavaScript, `\b` in RE2) it is written natively; elsewhere it is spelled out (`[0-9]`, a
// word boundary as look-arounds over `[0-9A-Z_a-z]`, Korvane's line ends \r, \n and \r\n as
// look-arounds). Capture groups keep their order; the target may number them otherwise
// (Korvane numbers named groups after the unnamed ones), so back-references are renumbered and
// the conversion says which target group holds each of Korvane's.
//
// What has no equivalent in the target (a look-behind of variable length in Python, any
// look-around in RE2, a possessive repeat in JavaScript) is refused with the reason, one per
// construct. A conversion is a candidate only: app/document/flavours/conversion_check.h runs it
// in the target's real engine before it is offered as equivalent.
//
// Covered by app/document/pattern/tests/flavour_convert_test.cpp.
#ifndef KORVANE_FLAVOUR_CONVERT_H
#define KORVANE_FLAVOUR_CONVERT_H

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

struct FlavourConversion {
  QString flavour;
  QString pattern;      // the target's pattern; empty when refused
  QString flags;        // generic flag letters (imsx) the target is to be given; none so far
  QStringList refused;  // one reason per construct without an equivalent; empty when converted
  // Korvane's group k is the target's group groupMap[k] (index 0, the whole match, is 0).
  std::vector<int> groupMap;
  bool Converted() const { return refused.isEmpty(); }
};

// The flavours a conversion can be asked for, in the matrix's order.
const QStringList& ConvertibleFlavours();
bool IsConvertibleFlavour(const QString& flavour);
// Whether the flavour's find-all goes on as Korvane's does after an empty match (it searches again
// one character on). Others try the same place again for a longer match (PCRE2, Python, Perl) or
// skip an empty match next to the previous one (Go): their match lists are the same as Korvane's
// only up to the first empty match, whatever the pattern.
bool FindAllLikeKorvane(const QString& flavour);

// Rewrites `pattern`, compiled with Korvane's `flags` (IGNORECASE, MULTILINE, SINGLELINE,
// EXTENDED, ...), for `flavour`. A flavour that is not convertible is refused with the reason.
// Linear in the pattern's size, plus one pass over the 16-bit code units for each character
// class (a class is written from the set it really holds).
FlavourConversion ConvertToFlavour(const std::u16string& pattern, int flags, const QString& flavour);

// Reorders the groups of one match as a target found them ([start, end, g1 start, g1 end, ...])
// into Korvane's numbering, through the conversion's group map. A group the map does not reach
// reads as unset (-1, -1).
std::vector<int> ToKorvaneGroups(const std::vector<int>& targetMatch, const std::vector<int>& groupMap);

#endif
