// Convert to flavour, proven in the real engines: random patterns of the differential generator
// (engine/tests/pattern_gen.h), each converted for every convertible flavour whose runtime is
// installed, and every conversion offered run in its target beside Korvane on the generator's
// subjects. A conversion that gives other matches or groups on any subject fails the test with
// the pattern, the conversion and the subject. The share of patterns converted per flavour is
// printed.
//
//   KV_CONVERT_SEED=S KV_CONVERT_COUNT=N    a longer run (scripts/convert_property)
//
// A flavour whose runtime is missing is skipped, never passed.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/document/flavours/conversion_check.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/flavour_table.h"
#include "app/host_engine.h"
#include "engine/tests/pattern_gen.h"
#include "stringtable.h"

namespace {

QString Letters(int bits) {
  QString s;
  if (bits & IGNORECASE) s += QLatin1Char('i');
  if (bits & MULTILINE) s += QLatin1Char('m');
  if (bits & SINGLELINE) s += QLatin1Char('s');
  return s;
}

long long EnvNumber(const char* name, long long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoll(v) : fallback;
}

QString MatchesText(const SubjectAnswer& a) {
  QStringList parts;
  for (const FlavourMatch& m : a.matches) {
    QStringList spans;
    for (size_t i = 0; i + 1 < m.size(); i += 2) spans << QStringLiteral("%1-%2").arg(m[i]).arg(m[i + 1]);
    parts << spans.join(QLatin1Char(','));
  }
  return QStringLiteral("[") + parts.join(QStringLiteral("] [")) + QStringLiteral("]");
}

TEST(ConvertInEngines, RandomPatternsGiveKorvanesMatches) {
  CStringTable::SetCurrent(CStringTable::kEnglish);
  const uint64_t seed = static_cast<uint64_t>(EnvNumber("KV_CONVERT_SEED", 20261211));
  const int count = static_cast<int>(EnvNumber("KV_CONVERT_COUNT", 200));
  struct Generated {
    QString pattern;
    int flags;
    QStringList subjects;
  };
  std::vector<Generated> cases;
  for (int i = 0; i < count; ++i) {
    tarno_test::PatternGen gen(seed + static_cast<uint64_t>(i));
    const tarno_test::Case c = gen.Make();
    Generated g{QString::fromStdString(c.pattern), c.flags & (IGNORECASE | MULTILINE | SINGLELINE), {}};
    for (const std::string& s : c.subjects) g.subjects << QString::fromStdString(s);
    cases.push_back(g);
  }
  CFlavourPool pool;
  int ran = 0;
  QStringList failures;
  for (const QString& flavour : ConvertibleFlavours()) {
    if (!FlavourInstalled(flavour)) {
      std::printf("%-15s not installed: skipped\n", qPrintable(flavour));
      continue;
    }
    ++ran;
    int offered = 0, verified = 0, subjects = 0;
    for (const Generated& g : cases) {
      const FlavourConversion conv = ConvertToFlavour(g.pattern.toStdU16String(), g.flags, flavour);
      if (!conv.Converted()) continue;
      ++offered;
      const ConversionCheck check = CheckConversion(&pool, g.pattern, Letters(g.flags), conv, g.subjects);
      subjects += check.of;
      if (check.Verified()) {
        ++verified;
        continue;
      }
      QString why = check.error;
      for (int d : check.differing) {
        const size_t i = static_cast<size_t>(d);
        why += QStringLiteral("\n    subject \"%1\": %2; Korvane %3, %4 %5")
                   .arg(g.subjects.value(d), QString::fromLatin1(CellStatusName(check.status[i])),
                        i < check.korvane.subjects.size() ? MatchesText(check.korvane.subjects[i]) : QString(), flavour,
                        i < check.target.subjects.size() ? MatchesText(check.target.subjects[i]) : QString());
      }
      failures << QStringLiteral("%1: /%2/%3 converted to %4%5").arg(flavour, g.pattern, Letters(g.flags), conv.pattern, why);
    }
    std::printf("%-15s converted %d of %d patterns (%.0f%%), %d verified on %d subjects\n", qPrintable(flavour), offered,
                count, 100.0 * offered / std::max(1, count), verified, subjects);
  }
  std::fflush(stdout);
  if (ran == 0) GTEST_SKIP() << "no convertible flavour is installed";
  EXPECT_TRUE(failures.isEmpty()) << failures.size() << " conversions differ:\n"
                                  << qPrintable(failures.mid(0, 40).join(QLatin1Char('\n')));
}

}  // namespace
