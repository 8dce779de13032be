// Differential test of the engine against PCRE2: a seeded generator writes random patterns and
// subjects in the part of the syntax where both engines must agree (engine/tests/README.md lists
// what is left out and why), and every successive match with every group span must come out the
// same in all four engine builds and in PCRE2 run through the same search loop.
//
//   pcre_diff_test                         the fixed seed, a few thousand cases (CTest)
//   pcre_diff_test --seed=S --count=N      a longer run (scripts/pcre_diff)
//
// Without PCRE2 (KORVANE_HAVE_PCRE2 undefined) the random comparison skips; the table of cases
// that the comparison once found still runs against its written expectations.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/tests/builds.h"

#ifdef KORVANE_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace tarno_test {
namespace {

// The engine's option bits (the test talks to the engines through builds.h only).
const int kSingleLine = 0x01, kMultiLine = 0x02, kIgnoreCase = 0x08, kRightToLeft = 0x10;

uint64_t g_seed = 20240611;
int g_count = 2500;

// ---------------------------------------------------------------------------------------------
// Pattern generator

// What the generator knows about a piece of pattern it wrote.
struct Frag {
  std::string text;
  bool nullable;  // can match the empty string
  int width;      // the fixed number of characters it matches, or -1 when that varies
  bool captures = false;  // holds a capturing group
};

struct Case {
  std::string pattern;
  int flags;
  std::vector<std::string> subjects;
};

class PatternGen {
 public:
  explicit PatternGen(uint64_t seed) : m_rng(seed) {}

  // Repeats whose branches mix back-references (plain, optional, counted) with literals, after
  // groups of fixed text and before a tail: the shape where a greedy repeat must still explore
  // the alternatives inside an extension, such as (b)(?:\1\1?|b1)*c on "bbb1c".
  Case MakeRepeatWithBackrefs() {
    static const char* const kGroups[] = {"(b)", "(a)", "(ab)", "([ab])", "(b1)", "(a|b)", "(ba?)"};
    static const char* const kLiterals[] = {"a", "b", "1", "b1", "ab", "c", "[ab]", "."};
    static const char* const kRepeats[] = {"*", "+", "?", "{0,3}", "{1,}", "*?", "+?", "{2}", "*+"};
    static const char* const kTails[] = {"c", "1", "\\1", "$", "b", "\\2", ""};
    Case c;
    c.flags = Chance(0.2) ? kIgnoreCase : 0;
    int groups = 1 + Rand(2);
    for (int g = 0; g < groups; ++g) c.pattern += Pick(kGroups);
    int repeats = 1 + Rand(2);
    for (int r = 0; r < repeats; ++r) {
      std::string alt;
      int branches = 1 + Rand(3);
      for (int b = 0; b < branches; ++b) {
        if (b) alt += "|";
        int items = 1 + Rand(3);
        bool solid = false;  // a branch must not match empty (README)
        for (int i = 0; i < items; ++i) {
          if (Chance(0.55)) {
            std::string ref = "\\" + std::to_string(1 + Rand(groups));
            static const char* const kRefRepeats[] = {"", "", "?", "{1,2}", "+", "{0,2}", "??"};
            std::string q = Pick(kRefRepeats);
            if (q.empty() || q == "+" || q == "{1,2}") solid = true;
            alt += "(?:" + ref + ")" + q;
          } else {
            alt += Pick(kLiterals);
            solid = true;
          }
        }
        if (!solid) alt += Pick(kLiterals);
      }
      c.pattern += "(?:" + alt + ")" + Pick(kRepeats);
    }
    std::string tail = Pick(kTails);
    if (tail == "\\2" && groups < 2) tail = "\\1";
    c.pattern += tail;
    int n = 3 + Rand(3);
    static const char kAlphabet[] = "bbbbaaa11cc";
    for (int i = 0; i < n; ++i) {
      int len = Rand(11);
      std::string subject;
      for (int k = 0; k < len; ++k) subject += kAlphabet[Rand(sizeof kAlphabet - 1)];
      c.subjects.push_back(subject);
    }
    return c;
  }

  // Patterns for comparing the four engine builds with one another (no PCRE2): recursion into the
  // whole pattern and into groups, look-behinds of any content (also holding groups that a
  // recursion enters), and the right-to-left option.
  Case MakeRecursive() {
    m_recursive = true;
    Case c = Make();
    if (Chance(0.3)) c.flags |= kRightToLeft;
    // A quarter begin with a recursion into a group that a look-around holds, which runs in the
    // look-around's direction (the start filter must not read it as lying ahead). The new group
    // shifts the numbers of the others; for comparing builds any reading will do.
    if (Chance(0.25)) {
      static const char* const kHeld[] = {"a", "ab", "b", "[ab]", "a|b", "\\w", "a+"};
      std::string held = Pick(kHeld);
      c.pattern = (c.flags & kRightToLeft ? "(?1)(?=(" + held + "))" : "(?<=(" + held + "))(?1)") + c.pattern;
    }
    return c;
  }

  // Patterns in the host's own dialect for comparing the host builds with one another: balancing
  // groups (the nesting-count idiom, and a balancing group as the other's reference), with a
  // pattern of Make() before, after or beside them, sometimes right to left.
  Case MakeHostDialect() {
    Case c = MakeRecursive();
    static const char* const kOpen[] = {"\\(", "a", "\\[", "(?:ab)", "[a(]"};
    static const char* const kClose[] = {"\\)", "b", "\\]", "(?:ba)", "[b)]"};
    static const char* const kOther[] = {"[^()]", "c", "\\w", "[^()\\[\\]]+", "."};
    static const char* const kRepeats[] = {"*", "+", "*?", "{0,4}", "*+"};
    std::string open = Pick(kOpen), close = Pick(kClose);
    std::string balanced = "(?:(?<o>" + open + ")|(?<c-o>" + close + ")|" + Pick(kOther) + ")" + Pick(kRepeats);
    if (Chance(0.5)) balanced += Chance(0.5) ? "(?(o)(?!))" : "(?(o)x|)";
    if (Chance(0.3)) balanced = "(?<p>" + open + ")" + balanced + "(?<q-p>" + close + ")";
    switch (Rand(4)) {
      case 0: c.pattern = balanced; break;
      case 1: c.pattern = balanced + c.pattern; break;
      case 2: c.pattern = "(?:" + c.pattern + ")" + balanced; break;
      default: c.pattern = balanced + "|" + c.pattern; break;
    }
    for (std::string& subject : c.subjects) {
      static const char* const kBits[] = {"(", ")", "a", "b", "[", "]", "c", "ab", "ba", "(a)", "x"};
      int n = Rand(8);
      for (int i = 0; i < n; ++i) subject.insert(static_cast<size_t>(Rand(static_cast<int>(subject.size()) + 1)), Pick(kBits));
    }
    return c;
  }

  Case Make() {
    m_groups = 0;
    m_closed.assign(1, false);
    m_nullable.assign(1, false);
    // Each pattern draws its own mix, from sparse to dense in repeats and alternations.
    m_repeatChance = 0.2 + 0.1 * Rand(6);
    m_altChance = 0.2 + 0.1 * Rand(4);
    m_subjectMax = 8 + 8 * Rand(3);
    // Some patterns name every capturing group: with no unnamed group beside them, both engines
    // number named groups in order of their opening brackets.
    m_named = Chance(0.25);
    Case c;
    c.flags = 0;
    if (Chance(0.2)) c.flags |= kIgnoreCase;
    if (Chance(0.2)) c.flags |= kMultiLine;
    if (Chance(0.2)) c.flags |= kSingleLine;
    c.pattern = Alt(0, false).text;
    int n = 3 + Rand(3);
    for (int i = 0; i < n; ++i) c.subjects.push_back(Subject());
    return c;
  }

 private:
  int Rand(int n) { return static_cast<int>(m_rng() % static_cast<uint64_t>(n)); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }
  template <size_t N>
  const char* Pick(const char* const (&options)[N]) {
    return options[Rand(static_cast<int>(N))];
  }

  // Subjects lean on 'a' and 'b' so that random patterns find matches. No CR, FF or VT: the
  // engines read those differently (README).
  std::string Subject() {
    static const char kAlphabet[] = "aaaaabbbbbccABB1 __--.\n";
    int len = Rand(m_subjectMax + 1);
    std::string s;
    for (int i = 0; i < len; ++i) s += kAlphabet[Rand(sizeof kAlphabet - 1)];
    return s;
  }

  // An alternation. Inside a look-behind each branch has a fixed width (PCRE2 needs that); below
  // its top level no alternation is written at all, so nested groups keep a fixed width too.
  Frag Alt(int depth, bool behind, bool topOfBehind = false) {
    int branches = 1;
    if ((!behind || topOfBehind) && Chance(m_altChance)) branches = 2 + Rand(2);
    Frag f = Seq(depth, behind);
    for (int i = 1; i < branches; ++i) {
      Frag g = Seq(depth, behind);
      f.text += "|" + g.text;
      f.nullable = f.nullable || g.nullable;
      f.captures = f.captures || g.captures;
      if (g.width != f.width) f.width = -1;
    }
    return f;
  }

  Frag Seq(int depth, bool behind) {
    int items = Rand(depth == 0 ? 5 : 4);
    if (depth == 0 && items == 0 && Chance(0.8)) items = 1;
    Frag f{"", true, 0};
    for (int i = 0; i < items; ++i) {
      Frag g = Item(depth, behind);
      f.text += g.text;
      f.nullable = f.nullable && g.nullable;
      f.captures = f.captures || g.captures;
      f.width = (f.width < 0 || g.width < 0) ? -1 : f.width + g.width;
    }
    return f;
  }

  // An atom with perhaps a quantifier. Only atoms that cannot match empty are repeated: the
  // engines treat empty iterations differently (README).
  Frag Item(int depth, bool behind) {
    Frag a = Atom(depth, behind);
    if (a.nullable || !Chance(m_repeatChance)) return a;
    if (behind) {
      // A fixed count keeps the width fixed. A repeated group inside a look-behind is matched
      // right to left by the engine, so its last iteration is a different one (README).
      if (a.captures) return a;
      int n = 1 + Rand(3);
      a.text += "{" + std::to_string(n) + "}";
      a.width = a.width < 0 ? -1 : a.width * n;
      return a;
    }
    int kind = Rand(7), min = 0;
    std::string q;
    bool counted = false;
    switch (kind) {
      case 0: q = "*"; break;
      case 1: q = "+"; min = 1; break;
      case 2: q = "?"; break;
      case 3: {  // {n}: also written as {n}? (the same in both engines), never {n}+
        min = Rand(3);
        q = "{" + std::to_string(min) + "}";
        // PCRE2 10.42 takes a pattern as anchored when a group repeated {0} times holds an anchor
        // in its last branch: (?:a|\Ab){0}c finds nothing in "xc". Written {0,1} instead.
        if (min == 0 && (a.text.find("\\A") != std::string::npos || a.text.find('^') != std::string::npos))
          q = "{0,1}";
        counted = true;
        break;
      }
      case 4: {
        min = Rand(3);
        q = "{" + std::to_string(min) + ",}";
        break;
      }
      default: {
        min = Rand(3);
        int max = min + 1 + Rand(2);
        q = "{" + std::to_string(min) + "," + std::to_string(max) + "}";
        break;
      }
    }
    int suffix = Rand(4);
    if (suffix == 1) q += "?";
    if (suffix == 2 && !counted) q += "+";
    a.text += q;
    a.nullable = min == 0;
    a.width = -1;
    return a;
  }

  Frag Atom(int depth, bool behind) {
    for (;;) {
      int r = Rand(100);
      if (r < 34) return Literal();
      if (r < 46) return Class();
      if (r < 54) return Frag{Pick({"\\w", "\\W", "\\d", "\\D", "\\s", "\\S", ".", "."}), false, 1};
      if (r < 62) return Frag{Pick({"\\b", "\\B", "\\A", "\\z", "\\Z", "^", "$", "\\b"}), true, 0};
      if (r < 92) {
        if (depth >= 4) continue;
        return Group(depth, behind);
      }
      if (r < 97) {
        if (m_recursive && Chance(0.6)) return Recursion();
        if (behind) continue;
        Frag b = Backref();
        if (b.text.empty()) continue;
        return b;
      }
      if (behind || depth >= 4) continue;
      Frag c = Conditional(depth);
      if (c.text.empty()) continue;
      return c;
    }
  }

  Frag Literal() {
    static const char* const kLiterals[] = {"a", "a", "a", "b", "b", "b", "c", "A", "B",
                                            "1", " ", "_", "-", "\\.", "\\n", "ab"};
    std::string t = Pick(kLiterals);
    return Frag{t, false, t == "ab" ? 2 : 1};
  }

  Frag Class() {
    static const char* const kItems[] = {"a", "b", "c", "A", "B", "1", "_", " ", "\\.", "\\-",
                                         "a-c", "A-Z", "0-9", "Y-b", "\\d", "\\w", "\\s", "\\W",
                                         "[:alpha:]", "[:digit:]", "[:space:]", "[:^alpha:]",
                                         "[:punct:]", "\\n"};
    std::string t = "[";
    if (Chance(0.3)) t += "^";
    int n = 1 + Rand(3);
    for (int i = 0; i < n; ++i) t += Pick(kItems);
    return Frag{t + "]", false, 1};
  }

  Frag Group(int depth, bool behind) {
    int r = Rand(100);
    if (r < 35) {  // capturing
      int number = ++m_groups;
      m_closed.push_back(false);
      m_nullable.push_back(false);
      Frag in = Alt(depth + 1, behind);
      m_closed[number] = true;
      m_nullable[number] = in.nullable;
      const std::string open = m_named ? "(?<g" + std::to_string(number) + ">" : "(";
      return Frag{open + in.text + ")", in.nullable, in.width, true};
    }
    if (r < 55) {
      Frag in = Alt(depth + 1, behind);
      return Frag{"(?:" + in.text + ")", in.nullable, in.width, in.captures};
    }
    if (r < 65) {
      Frag in = Alt(depth + 1, behind);
      return Frag{"(?>" + in.text + ")", in.nullable, in.width, in.captures};
    }
    if (r < 72) {
      Frag in = Alt(depth + 1, behind);
      return Frag{Pick({"(?i:", "(?-i:", "(?s:", "(?i:"}) + in.text + ")", in.nullable, in.width,
                  in.captures};
    }
    if (r < 86) {
      Frag in = Alt(depth + 1, behind);
      return Frag{(Chance(0.6) ? "(?=" : "(?!") + in.text + ")", true, 0, in.captures};
    }
    // A look-behind: branches of fixed width, no back-references inside (any content when
    // only the engine builds are compared).
    Frag in = m_recursive ? Alt(depth + 1, false) : Alt(depth + 1, true, true);
    return Frag{(Chance(0.6) ? "(?<=" : "(?<!") + in.text + ")", true, 0, in.captures};
  }

  // A back-reference to a group that is closed here; wrapped so that a digit after it cannot
  // extend the number.
  Frag Backref() {
    std::vector<int> usable;
    for (int g = 1; g <= m_groups; ++g)
      if (m_closed[g]) usable.push_back(g);
    if (usable.empty()) return Frag{"", true, -1};
    int g = usable[Rand(static_cast<int>(usable.size()))];
    if (m_named && Chance(0.5)) return Frag{"\\k<g" + std::to_string(g) + ">", m_nullable[g], -1};
    return Frag{"(?:\\" + std::to_string(g) + ")", m_nullable[g], -1};
  }

  // A recursion into the whole pattern or into a group opened so far (perhaps still open).
  // Mostly guarded by a character before it: a recursion that can re-enter itself without moving
  // runs into the nesting limit, and on its way there may try exponentially many paths (the work
  // budget ends those). Unguarded, a recursion into a group that a look-behind holds reads its
  // first characters behind the position.
  Frag Recursion() {
    std::string call = m_groups == 0 || Chance(0.3) ? "(?R)" : "(?" + std::to_string(1 + Rand(m_groups)) + ")";
    if (Chance(0.7)) return Frag{"(?:" + Literal().text + call + ")?", true, -1};
    return Frag{call, true, -1};
  }

  // (?(n)yes|no) on a group that is closed here.
  Frag Conditional(int depth) {
    std::vector<int> usable;
    for (int g = 1; g <= m_groups; ++g)
      if (m_closed[g]) usable.push_back(g);
    if (usable.empty()) return Frag{"", true, -1};
    int g = usable[Rand(static_cast<int>(usable.size()))];
    Frag yes = Seq(depth + 1, false);
    std::string t = "(?(" + std::to_string(g) + ")" + yes.text;
    bool nullable = yes.nullable, noCaptures = false;
    if (Chance(0.7)) {
      Frag no = Seq(depth + 1, false);
      t += "|" + no.text;
      nullable = nullable || no.nullable;
      noCaptures = no.captures;
    } else {
      nullable = true;
    }
    return Frag{t + ")", nullable, -1, yes.captures || noCaptures};
  }

  std::mt19937_64 m_rng;
  double m_repeatChance = 0.4;
  double m_altChance = 0.3;
  int m_subjectMax = 12;
  int m_groups = 0;
  bool m_named = false;          // this pattern's capturing groups are all named
  bool m_recursive = false;      // MakeRecursive: recursion, free look-behinds
  std::vector<bool> m_closed;    // per group number: its ')' has been written
  std::vector<bool> m_nullable;  // per group number: its content can match empty
};

std::string FlagText(int flags) {
  std::string s;
  if (flags & kRightToLeft) s += "r";
  if (flags & kIgnoreCase) s += "i";
  if (flags & kMultiLine) s += "m";
  if (flags & kSingleLine) s += "s";
  return s.empty() ? "-" : s;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out + "\"";
}

// ---------------------------------------------------------------------------------------------
// Cases that the comparison found, each with the engine fault it pinned; the expectations are
// PCRE2's answers (checked against PCRE2 as well when it is there).

struct FoundCase {
  const char* pattern;
  int flags;
  const char* subject;
  const char* expected;
};

const FoundCase kFound[] = {
    // A '?' or '+' after {0} belongs to the quantifier; it was read as a literal character.
    {"\\d{0}?b", 0, "ab b", "1-2 3-4"},
    {"a{0}+b", 0, "b", "0-1"},
    {"(?!.{0}?b)", 0, "ab", "0-0 2-2"},
    // A greedy repeat discarded a whole extension, with its other alternatives, whenever the
    // extension's greedy end had been offered before; these found nothing or a shorter match.
    {"^(?:a+|ab)*c", 0, "aabc", "0-4"},
    {"^(a+|ab)*c", 0, "aabc", "0-4,1-3"},
    {"^(?:a+|ab)*(c)(?(1)|x)", 0, "aabc", "0-4,3-4"},
    {"(?:[^ c]+|a\\W*)*c", 0, "xa\n c", "0-5"},
    {"(?:[^ c]+|a\\W*)*\\S", 0, "-A.bbaa1a\n cB", "0-12 12-13"},
    // The same fault where the repeat's inner element may match empty (as far as the compiler
    // can tell: a back-reference): the extension from 2 reached 3 greedily, 3 had been offered,
    // and the extension was discarded with its b1 that reaches 4.
    {"(b)(?:\\1\\1?|b1)*c", 0, "bbb1c", "0-5,0-1"},
    {"(b)(?:\\1{1,2}|b1)*c", 0, "bbb1c", "0-5,0-1"},
    // Not an engine fault: PCRE2 10.42 finds nothing here unless told not to make repeats
    // possessive by itself; kept to show that the comparison runs PCRE2 that way.
    {"a*(?:b)?+a", 0, "aa", "0-2"},
};

// Whether a list of matches in the format of Engine::Matches holds one that is not empty.
bool HasNonEmptyMatch(const std::string& matches) {
  size_t p = 0;
  while (p < matches.size()) {
    size_t end = matches.find(' ', p);
    if (end == std::string::npos) end = matches.size();
    std::string span = matches.substr(p, matches.find_first_of(", ", p) - p);  // "s-e" of group 0
    size_t dash = span.find('-');
    if (dash != std::string::npos && span.substr(0, dash) != span.substr(dash + 1)) return true;
    p = end + 1;
  }
  return false;
}

#ifdef KORVANE_HAVE_PCRE2
// ---------------------------------------------------------------------------------------------
// PCRE2 through the engine's own search loop

class Pcre {
 public:
  Pcre(const std::string& pattern, int flags) {
    // $ without MULTILINE is the text end only and a multiline ^ also matches after a final LF,
    // as in the engine (README).
    // PCRE2 10.42 gets some patterns wrong when it makes repeats possessive by itself: a*(?:b)?+a
    // does not match "aa" (nor a*(?>(?:b)?)a). Turning that optimization off cures it. Its
    // start-of-match optimization misses matches too: (?=b[c[:^alpha:]]+?)(?:c{0,}?)^b with
    // MULTILINE and DOTALL finds nothing in "b-BcB1A1", and 0-1 without the optimization.
    uint32_t options =
        PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX | PCRE2_NO_AUTO_POSSESS | PCRE2_NO_START_OPTIMIZE;
    if (flags & kIgnoreCase) options |= PCRE2_CASELESS;
    if (flags & kMultiLine) options |= PCRE2_MULTILINE;
    if (flags & kSingleLine) options |= PCRE2_DOTALL;
    m_context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(m_context, PCRE2_NEWLINE_LF);
    int error;
    PCRE2_SIZE offset;
    m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options, &error,
                           &offset, m_context);
    if (!m_code) {
      PCRE2_UCHAR buf[256];
      pcre2_get_error_message(error, buf, sizeof buf);
      m_error = reinterpret_cast<char*>(buf);
      return;
    }
    pcre2_pattern_info(m_code, PCRE2_INFO_CAPTURECOUNT, &m_groups);
    m_data = pcre2_match_data_create_from_pattern(m_code, nullptr);
    m_match = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(m_match, 2000000);
  }
  ~Pcre() {
    pcre2_match_data_free(m_data);
    pcre2_match_context_free(m_match);
    pcre2_code_free(m_code);
    pcre2_compile_context_free(m_context);
  }
  bool Ok() const { return m_code != nullptr; }
  const std::string& Error() const { return m_error; }

  // Every successive match in the format of Engine::Matches; after an empty match the next
  // search starts one character further on. Empty when PCRE2 gave up (match limit).
  std::string Matches(const std::string& subject) const {
    std::string out;
    size_t pos = 0, len = subject.size();
    while (pos <= len) {
      int rc = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(subject.data()), len, pos, 0, m_data, m_match);
      if (rc == PCRE2_ERROR_NOMATCH) break;
      if (rc < 0) return std::string();
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m_data);
      if (!out.empty()) out += ' ';
      out += std::to_string(ov[0]) + "-" + std::to_string(ov[1]);
      for (uint32_t g = 1; g <= m_groups; ++g) {
        out += ',';
        if (ov[2 * g] == PCRE2_UNSET)
          out += '-';
        else
          out += std::to_string(ov[2 * g]) + "-" + std::to_string(ov[2 * g + 1]);
      }
      pos = ov[1] == ov[0] ? ov[1] + 1 : ov[1];
    }
    return out.empty() ? "none" : out;
  }

 private:
  pcre2_compile_context* m_context = nullptr;
  pcre2_code* m_code = nullptr;
  pcre2_match_data* m_data = nullptr;
  pcre2_match_context* m_match = nullptr;
  uint32_t m_groups = 0;
  std::string m_error;
};

struct DiffStats {
  int patterns = 0;
  int cases = 0;         // pattern and subject pairs compared
  int withMatch = 0;     // of them, with at least one non-empty match
  int rejected = 0;      // patterns PCRE2 refused to compile (a generator fault)
  int limited = 0;       // subjects where PCRE2 hit its match limit or an engine its work budget
                         // (not compared)
  int disagreements = 0;
  int classicCut = 0;    // subjects where only the classic host build ran into the work budget
};

enum GenKind { GEN_GENERAL, GEN_REPEAT_BACKREFS };

// Runs `count` generated patterns from `seed`; reports the first disagreements in full.
DiffStats RunDiff(uint64_t seed, int count, GenKind kind = GEN_GENERAL) {
  DiffStats st;
  // The four builds, and the host build with classic backtracking, which must find the same
  // matches with more steps.
  std::vector<const Engine*> engines = AllEngines();
  engines.push_back(&HostClassic16());
  for (int i = 0; i < count; ++i) {
    // Each pattern has a seed of its own, so that one failing pattern can be replayed alone.
    uint64_t caseSeed = seed * 1000003u + static_cast<uint64_t>(i);
    PatternGen gen(caseSeed);
    Case c = kind == GEN_GENERAL ? gen.Make() : gen.MakeRepeatWithBackrefs();
    ++st.patterns;
    Pcre pcre(c.pattern, c.flags);
    if (!pcre.Ok()) {
      if (++st.rejected <= 5)
        ADD_FAILURE() << "PCRE2 rejects generated pattern /" << c.pattern << "/: " << pcre.Error();
      continue;
    }
    for (const std::string& subject : c.subjects) {
      std::string want = pcre.Matches(subject);
      if (want.empty()) {
        ++st.limited;
        continue;
      }
      ++st.cases;
      const bool nonEmpty = HasNonEmptyMatch(want);
      if (nonEmpty) ++st.withMatch;
      for (const Engine* e : engines) {
        std::string got = e->Matches(U(c.pattern), c.flags, U(subject));
        if (got == want) continue;
        if (e == &HostClassic16() && got.find("cut") != std::string::npos) {
          ++st.classicCut;  // without the shortcut the budget runs out sooner; the others compared
          continue;
        }
        if (got.find("cut") != std::string::npos) {  // the work budget: not compared
          ++st.limited;
          --st.cases;
          if (nonEmpty) --st.withMatch;
          break;
        }
        if (++st.disagreements <= 10)
          ADD_FAILURE() << e->Name() << " /" << c.pattern << "/" << FlagText(c.flags) << " on " << Quote(subject)
                        << "\n  engine: " << got << "\n  PCRE2:  " << want << "\n  (seed " << seed << ", case " << i
                        << ")";
        break;
      }
    }
  }
  return st;
}

void Report(const char* what, const DiffStats& st) {
  std::printf("pcre_diff %s: seed %llu, %d patterns, %d cases (%d with a non-empty match), %d rejected by PCRE2, "
              "%d over a work limit, %d disagreements; classic backtracking: %d over the work limit alone\n",
              what, static_cast<unsigned long long>(g_seed), st.patterns, st.cases, st.withMatch, st.rejected,
              st.limited, st.disagreements, st.classicCut);
}

TEST(PcreDiff, RandomPatterns) {
  DiffStats st = RunDiff(g_seed, g_count);
  Report("general", st);
  EXPECT_EQ(0, st.disagreements);
  EXPECT_LT(st.classicCut, st.cases / 10);  // the classic build must be compared on almost every case
  EXPECT_EQ(0, st.rejected);
  // The generator must keep producing cases that exercise matching, not only misses.
  EXPECT_GT(st.cases, g_count * 3 - g_count / 10);
  EXPECT_GT(st.withMatch, st.cases / 4);
}

// The targeted generator: repeats of alternations with back-references.
TEST(PcreDiff, RepeatsWithBackReferences) {
  DiffStats st = RunDiff(g_seed, g_count, GEN_REPEAT_BACKREFS);
  Report("repeats with back-references", st);
  EXPECT_EQ(0, st.disagreements);
  EXPECT_LT(st.classicCut, st.cases / 10);
  EXPECT_EQ(0, st.rejected);
  EXPECT_GT(st.cases, g_count * 3 - g_count / 10);
  EXPECT_GT(st.withMatch, st.cases / 10);
}

TEST(PcreDiff, FoundCasesAgreeWithPcre) {
  for (const FoundCase& c : kFound) {
    Pcre pcre(c.pattern, c.flags);
    ASSERT_TRUE(pcre.Ok()) << c.pattern << ": " << pcre.Error();
    EXPECT_EQ(c.expected, pcre.Matches(c.subject)) << "/" << c.pattern << "/" << FlagText(c.flags);
  }
}

#else

TEST(PcreDiff, RandomPatterns) { GTEST_SKIP() << "PCRE2 (libpcre2-dev) not found; differential test not run"; }
TEST(PcreDiff, RepeatsWithBackReferences) {
  GTEST_SKIP() << "PCRE2 (libpcre2-dev) not found; differential test not run";
}

#endif  // KORVANE_HAVE_PCRE2

// The four engine builds against one another where PCRE2 cannot serve: recursion into the whole
// pattern and into groups (also groups inside look-behinds, which a recursion runs right to
// left), look-behinds of any content, and the right-to-left option. Every successive match,
// Count and Split must agree; a case that runs into a build's nesting limit or work budget is not
// compared, since the builds nest and work differently.
TEST(BuildsAgree, RecursionAndLookBehind) {
  std::vector<const Engine*> engines = AllEngines();
  int cases = 0, compared = 0, withMatch = 0, disagreements = 0;
  for (int i = 0; i < g_count; ++i) {
    uint64_t caseSeed = g_seed * 1000003u + static_cast<uint64_t>(i);
    PatternGen gen(caseSeed);
    Case c = gen.MakeRecursive();
    for (const std::string& subject : c.subjects) {
      ++cases;
      std::vector<std::string> got;
      bool cut = false;
      for (const Engine* e : engines) {
        std::string m = e->Matches(U(c.pattern), c.flags, U(subject));
        int count = m.find("cut") == std::string::npos ? e->Count(U(c.pattern), c.flags, U(subject)) : -1;
        size_t pieces = count >= 0 ? e->Split(U(c.pattern), c.flags, U(subject)).size() : 0;
        cut = count < 0 || pieces == 0;
        if (cut) break;  // (unwinding thousands of levels is slow: the other builds are spared)
        got.push_back(m + " | count " + std::to_string(count) + " | pieces " + std::to_string(pieces));
      }
      if (cut) continue;
      ++compared;
      if (HasNonEmptyMatch(got[0].substr(0, got[0].find(" |")))) ++withMatch;
      for (size_t k = 1; k < engines.size(); ++k) {
        if (got[k] == got[0]) continue;
        if (++disagreements <= 10)
          ADD_FAILURE() << engines[0]->Name() << " and " << engines[k]->Name() << " disagree on /" << c.pattern << "/"
                        << FlagText(c.flags) << " on " << Quote(subject) << "\n  " << engines[0]->Name() << ": "
                        << got[0] << "\n  " << engines[k]->Name() << ": " << got[k] << "\n  (seed " << g_seed
                        << ", case " << i << ")";
        break;
      }
    }
  }
  std::printf("builds agree: seed %llu, %d patterns, %d cases, %d compared (%d with a non-empty match), %d "
              "disagreements\n",
              static_cast<unsigned long long>(g_seed), g_count, cases, compared, withMatch, disagreements);
  EXPECT_EQ(0, disagreements);
  EXPECT_GT(compared, cases / 2);
  EXPECT_GT(withMatch, compared / 5);
}

// The host's two builds (traced and untraced, 8-bit and 16-bit, and the traced one with classic
// backtracking) against one another in the host's own dialect, balancing groups included: the
// untraced build is the host's search whenever nothing is traced, so every match and group must
// be the same. Cases that a build's nesting limit or work budget cut short are not compared.
TEST(BuildsAgree, HostDialect) {
  const std::vector<const Engine*> engines = {&Host16(), &Untraced16(), &HostClassic16(), &Host8(), &Untraced8()};
  int cases = 0, compared = 0, withMatch = 0, disagreements = 0;
  const int count = g_count > 1 ? g_count / 2 : 1;  // five engines per case
  for (int i = 0; i < count; ++i) {
    uint64_t caseSeed = g_seed * 2000003u + static_cast<uint64_t>(i);
    PatternGen gen(caseSeed);
    Case c = gen.MakeHostDialect();
    for (const std::string& subject : c.subjects) {
      ++cases;
      std::vector<std::string> got;
      bool cut = false;
      for (const Engine* e : engines) {
        std::string m = e->Matches(U(c.pattern), c.flags, U(subject));
        cut = m.find("cut") != std::string::npos;
        if (cut) break;
        got.push_back(m);
      }
      if (cut) continue;
      ++compared;
      if (HasNonEmptyMatch(got[0])) ++withMatch;
      for (size_t k = 1; k < engines.size(); ++k) {
        if (got[k] == got[0]) continue;
        if (++disagreements <= 10)
          ADD_FAILURE() << engines[0]->Name() << " and " << engines[k]->Name() << " disagree on /" << c.pattern << "/"
                        << FlagText(c.flags) << " on " << Quote(subject) << "\n  " << engines[0]->Name() << ": "
                        << got[0] << "\n  " << engines[k]->Name() << ": " << got[k] << "\n  (seed " << g_seed
                        << ", case " << i << ")";
        break;
      }
    }
  }
  std::printf("host builds agree: seed %llu, %d patterns, %d cases, %d compared (%d with a non-empty match), %d "
              "disagreements\n",
              static_cast<unsigned long long>(g_seed), count, cases, compared, withMatch, disagreements);
  EXPECT_EQ(0, disagreements);
  EXPECT_GT(compared, cases / 2);
  EXPECT_GT(withMatch, compared / 5);
}

TEST(PcreDiff, FoundCases) {
  for (const FoundCase& c : kFound)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(c.expected, e->Matches(U(c.pattern), c.flags, U(c.subject)))
          << e->Name() << " /" << c.pattern << "/" << FlagText(c.flags) << " on " << Quote(c.subject);
}

}  // namespace
}  // namespace tarno_test

// Takes --seed=S and --count=N besides the GoogleTest options.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seed=", 7) == 0) {
      tarno_test::g_seed = std::strtoull(argv[i] + 7, nullptr, 10);
    } else if (std::strncmp(argv[i], "--count=", 8) == 0) {
      tarno_test::g_count = std::atoi(argv[i] + 8);
      if (tarno_test::g_count < 1) tarno_test::g_count = 1;
    } else {
      std::fprintf(stderr, "pcre_diff_test: unknown argument %s (use --seed=S --count=N)\n", argv[i]);
      return 2;
    }
  }
  return RUN_ALL_TESTS();
}
