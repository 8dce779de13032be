// wide_find_all.h: the find-all of the runners over std::wstring (wchar_t is 32 bits here, so
// offsets are code points): the subject converted, the engine's match iterator walked with the
// request's deadline and match limit, and an exception the engine throws answered as an error.
// Used by std::wregex (std_regex_flavour.cpp) and boost::wregex (boost_flavour.cpp), whose
// iterators and match results have the same interface.
#pragma once

#include "runner_json.h"
#include "runner_protocol.h"

#include <exception>
#include <string>
#include <vector>

namespace korvane_runner {

static_assert(sizeof(wchar_t) == 4, "code point offsets need a 32-bit wchar_t");

inline std::wstring Utf16ToWide(const std::u16string& text)
{
    const std::u32string points = Utf16ToCodePoints(text);
    return std::wstring(points.begin(), points.end());
}

// `Iterator` is constructed from the subject's range and `regex` (its constructor searches
// already, so it may throw too).
template <class Iterator, class Regex>
SSubjectResult WideFindAll(const std::u16string& subject16, const Regex& regex, const SRequest& request)
{
    SSubjectResult result;
    const std::wstring subject = Utf16ToWide(subject16);
    const CDeadline deadline(request.timeoutMs);
    try {
        const Iterator end;
        for (Iterator it(subject.begin(), subject.end(), regex); it != end; ++it) {
            if (static_cast<long long>(result.matches.size()) >= request.maxMatches) {
                result.truncated = true;
                break;
            }
            const auto& m = *it;
            std::vector<long long> match;
            for (size_t g = 0; g < m.size(); ++g) {
                if (m[g].matched) {
                    match.push_back(m.position(g));
                    match.push_back(m.position(g) + m.length(g));
                } else {
                    match.push_back(-1);
                    match.push_back(-1);
                }
            }
            result.matches.push_back(std::move(match));
            if (deadline.Passed()) {
                result.matches.clear();
                result.truncated = false;
                result.status = SSubjectResult::EStatus::Timeout;
                return result;
            }
        }
    } catch (const std::exception& e) {
        // std::regex's complexity and stack errors; Boost.Regex's bound on backtracking ("the
        // complexity of matching the regular expression exceeded predefined bounds").
        result.matches.clear();
        result.truncated = false;
        result.status = SSubjectResult::EStatus::Error;
        result.error = e.what();
    }
    return result;
}

}  // namespace korvane_runner
