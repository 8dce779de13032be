// The plugin host: discovery, the two orderings, menu placement, dispatch and unload.
#include "app/plugin_host/plugin_manager.h"

#include <QAction>
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/plugin_host/plugin_context_data.h"
#include "platform/code_page.h"
#include "platform/dynamic_library.h"
#include "platform/program_paths.h"

namespace {

// The property that marks a menu item as a plugin command's, holding its id.
const char kIdProperty[] = "korvanePluginId";

// Deeper "::" levels than this stay part of the caption: a runaway menu text cannot build an
// unbounded chain of popups.
const int kMaxMenuDepth = 32;

// Where each menu kind 0 to 6 goes in each target menu: the position of a submenu, -1 for
// nowhere, 4095 for the target menu itself after a separator.
const int kPlacement[5][7] = {
    {-1, 0, 1, 3, 4, 6, 4095},    // Tools
    {-1, 8, -1, 9, -1, 10, -1},   // pattern editor
    {-1, 8, -1, 9, -1, -1, -1},   // replace-to and replace result boxes
    {-1, -1, -1, 4, -1, -1, -1},  // structure tree and group list
    {-1, 10, -1, 11, -1, -1, -1}  // text box
};

// ASCII case-insensitive comparison; the sign is what matters.
int CompareNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
    if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
    if (ca != cb || !ca) return ca - cb;
  }
}

int CompareById(const PluginCommand* a, const PluginCommand* b) {
  return a->id < b->id ? -1 : (a->id > b->id ? 1 : 0);
}

int CompareByMenu(const PluginCommand* a, const PluginCommand* b) {
  if (a->MenuKind() != b->MenuKind()) return a->MenuKind() < b->MenuKind() ? -1 : 1;
  return CompareNoCase(a->GroupName(), b->GroupName());
}

// Insertion by bisection: the search stops at the first equal element it meets and the new one
// goes before it, so among equal keys the order depends on the probes, not on arrival. The
// probe sequence (n / 2 first, then (low + high + 1) / 2) decides the menu order of commands
// with equal keys and must not be "simplified".
void InsertByBisection(std::vector<PluginCommand*>& v, PluginCommand* c,
                       int (*compare)(const PluginCommand*, const PluginCommand*)) {
  const int n = static_cast<int>(v.size());
  int low = 0, high = n - 1, middle = n / 2;
  while (low <= high) {
    const int r = compare(c, v[middle]);
    if (r < 0)
      high = middle - 1;
    else if (r > 0)
      low = middle + 1;
    else
      break;
    middle = (low + high + 1) / 2;
  }
  v.insert(v.begin() + middle, c);
}

void AssignWithZero(std::vector<unsigned short>& to, const unsigned short* text, size_t length) {
  to.assign(text, text + length);
  to.push_back(0);
}

void AssignWithZero(std::vector<unsigned short>& to, const QString& text) {
  AssignWithZero(to, reinterpret_cast<const unsigned short*>(text.constData()), static_cast<size_t>(text.size()));
}

// A library that gave no commands: one line for whoever installed it. Not a message box: the
// file may be a helper library that merely shares the folder, and the user cannot act on it.
void SkipNotice(const QString& path, const QString& reason) {
  qWarning("korvane: skipped plugin library %s: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
           qUtf8Printable(reason));
}

int Length(const std::vector<unsigned short>& zeroTerminated) {
  return zeroTerminated.empty() ? 0 : static_cast<int>(zeroTerminated.size()) - 1;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CPlainTextBox

void CPlainTextBox::Attach(QPlainTextEdit* edit, int windowIndex) {
  m_edit = edit;
  m_nWindow = windowIndex;
}

QPlainTextEdit* CPlainTextBox::Edit() const { return m_edit.data(); }

QString CPlainTextBox::SelectedText() const {
  if (!m_edit) return QString();
  QString s = m_edit->textCursor().selectedText();
  // The document keeps blocks apart with paragraph separators; the texts the document and the
  // plugins see use '\n'.
  s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  s.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return s;
}

void CPlainTextBox::ReplaceSelection(const QString& text) {
  // A read-only box (the replace result) shows what the document made; a plugin does not
  // change it.
  if (!m_edit || m_edit->isReadOnly()) return;
  QTextCursor c = m_edit->textCursor();
  const int start = c.selectionStart();
  c.insertText(text);
  // The cursor's own end position, not start + text length: "\r\n" becomes one block break.
  const int end = c.position();
  c.setPosition(start);
  c.setPosition(end, QTextCursor::KeepAnchor);
  m_edit->setTextCursor(c);
}

// ---------------------------------------------------------------------------------------------
// PluginCommand

PluginCommand::PluginCommand() : context(new PluginContextData()) {}
PluginCommand::~PluginCommand() = default;

int PluginCommand::MenuKind() const { return context.GetData()->menuKind; }
const char* PluginCommand::GroupName() const { return context.GetData()->groupName.c_str(); }
const char* PluginCommand::MenuText() const { return context.GetData()->menuText.c_str(); }
const char* PluginCommand::Prompt() const { return context.GetData()->prompt.c_str(); }

// ---------------------------------------------------------------------------------------------
// PluginManager

// The last-group state of one placement pass, shared by every menu the pass touches.
struct PluginManager::MenuState {
  bool hasGroup = false;  // false: "none", which differs from an empty group name
  QByteArray group;
};

PluginManager::PluginManager(IPluginFrame* frame) : m_pFrame(frame) {
  m_selection.assign(1, 0);
  m_pattern.assign(1, 0);
  m_subject.assign(1, 0);
  m_replaceTo.assign(1, 0);
}

PluginManager::~PluginManager() { UnloadPlugins(); }

int PluginManager::LibraryCount() const {
  int n = 0;
  for (const PluginCommand* c : m_byId)
    if (c->library) ++n;
  return n;
}

bool PluginManager::Notify(PluginCommand* cmd, int code) {
  if (!cmd->callback) return false;
  ++m_nDepth;
  bool ok = true;
  try {
    cmd->callback(code, &cmd->context, cmd->userData);
  } catch (...) {
    ok = false;
  }
  --m_nDepth;
  if (!ok) {
    // Contained: the command is out of service from now on (see the header).
    cmd->faulted = true;
    if (m_faultHandler) m_faultHandler(*cmd, code);
  }
  return ok;
}

// After an update or execute notification and its results: an unload asked for meanwhile.
void PluginManager::FinishNotification() {
  if (m_nDepth == 0 && m_bUnloadPending) UnloadPlugins();
}

int PluginManager::LoadPlugins(const QString& folder, unsigned firstId) {
  return LoadPlugins(folder.isEmpty() ? CProgramPaths::PluginFolders() : QStringList{folder}, firstId);
}

int PluginManager::LoadPlugins(const QStringList& folders, unsigned firstId) {
  if (m_nDepth) return 0;
  if (m_byId.empty() || firstId > m_nNextId) m_nNextId = firstId;
  int added = 0;
  QStringList paths;
  for (const QString& folder : folders) paths += CDynamicLibrary::ListPluginLibraries(folder);
  for (const QString& path : paths) {
    if (m_nNextId > PLUGIN_LAST_ID) break;
    // A link to a library already loaded would hand out the same command objects again; a
    // second library of the same name (an installed copy of one beside the program) would give
    // every command twice.
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString name = QFileInfo(path).fileName();
    if (real.isEmpty() || m_loadedFiles.contains(real) || m_loadedNames.contains(name)) continue;
    auto lib = std::make_unique<CDynamicLibrary>();
    if (!lib->Load(path)) {
      SkipNotice(path, lib->ErrorString());
      continue;
    }
    auto getMap = reinterpret_cast<GetPluginEntryMapProc>(lib->Resolve("GetPluginEntryMap"));
    PluginEntry* map = nullptr;
    bool threw = false;
    if (getMap) {
      try {
        map = getMap();
      } catch (...) {
        map = nullptr;
        threw = true;
      }
    }
    if (!map || !map[0].callback) {
      SkipNotice(path, !getMap ? QStringLiteral("no GetPluginEntryMap export: not a plugin library")
                       : threw ? QStringLiteral("GetPluginEntryMap threw")
                               : QStringLiteral("GetPluginEntryMap returned no commands"));
      lib->Unload();
      continue;
    }
    int fromThis = 0;
    for (int row = 0; map[row].callback && m_nNextId <= PLUGIN_LAST_ID; ++row) {
      PluginCommand* cmd = new PluginCommand();
      cmd->id = m_nNextId++;
      cmd->userData = map[row].userData;
      cmd->callback = map[row].callback;
      cmd->fileName = QFileInfo(path).fileName();
      if (fromThis == 0) cmd->library = std::move(lib);
      Notify(cmd, PLUGIN_LOAD);
      ClearTransient(cmd);
      InsertByBisection(m_byId, cmd, CompareById);
      InsertByBisection(m_byMenu, cmd, CompareByMenu);
      ++fromThis;
    }
    if (fromThis) {
      m_loadedFiles.append(real);
      m_loadedNames.append(name);
    }
    added += fromThis;
  }
  FinishNotification();
  return added;
}

PluginCommand* PluginManager::FindCommand(unsigned id) const {
  int low = 0, high = static_cast<int>(m_byId.size()) - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const unsigned at = m_byId[middle]->id;
    if (at == id) return m_byId[middle];
    if (id < at)
      high = middle - 1;
    else
      low = middle + 1;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Menus

void PluginManager::Track(QObject* made) { m_made.emplace_back(made); }

void PluginManager::BuildMenus(QMenu* tools, QMenu* patternContext, QMenu* replaceContext,
                               QMenu* treeContext, QMenu* textContext) {
  PlaceCommands(tools, PLUGIN_MENU_TOOLS);
  PlaceCommands(patternContext, PLUGIN_MENU_PATTERN);
  PlaceCommands(replaceContext, PLUGIN_MENU_REPLACE);
  PlaceCommands(treeContext, PLUGIN_MENU_TREE);
  PlaceCommands(textContext, PLUGIN_MENU_TEXT);
}

void PluginManager::PlaceCommands(QMenu* target, PluginMenuTarget which) {
  if (!target || which < PLUGIN_MENU_TOOLS || which > PLUGIN_MENU_TEXT) return;
  m_made.erase(std::remove_if(m_made.begin(), m_made.end(), [](const QPointer<QObject>& p) { return p.isNull(); }),
               m_made.end());
  const int* table = kPlacement[which];
  int lastPosition = -1;
  QMenu* destination = nullptr;
  MenuState state;
  for (PluginCommand* cmd : m_byMenu) {
    const int kind = cmd->MenuKind();
    if (cmd->faulted || kind < 0 || kind > 6) continue;
    const int p = table[kind];
    if (p == -1) continue;
    if (p != lastPosition) {
      const QList<QAction*> items = target->actions();
      QMenu* sub = p < items.size() ? items[p]->menu() : nullptr;
      if (sub) {
        // A menu template's empty placeholder goes; a real first item stays.
        const QList<QAction*> subItems = sub->actions();
        if (!subItems.isEmpty()) {
          QAction* first = subItems.front();
          if (!first->isSeparator() && !first->menu() && first->text().isEmpty()) delete first;
        }
        destination = sub;
      } else {
        Track(target->addSeparator());
        destination = target;
        state.hasGroup = false;
      }
      lastPosition = p;
    }
    AddToMenu(destination, cmd, QByteArray(cmd->MenuText()), state);
  }
}

void PluginManager::AddToMenu(QMenu* menu, PluginCommand* cmd, const QByteArray& text, MenuState& state) {
  QByteArray rest = text;
  for (int depth = 0;; ++depth) {
    if (menu->actions().isEmpty()) state.hasGroup = false;
    const QByteArray group(cmd->GroupName());
    if (state.hasGroup && CompareNoCase(state.group.constData(), group.constData()) != 0) Track(menu->addSeparator());
    state.hasGroup = true;
    state.group = group;

    const int split = depth < kMaxMenuDepth ? rest.indexOf("::") : -1;
    if (split < 0) {
      QAction* item = menu->addAction(CCodePage::ToUtf16(rest));
      const unsigned id = cmd->id;
      item->setProperty(kIdProperty, id);
      item->setStatusTip(CCodePage::ToUtf16(QByteArray(cmd->Prompt())));
      QObject::connect(item, &QAction::triggered, item, [this, id]() { ExecuteCommand(id); });
      Track(item);
      return;
    }
    const QString head = CCodePage::ToUtf16(rest.left(split));
    rest = rest.mid(split + 2);
    QMenu* sub = nullptr;
    const QList<QAction*> items = menu->actions();
    for (int i = static_cast<int>(items.size()) - 1; i >= 0; --i) {
      if (items[i]->isSeparator()) break;
      if (items[i]->menu() && items[i]->text() == head) {
        sub = items[i]->menu();
        break;
      }
    }
    if (!sub) {
      sub = menu->addMenu(head);
      Track(sub);
    }
    menu = sub;
  }
}

// ---------------------------------------------------------------------------------------------
// Dispatch

void PluginManager::CaptureSelection() {
  if (m_nDepth) return;  // a running command points into the buffer
  IPluginTextBox* box = m_pFrame ? m_pFrame->ActiveTextBox() : nullptr;
  if (box)
    AssignWithZero(m_selection, box->SelectedText());
  else
    m_selection.assign(1, 0);
}

void PluginManager::SnapshotTexts(CKorvaneDoc* doc) {
  AssignWithZero(m_pattern, doc->GetPattern().data(), doc->GetPattern().size());
  AssignWithZero(m_subject, doc->GetSubjectText().data(), doc->GetSubjectText().size());
  AssignWithZero(m_replaceTo, doc->GetReplaceTo().data(), doc->GetReplaceTo().size());
}

void PluginManager::Refill(PluginCommand* cmd, CKorvaneDoc* doc) {
  PluginContextData* d = cmd->context.GetData();
  d->root = RootHandle(doc->GetRecords());
  d->current = HandleOf(doc->GetRecords(), doc->GetCurrentElement());
  d->pattern = &doc->GetCompiled();
  d->tree = &doc->GetRecords();
  d->flags = doc->GetFlags();
  IPluginTextBox* box = m_pFrame ? m_pFrame->ActiveTextBox() : nullptr;
  const int window = box ? box->WindowIndex() : ZWND_NONE;
  d->activeWindow = (window >= ZWND_NONE && window <= ZWND_REPLACETO) ? window : ZWND_NONE;
  d->patternText = m_pattern.data();
  d->patternLength = Length(m_pattern);
  d->subjectText = m_subject.data();
  d->subjectLength = Length(m_subject);
  d->replaceToText = m_replaceTo.data();
  d->replaceToLength = Length(m_replaceTo);
  d->selection = m_selection.data();
  d->selectionLength = Length(m_selection);
  d->replaced = 0;
  d->pending.clear();
}

// After a notification: the context must not keep pointers into buffers that change, nor pin
// element records.
void PluginManager::ClearTransient(PluginCommand* cmd) {
  PluginContextData* d = cmd->context.GetData();
  d->root = CElement();
  d->current = CElement();
  d->pattern = nullptr;
  d->tree = nullptr;
  d->patternText = d->subjectText = d->replaceToText = d->selection = nullptr;
  d->patternLength = d->subjectLength = d->replaceToLength = d->selectionLength = 0;
  d->replaced = 0;
  d->pending.clear();
}

bool PluginManager::UpdateCommand(unsigned id) {
  PluginCommand* cmd = FindCommand(id);
  CKorvaneDoc* doc = m_pFrame ? m_pFrame->ActiveDocument() : nullptr;
  if (!cmd || cmd->faulted || !doc || m_nDepth) return false;
  if (!m_bInMenuPass) SnapshotTexts(doc);
  Refill(cmd, doc);
  const bool ok = Notify(cmd, PLUGIN_UPDATE);
  const bool enabled = ok && cmd->context.GetData()->enabled != 0;
  ClearTransient(cmd);
  if (!ok) ApplyResults(doc, true, false, QString());
  FinishNotification();
  return enabled;
}

void PluginManager::UpdateMenuItems(QMenu* menu, int depth) {
  for (QAction* item : menu->actions()) {
    const QVariant id = item->property(kIdProperty);
    if (id.isValid()) item->setEnabled(UpdateCommand(id.toUInt()));
    if (QMenu* sub = item->menu())
      if (depth < kMaxMenuDepth + 2) UpdateMenuItems(sub, depth + 1);
  }
}

void PluginManager::PrepareMenu(QMenu* menu) {
  CaptureSelection();
  if (!menu || m_nDepth) return;
  if (CKorvaneDoc* doc = m_pFrame ? m_pFrame->ActiveDocument() : nullptr) SnapshotTexts(doc);
  m_bInMenuPass = true;
  UpdateMenuItems(menu, 0);
  m_bInMenuPass = false;
}

bool PluginManager::ExecuteCommand(unsigned id) {
  PluginCommand* cmd = FindCommand(id);
  if (!cmd) return false;
  CKorvaneDoc* doc = m_pFrame ? m_pFrame->ActiveDocument() : nullptr;
  // Nor while the document waits on a search: the rewrite would change the pattern under it.
  if (cmd->faulted || !doc || m_nDepth || doc->IsWaiting()) return true;
  SnapshotTexts(doc);
  Refill(cmd, doc);
  const bool ok = Notify(cmd, PLUGIN_EXECUTE);
  const PluginContextData* d = cmd->context.GetData();
  const bool replaced = ok && d->replaced;
  const QString replacement = replaced ? QString(reinterpret_cast<const QChar*>(d->pending.data()), Length(d->pending)) : QString();
  // Cleared before the results are applied: applying them runs view code, which may come back.
  ClearTransient(cmd);
  ApplyResults(doc, !ok, replaced, replacement);
  FinishNotification();
  return true;
}

void PluginManager::ApplyResults(CKorvaneDoc* doc, bool faulted, bool replaced, const QString& replacement) {
  // Views refresh the way they do after a pattern edit: the text first (when it changed), then
  // the recolouring, then everything that follows from a new compile.
  auto refreshViews = [doc](bool textReplaced) {
    if (textReplaced) doc->Notify(nullptr, HINT_PATTERN_REPLACED);
    doc->Notify(nullptr, HINT_RECOLOR_PATTERN);
    doc->Notify(nullptr, HINTS_PATTERN_EDITED);
  };
  if (faulted) {
    // Whatever the command had half rewritten is dropped: the records are rebuilt from the
    // document's own pattern, which the command could not touch.
    if (doc->GetRecords().IsModified()) {
      const std::vector<unsigned short> pattern = doc->GetPattern();
      doc->SetPattern(pattern.data(), static_cast<int>(pattern.size()), false);
      refreshViews(false);
    }
    return;
  }
  IPluginTextBox* box = m_pFrame ? m_pFrame->ActiveTextBox() : nullptr;
  if (replaced && box) {
    box->ReplaceSelection(replacement);
    // The pattern editor hands its new text to the document itself (and recompiles then).
    if (box->WindowIndex() == ZWND_PATTERN) return;
  }
  if (doc->GetRecords().IsModified()) {
    doc->TakeRewrittenPattern();
    refreshViews(true);
  }
}

QString PluginManager::StatusPrompt(unsigned id) const {
  const PluginCommand* cmd = FindCommand(id);
  return cmd ? CCodePage::ToUtf16(QByteArray(cmd->Prompt())) : QString();
}

void PluginManager::UnloadPlugins() {
  if (m_nDepth) {
    m_bUnloadPending = true;  // plugin code is on the stack
    return;
  }
  m_bUnloadPending = false;
  for (PluginCommand* cmd : m_byId) {
    Notify(cmd, PLUGIN_UNLOAD);
    ClearTransient(cmd);
  }
  // Items made here call back into this manager; they go before it does.
  for (QPointer<QObject>& made : m_made) delete made.data();
  m_made.clear();
  std::vector<PluginCommand*> commands;
  commands.swap(m_byId);
  m_byMenu.clear();
  for (PluginCommand* cmd : commands) {
    if (cmd->library) cmd->library->Unload();
    delete cmd;
  }
  m_loadedFiles.clear();
  m_loadedNames.clear();
  m_nNextId = PLUGIN_FIRST_ID;
}
