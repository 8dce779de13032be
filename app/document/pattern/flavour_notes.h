// What a construct of the pattern means in other flavours' engines, where that differs from
// Korvane: one table row per construct (`\Z`, `(?P<n>...)`, `$`, ...), each naming the probes of
// the recorded probe table that show the difference and holding, for every flavour that behaves
// otherwise, one short line for people and one claim letter per probe for the test. A flavour
// without a line behaves as Korvane does on every probe of the row; the tool tip lists only
// differences.
//
// The detector reads the pattern text as Korvane's tokenizer does (escapes, \Q...\E quoting,
// character classes and their nesting, (?#...) comments, white space and # comments under the
// extended flag) and gives every occurrence of a construct of the table with its span.
//
// The table is data compiled in; this folder uses no other, so the flavour names are spelled
// here as app/flavours/flavour_table.h spells them (the test holds both to the probe table's
// columns).
//
// Covered by app/document/pattern/tests/flavour_notes_test.cpp, which proves every claim of every
// row against the real engines' recorded results.
#ifndef KORVANE_FLAVOUR_NOTES_H
#define KORVANE_FLAVOUR_NOTES_H

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// What a flavour gives on one probe of a row, compared with the probe table's column.
enum class FlavourClaim {
  Same,     // '=': exactly what Korvane gives
  Error,    // 'E': the pattern does not compile (or fails at run time)
  NoMatch,  // 'N': compiles, finds nothing
  Matches,  // 'M': compiles, finds at least one match
  Differs,  // 'D': compiles, finds other matches than Korvane
  Timeout,  // 'T': runs out of time
};

// The claim of a letter of a line's claim string; false for a letter that is none.
bool FlavourClaimOfLetter(char letter, FlavourClaim* claim);

struct FlavourNoteLine {
  const char* flavours;  // one or more flavour names, blank-separated ("cpp-basic cpp-grep")
  const char* claims;    // one letter per probe of the row, in the row's order ("MN=")
  int text;              // string id: what each of these flavours does, as the tool tip shows it
};

// How the tool tip names a construct: its syntax, shown as it is in every language ("\\Z",
// "(?P<name>...)"), or a string id when it is told in words ("a group name used twice").
struct FlavourNoteConstruct {
  FlavourNoteConstruct(const char* syntax) : syntax(syntax) {}  // NOLINT: the table's shorthand
  FlavourNoteConstruct(int words) : words(words) {}             // NOLINT: the table's shorthand
  const char* syntax = nullptr;
  int words = 0;
};

struct FlavourNoteRow {
  const char* id;                  // stable key ("backslash-Z")
  FlavourNoteConstruct construct;  // as the tool tip names it
  const char* probes;              // probe names in probes.json, blank-separated
  std::vector<FlavourNoteLine> lines;
};

// Every row, in a fixed order; a note refers to a row by its index here.
const std::vector<FlavourNoteRow>& FlavourNoteRows();
// The index of the row of that id, or -1.
int FindFlavourNoteRow(const char* id);
// Every flavour a line may name, in the matrix's column order (korvane excluded).
const std::vector<const char*>& FlavourNoteFlavours();
// How the tool tip names a flavour ("Python", "C++ std::regex awk"); the name itself when unknown.
QString FlavourNoteDisplayName(const QString& flavour);
// Splits a blank-separated list of the table.
QStringList FlavourNoteWords(const char* list);

// One occurrence of a construct of the table in a pattern.
struct FlavourNote {
  int start;   // UTF-16 units into the pattern
  int length;
  int row;     // index into FlavourNoteRows()
  bool operator==(const FlavourNote& o) const { return start == o.start && length == o.length && row == o.row; }
};

// Every construct of the table in `pattern`, ordered by start, then by row. `flags` are the
// engine's compile flags (IGNORECASE, EXTENDED, ...): the extended flag changes what is a comment,
// ignore-case makes letters with odd case partners a construct. Linear in the pattern's length
// (back-references are resolved once the group count is known).
std::vector<FlavourNote> NotesForPattern(const std::u16string& pattern, int flags);

// The line of one flavour for a row ("Python: end of text only"), or an empty string when the
// flavour behaves there as Korvane does.
QString FlavourNoteLineFor(int row, const QString& flavour);
// The tool tip of a row: one line per flavour of `flavours` (in that order; every flavour of the
// table when empty) that differs, joined by `separator`. Empty when none differs.
QString NoteText(int row, const QStringList& flavours, const QString& separator = QStringLiteral("\n"));
// How the tool tip names the construct of a row, in the user's language; empty for a bad row.
QString NoteConstructText(int row);
// One line for a tool tip that lists several constructs: the construct, then the lines of the
// flavours of `flavours` that differ, in a row ("\\Z: Python: end of text only; RE2: error").
// Empty when none differs.
QString NoteSummary(int row, const QStringList& flavours);

#endif
