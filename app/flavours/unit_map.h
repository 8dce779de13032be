// Offsets of the other engines, mapped to Korvane's: every runner counts in one unit of the
// subject (UTF-16 code units, code points or bytes of the UTF-8 encoding, as its hello says),
// and Korvane shows every span in UTF-16 units. A CUnitMap holds, for one subject, the UTF-16
// offset of every code point boundary and of every UTF-8 byte boundary, computed once.
//
// A lone surrogate counts as one code point (Python, Perl and std::wregex see it so) and, in
// the byte table, as the three bytes its generalized UTF-8 form would take; a subject holding
// one is never sent to an engine that counts bytes (see HasLoneSurrogate).
//
// Also here: the request's strings written as pure-ASCII JSON, every non-ASCII unit as a \uXXXX
// escape, so that a lone surrogate reaches the runner as it is (QJsonDocument would write
// U+FFFD in its place).
//
// Covered by app/flavours/tests/unit_map_test.cpp.
#ifndef KORVANE_FLAVOURS_UNIT_MAP_H
#define KORVANE_FLAVOURS_UNIT_MAP_H

#include <QByteArray>
#include <QString>
#include <vector>

enum class FlavourUnit { Utf16, CodePoint, Utf8 };

// "utf16", "codepoint", "utf8"; false for anything else.
bool ParseFlavourUnit(const QString& name, FlavourUnit* unit);
const char* FlavourUnitName(FlavourUnit unit);

class CUnitMap {
 public:
  CUnitMap() = default;
  explicit CUnitMap(const QString& subject);

  int Utf16Length() const { return m_nUtf16; }
  int CodePointLength() const { return static_cast<int>(m_fromCodePoint.size()) - 1; }
  int Utf8Length() const { return static_cast<int>(m_fromByte.size()) - 1; }
  bool HasLoneSurrogate() const { return m_bLoneSurrogate; }

  // The UTF-16 offset of `offset` counted in `unit`; -1 when it lies outside the subject or
  // inside a character (a byte offset in the middle of a multi-byte sequence). A UTF-16 offset
  // inside a surrogate pair is kept: engines that count units may split a pair, and Korvane
  // shows such a span as it is.
  int ToUtf16(FlavourUnit unit, int offset) const;

 private:
  int m_nUtf16 = 0;
  bool m_bLoneSurrogate = false;
  std::vector<int> m_fromCodePoint{0};  // code point boundary -> UTF-16 offset
  std::vector<int> m_fromByte{0};       // byte offset -> UTF-16 offset, -1 inside a sequence
};

// `s` as a JSON string literal of ASCII characters only (quotes included).
QByteArray JsonAsciiString(const QString& s);

#endif
