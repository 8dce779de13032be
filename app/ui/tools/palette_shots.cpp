// palette_shots: the main window in Match mode after Find All and in Optimize mode with the
// heat map, in the palette the environment asks for (KORVANE_PALETTE=dark or light, as the
// program honours it). Not built by default; app/ui/tools/palette_shots.sh runs it under Xvfb:
//   ninja -C <build> palette_shots
//   KORVANE_PALETTE=dark xvfb-run -a -s "-screen 0 1280x800x24" <build>/bin/palette_shots -style Fusion <folder>
// Writes match-<palette>.png and optimize-<palette>.png into the folder. The settings store goes
// to a temporary folder, so a developer's own layout is not used.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/frame/korvane_app.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/tools/shot_support.h"
#include "korvane_ids.h"
#include "stringtable.h"


int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QString out = args.size() > 1 ? args.last() : QDir::currentPath();
  QDir().mkpath(out);
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  CKorvaneApp::InstallLanguage(CStringTable::kEnglish);
  ApplyPaletteFromEnvironment();
  const QString name = IsDarkPalette(QApplication::palette()) ? QStringLiteral("dark") : QStringLiteral("light");

  shots::CBoxAnswerer answer;

  CMainFrame frame;
  frame.resize(1200, 720);
  frame.show();
  shots::Settle(300);
  bool ok = true;

  const QString text = QStringLiteral(
      "Orders: 2026-03-14 (paid), 2026-04-01 (open), 2025-12-24 (paid)\n"
      "Refunds: 2026-02-29 is not a date, 1999-01-01 (old), 2026-07-04 (open)\n"
      "Notes: call 555-0123 on 2026-05-05; ship by 2026-06-30.\n");
  // Match mode: every match highlighted, the second one current, its element yellow in the pattern.
  frame.OnCommand(ID_MODE_MATCH);
  shots::SetTexts(frame, QStringLiteral("(\\d{4})-(\\d\\d)-(\\d\\d)(?: \\((paid|open)\\))?"), text, QString());
  frame.OnCommand(ID_MATCH_FIND_ALL);
  shots::Settle(300);
  frame.OnCommand(ID_RECORD_FIRST);
  frame.OnCommand(ID_RECORD_NEXT);
  ok = shots::Save(frame, QDir(out).filePath(QStringLiteral("match-%1.png").arg(name))) && ok;

  // Optimize mode: a search fills the run counters, the pattern box and the tree show the heat.
  frame.OnCommand(ID_MODE_OPTIMIZE);
  shots::SetTexts(frame, QStringLiteral("(\\w+\\s*)*(paid|open|old)\\b|\\d+-\\d+"), text, QString());
  frame.OnCommand(ID_MATCH_FIND_ALL);
  shots::Settle(600);
  ok = shots::Save(frame, QDir(out).filePath(QStringLiteral("optimize-%1.png").arg(name))) && ok;

  frame.OnCommand(ID_MATCH_RESET);
  return ok ? 0 : 1;
}
