// The Diagram pane with a pattern box and a structure tree on one document: a click on a box
// selects the element in the pattern box and the tree and the reverse, the redraw after a
// recompile, summary boxes opening on a click, the trace mark, the heat colours, zoom and fit,
// and the SVG and PNG exports (also to a place that cannot be written).
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <set>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/platform/profile.h"
#include "app/ui/panes/diagram/diagram_view.h"
#include "app/ui/editor/element_display.h"
#include "app/plugin_host/korvane_plugin.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/editor/tests/editor_test_util.h"

class DiagramViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestUi> ui;
  std::unique_ptr<CKorvaneDoc> doc;
  std::unique_ptr<CRegexEditView> edit;
  std::unique_ptr<CRegexTreeView> tree;
  std::unique_ptr<CDiagramPane> pane;

  // The box of the first record (pre-order) with that type whose source starts at `offset`.
  int BoxAtOffset(int type, int offset) const {
    const std::vector<DiagramBox>& boxes = pane->Layout().Boxes();
    for (size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i].record && boxes[i].type == type && boxes[i].record->offset == offset && boxes[i].shape != DIAGRAM_SUMMARY)
        return static_cast<int>(i);
    return -1;
  }
  void Click(const QPoint& at) { QTest::mouseClick(pane->Viewport(), Qt::LeftButton, Qt::NoModifier, at); }

 private slots:
  void init() {
    ui = std::make_unique<TestUi>();
    doc = std::make_unique<CKorvaneDoc>(ui.get());
    ui->doc = doc.get();
    doc->OnCommand(CMD_LOCATE_FAIL_POINT);  // no background searches at times of their own
    edit = std::make_unique<CRegexEditView>(doc.get());
    tree = std::make_unique<CRegexTreeView>(doc.get());
    pane = std::make_unique<CDiagramPane>(doc.get());
    pane->resize(700, 300);
    pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(pane.get()));
  }
  void cleanup() {
    pane.reset();
    tree.reset();
    edit.reset();
    doc.reset();
    ui.reset();
  }

  void clickingABoxSelectsTheElementInPatternBoxAndTree_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("onHeader");  // frames: click their header, not their content
    QTest::newRow("text in a group") << "x(yz)w" << int(ZEL_STRING) << 2 << 2 << false;
    QTest::newRow("the group") << "x(yz)w" << int(ZEL_CAPTURE_GROUP) << 1 << 4 << true;
    QTest::newRow("a branch") << "ab|cd|e" << int(ZEL_STRING) << 3 << 2 << false;
    QTest::newRow("an anchor") << "^a$" << int(ZEL_BOUNDARY) << 2 << 1 << false;
    QTest::newRow("a look-ahead") << "a(?=bc)" << int(ZEL_ASSERTION) << 1 << 6 << true;
  }
  void clickingABoxSelectsTheElementInPatternBoxAndTree() {
    QFETCH(QString, pattern);
    QFETCH(int, type);
    QFETCH(int, offset);
    QFETCH(int, length);
    QFETCH(bool, onHeader);
    LoadPattern(doc.get(), pattern);
    const int box = BoxAtOffset(type, offset);
    QVERIFY(box >= 0);
    const DiagramBox& b = pane->Layout().Boxes()[box];
    QPoint at = pane->BoxCentre(box);
    if (onHeader) at = pane->BoxCentre(box) - QPoint(0, static_cast<int>(b.rect.height() / 2 * pane->Zoom()) - 3);
    QCOMPARE(pane->BoxAt(at), box);
    Click(at);
    QCOMPARE(doc->GetCurrentElement(), b.element);
    QCOMPARE(edit->textCursor().selectionStart(), offset);
    QCOMPARE(edit->textCursor().selectionEnd(), offset + length);
    QTreeWidgetItem* node = tree->FindNode(b.element);
    QVERIFY(node);
    QCOMPARE(tree->currentItem(), node);
    QVERIFY(node->isSelected());
    QCOMPARE(pane->CurrentBox(), box);
  }

  // A class's characters and ranges are boxes without an element of their own: a click on one
  // selects the class, and its tool tip names the class; an inner class selects itself.
  void clickingAClassMemberSelectsItsClass_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("member");  // the text of the member box to click
    QTest::addColumn<int>("type");        // what the click selects
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::newRow("a character of a class") << "x[\\w.+-]" << "+" << int(ZEL_CHARSET) << 1 << 7;
    QTest::newRow("an inner class") << "x[\\w.+-]" << "\\w" << int(ZEL_CHARSET) << 2 << 2;
    QTest::newRow("a range of a negated class") << "[^a-z\\d]y" << QString::fromUtf8("a\u2013z") << int(ZEL_CHARSET) << 0
                                                 << 8;
  }
  void clickingAClassMemberSelectsItsClass() {
    QFETCH(QString, pattern);
    QFETCH(QString, member);
    QFETCH(int, type);
    QFETCH(int, offset);
    QFETCH(int, length);
    LoadPattern(doc.get(), pattern);
    const std::vector<DiagramBox>& boxes = pane->Layout().Boxes();
    int box = -1;
    for (size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i].text == member && (boxes[i].shape == DIAGRAM_MEMBER || boxes[i].shape == DIAGRAM_TERMINAL))
        box = static_cast<int>(i);
    QVERIFY(box >= 0);
    const QPoint at = pane->BoxCentre(box);
    QCOMPARE(pane->BoxAt(at), box);
    QCOMPARE(pane->Viewport()->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(pane->Viewport(), at);
    QCOMPARE(pane->Viewport()->cursor().shape(), Qt::PointingHandCursor);
    Click(at);
    const ElementRecord* selected = doc->GetRecords().Lookup(doc->GetCurrentElement());
    QVERIFY(selected);
    QCOMPARE(selected->type, type);
    QCOMPARE(selected->offset, offset);
    QCOMPARE(selected->length, length);
    QCOMPARE(edit->textCursor().selectionStart(), offset);
    QCOMPARE(edit->textCursor().selectionEnd(), offset + length);
    QCOMPARE(pane->CurrentBox(), pane->Layout().BoxOf(doc->GetCurrentElement()));
    QHelpEvent help(QEvent::ToolTip, at, pane->Viewport()->mapToGlobal(at));
    QApplication::sendEvent(pane->Viewport(), &help);
    QCOMPARE(QToolTip::text(), ElementCaption(selected));
    QToolTip::hideText();
  }

  void selectingInTreeOrPatternBoxHighlightsTheBox() {
    LoadPattern(doc.get(), QStringLiteral("a(b)(cd)"));
    // The tree: the second group's node.
    QTreeWidgetItem* group = tree->topLevelItem(0)->child(2);
    tree->setCurrentItem(group);
    const int box = pane->Layout().BoxOf(CRegexTreeView::NodeElement(group));
    QVERIFY(box >= 0);
    QCOMPARE(pane->Layout().Boxes()[box].frame, int(FRAME_CAPTURE));
    QCOMPARE(pane->CurrentBox(), box);
    // The pattern box: the caret on "a".
    QTextCursor c = edit->textCursor();
    c.setPosition(0);
    edit->setTextCursor(c);
    QCOMPARE(pane->CurrentBox(), BoxAtOffset(ZEL_STRING, 0));
    QCOMPARE(pane->Layout().Boxes()[pane->CurrentBox()].element, doc->GetCurrentElement());
  }

  void toolTipsNameTheElement() {
    LoadPattern(doc.get(), QStringLiteral("(?<year>\\d{4})x"));
    const int box = BoxAtOffset(ZEL_CAPTURE_GROUP, 0);
    QVERIFY(box >= 0);
    const QPoint at = pane->BoxCentre(box) - QPoint(0, static_cast<int>(pane->Layout().Boxes()[box].rect.height() / 2) - 3);
    QHelpEvent help(QEvent::ToolTip, at, pane->Viewport()->mapToGlobal(at));
    QApplication::sendEvent(pane->Viewport(), &help);
    QCOMPARE(QToolTip::text(), QStringLiteral("Named group<year>"));
    QToolTip::hideText();
  }

  // While the Flavours pane is shown, the box holding a construct a chosen flavour reads
  // otherwise is outlined and its tool tip says what the flavour does; hidden, nothing.
  void flavourNotesOutlineTheirBoxes() {
    LoadPattern(doc.get(), QStringLiteral("ab\\Z"));
    doc->Flavours().SetChosen({QStringLiteral("js")});
    QVERIFY(pane->NotedBoxes().empty());
    doc->Flavours().SetPaneOpen(true);
    QCOMPARE(pane->NotedBoxes().size(), size_t(1));
    const int box = pane->NotedBoxes()[0];
    QCOMPARE(pane->Layout().Boxes()[box].record->offset, 2);
    const QPoint at = pane->BoxCentre(box);
    QHelpEvent help(QEvent::ToolTip, at, pane->Viewport()->mapToGlobal(at));
    QApplication::sendEvent(pane->Viewport(), &help);
    QVERIFY2(QToolTip::text().contains(QStringLiteral("\\Z: JavaScript: the letter Z")), qPrintable(QToolTip::text()));
    QToolTip::hideText();
    doc->Flavours().SetPaneOpen(false);
    QVERIFY(pane->NotedBoxes().empty());
  }

  void aRecompileRedrawsAndAnEmptyClickChangesNothing() {
    LoadPattern(doc.get(), QStringLiteral("abc"));
    QCOMPARE(pane->Layout().Boxes().size(), size_t(1));
    LoadPattern(doc.get(), QStringLiteral("a|b|c"));
    QCOMPARE(pane->Layout().Boxes().size(), size_t(4));
    QCOMPARE(pane->Layout().Boxes()[0].shape, int(DIAGRAM_CHOICE));
    const HostElement* before = doc->GetCurrentElement();
    Click(QPoint(2, 2));  // the margin: no box
    QCOMPARE(doc->GetCurrentElement(), before);
    LoadPattern(doc.get(), QString());  // the empty pattern is one empty element
    QCOMPARE(pane->Layout().Boxes().size(), size_t(1));
    QCOMPARE(pane->Layout().Boxes()[0].shape, int(DIAGRAM_SKIP));
  }

  void aHiddenPaneCatchesUpWhenShown() {
    LoadPattern(doc.get(), QStringLiteral("ab"));
    pane->hide();
    LoadPattern(doc.get(), QStringLiteral("a|b"));
    QCOMPARE(pane->Layout().Boxes().size(), size_t(1));  // still the old layout
    pane->show();
    QCOMPARE(pane->Layout().Boxes().size(), size_t(3));
    QCOMPARE(pane->Layout().Boxes()[0].shape, int(DIAGRAM_CHOICE));
    QCOMPARE(pane->CurrentBox(), pane->Layout().BoxOf(doc->GetCurrentElement()));
  }

  void clickingASummaryOpensIt() {
    QString p;
    for (int i = 0; i < 100; ++i) p += (i ? QStringLiteral("|w") : QStringLiteral("w")) + QString::number(i);
    LoadPattern(doc.get(), p);
    const std::vector<DiagramBox>& boxes = pane->Layout().Boxes();
    const size_t shown = boxes[0].children.size();
    const int summary = boxes[0].children.back();
    QCOMPARE(boxes[summary].shape, int(DIAGRAM_SUMMARY));
    pane->ActivateBox(summary);
    QCOMPARE(pane->Layout().Boxes()[0].children.size(), size_t(100));
    QVERIFY(shown < 100);
  }

  void theTracePositionIsMarked() {
    LoadPattern(doc.get(), QStringLiteral("a(b)c"));
    LoadSubject(doc.get(), QStringLiteral("abc"));
    doc->SetMode(MODE_TRACE);
    QCOMPARE(pane->TraceBox(), -1);
    // Every step is marked: on the stepped element's own box, or (an element without a record)
    // on the innermost box whose element spans it.
    int own = 0, enclosing = 0;
    std::set<int> marked;
    for (int k = 0; k < 30; ++k) {
      doc->OnCommand(CMD_STEP_MATCH);
      QVERIFY(ui->PumpUntil([&] { return doc->IsPaused() || !doc->IsJobActive(); }));
      if (!doc->IsPaused()) break;  // the match is complete
      const HostElement* e = doc->GetTraceStep().element;
      QVERIFY(pane->TraceBox() >= 0);
      marked.insert(pane->TraceBox());
      const DiagramBox& b = pane->Layout().Boxes()[pane->TraceBox()];
      if (b.element == e) {
        ++own;
      } else {
        ++enclosing;
        QVERIFY(b.record->offset <= e->m_nStart && e->m_nEnd <= b.record->offset + b.record->length);
      }
    }
    QVERIFY(own + enclosing >= 3);
    QVERIFY(marked.size() >= 2);  // the mark moves with the steps
    doc->OnCommand(CMD_RESET_FIND);
    QVERIFY(ui->PumpUntil([&] { return !doc->IsJobActive(); }));
    QCOMPARE(pane->TraceBox(), -1);
  }

  void optimizeCountsColourTheBoxes() {
    LoadPattern(doc.get(), QStringLiteral("x(a|b)+"));
    LoadSubject(doc.get(), QStringLiteral("xababababababababab"));
    doc->SetMode(MODE_OPTIMIZE);
    doc->OnCommand(CMD_FIND);
    QVERIFY(ui->PumpUntil([&] { return !doc->IsJobActive(); }));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("heat.svg"));
    QVERIFY(pane->ExportSvg(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString svg = QString::fromUtf8(f.readAll());
    // The most-run element gets the deepest heat, which the light scale draws as RGB(255, 0, 0).
    QVERIFY2(svg.contains(QStringLiteral("fill=\"#ff0000\"")), qPrintable(svg.left(400)));
    doc->SetMode(MODE_MATCH);
    QVERIFY(pane->ExportSvg(path));
    QVERIFY(f.seek(0));
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!QString::fromUtf8(f.readAll()).contains(QStringLiteral("fill=\"#ff0000\"")));
  }

  void zoomIsClampedAndFitFillsTheWidth() {
    LoadPattern(doc.get(), QStringLiteral("(?<year>\\d{4})-(?<month>\\d\\d)-(?<day>\\d\\d)(?=\\s|$)"));
    pane->SetZoom(100);
    QCOMPARE(pane->Zoom(), CDiagramPane::kMaxZoom);
    pane->SetZoom(0);
    QCOMPARE(pane->Zoom(), CDiagramPane::kMinZoom);
    pane->FitToWidth();
    const double shown = pane->Layout().Bounds().width() * pane->Zoom();
    QVERIFY(std::abs(shown - pane->Viewport()->width()) < 1.0);
    // Fit follows the pane's width until the user zooms.
    pane->resize(500, 300);
    QTRY_VERIFY(std::abs(pane->Layout().Bounds().width() * pane->Zoom() - pane->Viewport()->width()) < 1.0);
    // A box still hit-tests to itself at any zoom.
    const int box = BoxAtOffset(ZEL_STRING, 14);
    QVERIFY(box >= 0);
    QCOMPARE(pane->BoxAt(pane->BoxCentre(box)), box);
  }

  void followsThePatternFont() {
    LoadPattern(doc.get(), QStringLiteral("abc"));
    const double lineBefore = pane->Layout().LineHeight();
    const double widthBefore = pane->Layout().Boxes()[0].rect.width();
    const QString key = CProfile::KeyPath(QStringLiteral("Fonts"), QStringLiteral("korvane_regex"));
    CProfile profile;
    const QVariant saved = profile.Settings().value(key);
    profile.Settings().setValue(key, QStringLiteral("-40/400/0/0/DejaVu Sans Mono/"));
    profile.Flush();
    pane->OnUpdate(nullptr, HINT_FONTS);
    const double lineAfter = pane->Layout().LineHeight();
    const double widthAfter = pane->Layout().Boxes()[0].rect.width();
    if (saved.isValid())
      profile.Settings().setValue(key, saved);
    else
      profile.Settings().remove(key);
    profile.Flush();
    QVERIFY2(lineAfter > lineBefore * 1.5, qPrintable(QStringLiteral("%1 -> %2").arg(lineBefore).arg(lineAfter)));
    QVERIFY(widthAfter > widthBefore * 1.5);
  }

  void aHundredThousandAlternativesStayBounded() {
    QString p;
    p.reserve(800000);
    for (int i = 0; i < 100000; ++i) p += (i ? QStringLiteral("|w") : QStringLiteral("w")) + QString::number(i);
    LoadPattern(doc.get(), p);
    const DiagramLimits limits;
    QVERIFY(pane->Layout().Boxes().size() <= static_cast<size_t>(limits.maxChildren + 2));
    const int summary = pane->Layout().Boxes()[0].children.back();
    QCOMPARE(pane->Layout().Boxes()[summary].shape, int(DIAGRAM_SUMMARY));
    // The caret on the last alternative: the summary that holds it is the current box.
    QTextCursor c = edit->textCursor();
    c.setPosition(p.size() - 1);
    edit->setTextCursor(c);
    QCOMPARE(pane->CurrentBox(), summary);
    Click(pane->BoxCentre(summary));
    QCOMPARE(pane->Layout().Boxes()[0].children.size(), static_cast<size_t>(limits.maxChildren + limits.pageChildren + 1));
    pane->PaintNow();
  }

  void exportsWriteFilesOrReportTheFailure() {
    LoadPattern(doc.get(), QStringLiteral("a+(b|c)"));
    QTemporaryDir dir;
    const QString svgPath = dir.filePath(QStringLiteral("d.svg"));
    const QString pngPath = dir.filePath(QStringLiteral("d.png"));
    QVERIFY(pane->ExportSvg(svgPath));
    QVERIFY(pane->ExportPng(pngPath));
    QFile svg(svgPath);
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().startsWith("<?xml"));
    QImage png(pngPath);
    QVERIFY(!png.isNull());
    QCOMPARE(png.width(), static_cast<int>(std::ceil(pane->Layout().Bounds().width() * 2)));
    const size_t reports = ui->boxes.size();
    QVERIFY(!pane->ExportSvg(dir.filePath(QStringLiteral("no/such/folder/d.svg"))));
    QVERIFY(!pane->ExportPng(dir.filePath(QStringLiteral("no/such/folder/d.png"))));
    QCOMPARE(ui->boxes.size(), reports + 2);
  }
};

KORVANE_EDITOR_TEST_MAIN(DiagramViewTest)

#include "diagram_view_test.moc"
