// Text clips: the escaping into a literal, reading lines back (comments, character literals, no
// closing quote, NUL, unpaired surrogates, odd line breaks), the list rules, the file with its
// lock (a busy write is skipped and retried without losing the clips in memory), and two
// processes seeing each other's changes through the shared version.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/document/clips_format.h"
#include "app/document/tests/headless_ui.h"
#include "platform/shared_counter.h"

namespace {

typedef std::vector<unsigned short> Units;

Units W(const std::u16string& s) { return Units(s.begin(), s.end()); }
std::u16string S(const Units& u) { return std::u16string(u.begin(), u.end()); }

std::string Narrow(const Units& u) { return std::string(u.begin(), u.end()); }

TEST(ClipsFormat, EscapesQuotesBackslashesLineBreaksAndTrigraphs) {
  struct Row {
    std::u16string text, literal;
  } rows[] = {
      {u"", u"\"\""},
      {u"plain", u"\"plain\""},
      {u"a\"b\\c'd", u"\"a\\\"b\\\\c\\'d\""},
      {u"1\r\n2\n3\r4\n\r5", u"\"1\\n2\\n3\\n4\\n5\""},
      {u"?\?=x", u"\"?\\?=x\""},
      {u"a?\?(b?\?-", u"\"a?\\?(b?\\?-\""},
      {u"??x", u"\"??x\""},
      {u"?\?'", u"\"??\\'\""},  // the quote is escaped first, so no trigraph follows
  };
  for (const Row& r : rows) EXPECT_EQ(r.literal, S(CClipsFormat::Escape(W(r.text)))) << Narrow(W(r.text));
}

TEST(ClipsFormat, UnescapesEveryEscapeAndLeavesOthers) {
  struct Row {
    std::u16string body, text;
  } rows[] = {
      {u"a\\nb", u"a\r\nb"},
      {u"a\\n\\rb", u"a\r\nb"},
      {u"a\\rb", u"a\r\nb"},
      {u"a\\r\\nb", u"a\r\nb"},
      {u"\\\\\\\"\\'\\?", u"\\\"'?"},
      {u"\\q\\t", u"\\q\\t"},   // not escapes
      {u"a\\\r\nb", u"ab"},      // a backslash before a real line break continues the line
      {u"end\\", u"end\\"},
  };
  for (const Row& r : rows) {
    const Units body = W(r.body);
    EXPECT_EQ(r.text, S(CClipsFormat::Unescape(body.data(), static_cast<int>(body.size())))) << Narrow(body);
  }
}

TEST(ClipsFormat, ReadsTheFirstLiteralOfALineAndTheRestAsName) {
  struct Row {
    const char* what;
    std::u16string line, text, name;
  } rows[] = {
      {"literal and name", u"\"abc\"my name", u"abc", u"my name"},
      {"name with a quote", u"\"abc\"say \"hi\"", u"abc", u"say \"hi\""},
      {"no closing quote", u"\"abc def", u"abc def", u""},
      {"no quote at all", u"just text", u"just text", u""},
      {"empty literal", u"\"\"named", u"", u"named"},
      {"code before", u"x = \"lit\"; // c", u"lit", u"; // c"},
      {"block comment", u"/* \"no\" */ \"yes\"rest", u"yes", u"rest"},
      {"line comment", u"// \"no\"", u"// ", u"\"no\""},  // no literal after the comment: the run up to the quote
      {"char literal", u"'\"' \"real\"n", u"real", u"n"},
      {"escaped quote inside", u"\"a\\\"b\"n", u"a\"b", u"n"},
      {"NUL in the text", std::u16string(u"\"a\0b\"n", 6), std::u16string(u"a\0b", 3), u"n"},
      {"unpaired surrogate", u"\"a\xD800\"\xDC00", u"a\xD800", u"\xDC00"},
  };
  for (const Row& r : rows) {
    const Units line = W(r.line);
    const TextClip c = CClipsFormat::ParseLine(line.data(), static_cast<int>(line.size()));
    EXPECT_EQ(r.text, S(c.text)) << r.what;
    EXPECT_EQ(r.name, S(c.name)) << r.what;
  }
}

TEST(ClipsFormat, LongLinesReadLikeShortOnes) {
  // Long runs before, inside and after the literal: the engine's patterns must not run out of
  // nesting depth on them, or the line would be taken whole.
  const size_t n = 200000;
  Units line(n, 'x');
  const Units tail = W(u"\"lit\"name");
  line.insert(line.end(), tail.begin(), tail.end());
  TextClip c = CClipsFormat::ParseLine(line.data(), static_cast<int>(line.size()));
  EXPECT_EQ(W(u"lit"), c.text);
  EXPECT_EQ(W(u"name"), c.name);
  Units comments;
  for (size_t i = 0; i < n / 8; ++i) {
    const Units piece = W(u"/*c*/'q'/ ");
    comments.insert(comments.end(), piece.begin(), piece.end());
  }
  comments.insert(comments.end(), tail.begin(), tail.end());
  c = CClipsFormat::ParseLine(comments.data(), static_cast<int>(comments.size()));
  EXPECT_EQ(W(u"lit"), c.text);
  Units escapes = W(u"\"");
  for (size_t i = 0; i < n / 2; ++i) escapes.insert(escapes.end(), {'\\', 'n'});
  escapes.push_back('"');
  c = CClipsFormat::ParseLine(escapes.data(), static_cast<int>(escapes.size()));
  EXPECT_EQ(n, c.text.size());  // every \n is CR LF
  EXPECT_TRUE(c.name.empty());
  // An unclosed block comment hides nothing: with no literal found after the skipped part, the
  // run up to the first quote is the text.
  Units open = W(u"/*");
  open.insert(open.end(), n, ' ');
  const Units prefix = open;
  open.insert(open.end(), tail.begin(), tail.end());
  c = CClipsFormat::ParseLine(open.data(), static_cast<int>(open.size()));
  EXPECT_EQ(prefix, c.text);
  EXPECT_EQ(tail, c.name);
}

TEST(ClipsFormat, SplitsAtEveryKindOfLineBreakSkipsEmptyLinesAndRepeats) {
  const Units file = W(u"\"a\"1\r\n\r\n\"b\"2\n\r\"c\"3\r\"d\"4\n\n\"a\"again\r\n\"e\"");
  const CTextClipList clips = CClipsFormat::Parse(file.data(), file.size());
  ASSERT_EQ(5, clips.Count());
  const char* texts[] = {"a", "b", "c", "d", "e"};
  const char* names[] = {"1", "2", "3", "4", ""};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(texts[i], Narrow(clips.At(i).text));
    EXPECT_EQ(names[i], Narrow(clips.At(i).name));
  }
  EXPECT_EQ(0, CClipsFormat::Parse(nullptr, 0).Count());
  const Units breaks = W(u"\r\n\n\r\r\r\n");
  EXPECT_EQ(0, CClipsFormat::Parse(breaks.data(), breaks.size()).Count());
}

TEST(ClipsFormat, HardTextsSurviveAWriteAndARead) {
  CTextClipList list;
  list.AddClip(W(u"line1\r\nline2\nq\"uote\\slash '?\?=' x\r"), W(u"name \"with\" quotes"));
  list.AddClip(W(u"?\?(?\?)?\?/?\?'?\?<?\?!?\?>?\?-"), W(u""));
  list.AddClip(W(u"/* not a comment */ // nor this"), W(u"n"));
  list.AddClip(W(std::u16string(u"nul\0and\xD800", 9)), W(u"\xDFFF"));
  list.AddClip(Units(100000, 'x'), W(u"long"));
  Units longQuotes;
  for (int i = 0; i < 30000; ++i) longQuotes.insert(longQuotes.end(), {'"', '\\', '\n'});
  list.AddClip(longQuotes, W(u""));
  list.AddClip(W(u"name breaks"), W(u"a\r\nb"));
  const Units file = CClipsFormat::Format(list);
  const CTextClipList back = CClipsFormat::Parse(file.data(), file.size());
  ASSERT_EQ(list.Count(), back.Count());
  for (int i = 0; i < list.Count(); ++i) {
    // Line breaks come back as CR LF.
    Units expected;
    const Units& t = list.At(i).text;
    for (size_t k = 0; k < t.size(); ++k) {
      if (t[k] == '\r' || t[k] == '\n') {
        if (k + 1 < t.size() && (t[k + 1] == '\r' || t[k + 1] == '\n') && t[k + 1] != t[k]) ++k;
        expected.push_back('\r');
        expected.push_back('\n');
      } else {
        expected.push_back(t[k]);
      }
    }
    EXPECT_EQ(expected, back.At(i).text) << "clip " << i;
  }
  EXPECT_EQ(W(u"name \"with\" quotes"), back.At(0).name);
  EXPECT_EQ(W(u"\xDFFF"), back.At(3).name);
  EXPECT_EQ(W(u"a  b"), back.At(6).name);  // a name's line breaks would split its line
}

TEST(ClipList, AddInsertRemove) {
  CTextClipList list;
  EXPECT_EQ(0, list.AddClip(W(u"a"), W(u"A")));
  EXPECT_EQ(1, list.AddClip(W(u"b"), W(u"B")));
  EXPECT_EQ(0, list.AddClip(W(u"a"), W(u"other")));  // equal text: the existing index
  EXPECT_EQ(2, list.Count());
  EXPECT_EQ(W(u"A"), list.At(0).name);
  EXPECT_EQ(1, list.AddClip(W(u"b"), W(u"")));
  EXPECT_EQ(2, list.AddClip(W(u"ab"), W(u"")));      // same prefix, longer: a new clip
  // An existing text moves to the index, keeping its name.
  EXPECT_EQ(0, list.InsertClip(0, W(u"ab"), W(u"x")));
  EXPECT_EQ("ab", Narrow(list.At(0).text));
  EXPECT_EQ("", Narrow(list.At(0).name));
  EXPECT_EQ("a", Narrow(list.At(1).text));
  EXPECT_EQ(3, list.Count());
  EXPECT_EQ(3, list.InsertClip(99, W(u"new"), W(u"N")));  // clamped to the end
  EXPECT_EQ(0, list.InsertClip(-4, W(u"new"), W(u"")));
  EXPECT_EQ("new", Narrow(list.At(0).text));
  list.RemoveClip(-1);
  list.RemoveClip(4);
  EXPECT_EQ(4, list.Count());
  list.RemoveClip(0);
  EXPECT_EQ("ab", Narrow(list.At(0).text));
}

class ClipsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = QDir(dir.path()).filePath(QStringLiteral("k.clips"));
    counterName = QStringLiteral("korvane-clips-file-test-%1").arg(QCoreApplication::applicationPid());
    counter.Open(counterName);
    clips.SetLocation(path, &counter);
  }
  void TearDown() override {
    counter.Close();
    CSharedCounter::RemoveShared(counterName);
  }
  QByteArray OnDisk() const {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }

  QTemporaryDir dir;
  QString path;
  QString counterName;
  CSharedCounter counter;
  CTextClips clips;
};

TEST_F(ClipsFileTest, FileIsUtf16LeLinesWithCrLfAndDeletedWhenEmpty) {
  clips.AddClip(W(u"a\"\u4E2D"), W(u"n"));
  EXPECT_EQ(CTextClips::ESave::Saved, clips.SaveClips());
  const char expected[] = "\"\0a\0\\\0\"\0\x2D\x4E\"\0n\0\r\0\n\0";
  EXPECT_EQ(QByteArray(expected, sizeof expected - 1), OnDisk());
  CTextClips other;
  other.SetLocation(path, &counter);
  other.LoadClips();
  ASSERT_EQ(1, other.Count());
  EXPECT_EQ(W(u"a\"\u4E2D"), other.List().At(0).text);
  clips.RemoveClip(0);
  EXPECT_EQ(CTextClips::ESave::Deleted, clips.SaveClips());
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_FALSE(QFile::exists(path + QStringLiteral(".lock")));
  other.LoadClips();
  EXPECT_EQ(0, other.Count());
}

TEST_F(ClipsFileTest, MissingOrOddFilesGiveWhatTheyCan) {
  clips.AddClip(W(u"gone"), W(u""));
  clips.LoadClips();  // no file
  EXPECT_EQ(0, clips.Count());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  // A lone LF between lines, no closing quote, an odd last byte.
  const char bytes[] = "\"\0x\0\"\0\n\0\"\0y\0z";
  f.write(bytes, sizeof bytes - 1);
  f.close();
  clips.LoadClips();
  ASSERT_EQ(2, clips.Count());
  EXPECT_EQ("x", Narrow(clips.List().At(0).text));
  EXPECT_EQ("y", Narrow(clips.List().At(1).text));
  EXPECT_FALSE(clips.HasUnsavedChanges());
}

TEST_F(ClipsFileTest, ABusyFileIsSkippedAndTheClipsAreWrittenLater) {
  clips.AddClip(W(u"first"), W(u""));
  ASSERT_EQ(CTextClips::ESave::Saved, clips.SaveClips());
  const QByteArray before = OnDisk();
  QLockFile writer(path + QStringLiteral(".lock"));  // another copy is writing
  ASSERT_TRUE(writer.tryLock(0));
  clips.AddClip(W(u"second"), W(u""));
  const int version = counter.Read();
  EXPECT_EQ(CTextClips::ESave::Busy, clips.Publish());
  EXPECT_EQ(version, counter.Read());  // nothing written, nothing announced
  EXPECT_EQ(before, OnDisk());
  EXPECT_EQ(2, clips.Count());
  EXPECT_TRUE(clips.HasUnsavedChanges());
  // Another copy's version change does not throw the unsaved clips away.
  counter.Increment();
  EXPECT_FALSE(clips.CheckVersion());
  EXPECT_EQ(2, clips.Count());
  writer.unlock();
  // The next check writes them.
  EXPECT_FALSE(clips.CheckVersion());
  EXPECT_FALSE(clips.HasUnsavedChanges());
  CTextClips reader;
  reader.SetLocation(path, &counter);
  reader.LoadClips();
  EXPECT_EQ(2, reader.Count());
}

TEST_F(ClipsFileTest, CloseWritesOnlyUnsavedClips) {
  clips.AddClip(W(u"a"), W(u""));
  clips.SaveClips();
  CTextClips stale;
  stale.SetLocation(path, &counter);
  stale.Open();
  clips.AddClip(W(u"b"), W(u""));
  clips.Publish();
  stale.Close();  // loaded only: does not overwrite the newer file
  CTextClips reader;
  reader.SetLocation(path, &counter);
  reader.LoadClips();
  EXPECT_EQ(2, reader.Count());
  stale.AddClip(W(u"c"), W(u""));
  stale.Close();  // changed without a notification: written now
  reader.LoadClips();
  EXPECT_EQ(2, reader.Count());
  EXPECT_EQ("c", Narrow(reader.List().At(1).text));
}

TEST(ClipsTwoProcesses, EachSeesTheOthersChangesThroughTheSharedVersion) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = QDir(dir.path()).filePath(QStringLiteral("shared.clips"));
  const QString name = QStringLiteral("korvane-clips-test-%1").arg(QCoreApplication::applicationPid());
  CSharedCounter::RemoveShared(name);
  CSharedCounter counter;
  counter.Open(name);
  if (!counter.IsShared()) GTEST_SKIP() << "no shared memory on this system";
  EXPECT_EQ(0, counter.Read());
  CTextClips::SetDefaultLocation(path, &counter);
  HeadlessUi ui;
  RecordingView view;
  {
    CKorvaneDoc doc(&ui);
    doc.AddView(&view);

    // The other copy adds a clip; this one sees it when its window gets the focus.
    QProcess peer;
    peer.start(QStringLiteral(KV_CLIPS_PEER),
               {path, name, QStringLiteral("add"), QStringLiteral("from peer"), QStringLiteral("P")});
    ASSERT_TRUE(peer.waitForFinished(60000));
    ASSERT_EQ(0, peer.exitCode()) << peer.readAllStandardError().toStdString();
    EXPECT_EQ("version 1\n", peer.readAllStandardOutput().toStdString());
    doc.CheckClipsVersion();
    ASSERT_EQ(1, doc.GetClips().Count());
    EXPECT_EQ("from peer", Narrow(doc.GetClips().List().At(0).text));
    EXPECT_EQ(std::vector<int>{HINT_CLIPS}, view.hints);

    // And the other way round, with the other copy already running.
    QProcess watcher;
    watcher.start(QStringLiteral(KV_CLIPS_PEER),
                  {path, name, QStringLiteral("wait"), QStringLiteral("from test"), QStringLiteral("60000")});
    ASSERT_TRUE(watcher.waitForReadyRead(60000));
    EXPECT_EQ("ready\n", watcher.readLine().toStdString());
    doc.AddClip(U16("from test"), U16("T"));
    doc.Notify(&view, HINT_CLIPS);
    EXPECT_EQ(2, counter.Read());
    ASSERT_TRUE(watcher.waitForFinished(60000));
    EXPECT_EQ(0, watcher.exitCode());
    EXPECT_EQ("clip from peer|P\nclip from test|T\n", watcher.readAllStandardOutput().toStdString());
    doc.RemoveView(&view);
  }
  CTextClips::SetDefaultLocation(QString(), nullptr);
  counter.Close();
  CSharedCounter::RemoveShared(name);
}

}  // namespace
