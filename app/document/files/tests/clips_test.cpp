// Text clips: the escaping into a literal, reading lines back (comments, character literals, no
// closing quote, NUL, unpaired surrogates, odd line breaks), the list rules, and the file: every
// change a read-modify-write under the lock, so that copies changing it at the same time lose
// nothing (two in this process; twelve processes at once through clips_peer); a write failing
// at any step or a busy lock keeps the file and the change; a file that cannot be read
// completely is never replaced.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>

#include "app/document/files/clips_format.h"
#include "app/document/core/tests/headless_ui.h"
#include "app/document/files/text_clips.h"
#include "platform/file_io.h"
#include "platform/shared_counter.h"
#include "stringtable.h"

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

// The direct readings against the patterns that define them: hand-picked lines around the
// places where they could part (an empty literal, a backslash at the end or before LF, escapes
// next to the quotes), then seeded random lines over the characters that matter.
TEST(ClipsFormat, DirectReadingsGiveWhatThePatternsGive) {
  std::vector<Units> lines;
  for (const char16_t* l : {u"\"", u"\"\"", u"\"\"n", u"\"\\", u"\"\\\"", u"\"\\\"\"", u"\"\\\\\"x", u"\"a\\",
                            u"\"\\n\\r\\r\\n\"", u"\"\\\n\"", u"\"a\\\nb\"c", u"\"\\\r\nb\"", u"\"'\"'", u"\"/*\"*/",
                            u"\"x\"\"y\"", u"\"?\\?=\"", u"\"\\q\"", u"x\"y\"z", u"", u"\"\r\n\"", u"\"a\rb\"\nc"})
    lines.push_back(W(l));
  const char16_t alphabet[] = {u'"', u'\\', u'\'', u'/', u'*', u'n', u'r', u'?', u'=', u'a',
                               u'\r', u'\n', u' ', 0, 0xD800};
  std::mt19937 rng(1208);
  for (int i = 0; i < 4000; ++i) {
    Units line;
    if (i % 2 == 0) line.push_back('"');  // half of them in the written form
    const int n = static_cast<int>(rng() % 12);
    for (int k = 0; k < n; ++k) line.push_back(alphabet[rng() % (sizeof alphabet / sizeof alphabet[0])]);
    lines.push_back(line);
  }
  for (const Units& line : lines) {
    const int n = static_cast<int>(line.size());
    ASSERT_EQ(CClipsFormat::UnescapeWithPattern(line.data(), n), CClipsFormat::Unescape(line.data(), n))
        << Narrow(line);
    const TextClip a = CClipsFormat::ParseLine(line.data(), n);
    const TextClip b = CClipsFormat::ParseLineWithPattern(line.data(), n);
    ASSERT_EQ(b.text, a.text) << Narrow(line);
    ASSERT_EQ(b.name, a.name) << Narrow(line);
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
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = Path("k.clips");
    fallback = Path("fallback/k.clips");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("fallback")));
    counterName = QStringLiteral("korvane-clips-file-test-%1").arg(QCoreApplication::applicationPid());
    counter.Open(counterName);
    clips.SetLocation(path, &counter, fallback);
  }
  void TearDown() override {
    CFileIo::SetFaultPlan(nullptr);
    counter.Close();
    CSharedCounter::RemoveShared(counterName);
  }
  QString Path(const char* name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }
  static QByteArray Raw(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  QByteArray OnDisk() const { return Raw(path); }
  // The clip texts a fresh reader finds in a file.
  std::vector<std::string> Texts(const QString& file) const {
    CTextClips reader;
    reader.SetLocation(file, &counter);
    reader.LoadClips();
    std::vector<std::string> texts;
    for (const TextClip& c : reader.List().Clips())
      texts.push_back(Narrow(c.text) + (c.name.empty() ? "" : "|" + Narrow(c.name)));
    return texts;
  }
  static std::vector<std::string> Shown(const CTextClips& c) {
    std::vector<std::string> texts;
    for (const TextClip& clip : c.List().Clips())
      texts.push_back(Narrow(clip.text) + (clip.name.empty() ? "" : "|" + Narrow(clip.name)));
    return texts;
  }

  QTemporaryDir dir;
  QString path;
  QString fallback;
  QString counterName;
  mutable CSharedCounter counter;
  CTextClips clips;
};

typedef std::vector<std::string> Strings;

TEST_F(ClipsFileTest, EveryChangeIsWrittenAtOnceAsUtf16LeLinesAndTheFileGoesWithTheLastClip) {
  const int version = counter.Read();
  clips.AddClip(W(u"a\"\u4E2D"), W(u"n"));
  EXPECT_EQ(CTextClips::ESave::Saved, clips.LastSave());
  EXPECT_EQ(version + 1, counter.Read());
  EXPECT_EQ(counter.Read(), clips.Version());
  const char expected[] = "\"\0a\0\\\0\"\0\x2D\x4E\"\0n\0\r\0\n\0";
  EXPECT_EQ(QByteArray(expected, sizeof expected - 1), OnDisk());
  EXPECT_EQ(CTextClips::ESave::Unchanged, clips.Publish());  // nothing left to write
  EXPECT_EQ(1u, Texts(path).size());
  clips.RemoveClip(0);
  EXPECT_EQ(CTextClips::ESave::Deleted, clips.LastSave());
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_FALSE(QFile::exists(path + QStringLiteral(".lock")));
  EXPECT_EQ(version + 2, counter.Read());
}

TEST_F(ClipsFileTest, AMissingFileGivesNoClipsAndOddLinesGiveWhatTheyCan) {
  clips.LoadClips();  // no file
  EXPECT_EQ(0, clips.Count());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  // A lone LF between lines, no closing quote, no line end at the end.
  const char bytes[] = "\"\0x\0\"\0\n\0\"\0y\0";
  f.write(bytes, sizeof bytes - 1);
  f.close();
  clips.LoadClips();
  EXPECT_EQ((Strings{"x", "y"}), Shown(clips));
  EXPECT_FALSE(clips.HasUnsavedChanges());
  EXPECT_TRUE(clips.TakeNotice().isEmpty());
}

// Two copies of the program on one file, each changing the list it shows without having seen
// the other's changes: every change reaches the file and none undoes another.
TEST_F(ClipsFileTest, ChangesOfTwoCopiesAreMergedNeverOverwritten) {
  CTextClips other;
  other.SetLocation(path, &counter);
  clips.AddClip(W(u"a"), W(u""));
  other.Open();  // sees "a"
  clips.AddClip(W(u"b"), W(u""));
  other.AddClip(W(u"c"), W(u""));  // knows nothing of "b"
  EXPECT_EQ((Strings{"a", "b", "c"}), Texts(path));
  EXPECT_EQ((Strings{"a", "b", "c"}), Shown(other));  // what it shows is what the file holds
  // A drop into the copy that is not active goes before the clip it was dropped on.
  clips.InsertClip(1, W(u"d"), W(u""));  // this copy shows a b: before "b"
  EXPECT_EQ((Strings{"a", "d", "b", "c"}), Texts(path));
  other.SetClipName(1, W(u"B"));  // "b" in the list it shows (a b c)
  clips.RemoveClip(0);            // "a"
  EXPECT_EQ((Strings{"d", "b|B", "c"}), Texts(path));
  // Reordering: "c" to the top.
  clips.InsertClip(0, W(u"c"), W(u""));
  EXPECT_EQ((Strings{"c", "d", "b|B"}), Texts(path));
  // A rename of a clip that the other copy deleted meanwhile does not bring it back.
  other.RemoveClip(1);  // "d" in the list it shows (a d b|B c)
  clips.SetClipName(1, W(u"D"));
  EXPECT_EQ((Strings{"c", "b|B"}), Texts(path));
  // Clearing removes what this copy shows, not a clip the other added meanwhile.
  other.AddClip(W(u"e"), W(u""));
  clips.ClearClips();
  EXPECT_EQ(Strings{"e"}, Texts(path));
  EXPECT_FALSE(clips.HasUnsavedChanges());
  EXPECT_FALSE(other.HasUnsavedChanges());
}

// A drop lands where it was dropped, counted in the list as the view shows it.
TEST_F(ClipsFileTest, InsertKeepsTheListsOwnPlacesWhenNothingElseChanged) {
  struct Row {
    int index;
    std::u16string text;
    Strings after;
  } rows[] = {
      {0, u"n", {"n", "a", "b", "c"}},  {2, u"n", {"a", "b", "n", "c"}},  {3, u"n", {"a", "b", "c", "n"}},
      {99, u"n", {"a", "b", "c", "n"}}, {-3, u"n", {"n", "a", "b", "c"}}, {0, u"c", {"c", "a", "b"}},
      {1, u"a", {"b", "a", "c"}},       {2, u"a", {"b", "c", "a"}},       {3, u"b", {"a", "c", "b"}},
  };
  for (const Row& r : rows) {
    clips.ClearClips();
    for (const char16_t* t : {u"a", u"b", u"c"}) clips.AddClip(W(t), W(u""));
    CTextClipList expected = clips.List();
    expected.InsertClip(r.index, W(r.text), W(u""));
    const int at = clips.InsertClip(r.index, W(r.text), W(u""));
    EXPECT_EQ(r.after, Shown(clips)) << r.index << " " << Narrow(W(r.text));
    EXPECT_EQ(r.after, Texts(path)) << r.index;
    EXPECT_EQ(expected.Find(W(r.text)), at) << r.index;
  }
}

// A write that fails at any step (every write call of the clips file, the flush, the close,
// the rename, and the deletion of the file) leaves the file byte for byte, announces nothing,
// tells the user once, and keeps the change, which the next check writes.
TEST_F(ClipsFileTest, AFailedWriteKeepsTheFileAndTheChangeAndTellsOnce) {
  for (int i = 0; i < 20; ++i) clips.AddClip(U16("clip number " + std::to_string(100 + i)), U16("name"));
  // Every added text has the same length, so that every write makes as many calls.
  auto added = [](const char* what, int n) {
    char text[32];
    std::snprintf(text, sizeof text, "new %c %03d", what[0], n);
    return U16(text);
  };
  int calls = 0;
  {
    CFileFaultPlan count;
    count.chunkBytes = 64;
    CFileIo::SetFaultPlan(&count);
    clips.AddClip(added("counted", 0), U16(""));
    CFileIo::SetFaultPlan(nullptr);
    calls = count.writeCalls;
    clips.RemoveClip(clips.List().Find(added("counted", 0)));
  }
  ASSERT_GT(calls, 10);
  struct Step {
    const char* what;
    int writeCall;
    bool flush, close, commit;
  };
  std::vector<Step> steps;
  for (int n = 1; n <= calls; ++n) steps.push_back({"write", n, false, false, false});
  steps.push_back({"flush", 0, true, false, false});
  steps.push_back({"close", 0, false, true, false});
  steps.push_back({"commit", 0, false, false, true});
  for (const Step& step : steps) {
    const QByteArray before = OnDisk();
    const int version = counter.Read();
    const std::vector<unsigned short> text = added(step.what, step.writeCall);
    CFileFaultPlan plan;
    plan.chunkBytes = 64;
    plan.failWrite = step.writeCall;
    plan.failFlush = step.flush;
    plan.failClose = step.close;
    plan.failCommit = step.commit;
    CFileIo::SetFaultPlan(&plan);
    clips.AddClip(text, U16(""));
    EXPECT_EQ(CTextClips::ESave::Failed, clips.LastSave()) << step.what << step.writeCall;
    const QString notice = clips.TakeNotice();
    EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(path))) << notice.toStdString();
    EXPECT_TRUE(notice.contains(qt_error_string(ENOSPC))) << notice.toStdString();
    plan.writeCalls = 0;
    clips.SetClipName(0, U16("renamed"));  // fails at the same step, and says nothing more
    EXPECT_TRUE(clips.TakeNotice().isEmpty());
    CFileIo::SetFaultPlan(nullptr);
    EXPECT_EQ(before, OnDisk()) << step.what << step.writeCall;
    EXPECT_EQ(version, counter.Read()) << step.what << step.writeCall;
    EXPECT_TRUE(clips.HasUnsavedChanges());
    EXPECT_GE(clips.List().Find(text), 0);
    // The next check writes both changes.
    EXPECT_TRUE(clips.CheckVersion());
    EXPECT_FALSE(clips.HasUnsavedChanges());
    const Strings onDisk = Texts(path);
    EXPECT_EQ(Shown(clips), onDisk);
    EXPECT_EQ(Narrow(text), onDisk.back());
    EXPECT_EQ("clip number 100|renamed", onDisk.front());
    EXPECT_EQ(version + 1, counter.Read());
    // Back to the same file for the next step.
    clips.SetClipName(0, U16("name"));
    clips.RemoveClip(clips.List().Find(text));
  }
  // Deleting the file with the last clip fails the same way.
  while (clips.Count() > 1) clips.RemoveClip(0);
  const QByteArray last = OnDisk();
  CFileFaultPlan plan;
  plan.failCommit = true;
  CFileIo::SetFaultPlan(&plan);
  clips.RemoveClip(0);
  CFileIo::SetFaultPlan(nullptr);
  EXPECT_EQ(CTextClips::ESave::Failed, clips.LastSave());
  EXPECT_FALSE(clips.TakeNotice().isEmpty());
  EXPECT_EQ(last, OnDisk());
  clips.Close();
  EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ClipsFileTest, ABusyFileIsSkippedAndTheClipsAreWrittenLater) {
  clips.AddClip(W(u"first"), W(u""));
  const QByteArray before = OnDisk();
  QLockFile writer(path + QStringLiteral(".lock"));  // another copy is writing, for long
  ASSERT_TRUE(writer.tryLock(0));
  const int version = counter.Read();
  clips.AddClip(W(u"second"), W(u""));
  EXPECT_EQ(CTextClips::ESave::Busy, clips.LastSave());
  EXPECT_EQ(version, counter.Read());  // nothing written, nothing announced
  EXPECT_EQ(before, OnDisk());
  EXPECT_EQ(2, clips.Count());
  EXPECT_TRUE(clips.HasUnsavedChanges());
  EXPECT_TRUE(clips.TakeNotice().isEmpty());  // waiting is no failure
  // Another copy's version change does not throw the unwritten clip away.
  counter.Increment();
  clips.CheckVersion();
  EXPECT_EQ(2, clips.Count());
  writer.unlock();
  // The next check writes it.
  clips.CheckVersion();
  EXPECT_FALSE(clips.HasUnsavedChanges());
  EXPECT_EQ((Strings{"first", "second"}), Texts(path));
}

// A copy that died while writing leaves its lock file behind; the next change takes it over at
// once instead of waiting or giving up.
TEST_F(ClipsFileTest, ALockLeftByACopyThatDiedIsTakenOver) {
  QProcess gone;
  gone.start(QStringLiteral(KV_CLIPS_PEER), {});  // exits at once (no arguments)
  ASSERT_TRUE(gone.waitForStarted(60000));
  const qint64 deadPid = gone.processId();
  ASSERT_TRUE(gone.waitForFinished(60000));
  QFile lock(path + QStringLiteral(".lock"));
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.write(QByteArray::number(deadPid) + "\nclips_peer\n" + QSysInfo::machineHostName().toUtf8() + "\n");
  lock.close();
  clips.AddClip(W(u"after a crash"), W(u""));
  EXPECT_EQ(CTextClips::ESave::Saved, clips.LastSave());
  EXPECT_EQ(Strings{"after a crash"}, Texts(path));
}

TEST_F(ClipsFileTest, CloseWritesOnlyWhatIsUnwritten) {
  clips.AddClip(W(u"a"), W(u""));
  CTextClips stale;
  stale.SetLocation(path, &counter);
  stale.Open();
  clips.AddClip(W(u"b"), W(u""));
  const QByteArray written = OnDisk();
  const int version = counter.Read();
  stale.Close();  // loaded only: writes nothing
  EXPECT_EQ(written, OnDisk());
  EXPECT_EQ(version, counter.Read());
  EXPECT_EQ((Strings{"a", "b"}), Texts(path));
}

// Files that cannot be read completely: each is left byte for byte, the user is told once
// with the file and the reason, and the clips of the session go to the fallback file.
TEST_F(ClipsFileTest, AFileThatCannotBeReadCompletelyIsNeverReplaced) {
  struct Row {
    const char* what;
    void (*make)(const QString& path);
    QString reason;
  } rows[] = {
      {"too large",
       [](const QString& p) {
         QFile f(p);
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         f.write(CFileIo::EncodeUtf16Le(u"\"kept\"\r\n"));
         ASSERT_TRUE(f.resize(CTextClips::kReadLimit + 2));  // sparse: no time to write it
       },
       QStringLiteral("larger than 16 MB")},
      {"odd length",
       [](const QString& p) {
         QFile f(p);
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         f.write(QByteArray("\"\0k\0\"\0\r\0\n\0x", 11));
       },
       QStringLiteral("odd number of bytes")},
      {"a folder", [](const QString& p) { ASSERT_TRUE(QDir().mkpath(p)); }, qt_error_string(EISDIR)},
  };
  for (const Row& r : rows) {
    QFile::remove(path);
    QDir(path).removeRecursively();
    QFile::remove(fallback);
    r.make(path);
    const QFileInfo info(path);
    const QByteArray before = info.isDir() ? QByteArray() : OnDisk().left(64);
    const qint64 size = info.isDir() ? 0 : info.size();

    CTextClips c;
    c.SetLocation(path, &counter, fallback);
    c.Open();
    EXPECT_EQ(0, c.Count()) << r.what;
    const QString notice = c.TakeNotice();
    EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(path))) << r.what << notice.toStdString();
    EXPECT_TRUE(notice.contains(r.reason)) << r.what << notice.toStdString();
    EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(fallback))) << r.what << notice.toStdString();
    EXPECT_EQ(fallback, c.Path());
    c.AddClip(W(u"session"), W(u""));
    c.CheckVersion();
    c.Close();
    EXPECT_TRUE(c.TakeNotice().isEmpty()) << r.what;  // once
    EXPECT_EQ(Strings{"session"}, Texts(fallback)) << r.what;
    if (info.isDir()) {
      EXPECT_TRUE(QFileInfo(path).isDir()) << r.what;
    } else {
      EXPECT_EQ(size, QFileInfo(path).size()) << r.what;
      EXPECT_EQ(before, OnDisk().left(64)) << r.what;
    }
  }

  // Without a fallback the clips stay in memory, and the file is still not touched.
  QFile::remove(fallback);
  CTextClips memory;
  memory.SetLocation(path, &counter);
  memory.Open();
  EXPECT_TRUE(memory.TakeNotice().contains(QStringLiteral("only until korvane closes")));
  memory.AddClip(W(u"kept here"), W(u""));
  EXPECT_EQ(CTextClips::ESave::InMemory, memory.LastSave());
  EXPECT_EQ(Strings{"kept here"}, Shown(memory));
  EXPECT_TRUE(memory.Path().isEmpty());
  EXPECT_TRUE(QFileInfo(path).isDir());
}

// The file goes bad while this copy runs: the clips it shows move to the fallback with it.
TEST_F(ClipsFileTest, AFileThatGoesBadLaterTakesNothingWithIt) {
  clips.Open();
  clips.AddClip(W(u"mine"), W(u"M"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("odd", 3);
  f.close();
  counter.Increment();  // as the copy that wrote it would
  clips.CheckVersion();
  EXPECT_FALSE(clips.TakeNotice().isEmpty());
  EXPECT_EQ(Strings{"mine|M"}, Shown(clips));
  clips.AddClip(W(u"more"), W(u""));
  EXPECT_EQ((Strings{"mine|M", "more"}), Texts(fallback));
  EXPECT_EQ(QByteArray("odd"), OnDisk());
}

// --- Several running copies ---------------------------------------------------------------------

class ClipsProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = QDir(dir.path()).filePath(QStringLiteral("shared.clips"));
    name = QStringLiteral("korvane-clips-test-%1").arg(QCoreApplication::applicationPid());
    CSharedCounter::RemoveShared(name);
    counter.Open(name);
  }
  void TearDown() override {
    CTextClips::SetDefaultLocation(QString(), nullptr);
    counter.Close();
    CSharedCounter::RemoveShared(name);
  }

  // Starts one copy per command ({command, text, name}); all read the file first, then change it
  // at the same moment. Returns when every copy has finished.
  void RunAtOnce(const std::vector<std::array<const char*, 3>>& commands, const char* goName) {
    const QString go = QDir(dir.path()).filePath(QString::fromLatin1(goName));
    std::vector<std::unique_ptr<QProcess>> peers;
    for (const auto& c : commands) {
      peers.emplace_back(new QProcess);
      peers.back()->start(QStringLiteral(KV_CLIPS_PEER),
                          {path, name, QString::fromLatin1(c[0]), QString::fromLatin1(c[1]), QString::fromLatin1(c[2]), go});
    }
    for (auto& p : peers) {
      ASSERT_TRUE(p->waitForReadyRead(120000)) << p->readAllStandardError().toStdString();
      ASSERT_EQ("ready\n", p->readLine().toStdString());
    }
    QFile(go).open(QIODevice::WriteOnly);
    for (auto& p : peers) {
      ASSERT_TRUE(p->waitForFinished(120000));
      EXPECT_EQ(0, p->exitCode()) << p->readAllStandardError().toStdString();
    }
  }
  Strings OnDisk() {
    CTextClips reader;
    reader.SetLocation(path, &counter);
    reader.LoadClips();
    Strings texts;
    for (const TextClip& c : reader.List().Clips())
      texts.push_back(Narrow(c.text) + (c.name.empty() ? "" : "|" + Narrow(c.name)));
    std::sort(texts.begin(), texts.end());
    return texts;
  }

  QTemporaryDir dir;
  QString path;
  QString name;
  CSharedCounter counter;
};

TEST_F(ClipsProcesses, TwelveCopiesChangingAtOnceLoseNothing) {
  if (!counter.IsShared()) GTEST_SKIP() << "no shared memory on this system";
  std::vector<std::array<const char*, 3>> adds;
  static const char* const kTexts[] = {"t00", "t01", "t02", "t03", "t04", "t05",
                                       "t06", "t07", "t08", "t09", "t10", "t11"};
  for (const char* t : kTexts) adds.push_back({"add", t, ""});
  RunAtOnce(adds, "go1");
  EXPECT_EQ(Strings(std::begin(kTexts), std::end(kTexts)), OnDisk());
  EXPECT_EQ(12, counter.Read());

  // Renames, deletions and additions interleaved, each copy from the list it read before.
  RunAtOnce({{"rename", "t00", "A"}, {"remove", "t04", "-"}, {"add", "u0", ""},
             {"rename", "t01", "B"}, {"remove", "t05", "-"}, {"add", "u1", ""},
             {"rename", "t02", "C"}, {"remove", "t06", "-"}, {"add", "u2", ""},
             {"rename", "t03", "D"}, {"remove", "t07", "-"}, {"add", "u3", ""}},
            "go2");
  EXPECT_EQ((Strings{"t00|A", "t01|B", "t02|C", "t03|D", "t08", "t09", "t10", "t11", "u0", "u1", "u2", "u3"}),
            OnDisk());
  EXPECT_EQ(24, counter.Read());
}

TEST_F(ClipsProcesses, EachSeesTheOthersChangesThroughTheSharedVersion) {
  if (!counter.IsShared()) GTEST_SKIP() << "no shared memory on this system";
  EXPECT_EQ(0, counter.Read());
  CTextClips::SetDefaultLocation(path, &counter);
  HeadlessUi ui;
  RecordingView view;
  CKorvaneDoc doc(&ui);
  doc.AddView(&view);

  // The other copy adds a clip; this one sees it when its window gets the focus.
  QProcess peer;
  peer.start(QStringLiteral(KV_CLIPS_PEER),
             {path, name, QStringLiteral("add"), QStringLiteral("from peer"), QStringLiteral("P")});
  ASSERT_TRUE(peer.waitForFinished(60000));
  ASSERT_EQ(0, peer.exitCode()) << peer.readAllStandardError().toStdString();
  EXPECT_EQ("saved 1\n", peer.readAllStandardOutput().toStdString());
  EXPECT_EQ(1, counter.Read());
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
  doc.GetClips().AddClip(U16("from test"), U16("T"));
  doc.Notify(&view, HINT_CLIPS);
  EXPECT_EQ(2, counter.Read());
  ASSERT_TRUE(watcher.waitForFinished(60000));
  EXPECT_EQ(0, watcher.exitCode());
  EXPECT_EQ("clip from peer|P\nclip from test|T\n", watcher.readAllStandardOutput().toStdString());
  doc.RemoveView(&view);
}

}  // namespace
