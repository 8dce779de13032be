// The pattern-rewriting commands (pattern_commands.h): the menu side of the alternation
// optimizer (optimizer.h) and of the group conversions (group_convert.h).
#include "plugins/fennic/pattern_commands.h"

#include <QByteArray>
#include <vector>

#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/group_convert.h"
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

}  // namespace

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
  bool any = HasConvertibleGroup(context.GetRootElement(), context.GetCurrentElement(), m_bToCapture);
  context.SetMenuEnable(any ? 1 : 0);
}

void CGroupConvertCommand::OnExecute(CPluginContext& context) {
  ConvertGroups(context.GetRootElement(), context.GetCurrentElement(), m_bToCapture);
}

}  // namespace fennic
