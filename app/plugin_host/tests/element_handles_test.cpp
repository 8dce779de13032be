// The plugin API's CElement handles to the document's element records: handles kept across a
// recompile, SetText, handles copied on several threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/document/pattern/tests/record_fixture.h"
#include "app/plugin_host/element_handles.h"

namespace {

using record_test::Pattern;

// type[offset,length](children), read through the handles.
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

TEST(ElementHandles, RootAndLookup) {
  Pattern p("(a|b)*x");
  EXPECT_EQ("11[0,7](9[0,6](20[0,5](1[1,3](17[1,1] 17[3,1]))) 17[6,1])", Dump(RootHandle(p.tree)));
  for (ElementRecord* r : p.tree.OffsetList()) {
    CElement h = HandleOf(p.tree, r->element);
    EXPECT_EQ(r->offset, h.GetOffset());
    EXPECT_EQ(r->type, h.GetElementType());
  }
  // No element, no record: an empty handle.
  EXPECT_EQ(ZEL_NONE, HandleOf(p.tree, nullptr).GetElementType());
  CElementTree empty;
  EXPECT_EQ(0, RootHandle(empty).GetChildrenCount());
}

TEST(ElementHandles, HandleKeptAcrossRecompile) {
  Pattern* p = new Pattern("(ab)c");
  CElement group = RootHandle(p->tree).GetChild(0);
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

TEST(ElementHandles, SetTextInTheMiddle) {
  Pattern p("ab|(cd)|ef");
  CElement root = RootHandle(p.tree);
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

TEST(ElementHandles, SetTextAtTheEnd) {
  Pattern p("ab*");
  CElement root = RootHandle(p.tree);
  CElement star = root.GetChild(1);
  const unsigned short longer[] = {'(', 'x', '|', 'y', ')'};
  star.SetText(longer, 5);
  EXPECT_EQ("a(x|y)", Text(root));
  star.SetText(longer, 1);
  EXPECT_EQ("a(", Text(root));
  EXPECT_EQ(2, root.GetLength());
}

TEST(ElementHandles, HandlesAcrossThreads) {
  Pattern p("(a|b)(c|d)(e|f)");
  CElement root = RootHandle(p.tree);
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

TEST(ElementHandles, WideAlternationFreesWithoutDeepRecursion) {
  std::string big;
  for (int i = 0; i < 100000; ++i) big += i ? "|a" : "a";
  Pattern* p = new Pattern(big.c_str());
  CElement last = RootHandle(p->tree).GetChild(99999);
  EXPECT_EQ(199998, last.GetOffset());
  delete p;
  EXPECT_EQ(0, last.GetElementType());
}

}  // namespace
