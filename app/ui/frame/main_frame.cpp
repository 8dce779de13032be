// CMainFrame: creation, menus, tool bar and bars, the active view, status panes, the document's
// user interface and files. Its layouts are in frame_layouts.cpp, its commands in
// frame_commands.cpp.
//
// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/main_frame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "app/document/debugger/debug_session.h"
#include "app/document/files/text_clips.h"
#include "app/document/matching/step_counts.h"
#include "app/ui/frame/command_table.h"
#include "app/ui/editor/item_look.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/frame/fonts_dialog.h"
#include "app/ui/frame/frame_dialogs.h"
#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/layout_store.h"
#include "app/ui/frame/pane_table.h"
#include "app/ui/panes/test_cases/test_case_pane.h"
#include "app/ui/panes/history/trace_stack_list_view.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "stringtable.h"

namespace {

const int kIdleUpdateMs = 200;
// The main window's size, position and maximized state, as QWidget::saveGeometry writes them.
const char kWindowPlacementKey[] = "Settings/WindowPlacement";

// The three blanks the custom panes show when empty.
QString Blanks() { return QStringLiteral("   "); }

// A pattern box is given this much room by default; the splitter keeps it when the window grows.
const int kInitialWorkHeight = 150;

QString ToolBarName(int id) { return QStringLiteral("Bar-%1").arg(id); }

// A button of the work-mode bar. The style draws a checked button only a shade off the others,
// which a dark palette all but hides: the active mode's button is drawn here, in the palette's
// selection colour moved until it stands 3:1 from the bar, with its text at 4.5:1 on it.
class CModeButton : public QPushButton {
 public:
  explicit CModeButton(const QString& text) : QPushButton(text) { setCheckable(true); }

  // The face and text colours of the active button on a bar drawn in `palette`.
  static void ActiveColours(const QPalette& palette, QColor* face, QColor* text) {
    const QColor window = palette.color(QPalette::Window);
    const QColor light = palette.color(QPalette::HighlightedText);
    *face = ReadableTextColor(palette.color(QPalette::Highlight), window, 3.0);
    *text = light;
    if (ContrastRatio(light, *face) >= 4.5) return;
    // The selection's own text when the face can move away from it and still stand out from
    // the bar (a light bar: a deeper face); else text that reads on this face.
    const QColor deeper = ReadableTextColor(*face, light, 4.5);
    if (ContrastRatio(deeper, window) >= 3.0 && ContrastRatio(light, deeper) >= 4.5) *face = deeper;
    else *text = ReadableTextColor(light, *face, 4.5);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (!isChecked()) {
      QPushButton::paintEvent(event);
      return;
    }
    QColor face, text;
    ActiveColours(palette(), &face, &text);
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(face.darker(140), 1));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    option.palette.setColor(QPalette::ButtonText, text);
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
    if (hasFocus()) {
      QStyleOptionFocusRect focus;
      focus.initFrom(this);
      focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
      painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
  }
};

// Hands the document's notifications to the frame.
class CFrameDocWatch : public CDocView {
 public:
  explicit CFrameDocWatch(std::function<void(int)> onUpdate) : m_onUpdate(std::move(onUpdate)) {}
  void OnUpdate(CDocView*, int hint) override { m_onUpdate(hint); }

 private:
  std::function<void(int)> m_onUpdate;
};

// The pattern pane: the container of the pattern box, which fills it.
class CRegexEditBack : public QWidget {
 public:
  explicit CRegexEditBack(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pattern-pane"));
    // Below its minimum the splitter would not give the pane the stored height (never less than
    // the least stored one); at it, a line of the pattern still shows in a small window.
    setMinimumSize(1, CLayoutStore::kMinPatternHeight);
  }
  void SetView(QWidget* view) {
    m_pView = view;
    Layout();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    Layout();
  }

 private:
  void Layout() {
    if (m_pView) m_pView->setGeometry(rect());
  }
  QWidget* m_pView = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_pProfile(std::make_unique<CProfile>()) {
  setObjectName(QStringLiteral("MainFrame"));
  m_pDoc = std::make_unique<CKorvaneDoc>(this);
  m_pDoc->OnNewDocument();
  m_recent.Load(*m_pProfile);
  CFrameServices::Install(this);
  // A text file a box cannot open (too large, out of memory, unreadable) is reported here.
  CRichEdit2WView::SetMessageHook([frame = QPointer<CMainFrame>(this)](const QString& text) {
    if (frame) frame->MessageBox(text, QString(), ICON_WARNING, BUTTONS_OK);
  });

  CreateActions();
  CreateToolBar();
  CreateStatusBar();
  ShowElapsedTime(-1);
  ShowResultPosition(-1, 0);
  CreateDialogBars();
  CreateSizingBars();
  CreateMenus();
  CreateClient();
  PlaceBarsByDefault();
  LoadModeLayout(m_pDoc->GetMode());
  CreateContextMenus();
  FillPluginMenus();
  m_pDocWatch = std::make_unique<CFrameDocWatch>([this](int) { UpdateStepPane(); });
  m_pDoc->AddView(m_pDocWatch.get());

  // Every view receives its initial update once the frame stands.
  for (CSizingControlBarG* bar : m_bars)
    if (bar)
      if (CDocView* view = dynamic_cast<CDocView*>(bar->View())) view->OnUpdate(nullptr, kInitialUpdateHint);
  if (CDocView* view = dynamic_cast<CDocView*>(m_patternView.data())) view->OnUpdate(nullptr, kInitialUpdateHint);

  connect(qApp, &QApplication::focusChanged, this, &CMainFrame::OnFocusChanged);
  auto* idle = new QTimer(this);
  connect(idle, &QTimer::timeout, this, &CMainFrame::UpdateCommandUi);
  idle->start(kIdleUpdateMs);
  resize(1000, 720);
  // A stored placement that Qt cannot read leaves the default size (restoreGeometry changes
  // nothing then); one off every screen Qt moves back onto a screen.
  restoreGeometry(m_pProfile->Settings().value(QLatin1String(kWindowPlacementKey)).toByteArray());
  UpdateCommandUi();
}

CMainFrame::~CMainFrame() {
  m_pPlugins.reset();  // unloads the plugins first: they may hold the document's texts
  if (CFrameServices::Get() == this) CFrameServices::Install(nullptr);
  if (m_pDocWatch) m_pDoc->RemoveView(m_pDocWatch.get());
  m_activeView = nullptr;
  // The views unregister from the document in their destructors: they go before it.
  const QList<QWidget*> children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) delete child;
  for (QMenu* menu : m_contextMenus) delete menu;
  m_pDoc.reset();
}

void CMainFrame::CreateActions() {
  for (const CommandInfo& info : CCommandTable::All()) {
    auto* action = new QAction(this);
    CMenuResources::SetCommandTexts(action, info.id, info.captionId);
    const QList<QKeySequence> keys = CCommandTable::Shortcuts(info.id);
    if (!keys.isEmpty()) {
      action->setShortcuts(keys);
      action->setShortcutContext(Qt::WindowShortcut);
    }
    const int id = info.id;
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions.insert(id, action);
    // Shortcuts work only for actions added to a widget of the window.
    if (!keys.isEmpty()) addAction(action);
  }
  static const int checkable[] = {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_WORK_MODE, ID_VIEW_MATCH_BUTTONS,
                                  ID_VIEW_MATCH_MODE, ID_MATCH_ONLY_CURRENT_NODE, ID_MATCH_ONLY_START_POINT,
                                  ID_MATCH_LOCATE_FAIL_POINT, ID_OPTION_IGNORECASE, ID_OPTION_SINGLELINE,
                                  ID_OPTION_MULTILINE, ID_OPTION_GLOBAL, ID_OPTION_RIGHTTOLEFT, ID_OPTION_EXTENDED,
                                  ID_MODE_MATCH, ID_MODE_REPLACE, ID_MODE_SPLIT, ID_MODE_OPTIMIZE, ID_MODE_TRACE,
                                  ID_OPTION_CLASSIC};
  for (int id : checkable) m_actions.value(id)->setCheckable(true);
  // A pane's View-menu entry is checked while the pane is shown.
  for (const PaneRegistration& pane : CPaneTable::All())
    if (pane.commandId) m_actions.value(pane.commandId)->setCheckable(true);
  static const struct { int id; const char* icon; } icons[] = {
      {ID_FILE_NEW, "new"}, {ID_FILE_OPEN, "open"}, {ID_FILE_SAVE, "save"}, {ID_EDIT_CUT, "cut"},
      {ID_EDIT_COPY, "copy"}, {ID_EDIT_PASTE, "paste"}, {ID_EDIT_UNDO, "undo"}, {ID_EDIT_REDO, "redo"},
      {ID_RECORD_FIRST, "record_first"}, {ID_RECORD_PREV, "record_prev"}, {ID_RECORD_NEXT, "record_next"},
      {ID_RECORD_LAST, "record_last"}, {ID_ADD_SNAPSHOT, "snapshot"}, {ID_APP_ABOUT, "about"}};
  for (const auto& i : icons)
    m_actions.value(i.id)->setIcon(QIcon(QStringLiteral(":/korvane/icons/%1.png").arg(QLatin1String(i.icon))));
}

void CMainFrame::CreateMenus() {
  QMenuBar* bar = menuBar();
  auto top = [&](int captionId) {
    QMenu* menu = bar->addMenu(CStringTable::Str(captionId));
    m_topMenus.insert(captionId, menu);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { PrepareMenu(menu); });
    return menu;
  };
  auto add = [&](QMenu* menu, int id) { menu->addAction(m_actions.value(id)); };

  QMenu* file = top(IDS_MENU_FILE);
  add(file, ID_FILE_NEW);
  add(file, ID_FILE_OPEN);
  add(file, ID_FILE_SAVE);
  add(file, ID_FILE_SAVE_AS);
  file->addSeparator();
  // The recent files are items of the File menu itself, between two separators.
  m_pRecentMenu = file;
  for (int i = 0; i < CRecentFileList::kMaxEntries; ++i) {
    auto* action = new QAction(this);
    const int id = ID_FILE_MRU_FIRST + i;
    CMenuResources::SetCommandTexts(action, id, 0);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions.insert(id, action);
    m_recentActions.append(action);
    file->addAction(action);
  }
  auto* noRecent = new QAction(CStringTable::Str(IDS_MENU_RECENT_FILE), this);
  noRecent->setEnabled(false);
  noRecent->setObjectName(QStringLiteral("recent-empty"));
  m_recentActions.append(noRecent);
  file->addAction(noRecent);
  file->addSeparator();
  add(file, ID_APP_EXIT);
  UpdateRecentMenu();

  QMenu* edit = top(IDS_MENU_EDIT);
  add(edit, ID_EDIT_UNDO);
  add(edit, ID_EDIT_REDO);
  edit->addSeparator();
  add(edit, ID_EDIT_CUT);
  add(edit, ID_EDIT_COPY);
  add(edit, ID_EDIT_PASTE);
  add(edit, ID_EDIT_CLEAR);
  edit->addSeparator();
  add(edit, ID_EDIT_FIND);
  add(edit, ID_EDIT_REPLACE);
  edit->addSeparator();
  add(edit, ID_EDIT_SELECT_ALL);
  edit->addSeparator();
  add(edit, ID_SELECT_FONTS);

  QMenu* view = top(IDS_MENU_VIEW);
  add(view, ID_VIEW_TOOLBAR);
  add(view, ID_VIEW_STATUS_BAR);
  view->addSeparator();
  // The panes, by bar id.
  for (const PaneRegistration* pane : CPaneTable::ById())
    if (pane->commandId) add(view, pane->commandId);
  view->addSeparator();
  add(view, ID_VIEW_WORK_MODE);
  add(view, ID_VIEW_MATCH_BUTTONS);
  add(view, ID_VIEW_MATCH_MODE);
  view->addSeparator();
  add(view, ID_VIEW_RESET_BARS);

  QMenu* match = top(IDS_MENU_MATCH);
  // Run to Failure and Run to Backtrack name their target element in their tool tips.
  match->setToolTipsVisible(true);
  add(match, ID_MATCH_FIND);
  add(match, ID_MATCH_FIND_ALL);
  add(match, ID_MATCH_STEP);
  add(match, ID_MATCH_STEP_BACK);
  add(match, ID_MATCH_RESET);
  match->addSeparator();
  add(match, ID_MATCH_TOGGLE_BREAKPOINT);
  add(match, ID_MATCH_BREAKPOINT_CONDITION);
  add(match, ID_MATCH_RUN_TO_FAILURE);
  add(match, ID_MATCH_RUN_TO_BACKTRACK);
  add(match, ID_MATCH_RUN_TO_NEXT_START);
  add(match, ID_MATCH_RUN_TO_ATTEMPT_END);
  match->addSeparator();
  add(match, ID_MATCH_ONLY_CURRENT_NODE);
  add(match, ID_MATCH_ONLY_START_POINT);
  add(match, ID_MATCH_SET_START_POINT);
  add(match, ID_MATCH_LOCATE_FAIL_POINT);
  match->addSeparator();
  add(match, ID_OPTION_IGNORECASE);
  add(match, ID_OPTION_SINGLELINE);
  add(match, ID_OPTION_MULTILINE);
  add(match, ID_OPTION_GLOBAL);
  add(match, ID_OPTION_RIGHTTOLEFT);
  add(match, ID_OPTION_EXTENDED);
  add(match, ID_OPTION_CLASSIC);

  QMenu* mode = top(IDS_MENU_MODE);
  add(mode, ID_MODE_MATCH);
  add(mode, ID_MODE_REPLACE);
  add(mode, ID_MODE_SPLIT);
  add(mode, ID_MODE_OPTIMIZE);
  add(mode, ID_MODE_TRACE);

  // The plugin host finds these submenus by position (0, 1, 3, 4 and 6): the separators count.
  QMenu* tools = top(IDS_MENU_TOOLS);
  CMenuResources::AddPluginSubmenu(tools, IDS_MENU_TOOLS_IMPORT_CLIPBOARD, CMenuResources::kPluginMenuImportClipboard);
  CMenuResources::AddPluginSubmenu(tools, IDS_MENU_TOOLS_IMPORT_SELECTED, CMenuResources::kPluginMenuImportSelected);
  tools->addSeparator();
  CMenuResources::AddPluginSubmenu(tools, IDS_MENU_TOOLS_EXPORT_CLIPBOARD, CMenuResources::kPluginMenuExportClipboard);
  CMenuResources::AddPluginSubmenu(tools, IDS_MENU_TOOLS_EXPORT_CODE, CMenuResources::kPluginMenuExportCode);
  tools->addSeparator();
  CMenuResources::AddPluginSubmenu(tools, IDS_MENU_TOOLS_OPTIMIZE, CMenuResources::kPluginMenuOptimize);
  tools->addSeparator();
  add(tools, ID_TOOLS_CONVERT);

  QMenu* tests = top(IDS_MENU_TESTS);
  for (int id : CMenuResources::TestsMenuItems()) {
    if (id) add(tests, id);
    else tests->addSeparator();
  }

  QMenu* help = top(IDS_MENU_HELP);
  add(help, ID_HELP_HOMEPAGE);
  add(help, ID_HELP_BUG_REPORT);
  help->addSeparator();
  add(help, ID_APP_ABOUT);

  // Split Mode leaves the menu; its command stays (the work-mode bar's Split button). The View
  // menu lists every bar that holds something (the Message bar holds nothing): Reset All Bars
  // hides the work-mode bar, and the menu is where it comes back.
  mode->removeAction(m_actions.value(ID_MODE_SPLIT));
}

void CMainFrame::CreateToolBar() {
  m_pToolBar = new QToolBar(CStringTable::Str(IDS_BAR_TOOLBAR), this);
  m_pToolBar->setObjectName(ToolBarName(BAR_TOOLBAR));
  m_pToolBar->setIconSize(QSize(16, 15));
  const int groups[][4] = {{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0},
                           {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0},
                           {ID_EDIT_UNDO, ID_EDIT_REDO, 0, 0},
                           {ID_RECORD_FIRST, ID_RECORD_PREV, ID_RECORD_NEXT, ID_RECORD_LAST},
                           {ID_ADD_SNAPSHOT, 0, 0, 0},
                           {ID_APP_ABOUT, 0, 0, 0}};
  bool first = true;
  for (const auto& group : groups) {
    if (!first) m_pToolBar->addSeparator();
    first = false;
    for (int id : group)
      if (id) m_pToolBar->addAction(m_actions.value(id));
  }
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(ToolBarName(BAR_STATUS));
  m_pMessage = new QLabel(CStringTable::Str(IDS_READY), bar);
  m_pMessage->setObjectName(QStringLiteral("message-pane"));
  m_pElapsed = new QLabel(Blanks(), bar);
  m_pElapsed->setObjectName(QStringLiteral("elapsed-pane"));
  m_pResult = new QLabel(Blanks(), bar);
  m_pResult->setObjectName(QStringLiteral("result-pane"));
  m_pTests = new QLabel(Blanks(), bar);
  m_pTests->setObjectName(QStringLiteral("tests-pane"));
  m_pStep = new QLabel(bar);
  m_pStep->setObjectName(QStringLiteral("step-pane"));
  m_pStep->hide();
  // The prompt gives up its width first: a long one must never push the panes beside it out of
  // a small window, nor make the window wider.
  m_pMessage->setMinimumWidth(1);
  m_pMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(m_pMessage, 1);
  bar->addPermanentWidget(m_pTests);
  bar->addPermanentWidget(m_pStep);
  bar->addPermanentWidget(m_pElapsed);
  bar->addPermanentWidget(m_pResult);
}

void CMainFrame::CreateDialogBars() {
  auto makeBar = [&](int barId, int titleId) {
    auto* bar = new QToolBar(CStringTable::Str(titleId), this);
    bar->setObjectName(ToolBarName(barId));
    bar->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    return bar;
  };
  auto addControl = [&](QToolBar* bar, QAbstractButton* control, int id) {
    control->setObjectName(QStringLiteral("control-%1").arg(id));
    control->setToolTip(CStringTable::Current().GetToolTip(id));
    control->setStatusTip(CStringTable::Current().GetPrompt(id));
    control->setFocusPolicy(Qt::TabFocus);
    connect(control, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    bar->addWidget(control);
    m_barControls.insert(id, control);
  };

  m_pMatchModeBar = makeBar(BAR_MATCH_MODE, IDS_BAR_MATCH_MODE);
  const int options[][2] = {{ID_OPTION_IGNORECASE, IDS_CHK_IGNORECASE}, {ID_OPTION_SINGLELINE, IDS_CHK_SINGLELINE},
                            {ID_OPTION_MULTILINE, IDS_CHK_MULTILINE},   {ID_OPTION_GLOBAL, IDS_CHK_GLOBAL},
                            {ID_OPTION_RIGHTTOLEFT, IDS_CHK_RIGHTTOLEFT}, {ID_OPTION_EXTENDED, IDS_CHK_EXTENDED}};
  for (const auto& o : options) addControl(m_pMatchModeBar, new QCheckBox(CStringTable::Str(o[1])), o[0]);
  addControl(m_pMatchModeBar, new QCheckBox(CStringTable::Str(IDS_CHK_CLASSIC)), ID_OPTION_CLASSIC);

  m_pMatchButtonsBar = makeBar(BAR_MATCH_BUTTONS, IDS_BAR_MATCH_BUTTONS);
  addControl(m_pMatchButtonsBar, new QPushButton(CStringTable::Str(IDS_BTN_MATCH)), ID_MATCH_FIND);
  addControl(m_pMatchButtonsBar, new QPushButton(CStringTable::Str(IDS_BTN_MATCH_ALL)), ID_MATCH_FIND_ALL);
  addControl(m_pMatchButtonsBar, new QPushButton(CStringTable::Str(IDS_BTN_RESET)), ID_MATCH_RESET);
  m_pMatchButtonsBar->addSeparator();
  addControl(m_pMatchButtonsBar, new QCheckBox(CStringTable::Str(IDS_CHK_ONLY_CURRENT_NODE)), ID_MATCH_ONLY_CURRENT_NODE);
  addControl(m_pMatchButtonsBar, new QCheckBox(CStringTable::Str(IDS_CHK_ONLY_START_POINT)), ID_MATCH_ONLY_START_POINT);

  m_pWorkModeBar = makeBar(BAR_WORK_MODE, IDS_BAR_WORK_MODE);
  const int modes[][2] = {{ID_MODE_MATCH, IDS_MODE_BTN_MATCH}, {ID_MODE_REPLACE, IDS_MODE_BTN_REPLACE},
                          {ID_MODE_SPLIT, IDS_MODE_BTN_SPLIT}, {ID_MODE_OPTIMIZE, IDS_MODE_BTN_OPTIMIZE},
                          {ID_MODE_TRACE, IDS_MODE_BTN_TRACE}};
  for (const auto& m : modes) addControl(m_pWorkModeBar, new CModeButton(CStringTable::Str(m[1])), m[0]);
}

// One bar per row of the pane table, in the order of the bar ids (the order of the frame's
// children, which the bars' context menu and the pane cycle follow).
void CMainFrame::CreateSizingBars() {
  for (const PaneRegistration* pane : CPaneTable::ById()) {
    auto* bar = new CSizingControlBarG(pane->barId, CStringTable::Str(pane->captionId), this);
    m_bars.push_back(bar);
    if (pane->create)
      if (QWidget* view = pane->create(*this, m_pDoc.get(), bar)) bar->SetView(view);
    // A bar that closes while its view is active hands the activity to the pattern box.
    connect(bar, &QDockWidget::visibilityChanged, this, [this, bar](bool visible) {
      if (!visible && !bar->isVisible()) MoveActiveAwayFrom(bar);
    });
  }
}

QMenu* CMainFrame::createPopupMenu() {
  QMenu* menu = QMainWindow::createPopupMenu();
  if (!menu) return nullptr;
  // Qt lists the bars in the order of the window's children, which changes whenever a mode's
  // layout is restored: the same place in the menu then toggled another bar. Bars by id, then
  // the tool bars in the order of the window, whatever the children's order.
  const QToolBar* toolBars[] = {m_pToolBar, m_pWorkModeBar, m_pMatchModeBar, m_pMatchButtonsBar};
  auto rank = [&](QAction* a) {
    for (int i = 0; i < static_cast<int>(std::size(m_bars)); ++i)
      if (m_bars[i] && m_bars[i]->toggleViewAction() == a) return i;
    if (a->isSeparator()) return 100;
    for (int i = 0; i < static_cast<int>(std::size(toolBars)); ++i)
      if (toolBars[i] && toolBars[i]->toggleViewAction() == a) return 101 + i;
    return 200;
  };
  QList<QAction*> actions = menu->actions();
  std::stable_sort(actions.begin(), actions.end(), [&](QAction* x, QAction* y) { return rank(x) < rank(y); });
  for (QAction* a : actions) menu->removeAction(a);
  menu->addActions(actions);
  return menu;
}

void CMainFrame::CreateClient() {
  m_pSplitter = new QSplitter(Qt::Vertical, this);
  m_pSplitter->setObjectName(QStringLiteral("client-splitter"));
  m_pSplitter->setChildrenCollapsible(false);
  auto* back = new CRegexEditBack(m_pSplitter);
  m_pPatternPane = back;
  QWidget* pattern = new CRegexEditView(m_pDoc.get(), back);
  pattern->setObjectName(QStringLiteral("pattern"));
  back->SetView(pattern);
  m_patternView = pattern;
  m_activeView = pattern;

  m_pWorkPane = new CKorvaneBack(m_pDoc.get(), m_pSplitter);
  m_pWorkPane->setObjectName(QStringLiteral("work-pane"));
  m_pWorkPane->aboutToDestroyView = [this](QWidget* view) { MoveActiveAwayFrom(view); };
  m_pWorkPane->ApplyMode(true);
  m_pSplitter->addWidget(m_pPatternPane);
  m_pSplitter->addWidget(m_pWorkPane);
  m_pSplitter->setStretchFactor(0, 0);
  m_pSplitter->setStretchFactor(1, 1);
  m_pSplitter->setSizes({CLayoutStore::ReadPatternHeight(*m_pProfile), kInitialWorkHeight});
  setCentralWidget(m_pSplitter);
}

void CMainFrame::CreateContextMenus() {
  const int templates[] = {IDR_CTX_PATTERN, IDR_CTX_REPLACE, IDR_CTX_TREE, IDR_CTX_SPLIT,
                           IDR_CTX_TEXT,    IDR_CTX_CLIP,    IDR_CTX_SNAPSHOT, IDR_CTX_TESTS};
  for (int id : templates) {
    auto* menu = new QMenu;
    CMenuResources::FillContextMenu(menu, id);
    m_contextMenus.insert(id, menu);
  }
}

// ---------------------------------------------------------------------------------------------
// Active view, selection, context menus, status prompt

QWidget* CMainFrame::ViewOf(QWidget* widget) const {
  for (QWidget* w = widget; w && w != this; w = w->parentWidget()) {
    if (qobject_cast<CKorvaneBack*>(w)) return nullptr;
    if (dynamic_cast<CDocView*>(w)) return w;
  }
  return nullptr;
}

void CMainFrame::OnFocusChanged(QWidget* old, QWidget* now) {
  if (!now || now->window() != this) return;
  if (QWidget* view = ViewOf(now)) m_activeView = view;
}

void CMainFrame::SetActiveView(QWidget* view) { m_activeView = view ? view : m_patternView.data(); }

void CMainFrame::MoveActiveAwayFrom(QWidget* widget) {
  if (!widget) return;
  QWidget* active = m_activeView;
  QWidget* focus = QApplication::focusWidget();
  const bool activeInside = active && (active == widget || widget->isAncestorOf(active));
  const bool focusInside = focus && (focus == widget || widget->isAncestorOf(focus));
  if (activeInside || focusInside) {
    m_activeView = m_patternView;
    if (m_patternView && focusInside) m_patternView->setFocus(Qt::OtherFocusReason);
  }
}

void CMainFrame::ShowContextMenu(int templateId, QWidget* view, const QPoint& globalPos) {
  QMenu* menu = ContextMenu(templateId);
  if (!menu) return;
  if (view) SetActiveView(view);
  PrepareMenu(menu);
  QAction* chosen = menu->exec(globalPos);
  const int id = CMenuResources::CommandOf(chosen);
  if (id > 0) OnCommand(id);
}

void CMainFrame::SetStatusPrompt(const QString& text) {
  m_pMessage->setText(text.isEmpty() ? CStringTable::Str(IDS_READY) : text);
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    SetStatusPrompt(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  if (event->type() == QEvent::WindowActivate && m_pDoc) CheckClips();
  return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Status panes

void CMainFrame::SetPaneText(QLabel* label, const QString& text) {
  label->setText(text);
  label->setMinimumWidth(label->sizeHint().width());
}

void CMainFrame::ShowElapsedTime(double seconds) {
  if (seconds < 0) {
    SetPaneText(m_pElapsed, Blanks());
    return;
  }
  char number[64];
  std::snprintf(number, sizeof number, "%1.7f", seconds);
  SetPaneText(m_pElapsed, CStringTable::Str(IDS_ELAPSED_TIME).replace(QStringLiteral("%1.7f"), QLatin1String(number)));
}

void CMainFrame::ShowElapsedTimeAndSteps(double seconds, unsigned long long steps, bool traced) {
  if (seconds < 0) {
    ShowElapsedTime(seconds);
    return;
  }
  char number[64];
  std::snprintf(number, sizeof number, "%1.7f", seconds);
  QString text = CStringTable::Str(IDS_ELAPSED_STEPS).replace(QStringLiteral("%1.7f"), QLatin1String(number));
  SetPaneText(m_pElapsed, CStringTable::FormatStrings(text, {StepsPhrase(steps, traced)}));
  m_pElapsed->setToolTip(CStringTable::Str(IDS_STEPS_TIP));
}

void CMainFrame::ShowNote(const QString& text) { statusBar()->showMessage(text, 10000); }

void CMainFrame::ShowResultPosition(int index, int count) {
  const int shown = index < count ? index : count;
  if (shown < 0) {
    SetPaneText(m_pResult, Blanks());
    return;
  }
  QString text = CStringTable::Str(IDS_RESULT_POSITION);
  const int first = text.indexOf(QStringLiteral("%d"));
  if (first >= 0) text.replace(first, 2, QString::number(shown));
  const int second = text.indexOf(QStringLiteral("%d"), first < 0 ? 0 : first);
  if (second >= 0) text.replace(second, 2, QString::number(count));
  SetPaneText(m_pResult, text);
}

// The step shown, counted from 1 among the events the history holds (entries and exits, as the
// slider counts them), with the count recorded so far; while the paused search goes on, the count
// grows and the shown step is the last.
void CMainFrame::UpdateStepPane() {
  if (!m_pStep || !m_pDoc) return;
  QString text;
  // The history may be read only while the match worker is blocked in the hook.
  if (m_pDoc->GetMode() == MODE_TRACE && m_pDoc->IsJobActive() && m_pDoc->IsPaused()) {
    const std::int64_t shown = m_pDoc->Debugger().ShownHistoryIndex();
    const std::int64_t count = m_pDoc->Debugger().History().End();
    if (shown >= 0 && count > 0)
      text = CStringTable::FormatStrings(CStringTable::Str(IDS_STATUS_TRACE_STEP),
                                         {GroupedCount(static_cast<std::uint64_t>(shown) + 1),
                                          GroupedCount(static_cast<std::uint64_t>(count))});
  }
  if (m_pStep->text() != text) SetPaneText(m_pStep, text);
  if (m_pStep->isHidden() != text.isEmpty()) m_pStep->setVisible(!text.isEmpty());
}

QString CMainFrame::StepText() const { return m_pStep->isHidden() ? QString() : m_pStep->text(); }

// Run to Failure and Run to Backtrack name the element they aim at in their tool tips and status
// prompts: the paused element unless the user chose another at this step (RunToTarget).
void CMainFrame::UpdateRunToTips() {
  const HostElement* target = nullptr;
  if (m_pDoc->GetMode() == MODE_TRACE && (!m_pDoc->IsJobActive() || m_pDoc->IsPaused())) target = m_pDoc->RunToTarget();
  QString name;
  if (target) {
    const std::vector<unsigned short>& pattern = m_pDoc->GetPattern();
    int start = target->m_nStart, length = target->m_nEnd - target->m_nStart;
    if (const ElementRecord* r = m_pDoc->GetRecords().Lookup(target)) {
      start = r->offset;
      length = r->length;
    }
    start = std::clamp(start, 0, static_cast<int>(pattern.size()));
    length = std::clamp(length, 0, static_cast<int>(pattern.size()) - start);
    const int kMaxShown = 40;
    name = QString(reinterpret_cast<const QChar*>(pattern.data() + start), std::min(length, kMaxShown));
    if (length > kMaxShown) name += CStringTable::Str(IDS_FMT_SNAPSHOT_ELLIPSIS);
  }
  const CStringTable& table = CStringTable::Current();
  const int rows[][3] = {{ID_MATCH_RUN_TO_FAILURE, IDS_TIP_RUN_TO_FAILURE_OF, IDS_PROMPT_RUN_TO_FAILURE_OF},
                         {ID_MATCH_RUN_TO_BACKTRACK, IDS_TIP_RUN_TO_BACKTRACK_OF, IDS_PROMPT_RUN_TO_BACKTRACK_OF}};
  for (const auto& row : rows) {
    QAction* action = m_actions.value(row[0]);
    if (!action) continue;
    QString tip, prompt;
    if (name.isEmpty()) {
      prompt = table.GetPrompt(row[0]);
      tip = table.GetToolTip(row[0]);
      if (tip.isEmpty()) tip = prompt;
    } else {
      tip = CStringTable::FormatStrings(CStringTable::Str(row[1]), {name});
      prompt = CStringTable::FormatStrings(CStringTable::Str(row[2]), {name});
    }
    if (action->toolTip() != tip) action->setToolTip(tip);
    if (action->statusTip() != prompt) action->setStatusTip(prompt);
  }
}

QString CMainFrame::MessageText() const { return m_pMessage->text(); }
QString CMainFrame::ElapsedText() const { return m_pElapsed->text(); }
QString CMainFrame::ResultText() const { return m_pResult->text(); }
QString CMainFrame::TestsText() const { return m_pTests->text(); }

void CMainFrame::ShowTestsSummary(const QString& text) { SetPaneText(m_pTests, text.isEmpty() ? Blanks() : text); }

// A proven fix is an ordinary edit of the pattern box: Undo takes it back.
void CMainFrame::ReplacePatternAsEdit(const QString& pattern) {
  if (auto* box = dynamic_cast<CRegexEditView*>(m_patternView.data())) {
    box->ReplaceTextAsEdit(pattern);
    box->setFocus();
  }
}

CTestCasePane* CMainFrame::TestsPane() const {
  CSizingControlBarG* bar = SizingBar(BAR_TESTS);
  return bar ? qobject_cast<CTestCasePane*>(bar->View()) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// The document's user interface

int CMainFrame::MessageBox(const QString& text, const QString& caption, int icon, int buttons) {
  if (messageBoxHook) return messageBoxHook(text, caption, icon, buttons);
  QMessageBox box(this);
  box.setWindowTitle(caption.isEmpty() ? CStringTable::Str(IDS_APP_NAME) : caption);
  box.setText(text);
  switch (icon) {
    case ICON_INFORMATION: box.setIcon(QMessageBox::Information); break;
    case ICON_WARNING: box.setIcon(QMessageBox::Warning); break;
    case ICON_QUESTION: box.setIcon(QMessageBox::Question); break;
    default: break;
  }
  switch (buttons) {
    case BUTTONS_OK_CANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case BUTTONS_YES_NO_CANCEL: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok: return ANSWER_OK;
    case QMessageBox::Yes: return ANSWER_YES;
    case QMessageBox::No: return ANSWER_NO;
    default: return buttons == BUTTONS_OK ? ANSWER_OK : ANSWER_CANCEL;
  }
}

void CMainFrame::RunWaitDialog(CKorvaneDoc* doc) {
  CProgressDialog dialog(doc, this);
  m_pWaitDialog = &dialog;
  ++m_nWaitGeneration;
  dialog.Run();
  m_pWaitDialog = nullptr;
}

void CMainFrame::CloseWaitDialog() {
  // Match worker, under the document's dialog lock: post only.
  const int generation = m_nWaitGeneration.load();
  QMetaObject::invokeMethod(
      this,
      [this, generation] {
        if (m_pWaitDialog && m_nWaitGeneration.load() == generation) m_pWaitDialog->CloseForJob();
      },
      Qt::QueuedConnection);
}

// The document's wait for a job, between two showings of the wait dialog: paint, timers and
// posted commands go on, but no key, click or window close reaches the window until the job has
// ended (they wait in the queue), so nothing can start inside the wait.
void CMainFrame::PumpEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50); }

void CMainFrame::PostCommand(int id) {
  QMetaObject::invokeMethod(
      this,
      [this, id] {
        if (!m_pDoc || m_bClosing) return;
        m_pDoc->OnCommand(id);
        UpdateCommandUi();
      },
      Qt::QueuedConnection);
}

bool CMainFrame::AskName(QString& name) {
  CNameDialog dialog(name, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  name = dialog.Name();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Documents and files

void CMainFrame::UpdateTitle() {
  const QString app = CStringTable::Current().GetField(IDS_DOC_TEMPLATE, DOC_FIELD_WINDOW_TITLE);
  const QString path = DocumentPath();
  const QString name = path.isEmpty() ? CStringTable::Str(IDS_UNTITLED) : QFileInfo(path).fileName();
  const QString title = CStringTable::FormatStrings(CStringTable::Str(IDS_FMT_FRAME_TITLE), {name, app});
  if (windowTitle() != title) setWindowTitle(title);
}

void CMainFrame::UpdateRecentMenu() {
  const QStringList& files = m_recent.Files();
  for (int i = 0; i < CRecentFileList::kMaxEntries; ++i) {
    QAction* action = m_recentActions[i];
    const bool used = i < files.size();
    action->setVisible(used);
    if (used) action->setText(CRecentFileList::Caption(i, files[i]));
  }
  m_recentActions.last()->setVisible(files.isEmpty());
}

bool CMainFrame::AskToSave() {
  if (!m_pDoc->IsModified()) return true;
  const QString path = DocumentPath();
  const QString name = path.isEmpty() ? CStringTable::Str(IDS_UNTITLED) : QFileInfo(path).fileName();
  const QString text = CStringTable::Str(IDS_MSG_ASK_TO_SAVE).replace(QStringLiteral("%s"), name);
  switch (MessageBox(text, CStringTable::Str(IDS_APP_NAME), ICON_WARNING, BUTTONS_YES_NO_CANCEL)) {
    case ANSWER_YES: return SaveDocument(false);
    case ANSWER_NO: return true;
    default: return false;
  }
}

bool CMainFrame::AskToLoseUnsavedClips() {
  CTextClips& clips = m_pDoc->GetClips();
  if (!clips.HasUnsavedChanges()) return true;
  int message = IDS_MSG_CLIPS_IN_MEMORY_AT_CLOSE;
  if (!clips.Path().isEmpty()) {
    clips.Close();  // waits longer for another copy's lock than a change does
    if (!clips.HasUnsavedChanges()) return true;
    message = IDS_MSG_CLIPS_UNSAVED_AT_CLOSE;
  }
  const QString text = CStringTable::FormatStrings(CStringTable::Str(message),
                                                   {QDir::toNativeSeparators(clips.Path())});
  return MessageBox(text, CStringTable::Str(IDS_APP_NAME), ICON_WARNING, BUTTONS_OK_CANCEL) == ANSWER_OK;
}

void CMainFrame::AfterDocumentLoaded() {
  m_pDoc->UpdateAllViews(nullptr, kInitialUpdateHint);
  UpdateRecentMenu();
  UpdateCommandUi();
}

void CMainFrame::NewDocument() {
  if (!AskToSave()) return;
  m_pDoc->OnNewDocument();
  ClearDocumentPath();
  AfterDocumentLoaded();
}

void CMainFrame::EnableDrop() { setAcceptDrops(true); }

void CMainFrame::OpenDroppedFiles(const QStringList& paths) {
  raise();
  activateWindow();
  for (const QString& path : paths) {
    if (path.right(4).compare(QLatin1String(".rws"), Qt::CaseInsensitive) != 0) continue;
    OpenDocumentFile(path, true);  // asks to save once the file is known to be good
    return;
  }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  event->acceptProposedAction();
  OpenDroppedFiles(paths);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A search being waited on, or a command still under way, must end first: the window and the
  // document must outlive them.
  if (m_pDoc->IsWaiting() || m_nCommandDepth > 0 || !AskToSave() || !AskToLoseUnsavedClips()) {
    event->ignore();
    return;
  }
  SaveModeLayout(m_pDoc->GetMode());
  m_pProfile->Settings().setValue(QLatin1String(kWindowPlacementKey), saveGeometry());
  m_recent.Save(*m_pProfile);
  m_pProfile->Flush();
  m_bClosing = true;
  m_activeView = nullptr;
  event->accept();
}
