// The pane table of the main frame: one row per docking pane, with the bar's id and title, the
// view that fills it, the View-menu command that shows and hides it, and where and in which work
// modes the built-in layout shows it. CMainFrame makes its docking bars, the panes' View-menu
// entries, their check marks and toggling, and the built-in layout from these rows alone, so a
// new pane is one row here (with its bar id in FrameBarId, its strings and its command).
//
// Two orders. The rows stand in the order the built-in layout places the bars: a row placed
// beside another bar comes after it, and Qt's docking layout keeps the order of the operations
// (a tab group lists its tabs as they were added). The bars themselves are made, saved and listed
// (the View menu, the bars' context menu, the pane cycle) in the order of their ids (ById()).
//
// Covered by app/ui/tests/frame_test.cpp (the table's rows against the frame) and
// frame_layout_test.cpp (the built-in layouts).
#ifndef KORVANE_PANE_TABLE_H
#define KORVANE_PANE_TABLE_H

#include <Qt>
#include <vector>

class CKorvaneDoc;
class CMainFrame;
class QWidget;

struct PaneRegistration {
  // How the built-in layout places the bar: docked at the end of `area`; in the place after
  // `beside` (right of it, or below it); or as a tab in `beside`'s place.
  enum Place { DOCK, SPLIT_AFTER, TAB_WITH };
  // Makes the view that fills the bar `bar` (its Qt parent); the frame is there for views that
  // report to it. Null for a bar that holds nothing.
  using Factory = QWidget* (*)(CMainFrame& frame, CKorvaneDoc* doc, QWidget* bar);

  int barId;         // FrameBarId (main_frame.h), also the bar's place in the View menu
  int captionId;     // the bar's title
  int commandId;     // the View-menu command that shows and hides it; 0: not in the menu
  Factory create;
  Place place;
  Qt::DockWidgetArea area;    // DOCK
  int beside;                 // SPLIT_AFTER, TAB_WITH: the bar placed beside
  Qt::Orientation direction;  // SPLIT_AFTER: Qt::Horizontal right of `beside`, Qt::Vertical below
  // The work modes (bit 1 << mode, WorkMode in korvane_doc.h) whose built-in layout shows the
  // bar; the layout taken once at start shows only the bars shown in every mode.
  unsigned shownInModes;
};

class CPaneTable {
 public:
  static constexpr unsigned kAllModes = ~0u;
  static constexpr unsigned ModeBit(int mode) { return 1u << mode; }

  // Every pane, in the order the built-in layout places them.
  static const std::vector<PaneRegistration>& All();
  // The same rows by bar id.
  static const std::vector<const PaneRegistration*>& ById();
  // The row of a bar, or of the View-menu command that toggles it; null when there is none.
  static const PaneRegistration* Find(int barId);
  static const PaneRegistration* ByCommand(int commandId);
};

#endif
