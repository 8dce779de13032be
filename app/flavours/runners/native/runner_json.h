// runner_json.h: the JSON-lines side of the native runners: a small reader for one request line,
// helpers that write answer lines, and conversions between UTF-8, UTF-16 and code points.
// Standard library only, so that the runners stay free of Qt and of any JSON library.
// Covered by app/flavours/runners/native/tests/runner_protocol_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace korvane_runner {

// One parsed JSON value. Strings are kept in UTF-16 units exactly as the line spelled them, so a
// lone surrogate written as \uD800 survives (the 16-bit engines can match on it). Numbers keep
// their text as well, so that an id is echoed back unchanged.
class CJsonValue {
public:
    enum class EKind { Null, Bool, Number, String, Array, Object };

    EKind kind = EKind::Null;
    bool boolean = false;
    double number = 0;
    std::string numberText;   // the number as written (ASCII), for kind Number
    std::u16string text;      // for kind String
    std::vector<CJsonValue> items;                              // for kind Array
    std::vector<std::pair<std::u16string, CJsonValue>> members; // for kind Object, in line order

    // The member called `key` of an object (the last one when a key repeats), or nullptr.
    const CJsonValue* Find(const char* key) const;
};

// Parses one whole line. Returns false with a short reason in `error` when the line is not one
// JSON value (bad syntax, invalid UTF-8, nesting deeper than 64 levels, trailing text).
bool ParseJsonLine(const std::string& line, CJsonValue& out, std::string& error);

// Appends `text` as a JSON string literal, every non-ASCII unit written as a \uXXXX escape (lone
// surrogates included), so that answer lines are plain ASCII.
void AppendJsonString(std::string& out, const std::u16string& text);
// The same for UTF-8 text (engine messages); invalid sequences become U+FFFD.
void AppendJsonUtf8(std::string& out, const std::string& utf8);

// UTF-8 to UTF-16: false on invalid UTF-8 (overlong forms and encoded surrogates included).
bool Utf8ToUtf16(const std::string& in, std::u16string& out);
// UTF-8 to UTF-16 that never fails: each invalid byte becomes U+FFFD.
std::u16string Utf8ToUtf16Lossy(const std::string& in);
// UTF-16 to UTF-8: false when `in` holds a lone surrogate (it has no UTF-8 form).
bool Utf16ToUtf8(const std::u16string& in, std::string& out);
// UTF-16 to code points; a lone surrogate stays one code point of its own value.
std::u32string Utf16ToCodePoints(const std::u16string& in);
// Code points back to UTF-16 (code points above U+FFFF as pairs).
std::u16string CodePointsToUtf16(const std::u32string& in);
// Plain ASCII to UTF-16.
std::u16string Ascii16(const char* ascii);

}  // namespace korvane_runner
