// Start-up and shut-down of the program: the user-interface language from the INI file beside
// the program ("LCID" in "Settings": 2052 Simplified Chinese, 1033 English, 0 or missing: the
// system's choice), the string table and Qt's own translations for that language, the window
// icon (the desktop's icon theme, else the built-in one), the frame with its single document,
// and the command line (a workspace file name opens it).
//
// "--list-menus" is for install checks, not for users: the program starts as usual, then writes
// its menus (every item, one line each), the plugin libraries it loaded and its clips file to
// the standard output and quits.
//
// Covered by app/ui/tests/frame_test.cpp (start-up rows).
#ifndef KORVANE_KORVANE_APP_H
#define KORVANE_KORVANE_APP_H

#include <QString>
#include <QStringList>

class QApplication;
class CMainFrame;

class CKorvaneApp {
 public:
  // "LCID" of the INI file at path; 0 when the file, the key or a number is missing.
  static int ReadLanguageSetting(const QString& iniPath);
  // The language to show (1033 or 2052) for an "LCID" value; 0 follows the system locale.
  static int ChooseLanguage(int lcid);
  // Makes a language current for the run: korvane's string table, the default locale (which
  // plugins follow) and, for Chinese, Qt's own translations of its standard dialogs. Call once,
  // before any window exists.
  static void InstallLanguage(int language);
  // The workspace named on the command line (the first argument that is not an option), or empty.
  static QString CommandLineFile(const QStringList& arguments);
  // The lines "--list-menus" writes for a frame: "menu: Tools > Import From Clipboard > ..."
  // for every menu item (captions without their '&' marks, submenus followed), then
  // "plugin-library: <path>" for each loaded plugin library and "clips-file: <path>".
  static QStringList DescribeFrame(const CMainFrame& frame);
  // The whole run: language, frame, command line, event loop. Returns the exit code.
  static int Run(QApplication& app);
};

#endif
