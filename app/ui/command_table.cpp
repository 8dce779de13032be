// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/command_table.h"

#include <QString>
#include <QStringList>

#include "korvane_ids.h"

const std::vector<CommandInfo>& CCommandTable::All() {
  // Redo and Select All show their keys in the caption only (no accelerator entry): the text
  // boxes handle those keys themselves.
  static const std::vector<CommandInfo> table = {
      {ID_FILE_NEW, IDS_MENU_FILE_NEW, "Ctrl+N", BY_APP},
      {ID_FILE_OPEN, IDS_MENU_FILE_OPEN, "Ctrl+O", BY_APP},
      {ID_FILE_SAVE, IDS_MENU_FILE_SAVE, "Ctrl+S", BY_DOC},
      {ID_FILE_SAVE_AS, IDS_MENU_FILE_SAVE_AS, "", BY_DOC},
      {ID_APP_EXIT, IDS_MENU_FILE_EXIT, "", BY_APP},
      {ID_EDIT_UNDO, IDS_MENU_EDIT_UNDO, "Ctrl+Z;Alt+Backspace", BY_VIEW},
      {ID_EDIT_REDO, IDS_MENU_EDIT_REDO, "", BY_VIEW},
      {ID_EDIT_CUT, IDS_MENU_EDIT_CUT, "Ctrl+X;Shift+Del", BY_VIEW},
      {ID_EDIT_COPY, IDS_MENU_EDIT_COPY, "Ctrl+C;Ctrl+Ins", BY_VIEW},
      {ID_EDIT_PASTE, IDS_MENU_EDIT_PASTE, "Ctrl+V;Shift+Ins", BY_VIEW},
      {ID_EDIT_CLEAR, IDS_MENU_EDIT_DELETE, "Del", BY_VIEW},
      {ID_EDIT_FIND, IDS_MENU_EDIT_FIND, "Ctrl+F", BY_VIEW},
      {ID_EDIT_REPLACE, IDS_MENU_EDIT_REPLACE, "Ctrl+H", BY_VIEW},
      {ID_EDIT_SELECT_ALL, IDS_MENU_EDIT_SELECT_ALL, "", BY_VIEW},
      {ID_SELECT_FONTS, IDS_MENU_EDIT_FONT, "", BY_DOC},
      {ID_VIEW_TOOLBAR, IDS_MENU_VIEW_TOOLBAR, "", BY_FRAME},
      {ID_VIEW_STATUS_BAR, IDS_MENU_VIEW_STATUS_BAR, "", BY_FRAME},
      {ID_VIEW_STRUCTURE, IDS_MENU_VIEW_STRUCTURE, "", BY_FRAME},
      {ID_VIEW_GROUP, IDS_MENU_VIEW_GROUP, "", BY_FRAME},
      {ID_VIEW_TEXT_CLIP, IDS_MENU_VIEW_TEXT_CLIP, "", BY_FRAME},
      {ID_VIEW_SNAPSHOT, IDS_MENU_VIEW_SNAPSHOT, "", BY_FRAME},
      {ID_VIEW_WORK_MODE, IDS_MENU_VIEW_WORK_MODE, "", BY_FRAME},
      {ID_VIEW_MATCH_BUTTONS, IDS_MENU_VIEW_MATCH_BUTTONS, "", BY_FRAME},
      {ID_VIEW_MATCH_MODE, IDS_MENU_VIEW_MATCH_MODE, "", BY_FRAME},
      {ID_VIEW_RESET_BARS, IDS_MENU_VIEW_RESET_BARS, "", BY_FRAME},
      {ID_MATCH_FIND, IDS_MENU_MATCH_FIND, "F3", BY_DOC},
      {ID_MATCH_FIND_ALL, IDS_MENU_MATCH_FIND_ALL, "", BY_DOC},
      {ID_MATCH_STEP, IDS_MENU_MATCH_STEP, "F10", BY_DOC},
      {ID_MATCH_RESET, IDS_MENU_MATCH_RESET, "", BY_DOC},
      {ID_MATCH_ONLY_CURRENT_NODE, IDS_MENU_MATCH_ONLY_CURRENT_NODE, "", BY_DOC},
      {ID_MATCH_ONLY_START_POINT, IDS_MENU_MATCH_ONLY_START_POINT, "", BY_DOC},
      {ID_MATCH_SET_START_POINT, IDS_MENU_MATCH_SET_START_POINT, "", BY_VIEW},
      {ID_MATCH_LOCATE_FAIL_POINT, IDS_MENU_MATCH_LOCATE_FAIL_POINT, "", BY_DOC},
      {ID_OPTION_IGNORECASE, IDS_MENU_OPTION_IGNORECASE, "", BY_DOC},
      {ID_OPTION_SINGLELINE, IDS_MENU_OPTION_SINGLELINE, "", BY_DOC},
      {ID_OPTION_MULTILINE, IDS_MENU_OPTION_MULTILINE, "", BY_DOC},
      {ID_OPTION_GLOBAL, IDS_MENU_OPTION_GLOBAL, "", BY_DOC},
      {ID_OPTION_RIGHTTOLEFT, IDS_MENU_OPTION_RIGHTTOLEFT, "", BY_DOC},
      {ID_OPTION_EXTENDED, IDS_MENU_OPTION_EXTENDED, "", BY_DOC},
      {ID_MODE_MATCH, IDS_MENU_MODE_MATCH, "", BY_DOC},
      {ID_MODE_REPLACE, IDS_MENU_MODE_REPLACE, "", BY_DOC},
      {ID_MODE_SPLIT, IDS_MENU_MODE_SPLIT, "", BY_DOC},
      {ID_MODE_OPTIMIZE, IDS_MENU_MODE_OPTIMIZE, "", BY_DOC},
      {ID_MODE_TRACE, IDS_MENU_MODE_TRACE, "", BY_DOC},
      {ID_HELP_HOMEPAGE, IDS_MENU_HELP_HOMEPAGE, "", BY_FRAME},
      {ID_HELP_BUG_REPORT, IDS_MENU_HELP_BUG_REPORT, "", BY_FRAME},
      {ID_APP_ABOUT, IDS_MENU_HELP_ABOUT, "", BY_APP},
      {ID_RECORD_FIRST, 0, "", BY_DOC},
      {ID_RECORD_PREV, 0, "", BY_DOC},
      {ID_RECORD_NEXT, 0, "", BY_DOC},
      {ID_RECORD_LAST, 0, "", BY_DOC},
      {ID_ADD_SNAPSHOT, IDS_MENU_SNAPSHOT_ADD, "", BY_DOC},
      {ID_EDIT_OPEN_TEXT, IDS_MENU_CTX_OPEN, "", BY_VIEW},
      {ID_EDIT_SAVE_CONTENT, IDS_MENU_CTX_SAVE_AS, "", BY_VIEW},
      {ID_CLIP_SET_NAME, IDS_MENU_CLIP_SET_NAME, "", BY_VIEW},
      {ID_SNAPSHOT_SWITCH, IDS_MENU_SNAPSHOT_SWITCH, "", BY_VIEW},
      {ID_SNAPSHOT_SET_NAME, IDS_MENU_SNAPSHOT_SET_NAME, "", BY_VIEW},
      {ID_SNAPSHOT_DELETE, IDS_MENU_SNAPSHOT_DELETE, "", BY_VIEW},
      {ID_SNAPSHOT_DELETE_TREE, IDS_MENU_SNAPSHOT_DELETE_TREE, "", BY_VIEW},
      {ID_NEXT_PANE, 0, "F6", BY_FRAME},
      {ID_PREV_PANE, 0, "Shift+F6", BY_FRAME},
  };
  return table;
}

const CommandInfo* CCommandTable::Find(int id) {
  for (const CommandInfo& info : All())
    if (info.id == id) return &info;
  return nullptr;
}

QList<QKeySequence> CCommandTable::Shortcuts(int id) {
  QList<QKeySequence> keys;
  const CommandInfo* info = Find(id);
  if (!info) return keys;
  for (const QString& part : QString::fromLatin1(info->shortcuts).split(QLatin1Char(';'), Qt::SkipEmptyParts))
    keys.append(QKeySequence(part, QKeySequence::PortableText));
  return keys;
}
