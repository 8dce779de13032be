// CRegexpT: a compiled pattern. Owns every element of its graph in the element pool, the root,
// the flags, the group table and the stock table. The compiler is in compiler.h (which ties
// together tokenizer.h, parser.h, name_resolution.h and optimization_passes.h), the search and
// the public operations in operations.h. Covered by engine/tests/compile_test.cpp,
// match_test.cpp and operations_test.cpp.
#ifndef TARNO_REGEXP_H
#define TARNO_REGEXP_H

#include <map>
#include <utility>
#include <vector>

#include "elements_repeat.h"

TARNO_NAMESPACE_BEGIN

// Compile flags; the same bits serve as the host's match options. Combined with | they keep
// their type, so that Compile(pattern, IGNORECASE | MULTILINE) takes them as flags, never as a
// length.
enum REGEX_FLAGS {
  NO_FLAG = 0,
  SINGLELINE = 0x01,
  MULTILINE = 0x02,
  GLOBAL = 0x04,
  IGNORECASE = 0x08,
  RIGHTTOLEFT = 0x10,
  EXTENDED = 0x20
};
inline REGEX_FLAGS operator|(REGEX_FLAGS a, REGEX_FLAGS b) {
  return static_cast<REGEX_FLAGS>(static_cast<int>(a) | static_cast<int>(b));
}

// One piece of a parsed replace-to text (see CRegexpT::ParseReplaceTo).
enum { REPLACE_LITERAL = 0, REPLACE_GROUP = 1, REPLACE_SPECIAL = 2, REPLACE_DOLLAR = 3 };
struct ReplaceToken {
  int kind;   // REPLACE_LITERAL: the text [start, end); REPLACE_GROUP: group `value`;
              // REPLACE_SPECIAL: `value` is one of & ` ' + _; REPLACE_DOLLAR: "$$", gives one '$'
  int value;
  int start;  // span in the replace-to text
  int end;
};

template <class CHART>
class CRegexpT {
 public:
  typedef CPatternElement<CHART> Element;
  typedef CMatchContext<CHART> Context;

  // A zero-terminated pattern and its flags, as generated code writes it; a null pattern leaves
  // the object without a root.
  explicit CRegexpT(const CHART* pattern = nullptr, int flags = 0) {
    Compile(pattern, pattern ? Length(pattern) : 0, flags, pattern == nullptr);
  }
  CRegexpT(const CHART* pattern, int length, int flags) { Compile(pattern, length, flags); }
  CRegexpT(const CRegexpT&) = delete;
  CRegexpT& operator=(const CRegexpT&) = delete;
  ~CRegexpT() { Clear(); }

  // --- compiling (compiler.h) ---
  // Three forms, none of which can take a length for flags or flags for a length:
  //   Compile(pattern)                  zero-terminated, no flags
  //   Compile(pattern, flags)           zero-terminated; flags are REGEX_FLAGS values
  //   Compile(pattern, length[, flags]) the given number of characters; a second int is always
  //                                     the length (Compile(p, 0) compiles the empty pattern)
  // With an explicit length a null pointer stands for the empty pattern; zero-terminated, it
  // leaves the object without a root.
  void Compile(const CHART* pattern) { Compile(pattern, pattern ? Length(pattern) : 0, 0, pattern == nullptr); }
  void Compile(const CHART* pattern, REGEX_FLAGS flags) {
    Compile(pattern, pattern ? Length(pattern) : 0, flags, pattern == nullptr);
  }
  void Compile(const CHART* pattern, int length, int flags = 0) { Compile(pattern, pattern ? length : 0, flags, false); }

  // --- searching (operations.h) ---
  // PrepareMatch(text, length[, start[, ctx]]) prepares a search of `length` characters;
  // PrepareMatch(text[, ctx]) one of a zero-terminated text from its default start.
  Context* PrepareMatch(const CHART* text, int length, int start = -1, Context* ctx = nullptr) const;
  Context* PrepareMatch(const CHART* text, Context* ctx = nullptr) const {
    return PrepareMatch(text, text ? Length(text) : 0, -1, ctx);
  }
  MatchResult Match(Context* ctx) const { return Match(ctx, nullptr); }
  // Matches with `root` standing for the whole pattern (the host's "only current node");
  // null means the pattern's own root.
  MatchResult Match(Context* ctx, const Element* root) const;
  MatchResult Match(const CHART* text, int start = -1) const;
  MatchResult MatchExact(const CHART* text) const { return MatchExact(text, text ? Length(text) : 0); }
  MatchResult MatchExact(const CHART* text, int length) const;
  CHART* Replace(const CHART* text, int length, const CHART* replaceTo, int replaceLength,
                 int& resultLength, int start = -1, int count = -1, MatchResult* result = nullptr,
                 Context* ctx = nullptr) const;
  CHART* Replace(const CHART* text, const CHART* replaceTo, int start = -1, int count = -1,
                 MatchResult* result = nullptr, Context* ctx = nullptr) const {
    int n;
    return Replace(text, text ? Length(text) : 0, replaceTo, replaceTo ? Length(replaceTo) : 0, n,
                   start, count, result, ctx);
  }
  static void ReleaseString(CHART* s) { delete[] s; }
  // Number of successive matches in the text, at most `limit` when it is not negative.
  int Count(const CHART* text, int length, int limit = -1) const;
  int Count(const CHART* text) const { return Count(text, text ? Length(text) : 0); }
  // The pieces of the text between successive matches, left to right, as [start, end) spans;
  // n matches give n + 1 pieces. At most `limit` matches are used when it is not negative.
  std::vector<std::pair<int, int>> Split(const CHART* text, int length, int limit = -1) const;
  std::vector<std::pair<int, int>> Split(const CHART* text) const { return Split(text, text ? Length(text) : 0); }
  // Parses a replace-to text into literal stretches and escapes.
  std::vector<ReplaceToken> ParseReplaceTo(const CHART* replaceTo, int length) const;

  // --- reading the compiled pattern ---
  const Element* GetRoot() const { return m_pRoot; }
  int GetFlags() const { return m_nFlags; }
  int MaxGroupNumber() const { return m_nMaxGroup; }
  int GetNamedGroupNumber(const CHART* name) const { return GetNamedGroupNumber(name, name ? Length(name) : 0); }
  int GetNamedGroupNumber(const CHART* name, int length) const;
  // Group table: entry 0 is the root, then the three-member list of each capture group,
  // unnamed groups by number first, then the named groups in order of appearance.
  int GetGroupTableSize() const { return m_groupTable.GetSize(); }
  const Element* GetGroupTableEntry(int i) const {
    return (i >= 0 && i < m_groupTable.GetSize()) ? m_groupTable[i] : nullptr;
  }
  // The list element of the first group-table entry with the given number, or null.
  const Element* GetGroupElement(int number) const;
  int GetElementCount() const { return m_pool.GetSize(); }
  const Element* GetElement(int i) const { return (i >= 0 && i < m_pool.GetSize()) ? m_pool[i] : nullptr; }
  // Required text (plain build, left to right only; see required.h): a string that every match
  // contains, where its first occurrence in the match lies from the match start, and which
  // characters the part of a match before it can consume.
  struct Required {
    bool on = false;
    CBufferT<unsigned> codes;        // the string; upper-cased when `fold`
    bool fold = false;               // compared ignoring case
    unsigned first[2] = {0, 0};      // the codes its first character can have in the text
    int offset = -1;                 // its distance from the match start when fixed, else -1
    unsigned char before[256] = {};  // 1: a character the part before it can consume
    bool beforeHigh = false;         // ... as can any code of 256 and above
    bool beforeAny = false;          // the part before can consume anything
  };
  const Required& GetRequired() const { return m_required; }
  // Plain build: a match can begin only where a word does (the pattern begins with \b and a
  // word character), which the start filter checks too.
  bool StartsAtWords() const { return m_bWordStart; }
  // The host's "only start point": every search tries only one start position.
  void SetStartPointOnly(bool only) { m_bStartPointOnly = only; }
  bool IsStartPointOnly() const { return m_bStartPointOnly; }

  static int Length(const CHART* s) {
    int n = 0;
    while (s[n]) ++n;
    return n;
  }

 private:
  // --- compiler state (valid during a compile) ---
  struct Token {
    unsigned ch;  // the character; for special tokens the metacharacter or escape letter
    int special;  // 1 metacharacter, 0 literal text
    int start;
    int length;
  };
  struct TokState {
    int pos;
    int depth;     // unclosed special '['
    int quote;     // inside \Q, \L, \U
    int caseConv;  // 0 none, 1 to lower (\L), 2 to upper (\U)
    int after;     // 1 right after a special '[', 2 after a special '[' and a special ':'
    int quoteFrom; // where the \Q (\L, \U) of a run that has given no token yet starts; else -1
  };
  struct NamedGroup {
    CBufferT<CHART> name;
    CListElement<CHART>* list;
    CBracketElement<CHART>* open;
    CBracketElement<CHART>* close;
    int number;
    bool balancing;
    CBufferT<CHART> other;  // the part after '-' of a balancing group's name
  };

  void Compile(const CHART* pattern, int length, int flags, bool null);
  void Clear();
  template <class T>
  T* Add(T* e, int start, int end) {
    e->m_nPoolIndex = m_pool.GetSize();
    e->m_nStart = start;
    e->m_nEnd = end;
    m_pool.Push(e);
    return e;
  }
  Element* NewEmpty(int start, int end, int error = 0);
  bool IsStock(const Element* e) const;
  Element* StockOrNew(int index, int start, int end);
  CCharsetElement<CHART>* MakeStockClass(int index, int start, int end);

  unsigned At(int i) const { return i < m_nPatternLength ? TarnoChars<CHART>::Code(m_pPattern[i]) : 0xFFFFFFFFu; }
  static bool IsSpace(unsigned c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
  static bool IsDigit(unsigned c) { return c >= '0' && c <= '9'; }
  static int HexValue(unsigned c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  Token ReadToken(TokState& s) const;
  void Prime(const TokState& s);
  void Advance();
  void ResumeAt(int pos, int depthChange = 0);
  const Token& Cur() const { return m_tok[0]; }
  const Token& Peek(int i) const { return m_tok[i]; }
  bool IsSpecial(const Token& t, unsigned ch) const { return t.special && t.ch == ch; }
  bool IsEnd(const Token& t) const { return t.special && t.ch == 0; }
  bool IsQuantifier(const Token& t) const {
    return t.special && (t.ch == '*' || t.ch == '+' || t.ch == '?' || t.ch == '{');
  }

  Element* ParseAlternative(int& flags);
  Element* ParseSequence(int& flags, int* start = nullptr, int* end = nullptr);
  Element* ParseItem(int& flags, int* start, int* end);
  Element* ParseItemElement(int& flags);
  Element* ParseString(int flags);
  Element* ParseQuantifier(Element* atom, int atomStart, int flags);
  Element* ParseGroup(int& flags);
  Element* ParseGroupBody(int start, int bodyStart, int flags, int* end, int* error);
  Element* ParseCaptureGroup(int start, int bodyStart, int number, const CHART* name, int nameLength,
                             bool named, int flags, int nameError);
  Element* ParseConditional(int start, int condOpen, int flags);
  Element* ParseRecursion(int start, int p, bool numbered);
  Element* ParseModifier(int start, int p, int& flags);
  Element* ParseClass(int flags);
  Element* ParseClassBody(int start, int flags);
  Element* ParseBackref(int flags);
  Element* Wrap(Element* content, int start, int end, int error);
  void FoldCase(CCharsetElement<CHART>* cs);
  static int ParseNumericName(const CHART* name, int length);
  bool SameName(const CBufferT<CHART>& a, const CHART* b, int length) const;
  int LookupName(const CHART* name, int length) const;
  void Resolve();
  void Finish();
  bool AnalyzeRetry(const Element* e);
  void MarkKeptLists(const Element* e, int depth);
  // First-character analysis for the start-position filter (plain build).
  bool AddFirst(const Element* e, int depth);
  bool SetsCaptures(const Element* e, int depth) const;
  bool IsAnchored(const Element* e, int depth) const;
  bool BeginsWithWordBoundary(const Element* e, int depth) const;
  static bool CanMatchHigh(const CCharsetElement<CHART>* cs);
  // Automatic possessive repeats (plain build; optimization_passes.h).
  struct FirstSet {
    unsigned char set[256];
    bool high;
    bool any;
  };
  bool FirstOf(const Element* e, FirstSet& into);
  void MarkPossessive(const Element* e, const FirstSet& follow, int depth);
  // Required-text analysis for the start-position filter (plain build; required.h).
  struct RequiredScan;
  void AnalyzeRequired();
  bool WalkRequired(const Element* e, RequiredScan& scan, int depth);
  bool AddConsumed(const Element* e, RequiredScan& scan, int depth) const;
  int FixedWidth(const Element* e, int depth) const;
  int FindRequired(Context* ctx, int from) const;
  int RequiredWindow(Context* ctx, int pos, int* last) const;

  // --- search helpers (operations.h) ---
  MatchResult BuildResult(const Context* ctx) const;
  int NextCandidate(Context* ctx, int pos) const;
  int ScanFirst(const CHART* t, int pos, int end) const;
  void AppendPieces(CBufferT<CHART>& out, const std::vector<ReplaceToken>& program,
                    const CHART* replaceTo, const CHART* text, int length, const MatchResult& m) const;

  // --- the compiled pattern ---
  const Element* m_pRoot = nullptr;
  int m_nFlags = 0;
  int m_nMaxGroup = 0;
  CBufferT<Element*> m_pool;                  // owns every element
  CBufferT<const Element*> m_groupTable;
  std::map<int, const Element*> m_groupByNumber;  // first group-table entry of each number
  Element* m_stock[17] = {};                  // shared stock elements (plain build), in m_pool
  bool m_bStartPointOnly = false;
  // Start-position filter, computed after compiling (plain build only).
  bool m_bFilter = false;                     // m_first holds every possible first character
  unsigned char m_first[256] = {};            // 1 for each possible first character below 256
  bool m_bFirstHigh = false;                  // a first character of 256 or above is possible
  bool m_bFirstAny = false;                   // (during the analysis) any character may come first
  int m_nFirstSingle = -1;                    // the only possible first character, or -1
  int m_nKeptLists = 0;                       // repeats with a list kept across attempts
  bool m_bWordStart = false;                  // a match begins only where a word does
  int m_nAnchor = 0;                          // 1: matches only at the text start (left to right)
                                              // or the text end (right to left)
  Required m_required;

  // --- compiler state ---
  const CHART* m_pPattern = nullptr;  // not owned; valid during Compile only
  int m_nPatternLength = 0;
  Token m_tok[3];
  int m_nConsumedEnd = 0;  // end of the last token the parser consumed
  TokState m_after[3];
  int m_nUnnamed = 0;      // highest unnamed group number so far
  int m_nParseDepth = 0;   // open groups and classes
  CBufferT<CListElement<CHART>*> m_unnamedGroups;  // index n - 1 is group n
  std::vector<NamedGroup> m_namedGroups;
  CBufferT<CDelegateElement<CHART>*> m_recursions;
  CBufferT<CBackrefElement<CHART>*> m_namedBackrefs;
  CBufferT<CConditionalElement<CHART>*> m_namedConditionals;
  // Upper-cased group names to numbers, for the lookups by name.
  std::map<std::vector<unsigned>, int> m_nameNumbers;
  std::vector<signed char> m_retryState;  // per pool index: 0 unknown, 1 no, 2 yes, 3 in progress
  // Per pool index, for recursion targets during the first-character analysis: 0 not seen,
  // 1 in progress, 2 done and can match empty, 3 done and cannot.
  std::vector<signed char> m_firstState;
};

TARNO_NAMESPACE_END

#endif
