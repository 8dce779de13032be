// The frame's Qt Test classes (run by frame_test_main.cpp):
//   FrameTest     commands, menus, bars, status panes, routing to the document, the wait dialog
//   LayoutTest    the work pane's views and separators, per-mode layouts and their keys
//   SettingsTest  fonts, the Fonts dialog, language, recent files, start-up input
#ifndef KORVANE_FRAME_TEST_H
#define KORVANE_FRAME_TEST_H

#include <QObject>

class FrameTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void commandTable_data();
  void commandTable();
  void menusHoldEveryCommand();
  void removedMenuItems();
  void resultPositionPane_data();
  void resultPositionPane();
  void elapsedPane();
  void statusPrompt();
  void findThroughMenu();
  void findAllThroughMenu();
  void findButtonReadsContinueWhilePaused();
  void stepBackThroughMenuAndSlider();
  void optionCheckBoxFollowsDocument();
  void barToggles_data();
  void barToggles();
  void submenuGreying();
  void standardPluginFillsTheMenus();
  void describeFrameListsMenusPluginsAndClips();
  void pluginFaultsAreReported();
  void contextMenus_data();
  void contextMenus();
  void droppedFiles();
  void waitDialogShowsAndBreaks();
  void waitDialogClosesAsBreak_data();
  void waitDialogClosesAsBreak();
  void nothingStartsInsideTheWait_data();
  void nothingStartsInsideTheWait();
  void exitThroughMenu_data();
  void exitThroughMenu();
  void unsavedClipsAskBeforeClosing_data();
  void unsavedClipsAskBeforeClosing();
  void missingCommandLineFile();
  void garbageCommandLineFile();
  void editCommandsGoToActiveView();
  void paneSwitching();
};

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

class SettingsTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void fontParse_data();
  void fontParse();
  void fontRoundTrip();
  void fontsDialogRules();
  void fontsDialogCancelSavesNothing();
  void fontStandsInForAMissingFace_data();
  void fontStandsInForAMissingFace();
  void fontDialogStartsFromTheCurrentFont();
  void fontsDialogKeepsAMissingFace();
  void languageFromIni_data();
  void languageFromIni();
  void chineseMenus();
  void recentFiles();
};

#endif
