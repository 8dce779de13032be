// Covered by app/document/files/tests/clips_test.cpp and fuzz/clips_fuzz.cpp.
#include "app/document/files/clips_format.h"

#include <string>
#include <unordered_set>

#include "app/host_engine.h"

namespace {

typedef std::vector<unsigned short> Units;

Units Wide(const char* s) {
  Units out;
  for (; *s; ++s) out.push_back(static_cast<unsigned char>(*s));
  return out;
}

// A pattern compiled once for the life of the process. The engine's compiled patterns are never
// written during a search, so one may serve several threads' searches at once.
struct CFixedPattern {
  CFixedPattern(const char* pattern, int flags) : source(Wide(pattern)) {
    regexp.Compile(source.data(), static_cast<int>(source.size()), flags);
  }
  Units source;
  HostRegexp regexp;
};

const HostRegexp& QuoteEscapes() {
  static const CFixedPattern p("(['\"\\\\])", 0);
  return p.regexp;
}
const HostRegexp& LineBreaks() {
  static const CFixedPattern p("\\r\\n?|\\n\\r?", 0);
  return p.regexp;
}
const HostRegexp& QuestionMarks() {
  static const CFixedPattern p("(\\?)(\\?[=(/)'<!>\\-])", 0);
  return p.regexp;
}
const HostRegexp& LiteralExtraction() {
  static const CFixedPattern p(
      "\\G(?:[^\\\\\"'/]|\\\\.|'(?:[^\\\\']|\\\\.)*'|/(?![/*])|/\\*(?:(?!\\*/).)*\\*/|//[^\\r\\n]*)*+"
      "\"(?:(?<str>(?:\\\\.|[^\\\\\"])+)\"?|\")|^(?<str>(?:\\\\.|[^\\\\\"])+)",
      GLOBAL);
  return p.regexp;
}
const HostRegexp& Unescapes() {
  static const CFixedPattern p("\\\\([\\\\\"'?])|\\\\(n(?:\\\\r)?|r(?:\\\\n)?)|\\\\(\\r\\n?|\\n\\r?)", 0);
  return p.regexp;
}

Units ReplaceAll(const HostRegexp& re, const Units& text, const char* replaceTo) {
  const Units to = Wide(replaceTo);
  int length = 0;
  unsigned short* out = re.Replace(text.data(), static_cast<int>(text.size()), to.data(),
                                   static_cast<int>(to.size()), length);
  Units result;
  if (out) {
    result.assign(out, out + length);
    HostRegexp::ReleaseString(out);
  }
  return result;
}

bool IsBreak(unsigned short c) { return c == '\r' || c == '\n'; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// The clip list

int CTextClipList::Find(const Units& text) const {
  for (size_t i = 0; i < m_clips.size(); ++i)
    if (m_clips[i].text == text) return static_cast<int>(i);
  return -1;
}

int CTextClipList::AddClip(const Units& text, const Units& name) {
  const int existing = Find(text);
  if (existing >= 0) return existing;
  m_clips.push_back(TextClip{text, name});
  return Count() - 1;
}

int CTextClipList::InsertClip(int index, const Units& text, const Units& name) {
  TextClip clip{text, name};
  const int existing = Find(text);
  if (existing >= 0) {
    clip = std::move(m_clips[static_cast<size_t>(existing)]);
    m_clips.erase(m_clips.begin() + existing);
  }
  if (index < 0) index = 0;
  if (index > Count()) index = Count();
  m_clips.insert(m_clips.begin() + index, std::move(clip));
  return index;
}

void CTextClipList::RemoveClip(int index) {
  if (index >= 0 && index < Count()) m_clips.erase(m_clips.begin() + index);
}

void CTextClipList::SetName(int index, const Units& name) {
  if (index >= 0 && index < Count()) m_clips[static_cast<size_t>(index)].name = name;
}

// ---------------------------------------------------------------------------------------------
// Escaping and reading back

Units CClipsFormat::Escape(const Units& text) {
  Units body = ReplaceAll(QuoteEscapes(), text, "\\$1");
  body = ReplaceAll(LineBreaks(), body, "\\n");
  body = ReplaceAll(QuestionMarks(), body, "$1\\$2");
  Units out;
  out.reserve(body.size() + 2);
  out.push_back('"');
  out.insert(out.end(), body.begin(), body.end());
  out.push_back('"');
  return out;
}

Units CClipsFormat::UnescapeWithPattern(const unsigned short* body, int length) {
  Units out;
  if (!body || length <= 0) return out;
  out.reserve(static_cast<size_t>(length));
  const HostRegexp& re = Unescapes();
  HostContext ctx;
  re.PrepareMatch(body, length, 0, &ctx);
  int copied = 0;
  for (;;) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    out.insert(out.end(), body + copied, body + m.GetStart());
    if (m.GetGroupStart(1) >= 0) {
      out.push_back(body[m.GetGroupStart(1)]);
    } else if (m.GetGroupStart(2) >= 0) {
      out.push_back('\r');
      out.push_back('\n');
    }  // group 3: a backslash continuing the line gives nothing
    copied = m.GetEnd();
  }
  out.insert(out.end(), body + copied, body + length);
  return out;
}

// The same replacements as the unescape pattern, in one pass: at each backslash the pattern's
// alternatives are tried in its order, and a backslash that starts none of them stays.
Units CClipsFormat::Unescape(const unsigned short* body, int length) {
  Units out;
  if (!body || length <= 0) return out;
  out.reserve(static_cast<size_t>(length));
  const auto at = [body, length](int i) -> int { return i < length ? body[i] : -1; };
  int i = 0;
  while (i < length) {
    const unsigned short c = body[i];
    if (c != '\\' || i + 1 >= length) {
      out.push_back(c);
      ++i;
      continue;
    }
    const unsigned short d = body[i + 1];
    if (d == '\\' || d == '"' || d == '\'' || d == '?') {
      out.push_back(d);
      i += 2;
    } else if (d == 'n' || d == 'r') {
      out.push_back('\r');
      out.push_back('\n');
      i += 2;
      // \n\r and \r\n are one line break
      if (at(i) == '\\' && at(i + 1) == (d == 'n' ? 'r' : 'n')) i += 2;
    } else if (d == '\r' || d == '\n') {
      i += 2;  // a backslash before a real line break continues the line
      if (at(i) == (d == '\r' ? '\n' : '\r')) ++i;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

TextClip CClipsFormat::ParseLineWithPattern(const unsigned short* line, int length) {
  TextClip clip;
  if (!line || length <= 0) return clip;
  const HostRegexp& re = LiteralExtraction();
  static const int kStr = [] {
    const Units name = Wide("str");
    return LiteralExtraction().GetNamedGroupNumber(name.data(), static_cast<int>(name.size()));
  }();
  HostContext ctx;
  re.PrepareMatch(line, length, 0, &ctx);
  MatchResult m = re.Match(&ctx);
  if (m.IsMatched()) {
    const int s = m.GetGroupStart(kStr), e = m.GetGroupEnd(kStr);
    if (s >= 0 && e > s) clip.text = Unescape(line + s, e - s);
    clip.name.assign(line + m.GetEnd(), line + length);
  } else {
    clip.text = Unescape(line, length);
  }
  return clip;
}

TextClip CClipsFormat::ParseLine(const unsigned short* line, int length) {
  // A line that begins with a double quote, as every line this program writes does: the
  // extraction pattern's skipping part matches nothing before that quote, and the literal's
  // body is the longest run of escapes (a backslash and any character but LF) and characters
  // other than backslash and double quote, then an optional closing quote. An empty body
  // matches only as "", so any other line without a body is left to the pattern itself.
  if (!line || length < 2 || line[0] != '"') return ParseLineWithPattern(line, length);
  int end = 1;
  while (end < length) {
    const unsigned short c = line[end];
    if (c == '"') break;
    if (c == '\\') {
      if (end + 1 >= length || line[end + 1] == '\n') break;
      end += 2;
    } else {
      ++end;
    }
  }
  TextClip clip;
  if (end == 1) {
    if (line[1] != '"') return ParseLineWithPattern(line, length);
    clip.name.assign(line + 2, line + length);  // "" : no text
    return clip;
  }
  clip.text = Unescape(line + 1, end - 1);
  if (end < length && line[end] == '"') ++end;
  clip.name.assign(line + end, line + length);
  return clip;
}

CTextClipList CClipsFormat::Parse(const unsigned short* units, size_t count) {
  CTextClipList clips;
  if (!units) return clips;
  // AddClip looks for an equal text in the whole list; a set keeps a long file linear.
  std::unordered_set<std::u16string> seen;
  size_t i = 0;
  while (i < count) {
    size_t end = i;
    while (end < count && !IsBreak(units[end])) ++end;
    if (end > i) {
      TextClip clip = ParseLine(units + i, static_cast<int>(end - i));
      std::u16string key(clip.text.begin(), clip.text.end());
      if (seen.insert(key).second) clips.m_clips.push_back(std::move(clip));
    }
    // One line end: CR LF, LF CR, or a lone CR or LF.
    if (end < count) {
      const unsigned short c = units[end++];
      if (end < count && IsBreak(units[end]) && units[end] != c) ++end;
    }
    i = end;
  }
  return clips;
}

Units CClipsFormat::Format(const CTextClipList& clips) {
  Units out;
  for (const TextClip& clip : clips.Clips()) {
    const Units literal = Escape(clip.text);
    out.insert(out.end(), literal.begin(), literal.end());
    for (unsigned short c : clip.name) out.push_back(IsBreak(c) ? ' ' : c);
    out.push_back('\r');
    out.push_back('\n');
  }
  return out;
}
