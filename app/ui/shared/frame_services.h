// What the main frame offers the views: the active view (the target of the Edit menu and of
// plugin commands), the pattern edit view, the status-bar prompt, the context menus by their
// template id and the frame's command routing. Header-only, so that a view and its tests need
// no frame: without one, CFrameServices::Get() is null and ShowViewContextMenu builds the menu
// locally and hands the chosen command to the view itself.
//
// A view that carries out commands of its own (Delete in a list, Save As of the split list, the
// snapshot menu ...) implements IViewCommands; the frame routes the Edit menu and the context
// menus to the active view through it. Text boxes (CRichEdit2WView) implement it over their
// HandlesCommand / IsCommandEnabled / DoCommand.
//
// Covered by app/ui/tests/frame_test.cpp and app/ui/tests/context_menu_test.cpp (context menus).
#ifndef KORVANE_FRAME_SERVICES_H
#define KORVANE_FRAME_SERVICES_H

#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "app/document/core/korvane_doc.h"
#include "app/ui/shared/menu_resources.h"

// The hint a view gets as its initial update, when it is created after the document already
// holds something (a mode change, the bars at start) and after New or Open: every bit of
// DocHint but HINT_BACKTRACK, which only the backtracking session sends when it took something.
inline constexpr int kInitialUpdateHint =
    HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_CURRENT_ELEMENT | HINT_SUBJECT_REPLACED | HINT_TEXT_HIGHLIGHTS |
    HINT_RESULTS | HINT_REPLACE_TO_REPLACED | HINT_RECOLOR_REPLACE_TO | HINT_CURRENT_TOKEN | HINT_REPLACE_RESULT |
    HINT_REPLACE_HIGHLIGHTS | HINT_CURRENT_REPLACEMENT | HINT_SPLIT_ROWS | HINT_PATTERN_REPLACED | HINT_CLIPS |
    HINT_FONTS | HINT_MODE | HINT_COUNTERS | HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT | HINT_TESTS |
    HINT_TEST_RESULTS;
static_assert(kInitialUpdateHint == 0x35F9FFF, "the initial update is the bits the views were written for");

class IViewCommands {
 public:
  virtual ~IViewCommands() {}
  // Whether the view carries out the command at all.
  virtual bool HandlesViewCommand(int id) const = 0;
  // Enable state and check mark of a command the view handles.
  virtual CommandState QueryViewCommand(int id) const = 0;
  // Carries the command out; false when the view does not handle it.
  virtual bool OnViewCommand(int id) = 0;
};

class CFrameServices {
 public:
  virtual ~CFrameServices() {}

  // The view that last had the focus (text box, list or tree); null before any. The frame
  // tracks the focus itself; SetActiveView is for views that want to claim it explicitly.
  virtual QWidget* ActiveView() const = 0;
  virtual void SetActiveView(QWidget* view) = 0;
  // The pattern box (the frame's default active view); null until it exists.
  virtual QWidget* PatternEditView() const = 0;
  // The message pane of the status bar; an empty text shows "Ready".
  virtual void SetStatusPrompt(const QString& text) = 0;
  // Shows context menu `templateId` (a ContextMenuId of menu_resources.h) at a global position
  // for `view`, which becomes the active view; the chosen command goes through RunCommand.
  virtual void ShowContextMenu(int templateId, QWidget* view, const QPoint& globalPos) = 0;
  // Routes a command as the menus do (view, frame, document).
  virtual void RunCommand(int id) = 0;

  // The frame's services, or null while no frame exists (views' own tests).
  static CFrameServices* Get() { return Slot(); }
  // Installed by the frame when it is created and cleared when it is destroyed.
  static void Install(CFrameServices* services) { Slot() = services; }

 private:
  static CFrameServices*& Slot() {
    static CFrameServices* services = nullptr;
    return services;
  }
};

// Gives every command item of `menu` and of its submenus the enable state and check mark that
// `query` reports for its command, then greys the submenus left without an enabled entry.
// `query` is the rule the main menus follow (the frame's command state, or a view's own), so
// that a context menu item is enabled exactly when the same command is in the main menus; a
// context menu holds actions of its own and must never keep a state from an earlier showing.
// Plugin commands are left alone: the plugin host keeps their states.
template <typename Query>
void ApplyCommandStates(QMenu* menu, const Query& query) {
  for (QAction* action : CMenuResources::AllActions(menu)) {
    const int id = CMenuResources::CommandOf(action);
    if (id <= 0 || (id >= ID_PLUGIN_FIRST && id <= ID_PLUGIN_LAST)) continue;
    const CommandState state = query(id);
    action->setEnabled(state.enabled);
    if (action->isCheckable()) action->setChecked(state.checked);
  }
  CMenuResources::GreyEmptySubmenus(menu);
}

// The state of a command that a view carries out; disabled when the view does not handle it.
inline CommandState ViewCommandState(const IViewCommands* commands, int id) {
  CommandState state;
  state.enabled = false;
  if (commands && commands->HandlesViewCommand(id)) state = commands->QueryViewCommand(id);
  return state;
}

// Shows context menu `templateId` for a view: through the frame when there is one (the commands
// go through its routing, `view` becoming the active view), else locally, asking and running
// the view's IViewCommands (if it has them). Every view shows its context menu through here.
inline void ShowViewContextMenu(int templateId, QWidget* view, const QPoint& globalPos) {
  if (CFrameServices* frame = CFrameServices::Get()) {
    frame->ShowContextMenu(templateId, view, globalPos);
    return;
  }
  QMenu menu(view);
  CMenuResources::FillContextMenu(&menu, templateId);
  IViewCommands* commands = dynamic_cast<IViewCommands*>(view);
  ApplyCommandStates(&menu, [commands](int id) { return ViewCommandState(commands, id); });
  QAction* chosen = menu.exec(globalPos);
  if (chosen && commands) commands->OnViewCommand(CMenuResources::CommandOf(chosen));
}

#endif
