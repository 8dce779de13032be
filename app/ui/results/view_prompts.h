// The questions the clip list, the snapshot tree and the Tests pane ask: a yes/no question, an
// OK/Cancel confirmation, a message with OK, the Yes/No/Cancel question before switching
// snapshots, and the name dialog ("Input name:"). By default they are message boxes and an
// input dialog with the program's name as title; tests install answers instead.
//
// Covered by app/ui/panes/clips/tests/clip_list_test.cpp and snapshot_tree_test.cpp.
#ifndef KORVANE_VIEW_PROMPTS_H
#define KORVANE_VIEW_PROMPTS_H

#include <QString>
#include <functional>

class QWidget;

class CViewPrompts {
 public:
  enum Buttons { YES_NO = 0, OK_CANCEL = 1, YES_NO_CANCEL = 2 };
  enum Answer { ANSWER_OK = 1, ANSWER_CANCEL = 2, ANSWER_YES = 6, ANSWER_NO = 7 };

  // `text` in a question box; the last button (No, Cancel) is the default.
  static int Ask(QWidget* parent, const QString& text, int buttons);
  // `text` in an information box with OK.
  static void Tell(QWidget* parent, const QString& text);
  // The name dialog prefilled with `name`; false on Cancel.
  static bool AskName(QWidget* parent, QString& name);

  // Replacements for tests; empty functions restore the dialogs.
  // A message told through Tell reaches the asker with the buttons TELL.
  static constexpr int TELL = -1;
  static void SetAsker(std::function<int(const QString& text, int buttons)> asker);
  static void SetNameAsker(std::function<bool(QString& name)> asker);
};

#endif
