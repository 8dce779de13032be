// posix_flavour.cpp: the posix-ere and posix-bre flavours, the C library's regcomp/regexec in
// the C.UTF-8 locale. Offsets are bytes of the UTF-8 subject. Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp.
#include "flavours.h"
#include "runner_json.h"

#include <gnu/libc-version.h>
#include <regex.h>

#include <clocale>
#include <vector>

namespace korvane_runner {

namespace {

class CPosixFlavour final : public CFlavour {
public:
    explicit CPosixFlavour(bool extended) : m_extended(extended)
    {
        // Multibyte patterns and subjects, as grep and sed see them in a UTF-8 locale.
        if (!std::setlocale(LC_ALL, "C.UTF-8"))
            std::setlocale(LC_ALL, "C.utf8");
    }
    ~CPosixFlavour() override { Release(); }

    SHello Hello() const override
    {
        return {m_extended ? "posix-ere" : "posix-bre",
                m_extended ? "glibc regcomp (ERE)" : "glibc regcomp (BRE)", gnu_get_libc_version(), "utf8", false};
    }

    SCompileResult Compile(const SRequest& request) override
    {
        Release();
        SCompileResult result;
        result.error = CheckRequestFlags(request, "im", "", "POSIX");
        if (!result.error.empty())
            return result;
        std::string pattern;
        if (!Utf16ToUtf8(request.pattern, pattern)) {
            result.error = "the pattern holds a lone surrogate, which has no UTF-8 form";
            return result;
        }
        if (pattern.find('\0') != std::string::npos) {
            result.error = "regcomp takes no NUL character in a pattern";
            return result;
        }
        int cflags = m_extended ? REG_EXTENDED : 0;
        for (const char f : request.flags)
            cflags |= f == 'i' ? REG_ICASE : REG_NEWLINE;
        const int rc = regcomp(&m_regex, pattern.c_str(), cflags);
        if (rc != 0) {
            char message[256];
            regerror(rc, &m_regex, message, sizeof message);
            result.error = message;
            return result;
        }
        m_compiled = true;
        result.compiled = true;
        result.groups = static_cast<int>(m_regex.re_nsub);
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
        std::vector<regmatch_t> groups(m_regex.re_nsub + 1);
        size_t start = 0;
        // Each search sees the whole subject (REG_STARTEND), so ^, \< and \b judge a start past
        // the first byte by the character before it, as grep and sed do when they search on from
        // the end of the previous match; NUL bytes in the subject are text like any other.
        while (start <= subject.size()) {
            groups[0].rm_so = static_cast<regoff_t>(start);
            groups[0].rm_eo = static_cast<regoff_t>(subject.size());
            const int rc = regexec(&m_regex, subject.c_str(), groups.size(), groups.data(), REG_STARTEND);
            if (rc == REG_NOMATCH)
                break;
            if (rc != 0) {
                char message[256];
                regerror(rc, &m_regex, message, sizeof message);
                result.status = SSubjectResult::EStatus::Error;
                result.error = message;
                return result;
            }
            if (static_cast<long long>(result.matches.size()) >= request.maxMatches) {
                result.truncated = true;
                break;
            }
            std::vector<long long> match;
            for (const regmatch_t& g : groups) {
                match.push_back(g.rm_so);
                match.push_back(g.rm_so < 0 ? -1 : g.rm_eo);
            }
            result.matches.push_back(std::move(match));
            if (deadline.Passed()) {
                result.matches.clear();
                result.status = SSubjectResult::EStatus::Timeout;
                return result;
            }
            const size_t end = static_cast<size_t>(groups[0].rm_eo);
            if (end > static_cast<size_t>(groups[0].rm_so)) {
                start = end;
                continue;
            }
            // An empty match: step over one whole UTF-8 character.
            if (end >= subject.size())
                break;
            start = end + 1;
            while (start < subject.size() && (static_cast<unsigned char>(subject[start]) & 0xC0) == 0x80)
                ++start;
        }
        return result;
    }

private:
    void Release()
    {
        if (m_compiled)
            regfree(&m_regex);
        m_compiled = false;
    }

    bool m_extended;
    bool m_compiled = false;
    regex_t m_regex{};
};

}  // namespace

std::unique_ptr<CFlavour> MakePosixFlavour(bool extended)
{
    return std::make_unique<CPosixFlavour>(extended);
}

}  // namespace korvane_runner
