// Random patterns, string lists and subjects for the property tests of fennic's rewrites
// (rewrite_property_test.cpp, literal_property_test.cpp), and the run options those tests take:
//   --seed=S    seed of the generators (default: a fixed one, for CTest)
//   --count=N   number of generated cases per property (default: a few thousand in all)
//   --first=F   the first case to run (default 0): --first=F --count=F+1 runs case F alone
// Each case draws from a generator seeded with its own seed (seed * 1000003 + case number), so a
// case that a long run reports can be looked at alone.
#ifndef FENNIC_TESTS_RANDOM_PATTERNS_H
#define FENNIC_TESTS_RANDOM_PATTERNS_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace fennic_props {

struct RunOptions {
  uint64_t seed = 20240611;
  int count = 700;
  int first = 0;
};

inline RunOptions& Options() {
  static RunOptions options;
  return options;
}

// Takes --seed=S and --count=N out of the arguments; false on an argument it does not know
// (GoogleTest's own are taken out before).
inline bool ParseRunOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seed=", 7) == 0) {
      Options().seed = std::strtoull(argv[i] + 7, nullptr, 10);
    } else if (std::strncmp(argv[i], "--first=", 8) == 0) {
      Options().first = std::atoi(argv[i] + 8);
      if (Options().first < 0) Options().first = 0;
    } else if (std::strncmp(argv[i], "--count=", 8) == 0) {
      Options().count = std::atoi(argv[i] + 8);
      if (Options().count < 1) Options().count = 1;
    } else {
      return false;
    }
  }
  return true;
}

inline uint64_t CaseSeed(int index) { return Options().seed * 1000003u + static_cast<uint64_t>(index); }

// Successive match spans of `pattern` compiled with `flags` over `subject` (host build, from
// the start, or the end right to left); false when the search needed more than `budget` element
// attempts and was cut off (property_spans.cpp).
bool LimitedSpans(const std::u16string& pattern, int flags, const std::u16string& subject, long budget,
                  std::vector<std::pair<int, int>>* spans);
const long kSearchBudget = 300000;

// The option bits of the engine, by value, so that this header needs no engine build.
enum { P_SINGLELINE = 1, P_MULTILINE = 2, P_GLOBAL = 4, P_IGNORECASE = 8, P_RIGHTTOLEFT = 16, P_EXTENDED = 32 };

class CRandom {
 public:
  explicit CRandom(uint64_t seed) : m_rng(seed) {}
  int Below(int n) { return n <= 1 ? 0 : static_cast<int>(m_rng() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& v) { return v[Below(static_cast<int>(v.size()))]; }

 private:
  std::mt19937_64 m_rng;
};

inline std::u16string Str(const char* s) {
  std::u16string r;
  for (; *s; ++s) r += static_cast<char16_t>(static_cast<unsigned char>(*s));
  return r;
}

inline std::u16string Number(int n) { return Str(std::to_string(n).c_str()); }

// Random option bits: case, dot, line and extended options in any mix, right to left now and then.
inline int RandomFlags(CRandom& r) {
  int flags = 0;
  if (r.Chance(35)) flags |= P_IGNORECASE;
  if (r.Chance(25)) flags |= P_SINGLELINE;
  if (r.Chance(25)) flags |= P_MULTILINE;
  if (r.Chance(25)) flags |= P_EXTENDED;
  if (r.Chance(10)) flags |= P_RIGHTTOLEFT;
  return flags;
}

// Patterns over a small alphabet (a, b, A, B, '.', ' ', '#', LF) with groups of every kind,
// options, quoting, comments, look-arounds and, where asked for, references to groups.
class CPatternGen {
 public:
  struct Features {
    bool references = true;  // back-references, recursion, conditions, balancing groups
  };

  CPatternGen(CRandom& r, int flags, Features features) : m_r(r), m_flags(flags), m_features(features) {}

  std::u16string Pattern() {
    std::u16string p = Alternation(3, false);
    // Now and then a stray tail after a closing parenthesis, which the compiler ignores.
    if (m_r.Chance(3)) p += u")a";
    return p;
  }

 private:
  std::u16string Space() {
    if (!(m_flags & P_EXTENDED) || !m_r.Chance(30)) return std::u16string();
    static const std::vector<std::u16string> kSpaces = {u" ", u"  ", u"\t", u"\n", u" # note (?#\n", u"#\\Q\n"};
    return m_r.Pick(kSpaces);
  }

  // `aside`: inside a look-around, which may be compiled in the other direction.
  std::u16string Alternation(int depth, bool aside) {
    std::u16string s = Sequence(depth, aside);
    for (int n = m_r.Below(3); n > 0; --n) s += u"|" + Space() + Sequence(depth, aside);
    return s;
  }

  std::u16string Sequence(int depth, bool aside) {
    std::u16string s;
    for (int n = m_r.Below(4); n > 0; --n) s += Item(depth, aside) + Space();
    return s;
  }

  std::u16string Item(int depth, bool aside) {
    std::u16string atom = Atom(depth, aside);
    static const std::vector<std::u16string> kQuantifiers = {u"*", u"+", u"?", u"{0,2}", u"{2}", u"*?",
                                                              u"+?", u"??", u"*+", u"{1,}"};
    if (m_r.Chance(25) && !atom.empty()) atom += m_r.Pick(kQuantifiers);
    return atom;
  }

  std::u16string Atom(int depth, bool aside) {
    static const std::vector<std::u16string> kLiterals = {u"a", u"b", u"A", u"B", u"ab", u"ba", u" ", u"#"};
    static const std::vector<std::u16string> kEscapes = {u"\\.", u"\\#", u"\\ ", u"\\n", u"\\x41", u"\\(", u"\\|"};
    static const std::vector<std::u16string> kClasses = {u".", u"[ab]", u"[^a]", u"[a-b#]", u"\\w", u"\\s",
                                                         u"[[:upper:]]", u"[.]"};
    static const std::vector<std::u16string> kAnchors = {u"^", u"$", u"\\b", u"\\B", u"\\A", u"\\z"};
    static const std::vector<std::u16string> kQuoted = {u"a", u".", u"(", u"|", u"*", u"#", u"b", u" ", u")"};
    static const std::vector<std::u16string> kOptions = {u"i", u"-i", u"s", u"m", u"s-i", u"im", u"-s"};
    int kind = m_r.Below(depth > 0 ? 24 : 12);
    switch (kind) {
      case 0: case 1: case 2: return Bare(m_r.Pick(kLiterals));
      case 3: return m_r.Pick(kEscapes);
      case 4: case 5: return Bare(m_r.Pick(kClasses));
      case 6: return m_r.Pick(kAnchors);
      case 7: {  // a quoted run
        std::u16string q = m_r.Chance(80) ? u"\\Q" : m_r.Chance(50) ? u"\\L" : u"\\U";
        for (int n = 1 + m_r.Below(3); n > 0; --n) q += m_r.Pick(kQuoted);
        return q + u"\\E";
      }
      case 8: {  // a comment group, whose text may look like anything but its end
        static const std::vector<std::u16string> kNotes = {u"", u"note", u"\\Q", u"a|b", u"#", u"(?:", u"\\"};
        return u"(?#" + m_r.Pick(kNotes) + u")";
      }
      case 9:
        if (m_features.references && m_unnamed > 0) return BackReference();
        return u"a";
      case 10:
        return u"(?" + m_r.Pick(kOptions) + u")";
      case 11:
        if (m_features.references && !aside && !m_closed.empty() && m_r.Chance(50)) {
          return u"(?" + Number(m_r.Pick(m_closed)) + u")";
        }
        return u"b";
      default:
        return Group(depth, aside);
    }
  }

  // Under the extended option a bare '#' would start a comment and hide the rest of its line,
  // the group structure the generator keeps track of included: it is written escaped there.
  std::u16string Bare(const std::u16string& text) const {
    if (!(m_flags & P_EXTENDED)) return text;
    std::u16string out;
    for (char16_t c : text) {
      if (c == u'#') out += u'\\';
      out += c;
    }
    return out;
  }

  std::u16string BackReference() {
    int n = 1 + m_r.Below(m_unnamed + 1);  // now and then a group that does not exist (yet)
    switch (m_r.Below(4)) {
      case 0: return u"\\k<" + Number(n) + u">";
      case 1: return m_names.empty() ? u"\\" + Number(n) : u"\\k<" + m_r.Pick(m_names) + u">";
      default: return u"\\" + Number(n);
    }
  }

  std::u16string Group(int depth, bool aside) {
    static const std::vector<std::u16string> kOptions = {u"i", u"-i", u"s", u"m", u"s-i", u"i-s", u"x"};
    int kind = m_r.Below(m_features.references ? 14 : 11);
    std::u16string open, close = u")";
    bool nowAside = aside;
    int number = 0;
    switch (kind) {
      case 0: case 1: case 2:
        number = ++m_unnamed;
        open = u"(";
        break;
      case 3: case 4: open = u"(?:"; break;
      case 5: open = u"(?" + m_r.Pick(kOptions) + u":"; break;
      case 6: {
        std::u16string name = u"n" + Number(static_cast<int>(m_names.size()) + 1);
        m_names.push_back(name);
        open = u"(?<" + name + u">";
        break;
      }
      case 7: open = u"(?>"; break;
      case 8:
        open = m_r.Chance(50) ? u"(?=" : u"(?!";
        nowAside = true;
        break;
      case 9:
        open = m_r.Chance(50) ? u"(?<=" : u"(?<!";
        nowAside = true;
        break;
      case 10: open = u"(?" + m_r.Pick(kOptions) + u":"; break;
      case 11: {  // a condition on a group, by number or name
        std::u16string cond = m_names.empty() || m_r.Chance(60) ? Number(1 + m_r.Below(m_unnamed + 1)) : m_r.Pick(m_names);
        return u"(?(" + cond + u")" + Sequence(depth - 1, aside) + u"|" + Sequence(depth - 1, aside) + u")";
      }
      case 12:
        if (!m_names.empty()) {
          open = u"(?<-" + m_r.Pick(m_names) + u">";
          break;
        }
        open = u"(";
        number = ++m_unnamed;
        break;
      default: {  // a balancing group by number
        open = u"(?<x-" + Number(1 + m_r.Below(m_unnamed + 1)) + u">";
        break;
      }
    }
    std::u16string body = Alternation(depth - 1, nowAside);
    // A group recursion may call: one closed before the call, outside any look-around. (A call
    // into a group that a look-around compiles in the other direction is an engine fault of
    // its own, reported apart; it would only hide the rewrites' faults here.)
    if (number > 0 && !nowAside) m_closed.push_back(number);
    return open + body + close;
  }

  CRandom& m_r;
  int m_flags;
  Features m_features;
  int m_unnamed = 0;
  std::vector<int> m_closed;
  std::vector<std::u16string> m_names;
};

// Subjects over the patterns' alphabet.
inline std::u16string RandomSubject(CRandom& r) {
  static const std::vector<char16_t> kChars = {u'a', u'b', u'A', u'B', u'.', u' ', u'#', u'\n', u')', u'a', u'b'};
  std::u16string s;
  for (int n = r.Below(13); n > 0; --n) s += r.Pick(kChars);
  return s;
}

}  // namespace fennic_props

#endif
