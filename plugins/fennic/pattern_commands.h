// The commands that rewrite the pattern through the element tree: the alternation optimizer
// and the two group conversions (menu kind 5). Covered by tests/plugin_test.cpp.
#ifndef FENNIC_PATTERN_COMMANDS_H
#define FENNIC_PATTERN_COMMANDS_H

#include "plugins/fennic/plugin_command.h"

namespace fennic {

class CAlternativeOfStringsCommand : public CPluginCommand {
 public:
  void OnInit(CPluginContext& context) override;
  void OnUpdate(CPluginContext& context) override;
  void OnExecute(CPluginContext& context) override;
};

// Non-capturing groups (type 19) to capturing groups, or unnamed capturing groups (type 20) to
// non-capturing groups, everywhere in the current element's subtree (group_convert.h).
class CGroupConvertCommand : public CPluginCommand {
 public:
  explicit CGroupConvertCommand(bool toCapture) : m_bToCapture(toCapture) {}
  void OnInit(CPluginContext& context) override;
  void OnUpdate(CPluginContext& context) override;
  void OnExecute(CPluginContext& context) override;

 private:
  bool m_bToCapture;
};

}  // namespace fennic

#endif
