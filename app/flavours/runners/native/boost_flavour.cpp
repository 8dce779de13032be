// boost_flavour.cpp: the boost flavour, Boost.Regex's boost::wregex in its Perl syntax. wchar_t is
// 32 bits here, so offsets are code points. Built when Boost.Regex is found. Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp.
#include <boost/regex.hpp>
#include <boost/version.hpp>

#include "flavours.h"
#include "pattern_names.h"
#include "wide_find_all.h"

#include <optional>
#include <string>

namespace korvane_runner {

namespace {

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
            m_regex.emplace(Utf16ToWide(request.pattern), syntax);
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
        // Boost.Regex has no public call that lists its names: they are read from the pattern.
        result.names = ScanNamedGroups(request.pattern, request.flags.find('x') != std::string::npos);
        return result;
    }

    SSubjectResult Run(const std::u16string& subject, const SRequest& request) override
    {
        return WideFindAll<boost::wsregex_iterator>(subject, *m_regex, request);
    }

private:
    std::optional<boost::wregex> m_regex;
};

}  // namespace

std::unique_ptr<CFlavour> MakeBoostFlavour() { return std::make_unique<CBoostFlavour>(); }

}  // namespace korvane_runner
