// The pattern-rewriting commands (pattern_commands.h).
//
// Each rewrite is a SetText on one element. SetText clears the element's subtree and shifts
// the offsets of everything after it, so a post-order walk rewrites inner groups first and
// finds every later element's offsets already up to date.
#include "plugins/fennic/pattern_commands.h"

#include <QByteArray>
#include <vector>

#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/optimizer.h"
#include "resources/fennic_ids.h"
#include "resources/stringtable.h"

namespace fennic {
namespace {

void SetMenu(CPluginContext& context, int textId, int promptId) {
  context.SetMenuType(ZMENU_OPTIMIZE, nullptr);
  QByteArray t = CStringTable::Str(textId).toLocal8Bit(), p = CStringTable::Str(promptId).toLocal8Bit();
  context.SetMenuText(t.constData(), p.constData());
}

bool IsConvertible(const CElement& e, bool toCapture) {
  int type = e.GetElementType();
  if (toCapture) return type == ZEL_NONCAPTURE_GROUP;
  if (type != ZEL_CAPTURE_GROUP) return false;
  const unsigned short* name = CZelCapture(e).GetGroupName();
  return !name || name[0] == 0;
}

void RewriteGroup(CElement& g, bool toCapture) {
  int count = g.GetChildrenCount();
  if (count == 0) {
    g.SetText(nullptr, 0);  // an empty group goes away
    return;
  }
  const unsigned short* text = nullptr;
  int length = 0;
  g.GetText(text, length);
  std::u16string whole = FromApi(text, length < 0 ? 0 : length);
  CElement first = g.GetChild(0), last = g.GetChild(count - 1);
  // The content's span inside the group's text, held inside it whatever the children report.
  int from = first.GetOffset() - g.GetOffset();
  int to = last.GetOffset() + last.GetLength() - g.GetOffset();
  if (from < 0) from = 0;
  if (from > Length(whole)) from = Length(whole);
  if (to > Length(whole)) to = Length(whole);
  if (to < from) to = from;
  std::u16string content = whole.substr(from, to - from);
  std::u16string rewritten = (toCapture ? u"(" : u"(?:") + content + u")";
  g.SetText(ToApi(rewritten), Length(rewritten));
}

}  // namespace

bool HasConvertibleGroup(const CElement& e, bool toCapture) {
  // An explicit stack: element trees can nest deeply.
  std::vector<CElement> stack;
  stack.push_back(e);
  while (!stack.empty()) {
    CElement top = stack.back();
    stack.pop_back();
    if (IsConvertible(top, toCapture)) return true;
    for (int i = top.GetChildrenCount() - 1; i >= 0; --i) stack.push_back(top.GetChild(i));
  }
  return false;
}

void ConvertGroups(CElement& e, bool toCapture) {
  // Post-order without recursion: each frame is an element and the next child to visit.
  struct Frame {
    CElement element;
    int next;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{e, 0});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next < f.element.GetChildrenCount()) {
      CElement child = f.element.GetChild(f.next++);
      stack.push_back(Frame{child, 0});
      continue;
    }
    CElement done = f.element;
    stack.pop_back();
    if (IsConvertible(done, toCapture)) RewriteGroup(done, toCapture);
  }
}

// ---- alternative of strings ------------------------------------------------------------------

namespace {
bool IsAlternativeOfStrings(const CElement& e) {
  if (e.GetElementType() != ZEL_ALTERNATIVE) return false;
  for (int i = 0; i < e.GetChildrenCount(); ++i)
    if (e.GetChild(i).GetElementType() != ZEL_STRING) return false;
  return true;
}
}  // namespace

void CAlternativeOfStringsCommand::OnInit(CPluginContext& context) {
  SetMenu(context, IDS_ALTERNATIVE_OF_STRINGS, IDS_ALTERNATIVE_OF_STRINGS_DESC);
}

void CAlternativeOfStringsCommand::OnUpdate(CPluginContext& context) {
  context.SetMenuEnable(IsAlternativeOfStrings(context.GetCurrentElement()) ? 1 : 0);
}

void CAlternativeOfStringsCommand::OnExecute(CPluginContext& context) {
  CElement current = context.GetCurrentElement();
  if (!IsAlternativeOfStrings(current)) return;
  std::vector<std::u16string> strings;
  // Every branch of one alternative is read with the same case and direction options, so the
  // first string tells them; the extended option is the pattern's own.
  int flags = context.GetFlags() & EXTENDED;
  for (int i = 0; i < current.GetChildrenCount(); ++i) {
    CZelString s(current.GetChild(i));
    const unsigned short* t = nullptr;
    int n = 0;
    s.GetString(t, n);
    strings.push_back(FromApi(t, n < 0 ? 0 : n));
    if (i == 0) flags |= (s.IsIgnoreCase() ? IGNORECASE : 0) | (s.IsRightLeft() ? RIGHTTOLEFT : 0);
  }
  std::u16string optimized = OptimizeStrings(strings, flags);
  current.SetText(ToApi(optimized), Length(optimized));
}

// ---- group conversions -----------------------------------------------------------------------

void CGroupConvertCommand::OnInit(CPluginContext& context) {
  if (m_bToCapture)
    SetMenu(context, IDS_TO_CAPTURE_GROUP, IDS_TO_CAPTURE_GROUP_DESC);
  else
    SetMenu(context, IDS_TO_NONCAPTURE_GROUP, IDS_TO_NONCAPTURE_GROUP_DESC);
}

void CGroupConvertCommand::OnUpdate(CPluginContext& context) {
  context.SetMenuEnable(HasConvertibleGroup(context.GetCurrentElement(), m_bToCapture) ? 1 : 0);
}

void CGroupConvertCommand::OnExecute(CPluginContext& context) {
  CElement current = context.GetCurrentElement();
  ConvertGroups(current, m_bToCapture);
}

}  // namespace fennic
