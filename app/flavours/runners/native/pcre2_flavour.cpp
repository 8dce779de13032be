// pcre2_flavour.cpp: the pcre2 flavour, over the 16-bit library so that offsets are UTF-16 units
// as Korvane counts them. Covered by app/flavours/runners/native/tests/runner_protocol_test.cpp.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "flavours.h"
#include "runner_json.h"

#include <algorithm>
#include <memory>

namespace korvane_runner {

namespace {

// Match-limit units per millisecond of timeout_ms. One unit is one internal match() call; on the
// slow 2-core build machines a few tens of thousands pass per millisecond on a catastrophic
// pattern, so this errs on the side of stopping early rather than letting the watchdog kill.
constexpr unsigned long long kMatchUnitsPerMs = 20000;
// Backtracking memory, in KiB: beyond it the match reports an error rather than eating the machine.
constexpr uint32_t kHeapLimitKiB = 512 * 1024;

std::string Pcre2Message(int code)
{
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(code, buffer, sizeof buffer / sizeof buffer[0]);
    if (length < 0)
        return "PCRE2 error " + std::to_string(code);
    std::string utf8;
    Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(buffer), length), utf8);
    return utf8;
}

struct SCodeFree { void operator()(pcre2_code* c) const { pcre2_code_free(c); } };
struct SMatchDataFree { void operator()(pcre2_match_data* d) const { pcre2_match_data_free(d); } };
struct SContextFree { void operator()(pcre2_match_context* c) const { pcre2_match_context_free(c); } };

class CPcre2Flavour final : public CFlavour {
public:
    SHello Hello() const override
    {
        PCRE2_UCHAR buffer[64] = {};
        std::string version = "unknown";
        if (pcre2_config(PCRE2_CONFIG_VERSION, buffer) > 0) {
            std::u16string text(reinterpret_cast<const char16_t*>(buffer));
            Utf16ToUtf8(text, version);
        }
        return {"pcre2", "PCRE2 (16-bit)", version, "utf16", true};
    }

    SCompileResult Compile(const SRequest& request) override
    {
        m_code.reset();
        m_matchData.reset();
        SCompileResult result;
        // Generic letters, then the library's own option letters as Perl and PHP spell them:
        // u = Unicode properties for \d \w \s \b, U = ungreedy, n = no auto capture, J = duplicate
        // names, A = anchored, D = dollar only at the very end.
        result.error = CheckRequestFlags(request, "imsx", "uUnJAD", "PCRE2");
        if (!result.error.empty())
            return result;
        // UTF so that an astral character is one character; an invalid subject (a lone
        // surrogate) is still matched, with the invalid unit matching nothing, instead of being
        // refused as a whole.
        uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
        for (const char f : request.flags)
            options |= f == 'i' ? PCRE2_CASELESS : f == 'm' ? PCRE2_MULTILINE : f == 's' ? PCRE2_DOTALL : PCRE2_EXTENDED;
        for (const char f : request.nativeFlags)
            options |= f == 'u' ? PCRE2_UCP : f == 'U' ? PCRE2_UNGREEDY : f == 'n' ? PCRE2_NO_AUTO_CAPTURE
                     : f == 'J' ? PCRE2_DUPNAMES : f == 'A' ? PCRE2_ANCHORED : PCRE2_DOLLAR_ENDONLY;
        int errorCode = 0;
        PCRE2_SIZE errorOffset = 0;
        m_code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(request.pattern.data()), request.pattern.size(),
                                   options, &errorCode, &errorOffset, nullptr));
        if (!m_code) {
            result.error = Pcre2Message(errorCode);
            result.errorOffset = static_cast<long long>(errorOffset);
            return result;
        }
        uint32_t captures = 0;
        pcre2_pattern_info(m_code.get(), PCRE2_INFO_CAPTURECOUNT, &captures);
        uint32_t nameCount = 0;
        uint32_t entrySize = 0;
        PCRE2_SPTR table = nullptr;
        pcre2_pattern_info(m_code.get(), PCRE2_INFO_NAMECOUNT, &nameCount);
        pcre2_pattern_info(m_code.get(), PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
        pcre2_pattern_info(m_code.get(), PCRE2_INFO_NAMETABLE, &table);
        // Each name table entry: the group number in the first unit, then the name, zero-ended.
        for (uint32_t i = 0; i < nameCount; ++i) {
            const PCRE2_SPTR entry = table + size_t(i) * entrySize;
            result.names.emplace_back(std::u16string(reinterpret_cast<const char16_t*>(entry + 1)), int(entry[0]));
        }
        std::sort(result.names.begin(), result.names.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        uint32_t newline = 0;
        pcre2_pattern_info(m_code.get(), PCRE2_INFO_NEWLINE, &newline);
        m_crlfIsNewline = newline == PCRE2_NEWLINE_ANY || newline == PCRE2_NEWLINE_CRLF || newline == PCRE2_NEWLINE_ANYCRLF;
        m_matchData.reset(pcre2_match_data_create_from_pattern(m_code.get(), nullptr));
        m_captures = captures;
        result.compiled = m_matchData != nullptr;
        result.groups = int(captures);
        if (!result.compiled)
            result.error = "out of memory";
        return result;
    }

    SSubjectResult Run(const std::u16string& subject, const SRequest& request) override
    {
        SSubjectResult result;
        std::unique_ptr<pcre2_match_context, SContextFree> context(pcre2_match_context_create(nullptr));
        if (!context) {
            result.status = SSubjectResult::EStatus::Error;
            result.error = "out of memory";
            return result;
        }
        const unsigned long long units =
            std::clamp<unsigned long long>(static_cast<unsigned long long>(request.timeoutMs) * kMatchUnitsPerMs,
                                           10000, 0xFFFFFFFFull);
        pcre2_set_match_limit(context.get(), static_cast<uint32_t>(units));
        pcre2_set_depth_limit(context.get(), static_cast<uint32_t>(units));
        pcre2_set_heap_limit(context.get(), kHeapLimitKiB);
        const CDeadline deadline(request.timeoutMs);
        const auto text = reinterpret_cast<PCRE2_SPTR>(subject.data());
        const PCRE2_SIZE length = subject.size();
        PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_matchData.get());
        PCRE2_SIZE start = 0;
        uint32_t options = 0;
        // The global loop as the library's demonstration program runs it: after an empty match,
        // retry at the same place for a non-empty anchored one, and only when that fails step one
        // character (a CR LF pair counts as one when CR LF is a newline).
        while (true) {
            const int rc = pcre2_match(m_code.get(), text, length, start, options, m_matchData.get(), context.get());
            if (rc == PCRE2_ERROR_NOMATCH) {
                if (options == 0 || start >= length)
                    break;
                start = NextCharacter(subject, start);
                options = 0;
                continue;
            }
            if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT) {
                result.status = SSubjectResult::EStatus::Timeout;
                return result;
            }
            if (rc < 0) {
                result.status = SSubjectResult::EStatus::Error;
                result.error = Pcre2Message(rc);
                return result;
            }
            if (ovector[0] > ovector[1]) {
                // \K in a look-ahead can set the start after the end; there is no span to give.
                result.status = SSubjectResult::EStatus::Error;
                result.error = "a match ended before it started (\\K in an assertion)";
                return result;
            }
            if (static_cast<long long>(result.matches.size()) >= request.maxMatches) {
                result.truncated = true;
                break;
            }
            std::vector<long long> match;
            match.reserve(2 + 2 * m_captures);
            for (uint32_t g = 0; g <= m_captures; ++g) {
                const bool set = ovector[2 * g] != PCRE2_UNSET;
                match.push_back(set ? static_cast<long long>(ovector[2 * g]) : -1);
                match.push_back(set ? static_cast<long long>(ovector[2 * g + 1]) : -1);
            }
            result.matches.push_back(std::move(match));
            if (deadline.Passed()) {
                result.matches.clear();
                result.status = SSubjectResult::EStatus::Timeout;
                return result;
            }
            start = ovector[1];
            if (ovector[0] == ovector[1]) {
                if (start >= length)
                    break;
                options = PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED;
            } else {
                options = 0;
                // \K in a look-behind can end a match where the search started: move on from
                // where the match was found, or the same match comes back for ever.
                const PCRE2_SIZE found = pcre2_get_startchar(m_matchData.get());
                if (start <= found) {
                    if (found >= length)
                        break;
                    start = NextCharacter(subject, found);
                }
            }
        }
        return result;
    }

private:
    // The offset one character after `at`: a surrogate pair and (when it is a newline) CR LF count
    // as one character.
    PCRE2_SIZE NextCharacter(const std::u16string& subject, PCRE2_SIZE at) const
    {
        PCRE2_SIZE next = at + 1;
        if (next < subject.size()) {
            if (m_crlfIsNewline && subject[at] == u'\r' && subject[next] == u'\n')
                ++next;
            else if (subject[at] >= 0xD800 && subject[at] <= 0xDBFF && subject[next] >= 0xDC00 && subject[next] <= 0xDFFF)
                ++next;
        }
        return next;
    }

    std::unique_ptr<pcre2_code, SCodeFree> m_code;
    std::unique_ptr<pcre2_match_data, SMatchDataFree> m_matchData;
    uint32_t m_captures = 0;
    bool m_crlfIsNewline = false;
};

}  // namespace

std::unique_ptr<CFlavour> MakePcre2Flavour()
{
    return std::make_unique<CPcre2Flavour>();
}

}  // namespace korvane_runner
