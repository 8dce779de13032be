// The alternation optimizer: a list of fixed strings folded into one compact pattern that
// shares common prefixes and suffixes and turns runs of single characters into classes
// (aa|ab|ac gives a[abc]). Covered by tests/optimizer_test.cpp; speed in
// bench/fennic_optimizer_bench.cpp.
#ifndef FENNIC_OPTIMIZER_H
#define FENNIC_OPTIMIZER_H

#include <string>
#include <vector>

namespace fennic {

// The optimized pattern; it matches, as a whole text, exactly the strings of the list.
// Duplicates collapse. An empty list gives an empty pattern. Empty strings in the list make the
// rest optional: the result is "(?:rest)?", or empty when the list holds nothing else.
std::u16string OptimizeStrings(std::vector<std::u16string> strings);

// The steps, exposed for tests.
std::u16string EscapeLiteral(const std::u16string& s);
std::u16string UnescapeLiteral(const std::u16string& s);
std::u16string SingleCharClasses(const std::u16string& alternation);
std::u16string RemoveRedundantGroups(const std::u16string& text);

}  // namespace fennic

// The exported C form, for plugin code built against fennic. The list holds `count` strings,
// each `lengths[i]` code units long. The result is written to `out`: at most `capacity` - 1
// code units and a terminating zero; `*length` receives the full length of the result (so a
// caller whose buffer was too small can call again). Returns 0.
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
