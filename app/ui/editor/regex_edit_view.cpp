// CRegexEditView: edit-to-recompile, colouring from the element records, comments, current
// element, trace step, heat map, fail element, font, Open / Save As, context menu.
#include "app/ui/editor/regex_edit_view.h"

#include <algorithm>
#include <cstring>

#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QToolTip>
#include <QMouseEvent>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextDocument>

#include "app/document/debugger/breakpoints.h"
#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/frame_link.h"
#include "app/ui/editor/item_look.h"
#include "app/ui/editor/view_colours.h"
#include "korvane_ids.h"
#include "stringtable.h"

// Paints the style array of its view onto each block. It never computes anything itself, so a
// re-layout of one block costs only the runs of that block.
class CPatternHighlighter : public QSyntaxHighlighter {
 public:
  explicit CPatternHighlighter(CRegexEditView* view) : QSyntaxHighlighter(view->document()), m_pView(view) {}

 protected:
  void highlightBlock(const QString& text) override {
    const std::vector<PatternCharStyle>& st = m_pView->m_styles;
    const int base = currentBlock().position();
    const int n = std::min<int>(text.size(), static_cast<int>(st.size()) - base);
    const PatternCharStyle plain;
    for (int i = 0; i < n;) {
      const PatternCharStyle s = st[base + i];
      int j = i + 1;
      while (j < n && st[base + j] == s) ++j;
      if (s != plain) setFormat(i, j - i, CRegexEditView::FormatFor(s, m_pView->palette()));
      i = j;
    }
  }

 private:
  CRegexEditView* m_pView;
};

namespace {

// The comment patterns, compiled once on first use with the program's own engine.
const HostRegexp& CommentPattern(bool extended) {
  static const char kNormal[] = R"re(\\[^QLU]|\(\?\#[^)]*\)?|\\[QLU]((?!\\E).)*(\\E)?)re";
  static const char kExtended[] = R"re(\\[^QLU]|\(\?\#[^)]*\)?|\\[QLU]((?!\\E).)*(\\E)?|\s+|\#.*?$)re";
  auto make = [](const char* p, int flags) {
    std::vector<unsigned short> u(p, p + std::strlen(p));
    return new HostRegexp(u.data(), static_cast<int>(u.size()), flags);
  };
  static const HostRegexp* normal = make(kNormal, SINGLELINE);
  static const HostRegexp* ext = make(kExtended, SINGLELINE | MULTILINE);
  return extended ? *ext : *normal;
}

// The pattern's range of a record, clamped to the box's text.
void RecordRange(const ElementRecord* r, int length, int* start, int* end) {
  int s = r ? r->offset : 0;
  int e = r ? r->offset + r->length : 0;
  *start = qBound(0, s, length);
  *end = qBound(*start, e, length);
}

std::vector<CRegexEditView*>& AllPatternViews() {
  static std::vector<CRegexEditView*> views;  // UI thread only
  return views;
}

}  // namespace

CRegexEditView* CRegexEditView::ForDocument(const CKorvaneDoc* doc) {
  const std::vector<CRegexEditView*>& views = AllPatternViews();
  for (auto it = views.rbegin(); it != views.rend(); ++it)
    if ((*it)->GetDocument() == doc) return *it;
  return nullptr;
}

CRegexEditView::CRegexEditView(CKorvaneDoc* doc, QWidget* parent) : CRichEdit2WView(doc, parent) {
  AllPatternViews().push_back(this);
  m_pHighlighter = new CPatternHighlighter(this);
  SetPlaceholder(CStringTable::Str(IDS_PLACEHOLDER_PATTERN));
  setTabChangesFocus(false);
  OnInitialUpdate();
}

CRegexEditView::~CRegexEditView() {
  std::vector<CRegexEditView*>& views = AllPatternViews();
  views.erase(std::remove(views.begin(), views.end(), this), views.end());
}

QFont CRegexEditView::LoadPatternFont() {
  CSavedFont font(QLatin1String(CSavedFont::kRegex));
  font.Load();
  return font.Font();
}

void CRegexEditView::ApplyFont() {
  CQuietChange quiet(this);
  setFont(LoadPatternFont());
}

void CRegexEditView::OnInitialUpdate() {
  ApplyFont();
  m_bInitialized = true;
  OnUpdate(nullptr, ~0);
  // The first text is not something the user can undo.
  CQuietChange quiet(this);
  document()->clearUndoRedoStacks();
}

// ---------------------------------------------------------------------------------------------
// Updates

void CRegexEditView::OnUpdate(CDocView* sender, int hint) {
  if (m_bCommitting || !m_pDoc) return;
  const int handled = HINT_RECOLOR_PATTERN | HINT_CURRENT_ELEMENT | HINT_PATTERN_REPLACED | HINT_FONTS | HINT_MODE |
                      HINT_COUNTERS;
  if (!(hint & handled)) return;
  const bool optimize = m_pDoc->GetMode() == MODE_OPTIMIZE;
  bool painted = false;
  if (hint & HINT_PATTERN_REPLACED) {
    const std::vector<unsigned short>& p = m_pDoc->GetPattern();
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(p.data()), static_cast<qsizetype>(p.size()));
    if (text != GetBoxText()) {
      SetBoxText(text, true);
      m_styles.assign(text.size(), PatternCharStyle());
    }
  }
  if (hint & HINT_FONTS) ApplyFont();
  if (hint & HINT_RECOLOR_PATTERN) {
    PaintAll();
    painted = true;
  }
  if (hint & HINT_CURRENT_ELEMENT) SelectCurrentElement();
  if (hint & HINT_MODE) {
    if (optimize) {
      SetBackground(m_styles, m_nHighlightStart, m_nHighlightEnd, PatternCharStyle::AUTO);
      m_nHighlightStart = m_nHighlightEnd = -1;
    } else if (!painted) {
      PaintAll();
      painted = true;
    }
  }
  if (optimize && (hint & (HINT_COUNTERS | HINT_MODE))) PaintHeatMap();
  if ((hint & HINT_PATTERN_REPLACED) && !painted && !(optimize && (hint & (HINT_COUNTERS | HINT_MODE)))) PaintAll();
}

void CRegexEditView::SelectCurrentElement() {
  // The document's current element becomes the selection; the yellow background goes, since
  // the selection itself shows the element now.
  CQuietChange quiet(this);
  int length = document()->characterCount() - 1;
  int s = qBound(0, m_pDoc->GetCurrentSpanStart(), length);
  int e = qBound(s, m_pDoc->GetCurrentSpanEnd(), length);
  if (m_pDoc->GetCurrentElement()) {
    QTextCursor c(document());
    c.setPosition(s);
    c.setPosition(e, QTextCursor::KeepAnchor);
    setTextCursor(c);
  }
  std::vector<PatternCharStyle> styles = m_styles;
  int mode = m_pDoc->GetMode();
  if (mode != MODE_OPTIMIZE && mode != MODE_TRACE) SetBackground(styles, m_nHighlightStart, m_nHighlightEnd, PatternCharStyle::AUTO);
  m_nHighlightStart = m_nHighlightEnd = -1;
  ApplyStyles(styles);
}

// ---------------------------------------------------------------------------------------------
// Edit to recompile

void CRegexEditView::CommitEdit() {
  if (!m_pDoc) return;
  std::vector<unsigned short> text = GetBoxTextU16();
  m_bCommitting = true;
  m_pDoc->SetPattern(text.data(), static_cast<int>(text.size()), true);
  m_pDoc->Notify(this, HINT_RECOLOR_PATTERN);
  m_bCommitting = false;
  // This box is one of "all views" for the recolouring; it paints itself directly.
  PaintAll();
  m_bCommitting = true;
  m_pDoc->Notify(this, HINT_RECOMPILED | HINT_TEXT_HIGHLIGHTS | HINT_RESULTS | HINT_RECOLOR_REPLACE_TO |
                           HINT_REPLACE_RESULT | HINT_SPLIT_ROWS);
  m_bCommitting = false;
  HandleSelectionChange();
}

void CRegexEditView::OnUserTextChanged(int position, int removed, int added) {
  // Keep the colours with the characters they belong to until the recompile: removed
  // characters take their styles with them, inserted ones inherit the style before them (as
  // typed text takes the format of its left neighbour).
  int n = static_cast<int>(m_styles.size());
  int p = qBound(0, position, n);
  int r = qBound(0, removed, n - p);
  m_styles.erase(m_styles.begin() + p, m_styles.begin() + p + r);
  PatternCharStyle inherit = p > 0 ? m_styles[p - 1] : (p < static_cast<int>(m_styles.size()) ? m_styles[p] : PatternCharStyle());
  m_styles.insert(m_styles.begin() + p, qMax(0, added), inherit);
  int length = qMax(0, document()->characterCount() - 1);
  m_styles.resize(length);
  auto shift = [&](int& v) {
    if (v < 0) return;
    if (v >= position + removed) v += added - removed;
    else if (v > position) v = position;
  };
  shift(m_nHighlightStart);
  shift(m_nHighlightEnd);
}

void CRegexEditView::OnUserSelectionChanged() { HandleSelectionChange(); }

void CRegexEditView::HandleSelectionChange() {
  if (!m_pDoc) return;
  QTextCursor c = textCursor();
  m_pDoc->SelectPatternRange(c.selectionStart(), c.selectionEnd());
  int s = 0, e = 0;
  if (m_pDoc->GetCurrentElement()) {
    s = m_pDoc->GetCurrentSpanStart();
    e = m_pDoc->GetCurrentSpanEnd();
  }
  if (s == m_nHighlightStart && e == m_nHighlightEnd) return;
  const int mode = m_pDoc->GetMode();
  std::vector<PatternCharStyle> styles = m_styles;
  if (mode != MODE_OPTIMIZE && mode != MODE_TRACE) {
    SetBackground(styles, m_nHighlightStart, m_nHighlightEnd, PatternCharStyle::AUTO);
    const HostElement* cur = m_pDoc->GetCurrentElement();
    if (!m_pDoc->IsOnlyCurrentNode() && cur && cur->m_nKind != ELEMENT_EMPTY) SetBackground(styles, s, e, kCurrentBack);
  }
  m_nHighlightStart = s;
  m_nHighlightEnd = e;
  ApplyStyles(styles);
  AnnounceCurrentElement(m_pDoc, this);
  // The greying of "Only current node" follows the new current element here too.
  if (m_pDoc->IsOnlyCurrentNode()) PaintAll();
}

void CRegexEditView::mouseDoubleClickEvent(QMouseEvent* event) {
  CRichEdit2WView::mouseDoubleClickEvent(event);
  if (!m_pDoc || !m_pDoc->GetCurrentElement()) return;
  int length = document()->characterCount() - 1;
  int s = qBound(0, m_pDoc->GetCurrentSpanStart(), length);
  int e = qBound(s, m_pDoc->GetCurrentSpanEnd(), length);
  QTextCursor c(document());
  c.setPosition(s);
  c.setPosition(e, QTextCursor::KeepAnchor);
  setTextCursor(c);
}

// ---------------------------------------------------------------------------------------------
// Colouring

QTextCharFormat CRegexEditView::FormatFor(const PatternCharStyle& s, const QPalette& palette) {
  QTextCharFormat f;
  const bool dark = IsDarkPalette(palette);
  QColor back;
  if (s.back != PatternCharStyle::AUTO) {
    back = s.heat ? QColor::fromRgb(HeatColorFor(255 - qGreen(s.back), dark)) : ViewBackColor(s.back, palette);
    f.setBackground(back);
  }
  if (s.text != PatternCharStyle::AUTO || back.isValid()) {
    QColor text = s.text != PatternCharStyle::AUTO ? ViewTextColor(s.text, palette) : palette.color(QPalette::Text);
    // On a heat colour (either palette) and on any background of a dark palette the text gives
    // way until it can be read; the light palette's other pairs are drawn as they are.
    if (back.isValid() && (dark || s.heat)) text = ReadableTextColor(text, back);
    if (s.text != PatternCharStyle::AUTO || text != palette.color(QPalette::Text)) f.setForeground(text);
  }
  if (s.underline == PatternCharStyle::UNDER_WAVE) {
    f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    f.setUnderlineColor(QColor::fromRgb(kErrorUnderline));
  } else if (s.underline == PatternCharStyle::UNDER_FAIL) {
    f.setUnderlineStyle(QTextCharFormat::DashUnderline);
    f.setUnderlineColor(QColor::fromRgb(kFailUnderline));
  } else if (s.underline == PatternCharStyle::UNDER_BACKTRACK) {
    f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    f.setUnderlineColor(QColor::fromRgb(kBacktrackUnderline));
  } else if (s.underline == PatternCharStyle::UNDER_FLAVOUR) {
    f.setUnderlineStyle(QTextCharFormat::DotLine);
    f.setUnderlineColor(QColor::fromRgb(kFlavourUnderline));
  } else if (s.underline == PatternCharStyle::UNDER_BREAK) {
    f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    f.setUnderlineColor(QColor::fromRgb(kBreakUnderline));
    f.setFontWeight(QFont::Bold);
  }
  return f;
}

void CRegexEditView::changeEvent(QEvent* event) {
  CRichEdit2WView::changeEvent(event);
  // The styles hold light-palette colours; what is drawn follows the palette of the moment.
  if (event->type() == QEvent::PaletteChange && m_pHighlighter) m_pHighlighter->rehighlight();
}

PatternCharStyle CRegexEditView::StyleAt(int position) const {
  if (position < 0 || position >= static_cast<int>(m_styles.size())) return PatternCharStyle();
  return m_styles[position];
}

void CRegexEditView::SetBackground(std::vector<PatternCharStyle>& styles, int start, int end, QRgb back, bool heat) const {
  int n = static_cast<int>(styles.size());
  start = qBound(0, start, n);
  end = qBound(start, end, n);
  for (int i = start; i < end; ++i) {
    styles[i].back = back;
    styles[i].heat = heat && back != PatternCharStyle::AUTO;
  }
}

void CRegexEditView::SetText(std::vector<PatternCharStyle>& styles, int start, int end, QRgb text) const {
  int n = static_cast<int>(styles.size());
  start = qBound(0, start, n);
  end = qBound(start, end, n);
  for (int i = start; i < end; ++i) styles[i].text = text;
}

void CRegexEditView::PaintElement(std::vector<PatternCharStyle>& styles, const ElementRecord* root) const {
  // Parents before children, children in order: a child overwrites its parent's colour.
  const int n = static_cast<int>(styles.size());
  std::vector<const ElementRecord*> stack;
  if (root) stack.push_back(root);
  while (!stack.empty()) {
    const ElementRecord* r = stack.back();
    stack.pop_back();
    if (!r->element || r->type == ZEL_NONE) continue;  // an empty handle
    int s, e;
    RecordRange(r, n, &s, &e);
    QRgb color;
    if (ElementTextColor(r->type, &color)) SetText(styles, s, e, color);
    if (r->element->m_nError != 0)
      for (int i = s; i < e; ++i) styles[i].underline = PatternCharStyle::UNDER_WAVE;
    for (auto it = r->children.rbegin(); it != r->children.rend(); ++it) stack.push_back(*it);
  }
}

void CRegexEditView::PaintComments(std::vector<PatternCharStyle>& styles, const QString& text) const {
  const HostRegexp& re = CommentPattern((m_pDoc->GetFlags() & EXTENDED) != 0);
  const unsigned short* p = reinterpret_cast<const unsigned short*>(text.utf16());
  const int n = static_cast<int>(text.size());
  HostContext ctx;
  if (!re.PrepareMatch(p, n, -1, &ctx)) return;
  auto green = [&](int s, int e) {
    s = qBound(0, s, n);
    e = qBound(s, e, n);
    for (int i = s; i < e; ++i) {
      styles[i].text = kCommentText;
      styles[i].underline = PatternCharStyle::UNDER_NONE;
    }
  };
  for (int guard = 0; guard <= n + 1; ++guard) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    int s = m.GetStart(), e = m.GetEnd();
    if (s < 0 || s >= n) {
      if (e <= s) break;
      continue;
    }
    if (p[s] != '\\') {
      green(s, e);  // inline comment, white space or # comment
    } else if (s + 1 < n && (p[s + 1] == 'Q' || p[s + 1] == 'L' || p[s + 1] == 'U')) {
      green(s, s + 2);
    }
    if (e - s >= 2 && e <= n && p[e - 2] == '\\' && p[e - 1] == 'E') green(e - 2, e);
  }
}

void CRegexEditView::PaintAll() {
  if (!m_pDoc) return;
  const QString text = toPlainText();
  const int n = static_cast<int>(text.size());
  std::vector<PatternCharStyle> styles(n);
  const CElementTree& records = m_pDoc->GetRecords();
  const ElementRecord* root = records.Root();
  const int mode = m_pDoc->GetMode();
  const HostElement* cur = m_pDoc->GetCurrentElement();

  if (!m_pDoc->IsOnlyCurrentNode()) {
    PaintElement(styles, root);
  } else {
    SetText(styles, 0, n, kOnlyNodeGrey);
    PaintElement(styles, cur ? records.Lookup(cur) : nullptr);
  }
  // The fail element: light orange under an orange-red dash (the current element's yellow and
  // the trace colours, painted after it, take precedence for the background).
  if (m_pDoc->ShowsFailPoint()) {
    const ElementRecord* f = records.Lookup(m_pDoc->GetFailPoint().failElement);
    if (f) {
      int s, e;
      RecordRange(f, n, &s, &e);
      SetBackground(styles, s, e, kFailBack);
      for (int i = s; i < e; ++i)
        if (styles[i].underline == PatternCharStyle::UNDER_NONE) styles[i].underline = PatternCharStyle::UNDER_FAIL;
    }
  }
  // The repeats the backtracking analysis holds responsible: an orange wave, a warning that a
  // compile error's red wave and the fail dash keep precedence over.
  for (const std::pair<int, int>& r : m_pDoc->GetBacktrackSpans()) {
    const int s = qBound(0, r.first, n), e = qBound(s, r.second, n);
    for (int i = s; i < e; ++i)
      if (styles[i].underline == PatternCharStyle::UNDER_NONE) styles[i].underline = PatternCharStyle::UNDER_BACKTRACK;
  }
  m_nHighlightStart = m_nHighlightEnd = -1;
  if (mode != MODE_OPTIMIZE && mode != MODE_TRACE) {
    if (cur && cur->m_nKind != ELEMENT_EMPTY) {
      int s = qBound(0, m_pDoc->GetCurrentSpanStart(), n);
      int e = qBound(s, m_pDoc->GetCurrentSpanEnd(), n);
      if (!m_pDoc->IsOnlyCurrentNode()) SetBackground(styles, s, e, kCurrentBack);
      m_nHighlightStart = m_pDoc->GetCurrentSpanStart();
      m_nHighlightEnd = m_pDoc->GetCurrentSpanEnd();
    } else {
      m_nHighlightStart = m_nHighlightEnd = 0;
    }
  }
  int caretTo = -1;
  // The traced element, while a search is paused on it (a running one rewrites the record).
  const TraceStep* step = mode == MODE_TRACE ? m_pDoc->PausedTraceStep() : nullptr;
  if (step) {
    if (step->element && step->element->m_nKind != ELEMENT_EMPTY) {
      const ElementRecord* r = records.Lookup(step->element);
      int s = r ? r->offset : step->element->m_nStart;
      int e = r ? r->offset + r->length : step->element->m_nEnd;
      s = qBound(0, s, n);
      e = qBound(s, e, n);
      QRgb back = step->outcome == 1 ? kTraceMatched : step->outcome == -1 ? kTraceRetryFailed : kTraceFailed;
      SetBackground(styles, s, e, back);
      caretTo = s;
    }
  }
  // Breakpoints: a dark red underline and bold over the element's span (errors keep their wave).
  if (const CDebugStops* stops = m_pDoc->Debugger().GetStops()) {
    for (const Breakpoint& b : stops->List()) {
      const int s = qBound(0, b.start, n);
      const int e = qBound(s, b.end, n);
      for (int i = s; i < e; ++i)
        if (styles[i].underline != PatternCharStyle::UNDER_WAVE) styles[i].underline = PatternCharStyle::UNDER_BREAK;
    }
  }
  // What the chosen flavours read otherwise, while the Flavours pane is shown; every other mark
  // keeps precedence.
  for (const FlavourNote& note : ShownFlavourNotes(*m_pDoc)) {
    const int s = qBound(0, note.start, n), e = qBound(s, note.start + note.length, n);
    for (int i = s; i < e; ++i)
      if (styles[i].underline == PatternCharStyle::UNDER_NONE) styles[i].underline = PatternCharStyle::UNDER_FLAVOUR;
  }
  // What the compiler did not take in.
  int rootEnd = root ? root->offset + root->length : 0;
  if (rootEnd < 0) rootEnd = 0;
  for (int i = rootEnd; i < n; ++i) {
    styles[i].text = kTailText;
    styles[i].underline = PatternCharStyle::UNDER_WAVE;
  }
  PaintComments(styles, text);
  if (mode == MODE_OPTIMIZE) {
    long long top = LargestExecutionCount(*m_pDoc, root);
    if (top >= 2) {
      std::vector<const ElementRecord*> stack;
      if (root) stack.push_back(root);
      while (!stack.empty()) {
        const ElementRecord* r = stack.back();
        stack.pop_back();
        if (r->element) {
          int s, e;
          RecordRange(r, n, &s, &e);
          int k = PatternHeat(ExecutionCount(*m_pDoc, r), top);
          SetBackground(styles, s, e, k < 0 ? PatternCharStyle::AUTO : HeatColor(k), true);
        }
        for (auto it = r->children.rbegin(); it != r->children.rend(); ++it) stack.push_back(*it);
      }
    }
  }
  ApplyStyles(styles);
  if (caretTo >= 0) {
    CQuietChange quiet(this);
    QTextCursor c = textCursor();
    c.setPosition(caretTo);
    setTextCursor(c);
  }
}

void CRegexEditView::PaintHeatMap() {
  // The heat map is part of every repaint in optimize mode; with N < 2 that repaint is the
  // plain colouring.
  PaintAll();
}

void CRegexEditView::ApplyStyles(const std::vector<PatternCharStyle>& styles) {
  CQuietChange quiet(this);
  std::vector<PatternCharStyle> old;
  old.swap(m_styles);
  m_styles = styles;
  const int n = static_cast<int>(m_styles.size());
  const int oldN = static_cast<int>(old.size());
  const PatternCharStyle plain;
  int relayout = 0;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    const int s = b.position();
    const int e = s + b.length() - 1;  // without the block separator
    bool changed = false;
    for (int i = s; i < e && !changed; ++i) {
      const PatternCharStyle& a = i < oldN ? old[i] : plain;
      const PatternCharStyle& z = i < n ? m_styles[i] : plain;
      changed = a != z;
    }
    if (changed) {
      m_pHighlighter->rehighlightBlock(b);
      ++relayout;
    }
  }
  m_nLastRelayout = relayout;
}

// ---------------------------------------------------------------------------------------------
// Commands, files, context menu

bool CRegexEditView::HandlesCommand(int id) const {
  return id == ID_EDIT_OPEN_TEXT || id == ID_EDIT_SAVE_CONTENT || CRichEdit2WView::HandlesCommand(id);
}

bool CRegexEditView::IsCommandEnabled(int id) const {
  if (id == ID_EDIT_SAVE_CONTENT) return true;
  return CRichEdit2WView::IsCommandEnabled(id);
}

bool CRegexEditView::DoCommand(int id) {
  if (id == ID_EDIT_SAVE_CONTENT) {
    OnSaveAs();
    return true;
  }
  return CRichEdit2WView::DoCommand(id);
}

void CRegexEditView::OnSaveAs() {
  QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(IDS_FILTER_SAVE_PATTERN));
  QString selected = filters.value(0);
  QString path = QFileDialog::getSaveFileName(this, QString(), QString(), filters.join(QLatin1String(";;")), &selected);
  if (path.isEmpty()) return;
  static const QStringList ext = {QStringLiteral(".txt"), QStringLiteral(".rws"), QStringLiteral(".txt")};
  path = AddDefaultExtension(path, filters.indexOf(selected) + 1, ext);
  SaveBoxAs(path);
}

bool CRegexEditView::SaveBoxAs(const QString& path) {
  QString reason;
  if (SaveTextFile(path, GetBoxText(), &reason)) return true;
  if (!reason.isEmpty() && m_pDoc) m_pDoc->ReportWriteFailure(path, reason);
  return false;
}

int CRegexEditView::ContextMenuTemplate() const { return kPatternContextMenu; }

QString CRegexEditView::ToolTipAt(const QPoint& viewportPos) const {
  CKorvaneDoc* doc = GetDocument();
  if (!doc || IsEditPending()) return QString();
  QTextCursor at = cursorForPosition(viewportPos);
  // The cursor lands between characters: the character under the mouse is the one before it
  // when the mouse is left of the cursor.
  int pos = at.position();
  if (cursorRect(at).left() > viewportPos.x()) --pos;
  const QRect line = cursorRect(at);
  if (viewportPos.y() < line.top() || viewportPos.y() > line.bottom()) return QString();
  const int length = static_cast<int>(doc->GetPattern().size());
  if (pos < 0 || pos >= length) return QString();
  const QString explanation = ElementExplanation(*doc, doc->GetRecords().FindInnermost(pos, pos + 1));
  // What the chosen flavours make of the construct under the mouse, above what it means here.
  QStringList flavours;
  for (const FlavourNote& note : ShownFlavourNotes(*doc)) {
    if (pos < note.start || pos >= note.start + note.length) continue;
    flavours << NoteSummary(note.row, doc->Flavours().Chosen());
  }
  if (flavours.isEmpty()) return explanation;
  return flavours.join(QLatin1Char('\n')) + (explanation.isEmpty() ? QString() : QStringLiteral("\n\n") + explanation);
}

std::vector<FlavourNote> ShownFlavourNotes(const CKorvaneDoc& doc) {
  const CFlavourSession& session = doc.Flavours();
  if (!session.IsPaneOpen() || session.Chosen().isEmpty()) return {};
  // The pattern box, the tree and the diagram each ask at every notification (the diagram at
  // every step of a search): the notes of the newest pattern, options and choice are kept. Keyed
  // by what they are made of, so any document may ask. UI thread only, as every view.
  struct Kept {
    std::vector<unsigned short> pattern;
    int flags = -1;
    QStringList chosen;
    std::vector<FlavourNote> shown;
  };
  static Kept kept;
  const std::vector<unsigned short>& p = doc.GetPattern();
  if (kept.flags == doc.GetFlags() && kept.chosen == session.Chosen() && kept.pattern == p) return kept.shown;
  kept.shown.clear();
  for (const FlavourNote& note : NotesForPattern(std::u16string(p.begin(), p.end()), doc.GetFlags()))
    if (!NoteText(note.row, session.Chosen()).isEmpty()) kept.shown.push_back(note);
  kept.pattern = p;
  kept.flags = doc.GetFlags();
  kept.chosen = session.Chosen();
  return kept.shown;
}

bool CRegexEditView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), text, viewport());
    return true;
  }
  return CRichEdit2WView::viewportEvent(event);
}
