// Build selection for the tarno engine.
//
// The engine comes in three builds of the same source:
// - the plain build (the default): what library users and the standard plugin get, with the
//   fast paths of a search (start filters, required strings, counted and automatic possessive
//   repeats);
// - the host build (TARNO_HOST_BUILD defined before the first include): the host's dialect
//   (balancing groups, one character-class element per occurrence of . \d \s \w, group wrappers
//   for the structure tree) with everything a trace needs: per-element run counters, the trace
//   frame and hook, classic backtracking; it has none of the fast paths, since a trace must see
//   every attempt;
// - the untraced host build (TARNO_HOST_BUILD and TARNO_UNTRACED): the host's dialect and the same
//   compiled graph, element for element, without anything a trace needs and with the plain
//   build's fast paths; it counts the elements it enters and calls a poll function now and then
//   (CMatchContext::SetPoll), so that a long search can be stopped and watched. The host searches
//   with it whenever nothing is traced.
// TARNO_HOST says whether the host's dialect is in; TARNO_TRACE whether the trace is.
//
// Each build lives in its own inline namespace, so that one process (or one test binary made of
// several translation units) can hold all of them without one binding to another's code, while
// users still write CRegexpT, MatchResult and IGNORECASE without qualification.
#ifndef TARNO_CONFIG_H
#define TARNO_CONFIG_H

#if defined(TARNO_HOST_BUILD) && defined(TARNO_UNTRACED)
#define TARNO_NAMESPACE_BEGIN inline namespace tarno_host_untraced {
#define TARNO_HOST 1
#define TARNO_TRACE 0
#elif defined(TARNO_HOST_BUILD)
#define TARNO_NAMESPACE_BEGIN inline namespace tarno_host {
#define TARNO_HOST 1
#define TARNO_TRACE 1
#else
#define TARNO_NAMESPACE_BEGIN inline namespace tarno_plain {
#define TARNO_HOST 0
#define TARNO_TRACE 0
#endif
#define TARNO_NAMESPACE_END }

#if defined(__GNUC__) || defined(__clang__)
#define TARNO_NOINLINE __attribute__((noinline))
#define TARNO_UNLIKELY(x) __builtin_expect(!!(x), 0)
#elif defined(_MSC_VER)
#define TARNO_NOINLINE __declspec(noinline)
#define TARNO_UNLIKELY(x) (x)
#else
#define TARNO_NOINLINE
#define TARNO_UNLIKELY(x) (x)
#endif

// Deepest nesting of composite elements (lists, alternatives, groups, repeats, recursion) that
// one match attempt may reach: each level is one Match or MatchNext on the call stack. An attempt
// that would go deeper stops the search with MATCH_NESTING_LIMIT (see CMatchContext), so that
// runaway recursion such as (?R)x ends with a clear status instead of exhausting the stack.
//
// The default is a stack budget divided by the largest stack a level takes in this kind of
// build. bench/nesting_stack measures it for recursions through every composite element, on the
// way in and while backtracking; the figures below are those measurements (g++ 12, x86-64)
// rounded up with room to spare:
//
//   bytes per level       Release  RelWithDebInfo  Debug  Debug + AddressSanitizer
//   plain build                96             112    155                       400
//   host build                166             192    198                       480
//
// TARNO_STACK_BUDGET (default 1 MiB) suits the main thread (8 MiB) and the usual secondary
// threads of 2 MiB and more with room for the caller's own frames. Define TARNO_STACK_BUDGET or
// TARNO_MAX_NESTING before the first include to change it for a whole program, or set
// CMatchContext::m_nMaxNesting for one search on a thread with a smaller or larger stack.
#ifndef TARNO_STACK_BUDGET
#define TARNO_STACK_BUDGET (1024 * 1024)
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TARNO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNO_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef TARNO_STACK_PER_LEVEL
#if defined(TARNO_ADDRESS_SANITIZER)
#define TARNO_STACK_PER_LEVEL 640
#elif defined(__OPTIMIZE__) || (defined(_MSC_VER) && !defined(_DEBUG))
#define TARNO_STACK_PER_LEVEL (TARNO_HOST ? 256 : 128)
#else
#define TARNO_STACK_PER_LEVEL (TARNO_HOST ? 256 : 224)
#endif
#endif
#ifndef TARNO_MAX_NESTING
#define TARNO_MAX_NESTING (TARNO_STACK_BUDGET / TARNO_STACK_PER_LEVEL)
#endif

// Fuzzing only: when defined, one prepared search (PrepareMatch up to the next PrepareMatch)
// may enter composite elements at most this many times; once the budget is spent the search
// stops as at the nesting limit (MATCH_NESTING_LIMIT). This keeps exponential backtracking from
// stalling a fuzzer. Every cut-off (budget or nesting) is counted in TarnoCutOffs(), so that a
// harness can tell results that the limits shaped. Never defined in a product build.
// #define TARNO_WORK_LIMIT 20000

// Deepest nesting of groups and character classes that the compiler builds. A '(' or '[' beyond
// it is read as a literal character; see CRegexpT::ParseItem.
#ifndef TARNO_MAX_PARSE_DEPTH
#define TARNO_MAX_PARSE_DEPTH 250
#endif

#endif
