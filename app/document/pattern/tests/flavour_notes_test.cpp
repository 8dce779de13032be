// The flavour knowledge table: every claim of every row proven against the probe table (the real
// engines' recorded results, themselves checked by flavour_probe_tests), a mutated claim caught,
// the detector's spans over a table of patterns (escaped, quoted, commented and in-class
// look-alikes included), the detector finding each row in the patterns of its probes, and the
// tool tip's text.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/document/pattern/flavour_notes.h"
#include "app/host_engine.h"
#include "resources/stringtable.h"

namespace {

struct Probe {
  QString pattern;
  QString flags;
  QJsonObject expect;  // flavour -> match list, "error", "timeout" or "unrepresentable"
};
typedef QMap<QString, Probe> ProbeTable;

const ProbeTable& Probes() {
  static const ProbeTable table = [] {
    ProbeTable t;
    QFile f(QStringLiteral(KV_PROBES_FILE));
    if (!f.open(QIODevice::ReadOnly)) return t;
    const QJsonArray all = QJsonDocument::fromJson(f.readAll()).array();
    for (const QJsonValue& v : all) {
      QJsonObject o = v.toObject();
      t.insert(o.value(QStringLiteral("name")).toString(),
               Probe{o.value(QStringLiteral("pattern")).toString(), o.value(QStringLiteral("flags")).toString(),
                     o.value(QStringLiteral("expect")).toObject()});
    }
    return t;
  }();
  return table;
}

int EngineFlags(const QString& letters) {
  int flags = 0;
  for (QChar c : letters) {
    if (c == QLatin1Char('i')) flags |= IGNORECASE;
    if (c == QLatin1Char('m')) flags |= MULTILINE;
    if (c == QLatin1Char('s')) flags |= SINGLELINE;
    if (c == QLatin1Char('x')) flags |= EXTENDED;
  }
  return flags;
}

std::u16string U16(const QString& s) { return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), s.size()); }

QString Shown(const QJsonValue& v) {
  if (v.isString()) return v.toString();
  if (v.isUndefined()) return QStringLiteral("(none)");
  return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
}

// Whether a column's result on one probe bears the claim out (korvane: Korvane's result there).
bool Holds(FlavourClaim claim, const QJsonValue& result, const QJsonValue& korvane) {
  switch (claim) {
    case FlavourClaim::Same: return result == korvane;
    case FlavourClaim::Error: return result.isString() && result.toString() == QLatin1String("error");
    case FlavourClaim::Timeout: return result.isString() && result.toString() == QLatin1String("timeout");
    case FlavourClaim::NoMatch: return result.isArray() && result.toArray().isEmpty();
    case FlavourClaim::Matches: return result.isArray() && !result.toArray().isEmpty();
    case FlavourClaim::Differs: return result.isArray() && result != korvane;
  }
  return false;
}

// Every way in which `row` disagrees with the probe table; `checked` counts the (flavour, probe)
// pairs compared. A flavour with a line must bear out each claim letter and differ from Korvane
// on at least one probe (else the tool tip would show a line for no difference); a flavour without
// a line must give exactly Korvane's result on every probe.
QStringList CheckRow(const FlavourNoteRow& row, const ProbeTable& table, int* checked) {
  QStringList problems;
  const QString id = QString::fromUtf8(row.id);
  const QStringList probes = FlavourNoteWords(row.probes);
  if (probes.isEmpty()) problems << id + QStringLiteral(": names no probe");
  for (const QString& p : probes) {
    if (!table.contains(p))
      problems << id + QStringLiteral(": no probe ") + p;
    else if (!table[p].expect.contains(QStringLiteral("korvane")))
      problems << id + QStringLiteral(": probe ") + p + QStringLiteral(" has no korvane column");
  }
  if (!problems.isEmpty()) return problems;

  QMap<QString, const FlavourNoteLine*> lineOf;
  for (const FlavourNoteLine& line : row.lines) {
    for (int language : {CStringTable::kEnglish, CStringTable::kSimplifiedChinese})
      if (CStringTable(language).Entries(language).value(line.text).isEmpty())
        problems << id + QStringLiteral(": line text %1 missing in table %2").arg(line.text).arg(language);
    if (static_cast<int>(std::strlen(line.claims)) != probes.size())
      problems << id + QStringLiteral(": claims \"%1\" for %2 probes").arg(QString::fromUtf8(line.claims)).arg(probes.size());
    for (const QString& f : FlavourNoteWords(line.flavours)) {
      if (lineOf.contains(f)) problems << id + QStringLiteral(": two lines for ") + f;
      lineOf.insert(f, &line);
    }
  }
  for (const QString& f : lineOf.keys()) {
    bool known = false;
    for (const char* name : FlavourNoteFlavours()) known = known || f == QLatin1String(name);
    if (!known) problems << id + QStringLiteral(": unknown flavour ") + f;
  }

  for (const char* name : FlavourNoteFlavours()) {
    const QString f = QString::fromLatin1(name);
    const FlavourNoteLine* line = lineOf.value(f, nullptr);
    bool differs = false;
    for (int i = 0; i < probes.size(); ++i) {
      const Probe& probe = table[probes[i]];
      const QJsonValue korvane = probe.expect.value(QStringLiteral("korvane"));
      const QJsonValue result = probe.expect.value(f);
      if (result.isUndefined()) {
        problems << id + QStringLiteral(": probe ") + probes[i] + QStringLiteral(" has no column ") + f;
        continue;
      }
      ++*checked;
      differs = differs || result != korvane;
      FlavourClaim claim = FlavourClaim::Same;
      char letter = '=';
      if (line && i < static_cast<int>(std::strlen(line->claims))) {
        letter = line->claims[i];
        if (!FlavourClaimOfLetter(letter, &claim)) {
          problems << id + QStringLiteral(": ") + f + QStringLiteral(": no claim letter '%1'").arg(QLatin1Char(letter));
          continue;
        }
      }
      if (!Holds(claim, result, korvane))
        problems << id + QStringLiteral(": ") + f + QStringLiteral(" on ") + probes[i] +
                        QStringLiteral(": claim '%1', the table says %2 (korvane %3)")
                            .arg(QString(QLatin1Char(letter)), Shown(result), Shown(korvane));
    }
    if (line && !differs)
      problems << id + QStringLiteral(": ") + f + QStringLiteral(" has a line but gives what Korvane gives");
  }
  return problems;
}

TEST(FlavourNotesTable, ProbeTableIsRead) {
  ASSERT_GE(Probes().size(), 60) << "cannot read " << KV_PROBES_FILE;
}

TEST(FlavourNotesTable, FlavoursAreTheProbeTableColumns) {
  QSet<QString> ours;
  for (const char* f : FlavourNoteFlavours()) ours.insert(QString::fromLatin1(f));
  for (const Probe& p : Probes()) {
    QSet<QString> columns;
    for (const QString& k : p.expect.keys())
      if (k != QLatin1String("korvane")) columns.insert(k);
    EXPECT_EQ(columns, ours) << p.pattern.toStdString();
  }
}

TEST(FlavourNotesTable, RowsHaveUniqueIdsAndDisplayNames) {
  QSet<QString> ids;
  for (const FlavourNoteRow& row : FlavourNoteRows()) {
    EXPECT_FALSE(ids.contains(QString::fromUtf8(row.id))) << row.id;
    ids.insert(QString::fromUtf8(row.id));
    EXPECT_EQ(FindFlavourNoteRow(row.id), static_cast<int>(ids.size()) - 1);
  }
  EXPECT_EQ(FindFlavourNoteRow("no-such-row"), -1);
  for (const char* f : FlavourNoteFlavours())
    EXPECT_NE(FlavourNoteDisplayName(QString::fromLatin1(f)), QString::fromLatin1(f)) << f;
}

// The issue's list of constructs: each has its row.
TEST(FlavourNotesTable, KnowsTheListedConstructs) {
  const char* const ids[] = {
      "dollar", "backslash-Z", "backslash-z", "named-group-P", "named-group-angle", "named-group-quote",
      "named-group-duplicate", "backref-k", "backref-P", "digit", "word", "space", "word-boundary",
      "backref-unset", "capture-in-repeat", "alternation", "lookbehind", "atomic-group", "possessive",
      "inline-flags-mid", "inline-flags-scoped", "inline-m", "fold-k", "fold-s", "brace-no-minimum",
      "escape-x-braces", "escape-u-four", "escape-u-braces", "escape-e", "escape-h", "escape-R", "escape-Q",
      "escape-K", "escape-G", "octal-zero", "backref-beyond-groups", "posix-class", "class-intersection", "dot",
      "recursion", "conditional", "balancing-group"};
  for (const char* id : ids) EXPECT_GE(FindFlavourNoteRow(id), 0) << id;
}

TEST(FlavourNotesTable, EveryClaimHoldsInTheRealEngines) {
  ASSERT_FALSE(Probes().isEmpty());
  int checked = 0, lines = 0;
  for (const FlavourNoteRow& row : FlavourNoteRows()) {
    QStringList problems = CheckRow(row, Probes(), &checked);
    for (const QString& p : problems) ADD_FAILURE() << p.toStdString();
    for (const FlavourNoteLine& line : row.lines) lines += FlavourNoteWords(line.flavours).size();
  }
  std::printf("%d rows, %d flavour lines, %d (flavour, probe) claims checked\n",
              static_cast<int>(FlavourNoteRows().size()), lines, checked);
  EXPECT_GE(checked, 50 * 18);
}

// The check is no formality: in every row, a changed claim letter, a dropped line and a line
// for a flavour that behaves as Korvane does are each caught.
TEST(FlavourNotesTable, CheckCatchesAWrongClaim) {
  for (const FlavourNoteRow& original : FlavourNoteRows()) {
    ASSERT_FALSE(original.lines.empty()) << original.id;
    int checked = 0;
    std::string claims = original.lines[0].claims;
    claims[0] = claims[0] == 'E' ? 'M' : 'E';
    FlavourNoteRow changed = original;
    changed.lines[0].claims = claims.c_str();
    EXPECT_FALSE(CheckRow(changed, Probes(), &checked).isEmpty()) << original.id << ": claim changed";

    FlavourNoteRow dropped = original;
    dropped.lines.erase(dropped.lines.begin());
    EXPECT_FALSE(CheckRow(dropped, Probes(), &checked).isEmpty()) << original.id << ": line dropped";

    // A flavour that gives Korvane's result on every probe of the row, if there is one.
    QSet<QString> lined;
    for (const FlavourNoteLine& l : original.lines)
      for (const QString& f : FlavourNoteWords(l.flavours)) lined.insert(f);
    for (const char* f : FlavourNoteFlavours()) {
      if (lined.contains(QString::fromLatin1(f))) continue;
      std::string same(FlavourNoteWords(original.probes).size(), '=');
      FlavourNoteRow extra = original;
      extra.lines.push_back(FlavourNoteLine{f, same.c_str(), original.lines.front().text});
      EXPECT_FALSE(CheckRow(extra, Probes(), &checked).isEmpty()) << original.id << ": idle line for " << f;
      break;
    }
  }
}

// The detector finds each row in the pattern of every probe the row names.
TEST(FlavourNotesDetector, FindsEachRowInItsProbes) {
  const std::vector<FlavourNoteRow>& rows = FlavourNoteRows();
  for (size_t r = 0; r < rows.size(); ++r) {
    for (const QString& name : FlavourNoteWords(rows[r].probes)) {
      ASSERT_TRUE(Probes().contains(name)) << name.toStdString();
      const Probe& p = Probes()[name];
      bool found = false;
      for (const FlavourNote& n : NotesForPattern(U16(p.pattern), EngineFlags(p.flags))) {
        found = found || n.row == static_cast<int>(r);
        EXPECT_GE(n.start, 0);
        EXPECT_LE(n.start + n.length, p.pattern.size());
      }
      EXPECT_TRUE(found) << rows[r].id << " not found in " << name.toStdString() << ": " << p.pattern.toStdString();
    }
  }
}

struct DetectCase {
  const char* what;
  const char16_t* pattern;
  int flags;
  const char* expected;  // "row@start+length" for every note, in order, blank-separated
};

std::string Dump(const std::vector<FlavourNote>& notes) {
  std::string out;
  for (const FlavourNote& n : notes) {
    if (!out.empty()) out += ' ';
    out += FlavourNoteRows()[n.row].id;
    out += '@' + std::to_string(n.start) + '+' + std::to_string(n.length);
  }
  return out;
}

const DetectCase kDetect[] = {
    // Each construct with its span.
    {"dollar", u"a$", 0, "dollar@1+1"},
    {"caret and dot", u"^.", 0, "caret@0+1 dot@1+1"},
    {"\\Z and \\z", u"a\\Zb\\z", 0, "backslash-Z@1+2 backslash-z@4+2"},
    {"P group", u"(?P<y>\\d+)", 0, "named-group-P@0+10 digit@6+2"},
    {"angle group", u"(?<y>x)", 0, "named-group-angle@0+7"},
    {"quote group", u"(?'y'x)", 0, "named-group-quote@0+7"},
    {"duplicate name", u"(?<n>a)|(?<n>b)", 0,
     "named-group-angle@0+7 alternation@7+1 named-group-angle@8+7 named-group-duplicate@8+7"},
    {"\\k", u"(?<n>a)\\k<n>", 0, "named-group-angle@0+7 backref-k@7+5 backref-unset@7+5"},
    {"(?P=n)", u"(?P<n>a)(?P=n)", 0, "named-group-P@0+8 backref-P@8+6"},
    {"class escapes", u"\\d\\D\\w\\W\\s\\S\\b\\B", 0,
     "digit@0+2 digit@2+2 word@4+2 word@6+2 space@8+2 space@10+2 word-boundary@12+2 word-boundary@14+2"},
    {"class escapes in a class", u"[\\d\\w\\s]", 0, "digit@1+2 word@3+2 space@5+2"},
    {"back-reference", u"(a)?\\1", 0, "backref-unset@4+2"},
    {"forward reference", u"\\1(a)", 0, "backref-forward@0+2"},
    {"\\NN beyond the groups", u"(a)\\10", 0, "backref-beyond-groups@3+3"},
    {"three digits at most", u"\\1012", 0, "backref-beyond-groups@0+4"},
    {"octal with a zero", u"\\012", 0, "octal-zero@0+4"},
    {"named groups count after the unnamed", u"(?<n>a)(b)\\2", 0, "named-group-angle@0+7 backref-unset@10+2"},
    {"capture in a repeated group", u"(?:(a)|b)+", 0, "capture-in-repeat@3+3 alternation@6+1"},
    {"nested captures", u"((a)(b))*", 0, "capture-in-repeat@1+3 capture-in-repeat@4+3"},
    {"repeated capture alone", u"(a)+", 0, ""},
    {"noted once in nested repeats", u"(?:(?:(a))+)+", 0, "capture-in-repeat@6+3"},
    {"empty alternative repeated", u"(a|)*b", 0, "empty-iteration@0+5 alternation@2+1"},
    {"leading empty alternative", u"(?:|a)+", 0, "empty-iteration@0+7 alternation@3+1"},
    {"empty alternative not repeated", u"(a|)b", 0, "alternation@2+1"},
    {"look-behind", u"(?<=a)b(?<!c)", 0, "lookbehind@0+6 lookbehind@7+6"},
    {"atomic", u"(?>a+)", 0, "atomic-group@0+6"},
    {"possessive", u"a++b*+c?+d{1,2}+", 0, "possessive@1+2 possessive@4+2 possessive@7+2 possessive@10+6"},
    {"fixed repeat takes + without effect", u"a{2}+", 0, ""},
    {"lazy is no possessive", u"a+?", 0, ""},
    {"inline flags", u"(?i)a(?s)b", 0, "inline-flags-start@0+4 inline-flags-mid@5+4"},
    {"scoped flags", u"a(?i:b)", 0, "inline-flags-scoped@1+6"},
    {"Ruby's m", u"(?m)a(?m:b)", 0, "inline-flags-start@0+4 inline-m@0+4 inline-flags-scoped@5+6 inline-m@5+6"},
    {"m cleared is no Ruby m", u"(?-m)a", 0, "inline-flags-start@0+5"},
    {"k and s under ignore-case", u"kSx", IGNORECASE, "fold-k@0+1 fold-s@1+1"},
    {"k and s without ignore-case", u"ks", 0, ""},
    {"inline ignore-case", u"k(?i)k", 0, "inline-flags-mid@1+4 fold-k@5+1"},
    {"scoped ignore-case ends with its group", u"(?i:s)s", 0, "inline-flags-scoped@0+6 fold-s@4+1"},
    {"ignore-case cleared", u"(?-i)k", IGNORECASE, "inline-flags-start@0+5"},
    {"ignore-case in a class", u"[k]", IGNORECASE, "fold-k@1+1"},
    {"brace without minimum", u"a{,2}", 0, "brace-no-minimum@1+4"},
    {"brace that is no repeat", u"a{x}", 0, "brace-literal@1+3"},
    {"brace repeats", u"a{2}b{2,}c{2,3}", 0, ""},
    {"\\x{}", u"\\x{41}\\x41", 0, "escape-x-braces@0+6"},
    {"\\u", u"\\u0041\\u{41}\\u", 0, "escape-u-four@0+6 escape-u-braces@6+6"},
    {"\\e \\h \\R \\K \\G", u"\\e\\h\\R\\K\\G", 0, "escape-e@0+2 escape-h@2+2 escape-R@4+2 escape-K@6+2 escape-G@8+2"},
    {"\\Q...\\E", u"\\Qa$\\Eb", 0, "escape-Q@0+6"},
    {"\\Q to the end", u"x\\Q.(", 0, "escape-Q@1+4"},
    {"POSIX class", u"[[:alpha:]x]", 0, "posix-class@1+9"},
    {"POSIX class outside a class", u"[:digit:]", 0, "posix-class-outside@0+9"},
    {"intersection", u"[a-z&&[^c]]", 0, "class-intersection@4+2"},
    {"astral in a class", u"[\U0001F600-\U0001F601]", 0, "class-astral@1+2 class-astral@4+2"},
    {"astral outside a class", u"\U0001F600", 0, ""},
    {"empty classes", u"[]a][^]", 0, "class-empty@0+2 class-negated-empty@4+3"},
    {"recursion", u"(?R)(?1)", 0, "recursion@0+4 recursion@4+4"},
    {"\\g call", u"\\g<0>", 0, "backslash-g-call@0+5"},
    {"conditional", u"(a)?(?(1)b|c)", 0, "conditional@4+9 alternation@10+1"},
    {"conditional on a look-ahead", u"(?(?=a)a|b)", 0, "conditional@0+11 alternation@8+1"},
    {"balancing", u"(?<o>a)(?<-o>b)", 0, "named-group-angle@0+7 balancing-group@7+8"},
    {"several at once", u"^(?P<y>\\d{4})-\\d\\d$", 0,
     "caret@0+1 named-group-P@1+12 digit@7+2 digit@14+2 digit@16+2 dollar@18+1"},

    // Look-alikes that are not the construct.
    {"escaped backslash before Z", u"\\\\Z", 0, ""},
    {"escaped metacharacters", u"\\(\\$\\.\\|\\^\\[", 0, ""},
    {"metacharacters in a class", u"[$.|(^]", 0, ""},
    {"\\b in a class is a backspace", u"[\\b]", 0, ""},
    {"anchors in a class are letters", u"[\\Z\\z\\K\\R]", 0, ""},
    {"] first closes Korvane's class", u"[]$]", 0, "class-empty@0+2 dollar@2+1"},
    {"nested [ without a colon is literal", u"[a[b]$", 0, "dollar@5+1"},
    {"quoted constructs", u"\\Q(?<n>x)$\\E", 0, "escape-Q@0+12"},
    {"quote by \\L is no \\Q", u"\\L$.\\E", 0, ""},
    {"(?#) comment", u"(?#$.)a", 0, ""},
    {"comment in extended mode", u"a # $ . |\nb", EXTENDED, ""},
    {"# is literal without extended", u"a#$", 0, "dollar@2+1"},
    {"white space in extended mode", u"( ?P<n>x)", EXTENDED, ""},
    {"escaped # in extended mode", u"\\#$", EXTENDED, "dollar@2+1"},
    {"a lone backslash at the end", u"a\\", 0, ""},
    {"unclosed group", u"(?>a", 0, "atomic-group@0+4"},
    {"stray )", u"a)$", 0, "dollar@2+1"},
    {"unclosed brace", u"a{2", 0, ""},
};

TEST(FlavourNotesDetector, Table) {
  for (const DetectCase& c : kDetect)
    EXPECT_EQ(Dump(NotesForPattern(c.pattern, c.flags)), c.expected) << c.what;
}

TEST(FlavourNotesDetector, EmptyAndHugePatterns) {
  EXPECT_TRUE(NotesForPattern(u"", 0).empty());
  std::u16string deep(100000, u'(');  // unclosed groups all the way down
  deep += u"\\Z";
  std::vector<FlavourNote> notes = NotesForPattern(deep, 0);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], (FlavourNote{100000, 2, FindFlavourNoteRow("backslash-Z")}));

  // Repeated groups nested deeply: every group but the outermost is inside a repeat, and each is
  // noted once (the detector stays linear, not quadratic, in the nesting).
  const int depth = 50000;
  std::u16string repeated(depth, u'(');
  repeated += u'a';
  for (int i = 0; i < depth; ++i) repeated += u")+";
  notes = NotesForPattern(repeated, 0);
  ASSERT_EQ(notes.size(), static_cast<size_t>(depth - 1));
  EXPECT_EQ(notes.front(), (FlavourNote{1, 3 * depth - 3, FindFlavourNoteRow("capture-in-repeat")}));
}

TEST(FlavourNotesText, OneLinePerDifferingFlavour) {
  CStringTable::SetCurrent(CStringTable::kEnglish);
  const int z = FindFlavourNoteRow("backslash-Z");
  ASSERT_GE(z, 0);
  EXPECT_EQ(NoteText(z, {QStringLiteral("python"), QStringLiteral("js"), QStringLiteral("re2")}, QStringLiteral("; ")),
            QStringLiteral("Python: end of text only; JavaScript: the letter Z; RE2: error"));
  // Java behaves as Korvane does: no line; the order is the caller's.
  EXPECT_EQ(NoteText(z, {QStringLiteral("re2"), QStringLiteral("java"), QStringLiteral("python")}),
            QStringLiteral("RE2: error\nPython: end of text only"));
  EXPECT_EQ(NoteText(z, {QStringLiteral("java")}), QString());
  EXPECT_EQ(NoteText(z, {QStringLiteral("no-such-flavour")}), QString());
  EXPECT_EQ(NoteText(-1, {}), QString());
  EXPECT_EQ(NoteText(static_cast<int>(FlavourNoteRows().size()), {}), QString());
  // Every flavour when none is named: one line each for those with a line.
  QStringList all = NoteText(z, {}).split(QLatin1Char('\n'));
  EXPECT_EQ(all.size(), 2 + 4 + 7);  // Python twice, the letter Z four times, errors in seven
  EXPECT_TRUE(all.contains(QStringLiteral("C++ std::regex awk: error")));
}

// A construct told in words is in both tables; the tip's summary line reads in the user's language.
TEST(FlavourNotesText, SummaryInBothLanguages) {
  const int z = FindFlavourNoteRow("backslash-Z"), k = FindFlavourNoteRow("fold-k");
  ASSERT_GE(z, 0);
  ASSERT_GE(k, 0);
  const QStringList chosen{QStringLiteral("python"), QStringLiteral("java"), QStringLiteral("re2")};
  for (const FlavourNoteRow& row : FlavourNoteRows()) {
    if (row.construct.syntax) continue;
    for (int language : {CStringTable::kEnglish, CStringTable::kSimplifiedChinese})
      EXPECT_FALSE(CStringTable(language).Entries(language).value(row.construct.words).isEmpty()) << row.id << " " << language;
  }

  CStringTable::SetCurrent(CStringTable::kEnglish);
  EXPECT_EQ(NoteSummary(z, chosen), QStringLiteral("\\Z: Python: end of text only; RE2: error"));
  EXPECT_EQ(NoteSummary(k, chosen), QStringLiteral("k under ignore-case: Python: also matches the Kelvin sign \u212A (U+212A); "
                                            "RE2: also matches the Kelvin sign \u212A (U+212A)"));
  EXPECT_EQ(NoteSummary(z, {QStringLiteral("java")}), QString());
  EXPECT_EQ(NoteConstructText(-1), QString());

  CStringTable::SetCurrent(CStringTable::kSimplifiedChinese);
  EXPECT_EQ(NoteSummary(z, chosen), QString::fromUtf8("\\Z\xEF\xBC\x9APython\xEF\xBC\x9A\xE4\xBB\x85\xE5\x8C\xB9\xE9\x85\x8D"
                                                     "\xE6\x96\x87\xE6\x9C\xAC\xE6\x9C\xAB\xE5\xB0\xBE\xEF\xBC\x9BRE2\xEF\xBC\x9A\xE9\x94\x99\xE8\xAF\xAF"));
  EXPECT_TRUE(NoteConstructText(k).startsWith(QString::fromUtf8("\xE5\xBF\xBD\xE7\x95\xA5")));  // "ignore" in Chinese
  CStringTable::SetCurrent(CStringTable::kEnglish);
}

}  // namespace
