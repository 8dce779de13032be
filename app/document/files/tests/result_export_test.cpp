// Result exports from a real search: match, split and replace results as text and CSV (text
// order right to left, the sentinel skipped, quotes doubled, line breaks as CR LF), plain text
// files, when nothing is written, the Save As choices of each box by filter and extension, and
// exports failing at every step of their write.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "app/document/files/result_export.h"
#include "app/document/core/save_as.h"
#include "app/document/core/tests/headless_ui.h"
#include "app/document/files/text_clips.h"
#include "platform/code_page.h"
#include "platform/file_io.h"
#include "platform/shared_counter.h"
#include "stringtable.h"

namespace {

class ExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    CTextClips::SetDefaultLocation(Path("none.clips"), &counter);
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void TearDown() override {
    CFileIo::SetFaultPlan(nullptr);
    doc.reset();
    CTextClips::SetDefaultLocation(QString(), nullptr);
  }
  QString Path(const char* name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }
  void Set(const std::string& pattern, const std::string& subject, int flags = 0) {
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
    if (flags & RIGHTTOLEFT) doc->OnCommand(CMD_RIGHTTOLEFT);
  }
  std::string Match(bool csv) {
    const std::vector<unsigned short>& s = doc->GetSubjectText();
    return CResultExport::MatchResultFile(doc->GetResults(), s.data(), static_cast<int>(s.size()),
                                          (doc->GetFlags() & RIGHTTOLEFT) != 0, csv)
        .toStdString();
  }
  std::string Split(bool csv) {
    const std::vector<unsigned short>& s = doc->GetSubjectText();
    return CResultExport::SplitResultFile(doc->GetResults(), doc->GetCurrentResult(), s.data(),
                                          static_cast<int>(s.size()), (doc->GetFlags() & RIGHTTOLEFT) != 0, csv)
        .toStdString();
  }
  static std::string FileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
  }

  QTemporaryDir dir;
  CSharedCounter counter;  // not opened: process-local, never shared
  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(ExportTest, MatchResultsAfterFindAllSkipTheSentinel) {
  Set("a\\d", "a1 a2 b3");
  doc->OnCommand(CMD_FIND_ALL);
  ASSERT_EQ(3, doc->GetResultCount());
  EXPECT_EQ("a1\r\na2\r\n", Match(false));
  EXPECT_EQ("\"a1\"\r\n\"a2\"\r\n", Match(true));
}

TEST_F(ExportTest, MatchResultsRightToLeftComeInTextOrder) {
  Set("a\\d", "a1 a2 a3", RIGHTTOLEFT);
  doc->OnCommand(CMD_FIND_ALL);
  ASSERT_EQ(4, doc->GetResultCount());
  EXPECT_EQ("a1\r\na2\r\na3\r\n", Match(false));
  // An unfinished right-to-left search (no sentinel yet).
  doc->OnCommand(CMD_RESET_FIND);
  doc->OnCommand(CMD_FIND);
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ("a2\r\na3\r\n", Match(false));
}

TEST_F(ExportTest, CsvHasEveryGroupWithEmptyFieldsForUncapturedOnes) {
  Set("(a)(x)?(\\d)", "a1 ax2");
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_EQ("\"a1\",\"a\",\"\",\"1\"\r\n\"ax2\",\"a\",\"x\",\"2\"\r\n", Match(true));
}

TEST_F(ExportTest, CsvDoublesQuotesAndWritesLineBreaksAsCrLf) {
  Set("q[^;]*", "q\"1\nz;q\r2\n\r;");
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_EQ("\"q\"\"1\r\nz\"\r\n\"q\r\n2\r\n\"\r\n", Match(true));
  EXPECT_EQ("q\"1\r\nz\r\nq\r\n2\r\n\r\n", Match(false));
}

TEST_F(ExportTest, SplitPiecesLeftToRight) {
  Set(",", "a,b,c");
  doc->OnCommand(CMD_FIND_ALL);
  // The sentinel gives the tail; a finished search then adds an empty last piece.
  EXPECT_EQ("a\r\nb\r\nc\r\n\r\n", Split(false));
  EXPECT_EQ("\"a\"\r\n\"b\"\r\n\"c\"\r\n\"\"\r\n", Split(true));
  // Unfinished: only the pieces before the matches found so far.
  doc->OnCommand(CMD_RESET_FIND);
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ("a\r\n", Split(false));
}

TEST_F(ExportTest, SplitPiecesRightToLeftComeInTextOrder) {
  Set(",", "a,b,c", RIGHTTOLEFT);
  doc->OnCommand(CMD_FIND_ALL);
  // The sentinel (at 0) gives an empty first piece.
  EXPECT_EQ("\r\na\r\nb\r\nc\r\n", Split(false));
  // Unfinished: the text before the current match has not been searched; its piece is empty
  // rather than running backwards.
  doc->OnCommand(CMD_RESET_FIND);
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ("\r\nc\r\n", Split(false));
}

TEST_F(ExportTest, ReplaceResultHasOneLinePerReplacedMatch) {
  Set("(a)(\\d)", "a1 a2 b");
  std::vector<unsigned short> to = U16("$2\"$1\n");
  doc->SetReplaceTo(to.data(), static_cast<int>(to.size()));
  doc->OnCommand(CMD_MODE_REPLACE);
  doc->OnCommand(CMD_FIND_ALL);
  ASSERT_EQ(2u, doc->GetReplaceResult().Segments().size());
  const unsigned short* subject = doc->GetSubjectText().data();
  EXPECT_EQ("1\"a\r\n\r\n2\"a\r\n\r\n",
            CResultExport::ReplaceResultFile(doc->GetReplaceResult(), subject, false).toStdString());
  EXPECT_EQ("\"1\"\"a\r\n\"\r\n\"2\"\"a\r\n\"\r\n",
            CResultExport::ReplaceResultFile(doc->GetReplaceResult(), subject, true).toStdString());
}

TEST(TextFile, LinesJoinedByCrLfWithoutAFinalLineEnd) {
  struct Row {
    const char* text;
    const char* file;
  } rows[] = {
      {"", ""},
      {"one", "one"},
      {"a\nb", "a\r\nb"},
      {"a\n", "a\r\n"},
      {"a\r\rb", "a\r\n\r\nb"},
      {"a\n\rb\r\nc", "a\r\nb\r\nc"},
      {"a\n\n\r", "a\r\n\r\n"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.file, CResultExport::TextFile(QString::fromLatin1(r.text)).toStdString()) << r.text;
  // Characters beyond ASCII go through the system code page, each line on its own.
  const QString wide = QString::fromUtf16(u"\u4E2D\n\xD800");
  EXPECT_EQ(CCodePage::FromUtf16(u"\u4E2D") + "\r\n" + CCodePage::FromUtf16(QString(QChar(0xD800))),
            CResultExport::TextFile(wide));
}

TEST_F(ExportTest, WritersSkipEmptyResultsAndChooseCsvByExtension) {
  Set("a", "a");
  EXPECT_FALSE(CSaveAs::SaveMatchResult(*doc, Path("m.txt")));
  EXPECT_FALSE(CSaveAs::SaveSplitResult(*doc, Path("s.txt")));
  EXPECT_FALSE(CSaveAs::SaveReplaceResult(*doc, Path("r.txt")));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_TRUE(CSaveAs::SaveMatchResult(*doc, Path("m.CSV")));
  EXPECT_EQ("\"a\"\r\n", FileText(Path("m.CSV")));
  EXPECT_TRUE(CSaveAs::SaveMatchResult(*doc, Path("m.txt")));
  EXPECT_EQ("a\r\n", FileText(Path("m.txt")));
  // A file that cannot be created is not written, and the writer says why; nothing to write
  // gives no reason.
  QString reason = QStringLiteral("left over");
  EXPECT_FALSE(CSaveAs::SaveMatchResult(*doc, Path("no/such/dir/m.txt"), &reason));
  EXPECT_EQ(qt_error_string(ENOENT), reason);
  EXPECT_FALSE(CResultExport::SaveTextFile(dir.path(), u"x", &reason));
  EXPECT_EQ(qt_error_string(EISDIR), reason);
  EXPECT_FALSE(CSaveAs::SaveReplaceResult(*doc, Path("r.txt"), &reason));
  EXPECT_TRUE(reason.isEmpty());
}

// Every export of Save As, failing at every step of its write (each write call, the flush, the
// close, the rename): the earlier file stays byte for byte, and the user is told the file and
// the system's reason. Nothing to export is no failure and shows nothing.
TEST_F(ExportTest, AnExportFailingAtAnyStepKeepsTheOldFileAndSaysWhy) {
  std::string subject;
  for (int i = 0; i < 300; ++i) subject += "a" + std::to_string(i) + " \"q\" b\n";
  Set("(a)(\\d+)", subject);
  std::vector<unsigned short> to = U16("<$2>");
  doc->SetReplaceTo(to.data(), static_cast<int>(to.size()));
  doc->OnCommand(CMD_MODE_REPLACE);
  doc->OnCommand(CMD_FIND_ALL);
  ASSERT_EQ(300, doc->RealMatchCount());
  struct Export {
    ESaveAsBox box;
    int filter;
    const char* file;
  } exports[] = {
      {ESaveAsBox::SubjectText, 2, "match.csv"},  {ESaveAsBox::SubjectText, 2, "match.txt"},
      {ESaveAsBox::SubjectText, 3, "split.csv"},  {ESaveAsBox::SplitResult, 1, "split.txt"},
      {ESaveAsBox::ReplaceResult, 2, "repl.csv"}, {ESaveAsBox::ReplaceResult, 1, "text.txt"},
      {ESaveAsBox::Pattern, 1, "pattern.txt"},
  };
  const std::u16string boxText(2000, u'x');
  for (const Export& e : exports) {
    const QString path = Path(e.file);
    {
      QFile old(path);
      ASSERT_TRUE(old.open(QIODevice::WriteOnly));
      old.write("the earlier export");
    }
    CFileFaultPlan count;
    count.chunkBytes = 1024;
    count.failCommit = true;
    CFileIo::SetFaultPlan(&count);
    EXPECT_FALSE(CSaveAs::Run(*doc, e.box, e.filter, path, boxText));
    CFileIo::SetFaultPlan(nullptr);
    ASSERT_GE(count.writeCalls, 2) << e.file;
    ui.ClearBoxes();
    for (int step = 1; step <= count.writeCalls + 3; ++step) {
      CFileFaultPlan plan;
      plan.chunkBytes = 1024;
      plan.failWrite = step <= count.writeCalls ? step : 0;
      plan.failFlush = step == count.writeCalls + 1;
      plan.failClose = step == count.writeCalls + 2;
      plan.failCommit = step == count.writeCalls + 3;
      CFileIo::SetFaultPlan(&plan);
      const bool written = CSaveAs::Run(*doc, e.box, e.filter, path, boxText);
      CFileIo::SetFaultPlan(nullptr);
      EXPECT_FALSE(written) << e.file << " step " << step;
      EXPECT_EQ("the earlier export", FileText(path)) << e.file << " step " << step;
      ASSERT_EQ(static_cast<size_t>(step), ui.Boxes().size()) << e.file;
      const std::string box = ui.Boxes().back().text;
      EXPECT_NE(std::string::npos, box.find(QDir::toNativeSeparators(path).toStdString())) << box;
      EXPECT_NE(std::string::npos, box.find(qt_error_string(ENOSPC).toStdString())) << box;
    }
    EXPECT_TRUE(CSaveAs::Run(*doc, e.box, e.filter, path, boxText)) << e.file;
    EXPECT_NE("the earlier export", FileText(path));
  }
  // Nothing to export: no file, no message.
  ui.ClearBoxes();
  doc->OnCommand(CMD_RESET_FIND);
  EXPECT_FALSE(CSaveAs::Run(*doc, ESaveAsBox::SubjectText, 2, Path("none.csv"), boxText));
  EXPECT_TRUE(ui.Boxes().empty());
  EXPECT_FALSE(QFile::exists(Path("none.csv")));
}

struct ChoiceRow {
  ESaveAsBox box;
  int filter;
  const char* path;
  const char* chosenPath;
  ESaveAsKind kind;
};

TEST(SaveAs, ChoiceByBoxFilterAndExtension) {
  typedef ESaveAsBox B;
  typedef ESaveAsKind K;
  const ChoiceRow rows[] = {
      // Subject text box: filters Text, Match Result, Split Result, Workspace, All.
      {B::SubjectText, 1, "/d/f", "/d/f.txt", K::TextFile},
      {B::SubjectText, 2, "/d/f", "/d/f.csv", K::MatchResult},
      {B::SubjectText, 3, "/d/f", "/d/f.csv", K::SplitResult},
      {B::SubjectText, 4, "/d/f", "/d/f.rws", K::Workspace},
      {B::SubjectText, 5, "/d/f", "/d/f.txt", K::TextFile},
      {B::SubjectText, 2, "/d/f.txt", "/d/f.txt", K::MatchResult},
      {B::SubjectText, 3, "/d/f.txt", "/d/f.txt", K::SplitResult},
      {B::SubjectText, 1, "/d/f.CSV", "/d/f.CSV", K::MatchResult},
      {B::SubjectText, 3, "/d/f.csv", "/d/f.csv", K::SplitResult},
      {B::SubjectText, 1, "/d/f.Rws", "/d/f.Rws", K::Workspace},
      {B::SubjectText, 2, "/d/f.rws", "/d/f.rws", K::Workspace},
      {B::SubjectText, 5, "/d/f.log", "/d/f.log", K::TextFile},
      {B::SubjectText, 1, "/d.x/f", "/d.x/f.txt", K::TextFile},  // a dot in a folder is no extension
      // Replace result box: Text, Replace Result, Workspace, All.
      {B::ReplaceResult, 1, "/d/f", "/d/f.txt", K::TextFile},
      {B::ReplaceResult, 2, "/d/f", "/d/f.csv", K::ReplaceResult},
      {B::ReplaceResult, 3, "/d/f", "/d/f.rws", K::Workspace},
      {B::ReplaceResult, 4, "/d/f", "/d/f.txt", K::TextFile},
      {B::ReplaceResult, 2, "/d/f.txt", "/d/f.txt", K::ReplaceResult},
      {B::ReplaceResult, 1, "/d/f.csv", "/d/f.csv", K::ReplaceResult},
      // Split result list: Split Result, Workspace, All.
      {B::SplitResult, 1, "/d/f", "/d/f.csv", K::SplitResult},
      {B::SplitResult, 2, "/d/f", "/d/f.rws", K::Workspace},
      {B::SplitResult, 3, "/d/f", "/d/f.csv", K::SplitResult},
      {B::SplitResult, 3, "/d/f.txt", "/d/f.txt", K::SplitResult},
      // Pattern and replace-to boxes: Text, Workspace, All.
      {B::Pattern, 1, "/d/f", "/d/f.txt", K::TextFile},
      {B::Pattern, 2, "/d/f", "/d/f.rws", K::Workspace},
      {B::ReplaceTo, 3, "/d/f", "/d/f.txt", K::TextFile},
      {B::ReplaceTo, 1, "/d/f.csv", "/d/f.csv", K::TextFile},
      // A filter index the list does not have adds nothing.
      {B::Pattern, 9, "/d/f", "/d/f", K::TextFile},
  };
  for (const ChoiceRow& r : rows) {
    const SaveAsChoice c = CSaveAs::Choose(r.box, r.filter, QString::fromLatin1(r.path));
    EXPECT_EQ(r.chosenPath, c.path.toStdString()) << r.path << " filter " << r.filter;
    EXPECT_EQ(static_cast<int>(r.kind), static_cast<int>(c.kind)) << r.path << " filter " << r.filter;
  }
}

TEST_F(ExportTest, SaveAsRunsTheChosenWriter) {
  Set("b", "abc");
  doc->OnCommand(CMD_FIND_ALL);
  const std::string typed = Path("out").toStdString();
  EXPECT_TRUE(CSaveAs::Run(*doc, ESaveAsBox::SubjectText, 3, QString::fromStdString(typed), u"unused"));
  EXPECT_EQ("\"a\"\r\n\"c\"\r\n\"\"\r\n", FileText(Path("out.csv")));
  EXPECT_TRUE(CSaveAs::Run(*doc, ESaveAsBox::Pattern, 1, Path("pat"), u"b\nb"));
  EXPECT_EQ("b\r\nb", FileText(Path("pat.txt")));
  EXPECT_TRUE(CSaveAs::Run(*doc, ESaveAsBox::SplitResult, 2, Path("work"), u""));
  EXPECT_EQ(Path("work.rws"), doc->GetPathName());
  EXPECT_FALSE(doc->IsModified());
  EXPECT_EQ(doc->WorkspaceBytes(), FileText(Path("work.rws")));
}

}  // namespace
