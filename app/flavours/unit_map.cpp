// Offset tables from code points and UTF-8 bytes to UTF-16 units (see unit_map.h).
#include "app/flavours/unit_map.h"

bool ParseFlavourUnit(const QString& name, FlavourUnit* unit) {
  if (name == QLatin1String("utf16")) *unit = FlavourUnit::Utf16;
  else if (name == QLatin1String("codepoint")) *unit = FlavourUnit::CodePoint;
  else if (name == QLatin1String("utf8")) *unit = FlavourUnit::Utf8;
  else return false;
  return true;
}

const char* FlavourUnitName(FlavourUnit unit) {
  switch (unit) {
    case FlavourUnit::Utf16: return "utf16";
    case FlavourUnit::CodePoint: return "codepoint";
    case FlavourUnit::Utf8: return "utf8";
  }
  return "utf16";
}

CUnitMap::CUnitMap(const QString& subject) : m_nUtf16(static_cast<int>(subject.size())) {
  const int n = m_nUtf16;
  m_fromCodePoint.clear();
  m_fromByte.clear();
  m_fromCodePoint.reserve(static_cast<size_t>(n) + 1);
  m_fromByte.reserve(static_cast<size_t>(n) + 1);
  int i = 0;
  while (i < n) {
    const char16_t c = subject[i].unicode();
    int units = 1, bytes;
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(subject[i + 1].unicode())) {
      units = 2;
      bytes = 4;
    } else if (QChar::isSurrogate(c)) {
      m_bLoneSurrogate = true;
      bytes = 3;
    } else {
      bytes = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    }
    m_fromCodePoint.push_back(i);
    m_fromByte.push_back(i);
    for (int b = 1; b < bytes; ++b) m_fromByte.push_back(-1);
    i += units;
  }
  m_fromCodePoint.push_back(n);
  m_fromByte.push_back(n);
}

int CUnitMap::ToUtf16(FlavourUnit unit, int offset) const {
  if (offset < 0) return -1;
  switch (unit) {
    case FlavourUnit::Utf16:
      return offset <= m_nUtf16 ? offset : -1;
    case FlavourUnit::CodePoint:
      return offset < static_cast<int>(m_fromCodePoint.size()) ? m_fromCodePoint[static_cast<size_t>(offset)] : -1;
    case FlavourUnit::Utf8:
      return offset < static_cast<int>(m_fromByte.size()) ? m_fromByte[static_cast<size_t>(offset)] : -1;
  }
  return -1;
}

QByteArray JsonAsciiString(const QString& s) {
  static const char kHex[] = "0123456789abcdef";
  QByteArray out;
  out.reserve(s.size() + 2);
  out += '"';
  for (QChar qc : s) {
    const char16_t c = qc.unicode();
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      case '\b': out += "\\b"; continue;
      case '\f': out += "\\f"; continue;
      default: break;
    }
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      out += "\\u";
      out += kHex[(c >> 12) & 15];
      out += kHex[(c >> 8) & 15];
      out += kHex[(c >> 4) & 15];
      out += kHex[c & 15];
    }
  }
  out += '"';
  return out;
}
