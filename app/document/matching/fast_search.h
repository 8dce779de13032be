// The fast path of the host's searches: the pattern compiled with the engine's untraced host
// build (the host's dialect and the very same element graph as the traced build, with the plain
// build's start filters, required strings and counted repeats, and no trace), and searches over
// it. The document, the test runs and the command line search with it whenever nothing is traced;
// Trace mode, breakpoints, Optimize mode and classic backtracking keep the traced build.
//
// This header names nothing of the engine: one translation unit holds one build of it, and the
// document's own sources hold the traced one. Results come out as the engine's result ints
// (SearchHit), which the document stores as it stores the traced build's.
//
// A search counts its steps (element entries; a counted run of a character class is one, and
// start positions that the filters skip cost none) and calls a poll function every so many
// steps, which may throw to stop the search: the exception leaves Next() as it is, and the search
// stands at the start of the attempt it broke off, so that it can be taken up again there.
//
// Threads: a CFastPattern is compiled on one thread and then only read, by any number of
// searches on any threads; a CFastSearch belongs to one thread at a time.
//
// Covered by app/document/tests/fast_search_test.cpp (both paths of the document compared).
#ifndef KORVANE_FAST_SEARCH_H
#define KORVANE_FAST_SEARCH_H

#include <cstdint>
#include <memory>

// One result of a search: the engine's ints, [0] matched, [1] highest group number, then start
// and end of group 0 and of each group (-1, -1 for a group that took no part). Valid until the
// search that gave it goes on or goes away.
struct SearchHit {
  const int* values = nullptr;
  int count = 0;
  bool cutShort = false;  // the nesting limit stopped the search: no answer, a match may exist

  int IsMatched() const { return count > 0 ? values[0] : 0; }
  int MaxGroupNumber() const { return count > 1 ? values[1] : 0; }
  int GetStart() const { return Get(2); }
  int GetEnd() const { return Get(3); }
  int GetGroupStart(int n) const { return n < 0 ? -1 : Get(2 + 2 * n); }
  int GetGroupEnd(int n) const { return n < 0 ? -1 : Get(3 + 2 * n); }
  bool HitNestingLimit() const { return cutShort; }

 private:
  int Get(int i) const { return i < count ? values[i] : -1; }
};

class CFastSearch;

// A pattern compiled for the fast path.
class CFastPattern {
 public:
  CFastPattern();
  ~CFastPattern();
  CFastPattern(const CFastPattern&) = delete;
  CFastPattern& operator=(const CFastPattern&) = delete;

  // `length` code units of `pattern` (null with 0: the empty pattern) and the option bits.
  void Compile(const unsigned short* pattern, int length, int flags);
  void SetStartPointOnly(bool only);
  bool HasRoot() const;
  int MaxGroupNumber() const;
  // The element graph, as far as telling whether it is the traced build's element for element:
  // the number of elements, and each one's kind and span in the pattern.
  int ElementCount() const;
  bool ElementAt(int poolIndex, int* kind, int* start, int* end) const;

 private:
  friend class CFastSearch;
  struct Impl;
  std::unique_ptr<Impl> m_p;
};

// Called every `interval` steps of a search with where its current attempt began and the steps
// so far; may throw to stop the search.
typedef void (*SearchPoll)(void* user, int attemptStart, std::uint64_t steps);

// Where a search stands between two matches: what the next one depends on. Taken from one
// build's search and given to the other's, it lets a search under way change builds.
struct SearchPosition {
  int position = 0;
  int lastMatchEnd = 0;
  int previousLastMatchEnd = -1;
  int matchBound = 0;
  bool cutShort = false;
};

// Successive matches of a CFastPattern over one text. The pattern and the text must outlive the
// search, unchanged.
class CFastSearch {
 public:
  CFastSearch();
  ~CFastSearch();
  CFastSearch(const CFastSearch&) = delete;
  CFastSearch& operator=(const CFastSearch&) = delete;

  // Starts a search of `pattern` over `length` code units of `text` at `start` (-1: the text
  // start, or its end right to left), of the whole pattern. False when the pattern has no root;
  // the step count starts again at 0.
  bool Prepare(const CFastPattern& pattern, const unsigned short* text, int length, int start);
  // What the following matches match: the element of the graph at `rootIndex` in the element pool
  // alone, or the whole pattern (-1). False, and the whole pattern, when there is no such element.
  bool SetRoot(int rootIndex);
  // The deepest nesting an attempt may reach before the search stops without an answer.
  void SetMaxNesting(int levels);
  void SetPoll(SearchPoll poll, void* user, int interval);
  // The next match, or a not-matched hit at the end (cut short when the nesting limit stopped it).
  SearchHit Next();
  // One attempt at the text start (the end right to left) that must span the whole text; what
  // the test of a whole-text expectation asks. Ends the search.
  SearchHit Whole();
  std::uint64_t Steps() const;
  SearchPosition Position() const;
  void SetPosition(const SearchPosition& p);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_p;
};

#endif
