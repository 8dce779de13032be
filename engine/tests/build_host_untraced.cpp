// The untraced host build's engines for the tests (see builds.h).
#define TARNO_HOST_BUILD
#define TARNO_UNTRACED
#include "engine/tests/build_impl.inc"

namespace tarno_test {
const Engine& Untraced8() {
  static const EngineT<char> e("untraced8", true);
  return e;
}
const Engine& Untraced16() {
  static const EngineT<unsigned short> e("untraced16", true);
  return e;
}
}  // namespace tarno_test
