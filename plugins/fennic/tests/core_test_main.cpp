// main() of fennic's core tests: GoogleTest's, plus the property tests' --seed=S and --count=N.
#include <gtest/gtest.h>

#include <cstdio>

#include "plugins/fennic/tests/random_patterns.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!fennic_props::ParseRunOptions(argc, argv)) {
    std::fprintf(stderr, "unknown argument (use --seed=S --count=N besides GoogleTest's own)\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
