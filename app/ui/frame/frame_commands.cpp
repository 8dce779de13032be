// The frame's command routing: the state of every command (view, frame, application,
// document) and carrying it out; bar toggles, pane switching, the Fonts dialog and the one
// place where the plugin host comes in.
// Covered by app/ui/tests/frame_test.cpp.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QDesktopServices>
#include <QDockWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/document/debugger/debug_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/document/pattern/flavour_convert.h"
#include "app/ui/frame/breakpoint_condition_dialog.h"
#include "app/ui/frame/command_table.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/rich_edit_view.h"
#include "app/ui/frame/fonts_dialog.h"
#include "app/ui/frame/frame_dialogs.h"
#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/frame/pane_table.h"
#include "app/ui/results/replace_to_edit_view.h"
#include "app/ui/panes/flavours/convert_dialog.h"
#include "app/ui/panes/test_cases/test_case_pane.h"
#include "app/ui/results/text_edit_view.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/code_page.h"
#include "stringtable.h"

namespace {
// The maker's pages (Help menu).
const char kHomepageUrl[] = "https://korvane.example.org/";
const char kBugReportUrl[] = "https://korvane.example.org/bugs";
}  // namespace

// ---------------------------------------------------------------------------------------------
// Commands

QWidget* CMainFrame::ViewCommandTarget(int id) const {
  // Set Start Point belongs to the text box whichever view is active.
  if (id == ID_MATCH_SET_START_POINT) return m_pWorkPane ? m_pWorkPane->View(CKorvaneBack::SLOT_TEXT) : nullptr;
  return m_activeView;
}

CommandState CMainFrame::QueryViewCommand(int id) const {
  CommandState state;
  state.enabled = false;
  QWidget* target = ViewCommandTarget(id);
  if (!target) return state;
  if (auto* box = qobject_cast<CRichEdit2WView*>(target)) {
    state.enabled = box->HandlesCommand(id) && box->IsCommandEnabled(id);
    return state;
  }
  if (auto* commands = dynamic_cast<IViewCommands*>(target)) {
    if (commands->HandlesViewCommand(id)) state = commands->QueryViewCommand(id);
    return state;
  }
  if (auto* edit = qobject_cast<QPlainTextEdit*>(target)) {
    const bool selection = edit->textCursor().hasSelection();
    const bool writable = !edit->isReadOnly();
    switch (id) {
      case ID_EDIT_UNDO: state.enabled = writable && edit->document()->isUndoAvailable(); break;
      case ID_EDIT_REDO: state.enabled = writable && edit->document()->isRedoAvailable(); break;
      case ID_EDIT_CUT:
      case ID_EDIT_CLEAR: state.enabled = writable && selection; break;
      case ID_EDIT_COPY: state.enabled = selection; break;
      case ID_EDIT_PASTE: state.enabled = writable && edit->canPaste(); break;
      case ID_EDIT_SELECT_ALL: state.enabled = !edit->document()->isEmpty(); break;
      default: break;
    }
  }
  return state;
}

bool CMainFrame::RouteViewCommand(int id) {
  QWidget* target = ViewCommandTarget(id);
  if (!target) return false;
  if (auto* box = qobject_cast<CRichEdit2WView*>(target)) return box->DoCommand(id);
  if (auto* commands = dynamic_cast<IViewCommands*>(target)) return commands->OnViewCommand(id);
  if (auto* edit = qobject_cast<QPlainTextEdit*>(target)) {
    switch (id) {
      case ID_EDIT_UNDO: edit->undo(); return true;
      case ID_EDIT_REDO: edit->redo(); return true;
      case ID_EDIT_CUT: edit->cut(); return true;
      case ID_EDIT_COPY: edit->copy(); return true;
      case ID_EDIT_PASTE: edit->paste(); return true;
      case ID_EDIT_CLEAR: edit->textCursor().removeSelectedText(); return true;
      case ID_EDIT_SELECT_ALL: edit->selectAll(); return true;
      default: return false;
    }
  }
  return false;
}

CommandState CMainFrame::QueryCommand(int id) const {
  CommandState state;
  if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) {
    state.enabled = id - ID_FILE_MRU_FIRST < m_recent.Files().size();
    return state;
  }
  const CommandInfo* info = CCommandTable::Find(id);
  if (!info) return state;
  switch (info->by) {
    case BY_VIEW: return QueryViewCommand(id);
    case BY_DOC:
      if (id == ID_SELECT_FONTS || id == ID_FILE_SAVE_AS) return state;
      return m_pDoc->QueryCommand(id);
    case BY_FRAME:
      if (const PaneRegistration* pane = CPaneTable::ByCommand(id)) {
        state.checked = SizingBar(pane->barId)->isVisible();
        return state;
      }
      switch (id) {
        case ID_VIEW_TOOLBAR: state.checked = m_pToolBar->isVisible(); break;
        case ID_VIEW_STATUS_BAR: state.checked = statusBar()->isVisible(); break;
        case ID_MATCH_BREAKPOINT_CONDITION: state.enabled = CurrentBreakpoint() != nullptr; break;
        case ID_VIEW_WORK_MODE: state.checked = m_pWorkModeBar->isVisible(); break;
        case ID_VIEW_MATCH_BUTTONS: state.checked = m_pMatchButtonsBar->isVisible(); break;
        case ID_VIEW_MATCH_MODE: state.checked = m_pMatchModeBar->isVisible(); break;
        default: break;
      }
      return state;
    case BY_TESTS:
      if (CTestCasePane* pane = TestsPane()) return pane->QueryViewCommand(id);
      state.enabled = false;
      return state;
    default: return state;
  }
}

void CMainFrame::UpdateCommandUi() {
  if (!m_pDoc) return;
  for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it) {
    const int id = it.key();
    if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) continue;
    const CommandState state = QueryCommand(id);
    QAction* action = it.value();
    action->setEnabled(state.enabled);
    if (action->isCheckable()) action->setChecked(state.checked);
    if (id == ID_MATCH_FIND) {
      const QString text = CStringTable::Str(state.textId ? state.textId : IDS_MENU_MATCH_FIND);
      if (action->text() != text) action->setText(text);
    }
  }
  for (auto it = m_barControls.constBegin(); it != m_barControls.constEnd(); ++it) {
    const CommandState state = QueryCommand(it.key());
    QAbstractButton* control = it.value();
    control->setEnabled(state.enabled);
    if (control->isCheckable() && control->isChecked() != state.checked) {
      const QSignalBlocker block(control);
      control->setChecked(state.checked);
    }
    if (it.key() == ID_MATCH_FIND) {
      // The Find button reads "Match" until a job runs or is paused, then "Continue".
      const QString text = CStringTable::Str(m_pDoc->IsJobActive() ? IDS_BTN_CONTINUE : IDS_BTN_MATCH);
      if (control->text() != text) control->setText(text);
    }
  }
  UpdateStepPane();
  UpdateRunToTips();
  UpdateTitle();
}

void CMainFrame::PrepareMenu(QMenu* menu) {
  if (m_pPlugins) m_pPlugins->PrepareMenu(menu);  // captures the selection the commands work on
  UpdateCommandUi();
  // Context menus hold actions of their own for commands of the main menus (Undo, Cut, Add
  // Snapshot ...): every item gets its command's state, as the main menu's item has.
  ApplyCommandStates(menu, [this](int id) { return QueryCommand(id); });
}

void CMainFrame::OnCommand(int id) {
  if (!m_pDoc || m_bClosing) return;
  // Nothing runs from inside the document's wait for a job: a search started there would run
  // inside the one being waited on (and record its result twice), and anything else could change
  // the document under it. Menus, bars, shortcuts, context menus and plugin commands all come
  // through here.
  if (m_pDoc->IsWaiting()) return;
  if (id >= ID_PLUGIN_FIRST && id <= ID_PLUGIN_LAST) {
    OnPluginCommand(id);
    return;
  }
  if (!QueryCommand(id).enabled) return;
  ++m_nCommandDepth;
  if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) {
    const int index = id - ID_FILE_MRU_FIRST;
    if (index < m_recent.Files().size()) OpenDocumentFile(m_recent.Files()[index], true);
  } else if (const CommandInfo* info = CCommandTable::Find(id)) {
    switch (info->by) {
      case BY_VIEW: RouteViewCommand(id); break;
      case BY_APP:
        if (id == ID_FILE_NEW) NewDocument();
        else if (id == ID_FILE_OPEN) OpenDocumentDialog();
        // Closed once this command has returned, as by the window's close button (the close
        // is refused while a command is under way).
        else if (id == ID_APP_EXIT) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        else if (id == ID_APP_ABOUT) ShowAboutBox(this);
        break;
      case BY_FRAME:
        switch (id) {
          case ID_VIEW_RESET_BARS: ResetAllBars(); break;
          case ID_HELP_HOMEPAGE: QDesktopServices::openUrl(QUrl(QLatin1String(kHomepageUrl))); break;
          case ID_HELP_BUG_REPORT: QDesktopServices::openUrl(QUrl(QLatin1String(kBugReportUrl))); break;
          case ID_NEXT_PANE: SwitchPane(true); break;
          case ID_PREV_PANE: SwitchPane(false); break;
          case ID_MATCH_BREAKPOINT_CONDITION: EditBreakpointCondition(); break;
          case ID_TOOLS_CONVERT: OpenConvertDialog(); break;
          default: ToggleBar(id); break;
        }
        break;
      case BY_TESTS:
        if (CTestCasePane* pane = TestsPane()) pane->OnViewCommand(id);
        break;
      case BY_DOC:
        if (id == ID_SELECT_FONTS) {
          RunFontsDialog();
        } else if (id == ID_FILE_SAVE) {
          SaveDocument(false);
        } else if (id == ID_FILE_SAVE_AS) {
          SaveDocument(true);
        } else if (!m_pDoc->OnCommand(id)) {
          // Find, Find All and Reset Find leave the rest to the frame: the group list shows.
          if (id == ID_MATCH_FIND || id == ID_MATCH_FIND_ALL || id == ID_MATCH_RESET)
            SizingBar(BAR_GROUP)->show();
        }
        break;
      default: break;
    }
  }
  --m_nCommandDepth;
  if (!m_bClosing) UpdateCommandUi();
}

void CMainFrame::ToggleBar(int id) {
  QWidget* bar = nullptr;
  if (const PaneRegistration* pane = CPaneTable::ByCommand(id)) {
    bar = SizingBar(pane->barId);
  } else {
    switch (id) {
      case ID_VIEW_TOOLBAR: bar = m_pToolBar; break;
      case ID_VIEW_STATUS_BAR: bar = statusBar(); break;
      case ID_VIEW_WORK_MODE: bar = m_pWorkModeBar; break;
      case ID_VIEW_MATCH_BUTTONS: bar = m_pMatchButtonsBar; break;
      case ID_VIEW_MATCH_MODE: bar = m_pMatchModeBar; break;
      default: return;
    }
  }
  if (auto* dock = qobject_cast<QDockWidget*>(bar)) {
    // A bar shown behind another's tab is brought forward, not hidden: the user asked to see it.
    if (dock->isHidden() || !IsBarInFront(dock)) BringBarForward(dock);
    else dock->hide();
    return;
  }
  bar->setVisible(!bar->isVisible());
}

bool CMainFrame::IsBarInFront(QDockWidget* dock) const {
  if (dock->isHidden()) return false;
  if (dock->isFloating()) return true;
  // Of the bars sharing a place as tabs, only the current one is visible in a shown window.
  if (!isVisible()) return true;
  return dock->isVisible() && !dock->visibleRegion().isEmpty();
}

void CMainFrame::ShowPane(int barId) {
  if (CSizingControlBarG* bar = SizingBar(barId))
    if (!IsBarInFront(bar)) BringBarForward(bar);
}

void CMainFrame::BringBarForward(QWidget* bar) {
  bar->show();
  // Among tabs sharing its place, its own becomes the current one; the window must lay the
  // tabs out first when the bar was hidden until now.
  bar->raise();
  QTimer::singleShot(0, bar, [bar] {
    if (!bar->isHidden()) bar->raise();
  });
}

void CMainFrame::SwitchPane(bool forward) {
  QList<QWidget*> panes;
  if (m_patternView) panes.append(m_patternView);
  for (int slot = 0; slot < CKorvaneBack::SLOT_COUNT; ++slot)
    if (QWidget* v = m_pWorkPane->View(slot)) panes.append(v);
  for (CSizingControlBarG* bar : m_bars)
    if (bar && bar->isVisible() && bar->View()) panes.append(bar->View());
  if (panes.isEmpty()) return;
  int at = panes.indexOf(m_activeView.data());
  at = at < 0 ? 0 : (at + (forward ? 1 : panes.size() - 1)) % panes.size();
  SetActiveView(panes[at]);
  panes[at]->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::RunFontsDialog() {
  CFontsDialog dialog(this);
  if (dialog.exec() == QDialog::Accepted) m_pDoc->OnCommand(ID_SELECT_FONTS);
}

void CMainFrame::FillPluginMenus(const QString& folder) {
  // The plugin host places the commands of every plugin library it finds (beside the program
  // in a build folder, in the library folder of an installed one) into the submenus of Tools
  // and of the context menus, and takes the ids 40000 .. 41000.
  m_pPlugins.reset();  // unloads what was loaded before
  m_pPlugins = std::make_unique<PluginManager>(this);
  m_pPlugins->SetFaultHandler([this](const PluginCommand& cmd, int code) {
    if (code != PLUGIN_UNLOAD) ReportPluginFault(cmd);  // an unloading command is gone anyway
  });
  m_pPlugins->LoadPlugins(folder);
  m_pPlugins->BuildMenus(TopMenu(IDS_MENU_TOOLS), ContextMenu(IDR_CTX_PATTERN), ContextMenu(IDR_CTX_REPLACE),
                         ContextMenu(IDR_CTX_TREE), ContextMenu(IDR_CTX_TEXT));
}

void CMainFrame::ReportPluginFault(const PluginCommand& cmd) {
  QString text = CCodePage::ToUtf16(QByteArray(cmd.MenuText()));
  text.replace(QLatin1String("::"), QLatin1String(" > "));
  // A command that threw at load has no menu text: the library names it.
  const QString message =
      text.isEmpty() ? CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_PLUGIN_LOAD_FAULT), {cmd.fileName})
                     : CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_PLUGIN_FAULT), {text, cmd.fileName});
  // Shown after the current event: the fault may come from a menu being prepared, or from the
  // frame's constructor.
  QTimer::singleShot(0, this, [this, message] {
    MessageBox(message, CStringTable::Str(IDS_APP_NAME), ICON_WARNING, BUTTONS_OK);
  });
}

void CMainFrame::OnPluginCommand(int id) {
  if (m_pPlugins) m_pPlugins->ExecuteCommand(static_cast<unsigned>(id));
}

IPluginTextBox* CMainFrame::ActiveTextBox() {
  auto* edit = qobject_cast<QPlainTextEdit*>(m_activeView.data());
  if (!edit) return nullptr;
  int window = ZWND_NONE;  // the replace result box
  if (dynamic_cast<CRegexEditView*>(edit)) window = ZWND_PATTERN;
  if (dynamic_cast<CTextEditView*>(edit)) window = ZWND_TEXT;
  if (dynamic_cast<CReplaceToEditView*>(edit)) window = ZWND_REPLACETO;
  m_pluginBox.Attach(edit, window);
  return &m_pluginBox;
}

const Breakpoint* CMainFrame::CurrentBreakpoint() const {
  if (m_pDoc->IsJobActive() && !m_pDoc->IsPaused()) return nullptr;
  const HostElement* e = m_pDoc->GetCurrentElement();
  if (!e) return nullptr;
  for (const Breakpoint& b : m_pDoc->Debugger().Stops().List())
    if (b.start == e->m_nStart && b.end == e->m_nEnd) return &b;
  return nullptr;
}

CConvertDialog* CMainFrame::OpenConvertDialog() {
  QString flavour = QStringLiteral("python");
  const QStringList chosen = m_pDoc->Flavours().Chosen();
  for (auto it = chosen.crbegin(); it != chosen.crend(); ++it)
    if (IsConvertibleFlavour(*it)) flavour = *it;
  auto* dialog = new CConvertDialog(m_pDoc.get(), flavour, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  return dialog;
}

void CMainFrame::EditBreakpointCondition() {
  const Breakpoint* b = CurrentBreakpoint();
  if (!b) return;
  const int start = b->start, end = b->end;
  CBreakpointConditionDialog dialog(b->condition, b->value, this);
  const bool accepted = conditionDialogHook ? conditionDialogHook(&dialog) : dialog.exec() == QDialog::Accepted;
  // The list may have changed while the dialog was open (a recompile): the span decides.
  if (accepted) m_pDoc->Debugger().Stops().SetCondition(start, end, dialog.Condition(), dialog.Value());
}
