// Code generation (codegen.h).
#include "plugins/fennic/codegen.h"

#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/literals.h"
#include "plugins/fennic/pattern_scan.h"
#include "resources/fennic_ids.h"
#include "resources/stringtable.h"

namespace fennic {
namespace {

const Regex& LineBreak() {
  static const Regex re(u"\\r\\n?|\\n\\r?");
  return re;
}

const Regex& CppColouring() {
  static const Regex re(
      u"(?<key>\\b(?:__declspec|asm|auto|bad_cast|bad_typeid|bool|break|case|catch|char|class|const|"
      u"const_cast|continue|default|delete|dllimport|dllexport|do|double|dynamic_cast|else|enum|except|"
      u"explicit|extern|false|finally|float|for|friend|goto|if|inline|int|long|mutable|namespace|new|"
      u"operator|private|protected|public|register|reinterpret_cast|return|short|signed|sizeof|static|"
      u"static_cast|struct|switch|template|this|throw|true|try|type_info|typedef|typeid|typename|union|"
      u"unsigned|using|virtual|void|volatile|while|xalloc|defined|once)\\b)|"
      u"(?<key>#\\s*(define|if|ifdef|ifndef|include|undef|else|endif|pragma)\\b)|"
      u"(?<string>'(?:[^'\\x0A-\\x0D\\\\]|\\\\.)*'?)|(?<string>\"(?:[^\"\\x0A-\\x0D\\\\]|\\\\.)*\"?)|"
      u"(?<rem>/\\*(?:(?!\\*/).)*(?:\\*/)?)|(?<rem>//(?:[^\\x0A-\\x0D\\\\]|\\\\.)*)|"
      u"(?<number>(?<!\\w)(?:\\d|\\.\\d)[\\w\\.]*)",
      SINGLELINE);
  return re;
}
const Regex& JavaColouring() {
  static const Regex re(
      u"(?<key>\\b(?:abstract|boolean|break|byte|case|catch|char|class|const|continue|default|do|double|"
      u"else|extends|false|final|final|finally|float|for|goto|if|implements|import|instanceof|int|"
      u"interface|long|native|new|null|package|private|protected|public|return|short|static|strictfp|"
      u"super|switch|synchronized|this|threadsafe|throw|throws|transient|true|try|void|volatile|while)\\b)|"
      u"(?<pw>\\b(?:String|System)\\b)|(?<string>\"(?:[^\"\\x0A-\\x0D\\\\]|\\\\[^\\x0A-\\x0D])*\"?)|"
      u"(?<string>'(?:[^'\\x0A-\\x0D\\\\]|\\\\[^\\x0A-\\x0D])*'?)|(?<rem>/\\*(?:(?!\\*/).)*(?:\\*/)?)|"
      u"(?<rem>//[^\\x0A-\\x0D]*)|(?<number>(?<!\\w)(?:\\d|\\.\\d)[\\w\\.]*)",
      SINGLELINE);
  return re;
}
const Regex& VbColouring() {
  static const Regex re(
      u"(?<key>\\b(?:and|call|case|class|const|dim|do|each|else|elseif|empty|end|eqv|erase|error|"
      u"execute|executeglobal|exit|explicit|false|fileget|for|function|get|if|imp|in|is|let|loop|mod|"
      u"new|next|not|nothing|null|on|option|or|private|property|public|randomize|redim|resume|select|"
      u"set|step|sub|then|to|true|until|wend|while|with|xor)\\b)|(?<string>\"[^\"\\x0A-\\x0D]*\"?)|"
      u"(?<rem>(?:'|\\brem\\b)[^\\x0A-\\x0D]*)|(?<number>(?<!\\w)(?:\\d|\\.\\d)[\\w\\.]*)",
      SINGLELINE | MULTILINE | IGNORECASE);
  return re;
}

// Every placeholder of the template replaced in one pass from left to right: a text put in
// is never searched again, so a pattern, subject or replace-to text that holds "%text%" or
// "%flags%" comes out as written.
std::u16string FillTemplate(const std::u16string& templateText, const std::u16string& regex,
                            const std::u16string& text, const std::u16string& replaceTo,
                            const std::u16string& flags) {
  struct Placeholder {
    const char16_t* name;
    const std::u16string* value;
  };
  const Placeholder kPlaceholders[] = {
      {u"%regex%", &regex}, {u"%text%", &text}, {u"%replaceto%", &replaceTo}, {u"%flags%", &flags}};
  std::u16string out;
  size_t at = 0;
  while (at < templateText.size()) {
    bool replaced = false;
    if (templateText[at] == u'%') {
      for (const Placeholder& p : kPlaceholders) {
        std::u16string name(p.name);
        if (templateText.compare(at, name.size(), name) == 0) {
          out += *p.value;
          at += name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += templateText[at++];
  }
  return out;
}

std::u16string FinishBarList(std::u16string s) {
  if (!s.empty()) s.replace(0, 3, u", ");
  return s;
}

}  // namespace

// java.util.regex reads "(?#" as a syntax error, so its rows take comment groups out of the
// pattern (and, with the extended option, the white space and # comments that its COMMENTS flag
// would skip anyway); the engine's own rows keep them.
const std::vector<CodeTemplateRow>& CodeTemplateTable() {
  static const std::vector<CodeTemplateRow> rows = {
      {LANG_CPP, IDS_LIB_TARNO, CppExport, RENDER_TARNO, true, true, IDS_OP_DECLARE, IDS_TPL_CPP_DECLARE},
      {LANG_CPP, IDS_LIB_TARNO, CppExport, RENDER_TARNO, true, true, IDS_OP_MATCH_EXACT, IDS_TPL_TARNO_MATCH_EXACT},
      {LANG_CPP, IDS_LIB_TARNO, CppExport, RENDER_TARNO, true, true, IDS_OP_FIND, IDS_TPL_TARNO_FIND},
      {LANG_CPP, IDS_LIB_TARNO, CppExport, RENDER_TARNO, true, true, IDS_OP_REPLACE, IDS_TPL_TARNO_REPLACE},
      {LANG_CPP, IDS_LIB_GRETA, CppExport, RENDER_GRETA, true, true, IDS_OP_DECLARE, IDS_TPL_CPP_DECLARE},
      {LANG_CPP, IDS_LIB_GRETA, CppExport, RENDER_GRETA, true, true, IDS_OP_FIND, IDS_TPL_GRETA_FIND},
      {LANG_CPP, IDS_LIB_GRETA, CppExport, RENDER_GRETA, true, true, IDS_OP_REPLACE, IDS_TPL_GRETA_REPLACE},
      {LANG_CPP, IDS_LIB_GRETA, CppExport, RENDER_GRETA, true, true, IDS_OP_SPLIT, IDS_TPL_GRETA_SPLIT},
      {LANG_CPP, IDS_LIB_GRETA, CppExport, RENDER_GRETA, true, true, IDS_OP_COUNT, IDS_TPL_GRETA_COUNT},
      {LANG_VB, IDS_LIB_REGEXP_OBJECT, VbExport, RENDER_REGEXP, false, false, IDS_OP_DECLARE, IDS_TPL_VB_DECLARE},
      {LANG_VB, IDS_LIB_REGEXP_OBJECT, VbExport, RENDER_REGEXP, false, false, IDS_OP_MATCH_EXACT, IDS_TPL_VB_MATCH_EXACT},
      {LANG_VB, IDS_LIB_REGEXP_OBJECT, VbExport, RENDER_REGEXP, false, false, IDS_OP_FIND, IDS_TPL_VB_FIND},
      {LANG_VB, IDS_LIB_REGEXP_OBJECT, VbExport, RENDER_REGEXP, false, false, IDS_OP_REPLACE, IDS_TPL_VB_REPLACE},
      {LANG_JAVA, IDS_LIB_JAVA_UTIL_REGEX, JavaExport, RENDER_JAVA, true, false, IDS_OP_DECLARE, IDS_TPL_JAVA_DECLARE},
      {LANG_JAVA, IDS_LIB_JAVA_UTIL_REGEX, JavaExport, RENDER_JAVA, true, false, IDS_OP_MATCH_EXACT, IDS_TPL_JAVA_MATCH_EXACT},
      {LANG_JAVA, IDS_LIB_JAVA_UTIL_REGEX, JavaExport, RENDER_JAVA, true, false, IDS_OP_FIND, IDS_TPL_JAVA_FIND},
      {LANG_JAVA, IDS_LIB_JAVA_UTIL_REGEX, JavaExport, RENDER_JAVA, true, false, IDS_OP_REPLACE, IDS_TPL_JAVA_REPLACE},
      {LANG_JAVA, IDS_LIB_JAVA_UTIL_REGEX, JavaExport, RENDER_JAVA, true, false, IDS_OP_SPLIT, IDS_TPL_JAVA_SPLIT},
  };
  return rows;
}

std::u16string RenderOptions(OptionsRenderer renderer, int flags) {
  struct Piece {
    int bit;
    const char16_t* text;
  };
  static const Piece kTarno[] = {{IGNORECASE, u" | IGNORECASE"}, {GLOBAL, u" | GLOBAL"},
                                 {SINGLELINE, u" | SINGLELINE"}, {MULTILINE, u" | MULTILINE"},
                                 {RIGHTTOLEFT, u" | RIGHTTOLEFT"}, {EXTENDED, u" | EXTENDED"}};
  static const Piece kGreta[] = {{IGNORECASE, u" | NOCASE"}, {GLOBAL, u" | GLOBAL"},
                                 {SINGLELINE, u" | SINGLELINE"}, {MULTILINE, u" | MULTILINE"},
                                 {RIGHTTOLEFT, u" | RIGHTMOST"}, {EXTENDED, u" | EXTENDED"}};
  static const Piece kRegExp[] = {{IGNORECASE, u"regex.IgnoreCase = True\n"},
                                  {GLOBAL, u"regex.Global     = True\n"},
                                  {MULTILINE, u"regex.Multiline  = True\n"}};
  static const Piece kJava[] = {{IGNORECASE, u" | Pattern.CASE_INSENSITIVE"}, {SINGLELINE, u" | Pattern.DOTALL"},
                                {MULTILINE, u" | Pattern.MULTILINE"}, {EXTENDED, u" | Pattern.COMMENTS"}};
  std::u16string s;
  auto add = [&](const Piece* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
      if (flags & p[i].bit) s += p[i].text;
  };
  switch (renderer) {
    case RENDER_TARNO: add(kTarno, 6); return FinishBarList(s);
    case RENDER_GRETA: s = u"NORMALIZE"; add(kGreta, 6); return s;
    case RENDER_REGEXP: add(kRegExp, 3); return s;
    case RENDER_JAVA: add(kJava, 4); return FinishBarList(s);
  }
  return s;
}

std::u16string RewriteSingleLineDots(const std::u16string& pattern, int flags) {
  std::u16string out;
  for (const PatternPiece& piece : ScanPattern(pattern, flags)) {
    if (piece.kind == PatternPiece::DOT && piece.singleLine)
      out += u"(?:.|\\n)";
    else
      out.append(pattern, piece.start, piece.length);
  }
  return out;
}

std::u16string RemovePatternComments(const std::u16string& pattern, int flags) {
  std::u16string out;
  size_t lastStart = 0;  // where the last piece kept starts in `out`
  PatternPiece::Runs lastRuns = PatternPiece::RUNS_NONE;
  int lastLength = 0;
  bool removed = false;
  for (const PatternPiece& piece : ScanPattern(pattern, flags)) {
    if (piece.kind == PatternPiece::COMMENT) {
      removed = true;
      continue;
    }
    if (removed && lastRuns != PatternPiece::RUNS_NONE) {
      // Without the comment between them, the piece before would read on into this one ("\1"
      // and "2" make "\12", "(" and "?" make a group head): group it, or escape the '?'.
      char16_t next = pattern[piece.start];
      bool digit = next >= u'0' && next <= u'9';
      bool hex = digit || (next >= u'a' && next <= u'f') || (next >= u'A' && next <= u'F');
      bool runsOn = (lastRuns == PatternPiece::RUNS_DIGITS && digit) ||
                    (lastRuns == PatternPiece::RUNS_NAME_OR_DIGITS && (digit || next == u'<' || next == u'\'')) ||
                    (lastRuns == PatternPiece::RUNS_HEX && (hex || (lastLength == 2 && next == u'{')));
      if (runsOn) {
        out.insert(lastStart, u"(?:");
        out += u')';
      } else if (lastRuns == PatternPiece::RUNS_GROUP_HEAD && next == u'?') {
        out += u'\\';
      }
    }
    removed = false;
    lastStart = out.size();
    lastRuns = piece.runs;
    lastLength = piece.length;
    out.append(pattern, piece.start, piece.length);
  }
  return out;
}

std::u16string GenerateCode(const CodeTemplateRow& row, const std::u16string& templateText,
                            const std::u16string& pattern, const std::u16string& text,
                            const std::u16string& replaceTo, int flags) {
  std::u16string p = pattern;
  if (!row.singleLineCapable && (flags & SINGLELINE)) p = RewriteSingleLineDots(p, flags);
  if (!row.commentsCapable) p = RemovePatternComments(p, flags);
  std::u16string regex = row.converter(p), subject = row.converter(text), to = row.converter(replaceTo);
  std::u16string options = RenderOptions(row.renderer, flags);
  return FillTemplate(templateText, regex, subject, to, options);
}

std::u16string GenerateCode(const CodeTemplateRow& row, const std::u16string& pattern,
                            const std::u16string& text, const std::u16string& replaceTo, int flags) {
  return GenerateCode(row, CStringTable::Str(row.templateId).toStdU16String(), pattern, text, replaceTo, flags);
}

std::vector<ColourSpan> ColourCode(int language, const std::u16string& code) {
  const Regex& re = language == LANG_VB ? VbColouring() : language == LANG_JAVA ? JavaColouring() : CppColouring();
  static const char16_t* const kNames[] = {u"key", u"pw", u"string", u"rem", u"number", u"regexp"};
  int numbers[6];
  for (int i = 0; i < 6; ++i) numbers[i] = re.GetNamedGroupNumber(kNames[i]);
  std::vector<ColourSpan> spans;
  ForEachMatch(re, code, [&](const MatchResult& m) {
    for (int i = 0; i < 6; ++i) {
      if (numbers[i] > 0 && GroupMatched(m, numbers[i])) {
        spans.push_back(ColourSpan{m.GetStart(), m.GetEnd() - m.GetStart(), static_cast<CodeColour>(i)});
        break;
      }
    }
    return true;
  });
  return spans;
}

unsigned ColourRgb(CodeColour colour) {
  static const unsigned kRgb[] = {0x0000FF, 0xFF0000, 0xFF00FF, 0x008000, 0x800000, 0xFF8000};
  return kRgb[colour];
}

std::u16string ToCrLfLines(const std::u16string& text) {
  return ReplaceAll(LineBreak(), text, u"\r\n");
}

}  // namespace fennic
