// The plain build's engines for the tests (see builds.h).
#include "engine/tests/build_impl.inc"

namespace tarno_test {
const Engine& Plain8() {
  static const EngineT<char> e("plain8", false);
  return e;
}
const Engine& Plain16() {
  static const EngineT<unsigned short> e("plain16", false);
  return e;
}

std::vector<const Engine*> AllEngines() {
  return {&Plain8(), &Plain16(), &Host8(), &Host16(), &Untraced8(), &Untraced16()};
}

std::u16string U(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
      out += static_cast<char16_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
      i += 2;
    } else if (i + 2 < s.size()) {
      out += static_cast<char16_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
      i += 3;
    } else {
      ++i;
    }
  }
  return out;
}

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      char buf[12];
      snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}
}  // namespace tarno_test
