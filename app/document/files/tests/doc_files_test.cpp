// The document's snapshots, workspace files and clips: the Add Snapshot command and its rule,
// switching and deleting, a saved workspace reloaded with everything it keeps, a failed load
// that leaves the document as it was and says why, the test time limit saved with the
// workspace, a save failing at any step of its write that keeps the
// previous file and says why, and the clips: written and announced as they change, a failed
// clips write or an unreadable clips file told once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <regex>

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#endif

#include "app/document/core/tests/headless_ui.h"
#include "app/document/files/snapshot.h"
#include "app/document/files/text_clips.h"
#include "platform/file_io.h"
#include "platform/shared_counter.h"
#include "stringtable.h"
#include "app/document/core/test_session.h"

namespace {

class DocFilesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    counterName = QStringLiteral("korvane-doc-files-test-%1").arg(QCoreApplication::applicationPid());
    counter.Open(counterName);
    CTextClips::SetDefaultLocation(Path("test.clips"), &counter);
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    doc->AddView(&view);
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void TearDown() override {
    CFileIo::SetFaultPlan(nullptr);
    doc->RemoveView(&view);
    doc.reset();
    CTextClips::SetDefaultLocation(QString(), nullptr);
    counter.Close();
    CSharedCounter::RemoveShared(counterName);
  }
  QString Path(const char* name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }
  void SetPattern(const std::string& p) {
    std::vector<unsigned short> u = U16(p);
    doc->SetPattern(u.data(), static_cast<int>(u.size()), true);
  }
  std::string Pattern() const { return std::string(doc->GetPattern().begin(), doc->GetPattern().end()); }
  std::string LastBox() {
    std::vector<HeadlessUi::Box> b = ui.Boxes();
    return b.empty() ? std::string() : b.back().text;
  }

  QTemporaryDir dir;
  QString counterName;
  CSharedCounter counter;
  HeadlessUi ui;
  RecordingView view;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(DocFilesTest, AddSnapshotIsEnabledOnlyForANonEmptyPatternThatDiffers) {
  EXPECT_FALSE(doc->QueryCommand(CMD_ADD_SNAPSHOT).enabled);  // empty pattern
  SetPattern("abc");
  EXPECT_TRUE(doc->QueryCommand(CMD_ADD_SNAPSHOT).enabled);
  EXPECT_EQ(1, doc->AddSnapshot(U16("first")));
  EXPECT_FALSE(doc->QueryCommand(CMD_ADD_SNAPSHOT).enabled);  // equal to the current snapshot
  SetPattern("ab");                                            // a proper prefix differs
  EXPECT_TRUE(doc->QueryCommand(CMD_ADD_SNAPSHOT).enabled);
  SetPattern("abc");
  EXPECT_FALSE(doc->QueryCommand(CMD_ADD_SNAPSHOT).enabled);
  // Deleting the current root leaves no current snapshot: enabled for any non-empty pattern.
  doc->DeleteSnapshot(1, false);
  EXPECT_EQ(0, doc->GetCurrentSnapshot());
  EXPECT_TRUE(doc->QueryCommand(CMD_ADD_SNAPSHOT).enabled);
}

TEST_F(DocFilesTest, TheCommandAsksForANamePrefilledWithTheTime) {
  SetPattern("a+");
  doc->SetModified(false);
  ui.giveName = false;
  EXPECT_FALSE(doc->AddSnapshotWithDialog());
  EXPECT_EQ(0, doc->GetSnapshots().Count());
  EXPECT_FALSE(doc->IsModified());
  ASSERT_EQ(1u, ui.askedWith.size());
  EXPECT_TRUE(std::regex_match(ui.askedWith[0], std::regex("\\[\\d\\d-\\d\\d \\d\\d:\\d\\d\\]"))) << ui.askedWith[0];

  ui.giveName = true;
  ui.nameToGive = "mine";
  view.hints.clear();
  EXPECT_TRUE(doc->OnCommand(CMD_ADD_SNAPSHOT));
  ASSERT_EQ(1, doc->GetSnapshots().Count());
  const Snapshot* s = doc->LookupSnapshot(1);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(U16("mine"), s->name);
  EXPECT_EQ(U16("a+"), s->pattern);
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(std::vector<int>{HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT}, view.hints);
}

TEST_F(DocFilesTest, SwitchingLoadsPatternAndFlagsAndNewSnapshotsBranchFromIt) {
  SetPattern("one");
  doc->OnCommand(CMD_IGNORECASE);
  doc->AddSnapshot(U16("1"));
  doc->OnCommand(CMD_IGNORECASE);
  SetPattern("two");
  doc->AddSnapshot(U16("2"));
  doc->SetModified(false);

  doc->SwitchToSnapshot(1);
  EXPECT_EQ("one", Pattern());
  EXPECT_EQ(IGNORECASE, doc->GetFlags());
  EXPECT_EQ(IGNORECASE, doc->GetCompiled().GetFlags());
  EXPECT_EQ(1, doc->GetCurrentSnapshot());
  EXPECT_TRUE(doc->IsModified());
  doc->SwitchToSnapshot(42);  // unknown: nothing happens
  EXPECT_EQ(1, doc->GetCurrentSnapshot());

  SetPattern("three");
  EXPECT_EQ(3, doc->AddSnapshot(U16("3")));
  EXPECT_EQ(1, doc->LookupSnapshot(3)->parentId);
  EXPECT_EQ((std::vector<int>{2, 3}), doc->LookupSnapshot(1)->children);

  doc->SetModified(false);
  doc->SetSnapshotName(3, U16("renamed"));
  EXPECT_EQ(U16("renamed"), doc->LookupSnapshot(3)->name);
  EXPECT_TRUE(doc->IsModified());
}

TEST_F(DocFilesTest, NewDocumentClearsTheSnapshots) {
  SetPattern("x");
  doc->AddSnapshot(U16("s"));
  doc->OnNewDocument();
  EXPECT_EQ(0, doc->GetSnapshots().Count());
  EXPECT_EQ(0, doc->GetCurrentSnapshot());
  SetPattern("y");
  EXPECT_EQ(1, doc->AddSnapshot(U16("again")));
}

TEST_F(DocFilesTest, ASavedWorkspaceReloadsWithEverythingItKeeps) {
  SetPattern("(a)(b)?");
  std::vector<unsigned short> subject = U16("ab a\r\nb");
  subject.push_back(0xD800);  // an unpaired surrogate survives
  doc->SetSubjectText(subject.data(), static_cast<int>(subject.size()));
  std::vector<unsigned short> to = U16("$2$1");
  doc->SetReplaceTo(to.data(), static_cast<int>(to.size()));
  doc->OnCommand(CMD_MULTILINE);
  doc->OnCommand(CMD_EXTENDED);
  doc->AddSnapshot(U16("root"));
  SetPattern("b");
  doc->AddSnapshot(U16("child"));
  doc->SwitchToSnapshot(1);
  SetPattern("c");
  doc->AddSnapshot(U16("second child"));  // id 3 under 1
  doc->DeleteSnapshot(2, false);
  doc->SwitchToSnapshot(3);
  doc->OnCommand(CMD_MODE_SPLIT);
  doc->SetShares(0.3f, 0.6f);
  const std::string bytes = doc->WorkspaceBytes();

  const QString path = Path("work.rws");
  ASSERT_TRUE(doc->OnSaveDocument(path));
  EXPECT_FALSE(doc->IsModified());
  EXPECT_EQ(path, doc->GetPathName());

  HeadlessUi ui2;
  CKorvaneDoc other(&ui2);
  ASSERT_TRUE(other.OnOpenDocument(path));
  EXPECT_TRUE(ui2.Boxes().empty());
  EXPECT_EQ(path, other.GetPathName());
  EXPECT_FALSE(other.IsModified());
  EXPECT_EQ(MODE_SPLIT, other.GetMode());
  EXPECT_EQ(0.3f, other.GetPatternShare());
  EXPECT_EQ(0.6f, other.GetTextShare());
  EXPECT_EQ(doc->GetFlags(), other.GetFlags());
  EXPECT_EQ(MULTILINE | EXTENDED, other.GetCompiled().GetFlags());
  EXPECT_EQ(doc->GetPattern(), other.GetPattern());
  EXPECT_EQ(subject, other.GetSubjectText());
  EXPECT_EQ(to, other.GetReplaceTo());
  EXPECT_EQ(3, other.GetCurrentSnapshot());
  EXPECT_EQ(2, other.GetSnapshots().Count());
  for (int id : {1, 3}) {
    const Snapshot* a = doc->LookupSnapshot(id);
    const Snapshot* b = other.LookupSnapshot(id);
    ASSERT_NE(nullptr, b) << id;
    EXPECT_EQ(a->parentId, b->parentId);
    EXPECT_EQ(a->name, b->name);
    EXPECT_EQ(a->pattern, b->pattern);
    EXPECT_EQ(a->flags, b->flags);
    EXPECT_EQ(a->created, b->created);
    EXPECT_EQ(a->children, b->children);
  }
  EXPECT_EQ(std::vector<int>{1}, other.GetSnapshots().Roots());
  // Saving the loaded document gives the same bytes; the next id follows the largest one read.
  EXPECT_EQ(bytes, other.WorkspaceBytes());
  EXPECT_EQ(4, other.AddSnapshot(U16("next")));
}

// Opening a file that cannot be opened never costs the open workspace anything: the document
// stays as it was, modified flag, file name, mode and all, and the message names the file, says
// why in words (as the command line does) and that the open workspace is kept.
TEST_F(DocFilesTest, AFileThatCannotBeOpenedLeavesTheDocumentAsItWasAndSaysWhy) {
  SetPattern("keep");
  doc->AddSnapshot(U16("s"));
  const std::string good = doc->WorkspaceBytes();
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.rws")));
  struct Row {
    const char* what;
    std::string bytes;  // written to the file; "-" for no file
    std::string reason;
  };
  const Row rows[] = {
      {"missing", "-", "The file does not exist."},
      {"empty", "", "The file is empty."},
      {"not a workspace", "These are my notes, not a workspace.\n", "It is not a regex workspace file."},
      {"cut in the pattern", good.substr(0, 30),
       "The file is damaged at byte 20: it ends before the content it announces there, as if it had been cut off."},
      // One byte short of the tests' end (the options word after them is optional).
      {"cut in the tests", good.substr(0, good.size() - 5), "The file is damaged at byte"},
      {"a negative count", good.substr(0, 20) + std::string("\xFF\xFF\xFF\xFF", 4) + good.substr(24),
       "The file is damaged at byte 20: the number there cannot occur in a workspace."},
      {"a folder", "folder", "directory"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    QString path = Path("bad.rws");
    if (row.bytes == "-") {
      path = Path("missing.rws");
    } else if (row.bytes == "folder") {
      path = Path("folder.rws");
    } else {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(row.bytes.data(), static_cast<qint64>(row.bytes.size()));
    }
    SetPattern("keep");
    doc->OnCommand(CMD_MODE_REPLACE);
    doc->SetPathName(Path("before.rws"));
    doc->SetModified(true);
    ui.ClearBoxes();
    EXPECT_FALSE(doc->OnOpenDocument(path));
    ASSERT_EQ(1u, ui.Boxes().size());
    const std::string box = LastBox();
    EXPECT_EQ(0u, box.find("Cannot read " + QDir::toNativeSeparators(path).toStdString() + ": ")) << box;
    EXPECT_NE(std::string::npos, box.find(row.reason)) << box;
    EXPECT_NE(std::string::npos, box.find("The workspace you had open stays as it was.")) << box;
    EXPECT_EQ("keep", Pattern());
    EXPECT_EQ(1, doc->GetSnapshots().Count());
    EXPECT_EQ(MODE_REPLACE, doc->GetMode());
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Path("before.rws"), doc->GetPathName());
  }
  // A fresh window holds nothing to keep, and is not told it kept it.
  CKorvaneDoc fresh(&ui);
  ui.ClearBoxes();
  EXPECT_FALSE(fresh.OnOpenDocument(Path("missing.rws")));
  ASSERT_EQ(1u, ui.Boxes().size());
  EXPECT_EQ(std::string::npos, LastBox().find("stays as it was")) << LastBox();
}

// The time limit of each test is a setting of the workspace: saved, loaded, back to its default
// for a new document, and changing it is a change of the workspace.
TEST_F(DocFilesTest, TheTestTimeLimitIsSavedWithTheWorkspace) {
  EXPECT_EQ(kDefaultTestTimeLimitMs, doc->Tests().TimeLimit());
  doc->SetModified(false);
  doc->Tests().SetTimeLimit(4000);
  EXPECT_TRUE(doc->IsModified());
  const QString path = Path("limit.rws");
  ASSERT_TRUE(doc->OnSaveDocument(path));
  doc->OnNewDocument();
  EXPECT_EQ(kDefaultTestTimeLimitMs, doc->Tests().TimeLimit());
  ASSERT_TRUE(doc->OnOpenDocument(path));
  EXPECT_EQ(4000, doc->Tests().TimeLimit());
  EXPECT_FALSE(doc->IsModified());
  doc->Tests().SetTimeLimit(0);
  EXPECT_EQ(1, doc->Tests().TimeLimit());
}

TEST_F(DocFilesTest, AFailedSaveKeepsThePreviousFileAndTheModifiedFlag) {
  SetPattern("old");
  const QString path = Path("keep.rws");
  ASSERT_TRUE(doc->OnSaveDocument(path));
  const std::string before = doc->WorkspaceBytes();
  SetPattern("new");
  // A folder where the file should go cannot be replaced.
  EXPECT_FALSE(doc->OnSaveDocument(dir.path()));
  EXPECT_NE(std::string::npos, LastBox().find("Failed to save " + QDir::toNativeSeparators(dir.path()).toStdString()))
      << LastBox();
  EXPECT_NE(std::string::npos, LastBox().find(qt_error_string(EISDIR).toStdString())) << LastBox();
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(path, doc->GetPathName());
#if defined(__unix__)
  // The disk fills up in the middle of the write: a file size limit makes it fail (also for the
  // superuser, whom permissions do not stop).
  std::vector<unsigned short> big(64 * 1024, 'x');
  doc->SetSubjectText(big.data(), static_cast<int>(big.size()));
  struct rlimit old;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  const bool saved = doc->OnSaveDocument(path);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(saved);
  EXPECT_TRUE(doc->IsModified());
  EXPECT_NE(std::string::npos, LastBox().find(qt_error_string(EFBIG).toStdString())) << LastBox();
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray onDisk = f.readAll();
  EXPECT_EQ(before, std::string(onDisk.constData(), static_cast<size_t>(onDisk.size())));
  // No temporary file is left beside it.
  EXPECT_EQ(QStringList{QStringLiteral("keep.rws")}, QDir(dir.path()).entryList(QDir::Files));
#endif
}

// A save that fails at any step of its write (every write call, the flush, the close, the
// rename) keeps the previous file byte for byte and the modified flag, and names the file and
// the system's reason.
TEST_F(DocFilesTest, ASaveFailingAtAnyStepKeepsThePreviousFile) {
  SetPattern("(a+)+b");
  std::vector<unsigned short> subject(5000, 'x');  // a 10 KB workspace
  doc->SetSubjectText(subject.data(), static_cast<int>(subject.size()));
  doc->AddSnapshot(U16("first"));
  const QString path = Path("full.rws");
  ASSERT_TRUE(doc->OnSaveDocument(path));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray before = f.readAll();
  f.close();
  ASSERT_GT(before.size(), 10000);
  SetPattern("(a+)+c");
  ASSERT_TRUE(doc->IsModified());

  CFileFaultPlan count;
  count.chunkBytes = 512;
  count.failCommit = true;  // learn how many calls a save makes, without saving
  CFileIo::SetFaultPlan(&count);
  EXPECT_FALSE(doc->OnSaveDocument(path));
  CFileIo::SetFaultPlan(nullptr);
  ASSERT_EQ(static_cast<int>(doc->WorkspaceBytes().size() + 511) / 512, count.writeCalls);

  struct Step {
    int writeCall;
    bool flush, close, commit;
    int error;
  };
  std::vector<Step> steps;
  for (int n = 1; n <= count.writeCalls; ++n) steps.push_back({n, false, false, false, n % 2 ? ENOSPC : EIO});
  steps.push_back({0, true, false, false, EIO});
  steps.push_back({0, false, true, false, EDQUOT});
  steps.push_back({0, false, false, true, EXDEV});
  for (const Step& step : steps) {
    CFileFaultPlan plan;
    plan.chunkBytes = 512;
    plan.failWrite = step.writeCall;
    plan.failFlush = step.flush;
    plan.failClose = step.close;
    plan.failCommit = step.commit;
    plan.error = step.error;
    const size_t boxes = ui.Boxes().size();
    CFileIo::SetFaultPlan(&plan);
    const bool saved = doc->OnSaveDocument(path);
    CFileIo::SetFaultPlan(nullptr);
    EXPECT_FALSE(saved) << step.writeCall;
    EXPECT_TRUE(doc->IsModified());
    ASSERT_EQ(boxes + 1, ui.Boxes().size());
    EXPECT_NE(std::string::npos, LastBox().find(QDir::toNativeSeparators(path).toStdString())) << LastBox();
    EXPECT_NE(std::string::npos, LastBox().find(qt_error_string(step.error).toStdString())) << LastBox();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(before, f.readAll()) << step.writeCall;
    f.close();
    EXPECT_EQ(QStringList{QStringLiteral("full.rws")}, QDir(dir.path()).entryList({QStringLiteral("*full*")},
                                                                                  QDir::Files | QDir::Hidden));
  }
  // With room again the save goes through.
  EXPECT_TRUE(doc->OnSaveDocument(path));
  EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocFilesTest, ClipsAreWrittenAndAnnouncedAsTheyChangeAndNotReloadedByTheirWriter) {
  EXPECT_EQ(0, doc->GetClips().Count());
  const int before = counter.Read();
  doc->GetClips().AddClip(U16("text"), U16("name"));
  EXPECT_EQ(before + 1, counter.Read());
  doc->Notify(&view, HINT_CLIPS);  // as the views do: nothing left to write
  EXPECT_EQ(before + 1, counter.Read());
  EXPECT_EQ(counter.Read(), doc->GetClips().Version());
  EXPECT_TRUE(QFile::exists(Path("test.clips")));
  view.hints.clear();
  doc->CheckClipsVersion();  // its own write: no reload, no hint
  EXPECT_TRUE(view.hints.empty());

  // Another copy (here: a second document on the same file and counter) removes the clip.
  {
    HeadlessUi ui2;
    CKorvaneDoc other(&ui2);
    ASSERT_EQ(1, other.GetClips().Count());
    other.GetClips().RemoveClip(0);
    other.Notify(nullptr, HINT_CLIPS);
    EXPECT_FALSE(QFile::exists(Path("test.clips")));  // no clips: the file is deleted
  }
  doc->CheckClipsVersion();
  EXPECT_EQ(0, doc->GetClips().Count());
  EXPECT_EQ(std::vector<int>{HINT_CLIPS}, view.hints);
  EXPECT_TRUE(ui.Boxes().empty());
}

// A clips write that fails is told once, through the notification the views send; the clip
// stays, and the next version check writes it.
TEST_F(DocFilesTest, AFailedClipsWriteIsToldOnceAndWrittenLater) {
  doc->GetClips().AddClip(U16("old"), U16(""));
  CFileFaultPlan plan;
  plan.failFlush = true;
  plan.error = EIO;
  CFileIo::SetFaultPlan(&plan);
  doc->GetClips().AddClip(U16("new"), U16(""));
  doc->Notify(&view, HINT_CLIPS);
  doc->GetClips().AddClip(U16("newer"), U16(""));
  doc->Notify(&view, HINT_CLIPS);
  doc->CheckClipsVersion();
  CFileIo::SetFaultPlan(nullptr);
  ASSERT_EQ(1u, ui.Boxes().size());
  EXPECT_NE(std::string::npos, LastBox().find("could not be saved to")) << LastBox();
  EXPECT_NE(std::string::npos, LastBox().find(QDir::toNativeSeparators(Path("test.clips")).toStdString()));
  EXPECT_NE(std::string::npos, LastBox().find(qt_error_string(EIO).toStdString()));
  EXPECT_EQ(3, doc->GetClips().Count());
  doc->CheckClipsVersion();
  CTextClips check;
  check.LoadClips();
  EXPECT_EQ(3, check.Count());
  EXPECT_EQ(1u, ui.Boxes().size());
}

// A clips file too large to read: the document starts without reading it, says so once, and
// the clips of the session go to the fallback file; the large file stays as it was.
TEST_F(DocFilesTest, AClipsFileTooLargeToReadIsKeptAndToldOnce) {
  const QString big = Path("big.clips");
  {
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(CFileIo::EncodeUtf16Le(u"\"kept\"\r\n"));
    ASSERT_TRUE(f.resize(qint64(200) << 20));  // sparse
  }
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("user")));
  CTextClips::SetDefaultLocation(big, &counter, Path("user/big.clips"));
  HeadlessUi ui2;
  RecordingView view2;
  {
    CKorvaneDoc other(&ui2);
    other.AddView(&view2);
    EXPECT_EQ(0, other.GetClips().Count());
    other.CheckClipsVersion();  // the frame does this when it gets the focus
    ASSERT_EQ(1u, ui2.Boxes().size());
    EXPECT_NE(std::string::npos, ui2.Boxes()[0].text.find("larger than 16 MB")) << ui2.Boxes()[0].text;
    EXPECT_NE(std::string::npos, ui2.Boxes()[0].text.find(QDir::toNativeSeparators(big).toStdString()));
    other.GetClips().AddClip(U16("added"), U16(""));
    other.Notify(nullptr, HINT_CLIPS);
    other.CheckClipsVersion();
    EXPECT_EQ(1u, ui2.Boxes().size());
    other.RemoveView(&view2);
  }
  EXPECT_EQ(qint64(200) << 20, QFileInfo(big).size());
  CTextClips check;
  check.SetLocation(Path("user/big.clips"), &counter);
  check.LoadClips();
  ASSERT_EQ(1, check.Count());
  EXPECT_EQ(U16("added"), check.List().At(0).text);
}

TEST_F(DocFilesTest, ClosingDoesNotWriteBackClipsThatWereOnlyLoaded) {
  doc->GetClips().AddClip(U16("mine"), U16(""));
  doc->Notify(nullptr, HINT_CLIPS);
  {
    HeadlessUi ui2;
    CKorvaneDoc stale(&ui2);  // loads "mine"
    doc->GetClips().AddClip(U16("newer"), U16(""));
    doc->Notify(nullptr, HINT_CLIPS);
  }  // the stale copy closes without having changed anything
  CTextClips check;
  check.LoadClips();
  EXPECT_EQ(2, check.Count());
}

}  // namespace
