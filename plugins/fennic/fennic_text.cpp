// Text helpers of fennic (fennic_text.h). Covered by tests/literals_test.cpp.
#include "plugins/fennic/fennic_text.h"

namespace fennic {

std::u16string FromApi(const unsigned short* text, int length) {
  if (!text) return std::u16string();
  if (length < 0) {
    length = 0;
    while (text[length]) ++length;
  }
  std::u16string s(static_cast<size_t>(length), u'\0');
  for (int i = 0; i < length; ++i) s[i] = static_cast<char16_t>(text[i]);
  return s;
}

std::u16string Widen(const char* s) {
  std::u16string r;
  for (; s && *s; ++s) r += static_cast<char16_t>(static_cast<unsigned char>(*s));
  return r;
}

std::u16string Widen(const std::string& s) {
  std::u16string r;
  r.reserve(s.size());
  for (char c : s) r += static_cast<char16_t>(static_cast<unsigned char>(c));
  return r;
}

std::string Narrow(const std::u16string& s) {
  std::string r;
  r.reserve(s.size());
  for (char16_t c : s) r += c < 256 ? static_cast<char>(c) : '?';
  return r;
}

std::u16string ReplaceAll(const Regex& re, const std::u16string& text, const std::u16string& to) {
  int n = 0;
  char16_t* out = re.Replace(text.data(), Length(text), to.data(), Length(to), n);
  if (!out) return text;
  std::u16string r(out, static_cast<size_t>(n));
  Regex::ReleaseString(out);
  return r;
}

std::u16string GroupText(const std::u16string& text, const MatchResult& m, int n) {
  int a = m.GetGroupStart(n), b = m.GetGroupEnd(n);
  if (a < 0 || b < a || b > Length(text)) return std::u16string();
  return text.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
}

}  // namespace fennic
