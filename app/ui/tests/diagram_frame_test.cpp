// The Diagram pane in the real frame, offscreen: hidden at first and shown from the View menu,
// kept in each mode's layout, and a click on a box selecting the element in the frame's pattern
// box and structure tree. Settings live in a temporary folder.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include "app/document/core/korvane_doc.h"
#include "app/ui/panes/diagram/diagram_view.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "stringtable.h"

class DiagramFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
  }

  void viewMenuShowsThePaneAndEachModeKeepsIt() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CSizingControlBarG* bar = frame.SizingBar(BAR_DIAGRAM);
    QVERIFY(bar);
    QCOMPARE(bar->windowTitle(), CStringTable::Str(IDS_BAR_DIAGRAM));
    QVERIFY(qobject_cast<CDiagramPane*>(bar->View()));
    QVERIFY(bar->isHidden());
    frame.UpdateCommandUi();
    QVERIFY(!frame.CommandAction(ID_VIEW_DIAGRAM)->isChecked());
    frame.OnCommand(ID_VIEW_DIAGRAM);
    QVERIFY(bar->isVisible());
    // Its tab is in front of the Tests tab.
    QTabBar* tabs = nullptr;
    for (QTabBar* t : frame.findChildren<QTabBar*>())
      for (int i = 0; i < t->count(); ++i)
        if (t->tabText(i) == bar->windowTitle()) tabs = t;
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), bar->windowTitle());
    frame.UpdateCommandUi();
    QVERIFY(frame.CommandAction(ID_VIEW_DIAGRAM)->isChecked());
    frame.OnCommand(ID_MODE_REPLACE);  // never saved: the built-in layout, without the diagram
    QVERIFY(bar->isHidden());
    frame.OnCommand(ID_MODE_MATCH);
    QVERIFY(!bar->isHidden());
    frame.close();
    CMainFrame again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QVERIFY(!again.SizingBar(BAR_DIAGRAM)->isHidden());
  }

  void aClickSelectsInThePatternBoxAndTheTree() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_DIAGRAM);
    auto* pane = qobject_cast<CDiagramPane*>(frame.SizingBar(BAR_DIAGRAM)->View());
    auto* tree = qobject_cast<CRegexTreeView*>(frame.SizingBar(BAR_STRUCTURE)->View());
    auto* edit = CRegexEditView::ForDocument(frame.Doc());
    QVERIFY(pane && tree && edit);
    const QString pattern = QStringLiteral("(?<user>\\w+)@(?<host>\\w+)");
    std::vector<unsigned short> text(pattern.utf16(), pattern.utf16() + pattern.size());
    frame.Doc()->SetPattern(text.data(), static_cast<int>(text.size()), false);
    frame.Doc()->Notify(nullptr, HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED);
    QTRY_VERIFY(pane->Layout().Boxes().size() > 3);
    // The "@" box.
    int at = -1;
    for (size_t i = 0; i < pane->Layout().Boxes().size(); ++i)
      if (pane->Layout().Boxes()[i].text == QStringLiteral("@")) at = static_cast<int>(i);
    QVERIFY(at >= 0);
    QTest::mouseClick(pane->Viewport(), Qt::LeftButton, Qt::NoModifier, pane->BoxCentre(at));
    const HostElement* element = pane->Layout().Boxes()[at].element;
    QCOMPARE(frame.Doc()->GetCurrentElement(), element);
    QCOMPARE(tree->currentItem(), tree->FindNode(element));
    QCOMPARE(edit->textCursor().selectionStart(), 12);
    QCOMPARE(edit->textCursor().selectionEnd(), 13);
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QTemporaryDir settings;
  if (!settings.isValid()) return 2;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  CStringTable::SetCurrent(CStringTable::kEnglish);
  DiagramFrameTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "diagram_frame_test.moc"
