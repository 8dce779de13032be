// Tests of CStringTable's parser and loader: line format and escapes, malformed lines, language
// choice and the fallbacks, prompt/tool-tip splitting, filter conversion, the current table.
#include "stringtable.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// ---- Parsing one table ---------------------------------------------------------------------

struct ParseRow {
    const char* name;
    const char* input;
    int id;                 // entry to look at, 0 for none
    const char* text;       // expected text of that entry (UTF-8)
    int entries;            // expected number of entries
    int errors;             // expected number of error messages
};

class ParseTest : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseTest, Row)
{
    const ParseRow& row = GetParam();
    QHash<int, QString> entries;
    QStringList errors;
    const bool clean = CStringTable::Parse(QByteArray(row.input), QStringLiteral("t"), &entries, &errors);
    EXPECT_EQ(entries.size(), row.entries) << errors.join(u'\n').toStdString();
    EXPECT_EQ(errors.size(), row.errors) << errors.join(u'\n').toStdString();
    EXPECT_EQ(clean, row.errors == 0);
    if (row.id != 0) {
        ASSERT_TRUE(entries.contains(row.id));
        EXPECT_EQ(entries.value(row.id), U(row.text));
    }
}

const ParseRow kParseRows[] = {
    // well-formed lines
    {"plain", "314\tElapsed time: %1.7f sec\n", 314, "Elapsed time: %1.7f sec", 1, 0},
    {"last_line_without_newline", "1\ta", 1, "a", 1, 0},
    {"crlf_line_end", "1\tabc\r\n2\tdef\r\n", 2, "def", 2, 0},
    {"leading_blank_kept", "323\t ( Please input )\n", 323, " ( Please input )", 1, 0},
    {"second_tab_is_text", "1\ta\tb\n", 1, "a\tb", 1, 0},
    {"empty_text", "5\t\n", 5, "", 1, 0},
    {"utf8_text", "57345\t\xE5\xB0\xB1\xE7\xBB\xAA\n", 57345, "\xE5\xB0\xB1\xE7\xBB\xAA", 1, 0},
    {"byte_order_mark_skipped", "\xEF\xBB\xBF" "7\tx\n", 7, "x", 1, 0},
    {"comments_and_blank_lines", "# header\n\n   \n#9\tnot an entry\n9\tyes\n", 9, "yes", 1, 0},
    {"max_id", "65535\tlast\n", 65535, "last", 1, 0},
    // escapes
    {"escape_newline", "1\tprompt\\ntip\n", 1, "prompt\ntip", 1, 0},
    {"escape_tab", "1\t&Find\\tF3\n", 1, "&Find\tF3", 1, 0},
    {"escape_backslash", "1\tnew-line(\\\\n)\n", 1, "new-line(\\n)", 1, 0},
    {"escape_backslash_then_n", "1\t\\\\\\n\n", 1, "\\\n", 1, 0},
    // malformed lines are skipped and reported, the rest still loads
    {"no_tab", "1 text\n2\tok\n", 2, "ok", 1, 1},
    {"id_not_a_number", "x1\ttext\n", 0, "", 0, 1},
    {"id_with_sign", "+1\ttext\n", 0, "", 0, 1},
    {"id_with_space", " 1\ttext\n", 0, "", 0, 1},
    {"id_zero", "0\ttext\n", 0, "", 0, 1},
    {"id_too_large", "65536\ttext\n", 0, "", 0, 1},
    {"id_overflowing_int", "99999999999999999999\ttext\n", 0, "", 0, 1},
    {"empty_id", "\ttext\n", 0, "", 0, 1},
    {"unknown_escape", "1\tC:\\temp\\x\n2\tok\n", 2, "ok", 1, 1},
    {"trailing_backslash", "1\tabc\\\n", 0, "", 0, 1},
    {"duplicate_keeps_first", "4\tfirst\n4\tsecond\n", 4, "first", 1, 1},
    {"invalid_utf8", "1\t\xFF\xFE\n", 1, "\xEF\xBF\xBD\xEF\xBF\xBD", 1, 1},
    {"empty_input", "", 0, "", 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Lines, ParseTest, ::testing::ValuesIn(kParseRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParseErrors, NameSourceLineAndEarlierDefinition)
{
    QStringList errors;
    QHash<int, QString> entries;
    CStringTable::Parse("# c\n4\ta\n4\tb\n", QStringLiteral("k.txt"), &entries, &errors);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.at(0).startsWith(QStringLiteral("k.txt:3:"))) << errors.at(0).toStdString();
    EXPECT_TRUE(errors.at(0).contains(QStringLiteral("line 2"))) << errors.at(0).toStdString();
}

TEST(ParseErrors, HugeInputWithoutLineBreaksIsOneBadLine)
{
    QByteArray junk(4 * 1024 * 1024, 'x');
    QHash<int, QString> entries;
    QStringList errors;
    EXPECT_FALSE(CStringTable::Parse(junk, QStringLiteral("junk"), &entries, &errors));
    EXPECT_TRUE(entries.isEmpty());
    EXPECT_EQ(errors.size(), 1);
}

// ---- Loading files: language choice and fallbacks ------------------------------------------

class LoadFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_english = Write("en.txt", "1\tOne\n2\tTwo\n3\tprompt\\ntip\n");
        // 2 is missing in Chinese; 9 exists only in Chinese.
        m_chinese = Write("zh.txt", "1\t\xE4\xB8\x80\n3\t\xE6\x8F\x90\xE7\xA4\xBA\\n\xE6\x8F\x90\xE7\xA4\xBA\xE6\xA1\x86\n9\tnine\n");
    }
    QString Write(const char* name, const QByteArray& content)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    QTemporaryDir m_dir;
    QString m_english, m_chinese;
};

struct FallbackRow {
    int language;       // asked for
    int id;
    const char* text;   // expected Get(id), UTF-8
};

TEST_F(LoadFilesTest, FallbackTable)
{
    const FallbackRow rows[] = {
        {2052, 1, "\xE4\xB8\x80"},  // Chinese entry wins
        {2052, 2, "Two"},           // missing in Chinese: English
        {2052, 4, ""},              // missing in both: empty
        {2052, 9, "nine"},          // only in Chinese
        {1033, 1, "One"},
        {1033, 9, ""},              // the Chinese table is not read for English
        {0, 1, "One"},              // anything but 2052 means English
        {1041, 1, "One"},
        {-1, 1, "One"},
        {1028, 1, "One"},           // traditional Chinese has no table
    };
    for (const FallbackRow& row : rows) {
        CStringTable table;
        EXPECT_TRUE(table.LoadFiles(row.language, m_english, m_chinese)) << table.Errors().join(u';').toStdString();
        EXPECT_EQ(table.Get(row.id), U(row.text)) << "language " << row.language << " id " << row.id;
        EXPECT_EQ(table.Contains(row.id), *row.text != '\0') << "language " << row.language << " id " << row.id;
    }
}

TEST_F(LoadFilesTest, LanguageIsNormalised)
{
    CStringTable table;
    table.LoadFiles(2052, m_english, m_chinese);
    EXPECT_EQ(table.LanguageId(), 2052);
    table.LoadFiles(1041, m_english, m_chinese);
    EXPECT_EQ(table.LanguageId(), 1033);
}

TEST_F(LoadFilesTest, IdsAreTheSortedUnion)
{
    CStringTable table;
    table.LoadFiles(2052, m_english, m_chinese);
    EXPECT_EQ(table.Ids(), (QList<int>{1, 2, 3, 9}));
    table.LoadFiles(1033, m_english, m_chinese);
    EXPECT_EQ(table.Ids(), (QList<int>{1, 2, 3}));
}

TEST_F(LoadFilesTest, ReloadReplacesEverything)
{
    CStringTable table;
    table.LoadFiles(2052, m_english, m_chinese);
    const QString other = Write("other.txt", "7\tseven\n");
    table.LoadFiles(2052, other, m_dir.filePath(QStringLiteral("none.txt")));
    EXPECT_EQ(table.Get(1), QString());
    EXPECT_EQ(table.Get(9), QString());
    EXPECT_EQ(table.Get(7), QStringLiteral("seven"));
}

TEST_F(LoadFilesTest, MissingFilesAreReportedNotFatal)
{
    CStringTable table;
    EXPECT_FALSE(table.LoadFiles(2052, m_english, m_dir.filePath(QStringLiteral("missing.txt"))));
    ASSERT_EQ(table.Errors().size(), 1);
    EXPECT_TRUE(table.Errors().at(0).contains(QStringLiteral("missing.txt")));
    EXPECT_EQ(table.Get(1), QStringLiteral("One"));  // English still answers

    EXPECT_FALSE(table.LoadFiles(1033, m_dir.filePath(QStringLiteral("gone.txt")), m_chinese));
    EXPECT_EQ(table.Get(1), QString());
}

TEST_F(LoadFilesTest, MalformedLinesAreReportedAndSkipped)
{
    const QString bad = Write("bad.txt", "1\tgood\nnot a line\n2\tbad \\q escape\n");
    CStringTable table;
    EXPECT_FALSE(table.LoadFiles(1033, bad, QString()));
    EXPECT_EQ(table.Errors().size(), 2);
    EXPECT_EQ(table.Get(1), QStringLiteral("good"));
    EXPECT_EQ(table.Get(2), QString());
}

TEST(EmptyTable, AnswersEmptyStrings)
{
    CStringTable table;
    EXPECT_EQ(table.LanguageId(), 1033);
    EXPECT_EQ(table.Get(314), QString());
    EXPECT_EQ(table.GetPrompt(314), QString());
    EXPECT_EQ(table.GetToolTip(314), QString());
    EXPECT_FALSE(table.Contains(314));
    EXPECT_TRUE(table.Ids().isEmpty());
}

// ---- Prompt, tool tip and fields -----------------------------------------------------------

struct SplitRow {
    const char* text;
    const char* prompt;
    const char* toolTip;
    const char* field2;
};

TEST(SplitFields, PromptToolTipAndFields)
{
    const SplitRow rows[] = {
        {"To match in the text\nFind and Match", "To match in the text", "Find and Match", ""},
        {"Open a text file", "Open a text file", "", ""},
        {"", "", "", ""},
        {"\nTip only", "", "Tip only", ""},
        {"Prompt only\n", "Prompt only", "", ""},
        {"Korvane\n\nRegex Workspace", "Korvane", "", "Regex Workspace"},
        {"a\nb\nc\nd", "a", "b", "c"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const SplitRow& row : rows) {
        QString escaped = U(row.text);
        escaped.replace(u'\n', QStringLiteral("\\n"));
        const QString path = dir.filePath(QStringLiteral("t.txt"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("100\t" + escaped.toUtf8() + "\n");
        f.close();
        CStringTable table;
        ASSERT_TRUE(table.LoadFiles(1033, path, QString()));
        EXPECT_EQ(table.GetPrompt(100), U(row.prompt)) << row.text;
        EXPECT_EQ(table.GetToolTip(100), U(row.toolTip)) << row.text;
        EXPECT_EQ(table.GetField(100, 2), U(row.field2)) << row.text;
        EXPECT_EQ(table.GetField(100, -1), QString());
        EXPECT_EQ(table.GetField(100, 99), QString());
    }
}

// ---- Language from a locale ----------------------------------------------------------------

TEST(LanguageFromLocale, SimplifiedChineseOnly)
{
    const struct {
        const char* locale;
        int language;
    } rows[] = {
        {"zh_CN", 2052}, {"zh_SG", 2052}, {"zh_Hans", 2052}, {"zh_Hans_HK", 2052},
        {"zh_TW", 1033}, {"zh_HK", 1033}, {"zh_Hant", 1033}, {"en_US", 1033},
        {"de_DE", 1033}, {"ja_JP", 1033}, {"C", 1033},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CStringTable::LanguageFromLocale(QLocale(QString::fromLatin1(row.locale))), row.language) << row.locale;
}

// ---- File-dialog filters -------------------------------------------------------------------

TEST(ToQtFilters, PairsBecomeQtFiltersInOrder)
{
    const struct {
        const char* list;
        std::vector<const char*> filters;
    } rows[] = {
        {"Text Files (*.txt)|*.txt|Match Result (*.txt;*.csv)|*.txt;*.csv|All Files (*.*)|*.*||",
         {"Text Files (*.txt)", "Match Result (*.txt *.csv)", "All Files (*.*)"}},
        {"All files (*.*)|*.*||", {"All files (*.*)"}},
        // a description without its own pattern part, and a list without the closing "||"
        {"Workspace|*.rws", {"Workspace (*.rws)"}},
        {"\xE6\x96\x87\xE6\x9C\xAC (*.txt)|*.txt||", {"\xE6\x96\x87\xE6\x9C\xAC (*.txt)"}},
        {"", {}},
        {"||", {}},
        {"Dangling", {}},
    };
    for (const auto& row : rows) {
        QStringList expected;
        for (const char* f : row.filters)
            expected << U(f);
        EXPECT_EQ(CStringTable::ToQtFilters(U(row.list)), expected) << row.list;
    }
}

// ---- The process-wide table ----------------------------------------------------------------

TEST(FormatStrings, EachPlaceholderTakesOneArgumentInOrder)
{
    struct Row {
        const char* format;
        QStringList args;
        const char* expected;
    } rows[] = {
        {"%s - %s", {"a.rws", "Korvane"}, "a.rws - Korvane"},
        {"%s - %s", {"%s", "Korvane"}, "%s - Korvane"},  // an argument's own "%s" stays
        {"\"%s\" (%s)", {"x", "y", "z"}, "\"x\" (y)"},      // extra arguments are ignored
        {"%s and %s", {"one"}, "one and %s"},
        {"no placeholder", {"x"}, "no placeholder"},
        {"", {}, ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(QString::fromUtf8(r.expected), CStringTable::FormatStrings(QString::fromUtf8(r.format), r.args))
            << r.format;
}

TEST(CurrentTable, SetCurrentSwitchesTheLanguage)
{
    CStringTable::SetCurrent(2052);
    EXPECT_EQ(CStringTable::Current().LanguageId(), 2052);
    EXPECT_EQ(CStringTable::Str(57345), U("\xE5\xB0\xB1\xE7\xBB\xAA"));  // "Ready"
    CStringTable::SetCurrent(1033);
    EXPECT_EQ(CStringTable::Current().LanguageId(), 1033);
    EXPECT_EQ(CStringTable::Str(57345), QStringLiteral("Ready"));
    EXPECT_EQ(CStringTable::Str(1), QString());
}

}  // namespace
