// The pane table of the main frame (see pane_table.h).
#include "app/ui/frame/pane_table.h"

#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/ui/panes/diagram/diagram_view.h"
#include "app/ui/editor/regex_group_list_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/panes/backtrack/backtrack_pane.h"
#include "app/ui/panes/clips/clip_list_view.h"
#include "app/ui/panes/explanation/explanation_pane.h"
#include "app/ui/panes/snapshots/snapshot_tree_view.h"
#include "app/ui/panes/test_cases/test_case_pane.h"
#include "app/ui/panes/history/trace_history_pane.h"
#include "app/ui/panes/flavours/flavours_pane.h"
#include "korvane_ids.h"

namespace {

template <class View>
QWidget* Make(CMainFrame&, CKorvaneDoc* doc, QWidget* bar) {
  return new View(doc, bar);
}

// The tests' count goes to the status bar as the pane changes it.
QWidget* MakeTests(CMainFrame& frame, CKorvaneDoc* doc, QWidget* bar) {
  auto* pane = new CTestCasePane(doc, bar);
  QObject::connect(pane, &CTestCasePane::SummaryChanged, &frame,
                   [&frame](const QString& text) { frame.ShowTestsSummary(text); });
  return pane;
}

// A timed-out cell of the Flavours pane leads to the Backtracking pane.
QWidget* MakeFlavours(CMainFrame& frame, CKorvaneDoc* doc, QWidget* bar) {
  auto* pane = new CFlavoursPane(doc, bar);
  QObject::connect(pane, &CFlavoursPane::ShowBacktracking, &frame, [&frame] { frame.ShowPane(BAR_BACKTRACK); });
  return pane;
}

// A rewrite the user applies becomes an edit of the pattern box.
QWidget* MakeBacktrack(CMainFrame& frame, CKorvaneDoc* doc, QWidget* bar) {
  auto* pane = new CBacktrackPane(doc, bar);
  QObject::connect(pane, &CBacktrackPane::ApplyPattern, &frame,
                   [&frame](const QString& pattern) { frame.ReplacePatternAsEdit(pattern); });
  return pane;
}

using P = PaneRegistration;
const unsigned kAll = CPaneTable::kAllModes;
const unsigned kHidden = 0;

}  // namespace

const std::vector<PaneRegistration>& CPaneTable::All() {
  // Placed in this order: Structure on the left; Group at the bottom across the whole width with
  // Tests right of it, Backtracking a tab there; Snapshot on the right above Text clip, with
  // Stack above them in Trace mode; Explanation right of Tests and Diagram a tab beside Tests,
  // both until the View menu shows them, and Flavours a tab there too; the Message bar, which
  // holds nothing, hidden.
  static const std::vector<PaneRegistration> rows = {
      {BAR_STRUCTURE, IDS_BAR_STRUCTURE, ID_VIEW_STRUCTURE, &Make<CRegexTreeView>, P::DOCK,
       Qt::LeftDockWidgetArea, 0, Qt::Horizontal, kAll},
      {BAR_MESSAGE, IDS_BAR_MESSAGE, 0, nullptr, P::DOCK, Qt::BottomDockWidgetArea, 0, Qt::Horizontal, kHidden},
      {BAR_GROUP, IDS_BAR_GROUP, ID_VIEW_GROUP, &Make<CRegexGroupListView>, P::DOCK, Qt::BottomDockWidgetArea, 0,
       Qt::Horizontal, kAll},
      {BAR_TESTS, IDS_BAR_TESTS, ID_VIEW_TESTS, &MakeTests, P::SPLIT_AFTER, Qt::BottomDockWidgetArea, BAR_GROUP,
       Qt::Horizontal, kAll},
      {BAR_BACKTRACK, IDS_BAR_BACKTRACK, ID_VIEW_BACKTRACK, &MakeBacktrack, P::TAB_WITH, Qt::BottomDockWidgetArea,
       BAR_TESTS, Qt::Horizontal, kHidden},
      {BAR_STACK, IDS_BAR_STACK, ID_VIEW_STACK, &Make<CTraceHistoryPane>, P::DOCK, Qt::RightDockWidgetArea, 0,
       Qt::Vertical, ModeBit(MODE_TRACE)},
      {BAR_SNAPSHOT, IDS_BAR_SNAPSHOT, ID_VIEW_SNAPSHOT, &Make<CSnapshotTreeView>, P::DOCK, Qt::RightDockWidgetArea, 0,
       Qt::Vertical, kAll},
      {BAR_TEXT_CLIP, IDS_BAR_TEXT_CLIP, ID_VIEW_TEXT_CLIP, &Make<CClipListView>, P::SPLIT_AFTER,
       Qt::RightDockWidgetArea, BAR_SNAPSHOT, Qt::Vertical, kAll},
      {BAR_EXPLANATION, IDS_BAR_EXPLANATION, ID_VIEW_EXPLANATION, &Make<CExplanationPane>, P::SPLIT_AFTER,
       Qt::BottomDockWidgetArea, BAR_TESTS, Qt::Horizontal, kHidden},
      {BAR_DIAGRAM, IDS_BAR_DIAGRAM, ID_VIEW_DIAGRAM, &Make<CDiagramPane>, P::TAB_WITH, Qt::BottomDockWidgetArea,
       BAR_TESTS, Qt::Horizontal, kHidden},
      {BAR_FLAVOURS, IDS_BAR_FLAVOURS, ID_VIEW_FLAVOURS, &MakeFlavours, P::TAB_WITH, Qt::BottomDockWidgetArea,
       BAR_TESTS, Qt::Horizontal, kHidden},
  };
  return rows;
}

const std::vector<const PaneRegistration*>& CPaneTable::ById() {
  static const std::vector<const PaneRegistration*> byId = [] {
    std::vector<const PaneRegistration*> out;
    for (const PaneRegistration& row : All()) out.push_back(&row);
    std::sort(out.begin(), out.end(), [](const PaneRegistration* a, const PaneRegistration* b) { return a->barId < b->barId; });
    return out;
  }();
  return byId;
}

const PaneRegistration* CPaneTable::Find(int barId) {
  for (const PaneRegistration& row : All())
    if (row.barId == barId) return &row;
  return nullptr;
}

const PaneRegistration* CPaneTable::ByCommand(int commandId) {
  if (commandId == 0) return nullptr;
  for (const PaneRegistration& row : All())
    if (row.commandId == commandId) return &row;
  return nullptr;
}
