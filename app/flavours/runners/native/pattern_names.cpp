#include "pattern_names.h"

namespace korvane_runner {

std::vector<std::pair<std::u16string, int>> ScanNamedGroups(const std::u16string& p, bool extended)
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

}  // namespace korvane_runner
