// The fast path's searches, in the engine's untraced host build (see fast_search.h). This file
// holds that build alone: the target defines TARNO_HOST_BUILD for every source, and
// TARNO_UNTRACED here turns it into the untraced one.
#define TARNO_UNTRACED
#include "engine/tarno.h"

#include "app/document/matching/fast_search.h"

namespace {
typedef CRegexpT<unsigned short> FastRegexp;
typedef CMatchContext<unsigned short> FastContext;
typedef CPatternElement<unsigned short> FastElement;
}  // namespace

struct CFastPattern::Impl {
  FastRegexp re;
};

CFastPattern::CFastPattern() : m_p(new Impl) {}
CFastPattern::~CFastPattern() = default;

void CFastPattern::Compile(const unsigned short* pattern, int length, int flags) {
  m_p->re.Compile(length > 0 ? pattern : nullptr, length > 0 ? length : 0, flags);
}

void CFastPattern::SetStartPointOnly(bool only) { m_p->re.SetStartPointOnly(only); }
bool CFastPattern::HasRoot() const { return m_p->re.GetRoot() != nullptr; }
int CFastPattern::MaxGroupNumber() const { return m_p->re.MaxGroupNumber(); }
int CFastPattern::ElementCount() const { return m_p->re.GetElementCount(); }

bool CFastPattern::ElementAt(int poolIndex, int* kind, int* start, int* end) const {
  const FastElement* e = m_p->re.GetElement(poolIndex);
  if (!e) return false;
  *kind = e->m_nKind;
  *start = e->m_nStart;
  *end = e->m_nEnd;
  return true;
}

struct CFastSearch::Impl {
  const FastRegexp* re = nullptr;
  const FastElement* root = nullptr;
  FastContext ctx;
  MatchResult last;
  int whole[4] = {0, 0, 0, 0};
  SearchPoll poll = nullptr;
  void* pollUser = nullptr;

  static void Poll(FastContext* ctx, void* user) {
    Impl* self = static_cast<Impl*>(user);
    self->poll(self->pollUser, ctx->m_nBeginPos, ctx->Steps());
  }
};

CFastSearch::CFastSearch() : m_p(new Impl) {}
CFastSearch::~CFastSearch() = default;

bool CFastSearch::Prepare(const CFastPattern& pattern, const unsigned short* text, int length, int start) {
  Impl& s = *m_p;
  s.re = &pattern.m_p->re;
  s.root = nullptr;
  s.last = MatchResult();
  s.ctx.ResetSteps();
  return s.re->PrepareMatch(text, length, start, &s.ctx) != nullptr;
}

bool CFastSearch::SetRoot(int rootIndex) {
  Impl& s = *m_p;
  s.root = rootIndex >= 0 && s.re ? s.re->GetElement(rootIndex) : nullptr;
  return rootIndex < 0 || s.root != nullptr;
}

void CFastSearch::SetMaxNesting(int levels) { m_p->ctx.m_nMaxNesting = levels > 0 ? levels : 1; }

void CFastSearch::SetPoll(SearchPoll poll, void* user, int interval) {
  Impl& s = *m_p;
  s.poll = poll;
  s.pollUser = user;
  s.ctx.SetPoll(poll ? &Impl::Poll : nullptr, &s, interval);
}

SearchHit CFastSearch::Next() {
  Impl& s = *m_p;
  SearchHit hit;
  if (!s.re) return hit;
  try {
    s.last = s.re->Match(&s.ctx, s.root);
  } catch (...) {
    // Stopped by the poll function inside an attempt: the next call tries that attempt again,
    // with what the attempts before it learnt.
    s.ctx.TakeBackAttempt();
    throw;
  }
  hit.count = s.last.m_result.GetSize();
  hit.values = s.last.m_result.Values();
  hit.cutShort = s.last.HitNestingLimit();
  return hit;
}

SearchHit CFastSearch::Whole() {
  Impl& s = *m_p;
  SearchHit hit;
  const FastElement* root = s.root ? s.root : (s.re ? s.re->GetRoot() : nullptr);
  if (!root) return hit;
  FastContext& ctx = s.ctx;
  const bool rtl = (s.re->GetFlags() & RIGHTTOLEFT) != 0;
  const int length = ctx.m_nLength < 0 ? 0 : ctx.m_nLength;
  const int from = rtl ? length : 0, target = rtl ? 0 : length;
  ctx.BeginAttempt(from);
  try {
    int matched = root->Match(&ctx);
    while (matched && ctx.m_nCurrentPos != target) matched = root->MatchNext(&ctx);
    ctx.m_nCurrentPos = rtl ? -1 : length + 1;  // the search is over
    if (!matched) return hit;
  } catch (const CNestingOverflow&) {
    hit.cutShort = true;
    return hit;
  }
  s.whole[0] = 1;
  s.whole[1] = 0;
  s.whole[2] = rtl ? target : from;
  s.whole[3] = rtl ? from : target;
  hit.values = s.whole;
  hit.count = 4;
  return hit;
}

std::uint64_t CFastSearch::Steps() const { return m_p->ctx.Steps(); }

SearchPosition CFastSearch::Position() const {
  const FastContext& ctx = m_p->ctx;
  SearchPosition p;
  p.position = ctx.m_nCurrentPos;
  p.lastMatchEnd = ctx.m_nLastMatchEnd;
  p.previousLastMatchEnd = ctx.m_nPrevLastMatchEnd;
  p.matchBound = ctx.m_nMatchBound;
  p.cutShort = ctx.m_nStatus != MATCH_COMPLETE;
  return p;
}

void CFastSearch::SetPosition(const SearchPosition& p) {
  FastContext& ctx = m_p->ctx;
  ctx.m_nCurrentPos = p.position;
  ctx.m_nBeginPos = p.position;
  ctx.m_nLastMatchEnd = p.lastMatchEnd;
  ctx.m_nPrevLastMatchEnd = p.previousLastMatchEnd;
  ctx.m_nMatchBound = p.matchBound;
  ctx.m_nStatus = p.cutShort ? MATCH_NESTING_LIMIT : MATCH_COMPLETE;
  ctx.m_pRequiredOwner = nullptr;  // the filter's memory belongs to where the search stood
  ctx.m_bResumeLists = false;      // and so do the lists of explored ends
}
