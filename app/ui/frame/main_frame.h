// CMainFrame: the one top-level window of korvane. It owns the menu bar, the tool bar, the
// status bar, the three dialog bars (match options, match buttons, work mode), the docking bars
// of the pane table (pane_table.h: structure, message, group, stack, text clip, snapshot, tests,
// explanation, diagram, backtracking; each made, listed in the View menu, toggled and placed in
// the built-in layout from its row) and the client area: the pattern pane above the work pane in
// a splitter. It owns
// the single document and is the document's user interface (message boxes, the wait dialog,
// status panes, the mode layouts, the name dialog), routes every command to the active view,
// itself or the document, and keeps one window layout per work mode in the settings store.
//
// The layout on screen belongs to one mode (LayoutMode). The document names a mode when it
// switches; a workspace opened in the mode on screen keeps the user's layout as it stands, and
// one of another mode brings that mode's saved layout, as switching to it would.
//
// Small windows: every mode stays usable down to kSmallWindow (800 x 500). The bars' views and
// the work pane ask for little height (the test editor scrolls inside its pane), and the status
// bar's panes give up width before the window must grow.
//
// Threads: everything here runs on the UI thread, except CloseWaitDialog and PostCommand,
// which the match worker calls; both only post to the UI thread.
//
// Covered by app/ui/tests/frame_test.cpp.
#ifndef KORVANE_MAIN_FRAME_H
#define KORVANE_MAIN_FRAME_H

#include <QByteArray>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "app/document/core/korvane_doc.h"
#include "app/plugin_host/plugin_manager.h"
#include "app/ui/shared/frame_services.h"
#include "app/ui/frame/recent_files.h"

class CBreakpointConditionDialog;
class CKorvaneBack;
struct Breakpoint;
class CProgressDialog;
class CProfile;
class CSizingControlBarG;
class CTestCasePane;
class QAbstractButton;
class QDockWidget;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

// The resource ids of the built-in layouts, one per work mode.
enum BuiltInLayoutId {
  IDR_LAYOUT_MATCH = 130,
  IDR_LAYOUT_REPLACE = 131,
  IDR_LAYOUT_SPLIT = 132,
  IDR_LAYOUT_TRACE = 133,
  IDR_LAYOUT_OPTIMIZE = 134
};

// Bar ids (also the ids of the toolbar and status bar commands that toggle them).
enum FrameBarId {
  BAR_STRUCTURE = 128,
  BAR_MESSAGE = 129,
  BAR_GROUP = 130,
  BAR_STACK = 131,
  BAR_MATCH_MODE = 132,
  BAR_MATCH_BUTTONS = 133,
  BAR_WORK_MODE = 134,
  BAR_TEXT_CLIP = 135,
  BAR_SNAPSHOT = 136,
  BAR_TESTS = 137,
  BAR_EXPLANATION = 138,
  BAR_DIAGRAM = 139,
  BAR_BACKTRACK = 140,
  BAR_FLAVOURS = 141,
  BAR_TOOLBAR = 59392,
  BAR_STATUS = 59393
};

class CConvertDialog;
class CMainFrame : public QMainWindow, public IDocumentUi, public CFrameServices, public IPluginFrame {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  CKorvaneDoc* Doc() const { return m_pDoc.get(); }

  // --- commands ---
  // Routes a command: plugin commands to the plugin host, view commands to the active view,
  // frame and application commands here, the rest to the document.
  void OnCommand(int id);
  // Tools > Convert to Flavour: the dialog for the first of the chosen flavours that converts
  // (Python when none does), shown without blocking. Returns it for the tests.
  CConvertDialog* OpenConvertDialog();
  // Enable state, check mark and changed text of a command, as the menus show it.
  CommandState QueryCommand(int id) const;
  // Brings every menu item, tool-bar button and dialog-bar control up to date.
  void UpdateCommandUi();
  // The action of a command (menus and tool bar share it); null for an unknown id.
  QAction* CommandAction(int id) const { return m_actions.value(id, nullptr); }
  // The check box or button of a dialog bar with that command id.
  QAbstractButton* BarControl(int id) const { return m_barControls.value(id, nullptr); }
  // A top-level menu by its caption string id (IDS_MENU_FILE ...).
  QMenu* TopMenu(int captionId) const { return m_topMenus.value(captionId, nullptr); }
  // A context menu by its template id (kept from creation).
  QMenu* ContextMenu(int templateId) const { return m_contextMenus.value(templateId, nullptr); }
  // The greying pass the frame runs before a menu shows: command states, then submenus.
  void PrepareMenu(QMenu* menu);

  // --- bars and layouts ---
  CSizingControlBarG* SizingBar(int barId) const;
  // Shows a docking bar in front (its tab raised where it shares a place); one already in front
  // stays.
  void ShowPane(int barId);
  QToolBar* ToolBarOf(int barId) const;  // the tool bar or a dialog bar
  // The tool bars' and bars' context menu, always in one order (see main_frame.cpp).
  QMenu* createPopupMenu() override;
  QWidget* Bar(int barId) const;         // any bar by id (status bar included)
  void ResetAllBars();
  // The built-in layout of a mode (BuiltInLayoutId; Match's also for no mode). They place the
  // bars alike; Trace mode shows the Stack bar as well.
  void ApplyDefaultLayout(int mode);
  static int DefaultLayoutId(int mode);
  // The mode whose layout is on screen; -1 before the first.
  int LayoutMode() const { return m_nLayoutMode; }
  // The smallest window in which every mode stays usable.
  static constexpr int kSmallWindowWidth = 800;
  static constexpr int kSmallWindowHeight = 500;

  // --- panes ---
  CKorvaneBack* WorkPane() const { return m_pWorkPane; }
  QWidget* PatternPane() const { return m_pPatternPane; }
  QSplitter* Splitter() const { return m_pSplitter; }

  // --- status bar ---
  QString MessageText() const;
  QString ElapsedText() const;
  QString ResultText() const;
  // "Step 1,204 of 1,210" while a traced search is paused, else empty (the pane is hidden).
  QString StepText() const;
  // The tests' count ("Tests: 11 passed, 1 failed"), blanks while there are no tests.
  QString TestsText() const;
  // The view of the Tests bar, which carries out the Tests menu wherever the focus is.
  CTestCasePane* TestsPane() const;
  // Shows the tests' count in its status pane (the Tests pane reports it; blanks when empty).
  void ShowTestsSummary(const QString& text);

  // --- the pattern box ---
  // Puts `pattern` into the pattern box as an edit of the user's, which Undo takes back (a
  // rewrite the Backtracking pane applies).
  void ReplacePatternAsEdit(const QString& pattern);

  // --- files ---
  // Opens a workspace as the document. The file is read and checked completely first: one that
  // does not exist, cannot be read, is not a workspace or is damaged gets a message saying why,
  // and the open workspace stays as it was. With `askToSave`, the save question for the open
  // workspace comes only once the new file is known to be good (Cancel keeps everything).
  bool OpenDocumentFile(const QString& path, bool askToSave = false);
  // Opens the first name ending in ".rws" (any case); ignores the others.
  void OpenDroppedFiles(const QStringList& paths);
  // Accepts dropped files from now on (after the first show).
  void EnableDrop();
  CRecentFileList& RecentFiles() { return m_recent; }
  // The selected text of the active text box when the last menu opened (plugin commands read it;
  // the plugin host captures it).
  std::vector<unsigned short> SelectionBuffer() const {
    return m_pPlugins ? m_pPlugins->CapturedSelection() : std::vector<unsigned short>();
  }

  // The one place where the plugin host fills the Tools submenus and the context menus'
  // Import / Export / Optimize submenus, and where plugin commands (40000 .. 41000) go.
  // Loads the plugins of `folder` (when empty: beside the program in a build folder, in the
  // library folder of an installed program) in place of those loaded.
  void FillPluginMenus(const QString& folder = QString());
  void OnPluginCommand(int id);
  // The plugin host (null only while FillPluginMenus replaces it).
  const PluginManager* Plugins() const { return m_pPlugins.get(); }

  // --- IDocumentUi ---
  int MessageBox(const QString& text, const QString& caption, int icon, int buttons) override;
  void RunWaitDialog(CKorvaneDoc* doc) override;
  void CloseWaitDialog() override;
  void PumpEvents() override;
  void PostCommand(int id) override;
  void ShowElapsedTime(double seconds) override;
  void ShowElapsedTimeAndSteps(double seconds, unsigned long long steps, bool traced) override;
  void ShowNote(const QString& text) override;
  void ShowResultPosition(int index, int count) override;
  void SaveModeLayout(int mode) override;
  void LoadModeLayout(int mode) override;
  bool AskName(QString& name) override;
  // The open wait dialog, or null.
  CProgressDialog* WaitDialog() const { return m_pWaitDialog; }

  // --- CFrameServices ---
  QWidget* ActiveView() const override { return m_activeView; }
  void SetActiveView(QWidget* view) override;
  QWidget* PatternEditView() const override { return m_patternView; }
  void SetStatusPrompt(const QString& text) override;
  void ShowContextMenu(int templateId, QWidget* view, const QPoint& globalPos) override;
  void RunCommand(int id) override { OnCommand(id); }

  // --- IPluginFrame ---
  CKorvaneDoc* ActiveDocument() override { return m_pDoc.get(); }
  IPluginTextBox* ActiveTextBox() override;

  // Replaces message boxes (tests): gets text, caption, icon and buttons, returns the answer.
  std::function<int(const QString&, const QString&, int, int)> messageBoxHook;
  // Replaces running the breakpoint condition dialog (tests): fills it in, returns accepted.
  std::function<bool(CBreakpointConditionDialog*)> conditionDialogHook;
  // Replaces File > Open's file dialog (tests): the path chosen, empty when cancelled.
  std::function<QString()> openPathHook;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateActions();
  // Tells the user, after the current event, that a plugin command threw and is switched off.
  void ReportPluginFault(const PluginCommand& cmd);
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreateDialogBars();
  void CreateSizingBars();
  void CreateClient();
  void CreateContextMenus();
  void PlaceBarsByDefault();
  void UpdateRecentMenu();
  void UpdateTitle();
  void OnFocusChanged(QWidget* old, QWidget* now);
  QWidget* ViewOf(QWidget* widget) const;
  void MoveActiveAwayFrom(QWidget* widget);
  void ToggleBar(int id);
  // Brings a docking bar forward: shown, and its tab raised when it shares a place with others.
  void BringBarForward(QWidget* bar);
  // Whether a docking bar is shown and not behind another bar's tab.
  bool IsBarInFront(QDockWidget* dock) const;
  // The status bar's trace step and the run-to commands' tool tips, from the document.
  void UpdateStepPane();
  void UpdateRunToTips();
  // Saves the layout on screen under its own mode, the shares as the work pane shows them.
  void SaveShownLayout();
  // The breakpoint on the current element's span, or null (also while a search runs unpaused:
  // the list may change only while the match worker waits).
  const Breakpoint* CurrentBreakpoint() const;
  void EditBreakpointCondition();
  void SwitchPane(bool forward);
  CommandState QueryViewCommand(int id) const;
  bool RouteViewCommand(int id);
  QWidget* ViewCommandTarget(int id) const;
  void RunFontsDialog();
  bool AskToSave();
  // Before the window closes: one last write of clip changes not yet saved; when they still
  // cannot be saved, asks whether to close anyway. True when the window may close.
  bool AskToLoseUnsavedClips();
  bool SaveDocument(bool askName);
  void NewDocument();
  void OpenDocumentDialog();
  void AfterDocumentLoaded();
  void SetPaneText(QLabel* label, const QString& text);
  // The document's file name (empty while untitled), and the clips check (frame_files.cpp).
  QString DocumentPath() const;
  void ClearDocumentPath();
  void CheckClips();

  std::unique_ptr<CProfile> m_pProfile;  // the per-user settings store
  QHash<int, QAction*> m_actions;        // command id -> action (owned by the frame)
  QHash<int, QAbstractButton*> m_barControls;
  QHash<int, QMenu*> m_topMenus;
  QHash<int, QMenu*> m_contextMenus;
  QMenu* m_pRecentMenu = nullptr;
  QList<QAction*> m_recentActions;
  QToolBar* m_pToolBar = nullptr;
  QToolBar* m_pMatchModeBar = nullptr;
  QToolBar* m_pMatchButtonsBar = nullptr;
  QToolBar* m_pWorkModeBar = nullptr;
  // The docking bars, in the order of their ids (CPaneTable::ById); owned by the frame (Qt).
  std::vector<CSizingControlBarG*> m_bars;
  QLabel* m_pMessage = nullptr;
  QLabel* m_pElapsed = nullptr;
  QLabel* m_pResult = nullptr;
  QLabel* m_pTests = nullptr;
  QLabel* m_pStep = nullptr;  // the trace step while paused
  QSplitter* m_pSplitter = nullptr;
  QWidget* m_pPatternPane = nullptr;
  CKorvaneBack* m_pWorkPane = nullptr;
  QPointer<QWidget> m_patternView;
  QPointer<QWidget> m_activeView;
  // The plugin libraries beside the program, their commands and menu items (made once the menus
  // stand, unloaded before the document goes).
  std::unique_ptr<PluginManager> m_pPlugins;
  CPlainTextBox m_pluginBox;  // re-attached to the active text box for each plugin call
  QByteArray m_defaultState;  // the built-in placement of every bar, taken at creation
  int m_nLayoutMode = -1;     // the mode whose layout is on screen
  QByteArray m_shownSavedState;  // the docking state last saved for that mode
  // Tells the frame of the document's changes (the status bar's trace step); registered with
  // the document from the constructor to the destructor.
  std::unique_ptr<CDocView> m_pDocWatch;
  CRecentFileList m_recent;
  CProgressDialog* m_pWaitDialog = nullptr;
  // Counts opened wait dialogs, so that a close posted for one never closes a later one.
  // Written by the UI thread, read by the match worker.
  std::atomic<int> m_nWaitGeneration{0};
  int m_nCommandDepth = 0;  // commands being carried out (the wait loop can re-enter)
  bool m_bClosing = false;
  // The single document. The destructor deletes every child widget (the views unregister
  // from the document) before this member goes.
  std::unique_ptr<CKorvaneDoc> m_pDoc;
};

#endif
