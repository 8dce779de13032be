// Convert to flavour: see flavour_convert.h.
#include "app/document/pattern/flavour_convert.h"

#include <QChar>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "app/document/pattern/element_records.h"
#include "app/document/pattern/flavour_notes.h"
#include "app/host_engine.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {

typedef unsigned short U16;

// How much of a look-behind a target takes.
enum class Behind {
  None,           // no look-behind at all
  Fixed,          // one fixed length for the whole content
  FixedBranches,  // each top-level branch of a fixed length of its own
  Bounded,        // a finite longest length
  Any,
};

const char kAsciiSpace[] = "\t\n\v\f\r ";
const char kRe2Space[] = "\t\n\f\r ";

// What a target's engine reads as Korvane does, and how it writes what it has. The defaults are
// PCRE2's; each flavour below names where it differs. Every entry is held to the real engine by
// app/document/flavours/tests/conversion_engines_test.cpp.
struct Dialect {
  const char* flavour = "";
  const char* prefix = "";              // written before the pattern: "(?a)" makes \d \w \s \b ASCII
  const char* textStart = "\\A";        // or "^" where no multiline flag is ever set
  const char* textEnd = "\\z";          // Python's "\\Z", or "$"
  bool lookahead = true;
  Behind behind = Behind::FixedBranches;
  bool atomic = true;                   // (?>...)
  bool possessive = true;               // *+ ++ ?+ {n,m}+
  bool possessiveBraces = true;         // {n,m}+ is possessive (in Onigmo a repeat of a repeat)
  bool possessiveGroups = true;         // a possessive repeat of more than one character is right
  bool scopedFlags = true;              // (?i:...)
  bool asciiFoldKS = false;             // ignore-case pairs k, s with K, S only (no Kelvin sign, no long s)
  bool asciiDigit = true;               // \d is [0-9]
  bool asciiWord = true;                // \w is [0-9A-Z_a-z]
  const char* space = kAsciiSpace;      // the members of \s when it is an ASCII class, else none
  bool asciiBoundary = true;            // \b and \B use the ASCII word characters
  bool dotIsNotLF = true;               // . is any character but \n
  const char* namedGroup = "(?<";       // or "(?P<"; none: named groups are written as plain ones
  bool backrefs = true;
  const char* namedRef = "\\k<";        // or "(?P="; none for numbered references only
  bool namedRefsOnly = false;           // numbered references are errors once a group is named
  bool namedOnlyCapture = false;        // unnamed groups do not capture once a group is named
  int nameRule = 0;                     // 0 word characters, not starting with a digit; 1 letters and digits
  bool korvaneNumbering = false;        // numbers named groups after the unnamed ones, as Korvane does
  bool lastMatch = true;                // \G
  bool hexBraces = false;               // \x{HHHH} rather than \uHHHH
  int maxRepeat = 0;                    // the largest count of a {n,m}; 0 when no practical limit
  bool plainBehind = false;             // a look-behind holds only text, classes, repeats, alternatives
  bool behindNoParens = false;          // a look-behind holds nothing in parentheses
  bool behindShortestFirst = false;     // a look-behind tries its shortest length first, not its first branch
  bool capturesLeak = false;            // a group set inside a look-around or an atomic group may stay set
  bool unsetRefIsEmpty = false;         // a reference to a group that is not set matches the empty text
  bool findAllLikeKorvane = false;      // after an empty match its find-all searches again one character on
  const char* never = "[^\\s\\S]";      // what never matches (a class, which may be repeated)
  const char* neverHere = "(?!)";       // what never matches and takes no character
};

std::vector<Dialect> BuildDialects() {
  std::vector<Dialect> all;
  auto add = [&all](const char* flavour, auto differences) {
    Dialect d;
    d.flavour = flavour;
    differences(d);
    all.push_back(d);
  };
  // PCRE2 with its default newline, without UCP: ASCII classes.
  add("pcre2", [](Dialect& d) {
    d.hexBraces = true; d.maxRepeat = 65535;
  });
  // preg with /u: PCRE2 with UCP, so \d \w \s \b are Unicode.
  add("php", [](Dialect& d) {
    d.asciiDigit = false; d.asciiWord = false; d.space = nullptr; d.asciiBoundary = false; d.hexBraces = true;
    d.maxRepeat = 65535;
  });
  // V8 without the u flag: no atomic groups, no scoped flags; ^ and $ never get m.
  add("js", [](Dialect& d) {
    d.textStart = "^"; d.textEnd = "$"; d.behind = Behind::Any; d.atomic = false; d.possessive = false;
    d.scopedFlags = false; d.asciiFoldKS = true; d.space = nullptr; d.dotIsNotLF = false; d.lastMatch = false;
    d.unsetRefIsEmpty = true; d.findAllLikeKorvane = true;
  });
  // re with (?a); CPython 3.11.2 errs in possessive repeats of groups (its atomic groups are right).
  add("python", [](Dialect& d) {
    d.prefix = "(?a)"; d.textEnd = "\\Z"; d.behind = Behind::Fixed; d.asciiFoldKS = true;
    d.namedGroup = "(?P<"; d.namedRef = "(?P="; d.lastMatch = false; d.possessiveGroups = false;
  });
  // The regex module with (?a): look-behind of any length.
  add("python-regex", [](Dialect& d) {
    d.prefix = "(?a)"; d.textEnd = "\\Z"; d.behind = Behind::Any; d.namedGroup = "(?P<"; d.namedRef = "(?P=";
  });
  // java.util.regex: ASCII case folding; a look-behind tries its lengths shortest first; groups
  // set in a look-around or an atomic group stay set.
  add("java", [](Dialect& d) {
    d.behind = Behind::Bounded; d.asciiFoldKS = true; d.asciiBoundary = false; d.dotIsNotLF = false;
    d.nameRule = 1; d.behindShortestFirst = true; d.capturesLeak = true; d.findAllLikeKorvane = true;
  });
  // Mono's System.Text.RegularExpressions: Unicode classes, Korvane's group numbering.
  add("dotnet", [](Dialect& d) {
    d.behind = Behind::Any; d.possessive = false; d.asciiFoldKS = true; d.asciiDigit = false;
    d.asciiWord = false; d.space = nullptr; d.asciiBoundary = false; d.korvaneNumbering = true;
    d.findAllLikeKorvane = true;
  });
  // Onigmo: no unnamed capture beside a named one; a narrow look-behind; {n,m}+ is a repeat of
  // a repeat.
  add("ruby", [](Dialect& d) {
    d.asciiBoundary = false; d.namedRefsOnly = true; d.namedOnlyCapture = true; d.maxRepeat = 100000;
    d.plainBehind = true; d.possessiveBraces = false; d.findAllLikeKorvane = true;
  });
  // perl with (?a).
  add("perl", [](Dialect& d) {
    d.never = "(?!)";  // 5.36 panics on a repeat of a class that holds nothing
    d.prefix = "(?a)"; d.behind = Behind::Fixed; d.hexBraces = true; d.maxRepeat = 65534;
  });
  // RE2: no look-around, no back-reference, counts up to 1000.
  add("re2", [](Dialect& d) {
    d.lookahead = false; d.behind = Behind::None; d.atomic = false; d.possessive = false; d.space = kRe2Space;
    d.namedGroup = "(?P<"; d.backrefs = false; d.namedRef = nullptr; d.lastMatch = false; d.hexBraces = true;
    d.maxRepeat = 1000; d.never = "[^\\x00-\\x{10FFFF}]";
  });
  // Go's regexp: RE2's syntax.
  add("go", [](Dialect& d) {
    d.lookahead = false; d.behind = Behind::None; d.atomic = false; d.possessive = false; d.space = kRe2Space;
    d.namedGroup = "(?P<"; d.backrefs = false; d.namedRef = nullptr; d.lastMatch = false; d.hexBraces = true;
    d.maxRepeat = 1000; d.never = "[^\\x00-\\x{10FFFF}]";
  });
  // std::regex ECMAScript: no look-behind, no named groups, no scoped flags.
  add("cpp-ecmascript", [](Dialect& d) {
    d.textStart = "^"; d.textEnd = "$"; d.behind = Behind::None; d.atomic = false; d.possessive = false;
    d.scopedFlags = false; d.asciiFoldKS = true; d.space = nullptr; d.dotIsNotLF = false;
    d.namedGroup = nullptr; d.namedRef = nullptr; d.lastMatch = false;
  });
  // ICU: Unicode classes; look-behind as Java reads it.
  add("icu", [](Dialect& d) {
    d.behind = Behind::Bounded; d.asciiDigit = false; d.asciiWord = false; d.space = nullptr;
    d.asciiBoundary = false; d.dotIsNotLF = false; d.nameRule = 1; d.behindShortestFirst = true;
    d.findAllLikeKorvane = true;
  });
  // Boost.Regex (Perl syntax): a narrow look-behind with nothing in parentheses, no empty
  // look-around; \B fails at the ends of the text; groups set in an atomic group stay set.
  add("boost", [](Dialect& d) {
    d.behind = Behind::Fixed; d.asciiFoldKS = true; d.space = nullptr; d.dotIsNotLF = false;
    d.hexBraces = true; d.plainBehind = true; d.behindNoParens = true; d.asciiBoundary = false;
    d.capturesLeak = true; d.neverHere = "(?=[^\\s\\S])";
  });
  // Oniguruma (Ruby syntax): Unicode classes.
  add("oniguruma", [](Dialect& d) {
    d.textEnd = "(?![\\s\\S])";  // 6.9.8 skips a look-behind just before \z at the end of the text
    d.asciiDigit = false; d.asciiWord = false; d.space = nullptr; d.asciiBoundary = false;
    d.namedRefsOnly = true; d.namedOnlyCapture = true; d.hexBraces = true; d.maxRepeat = 100000;
    d.plainBehind = true; d.possessiveBraces = false; d.findAllLikeKorvane = true;
  });
  return all;
}

const std::vector<Dialect>& Dialects() {
  static const std::vector<Dialect> all = BuildDialects();
  return all;
}

const Dialect* FindDialect(const QString& flavour) {
  for (const Dialect& d : Dialects())
    if (flavour == QLatin1String(d.flavour)) return &d;
  return nullptr;
}

// ---- Sets of 16-bit code units ------------------------------------------------------------

// Sorted, disjoint, inclusive intervals of code units, surrogates left out: a class matches one
// unit here, one code point in most targets, so an astral character is the same one character
// only when both sides see it whole; the classes are written for the characters of the BMP.
typedef std::vector<std::pair<unsigned, unsigned>> Intervals;

const unsigned kSurrogateLow = 0xD800, kSurrogateHigh = 0xDFFF;
const unsigned kBmpCount = 0x10000 - (kSurrogateHigh - kSurrogateLow + 1);

template <class Test>
Intervals IntervalsOf(Test test) {
  Intervals out;
  for (unsigned c = 0; c < 0x10000; ++c) {
    if (c >= kSurrogateLow && c <= kSurrogateHigh) continue;
    if (!test(c)) continue;
    if (!out.empty() && out.back().second + 1 == c) out.back().second = c;
    else if (!out.empty() && out.back().second == kSurrogateLow - 1 && c == kSurrogateHigh + 1) out.back().second = c;
    else out.emplace_back(c, c);
  }
  return out;
}

unsigned CountOf(const Intervals& set) {
  unsigned n = 0;
  for (const auto& i : set) {
    n += i.second - i.first + 1;
    if (i.first < kSurrogateLow && i.second > kSurrogateHigh) n -= kSurrogateHigh - kSurrogateLow + 1;
  }
  return n;
}

Intervals Complement(const Intervals& set) {
  return IntervalsOf([&set](unsigned c) {
    auto it = std::upper_bound(set.begin(), set.end(), std::make_pair(c, 0xFFFFFFFFu));
    return it == set.begin() || std::prev(it)->second < c;
  });
}

Intervals CharsOf(const char* chars) {
  std::set<unsigned> s;
  for (const char* p = chars; *p; ++p) s.insert(static_cast<unsigned char>(*p));
  return IntervalsOf([&s](unsigned c) { return s.count(c) != 0; });
}

bool IsDigitCode(unsigned c) { return c >= '0' && c <= '9'; }

// Korvane's own classes, read from the engine.
struct KorvaneSets {
  Intervals digit, word, space, notLF;
  Intervals notDigit, notWord, notSpace;
};

const KorvaneSets& Sets() {
  static const KorvaneSets sets = [] {
    KorvaneSets s;
    s.digit = IntervalsOf(IsDigitCode);
    s.word = IntervalsOf([](unsigned c) { return TarnoIsWord(c); });
    // \s as the compiler builds it: the one class of the pattern "\s".
    HostRegexp re;
    const U16 pattern[] = {'\\', 's'};
    re.Compile(pattern, 2, 0);
    CElementTree tree;
    tree.Build(re, pattern, 2);
    for (const ElementRecord* r : tree.OffsetList())
      if (r->type == ELEMENT_CHARSET) {
        const auto* cs = static_cast<const CCharsetElement<U16>*>(r->element);
        s.space = IntervalsOf([cs](unsigned c) { return cs->TestCode(c); });
        break;
      }
    s.notLF = IntervalsOf([](unsigned c) { return c != '\n'; });
    s.notDigit = Complement(s.digit);
    s.notWord = Complement(s.word);
    s.notSpace = Complement(s.space);
    return s;
  }();
  return sets;
}

// Korvane's ignore-case partners: every unit with the same upper-case code.
const std::map<unsigned, std::vector<unsigned>>& FoldClasses() {
  static const std::map<unsigned, std::vector<unsigned>> classes = [] {
    std::map<unsigned, std::vector<unsigned>> m;
    for (unsigned c = 0; c < 0x10000; ++c)
      if (c < kSurrogateLow || c > kSurrogateHigh) m[TarnoUpper<U16>(c)].push_back(c);
    return m;
  }();
  return classes;
}

const std::vector<unsigned>& FoldClassOf(unsigned c) { return FoldClasses().at(TarnoUpper<U16>(c)); }

// ---- Writing characters ---------------------------------------------------------------------

QString Hex(unsigned c, int width) { return QStringLiteral("%1").arg(c, width, 16, QLatin1Char('0')).toUpper(); }

// A character written as itself is one a reader recognises: a visible non-ASCII character.
bool ShownAsItself(unsigned c) {
  if (c < 0x80 || (c >= kSurrogateLow && c <= kSurrogateHigh)) return false;
  const QChar q(static_cast<char16_t>(c));
  if (!q.isPrint() || q.isSpace()) return false;
  const QChar::Category cat = q.category();
  return cat != QChar::Other_Format && cat != QChar::Mark_NonSpacing && cat != QChar::Mark_Enclosing;
}

QString ControlOrCode(unsigned c, const Dialect& d) {
  switch (c) {
    case '\t': return QStringLiteral("\\t");
    case '\n': return QStringLiteral("\\n");
    case '\r': return QStringLiteral("\\r");
    case '\f': return QStringLiteral("\\f");
    default: break;
  }
  if (c < 0x100) return QStringLiteral("\\x") + Hex(c, 2);
  return d.hexBraces ? QStringLiteral("\\x{") + Hex(c, 4) + QLatin1Char('}') : QStringLiteral("\\u") + Hex(c, 4);
}

// One character outside a class.
QString LiteralChar(unsigned c, const Dialect& d) {
  if (c < 0x80) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return QChar(static_cast<char16_t>(c));
    if (c < 0x20 || c == 0x7F) return ControlOrCode(c, d);
    if (std::strchr("\\^$.|?*+()[]{}", static_cast<int>(c)))
      return QLatin1Char('\\') + QChar(static_cast<char16_t>(c));
    return QChar(static_cast<char16_t>(c));
  }
  return ShownAsItself(c) ? QString(QChar(static_cast<char16_t>(c))) : ControlOrCode(c, d);
}

// One character inside a class: every ASCII punctuation mark but '_' is escaped, which each
// target takes (and which keeps ] - ^ \ & [ from meaning anything); .NET and RE2 refuse an
// escaped word character.
QString ClassChar(unsigned c, const Dialect& d) {
  if (c < 0x80) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '_')
      return QChar(static_cast<char16_t>(c));
    if (c < 0x20 || c == 0x7F) return ControlOrCode(c, d);
    return QLatin1Char('\\') + QChar(static_cast<char16_t>(c));
  }
  return ShownAsItself(c) ? QString(QChar(static_cast<char16_t>(c))) : ControlOrCode(c, d);
}

QString ClassBody(const Intervals& set, const Dialect& d) {
  QString out;
  for (const auto& i : set) {
    out += ClassChar(i.first, d);
    if (i.second == i.first) continue;
    if (i.second > i.first + 1) out += QLatin1Char('-');
    out += ClassChar(i.second, d);
  }
  return out;
}

// ---- Repeats ----------------------------------------------------------------------------------

// The bounds of a repeat record (max -1 when unbounded) and its kind.
struct RepeatBounds {
  long long min = 0, max = 0;
  bool lazy = false, possessive = false;
};

RepeatBounds BoundsOf(const ElementRecord* r) {
  RepeatBounds b;
  if (r->type == ELEMENT_FIXED) {
    b.min = b.max = static_cast<const CFixedRepeatElement<U16>*>(r->element)->m_nCount;
  } else if (r->type == ELEMENT_RELUCTANT) {
    const auto* e = static_cast<const CReluctantElement<U16>*>(r->element);
    b.min = e->m_nMin;
    b.max = e->m_nExtra == TARNO_INFINITE - e->m_nMin ? -1 : static_cast<long long>(e->m_nMin) + e->m_nExtra;
    b.lazy = true;
  } else {
    const auto* e = static_cast<const CGreedyElement<U16>*>(r->element);
    b.min = e->m_nMin;
    b.max = e->Unbounded() ? -1 : static_cast<long long>(e->m_nMin) + e->m_nExtra;
    b.possessive = r->type == ELEMENT_POSSESSIVE;
  }
  return b;
}

// ---- Widths, for look-behind ----------------------------------------------------------------

struct Width {
  long long min = 0;
  long long max = 0;  // -1: unbounded or unknown
};

Width Add(Width a, Width b) {
  Width w;
  w.min = std::min(a.min + b.min, 1LL << 40);
  w.max = (a.max < 0 || b.max < 0) ? -1 : std::min(a.max + b.max, 1LL << 40);
  return w;
}

Width WidthOf(const ElementRecord* r) {
  Width w;
  switch (r->type) {
    case ELEMENT_STRING: {
      const auto* s = static_cast<const CStringElement<U16>*>(r->element);
      w.min = w.max = s->m_nLength;
      return w;
    }
    case ELEMENT_CHARSET:
    case ELEMENT_POSIX: w.min = w.max = 1; return w;
    case ELEMENT_LIST:
    case ELEMENT_CAPTURE_GROUP:
    case ELEMENT_NONCAPTURE_GROUP:
    case ELEMENT_INDEPENDENT:
      for (const ElementRecord* c : r->children) w = Add(w, WidthOf(c));
      return w;
    case ELEMENT_ALTERNATIVE: {
      bool first = true;
      for (const ElementRecord* c : r->children) {
        Width k = WidthOf(c);
        if (first) w = k;
        w.min = std::min(w.min, k.min);
        w.max = (w.max < 0 || k.max < 0) ? -1 : std::max(w.max, k.max);
        first = false;
      }
      return w;
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED: {
      const RepeatBounds b = BoundsOf(r);
      const long long min = b.min, max = b.max;
      const Width k = r->children.empty() ? Width() : WidthOf(r->children[0]);
      w.min = std::min(min * k.min, 1LL << 40);
      w.max = (max < 0 || k.max < 0) ? (k.max == 0 ? 0 : -1) : std::min(max * k.max, 1LL << 40);
      return w;
    }
    case ELEMENT_BACKREF:
    case ELEMENT_DELEGATE:
    case ELEMENT_CONDITIONAL: w.max = -1; return w;
    default: return w;  // boundaries, assertions, \G, the empty element, mode modifiers
  }
}

// ---- Whether a group is surely set ----------------------------------------------------------

// Whether matching `ancestor` always passes through `node` once it gets past it: every record
// between them is a sequence, a group, or a repeat that runs at least once.
bool Mandatory(const ElementRecord* node, const ElementRecord* ancestor) {
  for (const ElementRecord* r = node->parent; r && r != ancestor; r = r->parent) {
    switch (r->type) {
      case ELEMENT_LIST:
      case ELEMENT_CAPTURE_GROUP:
      case ELEMENT_NONCAPTURE_GROUP:
      case ELEMENT_INDEPENDENT:
      case ELEMENT_FIXED:
        break;
      case ELEMENT_GREEDY:
      case ELEMENT_POSSESSIVE:
      case ELEMENT_RELUCTANT:
        if (BoundsOf(r).min < 1) return false;
        break;
      case ELEMENT_ASSERTION:
        if (!static_cast<const CAssertionElement<U16>*>(r->element)->m_bPositive) return false;
        break;
      default: return false;  // an alternative, a conditional
    }
  }
  return true;
}

const ElementRecord* CommonAncestor(const ElementRecord* a, const ElementRecord* b) {
  std::set<const ElementRecord*> above;
  for (const ElementRecord* r = b; r; r = r->parent) above.insert(r);
  for (const ElementRecord* r = a; r; r = r->parent)
    if (above.count(r)) return r;
  return nullptr;
}

bool IsRepeatOfMany(const ElementRecord* r) {
  switch (r->type) {
    case ELEMENT_FIXED:
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT: {
      const RepeatBounds b = BoundsOf(r);
      return b.max < 0 || b.max > 1;
    }
    default: return false;
  }
}

// ---- The writer -----------------------------------------------------------------------------

struct Piece {
  QString text;
  bool atom = false;        // a quantifier may follow it as it is
  bool endsWithRef = false;  // a numbered back-reference: a digit may not follow
  bool single = false;       // one character: a literal or a class
  bool startsWithDigit() const { return !text.isEmpty() && text.at(0).isDigit(); }
};

class CConverter {
 public:
  CConverter(const Dialect& d, const CElementTree& tree) : m_d(d), m_tree(tree) {}

  // Every class is written from the set of units it holds, a pass over the 16-bit codes each;
  // a pattern of more classes than this is refused rather than keep the caller waiting.
  static const int kMaxClasses = 500;

  FlavourConversion Run(const QString& flavour) {
    FlavourConversion out;
    out.flavour = flavour;
    int classes = 0;
    for (const ElementRecord* r : m_tree.OffsetList())
      if (r->type == ELEMENT_CHARSET || r->type == ELEMENT_POSIX) ++classes;
    if (classes > kMaxClasses) {
      Refuse(Source(m_tree.Root()), IDS_CONVERT_TOO_LARGE);
      out.refused = m_refused;
      return out;
    }
    NumberGroups();
    const ElementRecord* root = m_tree.Root();
    if (root && root->type == ELEMENT_LIST && static_cast<const CListElement<U16>*>(root->element)->m_bRightLeft)
      Refuse(QStringLiteral("RightLeft"), IDS_CONVERT_RIGHT_TO_LEFT);
    const Piece p = root ? Write(root) : Piece();
    out.refused = m_refused;
    if (!out.refused.isEmpty()) return out;
    // An empty pattern is an error in some engines (ICU); the empty group means the same.
    out.pattern = QString::fromLatin1(m_d.prefix) + (p.text.isEmpty() ? QStringLiteral("(?:)") : p.text);
    out.groupMap = m_map;
    return out;
  }

 private:
  void Refuse(const QString& construct, int why, const QString& extra = QString()) {
    const QString reason = CStringTable::FormatStrings(
        CStringTable::Str(IDS_FLAVOUR_NOTE_LINE),
        {construct, CStringTable::FormatStrings(CStringTable::Str(why), {FlavourNoteDisplayName(QString::fromLatin1(m_d.flavour)), extra})});
    if (!m_refused.contains(reason)) m_refused << reason;
  }

  QString Source(const ElementRecord* r) const {
    const std::vector<U16>& t = m_tree.Text();
    const int from = std::max(0, std::min(r->offset, static_cast<int>(t.size())));
    const int to = std::max(from, std::min(r->offset + r->length, static_cast<int>(t.size())));
    QString s = QString::fromUtf16(reinterpret_cast<const char16_t*>(t.data()) + from, to - from);
    return s.size() > 24 ? s.left(20) + QStringLiteral("...") : s;
  }

  static QString NameOf(const ElementRecord* r) {
    QString name;
    for (U16 u : r->name)
      if (u) name += QChar(u);
    if (!name.isEmpty() || r->type != ELEMENT_CAPTURE_GROUP) return name;
    const auto* l = static_cast<const CListElement<U16>*>(r->element);
    for (int i = 0; i < l->m_elements.GetSize() && name.isEmpty(); i += 2) {
      const auto* b = static_cast<const CBracketElement<U16>*>(l->m_elements[i]);
      for (int k = 0; k < b->m_szName.GetSize(); ++k)
        if (b->m_szName[k]) name += QChar(b->m_szName[k]);
    }
    return name;
  }

  static const CBracketElement<U16>* OpenOf(const ElementRecord* r) {
    const auto* l = static_cast<const CListElement<U16>*>(r->element);
    return static_cast<const CBracketElement<U16>*>(l->m_elements[0]);
  }

  // The target's number of each of Korvane's groups, and the names used.
  void NumberGroups() {
    std::vector<const ElementRecord*>& groups = m_groups;
    Collect(m_tree.Root(), &groups);
    for (const ElementRecord* g : groups) m_byNumber.emplace(OpenOf(g)->m_nGroup, g);
    int most = 0;
    bool named = false, unnamed = false;
    std::set<QString> names;
    for (const ElementRecord* g : groups) {
      most = std::max(most, OpenOf(g)->m_nGroup);
      const QString name = NameOf(g);
      (name.isEmpty() ? unnamed : named) = true;
      if (!name.isEmpty() && !names.insert(name).second && !m_d.korvaneNumbering)
        Refuse(QStringLiteral("(?<%1>...)").arg(name), IDS_CONVERT_DUPLICATE_NAME);
    }
    if (named && unnamed && m_d.namedOnlyCapture) Refuse(QStringLiteral("(...) (?<name>...)"), IDS_CONVERT_MIXED_GROUPS);
    m_anyNamed = named;
    m_map.assign(static_cast<size_t>(most) + 1, 0);
    int next = 0;
    for (const ElementRecord* g : groups) {
      const int k = OpenOf(g)->m_nGroup;
      if (k <= 0) continue;
      if (m_map[static_cast<size_t>(k)] != 0) {
        Refuse(QStringLiteral("(...)"), IDS_CONVERT_SHARED_NUMBER, QString::number(k));
        continue;
      }
      m_map[static_cast<size_t>(k)] = m_d.korvaneNumbering ? k : ++next;
    }
  }

  static void Collect(const ElementRecord* r, std::vector<const ElementRecord*>* out) {
    if (!r) return;
    if (r->type == ELEMENT_CAPTURE_GROUP) out->push_back(r);
    for (const ElementRecord* c : r->children) Collect(c, out);
  }

  // The records stop below a depth of 4096 (element_records.cpp): deeper than this the tree may
  // not hold the whole pattern, so nothing is written from it.
  static const int kMaxDepth = 3000;

  Piece Write(const ElementRecord* r) {
    struct Level {
      int& depth;
      explicit Level(int& d) : depth(d) { ++depth; }
      ~Level() { --depth; }
    } level(m_nDepth);
    if (m_nDepth > kMaxDepth) {
      Refuse(Source(m_tree.Root()), IDS_CONVERT_TOO_LARGE);
      return Piece();
    }
    switch (r->type) {
      case ELEMENT_LIST: {
        Piece out;
        for (const ElementRecord* c : r->children) Append(&out, Write(c));
        out.atom = r->children.size() == 1 && out.atom;
        return out;
      }
      case ELEMENT_ALTERNATIVE: {
        QStringList branches;
        for (const ElementRecord* c : r->children) branches << Write(c).text;
        Piece out;
        out.text = branches.join(QLatin1Char('|'));
        return out;
      }
      case ELEMENT_CAPTURE_GROUP: return CaptureGroup(r);
      case ELEMENT_NONCAPTURE_GROUP: {
        Piece inner = r->children.empty() ? Piece() : Write(r->children[0]);
        if (inner.atom) return inner;
        return Group(QStringLiteral("(?:"), inner);
      }
      case ELEMENT_MODE_MODIFIER: return Piece();  // its flags are in the elements it changed
      case ELEMENT_INDEPENDENT: {
        if (!m_d.atomic) Refuse(QStringLiteral("(?>...)"), IDS_CONVERT_NO_ATOMIC);
        if (m_d.capturesLeak && !r->children.empty() && HoldsCapture(r->children[0]))
          Refuse(QStringLiteral("(?>...)"), IDS_CONVERT_CAPTURES_LEAK);
        const Piece inner = r->children.empty() ? Piece() : Write(r->children[0]);
        if (inner.text.isEmpty()) return inner;  // nothing to hold on to (Boost refuses "(?>)")
        return Group(QStringLiteral("(?>"), inner);
      }
      case ELEMENT_ASSERTION: return Assertion(r);
      case ELEMENT_GREEDY:
      case ELEMENT_POSSESSIVE:
      case ELEMENT_RELUCTANT:
      case ELEMENT_FIXED: return Repeat(r);
      case ELEMENT_STRING: return String(r);
      case ELEMENT_CHARSET: {
        const auto* cs = static_cast<const CCharsetElement<U16>*>(r->element);
        return Class(IntervalsOf([cs](unsigned c) { return cs->TestCode(c); }));
      }
      case ELEMENT_POSIX: {
        const auto* p = static_cast<const CPosixElement<U16>*>(r->element);
        return Class(IntervalsOf([p](unsigned c) { return p->TestCode(c); }));
      }
      case ELEMENT_BOUNDARY: return Boundary(r);
      case ELEMENT_BACKREF: return Backref(r);
      case ELEMENT_LASTMATCH: {
        if (!m_d.lastMatch) Refuse(QStringLiteral("\\G"), IDS_CONVERT_NO_LAST_MATCH);
        Piece p;
        p.text = QStringLiteral("\\G");
        return p;
      }
      case ELEMENT_EMPTY: return Piece();
      case ELEMENT_DELEGATE:
      case ELEMENT_CONDITIONAL:
      default:
        Refuse(Source(r), IDS_CONVERT_NOT_YET);
        return Piece();
    }
  }

  static void Append(Piece* out, const Piece& next) {
    if (out->endsWithRef && next.startsWithDigit()) out->text += QStringLiteral("(?:)");
    out->text += next.text;
    out->atom = next.atom;
    if (!next.text.isEmpty()) out->endsWithRef = next.endsWithRef;
  }

  static Piece Group(const QString& open, const Piece& inner) {
    Piece p;
    p.text = open + inner.text + QLatin1Char(')');
    p.atom = true;
    return p;
  }

  Piece CaptureGroup(const ElementRecord* r) {
    const CBracketElement<U16>* open = OpenOf(r);
    const QString name = NameOf(r);
    if (open->m_nBalance != -1 || name.contains(QLatin1Char('-')))
      Refuse(QStringLiteral("(?<name-other>...)"), IDS_CONVERT_BALANCING);
    if (m_d.unsetRefIsEmpty) {
      // A group in a repeat that an iteration may pass by: JavaScript forgets its text there.
      for (const ElementRecord* a = r->parent; a; a = a->parent)
        if (IsRepeatOfMany(a) && !Mandatory(r, a)) {
          Refuse(Source(r), IDS_CONVERT_RESET_PER_ITERATION);
          break;
        }
    }
    QString head = QStringLiteral("(");
    if (!name.isEmpty() && m_d.namedGroup) {
      if (!ValidName(name)) Refuse(QStringLiteral("(?<%1>...)").arg(name), IDS_CONVERT_BAD_NAME);
      head = QString::fromLatin1(m_d.namedGroup) + name + QLatin1Char('>');
    }
    return Group(head, r->children.empty() ? Piece() : Write(r->children[0]));
  }

  bool ValidName(const QString& name) const {
    if (name.isEmpty() || name.size() > 32 || name.at(0).isDigit()) return false;
    for (QChar c : name) {
      const bool letter = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
      const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
      if (!letter && !digit && !(c == QLatin1Char('_') && m_d.nameRule == 0)) return false;
    }
    return true;
  }

  Piece Assertion(const ElementRecord* r) {
    const auto* a = static_cast<const CAssertionElement<U16>*>(r->element);
    const std::vector<U16>& t = m_tree.Text();
    const int end = std::min(r->offset + r->length, static_cast<int>(t.size()));
    int q = r->offset + 2;
    while (q < end && (t[q] == ' ' || t[q] == '\t' || t[q] == '\n' || t[q] == '\r')) ++q;
    const bool behind = r->offset + 1 < end && t[r->offset + 1] == '?' && q < end && t[q] == '<';
    const ElementRecord* inner = r->children.empty() ? nullptr : r->children[0];
    const QString construct = behind ? QStringLiteral("(?<=...)") : QStringLiteral("(?=...)");
    if (!m_d.lookahead) {
      Refuse(construct, IDS_CONVERT_NO_LOOKAROUND);
    } else if (behind) {
      CheckBehind(inner, construct);
    }
    const QString open = behind ? (a->m_bPositive ? QStringLiteral("(?<=") : QStringLiteral("(?<!"))
                                : (a->m_bPositive ? QStringLiteral("(?=") : QStringLiteral("(?!"));
    const Piece content = inner ? Write(inner) : Piece();
    if (behind && m_d.behindNoParens && HasParenthesis(content.text)) Refuse(construct, IDS_CONVERT_BEHIND_CONTENT);
    if (m_d.capturesLeak && inner && HoldsCapture(inner)) Refuse(construct, IDS_CONVERT_CAPTURES_LEAK);
    if (content.text.isEmpty()) {
      // An empty look-around always holds, or never does (Boost refuses "(?=)" and "(?!)").
      Piece p;
      if (!a->m_bPositive) p.text = QString::fromLatin1(m_d.neverHere);
      return p;
    }
    return Group(open, content);
  }

  // Whether a look-behind's content is only text, classes, repeats and alternations of them,
  // with no anchor and no empty branch (Onigmo takes nothing else there).
  bool PlainForBehind(const ElementRecord* r) const {
    switch (r->type) {
      case ELEMENT_CAPTURE_GROUP:
      case ELEMENT_ASSERTION:
      case ELEMENT_INDEPENDENT:
      case ELEMENT_BACKREF:
      case ELEMENT_DELEGATE:
      case ELEMENT_CONDITIONAL:
      case ELEMENT_POSSESSIVE:
        return false;
      case ELEMENT_BOUNDARY:
      case ELEMENT_EMPTY:
        return false;  // Onigmo refuses anchors and empty branches there
      case ELEMENT_LIST:
        if (r->children.empty()) return false;
        for (const ElementRecord* c : r->children)
          if (!PlainForBehind(c)) return false;
        return true;
      default:
        for (const ElementRecord* c : r->children)
          if (!PlainForBehind(c)) return false;
        return true;
    }
  }

  static bool HasParenthesis(const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
      if (text.at(i) == QLatin1Char('\\')) ++i;
      else if (text.at(i) == QLatin1Char('(')) return true;
    }
    return false;
  }

  static bool HoldsCapture(const ElementRecord* r) {
    if (r->type == ELEMENT_CAPTURE_GROUP) return true;
    for (const ElementRecord* c : r->children)
      if (HoldsCapture(c)) return true;
    return false;
  }

  void CheckBehind(const ElementRecord* inner, const QString& construct) {
    if (m_d.plainBehind && inner && !PlainForBehind(inner)) Refuse(construct, IDS_CONVERT_BEHIND_CONTENT);
    const Width w = inner ? WidthOf(inner) : Width();
    // A target that tries the look-behind's lengths shortest first may take another branch
    // than Korvane (which reads it right to left, branch by branch) and set other groups.
    if (m_d.behindShortestFirst && inner && HoldsCapture(inner) && !(w.max >= 0 && w.min == w.max))
      Refuse(construct, IDS_CONVERT_BEHIND_CAPTURES);
    switch (m_d.behind) {
      case Behind::None: Refuse(construct, IDS_CONVERT_NO_LOOKBEHIND); break;
      case Behind::Fixed:
        if (w.max < 0 || w.min != w.max) Refuse(construct, IDS_CONVERT_LOOKBEHIND_FIXED);
        break;
      case Behind::FixedBranches: {
        // The branches of an alternation at the top (through a group that holds only it).
        const ElementRecord* top = inner;
        while (top && top->children.size() == 1 &&
               (top->type == ELEMENT_LIST || top->type == ELEMENT_NONCAPTURE_GROUP))
          top = top->children[0];
        bool fixed = true;
        if (top && top->type == ELEMENT_ALTERNATIVE) {
          for (const ElementRecord* b : top->children) {
            const Width k = WidthOf(b);
            fixed = fixed && k.max >= 0 && k.min == k.max;
          }
        } else {
          fixed = w.max >= 0 && w.min == w.max;
        }
        if (!fixed) Refuse(construct, IDS_CONVERT_LOOKBEHIND_BRANCHES);
        break;
      }
      case Behind::Bounded:
        if (w.max < 0) Refuse(construct, IDS_CONVERT_LOOKBEHIND_BOUNDED);
        break;
      case Behind::Any: break;
    }
  }

  Piece Repeat(const ElementRecord* r) {
    const RepeatBounds b = BoundsOf(r);
    const long long min = b.min, max = b.max;
    const bool lazy = b.lazy, possessive = b.possessive;
    if (m_d.maxRepeat > 0 && (min > m_d.maxRepeat || max > m_d.maxRepeat))
      Refuse(Source(r), IDS_CONVERT_REPEAT_LIMIT, QString::number(m_d.maxRepeat));
    Piece inner = r->children.empty() ? Piece() : Write(r->children[0]);
    if (!inner.atom) inner = Group(QStringLiteral("(?:"), inner);
    if (possessive && m_d.capturesLeak && !r->children.empty() && HoldsCapture(r->children[0]))
      Refuse(Source(r), IDS_CONVERT_CAPTURES_LEAK);
    QString q;
    if (min == max) q = QStringLiteral("{%1}").arg(min);
    else if (min == 0 && max < 0) q = QStringLiteral("*");
    else if (min == 1 && max < 0) q = QStringLiteral("+");
    else if (min == 0 && max == 1) q = QStringLiteral("?");
    else if (max < 0) q = QStringLiteral("{%1,}").arg(min);
    else q = QStringLiteral("{%1,%2}").arg(min).arg(max);
    Piece out;
    if (lazy && min != max) q += QLatin1Char('?');
    const bool braces = !(min == 0 && max < 0) && !(min == 1 && max < 0) && !(min == 0 && max == 1);
    if (possessive && min != max) {
      if (m_d.possessive && (m_d.possessiveBraces || !braces) && (m_d.possessiveGroups || inner.single)) {
        q += QLatin1Char('+');
      } else if (m_d.atomic) {
        out.text = QStringLiteral("(?>") + inner.text + q + QLatin1Char(')');
        out.atom = true;
        return out;
      } else {
        Refuse(Source(r), IDS_CONVERT_NO_POSSESSIVE);
      }
    }
    out.text = inner.text + q;
    return out;
  }

  Piece String(const ElementRecord* r) {
    const auto* s = static_cast<const CStringElement<U16>*>(r->element);
    const U16* chars = s->GetChars();
    Piece out;
    QString run;  // letters waiting for an ignore-case group of their own
    auto flush = [&] {
      if (run.isEmpty()) return;
      out.text += QStringLiteral("(?i:") + run + QLatin1Char(')');
      run.clear();
    };
    for (int i = 0; i < s->m_nLength; ++i) {
      const unsigned c = chars[i];
      // An astral character: its two units stay together, written as they are.
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s->m_nLength && chars[i + 1] >= 0xDC00 && chars[i + 1] <= 0xDFFF) {
        flush();
        out.text += QChar(static_cast<char16_t>(c));
        out.text += QChar(static_cast<char16_t>(chars[i + 1]));
        ++i;
        continue;
      }
      const std::vector<unsigned>* fold = (s->m_bIgnoreCase && (c < kSurrogateLow || c > kSurrogateHigh)) ? &FoldClassOf(c) : nullptr;
      if (!fold || fold->size() == 1) {
        flush();
        out.text += LiteralChar(c, m_d);
        continue;
      }
      const bool asciiPair = c < 0x80 && fold->size() == 2 && (*fold)[0] < 0x80 && (*fold)[1] < 0x80;
      const bool ks = c == 'k' || c == 'K' || c == 's' || c == 'S';
      if (asciiPair && m_d.scopedFlags && (!ks || m_d.asciiFoldKS)) {
        run += QChar(static_cast<char16_t>(c));
        continue;
      }
      flush();
      Intervals set;
      for (unsigned f : *fold) set.emplace_back(f, f);
      out.text += QLatin1Char('[') + ClassBody(set, m_d) + QLatin1Char(']');
    }
    flush();
    out.atom = s->m_nLength == 1;
    out.single = out.atom && !out.text.startsWith(QStringLiteral("(?"));
    return out;
  }

  Piece Class(const Intervals& set) {
    const KorvaneSets& k = Sets();
    Piece out;
    out.atom = true;
    out.single = true;
    const unsigned n = CountOf(set);
    if (n == kBmpCount) {
      out.text = QStringLiteral("[\\s\\S]");
    } else if (n == 0) {
      out.text = QString::fromLatin1(m_d.never);
      out.atom = out.single = out.text.startsWith(QLatin1Char('['));
    } else if (set == k.digit) {
      out.text = m_d.asciiDigit ? QStringLiteral("\\d") : QStringLiteral("[0-9]");
    } else if (set == k.notDigit) {
      out.text = m_d.asciiDigit ? QStringLiteral("\\D") : QStringLiteral("[^0-9]");
    } else if (set == k.word) {
      out.text = m_d.asciiWord ? QStringLiteral("\\w") : QStringLiteral("[0-9A-Z_a-z]");
    } else if (set == k.notWord) {
      out.text = m_d.asciiWord ? QStringLiteral("\\W") : QStringLiteral("[^0-9A-Z_a-z]");
    } else if (m_d.space && set == k.space && CharsOf(m_d.space) == k.space) {
      out.text = QStringLiteral("\\s");
    } else if (m_d.space && set == k.notSpace && CharsOf(m_d.space) == k.space) {
      out.text = QStringLiteral("\\S");
    } else if (set == k.notLF) {
      out.text = m_d.dotIsNotLF ? QStringLiteral(".") : QStringLiteral("[^\\n]");
    } else if (n > kBmpCount / 2) {
      out.text = QStringLiteral("[^") + ClassBody(Complement(set), m_d) + QLatin1Char(']');
    } else {
      out.text = QLatin1Char('[') + ClassBody(set, m_d) + QLatin1Char(']');
    }
    return out;
  }

  QString WordClass() const { return m_d.asciiWord ? QStringLiteral("\\w") : QStringLiteral("[0-9A-Z_a-z]"); }

  Piece Boundary(const ElementRecord* r) {
    const auto* b = static_cast<const CBoundaryElement<U16>*>(r->element);
    Piece out;
    const QString w = WordClass();
    auto needBehind = [&](const QString& construct) {
      if (!m_d.lookahead) Refuse(construct, IDS_CONVERT_NO_LOOKAROUND);
      else if (m_d.behind == Behind::None) Refuse(construct, IDS_CONVERT_NO_LOOKBEHIND);
    };
    switch (b->m_nType) {
      case BOUNDARY_TEXT_START: out.text = QString::fromLatin1(m_d.textStart); break;
      case BOUNDARY_TEXT_END: out.text = QString::fromLatin1(m_d.textEnd); break;
      case BOUNDARY_TEXT_END_LF:
        if (!m_d.lookahead) Refuse(QStringLiteral("\\Z"), IDS_CONVERT_NO_LOOKAROUND);
        out.text = QStringLiteral("(?=(?:\\r?\\n)?") + QString::fromLatin1(m_d.textEnd) + QLatin1Char(')');
        break;
      // Korvane's lines end at \n, at \r, and at \r\n taken as one (never between its \r and \n).
      case BOUNDARY_LINE_START:
        needBehind(QStringLiteral("^ (m)"));
        out.text = QStringLiteral("(?<![^\\r\\n])(?!(?<=\\r)\\n)");
        break;
      case BOUNDARY_LINE_END:
        needBehind(QStringLiteral("$ (m)"));
        out.text = QStringLiteral("(?![^\\r\\n])(?!(?<=\\r)\\n)");
        break;
      case BOUNDARY_WORD_START:
        needBehind(Source(r));
        out.text = QStringLiteral("(?<!%1)(?=%1)").arg(w);
        break;
      case BOUNDARY_WORD_END:
        needBehind(Source(r));
        out.text = QStringLiteral("(?<=%1)(?!%1)").arg(w);
        break;
      case BOUNDARY_WORD:
        if (m_d.asciiBoundary) {
          out.text = b->m_bYes ? QStringLiteral("\\b") : QStringLiteral("\\B");
        } else {
          needBehind(b->m_bYes ? QStringLiteral("\\b") : QStringLiteral("\\B"));
          out.text = b->m_bYes ? QStringLiteral("(?:(?<=%1)(?!%1)|(?<!%1)(?=%1))").arg(w)
                               : QStringLiteral("(?:(?<=%1)(?=%1)|(?<!%1)(?!%1))").arg(w);
        }
        return out;
      default:
        Refuse(Source(r), IDS_CONVERT_NOT_YET);
        break;
    }
    if (!b->m_bYes && b->m_nType != BOUNDARY_WORD) {
      if (!m_d.lookahead) Refuse(Source(r), IDS_CONVERT_NO_LOOKAROUND);
      out.text = QStringLiteral("(?!") + out.text + QLatin1Char(')');
    }
    return out;
  }

  Piece Backref(const ElementRecord* r) {
    const auto* b = static_cast<const CBackrefElement<U16>*>(r->element);
    Piece out;
    if (!m_d.backrefs) {
      Refuse(Source(r), IDS_CONVERT_NO_BACKREF);
      return out;
    }
    const int k = b->m_nGroup;
    if (k == 0) {
      Refuse(Source(r), IDS_CONVERT_WHOLE_MATCH_REF);
      return out;
    }
    if (k < 0 || k >= static_cast<int>(m_map.size()) || m_map[static_cast<size_t>(k)] == 0) {
      // A reference to no group never matches in Korvane.
      out.text = QString::fromLatin1(m_d.never);
      return out;
    }
    if (m_d.unsetRefIsEmpty && !SurelySet(k, r)) Refuse(Source(r), IDS_CONVERT_UNSET_REF);
    const QString name = GroupName(k);
    if (!name.isEmpty() && m_d.namedRef && (m_d.namedRefsOnly || b->m_szName.GetSize() > 0)) {
      out.text = QString::fromLatin1(m_d.namedRef) + name + QLatin1Char(m_d.namedRef[1] == '?' ? ')' : '>');
      out.atom = true;
    } else if (m_d.namedRefsOnly && m_anyNamed) {
      Refuse(Source(r), IDS_CONVERT_MIXED_GROUPS);
    } else {
      out.text = QStringLiteral("\\%1").arg(m_map[static_cast<size_t>(k)]);
      out.atom = true;
      out.endsWithRef = true;
    }
    if (b->m_bIgnoreCase) {
      if (!m_d.scopedFlags) Refuse(Source(r), IDS_CONVERT_NO_SCOPED_CASE);
      out.text = QStringLiteral("(?i:") + out.text + QLatin1Char(')');
      out.endsWithRef = false;
    }
    return out;
  }

  // Whether group k has surely been set, and is not being set, where `ref` reads it.
  bool SurelySet(int k, const ElementRecord* ref) const {
    const auto range = m_byNumber.equal_range(k);
    for (auto it = range.first; it != range.second; ++it) {
      const ElementRecord* g = it->second;
      if (g->offset + g->length > ref->offset) continue;
      const ElementRecord* common = CommonAncestor(g, ref);
      // In two branches of one alternation the group is never set where the reference is.
      if (common && common->type != ELEMENT_ALTERNATIVE && common->type != ELEMENT_CONDITIONAL && Mandatory(g, common))
        return true;
    }
    return false;
  }

  QString GroupName(int k) const {
    const auto it = m_byNumber.find(k);
    return it != m_byNumber.end() && m_d.namedGroup ? NameOf(it->second) : QString();
  }

  const Dialect& m_d;
  const CElementTree& m_tree;
  QStringList m_refused;
  std::vector<int> m_map;
  std::vector<const ElementRecord*> m_groups;             // the capture groups, in pattern order
  std::multimap<int, const ElementRecord*> m_byNumber;  // the same by Korvane's number
  bool m_anyNamed = false;
  int m_nDepth = 0;  // of Write's recursion
};

}  // namespace

const QStringList& ConvertibleFlavours() {
  static const QStringList names = [] {
    QStringList n;
    for (const Dialect& d : Dialects()) n << QString::fromLatin1(d.flavour);
    return n;
  }();
  return names;
}

bool IsConvertibleFlavour(const QString& flavour) { return FindDialect(flavour) != nullptr; }

bool FindAllLikeKorvane(const QString& flavour) {
  const Dialect* d = FindDialect(flavour);
  return d && d->findAllLikeKorvane;
}

FlavourConversion ConvertToFlavour(const std::u16string& pattern, int flags, const QString& flavour) {
  const Dialect* d = FindDialect(flavour);
  if (!d) {
    FlavourConversion out;
    out.flavour = flavour;
    out.refused << CStringTable::FormatStrings(CStringTable::Str(IDS_CONVERT_NOT_CONVERTIBLE), {FlavourNoteDisplayName(flavour)});
    return out;
  }
  HostRegexp re;
  const U16* units = reinterpret_cast<const U16*>(pattern.data());
  const int length = static_cast<int>(pattern.size());
  re.Compile(length ? units : nullptr, length, flags);
  CElementTree tree;
  tree.Build(re, units, length);
  return CConverter(*d, tree).Run(flavour);
}

std::vector<int> ToKorvaneGroups(const std::vector<int>& targetMatch, const std::vector<int>& groupMap) {
  std::vector<int> out;
  if (targetMatch.size() < 2) return out;
  out.push_back(targetMatch[0]);
  out.push_back(targetMatch[1]);
  for (size_t k = 1; k < groupMap.size(); ++k) {
    const size_t at = 2 * static_cast<size_t>(groupMap[k]);
    if (groupMap[k] > 0 && at + 1 < targetMatch.size()) {
      out.push_back(targetMatch[at]);
      out.push_back(targetMatch[at + 1]);
    } else {
      out.push_back(-1);
      out.push_back(-1);
    }
  }
  return out;
}
