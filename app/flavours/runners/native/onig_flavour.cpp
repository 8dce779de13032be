// onig_flavour.cpp: the oniguruma flavour, the Oniguruma library in its own syntax over UTF-16,
// so that offsets are UTF-16 units as Korvane counts them. Built when Oniguruma's development
// files are found. Covered by app/flavours/runners/native/tests/runner_protocol_test.cpp.
//
// Its syntax reads ^ and $ at every line end always (as Ruby does), so the generic m changes
// nothing; its own MULTILINE option is the generic s (a dot over line breaks). Where a pattern
// has named groups, its plain groups do not capture (the library's own rule).
#include <oniguruma.h>

#include "flavours.h"
#include "runner_json.h"

#include <algorithm>
#include <memory>
#include <type_traits>
#include <string>

namespace korvane_runner {

namespace {

// Backtracking retries per millisecond of timeout_ms (the library has no clock of its own): about
// what a fast machine does, so that a catastrophic match answers "timeout" near its time there
// and later, but still before the watchdog, on a slow one.
constexpr unsigned long kRetriesPerMs = 100000;

struct SRegexFree { void operator()(OnigRegex r) const { onig_free(r); } };
struct SRegionFree { void operator()(OnigRegion* r) const { onig_region_free(r, 1); } };
struct SParamFree { void operator()(OnigMatchParam* p) const { onig_free_match_param(p); } };

const OnigUChar* Bytes(const std::u16string& s) { return reinterpret_cast<const OnigUChar*>(s.data()); }

std::string ErrorText(int code, OnigErrorInfo* info)
{
    OnigUChar buffer[ONIG_MAX_ERROR_MESSAGE_LEN + 1] = {};
    if (info)
        onig_error_code_to_str(buffer, code, info);
    else
        onig_error_code_to_str(buffer, code);
    return reinterpret_cast<const char*>(buffer);
}

bool HasLoneSurrogate(const std::u16string& s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            return true;
    }
    return false;
}

int CollectName(const OnigUChar* name, const OnigUChar* nameEnd, int count, int* numbers, OnigRegex, void* arg)
{
    auto* names = static_cast<std::vector<std::pair<std::u16string, int>>*>(arg);
    const std::u16string text(reinterpret_cast<const char16_t*>(name), static_cast<size_t>(nameEnd - name) / 2);
    for (int k = 0; k < count; ++k)
        names->emplace_back(text, numbers[k]);
    return 0;
}

class COnigFlavour final : public CFlavour {
public:
    COnigFlavour()
    {
        OnigEncoding encodings[] = {ONIG_ENCODING_UTF16_LE};
        onig_initialize(encodings, 1);
    }
    ~COnigFlavour() override
    {
        m_regex.reset();
        onig_end();
    }

    SHello Hello() const override { return {"oniguruma", "Oniguruma", onig_version(), "utf16", false}; }

    SCompileResult Compile(const SRequest& request) override
    {
        m_regex.reset();
        SCompileResult result;
        result.error = CheckRequestFlags(request, "imsx", "", "Oniguruma");
        if (!result.error.empty())
            return result;
        if (HasLoneSurrogate(request.pattern)) {
            result.error = "pattern not representable: a lone surrogate is no UTF-16 text";
            return result;
        }
        OnigOptionType options = ONIG_OPTION_NONE;
        for (const char f : request.flags)
            options |= f == 'i' ? ONIG_OPTION_IGNORECASE : f == 'x' ? ONIG_OPTION_EXTEND : f == 's' ? ONIG_OPTION_MULTILINE : 0;
        OnigRegex regex = nullptr;
        OnigErrorInfo info = {};
        const int code = onig_new(&regex, Bytes(request.pattern), Bytes(request.pattern) + 2 * request.pattern.size(),
                                  options, ONIG_ENCODING_UTF16_LE, ONIG_SYNTAX_ONIGURUMA, &info);
        if (code != ONIG_NORMAL) {
            if (regex)
                onig_free(regex);
            result.error = ErrorText(code, &info);
            return result;
        }
        m_regex.reset(regex);
        result.compiled = true;
        result.groups = onig_number_of_captures(regex);
        onig_foreach_name(regex, &CollectName, &result.names);
        std::sort(result.names.begin(), result.names.end(),
                  [](const std::pair<std::u16string, int>& a, const std::pair<std::u16string, int>& b) { return a.second < b.second; });
        return result;
    }

    SSubjectResult Run(const std::u16string& subject, const SRequest& request) override
    {
        SSubjectResult result;
        if (HasLoneSurrogate(subject)) {
            result.status = SSubjectResult::EStatus::Error;
            result.error = "text not representable: a lone surrogate is no UTF-16 text";
            return result;
        }
        std::unique_ptr<OnigRegion, SRegionFree> region(onig_region_new());
        std::unique_ptr<OnigMatchParam, SParamFree> param(onig_new_match_param());
        onig_initialize_match_param(param.get());
        const long long ms = request.timeoutMs > 0 ? request.timeoutMs : 1;
        onig_set_retry_limit_in_search_of_match_param(param.get(), static_cast<unsigned long>(ms) * kRetriesPerMs);
        const OnigUChar* begin = Bytes(subject);
        const OnigUChar* end = begin + 2 * subject.size();
        const CDeadline deadline(request.timeoutMs);
        const OnigUChar* at = begin;
        while (at <= end) {
            onig_region_clear(region.get());
            const int found = onig_search_with_param(m_regex.get(), begin, end, at, end, region.get(), ONIG_OPTION_NONE,
                                                     param.get());
            if (found == ONIG_MISMATCH)
                break;
            if (found < 0) {
                result.matches.clear();
                result.truncated = false;
                if (found == ONIGERR_RETRY_LIMIT_IN_SEARCH_OVER || found == ONIGERR_RETRY_LIMIT_IN_MATCH_OVER) {
                    result.status = SSubjectResult::EStatus::Timeout;
                } else {
                    result.status = SSubjectResult::EStatus::Error;
                    result.error = ErrorText(found, nullptr);
                }
                return result;
            }
            if (static_cast<long long>(result.matches.size()) >= request.maxMatches) {
                result.truncated = true;
                break;
            }
            std::vector<long long> match;
            for (int g = 0; g < region->num_regs; ++g) {
                match.push_back(region->beg[g] < 0 ? -1 : region->beg[g] / 2);
                match.push_back(region->end[g] < 0 ? -1 : region->end[g] / 2);
            }
            result.matches.push_back(std::move(match));
            if (deadline.Passed()) {
                result.matches.clear();
                result.truncated = false;
                result.status = SSubjectResult::EStatus::Timeout;
                return result;
            }
            // Past an empty match by one character (a surrogate pair is one).
            const OnigUChar* next = begin + region->end[0];
            if (region->end[0] == region->beg[0]) {
                if (next >= end)
                    break;
                const char16_t unit = subject[static_cast<size_t>(region->end[0] / 2)];
                next += unit >= 0xD800 && unit <= 0xDBFF ? 4 : 2;
            }
            at = next;
        }
        return result;
    }

private:
    std::unique_ptr<std::remove_pointer_t<OnigRegex>, SRegexFree> m_regex;
};

}  // namespace

std::unique_ptr<CFlavour> MakeOnigFlavour() { return std::make_unique<COnigFlavour>(); }

}  // namespace korvane_runner
