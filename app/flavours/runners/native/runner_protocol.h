// runner_protocol.h: the request loop shared by the native runners. A flavour compiles one
// request's pattern and runs it over each subject; the loop prints the hello, reads request
// lines, validates them and streams the answer lines. Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane_runner {

struct SRequest {
    std::string idJson;  // the id as JSON text, echoed unchanged in every answer line
    std::u16string pattern;
    std::string flags;        // Korvane's generic letters (i, m, s, x)
    std::string nativeFlags;  // the flavour's own letters
    std::vector<std::optional<std::u16string>> subjects;  // nullopt: not sent, answer skipped
    long long timeoutMs = 1000;
    long long maxMatches = 10000;
};

struct SHello {
    std::string flavour;
    std::string engine;
    std::string version;
    std::string unit;  // utf16, codepoint or utf8
    bool surrogates = false;
};

struct SCompileResult {
    bool compiled = false;
    std::string error;         // UTF-8
    long long errorOffset = -1;  // in UTF-16 units of the pattern, -1 when the engine gives none
    int groups = 0;
    std::vector<std::pair<std::u16string, int>> names;
};

struct SSubjectResult {
    enum class EStatus { Ok, Timeout, Error };
    EStatus status = EStatus::Ok;
    std::string error;  // UTF-8, for Error
    // One flat array a match: start, end, then start, end of each group (-1, -1 when unset),
    // in the flavour's declared unit.
    std::vector<std::vector<long long>> matches;
    bool truncated = false;
};

// One engine behind the loop. Compile is called once per request, Run once per sent subject
// after a successful Compile; the compiled pattern lives in the flavour until the next Compile.
class CFlavour {
public:
    virtual ~CFlavour() = default;
    virtual SHello Hello() const = 0;
    virtual SCompileResult Compile(const SRequest& request) = 0;
    virtual SSubjectResult Run(const std::u16string& subject, const SRequest& request) = 0;
};

// The clock a subject's find-all checks between matches: an engine without a limit of its own
// still stops there when many cheap matches add up past timeout_ms.
class CDeadline {
public:
    explicit CDeadline(long long timeoutMs)
        : m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs)) {}
    bool Passed() const { return std::chrono::steady_clock::now() > m_end; }

private:
    std::chrono::steady_clock::time_point m_end;
};

// Checks a request's flag letters against what a flavour knows. Returns an empty string when
// all are known, else a compile error message naming the first unknown letter.
// Both sets of a request: the generic letters against `generic`, then the flavour's own option
// letters against `native`. Empty when all are known, else the message for the first unknown.
std::string CheckRequestFlags(const SRequest& request, const std::string& generic, const std::string& native,
                              const std::string& engineName);
std::string CheckFlagLetters(const std::string& letters, const std::string& known, const std::string& engineName,
                             bool generic);

// Parses one request line. On failure returns false; `error` holds the reason and `idJson` the
// request's id when it could be read ("null" otherwise).
bool ParseRequest(const std::string& line, SRequest& request, std::string& idJson, std::string& error);

// Prints the hello, then answers requests from stdin until it ends. The loop runs on a thread with
// a 256 MiB stack, since recursive matchers overflow an ordinary one on long subjects. Returns
// the process exit code.
int RunRunner(CFlavour& flavour);

}  // namespace korvane_runner
