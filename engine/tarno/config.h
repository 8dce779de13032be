// Build selection for the tarno engine.
//
// The engine comes in two builds of the same source. The host build (TARNO_HOST_BUILD defined
// before the first include) adds per-element run counters, the trace frame and hook, one
// character-class element per occurrence of . \d \s \w, group wrappers for the structure tree and
// balancing groups. The plain build pays nothing for any of that.
//
// Each build lives in its own inline namespace, so that one process (or one test binary made of
// several translation units) can hold both without either binding to the other's code, while
// users still write CRegexpT, MatchResult and IGNORECASE without qualification.
#ifndef TARNO_CONFIG_H
#define TARNO_CONFIG_H

#ifdef TARNO_HOST_BUILD
#define TARNO_NAMESPACE_BEGIN inline namespace tarno_host {
#define TARNO_HOST 1
#else
#define TARNO_NAMESPACE_BEGIN inline namespace tarno_plain {
#define TARNO_HOST 0
#endif
#define TARNO_NAMESPACE_END }

// Deepest nesting of composite elements (lists, alternatives, groups, repeats, recursion) that
// one match attempt may reach. An attempt that goes deeper fails; see CMatchContext::EnterNested.
// At roughly 150 bytes of call stack a level this stays well inside a 1 MiB thread stack.
#ifndef TARNO_MAX_NESTING
#define TARNO_MAX_NESTING 4000
#endif

// Fuzzing only: when defined, one prepared search (PrepareMatch up to the next PrepareMatch)
// may enter composite elements at most this many times; once the budget is spent every further
// attempt fails at once, as if it had nested too deep. This keeps exponential backtracking from
// stalling a fuzzer. Every cut-off attempt (budget or nesting) is counted in TarnoCutOffs(), so
// that a harness can tell results that the limits shaped. Never defined in a product build.
// #define TARNO_WORK_LIMIT 20000

// Deepest nesting of groups and character classes that the compiler builds. A '(' or '[' beyond
// it is read as a literal character; see CRegexpT::ParseItem.
#ifndef TARNO_MAX_PARSE_DEPTH
#define TARNO_MAX_PARSE_DEPTH 250
#endif

#endif
