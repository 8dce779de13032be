// A small plugin library built against korvane_plugin.h only: the test loads it and lets it
// drive the exported API the way a real plugin does, from its own binary.
#include <string>

#include "app/plugin_host/korvane_plugin.h"

namespace {

std::string Narrow(const unsigned short* t, int n) {
  std::string s;
  for (int i = 0; t && i < n; ++i) s += t[i] < 128 ? static_cast<char>(t[i]) : '?';
  return s;
}

// type[offset,length](children...)
std::string Walk(const CElement& e) {
  std::string s = std::to_string(e.GetElementType()) + "[" + std::to_string(e.GetOffset()) + "," +
                  std::to_string(e.GetLength()) + "]";
  if (e.GetChildrenCount()) {
    s += "(";
    for (int i = 0; i < e.GetChildrenCount(); ++i) {
      if (i) s += " ";
      s += Walk(e.GetChild(i));
    }
    s += ")";
  }
  return s;
}

}  // namespace

// Writes what it saw into `out` (at most `size` bytes, zero-terminated) and rewrites the pattern:
// the first string element becomes "XYZ". Returns the number of characters written.
extern "C" __attribute__((visibility("default"))) int TestPluginRun(CPluginContext* context, char* out, int size) {
  CPluginContext& ctx = *context;
  ctx.SetMenuType(3, "group");
  ctx.SetMenuText("Test::Run", "Runs the test");
  ctx.SetMenuEnable(7);

  std::string r = "tree=" + Walk(ctx.GetRootElement());
  r += " flags=" + std::to_string(ctx.GetFlags());
  r += " groups=" + std::to_string(ctx.GetGroupsCount());
  r += " group1=" + std::to_string(ctx.GetGroupElement(1).GetElementType());

  const unsigned short* t = nullptr;
  int n = -1;
  ctx.GetSelectedText(t, n);
  r += " sel=" + Narrow(t, n);
  const unsigned short pending[] = {'n', 'e', 'w'};
  ctx.SetSelectedText(pending, 3);
  ctx.GetSelectedText(t, n);
  r += " after=" + Narrow(t, n) + (t[n] == 0 ? "" : "(unterminated)");
  ctx.GetWindowAllText(2, t, n);
  r += " text=" + Narrow(t, n);
  ctx.GetWindowAllText(4, t, n);
  r += " w4=" + std::to_string(n) + (t && t[0] == 0 ? "" : "(bad)");
  r += " active=" + std::to_string(ctx.GetActiveWindow());

  // Find the first string element and the first greedy repeat, depth first.
  CElement stack[64];
  int top = 0;
  stack[top++] = ctx.GetRootElement();
  bool rewritten = false;
  while (top > 0) {
    CElement e = stack[--top];
    if (e.GetElementType() == 9) {
      CZelGreedy g(e);
      r += " greedy=" + std::to_string(g.GetMinimum()) + ".." + std::to_string(g.GetMaximum());
    }
    if (e.GetElementType() == 17 && !rewritten) {
      CZelString s(e);
      s.GetString(t, n);
      r += " string=" + Narrow(t, n);
      const unsigned short xyz[] = {'X', 'Y', 'Z'};
      e.SetText(xyz, 3);
      rewritten = true;
    }
    for (int i = e.GetChildrenCount() - 1; i >= 0 && top < 64; --i) stack[top++] = e.GetChild(i);
  }
  const unsigned short* p = nullptr;
  ctx.GetRootElement().GetText(p, n);
  r += " pattern=" + Narrow(p, n);
  // A plugin may hand in nothing at all.
  ctx.GetRootElement().GetChild(99).SetText(nullptr, 0);

  int len = static_cast<int>(r.size()) < size - 1 ? static_cast<int>(r.size()) : size - 1;
  for (int i = 0; i < len; ++i) out[i] = r[i];
  out[len] = 0;
  return len;
}
