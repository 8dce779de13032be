// Test access to the engines a test can run: the plain, the host and the untraced host build,
// each with 8-bit and 16-bit characters, and the 16-bit host build with classic backtracking.
// The builds are compiled in separate translation units (build_plain.cpp, build_host.cpp,
// build_host_untraced.cpp), so every test binary that uses this also proves that the builds live
// in one process without binding to each other's code.
#ifndef TARNO_TESTS_BUILDS_H
#define TARNO_TESTS_BUILDS_H

#include <string>
#include <utility>
#include <vector>

namespace tarno_test {

class Engine {
 public:
  virtual ~Engine() {}
  virtual const char* Name() const = 0;
  // The host's dialect (balancing groups, group wrappers in the graph): both host builds.
  virtual bool IsHost() const = 0;
  // The fast paths of a search (start filters, required strings, counted and automatic
  // possessive repeats): every build but the traced host build.
  virtual bool HasFastPaths() const = 0;
  virtual bool IsWide() const = 0;
  // Text dump of the compiled graph (engine/tarno/dump.h).
  virtual std::string Dump(const std::u16string& pattern, int flags, int options = 0) const = 0;
  // Every successive match from `start`: "s-e,g1s-g1e,-" per match (a '-' for a group that did
  // not take part), matches separated by blanks; "none" when there is none. A search that the
  // nesting limit cut short ends with "cut". A `maxNesting` above 0 replaces the context's
  // nesting limit.
  virtual std::string Matches(const std::u16string& pattern, int flags, const std::u16string& subject,
                              int start = -1, int maxNesting = 0) const = 0;
  virtual std::string Exact(const std::u16string& pattern, int flags, const std::u16string& subject) const = 0;
  // The replaced text; `extended` receives the MatchResult ints after the call.
  virtual std::u16string Replace(const std::u16string& pattern, int flags, const std::u16string& subject,
                                 const std::u16string& replaceTo, int start = -1, int count = -1,
                                 std::vector<int>* extended = nullptr) const = 0;
  virtual std::vector<std::pair<int, int>> Split(const std::u16string& pattern, int flags,
                                                 const std::u16string& subject) const = 0;
  // Count gives -1 and Split no pieces when the nesting limit cut the search short.
  virtual int Count(const std::u16string& pattern, int flags, const std::u16string& subject) const = 0;
  virtual int MaxGroup(const std::u16string& pattern, int flags) const = 0;
  virtual int NamedGroup(const std::u16string& pattern, int flags, const std::u16string& name) const = 0;
};

const Engine& Plain8();
const Engine& Plain16();
const Engine& Host8();
const Engine& Host16();
// The untraced host build: the host's dialect and graph with the plain build's fast paths.
const Engine& Untraced8();
const Engine& Untraced16();
// The host build with classic backtracking (greedy repeats do not pass over explored ends):
// the same matches, more steps.
const Engine& HostClassic16();
std::vector<const Engine*> AllEngines();

// UTF-8 to UTF-16 (code points above U+FFFF are not needed by the tests).
std::u16string U(const std::string& s);
std::string Narrow(const std::u16string& s);  // for messages: code units below 128 as is

}  // namespace tarno_test

#endif
