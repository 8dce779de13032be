// The structure tree and the group list: captions by type code, the in-place rebuild, the
// optimize captions, group rows after adding and removing groups, captured content, selection
// in step between tree, group list, pattern box and document; the colour controls.
#include <QTest>
#include <memory>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/ui/editor/clr_list_ctrl.h"
#include "app/ui/editor/clr_tree_ctrl.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_group_list_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "editor_test_util.h"

class TreeGroupViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestUi> ui;
  std::unique_ptr<CKorvaneDoc> doc;
  std::unique_ptr<CRegexEditView> edit;
  std::unique_ptr<CRegexTreeView> tree;
  std::unique_ptr<CRegexGroupListView> groups;

  // The tree as "caption(child, child)" in pre-order.
  static QString Dump(const QTreeWidgetItem* item) {
    QString s = item->text(0);
    if (item->childCount() == 0) return s;
    s += '(';
    for (int i = 0; i < item->childCount(); ++i) s += (i ? ", " : "") + Dump(item->child(i));
    return s + ')';
  }
  QString TreeDump() const { return tree->topLevelItemCount() ? Dump(tree->topLevelItem(0)) : QString(); }
  QString Rows() const {
    QStringList rows;
    for (int r = 0; r < groups->RowCount(); ++r)
      rows << groups->Row(r)->text(0) + '|' + groups->Row(r)->text(1) + '|' + groups->Row(r)->text(2);
    return rows.join(QStringLiteral("; "));
  }
  void Find() {
    doc->OnCommand(CMD_FIND);
    QVERIFY(ui->PumpUntil([&] { return !doc->IsJobActive(); }));
  }

 private slots:
  void init() {
    ui = std::make_unique<TestUi>();
    doc = std::make_unique<CKorvaneDoc>(ui.get());
    ui->doc = doc.get();
    doc->OnCommand(CMD_LOCATE_FAIL_POINT);  // no background searches at times of their own
    edit = std::make_unique<CRegexEditView>(doc.get());
    tree = std::make_unique<CRegexTreeView>(doc.get());
    groups = std::make_unique<CRegexGroupListView>(doc.get());
  }
  void cleanup() {
    groups.reset();
    tree.reset();
    edit.reset();
    doc.reset();
    ui.reset();
  }

  // ---- tree captions -------------------------------------------------------------------------

  void captionsByTypeCode_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("dump");
    QTest::newRow("literal") << "ab" << "Common text";
    QTest::newRow("alternative") << "a|b" << "Alternative(Common text, Common text)";
    QTest::newRow("list, repeats") << "a+b*?c++d{2}"
        << "Match in order(Greedy repeat(Common text), Reluctant repeat(Common text), "
           "Possessive repeat(Common text), Repeat fixed times(Common text))";
    QTest::newRow("capture group") << "(a)" << "Capture group(1)(Common text)";
    QTest::newRow("named group") << "(?<n>a)" << "Named group<n>(Common text)";
    QTest::newRow("balancing group") << "(a)(?<-1>b)"
        << "Match in order(Capture group(1)(Common text), Balancing group(Common text))";
    QTest::newRow("named balancing") << "(?<m>x)(?<n-m>a)"
        << "Match in order(Named group<m>(Common text), Named balancing<n>(Common text))";
    QTest::newRow("non-capture group") << "(?:a)" << "Non-capture group(Common text)";
    QTest::newRow("mode modifier") << "(?i)a" << "Match in order(Mode modifier, Common text)";
    QTest::newRow("assertion") << "(?=a)" << "Zero-width assertion(Common text)";
    QTest::newRow("independent") << "(?>a)" << "Independent(Common text)";
    QTest::newRow("character class") << "[a-z]" << "Character class";
    QTest::newRow("POSIX class") << "[[:digit:]]" << "Character class(POSIX)";
    QTest::newRow("boundary") << "\\b" << "Boundary limit";
    QTest::newRow("back-reference") << "(a)\\1" << "Match in order(Capture group(1)(Common text), Backward reference)";
    QTest::newRow("end of last match (global)") << "\\G" << "End of last match";
    QTest::newRow("recursion") << "(a(?1)?)" << "Capture group(1)(Match in order(Common text, Greedy repeat(Recursive)))";
    QTest::newRow("conditional") << "(a)?(?(1)b|c)"
        << "Match in order(Greedy repeat(Capture group(1)(Common text)), Conditional(Common text, Common text))";
    QTest::newRow("conditional on a look-ahead") << "(?(?=a)a|b)"
        << "Conditional(Zero-width assertion(Common text), Common text, Common text)";
    QTest::newRow("empty pattern") << "" << "(Empty)";
  }
  void captionsByTypeCode() {
    QFETCH(QString, pattern);
    QFETCH(QString, dump);
    // \G is the end of the last match only in global mode.
    if (QString::fromLatin1(QTest::currentDataTag()).endsWith(QLatin1String("(global)"))) doc->OnCommand(CMD_GLOBAL);
    LoadPattern(doc.get(), pattern);
    QCOMPARE(TreeDump(), dump);
  }

  void beforeAnyPatternTheTreeShowsEmpty() {
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0), CStringTable::Str(263));
  }

  void rebuildInPlaceKeepsExpandedBranches() {
    LoadPattern(doc.get(), QStringLiteral("(a(b))c"));
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QTreeWidgetItem* group = root->child(0);
    QVERIFY(group);
    QCOMPARE(group->text(0), QStringLiteral("Capture group(1)"));
    group->setExpanded(true);
    LoadPattern(doc.get(), QStringLiteral("(a(b))cd"));
    QCOMPARE(tree->topLevelItem(0), root);
    QCOMPARE(root->child(0), group);
    QVERIFY(group->isExpanded());
    // Every node maps back to its element.
    for (const ElementRecord* r : doc->GetRecords().OffsetList())
      if (r->element) QCOMPARE(CRegexTreeView::NodeElement(tree->FindNode(r->element)), r->element);
  }

  void optimizeModeCaptionsCarryTheCount() {
    LoadPattern(doc.get(), QStringLiteral("a|b"));
    const ElementRecord* root = doc->GetRecords().Root();
    const HostRegexp& re = doc->GetCompiled();
    for (int i = 0; i < re.GetElementCount(); ++i)
      for (int& c : re.GetElement(i)->m_nCounters) c = 0;
    root->element->m_nCounters[0] = 100;
    root->children[0]->element->m_nCounters[0] = 10;
    root->children[1]->element->m_nCounters[0] = 1;
    doc->SetMode(MODE_OPTIMIZE);
    QCOMPARE(TreeDump(), QStringLiteral("Alternative [100](Common text [10], Common text [1])"));
    // Heat: the root is deepest red, once-run nodes keep the plain background.
    const CClrTreeCtrl::ColorEntry* top = tree->FindColor(tree->topLevelItem(0));
    QVERIFY(top);
    QCOMPARE(top->back, ClrRgb(255, 0, 0));
    const CClrTreeCtrl::ColorEntry* ten = tree->FindColor(tree->topLevelItem(0)->child(0));
    QVERIFY(ten);
    QCOMPARE(ten->back, ClrRgb(255, 255 - 127, 255 - 127));
    QVERIFY(!tree->FindColor(tree->topLevelItem(0)->child(1)));
    doc->SetMode(MODE_MATCH);
    QCOMPARE(TreeDump(), QStringLiteral("Alternative(Common text, Common text)"));
    QVERIFY(tree->Colors().empty());
  }

  // ---- group list ----------------------------------------------------------------------------

  void groupRowsFollowAddedAndRemovedGroups() {
    QCOMPARE(groups->columnCount(), 3);
    QCOMPARE(groups->headerItem()->text(2), QStringLiteral("Captured Content"));
    LoadPattern(doc.get(), QStringLiteral("ab"));
    QCOMPARE(Rows(), QStringLiteral("$0||"));
    LoadPattern(doc.get(), QStringLiteral("(a)(?<word>b)(c)"));
    // Named groups are numbered after the unnamed ones.
    QCOMPARE(Rows(), QStringLiteral("$0||; $1||; $2||; $3|word|"));
    QTreeWidgetItem* row1 = groups->Row(1);
    LoadPattern(doc.get(), QStringLiteral("(a)b"));
    QCOMPARE(Rows(), QStringLiteral("$0||; $1||"));
    QCOMPARE(groups->Row(1), row1);  // rows are updated in place
    LoadPattern(doc.get(), QStringLiteral("(?<n>a)b"));
    QCOMPARE(Rows(), QStringLiteral("$0||; $1|n|"));
  }

  void groupListShowsTheCaptures() {
    LoadPattern(doc.get(), QStringLiteral("(a)(x)?(b*)c"));
    LoadSubject(doc.get(), QStringLiteral("zzacz"));
    QCOMPARE(Rows(), QStringLiteral("$0||; $1||; $2||; $3||"));
    Find();
    QVERIFY(doc->GetLastResult()->result.IsMatched());
    QCOMPARE(Rows(), QStringLiteral("$0||ac; $1||a; $2||(Not captured); $3||'' - (Zero length string)"));
    // A failed search empties the column.
    LoadSubject(doc.get(), QStringLiteral("zzz"));
    QCOMPARE(Rows(), QStringLiteral("$0||; $1||; $2||; $3||"));
  }

  void captureColumnSizesWithTheList() {
    groups->resize(400, 200);
    groups->show();
    QVERIFY(QTest::qWaitForWindowExposed(groups.get()));
    QCOMPARE(groups->columnWidth(2), std::max(60, groups->viewport()->width() - 100 - 25));
    groups->resize(120, 200);
    QTRY_COMPARE(groups->columnWidth(2), 60);
  }

  // ---- selection in step ---------------------------------------------------------------------

  void selectingATreeNodeSelectsTextAndRow() {
    LoadPattern(doc.get(), QStringLiteral("x(yz)w"));
    QTreeWidgetItem* group = tree->topLevelItem(0)->child(1);
    QCOMPARE(group->text(0), QStringLiteral("Capture group(1)"));
    tree->setCurrentItem(group);  // as a click does
    const ElementRecord* r = doc->GetRecords().Lookup(doc->GetCurrentElement());
    QVERIFY(r);
    QCOMPARE(r->type, int(ZEL_CAPTURE_GROUP));
    QCOMPARE(edit->textCursor().selectionStart(), 1);
    QCOMPARE(edit->textCursor().selectionEnd(), 5);
    QCOMPARE(groups->SelectedRow(), 1);
    // And back: the row of the whole match selects the root node and the whole text.
    groups->setCurrentItem(groups->Row(0));
    QCOMPARE(doc->GetCurrentElement(), doc->GetCompiled().GetRoot());
    QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
    QVERIFY(tree->topLevelItem(0)->isSelected());
    QCOMPARE(edit->textCursor().selectionStart(), 0);
    QCOMPARE(edit->textCursor().selectionEnd(), 6);
  }

  void theCaretInThePatternSelectsNodeAndRow() {
    LoadPattern(doc.get(), QStringLiteral("a(b)(c)"));
    QTextCursor c = edit->textCursor();
    c.setPosition(6);  // inside "(c)"
    edit->setTextCursor(c);
    QTreeWidgetItem* node = tree->currentItem();
    QVERIFY(node && node->isSelected());
    QVERIFY(node->text(0) == QStringLiteral("Capture group(2)") || node->parent()->text(0) == QStringLiteral("Capture group(2)"));
    QCOMPARE(groups->SelectedRow(), node->text(0) == QStringLiteral("Capture group(2)") ? 2 : -1);
    // A literal outside any group: no group row.
    c.setPosition(1);
    edit->setTextCursor(c);
    QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Common text"));
    QCOMPARE(groups->SelectedRow(), -1);
  }

  void traceModeSelectsTheTracedElement() {
    LoadPattern(doc.get(), QStringLiteral("a(b)c"));
    LoadSubject(doc.get(), QStringLiteral("abc"));
    doc->SetMode(MODE_TRACE);
    for (int k = 0; k < 2; ++k) {
      doc->OnCommand(CMD_STEP_MATCH);
      QVERIFY(ui->PumpUntil([&] { return doc->IsPaused(); }));
      QTreeWidgetItem* node = tree->FindNode(doc->GetTraceStep().element);
      QVERIFY(node);
      QCOMPARE(tree->currentItem(), node);
      QVERIFY(node->isSelected());
    }
  }

  void aStaleNodeNeverBecomesTheCurrentElement() {
    LoadPattern(doc.get(), QStringLiteral("(a)b"));
    QTreeWidgetItem* node = tree->topLevelItem(0)->child(0);
    QVERIFY(node);
    // Recompiled without telling the views: the tree's elements are gone.
    std::vector<unsigned short> p = ToU16(QStringLiteral("xyz"));
    doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    auto valid = [&] {
      const HostElement* e = doc->GetCurrentElement();
      return !e || doc->GetRecords().Lookup(e) != nullptr;
    };
    tree->clearSelection();
    tree->setCurrentItem(node);
    QVERIFY(node->isSelected());
    QVERIFY(valid());
    groups->clearSelection();
    groups->setCurrentItem(groups->Row(1));
    QCOMPARE(groups->SelectedRow(), 1);
    QVERIFY(valid());
  }

  void rebuildingDoesNotChangeTheCurrentElement() {
    LoadPattern(doc.get(), QStringLiteral("(a)b"));
    doc->SetCurrentElement(nullptr);
    tree->Rebuild();
    doc->Notify(nullptr, HINT_RECOMPILED);
    QCOMPARE(doc->GetCurrentElement(), static_cast<const HostElement*>(nullptr));
  }

  // ---- colour controls -----------------------------------------------------------------------

  void automaticTextColour_data() {
    QTest::addColumn<int>("back");
    QTest::addColumn<int>("text");
    QTest::newRow("white background") << ClrRgb(255, 255, 255) << ClrRgb(0, 0, 0);
    QTest::newRow("black background") << ClrRgb(0, 0, 0) << ClrRgb(255, 255, 255);
    QTest::newRow("luminance 38.57 is light") << ClrRgb(129, 0, 0) << ClrRgb(0, 0, 0);
    QTest::newRow("luminance 38.27 is dark") << ClrRgb(128, 0, 0) << ClrRgb(255, 255, 255);
    QTest::newRow("heat red") << ClrRgb(255, 0, 0) << ClrRgb(0, 0, 0);
  }
  void automaticTextColour() {
    QFETCH(int, back);
    QFETCH(int, text);
    QCOMPARE(CClrTreeCtrl::AutoTextColor(back), text);
  }

  void treeColourTableAppendsThenSorts() {
    CClrTreeCtrl ctrl;
    std::vector<QTreeWidgetItem*> items;
    for (int i = 0; i < 5; ++i) items.push_back(new QTreeWidgetItem(&ctrl));
    ctrl.BeginAppend();
    for (int i = 4; i >= 0; --i) ctrl.SetItemColor(items[i], ClrRgb(i, 0, 0), ClrRgb(0, i, 0), false);
    ctrl.SetItemColor(items[2], ClrRgb(9, 9, 9), -1, false);  // a later entry wins
    ctrl.EndAppend();
    QCOMPARE(ctrl.Colors().size(), size_t(5));
    for (size_t i = 1; i < ctrl.Colors().size(); ++i)
      QVERIFY(std::less<const QTreeWidgetItem*>()(ctrl.Colors()[i - 1].item, ctrl.Colors()[i].item));
    QCOMPARE(ctrl.FindColor(items[2])->text, ClrRgb(9, 9, 9));
    QCOMPARE(ctrl.FindColor(items[2])->back, -1);
    QCOMPARE(ctrl.FindColor(items[4])->back, ClrRgb(0, 4, 0));
    ctrl.SetItemColor(items[4], ClrRgb(1, 1, 1), ClrRgb(2, 2, 2), false);  // overwrite, sorted
    QCOMPARE(ctrl.Colors().size(), size_t(5));
    QCOMPARE(ctrl.FindColor(items[4])->back, ClrRgb(2, 2, 2));
    ctrl.RemoveItemColor(items[0]);
    QVERIFY(!ctrl.FindColor(items[0]));
  }

  void listColoursPreferRowThenCellThenColumn() {
    CClrListCtrl list;
    list.setColumnCount(2);
    for (int i = 0; i < 3; ++i) new QTreeWidgetItem(&list);
    list.SetColumnColor(1, ClrRgb(1, 0, 0), ClrRgb(0, 0, 1));
    list.SetCellColor(0, 1, ClrRgb(2, 0, 0), ClrRgb(0, 0, 2));
    list.SetRowColor(2, ClrRgb(3, 0, 0), ClrRgb(0, 0, 3));
    int text = 0, back = 0;
    QVERIFY(!list.CellColor(1, 0, &text, &back));
    QVERIFY(list.CellColor(1, 1, &text, &back));
    QCOMPARE(text, ClrRgb(1, 0, 0));
    QVERIFY(list.CellColor(0, 1, &text, &back));
    QCOMPARE(text, ClrRgb(2, 0, 0));
    QVERIFY(list.CellColor(2, 1, &text, &back));
    QCOMPARE(text, ClrRgb(3, 0, 0));
    QVERIFY(list.CellColor(2, 0, &text, &back));
    QCOMPARE(back, ClrRgb(0, 0, 3));
  }

  // While the Flavours pane is shown, the node holding a construct that a chosen flavour reads
  // otherwise gets the note icon and its tool tip the flavours' line; the backtracking warning
  // keeps its icon; hidden, no marks.
  void flavourMarksOnTheNodes() {
    tree->resize(300, 300);
    tree->show();
    LoadPattern(doc.get(), QStringLiteral("(a)\\Z"));
    doc->Flavours().SetChosen({QStringLiteral("js")});
    doc->Flavours().SetPaneOpen(true);
    auto marked = [&] {
      QStringList out;
      QList<QTreeWidgetItem*> items = tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive);
      for (QTreeWidgetItem* item : items)
        if (CRegexTreeView::HasFlavourMark(item)) out << item->text(0);
      return out;
    };
    const QStringList shown = marked();
    QCOMPARE(shown.size(), 1);
    QTreeWidgetItem* node = tree->findItems(shown[0], Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(node);
    QVERIFY(!node->icon(0).isNull());
    tree->scrollToItem(node);
    const QString tip = tree->ToolTipAt(tree->visualItemRect(node).center());
    QVERIFY2(tip.startsWith(QStringLiteral("\\Z: JavaScript: the letter Z")), qPrintable(tip));
    doc->Flavours().SetPaneOpen(false);
    QVERIFY(marked().isEmpty());
    QVERIFY(node->icon(0).isNull());
  }
};

KORVANE_EDITOR_TEST_MAIN(TreeGroupViewTest)
#include "tree_group_view_test.moc"
