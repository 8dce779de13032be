// The Explanation pane: its outline, a click on a line selecting the element in the pattern box
// and the structure tree and the reverse, the lazy outline of huge patterns, lines that outlived
// their records, and the tool tips of the tree and the pattern box.
#include <QTest>
#include <memory>
#include <string>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/panes/explanation/explanation_pane.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "korvane_ids.h"
#include "app/ui/results/tests/view_test_main.h"

class ExplanationPaneTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<DocFixture> f;
  std::unique_ptr<CRegexEditView> edit;
  std::unique_ptr<CRegexTreeView> tree;
  std::unique_ptr<CExplanationPane> pane;

  void Load(const QString& pattern) {
    std::vector<unsigned short> u = DocFixture::U16Of(pattern);
    f->doc->SetPattern(u.data(), static_cast<int>(u.size()), false);
    f->doc->Notify(nullptr, HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED | HINT_RESULTS);
  }
  // The record whose pattern text is `text` (the first such, in offset order).
  const ElementRecord* RecordWritten(const QString& text) const {
    const auto& t = f->doc->GetPattern();
    for (const ElementRecord* r : f->doc->GetRecords().OffsetList()) {
      QString s;
      for (int i = r->offset; i < r->offset + r->length; ++i) s += QChar(t[i]);
      if (s == text) return r;
    }
    return nullptr;
  }
  void Click(QTreeWidgetItem* item) {
    pane->scrollToItem(item);
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier, pane->visualItemRect(item).center());
  }
  static QString BigAlternation(int count) {
    QString s;
    for (int i = 0; i < count; ++i) {
      if (i) s += QLatin1Char('|');
      s += QStringLiteral("w%1").arg(i);
    }
    return s;
  }

 private slots:
  void init() {
    f = std::make_unique<DocFixture>();
    edit = std::make_unique<CRegexEditView>(f->doc.get());
    edit->OnInitialUpdate();
    tree = std::make_unique<CRegexTreeView>(f->doc.get());
    pane = std::make_unique<CExplanationPane>(f->doc.get());
    pane->OnUpdate(nullptr, ~0);
    pane->resize(600, 400);
    pane->show();
    tree->resize(300, 400);
    tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(pane.get()));
  }
  void cleanup() {
    pane.reset();
    tree.reset();
    edit.reset();
    f.reset();
  }

  void outlineShowsTheSentences() {
    Load(QStringLiteral("(?<year>\\d{4})-(?=x)"));
    QTreeWidgetItem* root = pane->topLevelItem(0);
    QVERIFY(root);
    QCOMPARE(root->text(0), QStringLiteral("these 3 parts in order"));
    QCOMPARE(root->childCount(), 3);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("capture group 1 (`year`): exactly 4 of: a digit"));
    QCOMPARE(root->child(2)->text(0), QStringLiteral("look ahead: followed by the literal text `x`"));
    // Each line is linked to its element.
    QCOMPARE(CExplanationPane::LineElement(root->child(1)), RecordWritten(QStringLiteral("-"))->element);
    // The pane writes in the pattern box's font, not bold (set by the initial update, which
    // holds the fonts hint).
    QFont patternFont = CRegexEditView::LoadPatternFont();
    QCOMPARE(pane->font().family(), patternFont.family());
    QCOMPARE(pane->font().pointSizeF(), patternFont.pointSizeF());
    QVERIFY(!pane->font().bold());
    // The whole outline of a small pattern is there at once.
    QCOMPARE(pane->MadeLines(), int(f->doc->GetRecords().OffsetList().size()));
    // Hidden, the pane lets edits pass and catches up when shown again.
    pane->hide();
    Load(QStringLiteral("abc"));
    QCOMPARE(pane->topLevelItem(0)->text(0), QStringLiteral("these 3 parts in order"));
    pane->show();
    QCOMPARE(pane->topLevelItem(0)->text(0), QStringLiteral("the literal text `abc`"));
  }

  void clickOnALineSelectsInPatternBoxAndTree() {
    Load(QStringLiteral("ab(?<d>\\d+)(?!-)"));
    const ElementRecord* group = RecordWritten(QStringLiteral("(?<d>\\d+)"));
    QVERIFY(group);
    QTreeWidgetItem* line = pane->LineOf(group->element, false);
    QVERIFY(line);
    Click(line);
    QCOMPARE(f->doc->GetCurrentElement(), group->element);
    QCOMPARE(edit->textCursor().selectionStart(), 2);
    QCOMPARE(edit->textCursor().selectionEnd(), 11);
    QCOMPARE(tree->currentItem(), tree->FindNode(group->element));
    QVERIFY(tree->currentItem()->isSelected());
    // The line stays the highlighted one.
    QCOMPARE(pane->currentItem(), line);
    QVERIFY(line->isSelected());
  }

  void theTreeAndTheCaretSelectTheLine() {
    Load(QStringLiteral("x(y|z)w"));
    const ElementRecord* z = RecordWritten(QStringLiteral("z"));
    QVERIFY(z);
    tree->setCurrentItem(tree->FindNode(z->element));  // as a click in the tree does
    QCOMPARE(pane->currentItem(), pane->LineOf(z->element, false));
    QVERIFY(pane->currentItem()->isSelected());
    QCOMPARE(pane->currentItem()->text(0), QStringLiteral("alternative 2: the literal text `z`"));
    // The caret in the pattern box makes the innermost element there current.
    QTextCursor c = edit->textCursor();
    c.setPosition(6);
    c.setPosition(7, QTextCursor::KeepAnchor);  // "w"
    edit->setTextCursor(c);
    QCOMPARE(pane->currentItem()->text(0), QStringLiteral("the literal text `w`"));
  }

  void hugeAlternationIsMadeOnDemand() {
    Load(BigAlternation(100000));
    QTreeWidgetItem* root = pane->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("one of 100000 alternatives, tried from the first"));
    // One chunk of branches and a "more" line.
    QCOMPARE(root->childCount(), CExplanationPane::kChunk + 1);
    QTreeWidgetItem* more = root->child(CExplanationPane::kChunk);
    QCOMPARE(more->text(0), QStringLiteral("… 99800 more (click to show)"));
    QVERIFY(!CExplanationPane::LineElement(more));
    Click(more);
    QCOMPARE(root->childCount(), 2 * CExplanationPane::kChunk + 1);
    QCOMPARE(root->child(CExplanationPane::kChunk)->text(0), QStringLiteral("alternative 201: the literal text `w200`"));
    // An element a little further on gets its line when it becomes current.
    const ElementRecord* near = f->doc->GetRecords().Root()->children[700];
    SelectCurrentElement(f->doc.get(), nullptr, near->element);
    QVERIFY(pane->currentItem());
    QCOMPARE(pane->currentItem()->text(0), QStringLiteral("alternative 701: the literal text `w700`"));
    // One far away is not worth 100,000 lines: no line, no highlight, nothing made in between.
    const int made = pane->MadeLines();
    const ElementRecord* far = f->doc->GetRecords().Root()->children[99999];
    SelectCurrentElement(f->doc.get(), nullptr, far->element);
    QVERIFY(!pane->currentItem());
    QCOMPARE(pane->MadeLines(), made);
  }

  void deepNestingShowsTheTopAndExpandsOnDemand() {
    // 250 groups, each holding a letter and the next group: about 750 records.
    QString deep;
    for (int i = 0; i < 250; ++i) deep += QStringLiteral("(x");
    deep += QStringLiteral("a") + QString(250, QLatin1Char(')'));
    Load(deep);
    QVERIFY(f->doc->GetRecords().OffsetList().size() > 700);
    QVERIFY(pane->MadeLines() <= CExplanationPane::kInitialLines + 1);
    const ElementRecord* a = RecordWritten(QStringLiteral("xa"));
    QVERIFY(a);
    QVERIFY(!pane->LineOf(a->element, false));
    SelectCurrentElement(f->doc.get(), nullptr, a->element);
    QTreeWidgetItem* line = pane->currentItem();
    QVERIFY(line);
    QCOMPARE(line->text(0), QStringLiteral("the literal text `xa`"));
    int depth = 0, recordDepth = 0;
    for (QTreeWidgetItem* p = line->parent(); p; p = p->parent()) ++depth;
    for (const ElementRecord* r = a->parent; r; r = r->parent) ++recordDepth;
    QVERIFY(recordDepth >= 250);
    QCOMPARE(depth, recordDepth);
  }

  void aStaleLineNeverBecomesTheCurrentElement() {
    Load(QStringLiteral("(a)b"));
    QTreeWidgetItem* line = pane->topLevelItem(0)->child(0);
    QVERIFY(line);
    // Recompiled without telling the views: the lines' records are gone.
    std::vector<unsigned short> p = DocFixture::U16Of(QStringLiteral("xyz"));
    f->doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    Click(line);
    const HostElement* e = f->doc->GetCurrentElement();
    QVERIFY(!e || f->doc->GetRecords().Lookup(e));
    // Expanding a stale line makes nothing.
    line->setExpanded(false);
    line->setExpanded(true);
  }

  void toolTipsOfTreeAndPatternBox() {
    Load(QStringLiteral("a(?=\\d)"));
    const ElementRecord* look = RecordWritten(QStringLiteral("(?=\\d)"));
    QVERIFY(look);
    QTreeWidgetItem* node = tree->FindNode(look->element);
    QVERIFY(node);
    tree->scrollToItem(node);
    QCOMPARE(tree->ToolTipAt(tree->visualItemRect(node).center()), QStringLiteral("look ahead: followed by a digit"));
    QVERIFY(tree->ToolTipAt(QPoint(5, tree->viewport()->height() - 2)).isEmpty());
    edit->resize(400, 100);
    edit->show();
    QVERIFY(QTest::qWaitForWindowExposed(edit.get()));
    QTextCursor c = edit->textCursor();
    c.setPosition(5);  // between "\" and "d"
    const QRect at = edit->cursorRect(c);
    QCOMPARE(edit->ToolTipAt(QPoint(at.left() + 2, at.center().y())), QStringLiteral("a digit"));
    c.setPosition(0);
    const QRect first = edit->cursorRect(c);
    QCOMPARE(edit->ToolTipAt(QPoint(first.left() + 2, first.center().y())), QStringLiteral("the literal text `a`"));
    // Past the end of the text there is no element.
    QVERIFY(edit->ToolTipAt(QPoint(edit->viewport()->width() - 3, first.center().y())).isEmpty());
  }

  void chineseLines() {
    CStringTable::SetCurrent(CStringTable::kSimplifiedChinese);
    Load(QStringLiteral("\\d+"));
    const QString text = pane->topLevelItem(0)->text(0);
    CStringTable::SetCurrent(CStringTable::kEnglish);
    QCOMPARE(text, QStringLiteral("一个或多个(贪婪):一个数字"));
  }
};

KORVANE_VIEW_TEST_MAIN(ExplanationPaneTest)
#include "explanation_pane_test.moc"
