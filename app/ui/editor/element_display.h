// What the pattern box, the structure tree and the group list share about showing elements:
// the element colour table, the execution count of a record, the heat colour, the tree caption
// of a record, the group number of a record, the announcement of a new current element, and the
// context menu of the tree and the list.
//
// Covered through the views that use it: app/ui/editor/tests/regex_edit_view_test.cpp (colours,
// heat), tree_group_view_test.cpp (captions, group rows, the current element) and
// app/ui/tests/context_menu_test.cpp (the context menu).
#ifndef KORVANE_ELEMENT_DISPLAY_H
#define KORVANE_ELEMENT_DISPLAY_H

#include <QRgb>
#include <QString>

#include "app/document/pattern/element_records.h"
#include "app/plugin_host/korvane_plugin.h"  // the element codes (ZEL_...)

class CDocView;
class CKorvaneDoc;
class QPoint;
class QWidget;

// The text colour of an element kind (type codes 1 to 21); false for a code the table does not
// hold (0, unknown), which leaves the colour unchanged.
bool ElementTextColor(int typeCode, QRgb* color);

// How often the record's element ran: the first two run counters for the leaf-like codes 2, 3,
// 4, 8, 10, 12, 13, 14 and 17, all four for every other code; 0 for an empty record. The
// counters are the document's ElementCounters (0 while a search is writing them).
long long ExecutionCount(const CKorvaneDoc& doc, const ElementRecord* record);
// The largest execution count in the subtree of `record`.
long long LargestExecutionCount(const CKorvaneDoc& doc, const ElementRecord* record);

// Heat value k of the pattern box's optimize mode: floor(log10(c) * 255 / max(log10(N), 4.5)),
// at most 255; -1 when c <= 1 (automatic background).
int PatternHeat(long long c, long long n);
// Heat value k of the structure tree: floor(log10(c) * 255 / log10(N)), at most 255; -1 when
// c <= 1 or N <= 1.
int TreeHeat(long long c, long long n);
// RGB(255, 255 - k, 255 - k).
inline QRgb HeatColor(int k) { return qRgb(255, 255 - k, 255 - k); }

// The structure tree's caption of a record by its type code (named and balancing groups
// included), without the optimize-mode count.
QString ElementCaption(const ElementRecord* record);
// The capture group number of a record of code 20, else -1.
int RecordGroupNumber(const ElementRecord* record);
// The balancing group number of a record of code 20 (-1 when not balancing).
int RecordBalanceNumber(const ElementRecord* record);

// The plain-words sentence of an element (the document's explanation of its record); empty for
// an element that has no record in the current compile. The tool tip of a tree node and of the
// pattern box under the mouse.
QString ElementExplanation(const CKorvaneDoc& doc, const HostElement* element);

// Tells the other views that the document's current element changed: HINT_CURRENT_ELEMENT, then
// HINT_RESULTS when the last result is a match, then HINT_RECOLOR_PATTERN when "Only current
// node" is on.
void AnnounceCurrentElement(CKorvaneDoc* doc, CDocView* sender);
// What the tree and the group list do when the user selects a node or row: makes its element
// the document's current one and announces it. An element that is not in the document's current
// records (a view that missed a recompile) is taken as none.
void SelectCurrentElement(CKorvaneDoc* doc, CDocView* sender, const HostElement* element);

// The context menu of the structure tree and the group list at `globalPos`: Cut, Copy and
// Delete act on the pattern box, which selects the current element (ShowViewContextMenu with
// the pattern box as the view).
void ShowElementContextMenu(CKorvaneDoc* doc, const QPoint& globalPos);

#endif
