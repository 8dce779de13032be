// std_regex_flavour.cpp: the cpp-* flavours, the C++ standard library's std::wregex in each of
// its six grammars. wchar_t is 32 bits here, so offsets are code points. Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp.
#include "flavours.h"
#include "wide_find_all.h"

#include <optional>
#include <regex>
#include <string>

namespace korvane_runner {

namespace {

class CStdRegexFlavour final : public CFlavour {
public:
    CStdRegexFlavour(std::string grammar, std::regex_constants::syntax_option_type syntax)
        : m_grammar(std::move(grammar)), m_syntax(syntax) {}

    SHello Hello() const override
    {
        std::string version = "GCC " __VERSION__;
#ifdef __GLIBCXX__
        version += " (libstdc++ " + std::to_string(__GLIBCXX__) + ")";
#endif
        return {"cpp-" + m_grammar, "libstdc++ std::wregex (" + m_grammar + ")", version, "codepoint", true};
    }

    SCompileResult Compile(const SRequest& request) override
    {
        m_regex.reset();
        SCompileResult result;
        const std::string engine = "std::regex " + m_grammar;
        // multiline exists for the ECMAScript grammar only (C++17).
        result.error = CheckRequestFlags(request, m_grammar == "ecmascript" ? "im" : "i", "", engine);
        if (!result.error.empty())
            return result;
        auto syntax = m_syntax;
        for (const char f : request.flags)
            syntax |= f == 'i' ? std::regex_constants::icase : std::regex_constants::multiline;
        try {
            m_regex.emplace(Utf16ToWide(request.pattern), syntax);
        } catch (const std::regex_error& e) {
            result.error = e.what();
            return result;
        } catch (const std::exception& e) {
            result.error = e.what();
            return result;
        }
        result.compiled = true;
        result.groups = static_cast<int>(m_regex->mark_count());
        return result;
    }

    SSubjectResult Run(const std::u16string& subject, const SRequest& request) override
    {
        return WideFindAll<std::wsregex_iterator>(subject, *m_regex, request);
    }

private:
    std::string m_grammar;
    std::regex_constants::syntax_option_type m_syntax;
    std::optional<std::wregex> m_regex;
};

}  // namespace

std::unique_ptr<CFlavour> MakeStdRegexFlavour(const std::string& grammar)
{
    using namespace std::regex_constants;
    if (grammar == "ecmascript") return std::make_unique<CStdRegexFlavour>(grammar, ECMAScript);
    if (grammar == "basic") return std::make_unique<CStdRegexFlavour>(grammar, basic);
    if (grammar == "extended") return std::make_unique<CStdRegexFlavour>(grammar, extended);
    if (grammar == "awk") return std::make_unique<CStdRegexFlavour>(grammar, awk);
    if (grammar == "grep") return std::make_unique<CStdRegexFlavour>(grammar, grep);
    if (grammar == "egrep") return std::make_unique<CStdRegexFlavour>(grammar, egrep);
    return nullptr;
}

}  // namespace korvane_runner
