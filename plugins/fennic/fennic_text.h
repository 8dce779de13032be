// Text helpers of fennic: UTF-16 strings, the plugin's own (plain) build of the engine over
// char16_t, and the few search and replace loops every conversion uses.
//
// fennic keeps all text as std::u16string. The plugin API speaks unsigned short; the copies at
// that boundary are made by FromApi/ToApi. Every expression is compiled once, on first use, into
// a function-local static (see the conversion files), and never written afterwards, so a search
// only needs its own match context.
#ifndef FENNIC_TEXT_H
#define FENNIC_TEXT_H

#include <string>
#include <vector>

#include "engine/tarno.h"

namespace fennic {

typedef CRegexpT<char16_t> Regex;
typedef CMatchContext<char16_t> RegexContext;

// Copies `length` code units (a negative length: up to the terminating zero; null: empty).
std::u16string FromApi(const unsigned short* text, int length);
// The code units as the plugin API wants them; the result stays valid while `s` lives.
inline const unsigned short* ToApi(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}
// ASCII (or Latin-1) bytes widened one to one.
std::u16string Widen(const char* s);
std::u16string Widen(const std::string& s);
// Latin-1 narrowing for tests and diagnostics: code units above 255 become '?'.
std::string Narrow(const std::u16string& s);

inline int Length(const std::u16string& s) { return static_cast<int>(s.size()); }

// Every match of `re` replaced by the expansion of `to` (the engine's replace-to syntax), the
// rest copied.
std::u16string ReplaceAll(const Regex& re, const std::u16string& text, const std::u16string& to);

// Walks the successive matches of `re` over `text` from position 0. `fn(const MatchResult&)`
// returns false to stop early.
template <class Fn>
void ForEachMatch(const Regex& re, const std::u16string& text, Fn fn) {
  RegexContext ctx;
  if (!re.PrepareMatch(text.data(), Length(text), 0, &ctx)) return;
  for (;;) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    if (!fn(m)) break;
  }
}

// The text of group `n` of `m`, empty when the group did not take part.
std::u16string GroupText(const std::u16string& text, const MatchResult& m, int n);
inline bool GroupMatched(const MatchResult& m, int n) { return m.GetGroupStart(n) >= 0; }

}  // namespace fennic

#endif
