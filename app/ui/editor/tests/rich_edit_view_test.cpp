// The text-box base: opening files with each byte-order mark, dropped files, the edit
// commands' enabling rules, find and replace, quiet changes and the editing token.
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/find_replace_dialog.h"
#include "app/ui/editor/rich_edit_view.h"
#include "editor_test_util.h"
#include "platform/file_io.h"
#include "korvane_ids.h"

Q_DECLARE_METATYPE(QByteArray)

// A text box that counts its hand-overs to the document.
class CountingBox : public CRichEdit2WView {
 public:
  using CRichEdit2WView::CRichEdit2WView;
  int commits = 0;
  QString committed;

 protected:
  void CommitEdit() override {
    ++commits;
    committed = GetBoxText();
  }
};

class RichEditViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestUi> ui;
  std::unique_ptr<CKorvaneDoc> doc;
  std::unique_ptr<CountingBox> box;
  QTemporaryDir dir;

  QString Write(const QString& name, const QByteArray& bytes) {
    QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    f.write(bytes);
    return path;
  }
  void Select(int start, int end) {
    QTextCursor c = box->textCursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    box->setTextCursor(c);
  }

 private slots:
  void init() {
    ui = std::make_unique<TestUi>();
    doc = std::make_unique<CKorvaneDoc>(ui.get());
    ui->doc = doc.get();
    doc->OnCommand(CMD_LOCATE_FAIL_POINT);
    box = std::make_unique<CountingBox>(doc.get());
  }
  void cleanup() {
    if (CFindReplaceDialog* d = CFindReplaceDialog::Current()) delete d;
    box.reset();
    doc.reset();
    ui.reset();
  }

  // ---- files ---------------------------------------------------------------------------------

  void openingFilesByByteOrderMark_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString sample = QString::fromUtf8("a\xC3\xA9\xE4\xB8\xAD");  // a, e acute, a CJK character
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (QChar c : sample) {
      le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
      be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + sample.toUtf8() << sample;
    QTest::newRow("UTF-16 LE mark") << le << sample;
    QTest::newRow("UTF-16 BE mark") << be << sample;
    QTest::newRow("UTF-16 LE, odd trailing byte dropped") << le + QByteArray("x") << sample;
    // On this platform the system code page is the locale's encoding (UTF-8 here).
    QTest::newRow("no mark: system code page") << QByteArray("plain (a+)b") << QStringLiteral("plain (a+)b");
    QTest::newRow("only a UTF-16 LE mark") << QByteArray("\xFF\xFE", 2) << QString();
    QTest::newRow("empty file") << QByteArray() << QString();
  }
  void openingFilesByByteOrderMark() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(CRichEdit2WView::DecodeTextFile(bytes), text);
    box->SetBoxText(QStringLiteral("old"));
    QString path = Write(QStringLiteral("f.txt"), bytes);
    QVERIFY(box->OpenTextFile(path));
    QCOMPARE(box->GetBoxText(), text);
  }

  void openingIsAnOrdinaryEdit() {
    box->SetBoxText(QStringLiteral("before"));
    QString path = Write(QStringLiteral("g.txt"), QByteArray("\xFF\xFEh\0i\0", 6));
    QVERIFY(box->OpenTextFile(path));
    QCOMPARE(box->GetBoxText(), QStringLiteral("hi"));
    QVERIFY(box->IsEditPending());  // handed to the document after the delay
    QTRY_COMPARE_WITH_TIMEOUT(box->commits, 1, 10000);
    QCOMPARE(box->committed, QStringLiteral("hi"));
    box->undo();
    QCOMPARE(box->GetBoxText(), QStringLiteral("before"));
  }

  void aFileThatCannotBeReadLeavesTheBoxUnchanged() {
    box->SetBoxText(QStringLiteral("keep"));
    QVERIFY(!box->OpenTextFile(dir.filePath(QStringLiteral("missing.txt"))));
    QVERIFY(!box->OpenTextFile(dir.path()));  // a folder
    QCOMPARE(box->GetBoxText(), QStringLiteral("keep"));
    QVERIFY(!box->IsEditPending());
  }

  // A file too large to hold is refused with the reason, through the frame's hook, and the box
  // keeps its text. The file is sparse: it takes no disk space.
  void aFileTooLargeIsRefusedWithAMessage() {
    QStringList messages;
    CRichEdit2WView::SetMessageHook([&](const QString& m) { messages << m; });
    box->SetBoxText(QStringLiteral("keep"));
    const QString big = dir.filePath(QStringLiteral("big.txt"));
    {
      QFile f(big);
      QVERIFY(f.open(QIODevice::WriteOnly));
      QVERIFY(f.resize((qint64(2) << 30) + 1));
    }
    QVERIFY(!box->OpenTextFile(big));
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    QVERIFY(!box->OpenTextFile(missing));
    CRichEdit2WView::SetMessageHook(nullptr);
    QCOMPARE(box->GetBoxText(), QStringLiteral("keep"));
    QVERIFY(!box->IsEditPending());
    QCOMPARE(messages.size(), 2);
    const QString tooLarge = CStringTable::FormatStrings(CStringTable::Str(IDS_REASON_FILE_TOO_LARGE),
                                                         {QString::number(CFileIo::kDefaultReadLimit >> 20)});
    QCOMPARE(messages[0], QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(big), tooLarge));
    QCOMPARE(messages[1], QStringLiteral("Cannot read %1: %2")
                              .arg(QDir::toNativeSeparators(missing), CStringTable::Str(IDS_REASON_NO_SUCH_FILE)));
  }

  // The base box, like the pattern and replace-to boxes, never folds: a long line stays one
  // paragraph, editable, without a note.
  void boxesWithoutLargeTextsDoNotFold() {
    const QString line(3 * CRichEdit2WView::kFoldAt, QLatin1Char('x'));
    box->SetBoxText(line);
    QVERIFY(!box->HandlesLargeTexts());
    QVERIFY(!box->IsFolded());
    QCOMPARE(box->document()->blockCount(), 1);
    QVERIFY(!box->isReadOnly());
    QVERIFY(!box->findChild<QLabel*>(QStringLiteral("fold-note")));
    QCOMPARE(box->GetBoxText(), line);
  }

  void workspaceNamesGoToTheOpener() {
    QString opened;
    CRichEdit2WView::SetWorkspaceOpener([&](const QString& p) {
      opened = p;
      return true;
    });
    box->SetBoxText(QStringLiteral("keep"));
    QVERIFY(box->OpenTextFile(QStringLiteral("/x/Work.RWS")));
    QCOMPARE(opened, QStringLiteral("/x/Work.RWS"));
    QCOMPARE(box->GetBoxText(), QStringLiteral("keep"));
    CRichEdit2WView::SetWorkspaceOpener(nullptr);
    QVERIFY(!box->OpenTextFile(QStringLiteral("/x/Work.rws")));
  }

  void droppingFilesOpensTheFirst() {
    QString first = Write(QStringLiteral("one.txt"), QByteArray("first"));
    QString second = Write(QStringLiteral("two.txt"), QByteArray("second"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box->viewport(), &drop);
    QCOMPARE(box->GetBoxText(), QStringLiteral("first"));
  }

  void defaultExtensions_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("result");
    QTest::newRow("text filter") << "/d/name" << 1 << "/d/name.txt";
    QTest::newRow("workspace filter") << "/d/name" << 2 << "/d/name.rws";
    QTest::newRow("all files") << "/d/name" << 3 << "/d/name.txt";
    QTest::newRow("typed extension kept") << "/d/name.log" << 2 << "/d/name.log";
    QTest::newRow("unknown filter") << "/d/name" << 7 << "/d/name";
  }
  void defaultExtensions() {
    QFETCH(QString, path);
    QFETCH(int, filter);
    QFETCH(QString, result);
    const QStringList ext = {QStringLiteral(".txt"), QStringLiteral(".rws"), QStringLiteral(".txt")};
    QCOMPARE(CRichEdit2WView::AddDefaultExtension(path, filter, ext), result);
  }

  // ---- edit commands -------------------------------------------------------------------------

  void editCommandEnabling() {
    box->SetBoxText(QStringLiteral("abc"));
    Select(0, 0);
    QVERIFY(!box->IsCommandEnabled(ID_EDIT_CUT));
    QVERIFY(!box->IsCommandEnabled(ID_EDIT_COPY));
    QVERIFY(!box->IsCommandEnabled(ID_EDIT_CLEAR));
    QVERIFY(!box->IsCommandEnabled(ID_EDIT_UNDO));  // a quiet change is nothing to undo
    QVERIFY(box->IsCommandEnabled(ID_EDIT_FIND));
    QVERIFY(box->IsCommandEnabled(ID_EDIT_SELECT_ALL));
    QVERIFY(box->IsCommandEnabled(ID_EDIT_REPLACE));
    Select(0, 2);
    QVERIFY(box->IsCommandEnabled(ID_EDIT_CUT));
    QVERIFY(box->IsCommandEnabled(ID_EDIT_COPY));
    QApplication::clipboard()->setText(QStringLiteral("zz"));
    QVERIFY(box->IsCommandEnabled(ID_EDIT_PASTE));
    QVERIFY(box->DoCommand(ID_EDIT_CLEAR));
    QCOMPARE(box->GetBoxText(), QStringLiteral("c"));
    QVERIFY(box->IsCommandEnabled(ID_EDIT_UNDO));
    QVERIFY(box->DoCommand(ID_EDIT_UNDO));
    QCOMPARE(box->GetBoxText(), QStringLiteral("abc"));
    QVERIFY(box->IsCommandEnabled(ID_EDIT_REDO));
    // A read-only box: copy and find only.
    box->setReadOnly(true);
    Select(0, 2);
    QVERIFY(box->IsCommandEnabled(ID_EDIT_COPY));
    for (int id : {ID_EDIT_CUT, ID_EDIT_CLEAR, ID_EDIT_PASTE, ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_REPLACE})
      QVERIFY2(!box->IsCommandEnabled(id), qPrintable(QString::number(id)));
    QVERIFY(box->IsCommandEnabled(ID_EDIT_FIND));
    QVERIFY(box->DoCommand(ID_EDIT_CUT));  // handled, but disabled: nothing happens
    QCOMPARE(box->GetBoxText(), QStringLiteral("abc"));
    QVERIFY(!box->DoCommand(32805));  // not a text-box command
  }

  void pastingTakesPlainTextOnly() {
    QMimeData* mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b>bold</b>"));
    mime->setText(QStringLiteral("bold"));
    QApplication::clipboard()->setMimeData(mime);
    box->DoCommand(ID_EDIT_PASTE);
    QCOMPARE(box->GetBoxText(), QStringLiteral("bold"));
    QTextCursor c(box->document());
    c.setPosition(1);
    QVERIFY(!c.charFormat().font().bold());
  }

  // ---- quiet changes and the edit timer ------------------------------------------------------

  void quietChangesKeepTheModifiedFlagAndReadOnly() {
    box->document()->setModified(false);
    box->setReadOnly(true);
    box->SetBoxText(QStringLiteral("text"));
    QCOMPARE(box->GetBoxText(), QStringLiteral("text"));
    QVERIFY(!box->document()->isModified());
    QVERIFY(box->isReadOnly());
    QVERIFY(!box->IsEditPending());
    QVERIFY(!box->IsBusy());
  }

  void setTextKeepsTheSelectionWhereItFits() {
    box->SetBoxText(QStringLiteral("abcdef"));
    Select(2, 4);
    box->SetBoxText(QStringLiteral("abc"));
    QCOMPARE(box->textCursor().selectionStart(), 2);
    QCOMPARE(box->textCursor().selectionEnd(), 3);
  }

  void typingHandsTheTextOverOnceAfterTheDelay() {
    box->show();
    QTest::keyClicks(box.get(), QStringLiteral("hello"));
    QCOMPARE(box->commits, 0);
    QTRY_COMPARE_WITH_TIMEOUT(box->commits, 1, 10000);
    QCOMPARE(box->committed, QStringLiteral("hello"));
    QTest::qWait(2 * CRichEdit2WView::kEditDelayMs + 100);
    QCOMPARE(box->commits, 1);
    // The token is free again: another view can take it.
    HintRecorder other;
    QVERIFY(!doc->TakeEditingToken(&other));
    QVERIFY(doc->TakeEditingToken(&other));
    doc->ReleaseEditingToken(&other);
  }

  void lineBreaksReachTheDocumentAsLineFeeds() {
    box->SetBoxText(QStringLiteral("a\r\nb\rc"));
    QVERIFY(!box->GetBoxText().contains(QLatin1Char('\r')));
    QVERIFY(box->GetBoxText().startsWith(QLatin1Char('a')));
    QVERIFY(box->GetBoxText().endsWith(QLatin1Char('c')));
  }

  void placeholderIsNeverText() {
    box->SetPlaceholder(QStringLiteral(" ( hint )"));
    QVERIFY(box->IsPlaceholderShown());
    QCOMPARE(box->GetBoxText(), QString());
    QVERIFY(box->GetBoxTextU16().empty());
    box->SetBoxText(QStringLiteral("x"));
    QVERIFY(!box->IsPlaceholderShown());
  }

  // ---- find and replace ----------------------------------------------------------------------

  void findNext_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("found");  // selection start, -1 when not found
    QTest::newRow("down") << "ab ab ab" << "ab" << false << false << true << 1 << 3;
    QTest::newRow("up") << "ab ab ab" << "ab" << false << false << false << 5 << 3;
    QTest::newRow("wraps around") << "ab xx" << "ab" << false << false << true << 3 << 0;
    QTest::newRow("match case") << "AB ab" << "ab" << true << false << true << 0 << 3;
    QTest::newRow("ignore case") << "AB ab" << "ab" << false << false << true << 0 << 0;
    QTest::newRow("whole word") << "abc ab" << "ab" << false << true << true << 0 << 4;
    QTest::newRow("not found") << "abc" << "x" << false << false << true << 0 << -1;
  }
  void findNext() {
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(bool, down);
    QFETCH(int, from);
    QFETCH(int, found);
    box->SetBoxText(text);
    Select(from, from);
    bool ok = box->FindNext(what, matchCase, wholeWord, down);
    QCOMPARE(ok, found >= 0);
    if (ok) {
      QCOMPARE(box->textCursor().selectionStart(), found);
      QCOMPARE(box->textCursor().selectionEnd(), found + what.size());
    }
  }

  void replaceAndReplaceAll() {
    box->SetBoxText(QStringLiteral("a.b a.b"));
    Select(0, 0);
    QVERIFY(box->ReplaceCurrent(QStringLiteral("a.b"), QStringLiteral("X"), false, false, true));
    // The first call only finds; the second replaces the found one and finds the next.
    QCOMPARE(box->GetBoxText(), QStringLiteral("a.b a.b"));
    QVERIFY(box->ReplaceCurrent(QStringLiteral("a.b"), QStringLiteral("X"), false, false, true));
    QCOMPARE(box->GetBoxText(), QStringLiteral("X a.b"));
    QCOMPARE(box->textCursor().selectedText(), QStringLiteral("a.b"));
    box->SetBoxText(QStringLiteral("aa aa"));
    QCOMPARE(box->ReplaceAll(QStringLiteral("a"), QStringLiteral("aa"), false, false), 4);
    QCOMPARE(box->GetBoxText(), QStringLiteral("aaaa aaaa"));
    box->undo();  // one edit
    QCOMPARE(box->GetBoxText(), QStringLiteral("aa aa"));
    box->setReadOnly(true);
    QCOMPARE(box->ReplaceAll(QStringLiteral("a"), QStringLiteral("b"), false, false), 0);
  }

  void oneDialogForAllBoxes() {
    box->SetBoxText(QStringLiteral("one two"));
    Select(4, 7);
    CFindReplaceDialog* find = CFindReplaceDialog::Open(box.get(), false);
    QVERIFY(find);
    QCOMPARE(find->FindWhat(), QStringLiteral("two"));
    QCOMPARE(CFindReplaceDialog::Open(box.get(), false), find);  // brought to the front
    QPointer<CFindReplaceDialog> old(find);
    CFindReplaceDialog* replace = CFindReplaceDialog::Open(box.get(), true);  // the other form
    QVERIFY(!old);
    QVERIFY(replace->IsReplaceForm());
    replace->SetFindWhat(QStringLiteral("one"));
    replace->SetReplaceWith(QStringLiteral("1"));
    QCOMPARE(replace->OnReplaceAll(), 1);
    QCOMPARE(box->GetBoxText(), QStringLiteral("1 two"));
    replace->close();
    QTRY_VERIFY(!CFindReplaceDialog::Current());
    // A selection with a line break is not taken; the last search string is.
    box->SetBoxText(QStringLiteral("x\ny"));
    Select(0, 3);
    CFindReplaceDialog* again = CFindReplaceDialog::Open(box.get(), false);
    QCOMPARE(again->FindWhat(), QStringLiteral("one"));
    again->close();
    // A box that goes away leaves the dialog without a target (the dialog belongs to the
    // window, not to the box).
    QWidget window;
    auto* inner = new CountingBox(doc.get(), &window);
    inner->SetBoxText(QStringLiteral("one"));
    QPointer<CFindReplaceDialog> orphan(CFindReplaceDialog::Open(inner, false));
    QVERIFY(orphan);
    delete inner;
    QVERIFY(orphan);
    QVERIFY(!orphan->OnFindNext());
  }
};

KORVANE_EDITOR_TEST_MAIN(RichEditViewTest)
#include "rich_edit_view_test.moc"
