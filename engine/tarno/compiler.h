// The pattern compiler: a tokenizer with two tokens of look-ahead (tokenizer.h) feeding a
// recursive-descent parser (parser.h), then the pass that numbers named groups and resolves
// names and recursion targets (name_resolution.h), and a finishing pass that prepares the
// matcher's fast paths (optimization_passes.h). This header ties them together: Compile runs
// them in order. Every input compiles: each malformed construct has a defined reading. Covered
// by engine/tests/compile_test.cpp and the fuzzer in fuzz/compile_fuzz.cpp.
#ifndef TARNO_COMPILER_H
#define TARNO_COMPILER_H

#include "name_resolution.h"
#include "optimization_passes.h"
#include "parser.h"
#include "regexp.h"
#include "tokenizer.h"

TARNO_NAMESPACE_BEGIN

template <class CHART>
void CRegexpT<CHART>::Clear() {
  for (int i = 0; i < m_pool.GetSize(); ++i) delete m_pool[i];
  m_pool.Clear();
  for (int i = 0; i < 17; ++i) m_stock[i] = nullptr;
  m_pRoot = nullptr;
  m_nMaxGroup = 0;
  m_groupTable.Clear();
  m_nameNumbers.clear();
  m_groupByNumber.clear();
  m_bFilter = false;
  m_nFirstSingle = -1;
  m_nAnchor = 0;
  m_bWordStart = false;
  m_required.on = false;
}

template <class CHART>
void CRegexpT<CHART>::Compile(const CHART* pattern, int length, int flags, bool null) {
  Clear();
  m_nFlags = flags;
  if (null) return;
  if (length < 0 || !pattern) length = 0;
  m_pPattern = pattern;
  m_nPatternLength = length;
  m_nUnnamed = 0;
  m_nParseDepth = 0;
  m_unnamedGroups.Clear();
  m_namedGroups.clear();
  m_recursions.Clear();
  m_namedBackrefs.Clear();
  m_namedConditionals.Clear();

  TokState s = {0, 0, 0, 0, 0, -1};
  Prime(s);
  int f = flags;
  // A special ')' that closes nothing ends the pattern; the rest is ignored.
  m_pRoot = ParseAlternative(f);
  Resolve();
  Finish();

  m_pPattern = nullptr;
  m_unnamedGroups.Clear();
  m_namedGroups.clear();
  m_recursions.Clear();
  m_namedBackrefs.Clear();
  m_namedConditionals.Clear();
  m_retryState.clear();
  m_firstState.clear();
}

TARNO_NAMESPACE_END

#endif
