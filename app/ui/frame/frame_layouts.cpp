// CMainFrame's layouts: the placement of the bars every built-in layout shares, each mode's
// built-in layout, the bars by id, and the layout of each work mode saved to the settings store
// and restored from it (with the work pane's shares). The rest of the frame is in
// main_frame.cpp.
//
// Covered by app/ui/tests/frame_layout_test.cpp.
#include <QStatusBar>
#include <QToolBar>

#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/layout_store.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/frame/pane_table.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"

namespace {

const char kDockStateKey[] = "DockState";
const char kStatusBarKey[] = "StatusBar";
const int kStateVersion = 1;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Built-in layouts and the bars by id

// The placement every built-in layout shares: tool bar and work-mode bar in the first top row,
// match-mode bar in the second, match-buttons bar in the third; the docking bars as the pane
// table places them (pane_table.cpp), in its order, each hidden unless it is shown in every
// mode. Taken once as the framework's state, which the built-in layouts restore.
void CMainFrame::PlaceBarsByDefault() {
  addToolBar(Qt::TopToolBarArea, m_pToolBar);
  addToolBar(Qt::TopToolBarArea, m_pWorkModeBar);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, m_pMatchModeBar);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, m_pMatchButtonsBar);
  setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
  setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
  for (const PaneRegistration& pane : CPaneTable::All()) {
    CSizingControlBarG* bar = SizingBar(pane.barId);
    switch (pane.place) {
      case PaneRegistration::DOCK: addDockWidget(pane.area, bar); break;
      case PaneRegistration::SPLIT_AFTER: splitDockWidget(SizingBar(pane.beside), bar, pane.direction); break;
      case PaneRegistration::TAB_WITH: tabifyDockWidget(SizingBar(pane.beside), bar); break;
    }
    if (pane.shownInModes != CPaneTable::kAllModes) bar->hide();
  }
  m_defaultState = saveState(kStateVersion);
}

int CMainFrame::DefaultLayoutId(int mode) {
  switch (mode) {
    case MODE_REPLACE: return IDR_LAYOUT_REPLACE;
    case MODE_SPLIT: return IDR_LAYOUT_SPLIT;
    case MODE_TRACE: return IDR_LAYOUT_TRACE;
    case MODE_OPTIMIZE: return IDR_LAYOUT_OPTIMIZE;
    default: return IDR_LAYOUT_MATCH;
  }
}

void CMainFrame::ApplyDefaultLayout(int mode) {
  (void)DefaultLayoutId(mode);  // every mode's built-in layout places the bars alike
  restoreState(m_defaultState, kStateVersion);
  m_pToolBar->show();
  m_pWorkModeBar->show();
  m_pMatchModeBar->show();
  m_pMatchButtonsBar->show();
  statusBar()->show();
  // Each pane docked and shown in the modes its row names (Trace mode's main tools, the stack of
  // the paused search and the history slider, on the right above Snapshot), else hidden.
  for (const PaneRegistration* pane : CPaneTable::ById()) {
    CSizingControlBarG* bar = SizingBar(pane->barId);
    if (pane->shownInModes == 0) {
      bar->hide();
      continue;
    }
    bar->setFloating(false);
    bar->setVisible((pane->shownInModes & CPaneTable::ModeBit(mode)) != 0);
  }
  resizeDocks({SizingBar(BAR_STRUCTURE), SizingBar(BAR_SNAPSHOT)}, {220, 220}, Qt::Horizontal);
  resizeDocks({SizingBar(BAR_GROUP)}, {200}, Qt::Vertical);
  // While tracing, the stack is what one reads most on the right: it gets half the column.
  if (mode == MODE_TRACE)
    resizeDocks({SizingBar(BAR_STACK), SizingBar(BAR_SNAPSHOT), SizingBar(BAR_TEXT_CLIP)}, {240, 120, 120}, Qt::Vertical);
  // Group and Tests share the bottom: the tests' reasons need the room more than the captures.
  const int bottom = width() > 400 ? width() : 1000;
  resizeDocks({SizingBar(BAR_GROUP), SizingBar(BAR_TESTS)}, {bottom / 4, bottom * 3 / 4}, Qt::Horizontal);
}

void CMainFrame::ResetAllBars() {
  m_nLayoutMode = m_pDoc->GetMode();
  m_shownSavedState.clear();
  ApplyDefaultLayout(m_pDoc->GetMode());
  m_pWorkModeBar->hide();
}

CSizingControlBarG* CMainFrame::SizingBar(int barId) const {
  for (CSizingControlBarG* bar : m_bars)
    if (bar->BarId() == barId) return bar;
  return nullptr;
}

QToolBar* CMainFrame::ToolBarOf(int barId) const {
  switch (barId) {
    case BAR_TOOLBAR: return m_pToolBar;
    case BAR_MATCH_MODE: return m_pMatchModeBar;
    case BAR_MATCH_BUTTONS: return m_pMatchButtonsBar;
    case BAR_WORK_MODE: return m_pWorkModeBar;
    default: return nullptr;
  }
}

QWidget* CMainFrame::Bar(int barId) const {
  if (barId == BAR_STATUS) return statusBar();
  if (QToolBar* bar = ToolBarOf(barId)) return bar;
  return SizingBar(barId);
}

// ---------------------------------------------------------------------------------------------
// Mode layouts

// The layout on screen is saved under the mode it belongs to. The document may name another
// one: it clears itself to Match mode, without a switch, before it reads a workspace.
void CMainFrame::SaveModeLayout(int mode) {
  if (m_nLayoutMode >= 0) mode = m_nLayoutMode;
  CProfile& profile = *m_pProfile;
  const QString section = CLayoutStore::ModeSection(mode);
  const QByteArray state = saveState(kStateVersion);
  profile.Settings().setValue(CProfile::KeyPath(section, QLatin1String(kDockStateKey)), state);
  m_shownSavedState = state;
  profile.WriteInt(section, QLatin1String(kStatusBarKey), statusBar()->isVisible() ? 1 : 0);
  for (CSizingControlBarG* bar : m_bars)
    if (bar) bar->SaveSizes(profile, section);
  // The document's shares are those on screen unless it has cleared itself for a file: then the
  // work pane still shows the user's.
  float pattern = m_pDoc->GetPatternShare(), text = m_pDoc->GetTextShare();
  if (m_pDoc->GetMode() != mode && m_pWorkPane) {
    pattern = m_pWorkPane->PatternShare();
    text = m_pWorkPane->TextShare();
  }
  CLayoutStore::WriteRatios(profile, mode, pattern, text);
  if (m_pPatternPane) CLayoutStore::WritePatternHeight(profile, m_pPatternPane->height());
  CLayoutStore::MarkSaved(profile, mode);
  profile.Flush();
}

void CMainFrame::SaveShownLayout() {
  if (m_nLayoutMode >= 0) SaveModeLayout(m_nLayoutMode);
}

void CMainFrame::LoadModeLayout(int mode) {
  CProfile& profile = *m_pProfile;
  if (mode == m_nLayoutMode) {
    // A workspace of the mode on screen was opened: the bars stay as the user left them, and
    // the work pane's separators where they stand (the document read other shares).
    if (m_pWorkPane) m_pDoc->SetShares(m_pWorkPane->PatternShare(), m_pWorkPane->TextShare());
    if (m_pWorkPane && m_pWorkPane->LaidOutMode() == m_pDoc->GetMode()) m_pWorkPane->ReloadRatios();
    return;
  }
  // Another mode's layout replaces the one on screen: keep that one first, as a switch does
  // (a workspace read in another mode did not switch).
  if (m_nLayoutMode >= 0 && saveState(kStateVersion) != m_shownSavedState) SaveShownLayout();
  m_nLayoutMode = mode;
  m_shownSavedState.clear();
  if (!CLayoutStore::IsSaved(profile, mode)) {
    ApplyDefaultLayout(mode);
    return;
  }
  const QString section = CLayoutStore::ModeSection(mode);
  for (CSizingControlBarG* bar : m_bars)
    if (bar) bar->LoadSizes(profile, section);
  const QByteArray state =
      profile.Settings().value(CProfile::KeyPath(section, QLatin1String(kDockStateKey))).toByteArray();
  if (state.isEmpty() || !restoreState(state, kStateVersion)) {
    // A damaged layout is no error either: the mode's built-in one stands in.
    ApplyDefaultLayout(mode);
  } else {
    statusBar()->setVisible(profile.GetInt(section, QLatin1String(kStatusBarKey), 1) != 0);
    // The bars' own sizes, as each one's state holds it.
    for (CSizingControlBarG* bar : m_bars) {
      if (!bar || !bar->isVisible()) continue;
      if (bar->isFloating()) {
        bar->resize(bar->FloatSize());
        continue;
      }
      const Qt::DockWidgetArea area = dockWidgetArea(bar);
      if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
        resizeDocks({bar}, {bar->VertSize().width()}, Qt::Horizontal);
      else if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea)
        resizeDocks({bar}, {bar->HorzSize().height()}, Qt::Vertical);
    }
  }
  float replaceTo = 0.2f, text = 0.5f;
  CLayoutStore::ReadRatios(profile, mode, &replaceTo, &text);
  m_pDoc->SetShares(replaceTo, text);
  if (m_pWorkPane && m_pWorkPane->LaidOutMode() == m_pDoc->GetMode()) m_pWorkPane->ReloadRatios();
}
