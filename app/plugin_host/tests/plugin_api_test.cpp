// The exported plugin API, called from a separately built plugin library (test_plugin) and
// directly.
#include <gtest/gtest.h>

#include <QLibrary>

#include "app/document/pattern/tests/record_fixture.h"
#include "app/plugin_host/plugin_context_data.h"

namespace {

using record_test::Pattern;
using record_test::U16;

TEST(PluginApi, ATestPluginDrivesTheExportedClasses) {
  QLibrary lib(TEST_PLUGIN_PATH);
  lib.setLoadHints(QLibrary::ResolveAllSymbolsHint);
  ASSERT_TRUE(lib.load()) << lib.errorString().toStdString();
  typedef int (*RunProc)(CPluginContext*, char*, int);
  RunProc run = reinterpret_cast<RunProc>(lib.resolve("TestPluginRun"));
  ASSERT_NE(nullptr, run);

  Pattern p("(ab)c*");
  std::vector<unsigned short> selection = U16("sel"), subject = U16("abcc");
  PluginContextData* data = new PluginContextData();
  CPluginContext ctx(data);
  data->root = RootHandle(p.tree);
  data->pattern = &p.re;
  data->tree = &p.tree;
  data->flags = 0x08;
  data->selection = selection.data();
  data->selectionLength = 3;
  data->subjectText = subject.data();
  data->subjectLength = 4;
  data->activeWindow = 2;

  char out[1024];
  run(&ctx, out, sizeof out);
  EXPECT_STREQ(
      "tree=11[0,6](20[0,4](17[1,2]) 9[4,2](17[4,1])) flags=8 groups=2 group1=20 sel=sel after=new "
      "text=abcc w4=0 active=2 string=ab greedy=0..2147483647 pattern=(XYZ)c*",
      out);
  EXPECT_EQ(3, data->menuKind);
  EXPECT_EQ("group", data->groupName);
  EXPECT_EQ("Test::Run", data->menuText);
  EXPECT_EQ("Runs the test", data->prompt);
  EXPECT_EQ(1, data->enabled);
  EXPECT_EQ(1, data->replaced);
  EXPECT_TRUE(p.tree.IsModified());
  ctx = CPluginContext();  // drops the data
  lib.unload();
}

TEST(PluginApi, ContextWithoutDataAnswersDefaults) {
  CPluginContext ctx;
  ctx.SetMenuType(2, "x");
  ctx.SetMenuText(nullptr, nullptr);
  ctx.SetMenuEnable(0);
  EXPECT_EQ(0, ctx.GetRootElement().GetElementType());
  EXPECT_EQ(0, ctx.GetCurrentElement().GetChildrenCount());
  EXPECT_EQ(0, ctx.GetGroupsCount());
  EXPECT_EQ(0, ctx.GetGroupElement(0).GetElementType());
  EXPECT_EQ(0, ctx.GetFlags());
  EXPECT_EQ(0, ctx.GetActiveWindow());
  const unsigned short* t = reinterpret_cast<const unsigned short*>(0x1);
  int n = 42;
  ctx.GetSelectedText(t, n);  // leaves its out-parameters as they were
  EXPECT_EQ(reinterpret_cast<const unsigned short*>(0x1), t);
  EXPECT_EQ(42, n);
  ctx.GetWindowAllText(1, t, n);
  EXPECT_EQ(0, n);
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(0, t[0]);
}

TEST(PluginApi, SelectionAndPendingReplacement) {
  PluginContextData* data = new PluginContextData();
  CPluginContext ctx(data);
  const unsigned short* t = nullptr;
  int n = -1;
  ctx.GetSelectedText(t, n);  // no selection captured: empty
  EXPECT_EQ(0, n);
  ASSERT_NE(nullptr, t);
  ctx.SetSelectedText(nullptr, 5);  // nothing given: an empty replacement
  ctx.GetSelectedText(t, n);
  EXPECT_EQ(0, n);
  EXPECT_EQ(1, data->replaced);
  const unsigned short two[] = {'h', 'i'};
  ctx.SetSelectedText(two, 2);
  ctx.GetSelectedText(t, n);
  EXPECT_EQ(2, n);
  EXPECT_EQ('i', t[1]);
  EXPECT_EQ(0, t[2]);
  CPluginContext copy(ctx);
  EXPECT_EQ(2, data->refCount);
}

struct WrapperCase {
  const char* pattern;
  int flags;
  const char* expected;
};

// Reads every typed accessor that applies to each element of a tree.
std::string Typed(const CElement& e) {
  std::string s = std::to_string(e.GetElementType());
  switch (e.GetElementType()) {
    case ZEL_STRING: {
      const unsigned short* t;
      int n;
      CZelString(e).GetString(t, n);
      s += ":" + std::to_string(n) + (CZelString(e).IsIgnoreCase() ? "i" : "") + (CZelString(e).IsRightLeft() ? "<" : "");
      break;
    }
    case ZEL_LIST: s += CZelCombination(e).IsRightLeft() ? ":<" : ""; break;
    case ZEL_CAPTURE_GROUP: {
      CZelCapture c(e);
      const unsigned short* name = c.GetGroupName();
      std::string nm;
      for (; *name; ++name) nm += static_cast<char>(*name);
      s += ":" + std::to_string(c.GetGroupNo()) + "'" + nm + "'" + std::to_string(c.GetBalancingNo());
      break;
    }
    case ZEL_BACKREF: s += ":" + std::to_string(CZelBackreference(e).GetGroupNo()); break;
    case ZEL_BOUNDARY:
      s += ":" + std::to_string(CZelBoundary(e).GetBoundaryType()) + "," + std::to_string(CZelBoundary(e).GetYes());
      break;
    case ZEL_POSIX: s += ":" + std::to_string(CZelPosix(e).GetYes()); break;
    case ZEL_CHARSET: s += ":" + std::to_string(CZelCharacterset(e).GetYes()); break;
    case ZEL_CONDITIONAL: s += ":" + std::to_string(CZelConditional(e).GetGroupNo()); break;
    case ZEL_RECURSIVE:
    case ZEL_NONCAPTURE_GROUP:
    case ZEL_MODE_MODIFIER: s += ":" + std::to_string(CZelRecursive(e).GetGroupNo()); break;
    case ZEL_GREEDY: s += ":" + std::to_string(CZelGreedy(e).GetMinimum()) + "," + std::to_string(CZelGreedy(e).GetMaximum()); break;
    case ZEL_RELUCTANT:
      s += ":" + std::to_string(CZelReluctant(e).GetMinimum()) + "," + std::to_string(CZelReluctant(e).GetMaximum());
      break;
    case ZEL_POSSESSIVE:
      s += ":" + std::to_string(CZelPossessive(e).GetMinimum()) + "," + std::to_string(CZelPossessive(e).GetMaximum());
      break;
    case ZEL_FIXEDREPEAT: s += ":" + std::to_string(CZelFixedrepeat(e).GetMinimum()); break;
    case ZEL_ASSERTION: s += ":" + std::to_string(CZelAssertion(e).GetYes()); break;
    default: break;
  }
  for (int i = 0; i < e.GetChildrenCount(); ++i) s += (i ? " " : "(") + Typed(e.GetChild(i));
  if (e.GetChildrenCount()) s += ")";
  return s;
}

TEST(PluginApi, TypedWrappers) {
  static const WrapperCase rows[] = {
      {"a*b+?c{2}d{1,3}+", 0, "11(9:0,2147483647(17:1) 15:1,2147483647(17:1) 16:2(17:1) 13:1,3(17:1))"},
      {"(?<nm>x)(?:y)(?i)", 0, "11(20:1'nm'-1(17:1) 19:-1(17:1) 21:-2)"},
      {"\\1(a)\\b[^x][[:^alpha:]]", 0, "11(3:1 20:1''-1(17:1) 4:7,1 14:0 14:1(12:0))"},
      {"(?(1)a|b)(?!c)(?R)", 0, "11(18:1(17:1 17:1) 2:0(17:1) 6:0)"},
      {"ab", IGNORECASE | RIGHTTOLEFT, "17:2i<"},
      {"(?<o>a)(?<c-o>b)", 0, "11(20:1'o'-1(17:1) 20:2'c'1(17:1))"},
  };
  for (const WrapperCase& c : rows) {
    Pattern p(c.pattern, c.flags);
    EXPECT_EQ(c.expected, Typed(RootHandle(p.tree))) << c.pattern;
  }
  // Accessors of the wrong kind, and of an empty handle, answer 0 or an empty string.
  Pattern p("a");
  CElement root = RootHandle(p.tree);
  EXPECT_EQ(0, CZelGreedy(root).GetMaximum());
  EXPECT_EQ(0, CZelCapture(root).GetGroupName()[0]);
  EXPECT_EQ(-1, CZelCapture(CElement()).GetBalancingNo());
  EXPECT_EQ(0, CElement().GetErrFlag());
  EXPECT_EQ(0, root.GetChild(-1).GetElementType());
  EXPECT_EQ(0, root.GetChild(5).GetElementType());
}

TEST(PluginApi, ErrorFlags) {
  Pattern p("(a");
  EXPECT_EQ(-108, RootHandle(p.tree).GetErrFlag());
  EXPECT_EQ(0, RootHandle(p.tree).GetChild(0).GetErrFlag());
}

}  // namespace
