// frame_shot: draws the main window in Replace mode with a worked example and saves it as a
// picture (docs/screenshot-replace.png). Not built by default; run under Xvfb:
//   ninja -C <build> frame_shot
//   xvfb-run -a -s "-screen 0 1280x800x24" <build>/bin/frame_shot docs/screenshot-replace.png
// The settings store goes to a temporary folder, so a developer's own layout is not used.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "app/ui/frame/korvane_app.h"
#include "app/ui/frame/main_frame.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {
std::vector<unsigned short> U16(const QString& s) {
  std::vector<unsigned short> v;
  for (QChar c : s) v.push_back(c.unicode());
  return v;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshot-replace.png");
  const int language = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : CStringTable::kEnglish;
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  CKorvaneApp::InstallLanguage(CStringTable::NormalizeLanguage(language));

  CMainFrame frame;
  // Every message is answered at once; the question to save at the end is answered No.
  frame.messageBoxHook = [](const QString&, const QString&, int, int buttons) {
    return buttons == IDocumentUi::BUTTONS_YES_NO_CANCEL ? IDocumentUi::ANSWER_NO : IDocumentUi::ANSWER_OK;
  };
  frame.resize(1240, 760);
  frame.show();
  CKorvaneDoc* doc = frame.Doc();
  const auto pattern = U16(QStringLiteral("(\\w+)@(\\w+)\\.(com|org)"));
  const auto text = U16(QStringLiteral(
      "Write to alice@example.com for the schedule,\nor to bob@korvane.org about the engine.\n"
      "Old addresses such as carol@mail.net are not matched.\n"));
  const auto replaceTo = U16(QStringLiteral("$2: $1"));
  doc->SetPattern(pattern.data(), static_cast<int>(pattern.size()), false);
  doc->SetSubjectText(text.data(), static_cast<int>(text.size()));
  doc->SetReplaceTo(replaceTo.data(), static_cast<int>(replaceTo.size()));
  frame.OnCommand(ID_MODE_REPLACE);
  doc->UpdateAllViews(nullptr, kInitialUpdateHint);
  frame.OnCommand(ID_MATCH_FIND_ALL);
  frame.OnCommand(ID_RECORD_FIRST);

  int status = 1;
  QTimer::singleShot(1500, [&] {
    status = frame.grab().save(out) ? 0 : 1;
    app.quit();
  });
  app.exec();
  return status;
}
