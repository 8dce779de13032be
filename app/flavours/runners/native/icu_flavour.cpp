// icu_flavour.cpp: the icu flavour, ICU's regular expressions (uregex) over UTF-16, so offsets
// are UTF-16 units as Korvane counts them. Built when ICU's development files are found. Covered
// by app/flavours/runners/native/tests/runner_protocol_test.cpp.
#include <unicode/uregex.h>
#include <unicode/uversion.h>

#include "flavours.h"
#include "pattern_names.h"
#include "runner_json.h"

#include <memory>

namespace korvane_runner {

namespace {

struct SRegexClose { void operator()(URegularExpression* r) const { uregex_close(r); } };

class CIcuFlavour final : public CFlavour {
public:
    SHello Hello() const override
    {
        UVersionInfo info;
        u_getVersion(info);
        char version[U_MAX_VERSION_STRING_LENGTH] = {};
        u_versionToString(info, version);
        return {"icu", "ICU uregex", version, "utf16", true};
    }

    SCompileResult Compile(const SRequest& request) override
    {
        m_regex.reset();
        SCompileResult result;
        result.error = CheckRequestFlags(request, "imsx", "", "ICU");
        if (!result.error.empty())
            return result;
        uint32_t flags = 0;
        for (const char f : request.flags)
            flags |= f == 'i' ? UREGEX_CASE_INSENSITIVE : f == 'm' ? UREGEX_MULTILINE : f == 's' ? UREGEX_DOTALL : UREGEX_COMMENTS;
        UParseError where = {};
        UErrorCode status = U_ZERO_ERROR;
        URegularExpression* regex = uregex_open(reinterpret_cast<const UChar*>(request.pattern.data()),
                                                static_cast<int32_t>(request.pattern.size()), flags, &where, &status);
        if (U_FAILURE(status) || !regex) {
            if (regex)
                uregex_close(regex);
            result.error = u_errorName(status);
            // The offset within the line of the pattern; a pattern of one line is the usual case.
            if (where.line <= 1 && where.offset >= 0)
                result.errorOffset = where.offset;
            return result;
        }
        m_regex.reset(regex);
        // The engine calls back every few thousand steps of a long match; the callback stops it
        // once the subject's time is up (the engine's own time limit counts steps, not time).
        uregex_setMatchCallback(regex, &CIcuFlavour::KeepGoing, this, &status);
        status = U_ZERO_ERROR;
        result.compiled = true;
        result.groups = uregex_groupCount(regex, &status);
        // ICU has no call that lists the names: they are read from the pattern, and ICU numbers them.
        for (const auto& named : ScanNamedGroups(request.pattern, request.flags.find('x') != std::string::npos)) {
            const std::u16string& name = named.first;
            status = U_ZERO_ERROR;
            const int32_t number = uregex_groupNumberFromName(regex, reinterpret_cast<const UChar*>(name.data()),
                                                             static_cast<int32_t>(name.size()), &status);
            if (U_SUCCESS(status))
                result.names.emplace_back(name, number);
        }
        return result;
    }

    SSubjectResult Run(const std::u16string& subject, const SRequest& request) override
    {
        SSubjectResult result;
        URegularExpression* regex = m_regex.get();
        UErrorCode status = U_ZERO_ERROR;
        // The subject must live while the engine looks at it: it is the caller's, for this call.
        uregex_setText(regex, reinterpret_cast<const UChar*>(subject.data()), static_cast<int32_t>(subject.size()), &status);
        const CDeadline deadline(request.timeoutMs);
        m_deadline = &deadline;
        const int32_t groups = uregex_groupCount(regex, &status);
        status = U_ZERO_ERROR;
        // uregex_findNext steps over an empty match by one character itself.
        while (uregex_findNext(regex, &status)) {
            if (static_cast<long long>(result.matches.size()) >= request.maxMatches) {
                result.truncated = true;
                break;
            }
            std::vector<long long> match;
            for (int32_t g = 0; g <= groups; ++g) {
                UErrorCode s = U_ZERO_ERROR;
                match.push_back(uregex_start(regex, g, &s));
                match.push_back(uregex_end(regex, g, &s));
            }
            result.matches.push_back(std::move(match));
            if (deadline.Passed()) {
                status = U_REGEX_STOPPED_BY_CALLER;
                break;
            }
        }
        m_deadline = nullptr;
        if (status == U_REGEX_STOPPED_BY_CALLER || status == U_REGEX_TIME_OUT) {
            result.matches.clear();
            result.truncated = false;
            result.status = SSubjectResult::EStatus::Timeout;
        } else if (status == U_REGEX_STACK_OVERFLOW) {
            result.matches.clear();
            result.truncated = false;
            result.status = SSubjectResult::EStatus::Error;
            result.error = u_errorName(status);
        } else if (U_FAILURE(status)) {
            result.matches.clear();
            result.truncated = false;
            result.status = SSubjectResult::EStatus::Error;
            result.error = u_errorName(status);
        }
        // The engine keeps no pointer past this call that is used again: the next Run sets its text.
        return result;
    }

private:
    static UBool U_CALLCONV KeepGoing(const void* context, int32_t /*steps*/)
    {
        const CDeadline* deadline = static_cast<const CIcuFlavour*>(context)->m_deadline;
        return deadline && deadline->Passed() ? false : true;
    }

    std::unique_ptr<URegularExpression, SRegexClose> m_regex;
    const CDeadline* m_deadline = nullptr;  // the subject's, while Run runs
};

}  // namespace

std::unique_ptr<CFlavour> MakeIcuFlavour() { return std::make_unique<CIcuFlavour>(); }

}  // namespace korvane_runner
