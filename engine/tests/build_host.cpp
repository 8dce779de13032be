// The host build's engines for the tests (see builds.h).
#define TARNO_HOST_BUILD
#include "engine/tests/build_impl.inc"

namespace tarno_test {
const Engine& Host8() {
  static const EngineT<char> e("host8", true);
  return e;
}
const Engine& Host16() {
  static const EngineT<unsigned short> e("host16", true);
  return e;
}
const Engine& HostClassic16() {
  static const EngineT<unsigned short> e("host16-classic", true, true);
  return e;
}
}  // namespace tarno_test
