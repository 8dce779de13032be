// The plugin host: finds the plugin libraries beside the program, gives each of their commands
// an id (40000 upward) and a CPluginContext, places the commands in the Tools submenus and the
// editors' context menus, and dispatches update, execute and the status prompt to them. After a
// command has run it applies what the command asked for: a replacement of the active box's
// selection, or a pattern rewritten through CElement::SetText.
//
// The frame owns one PluginManager and talks to it through IPluginFrame (the active document and
// the active text box). Everything here runs on the UI thread; notifications are synchronous
// calls into plugin code.
//
// Plugin faults. Every call into a plugin is wrapped in catch (...). A command whose callback
// throws is marked faulted: it is never sent load, update or execute again (only the unload
// notification, also guarded), its menu items are disabled, nothing it asked for in the throwing
// notification is applied, and a pattern it had half rewritten is restored from the document.
// The fault handler, when set, is told which command failed in which notification.
//
// Re-entry. A plugin may run a modal window inside a notification, so host code can run while
// plugin code is on the stack. Meanwhile the manager sends no further notification (updates
// answer disabled, executes do nothing), keeps the captured selection and texts the running
// command points into, and defers an unload until the running notification has returned. The
// manager itself must not be destroyed from inside a notification.
//
// The frame's side, in order: after its menus exist, LoadPlugins() and BuildMenus(...) with the
// Tools menu and the context menus 145, 135, 136 and 144; PrepareMenu(menu) first thing in
// every menu's aboutToShow (before its own submenu greying); StatusPrompt(id) if it shows
// prompts itself; UnloadPlugins() when it is destroyed, before the document goes.
//
// Covered by tests/plugin_manager_test.cpp.
#ifndef KORVANE_PLUGIN_MANAGER_H
#define KORVANE_PLUGIN_MANAGER_H

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/plugin_host/korvane_plugin.h"
#include "korvane_ids.h"

class CDynamicLibrary;
class CKorvaneDoc;
class QAction;
class QMenu;
class QObject;
class QPlainTextEdit;


// Command ids the frame dispatches to plugins: 40000 to 41000 (korvane_ids.h), so at most 1001
// commands.
enum : unsigned { PLUGIN_FIRST_ID = ID_PLUGIN_FIRST, PLUGIN_LAST_ID = ID_PLUGIN_LAST };

// The target menus of the placement tables.
enum PluginMenuTarget {
  PLUGIN_MENU_TOOLS = 0,    // the main menu's Tools menu
  PLUGIN_MENU_PATTERN = 1,  // context menu 145 (pattern editor)
  PLUGIN_MENU_REPLACE = 2,  // context menu 135 (replace-to and replace result boxes)
  PLUGIN_MENU_TREE = 3,     // context menu 136 (structure tree and group list)
  PLUGIN_MENU_TEXT = 4      // context menu 144 (text box)
};

// The active editor as the plugin host sees it. The frame implements it for its text boxes
// (CPlainTextBox below does it for any QPlainTextEdit).
class IPluginTextBox {
 public:
  virtual ~IPluginTextBox() = default;
  // ZWND_PATTERN, ZWND_TEXT or ZWND_REPLACETO; ZWND_NONE for a text box that is none of the
  // three (the replace result box).
  virtual int WindowIndex() const = 0;
  // The selected text, line breaks as '\n' (empty when nothing is selected).
  virtual QString SelectedText() const = 0;
  // Replaces the selection by text and then selects exactly the inserted text (a read-only box
  // stays as it is).
  virtual void ReplaceSelection(const QString& text) = 0;
};

class IPluginFrame {
 public:
  virtual ~IPluginFrame() = default;
  // The document, or null when there is none (updates then disable every plugin item).
  virtual CKorvaneDoc* ActiveDocument() = 0;
  // The active view when it is a text box, else null (structure tree, lists, no active view).
  virtual IPluginTextBox* ActiveTextBox() = 0;
};

// IPluginTextBox over a QPlainTextEdit (the frame may keep one and re-attach it to the active
// view). Does not own the editor; a destroyed editor reads as an empty box.
class CPlainTextBox : public IPluginTextBox {
 public:
  CPlainTextBox() = default;
  CPlainTextBox(QPlainTextEdit* edit, int windowIndex) { Attach(edit, windowIndex); }
  void Attach(QPlainTextEdit* edit, int windowIndex);
  QPlainTextEdit* Edit() const;

  int WindowIndex() const override { return m_nWindow; }
  QString SelectedText() const override;
  void ReplaceSelection(const QString& text) override;

 private:
  QPointer<QPlainTextEdit> m_edit;
  int m_nWindow = ZWND_NONE;
};

// One command of a plugin library.
struct PluginCommand {
  unsigned id = 0;
  CPluginContext context;  // its own PluginContextData, menu kind 0, enabled 1
  void* userData = nullptr;
  PluginCallback callback = nullptr;
  // Set on the first command of each library only, so that each library is released once.
  std::unique_ptr<CDynamicLibrary> library;
  bool faulted = false;  // its callback threw; never notified again except for unload
  QString fileName;      // its library's file name, for messages

  PluginCommand();
  ~PluginCommand();
  PluginCommand(const PluginCommand&) = delete;
  PluginCommand& operator=(const PluginCommand&) = delete;

  int MenuKind() const;
  const char* GroupName() const;
  const char* MenuText() const;
  const char* Prompt() const;
};

class PluginManager {
 public:
  explicit PluginManager(IPluginFrame* frame = nullptr);
  ~PluginManager();  // unloads what is still loaded
  PluginManager(const PluginManager&) = delete;
  PluginManager& operator=(const PluginManager&) = delete;

  void SetFrame(IPluginFrame* frame) { m_pFrame = frame; }
  // Told of every contained plugin fault: (the command, notification code). A command that
  // threw at load is not filed yet (FindCommand does not know it) and has no menu text.
  void SetFaultHandler(std::function<void(const PluginCommand&, int)> handler) {
    m_faultHandler = std::move(handler);
  }

  // Loads every plugin library in folder (sorted by file name), or, when folder is empty, in
  // the program's plugin folder (beside a program in its build folder, the library folder of an
  // installed one: CProgramPaths::PluginFolders), and sends each command the load notification.
  // Skipped: links to a library already loaded, and a library whose file name was loaded from
  // an earlier folder (with several folders, the first of a name wins). Files that do not load,
  // lack GetPluginEntryMap or return a null or empty
  // map are released and skipped, with one line on the standard error output that names the
  // file and the reason (the user sees nothing: the menus just lack its commands). Ids start at
  // firstId (or go on after the commands already loaded); commands past PLUGIN_LAST_ID are not
  // created. Returns the number of commands added.
  int LoadPlugins(const QString& folder = QString(), unsigned firstId = PLUGIN_FIRST_ID);
  // The same for several folders, searched in the given order.
  int LoadPlugins(const QStringList& folders, unsigned firstId = PLUGIN_FIRST_ID);

  // Fills every given target (null ones are skipped) with the commands, in menu order; once
  // per menu. Each item made carries its id (property "korvanePluginId") and its status prompt
  // (status tip), and runs ExecuteCommand when triggered.
  void BuildMenus(QMenu* tools, QMenu* patternContext, QMenu* replaceContext, QMenu* treeContext,
                  QMenu* textContext);
  // One placement pass into one target menu by the kind-to-position table of `which`.
  void PlaceCommands(QMenu* target, PluginMenuTarget which);

  // Dispatch.
  PluginCommand* FindCommand(unsigned id) const;
  bool IsPluginCommand(unsigned id) const { return FindCommand(id) != nullptr; }
  // Copies the active box's selection into the selection buffer (empty when no text box is
  // active). The frame calls it on every menu pop-up except the system menu.
  void CaptureSelection();
  // The selection captured last, without the terminating zero.
  std::vector<unsigned short> CapturedSelection() const {
    return m_selection.empty() ? std::vector<unsigned short>()
                               : std::vector<unsigned short>(m_selection.begin(), m_selection.end() - 1);
  }
  // Sends the update notification and returns the command's enabled state; false for an
  // unknown or faulted command and when there is no document.
  bool UpdateCommand(unsigned id);
  // CaptureSelection, then UpdateCommand for every plugin item in menu and, recursively, its
  // submenus, enabling or disabling each item.
  void PrepareMenu(QMenu* menu);
  // Sends the execute notification and applies its results. False when id is no plugin
  // command (not handled).
  bool ExecuteCommand(unsigned id);
  // The command's status prompt; empty when id is no plugin command.
  QString StatusPrompt(unsigned id) const;

  // Sends every command the unload notification (in id order), then releases the libraries and
  // frees the commands; removes the menu items this manager made.
  void UnloadPlugins();

  // The commands in id order and in menu order (kind, then group name without case).
  const std::vector<PluginCommand*>& CommandsById() const { return m_byId; }
  const std::vector<PluginCommand*>& CommandsByMenu() const { return m_byMenu; }
  int LibraryCount() const;
  // Canonical paths of the libraries that gave commands, in load order.
  const QStringList& LoadedLibraries() const { return m_loadedFiles; }

 private:
  struct MenuState;
  bool Notify(PluginCommand* cmd, int code);
  void Refill(PluginCommand* cmd, CKorvaneDoc* doc);
  void ClearTransient(PluginCommand* cmd);
  void SnapshotTexts(CKorvaneDoc* doc);
  void ApplyResults(CKorvaneDoc* doc, bool faulted, bool replaced, const QString& replacement);
  void FinishNotification();
  void AddToMenu(QMenu* menu, PluginCommand* cmd, const QByteArray& text, MenuState& state);
  void UpdateMenuItems(QMenu* menu, int depth);
  void Track(QObject* made);

  IPluginFrame* m_pFrame;
  std::function<void(const PluginCommand&, int)> m_faultHandler;
  std::vector<PluginCommand*> m_byId;    // owns the commands
  std::vector<PluginCommand*> m_byMenu;
  unsigned m_nNextId = PLUGIN_FIRST_ID;

  // What commands see between a pop-up and the next one: zero-terminated copies, so that a
  // plugin reading up to the terminating zero stays inside the buffer.
  std::vector<unsigned short> m_selection;
  std::vector<unsigned short> m_pattern;
  std::vector<unsigned short> m_subject;
  std::vector<unsigned short> m_replaceTo;
  bool m_bInMenuPass = false;  // the texts were copied once for the whole pass
  int m_nDepth = 0;            // notifications under way (more than one only through re-entry)
  bool m_bUnloadPending = false;

  QStringList m_loadedFiles;  // canonical paths of the libraries that gave commands
  QStringList m_loadedNames;  // their file names (as found, before links are followed)

  // Items, popups and separators this manager added (menus may be destroyed before it).
  std::vector<QPointer<QObject>> m_made;
};

#endif
