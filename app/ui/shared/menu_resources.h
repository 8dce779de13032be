// The menu resources of korvane, built from the string table: the context menus of the views
// by their template id, and the helpers the main menu shares with them (a command's action,
// finding the command of an action, the greying rule of submenus). Header-only, so that views
// and their tests can build their menus without the frame.
//
// Every action that stands for a command carries the command id in QAction::data(); its text
// is the caption string, its status tip the command's prompt and its tool tip the part after
// the prompt's line break. Submenus that plugins fill carry an object name (kPluginMenu...).
//
// Covered by app/ui/tests/frame_test.cpp.
#ifndef KORVANE_MENU_RESOURCES_H
#define KORVANE_MENU_RESOURCES_H

#include <QAction>
#include <QList>
#include <QMenu>
#include <QString>

#include "korvane_ids.h"
#include "stringtable.h"

// Context menu template ids.
enum ContextMenuId {
  IDR_CTX_TEXT = 144,          // subject text box
  IDR_CTX_PATTERN = 145,       // pattern box
  IDR_CTX_REPLACE = 135,       // replace-to box and replace result box
  IDR_CTX_TREE = 136,          // structure tree and group list
  IDR_CTX_SPLIT = 138,         // split result list
  IDR_CTX_CLIP = 146,          // text clip list
  IDR_CTX_SNAPSHOT = 151,      // snapshot tree
  IDR_CTX_TESTS = 152          // the Tests pane (the same items as the Tests menu)
};

class CMenuResources {
 public:
  // Object names of the submenus the plugin host fills.
  static constexpr const char* kPluginMenuImportClipboard = "plugin-import-clipboard";
  static constexpr const char* kPluginMenuImportSelected = "plugin-import-selected";
  static constexpr const char* kPluginMenuExportClipboard = "plugin-export-clipboard";
  static constexpr const char* kPluginMenuExportCode = "plugin-export-code";
  static constexpr const char* kPluginMenuOptimize = "plugin-optimize";
  static constexpr const char* kPluginMenuCtxImport = "plugin-ctx-import";
  static constexpr const char* kPluginMenuCtxExport = "plugin-ctx-export";
  static constexpr const char* kPluginMenuCtxOptimize = "plugin-ctx-optimize";

  // The items of the Tests menu and of the Tests pane's context menu, in order: command ids,
  // 0 for a separator.
  static const QList<int>& TestsMenuItems() {
    static const QList<int> items = {ID_TEST_ADD, ID_TEST_DUPLICATE, ID_TEST_RENAME, ID_TEST_DELETE, 0,
                                     ID_TEST_MOVE_UP, ID_TEST_MOVE_DOWN, 0,
                                     ID_TEST_LOAD, ID_TEST_ACCEPT, 0,
                                     ID_TEST_IMPORT_FILE, ID_TEST_IMPORT_CLIPS, ID_TEST_EXPORT_CSV, 0,
                                     ID_TEST_RUN_SNAPSHOTS};
    return items;
  }
  // The caption string of a Tests menu item (0 for any other id).
  static int TestsMenuCaption(int id) {
    return id >= ID_TEST_ADD && id <= ID_TEST_RUN_SNAPSHOTS ? IDS_MENU_TEST_ADD + (id - ID_TEST_ADD) : 0;
  }

  // The command id an action stands for; 0 for separators and submenu items.
  static int CommandOf(const QAction* action) {
    if (!action || action->isSeparator() || action->menu()) return 0;
    bool ok = false;
    const int id = action->data().toInt(&ok);
    return ok ? id : 0;
  }

  // Gives an action the texts of a command: caption, prompt (status tip) and tool tip.
  static void SetCommandTexts(QAction* action, int commandId, int captionId) {
    const CStringTable& table = CStringTable::Current();
    if (captionId) action->setText(table.Get(captionId));
    action->setStatusTip(table.GetPrompt(commandId));
    QString tip = table.GetToolTip(commandId);
    if (tip.isEmpty()) tip = table.GetPrompt(commandId);
    action->setToolTip(tip);
    action->setData(commandId);
  }

  static QAction* AddCommand(QMenu* menu, int commandId, int captionId) {
    QAction* action = menu->addAction(QString());
    SetCommandTexts(action, commandId, captionId);
    return action;
  }

  static QMenu* AddPluginSubmenu(QMenu* menu, int captionId, const char* objectName) {
    QMenu* sub = menu->addMenu(CStringTable::Str(captionId));
    sub->setObjectName(QLatin1String(objectName));
    return sub;
  }

  // Fills a context menu by its template id; an unknown id leaves the menu empty.
  static void FillContextMenu(QMenu* menu, int templateId) {
    switch (templateId) {
      case IDR_CTX_PATTERN:
      case IDR_CTX_TEXT:
      case IDR_CTX_REPLACE:
        if (templateId == IDR_CTX_TEXT) {
          AddCommand(menu, ID_MATCH_SET_START_POINT, IDS_MENU_MATCH_SET_START_POINT);
          menu->addSeparator();
        }
        AddCommand(menu, ID_EDIT_UNDO, IDS_MENU_EDIT_UNDO);
        AddCommand(menu, ID_EDIT_REDO, IDS_MENU_EDIT_REDO);
        menu->addSeparator();
        AddCommand(menu, ID_EDIT_CUT, IDS_MENU_EDIT_CUT);
        AddCommand(menu, ID_EDIT_COPY, IDS_MENU_EDIT_COPY);
        AddCommand(menu, ID_EDIT_PASTE, IDS_MENU_EDIT_PASTE);
        AddCommand(menu, ID_EDIT_CLEAR, IDS_MENU_EDIT_DELETE);
        menu->addSeparator();
        AddPluginSubmenu(menu, IDS_MENU_CTX_IMPORT, kPluginMenuCtxImport);
        AddPluginSubmenu(menu, IDS_MENU_CTX_EXPORT, kPluginMenuCtxExport);
        if (templateId == IDR_CTX_PATTERN)
          AddPluginSubmenu(menu, IDS_MENU_CTX_OPTIMIZE, kPluginMenuCtxOptimize);
        menu->addSeparator();
        AddCommand(menu, ID_EDIT_OPEN_TEXT, IDS_MENU_CTX_OPEN);
        AddCommand(menu, ID_EDIT_SAVE_CONTENT, IDS_MENU_CTX_SAVE_AS);
        menu->addSeparator();
        AddCommand(menu, ID_EDIT_FIND, IDS_MENU_CTX_FIND);
        AddCommand(menu, ID_EDIT_REPLACE, IDS_MENU_CTX_REPLACE);
        menu->addSeparator();
        AddCommand(menu, ID_EDIT_SELECT_ALL, IDS_MENU_EDIT_SELECT_ALL);
        break;
      case IDR_CTX_TREE:
        AddCommand(menu, ID_EDIT_CUT, IDS_MENU_EDIT_CUT);
        AddCommand(menu, ID_EDIT_COPY, IDS_MENU_EDIT_COPY);
        AddCommand(menu, ID_EDIT_CLEAR, IDS_MENU_EDIT_DELETE);
        menu->addSeparator();
        AddPluginSubmenu(menu, IDS_MENU_CTX_EXPORT, kPluginMenuCtxExport);
        break;
      case IDR_CTX_SPLIT:
        AddCommand(menu, ID_EDIT_SAVE_CONTENT, IDS_MENU_CTX_SAVE_AS);
        break;
      case IDR_CTX_CLIP:
        AddCommand(menu, ID_CLIP_SET_NAME, IDS_MENU_CLIP_SET_NAME);
        menu->addSeparator();
        AddCommand(menu, ID_EDIT_COPY, IDS_MENU_EDIT_COPY);
        AddCommand(menu, ID_EDIT_PASTE, IDS_MENU_EDIT_PASTE);
        AddCommand(menu, ID_EDIT_CLEAR, IDS_MENU_EDIT_DELETE);
        break;
      case IDR_CTX_SNAPSHOT:
        AddCommand(menu, ID_ADD_SNAPSHOT, IDS_MENU_SNAPSHOT_ADD);
        AddCommand(menu, ID_SNAPSHOT_SWITCH, IDS_MENU_SNAPSHOT_SWITCH);
        menu->addSeparator();
        AddCommand(menu, ID_SNAPSHOT_SET_NAME, IDS_MENU_SNAPSHOT_SET_NAME);
        AddCommand(menu, ID_SNAPSHOT_DELETE, IDS_MENU_SNAPSHOT_DELETE);
        AddCommand(menu, ID_SNAPSHOT_DELETE_TREE, IDS_MENU_SNAPSHOT_DELETE_TREE);
        break;
      case IDR_CTX_TESTS:
        for (int id : TestsMenuItems()) {
          if (id) AddCommand(menu, id, TestsMenuCaption(id));
          else menu->addSeparator();
        }
        break;
      default:
        break;
    }
  }

  // Every action of a menu and of its submenus, depth first.
  static QList<QAction*> AllActions(const QMenu* menu) {
    QList<QAction*> all;
    for (QAction* action : menu->actions()) {
      all.append(action);
      if (action->menu()) all.append(AllActions(action->menu()));
    }
    return all;
  }

  // The greying rule: an item that opens a submenu is enabled when at least one entry of the
  // submenu (after its own submenus were decided) is neither a separator nor disabled, else
  // greyed. So an empty plugin submenu shows greyed. Returns whether `menu` has such an entry.
  static bool GreyEmptySubmenus(QMenu* menu) {
    bool any = false;
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      if (QMenu* sub = action->menu()) action->setEnabled(GreyEmptySubmenus(sub));
      if (action->isEnabled() && action->isVisible()) any = true;
    }
    return any;
  }
};

#endif
