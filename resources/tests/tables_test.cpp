// Checks of the built-in tables of one deliverable (korvane, or fennic when built against
// fennic_strings): both languages load cleanly, have the same ids in the same order, agree in
// placeholders, line breaks, mnemonics, shortcut texts, filter patterns and submenu paths; the
// id header and the English table name the same numbers; exact texts are spot-checked.
#include "stringtable.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <string>

namespace {

#if defined(KORVANE_STRINGS_FENNIC)
constexpr char kSet[] = "fennic";
#else
constexpr char kSet[] = "korvane";
#endif

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
std::string S(const QString& s) { return s.toStdString(); }

QString ResourcePath(int language)
{
    return QStringLiteral(":/%1/strings/%1.%2.txt").arg(QLatin1String(kSet)).arg(language);
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Ids in file order.
QList<int> IdsInOrder(const QByteArray& data)
{
    QList<int> ids;
    for (const QByteArray& line : data.split('\n')) {
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        ids << line.left(line.indexOf('\t')).toInt();
    }
    return ids;
}

bool InRange(int id, int low, int high) { return id >= low && id <= high; }

// Menu and dialog captions that carry "&" mnemonics (and "\t" shortcut texts).
bool IsCaption(int id)
{
#if defined(KORVANE_STRINGS_FENNIC)
    return InRange(id, 3100, 3299);
#else
    return InRange(id, 2000, 2299) || InRange(id, 2460, 2471);
#endif
}

// Code templates: generated program code, identical in every language.
bool IsTemplate(int id)
{
#if defined(KORVANE_STRINGS_FENNIC)
    return InRange(id, 1100, 1699);
#else
    (void)id;
    return false;
#endif
}

// Texts that are the same in both languages on purpose (names, formats, code).
bool IsLanguageNeutral(int id)
{
#if defined(KORVANE_STRINGS_FENNIC)
    static const QSet<int> ids{1000, 1001, 1003};
#else
    static const QSet<int> ids{291, 2700, 2701, 2702, 2703, 2704, 2803};
#endif
    return ids.contains(id) || IsTemplate(id);
}

// The template placeholders of the code generator.
const QRegularExpression& TemplatePlaceholder()
{
    static const QRegularExpression re(QStringLiteral("%(?:regex|text|replaceto|flags)%"));
    return re;
}

// printf conversions, in order ("%%" included), after the template placeholders are removed.
QStringList PrintfSpecs(QString text)
{
    text.remove(TemplatePlaceholder());
    static const QRegularExpression re(QStringLiteral(
        "%(?:%|[-+ #0]*(?:\\d+|\\*)?(?:\\.(?:\\d+|\\*))?(?:hh|h|ll|l|L|q|j|z|t)?[diouxXeEfFgGaAcsSpn])"));
    QStringList specs;
    for (auto it = re.globalMatch(text); it.hasNext();)
        specs << it.next().captured();
    return specs;
}

QStringList TemplateSpecs(const QString& text)
{
    QStringList specs;
    for (auto it = TemplatePlaceholder().globalMatch(text); it.hasNext();)
        specs << it.next().captured();
    return specs;
}

// The mnemonic letter of a caption ("Cu&t" -> 'T'); '\0' when it has none. "&&" is a literal &.
QChar Mnemonic(const QString& caption, int* count)
{
    QChar letter;
    *count = 0;
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != u'&')
            continue;
        if (caption.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        ++*count;
        letter = caption.at(i + 1).toUpper();
    }
    return letter;
}

QString ShortcutText(const QString& caption)
{
    const qsizetype tab = caption.indexOf(u'\t');
    return tab < 0 ? QString() : caption.mid(tab);
}

bool IsFilterList(const QString& text) { return text.endsWith(QStringLiteral("||")) && text.contains(QStringLiteral("|*")); }

class BuiltInTables : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        english = new CStringTable(1033);
        chinese = new CStringTable(2052);
    }
    static void TearDownTestSuite()
    {
        delete english;
        delete chinese;
        english = chinese = nullptr;
    }
    static const QHash<int, QString>& En() { return english->Entries(1033); }
    static const QHash<int, QString>& Zh() { return chinese->Entries(2052); }
    static QList<int> SortedEnglishIds()
    {
        QList<int> ids = En().keys();
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    static CStringTable* english;
    static CStringTable* chinese;
};
CStringTable* BuiltInTables::english = nullptr;
CStringTable* BuiltInTables::chinese = nullptr;

TEST_F(BuiltInTables, LoadWithoutErrors)
{
    EXPECT_TRUE(english->Errors().isEmpty()) << S(english->Errors().join(u'\n'));
    EXPECT_TRUE(chinese->Errors().isEmpty()) << S(chinese->Errors().join(u'\n'));
    EXPECT_GT(En().size(), 50);
    EXPECT_EQ(chinese->LanguageId(), 2052);
}

TEST_F(BuiltInTables, SameIdsInSameOrderInBothLanguages)
{
    const QList<int> en = IdsInOrder(ReadAll(ResourcePath(1033)));
    const QList<int> zh = IdsInOrder(ReadAll(ResourcePath(2052)));
    ASSERT_FALSE(en.isEmpty());
    for (int id : en)
        EXPECT_TRUE(Zh().contains(id)) << "missing in Chinese: " << id;
    for (int id : zh)
        EXPECT_TRUE(En().contains(id)) << "only in Chinese: " << id;
    EXPECT_EQ(en, zh) << "the two files list their entries in different orders";
}

// Features land in parallel and each picks its numbers: a number listed twice would make the
// loader keep the first text and silently show the wrong one for the second.
TEST_F(BuiltInTables, NoNumberListedTwice)
{
    for (int language : {1033, 2052}) {
        QSet<int> seen;
        for (int id : IdsInOrder(ReadAll(ResourcePath(language)))) {
            EXPECT_FALSE(seen.contains(id)) << language << ": " << id << " is listed twice";
            seen.insert(id);
        }
    }
}

TEST_F(BuiltInTables, FilesHaveNoInvisibleTrailingBlanks)
{
    for (int language : {1033, 2052}) {
        int lineNo = 0;
        for (const QByteArray& line : ReadAll(ResourcePath(language)).split('\n')) {
            ++lineNo;
            EXPECT_FALSE(line.endsWith(' ') || line.endsWith('\t') || line.endsWith('\r'))
                << language << ":" << lineNo << " ends in white space (write texts so they end visibly)";
        }
    }
}

TEST_F(BuiltInTables, PlaceholdersAgree)
{
    for (int id : SortedEnglishIds()) {
        const QString en = En().value(id), zh = Zh().value(id);
        EXPECT_EQ(PrintfSpecs(en), PrintfSpecs(zh)) << "printf placeholders of " << id << ": " << S(zh);
        EXPECT_EQ(TemplateSpecs(en), TemplateSpecs(zh)) << "template placeholders of " << id;
    }
}

TEST_F(BuiltInTables, LineBreaksAndTabsAgree)
{
    for (int id : SortedEnglishIds()) {
        const QString en = En().value(id), zh = Zh().value(id);
        EXPECT_EQ(en.count(u'\n'), zh.count(u'\n')) << "line breaks (prompt/tool tip, fields) of " << id;
        EXPECT_EQ(en.count(u'\t'), zh.count(u'\t')) << "tabs of " << id;
    }
}

TEST_F(BuiltInTables, CaptionsKeepMnemonicAndShortcut)
{
    int captions = 0;
    for (int id : SortedEnglishIds()) {
        if (!IsCaption(id))
            continue;
        ++captions;
        const QString en = En().value(id), zh = Zh().value(id);
        int enCount = 0, zhCount = 0;
        const QChar enLetter = Mnemonic(en, &enCount);
        const QChar zhLetter = Mnemonic(zh, &zhCount);
        EXPECT_LE(enCount, 1) << id << ": more than one mnemonic in " << S(en);
        EXPECT_EQ(zhCount, enCount) << id << ": " << S(zh);
        EXPECT_EQ(zhLetter, enLetter) << id << ": " << S(zh);
        if (enCount == 1 && !en.contains(QStringLiteral("(&"))) {
            // The Chinese caption carries the English letter as a "(&X)" suffix.
            EXPECT_TRUE(zh.contains(QStringLiteral("(&%1)").arg(enLetter))) << id << ": " << S(zh);
        }
        EXPECT_EQ(ShortcutText(zh), ShortcutText(en)) << id << ": shortcut text differs";
        EXPECT_EQ(zh.contains(QStringLiteral("...")), en.contains(QStringLiteral("..."))) << id << ": ellipsis";
    }
    EXPECT_GT(captions, 0);
}

TEST_F(BuiltInTables, FilterPatternsAgree)
{
    int filters = 0;
    for (int id : SortedEnglishIds()) {
        const QString en = En().value(id);
        if (!IsFilterList(en))
            continue;
        ++filters;
        const QStringList enParts = en.split(u'|'), zhParts = Zh().value(id).split(u'|');
        ASSERT_EQ(enParts.size(), zhParts.size()) << "filter " << id;
        for (qsizetype i = 1; i < enParts.size(); i += 2)
            EXPECT_EQ(enParts.at(i), zhParts.at(i)) << "filter " << id << " pattern " << i;
        // Each description names its patterns, which the Qt dialog reads.
        const QStringList qt = CStringTable::ToQtFilters(Zh().value(id));
        EXPECT_EQ(qt.size(), (enParts.size() - 2) / 2) << "filter " << id;
    }
    EXPECT_GT(filters, 0);
}

TEST_F(BuiltInTables, SubmenuPathsStayConsistent)
{
    // Plugin menu texts "Group::Convert ..." put commands with one prefix into one popup; the
    // translation must keep the levels and map one English prefix to one Chinese prefix.
    QMap<QString, QSet<QString>> prefixes;
    for (int id : SortedEnglishIds()) {
        const QString en = En().value(id), zh = Zh().value(id);
        EXPECT_EQ(en.count(QStringLiteral("::")), zh.count(QStringLiteral("::"))) << id;
        if (en.contains(QStringLiteral("::")))
            prefixes[en.section(QStringLiteral("::"), 0, 0)].insert(zh.section(QStringLiteral("::"), 0, 0));
    }
    for (auto it = prefixes.cbegin(); it != prefixes.cend(); ++it)
        EXPECT_EQ(it.value().size(), 1) << S(it.key()) << " is translated in different ways";
}

TEST_F(BuiltInTables, EveryTextIsTranslatedUnlessNeutral)
{
    for (int id : SortedEnglishIds()) {
        const QString en = En().value(id), zh = Zh().value(id);
        if (IsLanguageNeutral(id))
            EXPECT_EQ(zh, en) << id << " is the same text in every language";
        else
            EXPECT_NE(zh, en) << id << " is not translated";
    }
}

// ---- The id header names exactly the table's numbers ---------------------------------------

struct NamedId {
    QString name;
    int value;
    bool noString;
};

QList<NamedId> ParseHeader()
{
    QFile f(QStringLiteral(TABLES_IDS_HEADER));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression re(
        QStringLiteral("^\\s*inline constexpr int (\\w+) = (\\d+);(.*)$"));
    QList<NamedId> ids;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        const auto m = re.match(line);
        if (m.hasMatch()) {
            ids << NamedId{m.captured(1), m.captured(2).toInt(), m.captured(3).contains(QStringLiteral("no string"))};
        } else if (!line.trimmed().startsWith(QStringLiteral("//"))) {
            EXPECT_FALSE(line.contains(QStringLiteral("constexpr"))) << "unexpected form: " << S(line);
        }
    }
    return ids;
}

TEST_F(BuiltInTables, HeaderAndEnglishTableNameTheSameNumbers)
{
    const QList<NamedId> named = ParseHeader();
    ASSERT_FALSE(named.isEmpty()) << "cannot read " << TABLES_IDS_HEADER;

    QSet<int> covered;
    QMap<QString, int> firsts;
    QSet<QString> names;
    for (const NamedId& n : named) {
        EXPECT_FALSE(names.contains(n.name)) << S(n.name) << " is defined twice";
        names.insert(n.name);
        if (n.noString)
            continue;
        EXPECT_TRUE(En().contains(n.value)) << S(n.name) << " = " << n.value << " has no English entry";
        covered.insert(n.value);
        if (n.name.endsWith(QStringLiteral("_FIRST")))
            firsts.insert(n.name.chopped(6), n.value);
    }
    // NAME_FIRST .. NAME_LAST cover a range of entries.
    for (const NamedId& n : named) {
        if (n.noString || !n.name.endsWith(QStringLiteral("_LAST")) || !firsts.contains(n.name.chopped(5)))
            continue;
        for (int id = firsts.value(n.name.chopped(5)); id <= n.value; ++id)
            covered.insert(id);
    }
    for (int id : SortedEnglishIds())
        EXPECT_TRUE(covered.contains(id)) << id << " has no name in " << TABLES_IDS_HEADER;
}

// Two commands on one number would run the same handler and share one prompt.
TEST_F(BuiltInTables, CommandIdsAreDistinct)
{
    QMap<int, QString> byValue;
    for (const NamedId& n : ParseHeader()) {
        if (!n.name.startsWith(QStringLiteral("ID_")))
            continue;
        EXPECT_FALSE(byValue.contains(n.value))
            << S(n.name) << " and " << S(byValue.value(n.value)) << " are both " << n.value;
        byValue.insert(n.value, n.name);
    }
}

// ---- Exact texts ---------------------------------------------------------------------------

struct ExactRow {
    int id;
    int language;
    const char* text;  // UTF-8, C++ escapes
};

TEST_F(BuiltInTables, ExactTexts)
{
#if defined(KORVANE_STRINGS_FENNIC)
    const ExactRow rows[] = {
        {1, 1033, "C++ string"},
        {2, 1033, "Visual Basic string"},
        {5, 1033, "Java string"},
        {265, 1033, "All files (*.*)|*.*||"},
        {267, 1033, "Convert HTML Entities in selected text( example: &lt;a&gt; => <a> )"},
        {513, 1033, "Alternative::Alternative of strings"},
        {514, 1033, "Optimize alternative of fixed strings( example: aa|ab|ac => a[abc] )"},
        {515, 1033, "Group::Convert to noncapture group"},
        {601, 1033, "To test if a string match the pattern exactly."},
        {1002, 1033, "RegExp object"},
        {1003, 1033, "java.util.regex"},
        {1100, 1033, "const char * str = %regex%;"},
        {1101, 1033,
         "#include \"tarno.h\"\n\n// regex object\nCRegexpT <char> re(%regex%%flags%);\n\n// match result\n"
         "MatchResult result = re.MatchExact(%text%);\n\n// match exactly ?\nbool yesorno = result.IsMatched();\n"},
        {1204, 1033,
         "using namespace std;\nusing namespace regex;\n\n// declare\nrpattern pat(%regex%, %flags%);\n\n// string\n"
         "string str(%text%);\n\nint count = pat.count( str );\n\n// result\ncout << \"number of matches: \" << count << endl;"},
        {1301, 1033,
         "Dim regex              ' Declare\nSet regex = New RegExp ' Create instance\n\nregex.Pattern    = %regex%\n"
         "%flags%\nIf regex.Test(%text%) Then\n    ' Found\nElse\n    ' Not found\nEnd If"},
        {1504, 1033, "String str = %text%;\n\n// split\nString [] strs = str.split(%regex%);"},
        {1101, 2052,
         "#include \"tarno.h\"\n\n// regex object\nCRegexpT <char> re(%regex%%flags%);\n\n// match result\n"
         "MatchResult result = re.MatchExact(%text%);\n\n// match exactly ?\nbool yesorno = result.IsMatched();\n"},
        {517, 2052, "\xE5\x88\x86\xE7\xBB\x84::\xE8\xBD\xAC\xE6\x8D\xA2\xE4\xB8\xBA\xE6\x8D\x95\xE8\x8E\xB7\xE5\x88\x86\xE7\xBB\x84"},
    };
#else
    const ExactRow rows[] = {
        {314, 1033, "Elapsed time: %1.7f sec"},
        {322, 1033, "%d of %d results"},
        {57345, 1033, "Ready"},
        {291, 1033, "Korvane"},
        {262, 1033, "'' - (Zero length string)"},
        {280, 1033, "Capture group(%d)"},
        {343, 1033, "Named balancing<%s>"},
        {312, 1033, "( Please drop text here )"},
        {323, 1033, " ( Please input regular expression here, eg: (a+)b )"},
        {325, 1033, " ( Please input replace-to pattern here, eg: $1c )"},
        {32778, 1033, "Let dot(.) can match all char including new-line(\\n)\nSingleline"},
        {32781, 1033, "Let \\G match the end of last match\nGlobal"},
        {32798, 1033, "Show or hide match buttons.\nMatch Buttons"},
        {57665, 1033, "Quit the application; prompts to save documents\nExit"},
        {2150, 1033, "&Find\tF3"},
        {2151, 1033, "&Continue\tF3"},
        {2153, 1033, "Ste&p Match\tF10"},
        {2400, 1033, "Please wait ..."},
        {2603, 1033, "No match found, elapsed time: %1.7f sec."},
        {2606, 1033, "Stack overflow, please check whether immoderate recursive patterns exist."},
        {296, 1033, "Split Result (*.txt;*.csv)|*.txt;*.csv|Regex Workspace (*.rws)|*.rws|All Files (*.*)|*.*||"},
        {57345, 2052, "\xE5\xB0\xB1\xE7\xBB\xAA"},
        {2150, 2052, "\xE6\x9F\xA5\xE6\x89\xBE(&F)\tF3"},
    };
#endif
    for (const ExactRow& row : rows) {
        const CStringTable& table = row.language == 2052 ? *chinese : *english;
        EXPECT_EQ(table.Get(row.id), U(row.text)) << row.id << " in " << row.language;
    }
}

#if !defined(KORVANE_STRINGS_FENNIC)
TEST_F(BuiltInTables, CommandPromptsAndToolTips)
{
    const struct {
        int id;
        const char* prompt;
        const char* toolTip;
    } rows[] = {
        {32792, "To match in the text", "Find and Match"},
        {57600, "Create a pattern", "New"},
        {32812, "Save current regex as snapshot", "Snapshot"},
        {59651, "Move to previous record", "Previous Record"},
        {32799, "Open a text file", ""},
        {57616, "Open this document", ""},
        {57624, "Open this document", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(english->GetPrompt(row.id), U(row.prompt)) << row.id;
        EXPECT_EQ(english->GetToolTip(row.id), U(row.toolTip)) << row.id;
    }
}

TEST_F(BuiltInTables, DocumentStringFields)
{
    const char* fields[] = {"Korvane", "", "Regex Workspace", "Regex Workspace (*.rws)", ".rws",
                            "Korvane.Document", "Regex Workspace Project"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(english->GetField(128, i), U(fields[i])) << "field " << i;
    // The shell type id and the extension are not translated.
    EXPECT_EQ(chinese->GetField(128, 4), QStringLiteral(".rws"));
    EXPECT_EQ(chinese->GetField(128, 5), QStringLiteral("Korvane.Document"));
}
#endif

}  // namespace
