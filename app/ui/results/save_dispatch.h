// Save As of the result views: the file dialog with the box's own filter list, then the
// document's choice of writer (CSaveAs: workspace, match, split or replace result, or the box's
// text as a text file).
//
// Covered by app/ui/results/tests/save_dispatch_test.cpp.
#ifndef KORVANE_SAVE_DISPATCH_H
#define KORVANE_SAVE_DISPATCH_H

#include <QString>
#include <QStringView>

#include "app/document/core/save_as.h"

class CKorvaneDoc;
class QWidget;

// The string id of a box's Save As filter list.
int SaveFilterId(ESaveAsBox box);

// Writes what the box's Save As writes for `path` and the 1-based `filter`; false when nothing
// was written.
bool SaveBoxTo(CKorvaneDoc* doc, ESaveAsBox box, const QString& path, int filter, QStringView boxText);

// Shows the Save As dialog for the box and saves. False on cancel or when nothing was written.
bool RunSaveAsDialog(QWidget* parent, CKorvaneDoc* doc, ESaveAsBox box, QStringView boxText);

#endif
