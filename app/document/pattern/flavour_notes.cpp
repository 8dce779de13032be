// The flavour knowledge table and its detector; see flavour_notes.h.
#include "app/document/pattern/flavour_notes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "app/host_engine.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

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
       {{"pcre2 php python python-regex dotnet ruby perl oniguruma", "MND", IDS_NOTE_DOLLAR_FINAL_NEWLINE_CRLF},
        {"java icu", "M==", IDS_NOTE_DOLLAR_FINAL_NEWLINE},
        {"js cpp-ecmascript", "==D", IDS_NOTE_M_CR_ENDS_LINE},
        {"posix-ere posix-bre re2 go", "=ND", IDS_NOTE_M_ONLY_LF_ENDS_LINE},
        {KV_CPP_POSIX, "=EE", IDS_NOTE_M_NO_MULTILINE}}},
      {"caret", "^", "caret-multiline-after-final-newline caret-without-multiline",
       {{"pcre2 php java perl icu", "D=", IDS_NOTE_M_NO_START_AFTER_FINAL},
        {"ruby oniguruma", "DM", IDS_NOTE_ALWAYS_LINE_START},
        {KV_CPP_POSIX, "E=", IDS_NOTE_M_NO_MULTILINE}}},
      {"backslash-Z", "\\Z", "backslash-Z-before-final-newline backslash-Z-letter",
       {{"python python-regex", "N=", IDS_NOTE_END_OF_TEXT_ONLY},
        {"js posix-ere posix-bre cpp-ecmascript", "NM", IDS_NOTE_LETTER_Z},
        {KV_CPP_POSIX " re2 go", "EE", IDS_NOTE_ERROR}}},
      {"backslash-z", "\\z", "backslash-z-before-final-newline",
       {{"python python-regex " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},

      // Named groups and references to them.
      {"named-group-P", "(?P<name>...)", "named-group-P-syntax",
       {{"js java dotnet ruby posix-ere cpp-ecmascript boost icu oniguruma " KV_CPP_POSIX, "E", IDS_NOTE_ERROR},
        {"posix-bre", "N", IDS_NOTE_LITERAL}}},
      {"named-group-angle", "(?<name>...)", "named-group-angle-syntax",
       {{"python posix-ere cpp-ecmascript go " KV_CPP_POSIX " re2", "E", IDS_NOTE_ERROR},
        {"posix-bre", "N", IDS_NOTE_LITERAL}}},
      {"named-group-quote", "(?'name'...)", "named-group-quote-syntax",
       {{"js python python-regex java posix-ere cpp-ecmascript go icu " KV_CPP_POSIX " re2", "E", IDS_NOTE_ERROR},
        {"posix-bre", "N", IDS_NOTE_LITERAL}}},
      {"named-group-duplicate", IDS_NOTE_ON_DUPLICATE_NAME, "named-group-duplicate-names",
       {{"pcre2 php js python java re2 go icu " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {"ruby perl boost oniguruma", "D", IDS_NOTE_TWO_GROUPS_SAME_NAME},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"backref-k", "\\k<name>", "named-backreference-k",
       {{"python python-regex posix-ere cpp-ecmascript go " KV_CPP_POSIX " re2", "E", IDS_NOTE_ERROR},
        {"posix-bre", "N", IDS_NOTE_LITERAL}}},
      {"backref-P", "(?P=name)", "named-backreference-P",
       {{"pcre2 php python python-regex perl", "D", IDS_NOTE_BACKREF_TO_GROUP},
        {"js java dotnet ruby re2 boost go icu oniguruma " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},

      // Character class escapes: ASCII in Korvane.
      {"digit", "\\d", "digit-arabic-indic",
       {{"php python python-regex dotnet perl icu oniguruma", "M", IDS_NOTE_UNICODE_DIGITS},
        {KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},
      {"word", "\\w", "word-accented-letter word-cyrillic",
       {{"php python python-regex dotnet perl posix-ere icu oniguruma", "DM", IDS_NOTE_UNICODE_LETTERS},
        {"posix-bre", "NM", IDS_NOTE_UNICODE_LETTERS_PLUS_LITERAL},
        {KV_CPP_POSIX, "EE", IDS_NOTE_ERROR}}},
      {"space", "\\s", "space-no-break space-byte-order-mark",
       {{"php python python-regex dotnet perl icu oniguruma", "M=", IDS_NOTE_UNICODE_SPACES},
        {"js", "MM", IDS_NOTE_UNICODE_SPACES_BOM},
        {KV_CPP_POSIX, "EE", IDS_NOTE_ERROR}}},
      {"word-boundary", "\\b", "word-boundary-accented",
       {{"php python python-regex java dotnet ruby perl posix-ere posix-bre icu oniguruma", "M",
         IDS_NOTE_UNICODE_WORD_CHARACTERS},
        {"cpp-basic cpp-extended cpp-grep cpp-egrep", "E", IDS_NOTE_ERROR}}},

      // Back-references.
      {"backref-unset", IDS_NOTE_ON_BACKREF_UNSET, "backreference-to-unset-group",
       {{"js", "M", IDS_NOTE_UNSET_GROUP_MATCHES_EMPTY},
        {"posix-bre re2 cpp-basic cpp-extended cpp-grep cpp-egrep go", "E", IDS_NOTE_ERROR}}},
      {"backref-forward", IDS_NOTE_ON_BACKREF_FORWARD, "forward-reference",
       {{"js", "M", IDS_NOTE_FORWARD_MATCHES_EMPTY},
        {"python posix-ere posix-bre cpp-ecmascript cpp-basic cpp-extended cpp-grep cpp-egrep re2 boost go", "E", IDS_NOTE_ERROR}}},
      {"backref-beyond-groups", IDS_NOTE_ON_BACKREF_BEYOND, "octal-101 backslash-10-with-one-group",
       {{"pcre2 php js dotnet ruby perl cpp-awk re2 go", "MM", IDS_NOTE_OCTAL_ESCAPE},
        {"python python-regex", "ME", IDS_NOTE_OCTAL_THREE_DIGITS},
        {"posix-ere boost icu", "E=", IDS_NOTE_ERROR},
        {"posix-bre cpp-ecmascript cpp-basic cpp-extended cpp-grep cpp-egrep oniguruma", "EE", IDS_NOTE_ERROR}}},
      {"octal-zero", "\\0NN", "octal-leading-zero",
       {{"pcre2 php js python python-regex java dotnet ruby perl cpp-awk re2 boost go icu", "M",
         IDS_NOTE_OCTAL_LEADING_ZERO},
        {"cpp-basic cpp-extended cpp-grep cpp-egrep oniguruma", "E", IDS_NOTE_ERROR}}},

      // Groups in repeats.
      {"capture-in-repeat", IDS_NOTE_ON_CAPTURE_IN_REPEAT, "captures-reset-per-iteration",
       {{"js", "D", IDS_NOTE_RESET_PER_ITERATION},
        {"posix-ere cpp-extended cpp-awk cpp-egrep", "E", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"empty-iteration", IDS_NOTE_ON_EMPTY_ITERATION, "empty-alternative-in-star",
       {{"pcre2 php python python-regex java dotnet ruby perl cpp-ecmascript cpp-extended cpp-awk cpp-egrep boost icu oniguruma", "D",
         IDS_NOTE_EMPTY_ITERATION_SETS},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"alternation", "|", "alternation-first-or-longest posix-submatch-rules",
       {{"posix-ere cpp-extended cpp-awk cpp-egrep", "D=", IDS_NOTE_LEFTMOST_LONGEST},
        {KV_BRE_LIKE, "NN", IDS_NOTE_BAR_LITERAL}}},

      // Look-behind, atomic groups, possessive repeats.
      {"lookbehind", "(?<=...) (?<!...)",
       "lookbehind-fixed lookbehind-branches-of-different-length lookbehind-bounded-repeat lookbehind-unbounded",
       {{"pcre2 php ruby", "==EE", IDS_NOTE_LOOKBEHIND_FIXED_BRANCHES},
        {"python boost", "=EEE", IDS_NOTE_LOOKBEHIND_FIXED},
        {"perl icu", "===E", IDS_NOTE_LOOKBEHIND_BOUNDED},
        {"re2 posix-ere cpp-ecmascript cpp-extended cpp-awk cpp-egrep go", "EEEE", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "NNNN", IDS_NOTE_LITERAL}}},
      {"atomic-group", "(?>...)", "atomic-group",
       {{"js re2 go " KV_NO_GROUPS, "E", IDS_NOTE_ERROR}}},
      {"possessive", "*+ ++ ?+ {n,m}+", "possessive-plus possessive-star-then-literal",
       {{"js dotnet re2 go", "EE", IDS_NOTE_ERROR},
        {"posix-ere cpp-ecmascript cpp-extended cpp-awk cpp-egrep", "M=", IDS_NOTE_NOT_POSSESSIVE},
        {KV_BRE_LIKE, "=N", IDS_NOTE_LITERAL}}},

      // Inline flags.
      {"inline-flags-start", IDS_NOTE_ON_FLAGS_AT_START, "inline-flag-at-start",
       {{"js " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"inline-flags-mid", IDS_NOTE_ON_FLAGS_AFTER_START, "inline-flag-mid-pattern",
       {{"python", "E", IDS_NOTE_GLOBAL_FLAGS_AT_START},
        {"js " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"inline-flags-scoped", "(?i:...)", "inline-flag-scoped",
       {{"js " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"inline-m", "(?m)", "inline-m-and-dot",
       {{"ruby oniguruma", "M", IDS_NOTE_RUBY_M},
        {"js " KV_NO_GROUPS, "E", IDS_NOTE_ERROR}}},

      // Case folding under ignore-case.
      {"fold-k", IDS_NOTE_ON_FOLD_K, "ignore-case-kelvin-sign",
       {{"pcre2 php python python-regex ruby perl re2 go icu oniguruma", "M", IDS_NOTE_KELVIN_SIGN}}},
      {"fold-s", IDS_NOTE_ON_FOLD_S, "ignore-case-long-s ignore-case-sharp-s",
       {{"pcre2 php python python-regex posix-ere posix-bre re2 go", "M=", IDS_NOTE_LONG_S},
        {"ruby perl icu oniguruma", "MM", IDS_NOTE_LONG_S_SHARP_S}}},

      // Braces that are no repeat in Korvane's reading.
      {"brace-no-minimum", "{,n}", "brace-without-minimum",
       {{"pcre2 php js dotnet posix-bre cpp-basic cpp-grep re2 boost go", "D", IDS_NOTE_LITERAL},
        {"python python-regex ruby perl posix-ere oniguruma", "D", IDS_NOTE_ZERO_TO_N},
        {"java cpp-ecmascript cpp-extended cpp-awk cpp-egrep icu", "E", IDS_NOTE_ERROR}}},
      {"brace-literal", IDS_NOTE_ON_BRACE_NO_REPEAT, "brace-not-a-repeat",
       {{"pcre2 php js python python-regex dotnet ruby perl posix-bre cpp-basic cpp-grep re2 boost go oniguruma", "D",
         IDS_NOTE_LITERAL},
        {"java posix-ere cpp-ecmascript cpp-extended cpp-awk cpp-egrep icu", "E", IDS_NOTE_ERROR}}},

      // Escapes.
      {"escape-x-braces", "\\x{...}", "escape-x-braces",
       {{"js posix-ere posix-bre", "N", IDS_NOTE_LETTER_X_BRACES},
        {"python python-regex dotnet ruby cpp-ecmascript " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},
      {"escape-u-four", "\\uHHHH", "escape-u-four-digits",
       {{"pcre2 php re2 go " KV_CPP_POSIX, "E", IDS_NOTE_ERROR},
        {"perl posix-ere posix-bre", "D", IDS_NOTE_LETTER_U_DIGITS},
        {"boost", "N", IDS_NOTE_UPPERCASE_DIGITS}}},
      {"escape-u-braces", "\\u{...}", "escape-u-braces",
       {{"pcre2 php python python-regex java dotnet cpp-ecmascript re2 go icu oniguruma " KV_CPP_POSIX, "E", IDS_NOTE_ERROR},
        {"js perl posix-ere", "D", IDS_NOTE_LETTER_U_REPEATED},
        {"posix-bre", "D", IDS_NOTE_LITERAL_U_BRACES},
        {"boost", "N", IDS_NOTE_UPPERCASE_REPEATED}}},
      {"escape-e", "\\e", "escape-e",
       {{"js posix-ere posix-bre cpp-ecmascript", "D", IDS_NOTE_LETTER_E},
        {"python python-regex re2 go " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},
      {"escape-h", "\\h", "escape-h",
       {{"pcre2 php python-regex java perl boost icu", "M", IDS_NOTE_HORIZONTAL_SPACE},
        {"ruby oniguruma", "M", IDS_NOTE_HEX_DIGIT},
        {"python dotnet re2 go " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},
      {"escape-R", "\\R", "escape-R",
       {{"pcre2 php java ruby perl boost icu oniguruma", "M", IDS_NOTE_ANY_LINE_BREAK},
        {"python python-regex dotnet re2 go " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},
      {"escape-Q", "\\Q...\\E", "escape-Q-E",
       {{"js ruby perl posix-ere posix-bre cpp-ecmascript oniguruma", "N", IDS_NOTE_NO_QUOTING},
        {"python python-regex dotnet " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},
      {"escape-K", "\\K", "escape-K",
       {{"pcre2 php python-regex ruby perl boost oniguruma", "M", IDS_NOTE_KEEP_OUT},
        {"python java dotnet re2 go " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},
      {"escape-G", "\\G", "escape-G",
       {{"pcre2 php python-regex java dotnet ruby perl boost icu oniguruma", "D", IDS_NOTE_PREVIOUS_MATCH_END},
        {"js posix-ere posix-bre cpp-ecmascript", "N", IDS_NOTE_LETTER_G},
        {"python re2 go " KV_CPP_POSIX, "E", IDS_NOTE_ERROR}}},

      // Classes.
      {"posix-class", IDS_NOTE_ON_POSIX_CLASS_INSIDE, "posix-class-alpha",
       {{"js python", "D", IDS_NOTE_NO_POSIX_CLASSES},
        {"java", "D", IDS_NOTE_NO_POSIX_CLASSES_JAVA},
        {"dotnet", "N", IDS_NOTE_NO_POSIX_CLASSES},
        {KV_BRE_LIKE, "N", IDS_NOTE_PLUS_LITERAL}}},
      {"posix-class-outside", IDS_NOTE_ON_POSIX_CLASS_OUTSIDE, "posix-class-outside-brackets",
       {{"pcre2 php", "E", IDS_NOTE_ERROR},
        {"js python python-regex java dotnet ruby perl posix-ere posix-bre cpp-ecmascript boost go oniguruma " KV_CPP_POSIX " re2", "D",
         IDS_NOTE_CLASS_OF_NAME_CHARACTERS}}},
      {"class-intersection", IDS_NOTE_ON_INTERSECTION, "class-intersection",
       {{"java ruby icu oniguruma", "M", IDS_NOTE_CLASS_INTERSECTION}}},
      {"class-astral", IDS_NOTE_ON_ASTRAL_IN_CLASS, "astral-class-range",
       {{"pcre2 php python python-regex java ruby perl cpp-ecmascript re2 boost go icu oniguruma " KV_CPP_POSIX, "D",
         IDS_NOTE_ONE_CHARACTER_NOT_SURROGATES},
        {"js dotnet posix-ere posix-bre", "E", IDS_NOTE_ERROR}}},
      {"class-empty", "[]", "empty-class-then-bracket",
       {{"pcre2 php python python-regex java dotnet ruby perl posix-ere posix-bre re2 boost go icu oniguruma " KV_CPP_POSIX, "M",
         IDS_NOTE_BRACKET_FIRST_LITERAL}}},
      {"class-negated-empty", "[^]", "negated-empty-class",
       {{"pcre2 php python python-regex java dotnet ruby perl posix-ere posix-bre re2 boost go icu oniguruma " KV_CPP_POSIX, "E",
         IDS_NOTE_BRACKET_FIRST_UNCLOSED}}},
      {"dot", ".", "dot-carriage-return dot-line-separator dot-next-line dot-astral",
       {{"pcre2 php python python-regex ruby perl posix-ere posix-bre re2 go oniguruma " KV_CPP_POSIX, "===M",
         IDS_NOTE_ASTRAL_ONE_CHARACTER},
        {"js", "NN==", IDS_NOTE_DOT_JS},
        {"java boost icu", "NNNM", IDS_NOTE_DOT_JAVA},
        {"cpp-ecmascript", "NN=M", IDS_NOTE_DOT_CPP}}},

      // Recursion, conditionals, balancing groups.
      {"recursion", "(?R) (?1)", "recursion-R",
       {{"js python java dotnet ruby re2 go icu oniguruma " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"backslash-g-call", "\\g<name>", "recursion-g0",
       {{"pcre2 php ruby oniguruma", "D", IDS_NOTE_GROUP_CALL},
        {"python java dotnet perl posix-ere re2 boost go " KV_CPP_POSIX, "E", IDS_NOTE_ERROR},
        {"posix-bre", "N", IDS_NOTE_LITERAL}}},
      {"conditional", "(?(1)yes|no)", "conditional-on-group",
       {{"js java re2 go icu " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
      {"balancing-group", "(?<name-other>...)", "balancing-group",
       {{"pcre2 php js python python-regex java ruby perl re2 boost go icu oniguruma " KV_NO_GROUPS, "E", IDS_NOTE_ERROR},
        {"dotnet", "D", IDS_NOTE_BALANCING_NO_GROUP},
        {KV_BRE_LIKE, "N", IDS_NOTE_LITERAL}}},
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
      return CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOUR_NOTE_LINE),
                                         {FlavourNoteDisplayName(flavour), CStringTable::Str(line.text)});
  return QString();
}

namespace {

// The lines of the flavours of `flavours` (every flavour of the table when empty) that differ.
QStringList NoteLines(int row, const QStringList& flavours) {
  QStringList wanted = flavours;
  if (wanted.isEmpty())
    for (const char* f : FlavourNoteFlavours()) wanted << QString::fromLatin1(f);
  QStringList lines;
  for (const QString& f : wanted) {
    QString line = FlavourNoteLineFor(row, f);
    if (!line.isEmpty()) lines << line;
  }
  return lines;
}

}  // namespace

QString NoteText(int row, const QStringList& flavours, const QString& separator) {
  return NoteLines(row, flavours).join(separator);
}

QString NoteConstructText(int row) {
  const std::vector<FlavourNoteRow>& rows = FlavourNoteRows();
  if (row < 0 || row >= static_cast<int>(rows.size())) return QString();
  const FlavourNoteConstruct& c = rows[row].construct;
  return c.syntax ? QString::fromUtf8(c.syntax) : CStringTable::Str(c.words);
}

QString NoteSummary(int row, const QStringList& flavours) {
  const QString join = CStringTable::Str(IDS_FLAVOUR_NOTE_JOIN);
  QString lines;
  for (const QString& line : NoteLines(row, flavours))
    lines = lines.isEmpty() ? line : CStringTable::FormatStrings(join, {lines, line});
  if (lines.isEmpty()) return QString();
  return CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOUR_NOTE_LINE), {NoteConstructText(row), lines});
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
