// Developer tool: prints the dump of a pattern in each build, and the matches in a subject.
//   tarno_cli PATTERN [FLAGS [SUBJECT]]      FLAGS: letters s m g i r x, or "-"
#include <cstdio>
#include <string>

#include "engine/tests/builds.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATTERN [FLAGS [SUBJECT]]\n", argv[0]);
    return 2;
  }
  int flags = 0;
  if (argc > 2)
    for (const char* f = argv[2]; *f; ++f) {
      switch (*f) {
        case 's': flags |= 0x01; break;
        case 'm': flags |= 0x02; break;
        case 'g': flags |= 0x04; break;
        case 'i': flags |= 0x08; break;
        case 'r': flags |= 0x10; break;
        case 'x': flags |= 0x20; break;
      }
    }
  std::u16string p = tarno_test::U(argv[1]);
  for (const tarno_test::Engine* e : tarno_test::AllEngines()) {
    std::printf("%-8s %s\n", e->Name(), e->Dump(p, flags, 1).c_str());
    if (argc > 3) std::printf("%-8s   => %s\n", "", e->Matches(p, flags, tarno_test::U(argv[3])).c_str());
  }
  return 0;
}
