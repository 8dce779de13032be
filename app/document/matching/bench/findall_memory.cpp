// Memory held by the document's results over a 5 MiB text with about 845,000 matches: heap in
// use (mallinfo2) and resident set size, before the search, after Find All (with the heap's
// growth per match), after the replace result is built, after the text is replaced and after the
// pattern is changed; once with a pattern of one group and once with two. Run by hand:
//   build/app/document/matching/bench/findall_memory
#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "app/document/core/tests/headless_ui.h"
#include "stringtable.h"

namespace {

// Patterns with groups, so that the stored captures are part of the figures; both match every
// word.
const char* const kPatterns[] = {"\\b(\\w)\\w*\\b", "\\b(\\w)\\w*?(\\w?)\\b"};
const char kReplaceTo[] = "<$1>";
const size_t kUnits = 5u << 20;  // 5 MiB of text as UTF-16 units

std::vector<unsigned short> MakeText(unsigned seed) {
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(kUnits + 16);
  const char letters[] = "abcdefghijklmnopqrstuvwxyz";
  while (s.size() < kUnits) {
    int len = 1 + rng() % 9;
    for (int i = 0; i < len; ++i) s += letters[rng() % 26];
    s += (rng() % 12 == 0) ? ".\n" : " ";
  }
  s.resize(kUnits);
  return U16(s);
}

struct Figures {
  double heapMiB;
  double rssMiB;
};

Figures Measure() {
  struct mallinfo2 mi = mallinfo2();
  long pages = 0, resident = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> pages >> resident;
  return {static_cast<double>(mi.uordblks + mi.hblkhd) / (1 << 20),
          static_cast<double>(resident) * sysconf(_SC_PAGESIZE) / (1 << 20)};
}

void Report(const char* stage, const Figures& f, const Figures& base, int results) {
  std::printf("%-28s heap %8.1f MiB (%+8.1f)   rss %8.1f MiB (%+8.1f)   results %d\n", stage, f.heapMiB,
              f.heapMiB - base.heapMiB, f.rssMiB, f.rssMiB - base.rssMiB, results);
}

void Run(const char* pattern) {
  std::printf("pattern %s\n", pattern);
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  if (doc.IsLocateFailPoint()) doc.OnCommand(CMD_LOCATE_FAIL_POINT);
  std::vector<unsigned short> first = MakeText(20261209), second = MakeText(7);
  std::vector<unsigned short> p = U16(pattern), r = U16(kReplaceTo);
  doc.SetPattern(p.data(), static_cast<int>(p.size()), false);
  doc.SetReplaceTo(r.data(), static_cast<int>(r.size()));
  doc.SetSubjectText(first.data(), static_cast<int>(first.size()));

  const Figures base = Measure();
  Report("before Find All", base, base, doc.GetResultCount());
  doc.OnCommand(CMD_FIND_ALL);
  const Figures found = Measure();
  Report("after Find All", found, base, doc.RealMatchCount());
  std::printf("%-28s %.1f bytes per match\n", "", (found.heapMiB - base.heapMiB) * (1 << 20) / doc.RealMatchCount());
  doc.SetMode(MODE_REPLACE);
  Report("after the replace result", Measure(), base, static_cast<int>(doc.GetReplaceResult().Segments().size()));
  doc.SetSubjectText(second.data(), static_cast<int>(second.size()));
  doc.WaitForDisposal();
  Report("after replacing the text", Measure(), base, doc.GetResultCount());

  doc.OnCommand(CMD_FIND_ALL);
  Report("second Find All (replace)", Measure(), base, doc.RealMatchCount());
  std::vector<unsigned short> q = U16("\\b\\w\\b");
  doc.SetPattern(q.data(), static_cast<int>(q.size()), false);
  doc.WaitForDisposal();
  Report("after changing the pattern", Measure(), base, doc.GetResultCount());
  std::printf("\n");
}

}  // namespace

int main() {
  CStringTable::SetCurrent(CStringTable::kEnglish);
  for (const char* pattern : kPatterns) Run(pattern);
  return 0;
}
