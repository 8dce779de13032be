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

#include "app/document/korvane_doc.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/korvane_app.h"
#include "app/ui/main_frame.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

std::vector<unsigned short> U16Of(const QString& s) { return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size()); }

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void SetTexts(CMainFrame& frame, const QString& pattern, const QString& text) {
  CKorvaneDoc* doc = frame.Doc();
  std::vector<unsigned short> p = U16Of(pattern), t = U16Of(text);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->Notify(nullptr, 0x2 | 0x8000);
  doc->Notify(nullptr, 0x12B1);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
  doc->Notify(nullptr, 0x12 | 0x8);
  doc->Notify(nullptr, 0x81228);
}

bool Save(CMainFrame& frame, const QString& path) {
  Settle(500);  // the scroll timers paint the visible windows
  const bool ok = frame.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "failed", qPrintable(path));
  return ok;
}

}  // namespace

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

  // Answers every message box (the "finished" note of Find All) as soon as it shows.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
  });
  answer.start(50);

  CMainFrame frame;
  frame.resize(1200, 720);
  frame.show();
  Settle(300);
  bool ok = true;

  const QString text = QStringLiteral(
      "Orders: 2026-03-14 (paid), 2026-04-01 (open), 2025-12-24 (paid)\n"
      "Refunds: 2026-02-29 is not a date, 1999-01-01 (old), 2026-07-04 (open)\n"
      "Notes: call 555-0123 on 2026-05-05; ship by 2026-06-30.\n");
  // Match mode: every match highlighted, the second one current, its element yellow in the pattern.
  frame.OnCommand(ID_MODE_MATCH);
  SetTexts(frame, QStringLiteral("(\\d{4})-(\\d\\d)-(\\d\\d)(?: \\((paid|open)\\))?"), text);
  frame.OnCommand(ID_MATCH_FIND_ALL);
  Settle(300);
  frame.OnCommand(ID_RECORD_FIRST);
  frame.OnCommand(ID_RECORD_NEXT);
  ok = Save(frame, QDir(out).filePath(QStringLiteral("match-%1.png").arg(name))) && ok;

  // Optimize mode: a search fills the run counters, the pattern box and the tree show the heat.
  frame.OnCommand(ID_MODE_OPTIMIZE);
  SetTexts(frame, QStringLiteral("(\\w+\\s*)*(paid|open|old)\\b|\\d+-\\d+"), text);
  frame.OnCommand(ID_MATCH_FIND_ALL);
  Settle(600);
  ok = Save(frame, QDir(out).filePath(QStringLiteral("optimize-%1.png").arg(name))) && ok;

  frame.OnCommand(ID_MATCH_RESET);
  return ok ? 0 : 1;
}
