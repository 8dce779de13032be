// match_fuzz: compiles a pattern in the plain and the host build, 8-bit and 16-bit, runs every
// operation on a subject (harness_impl.inc checks each result) and compares builds and widths.
//
// Input: byte 0 holds the compile flags in its low six bits; bit 6 set reads the rest as
// little-endian 16-bit code units, clear as one unit per byte. Byte 1 is the pattern length in
// units; byte 2 chooses a start position (below 0x80: the default start). The rest is the
// pattern, then the subject. Both are cut to kMaxPattern and kMaxSubject units, and the fuzz
// builds carry the engine's work limit, so that exponential backtracking cannot stall a run.
#include <algorithm>

#include "fuzz/harness.h"

namespace tarno_fuzz {
namespace {

Units Decode(const uint8_t* data, size_t size, bool pairs) {
  Units out;
  if (pairs) {
    for (size_t i = 0; i + 1 < size; i += 2) out.push_back(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    out.assign(data, data + size);
  }
  return out;
}

bool Ascii(const Units& s) {
  for (uint16_t c : s)
    if (c >= 0x80) return false;
  return true;
}

// See compile_fuzz.cpp: escapes beyond ASCII are cut to the width.
bool SameInBothWidths(const Units& pattern, const Units& subject) {
  if (!Ascii(pattern) || !Ascii(subject)) return false;
  for (size_t i = 0; i + 1 < pattern.size(); ++i)
    if (pattern[i] == '\\' && (pattern[i + 1] == 'x' || pattern[i + 1] == 'u')) return false;
  return true;
}

void Compare(const Build& a, const MatchReport& ra, const Build& b, const MatchReport& rb, const char* what,
             const Units& pattern, int flags, const Units& subject) {
  if (!ra.compiled || !rb.compiled || ra.cutOff || rb.cutOff) return;
  if (ra.text != rb.text)
    FuzzFail(a.name, what, pattern, flags, &subject,
             std::string("\n  ") + a.name + ": " + ra.text + "\n  " + b.name + ": " + rb.text);
}

}  // namespace

int MatchFuzzOne(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int flags = data[0] & 0x3F;
  const Units units = Decode(data + 3, size - 3, (data[0] & 0x40) != 0);
  const size_t plen = std::min<size_t>(std::min<size_t>(data[1], units.size()), kMaxPattern);
  const Units pattern(units.begin(), units.begin() + plen);
  const Units subject(units.begin() + plen, units.begin() + std::min(units.size(), plen + kMaxSubject));
  const int n = static_cast<int>(subject.size());
  const int start = data[2] < 0x80 ? -1 : (data[2] & 0x7F) % (n + 3) - 1;  // -1 .. n + 1

  const Build* builds[4] = {&Plain8(), &Plain16(), &Host8(), &Host16()};
  MatchReport r[4];
  for (int i = 0; i < 4; ++i) r[i] = builds[i]->match(pattern, flags, subject, start);
  // Plain and host build match alike except where the host's balancing groups come in.
  for (int w = 0; w < 2; ++w)
    if (!r[w + 2].balancing)
      Compare(*builds[w], r[w], *builds[w + 2], r[w + 2], "plain and host build disagree", pattern, flags, subject);
  if (SameInBothWidths(pattern, subject)) {
    Compare(*builds[0], r[0], *builds[1], r[1], "8-bit and 16-bit disagree", pattern, flags, subject);
    Compare(*builds[2], r[2], *builds[3], r[3], "8-bit and 16-bit disagree", pattern, flags, subject);
  }
  return 0;
}

}  // namespace tarno_fuzz

#ifdef TARNO_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tarno_fuzz::MatchFuzzOne(data, size);
}
#endif
