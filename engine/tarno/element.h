// The element base class, kind codes, boundary types and (host build) the trace frame that every
// Match and MatchNext opens on entry and closes on every exit (the untraced host build counts
// the entry instead).
//
// Elements are owned by the element pool of the CRegexpT that compiled them; references between
// elements never own (the graph shares stock elements and a recursion refers back to an enclosing
// group, so it has cycles). During a search an element is only read; all search state lives in
// the CMatchContext. Covered by engine/tests/compile_test.cpp and match_test.cpp.
#ifndef TARNO_ELEMENT_H
#define TARNO_ELEMENT_H

#include "chars.h"
#include "context.h"

TARNO_NAMESPACE_BEGIN

// Kind codes 1 to 18 belong to compiled elements; 19 to 21 exist only in the host's tree over them.
enum ElementKind {
  ELEMENT_NONE = 0,
  ELEMENT_ALTERNATIVE = 1,
  ELEMENT_ASSERTION = 2,
  ELEMENT_BACKREF = 3,
  ELEMENT_BOUNDARY = 4,
  ELEMENT_BRACKET = 5,
  ELEMENT_DELEGATE = 6,
  ELEMENT_EMPTY = 7,
  ELEMENT_LASTMATCH = 8,
  ELEMENT_GREEDY = 9,
  ELEMENT_INDEPENDENT = 10,
  ELEMENT_LIST = 11,
  ELEMENT_POSIX = 12,
  ELEMENT_POSSESSIVE = 13,
  ELEMENT_CHARSET = 14,
  ELEMENT_RELUCTANT = 15,
  ELEMENT_FIXED = 16,
  ELEMENT_STRING = 17,
  ELEMENT_CONDITIONAL = 18,
  ELEMENT_NONCAPTURE_GROUP = 19,
  ELEMENT_CAPTURE_GROUP = 20,
  ELEMENT_MODE_MODIFIER = 21
};

enum BoundaryType {
  BOUNDARY_TEXT_START = 0,    // \A, ^ without MULTILINE
  BOUNDARY_TEXT_END = 1,      // \z, $ without MULTILINE
  BOUNDARY_TEXT_END_LF = 2,   // \Z: end of text or before a final LF / CR LF
  BOUNDARY_LINE_START = 3,    // ^ with MULTILINE
  BOUNDARY_LINE_END = 4,      // $ with MULTILINE
  BOUNDARY_WORD_START = 5,
  BOUNDARY_WORD_END = 6,
  BOUNDARY_WORD = 7           // \b (yes), \B (no)
};

// Compile errors recorded on the element of a construct that the end of the pattern cut off.
enum CompileError {
  ERROR_QUANTIFIER_BRACE = -101,
  ERROR_CLASS_BRACKET = -102,
  ERROR_GROUP_NAME = -103,
  ERROR_RECURSION_R = -104,
  ERROR_CONDITION = -105,
  ERROR_RECURSION_N = -106,
  ERROR_MODIFIER = -107,
  ERROR_GROUP_PAREN = -108,
  ERROR_BACKREF_NAME = -109,
  ERROR_RECURSION_NAME = -110
};

// The largest repeat maximum; an unbounded repeat's extra count is this minus its minimum.
static const int TARNO_INFINITE = 2147483647;

// Whether an element of this kind counts its calls' nesting (TARNO_NESTED): the composites.
inline bool TarnoKindNests(int kind) {
  switch (kind) {
    case ELEMENT_ALTERNATIVE:
    case ELEMENT_ASSERTION:
    case ELEMENT_DELEGATE:
    case ELEMENT_GREEDY:
    case ELEMENT_INDEPENDENT:
    case ELEMENT_LIST:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED:
    case ELEMENT_CONDITIONAL:
      return true;
    default:
      return false;
  }
}

// Run counter slots (host build).
enum { COUNT_MATCH_OK = 0, COUNT_MATCH_FAIL = 1, COUNT_RETRY_OK = 2, COUNT_RETRY_FAIL = 3 };

template <class CHART>
class CPatternElement {
 public:
  explicit CPatternElement(int kind) : m_nKind(kind) {}
  CPatternElement(const CPatternElement&) = delete;
  CPatternElement& operator=(const CPatternElement&) = delete;

  // Tries the element at the context's position; on success moves past what it consumed and
  // leaves on the backtrack stack what it needs to try again. Non-zero means matched.
  virtual int Match(CMatchContext<CHART>* ctx) const = 0;
  // Called only after a successful Match or MatchNext of this element at the same place: finds
  // the next way to match (non-zero), or undoes everything, restores the position and returns 0.
  virtual int MatchNext(CMatchContext<CHART>* ctx) const = 0;
  virtual ~CPatternElement() {}

  int GetKind() const { return m_nKind; }

  int m_nError = 0;       // first compile error recorded for this element, 0 when clean
  int m_nStart = 0;       // span in the pattern: first character of the element's source ...
  int m_nEnd = 0;         // ... and the character after it
  const int m_nKind;
  int m_nPoolIndex = -1;  // index in the element pool at creation
#if TARNO_TRACE
  // Successful Match, failed Match, successful MatchNext, failed MatchNext; written only by the
  // trace frame of the host's searches, zeroed by the host between searches.
  mutable int m_nCounters[4] = {0, 0, 0, 0};
#endif
#if TARNO_HOST
  // Shift between the element's span and the text it stands for; 0 for ordinary compiles.
  int m_nOffset = 0;
#endif
#if TARNO_HOST && !TARNO_TRACE
  // Nesting levels a composite element's call stands for: 1, plus one for each group wrapper
  // that the untraced build linked past (see CRegexpT::Wrap), so that an attempt overflows at
  // the same depth as in the traced build.
  int m_nNestingWeight = 1;
#endif
  // Filled by the compiler's finishing pass: whether MatchNext can ever succeed.
  bool m_bCanRetry = true;
};

template <class CHART>
inline void TarnoSetError(CPatternElement<CHART>* e, int code) {
  if (e && e->m_nError == 0) e->m_nError = code;
}

#if TARNO_TRACE
// Reports one element attempt to the context's hook: entry on construction, exit (with the
// outcome the element set) on destruction, also while a break signal unwinds the search.
template <class CHART>
class TraceFrame {
 public:
  TraceFrame(CMatchContext<CHART>* ctx, const CPatternElement<CHART>* e, int retry)
      : m_pContext(ctx), m_pElement(e), m_nRetry(retry) {
    m_nDepth = ctx->m_traceStack.GetSize();
    m_nEntryPos = ctx->m_nCurrentPos;
    if (retry && !ctx->m_entryPositions.IsEmpty())
      m_nStart = ctx->m_entryPositions.Pop();
    else
      m_nStart = m_nEntryPos;
    TraceStackEntry<CHART> entry = {e, m_nStart, m_nEntryPos, retry};
    ctx->m_traceStack.Push(entry);
    if (ctx->m_pfnTraceHook)
      ctx->m_pfnTraceHook(TRACE_ENTER, ctx, e, 0, ctx->m_traceStack.GetBuffer(), m_nDepth + 1,
                          ctx->m_pUserData);
  }
  ~TraceFrame() {
    m_pElement->m_nCounters[(m_nRetry ? 2 : 0) + (m_nOutcome ? 0 : 1)]++;
    CMatchContext<CHART>* ctx = m_pContext;
    if (ctx->m_pfnTraceHook)
      ctx->m_pfnTraceHook(TRACE_EXIT, ctx, m_pElement, m_nOutcome, ctx->m_traceStack.GetBuffer(),
                          m_nDepth + 1, ctx->m_pUserData);
    ctx->m_traceStack.Restore(m_nDepth);
    if (m_nOutcome) ctx->m_entryPositions.Push(m_nStart);
  }
  int m_nOutcome = 0;

 private:
  CMatchContext<CHART>* m_pContext;
  const CPatternElement<CHART>* m_pElement;
  int m_nRetry;
  int m_nDepth;
  int m_nEntryPos;
  int m_nStart;
};
#define TARNO_FRAME(retry) TraceFrame<CHART> tarno_frame_(ctx, this, retry)
#define TARNO_RESULT(v) return (tarno_frame_.m_nOutcome = ((v) ? 1 : 0))
#define TARNO_RUN_STEPS(n) ((void)(n))
#elif TARNO_HOST
// The untraced host build counts every entry as a step, and every character a counted repeat
// tests (TARNO_RUN_STEPS), and polls now and then.
#define TARNO_FRAME(retry) ctx->Tick()
#define TARNO_RESULT(v) return ((v) ? 1 : 0)
#define TARNO_RUN_STEPS(n) ctx->TickMany(n)
#else
#define TARNO_FRAME(retry) ((void)ctx)  // no frame: the context may then go unused
#define TARNO_RESULT(v) return ((v) ? 1 : 0)
#define TARNO_RUN_STEPS(n) ((void)(n))
#endif

// Composite elements count their nesting so that runaway recursion fails the attempt instead of
// exhausting the call stack.
#if TARNO_HOST && !TARNO_TRACE
#define TARNO_NESTED() NestingGuard<CHART> tarno_nesting_(ctx, this->m_nNestingWeight)
#else
#define TARNO_NESTED() NestingGuard<CHART> tarno_nesting_(ctx)
#endif

TARNO_NAMESPACE_END

#endif
