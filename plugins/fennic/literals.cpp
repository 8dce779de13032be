// String-literal conversions (literals.h). The expressions are written as the C++ literals of
// their text; each lives in a function-local static compiled on first use and is only read
// afterwards.
#include "plugins/fennic/literals.h"

#include <cstdio>

#include "plugins/fennic/fennic_text.h"

namespace fennic {
namespace {

const Regex& QuoteOrBackslash() {
  static const Regex re(u"(['\"\\\\])");
  return re;
}
const Regex& LineBreak() {
  static const Regex re(u"\\r\\n?|\\n\\r?");
  return re;
}
const Regex& Trigraph() {
  static const Regex re(u"(\\?)(\\?[=(/)'<!>\\-])");
  return re;
}
// Compiled with the single-line option: without it the dot stops at a line feed, so a line
// continuation (a backslash before LF) or a block comment over several lines would end the
// collection there and the rest of the source would be lost.
const Regex& CLiteralFinder() {
  static const Regex re(
      u"\\G(?:[^\\\\\"'/]|\\\\.|'(?:[^\\\\']|\\\\.)*'|/(?![/*])|/\\*(?:(?!\\*/).)*\\*/|//[^\\r\\n]*)*+"
      u"\"(?:(?<str>(?:\\\\.|[^\\\\\"])+)\"?|\")|^(?<str>(?:\\\\.|[^\\\\\"])+)",
      GLOBAL | SINGLELINE);
  return re;
}
const Regex& CUnescape() {
  static const Regex re(u"\\\\([\\\\\"'?])|\\\\(n(?:\\\\r)?|r(?:\\\\n)?)|\\\\(\\r\\n?|\\n\\r?)");
  return re;
}
const Regex& VbLiteralFinder() {
  static const Regex re(
      u"\\G(?:\\brem\\b[^\\r\\n]*|'[^\\r\\n]*|(?!(?R<chr>))[^\"'])*+(?:\"(?:(?<str>(?:\"\"|[^\"])+)\"?|\")|"
      u"(?<chr>\\b(?:vbCrLf|vbCr|vbLf|vbNewLine|vbTab|vbBack|vbFormFeed|vbVerticalTab)\\b|"
      u"\\bchr\\$?\\s*\\(\\s*(?<ord>\\d+)\\s*\\)))|^(?<str>(?:\"\"|[^\"])+).*",
      GLOBAL | IGNORECASE);
  return re;
}
const Regex& DoubledQuote() {
  static const Regex re(u"\"\"");
  return re;
}
const Regex& OneQuote() {
  static const Regex re(u"\"");
  return re;
}

bool EqualsNoCase(const std::u16string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char16_t x = a[i];
    char y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != static_cast<char16_t>(y)) return false;
  }
  return i == a.size() && !b[i];
}

}  // namespace

std::u16string JavaExport(const std::u16string& pattern) {
  std::u16string s = ReplaceAll(QuoteOrBackslash(), pattern, u"\\$1");
  s = ReplaceAll(LineBreak(), s, u"\\n");
  return u"\"" + s + u"\"";
}

std::u16string CppExport(const std::u16string& pattern) {
  std::u16string s = ReplaceAll(QuoteOrBackslash(), pattern, u"\\$1");
  s = ReplaceAll(LineBreak(), s, u"\\n");
  s = ReplaceAll(Trigraph(), s, u"$1\\$2");
  return u"\"" + s + u"\"";
}

std::u16string VbExport(const std::u16string& pattern) {
  std::u16string s = ReplaceAll(OneQuote(), pattern, u"\"\"");
  s = ReplaceAll(LineBreak(), s, u"\" & vbCrLf & \"");
  return u"\"" + s + u"\"";
}

std::u16string CppImport(const std::u16string& source) {
  static const int kStr = CLiteralFinder().GetNamedGroupNumber(u"str");
  std::u16string collected;
  ForEachMatch(CLiteralFinder(), source, [&](const MatchResult& m) {
    collected += GroupText(source, m, kStr);
    return true;
  });
  std::u16string out;
  int copied = 0;
  ForEachMatch(CUnescape(), collected, [&](const MatchResult& m) {
    out += collected.substr(copied, m.GetStart() - copied);
    if (GroupMatched(m, 1))
      out += GroupText(collected, m, 1);
    else if (GroupMatched(m, 2))
      out += u'\n';
    // group 3, a line continuation, writes nothing
    copied = m.GetEnd();
    return true;
  });
  out += collected.substr(copied);
  return out;
}

std::u16string VbImport(const std::u16string& source) {
  // The groups by name: the engine's numbers of nested named groups need not follow the order
  // in which they open.
  static const int kStr = VbLiteralFinder().GetNamedGroupNumber(u"str");
  static const int kChr = VbLiteralFinder().GetNamedGroupNumber(u"chr");
  static const int kOrd = VbLiteralFinder().GetNamedGroupNumber(u"ord");
  std::u16string out;
  ForEachMatch(VbLiteralFinder(), source, [&](const MatchResult& m) {
    if (GroupMatched(m, kStr)) {
      out += ReplaceAll(DoubledQuote(), GroupText(source, m, kStr), u"\"");
    } else if (GroupMatched(m, kOrd)) {
      // Chr(n): a byte escape up to 255, else a \u escape. \u takes four hex digits, so a
      // value beyond one code unit is written as its surrogate pair, and a value beyond the
      // last character (held at 0x110000 while reading) as the replacement character.
      unsigned long n = 0;
      for (char16_t c : GroupText(source, m, kOrd)) {
        n = n * 10 + static_cast<unsigned>(c - u'0');
        if (n > 0x110000) n = 0x110000;
      }
      char buf[24];
      if (n <= 255) {
        std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(n));
      } else if (n <= 0xFFFF) {
        std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(n));
      } else if (n <= 0x10FFFF) {
        unsigned v = static_cast<unsigned>(n) - 0x10000;
        std::snprintf(buf, sizeof buf, "\\u%04x\\u%04x", 0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF));
      } else {
        std::snprintf(buf, sizeof buf, "\\ufffd");
      }
      out += Widen(buf);
    } else if (GroupMatched(m, kChr)) {
      std::u16string name = GroupText(source, m, kChr);
      if (EqualsNoCase(name, "vbCrLf") || EqualsNoCase(name, "vbCr") || EqualsNoCase(name, "vbLf") ||
          EqualsNoCase(name, "vbNewLine"))
        out += u'\n';
      else if (EqualsNoCase(name, "vbTab"))
        out += u'\t';
      else if (EqualsNoCase(name, "vbBack"))
        out += u"\\x08";
      else if (EqualsNoCase(name, "vbFormFeed"))
        out += u"\\x0C";
      else if (EqualsNoCase(name, "vbVerticalTab"))
        out += u"\\x0B";
    }
    return true;
  });
  return out;
}

}  // namespace fennic
