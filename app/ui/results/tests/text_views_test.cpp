// The three result boxes: highlights painted only in the visible window and capped, repainted
// after scrolling settles; the current match, the start point, the trace step; the user's
// selection selecting the match or the gap in the document; Set Start Point; the replace-to
// token colouring; the read-only replace result box with its placeholder and its selections
// traced back to the match and the replace-to token.
#include <QClipboard>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QScrollBar>
#include <QtTest>

#include "app/ui/editor/item_look.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/shared/frame_services.h"
#include "app/ui/results/replace_result_edit_view.h"
#include "app/ui/results/replace_to_edit_view.h"
#include "app/ui/results/replace_trace.h"
#include "app/document/debugger/debug_session.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "app/ui/results/text_edit_view.h"
#include "resources/korvane_ids.h"

namespace {

// Lines of 79 characters and a line feed, with "abc" at the start of every line.
QString LongText(int lines) {
  QString line = QStringLiteral("abc") + QString(76, QLatin1Char('.')) + QLatin1Char('\n');
  QString text;
  text.reserve(line.size() * lines);
  for (int i = 0; i < lines; ++i) text += line;
  return text;
}

int CountKind(const std::vector<HighlightSpan>& spans, int kind) {
  int n = 0;
  for (const HighlightSpan& s : spans) n += s.kind == kind;
  return n;
}

bool AllInside(const std::vector<HighlightSpan>& spans, TextWindow w) {
  for (const HighlightSpan& s : spans)
    if (s.start < w.start || s.end > w.end || s.start >= s.end) return false;
  return true;
}

// A text whose every character tells where it is: digits that count through 0-9, so that a
// character dropped or doubled at a fold shows in a comparison.
QString Counting(int length) {
  QString text(length, QLatin1Char('0'));
  for (int i = 0; i < length; ++i) text[i] = QLatin1Char(char('0' + i % 10));
  return text;
}

QString BoxSelection(QPlainTextEdit* box) {
  return box->textCursor().selectedText().remove(QChar(QChar::ParagraphSeparator));
}

// Thresholds lowered for one test; restored when it ends, also when it fails.
struct LimitsForTest {
  LimitsForTest(int foldAt, int noWrapBlocks, int fillChunk) {
    CRichEdit2WView::SetLargeTextLimitsForTest(foldAt, noWrapBlocks, fillChunk);
  }
  ~LimitsForTest() { CRichEdit2WView::SetLargeTextLimitsForTest(0, 0, 0); }
};

void SelectRange(QPlainTextEdit* box, int start, int end) {
  QTextCursor c(box->document());
  c.setPosition(start);
  c.setPosition(end, QTextCursor::KeepAnchor);
  box->setTextCursor(c);
}

}  // namespace

class TextViewsTest : public QObject {
  Q_OBJECT
 private slots:
  void windowRule_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::newRow("short text: all of it") << 0 << 50 << 100 << 0 << 100;
    QTest::newRow("middle of a long text: +-2000") << 50000 << 51000 << 1000000 << 48000 << 53001;
    QTest::newRow("capped at 10000 from the start") << 50000 << 70000 << 1000000 << 48000 << 58000;
    QTest::newRow("near the end: clamped") << 999500 << 999999 << 1000000 << 997500 << 1000000;
    QTest::newRow("empty text") << 0 << 0 << 0 << 0 << 0;
  }
  void windowRule() {
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, length);
    QFETCH(int, start);
    QFETCH(int, end);
    TextWindow w = highlight::WindowAround(first, last, length);
    QCOMPARE(w.start, start);
    QCOMPARE(w.end, end);
  }

  void sortedSpansClipToTheWindow() {
    std::vector<std::pair<int, int>> spans = {{0, 5}, {8, 12}, {12, 12}, {15, 30}, {40, 41}};
    std::vector<HighlightSpan> out;
    highlight::AddSortedSpans(spans, TextWindow{10, 20}, HL_MATCH, &out);
    std::vector<HighlightSpan> expected = {{10, 12, HL_MATCH}, {15, 20, HL_MATCH}};
    QVERIFY(out == expected);
  }

  void highlightsOnlyInTheVisibleWindow() {
    DocFixture f;
    CTextEditView view(f.doc.get());
    view.resize(500, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int lines = 2500;  // 200 000 characters, 2 500 matches
    f.Set(QStringLiteral("abc"), LongText(lines));
    f.FindAll();
    QCOMPARE(f.doc->RealMatchCount(), lines);
    TextWindow w = view.VisibleWindow();
    QCOMPARE(w.start, 0);
    QVERIFY(w.end - w.start <= highlight::kMaxWindowLength);
    QVERIFY(w.end < 20000);
    const std::vector<HighlightSpan>& painted = view.PaintedSpans();
    QVERIFY(AllInside(painted, w));
    // Every match of the window, and none beyond it.
    int expected = 0;
    for (int line = 0; line < lines; ++line)
      if (line * 80 < w.end) ++expected;
    QCOMPARE(CountKind(painted, HL_MATCH), expected);

    // Scroll to the middle: nothing is repainted at once, the throttle timer does it.
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
    QVERIFY(view.IsScrollRepaintPending());
    QTRY_VERIFY(!view.IsScrollRepaintPending());
    TextWindow w2 = view.VisibleWindow();
    QVERIFY(w2.start > 50000);
    QVERIFY(AllInside(view.PaintedSpans(), w2));
    QVERIFY(CountKind(view.PaintedSpans(), HL_MATCH) > 0);
    QVERIFY(view.extraSelections().size() == static_cast<int>(view.PaintedSpans().size()));
  }

  void dropsOfSpansAreCapped() {
    // One match per character: the window's 10 000 characters give at most 10 000 spans.
    DocFixture f;
    CTextEditView view(f.doc.get());
    view.resize(2000, 1500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QString text;
    for (int i = 0; i < 400; ++i) text += QString(99, QLatin1Char('a')) + QLatin1Char('\n');
    f.Set(QStringLiteral("a"), text);
    f.FindAll();
    TextWindow w = view.VisibleWindow();
    QCOMPARE(w.end - w.start, highlight::kMaxWindowLength);
    QVERIFY(static_cast<int>(view.PaintedSpans().size()) <= highlight::kMaxSpans);
    QVERIFY(CountKind(view.PaintedSpans(), HL_MATCH) >= 9000);
    QVERIFY(AllInside(view.PaintedSpans(), w));
  }

  void currentMatchAndStartPoint() {
    DocFixture f;
    CTextEditView view(f.doc.get());
    f.Set(QStringLiteral("b+"), QStringLiteral("a bb ccc bbb"));
    SelectRange(&view, 3, 3);
    view.DoCommand(ID_MATCH_SET_START_POINT);
    QCOMPARE(f.doc->GetStartPoint(), 3);
    f.doc->OnCommand(CMD_FIND);
    // The search starts at 3: the first match is "b" at 3, shown yellow and selected.
    QCOMPARE(f.doc->GetCurrentResult()->result.GetStart(), 3);
    std::vector<HighlightSpan> expected = {{3, 4, HL_MATCH}, {0, 3, HL_BEFORE_START}, {3, 4, HL_CURRENT}};
    QVERIFY(view.PaintedSpans() == expected);
    QCOMPARE(view.textCursor().selectionStart(), 3);
    QCOMPARE(view.textCursor().selectionEnd(), 4);
  }

  // The highlights keep their kinds and are drawn in the dark variants under a dark palette,
  // readable under its text, and in the light colours again when the palette goes back.
  void highlightsFollowThePalette() {
    const QPalette light = QApplication::palette();
    DocFixture f;
    CTextEditView view(f.doc.get());
    f.Set(QStringLiteral("b+"), QStringLiteral("a bb ccc bbb"));
    f.doc->OnCommand(CMD_FIND);
    auto backOf = [&view](int kind) {
      const std::vector<HighlightSpan>& spans = view.PaintedSpans();
      const QList<QTextEdit::ExtraSelection> sel = view.extraSelections();
      for (size_t i = 0; i < spans.size() && i < static_cast<size_t>(sel.size()); ++i)
        if (spans[i].kind == kind) return sel[static_cast<int>(i)].format.background().color();
      return QColor();
    };
    QCOMPARE(backOf(HL_MATCH), QColor(187, 255, 255));
    QCOMPARE(backOf(HL_CURRENT), QColor(255, 255, 0));
    const QPalette dark = StandardDarkPalette();
    QApplication::setPalette(dark);
    QTRY_COMPARE(backOf(HL_MATCH), ViewBackColor(qRgb(187, 255, 255), dark));
    for (int kind : {HL_MATCH, HL_CURRENT})
      QVERIFY2(ContrastRatio(dark.color(QPalette::Text), backOf(kind)) >= 4.5, qPrintable(backOf(kind).name()));
    QVERIFY(backOf(HL_CURRENT) != backOf(HL_MATCH));
    QApplication::setPalette(light);
    QTRY_COMPARE(backOf(HL_MATCH), QColor(187, 255, 255));
  }

  void setStartPoint_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("expected");
    QTest::newRow("caret at 0 clears") << 0 << 0 << -1;
    QTest::newRow("caret inside") << 4 << 4 << 4;
    QTest::newRow("selection inside: its start") << 2 << 5 << 2;
    QTest::newRow("selection from 0 clears") << 0 << 3 << -1;
    QTest::newRow("caret at the end clears") << 10 << 10 << -1;
    QTest::newRow("selection to the end clears") << 5 << 10 << -1;
  }
  void setStartPoint() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, expected);
    DocFixture f;
    CTextEditView view(f.doc.get());
    f.Set(QStringLiteral("x"), QStringLiteral("0123456789"));
    f.doc->SetStartPoint(6);
    SelectRange(&view, start, end);
    view.DoCommand(ID_MATCH_SET_START_POINT);
    QCOMPARE(f.doc->GetStartPoint(), expected);
  }

  void selectionSelectsTheMatchOrTheGap_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("matched");
    QTest::addColumn<int>("sequence");
    // "xx ab yy ab zz": matches [3,5) and [9,11).
    QTest::newRow("inside the first match") << 3 << 4 << true << 0;
    QTest::newRow("the whole second match") << 9 << 11 << true << 10;
    QTest::newRow("before every match") << 0 << 1 << false << -5;
    QTest::newRow("between the matches") << 6 << 7 << false << 5;
    QTest::newRow("after the last match") << 12 << 13 << false << 15;
  }
  void selectionSelectsTheMatchOrTheGap() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, matched);
    QFETCH(int, sequence);
    DocFixture f;
    CTextEditView view(f.doc.get());
    RecordingView other;
    f.doc->AddView(&other);
    f.Set(QStringLiteral("ab"), QStringLiteral("xx ab yy ab zz"));
    f.FindAll();
    other.hints.clear();
    SelectRange(&view, start, end);
    MatchHandle last = f.doc->GetLastResult();
    QCOMPARE(last->result.IsMatched() != 0, matched);
    QCOMPARE(f.doc->LastResultSequence(), sequence);
    QVERIFY(!other.hints.empty());
    QCOMPARE(other.hints.back(), 0xC20);
    f.doc->RemoveView(&other);
  }

  void typingHandsTheTextOverOnce() {
    DocFixture f;
    CTextEditView view(f.doc.get());
    RecordingView other;
    f.doc->AddView(&other);
    view.show();
    view.setFocus();
    QTest::keyClicks(&view, QStringLiteral("hello"));
    QVERIFY(view.IsEditPending());
    QVERIFY(f.doc->GetSubjectText().empty());
    QTRY_VERIFY(!view.IsEditPending());
    QCOMPARE(QString(reinterpret_cast<const QChar*>(f.doc->GetSubjectText().data()),
                     static_cast<int>(f.doc->GetSubjectText().size())),
             QStringLiteral("hello"));
    int edits = 0;
    for (int h : other.hints) edits += h == HINTS_SUBJECT_EDITED;
    QCOMPARE(edits, 1);
    f.doc->RemoveView(&other);
  }

  // After a search has shown a match, typing resets the results; a later notice of results (the
  // fail-point check's, which follows every edit) must not select the old match under the
  // caret, where the next key would replace it.
  void typingAfterASearchKeepsTheCaret_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("after Find") << int(CMD_FIND);
    QTest::newRow("after Match All") << int(CMD_FIND_ALL);
  }
  void typingAfterASearchKeepsTheCaret() {
    QFETCH(int, command);
    DocFixture f;
    CTextEditView view(f.doc.get());
    view.show();
    view.setFocus();
    f.Set(QStringLiteral("b\\w+"), QStringLiteral("mail bob now"));
    f.doc->OnCommand(command);
    QCOMPARE(view.textCursor().selectedText(), QStringLiteral("bob"));
    QTextCursor end = view.textCursor();
    end.movePosition(QTextCursor::End);
    view.setTextCursor(end);
    QTest::keyClicks(&view, QStringLiteral(" x"));
    QTRY_VERIFY(!view.IsEditPending());
    f.doc->Notify(nullptr, HINTS_SEARCH_STEP);  // what the check's result sends
    QVERIFY(!view.textCursor().hasSelection());
    QTest::keyClicks(&view, QStringLiteral("y"));
    QCOMPARE(view.toPlainText(), QStringLiteral("mail bob now xy"));
  }

  void placeholderOfAnEmptyTextBox() {
    DocFixture f;
    CTextEditView view(f.doc.get());
    QCOMPARE(view.placeholderText(), CStringTable::Str(IDS_PLACEHOLDER_TEXT));
    QVERIFY(view.GetBoxText().isEmpty());
  }

  void traceStepIsPainted() {
    DocFixture f;
    CTextEditView view(f.doc.get());
    f.Set(QStringLiteral("ab"), QStringLiteral("xxab"));
    f.doc->OnCommand(CMD_STEP_MATCH);
    QVERIFY(f.doc->IsPaused());
    // Paused at the literal "ab" failing at 0: the attempt and the failed step are painted.
    const std::vector<HighlightSpan>& spans = view.PaintedSpans();
    QCOMPARE(CountKind(spans, HL_TRACE_ATTEMPT), 1);
    QCOMPARE(CountKind(spans, HL_TRACE_FAILED) + CountKind(spans, HL_TRACE_MATCHED) +
                 CountKind(spans, HL_TRACE_RETRY_FAILED),
             1);
    const TraceStep& step = f.doc->GetTraceStep();
    QCOMPARE(view.textCursor().position(), step.elementStart);
    // Stepping on to the match: the last step is painted as matched at 2.
    for (int i = 0; i < 10 && f.doc->IsPaused(); ++i) {
      if (f.doc->GetTraceStep().outcome == 1) break;
      f.doc->OnCommand(CMD_STEP_MATCH);
    }
    QVERIFY(f.doc->IsPaused());
    QCOMPARE(CountKind(view.PaintedSpans(), HL_TRACE_MATCHED), 1);
    f.doc->OnCommand(CMD_FIND);
    QVERIFY(!f.doc->IsPaused());
    QCOMPARE(CountKind(view.PaintedSpans(), HL_TRACE_MATCHED), 0);
  }

  void failPointIsMarked() {
    DocFixture f;
    CTextEditView view(f.doc.get());
    f.Set(QStringLiteral("abc"), QStringLiteral("xxabd"));
    f.doc->OnCommand(CMD_LOCATE_FAIL_POINT);  // on again: one background check runs
    // The background check posts its result to the main window; the headless one dispatches it
    // when pumped.
    QVERIFY(f.ui.PumpUntil([&] {
      return std::count(f.ui.posted.begin(), f.ui.posted.end(), int(CMD_BACKGROUND_RESULT)) > 0;
    }));
    f.ui.PumpEvents();
    QVERIFY(f.doc->ShowsFailPoint());
    QCOMPARE(CountKind(view.PaintedSpans(), HL_FAIL_POINT), 1);
  }

  // --- replace-to box ---
  void replaceToTokensAreColoured() {
    DocFixture f;
    CReplaceToEditView box(f.doc.get());
    f.SetPattern(QStringLiteral("(\\w)(\\d)"));
    f.SetReplaceTo(QStringLiteral("<$2-$1>$$"));
    std::vector<HighlightSpan> expected = {{1, 3, HL_REFERENCE}, {4, 6, HL_REFERENCE}, {7, 9, HL_REFERENCE}};
    QVERIFY(box.PaintedSpans() == expected);
    QCOMPARE(box.placeholderText(), CStringTable::Str(IDS_PLACEHOLDER_REPLACE_TO));
  }

  // --- replace result box ---
  void replaceResultIsReadOnlyWithPlaceholder() {
    DocFixture f;
    CReplaceResultEditView box(f.doc.get());
    box.show();
    QVERIFY(box.isReadOnly());
    QVERIFY(!box.isUndoRedoEnabled());
    QCOMPARE(box.placeholderText(), CStringTable::Str(IDS_PLACEHOLDER_REPLACE_RESULT));
    box.setFocus();
    QTest::keyClicks(&box, QStringLiteral("typed"));
    QVERIFY(box.toPlainText().isEmpty());
    QVERIFY(!box.IsEditPending());
    // With replacements it shows the replaced text, still not typeable.
    f.doc->OnCommand(CMD_MODE_REPLACE);
    f.Set(QStringLiteral("a"), QStringLiteral("xax"));
    f.SetReplaceTo(QStringLiteral("[$0]"));
    f.FindAll();
    QCOMPARE(box.toPlainText(), QStringLiteral("x[a]x"));
    QTest::keyClicks(&box, QStringLiteral("typed"));
    QCOMPARE(box.toPlainText(), QStringLiteral("x[a]x"));
    // Reset: no replacements, the box is empty again and its placeholder shows.
    f.doc->OnCommand(CMD_RESET_FIND);
    QVERIFY(box.toPlainText().isEmpty());
  }

  // A switch into Replace mode shows the replacements of the matches found in the mode before,
  // as the work pane creates the box then (not the placeholder until the next search).
  void replaceResultAfterASwitchIntoReplace_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("finds");  // single Finds, or 0 for Find All
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("current");  // spans of the current replacement painted
    // Match All ends on its first result, whose replacement is the current one.
    QTest::newRow("Match All in Match mode") << int(MODE_MATCH) << 0 << "x[a]x[a]" << 1;
    QTest::newRow("one Find in Match mode: the current replacement") << int(MODE_MATCH) << 1 << "x[a]xa" << 1;
    QTest::newRow("Match All in Split mode") << int(MODE_SPLIT) << 0 << "x[a]x[a]" << 1;
    QTest::newRow("nothing found yet: the placeholder") << int(MODE_MATCH) << -1 << "" << 0;
  }
  void replaceResultAfterASwitchIntoReplace() {
    QFETCH(int, from);
    QFETCH(int, finds);
    QFETCH(QString, shown);
    QFETCH(int, current);
    DocFixture f;
    f.doc->SetMode(from);
    f.Set(QStringLiteral("a"), QStringLiteral("xaxa"));
    f.SetReplaceTo(QStringLiteral("[$0]"));
    if (finds == 0) f.FindAll();
    for (int i = 0; i < finds; ++i) f.doc->OnCommand(CMD_FIND);
    f.doc->SetMode(MODE_REPLACE);
    CReplaceResultEditView box(f.doc.get());
    box.OnUpdate(nullptr, kInitialUpdateHint);
    box.resize(300, 100);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.toPlainText(), shown);
    QTRY_VERIFY(!box.IsScrollRepaintPending());
    QCOMPARE(CountKind(box.PaintedSpans(), HL_MATCH), finds == 0 ? 2 : finds < 0 ? 0 : finds);
    QCOMPARE(CountKind(box.PaintedSpans(), HL_CURRENT), current);
  }

  // A replaced text the box fills in chunks is built in an event after the change that asked for
  // it: until then the box is filling, and its text is still the whole replaced text when asked.
  // Should the subject change before the build without a rebuild, the box shows nothing rather
  // than pieces of the old result read from the new text, and the next rebuild shows the new one.
  void largeReplaceResultIsBuiltInALaterEvent() {
    LimitsForTest limits(1000, 1000, 16);
    DocFixture f;
    f.doc->SetMode(MODE_REPLACE);
    f.Set(QStringLiteral("\\d+"), QStringLiteral("a1 b22 c333 d4444 e55555 f666666"));
    f.SetReplaceTo(QStringLiteral("<$&>"));
    f.FindAll();
    CReplaceResultEditView box(f.doc.get());
    const QString expected = QStringLiteral("a<1> b<22> c<333> d<4444> e<55555> f<666666>");
    QVERIFY(box.IsFilling());
    QCOMPARE(box.GetBoxText(), expected);
    QCOMPARE(box.TextLength(), static_cast<int>(expected.size()));
    QTRY_VERIFY(!box.IsFilling());
    QCOMPARE(box.GetBoxText(), expected);
    QCOMPARE(box.toPlainText(), expected);

    // The subject is cut short while a build waits; the old segments reach past its end.
    f.SetReplaceTo(QStringLiteral("[$&]"));
    f.FindAll();
    QVERIFY(box.IsFilling());
    const unsigned short shortText[] = {'7'};
    f.doc->SetSubjectText(shortText, 1);
    QTRY_VERIFY(!box.IsFilling());
    QCOMPARE(box.GetBoxText(), QString());
    f.FindAll();
    QTRY_COMPARE(box.GetBoxText(), QStringLiteral("[7]"));
  }

  // A long replaced text is built a part at a time (parts of sixteen chunks) and comes out whole:
  // the parts meet where they should, and the string is cut to what was written.
  void largeReplaceResultIsBuiltInParts() {
    LimitsForTest limits(1000, 1000, 16);
    DocFixture f;
    f.doc->SetMode(MODE_REPLACE);
    QString subject, expected;
    for (int i = 0; i < 400; ++i) {
      subject += QStringLiteral("x%1\n").arg(i * 7);
      expected += QStringLiteral("x<%1>\n").arg(i * 7);
    }
    subject += QStringLiteral("tail");
    expected += QStringLiteral("tail");
    f.Set(QStringLiteral("\\d+"), subject);
    f.SetReplaceTo(QStringLiteral("<$&>"));
    f.FindAll();
    CReplaceResultEditView box(f.doc.get());
    QVERIFY(box.IsFilling());
    QTRY_VERIFY(!box.IsFilling());
    QCOMPARE(box.GetBoxText(), expected);
    QCOMPARE(box.toPlainText(), expected);
  }

  void replaceResultSelectionTracesToMatchAndToken_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("matchStart");
    QTest::addColumn<int>("tokenStart");
    QTest::addColumn<int>("tokenEnd");
    // "a1 b2" with (\w)(\d) -> "<$2-$1>" gives "<1-a> <2-b>".
    QTest::newRow("the 2 comes from $2 of the second match") << 7 << 3 << 1 << 3;
    QTest::newRow("the a comes from $1 of the first match") << 3 << 0 << 4 << 6;
    QTest::newRow("the < is literal text") << 6 << 3 << 0 << 1;
    QTest::newRow("the closing > of the first match") << 4 << 0 << 6 << 7;
  }
  void replaceResultSelectionTracesToMatchAndToken() {
    QFETCH(int, position);
    QFETCH(int, matchStart);
    QFETCH(int, tokenStart);
    QFETCH(int, tokenEnd);
    DocFixture f;
    CTextEditView text(f.doc.get());
    CReplaceToEditView replaceTo(f.doc.get());
    CReplaceResultEditView result(f.doc.get());
    f.doc->OnCommand(CMD_MODE_REPLACE);
    f.Set(QStringLiteral("(\\w)(\\d)"), QStringLiteral("a1 b2"));
    f.SetReplaceTo(QStringLiteral("<$2-$1>"));
    f.FindAll();
    QCOMPARE(result.toPlainText(), QStringLiteral("<1-a> <2-b>"));
    SelectRange(&result, position, position + 1);
    MatchHandle last = f.doc->GetLastResult();
    QVERIFY(last->result.IsMatched());
    QCOMPARE(last->result.GetStart(), matchStart);
    // The text box marks that match as the current one; the replace-to box selects the token.
    QCOMPARE(CountKind(text.PaintedSpans(), HL_CURRENT), 1);
    QCOMPARE(replaceTo.textCursor().selectionStart(), tokenStart);
    QCOMPARE(replaceTo.textCursor().selectionEnd(), tokenEnd);
    // The replacement itself is the current one in the result box.
    bool current = false;
    for (const HighlightSpan& s : result.PaintedSpans())
      if (s.kind == HL_CURRENT && s.start <= position && position < s.end) current = true;
    QVERIFY(current);
  }

  void selectionOutsideReplacementsIsAGap() {
    DocFixture f;
    CReplaceResultEditView result(f.doc.get());
    f.doc->OnCommand(CMD_MODE_REPLACE);
    f.Set(QStringLiteral("b"), QStringLiteral("abcb"));
    f.SetReplaceTo(QStringLiteral("XY"));
    f.FindAll();
    QCOMPARE(result.toPlainText(), QStringLiteral("aXYcXY"));
    SelectRange(&result, 3, 4);  // the "c"
    QVERIFY(!f.doc->GetLastResult()->result.IsMatched());
    QCOMPARE(f.doc->LastResultSequence(), 5);
    QCOMPARE(replace_trace::CurrentToken(f.doc.get()), -1);
  }

  void rebuildPaintsAroundTheNewestReplacement() {
    DocFixture f;
    CReplaceResultEditView result(f.doc.get());
    result.resize(400, 200);
    result.show();
    QVERIFY(QTest::qWaitForWindowExposed(&result));
    f.doc->OnCommand(CMD_MODE_REPLACE);
    f.Set(QStringLiteral("abc"), LongText(1000));
    f.SetReplaceTo(QStringLiteral("X"));
    f.FindAll();
    // Newest replacement: the last one, at 78 * 999.
    TextWindow w = result.RebuildWindow();
    const int lastStart = 78 * 999;
    QCOMPARE(w.start, lastStart - CReplaceResultEditView::kRebuildMargin);
    QCOMPARE(w.end, result.toPlainText().size());
    QVERIFY(AllInside(result.PaintedSpans(), w));
    QVERIFY(CountKind(result.PaintedSpans(), HL_MATCH) > 100);
    // 200 ms later the visible window is painted instead.
    QVERIFY(result.IsScrollRepaintPending());
    QTRY_VERIFY(!result.IsScrollRepaintPending());
    QVERIFY(AllInside(result.PaintedSpans(), result.VisibleWindow()));
  }

  // --- large texts ---
  // Long lines are shown folded: paragraphs of at most 8192 characters, the document's text
  // unchanged, positions mapped both ways around every fold.
  void foldingKeepsTheText_data() {
    const int k = CRichEdit2WView::kFoldAt, p = CRichEdit2WView::kFoldPiece;
    // Folds every `p` characters from `from`, while more than `p` characters of the line remain.
    auto every = [p](int from, int lineEnd) {
      QList<int> out;
      for (int at = from; lineEnd - at > p; at += p) out << at + p;
      return out;
    };
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("folds");
    QTest::newRow("as long as the threshold: not folded") << Counting(k) << QList<int>{};
    QTest::newRow("one more: folded in pieces") << Counting(k + 1) << every(0, k + 1);
    QTest::newRow("three thresholds and a bit") << Counting(3 * k + 5) << every(0, 3 * k + 5);
    QTest::newRow("a short line, then a long one")
        << QStringLiteral("abc\n") + Counting(2 * k + 1) + QStringLiteral("\nend") << every(4, 4 + 2 * k + 1);
    // A surrogate pair across a piece's end: the fold goes before the pair.
    QString pair = Counting(k + 10);
    pair[p - 1] = QChar(0xD83D);
    pair[p] = QChar(0xDE00);
    QTest::newRow("no fold inside a surrogate pair") << pair << QList<int>{p - 1} + every(p - 1, k + 10);
  }
  // The scan for line breaks crosses ordinary characters in blocks: a break, or a character that
  // the control turns into one, must be seen at every place in a line, and characters that are
  // not breaks (a no-break space, a letter outside ASCII) must not end the line.
  void foldsSeeEveryBreakAtEveryAlignment() {
    const int k = 10, p = 10, n = 45;
    auto every = [p](int from, int lineEnd) {
      std::vector<int> out;
      for (int at = from; lineEnd - at > p; at += p) out.push_back(at + p);
      return out;
    };
    const char16_t kBreaks[] = {u'\n', u'\r', 0x2028, 0x2029};
    const char16_t kOthers[] = {0x00A0, 0x00E9, 0x0009, 0x000E, 0x009F, 0x4E2D};
    for (int at = 0; at < n; ++at) {
      for (char16_t c : kBreaks) {
        QString text(n, QLatin1Char('x'));
        text[at] = QChar(c);
        std::vector<int> expected = every(0, at);
        const std::vector<int> after = every(at + 1, n);
        expected.insert(expected.end(), after.begin(), after.end());
        QVERIFY2(CRichEdit2WView::FoldPositions(text, k, p) == expected,
                 qPrintable(QStringLiteral("break %1 at %2").arg(int(c), 0, 16).arg(at)));
      }
      for (char16_t c : kOthers) {
        QString text(n, QLatin1Char('x'));
        text[at] = QChar(c);
        QVERIFY2(CRichEdit2WView::FoldPositions(text, k, p) == every(0, n),
                 qPrintable(QStringLiteral("character %1 at %2").arg(int(c), 0, 16).arg(at)));
      }
    }
  }
  void foldingKeepsTheText() {
    QFETCH(QString, text);
    QFETCH(QList<int>, folds);
    DocFixture f;
    CTextEditView view(f.doc.get());
    f.SetText(text);
    const std::vector<int> expected(folds.begin(), folds.end());
    QVERIFY(view.Folds() == expected);
    QVERIFY(CRichEdit2WView::FoldPositions(text, CRichEdit2WView::kFoldAt, CRichEdit2WView::kFoldPiece) == expected);
    QCOMPARE(view.GetBoxText(), text);
    QCOMPARE(view.TextLength(), static_cast<int>(text.size()));
    QCOMPARE(view.document()->blockCount(), static_cast<int>(text.count(QLatin1Char('\n')) + 1 + folds.size()));
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
      QVERIFY(b.length() - 1 <= (folds.isEmpty() ? CRichEdit2WView::kFoldAt : CRichEdit2WView::kFoldPiece));
    QCOMPARE(view.IsFolded(), !folds.isEmpty());
    QCOMPARE(view.isReadOnly(), !folds.isEmpty());
    // Around every fold: a start maps after the break, an end before it, and both come back.
    for (int i = 0; i < folds.size(); ++i) {
      const int at = folds[i];
      QCOMPARE(view.DocToBox(at), at + i + 1);
      QCOMPARE(view.DocToBox(at, true), at + i);
      QCOMPARE(view.DocToBox(at - 1), at - 1 + i);
      QCOMPARE(view.DocToBox(at + 1), at + 1 + i + 1);
      for (int p : {at - 1, at, at + 1}) {
        QCOMPARE(view.BoxToDoc(view.DocToBox(p)), p);
        QCOMPARE(view.BoxToDoc(view.DocToBox(p, true)), p);
      }
      // The box character after the break is the document's character at the fold.
      QCOMPARE(view.document()->characterAt(view.DocToBox(at)), text.at(at));
    }
  }

  // A match across a fold: the document's selection and the highlight land on its characters,
  // and a selection of the user across the fold reaches the document in its positions.
  void selectionAndHighlightsAcrossAFold() {
    const int k = CRichEdit2WView::kFoldPiece;
    DocFixture f;
    CTextEditView view(f.doc.get());
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QString text = QString(CRichEdit2WView::kFoldAt + 1, QLatin1Char('.'));
    const int start = k - 2;
    text.replace(start, 5, QStringLiteral("XYZVW"));
    f.Set(QStringLiteral("XYZVW"), text);
    QVERIFY(view.Folds().size() >= 2);
    QCOMPARE(view.Folds()[0], k);
    f.FindAll();
    QCOMPARE(f.doc->RealMatchCount(), 1);
    // Match All selects its first result: in the box, the five characters without the break.
    QCOMPARE(view.DocSelection(), std::make_pair(start, start + 5));
    QCOMPARE(BoxSelection(&view), QStringLiteral("XYZVW"));
    // The highlight: document positions in the spans, the same characters in the control.
    view.verticalScrollBar()->setValue(0);
    view.RepaintHighlights();
    bool found = false;
    for (int i = 0; i < static_cast<int>(view.PaintedSpans().size()); ++i) {
      const HighlightSpan& s = view.PaintedSpans()[i];
      if (s.start != start) continue;
      QCOMPARE(s.end, start + 5);
      const QTextCursor c = view.extraSelections().at(i).cursor;
      QCOMPARE(c.selectedText().remove(QChar(QChar::ParagraphSeparator)), QStringLiteral("XYZVW"));
      found = true;
    }
    QVERIFY(found);
    // The user selects "ZVW" after the fold: the document gets 2 positions after the fold.
    SelectRange(&view, view.DocToBox(k), view.DocToBox(k + 3, true));
    QCOMPARE(view.DocSelection(), std::make_pair(k, k + 3));
    view.setFocus();
    view.DoCommand(ID_EDIT_COPY);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("ZVW"));
  }

  // The note above a folded text; its link puts the real text back and the box is editable.
  void editAnywayUnfolds() {
    const int k = CRichEdit2WView::kFoldAt;
    DocFixture f;
    CTextEditView view(f.doc.get());
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QString text = Counting(2 * k + 100);
    f.SetText(text);
    QLabel* note = view.findChild<QLabel*>(QStringLiteral("fold-note"));
    QVERIFY(note);
    QVERIFY(note->isVisible());
    QVERIFY(note->text().contains(CStringTable::Str(IDS_FOLD_EDIT_ANYWAY)));
    QVERIFY(view.isReadOnly());
    QVERIFY(!view.IsCommandEnabled(ID_EDIT_PASTE));
    QVERIFY(view.IsCommandEnabled(ID_EDIT_OPEN_TEXT));  // another file may replace it
    SelectRange(&view, view.DocToBox(k + 1), view.DocToBox(k + 1));
    emit note->linkActivated(QStringLiteral("unfold"));
    QVERIFY(!view.IsFolded());
    QVERIFY(!note->isVisible());
    QVERIFY(!view.isReadOnly());
    QCOMPARE(view.document()->blockCount(), 1);
    QCOMPARE(view.GetBoxText(), text);
    QCOMPARE(view.textCursor().position(), k + 1);  // the caret stays on its character
    // Typing is an edit again, handed to the document; the box stays unfolded.
    view.setFocus();
    QTest::keyClicks(&view, QStringLiteral("ab"));
    QCOMPARE(view.GetBoxText(), text.left(k + 1) + QStringLiteral("ab") + text.mid(k + 1));
    QTRY_VERIFY(!view.IsEditPending());
    QCOMPARE(f.doc->GetSubjectText().size(), size_t(text.size() + 2));
    QVERIFY(!view.IsFolded());
    // The replace result box cannot be edited: its link only shows the text unfolded.
    CReplaceResultEditView result(f.doc.get());
    f.doc->OnCommand(CMD_MODE_REPLACE);
    f.Set(QStringLiteral("5"), text);
    f.SetReplaceTo(QStringLiteral("55"));
    f.FindAll();
    QVERIFY(result.IsFolded());
    QLabel* resultNote = result.findChild<QLabel*>(QStringLiteral("fold-note"));
    QVERIFY(resultNote);
    QVERIFY(resultNote->text().contains(CStringTable::Str(IDS_FOLD_SHOW_UNFOLDED)));
    const QString replaced = result.GetBoxText();
    QCOMPARE(replaced.size(), text.size() + text.count(QLatin1Char('5')));
    emit resultNote->linkActivated(QStringLiteral("unfold"));
    QVERIFY(!result.IsFolded());
    QVERIFY(result.isReadOnly());
    QCOMPARE(result.GetBoxText(), replaced);
  }

  // A large text goes in chunk by chunk: meanwhile the box is read-only and the document sees
  // the whole text; at the end every character is there once and the undo history is empty.
  void largeTextsAreFilledInChunks() {
    LimitsForTest limits(0, 0, 1000);
    DocFixture f;
    CTextEditView view(f.doc.get());
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // Short lines, a CR LF, a no-break space and a surrogate pair at a chunk's end: what the
    // document sees during the fill is what the control gives back after it.
    QString text;
    for (int i = 0; i < 400; ++i) text += QStringLiteral("line %1 ").arg(i, 5, 10, QLatin1Char('0')) + QLatin1Char('\n');
    text[999] = QChar(0xD83D);
    text[1000] = QChar(0xDE00);
    text.insert(2500, QStringLiteral("\r\n"));
    text.insert(3000, QChar(0x00A0));
    view.SetBoxText(text, false);
    QVERIFY(view.IsFilling());
    QVERIFY(view.isReadOnly());
    QVERIFY(view.document()->characterCount() - 1 < text.size());
    const QString during = view.GetBoxText();
    QCOMPARE(view.TextLength(), static_cast<int>(during.size()));
    QTRY_VERIFY(!view.IsFilling());
    QVERIFY(!view.isReadOnly());
    QCOMPARE(view.GetBoxText(), during);
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar(0x00A0), QLatin1Char(' '));
    QCOMPARE(during, normal);
    QVERIFY(!view.document()->isUndoAvailable());
    // Handed over by the document: the box shows the document's text, filled the same way,
    // and the document's selection set meanwhile is there at the end.
    f.Set(QStringLiteral("line 00399"), normal);
    QVERIFY(view.IsFilling());
    f.FindAll();
    QVERIFY(view.IsFilling());
    QVERIFY(view.extraSelections().isEmpty());
    QTRY_VERIFY(!view.IsFilling());
    const int at = static_cast<int>(normal.indexOf(QStringLiteral("line 00399")));
    QCOMPARE(view.DocSelection(), std::make_pair(at, at + 10));
    QCOMPARE(view.textCursor().selectedText(), QStringLiteral("line 00399"));
    // No highlights while the text went in; at the end the selected match is in view and painted.
    QVERIFY(view.VisibleWindow().start <= at && at + 10 <= view.VisibleWindow().end);
    QCOMPARE(CountKind(view.PaintedSpans(), HL_CURRENT), 1);
    QCOMPARE(view.extraSelections().size(), static_cast<int>(view.PaintedSpans().size()));
  }

  // Opening a large file: filled in chunks, handed to the document as the user's edit.
  void openingALargeFileHandsItOver() {
    LimitsForTest limits(0, 0, 500);
    DocFixture f;
    CTextEditView view(f.doc.get());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.txt"));
    const QString text = Counting(20000);
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(text.toLatin1());
    }
    QVERIFY(view.OpenTextFile(path));
    QVERIFY(view.IsFilling() || view.IsFolded());
    QVERIFY(view.IsEditPending());
    QTRY_VERIFY(!view.IsEditPending());
    QTRY_VERIFY(!view.IsFilling());
    const std::vector<unsigned short> want = DocFixture::U16Of(text);
    QVERIFY(f.doc->GetSubjectText() == want);
    QVERIFY(view.document()->isModified());
  }

  // Above the paragraph threshold the box does not wrap; below it, it wraps again.
  void noWrapAboveTheParagraphThreshold() {
    LimitsForTest limits(0, 50, 0);
    DocFixture f;
    CTextEditView view(f.doc.get());
    CReplaceToEditView replaceTo(f.doc.get());
    QCOMPARE(view.lineWrapMode(), QPlainTextEdit::WidgetWidth);
    f.SetText(LongText(60));
    QCOMPARE(view.lineWrapMode(), QPlainTextEdit::NoWrap);
    f.SetText(LongText(10));
    QCOMPARE(view.lineWrapMode(), QPlainTextEdit::WidgetWidth);
    // The replace-to box does not handle large texts: it wraps and never folds.
    f.SetReplaceTo(LongText(60) + Counting(3 * CRichEdit2WView::kFoldAt));
    QCOMPARE(replaceTo.lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QVERIFY(!replaceTo.IsFolded());
    QVERIFY(!replaceTo.IsFilling());
  }

  // One change of the replace result, one rebuild, however many notifications carry the hint.
  void replaceResultRebuildsOncePerChange() {
    DocFixture f;
    CReplaceResultEditView result(f.doc.get());
    f.doc->OnCommand(CMD_MODE_REPLACE);
    f.Set(QStringLiteral("b"), QStringLiteral("abcb"));
    f.SetReplaceTo(QStringLiteral("X"));
    const int before = result.RebuildCount();
    f.FindAll();
    QCOMPARE(result.toPlainText(), QStringLiteral("aXcX"));
    QCOMPARE(result.RebuildCount(), before + 1);
    f.doc->Notify(nullptr, HINT_REPLACE_RESULT);
    f.doc->Notify(nullptr, HINTS_SUBJECT_EDITED);
    QCOMPARE(result.RebuildCount(), before + 1);
    f.SetReplaceTo(QStringLiteral("YY"));
    f.FindAll();
    QCOMPARE(result.toPlainText(), QStringLiteral("aYYcYY"));
    QVERIFY(result.RebuildCount() > before + 1);
  }

  void pieceAtPosition_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("piece");
    // A segment at 10 with outputs of lengths 1, 0, 2, 1.
    QTest::newRow("before the segment") << 9 << -1;
    QTest::newRow("first piece") << 10 << 0;
    QTest::newRow("empty piece is skipped") << 11 << 2;
    QTest::newRow("inside the third") << 12 << 2;
    QTest::newRow("last piece") << 13 << 3;
    QTest::newRow("end of the segment: last non-empty piece") << 14 << 3;
    QTest::newRow("after the segment") << 15 << -1;
  }
  void pieceAtPosition() {
    QFETCH(int, position);
    QFETCH(int, piece);
    ReplaceSegment s;
    s.start = 10;
    s.length = 4;
    s.pieces = {{0, OutputPiece::FROM_REPLACE_TO, 1}, {0, OutputPiece::FROM_SUBJECT, 0},
                {0, OutputPiece::FROM_SUBJECT, 2}, {0, OutputPiece::FROM_REPLACE_TO, 1}};
    QCOMPARE(replace_trace::PieceAtPosition(s, s.pieces, position), piece);
  }
};

KORVANE_VIEW_TEST_MAIN(TextViewsTest)
#include "text_views_test.moc"
