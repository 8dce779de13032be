// String-table parser and loader; see stringtable.h.
#include "stringtable.h"

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <mutex>

inline namespace KORVANE_STRINGS_NS {

namespace {

#if defined(KORVANE_STRINGS_FENNIC)
constexpr char kTableSet[] = "fennic";
#else
constexpr char kTableSet[] = "korvane";
#endif

// Ids are 16-bit, as the command and string numbers of both deliverables are.
constexpr int kMaxId = 65535;

QString BuiltInPath(int languageId)
{
    return QStringLiteral(":/%1/strings/%1.%2.txt").arg(QLatin1String(kTableSet)).arg(languageId);
}

// Decodes the escapes \n, \t and \\ of one entry's text. Returns false (and says why) for a
// backslash before anything else or at the end, so that a mistyped escape never reaches users.
bool Unescape(const QString& raw, QString* text, QString* why)
{
    text->clear();
    text->reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != u'\\') {
            text->append(c);
            continue;
        }
        if (i + 1 >= raw.size()) {
            *why = QStringLiteral("backslash at the end of the text");
            return false;
        }
        const QChar e = raw.at(++i);
        if (e == u'n')
            text->append(u'\n');
        else if (e == u't')
            text->append(u'\t');
        else if (e == u'\\')
            text->append(u'\\');
        else {
            *why = QStringLiteral("unknown escape \\%1").arg(e);
            return false;
        }
    }
    return true;
}

// Written once by SetCurrent or by the first Current() (under g_currentMutex), read freely
// afterwards: after start-up the table never changes.
CStringTable& CurrentTable()
{
    static CStringTable table;
    return table;
}
std::mutex g_currentMutex;
std::atomic<bool> g_currentLoaded{false};

}  // namespace

CStringTable::CStringTable() = default;

CStringTable::CStringTable(int languageId)
{
    LoadBuiltIn(languageId);
}

bool CStringTable::LoadBuiltIn(int languageId)
{
    return LoadFiles(languageId, BuiltInPath(kEnglish), BuiltInPath(kSimplifiedChinese));
}

bool CStringTable::LoadFiles(int languageId, const QString& englishPath, const QString& chinesePath)
{
    m_language = NormalizeLanguage(languageId);
    m_english.clear();
    m_chinese.clear();
    m_errors.clear();

    auto readOne = [this](const QString& path, QHash<int, QString>* into) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_errors << QStringLiteral("%1: cannot be read").arg(path);
            return;
        }
        Parse(file.readAll(), path, into, &m_errors);
    };
    readOne(englishPath, &m_english);
    if (m_language == kSimplifiedChinese)
        readOne(chinesePath, &m_chinese);
    return m_errors.isEmpty();
}

QString CStringTable::Get(int id) const
{
    if (m_language == kSimplifiedChinese) {
        const auto it = m_chinese.constFind(id);
        if (it != m_chinese.constEnd())
            return it.value();
    }
    return m_english.value(id);
}

bool CStringTable::Contains(int id) const
{
    return m_english.contains(id) || (m_language == kSimplifiedChinese && m_chinese.contains(id));
}

QString CStringTable::GetPrompt(int id) const
{
    return GetField(id, 0);
}

QString CStringTable::GetToolTip(int id) const
{
    return GetField(id, 1);
}

QString CStringTable::GetField(int id, int index) const
{
    if (index < 0)
        return QString();
    const QString text = Get(id);
    qsizetype start = 0;
    for (int field = 0; field < index; ++field) {
        const qsizetype nl = text.indexOf(u'\n', start);
        if (nl < 0)
            return QString();
        start = nl + 1;
    }
    const qsizetype end = text.indexOf(u'\n', start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

QList<int> CStringTable::Ids() const
{
    QList<int> ids = m_english.keys();
    if (m_language == kSimplifiedChinese) {
        for (auto it = m_chinese.constBegin(); it != m_chinese.constEnd(); ++it) {
            if (!m_english.contains(it.key()))
                ids << it.key();
        }
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

const QHash<int, QString>& CStringTable::Entries(int languageId) const
{
    return NormalizeLanguage(languageId) == kSimplifiedChinese ? m_chinese : m_english;
}

int CStringTable::NormalizeLanguage(int languageId)
{
    return languageId == kSimplifiedChinese ? kSimplifiedChinese : kEnglish;
}

int CStringTable::LanguageFromLocale(const QLocale& locale)
{
    if (locale.language() != QLocale::Chinese)
        return kEnglish;
    if (locale.script() == QLocale::TraditionalChineseScript)
        return kEnglish;
    if (locale.script() == QLocale::SimplifiedChineseScript)
        return kSimplifiedChinese;
    // No script given: the country decides (zh_TW, zh_HK and zh_MO are written traditionally).
    const QLocale::Territory t = locale.territory();
    if (t == QLocale::Taiwan || t == QLocale::HongKong || t == QLocale::Macao)
        return kEnglish;
    return kSimplifiedChinese;
}

bool CStringTable::Parse(const QByteArray& data, const QString& sourceName,
                         QHash<int, QString>* entries, QStringList* errors)
{
    bool clean = true;
    auto fail = [&](int line, const QString& why) {
        clean = false;
        if (errors)
            errors->append(QStringLiteral("%1:%2: %3").arg(sourceName).arg(line).arg(why));
    };

    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString all = decoder(bytes);
    if (decoder.hasError())
        fail(0, QStringLiteral("the file is not valid UTF-8 (bad bytes became U+FFFD)"));

    const QStringList lines = all.split(u'\n');
    QHash<int, int> firstLine;  // id -> line that defined it, for the duplicate message
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int lineNo = int(n) + 1;
        QString line = lines.at(n);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        if (tab < 0) {
            fail(lineNo, QStringLiteral("no tab between the number and the text"));
            continue;
        }
        const QString number = line.left(tab);
        bool ok = !number.isEmpty() &&
                  std::all_of(number.cbegin(), number.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        const int id = ok ? number.toInt(&ok) : 0;
        if (!ok || id < 1 || id > kMaxId) {
            fail(lineNo, QStringLiteral("\"%1\" is not a number from 1 to %2").arg(number).arg(kMaxId));
            continue;
        }
        QString text, why;
        if (!Unescape(line.mid(tab + 1), &text, &why)) {
            fail(lineNo, why);
            continue;
        }
        if (firstLine.contains(id)) {
            fail(lineNo, QStringLiteral("%1 is already defined on line %2").arg(id).arg(firstLine.value(id)));
            continue;
        }
        firstLine.insert(id, lineNo);
        if (entries)
            entries->insert(id, text);
    }
    return clean;
}

void CStringTable::SetCurrent(int languageId)
{
    std::lock_guard<std::mutex> lock(g_currentMutex);
    CurrentTable().LoadBuiltIn(languageId);
    g_currentLoaded.store(true, std::memory_order_release);
}

const CStringTable& CStringTable::Current()
{
    if (!g_currentLoaded.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(g_currentMutex);
        if (!g_currentLoaded.load(std::memory_order_relaxed)) {
            CurrentTable().LoadBuiltIn(LanguageFromLocale(QLocale()));
            g_currentLoaded.store(true, std::memory_order_release);
        }
    }
    return CurrentTable();
}

QString CStringTable::Str(int id)
{
    return Current().Get(id);
}

QString CStringTable::FormatStrings(QString format, const QStringList& args)
{
    int from = 0;
    for (const QString& arg : args) {
        const int at = format.indexOf(QLatin1String("%s"), from);
        if (at < 0)
            break;
        format.replace(at, 2, arg);
        from = at + arg.size();
    }
    return format;
}

QStringList CStringTable::ToQtFilters(const QString& filterList)
{
    QStringList result;
    const QStringList parts = filterList.split(u'|');
    // Pairs of (description, patterns); the list ends with an empty field ("||").
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        const QString patterns = parts.at(i + 1).trimmed();
        if (description.isEmpty() && patterns.isEmpty())
            break;
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        QStringList globs = patterns.split(u';', Qt::SkipEmptyParts);
        for (QString& g : globs)
            g = g.trimmed();
        result << QStringLiteral("%1 (%2)").arg(description, globs.join(u' '));
    }
    return result;
}

}  // inline namespace KORVANE_STRINGS_NS
