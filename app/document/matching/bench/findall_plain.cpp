// The plain build's side of the Find All benchmark: the same search loop the document runs,
// without the host's dialect or instrumentation. Kept in its own file because one translation
// unit holds one build of the engine.
#include <vector>

#include "engine/tarno.h"

int PlainFindAll(const std::vector<unsigned short>& pattern, const std::vector<unsigned short>& text, int flags) {
  CRegexpT<unsigned short> re;
  re.Compile(pattern.data(), static_cast<int>(pattern.size()), flags);
  CMatchContext<unsigned short> ctx;
  re.PrepareMatch(text.data(), static_cast<int>(text.size()), -1, &ctx);
  int count = 0;
  while (re.Match(&ctx).IsMatched()) ++count;
  return count;
}
