// The probe table in every installed flavour: each probe's pattern, flags and subject run
// through the client (the real runners, the watchdog, the unit mapping, the comparison's input)
// and the answer compared with what the table expects of that flavour. A flavour whose runtime
// is missing is skipped, never passed.
//
// The table is app/flavours/probes/probes.json; until it exists, a small table of this folder's
// own (tests/data/probes_small.json) stands in.
#include <QFile>
#include <algorithm>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "app/flavours/flavour_pool.h"
#include "app/flavours/flavour_table.h"

namespace {

struct Probe {
  std::string name;
  QString pattern, flags, subject;
  QJsonValue expect;
};

// One flavour's column of the table: every probe that says what the flavour gives.
struct Column {
  std::string flavour;
  std::vector<Probe> probes;
  bool unreadable = false;
};

void PrintTo(const Column& c, std::ostream* os) { *os << c.flavour; }

QString ProbesFile() {
  const QString real = QStringLiteral(KV_PROBES_FILE);
  return QFileInfo::exists(real) ? real : QStringLiteral(KV_OWN_PROBES_FILE);
}

// Every flavour's column of the table, in the order the table first names them; a table that
// cannot be read gives one column that fails.
std::vector<Column> LoadColumns() {
  const std::vector<Column> unreadable{Column{"table", {}, true}};
  QFile f(ProbesFile());
  if (!f.open(QIODevice::ReadOnly)) return unreadable;
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
  if (!doc.isArray()) return unreadable;
  std::vector<Column> out;
  for (const QJsonValue& v : doc.array()) {
    const QJsonObject p = v.toObject();
    const QJsonObject expect = p.value(QLatin1String("expect")).toObject();
    for (auto it = expect.begin(); it != expect.end(); ++it) {
      const std::string flavour = it.key().toStdString();
      auto column = std::find_if(out.begin(), out.end(), [&](const Column& c) { return c.flavour == flavour; });
      if (column == out.end()) column = out.insert(out.end(), Column{flavour, {}, false});
      Probe probe;
      probe.name = p.value(QLatin1String("name")).toString().toStdString();
      probe.pattern = p.value(QLatin1String("pattern")).toString();
      probe.flags = p.value(QLatin1String("flags")).toString();
      probe.subject = p.value(QLatin1String("subject")).toString();
      probe.expect = it.value();
      column->probes.push_back(probe);
    }
  }
  return out;
}

// One pool for the whole run, so that every runner starts once. Never destroyed: it would
// outlive the application object; its runners end with the end of their input when this
// process exits.
CFlavourPool& Pool() {
  static CFlavourPool* pool = new CFlavourPool;
  return *pool;
}

std::string Shown(const std::vector<FlavourMatch>& matches) {
  QJsonArray a;
  for (const FlavourMatch& m : matches) {
    QJsonArray one;
    for (int v : m) one.append(v);
    a.append(one);
  }
  return QJsonDocument(a).toJson(QJsonDocument::Compact).toStdString();
}

// What the flavour gives for the probe, against the table: empty when they agree.
std::string Disagreement(const std::string& flavour, const Probe& p, const FlavourAnswer& a) {
  const std::string header = flavour + " (" + a.engine.toStdString() + " " + a.version.toStdString() + ")";
  if (a.outcome == FlavourOutcome::RunnerFailed) return header + ": runner failed: " + a.error.toStdString();
  const QString word = p.expect.toString();
  // "error": the pattern does not compile, or the engine gave up on the subject at run time
  // (Boost.Regex's bound on a catastrophic match).
  if (word == QLatin1String("error")) {
    if (a.outcome == FlavourOutcome::CompileError) return std::string();
    if (a.outcome == FlavourOutcome::Compiled && a.subjects.size() == 1 && a.subjects[0].status == SubjectStatus::Error)
      return std::string();
    return header + ": compiled and ran, the table says error";
  }
  if (a.outcome != FlavourOutcome::Compiled) return header + ": does not compile: " + a.error.toStdString();
  if (a.subjects.size() != 1) return header + ": no answer for the subject";
  const SubjectAnswer& s = a.subjects[0];
  if (word == QLatin1String("timeout"))
    return s.status == SubjectStatus::Timeout ? std::string() : header + ": no time-out, found " + Shown(s.matches);
  if (word == QLatin1String("unrepresentable"))
    return s.status == SubjectStatus::Unrepresentable ? std::string() : header + ": took a text it cannot represent";
  if (!p.expect.isArray()) return "the table's expectation for " + flavour + " is neither a list nor a word";
  std::vector<FlavourMatch> want;
  for (const QJsonValue& m : p.expect.toArray()) {
    FlavourMatch one;
    for (const QJsonValue& v : m.toArray()) one.push_back(v.toInt());
    want.push_back(one);
  }
  if (s.status != SubjectStatus::Ok) return header + ": " + (s.status == SubjectStatus::Timeout ? std::string("timed out") : s.error.toStdString());
  if (Shown(s.matches) != Shown(want)) return header + ": found " + Shown(s.matches) + ", the table says " + Shown(want);
  return std::string();
}

// One test per flavour, its runner started once and asked every probe of its column in turn
// (a probe per test started a runner per probe: minutes for the Java and .NET columns).
class ProbeTable : public ::testing::TestWithParam<Column> {};

TEST_P(ProbeTable, FlavourGivesWhatTheTableSays) {
  const Column& c = GetParam();
  ASSERT_FALSE(c.unreadable) << "cannot read " << ProbesFile().toStdString();
  const QString flavour = QString::fromStdString(c.flavour);
  if (!FindFlavour(flavour)) GTEST_SKIP() << "no flavour " << c.flavour << " in this program";
  int checked = 0;
  for (const Probe& p : c.probes) {
    FlavourRequest r;
    r.pattern = p.pattern;
    r.flags = p.flags;
    r.subjects = {p.subject};
    r.timeoutMs = 1000;
    const FlavourAnswer a = Pool().RunBlocking({flavour}, r)[0];
    if (a.outcome == FlavourOutcome::NotInstalled) GTEST_SKIP() << a.error.toStdString();
    if (a.outcome == FlavourOutcome::RunnerFailed && a.error.contains(QLatin1String("no runner file")))
      GTEST_SKIP() << a.error.toStdString();
    const std::string wrong = Disagreement(c.flavour, p, a);
    EXPECT_TRUE(wrong.empty()) << "probe " << p.name << " /" << p.pattern.toStdString() << "/: " << wrong;
    ++checked;
  }
  EXPECT_EQ(checked, static_cast<int>(c.probes.size()));
}

INSTANTIATE_TEST_SUITE_P(Probes, ProbeTable, ::testing::ValuesIn(LoadColumns()),
                         [](const ::testing::TestParamInfo<Column>& i) {
                           std::string n = i.param.flavour;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
