// The alternation optimizer: a list of fixed strings folded into one compact pattern that
// shares common prefixes and tails and turns runs of single characters into classes
// (aa|ab|ac gives a[abc]). The folded pattern tries the strings in the order the list gives
// them, so it finds what the alternation finds wherever it stands in a pattern. Covered by
// tests/optimizer_test.cpp and tests/rewrite_property_test.cpp; speed in
// bench/fennic_optimizer_bench.cpp.
#ifndef FENNIC_OPTIMIZER_H
#define FENNIC_OPTIMIZER_H

#include <string>
#include <vector>

namespace fennic {

// The optimized pattern for the alternation s1|s2|...|sn of the strings, written for a place
// compiled with `flags` (the engine's option bits): IGNORECASE compares the strings without
// case, RIGHTTOLEFT folds common endings instead of beginnings (the strings are matched from
// their ends), and EXTENDED escapes '#' as well (white space is always escaped).
//
// Wherever the alternation stands, the result tries the same strings in the same order: a
// string that a later one extends comes first as an optional part when it came first in the
// list (a|ab gives ab??) and last when it came last (ab|a gives ab?). Later duplicates are
// dropped; an empty string is an empty alternative like any other. An empty list gives an empty
// pattern. Groups it adds never capture, so group numbers around it stay as they were.
std::u16string OptimizeStrings(const std::vector<std::u16string>& strings, int flags = 0);

// One literal piece escaped so that the engine reads it back as those characters, under
// EXTENDED too when `extended` is set.
std::u16string EscapeLiteral(const std::u16string& s, bool extended = false);

}  // namespace fennic

// The exported C form, for plugin code built against fennic. The list holds `count` strings,
// each `lengths[i]` code units long. The result is written to `out`: at most `capacity` - 1
// code units and a terminating zero; `*length` receives the full length of the result (so a
// caller whose buffer was too small can call again). Returns 0. The result is written to read
// the same with and without the extended option.
extern "C" {
struct FennicStringList {
  const unsigned short* const* strings;
  const int* lengths;
  int count;
};
struct FennicBuffer {
  unsigned short* data;
  int capacity;
  int length;
};
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
int DoOptimizeStrings(const FennicStringList* list, FennicBuffer* out);
}

#endif
