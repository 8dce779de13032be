// boost_flavour.cpp: the boost flavour, Boost.Regex's boost::wregex in its Perl syntax. wchar_t is
// 32 bits here, so offsets are code points. Built when Boost.Regex is found. Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp.
#include <boost/regex.hpp>
#include <boost/version.hpp>

#include "flavours.h"
#include "runner_json.h"

#include <optional>
#include <string>

namespace korvane_runner {

namespace {

static_assert(sizeof(wchar_t) == 4, "code point offsets need a 32-bit wchar_t");

std::wstring ToWide(const std::u16string& text)
{
    const std::u32string points = Utf16ToCodePoints(text);
    return std::wstring(points.begin(), points.end());
}

// The named groups of a Perl-syntax pattern and their numbers, read from the pattern: Boost.Regex
// has no public call that lists them. Every "(" that captures counts, in pattern order: a bare
// one and the named forms (?<n>...), (?P<n>...) and (?'n'...); escapes, classes, quoted runs
// and (?#...) comments are stepped over, and under x so are # comments.
std::vector<std::pair<std::u16string, int>> NamedGroups(const std::u16string& p, bool extended)
{
    std::vector<std::pair<std::u16string, int>> names;
    int number = 0;
    int classDepth = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const char16_t c = p[i];
        if (c == u'\\') {
            if (i + 1 < p.size() && p[i + 1] == u'Q') {
                const size_t end = p.find(u"\\E", i + 2);
                if (end == std::u16string::npos)
                    break;
                i = end + 1;
            } else {
                ++i;
            }
        } else if (classDepth > 0) {
            if (c == u'[')
                ++classDepth;
            else if (c == u']')
                --classDepth;
        } else if (c == u'[') {
            ++classDepth;
            if (i + 1 < p.size() && p[i + 1] == u'^')
                ++i;
            if (i + 1 < p.size() && p[i + 1] == u']')
                ++i;  // a ] first in a class is a character
        } else if (extended && c == u'#') {
            const size_t end = p.find(u'\n', i);
            if (end == std::u16string::npos)
                break;
            i = end;
        } else if (c == u'(') {
            if (p.compare(i, 3, u"(?#") == 0) {
                const size_t end = p.find(u')', i);
                if (end == std::u16string::npos)
                    break;
                i = end;
                continue;
            }
            if (i + 1 >= p.size() || p[i + 1] != u'?') {
                ++number;
                continue;
            }
            size_t nameStart = std::u16string::npos;
            char16_t close = u'>';
            if (p.compare(i, 3, u"(?<") == 0 && i + 3 < p.size() && p[i + 3] != u'=' && p[i + 3] != u'!')
                nameStart = i + 3;
            else if (p.compare(i, 4, u"(?P<") == 0)
                nameStart = i + 4;
            else if (p.compare(i, 3, u"(?'") == 0) {
                nameStart = i + 3;
                close = u'\'';
            }
            if (nameStart == std::u16string::npos)
                continue;
            const size_t end = p.find(close, nameStart);
            if (end == std::u16string::npos)
                break;
            ++number;
            names.emplace_back(p.substr(nameStart, end - nameStart), number);
            i = end;
        }
    }
    return names;
}

class CBoostFlavour final : public CFlavour {
public:
    SHello Hello() const override
    {
        const std::string version = std::to_string(BOOST_VERSION / 100000) + "." +
                                    std::to_string(BOOST_VERSION / 100 % 1000) + "." + std::to_string(BOOST_VERSION % 100);
        return {"boost", "Boost.Regex wregex (Perl)", version, "codepoint", true};
    }

    SCompileResult Compile(const SRequest& request) override
    {
        m_regex.reset();
        SCompileResult result;
        result.error = CheckRequestFlags(request, "imsx", "", "Boost.Regex");
        if (!result.error.empty())
            return result;
        namespace rc = boost::regex_constants;
        // Perl's own defaults: ^ and $ at line ends only with m, . over a line break only with s.
        rc::syntax_option_type syntax = rc::perl | rc::no_mod_m | rc::no_mod_s;
        for (const char f : request.flags) {
            if (f == 'i')
                syntax |= rc::icase;
            else if (f == 'x')
                syntax |= rc::mod_x;
            else if (f == 'm')
                syntax &= ~rc::no_mod_m;
            else if (f == 's')
                syntax = (syntax & ~rc::no_mod_s) | rc::mod_s;
        }
        try {
            m_regex.emplace(ToWide(request.pattern), syntax);
        } catch (const boost::regex_error& e) {
            result.error = e.what();
            // The position is in code points of the pattern; the protocol's is in UTF-16 units.
            const std::u32string points = Utf16ToCodePoints(request.pattern);
            const std::ptrdiff_t at = e.position();
            if (at >= 0 && static_cast<size_t>(at) <= points.size()) {
                long long units = 0;
                for (std::ptrdiff_t k = 0; k < at; ++k)
                    units += points[static_cast<size_t>(k)] > 0xFFFF ? 2 : 1;
                result.errorOffset = units;
            }
            return result;
        } catch (const std::exception& e) {
            result.error = e.what();
            return result;
        }
        result.compiled = true;
        result.groups = static_cast<int>(m_regex->mark_count());
        result.names = NamedGroups(request.pattern, request.flags.find('x') != std::string::npos);
        return result;
    }

    SSubjectResult Run(const std::u16string& subject16, const SRequest& request) override
    {
        SSubjectResult result;
        const std::wstring subject = ToWide(subject16);
        const CDeadline deadline(request.timeoutMs);
        try {
            const boost::wsregex_iterator end;
            for (boost::wsregex_iterator it(subject.begin(), subject.end(), *m_regex); it != end; ++it) {
                if (static_cast<long long>(result.matches.size()) >= request.maxMatches) {
                    result.truncated = true;
                    break;
                }
                const boost::wsmatch& m = *it;
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
            // Boost.Regex gives up on a match whose states outgrow its bound ("the complexity of
            // matching the regular expression exceeded predefined bounds").
            result.matches.clear();
            result.truncated = false;
            result.status = SSubjectResult::EStatus::Error;
            result.error = e.what();
        }
        return result;
    }

private:
    std::optional<boost::wregex> m_regex;
};

}  // namespace

std::unique_ptr<CFlavour> MakeBoostFlavour() { return std::make_unique<CBoostFlavour>(); }

}  // namespace korvane_runner
