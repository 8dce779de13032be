// The fuzz checks of the host build (see harness.h).
#define TARNO_HOST_BUILD
#include "fuzz/harness_impl.inc"

namespace tarno_fuzz {
namespace {
CompileReport Compile8(const Units& p, int f) { return CompileWith<char>("host8", p, f); }
CompileReport Compile16(const Units& p, int f) { return CompileWith<unsigned short>("host16", p, f); }
MatchReport Match8(const Units& p, int f, const Units& s, int start) { return MatchWith<char>("host8", p, f, s, start); }
MatchReport Match16(const Units& p, int f, const Units& s, int start) {
  return MatchWith<unsigned short>("host16", p, f, s, start);
}
}  // namespace

const Build& Host8() {
  static const Build b = {"host8", true, false, &Compile8, &Match8};
  return b;
}
const Build& Host16() {
  static const Build b = {"host16", true, true, &Compile16, &Match16};
  return b;
}
}  // namespace tarno_fuzz
