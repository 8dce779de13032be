// Qt Test tests of the frame's layouts, offscreen: the work pane's views and separators, per-mode
// layouts and their keys. Each test starts from an empty settings store (a temporary folder, see
// private_settings_main.h).
#include <memory>

#include <QMenu>
#include <QTest>
#include <QToolBar>

#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/layout_store.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "app/ui/tests/private_settings_main.h"

class LayoutTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void separatorDrag_data();
  void separatorDrag();
  void modesChangeViews_data();
  void modesChangeViews();
  void workPaneGeometry();
  void splitDragKeepsReplaceRatio();
  void savedStatesAfterSwitching();
  void modeRestoresItsLayout();
  void barMenuKeepsOneOrder();
  void resetAllBars();
  void patternHeight_data();
  void patternHeight();
  void sizeLoadsRaisedToMinimum_data();
  void sizeLoadsRaisedToMinimum();
  void ratioStoredAsPercent_data();
  void ratioStoredAsPercent();
  void garbageLayoutFallsBack();
  void windowPlacementIsKept();
  void activeViewLeavesDestroyedView();
};

// =============================================================================================
// LayoutTest

void LayoutTest::init() { ClearSettings(); }

void LayoutTest::separatorDrag_data() {
  QTest::addColumn<int>("extent");
  QTest::addColumn<int>("offset");
  QTest::addColumn<int>("mouse");
  QTest::addColumn<float>("ratio");
  QTest::addColumn<int>("position");
  QTest::newRow("follows the mouse") << 400 << 0 << 200 << 0.5f << 200;
  QTest::newRow("grab offset") << 400 << 3 << 203 << 0.5f << 200;
  QTest::newRow("beyond 90 per cent stops there") << 400 << 0 << 390 << 0.9f << 360;
  QTest::newRow("below 10 per cent stops there") << 400 << 0 << 10 << 0.1f << 40;
  QTest::newRow("negative") << 400 << 0 << -50 << 0.1f << 40;
  QTest::newRow("80 pixels count as 100") << 80 << 0 << 40 << 0.4f << 40;
  QTest::newRow("80 pixels, clamped against 100") << 80 << 0 << 95 << 0.9f << 90;
  QTest::newRow("exactly 100") << 100 << 0 << 50 << 0.5f << 50;
  QTest::newRow("101 pixels are their own") << 101 << 0 << 50 << float(50.0f / 101.0f) << 50;
}

void LayoutTest::separatorDrag() {
  QFETCH(int, extent);
  QFETCH(int, offset);
  QFETCH(int, mouse);
  QFETCH(float, ratio);
  QFETCH(int, position);
  CSeparator sep;
  sep.grabOffset = offset;
  QCOMPARE(sep.Drag(mouse, extent), position);
  QCOMPARE(sep.ratio, ratio);
}

void LayoutTest::modesChangeViews_data() {
  QTest::addColumn<int>("command");
  QTest::addColumn<QList<int>>("present");
  QTest::newRow("match") << int(ID_MODE_MATCH) << QList<int>{0};
  QTest::newRow("replace") << int(ID_MODE_REPLACE) << QList<int>{0, 1, 2};
  QTest::newRow("split") << int(ID_MODE_SPLIT) << QList<int>{0, 3};
  QTest::newRow("trace") << int(ID_MODE_TRACE) << QList<int>{0};
  QTest::newRow("optimize") << int(ID_MODE_OPTIMIZE) << QList<int>{0};
}

void LayoutTest::modesChangeViews() {
  QFETCH(int, command);
  QFETCH(QList<int>, present);
  CMainFrame frame;
  frame.show();
  // From a mode with every other set of views.
  frame.OnCommand(command == ID_MODE_REPLACE ? ID_MODE_SPLIT : ID_MODE_REPLACE);
  frame.OnCommand(command);
  CKorvaneBack* pane = frame.WorkPane();
  QCOMPARE(pane->LaidOutMode(), command - 32770);
  for (int slot = 0; slot < CKorvaneBack::SLOT_COUNT; ++slot) {
    QCOMPARE(pane->View(slot) != nullptr, present.contains(slot));
    if (pane->View(slot)) QVERIFY(pane->View(slot)->isVisible());
  }
  // Only the views of the mode remain as children of the pane.
  QCOMPARE(pane->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), present.size());
}

void LayoutTest::workPaneGeometry() {
  CKorvaneDoc doc(nullptr);
  doc.SetMode(MODE_REPLACE);
  doc.SetShares(0.2f, 0.5f);
  CKorvaneBack pane(&doc);
  pane.resize(600, 400);
  pane.ApplyMode();
  pane.show();
  QVERIFY(QTest::qWaitForWindowExposed(&pane));
  QCOMPARE(pane.size(), QSize(600, 400));
  QCOMPARE(pane.View(CKorvaneBack::SLOT_REPLACE_TO)->geometry(), QRect(0, 0, 600, 80));
  QCOMPARE(pane.View(CKorvaneBack::SLOT_TEXT)->geometry(), QRect(0, 87, 300, 313));
  QCOMPARE(pane.View(CKorvaneBack::SLOT_REPLACE_RESULT)->geometry(), QRect(307, 87, 293, 313));
  QVERIFY(!pane.View(CKorvaneBack::SLOT_SPLIT));
  QCOMPARE(pane.TextSeparator().rect.top(), 87);
  // Dragging the horizontal separator beyond 90 per cent stops there and tells the document.
  QVERIFY(pane.BeginDrag(QPoint(10, 82)));
  pane.DragTo(QPoint(10, 395));
  pane.EndDrag();
  QCOMPARE(pane.ReplaceToSeparator().rect.top(), 360);
  QCOMPARE(doc.GetPatternShare(), 0.9f);
  QCOMPARE(doc.GetTextShare(), 0.5f);
  QCOMPARE(pane.View(CKorvaneBack::SLOT_TEXT)->geometry().top(), 367);
  QCOMPARE(pane.TextSeparator().rect.top(), 367);
  // On resize the separators follow their ratios.
  pane.resize(300, 200);
  QTRY_COMPARE(pane.ReplaceToSeparator().rect.top(), 180);
  QCOMPARE(pane.TextSeparator().rect.left(), 150);
  // Match mode: the text box fills the pane and there is nothing to drag.
  doc.SetMode(MODE_MATCH);
  pane.OnUpdate(nullptr, HINT_MODE);
  QCOMPARE(pane.View(CKorvaneBack::SLOT_TEXT)->geometry(), QRect(0, 0, 300, 200));
  QVERIFY(!pane.View(CKorvaneBack::SLOT_REPLACE_TO));
  QVERIFY(!pane.BeginDrag(QPoint(150, 0)));
  QVERIFY(!pane.BeginDrag(QPoint(299, 100)));
}

void LayoutTest::splitDragKeepsReplaceRatio() {
  CKorvaneDoc doc(nullptr);
  doc.SetMode(MODE_SPLIT);
  doc.SetShares(0.25f, 0.5f);
  CKorvaneBack pane(&doc);
  pane.resize(500, 300);
  pane.ApplyMode();
  pane.show();
  QVERIFY(QTest::qWaitForWindowExposed(&pane));
  QCOMPARE(pane.TextSeparator().rect.left(), 250);
  QCOMPARE(pane.ReplaceToSeparator().thickness, 0);
  QVERIFY(pane.BeginDrag(QPoint(252, 100)));
  pane.DragTo(QPoint(352, 100));
  pane.EndDrag();
  QCOMPARE(doc.GetTextShare(), 0.7f);
  // The hidden replace-to separator's ratio 0 must not overwrite the one Replace mode shows.
  QCOMPARE(doc.GetPatternShare(), 0.25f);
  QCOMPARE(pane.View(CKorvaneBack::SLOT_SPLIT)->geometry().left(), 357);
  QCOMPARE(pane.View(CKorvaneBack::SLOT_TEXT)->geometry(), QRect(0, 0, 350, 300));
}

void LayoutTest::savedStatesAfterSwitching() {
  {
    CMainFrame frame;
    QCOMPARE(CLayoutStore::SavedStates(CProfile()), 0);
    frame.OnCommand(ID_MODE_REPLACE);
    frame.OnCommand(ID_MODE_MATCH);
    CProfile profile;
    QCOMPARE(CLayoutStore::SavedStates(profile), 0x6);
    QVERIFY(profile.Settings().contains(QStringLiteral("BarStates/Match/DockState")));
    QVERIFY(profile.Settings().contains(QStringLiteral("BarStates/Replace-Summary/ReplaceToHeight")));
    QVERIFY(profile.Settings().contains(QStringLiteral("BarStates/Match-SCBar-128/sizeVertCX")));
    QVERIFY(profile.Settings().contains(QStringLiteral("BarStates/Replace-SCBar-136/sizeFloatCY")));
    QVERIFY(profile.Settings().contains(QStringLiteral("Settings/PatternHeight")));
  }
}

// The context menu of the tool bars lists the bars by id, then the tool bars, in every mode:
// the same place in it toggles the same bar whatever layout was restored in between.
void LayoutTest::barMenuKeepsOneOrder() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  auto texts = [&frame] {
    std::unique_ptr<QMenu> menu(frame.createPopupMenu());
    QStringList out;
    if (menu)
      for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
  };
  const QStringList first = texts();
  QStringList bars;
  for (int id = BAR_STRUCTURE; id <= BAR_BACKTRACK; ++id)
    if (QWidget* bar = frame.SizingBar(id)) bars << bar->windowTitle();
  QVERIFY(first.size() > bars.size());
  QCOMPARE(first.mid(0, bars.size()), bars);
  for (int mode : {ID_MODE_REPLACE, ID_MODE_TRACE, ID_MODE_SPLIT, ID_MODE_MATCH}) {
    frame.OnCommand(mode);
    frame.OnCommand(ID_VIEW_BACKTRACK);  // shown, hidden: docks move among the children
    QCOMPARE(texts(), first);
  }
}

void LayoutTest::modeRestoresItsLayout() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  frame.OnCommand(ID_VIEW_STRUCTURE);  // hide it in Match mode
  QVERIFY(frame.SizingBar(BAR_STRUCTURE)->isHidden());
  frame.OnCommand(ID_MODE_REPLACE);  // never saved: the built-in layout
  QVERIFY(!frame.SizingBar(BAR_STRUCTURE)->isHidden());
  frame.OnCommand(ID_VIEW_SNAPSHOT);  // hide it in Replace mode
  frame.OnCommand(ID_MODE_MATCH);
  QVERIFY(frame.SizingBar(BAR_STRUCTURE)->isHidden());
  QVERIFY(!frame.SizingBar(BAR_SNAPSHOT)->isHidden());
  frame.OnCommand(ID_MODE_REPLACE);
  QVERIFY(!frame.SizingBar(BAR_STRUCTURE)->isHidden());
  QVERIFY(frame.SizingBar(BAR_SNAPSHOT)->isHidden());
  // The ratios of each mode come back with it.
  frame.Doc()->SetShares(0.35f, 0.6f);
  frame.OnCommand(ID_MODE_MATCH);
  frame.Doc()->SetShares(0.5f, 0.5f);
  frame.OnCommand(ID_MODE_REPLACE);
  QCOMPARE(frame.Doc()->GetPatternShare(), 0.35f);
  QCOMPARE(frame.Doc()->GetTextShare(), 0.6f);
  // A new frame opens in the saved layout of its mode.
  frame.close();
  CMainFrame again;
  again.show();
  QVERIFY(QTest::qWaitForWindowExposed(&again));
  QVERIFY(again.SizingBar(BAR_STRUCTURE)->isHidden());
}

void LayoutTest::resetAllBars() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  frame.OnCommand(ID_VIEW_STRUCTURE);
  frame.OnCommand(ID_VIEW_GROUP);
  frame.OnCommand(ID_VIEW_MATCH_MODE);
  frame.SizingBar(BAR_STACK)->show();
  frame.OnCommand(ID_VIEW_TESTS);
  frame.OnCommand(ID_VIEW_RESET_BARS);
  for (int id : {int(BAR_STRUCTURE), int(BAR_GROUP), int(BAR_TEXT_CLIP), int(BAR_SNAPSHOT), int(BAR_TESTS),
                 int(BAR_TOOLBAR), int(BAR_MATCH_MODE), int(BAR_MATCH_BUTTONS)})
    QVERIFY2(frame.Bar(id)->isVisible(), qPrintable(QString::number(id)));
  QVERIFY(!frame.Bar(BAR_MESSAGE)->isVisible());
  QVERIFY(!frame.Bar(BAR_STACK)->isVisible());
  QVERIFY(!frame.Bar(BAR_WORK_MODE)->isVisible());
  QCOMPARE(frame.dockWidgetArea(frame.SizingBar(BAR_STRUCTURE)), Qt::LeftDockWidgetArea);
  QCOMPARE(frame.dockWidgetArea(frame.SizingBar(BAR_GROUP)), Qt::BottomDockWidgetArea);
  QCOMPARE(frame.dockWidgetArea(frame.SizingBar(BAR_SNAPSHOT)), Qt::RightDockWidgetArea);
  QCOMPARE(frame.dockWidgetArea(frame.SizingBar(BAR_TEXT_CLIP)), Qt::RightDockWidgetArea);
  QVERIFY(frame.SizingBar(BAR_SNAPSHOT)->geometry().top() < frame.SizingBar(BAR_TEXT_CLIP)->geometry().top());
  // Group and Tests share the whole width at the bottom, below Structure, Tests on the right.
  QVERIFY(frame.SizingBar(BAR_GROUP)->geometry().top() >= frame.SizingBar(BAR_STRUCTURE)->geometry().bottom());
  QCOMPARE(frame.dockWidgetArea(frame.SizingBar(BAR_TESTS)), Qt::BottomDockWidgetArea);
  QCOMPARE(frame.SizingBar(BAR_TESTS)->geometry().top(), frame.SizingBar(BAR_GROUP)->geometry().top());
  QVERIFY(frame.SizingBar(BAR_TESTS)->geometry().left() > frame.SizingBar(BAR_GROUP)->geometry().right());
  QCOMPARE(frame.toolBarArea(frame.ToolBarOf(BAR_MATCH_MODE)), Qt::TopToolBarArea);
  QVERIFY(frame.ToolBarOf(BAR_MATCH_MODE)->geometry().top() < frame.ToolBarOf(BAR_MATCH_BUTTONS)->geometry().top());
  QVERIFY(frame.ToolBarOf(BAR_TOOLBAR)->geometry().top() < frame.ToolBarOf(BAR_MATCH_MODE)->geometry().top());
}

void LayoutTest::patternHeight_data() {
  QTest::addColumn<QString>("stored");
  QTest::addColumn<int>("height");
  QTest::newRow("10 opens at 30") << "10" << 30;
  QTest::newRow("29") << "29" << 30;
  QTest::newRow("30") << "30" << 30;
  QTest::newRow("150") << "150" << 150;
  QTest::newRow("garbage") << "tall" << 100;
  QTest::newRow("missing") << "" << 100;
  QTest::newRow("negative") << "-5" << 30;
}

void LayoutTest::patternHeight() {
  QFETCH(QString, stored);
  QFETCH(int, height);
  {
    CProfile profile;
    if (!stored.isEmpty()) profile.WriteString(QStringLiteral("Settings"), QStringLiteral("PatternHeight"), stored);
    profile.Flush();
  }
  QCOMPARE(CLayoutStore::ReadPatternHeight(CProfile()), height);
  CMainFrame frame;
  frame.resize(900, 700);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  QCOMPARE(frame.PatternPane()->height(), height);
}

void LayoutTest::sizeLoadsRaisedToMinimum_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<int>("stored");
  QTest::addColumn<int>("loaded");
  QTest::newRow("sizeVertCX 5 loads as 33") << "sizeVertCX" << 5 << 33;
  QTest::newRow("sizeVertCY 0") << "sizeVertCY" << 0 << 32;
  QTest::newRow("sizeHorzCX -7") << "sizeHorzCX" << -7 << 33;
  QTest::newRow("sizeHorzCY 31") << "sizeHorzCY" << 31 << 32;
  QTest::newRow("sizeFloatCX 36") << "sizeFloatCX" << 36 << 37;
  QTest::newRow("sizeFloatCY 300") << "sizeFloatCY" << 300 << 300;
}

void LayoutTest::sizeLoadsRaisedToMinimum() {
  QFETCH(QString, key);
  QFETCH(int, stored);
  QFETCH(int, loaded);
  CProfile profile;
  const QString section = CLayoutStore::ModeSection(MODE_MATCH);
  profile.WriteInt(CSizingControlBarG::SizeSection(section, 130), key, stored);
  CSizingControlBarG bar(130, QStringLiteral("Group"));
  bar.LoadSizes(profile, section);
  const QHash<QString, int> sizes = {{"sizeHorzCX", bar.HorzSize().width()},  {"sizeHorzCY", bar.HorzSize().height()},
                                     {"sizeVertCX", bar.VertSize().width()},  {"sizeVertCY", bar.VertSize().height()},
                                     {"sizeFloatCX", bar.FloatSize().width()}, {"sizeFloatCY", bar.FloatSize().height()}};
  for (auto it = sizes.begin(); it != sizes.end(); ++it)
    QCOMPARE(it.value(), it.key() == key ? loaded : 200);  // missing values keep the current size
  QCOMPARE(CSizingControlBarG::SizeSection(QStringLiteral("BarStates\\Trace"), 131), QStringLiteral("BarStates\\Trace-SCBar-131"));
}

void LayoutTest::ratioStoredAsPercent_data() {
  QTest::addColumn<float>("ratio");
  QTest::addColumn<int>("percent");
  QTest::newRow("0.456 stores as 45") << 0.456f << 45;
  QTest::newRow("0.45 read back stays 45") << 0.45f << 45;
  QTest::newRow("0.2") << 0.2f << 20;
  QTest::newRow("0.1") << 0.1f << 10;
  QTest::newRow("0.9") << 0.9f << 90;
  QTest::newRow("0.999") << 0.999f << 99;
  QTest::newRow("0.57") << 0.57f << 57;
}

void LayoutTest::ratioStoredAsPercent() {
  QFETCH(float, ratio);
  QFETCH(int, percent);
  QCOMPARE(CLayoutStore::RatioToPercent(ratio), percent);
  CProfile profile;
  CLayoutStore::WriteRatios(profile, MODE_REPLACE, ratio, 0.5f);
  QCOMPARE(profile.GetInt(QStringLiteral("BarStates\\Replace-Summary"), QStringLiteral("ReplaceToHeight"), -1), percent);
  float replaceTo = 0, text = 0;
  CLayoutStore::ReadRatios(profile, MODE_REPLACE, &replaceTo, &text);
  QCOMPARE(replaceTo, qBound(0.1f, CLayoutStore::PercentToRatio(percent), 0.9f));
  QCOMPARE(text, 0.5f);
}

void LayoutTest::garbageLayoutFallsBack() {
  {
    CProfile profile;
    CLayoutStore::MarkSaved(profile, MODE_MATCH);
    profile.Settings().setValue(QStringLiteral("BarStates/Match/DockState"), QByteArray("not a layout"));
    profile.WriteString(QStringLiteral("BarStates\\Match-Summary"), QStringLiteral("ReplaceToHeight"), QStringLiteral("wide"));
    profile.WriteString(QStringLiteral("BarStates\\Match-Summary"), QStringLiteral("TextEditWidth"), QStringLiteral("250"));
    profile.WriteString(QStringLiteral("BarStates\\Match-SCBar-128"), QStringLiteral("sizeVertCX"), QStringLiteral("x"));
    profile.WriteString(QStringLiteral("BarStates"), QStringLiteral("SavedStates"), QStringLiteral("3"));
    profile.Flush();
  }
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  // The built-in layout stands in; the ratios fall back or are kept inside their range.
  QVERIFY(frame.SizingBar(BAR_STRUCTURE)->isVisible());
  QVERIFY(frame.SizingBar(BAR_GROUP)->isVisible());
  QVERIFY(!frame.SizingBar(BAR_STACK)->isVisible());
  QCOMPARE(frame.Doc()->GetPatternShare(), 0.2f);
  QCOMPARE(frame.Doc()->GetTextShare(), 0.9f);
  QCOMPARE(frame.SizingBar(BAR_STRUCTURE)->VertSize().width(), 200);
  // A garbage "SavedStates" means nothing was saved.
  {
    CProfile profile;
    profile.WriteString(QStringLiteral("BarStates"), QStringLiteral("SavedStates"), QStringLiteral("lots"));
    QCOMPARE(CLayoutStore::SavedStates(profile), 0);
  }
}

// The window comes back at the size it was closed with; a placement Qt cannot read gives the
// default size.
void LayoutTest::windowPlacementIsKept() {
  {
    CMainFrame frame;
    QCOMPARE(frame.size(), QSize(1000, 720));  // nothing stored yet
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.resize(820, 610);
    QTRY_COMPARE(frame.size(), QSize(820, 610));
    QVERIFY(frame.close());
  }
  {
    CMainFrame again;
    QCOMPARE(again.size(), QSize(820, 610));
  }
  {
    CProfile profile;
    profile.Settings().setValue(QStringLiteral("Settings/WindowPlacement"), QByteArray("not a placement"));
    profile.Flush();
  }
  CMainFrame garbage;
  QCOMPARE(garbage.size(), QSize(1000, 720));
}

void LayoutTest::activeViewLeavesDestroyedView() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  frame.OnCommand(ID_MODE_REPLACE);
  QWidget* replaceTo = frame.WorkPane()->View(CKorvaneBack::SLOT_REPLACE_TO);
  QVERIFY(replaceTo);
  frame.SetActiveView(replaceTo);
  replaceTo->setFocus();
  QCOMPARE(frame.ActiveView(), replaceTo);
  frame.OnCommand(ID_MODE_MATCH);
  QCOMPARE(frame.ActiveView(), frame.PatternEditView());
  QVERIFY(frame.PatternEditView());
}

int main(int argc, char** argv) { return RunWithPrivateSettings<LayoutTest>(argc, argv, "frame-layout-test"); }

#include "frame_layout_test.moc"
