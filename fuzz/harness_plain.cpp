// The fuzz checks of the plain build (see harness.h).
#include "fuzz/harness_impl.inc"

namespace tarno_fuzz {
namespace {
CompileReport Compile8(const Units& p, int f) { return CompileWith<char>("plain8", p, f); }
CompileReport Compile16(const Units& p, int f) { return CompileWith<unsigned short>("plain16", p, f); }
MatchReport Match8(const Units& p, int f, const Units& s, int start) { return MatchWith<char>("plain8", p, f, s, start); }
MatchReport Match16(const Units& p, int f, const Units& s, int start) {
  return MatchWith<unsigned short>("plain16", p, f, s, start);
}
}  // namespace

const Build& Plain8() {
  static const Build b = {"plain8", false, false, &Compile8, &Match8};
  return b;
}
const Build& Plain16() {
  static const Build b = {"plain16", false, true, &Compile16, &Match16};
  return b;
}
}  // namespace tarno_fuzz
