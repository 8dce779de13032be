// The parts of the rewrites of a costly pattern, private to app/document (the interface is
// backtrack_fixes.h, which describes the method):
//
//   backtrack_fix_text.cpp:      the pattern text read as text: repeats, their bodies and
//                                quantifiers, groups, branches and literals, and the candidate
//                                rewrites of a repeat (AddCandidates);
//   backtrack_fix_proof.cpp:     the proof rules over the compiled pattern (ProofRules), stated
//                                at the top of that file;
//   backtrack_fix_subjects.cpp:  the texts a rewrite is compared on besides the caller's.
//
// backtrack_fixes.cpp ties them together: the candidates of the repeats responsible, their
// proof, the comparisons of the matches on every text, the verdict of each rewrite.
#ifndef KORVANE_BACKTRACK_FIX_PARTS_H
#define KORVANE_BACKTRACK_FIX_PARTS_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/document/backtrack/backtrack_fixes.h"

namespace backtrack {
namespace fixparts {

// --- backtrack_fix_text.cpp ---

// End of the quantifier that starts at `i` without its lazy or possessive mark, or -1.
int QuantifierEnd(const std::u16string& p, int i);
// The literal character at `i` (plain or escaped punctuation), or -1.
int LiteralAt(const std::u16string& p, int i);

// One rewrite of one repeat, as text: [span) of the pattern becomes `replacement`.
struct Candidate {
  Fix::Kind kind;
  std::pair<int, int> span;
  std::u16string replacement;
  // A dropped branch: the branches as written, which one goes, and the alternation's text.
  std::vector<std::u16string> branches;
  size_t dropped = 0;
  std::u16string content;
};

// Appends the standard rewrites of the repeat at `span` of `p` (compiled with `flags`) that
// can be spelt: possessive, atomic iteration, each branch dropped, the class made exclusive of
// the literal after it.
void AddCandidates(const std::u16string& p, int flags, std::pair<int, int> span, std::vector<Candidate>* out);

// --- backtrack_fix_proof.cpp ---

// The proof rules over one compiled pattern. The facts gathered for one candidate serve the
// next, so one object serves every candidate of a pattern under one set of options.
class ProofRules {
 public:
  ProofRules(const std::u16string& pattern, int flags);
  ~ProofRules();
  ProofRules(const ProofRules&) = delete;
  ProofRules& operator=(const ProofRules&) = delete;

  // Whether a rule shows that the candidate keeps every match (its span and every group's).
  bool Prove(const Candidate& c);

 private:
  class Prover;
  std::unique_ptr<Prover> m_prover;
};

// --- backtrack_fix_subjects.cpp ---

// The texts a rewrite of `p` is compared on besides the caller's, each once.
std::vector<std::u16string> GeneratedSubjects(const std::u16string& p, const Report& report);

}  // namespace fixparts
}  // namespace backtrack

#endif
