// fennic loaded as korvane loads it: the entry map, the seventeen commands with their texts,
// kinds and enable rules, every family's execute path (selection, clipboard, Create Code), the
// optimizer command and export, and bad calls (a null context, unknown codes).
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QEventLoop>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>

#include "plugins/fennic/tests/plugin_harness.h"

namespace fennic_test {

QLibrary& Module() {
  static QLibrary* lib = [] {
    QLibrary* l = new QLibrary(QStringLiteral(FENNIC_MODULE_PATH));
    l->setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!l->load()) ADD_FAILURE() << l->errorString().toStdString();
    return l;
  }();
  return *lib;
}

PluginEntry* EntryMap() {
  static PluginEntry* map = [] {
    auto get = reinterpret_cast<GetPluginEntryMapProc>(Module().resolve("GetPluginEntryMap"));
    return get ? get() : nullptr;
  }();
  return map;
}

namespace {

// The optimizer's exported form, as declared in plugins/fennic/optimizer.h.
struct FennicStringList {
  const unsigned short* const* strings;
  const int* lengths;
  int count;
};
struct FennicBuffer {
  unsigned short* data;
  int capacity;
  int length;
};

TEST(Plugin, EntryMapHoldsSeventeenRowsThenZero) {
  PluginEntry* map = EntryMap();
  ASSERT_NE(nullptr, map);
  int rows = 0;
  while (map[rows].callback) ++rows;
  EXPECT_EQ(ROW_COUNT, rows);
  for (int i = rows; i <= 100; ++i) EXPECT_EQ(nullptr, map[i].callback) << i;
  const int* tail = reinterpret_cast<const int*>(map + 101);
  EXPECT_EQ(ROW_COUNT, tail[0]);  // rows in use
  EXPECT_EQ(1, tail[1]);          // the clipboard is UTF-16
  for (int i = 0; i < rows; ++i) {
    EXPECT_EQ(map[0].callback, map[i].callback) << "one dispatcher for every row";
    for (int j = 0; j < i; ++j) EXPECT_NE(map[j].userData, map[i].userData);
  }
}

TEST(Plugin, LoadSetsKindTextAndPrompt) {
  struct Row {
    int kind;
    const char* text;
    const char* prompt;
  };
  static const Row rows[ROW_COUNT] = {
      {1, "C++ string", "Convert from the string which is copied from C++ source code"},
      {2, "C++ string", "Convert from currently selected C/C++ source code"},
      {3, "C++ string", "Convert into C++ string and put into clipboard"},
      {4, "C++ string", "Create C/C++ program code"},
      {1, "Java string", "Convert from the string which is copied from Java source code"},
      {2, "Java string", "Convert from currently selected Java source code"},
      {3, "Java string", "Convert into Java string and put into clipboard"},
      {4, "Java string", "Create Java program code"},
      {1, "Visual Basic string", "Convert from the string which is copied from Visual Basic source code"},
      {2, "Visual Basic string", "Convert from currently selected Visual Basic source code"},
      {3, "Visual Basic string", "Convert into Visual Basic string and put into clipboard"},
      {4, "Visual Basic string", "Create Visual Basic program code"},
      {2, "Convert HTML Entity", "Convert HTML Entities in selected text( example: &lt;a&gt; => <a> )"},
      {2, "Remove HTML Tag", "Remove HTML Tags in selected text( example: <p>aaa</p> => aaa )"},
      {5, "Alternative::Alternative of strings", "Optimize alternative of fixed strings( example: aa|ab|ac => a[abc] )"},
      {5, "Group::Convert to capture group", "Convert all of selected noncapture groups into capture groups"},
      {5, "Group::Convert to noncapture group", "Convert all of selected unnamed groups into noncapture groups"},
  };
  for (int i = 0; i < ROW_COUNT; ++i) {
    Session s(u"a");
    s.data->groupName = "stale";
    EXPECT_EQ(0, s.Send(i, 1));
    EXPECT_EQ(rows[i].kind, s.data->menuKind) << i;
    EXPECT_EQ(rows[i].text, s.data->menuText) << i;
    EXPECT_EQ(rows[i].prompt, s.data->prompt) << i;
    EXPECT_EQ("", s.data->groupName) << i;
    EXPECT_EQ(0, s.Send(i, 4));  // unload does nothing
  }
}

TEST(Plugin, NullContextAndUnknownCodes) {
  for (int i = 0; i < ROW_COUNT; ++i) {
    PluginEntry& e = EntryMap()[i];
    for (int code = 1; code <= 4; ++code) EXPECT_EQ(0, e.callback(code, nullptr, e.userData));
    EXPECT_EQ(6, e.callback(7, nullptr, e.userData));
    EXPECT_EQ(-1, e.callback(0, nullptr, e.userData));
  }
  // A context without data answers defaults: every command stays quiet and disables itself
  // where its rule needs data.
  CPluginContext empty;
  for (int i = 0; i < ROW_COUNT; ++i) {
    PluginEntry& e = EntryMap()[i];
    e.callback(2, &empty, e.userData);
    e.callback(3, &empty, e.userData);
  }
}

TEST(Plugin, ImportFromSelection) {
  struct Row {
    int row;
    const char16_t* selection;
    const char16_t* result;
  };
  static const Row rows[] = {
      {ROW_CPP_IMPORT_SELECTED, u"s = \"\\\\d+\" \"[a-z]\";", u"\\d+[a-z]"},
      {ROW_JAVA_IMPORT_SELECTED, u"Pattern.compile(\"a\\\"b\")", u"a\"b"},
      {ROW_VB_IMPORT_SELECTED, u"\"a\"\"b\" & vbCrLf & Chr(9)", u"a\"b\n\\x09"},
      {ROW_HTML_ENTITY, u"&lt;a&gt;", u"<a>"},
      {ROW_HTML_TAG, u"<p>aaa</p>", u"aaa"},
  };
  for (const Row& r : rows) {
    Session s(u"x");
    s.data->activeWindow = ZWND_TEXT;
    EXPECT_FALSE(s.Enabled(r.row)) << "nothing selected";
    s.Select(r.selection);
    EXPECT_TRUE(s.Enabled(r.row));
    s.data->activeWindow = ZWND_NONE;
    EXPECT_FALSE(s.Enabled(r.row)) << "no editor active";
    s.data->activeWindow = ZWND_REPLACETO;
    s.Send(r.row, 3);
    EXPECT_EQ(1, s.data->replaced);
    EXPECT_EQ(std::u16string(r.result), s.Pending());
  }
  // An empty result leaves the selection alone.
  Session s(u"x");
  s.Select(u"<b></b>");
  s.Send(ROW_HTML_TAG, 3);
  EXPECT_EQ(0, s.data->replaced);
}

TEST(Plugin, ExportAndImportThroughTheClipboard) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  ASSERT_NE(nullptr, clipboard);
  struct Row {
    int exportRow, importRow;
    const char16_t* pattern;
    const char16_t* literal;
  };
  static const Row rows[] = {
      {ROW_CPP_EXPORT_CLIPBOARD, ROW_CPP_IMPORT_CLIPBOARD, u"\"?" u"?=\\d", u"\"\\\"?\\?=\\\\d\""},
      {ROW_JAVA_EXPORT_CLIPBOARD, ROW_JAVA_IMPORT_CLIPBOARD, u"\"?" u"?=\\d", u"\"\\\"?" u"?=\\\\d\""},
      {ROW_VB_EXPORT_CLIPBOARD, ROW_VB_IMPORT_CLIPBOARD, u"a\"b", u"\"a\"\"b\""},
  };
  for (const Row& r : rows) {
    // Nothing selected, pattern editor active: the whole pattern goes out.
    Session s(r.pattern);
    EXPECT_TRUE(s.Enabled(r.exportRow));
    s.data->activeWindow = ZWND_TEXT;
    EXPECT_FALSE(s.Enabled(r.exportRow)) << "text box active, nothing selected";
    s.data->activeWindow = ZWND_PATTERN;
    clipboard->clear();
    s.Send(r.exportRow, 3);
    EXPECT_EQ(QString::fromStdU16String(r.literal), clipboard->text());
    // And back in, replacing the selection.
    EXPECT_TRUE(s.Enabled(r.importRow));
    s.data->activeWindow = ZWND_NONE;
    EXPECT_FALSE(s.Enabled(r.importRow)) << "structure tree active";
    s.data->activeWindow = ZWND_PATTERN;
    s.Send(r.importRow, 3);
    EXPECT_EQ(std::u16string(r.pattern), s.Pending());
  }
  // A selection is exported instead of the pattern.
  Session s(u"whole");
  s.Select(u"pa\"rt");
  s.data->activeWindow = ZWND_TEXT;
  EXPECT_TRUE(s.Enabled(ROW_CPP_EXPORT_CLIPBOARD));
  s.Send(ROW_CPP_EXPORT_CLIPBOARD, 3);
  EXPECT_EQ(QStringLiteral("\"pa\\\"rt\""), clipboard->text());
  // An empty clipboard disables the imports and changes nothing.
  clipboard->clear();
  EXPECT_FALSE(s.Enabled(ROW_CPP_IMPORT_CLIPBOARD));
  s.Send(ROW_CPP_IMPORT_CLIPBOARD, 3);
  EXPECT_EQ(0, s.data->replaced);
}

// Successive match spans of a pattern over a text, in the host's build.
std::vector<std::pair<int, int>> HostSpans(const std::u16string& pattern, int flags, const std::u16string& subject) {
  std::vector<unsigned short> p = U16(pattern), t = U16(subject);
  HostRegexp re(p.data(), static_cast<int>(p.size()), flags);
  std::vector<std::pair<int, int>> spans;
  HostContext ctx;
  if (!re.PrepareMatch(t.data(), static_cast<int>(t.size()), -1, &ctx)) return spans;
  for (size_t guard = 0; guard <= t.size() + 1; ++guard) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    spans.push_back(std::make_pair(m.GetStart(), m.GetEnd()));
  }
  return spans;
}

TEST(Plugin, AlternativeOfStrings) {
  struct Row {
    const char16_t* pattern;
    int flags;
    bool enabled;
    const char16_t* result;
  };
  static const Row rows[] = {
      {u"aa|ab|ac", 0, true, u"a[abc]"},
      {u"a|ab", 0, true, u"ab??"},
      {u"ab|a", 0, true, u"ab?"},
      {u"a\\.b|a\\|b|a b", 0, true, u"a(?:\\x20b|\\.b|\\|b)"},
      {u"ab|a*", 0, false, u"ab|a*"},
      {u"abc", 0, false, u"abc"},
      // Quoted text: the whole quote is replaced, not its inside alone.
      {u"\\Qa.b\\E|a", 0, true, u"a(?:\\.b)?"},
      {u"\\Qa|b\\E|\\Qa|c\\E", 0, true, u"a\\|[bc]"},
      // A NUL is a character like any other.
      {u"x\\x00y|x", 0, true, u"x(?:\\x00y)?"},
      {u"a\\x00|a", 0, true, u"a\\x00?"},
      // Under the extended option '#' and white space stay escaped.
      {u"a\\#b|a\\#c", EXTENDED, true, u"a\\#[bc]"},
      {u"a\\ b|a\\ c # two", EXTENDED, true, u"a\\x20[bc] # two"},
      // Strings that differ only in case are one string without case.
      {u"ab|AB|ac", IGNORECASE, true, u"a[bc]"},
  };
  for (const Row& r : rows) {
    Session s(r.pattern, r.flags);
    EXPECT_EQ(r.enabled, s.Enabled(ROW_ALTERNATIVE)) << std::string(s.text.begin(), s.text.end());
    s.Send(ROW_ALTERNATIVE, 3);
    EXPECT_EQ(r.enabled, s.tree.IsModified());
    EXPECT_EQ(std::u16string(r.result), s.Rewritten());
    const std::u16string nul(1, u'\0');
    for (const std::u16string& subject : {std::u16string(), std::u16string(u"ab"), std::u16string(u"a.bxa"),
                                          std::u16string(u"AB ac a#b a#c"), u"a b a c x" + nul + u"y a" + nul + u"a|b a|c"})
      EXPECT_EQ(HostSpans(r.pattern, r.flags, subject), HostSpans(s.Rewritten(), r.flags, subject))
          << std::string(s.text.begin(), s.text.end());
  }
  // An alternative inside a larger pattern, as the current element.
  Session s(u"x(?:foo|bar|baz)y");
  CElement e = RootHandle(s.tree);
  std::vector<CElement> stack = {e};
  CElement alternative;
  while (!stack.empty()) {
    CElement top = stack.back();
    stack.pop_back();
    if (top.GetElementType() == ZEL_ALTERNATIVE) alternative = top;
    for (int i = 0; i < top.GetChildrenCount(); ++i) stack.push_back(top.GetChild(i));
  }
  ASSERT_EQ(ZEL_ALTERNATIVE, alternative.GetElementType());
  s.data->current = alternative;
  EXPECT_TRUE(s.Enabled(ROW_ALTERNATIVE));
  s.Send(ROW_ALTERNATIVE, 3);
  EXPECT_EQ(u"x(?:ba[rz]|foo)y", s.Rewritten());
}

TEST(Plugin, DoOptimizeStringsExport) {
  typedef int (*Proc)(const FennicStringList*, FennicBuffer*);
  Proc proc = reinterpret_cast<Proc>(Module().resolve("DoOptimizeStrings"));
  ASSERT_NE(nullptr, proc);
  std::vector<unsigned short> a = U16(u"aa"), b = U16(u"ab"), c = U16(u"ac");
  const unsigned short* strings[] = {a.data(), b.data(), c.data()};
  int lengths[] = {2, 2, 2};
  FennicStringList list{strings, lengths, 3};
  unsigned short out[16];
  FennicBuffer buffer{out, 16, -1};
  EXPECT_EQ(0, proc(&list, &buffer));
  EXPECT_EQ(6, buffer.length);
  EXPECT_EQ(u"a[abc]", FromU16(out, buffer.length));
  EXPECT_EQ(0, out[6]);
  // Too small a buffer: cut, terminated, and the full length reported.
  FennicBuffer small{out, 3, -1};
  proc(&list, &small);
  EXPECT_EQ(6, small.length);
  EXPECT_EQ(u"a[", FromU16(out, 2));
  EXPECT_EQ(0, out[2]);
  // No list, no buffer: defined.
  FennicBuffer none{nullptr, 0, -1};
  proc(nullptr, &none);
  EXPECT_EQ(0, none.length);
  EXPECT_EQ(0, proc(&list, nullptr));
}

// Runs `inspect` on the Create Code window once it is up, then closes it.
void WhenCodeWindowOpens(std::function<void(QWidget*)> inspect) {
  QTimer* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) return;
    timer->stop();
    timer->deleteLater();
    inspect(w);
    w->close();
  });
  timer->start(20);
}

TEST(Plugin, CreateCodeWindow) {
  Session s(u"a\"b");
  std::vector<unsigned short> subject = U16(u"xa\"by"), replaceTo = U16(u"$0");
  s.data->subjectText = subject.data();
  s.data->subjectLength = static_cast<int>(subject.size());
  s.data->replaceToText = replaceTo.data();
  s.data->replaceToLength = static_cast<int>(replaceTo.size());
  s.data->flags = IGNORECASE;
  EXPECT_TRUE(s.Enabled(ROW_CPP_EXPORT_CODE));

  QStringList engines, functions;
  QString code;
  auto read = [&](QWidget* w) {
    QComboBox* e = w->findChild<QComboBox*>(QStringLiteral("engines"));
    QListWidget* f = w->findChild<QListWidget*>(QStringLiteral("functions"));
    QPlainTextEdit* v = w->findChild<QPlainTextEdit*>(QStringLiteral("code"));
    ASSERT_TRUE(e && f && v);
    engines.clear();
    functions.clear();
    for (int i = 0; i < e->count(); ++i) engines << e->itemText(i);
    for (int i = 0; i < f->count(); ++i) functions << f->item(i)->text();
    code = v->toPlainText();
  };
  int coloured = 0;
  QGuiApplication::clipboard()->clear();
  WhenCodeWindowOpens([&](QWidget* w) {
    read(w);
    QPlainTextEdit* v = w->findChild<QPlainTextEdit*>(QStringLiteral("code"));
    coloured = v ? static_cast<int>(v->extraSelections().size()) : 0;
    for (QPushButton* b : w->findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("Copy &All")) b->click();
  });
  s.Send(ROW_CPP_EXPORT_CODE, 3);
  EXPECT_EQ(QStringList({"TARNO", "GRETA"}), engines);
  EXPECT_EQ(3, coloured);  // const, char, and the string literal
  EXPECT_EQ(code, QGuiApplication::clipboard()->text());
  EXPECT_EQ(4, functions.size());
  EXPECT_EQ(QStringLiteral("const char * str = \"a\\\"b\";"), code);

  // Choose GRETA's count; the next window opens on that choice.
  WhenCodeWindowOpens([&](QWidget* w) {
    w->findChild<QComboBox*>(QStringLiteral("engines"))->setCurrentIndex(1);
    w->findChild<QListWidget*>(QStringLiteral("functions"))->setCurrentRow(4);
  });
  s.Send(ROW_CPP_EXPORT_CODE, 3);
  WhenCodeWindowOpens(read);
  s.Send(ROW_CPP_EXPORT_CODE, 3);
  EXPECT_EQ(5, functions.size());
  EXPECT_TRUE(code.contains(QStringLiteral("rpattern pat(\"a\\\"b\", NORMALIZE | NOCASE);"))) << code.toStdString();
  EXPECT_TRUE(code.contains(QStringLiteral("int count = pat.count( str );"))) << code.toStdString();

  // Java and Visual Basic windows list their own libraries.
  WhenCodeWindowOpens(read);
  s.Send(ROW_JAVA_EXPORT_CODE, 3);
  EXPECT_EQ(QStringList({"java.util.regex"}), engines);
  EXPECT_EQ(5, functions.size());
  WhenCodeWindowOpens(read);
  s.Send(ROW_VB_EXPORT_CODE, 3);
  EXPECT_EQ(QStringList({"RegExp object"}), engines);
  EXPECT_EQ(4, functions.size());

  // An empty pattern box disables the command.
  Session empty(u"");
  EXPECT_FALSE(empty.Enabled(ROW_CPP_EXPORT_CODE));
}


// Lets the window lay itself out again (a list lays out its rows a moment after a resize).
void Settle() {
  QEventLoop loop;
  QTimer::singleShot(300, &loop, &QEventLoop::quit);
  loop.exec();
}

// Why a function name of the open Create Code window cannot be read whole, or "": each row must
// lie across the list's viewport without leaving it, hold its name wrapped at the row's width
// less a small margin on each side, and break no word; at the window's first size every name
// must also be in view and take at most two lines.
std::string UnreadableName(QWidget* w, bool firstSize) {
  QListWidget* list = w->findChild<QListWidget*>(QStringLiteral("functions"));
  if (!list || list->count() == 0) return "no function list";
  const QWidget* viewport = list->viewport();
  const QFontMetrics fm(list->font());
  const std::string size = " at " + std::to_string(w->width()) + "x" + std::to_string(w->height());
  if (list->horizontalScrollBar()->isVisible()) return "the list scrolls sideways" + size;
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    const QString name = item->text();
    const std::string at = " (" + name.toStdString() + ")" + size;
    const QRect row = list->visualItemRect(item);
    if (row.left() < 0 || row.right() >= viewport->width()) return "row leaves the list" + at;
    const QRect text = row.adjusted(6, 0, -6, 0);
    const QRect needed = fm.boundingRect(QRect(0, 0, text.width(), 1 << 20), Qt::TextWordWrap, name);
    if (needed.height() > row.height()) return "name taller than its row" + at;
    QTextBoundaryFinder words(QTextBoundaryFinder::Line, name);
    for (int from = 0; words.toNextBoundary() >= 0; from = words.position())
      if (fm.horizontalAdvance(name.mid(from, words.position() - from).trimmed()) > text.width()) return "a word is cut" + at;
    if (firstSize) {
      if (row.top() < 0 || row.bottom() >= viewport->height()) return "row out of view" + at;
      // One line's height is the name's own: a Chinese name may be drawn in a fallback font.
      const int line = fm.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::TextWordWrap, name).height();
      if (needed.height() > 2 * line) return "more than two lines" + at;
    }
  }
  if (firstSize) {
    QComboBox* engines = w->findChild<QComboBox*>(QStringLiteral("engines"));
    if (!engines || engines->width() < fm.horizontalAdvance(engines->currentText())) return "engine name cut" + size;
  }
  return std::string();
}

// The function names are whole sentences ("To replace matched substrings to other substrings in
// a text."): they were cut to a fifth of the window. They are read whole at the window's first
// size and after it is made narrow or wide, for every code language. Run in Chinese as well by
// CodeWindowFunctionNamesAreReadableInChinese, which sets FENNIC_TEST_LANGUAGE.
TEST(Plugin, CodeWindowFunctionNamesAreReadable) {
  const bool chinese = qgetenv("FENNIC_TEST_LANGUAGE") == "2052";
  Session s(u"a+b");
  std::vector<unsigned short> subject = U16(u"xaab");
  s.data->subjectText = subject.data();
  s.data->subjectLength = static_cast<int>(subject.size());
  for (int row : {ROW_CPP_EXPORT_CODE, ROW_JAVA_EXPORT_CODE, ROW_VB_EXPORT_CODE}) {
    std::vector<std::string> problems;
    QString first;
    WhenCodeWindowOpens([&](QWidget* w) {
      Settle();
      QListWidget* list = w->findChild<QListWidget*>(QStringLiteral("functions"));
      first = list && list->count() ? list->item(0)->text() : QString();
      problems.push_back(UnreadableName(w, true));
      for (QSize size : {QSize(420, 300), QSize(1300, 760), QSize(640, 400)}) {
        w->resize(size);
        Settle();
        problems.push_back(UnreadableName(w, false));
      }
    });
    s.Send(row, 3);
    // The names are in the language the test asked for.
    EXPECT_TRUE(chinese ? first.contains(QStringLiteral("正则表达式")) : first.startsWith(QStringLiteral("To "))) << first.toStdString();
    ASSERT_EQ(problems.size(), 4u);
    for (const std::string& p : problems) EXPECT_EQ(p, "") << "row " << row;
  }
}

// The same test in a child process whose locale is Simplified Chinese: the module reads its
// language once, from the locale, so one process cannot show both.
TEST(Plugin, CodeWindowFunctionNamesAreReadableInChinese) {
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
  env.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
  env.insert(QStringLiteral("FENNIC_TEST_LANGUAGE"), QStringLiteral("2052"));
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=Plugin.CodeWindowFunctionNamesAreReadable")});
  ASSERT_TRUE(child.waitForFinished(180000));
  const QByteArray out = child.readAll();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}

// WCAG contrast ratio of two colours (1 to 21).
double Contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The code's colours were made for a white background: navy and maroon keywords all but vanished
// in a dark palette. Every coloured span stands out from the view's background as text should.
TEST(Plugin, CodeWindowColoursReadInADarkPalette) {
  const QPalette saved = QApplication::palette();
  QPalette dark = saved;
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    dark.setColor(group, QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(group, QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(group, QPalette::Text, QColor(0xE8, 0xE8, 0xE8));
    dark.setColor(group, QPalette::WindowText, QColor(0xE8, 0xE8, 0xE8));
  }
  QApplication::setPalette(dark);
  Session s(u"(a|b)+\\d");
  std::vector<double> contrasts;
  for (int row : {ROW_CPP_EXPORT_CODE, ROW_JAVA_EXPORT_CODE, ROW_VB_EXPORT_CODE}) {
    WhenCodeWindowOpens([&](QWidget* w) {
      QPlainTextEdit* v = w->findChild<QPlainTextEdit*>(QStringLiteral("code"));
      QListWidget* f = w->findChild<QListWidget*>(QStringLiteral("functions"));
      if (!v || !f) return;
      for (int op = 0; op < f->count(); ++op) {  // every function's code
        f->setCurrentRow(op);
        const QColor base = v->palette().color(QPalette::Base);
        for (const QTextEdit::ExtraSelection& sel : v->extraSelections())
          contrasts.push_back(Contrast(sel.format.foreground().color(), base));
      }
    });
    s.Send(row, 3);
  }
  QApplication::setPalette(saved);
  ASSERT_GE(contrasts.size(), 20u);
  for (double c : contrasts) EXPECT_GE(c, 4.5);
  // A light palette keeps the colours as they are.
  std::vector<QColor> light;
  WhenCodeWindowOpens([&](QWidget* w) {
    QPlainTextEdit* v = w->findChild<QPlainTextEdit*>(QStringLiteral("code"));
    QListWidget* f = w->findChild<QListWidget*>(QStringLiteral("functions"));
    if (!v || !f) return;
    f->setCurrentRow(0);
    for (const QTextEdit::ExtraSelection& sel : v->extraSelections()) light.push_back(sel.format.foreground().color());
  });
  s.Send(ROW_CPP_EXPORT_CODE, 3);
  ASSERT_FALSE(light.empty());
  for (const QColor& c : light)
    EXPECT_TRUE(c == QColor(0x0000FF) || c == QColor(0xFF0000) || c == QColor(0xFF00FF) || c == QColor(0x008000) ||
                c == QColor(0x800000) || c == QColor(0xFF8000)) << c.name().toStdString();
}

}  // namespace
}  // namespace fennic_test
