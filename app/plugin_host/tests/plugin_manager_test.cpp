// The plugin manager with real plugin libraries (tests/scripted_plugin.cpp, one library per
// variant) copied into a temporary folder: discovery, ids, the menu order, dispatch, applying
// results, faults and unload.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/document/core/korvane_doc.h"
#include "app/plugin_host/plugin_context_data.h"
#include "app/plugin_host/plugin_manager.h"
#include "platform/dynamic_library.h"

// What the test plugins report. Never freed: a library still loaded at exit reports from its
// static destructor after main returns.
static std::vector<std::string>& Events() {
  static auto* events = new std::vector<std::string>();
  return *events;
}

// Called with every event as it is recorded, inside the plugin's notification.
static std::function<void(const std::string&)>& Hook() {
  static auto* hook = new std::function<void(const std::string&)>();
  return *hook;
}

extern "C" __attribute__((visibility("default"))) void PmTestRecord(const char* event) {
  Events().push_back(event);
  if (Hook()) Hook()(event);
}

namespace {

std::vector<unsigned short> U16(const char* s) {
  std::vector<unsigned short> v;
  for (; *s; ++s) v.push_back(static_cast<unsigned char>(*s));
  return v;
}

std::string Narrow(const std::vector<unsigned short>& v) {
  std::string s;
  for (unsigned short c : v) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

int Count(const std::string& event) {
  int n = 0;
  for (const std::string& e : Events()) n += e == event;
  return n;
}

int IndexOf(const std::string& event) {
  for (size_t i = 0; i < Events().size(); ++i)
    if (Events()[i] == event) return static_cast<int>(i);
  return -1;
}

// A folder of plugin libraries, each a copy of one built variant under a chosen name (the
// name decides the load order).
class PluginFolder {
 public:
  void Add(const char* variant, const char* name) {
    const QString from = QStringLiteral(PM_PLUGIN_DIR "/pm_%1.so").arg(QLatin1String(variant));
    ASSERT_TRUE(QFile::copy(from, m_dir.filePath(QLatin1String(name)))) << variant;
  }
  void AddFile(const char* from, const char* name) { ASSERT_TRUE(QFile::copy(QLatin1String(from), m_dir.filePath(QLatin1String(name)))); }
  void AddLink(const char* target, const char* name) {
    ASSERT_TRUE(QFile::link(m_dir.filePath(QLatin1String(target)), m_dir.filePath(QLatin1String(name))));
  }
  // The first bytes of a built variant: an ELF header whose sections are cut off.
  void AddTruncated(const char* variant, const char* name, qint64 bytes) {
    QFile from(QStringLiteral(PM_PLUGIN_DIR "/pm_%1.so").arg(QLatin1String(variant)));
    ASSERT_TRUE(from.open(QIODevice::ReadOnly)) << variant;
    QFile to(m_dir.filePath(QLatin1String(name)));
    ASSERT_TRUE(to.open(QIODevice::WriteOnly));
    to.write(from.read(bytes));
  }
  void AddGarbage(const char* name) {
    QFile f(m_dir.filePath(QLatin1String(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a shared library\n");
  }
  QString Path() const { return m_dir.path(); }

 private:
  QTemporaryDir m_dir;
};

class NullUi : public IDocumentUi {
 public:
  int MessageBox(const QString&, const QString&, int, int) override { return ANSWER_OK; }
  void RunWaitDialog(CKorvaneDoc*) override {}
  void CloseWaitDialog() override {}
  void PumpEvents() override {}
  void PostCommand(int) override {}
  void ShowElapsedTime(double) override {}
  void ShowResultPosition(int, int) override {}
  void SaveModeLayout(int) override {}
  void LoadModeLayout(int) override {}
  bool AskName(QString&) override { return false; }
};

class SpyView : public CDocView {
 public:
  void OnUpdate(CDocView*, int hint) override { hints.push_back(hint); }
  std::vector<int> hints;
};

// A text box without a widget: text and a selection [start, end).
class FakeBox : public IPluginTextBox {
 public:
  FakeBox(int window, const QString& text, int start, int end) : window(window), text(text), start(start), end(end) {}
  int WindowIndex() const override { return window; }
  QString SelectedText() const override { return text.mid(start, end - start); }
  void ReplaceSelection(const QString& t) override {
    text.replace(start, end - start, t);
    end = start + static_cast<int>(t.size());
    ++replacements;
  }
  int window;
  QString text;
  int start, end;
  int replacements = 0;
};

class FakeFrame : public IPluginFrame {
 public:
  CKorvaneDoc* ActiveDocument() override { return doc; }
  IPluginTextBox* ActiveTextBox() override { return box; }
  CKorvaneDoc* doc = nullptr;
  IPluginTextBox* box = nullptr;
};

// The frame's menus: the Tools menu and the four context menus that receive plugin items, laid
// out item by item as their templates are ("|" separates items, "-" is a separator, "name>" a
// submenu).
void Fill(QMenu* m, const char* layout) {
  const QStringList items = QString::fromLatin1(layout).split(QLatin1Char('|'));
  for (const QString& item : items) {
    if (item == QLatin1String("-"))
      m->addSeparator();
    else if (item.endsWith(QLatin1Char('>')))
      m->addMenu(item.chopped(1));
    else
      m->addAction(item);
  }
}

struct FrameMenus {
  FrameMenus() {
    Fill(&tools, "&Import From Clipboard>|Import From &Selected>|-|E&xport To Clipboard>|Export To Create &Code>|-|&Optimize Pattern>");
    Fill(&pattern, "Undo|Redo|-|Cut|Copy|Paste|Delete|-|&Import>|E&xport>|Optimi&ze>|-|Open|Save As|-|Find|Replace|-|Select All");
    Fill(&replace, "Undo|Redo|-|Cut|Copy|Paste|Delete|-|&Import>|E&xport>|-|Open|Save As|-|Find|Replace|-|Select All");
    Fill(&tree, "Cut|Copy|Delete|-|E&xport>");
    Fill(&text, "Set Start Point|-|Undo|Redo|-|Cut|Copy|Paste|Delete|-|&Import>|E&xport>|-|Open|Save As|-|Find|Replace|-|Select All");
  }
  void Build(PluginManager& pm) { pm.BuildMenus(&tools, &pattern, &replace, &tree, &text); }
  QMenu tools, pattern, replace, tree, text;
};

QMenu* Sub(QMenu* m, int position) { return m->actions().at(position)->menu(); }

// "a|b|-|Pop>[x|y]"
std::string Dump(const QMenu* m) {
  std::string s;
  for (QAction* a : m->actions()) {
    if (!s.empty()) s += "|";
    if (a->isSeparator())
      s += "-";
    else if (a->menu())
      s += a->text().toStdString() + ">[" + Dump(a->menu()) + "]";
    else
      s += a->text().toStdString();
  }
  return s;
}

QAction* FindItem(QMenu* m, const QString& text) {
  for (QAction* a : m->actions()) {
    if (a->text() == text && !a->menu()) return a;
    if (a->menu())
      if (QAction* found = FindItem(a->menu(), text)) return found;
  }
  return nullptr;
}

class PluginManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Events().clear();
    doc = std::make_unique<CKorvaneDoc>(&ui);
    frame.doc = doc.get();
    doc->AddView(&spy);
  }
  void TearDown() override {
    pm.reset();
    doc->RemoveView(&spy);
    doc.reset();
  }
  void SetPattern(const char* p) {
    std::vector<unsigned short> t = U16(p);
    doc->SetPattern(t.data(), static_cast<int>(t.size()), false);
    spy.hints.clear();
  }
  PluginManager& Load(int expected) {
    pm = std::make_unique<PluginManager>(&frame);
    EXPECT_EQ(expected, pm->LoadPlugins(folder.Path()));
    return *pm;
  }

  PluginFolder folder;  // outlives the manager: libraries are released before their files go
  NullUi ui;
  SpyView spy;
  std::unique_ptr<CKorvaneDoc> doc;
  FakeFrame frame;
  std::unique_ptr<PluginManager> pm;
};

// ---------------------------------------------------------------------------------------------
// Discovery, ids, unload

TEST_F(PluginManagerTest, LoadsEveryPluginInNameOrderAndSkipsTheOthers) {
  folder.Add("alpha", "a_alpha.so");
  folder.Add("noexport", "b_noexport.so");
  folder.Add("nullmap", "c_nullmap.so");
  folder.Add("emptymap", "d_emptymap.so");
  folder.AddGarbage("e_garbage.so");
  folder.AddFile(PM_NOT_A_PLUGIN, "f_api_user.so");
  folder.Add("second", "g_second.so");
  folder.AddGarbage("h_not_a_library.txt");
  folder.AddLink("a_alpha.so", "i_link_to_alpha.so");
  PluginManager& m = Load(3);

  ASSERT_EQ(3u, m.CommandsById().size());
  const std::vector<PluginCommand*>& c = m.CommandsById();
  EXPECT_EQ(40000u, c[0]->id);
  EXPECT_EQ(40001u, c[1]->id);
  EXPECT_EQ(40002u, c[2]->id);
  EXPECT_STREQ("Alpha export", c[0]->MenuText());
  EXPECT_STREQ("Alpha import", c[1]->MenuText());
  EXPECT_STREQ("Second export", c[2]->MenuText());
  // The library handle sits on each library's first command only.
  EXPECT_TRUE(c[0]->library != nullptr);
  EXPECT_TRUE(c[1]->library == nullptr);
  EXPECT_TRUE(c[2]->library != nullptr);
  EXPECT_EQ(2, m.LibraryCount());
  EXPECT_EQ(c[1], m.FindCommand(40001));
  EXPECT_EQ(nullptr, m.FindCommand(40003));
  EXPECT_EQ(nullptr, m.FindCommand(39999));

  // Libraries that gave nothing were released during the load; the others were told "load".
  EXPECT_EQ(1, Count("noexport:destroyed"));
  EXPECT_EQ(1, Count("nullmap:destroyed"));
  EXPECT_EQ(1, Count("emptymap:destroyed"));
  EXPECT_EQ(1, Count("alpha:load:0"));
  EXPECT_EQ(1, Count("alpha:load:1"));
  EXPECT_EQ(1, Count("second:load:0"));
  EXPECT_LT(IndexOf("alpha:load:1"), IndexOf("second:load:0"));
  EXPECT_EQ(0, Count("alpha:destroyed"));

  m.UnloadPlugins();
  EXPECT_TRUE(m.CommandsById().empty());
  EXPECT_TRUE(m.CommandsByMenu().empty());
  // Every command hears "unload" in id order before any library goes, and each library goes
  // exactly once.
  const int u0 = IndexOf("alpha:unload:0"), u1 = IndexOf("alpha:unload:1"), u2 = IndexOf("second:unload:0");
  ASSERT_GE(u0, 0);
  EXPECT_LT(u0, u1);
  EXPECT_LT(u1, u2);
  EXPECT_EQ(1, Count("alpha:destroyed"));
  EXPECT_EQ(1, Count("second:destroyed"));
  EXPECT_LT(u2, IndexOf("alpha:destroyed"));
  EXPECT_LT(IndexOf("alpha:destroyed"), IndexOf("second:destroyed"));

  // A second unload (the destructor's) finds nothing to do.
  m.UnloadPlugins();
  EXPECT_EQ(1, Count("alpha:unload:0"));
}

// The warnings the manager writes while loading.
QStringList* g_warnings = nullptr;
void CollectWarning(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (g_warnings && type == QtWarningMsg) g_warnings->append(text);
}

TEST_F(PluginManagerTest, FoldersAreSearchedInOrderAndTheFirstLibraryOfANameWins) {
  // Two folders searched in turn, such as a user's plugin folder before a shared one.
  PluginFolder library;
  folder.Add("alpha", "a_alpha.so");
  library.Add("second", "a_alpha.so");  // same name: the program's own folder has it already
  library.AddTruncated("second", "b_truncated.so", 4096);
  library.AddTruncated("second", "c_header_only.so", 64);
  library.Add("second", "d_second.so");
  QStringList warnings;
  g_warnings = &warnings;
  const QtMessageHandler previous = qInstallMessageHandler(CollectWarning);
  pm = std::make_unique<PluginManager>(&frame);
  const int added = pm->LoadPlugins(QStringList{folder.Path(), library.Path()});
  qInstallMessageHandler(previous);
  g_warnings = nullptr;

  EXPECT_EQ(3, added);
  ASSERT_EQ(3u, pm->CommandsById().size());
  EXPECT_STREQ("Alpha export", pm->CommandsById()[0]->MenuText());
  EXPECT_STREQ("Alpha import", pm->CommandsById()[1]->MenuText());
  EXPECT_STREQ("Second export", pm->CommandsById()[2]->MenuText());
  EXPECT_EQ(1, Count("second:load:0"));  // the shadowed copy never ran
  EXPECT_EQ(QStringList({QFileInfo(folder.Path() + QStringLiteral("/a_alpha.so")).canonicalFilePath(),
                         QFileInfo(library.Path() + QStringLiteral("/d_second.so")).canonicalFilePath()}),
            pm->LoadedLibraries());
  // Each broken library is named once, with the loader's reason; nothing else is reported.
  ASSERT_EQ(2, warnings.size()) << warnings.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(warnings[0].contains(QLatin1String("b_truncated.so: "))) << warnings[0].toStdString();
  EXPECT_TRUE(warnings[1].contains(QLatin1String("c_header_only.so: "))) << warnings[1].toStdString();
  pm.reset();  // before the library folder goes
}

TEST_F(PluginManagerTest, LibrariesThatGiveNoCommandsAreNamedWithTheReason) {
  folder.Add("noexport", "a_noexport.so");
  folder.Add("emptymap", "b_emptymap.so");
  folder.AddGarbage("c_garbage.so");
  QStringList warnings;
  g_warnings = &warnings;
  const QtMessageHandler previous = qInstallMessageHandler(CollectWarning);
  Load(0);
  qInstallMessageHandler(previous);
  g_warnings = nullptr;
  ASSERT_EQ(3, warnings.size()) << warnings.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(warnings[0].contains(QLatin1String("a_noexport.so: no GetPluginEntryMap"))) << warnings[0].toStdString();
  EXPECT_TRUE(warnings[1].contains(QLatin1String("b_emptymap.so: GetPluginEntryMap returned no commands")))
      << warnings[1].toStdString();
  EXPECT_TRUE(warnings[2].contains(QLatin1String("c_garbage.so: "))) << warnings[2].toStdString();
  EXPECT_TRUE(pm->LoadedLibraries().isEmpty());
}

TEST_F(PluginManagerTest, AnEmptyOrMissingFolderGivesNoCommandsAndEmptySubmenus) {
  PluginManager& m = Load(0);
  FrameMenus menus;
  menus.Build(m);
  for (int p : {0, 1, 3, 4, 6}) EXPECT_TRUE(Sub(&menus.tools, p)->actions().isEmpty()) << p;
  EXPECT_EQ(7, menus.tools.actions().size());
  EXPECT_EQ(0, m.LoadPlugins(folder.Path() + QStringLiteral("/does-not-exist")));
  EXPECT_FALSE(m.ExecuteCommand(40000));
  EXPECT_FALSE(m.UpdateCommand(40000));
  EXPECT_TRUE(m.StatusPrompt(40000).isEmpty());
}

TEST_F(PluginManagerTest, CommandsStopAtTheLastDispatchedId) {
  folder.Add("many", "a_many.so");
  folder.Add("many", "b_many.so");
  folder.Add("many", "c_many.so");
  PluginManager& m = Load(1001);
  ASSERT_EQ(1001u, m.CommandsById().size());
  EXPECT_EQ(41000u, m.CommandsById().back()->id);
  EXPECT_TRUE(m.CommandsById()[600]->library != nullptr);
  // The third copy was not loaded at all; the second gave only what fits.
  EXPECT_EQ(2, m.LibraryCount());
  EXPECT_EQ(2, Count("many:load:400"));
  EXPECT_EQ(1, Count("many:load:401"));
  m.UnloadPlugins();
  EXPECT_EQ(2, Count("many:destroyed"));
}

// ---------------------------------------------------------------------------------------------
// Menus

// The standard plugin's commands, loaded alone, give the menu order its documentation shows.
TEST_F(PluginManagerTest, TheStandardPluginsEntryMapGivesItsDocumentedMenuOrder) {
  folder.Add("fennicmenu", "fennicmenu.so");
  PluginManager& m = Load(17);
  const char* texts[] = {"C++ string", "C++ string", "C++ string", "C++ string", "Java string", "Java string",
                         "Java string", "Java string", "Visual Basic string", "Visual Basic string",
                         "Visual Basic string", "Visual Basic string", "Convert HTML Entity", "Remove HTML Tag",
                         "Alternative::Alternative of strings", "Group::Convert to capture group",
                         "Group::Convert to noncapture group"};
  for (int row = 0; row < 17; ++row) {
    PluginCommand* c = m.FindCommand(40000 + row);
    ASSERT_NE(nullptr, c) << row;
    EXPECT_STREQ(texts[row], c->MenuText()) << row;
  }

  FrameMenus menus;
  menus.Build(m);
  const std::string three = "Java string|Visual Basic string|C++ string";
  const std::string optimize = "Group>[Convert to noncapture group|Convert to capture group]|Alternative>[Alternative of strings]";
  EXPECT_EQ(three, Dump(Sub(&menus.tools, 0)));
  EXPECT_EQ("Convert HTML Entity|Java string|Visual Basic string|Remove HTML Tag|C++ string", Dump(Sub(&menus.tools, 1)));
  EXPECT_EQ(three, Dump(Sub(&menus.tools, 3)));
  EXPECT_EQ(three, Dump(Sub(&menus.tools, 4)));
  EXPECT_EQ(optimize, Dump(Sub(&menus.tools, 6)));
  EXPECT_EQ(7, menus.tools.actions().size());  // no kind-6 command, no separator appended

  EXPECT_EQ(three, Dump(Sub(&menus.pattern, 8)));
  EXPECT_EQ(three, Dump(Sub(&menus.pattern, 9)));
  EXPECT_EQ(optimize, Dump(Sub(&menus.pattern, 10)));
  EXPECT_EQ(three, Dump(Sub(&menus.replace, 8)));
  EXPECT_EQ(three, Dump(Sub(&menus.replace, 9)));
  EXPECT_EQ(three, Dump(Sub(&menus.tree, 4)));
  EXPECT_EQ(three, Dump(Sub(&menus.text, 10)));
  EXPECT_EQ(three, Dump(Sub(&menus.text, 11)));
  // The menus' own items are where they were.
  EXPECT_EQ("Cut|Copy|Delete|-|E&xport>[" + three + "]", Dump(&menus.tree));

  // Each item carries its command's id and its status prompt.
  QAction* vbImport = Sub(&menus.tools, 0)->actions().at(1);
  EXPECT_EQ(40008u, vbImport->property("korvanePluginId").toUInt());
  EXPECT_EQ(QStringLiteral("Convert from the string which is copied from Visual Basic source code"), vbImport->statusTip());
  EXPECT_EQ(vbImport->statusTip(), m.StatusPrompt(40008));
}

TEST_F(PluginManagerTest, GroupsPopupsAndToolsItemsArePlacedByTheirRules) {
  folder.Add("menus", "menus.so");
  PluginManager& m = Load(9);
  FrameMenus menus;
  menus.Build(m);
  // Groups "one" and "ONE" are one group (no separator); "two" is set apart by one. The "Pop"
  // after that separator is a new popup; the second "Pop::" text finds it, and "Inner" nests.
  const std::string exported = "Second|First|-|Pop>[Flat|Inner>[Deep]]";
  EXPECT_EQ(exported, Dump(Sub(&menus.tools, 3)));
  EXPECT_EQ("Alone", Dump(Sub(&menus.tools, 6)));
  // Kind 6: one separator, then the items, at the end of the Tools menu itself. Kinds 0 and 99
  // get no item anywhere.
  const QList<QAction*> tools = menus.tools.actions();
  ASSERT_EQ(10, tools.size());
  EXPECT_TRUE(tools[7]->isSeparator());
  EXPECT_EQ(QStringLiteral("Second tools item"), tools[8]->text());
  EXPECT_EQ(QStringLiteral("Tools item"), tools[9]->text());
  EXPECT_EQ(QStringLiteral("Tools item prompt"), tools[9]->statusTip());
  EXPECT_EQ(exported, Dump(Sub(&menus.pattern, 9)));
  EXPECT_EQ("Alone", Dump(Sub(&menus.pattern, 10)));
  EXPECT_EQ(exported, Dump(Sub(&menus.tree, 4)));
  for (QMenu* menu : {&menus.tools, &menus.pattern, &menus.replace, &menus.tree, &menus.text}) {
    EXPECT_EQ(nullptr, FindItem(menu, QStringLiteral("No menu")));
    EXPECT_EQ(nullptr, FindItem(menu, QStringLiteral("Kind outside the table")));
  }
  // Still loaded and still told: the commands without items exist.
  EXPECT_STREQ("No menu", m.FindCommand(40005)->MenuText());
}

TEST_F(PluginManagerTest, AnEmptyPlaceholderGoesButARealFirstItemStays) {
  folder.Add("menus", "menus.so");
  PluginManager& m = Load(9);
  QMenu tools;
  Fill(&tools, "&Import From Clipboard>|Import From &Selected>|-|E&xport To Clipboard>|Export To Create &Code>|-|&Optimize Pattern>");
  Sub(&tools, 3)->addAction(QString());  // a template's empty placeholder
  Sub(&tools, 6)->addAction(QStringLiteral("Keep me"));
  m.PlaceCommands(&tools, PLUGIN_MENU_TOOLS);
  EXPECT_EQ("Second|First|-|Pop>[Flat|Inner>[Deep]]", Dump(Sub(&tools, 3)));
  // A non-empty menu keeps its last-group state: "Alone" (group "") follows "two".
  EXPECT_EQ("Keep me|-|Alone", Dump(Sub(&tools, 6)));
}

TEST_F(PluginManagerTest, UnloadTakesTheItemsItMadeOutOfTheMenus) {
  folder.Add("menus", "menus.so");
  PluginManager& m = Load(9);
  FrameMenus menus;
  menus.Build(m);
  m.UnloadPlugins();
  EXPECT_EQ("&Import From Clipboard>[]|Import From &Selected>[]|-|E&xport To Clipboard>[]|Export To Create &Code>[]|-|&Optimize Pattern>[]",
            Dump(&menus.tools));
  EXPECT_EQ("Cut|Copy|Delete|-|E&xport>[]", Dump(&menus.tree));
}

// ---------------------------------------------------------------------------------------------
// Update, execute, results

TEST_F(PluginManagerTest, UpdateFollowsTheCommandAndDisablesWithoutADocument) {
  folder.Add("alpha", "alpha.so");
  PluginManager& m = Load(2);
  FrameMenus menus;
  menus.Build(m);
  SetPattern("ab");
  FakeBox box(ZWND_TEXT, QStringLiteral("hello world"), 6, 6);
  frame.box = &box;
  QAction* exportItem = Sub(&menus.tools, 3)->actions().at(0);
  QAction* importItem = Sub(&menus.tools, 0)->actions().at(0);

  m.PrepareMenu(&menus.tools);  // nothing selected: "Alpha export" wants a selection
  EXPECT_FALSE(exportItem->isEnabled());
  EXPECT_TRUE(importItem->isEnabled());
  box.end = 11;
  m.PrepareMenu(&menus.tools);
  EXPECT_TRUE(exportItem->isEnabled());
  EXPECT_EQ(2, Count("alpha:update:0"));

  // The selection is the one captured at the last pop-up, not the box's present one.
  box.end = 6;
  EXPECT_TRUE(m.UpdateCommand(40000));
  m.CaptureSelection();
  EXPECT_FALSE(m.UpdateCommand(40000));

  frame.doc = nullptr;
  m.PrepareMenu(&menus.tools);
  EXPECT_FALSE(exportItem->isEnabled());
  EXPECT_FALSE(importItem->isEnabled());
  EXPECT_FALSE(m.UpdateCommand(40001));
  EXPECT_TRUE(m.ExecuteCommand(40001));  // handled, but there is nothing to run it on
  EXPECT_EQ(0, Count("alpha:execute:1"));
}

TEST_F(PluginManagerTest, TheContextIsRefilledFromTheDocumentBeforeTheCommandRuns) {
  folder.Add("second", "second.so");
  PluginManager& m = Load(1);
  SetPattern("a(b)");
  std::vector<unsigned short> subject = U16("xyz"), replaceTo = U16("r");
  doc->SetSubjectText(subject.data(), 3);
  doc->SetReplaceTo(replaceTo.data(), 1);
  doc->OnCommand(CMD_IGNORECASE);
  doc->SelectPatternRange(2, 3);  // inside the group: its content "b"
  FakeBox box(ZWND_TEXT, QStringLiteral("xyz"), 1, 3);
  frame.box = &box;
  m.CaptureSelection();
  EXPECT_TRUE(m.ExecuteCommand(40000));
  ASSERT_EQ(1, Count("second:echo active=2 sel=yz flags=8 pattern=a(b) text=xyz replaceto=r root=11 current=17@2 groups=2"))
      << (Events().empty() ? std::string() : Events().back());

  // No text box active: window 0 and an empty selection.
  frame.box = nullptr;
  m.CaptureSelection();
  m.ExecuteCommand(40000);
  EXPECT_EQ(1, Count("second:echo active=0 sel= flags=8 pattern=a(b) text=xyz replaceto=r root=11 current=17@2 groups=2"));

  // Between notifications the context holds no pointers into the host's buffers.
  const PluginContextData* d = m.FindCommand(40000)->context.GetData();
  EXPECT_EQ(nullptr, d->patternText);
  EXPECT_EQ(nullptr, d->selection);
  EXPECT_EQ(0, d->root.GetElementType());
}

TEST_F(PluginManagerTest, AReplacementLandsInTheActiveBoxWithTheInsertedTextSelected) {
  folder.Add("alpha", "alpha.so");
  PluginManager& m = Load(2);
  FrameMenus menus;
  menus.Build(m);
  SetPattern("ab");
  QPlainTextEdit edit;
  edit.setPlainText(QStringLiteral("hello world\nsecond line"));
  QTextCursor c = edit.textCursor();
  c.setPosition(6);
  c.setPosition(17, QTextCursor::KeepAnchor);  // "world\nsecon"
  edit.setTextCursor(c);
  CPlainTextBox box(&edit, ZWND_TEXT);
  frame.box = &box;
  EXPECT_EQ(QStringLiteral("world\nsecon"), box.SelectedText());

  m.PrepareMenu(&menus.tools);
  QAction* item = Sub(&menus.tools, 3)->actions().at(0);
  ASSERT_TRUE(item->isEnabled());
  item->trigger();  // the item runs its command
  EXPECT_EQ(1, Count("alpha:execute:0"));
  EXPECT_EQ(QStringLiteral("hello <world\nsecon>d line"), edit.toPlainText());
  EXPECT_EQ(6, edit.textCursor().selectionStart());
  EXPECT_EQ(19, edit.textCursor().selectionEnd());
  EXPECT_EQ(QStringLiteral("<world\nsecon>"), box.SelectedText());
  // The text box hands its own text to the document; the host rewrote no pattern.
  EXPECT_EQ("ab", Narrow(doc->GetPattern()));
  EXPECT_TRUE(spy.hints.empty());

  // A read-only box (the replace result) keeps its text.
  edit.setReadOnly(true);
  m.PrepareMenu(&menus.tools);
  item->trigger();
  EXPECT_EQ(2, Count("alpha:execute:0"));
  EXPECT_EQ(QStringLiteral("hello <world\nsecon>d line"), edit.toPlainText());
}

TEST_F(PluginManagerTest, InThePatternBoxTheHostTriggersNoRecompile) {
  folder.Add("alpha", "alpha.so");
  PluginManager& m = Load(2);
  SetPattern("(ab)c*");
  FakeBox box(ZWND_PATTERN, QStringLiteral("(ab)c*"), 1, 3);
  frame.box = &box;
  CElement rootBefore = RootHandle(doc->GetRecords());
  m.CaptureSelection();
  EXPECT_TRUE(m.ExecuteCommand(40000));
  EXPECT_EQ(QStringLiteral("(<ab>)c*"), box.text);
  EXPECT_EQ(1, box.start);
  EXPECT_EQ(5, box.end);
  EXPECT_EQ("(ab)c*", Narrow(doc->GetPattern()));
  EXPECT_EQ(11, rootBefore.GetElementType());  // the records were not rebuilt
  EXPECT_TRUE(spy.hints.empty());
  EXPECT_FALSE(doc->IsModified());
}

TEST_F(PluginManagerTest, ARewrittenPatternIsTakenRecompiledAndMarksTheDocumentModified) {
  folder.Add("alpha", "alpha.so");
  PluginManager& m = Load(2);
  SetPattern("(ab)c*");
  doc->SetModified(false);
  FakeBox box(ZWND_TEXT, QStringLiteral("text"), 0, 0);
  frame.box = &box;
  CElement rootBefore = RootHandle(doc->GetRecords());
  EXPECT_TRUE(m.ExecuteCommand(40001));  // "Alpha import": first string element -> "XYZ"
  EXPECT_EQ("(XYZ)c*", Narrow(doc->GetPattern()));
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(0, rootBefore.GetElementType());  // the old tree is gone
  EXPECT_EQ(11, RootHandle(doc->GetRecords()).GetElementType());
  EXPECT_EQ(7, RootHandle(doc->GetRecords()).GetLength());
  EXPECT_FALSE(doc->GetRecords().IsModified());
  EXPECT_EQ((std::vector<int>{HINT_PATTERN_REPLACED, HINT_RECOLOR_PATTERN, HINTS_PATTERN_EDITED}), spy.hints);
  EXPECT_EQ(0, box.replacements);  // no replacement was given
}

TEST_F(PluginManagerTest, ThrowingCommandsAreContainedAndTakenOutOfService) {
  folder.Add("throwing", "throwing.so");
  std::vector<std::pair<unsigned, int>> faults;
  pm = std::make_unique<PluginManager>(&frame);
  pm->SetFaultHandler([&faults](const PluginCommand& cmd, int code) { faults.emplace_back(cmd.id, code); });
  PluginManager& m = *pm;
  ASSERT_EQ(4, m.LoadPlugins(folder.Path()));
  ASSERT_EQ(1u, faults.size());
  EXPECT_EQ(std::make_pair(40000u, 1), faults[0]);
  EXPECT_TRUE(m.FindCommand(40000)->faulted);

  FrameMenus menus;
  menus.Build(m);
  // The command that threw at load has no item; the others do.
  // Equal keys: each newcomer lands before the equal one the bisection meets.
  EXPECT_EQ("Works|Throws at execute|Throws at update", Dump(Sub(&menus.tools, 3)));
  EXPECT_EQ(nullptr, FindItem(&menus.tools, QStringLiteral("Throws at load")));

  SetPattern("(ab)c*");
  doc->SetModified(false);
  FakeBox box(ZWND_TEXT, QStringLiteral("hello"), 0, 5);
  frame.box = &box;
  m.PrepareMenu(&menus.tools);
  EXPECT_FALSE(FindItem(&menus.tools, QStringLiteral("Throws at update"))->isEnabled());
  EXPECT_TRUE(FindItem(&menus.tools, QStringLiteral("Works"))->isEnabled());
  EXPECT_TRUE(m.FindCommand(40001)->faulted);
  m.PrepareMenu(&menus.tools);
  EXPECT_EQ(1, Count("throwing:update:1"));  // not asked again

  // It rewrote the pattern and gave a replacement, then threw: neither is applied, and the
  // element records match the document's pattern again.
  spy.hints.clear();
  EXPECT_TRUE(m.ExecuteCommand(40002));
  EXPECT_EQ(QStringLiteral("hello"), box.text);
  EXPECT_EQ(0, box.replacements);
  EXPECT_EQ("(ab)c*", Narrow(doc->GetPattern()));
  EXPECT_EQ("(ab)c*", Narrow(doc->GetRecords().Text()));
  EXPECT_FALSE(doc->GetRecords().IsModified());
  EXPECT_EQ(6, RootHandle(doc->GetRecords()).GetLength());
  EXPECT_FALSE(doc->IsModified());
  EXPECT_EQ((std::vector<int>{HINT_RECOLOR_PATTERN, HINTS_PATTERN_EDITED}), spy.hints);
  EXPECT_TRUE(m.ExecuteCommand(40002));
  EXPECT_EQ(1, Count("throwing:execute:2"));
  m.PrepareMenu(&menus.tools);
  EXPECT_FALSE(FindItem(&menus.tools, QStringLiteral("Throws at execute"))->isEnabled());

  // The one that behaves still works.
  EXPECT_TRUE(m.ExecuteCommand(40003));
  EXPECT_EQ(QStringLiteral("<hello>"), box.text);

  ASSERT_EQ(3u, faults.size());
  EXPECT_EQ(std::make_pair(40001u, 2), faults[1]);
  EXPECT_EQ(std::make_pair(40002u, 3), faults[2]);

  // Unload still tells every command, the faulted ones too; a throw there is contained as well.
  m.UnloadPlugins();
  for (int row = 0; row < 4; ++row) EXPECT_EQ(1, Count("throwing:unload:" + std::to_string(row))) << row;
  EXPECT_EQ(1, Count("throwing:destroyed"));
  ASSERT_EQ(4u, faults.size());
  EXPECT_EQ(std::make_pair(40001u, 4), faults[3]);
}

// Host code that runs while a command is inside its notification (a plugin's modal window)
// neither starts another notification nor pulls the captured texts from under it; an unload
// waits until the command has returned.
TEST_F(PluginManagerTest, ReentryDuringANotificationIsHeldOff) {
  folder.Add("second", "second.so");
  PluginManager& m = Load(1);
  SetPattern("a(b)");
  FakeBox box(ZWND_TEXT, QStringLiteral("xyz"), 1, 3);
  frame.box = &box;
  m.CaptureSelection();
  bool nestedExecute = false, nestedUpdate = true;
  int loadedInside = -1;
  Hook() = [&](const std::string& e) {
    if (e != "second:execute:0") return;
    box.start = box.end = 0;
    m.CaptureSelection();
    nestedExecute = m.ExecuteCommand(40000);
    nestedUpdate = m.UpdateCommand(40000);
    loadedInside = m.LoadPlugins(folder.Path());
    m.UnloadPlugins();
  };
  EXPECT_TRUE(m.ExecuteCommand(40000));
  Hook() = nullptr;
  EXPECT_TRUE(nestedExecute);  // handled: it is a plugin command, but nothing ran
  EXPECT_FALSE(nestedUpdate);
  EXPECT_EQ(0, loadedInside);
  EXPECT_EQ(1, Count("second:execute:0"));
  EXPECT_EQ(0, Count("second:update:0"));
  const std::string echo = "second:echo active=2 sel=yz flags=0 pattern=a(b) text= replaceto= root=11 current=17@0 groups=2";
  EXPECT_EQ(1, Count(echo)) << (Events().size() > 2 ? Events()[2] : std::string());
  EXPECT_TRUE(m.CommandsById().empty());
  EXPECT_LT(IndexOf(echo), IndexOf("second:unload:0"));
  EXPECT_EQ(1, Count("second:destroyed"));
}

// The real standard plugin, when it has been built beside the program.
TEST_F(PluginManagerTest, TheRealStandardPluginLoadsWithItsMenuOrder) {
  if (!QFile::exists(QStringLiteral(PM_FENNIC_PATH))) GTEST_SKIP() << "fennic not built at " << PM_FENNIC_PATH;
  folder.AddFile(PM_FENNIC_PATH, "fennic.so");
  PluginManager& m = Load(17);
  FrameMenus menus;
  menus.Build(m);
  const std::string three = "Java string|Visual Basic string|C++ string";
  EXPECT_EQ(three, Dump(Sub(&menus.tools, 0)));
  EXPECT_EQ("Convert HTML Entity|Java string|Visual Basic string|Remove HTML Tag|C++ string", Dump(Sub(&menus.tools, 1)));
  EXPECT_EQ(three, Dump(Sub(&menus.tools, 3)));
  EXPECT_EQ(three, Dump(Sub(&menus.tools, 4)));
  EXPECT_EQ("Group>[Convert to noncapture group|Convert to capture group]|Alternative>[Alternative of strings]",
            Dump(Sub(&menus.tools, 6)));

  // "Import From Selected" / "C++ string" (row 1) through the menu on a real text box: the
  // selected source line becomes the pattern it holds, selected.
  SetPattern("a");
  QPlainTextEdit edit;
  edit.setPlainText(QStringLiteral("x = \"\\\\d+\";"));
  edit.selectAll();
  CPlainTextBox box(&edit, ZWND_TEXT);
  frame.box = &box;
  m.PrepareMenu(&menus.tools);
  QAction* item = Sub(&menus.tools, 1)->actions().at(4);
  EXPECT_EQ(40001u, item->property("korvanePluginId").toUInt());
  ASSERT_TRUE(item->isEnabled());
  item->trigger();
  EXPECT_EQ(QStringLiteral("\\d+"), edit.toPlainText());
  EXPECT_EQ(QStringLiteral("\\d+"), box.SelectedText());
  m.UnloadPlugins();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
