// The fuzz harness: the engine checks that the fuzz targets run in each build and width.
//
// The plain and the host build of the engine are compiled in two translation units
// (harness_plain.cpp, harness_host.cpp), each exposing the same two checks for 8-bit and 16-bit
// characters. A check aborts with a message on the first broken invariant (FuzzFail), which
// libFuzzer reports as a crash and the replay program as a failed test. Both checks return a
// canonical text of what they computed, so the targets can compare builds and widths.
#ifndef TARNO_FUZZ_HARNESS_H
#define TARNO_FUZZ_HARNESS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarno_fuzz {

typedef std::vector<uint16_t> Units;  // pattern or subject, one code unit per entry

// Longest pattern and subject the match target uses; beyond them inputs are cut. With the work
// limit of the fuzz builds these keep one input well under a second under the sanitizers.
const size_t kMaxPattern = 64;
const size_t kMaxSubject = 64;
// A compiled pattern with more groups than this is not matched (a numeric group name like
// "(?<999999>x)" is legal and makes every result two million ints long).
const int kMaxGroupsToMatch = 2000;

struct CompileReport {
  std::string dump;        // TarnoDump with spans
  int maxGroup = 0;
  int tableSize = 0;
  bool balancing = false;  // a group consumes another's capture (host build only)
};

struct MatchReport {
  std::string text;       // canonical text of every operation's result
  bool cutOff = false;    // the nesting limit or the work budget shaped some result
  bool compiled = false;  // false when the pattern had too many groups to match
  bool balancing = false;
};

struct Build {
  const char* name;
  bool host;
  bool wide;
  // Compiles `pattern`, checks the element graph, returns what the targets compare.
  CompileReport (*compile)(const Units& pattern, int flags);
  // Compiles `pattern` and runs every operation on `subject`, checking each result.
  MatchReport (*match)(const Units& pattern, int flags, const Units& subject, int start);
};

const Build& Plain8();
const Build& Plain16();
const Build& Host8();
const Build& Host16();

// Reports a broken invariant with the input that broke it, then aborts.
[[noreturn]] void FuzzFail(const char* build, const char* what, const Units& pattern, int flags,
                           const Units* subject, const std::string& detail);

std::string Printable(const Units& s);

// The two fuzz entry points; the libFuzzer targets and the replay program call them.
int CompileFuzzOne(const uint8_t* data, size_t size);
int MatchFuzzOne(const uint8_t* data, size_t size);

}  // namespace tarno_fuzz

#endif
