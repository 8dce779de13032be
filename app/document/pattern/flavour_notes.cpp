// The flavour knowledge table and its detector; see flavour_notes.h.
#include "app/document/pattern/flavour_notes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "app/host_engine.h"

namespace {

// Shorthands for the flavours that fail or read literally in the same places.
#define KV_CPP_POSIX "cpp-basic cpp-extended cpp-awk cpp-grep cpp-egrep"
#define KV_NO_GROUPS "posix-ere cpp-ecmascript cpp-extended cpp-awk cpp-egrep"  // (?< (?> (?i) (?P: errors
#define KV_BRE_LIKE "posix-bre cpp-basic cpp-grep"                              // ( and | are literal

// The rows. A line's claim letters are one per probe of its row, in the row's order:
// '=' same as Korvane, 'E' error, 'N' no match, 'M' a match, 'D' other matches than Korvane's,
// 'T' a timeout. Every line is proven against the probe table by flavour_notes_test.cpp.
std::vector<FlavourNoteRow> BuildRows() {
  return {
      // Anchors.
      {"dollar", "$", "dollar-before-final-newline dollar-multiline-before-crlf line-anchors-crlf",
       {{"pcre2 php python python-regex dotnet ruby perl oniguruma", "MND",
         "also matches before a final newline; with m, \\r\\n is no line end"},
        {"java icu", "M==", "also matches before a final newline"},
        {"js cpp-ecmascript", "==D", "with m, \\r alone ends a line (an empty line between \\r and \\n)"},
        {"posix-ere posix-bre re2 go", "=ND", "with m, only \\n ends a line (not \\r\\n)"},
        {KV_CPP_POSIX, "=EE", "with m: error (no multiline option)"}}},
      {"caret", "^", "caret-multiline-after-final-newline caret-without-multiline",
       {{"pcre2 php java perl icu", "D=", "with m, no line start after a final newline"},
        {"ruby oniguruma", "DM", "always a line start (no m needed), but none after a final newline"},
        {KV_CPP_POSIX, "E=", "with m: error (no multiline option)"}}},
      {"backslash-Z", "\\Z", "backslash-Z-before-final-newline backslash-Z-letter",
       {{"python python-regex", "N=", "end of text only"},
        {"js posix-ere posix-bre cpp-ecmascript", "NM", "the letter Z"},
        {KV_CPP_POSIX " re2 go", "EE", "error"}}},
      {"backslash-z", "\\z", "backslash-z-before-final-newline",
       {{"python python-regex " KV_CPP_POSIX, "E", "error"}}},

      // Named groups and references to them.
      {"named-group-P", "(?P<name>...)", "named-group-P-syntax",
       {{"js java dotnet ruby posix-ere cpp-ecmascript boost icu oniguruma " KV_CPP_POSIX, "E", "error"},
        {"posix-bre", "N", "literal characters"}}},
      {"named-group-angle", "(?<name>...)", "named-group-angle-syntax",
       {{"python posix-ere cpp-ecmascript go " KV_CPP_POSIX " re2", "E", "error"},
        {"posix-bre", "N", "literal characters"}}},
      {"named-group-quote", "(?'name'...)", "named-group-quote-syntax",
       {{"js python python-regex java posix-ere cpp-ecmascript go icu " KV_CPP_POSIX " re2", "E", "error"},
        {"posix-bre", "N", "literal characters"}}},
      {"named-group-duplicate", "a group name used twice", "named-group-duplicate-names",
       {{"pcre2 php js python java re2 go icu " KV_NO_GROUPS, "E", "error"},
        {"ruby perl boost oniguruma", "D", "two groups of the same name"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"backref-k", "\\k<name>", "named-backreference-k",
       {{"python python-regex posix-ere cpp-ecmascript go " KV_CPP_POSIX " re2", "E", "error"},
        {"posix-bre", "N", "literal characters"}}},
      {"backref-P", "(?P=name)", "named-backreference-P",
       {{"pcre2 php python python-regex perl", "D", "a back-reference to the group"},
        {"js java dotnet ruby re2 boost go icu oniguruma " KV_NO_GROUPS, "E", "error"},
        {KV_BRE_LIKE, "N", "literal characters"}}},

      // Character class escapes: ASCII in Korvane.
      {"digit", "\\d", "digit-arabic-indic",
       {{"php python python-regex dotnet perl icu oniguruma", "M", "Unicode digits too (Arabic-Indic digits)"},
        {KV_CPP_POSIX, "E", "error"}}},
      {"word", "\\w", "word-accented-letter word-cyrillic",
       {{"php python python-regex dotnet perl posix-ere icu oniguruma", "DM", "Unicode letters too (\xC3\xA9, \xD0\xB6)"},
        {"posix-bre", "NM", "Unicode letters too; + is a literal character"},
        {KV_CPP_POSIX, "EE", "error"}}},
      {"space", "\\s", "space-no-break space-byte-order-mark",
       {{"php python python-regex dotnet perl icu oniguruma", "M=", "Unicode spaces too (no-break space)"},
        {"js", "MM", "Unicode spaces too (no-break space, byte order mark)"},
        {KV_CPP_POSIX, "EE", "error"}}},
      {"word-boundary", "\\b", "word-boundary-accented",
       {{"php python python-regex java dotnet ruby perl posix-ere posix-bre icu oniguruma", "M",
         "Unicode letters are word characters"},
        {"cpp-basic cpp-extended cpp-grep cpp-egrep", "E", "error"}}},

      // Back-references.
      {"backref-unset", "\\1 (a group that may not take part)", "backreference-to-unset-group",
       {{"js", "M", "a group that did not take part matches empty"},
        {"posix-bre re2 cpp-basic cpp-extended cpp-grep cpp-egrep go", "E", "error"}}},
      {"backref-forward", "\\1 before its group", "forward-reference",
       {{"js", "M", "matches empty (the group is not set yet)"},
        {"python posix-ere posix-bre cpp-ecmascript cpp-basic cpp-extended cpp-grep cpp-egrep re2 boost go", "E", "error"}}},
      {"backref-beyond-groups", "\\NN (more than the groups)", "octal-101 backslash-10-with-one-group",
       {{"pcre2 php js dotnet ruby perl cpp-awk re2 go", "MM", "an octal escape (\\101 is A, \\10 is a backspace)"},
        {"python python-regex", "ME", "an octal escape with three digits; \\10 is an error"},
        {"posix-ere boost icu", "E=", "error"},
        {"posix-bre cpp-ecmascript cpp-basic cpp-extended cpp-grep cpp-egrep oniguruma", "EE", "error"}}},
      {"octal-zero", "\\0NN", "octal-leading-zero",
       {{"pcre2 php js python python-regex java dotnet ruby perl cpp-awk re2 boost go icu", "M",
         "an octal escape (\\012 is a newline)"},
        {"cpp-basic cpp-extended cpp-grep cpp-egrep oniguruma", "E", "error"}}},

      // Groups in repeats.
      {"capture-in-repeat", "a group inside a repeated group", "captures-reset-per-iteration",
       {{"js", "D", "reset in each iteration: unset when the last iteration did not take it"},
        {"posix-ere cpp-extended cpp-awk cpp-egrep", "E", "error"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"empty-iteration", "a repeated group with an empty alternative", "empty-alternative-in-star",
       {{"pcre2 php python python-regex java dotnet ruby perl cpp-ecmascript cpp-extended cpp-awk cpp-egrep boost icu oniguruma", "D",
         "the last, empty iteration sets the group (to empty)"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"alternation", "|", "alternation-first-or-longest posix-submatch-rules",
       {{"posix-ere cpp-extended cpp-awk cpp-egrep", "D=", "leftmost-longest: the longest alternative wins"},
        {KV_BRE_LIKE, "NN", "| is a literal character"}}},

      // Look-behind, atomic groups, possessive repeats.
      {"lookbehind", "(?<=...) (?<!...)",
       "lookbehind-fixed lookbehind-branches-of-different-length lookbehind-bounded-repeat lookbehind-unbounded",
       {{"pcre2 php ruby", "==EE", "branches of fixed length only: a repeat is an error"},
        {"python boost", "=EEE", "fixed length only: branches of other lengths and repeats are errors"},
        {"perl icu", "===E", "bounded length only: an unbounded repeat is an error"},
        {"re2 posix-ere cpp-ecmascript cpp-extended cpp-awk cpp-egrep go", "EEEE", "error"},
        {KV_BRE_LIKE, "NNNN", "literal characters"}}},
      {"atomic-group", "(?>...)", "atomic-group",
       {{"js re2 go " KV_NO_GROUPS, "E", "error"}}},
      {"possessive", "*+ ++ ?+ {n,m}+", "possessive-plus possessive-star-then-literal",
       {{"js dotnet re2 go", "EE", "error"},
        {"posix-ere cpp-ecmascript cpp-extended cpp-awk cpp-egrep", "M=", "not possessive: a second repeat"},
        {KV_BRE_LIKE, "=N", "literal characters"}}},

      // Inline flags.
      {"inline-flags-start", "(?i) at the start", "inline-flag-at-start",
       {{"js " KV_NO_GROUPS, "E", "error"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"inline-flags-mid", "(?i) after the start", "inline-flag-mid-pattern",
       {{"python", "E", "error: global flags only at the start"},
        {"js " KV_NO_GROUPS, "E", "error"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"inline-flags-scoped", "(?i:...)", "inline-flag-scoped",
       {{"js " KV_NO_GROUPS, "E", "error"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"inline-m", "(?m)", "inline-m-and-dot",
       {{"ruby oniguruma", "M", "m lets . match a newline (^ and $ always work on lines)"},
        {"js " KV_NO_GROUPS, "E", "error"}}},

      // Case folding under ignore-case.
      {"fold-k", "k under ignore-case", "ignore-case-kelvin-sign",
       {{"pcre2 php python python-regex ruby perl re2 go icu oniguruma", "M", "also matches the Kelvin sign \xE2\x84\xAA (U+212A)"}}},
      {"fold-s", "s under ignore-case", "ignore-case-long-s ignore-case-sharp-s",
       {{"pcre2 php python python-regex posix-ere posix-bre re2 go", "M=", "also matches the long s \xC5\xBF (U+017F)"},
        {"ruby perl icu oniguruma", "MM", "also matches the long s \xC5\xBF, and ss matches \xC3\x9F"}}},

      // Braces that are no repeat in Korvane's reading.
      {"brace-no-minimum", "{,n}", "brace-without-minimum",
       {{"pcre2 php js dotnet posix-bre cpp-basic cpp-grep re2 boost go", "D", "literal characters"},
        {"python python-regex ruby perl posix-ere oniguruma", "D", "0 to n times"},
        {"java cpp-ecmascript cpp-extended cpp-awk cpp-egrep icu", "E", "error"}}},
      {"brace-literal", "{ that is no repeat", "brace-not-a-repeat",
       {{"pcre2 php js python python-regex dotnet ruby perl posix-bre cpp-basic cpp-grep re2 boost go oniguruma", "D",
         "literal characters"},
        {"java posix-ere cpp-ecmascript cpp-extended cpp-awk cpp-egrep icu", "E", "error"}}},

      // Escapes.
      {"escape-x-braces", "\\x{...}", "escape-x-braces",
       {{"js posix-ere posix-bre", "N", "the letter x, then {...}"},
        {"python python-regex dotnet ruby cpp-ecmascript " KV_CPP_POSIX, "E", "error"}}},
      {"escape-u-four", "\\uHHHH", "escape-u-four-digits",
       {{"pcre2 php re2 go " KV_CPP_POSIX, "E", "error"},
        {"perl posix-ere posix-bre", "D", "the letter u and the digits"},
        {"boost", "N", "an uppercase letter, then the digits"}}},
      {"escape-u-braces", "\\u{...}", "escape-u-braces",
       {{"pcre2 php python python-regex java dotnet cpp-ecmascript re2 go icu oniguruma " KV_CPP_POSIX, "E", "error"},
        {"js perl posix-ere", "D", "the letter u repeated"},
        {"posix-bre", "D", "the literal text u{...}"},
        {"boost", "N", "an uppercase letter, repeated"}}},
      {"escape-e", "\\e", "escape-e",
       {{"js posix-ere posix-bre cpp-ecmascript", "D", "the letter e"},
        {"python python-regex re2 go " KV_CPP_POSIX, "E", "error"}}},
      {"escape-h", "\\h", "escape-h",
       {{"pcre2 php python-regex java perl boost icu", "M", "a horizontal space"},
        {"ruby oniguruma", "M", "a hexadecimal digit"},
        {"python dotnet re2 go " KV_CPP_POSIX, "E", "error"}}},
      {"escape-R", "\\R", "escape-R",
       {{"pcre2 php java ruby perl boost icu oniguruma", "M", "any line break, \\r\\n as one"},
        {"python python-regex dotnet re2 go " KV_CPP_POSIX, "E", "error"}}},
      {"escape-Q", "\\Q...\\E", "escape-Q-E",
       {{"js ruby perl posix-ere posix-bre cpp-ecmascript oniguruma", "N", "no quoting: the letters Q and E"},
        {"python python-regex dotnet " KV_CPP_POSIX, "E", "error"}}},
      {"escape-K", "\\K", "escape-K",
       {{"pcre2 php python-regex ruby perl boost oniguruma", "M", "drops what matched so far from the match"},
        {"python java dotnet re2 go " KV_CPP_POSIX, "E", "error"}}},
      {"escape-G", "\\G", "escape-G",
       {{"pcre2 php python-regex java dotnet ruby perl boost icu oniguruma", "D", "where the previous match ended: matches must touch"},
        {"js posix-ere posix-bre cpp-ecmascript", "N", "the letter G"},
        {"python re2 go " KV_CPP_POSIX, "E", "error"}}},

      // Classes.
      {"posix-class", "[:name:] in a class", "posix-class-alpha",
       {{"js python", "D", "no POSIX classes: [[:alpha:] is a class of its characters, ] a literal"},
        {"java", "D", "no POSIX classes: a class of the characters [ : a l p h"},
        {"dotnet", "N", "no POSIX classes: [[:alpha:] is a class of its characters, ] a literal"},
        {KV_BRE_LIKE, "N", "+ is a literal character"}}},
      {"posix-class-outside", "[:name:] outside a class", "posix-class-outside-brackets",
       {{"pcre2 php", "E", "error"},
        {"js python python-regex java dotnet ruby perl posix-ere posix-bre cpp-ecmascript boost go oniguruma " KV_CPP_POSIX " re2", "D",
         "a class of the characters : a l p h"}}},
      {"class-intersection", "&& in a class", "class-intersection",
       {{"java ruby icu oniguruma", "M", "class intersection"}}},
      {"class-astral", "an astral character in a class", "astral-class-range",
       {{"pcre2 php python python-regex java ruby perl cpp-ecmascript re2 boost go icu oniguruma " KV_CPP_POSIX, "D",
         "one character, not two surrogates"},
        {"js dotnet posix-ere posix-bre", "E", "error"}}},
      {"class-empty", "[]", "empty-class-then-bracket",
       {{"pcre2 php python python-regex java dotnet ruby perl posix-ere posix-bre re2 boost go icu oniguruma " KV_CPP_POSIX, "M",
         "] first in a class is a literal ]"}}},
      {"class-negated-empty", "[^]", "negated-empty-class",
       {{"pcre2 php python python-regex java dotnet ruby perl posix-ere posix-bre re2 boost go icu oniguruma " KV_CPP_POSIX, "E",
         "error: ] first in a class is a literal ], the class is not closed"}}},
      {"dot", ".", "dot-carriage-return dot-line-separator dot-next-line dot-astral",
       {{"pcre2 php python python-regex ruby perl posix-ere posix-bre re2 go oniguruma " KV_CPP_POSIX, "===M",
         "an astral character is one character"},
        {"js", "NN==", "not \\r, U+2028 or U+2029"},
        {"java boost icu", "NNNM", "not \\r, U+2028 or U+0085; an astral character is one character"},
        {"cpp-ecmascript", "NN=M", "not \\r or U+2028; an astral character is one character"}}},

      // Recursion, conditionals, balancing groups.
      {"recursion", "(?R) (?1)", "recursion-R",
       {{"js python java dotnet ruby re2 go icu oniguruma " KV_NO_GROUPS, "E", "error"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"backslash-g-call", "\\g<name>", "recursion-g0",
       {{"pcre2 php ruby oniguruma", "D", "a call of the group (recursion), not a back-reference"},
        {"python java dotnet perl posix-ere re2 boost go " KV_CPP_POSIX, "E", "error"},
        {"posix-bre", "N", "literal characters"}}},
      {"conditional", "(?(1)yes|no)", "conditional-on-group",
       {{"js java re2 go icu " KV_NO_GROUPS, "E", "error"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
      {"balancing-group", "(?<name-other>...)", "balancing-group",
       {{"pcre2 php js python python-regex java ruby perl re2 boost go icu oniguruma " KV_NO_GROUPS, "E", "error"},
        {"dotnet", "D", "(?<-name>...) makes no group of its own"},
        {KV_BRE_LIKE, "N", "literal characters"}}},
  };
}

struct DisplayName {
  const char* flavour;
  const char* display;
};
const DisplayName kDisplayNames[] = {
    {"pcre2", "PCRE2"},
    {"php", "PHP"},
    {"js", "JavaScript"},
    {"python", "Python"},
    {"python-regex", "Python regex"},
    {"java", "Java"},
    {"dotnet", ".NET"},
    {"ruby", "Ruby"},
    {"perl", "Perl"},
    {"posix-ere", "POSIX ERE"},
    {"posix-bre", "POSIX BRE"},
    {"cpp-ecmascript", "C++ std::regex ECMAScript"},
    {"cpp-basic", "C++ std::regex basic"},
    {"cpp-extended", "C++ std::regex extended"},
    {"cpp-awk", "C++ std::regex awk"},
    {"cpp-grep", "C++ std::regex grep"},
    {"cpp-egrep", "C++ std::regex egrep"},
    {"re2", "RE2"},
    {"icu", "ICU"},
    {"boost", "Boost.Regex"},
    {"oniguruma", "Oniguruma"},
    {"go", "Go"},
};

}  // namespace

bool FlavourClaimOfLetter(char letter, FlavourClaim* claim) {
  switch (letter) {
    case '=': *claim = FlavourClaim::Same; return true;
    case 'E': *claim = FlavourClaim::Error; return true;
    case 'N': *claim = FlavourClaim::NoMatch; return true;
    case 'M': *claim = FlavourClaim::Matches; return true;
    case 'D': *claim = FlavourClaim::Differs; return true;
    case 'T': *claim = FlavourClaim::Timeout; return true;
    default: return false;
  }
}

const std::vector<FlavourNoteRow>& FlavourNoteRows() {
  static const std::vector<FlavourNoteRow> rows = BuildRows();
  return rows;
}

int FindFlavourNoteRow(const char* id) {
  const std::vector<FlavourNoteRow>& rows = FlavourNoteRows();
  for (size_t i = 0; i < rows.size(); ++i)
    if (std::strcmp(rows[i].id, id) == 0) return static_cast<int>(i);
  return -1;
}

const std::vector<const char*>& FlavourNoteFlavours() {
  static const std::vector<const char*> names = [] {
    std::vector<const char*> v;
    for (const DisplayName& d : kDisplayNames) v.push_back(d.flavour);
    return v;
  }();
  return names;
}

QString FlavourNoteDisplayName(const QString& flavour) {
  for (const DisplayName& d : kDisplayNames)
    if (flavour == QLatin1String(d.flavour)) return QString::fromUtf8(d.display);
  return flavour;
}

QStringList FlavourNoteWords(const char* list) {
  return QString::fromUtf8(list).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString FlavourNoteLineFor(int row, const QString& flavour) {
  const std::vector<FlavourNoteRow>& rows = FlavourNoteRows();
  if (row < 0 || row >= static_cast<int>(rows.size())) return QString();
  for (const FlavourNoteLine& line : rows[row].lines)
    if (FlavourNoteWords(line.flavours).contains(flavour))
      return FlavourNoteDisplayName(flavour) + QStringLiteral(": ") + QString::fromUtf8(line.text);
  return QString();
}

QString NoteText(int row, const QStringList& flavours, const QString& separator) {
  QStringList wanted = flavours;
  if (wanted.isEmpty())
    for (const char* f : FlavourNoteFlavours()) wanted << QString::fromLatin1(f);
  QStringList lines;
  for (const QString& f : wanted) {
    QString line = FlavourNoteLineFor(row, f);
    if (!line.isEmpty()) lines << line;
  }
  return lines.join(separator);
}

// ---------------------------------------------------------------------------------------------
// The detector. It follows the lexical rules of engine/tarno/tokenizer.h and the group forms of
// engine/tarno/parser.h, so that what it marks is what Korvane reads: a construct quoted by
// \Q...\E, escaped, commented out or inside a class (where $ . | ( mean themselves) is not one.

namespace {

bool IsPatternSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsAsciiDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char16_t c) { return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsAsciiLetter(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class CNoteScanner {
 public:
  CNoteScanner(const std::u16string& pattern, int flags)
      : m_p(pattern), m_n(static_cast<int>(pattern.size())), m_extended((flags & EXTENDED) != 0),
        m_ignoreCase((flags & IGNORECASE) != 0) {}

  std::vector<FlavourNote> Run() {
    while (m_pos < m_n) Step();
    if (m_quote && m_quoteNote >= 0) Note("escape-Q", m_quoteNote, m_n);  // quoted to the end
    while (!m_groups.empty()) CloseGroup(m_n);
    ResolveBackrefs();
    std::sort(m_notes.begin(), m_notes.end(), [](const FlavourNote& a, const FlavourNote& b) {
      return a.start != b.start ? a.start < b.start : a.row < b.row;
    });
    return std::move(m_notes);
  }

 private:
  struct Group {
    int start;
    bool capture;
    bool hasBar = false;
    bool emptyAlternative = false;
    bool atAlternativeStart = true;
    bool savedIgnoreCase;
    std::vector<int> rows;   // noted over the whole group at its close
    size_t firstInner = 0;   // the capture groups closed inside it start here in m_captures
  };
  struct Backref {
    int start, length, number;
  };
  // The group that closed just before the current token, for a quantifier that follows it.
  struct Closed {
    int start;
    bool emptyAlternative;
    size_t firstInner, endInner;  // its capture groups in m_captures
  };

  char16_t At(int i) const { return i >= 0 && i < m_n ? m_p[i] : 0; }

  void Note(const char* id, int start, int end) {
    int row = FindFlavourNoteRow(id);
    if (row >= 0 && end > start) m_notes.push_back(FlavourNote{start, end - start, row});
  }

  // A token that is neither white space nor a comment: an alternative is no longer empty, and a
  // quantifier no longer follows the last group's ')'.
  void Item() {
    if (!m_groups.empty()) m_groups.back().atAlternativeStart = false;
    m_closed.reset();
  }

  void Literal(int at, char16_t c) {
    if (m_ignoreCase) {
      if (c == 'k' || c == 'K') Note("fold-k", at, at + 1);
      if (c == 's' || c == 'S') Note("fold-s", at, at + 1);
    }
  }

  void Step() {
    char16_t c = m_p[m_pos];
    if (m_quote) {
      if (c == '\\' && At(m_pos + 1) == 'E') {
        m_quote = false;
        if (m_quoteNote >= 0) Note("escape-Q", m_quoteNote, m_pos + 2);
        m_quoteNote = -1;
        m_pos += 2;
        return;
      }
      Item();
      Literal(m_pos, c);
      ++m_pos;
      return;
    }
    if (m_extended) {
      if (IsPatternSpace(c)) {
        ++m_pos;
        return;
      }
      if (c == '#') {
        while (m_pos < m_n && At(m_pos) != '\n' && At(m_pos) != '\r') ++m_pos;
        return;
      }
    }
    if (c == '(' && At(m_pos + 1) == '?' && At(m_pos + 2) == '#') {  // a comment, at any depth
      int p = m_pos + 3;
      while (p < m_n && At(p) != ')') ++p;
      m_pos = p < m_n ? p + 1 : m_n;
      return;
    }
    if (c == '\\') {
      Escape();
      return;
    }
    if (m_classDepth > 0) {
      ClassCharacter(c);
      return;
    }
    switch (c) {
      case '[': OpenClass(); return;
      case '(': OpenGroup(); return;
      case ')': {
        int end = m_pos + 1;
        m_pos = end;
        CloseGroup(end);
        return;
      }
      case '*': case '+': case '?': case '{': Quantifier(); return;
      case '|': Bar(); return;
      case '$': Item(); Note("dollar", m_pos, m_pos + 1); ++m_pos; return;
      case '^': Item(); Note("caret", m_pos, m_pos + 1); ++m_pos; return;
      case '.': Item(); Note("dot", m_pos, m_pos + 1); ++m_pos; return;
      default:
        Item();
        Literal(m_pos, c);
        ++m_pos;
        return;
    }
  }

  void Escape() {
    const int at = m_pos;
    if (at + 1 >= m_n) {  // a lone backslash at the end is literal
      Item();
      ++m_pos;
      return;
    }
    char16_t d = At(at + 1);
    bool inClass = m_classDepth > 0;
    if (IsAsciiDigit(d)) {
      m_pos = at + 1;  // in a class the backslash stands alone and the digits are literal
      if (inClass) return;
      Item();
      int digits = 0, number = 0;
      while (digits < 3 && IsAsciiDigit(At(at + 1 + digits))) {
        number = number * 10 + (At(at + 1 + digits) - '0');
        ++digits;
      }
      m_pos = at + 1 + digits;
      if (d == '0')
        Note("octal-zero", at, m_pos);
      else
        m_backrefs.push_back(Backref{at, 1 + digits, number});
      return;
    }
    m_pos = at + 2;
    switch (d) {
      case 'Q':
      case 'L':
      case 'U':
        m_quote = true;
        m_quoteNote = d == 'Q' ? at : -1;
        return;
      case 'E':
        return;
      case 'G':
        if (inClass) return;  // dropped inside a class
        Item();
        Note("escape-G", at, m_pos);
        return;
      default:
        break;
    }
    Item();
    switch (d) {
      case 'd': case 'D': Note("digit", at, m_pos); return;
      case 'w': case 'W': Note("word", at, m_pos); return;
      case 's': case 'S': Note("space", at, m_pos); return;
      case 'e': Note("escape-e", at, m_pos); return;
      case 'h': Note("escape-h", at, m_pos); return;
      case 'x':
      case 'u': {
        if (At(m_pos) == '{') {
          int p = m_pos + 1;
          while (p < m_n && At(p) != '}') ++p;
          m_pos = p < m_n ? p + 1 : m_n;
          Note(d == 'x' ? "escape-x-braces" : "escape-u-braces", at, m_pos);
          return;
        }
        int most = d == 'x' ? 2 : 4, digits = 0;
        while (digits < most && IsHexDigit(At(m_pos))) {
          ++m_pos;
          ++digits;
        }
        if (d == 'u' && digits > 0) Note("escape-u-four", at, m_pos);
        return;
      }
      default:
        break;
    }
    if (inClass) return;  // the rest mean themselves in a class (\b is a backspace there)
    switch (d) {
      case 'Z': Note("backslash-Z", at, m_pos); return;
      case 'z': Note("backslash-z", at, m_pos); return;
      case 'b': case 'B': Note("word-boundary", at, m_pos); return;
      case 'R': Note("escape-R", at, m_pos); return;
      case 'K': Note("escape-K", at, m_pos); return;
      case 'k':
      case 'g': {
        char16_t open = At(m_pos);
        if (open != '<' && open != '\'') return;
        char16_t close = open == '<' ? '>' : '\'';
        int p = m_pos + 1;
        while (p < m_n && At(p) != close) ++p;
        m_pos = p < m_n ? p + 1 : m_n;
        if (d == 'k') {
          Note("backref-k", at, m_pos);
          Note("backref-unset", at, m_pos);
        } else {
          Note("backslash-g-call", at, m_pos);
        }
        return;
      }
      default:
        return;
    }
  }

  // At depth 0 a '[' opens a class; inside one, only "[:" opens a nested level, and ']' closes one.
  void OpenClass() {
    Item();
    const int at = m_pos;
    if (At(at + 1) == ']') Note("class-empty", at, at + 2);
    if (At(at + 1) == '^' && At(at + 2) == ']') Note("class-negated-empty", at, at + 3);
    if (At(at + 1) == ':') {
      int close = PosixClassEnd(at);
      if (close > 0) {  // Korvane reads it as a POSIX class of its own
        Note("posix-class-outside", at, close);
        m_pos = close;
        return;
      }
    }
    ++m_classDepth;
    ++m_pos;
    if (At(m_pos) == '^') ++m_pos;  // the negation, not a literal
  }

  // The end (after its ']') of a POSIX class "[:name:]" or "[:^name:]" that opens at `at`, else -1.
  int PosixClassEnd(int at) const {
    static const char* const kNames[] = {"alnum", "alpha", "ascii", "cntrl", "digit", "graph", "lower",
                                         "print", "punct", "space", "upper", "xdigit", "blank"};
    int q = at + 2;
    if (At(q) == '^') ++q;
    for (const char* name : kNames) {
      int k = 0, len = static_cast<int>(std::strlen(name));
      while (k < len && At(q + k) == static_cast<char16_t>(name[k])) ++k;
      if (k == len && At(q + len) == ':' && At(q + len + 1) == ']') return q + len + 2;
    }
    return -1;
  }

  void ClassCharacter(char16_t c) {
    Item();
    const int at = m_pos;
    if (c == '[' && At(at + 1) == ':') {
      int close = PosixClassEnd(at);
      if (close > 0) {
        Note("posix-class", at, close);
        m_pos = close;
        return;
      }
      ++m_classDepth;
      ++m_pos;
      return;
    }
    if (c == ']') {
      --m_classDepth;
      ++m_pos;
      return;
    }
    if (c == '&' && At(at + 1) == '&') {
      Note("class-intersection", at, at + 2);
      m_pos += 2;
      return;
    }
    if (c >= 0xD800 && c <= 0xDBFF && At(at + 1) >= 0xDC00 && At(at + 1) <= 0xDFFF) {
      Note("class-astral", at, at + 2);
      m_pos += 2;
      return;
    }
    Literal(at, c);
    ++m_pos;
  }

  void OpenGroup() {
    Item();
    const int at = m_pos;
    Group g;
    g.start = at;
    g.capture = false;
    g.savedIgnoreCase = m_ignoreCase;
    g.firstInner = m_captures.size();
    if (At(at + 1) != '?') {
      g.capture = true;
      m_captureStarts.push_back(at);
      m_pos = at + 1;
      m_groups.push_back(g);
      return;
    }
    int q = at + 2;
    while (IsPatternSpace(At(q))) ++q;  // white space after "(?" is skipped
    char16_t c = At(q);
    auto named = [&](int nameStart, char16_t terminator, const char* row) {
      int i = nameStart;
      while (i < m_n && At(i) != terminator) ++i;
      std::u16string name = m_p.substr(nameStart, i - nameStart);
      g.capture = true;
      if (name.find(u'-') != std::u16string::npos) {
        g.rows.push_back(FindFlavourNoteRow("balancing-group"));
        m_namedStarts.push_back(at);
      } else {
        g.rows.push_back(FindFlavourNoteRow(row));
        if (m_names.insert(name).second)
          m_namedStarts.push_back(at);  // equal names share one number
        else
          g.rows.push_back(FindFlavourNoteRow("named-group-duplicate"));
      }
      m_pos = i < m_n ? i + 1 : m_n;
      m_groups.push_back(g);
    };
    switch (c) {
      case ':':
      case '=':
      case '!':
        m_pos = q + 1;
        m_groups.push_back(g);
        return;
      case '<':
        if (At(q + 1) == '=' || At(q + 1) == '!') {
          g.rows.push_back(FindFlavourNoteRow("lookbehind"));
          m_pos = q + 2;
          m_groups.push_back(g);
          return;
        }
        named(q + 1, '>', "named-group-angle");
        return;
      case '\'':
        named(q + 1, '\'', "named-group-quote");
        return;
      case 'P':
        if (At(q + 1) == '<') {
          named(q + 2, '>', "named-group-P");
          return;
        }
        if (At(q + 1) == '=') {  // Korvane reads it as a modifier that changes nothing
          m_pos = SkipTo(q, ')');
          Note("backref-P", at, m_pos);
          return;
        }
        break;
      case '>':
        g.rows.push_back(FindFlavourNoteRow("atomic-group"));
        m_pos = q + 1;
        m_groups.push_back(g);
        return;
      case '(':
        g.rows.push_back(FindFlavourNoteRow("conditional"));
        m_groups.push_back(g);
        // A look-around condition is a group of its own; a number or a name runs to its ')'.
        m_pos = At(q + 1) == '?' ? q : SkipTo(q, ')');
        return;
      case 'R':
        m_pos = SkipTo(q, ')');
        Note("recursion", at, m_pos);
        return;
      default:
        if (IsAsciiDigit(c)) {
          m_pos = SkipTo(q, ')');
          Note("recursion", at, m_pos);
          return;
        }
        break;
    }
    Modifier(at, q, g);
  }

  // The position after the first `c` at or after `from`, or the pattern's end.
  int SkipTo(int from, char16_t c) const {
    int i = from;
    while (i < m_n && At(i) != c) ++i;
    return i < m_n ? i + 1 : m_n;
  }

  // (?imsg-imsg) and (?imsg-imsg:...): Korvane reads everything up to ')' or ':' as letters.
  void Modifier(int at, int q, Group& g) {
    bool letters = true, clear = false, ignoreCase = m_ignoreCase, rubyM = false;
    int i = q;
    for (; i < m_n && At(i) != ')' && At(i) != ':'; ++i) {
      char16_t c = At(i);
      if (c == '-') {
        clear = true;
      } else if (!IsAsciiLetter(c)) {
        letters = false;
      } else if (c == 'i' || c == 'I') {
        ignoreCase = !clear;
      } else if ((c == 'm' || c == 'M') && !clear) {
        rubyM = true;
      }
    }
    if (i < m_n && At(i) == ':') {
      m_ignoreCase = ignoreCase;
      if (letters) {
        g.rows.push_back(FindFlavourNoteRow("inline-flags-scoped"));
        if (rubyM) g.rows.push_back(FindFlavourNoteRow("inline-m"));
      }
      m_pos = i + 1;
      m_groups.push_back(g);
      return;
    }
    m_pos = i < m_n ? i + 1 : m_n;
    m_ignoreCase = ignoreCase;  // up to the end of the enclosing group
    if (!letters) return;
    Note(at == 0 ? "inline-flags-start" : "inline-flags-mid", at, m_pos);
    if (rubyM) Note("inline-m", at, m_pos);
  }

  void CloseGroup(int end) {
    if (m_groups.empty()) {  // a stray ')'
      Item();
      return;
    }
    Group g = std::move(m_groups.back());
    m_groups.pop_back();
    if (g.atAlternativeStart && g.hasBar) g.emptyAlternative = true;
    for (int row : g.rows)
      if (row >= 0) m_notes.push_back(FlavourNote{g.start, end - g.start, row});
    m_ignoreCase = g.savedIgnoreCase;
    Item();
    size_t endInner = m_captures.size();
    if (g.capture) m_captures.push_back(std::make_pair(g.start, end));
    m_closed.reset(new Closed{g.start, g.emptyAlternative, g.firstInner, endInner});
  }

  // Notes the capture groups m_captures[first, end) as repeated, each once however many repeated
  // groups enclose it. Ranges of m_captures covered by groups nest or are disjoint, and a group
  // closes after everything inside it, so the ranges already noted inside [first, end) are the
  // last ones on m_notedCaptures: each capture is visited once over the whole pattern.
  void NoteRepeatedCaptures(size_t first, size_t end) {
    size_t cursor = end;
    while (!m_notedCaptures.empty() && m_notedCaptures.back().first >= first) {
      std::pair<size_t, size_t> r = m_notedCaptures.back();
      m_notedCaptures.pop_back();
      for (size_t i = r.second; i < cursor; ++i) Note("capture-in-repeat", m_captures[i].first, m_captures[i].second);
      cursor = r.first;
    }
    for (size_t i = first; i < cursor; ++i) Note("capture-in-repeat", m_captures[i].first, m_captures[i].second);
    if (end > first) m_notedCaptures.push_back(std::make_pair(first, end));
  }

  void Bar() {
    if (!m_groups.empty()) {
      Group& g = m_groups.back();
      g.hasBar = true;
      if (g.atAlternativeStart) g.emptyAlternative = true;
    }
    Note("alternation", m_pos, m_pos + 1);
    ++m_pos;
    m_closed.reset();
    if (!m_groups.empty()) m_groups.back().atAlternativeStart = true;
  }

  void Quantifier() {
    const int at = m_pos;
    std::unique_ptr<Closed> closed = std::move(m_closed);
    char16_t c = m_p[at];
    bool fixed = false;
    if (c == '{') {
      int close = at + 1;
      while (close < m_n && At(close) != '}') ++close;
      if (close >= m_n) {  // no '}': Korvane reports a malformed repeat
        Item();
        m_pos = m_n;
        return;
      }
      std::u16string inner = m_p.substr(at + 1, close - at - 1);
      m_pos = close + 1;
      size_t comma = inner.find(u',');
      auto allDigits = [](const std::u16string& s) {
        return std::all_of(s.begin(), s.end(), [](char16_t ch) { return IsAsciiDigit(ch); });
      };
      std::u16string low = inner.substr(0, comma), high = comma == std::u16string::npos ? u"" : inner.substr(comma + 1);
      if (!low.empty() && allDigits(low) && allDigits(high)) {
        fixed = comma == std::u16string::npos || high == low;
      } else {
        Note(comma == 0 && !high.empty() && allDigits(high) ? "brace-no-minimum" : "brace-literal", at, m_pos);
        Item();
        return;  // Korvane repeats nothing here; the brace is no repeat elsewhere
      }
    } else {
      m_pos = at + 1;
    }
    if (At(m_pos) == '+') {
      ++m_pos;
      if (!fixed) Note("possessive", at, m_pos);
    } else if (At(m_pos) == '?') {
      ++m_pos;
    }
    if (closed) {
      NoteRepeatedCaptures(closed->firstInner, closed->endInner);
      if (closed->emptyAlternative) Note("empty-iteration", closed->start, m_pos);
    }
    Item();
  }

  // Korvane numbers the unnamed groups first, then the named ones, each in order of opening.
  void ResolveBackrefs() {
    std::vector<int> starts = m_captureStarts;
    starts.insert(starts.end(), m_namedStarts.begin(), m_namedStarts.end());
    for (const Backref& b : m_backrefs) {
      int end = b.start + b.length;
      if (b.number > static_cast<int>(starts.size()))
        Note("backref-beyond-groups", b.start, end);
      else if (starts[b.number - 1] > b.start)
        Note("backref-forward", b.start, end);
      else
        Note("backref-unset", b.start, end);
    }
  }

  const std::u16string& m_p;
  const int m_n;
  const bool m_extended;
  bool m_ignoreCase;
  int m_pos = 0;
  int m_classDepth = 0;
  bool m_quote = false;
  int m_quoteNote = -1;  // where the \Q of the open quote is, for its note; -1 for \L and \U
  std::vector<Group> m_groups;
  std::unique_ptr<Closed> m_closed;
  std::vector<std::pair<int, int>> m_captures;          // closed capture groups' spans, in closing order
  std::vector<std::pair<size_t, size_t>> m_notedCaptures;  // ranges of m_captures already noted
  std::vector<int> m_captureStarts;  // unnamed capture groups' '(' in order
  std::vector<int> m_namedStarts;    // named ones, each name once (a balancing group is one too)
  std::set<std::u16string> m_names;
  std::vector<Backref> m_backrefs;
  std::vector<FlavourNote> m_notes;
};

}  // namespace

std::vector<FlavourNote> NotesForPattern(const std::u16string& pattern, int flags) {
  return CNoteScanner(pattern, flags).Run();
}
