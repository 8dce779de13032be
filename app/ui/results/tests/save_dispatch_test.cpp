// Save As from the result views: each box and filter reaches its writer with the default
// extension added, and the written file holds what that writer gives.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/document/core/save_as.h"
#include "app/ui/results/replace_result_edit_view.h"
#include "app/ui/results/split_result_list_view.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "app/ui/results/text_edit_view.h"

namespace {
QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
}  // namespace

class SaveDispatchTest : public QObject {
  Q_OBJECT

  struct Saving {
    QTemporaryDir dir;
    DocFixture f;
    CTextEditView text{f.doc.get()};
    CReplaceResultEditView result{f.doc.get()};
    CSplitResultListView split{f.doc.get()};
    Saving() {
      f.doc->OnCommand(CMD_MODE_REPLACE);
      f.Set(QStringLiteral("b(\\d)"), QStringLiteral("b1 \"b2\""));
      f.SetReplaceTo(QStringLiteral("<$1>"));
      f.FindAll();
    }
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
  };

 private slots:
  void textBox() {
    Saving s;
    const std::vector<MatchHandle> results = s.f.doc->GetResults();
    const std::vector<unsigned short>& subject = s.f.doc->GetSubjectText();
    const int n = static_cast<int>(subject.size());
    // Filter 2 "Match Result": CSV, the match and its group as quoted fields.
    QVERIFY(s.text.SaveTo(s.Path("m"), 2));
    QCOMPARE(Read(s.Path("m.csv")), QByteArray("\"b1\",\"1\"\r\n\"b2\",\"2\"\r\n"));
    // The same filter with a .txt name: the matched texts, one a line.
    QVERIFY(s.text.SaveTo(s.Path("m.txt"), 2));
    QCOMPARE(Read(s.Path("m.txt")), QByteArray("b1\r\nb2\r\n"));
    // Filter 3 "Split Result".
    QVERIFY(s.text.SaveTo(s.Path("s"), 3));
    QCOMPARE(Read(s.Path("s.csv")),
             CResultExport::SplitResultFile(results, s.f.doc->GetCurrentResult(), subject.data(), n, false, true));
    // Filter 1 "Text Files": the box's own text.
    QVERIFY(s.text.SaveTo(s.Path("t"), 1));
    QCOMPARE(Read(s.Path("t.txt")), QByteArray("b1 \"b2\""));
    // A .csv name under "All Files" is a match result.
    QVERIFY(s.text.SaveTo(s.Path("any.csv"), 5));
    QCOMPARE(Read(s.Path("any.csv")), Read(s.Path("m.csv")));
    // Filter 4: the workspace, which becomes the document's file.
    QVERIFY(s.text.SaveTo(s.Path("w"), 4));
    QVERIFY(QFile::exists(s.Path("w.rws")));
    QCOMPARE(s.f.doc->GetPathName(), s.Path("w.rws"));
  }

  void replaceResultBox() {
    Saving s;
    QCOMPARE(s.result.toPlainText(), QStringLiteral("<1> \"<2>\""));
    QVERIFY(s.result.SaveTo(s.Path("r"), 2));
    QCOMPARE(Read(s.Path("r.csv")), QByteArray("\"<1>\"\r\n\"<2>\"\r\n"));
    QVERIFY(s.result.SaveTo(s.Path("r"), 1));
    QCOMPARE(Read(s.Path("r.txt")), QByteArray("<1> \"<2>\""));
  }

  void splitList() {
    Saving s;
    const std::vector<unsigned short>& subject = s.f.doc->GetSubjectText();
    QVERIFY(s.split.SaveTo(s.Path("p"), 1));
    QCOMPARE(Read(s.Path("p.csv")), CResultExport::SplitResultFile(s.f.doc->GetResults(), s.f.doc->GetCurrentResult(),
                                                                  subject.data(), static_cast<int>(subject.size()), false,
                                                                  true));
    QVERIFY(Read(s.Path("p.csv")).startsWith("\"\"\r\n\" \"\"\"\r\n"));
    QVERIFY(s.split.QueryViewCommand(ID_EDIT_SAVE_CONTENT).enabled);
    s.f.doc->OnCommand(CMD_RESET_FIND);
    QVERIFY(!s.split.QueryViewCommand(ID_EDIT_SAVE_CONTENT).enabled);
    QVERIFY(!s.split.SaveTo(s.Path("empty"), 1));
    QVERIFY(!QFile::exists(s.Path("empty.csv")));
  }
};

KORVANE_VIEW_TEST_MAIN(SaveDispatchTest)
#include "save_dispatch_test.moc"
