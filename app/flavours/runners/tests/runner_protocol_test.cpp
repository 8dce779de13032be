// The script runners (app/flavours/runners/runner.*) spoken to over their stdin/stdout, as
// Korvane's flavour client does, but without it: each runner is started from the build's
// runners folder, given a fixed table of requests, and its answer lines are compared field by
// field. Offsets are checked in the unit each runner declares (UTF-16 units, code points or
// UTF-8 bytes), so the table gives each span that depends on the unit once per unit.
// A runner whose interpreter (or, for python-regex, module) is not installed is skipped.
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// Generous: a cold interpreter on a loaded 2-core machine. Never a measure of speed.
constexpr int kLineWaitMs = 60000;

struct RunnerSpec {
  const char* flavour;      // the name the hello must carry
  const char* interpreter;  // looked up on PATH unless absolute
  std::vector<const char*> arguments;  // the script (relative to the runners folder) first
  const char* unit;
  bool surrogates;
  bool nativeTimeLimit;     // the engine stops a catastrophic match by itself
  const char* probeModule;  // a module the interpreter must import, or nullptr
};

std::ostream& operator<<(std::ostream& out, const RunnerSpec& spec) { return out << spec.flavour; }

QString PythonInterpreter() {
  // Debian's own python3 has python3-regex; a python3 earlier on PATH (pyenv) may not.
  return QFileInfo::exists("/usr/bin/python3") ? QString("/usr/bin/python3") : QString("python3");
}

const std::vector<RunnerSpec>& Runners() {
  static const std::vector<RunnerSpec> runners = {
      {"js", "node", {"runner.js"}, "utf16", true, true, nullptr},
      {"python", "python3", {"runner.py", "re"}, "codepoint", true, false, nullptr},
      {"python-regex", "python3", {"runner.py", "regex"}, "codepoint", true, true, "regex"},
      {"perl", "perl", {"runner.pl"}, "codepoint", false, false, nullptr},
      {"ruby", "ruby", {"runner.rb"}, "codepoint", false, false, nullptr},
      {"php", "php", {"runner.php"}, "utf8", false, true, nullptr},
      // Linear time: nothing to stop. "run" goes before the file (see Start).
      {"go", "go", {"runner.go", "run"}, "utf8", false, false, nullptr},
  };
  return runners;
}

// One running runner; stopped (and reaped) when it goes out of scope.
class RunnerProcess {
 public:
  ~RunnerProcess() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(kLineWaitMs);
    }
  }

  // Starts the runner; returns an empty string, or why the test must be skipped.
  std::string Start(const RunnerSpec& spec) {
    QString interpreter = spec.interpreter;
    if (interpreter == "python3") interpreter = PythonInterpreter();
    const QString program = QFileInfo(interpreter).isAbsolute()
                                ? (QFileInfo(interpreter).isExecutable() ? interpreter : QString())
                                : QStandardPaths::findExecutable(interpreter);
    if (program.isEmpty()) return std::string(spec.interpreter) + " is not installed";
    if (spec.probeModule) {
      QProcess probe;
      probe.start(program, {"-c", QString("import ") + spec.probeModule});
      if (!probe.waitForFinished(kLineWaitMs) || probe.exitCode() != 0)
        return program.toStdString() + " has no module " + spec.probeModule;
    }
    QStringList arguments;
    for (const char* a : spec.arguments) arguments << a;
    arguments[0] = QString(KV_RUNNERS_DIR) + "/" + arguments[0];
    if (arguments.size() > 1 && arguments[1] == QLatin1String("run")) arguments.swapItemsAt(0, 1);  // go run FILE
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program, arguments);
    if (!process_.waitForStarted(kLineWaitMs)) ADD_FAILURE() << "cannot start " << program.toStdString();
    return {};
  }

  void Send(const QByteArray& line) {
    process_.write(line + "\n");
    process_.waitForBytesWritten(kLineWaitMs);
  }

  // The next line on stdout, or nullopt when none came (the runner ended or hung).
  std::optional<QByteArray> ReadLine() {
    while (!process_.canReadLine()) {
      if (process_.state() == QProcess::NotRunning || !process_.waitForReadyRead(kLineWaitMs)) {
        if (process_.canReadLine()) break;
        return std::nullopt;
      }
    }
    return process_.readLine().trimmed();
  }

  QJsonObject ReadObject() {
    const std::optional<QByteArray> line = ReadLine();
    if (!line) {
      ADD_FAILURE() << "no line from the runner; stderr: " << process_.readAllStandardError().toStdString();
      return {};
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(*line, &error);
    EXPECT_TRUE(doc.isObject()) << "not a JSON object: " << line->toStdString();
    return doc.object();
  }

  // Sends `request` and reads its answers up to the done line: the compile line first, then
  // one line per subject.
  std::vector<QJsonObject> Ask(const QJsonObject& request) {
    Send(QJsonDocument(request).toJson(QJsonDocument::Compact));
    std::vector<QJsonObject> answers;
    for (;;) {
      QJsonObject answer = ReadObject();
      if (answer.isEmpty() || answer.contains("fatal")) {
        answers.push_back(answer);
        return answers;
      }
      EXPECT_EQ(answer.value("id"), request.value("id")) << QJsonDocument(answer).toJson().toStdString();
      const bool done = answer.value("done").toBool();
      answers.push_back(std::move(answer));
      if (done) return answers;
    }
  }

  // Closes stdin and waits; the exit code, or -1 when the runner did not end by itself.
  int CloseAndWait() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(kLineWaitMs)) return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }

  QProcess& process() { return process_; }

 private:
  QProcess process_;
};

// A span list that depends on the unit: the same matches written in each of the three.
struct UnitSpans {
  const char* utf16;
  const char* codepoint;
  const char* utf8;
  const char* For(const std::string& unit) const {
    return unit == "utf16" ? utf16 : unit == "codepoint" ? codepoint : utf8;
  }
};

// One request with one subject, and the answer every runner must give. `matches` is the
// compact JSON of the match list; all three units are the same unless `units` is set.
struct MatchCase {
  const char* name;
  const char* pattern;
  const char* flags;
  const char* subject;  // UTF-8
  int groups;
  const char* names;    // compact JSON of the names list
  const char* matches;
  std::optional<UnitSpans> units;
};

const MatchCase kMatchCases[] = {
    {"groups, one unset", "(\\w)(\\d)?", "", "a1 b", 2, "[]", "[[0,2,0,1,1,2],[3,4,3,4,-1,-1]]", {}},
    {"empty matches in find-all", "\\d*", "", "a1", 0, "[]", "[[0,0],[1,2],[2,2]]", {}},
    {"no match", "z", "", "abc", 0, "[]", "[]", {}},
    {"empty subject", "a?", "", "", 0, "[]", "[[0,0]]", {}},
    {"ignore case", "AB", "i", "xaBab", 0, "[]", "[[1,3],[3,5]]", {}},
    {"dot and s", "a.b", "s", "a\nb", 0, "[]", "[[0,3]]", {}},
    {"line anchors with m", "^\\w+$", "m", "ab\ncd", 0, "[]", "[[0,2],[3,5]]", {}},
    {"CRLF kept as two characters", "\\n", "", "a\r\nb\r\n", 0, "[]", "[[2,3],[5,6]]", {}},
    // U+1F600 (astral: 2 UTF-16 units, 4 bytes), e + U+0301 (combining: 2 code points, 3 bytes).
    {"astral and combining", "x", "", "\xF0\x9F\x98\x80" "e\xCC\x81x", 0, "[]", nullptr,
     UnitSpans{"[[4,5]]", "[[3,4]]", "[[7,8]]"}},
    {"group around a combining mark", "(e\xCC\x81)", "", "\xC3\xA9" "e\xCC\x81", 1, "[]", nullptr,
     UnitSpans{"[[1,3,1,3]]", "[[1,3,1,3]]", "[[2,5,2,5]]"}},
};

// A request that must not compile, and must be answered by a compile line and a done line.
struct CompileErrorCase {
  const char* name;
  const char* pattern;
  const char* flags;
  const char* nativeFlags;
};

const CompileErrorCase kCompileErrorCases[] = {
    {"unterminated group", "a(b", "", ""},
    {"nothing to repeat", "*a", "", ""},
    {"unknown generic flag", "a", "q", ""},
    {"unknown native flag", "a", "", "Z"},
};

QJsonObject Request(int id, const QString& pattern, const QString& flags, const QJsonArray& subjects,
                    const QString& nativeFlags = {}, int timeoutMs = 5000, int maxMatches = 10000) {
  return QJsonObject{{"id", id},
                     {"pattern", pattern},
                     {"flags", flags},
                     {"native_flags", nativeFlags},
                     {"subjects", subjects},
                     {"timeout_ms", timeoutMs},
                     {"max_matches", maxMatches}};
}

QByteArray Compact(const QJsonValue& v) {
  if (v.isArray()) return QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact);
  if (v.isObject()) return QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
  return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
}

class ScriptRunner : public ::testing::TestWithParam<RunnerSpec> {
 protected:
  void SetUp() override {
    const std::string skip = runner_.Start(GetParam());
    if (!skip.empty()) GTEST_SKIP() << skip;
    hello_ = runner_.ReadObject();
  }

  // Checks the answer to a one-subject request against the expected compile line and matches.
  void ExpectMatches(const std::vector<QJsonObject>& answers, int groups, const char* names, const char* matches) {
    ASSERT_EQ(answers.size(), 3u) << Compact(answers.front()).toStdString();
    EXPECT_TRUE(answers[0].value("compiled").toBool()) << Compact(answers[0]).toStdString();
    EXPECT_EQ(answers[0].value("groups").toInt(-1), groups);
    EXPECT_EQ(Compact(answers[0].value("names")).toStdString(), names);
    EXPECT_EQ(answers[1].value("subject").toInt(-1), 0);
    EXPECT_EQ(answers[1].value("status").toString().toStdString(), "ok") << Compact(answers[1]).toStdString();
    EXPECT_EQ(Compact(answers[1].value("matches")).toStdString(), matches);
    EXPECT_TRUE(answers[1].value("truncated").isBool());
    EXPECT_FALSE(answers[1].value("truncated").toBool());
    EXPECT_TRUE(answers[2].value("done").toBool());
  }

  RunnerProcess runner_;
  QJsonObject hello_;
};

TEST_P(ScriptRunner, HelloNamesItsFlavourUnitAndVersion) {
  const RunnerSpec& spec = GetParam();
  EXPECT_EQ(hello_.value("hello").toString().toStdString(), "korvane-runner");
  EXPECT_EQ(hello_.value("protocol").toInt(), 1);
  EXPECT_EQ(hello_.value("flavour").toString().toStdString(), spec.flavour);
  EXPECT_EQ(hello_.value("unit").toString().toStdString(), spec.unit);
  ASSERT_TRUE(hello_.value("surrogates").isBool());
  EXPECT_EQ(hello_.value("surrogates").toBool(), spec.surrogates);
  EXPECT_FALSE(hello_.value("engine").toString().isEmpty());
  EXPECT_FALSE(hello_.value("version").toString().isEmpty());
}

TEST_P(ScriptRunner, FindAllSpansInItsUnit) {
  const std::string unit = GetParam().unit;
  int id = 0;
  for (const MatchCase& c : kMatchCases) {
    SCOPED_TRACE(c.name);
    const auto answers = runner_.Ask(Request(++id, QString::fromUtf8(c.pattern), c.flags,
                                             QJsonArray{QString::fromUtf8(c.subject)}));
    const char* expected = c.units ? c.units->For(unit) : c.matches;
    // Go drops an empty match where the previous match ended.
    if (std::string(GetParam().flavour) == "go" && std::string(c.name) == "empty matches in find-all")
      expected = "[[0,0],[1,2]]";
    ExpectMatches(answers, c.groups, c.names, expected);
  }
}

TEST_P(ScriptRunner, NamedGroupsCarryTheirNumbers) {
  const std::string flavour = GetParam().flavour;
  // Python re and Go (before 1.22) know only (?P<n>...); the others all read (?<n>...).
  const QString pattern = flavour == "python" || flavour == "go" ? "(?P<y>\\d+)-(\\d+)-(?P<d>\\d+)"
                                                                 : "(?<y>\\d+)-(\\d+)-(?<d>\\d+)";
  const auto answers = runner_.Ask(Request(1, pattern, "", QJsonArray{"2024-05-06"}));
  if (flavour == "ruby") {
    // In a pattern with named groups, Ruby's plain groups do not capture.
    ExpectMatches(answers, 2, R"([["y",1],["d",2]])", "[[0,10,0,4,8,10]]");
  } else {
    ExpectMatches(answers, 3, R"([["y",1],["d",3]])", "[[0,10,0,4,5,7,8,10]]");
  }
}

TEST_P(ScriptRunner, SubjectsAreAnsweredInOrderAndNullIsSkipped) {
  const auto answers = runner_.Ask(Request(7, "b+", "", QJsonArray{"abba", QJsonValue(), "b"}));
  ASSERT_EQ(answers.size(), 5u);
  for (int s = 0; s < 3; ++s) EXPECT_EQ(answers[s + 1].value("subject").toInt(-1), s);
  EXPECT_EQ(Compact(answers[1].value("matches")).toStdString(), "[[1,3]]");
  EXPECT_EQ(answers[2].value("status").toString().toStdString(), "skipped");
  EXPECT_FALSE(answers[2].contains("matches"));
  EXPECT_EQ(Compact(answers[3].value("matches")).toStdString(), "[[0,1]]");
  EXPECT_TRUE(answers[4].value("done").toBool());
}

TEST_P(ScriptRunner, MaxMatchesTruncatesTheFindAll) {
  const auto answers = runner_.Ask(Request(3, "a", "", QJsonArray{"aaaa", "aa"}, {}, 5000, 2));
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(Compact(answers[1].value("matches")).toStdString(), "[[0,1],[1,2]]");
  EXPECT_TRUE(answers[1].value("truncated").toBool());
  // Exactly max_matches matches is not a truncation.
  EXPECT_EQ(Compact(answers[2].value("matches")).toStdString(), "[[0,1],[1,2]]");
  EXPECT_FALSE(answers[2].value("truncated").toBool());
}

TEST_P(ScriptRunner, CompileErrorsAreAnsweredAndTheRunnerGoesOn) {
  int id = 100;
  for (const CompileErrorCase& c : kCompileErrorCases) {
    SCOPED_TRACE(c.name);
    const auto answers = runner_.Ask(Request(++id, c.pattern, c.flags, QJsonArray{"ab", "a(b"}, c.nativeFlags));
    ASSERT_EQ(answers.size(), 2u) << "only the done line may follow a failed compile";
    EXPECT_FALSE(answers[0].value("compiled").toBool(true)) << Compact(answers[0]).toStdString();
    EXPECT_FALSE(answers[0].value("error").toString().isEmpty());
    EXPECT_TRUE(answers[0].value("offset").isDouble());
    EXPECT_GE(answers[0].value("offset").toInt(-2), -1);
    EXPECT_TRUE(answers[1].value("done").toBool());
  }
  ExpectMatches(runner_.Ask(Request(++id, "b", "", QJsonArray{"ab"})), 0, "[]", "[[1,2]]");
}

TEST_P(ScriptRunner, FlagsTheFlavourLacksAreCompileErrors) {
  const RunnerSpec& spec = GetParam();
  // JavaScript and Go have no extended mode; every other flavour here takes all four letters.
  for (const char* flags : {"i", "m", "s", "x"}) {
    SCOPED_TRACE(flags);
    const auto answers = runner_.Ask(Request(1, "a", flags, QJsonArray{"a"}));
    const bool lacks = (std::string(spec.flavour) == "js" || std::string(spec.flavour) == "go") && std::string(flags) == "x";
    EXPECT_EQ(answers[0].value("compiled").toBool(), !lacks) << Compact(answers[0]).toStdString();
    if (lacks) {
      EXPECT_TRUE(answers[0].value("error").toString().contains("x flag"));
    }
  }
}

TEST_P(ScriptRunner, BadRequestsAreAnsweredAndSurvived) {
  const char* bad[] = {
      "this is not json",
      "[1,2]",
      R"({"id":5,"pattern":5,"subjects":[]})",
      R"({"id":6,"pattern":"a","subjects":"a"})",
      R"({"id":7,"pattern":"a","subjects":[1]})",
      R"({"id":8,"pattern":"a","subjects":["a"],"timeout_ms":"soon"})",
      R"({"id":9,"pattern":"a","subjects":["a"],"max_matches":-1})",
      "{\"id\":10,\"pattern\":\"a\",\"subj",
  };
  for (const char* line : bad) {
    SCOPED_TRACE(line);
    runner_.Send(line);
    const QJsonObject answer = runner_.ReadObject();
    EXPECT_TRUE(answer.value("fatal").toString().startsWith("bad request: ")) << Compact(answer).toStdString();
    ASSERT_TRUE(answer.contains("id"));
  }
  // Bytes that are not UTF-8.
  runner_.Send(QByteArray("\xff\xfe{\"id\":1}"));
  EXPECT_TRUE(runner_.ReadObject().value("fatal").toString().startsWith("bad request: "));
  // Blank lines are not requests and get no answer: the next answer is the next request's.
  runner_.Send("");
  ExpectMatches(runner_.Ask(Request(11, "a", "", QJsonArray{"ba"})), 0, "[]", "[[1,2]]");
  // A missing optional field takes its default.
  ExpectMatches(runner_.Ask(QJsonObject{{"id", 12}, {"pattern", "a"}, {"subjects", QJsonArray{"a"}}}), 0, "[]",
                "[[0,1]]");
  EXPECT_EQ(runner_.CloseAndWait(), 0);
}

TEST_P(ScriptRunner, LoneSurrogateAsDeclared) {
  const RunnerSpec& spec = GetParam();
  // "a", U+D800 alone, "x": the lone surrogate is one UTF-16 unit and one code point.
  runner_.Send(R"({"id":1,"pattern":"x","flags":"","native_flags":"","subjects":["a\ud800x"],"timeout_ms":5000,"max_matches":10})");
  const QJsonObject first = runner_.ReadObject();
  if (spec.surrogates) {
    EXPECT_TRUE(first.value("compiled").toBool()) << Compact(first).toStdString();
    const QJsonObject subject = runner_.ReadObject();
    EXPECT_EQ(subject.value("status").toString().toStdString(), "ok") << Compact(subject).toStdString();
    EXPECT_EQ(Compact(subject.value("matches")).toStdString(), "[[2,3]]");
    EXPECT_TRUE(runner_.ReadObject().value("done").toBool());
  } else {
    // Korvane sends null in its place; should such a subject come anyway, the runner refuses
    // the request (its JSON reader cannot hold the text) and goes on.
    EXPECT_TRUE(first.value("fatal").toString().startsWith("bad request: ")) << Compact(first).toStdString();
  }
  ExpectMatches(runner_.Ask(Request(2, "x", "", QJsonArray{"ax"})), 0, "[]", "[[1,2]]");
}

TEST_P(ScriptRunner, CatastrophicPatternTimesOutInTheEngine) {
  const RunnerSpec& spec = GetParam();
  if (!spec.nativeTimeLimit) GTEST_SKIP() << spec.flavour << " has no time limit of its own: the client kills it";
  // 2^34 ways to fail; every engine here gives up long before (a time or backtrack limit).
  const QString subject = QString(34, 'a') + "b";
  const auto answers = runner_.Ask(Request(1, "(a|a)+$", "", QJsonArray{subject, "aa"}, {}, 300));
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(answers[1].value("status").toString().toStdString(), "timeout") << Compact(answers[1]).toStdString();
  // The next subject runs as usual after a timeout.
  EXPECT_EQ(answers[2].value("status").toString().toStdString(), "ok");
  EXPECT_EQ(Compact(answers[2].value("matches")).toStdString(), "[[0,2,1,2]]");
}

TEST_P(ScriptRunner, EndOfInputEndsTheRunnerWithZero) {
  ExpectMatches(runner_.Ask(Request(1, "a", "", QJsonArray{"a"})), 0, "[]", "[[0,1]]");
  EXPECT_EQ(runner_.CloseAndWait(), 0);
  EXPECT_TRUE(runner_.process().readAllStandardOutput().trimmed().isEmpty()) << "nothing after the last answer";
}

INSTANTIATE_TEST_SUITE_P(Runners, ScriptRunner, ::testing::ValuesIn(Runners()),
                         [](const ::testing::TestParamInfo<RunnerSpec>& info) {
                           std::string name = info.param.flavour;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
