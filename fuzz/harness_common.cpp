// What the fuzz targets share: failure reports and the decoding of an input.
#include <cstdio>
#include <cstdlib>

#include "fuzz/harness.h"

namespace tarno_fuzz {

std::string Printable(const Units& s) {
  std::string out;
  char buf[16];
  for (uint16_t c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(buf, sizeof buf, c < 0x100 ? "\\x%02x" : "\\u%04x", c);
      out += buf;
    }
  }
  return out;
}

void FuzzFail(const char* build, const char* what, const Units& pattern, int flags, const Units* subject,
              const std::string& detail) {
  std::fprintf(stderr, "tarno fuzz: %s: %s%s%s\n  pattern /%s/ (escaped) flags 0x%02x\n", build, what,
               detail.empty() ? "" : ": ", detail.c_str(), Printable(pattern).c_str(), flags);
  if (subject) std::fprintf(stderr, "  subject \"%s\" (escaped)\n", Printable(*subject).c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace tarno_fuzz
