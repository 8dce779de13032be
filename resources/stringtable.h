// String tables: every user-visible text of one deliverable, keyed by number, in English (1033)
// and Simplified Chinese (2052). The tables are text files compiled in as Qt resources (the
// format is in resources/README.md); CStringTable parses them and answers Get(id).
//
// The same source builds two libraries: korvane_strings (korvane's tables) and fennic_strings
// (the plugin's own tables, KORVANE_STRINGS_FENNIC defined). Each library puts the class into
// its own inline namespace, so a binary that links both, or a plugin loaded into korvane, never
// binds one deliverable's tables to the other's code.
//
// Tested by resources/tests/stringtable_test.cpp and resources/tests/tables_test.cpp.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QByteArray;
class QLocale;

#if defined(KORVANE_STRINGS_FENNIC)
#define KORVANE_STRINGS_NS strings_fennic
#else
#define KORVANE_STRINGS_NS strings_korvane
#endif

inline namespace KORVANE_STRINGS_NS {

class CStringTable {
public:
    static constexpr int kEnglish = 1033;
    static constexpr int kSimplifiedChinese = 2052;

    // An empty English table: every Get answers an empty string.
    CStringTable();
    // This deliverable's built-in tables for the language (see NormalizeLanguage).
    explicit CStringTable(int languageId);

    // Replaces the content with this deliverable's built-in tables. Returns false when a table
    // could not be read or had malformed lines (Errors() says which); whatever parsed is kept.
    bool LoadBuiltIn(int languageId);
    // Replaces the content with the two given table files (Qt resource paths or ordinary files).
    // The English table is the base; the Chinese one is read only for language 2052. A missing
    // or unreadable file leaves that table empty and is reported through Errors().
    bool LoadFiles(int languageId, const QString& englishPath, const QString& chinesePath);

    // 2052 or 1033: the language the table answers in.
    int LanguageId() const { return m_language; }

    // The text of an entry: the Chinese one when the language is 2052 and it has the entry,
    // else the English one, else an empty string.
    QString Get(int id) const;
    // Whether either table has the entry.
    bool Contains(int id) const;

    // A command's string is "prompt\ntool tip". GetPrompt is the text before the first line
    // break (the whole text when there is none); GetToolTip the text after it, up to a second
    // line break if any (empty when there is no line break).
    QString GetPrompt(int id) const;
    QString GetToolTip(int id) const;
    // Field `index` (from 0) of a text whose fields are separated by line breaks, such as the
    // document string; empty when the text has fewer fields.
    QString GetField(int id, int index) const;

    // Every id of the table in the answer language and of the English table, ascending.
    QList<int> Ids() const;
    // The raw entries of one language's table as loaded (1033 or 2052).
    const QHash<int, QString>& Entries(int languageId) const;
    // Problems met while loading, each "source:line: message"; empty after a clean load.
    const QStringList& Errors() const { return m_errors; }

    // 2052 stays 2052; every other value, 0 included, means English.
    static int NormalizeLanguage(int languageId);
    // 2052 for Chinese written in simplified script (China, Singapore, or no country given),
    // 1033 for everything else, traditional Chinese included (it has no table of its own).
    static int LanguageFromLocale(const QLocale& locale);

    // Parses one table (UTF-8, an optional byte-order mark, LF or CR LF line ends). Entries that
    // parse are added to `entries`; every malformed line is skipped and described in `errors`.
    // Returns true when there was no error.
    static bool Parse(const QByteArray& data, const QString& sourceName,
                      QHash<int, QString>* entries, QStringList* errors);

    // The process-wide table of this deliverable. SetCurrent loads it for a language; call it
    // once at start-up, before any other thread reads strings. Current() without an earlier
    // SetCurrent loads the table for the language of the default QLocale (this is how the plugin
    // follows the host's language choice).
    static void SetCurrent(int languageId);
    static const CStringTable& Current();
    // Current().Get(id).
    static QString Str(int id);
    // Puts the arguments in place of the format's "%s", one each, in order; a "%s" inside an
    // argument stays as it is. Extra arguments are ignored, missing ones leave their "%s".
    static QString FormatStrings(QString format, const QStringList& args);

    // Converts a file-dialog filter list of the form "Text Files (*.txt)|*.txt|All Files
    // (*.*)|*.*||" into Qt's filter strings, one per description/pattern pair and in the same
    // order, so that a filter index counted from 1 keeps its meaning. Each result is the
    // description without its own parenthesised part, then the patterns (';' becomes ' ') in
    // parentheses: "Match Result (*.txt *.csv)".
    static QStringList ToQtFilters(const QString& filterList);

private:
    int m_language = kEnglish;
    QHash<int, QString> m_english;
    QHash<int, QString> m_chinese;
    QStringList m_errors;
};

}  // inline namespace KORVANE_STRINGS_NS
