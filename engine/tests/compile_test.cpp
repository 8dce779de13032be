// Compiler tests: a pattern and flags in, a dump of the element graph out (engine/tarno/dump.h),
// in every build and character width. Rows are grouped by what they pin.
#include <gtest/gtest.h>

#include <string>

#include "engine/tarno.h"
#include "engine/tarno/dump.h"
#include "engine/tests/builds.h"

namespace tarno_test {
namespace {

struct DumpCase {
  const char* pattern;
  int flags;
  const char* plain;  // expected dump of the plain build
  const char* host;   // expected dump of the host build; null when equal to `plain`
};

void CheckDumps(const DumpCase* rows, size_t n, int options = 0) {
  for (size_t i = 0; i < n; ++i) {
    const DumpCase& c = rows[i];
    for (const Engine* e : AllEngines()) {
      if (e->IsHost() && e->HasFastPaths()) {
        // The untraced host build is the traced one with each group wrapper's content linked
        // in the wrapper's place (the wrapper stays in the pool only).
        const Engine& traced = e->IsWide() ? Host16() : Host8();
        EXPECT_EQ(traced.Dump(U(c.pattern), c.flags, options | DUMP_THROUGH_WRAPPERS),
                  e->Dump(U(c.pattern), c.flags, options))
            << e->Name() << " pattern /" << c.pattern << "/ flags " << c.flags;
        continue;
      }
      const char* want = (e->IsHost() && c.host) ? c.host : c.plain;
      EXPECT_EQ(want, e->Dump(U(c.pattern), c.flags, options))
          << e->Name() << " pattern /" << c.pattern << "/ flags " << c.flags;
    }
  }
}
#define CHECK_DUMPS(rows) CheckDumps(rows, sizeof(rows) / sizeof(rows[0]))

TEST(Compile, LiteralsAndQuantifiers) {
  static const DumpCase rows[] = {
      {"abc*", 0, "seq(\"ab\" {0,inf}(\"c\"))", nullptr},
      {"(abc)*", 0, "{0,inf}(seq((1 \"abc\" 1)))", nullptr},
      {"x*", 0, "{0,inf}(\"x\")", nullptr},
      {"x+", 0, "{1,inf}(\"x\")", nullptr},
      {"x?", 0, "{0,1}(\"x\")", nullptr},
      {"x{2,5}?", 0, "{2,5}?(\"x\")", nullptr},
      {"x{2,}", 0, "{2,inf}(\"x\")", nullptr},
      {"x{ 2 , 3 }", 0, "{2,3}(\"x\")", nullptr},
      {"x*?", 0, "{0,inf}?(\"x\")", nullptr},
      {"x?+", 0, "{0,1}+(\"x\")", nullptr},
      {"x++", 0, "{1,inf}+(\"x\")", nullptr},
      // {n} is a fixed repeat; a ? or + after it is consumed and changes nothing.
      {"a{3}", 0, "{3}(\"a\")", nullptr},
      {"a{3}?", 0, "{3}(\"a\")", nullptr},
      {"a{3}+", 0, "{3}(\"a\")", nullptr},
      // A maximum below the minimum is raised to it.
      {"x{5,2}", 0, "{5}(\"x\")", nullptr},
      // At most six digits make a number; the rest inside the braces is ignored.
      {"a{1234567}", 0, "{123456}(\"a\")", nullptr},
      // A second quantifier is a literal character, and so is one with nothing to repeat.
      {"a**", 0, "seq({0,inf}(\"a\") \"*\")", nullptr},
      {"*a", 0, "seq(\"*\" \"a\")", nullptr},
      {"a|+", 0, "alt(\"a\"|\"+\")", nullptr},
      {"(?:a)}", 0, "seq(\"a\" \"}\")", "seq(nc(\"a\") \"}\")"},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, MaximumZeroGivesTheEmptyElement) {
  static const DumpCase rows[] = {
      {"a{,3}", 0, "empty", nullptr},
      {"a{}", 0, "empty", nullptr},
      {"a{x}", 0, "empty", nullptr},
      {"a{0}", 0, "empty", nullptr},
      {"a{0,0}b", 0, "seq(empty \"b\")", nullptr},
      {"a{0,}", 0, "{0,inf}(\"a\")", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, Escapes) {
  static const DumpCase rows[] = {
      {"\\x41\\u0041\\x{41}", 0, "\"AAA\"", nullptr},
      {"\\x4G", 0, "\"\\x04G\"", nullptr},
      {"\\xZ\\u", 0, "\"xZu\"", nullptr},
      {"\\x{41zz}B", 0, "\"AB\"", nullptr},
      {"\\t\\n\\r\\f\\v\\a\\e", 0, "\"\\x09\\x0a\\x0d\\x0c\\x0b\\x07\\x1b\"", nullptr},
      {"\\.\\(\\[\\{\\q", 0, "\".([{q\"", nullptr},
      {"\\\\", 0, "\"\\\\\"", nullptr},
      {"a\\", 0, "\"a\\\\\"", nullptr},
      {"\\Qa.b\\E", 0, "\"a.b\"", nullptr},
      {"\\La.B\\E", 0, "\"a.b\"", nullptr},
      {"\\Ua.b", 0, "\"A.B\"", nullptr},
      {"\\Qa(b", 0, "\"a(b\"", nullptr},
      {"\\Ea\\E", 0, "\"a\"", nullptr},
      {"(?#comment)a(?#x", 0, "\"a\"", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, EscapeValuesAreCutToTheCharacterWidth) {
  EXPECT_EQ("\"\\x00\"", Plain8().Dump(U("\\x{1F600}"), 0));
  EXPECT_EQ("\"\\uf600\"", Plain16().Dump(U("\\x{1F600}"), 0));
  EXPECT_EQ("\"\\u1234\"", Host16().Dump(U("\\u1234"), 0));
  EXPECT_EQ("\"4\"", Host8().Dump(U("\\u1234"), 0));
}

TEST(Compile, Groups) {
  static const DumpCase rows[] = {
      {"(a)(?<x>b)(c)", 0, "seq(seq((1 \"a\" 1)) seq((3 \"b\" 3)) seq((2 \"c\" 2)))", nullptr},
      {"(?'x'a)(?P<y>b)", 0, "seq(seq((1 \"a\" 1)) seq((2 \"b\" 2)))", nullptr},
      {"(?<n>a)|(?<N>b)", 0, "alt(seq((1 \"a\" 1))|seq((1 \"b\" 1)))", nullptr},
      {"(?<2>a)(b)", 0, "seq(seq((2 \"a\" 2)) seq((1 \"b\" 1)))", nullptr},
      // Nested named groups count from their opening brackets, outermost first.
      {"(?<a>(?<b>x))", 0, "seq((1 seq((2 \"x\" 2)) 1))", nullptr},
      {"(?<a>(?<b>(?<c>x))y)(?<d>z)", 0,
       "seq(seq((1 seq(seq((2 seq((3 \"x\" 3)) 2)) \"y\") 1)) seq((4 \"z\" 4)))", nullptr},
      {"(?<a>(b)(?<c>x))", 0, "seq((2 seq(seq((1 \"b\" 1)) seq((3 \"x\" 3))) 2))", nullptr},
      {"(?:a|b)", 0, "alt(\"a\"|\"b\")", "nc(alt(\"a\"|\"b\"))"},
      {"( ?:a)", 0, "seq((1 seq({0,1}(\" \") \":a\") 1))", nullptr},
      {"(? :a)", 0, "\"a\"", "nc(\"a\")"},
      {"(?=a)", 0, "(?=\"a\")", nullptr},
      {"(?!a)", 0, "(?!\"a\")", nullptr},
      {"(?<=ab)c", 0, "seq((?=\"ab\"<) \"c\")", nullptr},
      {"(?<!a)", 0, "(?!\"a\"<)", nullptr},
      {"(?<=a\\d)", 0, "(?=seq<(\"a\"< [0-9]<))", nullptr},
      {"(?=(a))a", 0, "seq((?=seq((1 \"a\" 1))) \"a\")", nullptr},
      {"(?>a+)a", 0, "seq((?>{1,inf}(\"a\")) \"a\")", nullptr},
      {"(a)(?1)", 0, "seq(seq((1 \"a\" 1)) call(1))", nullptr},
      {"(?R)", 0, "call(0)", nullptr},
      {"(?R0)x", 0, "seq(call(0) \"x\")", nullptr},
      {"(?R2)", 0, "call(2,none)", nullptr},
      {"(?2)", 0, "call(2,none)", nullptr},
      {"(?R<x>)(?<x>a)", 0, "seq(call(1) seq((1 \"a\" 1)))", nullptr},
      {"(?R'1')(a)", 0, "seq(call(1) seq((1 \"a\" 1)))", nullptr},
      {"(?R<y>)", 0, "call(-3,none)", nullptr},
      // An empty name names no group: never a non-capture wrapper without content.
      {"(?R<>)a", 0, "seq(call(-3,none) \"a\")", nullptr},
      {"(?R'')", 0, "call(-3,none)", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, ModeModifiers) {
  static const DumpCase rows[] = {
      {"(?i)a", 0, "seq(empty \"a\"i)", "seq(mod \"a\"i)"},
      // A modifier reaches the following branches of the same alternative ...
      {"a(?i)b|c", 0, "alt(seq(\"a\" empty \"b\"i)|\"c\"i)", "alt(seq(\"a\" mod \"b\"i)|\"c\"i)"},
      // ... but not beyond its own group.
      {"(?i:b)c", 0, "seq(\"b\"i \"c\")", "seq(nc(\"b\"i) \"c\")"},
      {"((?i)a)b", 0, "seq(seq((1 seq(empty \"a\"i) 1)) \"b\")", "seq(seq((1 seq(mod \"a\"i) 1)) \"b\")"},
      {"(?i)a(?-i)b", 0, "seq(empty \"a\"i empty \"b\")", "seq(mod \"a\"i mod \"b\")"},
      {"(?m)^(?-m)^", 0, "seq(empty ^m empty \\A)", "seq(mod ^m mod \\A)"},
      {"(?s).", 0, "seq(empty [^])", "seq(mod [^])"},
      {"(?g)\\G", 0, "seq(empty \\G)", "seq(mod \\G)"},
      {"(?x) a", 0, "seq(empty \" a\")", "seq(mod \" a\")"},  // EXTENDED cannot be switched on
      {"(?i)a", IGNORECASE, "seq(empty \"a\"i)", "seq(mod \"a\"i)"},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, Conditionals) {
  static const DumpCase rows[] = {
      {"(?(1)a|b|c)", 0, "cond(1 ? \"a\" | alt(\"b\"|\"c\"))", nullptr},
      {"(?(1)a)", 0, "cond(1 ? \"a\")", nullptr},
      {"(?( 2 )a)", 0, "cond(2 ? \"a\")", nullptr},
      {"(?(?=x)a)", 0, "cond((?=\"x\") ? \"a\")", nullptr},
      {"(?(?<!x)a|b)", 0, "cond((?!\"x\"<) ? \"a\" | \"b\")", nullptr},
      // A name no group has is tested as a look-ahead of the name's text.
      {"(?(foo)a|b)", 0, "cond((?=\"foo\") ? \"a\" | \"b\")", nullptr},
      {"(?<foo>x)(?(foo)a|b)", 0, "seq(seq((1 \"x\" 1)) cond(1 ? \"a\" | \"b\"))", nullptr},
      {"(?(FOO)a)(?<foo>x)", 0, "seq(cond(1 ? \"a\") seq((1 \"x\" 1)))", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, BackReferencesAndBoundaries) {
  static const DumpCase rows[] = {
      {"\\1(a)\\k<2>", 0, "seq(\\1 seq((1 \"a\" 1)) \\2)", nullptr},
      {"\\k<n>(?<n>a)", 0, "seq(\\1 seq((1 \"a\" 1)))", nullptr},
      {"\\k'N'\\g<n>(?<n>a)", 0, "seq(\\1 \\1 seq((1 \"a\" 1)))", nullptr},
      {"\\k<zz>", 0, "\\-3", nullptr},
      {"\\k<7>", 0, "\\7", nullptr},
      {"\\k", 0, "\\0", nullptr},
      {"\\g12", 0, "\\12", nullptr},
      {"\\1234", 0, "seq(\\123 \"4\")", nullptr},
      {"\\1", IGNORECASE | RIGHTTOLEFT, "\\1i<", nullptr},
      {"\\G", 0, "empty", nullptr},
      {"\\G", GLOBAL, "\\G", nullptr},
      {"^$", 0, "seq(\\A \\z)", nullptr},
      {"^$", MULTILINE, "seq(^m $m)", nullptr},
      {"\\b\\B\\A\\z\\Z", 0, "seq(\\b \\B \\A \\z \\Z)", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, Alternatives) {
  static const DumpCase rows[] = {
      {"", 0, "empty", nullptr},
      {"a|", 0, "alt(\"a\"|empty)", nullptr},
      {"|a", 0, "alt(empty|\"a\")", nullptr},
      {"a||b", 0, "alt(\"a\"|empty|\"b\")", nullptr},
      // A stray ')' ends the pattern.
      {"a)b", 0, "\"a\"", nullptr},
      {")", 0, "empty", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, CharacterClasses) {
  static const DumpCase rows[] = {
      {"[a-z_]", 0, "[a-z_]", nullptr},
      {"[^a]", 0, "[^a]", nullptr},
      {"[^]", 0, "[^]", nullptr},
      {"[]", 0, "[]", nullptr},
      {"[]a]", 0, "seq([] \"a]\")", nullptr},
      {"[a-]", 0, "[a\\-]", nullptr},
      {"[-a]", 0, "[\\-a]", nullptr},
      {"[z-a]", 0, "[z-a]", nullptr},
      // A range needs a plain character before the '-'.
      {"[\\d-z]", 0, "[\\-z{[0-9]}]", nullptr},
      {"[a-\\d]", 0, "[a\\-{[0-9]}]", nullptr},
      {"[\\x41-\\x43]", 0, "[A-C]", nullptr},
      {"[.$()*+?|{}]", 0, "[.$()*+?|\\{\\}]", nullptr},
      {"[\\b\\G]", 0, "[\\x08]", nullptr},
      {"[a^]", 0, "[a\\^]", nullptr},
      {"[\\w\\S]", 0, "[{[A-Za-z0-9_]}{[^\\x20\\x09\\x0d\\x0a]}]", nullptr},
      {".", 0, "[^\\x0a]", nullptr},
      {".", SINGLELINE, "[^]", nullptr},
      {"\\w\\W\\d\\D", 0, "seq([A-Za-z0-9_] [^A-Za-z0-9_] [0-9] [^0-9])", nullptr},
      {"\\s", 0, "[\\x20\\x09\\x0d\\x0a]", nullptr},
      // The right-to-left \s also holds form feed and vertical tab.
      {"\\s", RIGHTTOLEFT, "[\\x20\\x09\\x0d\\x0a\\x0c\\x0b]<", nullptr},
      {"\\d", RIGHTTOLEFT, "[0-9]<", nullptr},
      {"[ab", 0, "[ab]!-102", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, PosixClasses) {
  static const DumpCase rows[] = {
      {"[:alpha:]", 0, "posix(alpha)", nullptr},
      {"[:^digit:]x", 0, "seq(posix(^digit) \"x\")", nullptr},
      {"[:xdigit:]", 0, "posix(xdigit)", nullptr},
      {"[:blank:]", RIGHTTOLEFT, "posix(blank)<", nullptr},
      {"[[:alpha:][:^digit:]]", 0, "[{posix(alpha)}{posix(^digit)}]", nullptr},
      // An unknown name is no POSIX class: an ordinary class from the token after the '['.
      {"[:foo:]", 0, "[:foo:]", nullptr},
      {"[[:foo:]]", 0, "[{[:foo:]}]", nullptr},
      {"[:^foo:]", 0, "[:\\^foo:]", nullptr},
      {"[:alpha:x]", 0, "[:alpha:x]", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, IgnoreCaseWidensClasses) {
  static const DumpCase rows[] = {
      {"[a-c]", IGNORECASE, "[a-cA-C]", nullptr},
      {"[Ab]", IGNORECASE, "[AbaB]", nullptr},
      {"[aA]", IGNORECASE, "[aA]", nullptr},
      {"[X-b]", IGNORECASE, "[X-bA-Bx-z]", nullptr},
      // Embedded classes are not widened.
      {"[\\d[:lower:]]", IGNORECASE, "[{[0-9]}{posix(lower)}]", nullptr},
      {"a", IGNORECASE, "\"a\"i", nullptr},
  };
  CHECK_DUMPS(rows);
  // 16-bit text folds beyond ASCII; 8-bit text (which may be UTF-8 bytes) does not.
  EXPECT_EQ("[\\xe0\\xc0]", Host16().Dump(U("[à]"), IGNORECASE));
  EXPECT_EQ("[\\u03b1-\\u03b3\\u0391-\\u0393]", Plain16().Dump(U("[α-γ]"), IGNORECASE));
  EXPECT_EQ("[\\xe0]", Plain8().Dump(std::u16string(1, 0xE0).insert(0, u"[") + u"]", IGNORECASE));
}

TEST(Compile, Extended) {
  static const DumpCase rows[] = {
      {"a b # c\n d", EXTENDED, "\"abd\"", nullptr},
      {"[a b]", EXTENDED, "[ab]", nullptr},
      {"a\\ b", EXTENDED, "\"a b\"", nullptr},
      {"a *", EXTENDED, "{0,inf}(\"a\")", nullptr},
      {"a b", 0, "\"a b\"", nullptr},
      {"a#b", 0, "\"a#b\"", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, RightToLeft) {
  static const DumpCase rows[] = {
      {"abc", RIGHTTOLEFT, "\"abc\"<", nullptr},
      {"ab*", RIGHTTOLEFT, "seq<(\"a\"< {0,inf}(\"b\"<))", nullptr},
      // The textual left bracket closes the capture when matching right to left.
      {"(a)", RIGHTTOLEFT, "seq<(1) \"a\"< (1)", nullptr},
      // A look-ahead is compiled left to right whatever the flags.
      {"(?=ab)", RIGHTTOLEFT, "(?=\"ab\")", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, BalancingGroupsInTheHostBuild) {
  static const DumpCase rows[] = {
      {"(?<m>x)(?<n-m>a)", 0, "seq(seq((1 \"x\" 1)) seq((2 \"a\" 2)))",
       "seq(seq((1 \"x\" 1)) seq((2-1 \"a\" 2-1)))"},
      {"(?<n-m>a)", 0, "seq((1 \"a\" 1))", "seq((1--3 \"a\" 1--3))"},
      {"(?<-m>a)(?<m>b)", 0, "seq(seq((1 \"a\" 1)) seq((2 \"b\" 2)))",
       "seq(seq((1-2 \"a\" 1-2)) seq((2 \"b\" 2)))"},
      {"(a)(?<b-1>c)", 0, "seq(seq((1 \"a\" 1)) seq((2 \"c\" 2)))", "seq(seq((1 \"a\" 1)) seq((2-1 \"c\" 2-1)))"},
  };
  CHECK_DUMPS(rows);
}

// Every row of the compiler's failure readings, with the error code that the element of a
// construct cut off by the end of the pattern carries.
TEST(Compile, CutOffConstructsCarryErrors) {
  static const DumpCase rows[] = {
      {"a{2", 0, "{2}(\"a\")!-101", nullptr},
      {"a{", 0, "empty!-101", nullptr},
      {"[ab", 0, "[ab]!-102", nullptr},
      {"[:alpha:", 0, "posix(alpha)!-102", nullptr},
      {"[:alp", 0, "[:alp]!-102", nullptr},
      {"(?<name", 0, "seq((1 empty 1))!-103", nullptr},
      {"(?'x", 0, "seq((1 empty 1))!-103", nullptr},
      {"(?R", 0, "call(0)!-104", nullptr},
      {"(?(1)", 0, "cond(1 ? empty)!-105", nullptr},
      {"(?1", 0, "call(1,none)!-106", nullptr},
      {"(?i", 0, "empty!-107", "mod!-107"},
      {"(a", 0, "seq((1 \"a\" 1))!-108", nullptr},
      {"(?:a", 0, "\"a\"!-108", "nc(\"a\")!-108"},
      {"(?i:a", 0, "\"a\"i!-108", "nc(\"a\"i)!-108"},
      {"(?=a", 0, "(?=\"a\")!-108", nullptr},
      {"(?(1)a", 0, "cond(1 ? \"a\")!-108", nullptr},
      {"\\k<n", 0, "\\-3!-109", nullptr},
      {"(?R<n", 0, "call(-3,none)!-110", nullptr},
      {"(?R<", 0, "call(-3,none)!-110", nullptr},
      // A construct that is complete carries no error even when others around it do.
      {"(a)(b", 0, "seq(seq((1 \"a\" 1)) seq((2 \"b\" 2))!-108)", nullptr},
  };
  CHECK_DUMPS(rows);
}

TEST(Compile, Spans) {
  static const DumpCase rows[] = {
      {"ab(c|d)*", 0,
       "seq(\"ab\"@0-2 {0,inf}(seq((1@2-3 alt(\"c\"@3-4|\"d\"@5-6)@3-6 1)@6-7)@2-7)@2-8)@0-8", nullptr},
      {"(?<n>x)", 0, "seq((1@0-5 \"x\"@5-6 1)@6-7)@0-7", nullptr},
      {"(?:x)", 0, "\"x\"@3-4", "nc(\"x\"@3-4)@0-5"},
      {"a{2,3}?", 0, "{2,3}?(\"a\"@0-1)@0-7", nullptr},
      {"[a\\d]", 0, "[a{[0-9]@2-4}]@0-5", nullptr},
  };
  CheckDumps(rows, sizeof rows / sizeof rows[0], 1);
}

// Text read from a \Q...\E (\L, \U) run: the element that takes the run's first character spans
// its \Q, the one that takes its last character spans its \E, so replacing any element's span
// never leaves half a quote in the pattern.
TEST(Compile, QuotedRunSpansCoverTheQuoting) {
  static const DumpCase rows[] = {
      {"\\Qa.b\\E|a", 0, "alt(\"a.b\"@0-7|\"a\"@8-9)@0-9", nullptr},
      {"x\\Qa.b\\Ey", 0, "\"xa.by\"@0-9", nullptr},
      {"\\La.B\\E", 0, "\"a.b\"@0-7", nullptr},
      {"\\Ua|b", 0, "\"A|B\"@0-5", nullptr},
      // A quantifier after the run takes its last character alone.
      {"\\Qab\\E*", 0, "seq(\"a\"@0-3 {0,inf}(\"b\"@3-6)@3-7)@0-7", nullptr},
      {"\\Qa\\E\\Qb\\E", 0, "\"ab\"@0-10", nullptr},
      {"(?:\\Qa)\\E)", 0, "\"a)\"@3-9", "nc(\"a)\"@3-9)@0-10"},
      {"(\\Q(\\E)", 0, "seq((1@0-1 \"(\"@1-6 1)@6-7)@0-7", nullptr},
      // An empty run gives no token, so nothing spans it; the next token starts after it.
      {"\\Q\\Ea", 0, "\"a\"@4-5", nullptr},
      {"a\\Q\\E", 0, "\"a\"@0-1", nullptr},
  };
  CheckDumps(rows, sizeof rows / sizeof rows[0], 1);
}

TEST(Compile, GroupNumbers) {
  struct Row {
    const char* pattern;
    int max;
    const char* name;
    int named;
  } rows[] = {
      {"(a)(?<x>b)(c)", 3, "x", 3},
      {"(a)(?<x>b)(c)", 3, "X", 3},
      {"(a)(?<x>b)(c)", 3, "y", -3},
      {"(?<n>a)|(?<N>b)", 1, "n", 1},
      {"(?<5>a)", 5, "5", 5},
      {"(a)(?<3>b)(?<x>c)(?<y>d)", 3, "y", 3},
      {"", 0, "", -3},
      {"(((a)))", 3, "a", -3},
      {"(?<a>(?<b>x))", 2, "a", 1},
      {"(?<a>(?<b>x))", 2, "b", 2},
      {"(?<a>(?<b>(?<a>x)))", 2, "a", 1},
  };
  for (const Row& r : rows)
    for (const Engine* e : AllEngines()) {
      EXPECT_EQ(r.max, e->MaxGroup(U(r.pattern), 0)) << e->Name() << " /" << r.pattern << "/";
      EXPECT_EQ(r.named, e->NamedGroup(U(r.pattern), 0, U(r.name))) << e->Name() << " /" << r.pattern << "/";
    }
}

TEST(Compile, StockElementsAreSharedOnlyInThePlainBuild) {
  CRegexpT<char> re("\\d\\d");
  const CListElement<char>* list = static_cast<const CListElement<char>*>(re.GetRoot());
  ASSERT_EQ(ELEMENT_LIST, list->GetKind());
  EXPECT_EQ(list->m_elements[0], list->m_elements[1]);
  // The host build gives each occurrence its own element and span.
  EXPECT_EQ("seq([0-9]@0-2 [0-9]@2-4)@0-4", Host16().Dump(U("\\d\\d"), 0, 1));
}

TEST(Compile, NullPatternHasNoRoot) {
  CRegexpT<char> re(nullptr);
  EXPECT_EQ(nullptr, re.GetRoot());
  EXPECT_FALSE(re.Match("abc").IsMatched());
  EXPECT_EQ(nullptr, re.PrepareMatch("abc"));
  int n = -1;
  EXPECT_EQ(nullptr, re.Replace("abc", 3, "x", 1, n));
  EXPECT_EQ(0, n);
}

TEST(Compile, RecompileReplacesTheGraph) {
  CRegexpT<char> re("(a)(b)");
  EXPECT_EQ(2, re.MaxGroupNumber());
  re.Compile("c");
  EXPECT_EQ(0, re.MaxGroupNumber());
  EXPECT_EQ(1, re.GetElementCount());
  EXPECT_EQ(1, re.GetGroupTableSize());
  EXPECT_TRUE(re.Match("xc").IsMatched());
}

// Patterns far beyond any written by hand compile without exhausting the stack: groups and
// classes nested deeper than the parse limit read their opening character literally.
TEST(Compile, HugePatternsCompile) {
  std::string nested(512 * 1024, '(');
  nested += 'a';
  nested += std::string(512 * 1024, ')');
  CRegexpT<char> re(nested.c_str(), static_cast<int>(nested.size()), 0);
  EXPECT_EQ(TARNO_MAX_PARSE_DEPTH, re.MaxGroupNumber());
  // The text the literal '(' characters stand for matches.
  std::string subject(512 * 1024 - TARNO_MAX_PARSE_DEPTH, '(');
  subject += 'a';
  EXPECT_TRUE(re.Match(subject.c_str()).IsMatched());

  std::string classes;
  for (int i = 0; i < 100000; ++i) classes += "[[:";
  CRegexpT<char> re2(classes.c_str(), static_cast<int>(classes.size()), 0);
  EXPECT_NE(nullptr, re2.GetRoot());

  std::string alternation;
  for (int i = 0; i < 200000; ++i) alternation += i ? "|x" : "x";
  CRegexpT<char> re3(alternation.c_str(), static_cast<int>(alternation.size()), 0);
  EXPECT_TRUE(re3.Match("yx").IsMatched());

  std::string named;
  for (int i = 0; i < 50000; ++i) named += "(?<g" + std::to_string(i % 997) + ">x)";
  CRegexpT<char> re4(named.c_str(), static_cast<int>(named.size()), 0);
  EXPECT_EQ(997, re4.MaxGroupNumber());
}

}  // namespace
}  // namespace tarno_test
