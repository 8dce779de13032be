// Which writer a Save As of a result view uses, from the chosen file name and the filter the
// user picked: the extension added when none was typed, then workspace, match, split, replace
// result or plain text. The rule is pure so that it is tested on its own; the views call
// ExecuteSave with the outcome.
//
// Covered by app/ui/results/tests/save_dispatch_test.cpp.
#ifndef KORVANE_SAVE_DISPATCH_H
#define KORVANE_SAVE_DISPATCH_H

#include <QString>
#include <vector>

class CKorvaneDoc;

enum SaveSource {
  SAVE_FROM_TEXT_BOX = 0,        // filters of string 2800
  SAVE_FROM_REPLACE_RESULT = 1,  // filters of string 295
  SAVE_FROM_SPLIT_LIST = 2,      // filters of string 296
  SAVE_FROM_EDITOR = 3           // pattern and replace-to boxes: filters of string 294
};

enum SaveKind {
  SAVE_WORKSPACE = 0,
  SAVE_MATCH_RESULT = 1,
  SAVE_SPLIT_RESULT = 2,
  SAVE_REPLACE_RESULT = 3,
  SAVE_TEXT_FILE = 4
};

struct SaveTarget {
  QString path;  // with the default extension added when the user typed none
  int kind;
};

// `filter` is the 1-based index of the chosen filter, 0 when unknown (then no extension is added).
SaveTarget ResolveSave(int source, const QString& path, int filter);

// The string id of the filter list of a source.
int SaveFilterId(int source);

// Runs the writer of `target`; `text` is the box's own text for a plain text save. Returns false
// when nothing could be written.
bool ExecuteSave(CKorvaneDoc* doc, const SaveTarget& target, const std::vector<unsigned short>& text);

// Shows the Save As dialog for `source` and runs the chosen save. Returns false on cancel or
// failure.
class QWidget;
bool RunSaveAsDialog(QWidget* parent, CKorvaneDoc* doc, int source, const std::vector<unsigned short>& text);

#endif
