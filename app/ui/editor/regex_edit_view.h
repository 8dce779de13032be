// CRegexEditView: the pattern box. Hands every edit to the document 350 ms after the last
// keystroke and paints the pattern from the compiled element records: each element in the
// colour of its kind, errors with a red wave, the text the compiler did not take in grey with a
// wave, comments and quoting green (found by the two comment patterns, compiled once with our
// own engine), the current element yellow, "Only current node" greying, the trace step, the
// optimize-mode heat map, and the fail element (orange-red dash underline plus a light orange
// background) while the document shows a fail point.
//
// Colours live in a per-character style array painted by a QSyntaxHighlighter: they never
// enter the undo history, never mark the text modified and never look like an edit. A repaint
// rebuilds the array from the records (linear in the pattern) and re-lays out only the blocks
// whose styles changed; typing shifts the array with the text, so the colours of the rest stay
// put until the recompile.
//
// Covered by app/ui/editor/tests/regex_edit_view_test.cpp.
#ifndef KORVANE_REGEX_EDIT_VIEW_H
#define KORVANE_REGEX_EDIT_VIEW_H

#include <QFont>
#include <QPalette>
#include <QRgb>
#include <QTextCharFormat>
#include <vector>

#include "app/document/pattern/flavour_notes.h"
#include "app/ui/editor/rich_edit_view.h"

class CPatternHighlighter;
struct ElementRecord;

// The look of one character of the pattern box.
struct PatternCharStyle {
  enum { AUTO = 0xFFFFFFFFu };
  enum Underline : unsigned char {
    UNDER_NONE = 0, UNDER_WAVE = 1, UNDER_FAIL = 2, UNDER_BACKTRACK = 3, UNDER_BREAK = 4, UNDER_FLAVOUR = 5 };
  QRgb text = AUTO;
  QRgb back = AUTO;
  unsigned char underline = UNDER_NONE;
  bool heat = false;  // `back` is a heat colour of the optimize mode
  bool operator==(const PatternCharStyle& o) const {
    return text == o.text && back == o.back && underline == o.underline && heat == o.heat;
  }
  bool operator!=(const PatternCharStyle& o) const { return !(*this == o); }
};

class CRegexEditView : public CRichEdit2WView {
  Q_OBJECT

 public:
  explicit CRegexEditView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CRegexEditView() override;

  void OnUpdate(CDocView* sender, int hint) override;
  // The initial update: font, undo, full update (all hint bits), empty undo history.
  void OnInitialUpdate();

  bool HandlesCommand(int id) const override;
  bool IsCommandEnabled(int id) const override;
  bool DoCommand(int id) override;
  void OnSaveAs();
  // Writes the box's text to `path` (a ".rws" path saves the workspace instead); a write that
  // fails is reported through the document, with the file and the system's reason.
  bool SaveBoxAs(const QString& path);

  // --- colouring (public for the frame, the benchmarks and the tests) ---
  // Repaints all colours from the document (hint 2).
  void PaintAll();
  // Paints the optimize-mode heat map (repaints all colours instead when N < 2).
  void PaintHeatMap();
  // The current style of every character.
  const std::vector<PatternCharStyle>& Styles() const { return m_styles; }
  PatternCharStyle StyleAt(int position) const;
  // The character format a style is drawn with in `palette`: the style's light-palette colours
  // or their dark variants, text on heat (and on any dark background) made readable.
  static QTextCharFormat FormatFor(const PatternCharStyle& s, const QPalette& palette);
  // The remembered range of the yellow current-element background.
  int HighlightStart() const { return m_nHighlightStart; }
  int HighlightEnd() const { return m_nHighlightEnd; }
  // How many blocks the last repaint re-laid out (for the benchmark and tests).
  int LastRelayoutBlocks() const { return m_nLastRelayout; }

  // The pattern box of a document (the most recently created one), or null. The tree and the
  // group list give the focus back to it and act on it from their context menus.
  static CRegexEditView* ForDocument(const CKorvaneDoc* doc);
  // The tool tip at a point of the viewport: the sentence of the innermost element written at
  // the character under it; empty between lines, past the text, or while an edit waits to be
  // compiled (the elements then belong to an older text).
  QString ToolTipAt(const QPoint& viewportPos) const;

  // The font from the "korvane_regex" setting.
  static QFont LoadPatternFont();

  // Colours (RGB) of the pattern box.
  static constexpr QRgb kCurrentBack = 0xFFFFFF00u;   // yellow
  static constexpr QRgb kCommentText = 0xFF008000u;   // green
  static constexpr QRgb kTailText = 0xFFA0A0A0u;      // uncompiled tail
  static constexpr QRgb kOnlyNodeGrey = 0xFFC0C0C0u;  // "Only current node" greying
  static constexpr QRgb kTraceMatched = 0xFF88FF88u;
  static constexpr QRgb kTraceRetryFailed = 0xFFCCCCCCu;
  static constexpr QRgb kTraceFailed = 0xFFFF8888u;
  static constexpr QRgb kFailBack = 0xFFFFD8B0u;      // fail element: light orange background
  static constexpr QRgb kBacktrackUnderline = 0xFFE07000u;  // repeat that backtracks badly: orange wave
  static constexpr QRgb kFailUnderline = 0xFFFF4000u; // ... and an orange-red dash underline
  static constexpr QRgb kErrorUnderline = 0xFFFF0000u;
  static constexpr QRgb kBreakUnderline = 0xFFB00000u;  // a breakpoint: dark red, thick
  // A construct a chosen flavour reads otherwise (while the Flavours pane is shown): violet dots.
  static constexpr QRgb kFlavourUnderline = 0xFF8040C0u;

 protected:
  void CommitEdit() override;
  void OnUserSelectionChanged() override;
  void OnUserTextChanged(int position, int removed, int added) override;
  int ContextMenuTemplate() const override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  friend class CPatternHighlighter;
  void HandleSelectionChange();
  void SelectCurrentElement();
  void ApplyStyles(const std::vector<PatternCharStyle>& styles);
  void PaintElement(std::vector<PatternCharStyle>& styles, const ElementRecord* root) const;
  void PaintComments(std::vector<PatternCharStyle>& styles, const QString& text) const;
  void SetBackground(std::vector<PatternCharStyle>& styles, int start, int end, QRgb back, bool heat = false) const;
  void SetText(std::vector<PatternCharStyle>& styles, int start, int end, QRgb text) const;
  void ApplyFont();

  CPatternHighlighter* m_pHighlighter;  // owned by this view's QTextDocument
  std::vector<PatternCharStyle> m_styles;
  int m_nHighlightStart = 0;  // the yellow background's range
  int m_nHighlightEnd = 0;
  int m_nLastRelayout = 0;
  bool m_bCommitting = false;  // this view is handing its text to the document
  bool m_bInitialized = false;
};

// The constructs of the document's pattern that one of the chosen flavours reads otherwise
// (flavour_notes.h), while the Flavours pane is open (seen, or a tab behind another); none
// while it is closed or nothing is chosen.
std::vector<FlavourNote> ShownFlavourNotes(const CKorvaneDoc& doc);

#endif
