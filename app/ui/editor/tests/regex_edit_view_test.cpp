// The pattern box: edit to recompile (once, after the delay), undo untouched by colouring,
// the element colour table, error and tail underlines, comment colouring, the current element,
// "Only current node", the heat map and the fail-point mark.
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <memory>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/regex_edit_view.h"
#include "editor_test_util.h"
#include "platform/file_io.h"

Q_DECLARE_METATYPE(QRgb)

class RegexEditViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestUi> ui;
  std::unique_ptr<CKorvaneDoc> doc;
  std::unique_ptr<CRegexEditView> view;
  HintRecorder recorder;

  QRgb TextAt(int i) const { return view->StyleAt(i).text; }
  QRgb BackAt(int i) const { return view->StyleAt(i).back; }
  int UnderAt(int i) const { return view->StyleAt(i).underline; }
  // The positions in [0, n) whose underline is `kind`, as "s-e" runs.
  QString Runs(int kind) const {
    QString out;
    const int n = static_cast<int>(view->Styles().size());
    for (int i = 0; i < n;) {
      if (UnderAt(i) != kind) {
        ++i;
        continue;
      }
      int j = i;
      while (j < n && UnderAt(j) == kind) ++j;
      out += QStringLiteral("%1%2-%3").arg(out.isEmpty() ? "" : " ").arg(i).arg(j);
      i = j;
    }
    return out;
  }
  void Type(const QString& text) { QTest::keyClicks(view.get(), text); }
  void WaitForCommit() {
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsEditPending(), 10000);
  }

 private slots:
  void init() {
    ui = std::make_unique<TestUi>();
    doc = std::make_unique<CKorvaneDoc>(ui.get());
    ui->doc = doc.get();
    // The background fail-point search would mark elements at a time of its own; the tests that
    // want it switch it back on.
    doc->OnCommand(CMD_LOCATE_FAIL_POINT);
    view = std::make_unique<CRegexEditView>(doc.get());
    view->resize(400, 120);
    recorder.hints.clear();
    doc->AddView(&recorder);
  }
  void cleanup() {
    doc->RemoveView(&recorder);
    view.reset();
    doc.reset();
    ui.reset();
  }

  // ---- edit to recompile --------------------------------------------------------------------

  void typingQuicklyRecompilesOnceAfterTheLastKey() {
    view->show();
    Type(QStringLiteral("a(b)c"));
    // Nothing reaches the document while the keys come in.
    QCOMPARE(PatternText(doc.get()), QString());
    QVERIFY(view->IsEditPending());
    QCOMPARE(recorder.Count(HINT_RECOMPILED), 0);
    WaitForCommit();
    QCOMPARE(PatternText(doc.get()), QStringLiteral("a(b)c"));
    QCOMPARE(recorder.Count(HINT_RECOMPILED), 1);
    // The recompile is announced with the documented hints: HINT_RECOLOR_PATTERN, then HINTS_PATTERN_EDITED.
    auto it = std::find(recorder.hints.begin(), recorder.hints.end(), HINTS_PATTERN_EDITED);
    QVERIFY(it != recorder.hints.end() && it != recorder.hints.begin());
    QCOMPARE(*(it - 1), int(HINT_RECOLOR_PATTERN));
    // No second hand-over later on.
    QTest::qWait(2 * CRichEdit2WView::kEditDelayMs + 100);
    QCOMPARE(recorder.Count(HINT_RECOMPILED), 1);
    QVERIFY(doc->IsModified());
  }

  void theTimerWaitsWhileAnotherViewHoldsTheToken() {
    HintRecorder other;
    doc->AddView(&other);
    QVERIFY(!doc->TakeEditingToken(&other));  // queued ...
    QVERIFY(doc->TakeEditingToken(&other));   // ... and now held
    Type(QStringLiteral("xy"));
    QTest::qWait(3 * CRichEdit2WView::kEditDelayMs);
    QCOMPARE(PatternText(doc.get()), QString());
    QVERIFY(view->IsEditPending());
    doc->ReleaseEditingToken(&other);
    WaitForCommit();
    QCOMPARE(PatternText(doc.get()), QStringLiteral("xy"));
    doc->RemoveView(&other);
  }

  void undoAfterARecompileUndoesTheTypedCharactersOnly() {
    Type(QStringLiteral("(a+)"));
    WaitForCommit();
    QVERIFY(view->Styles().size() == 4);
    QCOMPARE(TextAt(0), qRgb(80, 80, 255));  // coloured by the recompile
    const int steps = view->document()->availableUndoSteps();
    // Repainting adds nothing to the undo history and does not mark the text modified.
    view->document()->setModified(false);
    view->PaintAll();
    view->OnUpdate(nullptr, HINT_RECOLOR_PATTERN | HINT_CURRENT_ELEMENT);
    QCOMPARE(view->document()->availableUndoSteps(), steps);
    QVERIFY(!view->document()->isModified());
    QVERIFY(!view->IsEditPending());
    // Typing is undone a word at a time: "a+)" began a step of its own after "(".
    view->undo();
    QCOMPARE(view->toPlainText(), QStringLiteral("("));
    view->undo();

    QCOMPARE(view->toPlainText(), QString());
    QVERIFY(!view->document()->isUndoAvailable());
  }

  void colouringNeverRecompiles() {
    LoadPattern(doc.get(), QStringLiteral("a|b"));
    recorder.hints.clear();
    for (int hint : {int(HINT_RECOLOR_PATTERN), int(HINT_CURRENT_ELEMENT), int(HINT_MODE), int(HINT_FONTS)})
      doc->UpdateAllViews(nullptr, hint);
    QVERIFY(!view->IsEditPending());
    QCOMPARE(recorder.Count(HINT_RECOMPILED), 0);
    QCOMPARE(PatternText(doc.get()), QStringLiteral("a|b"));
  }

  void replacedPatternTextIsNotAnEdit() {
    LoadPattern(doc.get(), QStringLiteral("ab+"));
    QCOMPARE(view->toPlainText(), QStringLiteral("ab+"));
    QVERIFY(!view->IsEditPending());
    QVERIFY(!view->document()->isUndoAvailable());
    QVERIFY(!doc->IsModified());
    QCOMPARE(TextAt(2), qRgb(224, 112, 0));
  }

  // ---- placeholder ---------------------------------------------------------------------------

  void placeholderShowsWithoutFocusAndTheDocumentSeesAnEmptyPattern() {
    QVERIFY(view->IsPlaceholderShown());
    QCOMPARE(view->placeholderText(), CStringTable::Str(323));
    QCOMPARE(view->GetBoxText(), QString());
    QCOMPARE(view->palette().color(QPalette::PlaceholderText), QColor(187, 187, 170));
    view->show();
    view->activateWindow();
    view->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(view.get()));
    QTRY_VERIFY(view->hasFocus());
    QVERIFY(!view->IsPlaceholderShown());
    QCOMPARE(view->placeholderText(), QString());
    QCOMPARE(PatternText(doc.get()), QString());
    QVERIFY(!view->IsEditPending());
  }

  // ---- element colours ---------------------------------------------------------------------

  void elementColours_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("position");
    QTest::addColumn<QRgb>("color");
    QTest::newRow("alternative bar") << "a|b" << 1 << qRgb(80, 80, 255);
    QTest::newRow("literal in alternative") << "a|b" << 0 << qRgb(0, 0, 0);
    QTest::newRow("capture bracket") << "(a)" << 0 << qRgb(80, 80, 255);
    QTest::newRow("capture content") << "(a)" << 1 << qRgb(0, 0, 0);
    QTest::newRow("non-capture bracket") << "(?:a)" << 0 << qRgb(144, 144, 153);
    QTest::newRow("look-ahead") << "(?=a)" << 0 << qRgb(144, 144, 153);
    QTest::newRow("independent") << "(?>a)" << 0 << qRgb(144, 144, 153);
    QTest::newRow("greedy quantifier") << "a+" << 1 << qRgb(224, 112, 0);
    QTest::newRow("reluctant quantifier") << "a*?" << 2 << qRgb(224, 112, 0);
    QTest::newRow("possessive quantifier") << "a++" << 2 << qRgb(224, 112, 0);
    QTest::newRow("fixed repeat") << "a{3}" << 2 << qRgb(224, 112, 0);
    QTest::newRow("character class") << "[a-z]" << 2 << qRgb(144, 0, 80);
    QTest::newRow("POSIX class") << "[[:alpha:]]" << 3 << qRgb(144, 0, 80);
    QTest::newRow("boundary") << "\\bx" << 1 << qRgb(255, 0, 255);
    QTest::newRow("back-reference") << "(a)\\1" << 4 << qRgb(255, 0, 255);
    QTest::newRow("mode modifier") << "(?i)a" << 1 << qRgb(128, 0, 0);
  }
  void elementColours() {
    QFETCH(QString, pattern);
    QFETCH(int, position);
    QFETCH(QRgb, color);
    LoadPattern(doc.get(), pattern);
    QCOMPARE(view->toPlainText(), pattern);
    QCOMPARE(QString::number(TextAt(position), 16), QString::number(color, 16));
  }

  // ---- underlines ----------------------------------------------------------------------------

  void errorUnderlineSpans_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("waves");
    QTest::newRow("clean pattern") << "a(b)c" << "";
    QTest::newRow("unclosed class") << "x[ab" << "1-4";
    QTest::newRow("unclosed quantifier brace") << "ba{2" << "1-4";
  }
  void errorUnderlineSpans() {
    QFETCH(QString, pattern);
    QFETCH(QString, waves);
    LoadPattern(doc.get(), pattern);
    QCOMPARE(Runs(PatternCharStyle::UNDER_WAVE), waves);
  }

  void uncompiledTailIsGreyAndWavy() {
    LoadPattern(doc.get(), QStringLiteral("ab)cd"));
    const ElementRecord* root = doc->GetRecords().Root();
    QVERIFY(root);
    const int end = root->offset + root->length;
    QVERIFY2(end < 5, "the compiler stops at the stray closing parenthesis");
    for (int i = end; i < 5; ++i) {
      QCOMPARE(TextAt(i), qRgb(160, 160, 160));
      QCOMPARE(UnderAt(i), int(PatternCharStyle::UNDER_WAVE));
    }
    QCOMPARE(UnderAt(0), int(PatternCharStyle::UNDER_NONE));
  }

  // ---- comments ------------------------------------------------------------------------------

  void commentColouring_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QString>("green");  // one character per position: g green, . not green
    QTest::newRow("extended # comment") << "a#no\nb" << true << ".gggg.";
    QTest::newRow("extended white space") << "a b" << true << ".g.";
    QTest::newRow("# is literal when not extended") << "a#no" << false << "....";
    QTest::newRow("escaped hash is no comment") << "a\\#b" << true << "....";
    QTest::newRow("inline comment") << "a(?#x)b" << false << ".ggggg.";
    QTest::newRow("quoted block marks") << "\\Qa.\\Eb" << false << "gg..gg.";
    QTest::newRow("escaped parenthesis starts no comment") << "\\(?#x)" << false << "......";
  }
  void commentColouring() {
    QFETCH(QString, pattern);
    QFETCH(bool, extended);
    QFETCH(QString, green);
    if (extended) doc->OnCommand(CMD_EXTENDED);
    LoadPattern(doc.get(), pattern);
    QString got;
    for (int i = 0; i < pattern.size(); ++i) got += TextAt(i) == qRgb(0, 128, 0) ? 'g' : '.';
    QCOMPARE(got, green);
    for (int i = 0; i < pattern.size(); ++i)
      if (got[i] == 'g') QCOMPARE(UnderAt(i), int(PatternCharStyle::UNDER_NONE));
  }

  // ---- current element -----------------------------------------------------------------------

  void currentElementFollowsTheCaret() {
    LoadPattern(doc.get(), QStringLiteral("ab(cd)e"));
    recorder.hints.clear();
    QTextCursor c = view->textCursor();
    c.setPosition(4);  // inside "cd"
    view->setTextCursor(c);
    const HostElement* cur = doc->GetCurrentElement();
    QVERIFY(cur);
    const int s = doc->GetCurrentSpanStart(), e = doc->GetCurrentSpanEnd();
    QVERIFY(s <= 3 && e >= 4);
    QCOMPARE(view->HighlightStart(), s);
    QCOMPARE(view->HighlightEnd(), e);
    for (int i = s; i < e; ++i) QCOMPARE(BackAt(i), CRegexEditView::kCurrentBack);
    QVERIFY(BackAt(0) != CRegexEditView::kCurrentBack);
    QVERIFY(recorder.Count(HINT_CURRENT_ELEMENT) >= 1);
    // Moving to the other end drops the old yellow.
    c.setPosition(1);
    view->setTextCursor(c);
    QVERIFY(doc->GetCurrentSpanStart() < 2);
    QVERIFY(BackAt(4) != CRegexEditView::kCurrentBack);
  }

  void currentElementFromTheDocumentSelectsItsText() {
    LoadPattern(doc.get(), QStringLiteral("x(yz)w"));
    const ElementRecord* root = doc->GetRecords().Root();
    const ElementRecord* group = nullptr;
    for (const ElementRecord* r : doc->GetRecords().OffsetList())
      if (r->type == ZEL_CAPTURE_GROUP) group = r;
    QVERIFY(root && group);
    doc->SetCurrentElement(group->element);
    doc->Notify(nullptr, HINT_CURRENT_ELEMENT);
    QCOMPARE(view->textCursor().selectionStart(), group->offset);
    QCOMPARE(view->textCursor().selectionEnd(), group->offset + group->length);
    QVERIFY(!view->IsEditPending());
  }

  void onlyCurrentNodeGreysTheRest() {
    LoadPattern(doc.get(), QStringLiteral("a+(b|c)"));
    QTextCursor c = view->textCursor();
    c.setPosition(5);  // "b|c"
    view->setTextCursor(c);
    doc->OnCommand(CMD_ONLY_CURRENT_NODE);
    QVERIFY(doc->IsOnlyCurrentNode());
    QCOMPARE(TextAt(1), CRegexEditView::kOnlyNodeGrey);  // '+' is outside the current node
    QCOMPARE(TextAt(0), CRegexEditView::kOnlyNodeGrey);
    const int s = doc->GetCurrentSpanStart();
    QVERIFY(s >= 2);
    QVERIFY(TextAt(4) != CRegexEditView::kOnlyNodeGrey);  // the bar inside keeps its colour
    // No yellow while only the current node is shown.
    for (int i = 0; i < 7; ++i) QVERIFY(BackAt(i) != CRegexEditView::kCurrentBack);
  }

  // ---- heat map ------------------------------------------------------------------------------

  void heatValues_data() {
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("k");
    QTest::newRow("c 10 of N 10") << 10 << 10 << 56;
    QTest::newRow("once keeps the plain background") << 1 << 10 << -1;
    QTest::newRow("never") << 0 << 10 << -1;
    QTest::newRow("large N scales by log10 N") << 1000000 << 1000000 << 255;
    QTest::newRow("c 100 of N 100000") << 100 << 100000 << 102;
  }
  void heatValues() {
    QFETCH(int, c);
    QFETCH(int, n);
    QFETCH(int, k);
    QCOMPARE(PatternHeat(c, n), k);
  }

  void optimizeModePaintsTheHeatMap() {
    LoadPattern(doc.get(), QStringLiteral("ab|c"));
    // Give the elements counts as a search would: the root ran 10 times, "ab" 10 times, 'c' once.
    const HostRegexp& re = doc->GetCompiled();
    for (int i = 0; i < re.GetElementCount(); ++i)
      for (int& c : re.GetElement(i)->m_nCounters) c = 0;
    const CElementTree& records = doc->GetRecords();
    const ElementRecord* root = records.Root();
    QVERIFY(root && root->type == ZEL_ALTERNATIVE && root->children.size() == 2);
    root->element->m_nCounters[0] = 4;
    root->element->m_nCounters[1] = 6;
    root->children[0]->element->m_nCounters[0] = 10;
    root->children[1]->element->m_nCounters[0] = 1;
    doc->SetMode(MODE_OPTIMIZE);
    // The bar belongs to the root only: k = 56 for c = 10, N = 10.
    QCOMPARE(BackAt(2), HeatColor(56));
    QCOMPARE(BackAt(3), QRgb(PatternCharStyle::AUTO));  // 'c' ran once
    QVERIFY(view->StyleAt(2).heat && !view->StyleAt(3).heat);  // drawn as heat in either palette
    root->element->m_nCounters[0] = root->element->m_nCounters[1] = 0;
    root->children[0]->element->m_nCounters[0] = 0;
    doc->Notify(nullptr, HINT_COUNTERS);
    QCOMPARE(BackAt(2), QRgb(PatternCharStyle::AUTO));  // N < 2: plain colours
  }

  // ---- trace ---------------------------------------------------------------------------------

  void traceStepIsColouredByItsOutcome() {
    LoadPattern(doc.get(), QStringLiteral("a(b)c"));
    LoadSubject(doc.get(), QStringLiteral("abc"));
    doc->SetMode(MODE_TRACE);
    doc->OnCommand(CMD_STEP_MATCH);
    QVERIFY(ui->PumpUntil([&] { return doc->IsPaused(); }));
    const TraceStep& step = doc->GetTraceStep();
    QVERIFY(step.element);
    const ElementRecord* r = doc->GetRecords().Lookup(step.element);
    QVERIFY(r);
    const QRgb expected = step.outcome == 1    ? CRegexEditView::kTraceMatched
                          : step.outcome == -1 ? CRegexEditView::kTraceRetryFailed
                                               : CRegexEditView::kTraceFailed;
    QCOMPARE(BackAt(r->offset), expected);
    QCOMPARE(view->textCursor().position(), r->offset);
    // No yellow current element in trace mode.
    for (int i = 0; i < 5; ++i) QVERIFY(BackAt(i) != CRegexEditView::kCurrentBack);
    // Steps move the colour along the pattern.
    const int first = r->offset;
    int moved = -1;
    for (int k = 0; k < 10 && moved < 0; ++k) {
      doc->OnCommand(CMD_STEP_MATCH);
      if (!ui->PumpUntil([&] { return doc->IsPaused() || !doc->IsJobActive(); })) break;
      if (!doc->IsJobActive()) break;
      const ElementRecord* now = doc->GetRecords().Lookup(doc->GetTraceStep().element);
      if (now && now->offset != first) moved = now->offset;
    }
    QVERIFY(moved > first);
    QVERIFY(BackAt(moved) == CRegexEditView::kTraceMatched || BackAt(moved) == CRegexEditView::kTraceFailed ||
            BackAt(moved) == CRegexEditView::kTraceRetryFailed);
  }

  // ---- fail point ----------------------------------------------------------------------------

  void failElementIsMarkedWhileTheDocumentShowsTheFailPoint() {
    doc->OnCommand(CMD_LOCATE_FAIL_POINT);
    LoadPattern(doc.get(), QStringLiteral("abc"));
    LoadSubject(doc.get(), QStringLiteral("abx"));
    // The mark appears once the background result is presented (a posted command).
    auto marked = [&] {
      if (!doc->ShowsFailPoint()) return false;
      const ElementRecord* f = doc->GetRecords().Lookup(doc->GetFailPoint().failElement);
      if (!f) return false;
      for (int i = f->offset; i < f->offset + f->length; ++i)
        if (UnderAt(i) == PatternCharStyle::UNDER_FAIL && BackAt(i) == CRegexEditView::kFailBack) return true;
      return false;
    };
    QVERIFY(ui->PumpUntil(marked));
    // An edit of the subject that lets the pattern match takes the mark away.
    LoadSubject(doc.get(), QStringLiteral("xabc"));
    doc->Notify(nullptr, HINT_RECOLOR_PATTERN);
    QVERIFY(ui->PumpUntil([&] { return Runs(PatternCharStyle::UNDER_FAIL).isEmpty(); }));
  }

  // ---- files ---------------------------------------------------------------------------------

  void saveAsWritesThePatternText() {
    LoadPattern(doc.get(), QStringLiteral("a\nb"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.txt"));
    QVERIFY(view->SaveBoxAs(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("a\r\nb"));
    f.close();
    QVERIFY(ui->Boxes().empty());
    // A write that fails leaves the file and says which file and why.
    LoadPattern(doc.get(), QStringLiteral("changed"));
    CFileFaultPlan plan;
    plan.failFlush = true;
    CFileIo::SetFaultPlan(&plan);
    const bool saved = view->SaveBoxAs(path);
    CFileIo::SetFaultPlan(nullptr);
    QVERIFY(!saved);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("a\r\nb"));
    QCOMPARE(ui->Boxes().size(), size_t(1));
    const QString box = QString::fromStdString(ui->Boxes()[0].text);
    QVERIFY2(box.contains(QDir::toNativeSeparators(path)) && box.contains(qt_error_string(ENOSPC)), qPrintable(box));
  }

  // ---- the flavours' marks -------------------------------------------------------------------

  // While the Flavours pane is shown, a construct that a chosen flavour reads otherwise gets
  // violet dots and a tool tip line of what each such flavour does; with the pane hidden, or
  // when no chosen flavour differs there, nothing.
  void flavourMarksFollowThePaneAndTheChoice() {
    view->show();
    LoadPattern(doc.get(), QStringLiteral("a\\Zb"));
    doc->Flavours().SetChosen({QStringLiteral("python"), QStringLiteral("js")});
    QCOMPARE(Runs(PatternCharStyle::UNDER_FLAVOUR), QString());  // the pane is hidden
    doc->Flavours().SetPaneOpen(true);
    QCOMPARE(Runs(PatternCharStyle::UNDER_FLAVOUR), QStringLiteral("1-3"));
    // The tool tip over the backslash: the flavours' line above the element's explanation.
    QTextCursor c(view->document());
    c.setPosition(1);
    const int left = view->cursorRect(c).left();
    c.setPosition(2);
    const QRect next = view->cursorRect(c);
    const QString tip = view->ToolTipAt(QPoint((left + next.left()) / 2, next.center().y()));
    QVERIFY2(tip.startsWith(QStringLiteral("\\Z: JavaScript: the letter Z; Python: end of text only")), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("\n\n")), qPrintable(tip));
    // PCRE2 reads \Z as Korvane does: no mark.
    doc->Flavours().SetChosen({QStringLiteral("pcre2")});
    QCOMPARE(Runs(PatternCharStyle::UNDER_FLAVOUR), QString());
    doc->Flavours().SetChosen({QStringLiteral("js")});
    QCOMPARE(Runs(PatternCharStyle::UNDER_FLAVOUR), QStringLiteral("1-3"));
    doc->Flavours().SetPaneOpen(false);
    QCOMPARE(Runs(PatternCharStyle::UNDER_FLAVOUR), QString());
  }
};

KORVANE_EDITOR_TEST_MAIN(RegexEditViewTest)
#include "regex_edit_view_test.moc"
