// Element records: the tree built after a compile, the lookups, clearing at recompile. The
// plugin API's handles to them and SetText are tested beside the API (element_handles_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "app/document/pattern/element_records.h"
#include "app/document/pattern/tests/record_fixture.h"

namespace {

using record_test::Pattern;

// type[offset,length](children); also checks that each child points back at its parent and that
// the sibling links follow the children's order.
std::string Dump(const ElementRecord* r) {
  std::string s = std::to_string(r->type) + "[" + std::to_string(r->offset) + "," + std::to_string(r->length) + "]";
  for (size_t i = 0; i < r->children.size(); ++i) {
    const ElementRecord* c = r->children[i];
    if (c->parent != r) s += "!parent";
    if (c->nextSibling != (i + 1 < r->children.size() ? r->children[i + 1] : nullptr)) s += "!sibling";
    s += (i ? " " : "(") + Dump(c);
  }
  if (!r->children.empty()) s += ")";
  return s;
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
    EXPECT_EQ(r.tree, Dump(p.tree.Root())) << r.pattern;
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

TEST(ElementRecords, GroupNames) {
  Pattern p("(?<word>a)(b)");
  ASSERT_EQ(2u, p.tree.Root()->children.size());
  const ElementRecord* named = p.tree.Root()->children[0];
  EXPECT_EQ(ELEMENT_CAPTURE_GROUP, named->type);
  EXPECT_EQ(std::vector<unsigned short>({'w', 'o', 'r', 'd', 0}), named->name);
  EXPECT_EQ(std::vector<unsigned short>({0}), p.tree.Root()->children[1]->name);
}

TEST(ElementRecords, RecordHeldAcrossRecompileIsCleared) {
  Pattern* p = new Pattern("(ab)c");
  ElementRecord* group = p->tree.Root()->children[0];
  ElementRecord* content = group->children[0];
  AddRefRecord(group);
  AddRefRecord(content);
  p->tree.Build(p->re, p->text.data(), static_cast<int>(p->text.size()));
  // A held record outlives its tree's rebuild as an empty element, cut from its neighbours.
  EXPECT_EQ(ELEMENT_NONE, group->type);
  EXPECT_EQ(nullptr, group->element);
  EXPECT_EQ(nullptr, group->text);
  EXPECT_EQ(nullptr, group->parent);
  EXPECT_TRUE(group->children.empty());
  EXPECT_EQ(0, group->offset);  // offset and length keep their last values
  EXPECT_EQ(4, group->length);
  EXPECT_EQ(1, content->offset);
  // The held records are the only references left.
  EXPECT_EQ(1, group->refCount);
  EXPECT_EQ(1, content->refCount);
  // The rebuilt tree is whole again.
  EXPECT_EQ("11[0,5](20[0,4](17[1,2]) 17[4,1])", Dump(p->tree.Root()));
  delete p;
  ReleaseRecord(content);
  ReleaseRecord(group);
}

TEST(ElementRecords, WideAlternationClearsWithoutDeepRecursion) {
  std::string big;
  for (int i = 0; i < 100000; ++i) big += i ? "|a" : "a";
  Pattern* p = new Pattern(big.c_str());
  ASSERT_EQ(100000u, p->tree.Root()->children.size());
  ElementRecord* last = p->tree.Root()->children.back();
  EXPECT_EQ(199998, last->offset);
  AddRefRecord(last);
  delete p;  // a hundred thousand siblings linked in a chain are freed without recursion
  EXPECT_EQ(ELEMENT_NONE, last->type);
  EXPECT_EQ(nullptr, last->nextSibling);
  ReleaseRecord(last);
}

}  // namespace
