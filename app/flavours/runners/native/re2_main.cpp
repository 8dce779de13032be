// re2_main.cpp: korvane-runner-re2, the re2 flavour: RE2 over the UTF-8 subject, find-all stepping
// as Go's regexp does. Offsets are bytes. Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp.
#include "runner_json.h"
#include "runner_protocol.h"

#include <re2/re2.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#ifndef KORVANE_RE2_VERSION
#define KORVANE_RE2_VERSION ""
#endif

namespace korvane_runner {

namespace {

class CRe2Flavour final : public CFlavour {
public:
    SHello Hello() const override
    {
        // The library reports no version of its own; the build records the package's, when known.
        const std::string known = KORVANE_RE2_VERSION;
        return {"re2", "RE2", known.empty() ? "libre2" : "libre2 " + known, "utf8", false};
    }

    SCompileResult Compile(const SRequest& request) override
    {
        m_regex.reset();
        SCompileResult result;
        // RE2's own inline letter U (ungreedy) is the one it has beyond the generic ones.
        result.error = CheckRequestFlags(request, "ims", "U", "RE2");
        if (!result.error.empty())
            return result;
        std::string pattern;
        if (!Utf16ToUtf8(request.pattern, pattern)) {
            result.error = "the pattern holds a lone surrogate, which has no UTF-8 form";
            return result;
        }
        // The flags as the inline group RE2 (and Go) read them, in front of the pattern.
        std::string inline_flags;
        for (const char f : request.flags + request.nativeFlags)
            if (inline_flags.find(f) == std::string::npos)
                inline_flags += f;
        if (!inline_flags.empty())
            pattern = "(?" + inline_flags + ")" + pattern;
        RE2::Options options;
        options.set_encoding(RE2::Options::EncodingUTF8);
        options.set_longest_match(false);
        options.set_log_errors(false);
        auto regex = std::make_unique<RE2>(pattern, options);
        if (!regex->ok()) {
            result.error = regex->error();
            return result;
        }
        result.compiled = true;
        result.groups = regex->NumberOfCapturingGroups();
        for (const auto& [name, index] : regex->NamedCapturingGroups()) {
            std::u16string name16;
            Utf8ToUtf16(name, name16);
            result.names.emplace_back(name16, index);
        }
        std::sort(result.names.begin(), result.names.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        m_regex = std::move(regex);
        return result;
    }

    SSubjectResult Run(const std::u16string& subject16, const SRequest& request) override
    {
        SSubjectResult result;
        std::string subject;
        if (!Utf16ToUtf8(subject16, subject)) {
            result.status = SSubjectResult::EStatus::Error;
            result.error = "text not representable: a lone surrogate has no UTF-8 form";
            return result;
        }
        const CDeadline deadline(request.timeoutMs);
        const int groups = m_regex->NumberOfCapturingGroups();
        std::vector<re2::StringPiece> found(groups + 1);
        const re2::StringPiece text(subject);
        size_t pos = 0;
        long long previousEnd = -1;
        // Go's find-all: search on from pos over the whole text (so ^ and \b see what lies before
        // pos); an empty match right where the previous match ended is dropped; after an empty
        // match step one UTF-8 character.
        while (pos <= subject.size()) {
            if (!m_regex->Match(text, pos, subject.size(), RE2::UNANCHORED, found.data(), groups + 1))
                break;
            const long long start = found[0].data() - subject.data();
            const long long end = start + static_cast<long long>(found[0].size());
            bool accept = true;
            if (end == static_cast<long long>(pos)) {
                if (start == previousEnd)
                    accept = false;
                if (pos >= subject.size()) {
                    pos = subject.size() + 1;
                } else {
                    ++pos;
                    while (pos < subject.size() && (static_cast<unsigned char>(subject[pos]) & 0xC0) == 0x80)
                        ++pos;
                }
            } else {
                pos = static_cast<size_t>(end);
            }
            previousEnd = end;
            if (!accept)
                continue;
            if (static_cast<long long>(result.matches.size()) >= request.maxMatches) {
                result.truncated = true;
                break;
            }
            std::vector<long long> match;
            for (const re2::StringPiece& g : found) {
                if (g.data() == nullptr) {
                    match.push_back(-1);
                    match.push_back(-1);
                } else {
                    const long long s = g.data() - subject.data();
                    match.push_back(s);
                    match.push_back(s + static_cast<long long>(g.size()));
                }
            }
            result.matches.push_back(std::move(match));
            if (deadline.Passed()) {
                result.matches.clear();
                result.status = SSubjectResult::EStatus::Timeout;
                return result;
            }
        }
        return result;
    }

private:
    std::unique_ptr<RE2> m_regex;
};

}  // namespace

}  // namespace korvane_runner

int main(int argc, char** argv)
{
    if (argc > 1) {
        std::fprintf(stderr, "usage: korvane-runner-re2 (no arguments; requests on stdin)\n");
        return 2;
    }
    korvane_runner::CRe2Flavour flavour;
    return korvane_runner::RunRunner(flavour);
}
