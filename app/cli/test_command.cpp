// Covered by app/cli/tests/test_command_test.cpp.
#include "app/cli/test_command.h"

#include <QFileInfo>
#include <QThread>
#include <QTextStream>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cstring>
#include <string>

#include "app/cli/backtrack_command.h"
#include "app/cli/convert_command.h"
#include "app/cli/flavour_command.h"
#include "app/document/core/korvane_doc.h"
#include "app/document/files/workspace_file.h"
#include "app/document/testing/flavour_eval.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/flavour_table.h"
#include "korvane_ids.h"
#include "platform/file_io.h"
#include "platform/version.h"
#include "platform/worker_thread.h"
#include "stringtable.h"

namespace {

QString Str(int id) { return CStringTable::Str(id); }
QString Fmt(int id, const QStringList& args) { return CStringTable::FormatStrings(Str(id), args); }
// Text XML 1.0 can carry: no control characters but tab and line breaks, no lone surrogates,
// no U+FFFE / U+FFFF.
QString XmlSafe(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s.at(i);
    const ushort u = c.unicode();
    if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
      out += c;
      out += s.at(++i);
    } else if (c.isSurrogate() || (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF) {
      out += QChar(0xFFFD);
    } else {
      out += c;
    }
  }
  return out;
}

// A name on one line of the report.
QString OneLine(const QString& s) {
  QString out = XmlSafe(s);
  out.replace(QLatin1Char('\n'), QLatin1Char(' '));
  out.replace(QLatin1Char('\r'), QLatin1Char(' '));
  return out;
}

// The options of a window start; Qt's application object takes its own out of the arguments.
const char* const kWindowOptions[] = {"--list-menus"};
// The options the command-line modes read, with or without a value.
const char* const kModeOptions[] = {"--run-tests", "--snapshot", "--junit", "--flavour", "--help", "--version",
                                    "--check-backtracking", "--flags", "--flavours", "--subject", "--only",
                                    "--json", "--convert", "--to"};
// Qt's application options (Qt reads each with one dash or two): a window start hands them on.
const char* const kQtOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                  "qwindowicon", "qwindowtitle", "reverse", "session", "style", "stylesheet",
                                  "widgetcount", "display", "geometry", "title", "name", "visual", "ncols", "cmap",
                                  "nograb", "dograb", "sync", "qmljsdebugger", "testability", "qdevicepixelratio"};

template <size_t N>
bool OneOf(const char* arg, const char* const (&list)[N]) {
  for (const char* known : list)
    if (std::strcmp(arg, known) == 0) return true;
  return false;
}

// A "--" option that neither a window start, the command-line modes nor Qt knows. One-dash
// options are not judged here: they may be Qt's, and what Qt does not take is judged after it
// has taken its own (UnknownWindowOption).
bool IsUnknownLongOption(const char* a) {
  if (std::strncmp(a, "--", 2) != 0 || !a[2] || OneOf(a, kWindowOptions) || OneOf(a, kModeOptions)) return false;
  const char* name = a + 2;
  const char* eq = std::strchr(name, '=');
  const std::string bare = eq ? std::string(name, eq) : std::string(name);
  return !OneOf(bare.c_str(), kQtOptions);
}

}  // namespace

int CTestCommand::Wanted(int argc, char** argv) {
  bool version = false, unknown = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!a) continue;
    if (std::strcmp(a, "--run-tests") == 0) return RUN_TESTS;
    if (std::strcmp(a, "--check-backtracking") == 0) return CHECK_BACKTRACKING;
    if (std::strcmp(a, "--flavours") == 0) return FLAVOURS;
    if (std::strcmp(a, "--convert") == 0) return CONVERT;
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) return HELP;
    if (std::strcmp(a, "--version") == 0) version = true;
    if (IsUnknownLongOption(a)) unknown = true;
  }
  if (version) return VERSION;
  return unknown ? BAD_OPTION : NONE;
}

QString CTestCommand::UnknownWindowOption(const QStringList& arguments) {
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a.size() < 2 || !a.startsWith(QLatin1Char('-'))) continue;
    if (!OneOf(a.toLocal8Bit().constData(), kWindowOptions)) return a;
  }
  return QString();
}

int CTestCommand::RefuseOption(const QString& option, QTextStream& err) {
  err << Fmt(IDS_CLI_BAD_ARGUMENTS, {option}) << Qt::endl << Str(IDS_CLI_USAGE) << Qt::endl;
  return EXIT_UNREADABLE;
}

bool CTestCommand::Parse(const QStringList& arguments, Options* out, QString* bad) {
  *out = Options();
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == QLatin1String("--run-tests") && hasValue && out->workspace.isEmpty()) {
      out->workspace = arguments[++i];
    } else if (a == QLatin1String("--snapshot") && hasValue) {
      out->snapshot = arguments[++i];
      out->useSnapshot = true;
    } else if (a == QLatin1String("--junit") && hasValue) {
      out->junit = arguments[++i];
    } else if (a == QLatin1String("--flavour") && hasValue && out->flavours.isEmpty()) {
      const QString list = arguments[++i];
      for (QString name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        name = name.trimmed();
        if (!FindFlavour(name)) {
          *bad = name;
          return false;
        }
        // The tests run in Korvane anyway.
        if (name != QLatin1String("korvane") && !out->flavours.contains(name)) out->flavours << name;
      }
      if (out->flavours.isEmpty() && !list.split(QLatin1Char(','), Qt::SkipEmptyParts).contains(QStringLiteral("korvane"))) {
        *bad = list;
        return false;
      }
    } else {
      *bad = a;
      return false;
    }
  }
  if (out->workspace.isEmpty()) {
    *bad = QStringLiteral("--run-tests");
    return false;
  }
  return true;
}

QByteArray CTestCommand::JUnitXml(const QString& suite, const TestSet& tests, const std::vector<TestResult>& results) {
  return JUnitXml(std::vector<Suite>{Suite{suite, results}}, tests);
}

QByteArray CTestCommand::JUnitXml(const std::vector<Suite>& suites, const TestSet& tests) {
  struct Counts {
    int tests = 0, failures = 0, errors = 0, skipped = 0;
    double time = 0;
  };
  auto count = [](const std::vector<TestResult>& results, bool skips) {
    Counts c;
    c.tests = static_cast<int>(results.size());
    for (const TestResult& r : results) {
      if (r.status == TEST_FAIL || r.status == TEST_TIMED_OUT) ++c.failures;
      if (r.status == TEST_ERROR || (r.status == TEST_NOT_RUN && !skips)) ++c.errors;
      if (r.status == TEST_NOT_RUN && skips) ++c.skipped;
      c.time += r.seconds;
    }
    return c;
  };
  Counts all;
  for (size_t k = 0; k < suites.size(); ++k) {
    // Korvane's own suite has no skipped tests: a test it did not run is an error there.
    const Counts c = count(suites[k].results, k > 0);
    all.tests += c.tests;
    all.failures += c.failures;
    all.errors += c.errors;
    all.time += c.time;
  }
  QByteArray xml;
  QXmlStreamWriter w(&xml);
  w.setAutoFormatting(true);
  w.writeStartDocument();
  w.writeStartElement(QStringLiteral("testsuites"));
  w.writeAttribute(QStringLiteral("tests"), QString::number(all.tests));
  w.writeAttribute(QStringLiteral("failures"), QString::number(all.failures));
  w.writeAttribute(QStringLiteral("errors"), QString::number(all.errors));
  w.writeAttribute(QStringLiteral("time"), QString::number(all.time, 'f', 3));
  for (size_t k = 0; k < suites.size(); ++k) {
    const Suite& suite = suites[k];
    const bool skips = k > 0;
    const Counts c = count(suite.results, skips);
    w.writeStartElement(QStringLiteral("testsuite"));
    w.writeAttribute(QStringLiteral("name"), XmlSafe(suite.name));
    w.writeAttribute(QStringLiteral("tests"), QString::number(c.tests));
    w.writeAttribute(QStringLiteral("failures"), QString::number(c.failures));
    w.writeAttribute(QStringLiteral("errors"), QString::number(c.errors));
    w.writeAttribute(QStringLiteral("skipped"), QString::number(c.skipped));
    w.writeAttribute(QStringLiteral("time"), QString::number(c.time, 'f', 3));
    for (size_t i = 0; i < suite.results.size() && i < tests.size(); ++i) {
      const TestResult& r = suite.results[i];
      w.writeStartElement(QStringLiteral("testcase"));
      w.writeAttribute(QStringLiteral("name"), XmlSafe(FromUnits(tests[i].name)));
      w.writeAttribute(QStringLiteral("classname"), XmlSafe(suite.name));
      w.writeAttribute(QStringLiteral("time"), QString::number(r.seconds, 'f', 3));
      if (r.status == TEST_NOT_RUN && skips) {
        w.writeStartElement(QStringLiteral("skipped"));
        w.writeAttribute(QStringLiteral("message"), XmlSafe(r.reason));
        w.writeEndElement();
      } else if (r.status != TEST_PASS) {
        const bool failure = r.status == TEST_FAIL || r.status == TEST_TIMED_OUT;
        w.writeStartElement(failure ? QStringLiteral("failure") : QStringLiteral("error"));
        w.writeAttribute(QStringLiteral("message"), XmlSafe(r.reason));
        w.writeAttribute(QStringLiteral("type"), r.status == TEST_TIMED_OUT ? QStringLiteral("timeout")
                                                 : failure                  ? QStringLiteral("failure")
                                                                            : QStringLiteral("error"));
        w.writeCharacters(XmlSafe(r.reason));
        w.writeEndElement();
      }
      w.writeEndElement();
    }
    w.writeEndElement();
  }
  w.writeEndElement();
  w.writeEndDocument();
  return xml;
}

int CTestCommand::RunTests(const Options& o, QTextStream& out, QTextStream& err) {
  // The same reading and the same reasons as File > Open in the window.
  WorkspaceData data;
  QString reason;
  if (!CKorvaneDoc::ReadWorkspaceFile(o.workspace, &data, &reason)) {
    err << Fmt(IDS_CLI_CANNOT_READ, {o.workspace, reason}) << Qt::endl;
    return EXIT_UNREADABLE;
  }

  TestText pattern = data.pattern;
  int flags = data.flags;
  std::shared_ptr<const TestSet> tests = data.tests ? data.tests : std::make_shared<const TestSet>();
  QString suite = QFileInfo(o.workspace).completeBaseName();
  if (o.useSnapshot) {
    const TestText wanted(o.snapshot.utf16(), o.snapshot.utf16() + o.snapshot.size());
    const Snapshot* found = nullptr;
    for (const std::unique_ptr<Snapshot>& s : data.snapshots)
      if (s->name == wanted) found = s.get();  // of two with one name, the later record
    if (!found) {
      err << Fmt(IDS_CLI_NO_SNAPSHOT, {o.snapshot, o.workspace}) << Qt::endl;
      return EXIT_UNREADABLE;
    }
    pattern = found->pattern;
    flags = found->flags;
    tests = found->tests ? found->tests : std::make_shared<const TestSet>();
    suite += QLatin1Char('.') + o.snapshot;
  }
  if (tests->empty()) err << Str(IDS_CLI_NO_TESTS) << Qt::endl;
  // Tests without a name get the one the window gives them, so that no report line or JUnit
  // test case is blank.
  if (HasUnnamedTests(*tests)) {
    auto named = std::make_shared<TestSet>(*tests);
    NameUnnamedTests(named.get());
    tests = std::move(named);
  }

  const CTestPatterns patterns(pattern, flags, data.replaceTo, *tests);
  TestLimits limits;
  limits.timeLimitMs = data.testTimeLimitMs;  // the workspace's setting
  const QString words = Str(IDS_TEST_STATUS_WORDS);
  std::vector<TestResult> results;
  results.reserve(tests->size());
  // The searches run on a worker: its stack takes the engine's deepest nesting, which the main
  // thread's may not (the document's searches run on such workers too).
  WorkerThread worker;
  worker.Run(
      [&](void*) {
        for (const TestCase& t : *tests) {
          results.push_back(RunTestCase(*patterns.For(t), t, limits));
          const TestResult& r = results.back();
          QString line = words.section(QLatin1Char('\n'), r.status, r.status).toUpper() + QLatin1Char('\t') +
                         OneLine(FromUnits(t.name));
          if (!r.reason.isEmpty()) line += QLatin1Char('\t') + OneLine(r.reason);
          out << line << Qt::endl;
        }
      },
      nullptr);
  while (worker.IsBusy()) QThread::msleep(2);
  worker.Stop();
  int passed = 0, failed = 0;
  CountResults(results, &passed, &failed);
  out << Fmt(IDS_CLI_SUMMARY, {QString::number(passed), QString::number(failed)}) << Qt::endl;

  std::vector<Suite> suites{Suite{suite, results}};
  // The flavours to run in: those asked for with --flavour, every test in each; then those the
  // tests name as flavours they must pass in, only the tests that name them.
  QStringList run = o.flavours;
  for (const TestCase& t : *tests)
    for (const TestText& name : t.mustPassIn) {
      const QString flavour = FromUnits(name);
      if (flavour != QLatin1String("korvane") && !run.contains(flavour)) run << flavour;
    }
  if (!run.isEmpty() && !tests->empty()) {
    // Each flavour asked once per set of options its tests run with; the engines run in
    // processes of their own, so this thread only waits on them.
    CFlavourPool pool;
    for (const QString& flavour : run) {
      const bool every = o.flavours.contains(flavour);
      const TestText unitsName(flavour.utf16(), flavour.utf16() + flavour.size());
      std::vector<int> asked;  // indexes into the tests
      TestSet subset;
      for (size_t i = 0; i < tests->size(); ++i) {
        const std::vector<TestText>& named = (*tests)[i].mustPassIn;
        if (every || std::find(named.begin(), named.end(), unitsName) != named.end()) {
          asked.push_back(static_cast<int>(i));
          subset.push_back((*tests)[i]);
        }
      }
      std::vector<TestResult> skipped;
      const std::vector<FlavourTestBatch> batches =
          FlavourTestBatches(pattern, flags, subset, data.testTimeLimitMs, &skipped);
      std::vector<TestResult> mine(tests->size(), TestResult());
      for (TestResult& r : mine) r.reason = Str(IDS_CLI_FLAVOUR_NOT_ASKED);
      for (size_t k = 0; k < asked.size(); ++k) mine[static_cast<size_t>(asked[k])] = skipped[k];
      QString engine;
      for (const FlavourTestBatch& batch : batches) {
        const std::vector<FlavourAnswer> answers = pool.RunBlocking({flavour}, batch.request);
        const FlavourAnswer& a = answers.front();
        if (engine.isEmpty() && !a.engine.isEmpty()) engine = a.version.isEmpty() ? a.engine : a.engine + QLatin1Char(' ') + a.version;
        for (size_t k = 0; k < batch.tests.size(); ++k) {
          const int inSubset = batch.tests[k];
          mine[static_cast<size_t>(asked[static_cast<size_t>(inSubset)])] =
              JudgeInFlavour(subset[static_cast<size_t>(inSubset)], a, static_cast<int>(k));
        }
      }
      std::vector<TestResult> askedResults;
      for (int i : asked) {
        const TestResult& r = mine[static_cast<size_t>(i)];
        askedResults.push_back(r);
        const QString word = r.status == TEST_NOT_RUN ? Str(IDS_CLI_FLAVOUR_SKIPPED_WORD).toUpper()
                                                      : words.section(QLatin1Char('\n'), r.status, r.status).toUpper();
        QString line = word + QLatin1Char('\t') + flavour + QLatin1Char('\t') + OneLine(FromUnits((*tests)[static_cast<size_t>(i)].name));
        if (!r.reason.isEmpty()) line += QLatin1Char('\t') + OneLine(r.reason);
        out << line << Qt::endl;
      }
      int p = 0, f = 0, k = 0;
      CountFlavourResults(askedResults, &p, &f, &k);
      out << Fmt(IDS_CLI_FLAVOUR_SUMMARY, {flavour, engine.isEmpty() ? QStringLiteral("-") : engine, QString::number(p),
                                           QString::number(f), QString::number(k)})
          << Qt::endl;
      failed += f;
      suites.push_back(Suite{suite + QLatin1Char('.') + flavour, std::move(mine)});
    }
  }

  if (!o.junit.isEmpty()) {
    const QByteArray xml = JUnitXml(suites, *tests);
    QString reason;
    if (CFileIo::WriteAll(o.junit, QByteArrayView(xml), &reason) != EFileError::None) {
      err << Fmt(IDS_CLI_JUNIT_FAILED, {o.junit, reason}) << Qt::endl;
      return EXIT_UNREADABLE;
    }
  }
  return failed > 0 ? EXIT_FAILED : EXIT_PASSED;
}

int CTestCommand::Main(const QStringList& arguments) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  bool help = false;
  for (const QString& a : arguments.mid(1))
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) help = true;
  if (help) {
    out << Str(IDS_CLI_USAGE) << Qt::endl;
    return EXIT_PASSED;
  }
  if (CBacktrackCommand::Wanted(arguments)) return CBacktrackCommand::Main(arguments, out, err);
  if (CFlavourCommand::Wanted(arguments)) return CFlavourCommand::Main(arguments, out, err);
  if (CConvertCommand::Wanted(arguments)) return CConvertCommand::Main(arguments, out, err);
  if (!arguments.contains(QLatin1String("--run-tests"))) {
    if (arguments.contains(QLatin1String("--version"))) {
      out << "korvane " << QStringLiteral(KORVANE_VERSION_TEXT) << Qt::endl;
      return EXIT_PASSED;
    }
    // A window start with an option nobody knows.
    for (int i = 1; i < arguments.size(); ++i)
      if (IsUnknownLongOption(arguments[i].toLocal8Bit().constData())) return RefuseOption(arguments[i], err);
  }
  Options o;
  QString bad;
  if (!Parse(arguments, &o, &bad)) return RefuseOption(bad, err);
  return RunTests(o, out, err);
}
