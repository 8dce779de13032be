// The sentence of every element kind, read from the compiled elements and the pattern text.
#include "app/document/pattern/explanation.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

#include "korvane_ids.h"
#include "stringtable.h"

namespace {

typedef unsigned short U16;

QString Str(int id) { return CStringTable::Str(id); }

QString Field(int id, int index) {
  const QStringList fields = Str(id).split(QLatin1Char('\n'));
  return index >= 0 && index < fields.size() ? fields.at(index) : QString();
}

// "a, b, c" in the language's list style.
QString JoinList(const QStringList& items) {
  if (items.isEmpty()) return QString();
  QString out = items.front();
  for (int i = 1; i < items.size(); ++i) out = CExplanation::Fill(Str(IDS_EXPLAIN_LIST_PAIR), {out, items.at(i)});
  return out;
}

QString JoinNotes(const QStringList& notes) {
  QString out = notes.front();
  for (int i = 1; i < notes.size(); ++i) out = CExplanation::Fill(Str(IDS_EXPLAIN_NOTE_PAIR), {out, notes.at(i)});
  return out;
}

QString BackQuote(const QString& s) { return QLatin1Char('`') + s + QLatin1Char('`'); }

bool IsHex(unsigned c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(unsigned c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return static_cast<int>(c - 'A' + 10);
}
bool IsSpaceCode(unsigned c) { return c == ' ' || (c >= 9 && c <= 13); }
bool IsLetter(unsigned c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// At most this many class members and escape notes are listed; the rest is counted.
constexpr int kMostItems = 12;
constexpr int kMostNotes = 6;
// Texts longer than this are cut with an ellipsis.
constexpr int kMostQuoted = 60;
// How deep Short looks through repeats, look-arounds and groups without capture.
constexpr int kShortDepth = 3;

const char* const kStockSources[] = {".", "\\d", "\\D", "\\w", "\\W", "\\s", "\\S"};

}  // namespace

QString CExplanation::Fill(const QString& format, const QStringList& args) {
  QString out;
  out.reserve(format.size() + 32);
  for (int i = 0; i < format.size(); ++i) {
    const QChar c = format.at(i);
    if (c == QLatin1Char('%') && i + 1 < format.size()) {
      const int n = format.at(i + 1).digitValue();
      if (n >= 1 && n <= args.size()) {
        out += args.at(n - 1);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

QString CExplanation::CharName(unsigned code) {
  switch (code) {
    case 9: return Str(IDS_EXPLAIN_CHAR_TAB);
    case 10: return Str(IDS_EXPLAIN_CHAR_LF);
    case 13: return Str(IDS_EXPLAIN_CHAR_CR);
    case 12: return Str(IDS_EXPLAIN_CHAR_FF);
    case 11: return Str(IDS_EXPLAIN_CHAR_VT);
    case 7: return Str(IDS_EXPLAIN_CHAR_BELL);
    case 27: return Str(IDS_EXPLAIN_CHAR_ESC);
    case 8: return Str(IDS_EXPLAIN_CHAR_BACKSPACE);
    case 0: return Str(IDS_EXPLAIN_CHAR_NUL);
    case ' ': return Str(IDS_EXPLAIN_CHAR_SPACE);
    default: break;
  }
  const QChar ch(static_cast<char16_t>(code));
  if (code <= 0xFFFF && ch.isPrint() && !ch.isSpace() && !ch.isSurrogate()) return BackQuote(QString(ch));
  return Fill(Str(IDS_EXPLAIN_CHAR_CODE), {QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper()});
}

QString CExplanation::Quote(const std::vector<unsigned short>& text, int from, int length) {
  QStringList parts;
  QString run;
  bool cut = false;
  int to = from + length;
  if (to > static_cast<int>(text.size())) to = static_cast<int>(text.size());
  if (to - from > kMostQuoted) {
    to = from + kMostQuoted;
    cut = true;
  }
  auto flush = [&]() {
    if (run.isEmpty()) return;
    // A run of spaces alone is named: back quotes around blanks are hard to read.
    if (run.trimmed().isEmpty()) {
      for (int i = 0; i < run.size(); ++i) parts << CharName(' ');
    } else {
      parts << BackQuote(run);
    }
    run.clear();
  };
  for (int i = from; i < to; ++i) {
    const unsigned c = text[i];
    const QChar ch(static_cast<char16_t>(c));
    if (c == ' ' || (ch.isPrint() && !ch.isSpace() && !ch.isSurrogate())) {
      run += ch;
    } else {
      flush();
      parts << CharName(c);
    }
  }
  if (cut) run += QChar(0x2026);
  flush();
  return JoinList(parts);
}

void CExplanation::Clear() {
  m_pTree = nullptr;
  m_groupNames.clear();
  m_comments.clear();
  m_strayEnds.clear();
  m_nStrayParen = -1;
}

void CExplanation::Build(const CElementTree& tree, int flags) {
  Clear();
  m_pTree = &tree;
  m_nFlags = flags;
  const ElementRecord* root = tree.Root();
  if (!root) return;

  // Capture numbers and their first names, from the records of whole groups.
  for (const ElementRecord* r : tree.OffsetList()) {
    if (r->type != ELEMENT_CAPTURE_GROUP || !r->element) continue;
    const auto* list = static_cast<const CListElement<U16>*>(r->element);
    const auto* open = static_cast<const CBracketElement<U16>*>(list->m_elements[0]);
    auto it = m_groupNames.find(open->m_nGroup);
    QString name;
    for (U16 c : r->name) {
      if (!c) break;
      name += QChar(c);
    }
    if (it == m_groupNames.end())
      m_groupNames[open->m_nGroup] = name;
    else if (it->second.isEmpty())
      it->second = name;
  }

  // Comments, found the way the tokenizer finds them: outside quote mode, not escaped.
  const std::vector<U16>& t = tree.Text();
  const int n = static_cast<int>(t.size());
  std::vector<std::pair<int, int>> comments;
  std::vector<int> strayEnds;
  bool quote = false;
  for (int i = 0; i < n;) {
    const unsigned c = t[i];
    if (quote) {
      if (c == '\\' && i + 1 < n && t[i + 1] == 'E') {
        quote = false;
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (c == '\\') {
      if (i + 1 < n && (t[i + 1] == 'Q' || t[i + 1] == 'L' || t[i + 1] == 'U')) quote = true;
      // An \E outside quote mode: the tokenizer drops it, in a class too.
      if (i + 1 < n && t[i + 1] == 'E') strayEnds.push_back(i);
      i += 2;
      continue;
    }
    if (c == '(' && i + 2 < n && t[i + 1] == '?' && t[i + 2] == '#') {
      int j = i + 3;
      while (j < n && t[j] != ')') ++j;
      const int end = j < n ? j + 1 : n;
      comments.emplace_back(i, end);
      i = end;
      continue;
    }
    if ((flags & EXTENDED) && c == '#') {
      int j = i;
      while (j < n && t[j] != '\n' && t[j] != '\r') ++j;
      comments.emplace_back(i, j);
      i = j;
      continue;
    }
    ++i;
  }
  for (const auto& span : comments) {
    const HostElement* e = tree.FindInnermost(span.first, span.second);
    const ElementRecord* owner = e ? tree.Lookup(e) : nullptr;
    m_comments[owner ? owner : root].push_back(span);
  }

  // A ')' that closed nothing ended the pattern: whatever follows the root was not read.
  int pos = root->offset + root->length;
  size_t next = 0;
  while (pos < n) {
    while (next < comments.size() && comments[next].second <= pos) ++next;
    if (next < comments.size() && comments[next].first <= pos) {
      pos = comments[next].second;
      continue;
    }
    if ((flags & EXTENDED) && IsSpaceCode(t[pos])) {
      ++pos;
      continue;
    }
    if (t[pos] == ')') m_nStrayParen = pos;
    break;
  }
  // Each \E that the compiler read (not past a ')' that ended the pattern) goes to the innermost
  // record that spans it; one between elements goes to the root.
  for (int at : strayEnds) {
    if (m_nStrayParen >= 0 && at > m_nStrayParen) break;
    const HostElement* e = tree.FindInnermost(at, at + 2);
    const ElementRecord* owner = e ? tree.Lookup(e) : nullptr;
    m_strayEnds.insert(owner ? owner : root);
  }
}

QString CExplanation::Source(int from, int to) const {
  if (!m_pTree) return QString();
  const std::vector<U16>& t = m_pTree->Text();
  if (from < 0) from = 0;
  if (to > static_cast<int>(t.size())) to = static_cast<int>(t.size());
  if (to <= from) return QString();
  return QString(reinterpret_cast<const QChar*>(t.data() + from), to - from);
}

QString CExplanation::Source(const ElementRecord* r) const { return Source(r->offset, r->offset + r->length); }

QString CExplanation::GroupLabel(int number) const {
  auto it = m_groupNames.find(number);
  const QString n = QString::number(number);
  if (it == m_groupNames.end() || it->second.isEmpty()) return n;
  return Fill(Str(IDS_EXPLAIN_NAMED_LABEL), {n, BackQuote(it->second)});
}

// ---------------------------------------------------------------------------------------------
// Sentences

QString CExplanation::Sentence(const ElementRecord* record) const {
  if (!record || !record->element || !m_pTree) return QString();
  QStringList notes;
  QString core = Core(record, &notes, 0);
  const HostElement* e = record->element;
  const QString src = Source(record);
  const QString closer = src.contains(QLatin1Char('\'')) && !src.contains(QLatin1Char('<'))
                             ? QStringLiteral("`'`") : QStringLiteral("`>`");
  switch (e->m_nError) {
    case ERROR_QUANTIFIER_BRACE: {
      const int brace = src.lastIndexOf(QLatin1Char('{'));
      notes << Fill(Str(IDS_EXPLAIN_BRACE_OPEN), {BackQuote(brace >= 0 ? src.mid(brace) : src)});
      break;
    }
    case ERROR_CLASS_BRACKET: notes << Str(IDS_EXPLAIN_CLASS_OPEN); break;
    case ERROR_GROUP_NAME:
    case ERROR_BACKREF_NAME: notes << Fill(Str(IDS_EXPLAIN_NAME_OPEN), {closer}); break;
    case ERROR_RECURSION_R:
    case ERROR_RECURSION_N:
    case ERROR_RECURSION_NAME: notes << Str(IDS_EXPLAIN_CALL_OPEN); break;
    case ERROR_CONDITION: notes << Str(IDS_EXPLAIN_IF_CUT); break;
    case ERROR_MODIFIER: notes << Str(IDS_EXPLAIN_MODIFIER_OPEN); break;
    case ERROR_GROUP_PAREN: notes << Str(IDS_EXPLAIN_GROUP_OPEN); break;
    default: break;
  }
  auto it = m_comments.find(record);
  if (it != m_comments.end())
    for (const auto& span : it->second)
      notes << Fill(Str(IDS_EXPLAIN_COMMENT), {Quote(m_pTree->Text(), span.first, span.second - span.first)});
  if (m_strayEnds.count(record)) notes << Fill(Str(IDS_EXPLAIN_STRAY_END_QUOTE), {QStringLiteral("`\\E`")});
  if (record == m_pTree->Root() && m_nStrayParen >= 0) {
    const int n = static_cast<int>(m_pTree->Text().size());
    const int rest = m_nStrayParen + 1;
    notes << Fill(Str(IDS_EXPLAIN_STRAY_PAREN),
                  {QString::number(m_nStrayParen), rest < n ? Quote(m_pTree->Text(), rest, n - rest) : QStringLiteral("``")});
  }
  notes.removeDuplicates();
  if (notes.isEmpty()) return core;
  return Fill(Str(IDS_EXPLAIN_NOTE), {core, JoinNotes(notes)});
}

QString CExplanation::LineText(const ElementRecord* record, int index) const {
  const QString sentence = Sentence(record);
  const ElementRecord* parent = record ? record->parent : nullptr;
  if (!parent || !parent->element) return sentence;
  if (parent->type == ELEMENT_ALTERNATIVE) {
    const auto& kids = parent->children;
    if (index >= 0 && static_cast<size_t>(index) < kids.size() && kids[index] == record)
      return Fill(Str(IDS_EXPLAIN_ROLE_BRANCH), {QString::number(index + 1), sentence});
    for (size_t i = 0; i < kids.size(); ++i)
      if (kids[i] == record) return Fill(Str(IDS_EXPLAIN_ROLE_BRANCH), {QString::number(i + 1), sentence});
    return sentence;
  }
  if (parent->type == ELEMENT_CONDITIONAL) {
    const auto* c = static_cast<const CConditionalElement<U16>*>(parent->element);
    if (record->element == c->m_pCondition) return Fill(Str(IDS_EXPLAIN_ROLE_CONDITION), {sentence});
    if (record->element == c->m_pYes) return Fill(Str(IDS_EXPLAIN_ROLE_YES), {sentence});
    if (record->element == c->m_pNo) return Fill(Str(IDS_EXPLAIN_ROLE_NO), {sentence});
  }
  return sentence;
}

QString CExplanation::Short(const ElementRecord* record) const { return ShortAt(record, 0); }

QString CExplanation::ShortAt(const ElementRecord* r, int depth) const {
  if (!r || !r->element) return Str(IDS_EXPLAIN_EMPTY);
  QStringList ignored;
  switch (r->type) {
    case ELEMENT_CAPTURE_GROUP: {
      const auto* list = static_cast<const CListElement<U16>*>(r->element);
      return Fill(Str(IDS_EXPLAIN_CAPTURE),
                  {GroupLabel(static_cast<const CBracketElement<U16>*>(list->m_elements[0])->m_nGroup)});
    }
    case ELEMENT_NONCAPTURE_GROUP:
      if (depth < kShortDepth && r->children.size() == 1) return ShortAt(r->children[0], depth + 1);
      return Str(IDS_EXPLAIN_NONCAPTURE);
    case ELEMENT_INDEPENDENT: return Str(IDS_EXPLAIN_ATOMIC);
    case ELEMENT_CONDITIONAL: return Str(IDS_TREE_CONDITIONAL);
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED:
      if (depth >= kShortDepth) return Str(IDS_TREE_GREEDY);
      return Core(r, &ignored, depth);
    case ELEMENT_ASSERTION:
      if (depth >= kShortDepth) return Str(IDS_TREE_ASSERTION);
      return Core(r, &ignored, depth);
    default: return Core(r, &ignored, depth);
  }
}

QString CExplanation::Core(const ElementRecord* r, QStringList* notes, int depth) const {
  const HostElement* e = r->element;
  const int kids = static_cast<int>(r->children.size());
  switch (r->type) {
    case ELEMENT_ALTERNATIVE: return Fill(Str(IDS_EXPLAIN_ALTERNATIVES), {QString::number(kids)});
    case ELEMENT_LIST: {
      const bool rtl = static_cast<const CListElement<U16>*>(e)->m_bRightLeft;
      return Fill(Str(rtl ? IDS_EXPLAIN_SEQUENCE_RTL : IDS_EXPLAIN_SEQUENCE), {QString::number(kids)});
    }
    case ELEMENT_ASSERTION: return AssertionCore(r, notes, depth);
    case ELEMENT_BACKREF: {
      const auto* b = static_cast<const CBackrefElement<U16>*>(e);
      BackrefNotes(r, notes);
      if (b->m_nGroup == 0) return Str(IDS_EXPLAIN_BACKREF_WHOLE);
      if (b->m_nGroup < 0) {
        QString name;
        for (int i = 0; i < b->m_szName.GetSize(); ++i) name += QChar(b->m_szName[i]);
        return Fill(Str(IDS_EXPLAIN_BACKREF_NO_NAME), {BackQuote(name)});
      }
      if (!m_groupNames.count(b->m_nGroup))
        return Fill(Str(IDS_EXPLAIN_BACKREF_MISSING), {QString::number(b->m_nGroup)});
      return Fill(Str(b->m_bIgnoreCase ? IDS_EXPLAIN_BACKREF_ANY_CASE : IDS_EXPLAIN_BACKREF), {GroupLabel(b->m_nGroup)});
    }
    case ELEMENT_BOUNDARY: {
      const auto* b = static_cast<const CBoundaryElement<U16>*>(e);
      return Fill(Str(b->m_bYes ? IDS_EXPLAIN_ANCHOR : IDS_EXPLAIN_ANCHOR_NOT), {Field(IDS_EXPLAIN_BOUNDARY_WORDS, b->m_nType)});
    }
    case ELEMENT_DELEGATE: {
      const auto* d = static_cast<const CDelegateElement<U16>*>(e);
      if (d->m_nGroup == DELEGATE_NOT_FOUND) {
        QString name;
        for (int i = 0; i < d->m_szName.GetSize(); ++i) name += QChar(d->m_szName[i]);
        return Fill(Str(IDS_EXPLAIN_RECURSE_NO_NAME), {BackQuote(name)});
      }
      if (d->m_nGroup == 0) return Str(IDS_EXPLAIN_RECURSE_WHOLE);
      if (!d->m_pTarget) return Fill(Str(IDS_EXPLAIN_RECURSE_MISSING), {QString::number(d->m_nGroup)});
      return Fill(Str(IDS_EXPLAIN_RECURSE_GROUP), {GroupLabel(d->m_nGroup)});
    }
    case ELEMENT_EMPTY: return EmptyCore(r, notes);
    case ELEMENT_LASTMATCH: return Str(IDS_EXPLAIN_LAST_MATCH);
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED: return RepeatCore(r, notes, depth);
    case ELEMENT_INDEPENDENT:
      return Fill(Str(IDS_EXPLAIN_WITH_CONTENT),
                  {Str(IDS_EXPLAIN_ATOMIC), ShortAt(kids ? r->children[0] : nullptr, depth + 1)});
    case ELEMENT_POSIX: {
      const auto* p = static_cast<const CPosixElement<U16>*>(e);
      QString name = QLatin1String(TarnoPosixName(p->m_nClass));
      if (name.endsWith(QLatin1Char(':'))) name.chop(1);
      return Fill(Str(p->m_bYes ? IDS_EXPLAIN_POSIX : IDS_EXPLAIN_POSIX_NOT),
                  {BackQuote(name), Field(IDS_EXPLAIN_POSIX_WORDS, p->m_nClass)});
    }
    case ELEMENT_CHARSET: return CharsetCore(r, notes, depth);
    case ELEMENT_STRING: return StringCore(r, notes);
    case ELEMENT_CONDITIONAL: return ConditionalCore(r, notes);
    case ELEMENT_NONCAPTURE_GROUP: {
      // "(?:" or "(?flags:"; white space may follow "(?".
      const std::vector<U16>& t = m_pTree->Text();
      int q = r->offset + 2;
      const int end = r->offset + r->length;
      while (q < end && IsSpaceCode(t[q])) ++q;
      int colon = q;
      while (colon < end && t[colon] != ':') ++colon;
      QString head = Str(IDS_EXPLAIN_NONCAPTURE);
      if (colon > q && colon < end)
        head = Fill(Str(IDS_EXPLAIN_NONCAPTURE_MODES), {ModesText(q, colon, notes)});
      return Fill(Str(IDS_EXPLAIN_WITH_CONTENT), {head, ShortAt(kids ? r->children[0] : nullptr, depth + 1)});
    }
    case ELEMENT_CAPTURE_GROUP: return CaptureCore(r, notes, depth);
    case ELEMENT_MODE_MODIFIER: {
      const std::vector<U16>& t = m_pTree->Text();
      int q = r->offset + 2;
      int end = r->offset + r->length;
      while (q < end && IsSpaceCode(t[q])) ++q;
      if (end > q && t[end - 1] == ')') --end;
      return Fill(Str(IDS_EXPLAIN_MODIFIER), {ModesText(q, end, notes)});
    }
    default: return Str(IDS_EXPLAIN_EMPTY);  // brackets never get a record of their own
  }
}

QString CExplanation::ModesText(int from, int to, QStringList* notes) const {
  const std::vector<U16>& t = m_pTree->Text();
  QStringList parts;
  bool clear = false;
  for (int i = from; i < to && i < static_cast<int>(t.size()); ++i) {
    const unsigned c = t[i];
    int word = -1;
    switch (c) {
      case '-': clear = true; continue;
      case 'i': case 'I': word = 0; break;
      case 'm': case 'M': word = 1; break;
      case 's': case 'S': word = 2; break;
      case 'g': case 'G': word = 3; break;
      default: break;
    }
    if (word < 0) {
      if (!IsSpaceCode(c)) notes->append(Fill(Str(IDS_EXPLAIN_MODE_IGNORED), {CharName(c)}));
      continue;
    }
    parts << Fill(Str(clear ? IDS_EXPLAIN_MODE_OFF : IDS_EXPLAIN_MODE_ON), {Field(IDS_EXPLAIN_MODE_WORDS, word)});
  }
  if (parts.isEmpty()) return Str(IDS_EXPLAIN_MODE_NONE);
  return JoinList(parts);
}

// How the compiler read a back-reference written with digits or with a bare \k or \g.
void CExplanation::BackrefNotes(const ElementRecord* r, QStringList* notes) const {
  const QString src = Source(r);
  if (src.size() < 2 || src.at(0) != QLatin1Char('\\')) return;
  const QChar kind = src.at(1);
  if (src.size() == 2 && (kind == QLatin1Char('k') || kind == QLatin1Char('g'))) {
    notes->append(Fill(Str(IDS_EXPLAIN_BACKREF_BARE), {BackQuote(src)}));
    return;
  }
  if (!kind.isDigit()) return;
  if (kind == QLatin1Char('0')) notes->append(Fill(Str(IDS_EXPLAIN_BACKREF_NOT_OCTAL), {BackQuote(src)}));
  // Three digits at most: the digits after them are text of their own.
  const std::vector<U16>& t = m_pTree->Text();
  int end = r->offset + r->length, rest = end;
  while (rest < static_cast<int>(t.size()) && t[rest] >= '0' && t[rest] <= '9') ++rest;
  if (src.size() == 4 && rest > end)
    notes->append(Fill(Str(IDS_EXPLAIN_BACKREF_THREE_DIGITS), {BackQuote(src), BackQuote(Source(end, rest))}));
}

QString CExplanation::StringCore(const ElementRecord* r, QStringList* notes) const {
  const auto* s = static_cast<const CStringElement<U16>*>(r->element);
  const U16* chars = s->GetChars();
  std::vector<U16> content(chars, chars + s->m_nLength);
  const QString quoted = Quote(content, 0, s->m_nLength);
  EscapeNotes(r, notes);
  // A text of unprintable characters only reads better by their names alone.
  if (!quoted.contains(QLatin1Char('`'))) return quoted;
  return Fill(Str(s->m_bIgnoreCase ? IDS_EXPLAIN_TEXT_ANY_CASE : IDS_EXPLAIN_TEXT), {quoted});
}

// The readings of the stray metacharacters and the escapes written in a string element's span.
void CExplanation::EscapeNotes(const ElementRecord* r, QStringList* notes) const {
  const std::vector<U16>& t = m_pTree->Text();
  const int n = static_cast<int>(t.size());
  const int from = r->offset, to = std::min(r->offset + r->length, n);
  const auto* s = static_cast<const CStringElement<U16>*>(r->element);
  if (to - from == 1 && s->m_nLength == 1 && s->GetChars()[0] == t[from]) {
    const unsigned c = t[from];
    if (c == '*' || c == '+' || c == '?' || c == '{')
      notes->append(Fill(Str(IDS_EXPLAIN_NOTHING_TO_REPEAT), {BackQuote(QString(QChar(c)))}));
    else if (c == '(' || c == '[')
      notes->append(Fill(Str(IDS_EXPLAIN_TOO_DEEP), {BackQuote(QString(QChar(c)))}));
    return;
  }
  ScanEscapes(from, to, false, {}, notes);
}

// Every escape the tokenizer reads specially gets its reading here, except those that become
// elements of their own (outside a class: anchors, \d and its kin, back-references; inside one:
// \d and its kin), whose records explain themselves, and \E outside quote mode, which Build
// places. Escaped punctuation stands for itself, as everyone expects, and gets no word.
void CExplanation::ScanEscapes(int from, int to, bool inClass, const std::vector<ElementRecord*>& skip,
                               QStringList* notes) const {
  const std::vector<U16>& t = m_pTree->Text();
  const int n = static_cast<int>(t.size());
  to = std::min(to, n);
  auto at = [&](int i) -> unsigned { return i >= 0 && i < n ? t[i] : 0u; };
  auto quoted = [&](int i, int length) { return BackQuote(Source(i, i + length)); };
  bool quote = false;
  int listed = 0;
  size_t nextSkip = 0;
  for (int i = from; i < to && listed < kMostNotes;) {
    while (nextSkip < skip.size() && skip[nextSkip]->offset + skip[nextSkip]->length <= i) ++nextSkip;
    if (!quote && nextSkip < skip.size() && skip[nextSkip]->offset <= i) {
      i = std::max(i + 1, skip[nextSkip]->offset + skip[nextSkip]->length);
      continue;
    }
    const unsigned c = t[i];
    if (quote) {
      if (c == '\\' && at(i + 1) == 'E') {
        quote = false;
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (c == '(' && at(i + 1) == '?' && at(i + 2) == '#') {  // a comment: noted on its own
      while (i < to && t[i] != ')') ++i;
      ++i;
      continue;
    }
    if ((m_nFlags & EXTENDED) && c == '#') {
      while (i < to && t[i] != '\n' && t[i] != '\r') ++i;
      continue;
    }
    if (c != '\\') {
      ++i;
      continue;
    }
    if (i + 1 >= n) {
      notes->append(Str(IDS_EXPLAIN_LONE_BACKSLASH));
      ++listed;
      break;
    }
    const unsigned d = t[i + 1];
    const QString letter = BackQuote(QString(QChar(static_cast<char16_t>(d))));
    int length = 2;
    switch (d) {
      case 'Q':
      case 'L':
      case 'U': {
        quote = true;
        notes->append(Str(d == 'Q' ? IDS_EXPLAIN_QUOTED : d == 'L' ? IDS_EXPLAIN_QUOTED_LOWER : IDS_EXPLAIN_QUOTED_UPPER));
        ++listed;
        break;
      }
      case 'E': break;
      case 'a': case 'e': case 'f': case 'n': case 'r': case 't': case 'v': {
        static const char kFrom[] = "aefnrtv";
        static const unsigned kTo[] = {7, 27, 12, 10, 13, 9, 11};
        const unsigned v = kTo[std::strchr(kFrom, static_cast<int>(d)) - kFrom];
        notes->append(Fill(Str(IDS_EXPLAIN_ESCAPE), {quoted(i, 2), CharName(v)}));
        ++listed;
        break;
      }
      case 'x':
      case 'u': {
        int p = i + 2;
        unsigned v = 0;
        int digits = 0;
        if (at(p) == '{') {
          ++p;
          while (digits < 8 && IsHex(at(p))) {
            v = v * 16 + HexValue(at(p));
            ++p;
            ++digits;
          }
          while (p < n && t[p] != '}') ++p;
          if (p < n) ++p;
          length = p - i;
          notes->append(Fill(Str(IDS_EXPLAIN_ESCAPE), {quoted(i, length), CharName(v & 0xFFFF)}));
        } else {
          const int most = d == 'x' ? 2 : 4;
          while (digits < most && IsHex(at(p))) {
            v = v * 16 + HexValue(at(p));
            ++p;
            ++digits;
          }
          if (digits) {
            length = p - i;
            notes->append(Fill(Str(IDS_EXPLAIN_ESCAPE), {quoted(i, length), CharName(v)}));
          } else {
            notes->append(Fill(Str(IDS_EXPLAIN_ESCAPE_NO_HEX), {quoted(i, 2), letter}));
          }
        }
        ++listed;
        break;
      }
      case 'p':
      case 'P':
        notes->append(Fill(Str(IDS_EXPLAIN_NO_PROPERTY), {quoted(i, 2), letter}));
        ++listed;
        break;
      case 'b':
        // A word boundary outside a class (an element of its own), a backspace inside one.
        if (inClass) {
          notes->append(Fill(Str(IDS_EXPLAIN_CLASS_ESCAPE_AS), {quoted(i, 2), CharName(8)}));
          ++listed;
        }
        break;
      case 'G':
        if (inClass) {
          notes->append(Fill(Str(IDS_EXPLAIN_CLASS_ESCAPE_IGNORED), {quoted(i, 2)}));
          ++listed;
        }
        break;
      case 'A': case 'B': case 'Z': case 'z': case 'g': case 'k':
        // Anchors and back-references outside a class; their letters inside one.
        if (inClass) {
          notes->append(Fill(Str(IDS_EXPLAIN_CLASS_ESCAPE_LETTER), {quoted(i, 2), letter}));
          ++listed;
        }
        break;
      case 'd': case 'D': case 's': case 'S': case 'w': case 'W':
        break;  // classes of their own, in a class as well
      default:
        if (d >= '0' && d <= '9') {
          // A back-reference outside a class; inside one the backslash stands for itself and
          // the digit follows as a character of its own.
          if (inClass) {
            notes->append(Fill(Str(IDS_EXPLAIN_CLASS_ESCAPE_DIGIT), {quoted(i, 2), letter}));
            ++listed;
            length = 1;
          }
        } else if (IsLetter(d)) {
          notes->append(Fill(Str(IDS_EXPLAIN_ESCAPE_UNKNOWN), {quoted(i, 2), letter}));
          ++listed;
        }
        break;
    }
    i += length;
  }
  if (quote && to >= n) notes->append(Str(IDS_EXPLAIN_QUOTE_OPEN));
}

QString CExplanation::CharsetCore(const ElementRecord* r, QStringList* notes, int depth) const {
  const auto* cs = static_cast<const CCharsetElement<U16>*>(r->element);
  const QString src = Source(r);
  const bool bare = cs->m_ranges.IsEmpty() && cs->m_chars.IsEmpty() && cs->m_embedded.IsEmpty();
  static const int kStockIds[] = {IDS_EXPLAIN_DOT, IDS_EXPLAIN_DIGIT, IDS_EXPLAIN_NOT_DIGIT, IDS_EXPLAIN_WORD,
                                  IDS_EXPLAIN_NOT_WORD, IDS_EXPLAIN_SPACE, IDS_EXPLAIN_NOT_SPACE};
  for (int i = 0; i < 7; ++i) {
    if (src != QLatin1String(kStockSources[i])) continue;
    if (i == 0 && bare && !cs->m_bYes) return Str(IDS_EXPLAIN_ANY_CHAR);  // . with single line
    return Str(kStockIds[i]);
  }
  if (src.startsWith(QLatin1String("[:"))) {
    const int close = src.indexOf(QLatin1Char(']'));
    notes->append(Fill(Str(IDS_EXPLAIN_POSIX_UNKNOWN), {BackQuote(close > 0 ? src.left(close + 1) : src)}));
  }
  // What the escapes between the brackets were read as; the inner classes explain themselves.
  if (src.startsWith(QLatin1Char('['))) ScanEscapes(r->offset, r->offset + r->length, true, r->children, notes);
  if (bare) return Str(cs->m_bYes ? IDS_EXPLAIN_CLASS_EMPTY : IDS_EXPLAIN_ANY_CHAR);
  QStringList items;
  int total = 0;
  for (int i = 0; i + 1 < cs->m_ranges.GetSize(); i += 2, ++total) {
    if (items.size() >= kMostItems) continue;
    const unsigned lo = cs->m_ranges[i], hi = cs->m_ranges[i + 1];
    items << Fill(Str(lo <= hi ? IDS_EXPLAIN_RANGE : IDS_EXPLAIN_RANGE_REVERSED), {CharName(lo), CharName(hi)});
  }
  for (int i = 0; i < cs->m_chars.GetSize(); ++i, ++total)
    if (items.size() < kMostItems) items << CharName(cs->m_chars[i]);
  for (const ElementRecord* k : r->children) {
    if (items.size() < kMostItems) items << ShortAt(k, depth + 1);
    ++total;
  }
  if (total > items.size()) items << Fill(Str(IDS_EXPLAIN_MORE), {QString::number(total - items.size())});
  return Fill(Str(cs->m_bYes ? IDS_EXPLAIN_CLASS : IDS_EXPLAIN_CLASS_NOT), {JoinList(items)});
}

QString CExplanation::RepeatCore(const ElementRecord* r, QStringList* notes, int depth) const {
  const HostElement* e = r->element;
  const ElementRecord* inner = r->children.empty() ? nullptr : r->children[0];
  const QString what = ShortAt(inner, depth + 1);
  // The quantifier as written: from the end of the repeated atom to the end of the repeat.
  const int qFrom = inner ? inner->offset + inner->length : r->offset;
  const QString quant = Source(qFrom, r->offset + r->length);
  // {n,m} with m below n: the compiler raised the maximum.
  if (quant.startsWith(QLatin1Char('{'))) {
    const int comma = quant.indexOf(QLatin1Char(','));
    const int close = quant.indexOf(QLatin1Char('}'));
    if (comma > 0 && close > comma) {
      bool okLow = false, okHigh = false;
      const int low = quant.mid(1, comma - 1).trimmed().toInt(&okLow);
      const int high = quant.mid(comma + 1, close - comma - 1).trimmed().toInt(&okHigh);
      if (okLow && okHigh && high < low)
        notes->append(Fill(Str(IDS_EXPLAIN_MAX_RAISED), {BackQuote(quant.left(close + 1)), QString::number(low)}));
    }
  }
  if (r->type == ELEMENT_FIXED) {
    const int count = static_cast<const CFixedRepeatElement<U16>*>(e)->m_nCount;
    if (quant.endsWith(QLatin1Char('?')) || quant.endsWith(QLatin1Char('+')))
      notes->append(Fill(Str(IDS_EXPLAIN_SUFFIX_IGNORED), {BackQuote(quant.right(1)), BackQuote(quant.left(quant.size() - 1))}));
    return Fill(Str(IDS_EXPLAIN_FIXED), {Fill(Str(IDS_EXPLAIN_EXACTLY), {QString::number(count)}), what});
  }
  int min, extra;
  if (r->type == ELEMENT_RELUCTANT) {
    const auto* g = static_cast<const CReluctantElement<U16>*>(e);
    min = g->m_nMin;
    extra = g->m_nExtra;
  } else {
    const auto* g = static_cast<const CGreedyElement<U16>*>(e);
    min = g->m_nMin;
    extra = g->m_nExtra;
  }
  const bool unbounded = extra == TARNO_INFINITE - min;
  const int max = unbounded ? TARNO_INFINITE : min + extra;
  QString amount;
  if (unbounded)
    amount = min == 0 ? Str(IDS_EXPLAIN_ZERO_OR_MORE)
             : min == 1 ? Str(IDS_EXPLAIN_ONE_OR_MORE)
                        : Fill(Str(IDS_EXPLAIN_AT_LEAST), {QString::number(min)});
  else if (min == 0 && max == 1)
    amount = Str(IDS_EXPLAIN_OPTIONAL);
  else if (min == 0)
    amount = Fill(Str(IDS_EXPLAIN_AT_MOST), {QString::number(max)});
  else if (min == max)
    amount = Fill(Str(IDS_EXPLAIN_EXACTLY), {QString::number(min)});
  else
    amount = Fill(Str(IDS_EXPLAIN_BETWEEN), {QString::number(min), QString::number(max)});
  const int id = r->type == ELEMENT_RELUCTANT ? IDS_EXPLAIN_LAZY
                 : r->type == ELEMENT_POSSESSIVE ? IDS_EXPLAIN_POSSESSIVE
                                                 : IDS_EXPLAIN_GREEDY;
  return Fill(Str(id), {amount, what});
}

QString CExplanation::CaptureCore(const ElementRecord* r, QStringList* notes, int depth) const {
  (void)notes;
  const auto* list = static_cast<const CListElement<U16>*>(r->element);
  const auto* open = static_cast<const CBracketElement<U16>*>(list->m_elements[0]);
  QString own;
  for (U16 c : r->name) {
    if (!c) break;
    own += QChar(c);
  }
  const QString number = QString::number(open->m_nGroup);
  const QString label = own.isEmpty() ? number : Fill(Str(IDS_EXPLAIN_NAMED_LABEL), {number, BackQuote(own)});
  const QString content = ShortAt(r->children.empty() ? nullptr : r->children[0], depth + 1);
  if (open->m_nBalance == -1)
    return Fill(Str(IDS_EXPLAIN_WITH_CONTENT), {Fill(Str(IDS_EXPLAIN_CAPTURE), {label}), content});
  if (open->m_nBalance < 0) {
    // The other group's name, as written after the '-' of "(?<name-other>".
    const QString src = Source(r);
    const int dash = src.indexOf(QLatin1Char('-'));
    int close = src.indexOf(QLatin1Char('>'), dash + 1);
    const int quoteClose = src.indexOf(QLatin1Char('\''), dash + 1);
    if (close < 0 || (quoteClose >= 0 && quoteClose < close)) close = quoteClose;
    const QString other = dash < 0 ? QString() : src.mid(dash + 1, close < 0 ? -1 : close - dash - 1);
    return Fill(Str(IDS_EXPLAIN_BALANCING_MISSING), {label, BackQuote(other)});
  }
  return Fill(Str(IDS_EXPLAIN_WITH_CONTENT),
              {Fill(Str(IDS_EXPLAIN_BALANCING), {label, GroupLabel(open->m_nBalance)}), content});
}

QString CExplanation::AssertionCore(const ElementRecord* r, QStringList* notes, int depth) const {
  (void)notes;
  const auto* a = static_cast<const CAssertionElement<U16>*>(r->element);
  // Look-behind is written "(?<=" or "(?<!" (white space may follow "(?").
  const std::vector<U16>& t = m_pTree->Text();
  const int end = std::min(r->offset + r->length, static_cast<int>(t.size()));
  int q = r->offset + 2;
  while (q < end && IsSpaceCode(t[q])) ++q;
  const bool behind = r->offset + 1 < end && t[r->offset + 1] == '?' && q < end && t[q] == '<';
  const int id = behind ? (a->m_bPositive ? IDS_EXPLAIN_BEHIND : IDS_EXPLAIN_BEHIND_NOT)
                        : (a->m_bPositive ? IDS_EXPLAIN_AHEAD : IDS_EXPLAIN_AHEAD_NOT);
  return Fill(Str(id), {ShortAt(r->children.empty() ? nullptr : r->children[0], depth + 1)});
}

QString CExplanation::ConditionalCore(const ElementRecord* r, QStringList* notes) const {
  const auto* c = static_cast<const CConditionalElement<U16>*>(r->element);
  const QString otherwise = Str(c->m_pNo ? IDS_EXPLAIN_ELSE_BRANCH : IDS_EXPLAIN_ELSE_NOTHING);
  if (c->m_nGroup >= 0) return Fill(Str(IDS_EXPLAIN_IF_GROUP), {GroupLabel(c->m_nGroup), otherwise});
  if (!c->m_szName.IsEmpty()) {
    QString name;
    for (int i = 0; i < c->m_szName.GetSize(); ++i) name += QChar(c->m_szName[i]);
    notes->append(Fill(Str(IDS_EXPLAIN_IF_NO_NAME), {BackQuote(name)}));
  }
  return Fill(Str(IDS_EXPLAIN_IF_LOOK), {otherwise});
}

QString CExplanation::EmptyCore(const ElementRecord* r, QStringList* notes) const {
  const QString src = Source(r);
  if (src == QLatin1String("\\G")) {
    notes->append(Str(IDS_EXPLAIN_G_NOT_GLOBAL));
    return Str(IDS_EXPLAIN_EMPTY);
  }
  // An item repeated no times still had its escapes read ("\\p{L}" is `p` at most 0 times).
  ScanEscapes(r->offset, r->offset + r->length, false, {}, notes);
  if (r->element->m_nError != ERROR_QUANTIFIER_BRACE) {
    // An item whose quantifier allows no repetition: "a{0}", or "a{,5}" read as at most 0.
    const int brace = src.lastIndexOf(QLatin1Char('{'));
    if (brace >= 0) {
      int i = brace + 1;
      while (i < src.size() && src.at(i).isSpace()) ++i;
      const bool number = i < src.size() && src.at(i) >= QLatin1Char('0') && src.at(i) <= QLatin1Char('9');
      notes->append(Fill(Str(number ? IDS_EXPLAIN_ZERO_REPEAT : IDS_EXPLAIN_BAD_BRACES), {BackQuote(src.mid(brace))}));
    }
  }
  return Str(IDS_EXPLAIN_EMPTY);
}

// ---------------------------------------------------------------------------------------------
// The outline

std::vector<CExplanation::Line> CExplanation::Outline(int maxDepth, size_t maxLines) const {
  std::vector<Line> lines;
  const ElementRecord* root = Root();
  if (!root || maxLines == 0) return lines;
  if (root->type == ELEMENT_EMPTY && m_pTree->Text().empty()) {
    lines.push_back({root, 0, Str(IDS_EXPLAIN_EMPTY_PATTERN)});
    return lines;
  }
  // Iterative pre-order walk: (record, depth, index among its siblings).
  struct Item {
    const ElementRecord* record;
    int depth;
    int index;
  };
  std::vector<Item> stack{{root, 0, 0}};
  while (!stack.empty() && lines.size() < maxLines) {
    Item it = stack.back();
    stack.pop_back();
    lines.push_back({it.record, it.depth, LineText(it.record, it.index)});
    if (it.depth >= maxDepth) continue;
    const auto& kids = it.record->children;
    for (size_t i = kids.size(); i-- > 0;) stack.push_back({kids[i], it.depth + 1, static_cast<int>(i)});
  }
  return lines;
}

QString CExplanation::OutlineText(int maxDepth, size_t maxLines) const {
  QString out;
  for (const Line& line : Outline(maxDepth, maxLines)) {
    out += QString(line.depth * 2, QLatin1Char(' '));
    out += line.text;
    out += QLatin1Char('\n');
  }
  return out;
}
