// The plain-words explanation of a compiled pattern: one sentence per element record, in the
// current language of the string tables, saying what the element matches with its concrete
// content, how the compiler read a malformed construct ("`{,5}` does not start with a
// number ...") and every escape it reads specially ("inside a class, `\b` is read as a
// backspace", "`\p` is not a Unicode property class ..."). The sentences describe what the
// engine really compiled: they are read from the compiled elements and the pattern text, never
// from a second parse of the pattern.
//
// A CExplanation is built over one element tree (after each recompile) and answers sentences on
// demand, so that a view of a huge pattern pays only for the lines it shows. It keeps pointers
// into the tree: rebuild it whenever the tree is rebuilt, and do not use it after the tree is
// cleared.
//
// Covered by app/document/pattern/tests/explanation_test.cpp.
#ifndef KORVANE_EXPLANATION_H
#define KORVANE_EXPLANATION_H

#include <QString>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "app/document/pattern/element_records.h"

class CExplanation {
 public:
  // One line of the outline: the record it explains, its nesting level below the root, and its
  // text (role prefix and sentence).
  struct Line {
    const ElementRecord* record;
    int depth;
    QString text;
  };

  // Takes the tree and the compile flags the pattern was compiled with; scans the pattern text
  // once for comments and a stray ')'. Linear in the size of the tree and the pattern.
  void Build(const CElementTree& tree, int flags);
  void Clear();

  const ElementRecord* Root() const { return m_pTree ? m_pTree->Root() : nullptr; }

  // The full sentence of a record: what it matches, then the notes (malformed readings,
  // comments) in brackets. Empty for a null or cleared record.
  QString Sentence(const ElementRecord* record) const;
  // The sentence with the role the record plays in its parent ("alternative 2: ...", "if yes:
  // ...") where the parent gives it one; this is what an outline line shows.
  // `index` is the record's place among its parent's children when the caller knows it (a huge
  // alternative is then not searched); -1 looks it up.
  QString LineText(const ElementRecord* record, int index = -1) const;
  // A short description of what a record matches, used where a parent names its content
  // ("one or more (greedy) of: a digit"). Composite contents are named, not explained.
  QString Short(const ElementRecord* record) const;

  // The outline of the whole pattern in pre-order, down to `maxDepth` levels below the root and
  // at most `maxLines` lines (both bounds keep huge patterns cheap). A text of its own stands for
  // an empty pattern.
  std::vector<Line> Outline(int maxDepth, size_t maxLines) const;
  // The outline as indented text, two spaces per level, one line per entry.
  QString OutlineText(int maxDepth, size_t maxLines) const;

  // Helpers shared with the views and the tests.
  // `text` in back quotes, with characters that cannot be shown named (a tab, U+0001).
  static QString Quote(const std::vector<unsigned short>& text, int from, int length);
  // The description of one character as a class member or range end.
  static QString CharName(unsigned code);
  // Replaces %1 ... %9 in one pass, so that an argument holding "%1" stays as it is.
  static QString Fill(const QString& format, const QStringList& args);

 private:
  QString Source(const ElementRecord* r) const;  // the record's pattern text, as written
  QString Source(int from, int to) const;
  QString Core(const ElementRecord* r, QStringList* notes, int depth) const;
  QString GroupLabel(int number) const;
  QString StringCore(const ElementRecord* r, QStringList* notes) const;
  QString CharsetCore(const ElementRecord* r, QStringList* notes, int depth) const;
  QString RepeatCore(const ElementRecord* r, QStringList* notes, int depth) const;
  QString CaptureCore(const ElementRecord* r, QStringList* notes, int depth) const;
  QString AssertionCore(const ElementRecord* r, QStringList* notes, int depth) const;
  QString ConditionalCore(const ElementRecord* r, QStringList* notes) const;
  QString EmptyCore(const ElementRecord* r, QStringList* notes) const;
  QString ModesText(int from, int to, QStringList* notes) const;
  QString ShortAt(const ElementRecord* r, int depth) const;
  void EscapeNotes(const ElementRecord* r, QStringList* notes) const;
  void BackrefNotes(const ElementRecord* r, QStringList* notes) const;
  // The readings of the escapes written in [from, to), skipping the spans of `skip` (the
  // records that explain themselves: a class's inner classes), read as the tokenizer reads them
  // outside a class or inside one.
  void ScanEscapes(int from, int to, bool inClass, const std::vector<ElementRecord*>& skip, QStringList* notes) const;

  const CElementTree* m_pTree = nullptr;
  int m_nFlags = 0;
  std::map<int, QString> m_groupNames;       // capture number -> first name ("" unnamed)
  std::map<const ElementRecord*, std::vector<std::pair<int, int>>> m_comments;  // [from, to)
  std::set<const ElementRecord*> m_strayEnds;  // records that hold an \E outside quote mode
  int m_nStrayParen = -1;                    // position of a ')' that ended the pattern
};

#endif
