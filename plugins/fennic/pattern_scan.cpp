// Reading a pattern's text as the compiler does (pattern_scan.h).
//
// The walk follows the compiler's tokenizer (quote mode, escapes, class depth, comment groups,
// the extended option's white space and # comments) and the few places where its parser reads
// characters itself instead of tokens: group heads ("(?<name>", "(?i-s:", "(?(1)", "(?R)"),
// back-reference numbers and names. A stack of the single-line option follows the groups, so
// that a dot knows whether a modifier changed the option around it. A stray ')' ends what the
// compiler reads; the rest is passed on as written.
#include "plugins/fennic/pattern_scan.h"

#include "plugins/fennic/fennic_text.h"

namespace fennic {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }
bool IsDigitUnit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHexUnit(char16_t c) {
  return IsDigitUnit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

class CScanner {
 public:
  CScanner(const std::u16string& p, int flags) : m_p(p), m_n(Length(p)), m_flags(flags) {
    m_singleLine.push_back((flags & SINGLELINE) != 0);
  }

  std::vector<PatternPiece> Run() {
    while (m_pos < m_n) {
      if (m_quote) {
        Quoted();
        continue;
      }
      char16_t c = m_p[m_pos];
      if ((m_flags & EXTENDED) && (IsBlank(c) || c == u'#')) {
        int end = m_pos + 1;
        if (c == u'#')
          while (end < m_n && m_p[end] != u'\n' && m_p[end] != u'\r') ++end;
        Add(PatternPiece::COMMENT, end);
        continue;
      }
      switch (c) {
        case u'(':
          if (At(m_pos + 1) == u'?' && At(m_pos + 2) == u'#') {
            int end = m_pos + 3;
            while (end < m_n && m_p[end] != u')') ++end;
            Add(PatternPiece::COMMENT, end < m_n ? end + 1 : m_n);
          } else if (m_depth == 0) {
            GroupHead();
          } else {
            Add(PatternPiece::TEXT, m_pos + 1);
          }
          break;
        case u')':
          if (m_depth == 0) {
            if (m_singleLine.size() <= 1) {  // closes nothing: the compiler stops here
              Add(PatternPiece::TEXT, m_n);
              break;
            }
            m_singleLine.pop_back();
          }
          Add(PatternPiece::TEXT, m_pos + 1);
          break;
        case u'[':
          if (m_depth == 0 || At(m_pos + 1) == u':') ++m_depth;
          Add(PatternPiece::TEXT, m_pos + 1);
          break;
        case u']':
          if (m_depth > 0) --m_depth;
          Add(PatternPiece::TEXT, m_pos + 1);
          break;
        case u'.':
          if (m_depth == 0) {
            Add(PatternPiece::DOT, m_pos + 1);
            m_pieces.back().singleLine = m_singleLine.back();
          } else {
            Add(PatternPiece::TEXT, m_pos + 1);
          }
          break;
        case u'\\':
          Escape();
          break;
        default:
          Add(PatternPiece::TEXT, m_pos + 1);
          break;
      }
    }
    return m_pieces;
  }

 private:
  char16_t At(int i) const { return i >= 0 && i < m_n ? m_p[i] : char16_t(0xFFFF); }

  void Add(PatternPiece::Kind kind, int end, PatternPiece::Runs runs = PatternPiece::RUNS_NONE) {
    if (end > m_n) end = m_n;
    m_pieces.push_back(PatternPiece{kind, m_pos, end - m_pos, false, runs});
    m_pos = end;
  }

  int Find(int from, char16_t c) const {
    while (from < m_n && m_p[from] != c) ++from;
    return from;
  }

  void Quoted() {
    if (m_p[m_pos] == u'\\' && At(m_pos + 1) == u'E') {
      m_quote = false;
      Add(PatternPiece::TEXT, m_pos + 2);
    } else {
      Add(PatternPiece::TEXT, m_pos + 1);
    }
  }

  void Escape() {
    if (m_pos + 1 >= m_n) {
      Add(PatternPiece::TEXT, m_n);
      return;
    }
    char16_t d = m_p[m_pos + 1];
    if (IsDigitUnit(d) && m_depth == 0) {  // a back-reference reads up to three digits
      int end = m_pos + 1, digits = 0;
      while (digits < 3 && IsDigitUnit(At(end))) ++end, ++digits;
      Add(PatternPiece::TEXT, end, digits < 3 ? PatternPiece::RUNS_DIGITS : PatternPiece::RUNS_NONE);
      return;
    }
    switch (d) {
      case u'Q':
      case u'L':
      case u'U':
        m_quote = true;
        Add(PatternPiece::TEXT, m_pos + 2);
        return;
      case u'k':
      case u'g':
        if (m_depth == 0) {
          int p = m_pos + 2;
          if (At(p) == u'<' || At(p) == u'\'') {
            int end = Find(p + 1, At(p) == u'<' ? u'>' : u'\'');
            Add(PatternPiece::TEXT, end < m_n ? end + 1 : m_n);
            return;
          }
          int digits = 0;
          while (digits < 3 && IsDigitUnit(At(p))) ++p, ++digits;
          Add(PatternPiece::TEXT, p,
              digits == 0 ? PatternPiece::RUNS_NAME_OR_DIGITS
                          : digits < 3 ? PatternPiece::RUNS_DIGITS : PatternPiece::RUNS_NONE);
          return;
        }
        break;
      case u'x':
      case u'u': {
        int p = m_pos + 2, digits = 0;
        if (At(p) == u'{') {
          ++p;
          while (digits < 8 && IsHexUnit(At(p))) ++p, ++digits;
          p = Find(p, u'}');
          Add(PatternPiece::TEXT, p < m_n ? p + 1 : m_n);
          return;
        }
        int most = d == u'x' ? 2 : 4;
        while (digits < most && IsHexUnit(At(p))) ++p, ++digits;
        Add(PatternPiece::TEXT, p, digits < most ? PatternPiece::RUNS_HEX : PatternPiece::RUNS_NONE);
        return;
      }
      default:
        break;
    }
    Add(PatternPiece::TEXT, m_pos + 2);
  }

  // A '(' that opens something (outside classes), with what the parser reads of its head.
  void GroupHead() {
    const bool inherited = m_singleLine.back();
    if (At(m_pos + 1) != u'?') {
      m_singleLine.push_back(inherited);
      Add(PatternPiece::TEXT, m_pos + 1, PatternPiece::RUNS_GROUP_HEAD);
      return;
    }
    int q = m_pos + 2;
    while (q < m_n && IsBlank(m_p[q])) ++q;
    char16_t c = At(q);
    switch (c) {
      case u':': case u'=': case u'!': case u'>':
        m_singleLine.push_back(inherited);
        Add(PatternPiece::TEXT, q + 1);
        return;
      case u'<':
        m_singleLine.push_back(inherited);
        if (At(q + 1) == u'=' || At(q + 1) == u'!')
          Add(PatternPiece::TEXT, q + 2);
        else
          Add(PatternPiece::TEXT, Find(q + 1, u'>') + 1);
        return;
      case u'\'':
        m_singleLine.push_back(inherited);
        Add(PatternPiece::TEXT, Find(q + 1, u'\'') + 1);
        return;
      case u'P':
        if (At(q + 1) == u'<') {
          m_singleLine.push_back(inherited);
          Add(PatternPiece::TEXT, Find(q + 2, u'>') + 1);
          return;
        }
        break;
      case u'(': {
        m_singleLine.push_back(inherited);  // the conditional
        int i = q + 1;
        while (i < m_n && IsBlank(m_p[i])) ++i;
        int j = i;
        while (IsDigitUnit(At(j))) ++j;
        int k = j;
        while (k < m_n && IsBlank(m_p[k])) ++k;
        if (j > i && At(k) == u')') {
          Add(PatternPiece::TEXT, k + 1);
        } else if (At(q + 1) == u'?' && (At(q + 2) == u'=' || At(q + 2) == u'!' ||
                                         (At(q + 2) == u'<' && (At(q + 3) == u'=' || At(q + 3) == u'!')))) {
          Add(PatternPiece::TEXT, q);  // the assertion's own '(' is read next
        } else {
          m_singleLine.push_back(inherited);  // a name, read as a pattern up to its ')'
          Add(PatternPiece::TEXT, q + 1);
        }
        return;
      }
      case u'R': {
        int p = q + 1;
        if (At(p) == u'<' || At(p) == u'\'') p = Find(p + 1, At(p) == u'<' ? u'>' : u'\'');
        Add(PatternPiece::TEXT, Find(p, u')') + 1);
        return;
      }
      default:
        if (IsDigitUnit(c)) {
          Add(PatternPiece::TEXT, Find(q, u')') + 1);
          return;
        }
        break;
    }
    // Options: up to ':' (a group with them) or ')' (from here to the end of the group).
    bool single = inherited, clear = false;
    int i = q;
    for (; i < m_n && m_p[i] != u':' && m_p[i] != u')'; ++i) {
      if (m_p[i] == u'-') clear = true;
      if (m_p[i] == u's' || m_p[i] == u'S') single = !clear;
    }
    if (i < m_n && m_p[i] == u':')
      m_singleLine.push_back(single);
    else
      m_singleLine.back() = single;
    Add(PatternPiece::TEXT, i < m_n ? i + 1 : m_n);
  }

  const std::u16string& m_p;
  const int m_n;
  const int m_flags;
  int m_pos = 0;
  int m_depth = 0;  // unclosed '[' of character classes
  bool m_quote = false;
  std::vector<bool> m_singleLine;  // per open group, innermost last
  std::vector<PatternPiece> m_pieces;
};

}  // namespace

std::vector<PatternPiece> ScanPattern(const std::u16string& pattern, int flags) {
  return CScanner(pattern, flags).Run();
}

}  // namespace fennic
