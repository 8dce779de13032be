// Takes the screenshots of the result views in the real main window: Replace mode after Find All
// (highlighted matches, the replace result) and Trace mode paused in the middle of a match (the
// step marks and the filled Stack list). Run it under Xvfb with a private settings folder:
//   XDG_CONFIG_HOME=$(mktemp -d) xvfb-run -a -s "-screen 0 1280x800x24" \
//     <build>/app/ui/results/tools/result_screenshots <output folder>
// Message boxes the searches open are answered at once, so the run needs no one at the screen.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/frame/korvane_app.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/tools/shot_support.h"
#include "resources/korvane_ids.h"

using shots::Save;
using shots::SetTexts;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
  QDir().mkpath(out);
  CKorvaneApp::InstallLanguage(CStringTable::kEnglish);
  ApplyPaletteFromEnvironment();  // KORVANE_PALETTE=dark for the dark pictures

  shots::CBoxAnswerer answer;

  CMainFrame frame;
  frame.resize(1200, 760);
  frame.show();
  shots::Settle(300);
  bool ok = true;

  // Replace mode: every match highlighted in the text, every replacement in the result.
  frame.OnCommand(ID_MODE_REPLACE);
  SetTexts(frame, QStringLiteral("(\\w+)@(\\w+)\\.com"),
           QStringLiteral("Write to anna@example.com or to bo@sample.com;\n"
                          "the old address carl@archive.com still works,\n"
                          "but dora@nowhere.org does not.\n"
                          "Lists: eve@lists.com, finn@lists.com, gus@lists.com\n"),
           QStringLiteral("$2 (for $1)"));
  frame.OnCommand(ID_MATCH_FIND_ALL);
  shots::Settle(300);
  // The second match becomes the current one: yellow in the text and in the replace result.
  frame.OnCommand(ID_RECORD_FIRST);
  frame.OnCommand(ID_RECORD_NEXT);
  ok = Save(frame, QDir(out).filePath(QStringLiteral("replace_mode.png"))) && ok;

  // Trace mode, paused in the middle of a match: the attempt and the current step are marked in
  // the text, the Stack bar lists the elements being matched.
  frame.OnCommand(ID_MODE_TRACE);
  SetTexts(frame, QStringLiteral("(\\d+)-(\\d+)(?:-(x|\\d+))?"), QStringLiteral("call 555-0123-42 now"), QString());
  // The Stack bar (bar 131) is shown for the picture whatever the mode's layout says.
  if (QWidget* stack = frame.Bar(131)) stack->show();
  // Five failed attempts before "555", then the digits: stop inside the second number.
  for (int i = 0; i < 12; ++i) frame.OnCommand(ID_MATCH_STEP);
  ok = Save(frame, QDir(out).filePath(QStringLiteral("trace_mode.png"))) && ok;

  frame.OnCommand(ID_MATCH_RESET);
  return ok ? 0 : 1;
}
