// The probe table in every installed flavour: each probe's pattern, flags and subject run
// through the client (the real runners, the watchdog, the unit mapping, the comparison's input)
// and the answer compared with what the table expects of that flavour. A flavour whose runtime
// is missing is skipped, never passed.
//
// The table is app/flavours/probes/probes.json; until it exists, a small table of this folder's
// own (tests/data/probes_small.json) stands in.
#include <QFile>
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
  std::string flavour;
  QString pattern, flags, subject;
  QJsonValue expect;
};

QString ProbesFile() {
  const QString real = QStringLiteral(KV_PROBES_FILE);
  return QFileInfo::exists(real) ? real : QStringLiteral(KV_OWN_PROBES_FILE);
}

// Every (probe, flavour) pair of the table; a table that cannot be read gives one pair that fails.
std::vector<Probe> LoadProbes() {
  std::vector<Probe> out;
  QFile f(ProbesFile());
  if (!f.open(QIODevice::ReadOnly)) return {Probe{"unreadable", "table", {}, {}, {}, QJsonValue()}};
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
  if (!doc.isArray()) return {Probe{"unreadable", "table", {}, {}, {}, QJsonValue()}};
  for (const QJsonValue& v : doc.array()) {
    const QJsonObject p = v.toObject();
    const QJsonObject expect = p.value(QLatin1String("expect")).toObject();
    for (auto it = expect.begin(); it != expect.end(); ++it) {
      Probe probe;
      probe.name = p.value(QLatin1String("name")).toString().toStdString();
      probe.flavour = it.key().toStdString();
      probe.pattern = p.value(QLatin1String("pattern")).toString();
      probe.flags = p.value(QLatin1String("flags")).toString();
      probe.subject = p.value(QLatin1String("subject")).toString();
      probe.expect = it.value();
      out.push_back(probe);
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

class ProbeTable : public ::testing::TestWithParam<Probe> {};

TEST_P(ProbeTable, FlavourGivesWhatTheTableSays) {
  const Probe& p = GetParam();
  ASSERT_NE(p.name, "unreadable") << "cannot read " << ProbesFile().toStdString();
  const QString flavour = QString::fromStdString(p.flavour);
  if (!FindFlavour(flavour)) GTEST_SKIP() << "no flavour " << p.flavour << " in this program";
  FlavourRequest r;
  r.pattern = p.pattern;
  r.flags = p.flags;
  r.subjects = {p.subject};
  r.timeoutMs = 1000;
  const FlavourAnswer a = Pool().RunBlocking({flavour}, r)[0];
  if (a.outcome == FlavourOutcome::NotInstalled) GTEST_SKIP() << a.error.toStdString();
  if (a.outcome == FlavourOutcome::RunnerFailed && a.error.contains(QLatin1String("no runner file")))
    GTEST_SKIP() << a.error.toStdString();
  const std::string header = p.flavour + " (" + a.engine.toStdString() + " " + a.version.toStdString() + ")";
  ASSERT_NE(a.outcome, FlavourOutcome::RunnerFailed) << header << ": " << a.error.toStdString();
  const QString word = p.expect.toString();
  if (word == QLatin1String("error")) {
    EXPECT_EQ(a.outcome, FlavourOutcome::CompileError) << header;
    return;
  }
  ASSERT_EQ(a.outcome, FlavourOutcome::Compiled) << header << ": " << a.error.toStdString();
  ASSERT_EQ(a.subjects.size(), 1u);
  const SubjectAnswer& s = a.subjects[0];
  if (word == QLatin1String("timeout")) {
    EXPECT_EQ(s.status, SubjectStatus::Timeout) << header << ": " << Shown(s.matches);
    return;
  }
  if (word == QLatin1String("unrepresentable")) {
    EXPECT_EQ(s.status, SubjectStatus::Unrepresentable) << header;
    return;
  }
  ASSERT_TRUE(p.expect.isArray()) << "the table's expectation for " << p.flavour << " is neither a list nor a word";
  std::vector<FlavourMatch> want;
  for (const QJsonValue& m : p.expect.toArray()) {
    FlavourMatch one;
    for (const QJsonValue& v : m.toArray()) one.push_back(v.toInt());
    want.push_back(one);
  }
  ASSERT_EQ(s.status, SubjectStatus::Ok) << header << ": " << s.error.toStdString();
  EXPECT_EQ(Shown(s.matches), Shown(want)) << header;
}

INSTANTIATE_TEST_SUITE_P(Probes, ProbeTable, ::testing::ValuesIn(LoadProbes()),
                         [](const ::testing::TestParamInfo<Probe>& i) {
                           std::string n = i.param.name + "__" + i.param.flavour;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
