// runner_json.cpp: the request reader and answer writers of the native runners (see runner_json.h).
#include "runner_json.h"

#include <cstdlib>

namespace korvane_runner {

const CJsonValue* CJsonValue::Find(const char* key) const
{
    const std::u16string wanted = Ascii16(key);
    const CJsonValue* found = nullptr;
    for (const auto& member : members)
        if (member.first == wanted)
            found = &member.second;
    return found;
}

namespace {

constexpr int kMaxDepth = 64;

// Decodes one UTF-8 sequence at `pos`; returns the code point and moves `pos`, or returns -1
// (pos unchanged) for an invalid sequence.
long DecodeUtf8(const std::string& s, size_t& pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    long cp = 0;
    long minimum = 0;
    if ((lead & 0xE0) == 0xC0) { length = 2; cp = lead & 0x1F; minimum = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { length = 3; cp = lead & 0x0F; minimum = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { length = 4; cp = lead & 0x07; minimum = 0x10000; }
    else return -1;
    if (pos + length > s.size())
        return -1;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    pos += length;
    return cp;
}

void AppendUtf16(std::u16string& out, long cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

class CParser {
public:
    explicit CParser(const std::string& line) : m_s(line) {}

    bool ParseAll(CJsonValue& out, std::string& error)
    {
        SkipSpace();
        if (!ParseValue(out, 0))
        {
            error = m_error;
            return false;
        }
        SkipSpace();
        if (m_pos != m_s.size()) {
            error = "unexpected text after the value at byte " + std::to_string(m_pos);
            return false;
        }
        return true;
    }

private:
    bool Fail(const std::string& what)
    {
        if (m_error.empty())
            m_error = what + " at byte " + std::to_string(m_pos);
        return false;
    }

    void SkipSpace()
    {
        while (m_pos < m_s.size() && (m_s[m_pos] == ' ' || m_s[m_pos] == '\t' || m_s[m_pos] == '\n' ||
                                      m_s[m_pos] == '\r'))
            ++m_pos;
    }

    bool Literal(const char* word)
    {
        size_t i = 0;
        for (; word[i]; ++i)
            if (m_pos + i >= m_s.size() || m_s[m_pos + i] != word[i])
                return Fail("invalid literal");
        m_pos += i;
        return true;
    }

    bool ParseValue(CJsonValue& out, int depth)
    {
        if (depth > kMaxDepth)
            return Fail("nested too deeply");
        if (m_pos >= m_s.size())
            return Fail("unexpected end of line");
        const char c = m_s[m_pos];
        switch (c) {
        case 'n': out.kind = CJsonValue::EKind::Null; return Literal("null");
        case 't': out.kind = CJsonValue::EKind::Bool; out.boolean = true; return Literal("true");
        case 'f': out.kind = CJsonValue::EKind::Bool; out.boolean = false; return Literal("false");
        case '"': out.kind = CJsonValue::EKind::String; return ParseString(out.text);
        case '[': return ParseArray(out, depth);
        case '{': return ParseObject(out, depth);
        default:
            if (c == '-' || (c >= '0' && c <= '9'))
                return ParseNumber(out);
            return Fail("unexpected character");
        }
    }

    bool ParseNumber(CJsonValue& out)
    {
        const size_t start = m_pos;
        const auto digit = [&] { return m_pos < m_s.size() && m_s[m_pos] >= '0' && m_s[m_pos] <= '9'; };
        if (m_s[m_pos] == '-')
            ++m_pos;
        if (!digit())
            return Fail("invalid number");
        if (m_s[m_pos] == '0')
            ++m_pos;
        else
            while (digit())
                ++m_pos;
        if (m_pos < m_s.size() && m_s[m_pos] == '.') {
            ++m_pos;
            if (!digit())
                return Fail("invalid number");
            while (digit())
                ++m_pos;
        }
        if (m_pos < m_s.size() && (m_s[m_pos] == 'e' || m_s[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_s.size() && (m_s[m_pos] == '+' || m_s[m_pos] == '-'))
                ++m_pos;
            if (!digit())
                return Fail("invalid number");
            while (digit())
                ++m_pos;
        }
        out.kind = CJsonValue::EKind::Number;
        out.numberText = m_s.substr(start, m_pos - start);
        out.number = std::strtod(out.numberText.c_str(), nullptr);
        return true;
    }

    bool Hex4(unsigned& value)
    {
        if (m_pos + 4 > m_s.size())
            return Fail("short \\u escape");
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_s[m_pos + i];
            value <<= 4;
            if (h >= '0' && h <= '9') value |= h - '0';
            else if (h >= 'a' && h <= 'f') value |= h - 'a' + 10;
            else if (h >= 'A' && h <= 'F') value |= h - 'A' + 10;
            else return Fail("invalid \\u escape");
        }
        m_pos += 4;
        return true;
    }

    // A \uXXXX escape is one UTF-16 unit, so a pair written as two escapes becomes the pair and a
    // lone surrogate stays lone: the string is the UTF-16 text the client meant, unit for unit.
    bool ParseString(std::u16string& out)
    {
        ++m_pos;  // the opening quote
        out.clear();
        while (true) {
            if (m_pos >= m_s.size())
                return Fail("unterminated string");
            const unsigned char c = static_cast<unsigned char>(m_s[m_pos]);
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c < 0x20)
                return Fail("control character in a string");
            if (c == '\\') {
                if (++m_pos >= m_s.size())
                    return Fail("unterminated escape");
                const char e = m_s[m_pos++];
                switch (e) {
                case '"': out += u'"'; break;
                case '\\': out += u'\\'; break;
                case '/': out += u'/'; break;
                case 'b': out += u'\b'; break;
                case 'f': out += u'\f'; break;
                case 'n': out += u'\n'; break;
                case 'r': out += u'\r'; break;
                case 't': out += u'\t'; break;
                case 'u': {
                    unsigned unit = 0;
                    if (!Hex4(unit))
                        return false;
                    out += static_cast<char16_t>(unit);
                    break;
                }
                default:
                    --m_pos;
                    return Fail("invalid escape");
                }
                continue;
            }
            if (c < 0x80) {
                out += static_cast<char16_t>(c);
                ++m_pos;
                continue;
            }
            const long cp = DecodeUtf8(m_s, m_pos);
            if (cp < 0)
                return Fail("invalid UTF-8");
            AppendUtf16(out, cp);
        }
    }

    bool ParseArray(CJsonValue& out, int depth)
    {
        out.kind = CJsonValue::EKind::Array;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_s.size() && m_s[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        while (true) {
            SkipSpace();
            out.items.emplace_back();
            if (!ParseValue(out.items.back(), depth + 1))
                return false;
            SkipSpace();
            if (m_pos >= m_s.size())
                return Fail("unterminated array");
            if (m_s[m_pos] == ',') { ++m_pos; continue; }
            if (m_s[m_pos] == ']') { ++m_pos; return true; }
            return Fail("expected , or ] in an array");
        }
    }

    bool ParseObject(CJsonValue& out, int depth)
    {
        out.kind = CJsonValue::EKind::Object;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_s.size() && m_s[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        while (true) {
            SkipSpace();
            if (m_pos >= m_s.size() || m_s[m_pos] != '"')
                return Fail("expected a key");
            std::u16string key;
            if (!ParseString(key))
                return false;
            SkipSpace();
            if (m_pos >= m_s.size() || m_s[m_pos] != ':')
                return Fail("expected :");
            ++m_pos;
            SkipSpace();
            out.members.emplace_back(std::move(key), CJsonValue());
            if (!ParseValue(out.members.back().second, depth + 1))
                return false;
            SkipSpace();
            if (m_pos >= m_s.size())
                return Fail("unterminated object");
            if (m_s[m_pos] == ',') { ++m_pos; continue; }
            if (m_s[m_pos] == '}') { ++m_pos; return true; }
            return Fail("expected , or } in an object");
        }
    }

    const std::string& m_s;
    size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

bool ParseJsonLine(const std::string& line, CJsonValue& out, std::string& error)
{
    out = CJsonValue();
    CParser parser(line);
    return parser.ParseAll(out, error);
}

void AppendJsonString(std::string& out, const std::u16string& text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char16_t unit : text) {
        switch (unit) {
        case u'"': out += "\\\""; continue;
        case u'\\': out += "\\\\"; continue;
        case u'\n': out += "\\n"; continue;
        case u'\r': out += "\\r"; continue;
        case u'\t': out += "\\t"; continue;
        default: break;
        }
        if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(unit >> shift) & 0xF];
        }
    }
    out += '"';
}

void AppendJsonUtf8(std::string& out, const std::string& utf8)
{
    AppendJsonString(out, Utf8ToUtf16Lossy(utf8));
}

bool Utf8ToUtf16(const std::string& in, std::u16string& out)
{
    out.clear();
    size_t pos = 0;
    while (pos < in.size()) {
        const long cp = DecodeUtf8(in, pos);
        if (cp < 0)
            return false;
        AppendUtf16(out, cp);
    }
    return true;
}

std::u16string Utf8ToUtf16Lossy(const std::string& in)
{
    std::u16string out;
    size_t pos = 0;
    while (pos < in.size()) {
        const long cp = DecodeUtf8(in, pos);
        if (cp < 0) {
            out += u'\uFFFD';
            ++pos;
        } else {
            AppendUtf16(out, cp);
        }
    }
    return out;
}

bool Utf16ToUtf8(const std::u16string& in, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        unsigned long cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return true;
}

std::u32string Utf16ToCodePoints(const std::u16string& in)
{
    std::u32string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        }
        out += cp;
    }
    return out;
}

std::u16string CodePointsToUtf16(const std::u32string& in)
{
    std::u16string out;
    for (const char32_t cp : in)
        AppendUtf16(out, static_cast<long>(cp));
    return out;
}

std::u16string Ascii16(const char* ascii)
{
    std::u16string out;
    for (; *ascii; ++ascii)
        out += static_cast<char16_t>(static_cast<unsigned char>(*ascii));
    return out;
}

}  // namespace korvane_runner
