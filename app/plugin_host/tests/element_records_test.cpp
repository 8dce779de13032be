// Element records: the tree built after a compile, the lookups, clearing at recompile, SetText.
#include <gtest/gtest.h>

#include <thread>

#include "app/plugin_host/element_records.h"

namespace {

std::vector<unsigned short> U16(const char* s) {
  std::vector<unsigned short> v;
  for (; *s; ++s) v.push_back(static_cast<unsigned char>(*s));
  return v;
}

struct Pattern {
  explicit Pattern(const char* p, int flags = 0) : text(U16(p)), re(text.data(), static_cast<int>(text.size()), flags) {
    tree.Build(re, text.data(), static_cast<int>(text.size()));
  }
  std::vector<unsigned short> text;
  HostRegexp re;
  CElementTree tree;
};

// type[offset,length](children)
std::string Dump(const CElement& e) {
  std::string s = std::to_string(e.GetElementType()) + "[" + std::to_string(e.GetOffset()) + "," +
                  std::to_string(e.GetLength()) + "]";
  for (int i = 0; i < e.GetChildrenCount(); ++i) s += (i ? " " : "(") + Dump(e.GetChild(i));
  if (e.GetChildrenCount()) s += ")";
  return s;
}

std::string Text(const CElement& e) {
  const unsigned short* t;
  int n;
  e.GetText(t, n);
  std::string s;
  for (int i = 0; t && i < n; ++i) s += static_cast<char>(t[i]);
  return t ? s : "(null)";
}

TEST(ElementRecords, TreeShapes) {
  struct Row {
    const char* pattern;
    const char* tree;
  } rows[] = {
      // A whole capture group is one record with its content as the only child.
      {"(a)", "20[0,3](17[1,1])"},
      // A non-capture group and a mode modifier get records of their own.
      {"(?:ab)", "19[0,6](17[3,2])"},
      {"(?i)a", "11[0,5](21[0,4] 17[4,1])"},
      {"(?i:a)", "19[0,6](17[4,1])"},
      {"a|b|", "1[0,4](17[0,1] 17[2,1] 7[4,0])"},
      {"[a\\d]", "14[0,5](14[2,2])"},
      {"x*", "9[0,2](17[0,1])"},
      {"(?(1)a|b)", "18[0,9](17[5,1] 17[7,1])"},
      {"(?(?=x)a)", "18[0,9](2[2,5](17[5,1]) 17[7,1])"},
      {"(?R)", "6[0,4]"},
      {"(?>a)", "10[0,5](17[3,1])"},
      {"(a)(?1)", "11[0,7](20[0,3](17[1,1]) 6[3,4])"},
      {"", "7[0,0]"},
  };
  for (const Row& r : rows) {
    Pattern p(r.pattern);
    EXPECT_EQ(r.tree, Dump(p.tree.RootHandle())) << r.pattern;
  }
}

TEST(ElementRecords, LookupByElement) {
  Pattern p("(a|b)*[\\w]x(?:y)");
  for (ElementRecord* r : p.tree.OffsetList()) EXPECT_EQ(r, p.tree.Lookup(r->element));
  EXPECT_EQ(nullptr, p.tree.Lookup(nullptr));
  // An element outside the tree (a greedy's atom replaced by {0}) has no record.
  Pattern q("a{0}");
  EXPECT_EQ(nullptr, q.tree.Lookup(q.re.GetElement(0)));
}

TEST(ElementRecords, OffsetListOrder) {
  Pattern p("x*y");
  const std::vector<ElementRecord*>& list = p.tree.OffsetList();
  for (size_t i = 1; i < list.size(); ++i) {
    EXPECT_LE(list[i - 1]->offset, list[i]->offset);
    if (list[i - 1]->offset == list[i]->offset) {
      EXPECT_GE(list[i - 1]->length, list[i]->length);
    }
  }
}

TEST(ElementRecords, InnermostEnclosingRange) {
  Pattern p("(ab)c|x*y");
  auto kind = [&p](int s, int e) {
    const HostElement* el = p.tree.FindInnermost(s, e);
    if (!el) return std::string("none");
    ElementRecord* r = p.tree.Lookup(el);
    return std::to_string(r->type) + "[" + std::to_string(r->offset) + "," + std::to_string(r->length) + "]";
  };
  EXPECT_EQ("17[1,2]", kind(1, 2));    // inside the group's content
  EXPECT_EQ("20[0,4]", kind(0, 3));    // from the group's start: the group encloses it
  EXPECT_EQ("11[0,5]", kind(2, 5));    // across the group's end: the branch
  EXPECT_EQ("1[0,9]", kind(3, 7));     // across the '|': the alternative
  // Where a repeat and its first member start together, the member wins when it encloses.
  EXPECT_EQ("17[6,1]", kind(6, 7));
  EXPECT_EQ("9[6,2]", kind(6, 8));
  EXPECT_EQ("17[8,1]", kind(8, 9));
  // A range starting at or after the root's end finds nothing.
  EXPECT_EQ("none", kind(9, 9));
  EXPECT_EQ("none", kind(12, 12));
  // The empty pattern's one element encloses the empty range at 0.
  Pattern empty("");
  EXPECT_EQ(empty.re.GetRoot(), empty.tree.FindInnermost(0, 0));
}

TEST(ElementRecords, HandleKeptAcrossRecompile) {
  Pattern* p = new Pattern("(ab)c");
  CElement group = p->tree.RootHandle().GetChild(0);
  CElement content = group.GetChild(0);
  EXPECT_EQ(20, group.GetElementType());
  p->tree.Build(p->re, p->text.data(), static_cast<int>(p->text.size()));
  EXPECT_EQ(0, group.GetElementType());
  EXPECT_EQ(0, group.GetChildrenCount());
  EXPECT_EQ("(null)", Text(group));
  EXPECT_EQ(0, group.GetOffset());   // offset and length keep their last values
  EXPECT_EQ(4, group.GetLength());
  EXPECT_EQ(1, content.GetOffset());
  delete p;  // the tree goes; the handles stay safe
  CElement copy = content;
  copy = group;
  EXPECT_EQ(0, copy.GetElementType());
  group.SetText(nullptr, 0);
}

TEST(ElementRecords, SetTextInTheMiddle) {
  Pattern p("ab|(cd)|ef");
  CElement root = p.tree.RootHandle();
  CElement group = root.GetChild(1), last = root.GetChild(2), inner = group.GetChild(0);
  const unsigned short xyz[] = {'x', 'y', 'z', 'w', 'v'};
  group.SetText(xyz, 5);
  EXPECT_EQ("ab|xyzwv|ef", Text(root));
  EXPECT_EQ(0, group.GetChildrenCount());
  EXPECT_EQ(0, inner.GetElementType());
  EXPECT_EQ(5, group.GetLength());
  EXPECT_EQ(9, last.GetOffset());
  EXPECT_EQ(11, root.GetLength());
  EXPECT_EQ("ef", Text(last));
  EXPECT_TRUE(p.tree.IsModified());
  // A second call sees the offsets the first one left.
  const unsigned short q[] = {'q'};
  last.SetText(q, 1);
  EXPECT_EQ("ab|xyzwv|q", Text(root));
  root.GetChild(0).SetText(q, 0);  // length 0 removes the text
  EXPECT_EQ("|xyzwv|q", Text(root));
  EXPECT_EQ(1, group.GetOffset());
  EXPECT_EQ("xyzwv", Text(group));
}

TEST(ElementRecords, SetTextAtTheEnd) {
  Pattern p("ab*");
  CElement root = p.tree.RootHandle();
  CElement star = root.GetChild(1);
  const unsigned short longer[] = {'(', 'x', '|', 'y', ')'};
  star.SetText(longer, 5);
  EXPECT_EQ("a(x|y)", Text(root));
  star.SetText(longer, 1);
  EXPECT_EQ("a(", Text(root));
  EXPECT_EQ(2, root.GetLength());
}

TEST(ElementRecords, HandlesAcrossThreads) {
  Pattern p("(a|b)(c|d)(e|f)");
  CElement root = p.tree.RootHandle();
  auto work = [&root]() {
    for (int i = 0; i < 20000; ++i) {
      CElement a = root.GetChild(i % 3);
      CElement b = a.GetChild(0);
      CElement c = b;
      c = a;
    }
  };
  std::thread t1(work), t2(work);
  t1.join();
  t2.join();
  EXPECT_EQ(3, root.GetChildrenCount());
  EXPECT_EQ(1, root.GetChild(0).GetChild(0).GetElementType());
}

TEST(ElementRecords, WideAlternationFreesWithoutDeepRecursion) {
  std::string big;
  for (int i = 0; i < 100000; ++i) big += i ? "|a" : "a";
  Pattern* p = new Pattern(big.c_str());
  CElement last = p->tree.RootHandle().GetChild(99999);
  EXPECT_EQ(199998, last.GetOffset());
  delete p;
  EXPECT_EQ(0, last.GetElementType());
}

}  // namespace
