// runner_protocol_test.cpp: every built flavour runner, started as its own process and spoken to
// over its stdin and stdout exactly as Korvane's client will: the hello, offsets in the declared
// unit, find-all stepping over empty matches, unset and named groups, compile errors, time
// limits, bad requests and the end of input. A runner whose runtime is missing is skipped, never
// passed.
#include "runner_json.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using korvane_runner::CJsonValue;

// Generous: a cold JVM or Mono on a loaded 2-core machine takes seconds to say hello.
constexpr int kLineTimeoutMs = 30000;

// A runner process with pipes on its stdin and stdout; stderr goes to the test's own.
class CRunnerProcess {
public:
    bool Start(const std::vector<std::string>& argv)
    {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int rc = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
        if (rc != 0) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    ~CRunnerProcess()
    {
        CloseInput();
        if (m_out >= 0)
            close(m_out);
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    void Send(const std::string& line)
    {
        const std::string data = line + "\n";
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = write(m_in, data.data() + done, data.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

    void CloseInput()
    {
        if (m_in >= 0)
            close(m_in);
        m_in = -1;
    }

    // The next line (without its newline), or nullopt-like "" with ok = false on timeout or end.
    bool ReadLine(std::string& line, int timeoutMs = kLineTimeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            const size_t newline = m_buffer.find('\n');
            if (newline != std::string::npos) {
                line = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }

    // Waits for the process to exit; returns its exit code, or -1 when it did not exit in time.
    int WaitExit(int timeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(20000);
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
};

struct SRunnerSpec {
    const char* flavour;
    const char* interpreter;  // nullptr: a native executable
    std::vector<std::string> command;  // file names relative to the runners folder come first
    const char* unit;
    bool surrogates;
    bool bre;            // basic syntax: groups are \( \), no ? or |
    bool goStepping;     // an empty match right after a match is dropped (Go's find-all)
    bool unitStepping;   // after an empty match the search moves one UTF-16 unit, into a pair
    bool namedGroups;    // the (?<name>...) syntax (RE2 spells it (?P<name>...))
    bool ownTimeLimit;   // a time limit of its own that answers "timeout" (the rest get killed)
    const char* catastrophic;  // a pattern that backtracks without end on 30 a's and a b
};

const std::vector<SRunnerSpec>& Runners()
{
    static const std::vector<SRunnerSpec> runners = {
        {"pcre2", nullptr, {"korvane-runner-native", "pcre2"}, "utf16", true, false, false, false, true, true, "^(a+)+$"},
        {"posix-ere", nullptr, {"korvane-runner-native", "posix-ere"}, "utf8", false, false, false, false, false, false, ""},
        {"posix-bre", nullptr, {"korvane-runner-native", "posix-bre"}, "utf8", false, true, false, false, false, false, ""},
        {"cpp-ecmascript", nullptr, {"korvane-runner-native", "cpp-ecmascript"}, "codepoint", true, false, false, false, false, false, ""},
        {"cpp-basic", nullptr, {"korvane-runner-native", "cpp-basic"}, "codepoint", true, true, false, false, false, false, ""},
        {"cpp-extended", nullptr, {"korvane-runner-native", "cpp-extended"}, "codepoint", true, false, false, false, false, false, ""},
        {"cpp-awk", nullptr, {"korvane-runner-native", "cpp-awk"}, "codepoint", true, false, false, false, false, false, ""},
        {"cpp-grep", nullptr, {"korvane-runner-native", "cpp-grep"}, "codepoint", true, true, false, false, false, false, ""},
        {"cpp-egrep", nullptr, {"korvane-runner-native", "cpp-egrep"}, "codepoint", true, false, false, false, false, false, ""},
        {"re2", nullptr, {"korvane-runner-re2"}, "utf8", false, false, true, false, true, false, ""},
        {"icu", nullptr, {"korvane-runner-icu"}, "utf16", true, false, false, false, true, true, "^(a+)+$"},
        {"boost", nullptr, {"korvane-runner-boost"}, "codepoint", true, false, false, false, true, false, ""},
        // With a named group, Oniguruma's plain groups do not capture: the shared check of names
        // does not fit it (its own is below).
        {"oniguruma", nullptr, {"korvane-runner-onig"}, "utf16", false, false, false, false, false, true, "^(a+)+$"},
        // Java memoizes (a+)+ since 9, so its catastrophe needs a pattern it cannot cut short.
        {"java", "java", {"KorvaneRunner.class"}, "utf16", true, false, false, true, true, true, "(.*a){25}"},
        {"dotnet", "mono", {"KorvaneRunner.exe"}, "utf16", true, false, false, true, true, true, "^(a+)+$"},
    };
    return runners;
}

// Test names and failure messages show the flavour rather than the struct's bytes.
void PrintTo(const SRunnerSpec& spec, std::ostream* out)
{
    *out << spec.flavour;
}

bool OnPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t colon = dirs.find(':', start);
        const std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return false;
}

// The argv that starts a runner, or an empty vector with `why` set when it cannot run here.
std::vector<std::string> Command(const SRunnerSpec& spec, std::string& why)
{
    const std::string dir = KORVANE_RUNNER_DIR;
    const std::string file = dir + "/" + spec.command[0];
    if (access(file.c_str(), F_OK) != 0) {
        why = spec.command[0] + " was not built (its compiler or library is missing)";
        return {};
    }
    if (spec.interpreter && !OnPath(spec.interpreter)) {
        why = std::string(spec.interpreter) + " is not installed";
        return {};
    }
    if (std::string(spec.flavour) == "java")
        return {"java", "-cp", dir, "KorvaneRunner"};
    std::vector<std::string> argv;
    if (spec.interpreter)
        argv.push_back(spec.interpreter);
    argv.push_back(file);
    argv.insert(argv.end(), spec.command.begin() + 1, spec.command.end());
    return argv;
}

// Escapes a UTF-16 string as Korvane's client does: every non-ASCII unit as \uXXXX.
std::string Quote(const std::u16string& text)
{
    std::string out;
    korvane_runner::AppendJsonString(out, text);
    return out;
}

std::string Request(int id, const std::u16string& pattern, const std::vector<std::u16string>& subjects,
                    const std::string& flags = "", const std::string& extra = "")
{
    std::string line = "{\"id\":" + std::to_string(id) + ",\"pattern\":" + Quote(pattern) + ",\"flags\":\"" + flags +
                       "\",\"native_flags\":\"\",\"subjects\":[";
    for (size_t i = 0; i < subjects.size(); ++i)
        line += (i ? "," : "") + Quote(subjects[i]);
    return line + "],\"timeout_ms\":1000,\"max_matches\":10000" + extra + "}";
}

CJsonValue Parse(const std::string& line)
{
    CJsonValue value;
    std::string error;
    EXPECT_TRUE(korvane_runner::ParseJsonLine(line, value, error)) << line << ": " << error;
    EXPECT_EQ(value.kind, CJsonValue::EKind::Object) << line;
    return value;
}

std::string Text(const CJsonValue* value)
{
    if (!value || value->kind != CJsonValue::EKind::String)
        return "<not a string>";
    std::string out;
    korvane_runner::Utf16ToUtf8(value->text, out);
    return out;
}

// A subject's matches as written: [[0,1,-1,-1],...] (numbers only, no spaces).
std::string Matches(const CJsonValue& line)
{
    const CJsonValue* matches = line.Find("matches");
    if (!matches || matches->kind != CJsonValue::EKind::Array)
        return "<no matches: status " + Text(line.Find("status")) + " " + Text(line.Find("error")) + ">";
    std::string out = "[";
    for (size_t m = 0; m < matches->items.size(); ++m) {
        out += m ? ",[" : "[";
        for (size_t k = 0; k < matches->items[m].items.size(); ++k)
            out += (k ? "," : "") + matches->items[m].items[k].numberText;
        out += "]";
    }
    return out + "]";
}

class RunnerTest : public ::testing::TestWithParam<SRunnerSpec> {
protected:
    void SetUp() override
    {
        std::string why;
        const std::vector<std::string> argv = Command(GetParam(), why);
        if (argv.empty())
            GTEST_SKIP() << GetParam().flavour << ": " << why;
        ASSERT_TRUE(m_runner.Start(argv)) << "cannot start " << argv[0];
        std::string line;
        ASSERT_TRUE(m_runner.ReadLine(line)) << "no hello from " << GetParam().flavour;
        m_hello = Parse(line);
    }

    // Sends one request and collects its answer lines up to and including done.
    std::vector<CJsonValue> Ask(const std::string& request)
    {
        m_runner.Send(request);
        std::vector<CJsonValue> lines;
        std::string line;
        while (m_runner.ReadLine(line)) {
            lines.push_back(Parse(line));
            if (lines.back().Find("done") || lines.back().Find("fatal"))
                return lines;
        }
        ADD_FAILURE() << GetParam().flavour << ": the answer to " << request << " stopped after " << lines.size()
                      << " lines";
        return lines;
    }

    // The matches of each subject of a request that must compile.
    std::vector<std::string> Run(const std::u16string& pattern, const std::vector<std::u16string>& subjects,
                                 const std::string& flags = "", const std::string& extra = "")
    {
        const std::vector<CJsonValue> lines = Ask(Request(1, pattern, subjects, flags, extra));
        std::vector<std::string> out;
        if (lines.empty() || !lines[0].Find("compiled") || !lines[0].Find("compiled")->boolean) {
            ADD_FAILURE() << GetParam().flavour << ": did not compile: " << (lines.empty() ? "" : Text(lines[0].Find("error")));
            return out;
        }
        for (size_t i = 1; i + 1 < lines.size(); ++i)
            out.push_back(Matches(lines[i]));
        EXPECT_EQ(out.size(), subjects.size());
        return out;
    }

    CRunnerProcess m_runner;
    CJsonValue m_hello;
};

TEST_P(RunnerTest, HelloDeclaresFlavourUnitAndSurrogates)
{
    const SRunnerSpec& spec = GetParam();
    EXPECT_EQ(Text(m_hello.Find("hello")), "korvane-runner");
    ASSERT_NE(m_hello.Find("protocol"), nullptr);
    EXPECT_EQ(m_hello.Find("protocol")->numberText, "1");
    EXPECT_EQ(Text(m_hello.Find("flavour")), spec.flavour);
    EXPECT_EQ(Text(m_hello.Find("unit")), spec.unit);
    ASSERT_NE(m_hello.Find("surrogates"), nullptr);
    EXPECT_EQ(m_hello.Find("surrogates")->boolean, spec.surrogates);
    EXPECT_FALSE(Text(m_hello.Find("engine")).empty());
    EXPECT_FALSE(Text(m_hello.Find("version")).empty());
    EXPECT_NE(Text(m_hello.Find("version")), "<not a string>");
}

// Offsets come in the declared unit: the same literal match lands on different numbers.
TEST_P(RunnerTest, OffsetsAreInTheDeclaredUnit)
{
    struct SRow {
        const char* what;
        std::u16string subject;
        const char* utf16;
        const char* codepoint;
        const char* utf8;
    };
    const std::vector<SRow> rows = {
        {"ascii", u"abxc", "[[2,3]]", "[[2,3]]", "[[2,3]]"},
        {"astral before", u"\U0001F600x", "[[2,3]]", "[[1,2]]", "[[4,5]]"},
        {"two astral before", u"\U0001F600\U0001F601x", "[[4,5]]", "[[2,3]]", "[[8,9]]"},
        {"combining mark before", u"e\u0301x", "[[2,3]]", "[[2,3]]", "[[3,4]]"},
        {"CRLF before", u"a\r\nx", "[[3,4]]", "[[3,4]]", "[[3,4]]"},
        {"two-byte letters", u"\u00e9\u00e9x\u00e9x", "[[2,3],[4,5]]", "[[2,3],[4,5]]", "[[4,5],[7,8]]"},
        {"CJK", u"\u4e2d\u6587x", "[[2,3]]", "[[2,3]]", "[[6,7]]"},
    };
    std::vector<std::u16string> subjects;
    for (const SRow& row : rows)
        subjects.push_back(row.subject);
    const std::vector<std::string> got = Run(u"x", subjects);
    ASSERT_EQ(got.size(), rows.size());
    const std::string unit = GetParam().unit;
    for (size_t i = 0; i < rows.size(); ++i) {
        const char* want = unit == "utf16" ? rows[i].utf16 : unit == "codepoint" ? rows[i].codepoint : rows[i].utf8;
        EXPECT_EQ(got[i], want) << GetParam().flavour << ": " << rows[i].what;
    }
}

// A lone surrogate: runners that say they take one give exact offsets past it; the others answer
// the subject with an error instead of a wrong span (Korvane does not send it to them).
TEST_P(RunnerTest, LoneSurrogateSubject)
{
    const std::vector<CJsonValue> lines = Ask(Request(3, u"x", {u"a\xD800x\xDC00x"}));
    ASSERT_EQ(lines.size(), 3u);
    if (GetParam().surrogates) {
        EXPECT_EQ(Matches(lines[1]), "[[2,3],[4,5]]") << GetParam().flavour;
    } else {
        EXPECT_EQ(Text(lines[1].Find("status")), "error");
        EXPECT_NE(Text(lines[1].Find("error")).find("not representable"), std::string::npos);
    }
}

// Find-all after an empty match: each language's own stepping. Go (and so the re2 runner) drops
// an empty match where the previous match ended; the others keep it.
TEST_P(RunnerTest, EmptyMatchStepping)
{
    const SRunnerSpec& spec = GetParam();
    const std::vector<std::string> got = Run(u"[0-9]*", {u"a1", u"", u"\U0001F600", u"12"});
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], spec.goStepping ? "[[0,0],[1,2]]" : "[[0,0],[1,2],[2,2]]") << spec.flavour;
    EXPECT_EQ(got[1], "[[0,0]]") << spec.flavour;
    const std::string unit = spec.unit;
    // PCRE2 and the code point and byte engines never stop inside the astral character; Java's
    // Matcher and .NET's Matches step one UTF-16 unit and find an empty match between the halves.
    EXPECT_EQ(got[2], spec.unitStepping ? "[[0,0],[1,1],[2,2]]"
                      : unit == "utf16" ? "[[0,0],[2,2]]" : unit == "codepoint" ? "[[0,0],[1,1]]" : "[[0,0],[4,4]]")
        << spec.flavour;
    EXPECT_EQ(got[3], spec.goStepping ? "[[0,2]]" : "[[0,2],[2,2]]") << spec.flavour;
}

TEST_P(RunnerTest, UnsetAndNamedGroups)
{
    const SRunnerSpec& spec = GetParam();
    const std::vector<std::string> got = spec.bre ? Run(u"\\(a\\)*\\(b\\)", {u"b", u"ab"})
                                                  : Run(u"(a)?(b)", {u"b", u"ab"});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "[[0,1,-1,-1,0,1]]") << spec.flavour;
    EXPECT_EQ(got[1], "[[0,2,0,1,1,2]]") << spec.flavour;
    if (!spec.namedGroups)
        return;
    const std::u16string named = std::string(spec.flavour) == "re2" ? u"(x)(?P<year>\\d+)" : u"(x)(?<year>\\d+)";
    const std::vector<CJsonValue> lines = Ask(Request(2, named, {u"x2024"}));
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_NE(lines[0].Find("names"), nullptr);
    const CJsonValue& names = *lines[0].Find("names");
    ASSERT_EQ(names.items.size(), 1u) << spec.flavour;
    ASSERT_EQ(names.items[0].items.size(), 2u);
    EXPECT_EQ(names.items[0].items[0].text, u"year");
    EXPECT_EQ(names.items[0].items[1].numberText, "2") << spec.flavour;
    EXPECT_EQ(lines[0].Find("groups")->numberText, "2");
    EXPECT_EQ(Matches(lines[1]), "[[0,5,0,1,1,5]]");
}

// A bad pattern or a flag the flavour lacks: compiled false with a message, then only done.
TEST_P(RunnerTest, CompileErrors)
{
    const SRunnerSpec& spec = GetParam();
    const std::string flavour = spec.flavour;
    struct SRow {
        std::u16string pattern;
        std::string flags;
    };
    std::vector<SRow> rows = {{spec.bre ? u"a\\(" : u"\U0001F600(", ""}, {u"a", "q"}};
    if (flavour.rfind("posix", 0) == 0 || flavour.rfind("cpp", 0) == 0)
        rows.push_back({u"a", "s"});
    if (flavour.rfind("posix", 0) == 0 || flavour.rfind("cpp", 0) == 0 || flavour == "re2")
        rows.push_back({u"a", "x"});
    if (flavour.rfind("cpp", 0) == 0 && flavour != "cpp-ecmascript")
        rows.push_back({u"a", "m"});
    for (const SRow& row : rows) {
        const std::vector<CJsonValue> lines = Ask(Request(9, row.pattern, {u"a"}, row.flags));
        ASSERT_EQ(lines.size(), 2u) << flavour << " flags " << row.flags;
        ASSERT_NE(lines[0].Find("compiled"), nullptr);
        EXPECT_FALSE(lines[0].Find("compiled")->boolean) << flavour << " flags " << row.flags;
        EXPECT_FALSE(Text(lines[0].Find("error")).empty());
        ASSERT_NE(lines[0].Find("offset"), nullptr);
        if (!row.flags.empty()) {
            EXPECT_NE(Text(lines[0].Find("error")).find(" " + row.flags + " "), std::string::npos)
                << flavour << ": " << Text(lines[0].Find("error"));
            EXPECT_EQ(lines[0].Find("offset")->numberText, "-1");
        } else if (flavour == "pcre2" || flavour == "java") {
            // The offset is in UTF-16 units of the pattern: the astral character counts two.
            EXPECT_EQ(lines[0].Find("offset")->numberText, "3") << flavour;
        }
        EXPECT_NE(lines[1].Find("done"), nullptr);
    }
    // The runner carries on after a failed compile.
    EXPECT_EQ(Run(u"a", {u"ba"}), std::vector<std::string>{"[[1,2]]"});
}

// Bad lines get a fatal answer with the id when it could be read; the runner keeps serving.
TEST_P(RunnerTest, SurvivesMalformedRequests)
{
    struct SRow {
        const char* line;
        const char* id;  // "" for null
    };
    std::vector<SRow> rows = {
        {"garbage", ""},
        {"{\"id\":1,\"pattern\":", ""},
        {"[1,2]", ""},
        {"{\"id\":4,\"subjects\":[]}", "4"},
        {"{\"id\":5,\"pattern\":\"a\",\"subjects\":[1]}", "5"},
        {"{\"id\":6,\"pattern\":\"a\",\"subjects\":[],\"timeout_ms\":-5}", "6"},
        {"{\"id\":7,\"pattern\":\"\\ud83d\\zz\",\"subjects\":[]}", ""},
        {"{\"id\":9,\"pattern\":\"a\",\"subjects\":[]} trailing", ""},
        {"{\"id\":10,\"pattern\":\"a\",\"subjects\":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["
         "[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]"
         "]}",
         ""},
    };
    // Java's and Mono's line readers turn invalid UTF-8 into U+FFFD before the JSON reader sees
    // it; Korvane sends ASCII only, so only the native runners are held to rejecting it.
    if (!GetParam().interpreter)
        rows.push_back({"{\"id\":8,\"pattern\":\"a\",\"subjects\":[\"\xff\"]}", ""});
    for (const SRow& row : rows) {
        const std::vector<CJsonValue> lines = Ask(row.line);
        ASSERT_EQ(lines.size(), 1u) << GetParam().flavour << ": " << row.line;
        EXPECT_NE(Text(lines[0].Find("fatal")).find("bad request"), std::string::npos) << row.line;
        ASSERT_NE(lines[0].Find("id"), nullptr);
        if (*row.id)
            EXPECT_EQ(lines[0].Find("id")->numberText, row.id) << GetParam().flavour << ": " << row.line;
        else
            EXPECT_EQ(lines[0].Find("id")->kind, CJsonValue::EKind::Null) << GetParam().flavour << ": " << row.line;
    }
    EXPECT_EQ(Run(u"a", {u"aa"}), std::vector<std::string>{"[[0,1],[1,2]]"});
}

TEST_P(RunnerTest, SkipsNullSubjectsAndTruncates)
{
    const std::vector<CJsonValue> lines =
        Ask("{\"id\":\"s1\",\"pattern\":\"a\",\"flags\":\"\",\"subjects\":[null,\"aaaa\",\"aa\"],\"max_matches\":2}");
    ASSERT_EQ(lines.size(), 5u);
    for (const CJsonValue& line : lines)
        EXPECT_EQ(Text(line.Find("id")), "s1");
    EXPECT_EQ(Text(lines[1].Find("status")), "skipped");
    EXPECT_EQ(lines[1].Find("matches"), nullptr);
    EXPECT_EQ(lines[2].Find("subject")->numberText, "1");
    EXPECT_EQ(Matches(lines[2]), "[[0,1],[1,2]]");
    EXPECT_TRUE(lines[2].Find("truncated")->boolean);
    EXPECT_EQ(Matches(lines[3]), "[[0,1],[1,2]]");
    EXPECT_FALSE(lines[3].Find("truncated")->boolean) << "exactly max_matches is not truncated";
}

TEST_P(RunnerTest, FlagsReachTheEngine)
{
    const std::string flavour = GetParam().flavour;
    EXPECT_EQ(Run(u"A", {u"xa"}, "i"), std::vector<std::string>{"[[1,2]]"});
    if (flavour.rfind("cpp", 0) == 0 && flavour != "cpp-ecmascript")
        return;
    if (flavour == "oniguruma") {
        // ^ is a line start always there; its own multiline option is the dot's, the generic s.
        EXPECT_EQ(Run(u"^b", {u"a\nb"}, ""), std::vector<std::string>{"[[2,3]]"});
        EXPECT_EQ(Run(u"a.b", {u"a\nb"}, "s"), std::vector<std::string>{"[[0,3]]"});
        EXPECT_EQ(Run(u"a.b", {u"a\nb"}, ""), std::vector<std::string>{"[]"});
        // With a named group the plain groups do not capture.
        const std::vector<CJsonValue> lines = Ask(Request(2, u"(x)(?<year>\\d+)", {u"x2024"}));
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0].Find("groups")->numberText, "1");
        ASSERT_EQ(lines[0].Find("names")->items.size(), 1u);
        EXPECT_EQ(lines[0].Find("names")->items[0].items[0].text, u"year");
        EXPECT_EQ(lines[0].Find("names")->items[0].items[1].numberText, "1");
        EXPECT_EQ(Matches(lines[1]), "[[0,5,1,5]]");
        return;
    }
    EXPECT_EQ(Run(u"^b", {u"a\nb"}, "m"), std::vector<std::string>{"[[2,3]]"});
    EXPECT_EQ(Run(u"^b", {u"a\nb"}, ""), std::vector<std::string>{"[]"});
}

// ICU and Boost.Regex list no names; their runners read them from the pattern: a look-behind,
// a class and a quoted run that hold "(?<" are no groups.
class NamesFromPatternTest : public RunnerTest {};

TEST_P(NamesFromPatternTest, NamesOnlyRealGroups)
{
    const std::vector<CJsonValue> lines = Ask(Request(4, u"(?<=x)[(?<c>]\\Q(?<q>\\E(?<n>y)(?<m>z)", {u"xyz"}));
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_NE(lines[0].Find("names"), nullptr);
    const CJsonValue& names = *lines[0].Find("names");
    ASSERT_EQ(names.items.size(), 2u);
    EXPECT_EQ(names.items[0].items[0].text, u"n");
    EXPECT_EQ(names.items[0].items[1].numberText, "1");
    EXPECT_EQ(names.items[1].items[0].text, u"m");
    EXPECT_EQ(names.items[1].items[1].numberText, "2");
}

TEST_P(RunnerTest, ExitsAtEndOfInput)
{
    EXPECT_EQ(Run(u"a", {u"a"}), std::vector<std::string>{"[[0,1]]"});
    m_runner.CloseInput();
    EXPECT_EQ(m_runner.WaitExit(kLineTimeoutMs), 0);
}

// A long subject through a repeated group: the recursive matchers (std::regex above all) go
// deep, which the runners' big stacks must hold rather than crash. Boost.Regex bounds its own
// backtracking memory and answers that it ran out of it: an answer, not a crash.
TEST_P(RunnerTest, LongSubjectDoesNotOverflowTheStack)
{
    std::u16string subject;
    for (int i = 0; i < 100000; ++i)
        subject += u"ab";
    if (std::string(GetParam().flavour) == "boost") {
        const std::vector<CJsonValue> lines = Ask(Request(1, u"(a|b)*", {subject}));
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(Text(lines[1].Find("status")), "error");
        EXPECT_NE(Text(lines[1].Find("error")).find("stack"), std::string::npos) << Text(lines[1].Find("error"));
        EXPECT_EQ(Run(u"a", {u"ba"}), std::vector<std::string>{"[[1,2]]"});  // and goes on
        return;
    }
    const std::vector<std::string> got = GetParam().bre ? Run(u"\\(a*b*\\)*", {subject}) : Run(u"(a|b)*", {subject});
    ASSERT_EQ(got.size(), 1u);
    // Which iteration the group keeps differs between engines; the whole subject is one match.
    EXPECT_EQ(got[0].rfind("[[0,200000,", 0), 0u) << GetParam().flavour << ": " << got[0].substr(0, 80);
}

// Runners whose engine has a time limit of its own: a catastrophic match answers timeout, and
// the next subject in the same request still runs. (The others are stopped by Korvane's watchdog.)
class TimedRunnerTest : public RunnerTest {};

TEST_P(TimedRunnerTest, CatastrophicMatchTimesOut)
{
    const SRunnerSpec& spec = GetParam();
    const std::u16string subject = std::u16string(30, u'a') + u"b";
    const std::string request = "{\"id\":7,\"pattern\":" + Quote(korvane_runner::Ascii16(spec.catastrophic)) +
                                ",\"subjects\":[" + Quote(subject) + ",\"aa\"],\"timeout_ms\":300}";
    const std::vector<CJsonValue> lines = Ask(request);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Text(lines[1].Find("status")), "timeout") << spec.flavour << ": " << Matches(lines[1]);
    EXPECT_EQ(Text(lines[2].Find("status")), "ok");
}

// The runners that read the group names from the pattern themselves.
std::vector<SRunnerSpec> NamesFromPatternRunners()
{
    std::vector<SRunnerSpec> out;
    for (const SRunnerSpec& spec : Runners())
        if (std::string(spec.flavour) == "icu" || std::string(spec.flavour) == "boost")
            out.push_back(spec);
    return out;
}

std::vector<SRunnerSpec> TimedRunners()
{
    std::vector<SRunnerSpec> timed;
    for (const SRunnerSpec& spec : Runners())
        if (spec.ownTimeLimit)
            timed.push_back(spec);
    return timed;
}

std::string FlavourName(const ::testing::TestParamInfo<SRunnerSpec>& info)
{
    std::string name = info.param.flavour;
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Runners, RunnerTest, ::testing::ValuesIn(Runners()), FlavourName);
INSTANTIATE_TEST_SUITE_P(Runners, TimedRunnerTest, ::testing::ValuesIn(TimedRunners()), FlavourName);
INSTANTIATE_TEST_SUITE_P(Runners, NamesFromPatternTest, ::testing::ValuesIn(NamesFromPatternRunners()), FlavourName);

}  // namespace
