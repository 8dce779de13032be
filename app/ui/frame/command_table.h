// The command table of the main frame: every command of the menus, bars and accelerators with
// its caption string, its keyboard shortcuts and who carries it out. The prompt and tool tip of
// a command are its own string (same id). The frame builds its menus and tool bar from this
// table; the tests check it against the string tables.
//
// Covered by app/ui/tests/frame_test.cpp (command rows).
#ifndef KORVANE_COMMAND_TABLE_H
#define KORVANE_COMMAND_TABLE_H

#include <QKeySequence>
#include <QList>
#include <vector>

enum CommandHandler {
  BY_APP = 1,    // the application: New, Open, recent files, Exit, About
  BY_DOC = 2,    // the document
  BY_FRAME = 3,  // the frame: bars, Reset All Bars, Homepage, Bug Report
  BY_VIEW = 4,   // the active view (Edit menu, context menus)
  BY_TESTS = 5   // the Tests pane, wherever the focus is (Tests menu and the pane's context menu)
};

struct CommandInfo {
  int id;
  int captionId;          // menu caption string ("&" mnemonic, "\t" shortcut text); 0 tool bar only
  const char* shortcuts;  // accelerators, ';' between several; empty when none
  int by;                 // CommandHandler
};

class CCommandTable {
 public:
  static const std::vector<CommandInfo>& All();
  // The entry of a command, or null.
  static const CommandInfo* Find(int id);
  // The accelerators of a command (empty when it has none).
  static QList<QKeySequence> Shortcuts(int id);
};

#endif
