// The Explanation bar in the real frame, offscreen: hidden in the built-in layouts, shown and
// hidden from the View menu, kept in each mode's saved layout, titled in the current language,
// and its pane following the document's pattern. Settings live in a temporary folder.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/document/files/text_clips.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/panes/explanation/explanation_pane.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "platform/shared_counter.h"
#include "stringtable.h"
#include "app/ui/tests/private_settings_main.h"

class ExplanationBarTest : public QObject {
  Q_OBJECT

 private:
  static void ClearSettings() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
  }

 private slots:
  void init() { ClearSettings(); }

  void viewMenuShowsAndHidesIt() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QWidget* bar = frame.Bar(BAR_EXPLANATION);
    QVERIFY(bar);
    QCOMPARE(bar->windowTitle(), CStringTable::Str(IDS_BAR_EXPLANATION));
    QVERIFY(qobject_cast<CExplanationPane*>(frame.SizingBar(BAR_EXPLANATION)->View()));
    QVERIFY(!bar->isVisible());  // the built-in layouts leave it to the View menu
    QVERIFY(frame.TopMenu(IDS_MENU_VIEW)->actions().contains(frame.CommandAction(ID_VIEW_EXPLANATION)));
    frame.UpdateCommandUi();
    QVERIFY(!frame.CommandAction(ID_VIEW_EXPLANATION)->isChecked());
    frame.OnCommand(ID_VIEW_EXPLANATION);
    QVERIFY(bar->isVisible());
    QCOMPARE(frame.dockWidgetArea(frame.SizingBar(BAR_EXPLANATION)), Qt::BottomDockWidgetArea);
    frame.UpdateCommandUi();
    QVERIFY(frame.CommandAction(ID_VIEW_EXPLANATION)->isChecked());
    frame.OnCommand(ID_VIEW_EXPLANATION);
    QVERIFY(!bar->isVisible());
    // Reset All Bars hides it again.
    frame.OnCommand(ID_VIEW_EXPLANATION);
    frame.OnCommand(ID_VIEW_RESET_BARS);
    QVERIFY(!bar->isVisible());
  }

  void keptInEachModesLayout() {
    {
      CMainFrame frame;
      frame.show();
      QVERIFY(QTest::qWaitForWindowExposed(&frame));
      frame.OnCommand(ID_VIEW_EXPLANATION);  // shown in Match mode
      frame.OnCommand(ID_MODE_REPLACE);      // never saved: the built-in layout
      QVERIFY(!frame.Bar(BAR_EXPLANATION)->isVisible());
      frame.OnCommand(ID_MODE_MATCH);
      QVERIFY(frame.Bar(BAR_EXPLANATION)->isVisible());
      frame.close();
    }
    CMainFrame again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QVERIFY(again.Bar(BAR_EXPLANATION)->isVisible());
  }

  void paneFollowsThePattern() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_EXPLANATION);
    auto* pane = qobject_cast<CExplanationPane*>(frame.SizingBar(BAR_EXPLANATION)->View());
    QVERIFY(pane);
    const QString pattern = QStringLiteral("\\w+@\\w+");
    std::vector<unsigned short> u(pattern.utf16(), pattern.utf16() + pattern.size());
    frame.Doc()->SetPattern(u.data(), static_cast<int>(u.size()), true);
    frame.Doc()->Notify(nullptr, HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED);
    QTreeWidgetItem* root = pane->topLevelItem(0);
    QVERIFY(root);
    QCOMPARE(root->text(0), QStringLiteral("these 3 parts in order"));
    QCOMPARE(root->child(1)->text(0), QStringLiteral("the literal text `@`"));
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<ExplanationBarTest>(argc, argv, "explanation-bar-test"); }

#include "explanation_bar_test.moc"
