// Opening a workspace in the real frame, offscreen, through File > Open, a recent file and a
// drop: a file that cannot be opened (missing, empty, not a workspace, damaged, a folder) never
// costs the open workspace anything and says why; the save question comes only once the new
// file is known to be good, and Cancel there keeps everything; saving over the very file being
// opened opens what was just saved. Settings and the clips file live in temporary folders.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "app/document/core/test_session.h"
#include "app/document/files/workspace_file.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/tests/private_settings_main.h"
#include "korvane_ids.h"
#include "platform/profile.h"

namespace {

TestText U16(const QString& s) { return TestText(s.utf16(), s.utf16() + s.size()); }
QString Str(const TestText& v) { return QString(reinterpret_cast<const QChar*>(v.data()), static_cast<int>(v.size())); }

struct Box {
  QString text;
  int buttons;
};

// A workspace with `pattern`, mode Replace and one test.
QByteArray Workspace(const QString& pattern) {
  WorkspaceData data;
  data.mode = 2;
  data.pattern = U16(pattern);
  data.subject = U16(QStringLiteral("subject of ") + pattern);
  TestCase t;
  t.name = U16(QStringLiteral("kept test"));
  t.SetSubject(U16(QStringLiteral("abc")));
  data.tests = std::make_shared<const TestSet>(TestSet{t});
  const std::string bytes = CWorkspaceFile::Write(data, CSnapshotTree());
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A frame whose message boxes are recorded and answered with `answer` (the save question) or OK,
// and whose File > Open dialog picks `pick`.
struct Frame {
  CMainFrame frame;
  QList<Box> boxes;
  int answer = IDocumentUi::ANSWER_NO;
  QString pick;

  Frame() {
    frame.messageBoxHook = [this](const QString& text, const QString&, int, int buttons) {
      boxes.append({text, buttons});
      return buttons == IDocumentUi::BUTTONS_YES_NO_CANCEL ? answer : int(IDocumentUi::ANSWER_OK);
    };
    frame.openPathHook = [this] { return pick; };
    if (Doc()->IsLocateFailPoint()) Doc()->OnCommand(ID_MATCH_LOCATE_FAIL_POINT);
  }
  CKorvaneDoc* Doc() const { return frame.Doc(); }
  void TypePattern(const QString& pattern) {
    const TestText p = U16(pattern);
    Doc()->SetPattern(p.data(), static_cast<int>(p.size()), true);
    Doc()->SetModified(true);
  }
  void Open(const QString& path) {
    pick = path;
    frame.CommandAction(ID_FILE_OPEN)->trigger();
  }
  int SaveQuestions() const {
    int n = 0;
    for (const Box& b : boxes) n += b.buttons == IDocumentUi::BUTTONS_YES_NO_CANCEL;
    return n;
  }
};

}  // namespace

class OpenFileTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString Path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile f(Path(name));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
  }

 private slots:
  void init() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
    QVERIFY(m_dir.isValid());
    Write(QStringLiteral("work.rws"), Workspace(QStringLiteral("work")));
    Write(QStringLiteral("other.rws"), Workspace(QStringLiteral("other")));
  }

  // The user's workspace, changed and not saved, survives every Open that cannot be done, and
  // no save question is asked for a file that will not open.
  void failedOpenKeepsTheWorkspace_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");  // "-": no file; "/": a folder
    QTest::addColumn<QString>("reason");
    const QByteArray good = Workspace(QStringLiteral("other"));
    QTest::newRow("missing") << "missing.rws" << QByteArray("-") << "The file does not exist.";
    QTest::newRow("empty") << "empty.rws" << QByteArray() << "The file is empty.";
    QTest::newRow("not a workspace") << "notes.rws" << QByteArray("These are my notes.\n")
                                     << "It is not a regex workspace file.";
    QTest::newRow("cut short") << "cut.rws" << good.left(30)
                               << "The file is damaged at byte 20: it ends before the content it announces there";
    QTest::newRow("cut in the tests") << "cut2.rws" << good.left(good.size() - 6) << "The file is damaged at byte ";
    QTest::newRow("a folder") << "folder.rws" << QByteArray("/") << "directory";
  }
  void failedOpenKeepsTheWorkspace() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    if (bytes == "/") QVERIFY(QDir(m_dir.path()).mkpath(name));
    else if (bytes != "-") Write(name, bytes);
    Frame f;
    QVERIFY(f.frame.OpenDocumentFile(Path(QStringLiteral("work.rws"))));
    f.TypePattern(QStringLiteral("work, changed"));
    f.Open(Path(name));
    QCOMPARE(f.SaveQuestions(), 0);
    QCOMPARE(f.boxes.size(), 1);
    const QString text = f.boxes[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("Cannot read %1: ").arg(QDir::toNativeSeparators(Path(name)))), qPrintable(text));
    QVERIFY2(text.contains(reason), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("The workspace you had open stays as it was.")), qPrintable(text));
    QCOMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("work, changed"));
    QVERIFY(f.Doc()->IsModified());
    QCOMPARE(f.Doc()->GetPathName(), Path(QStringLiteral("work.rws")));
    QCOMPARE(f.Doc()->GetMode(), 2);
    QCOMPARE(f.Doc()->Tests().Count(), 1);
    QCOMPARE(f.frame.RecentFiles().Files().value(0), QFileInfo(Path(QStringLiteral("work.rws"))).absoluteFilePath());
  }

  // A good file: the save question comes after the file is chosen and read; Cancel keeps
  // everything, No opens the file.
  void saveQuestionComesOnlyForAGoodFile() {
    Frame f;
    QVERIFY(f.frame.OpenDocumentFile(Path(QStringLiteral("work.rws"))));
    f.TypePattern(QStringLiteral("work, changed"));
    f.answer = IDocumentUi::ANSWER_CANCEL;
    f.Open(Path(QStringLiteral("other.rws")));
    QCOMPARE(f.boxes.size(), 1);
    QCOMPARE(f.boxes[0].text, QStringLiteral("Save changes to work.rws?"));
    QCOMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("work, changed"));
    QVERIFY(f.Doc()->IsModified());

    f.answer = IDocumentUi::ANSWER_NO;
    f.Open(Path(QStringLiteral("other.rws")));
    QCOMPARE(f.SaveQuestions(), 2);
    QCOMPARE(f.boxes.size(), 2);
    QCOMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("other"));
    QVERIFY(!f.Doc()->IsModified());
    QCOMPARE(f.Doc()->GetPathName(), QFileInfo(Path(QStringLiteral("other.rws"))).absoluteFilePath());
    // What "No" left unsaved is in no file: the one on disk is as it was.
    Frame again;
    QVERIFY(again.frame.OpenDocumentFile(Path(QStringLiteral("work.rws"))));
    QCOMPARE(Str(again.Doc()->GetPattern()), QStringLiteral("work"));
  }

  // Saving over the file being opened ("Yes" to the question while opening the open file):
  // what opens is what was just saved, not what the file held before.
  void savingOverTheFileBeingOpenedOpensTheSavedWork() {
    Frame f;
    QVERIFY(f.frame.OpenDocumentFile(Path(QStringLiteral("work.rws"))));
    f.TypePattern(QStringLiteral("work, saved"));
    f.answer = IDocumentUi::ANSWER_YES;
    f.Open(Path(QStringLiteral("work.rws")));
    QCOMPARE(f.SaveQuestions(), 1);
    QCOMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("work, saved"));
    QVERIFY(!f.Doc()->IsModified());
  }

  // A recent file that is gone: said so, the workspace kept, the entry taken off the list.
  void recentFileThatIsGone() {
    Write(QStringLiteral("gone.rws"), Workspace(QStringLiteral("gone")));
    Frame f;
    QVERIFY(f.frame.OpenDocumentFile(Path(QStringLiteral("gone.rws"))));
    QVERIFY(f.frame.OpenDocumentFile(Path(QStringLiteral("work.rws"))));
    QVERIFY(QFile::remove(Path(QStringLiteral("gone.rws"))));
    f.TypePattern(QStringLiteral("work, changed"));
    QCOMPARE(f.frame.RecentFiles().Files().value(1), QFileInfo(Path(QStringLiteral("gone.rws"))).absoluteFilePath());
    f.frame.OnCommand(ID_FILE_MRU_FIRST + 1);
    QCOMPARE(f.SaveQuestions(), 0);
    QCOMPARE(f.boxes.size(), 1);
    QVERIFY2(f.boxes[0].text.contains(QStringLiteral("The file does not exist.")), qPrintable(f.boxes[0].text));
    QCOMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("work, changed"));
    QCOMPARE(f.frame.RecentFiles().Files().size(), 1);
  }

  // A damaged workspace dropped on the window: the same.
  void droppedDamagedFileKeepsTheWorkspace() {
    Write(QStringLiteral("damaged.rws"), Workspace(QStringLiteral("other")).left(41));
    Frame f;
    QVERIFY(f.frame.OpenDocumentFile(Path(QStringLiteral("work.rws"))));
    f.TypePattern(QStringLiteral("work, changed"));
    f.frame.OpenDroppedFiles({Path(QStringLiteral("damaged.rws"))});
    QCOMPARE(f.SaveQuestions(), 0);
    QCOMPARE(f.boxes.size(), 1);
    QVERIFY2(f.boxes[0].text.contains(QStringLiteral("damaged at byte")), qPrintable(f.boxes[0].text));
    QCOMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("work, changed"));
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<OpenFileTest>(argc, argv, "open-file-test"); }

#include "open_file_test.moc"
