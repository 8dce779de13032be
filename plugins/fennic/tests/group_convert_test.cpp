// Group conversions driven through the exported API: examples, and the property that turning
// every non-capturing group into a capturing one (and back) leaves every match span unchanged.
#include <gtest/gtest.h>

#include <random>

#include "plugins/fennic/tests/plugin_harness.h"

namespace fennic_test {
namespace {

std::u16string Convert(const std::u16string& pattern, int row, bool* enabled = nullptr) {
  Session s(pattern);
  bool on = s.Enabled(row);
  if (enabled) *enabled = on;
  s.Send(row, 3);
  return s.Rewritten();
}

TEST(GroupConvert, Examples) {
  struct Row {
    const char* name;
    int row;
    const char16_t* in;
    const char16_t* out;
  };
  static const Row rows[] = {
      {"to capture", ROW_TO_CAPTURE, u"(?:ab)|(?:c)", u"(ab)|(c)"},
      {"nested, inner first", ROW_TO_CAPTURE, u"(?:a(?:b)c)d", u"(a(b)c)d"},
      {"to noncapture", ROW_TO_NONCAPTURE, u"(a(b))c", u"(?:a(?:b))c"},
      {"named group left alone", ROW_TO_NONCAPTURE, u"(?<n>x)(y)", u"(?<n>x)(?:y)"},
      {"quantified groups", ROW_TO_CAPTURE, u"(?:ab)+(?:c|d)*?", u"(ab)+(c|d)*?"},
      // The host's tree gives an empty group an empty content element, so it stays a group.
      {"empty group", ROW_TO_CAPTURE, u"a(?:)*b", u"a()*b"},
      {"empty capture group", ROW_TO_NONCAPTURE, u"a()?b", u"a(?:)?b"},
      {"groups in an alternation", ROW_TO_NONCAPTURE, u"x|(y|(z))", u"x|(?:y|(?:z))"},
  };
  for (const Row& r : rows) {
    bool enabled = false;
    EXPECT_EQ(std::u16string(r.out), Convert(r.in, r.row, &enabled)) << r.name;
    EXPECT_TRUE(enabled) << r.name;
  }
}

// Successive match spans in the host's build, with the same options before and after.
std::vector<std::pair<int, int>> SpansOf(const std::u16string& pattern, int flags, const std::u16string& subject);

// Conversions that would change what the pattern matches convert differently or not at all.
TEST(GroupConvert, KeepWhatThePatternMatches) {
  struct Row {
    const char* name;
    int row;
    int flags;
    const char16_t* in;
    const char16_t* out;  // null: left as it is, and the command disabled
  };
  static const Row rows[] = {
      // Options stay with the group's content.
      {"case option", ROW_TO_CAPTURE, 0, u"(?i:ab)", u"((?i)ab)"},
      {"options set and cleared", ROW_TO_CAPTURE, IGNORECASE, u"(?s-i:a.b)", u"((?s-i)a.b)"},
      {"options reach every alternative", ROW_TO_CAPTURE, 0, u"(?i:a|b)c", u"((?i)a|b)c"},
      {"options and a plain group", ROW_TO_CAPTURE, 0, u"(?:(?m:^a)|b)", u"(((?m)^a)|b)"},
      // Balancing and named groups are no plain groups.
      {"balancing group", ROW_TO_NONCAPTURE, 0, u"(?<o>a)(?<-o>b)", nullptr},
      {"balancing group and a plain one", ROW_TO_NONCAPTURE, 0, u"(?<o>a)(?<-o>b)(c)", u"(?<o>a)(?<-o>b)(?:c)"},
      // References by number follow their groups; a group they read stays.
      {"referenced group stays", ROW_TO_NONCAPTURE, 0, u"(a)\\1", nullptr},
      {"back-reference renumbered", ROW_TO_NONCAPTURE, 0, u"(a)(b)\\2", u"(?:a)(b)\\1"},
      {"back-reference after a new group", ROW_TO_CAPTURE, 0, u"(?:x)(a)\\1", u"(x)(a)\\2"},
      {"numeric name renumbered", ROW_TO_NONCAPTURE, 0, u"(a)(b)\\k<2>\\k'2'", u"(?:a)(b)\\k<1>\\k<1>"},
      {"followed by a digit", ROW_TO_NONCAPTURE, 0, u"(a)(b)\\0020", u"(?:a)(b)\\k<1>0"},
      {"recursion renumbered", ROW_TO_NONCAPTURE, 0, u"(a)(b)(?2)", u"(?:a)(b)(?1)"},
      {"recursion keeps its group", ROW_TO_NONCAPTURE, 0, u"(a)(?1)(b)", u"(a)(?1)(?:b)"},
      {"condition renumbered", ROW_TO_CAPTURE, 0, u"(?:x)?(a)?(?( 1 )b|c)", u"(x)?(a)?(?( 2 )b|c)"},
      {"balancing by number renumbered", ROW_TO_CAPTURE, 0, u"(?:x)(a)(?<-1>b)", u"(x)(a)(?<-2>b)"},
      {"a name needs no renumbering", ROW_TO_CAPTURE, 0, u"(?:a)(?<n>b)\\k<n>", u"(a)(?<n>b)\\k<n>"},
      // A reference to a group that does not exist still reads none.
      {"missing group stays missing", ROW_TO_CAPTURE, 0, u"(?:a)(b)\\2", u"(a)(b)\\3"},
      {"missing group far away", ROW_TO_NONCAPTURE, 0, u"(a)\\9", u"(?:a)\\9"},
      // A group that would come to share a number with a numeric name: nothing changes.
      {"numeric name collision", ROW_TO_CAPTURE, 0, u"(?:a)(b)(?<2>c)\\2", nullptr},
      // A group the tree does not show still takes a number: nothing changes.
      {"hidden group", ROW_TO_NONCAPTURE, 0, u"(a){0}(b)\\2", nullptr},
      // A group that the end of the pattern cuts off stays open.
      {"unclosed group", ROW_TO_CAPTURE, 0, u"a(?i:b|c", u"a((?i)b|c"},
      {"unclosed capture", ROW_TO_NONCAPTURE, 0, u"a(b|c", u"a(?:b|c"},
      // A quantifier that opens the content (after a comment) is a literal character and stays
      // one: neither "(?" nor a repeated modifier.
      {"literal question mark", ROW_TO_CAPTURE, 0, u"(?:(?#c)?a)", u"(\\?a)"},
      {"literal brace after options", ROW_TO_CAPTURE, 0, u"(?i:(?#c){2}a)", u"((?i)\\{2}a)"},
      {"literal star, extended", ROW_TO_CAPTURE, EXTENDED, u"(?: *a)", u"(\\*a)"},
      // Quoted text inside a group is the group's content, \\Q and \\E included.
      {"quoted content", ROW_TO_CAPTURE, 0, u"(?:\\Qa)\\E)", u"(\\Qa)\\E)"},
  };
  static const char16_t* const kSubjects[] = {u"", u"ab AB aB", u"a\nb A.B aXb", u"abab xab xaab abb",
                                              u"ac bc c xb xc", u"ab0 ab00 a)", u"abc aab aa"};
  for (const Row& r : rows) {
    Session s(r.in, r.flags);
    EXPECT_EQ(r.out != nullptr, s.Enabled(r.row)) << r.name;
    s.Send(r.row, 3);
    std::u16string got = s.Rewritten();
    EXPECT_EQ(std::u16string(r.out ? r.out : r.in), got) << r.name;
    for (const char16_t* subject : kSubjects)
      EXPECT_EQ(SpansOf(r.in, r.flags, subject), SpansOf(got, r.flags, subject)) << r.name;
  }
}

// Only references in the current element's subtree are converted, but references anywhere in
// the pattern follow.
TEST(GroupConvert, ReferencesOutsideTheCurrentElementFollow) {
  Session s(u"(a)(b)\\2");
  CElement root = RootHandle(s.tree);
  ASSERT_EQ(3, root.GetChildrenCount());
  s.data->current = root.GetChild(0);
  EXPECT_TRUE(s.Enabled(ROW_TO_NONCAPTURE));
  s.Send(ROW_TO_NONCAPTURE, 3);
  EXPECT_EQ(u"(?:a)(b)\\1", s.Rewritten());
}

TEST(GroupConvert, EnableRules) {
  struct Row {
    const char16_t* pattern;
    int row;
    bool enabled;
  };
  static const Row rows[] = {
      {u"abc", ROW_TO_CAPTURE, false},    {u"abc", ROW_TO_NONCAPTURE, false},
      {u"(?:a)", ROW_TO_CAPTURE, true},   {u"(?:a)", ROW_TO_NONCAPTURE, false},
      {u"(a)", ROW_TO_NONCAPTURE, true},  {u"(?<n>a)", ROW_TO_NONCAPTURE, false},
      {u"x(?:(a))", ROW_TO_NONCAPTURE, true},
  };
  for (const Row& r : rows) {
    Session s(r.pattern);
    EXPECT_EQ(r.enabled, s.Enabled(r.row)) << std::string(r.pattern, r.pattern + std::char_traits<char16_t>::length(r.pattern));
  }
}

TEST(GroupConvert, OnlyTheCurrentElementsSubtree) {
  Session s(u"(?:a)(?:b)");
  ASSERT_EQ(2, RootHandle(s.tree).GetChildrenCount());
  s.data->current = RootHandle(s.tree).GetChild(1);
  EXPECT_TRUE(s.Enabled(ROW_TO_CAPTURE));
  s.Send(ROW_TO_CAPTURE, 3);
  EXPECT_EQ(u"(?:a)(b)", s.Rewritten());
  // No current element: nothing to convert.
  Session t(u"(?:a)");
  t.data->current = CElement();
  EXPECT_FALSE(t.Enabled(ROW_TO_CAPTURE));
  t.Send(ROW_TO_CAPTURE, 3);
  EXPECT_EQ(u"(?:a)", t.Rewritten());
}

// Random patterns of literals, dots, classes, groups of both kinds, alternations and
// quantifiers (no back-references: their numbers would change).
std::u16string RandomAlternation(std::mt19937& rng, int depth);

std::u16string RandomItem(std::mt19937& rng, int depth) {
  std::uniform_int_distribution<int> kind(0, depth > 0 ? 9 : 3);
  std::u16string item;
  switch (kind(rng)) {
    case 0: item = u"a"; break;
    case 1: item = u"b"; break;
    case 2: item = u"."; break;
    case 3: item = u"[bc]"; break;
    case 4: case 5: item = u"(?:" + RandomAlternation(rng, depth - 1) + u")"; break;
    case 6: case 7: item = u"(" + RandomAlternation(rng, depth - 1) + u")"; break;
    case 8: item = u"(?:)"; break;
    default: item = u"()"; break;
  }
  static const char16_t* const kQuantifiers[] = {u"", u"", u"", u"*", u"+", u"?", u"{1,2}", u"*?", u"??"};
  std::uniform_int_distribution<int> q(0, 8);
  return item + kQuantifiers[q(rng)];
}

std::u16string RandomAlternation(std::mt19937& rng, int depth) {
  std::uniform_int_distribution<int> items(1, 3), alternatives(1, 3);
  std::u16string s;
  for (int a = alternatives(rng); a > 0; --a) {
    if (!s.empty()) s += u'|';
    for (int i = items(rng); i > 0; --i) s += RandomItem(rng, depth);
  }
  return s;
}

struct Compiled {
  explicit Compiled(const std::u16string& pattern) : text(U16(pattern)), re(text.data(), static_cast<int>(text.size()), 0) {}
  std::vector<unsigned short> text;
  HostRegexp re;
};

std::vector<std::pair<int, int>> SpansOf(const std::u16string& pattern, int flags, const std::u16string& subject) {
  std::vector<unsigned short> p = U16(pattern), t = U16(subject);
  HostRegexp re(p.data(), static_cast<int>(p.size()), flags);
  std::vector<std::pair<int, int>> spans;
  HostContext ctx;
  if (!re.PrepareMatch(t.data(), static_cast<int>(t.size()), -1, &ctx)) return spans;
  for (size_t guard = 0; guard <= t.size() + 1; ++guard) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    spans.push_back(std::make_pair(m.GetStart(), m.GetEnd()));
  }
  return spans;
}

// Every successive match span of `c` over `subject`.
std::vector<std::pair<int, int>> Spans(const Compiled& c, const std::u16string& subject) {
  std::vector<unsigned short> t = U16(subject);
  std::vector<std::pair<int, int>> spans;
  HostContext ctx;
  if (!c.re.PrepareMatch(t.data(), static_cast<int>(t.size()), 0, &ctx)) return spans;
  for (;;) {
    MatchResult m = c.re.Match(&ctx);
    if (!m.IsMatched()) break;
    spans.push_back(std::make_pair(m.GetStart(), m.GetEnd()));
  }
  return spans;
}

std::string Show(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(GroupConvert, ConversionsKeepMatchSpans) {
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> len(0, 7), chr(0, 2);
  int converted = 0;
  for (int round = 0; round < 300; ++round) {
    std::u16string pattern = RandomAlternation(rng, 2);
    std::u16string captured = Convert(pattern, ROW_TO_CAPTURE);
    std::u16string back = Convert(captured, ROW_TO_NONCAPTURE);
    ASSERT_EQ(std::u16string::npos, captured.find(u"(?:")) << Show(pattern) << " -> " << Show(captured);
    if (captured != pattern) ++converted;
    Compiled original(pattern), capturing(captured), noncapturing(back);
    for (int k = 0; k < 25; ++k) {
      std::u16string subject;
      for (int n = len(rng); n > 0; --n) subject += static_cast<char16_t>(u'a' + chr(rng));
      auto want = Spans(original, subject);
      ASSERT_EQ(want, Spans(capturing, subject)) << Show(pattern) << " -> " << Show(captured) << " on " << Show(subject);
      ASSERT_EQ(want, Spans(noncapturing, subject)) << Show(pattern) << " -> " << Show(back) << " on " << Show(subject);
    }
  }
  EXPECT_GT(converted, 80);  // the generator does produce groups to convert
}

}  // namespace
}  // namespace fennic_test
