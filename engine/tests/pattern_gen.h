// The seeded pattern generator of the differential tests: random patterns and subjects in the
// part of the syntax where Korvane's engine and PCRE2 must agree (engine/tests/README.md lists
// what is left out and why), with variants for recursion, look-behinds of any content, the
// host's own dialect and repeats of back-references. Shared by engine/tests/pcre_diff_test.cpp
// and the conversion property test of the application.
#ifndef TARNO_TESTS_PATTERN_GEN_H
#define TARNO_TESTS_PATTERN_GEN_H

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tarno_test {

// The engine's option bits (the tests talk to the engines through builds.h only).
const int kSingleLine = 0x01, kMultiLine = 0x02, kIgnoreCase = 0x08, kRightToLeft = 0x10;

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

}  // namespace tarno_test

#endif
