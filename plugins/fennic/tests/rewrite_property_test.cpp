// Property tests of the rewrites that fennic's commands make to the pattern, driven through the
// plugin API as korvane drives them: on random patterns, options and subjects, the rewritten
// pattern finds the same successive matches (start and end) as the original, in the host's
// build of the engine (searches cut off after a budget of steps are not compared).
//   - group conversions, both ways, with the whole pattern or a random element as the current
//     one (group numbers may change, matches may not);
//   - the alternation optimizer, on alternations of random strings written plainly, escaped and
//     quoted, standing alone or inside a pattern, with every option.
// CTest runs a fixed seed; scripts/fennic_props runs a longer one (--seed=S --count=N).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "plugins/fennic/tests/plugin_harness.h"
#include "plugins/fennic/tests/property_tally.h"
#include "plugins/fennic/tests/random_patterns.h"

namespace fennic_test {
namespace {

using fennic_props::CRandom;

using fennic_props::Spans;
using fennic_props::Show;
using fennic_props::Tally;

std::vector<CElement> AllElements(const CElement& root) {
  std::vector<CElement> all, stack{root};
  while (!stack.empty()) {
    CElement e = stack.back();
    stack.pop_back();
    all.push_back(e);
    for (int i = e.GetChildrenCount() - 1; i >= 0; --i) stack.push_back(e.GetChild(i));
  }
  return all;
}

std::u16string Convert(const std::u16string& pattern, int flags, int row, CRandom& r) {
  Session s(pattern, flags);
  if (r.Chance(35)) {
    std::vector<CElement> all = AllElements(RootHandle(s.tree));
    s.data->current = all[r.Below(static_cast<int>(all.size()))];
  }
  s.Send(row, 3);
  return s.Rewritten();
}

TEST(RewriteProperty, GroupConversionsKeepMatchSpans) {
  Tally toCapture{"to capture group"}, toNoncapture{"to noncapture group"};
  const int count = fennic_props::Options().count;
  for (int i = fennic_props::Options().first; i < count; ++i) {
    CRandom r(fennic_props::CaseSeed(i));
    int flags = fennic_props::RandomFlags(r);
    fennic_props::CPatternGen gen(r, flags, fennic_props::CPatternGen::Features());
    std::u16string pattern = gen.Pattern();
    std::vector<std::u16string> subjects;
    for (int k = 0; k < 6; ++k) subjects.push_back(fennic_props::RandomSubject(r));
    toCapture.Compare(i, pattern, flags, Convert(pattern, flags, ROW_TO_CAPTURE, r), flags, subjects);
    toNoncapture.Compare(i, pattern, flags, Convert(pattern, flags, ROW_TO_NONCAPTURE, r), flags, subjects);
  }
  EXPECT_EQ(0, toCapture.disagreements);
  EXPECT_EQ(0, toNoncapture.disagreements);
  // The generator does give the commands groups to convert.
  EXPECT_GT(toCapture.rewritten, toCapture.cases / 4);
  EXPECT_GT(toNoncapture.rewritten, toNoncapture.cases / 4);
}

// ---- the alternation optimizer ----------------------------------------------------------------

// Strings over a small alphabet with metacharacters, '#', a blank, a NUL and a letter with a
// case partner outside ASCII; many are prefixes or extensions of others.
std::vector<std::u16string> RandomStrings(CRandom& r) {
  static const std::vector<char16_t> kChars = {u'a', u'b', u'A', u'B', u'.', u'#', u' ', u'|', u'\\',
                                               u'\0', u'\u00e9', u'\u00c9', u'a', u'b'};
  std::vector<std::u16string> list;
  for (int n = 2 + r.Below(6); n > 0; --n) {
    std::u16string s;
    if (!list.empty() && r.Chance(45)) {
      s = r.Pick(list);
      if (s.size() > 1 && r.Chance(40))
        s.pop_back();
      else
        s += r.Pick(kChars);
    } else {
      for (int k = 1 + r.Below(3); k > 0; --k) s += r.Pick(kChars);
    }
    list.push_back(s);
  }
  return list;
}

// One string as a pattern may write it: each character escaped where it has to be, and from a
// random point on, quoted (always one string element).
std::u16string Written(const std::u16string& s, CRandom& r) {
  size_t quoteFrom = r.Chance(50) ? s.size() : static_cast<size_t>(r.Below(static_cast<int>(s.size()) + 1));
  std::u16string out;
  for (size_t k = 0; k < quoteFrom; ++k) {
    char16_t c = s[k];
    if (c == 0) {
      out += u"\\x00";
      continue;
    }
    if (c == u' ' || c == u'#' || c == u'.' || c == u'|' || c == u'\\') out += u'\\';
    out += c;
  }
  if (quoteFrom < s.size()) out += u"\\Q" + s.substr(quoteFrom) + u"\\E";
  return out;
}

TEST(RewriteProperty, AlternationOptimizerKeepsMatchSpans) {
  // Where the alternation stands: alone, inside a pattern, repeated, in a look-around.
  static const std::vector<std::u16string> kPlaces = {u"%",        u"(?:%)",      u"(?:%)b",    u"x(?:%)",
                                                      u"(?:%)$",   u"^(?:%)",     u"(?:%)+",    u"(?:%)\\b",
                                                      u"(?:%)a?b", u"(?<=%)b",    u"(?=%)",     u"(%)\\1",
                                                      u"(?:%)*?$", u"(?>%)",      u"b(?<!%)"};
  Tally tally{"alternation of strings"};
  int disabled = 0;
  const int count = fennic_props::Options().count;
  for (int i = fennic_props::Options().first; i < count; ++i) {
    CRandom r(fennic_props::CaseSeed(i));
    int flags = fennic_props::RandomFlags(r);
    std::vector<std::u16string> list = RandomStrings(r);
    std::u16string alternation;
    for (size_t k = 0; k < list.size(); ++k) alternation += (k ? u"|" : u"") + Written(list[k], r);
    std::u16string place = r.Pick(kPlaces), pattern;
    for (char16_t c : place) pattern += c == u'%' ? alternation : std::u16string(1, c);

    Session s(pattern, flags);
    CElement target;
    for (const CElement& e : AllElements(RootHandle(s.tree))) {
      if (e.GetElementType() != ZEL_ALTERNATIVE) continue;
      target = e;
      break;
    }
    s.data->current = target;
    if (!s.Enabled(ROW_ALTERNATIVE)) {
      ++disabled;
      continue;
    }
    s.Send(ROW_ALTERNATIVE, 3);
    // Subjects made of the strings (in either case) and a few other characters.
    std::vector<std::u16string> subjects;
    for (int k = 0; k < 6; ++k) {
      std::u16string subject;
      for (int n = r.Below(5); n > 0; --n) {
        if (r.Chance(70)) {
          std::u16string piece = r.Pick(list);
          if (r.Chance(30))
            for (char16_t& c : piece) c = c == u'a' ? u'A' : c == u'B' ? u'b' : c == u'\u00e9' ? u'\u00c9' : c;
          subject += piece;
        } else {
          subject += r.Pick(std::vector<char16_t>{u'a', u'b', u'x', u' '});
        }
      }
      subjects.push_back(subject);
    }
    tally.Compare(i, pattern, flags, s.Rewritten(), flags, subjects);
  }
  EXPECT_EQ(0, tally.disagreements);
  // Every generated alternation is one of strings: the command takes each.
  EXPECT_EQ(0, disabled);
}

}  // namespace
}  // namespace fennic_test
