// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/korvane_app.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "app/document/korvane_doc.h"
#include "app/ui/main_frame.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "platform/program_paths.h"
#include "stringtable.h"

int CKorvaneApp::ReadLanguageSetting(const QString& iniPath) {
  if (iniPath.isEmpty()) return 0;
  CProfile ini(iniPath);
  return ini.GetInt(QStringLiteral("Settings"), QStringLiteral("LCID"), 0);
}

int CKorvaneApp::ChooseLanguage(int lcid) {
  if (lcid == 0) return CStringTable::LanguageFromLocale(QLocale::system());
  return CStringTable::NormalizeLanguage(lcid);
}

void CKorvaneApp::InstallLanguage(int language) {
  CStringTable::SetCurrent(language);
  if (language == CStringTable::kSimplifiedChinese) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    // Lives for the run: the application keeps only a pointer.
    static QTranslator* qtTranslator = nullptr;
    if (!qtTranslator && QCoreApplication::instance()) {
      qtTranslator = new QTranslator(QCoreApplication::instance());
      if (qtTranslator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator);
    }
  } else if (QLocale().language() == QLocale::Chinese) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
}

QString CKorvaneApp::CommandLineFile(const QStringList& arguments) {
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a.isEmpty() || a.startsWith(QLatin1Char('-'))) continue;
    return a;
  }
  return QString();
}

int CKorvaneApp::Run(QApplication& app) {
  const int lcid = ReadLanguageSetting(CProgramPaths::ProgramPathWithExtension(QStringLiteral(".ini")));
  InstallLanguage(ChooseLanguage(lcid));
  app.setApplicationDisplayName(CStringTable::Str(IDS_APP_NAME));
  app.setWindowIcon(QIcon(QStringLiteral(":/korvane/icons/about.png")));

  CMainFrame frame;
  const QString file = CommandLineFile(app.arguments());
  if (!file.isEmpty()) frame.OpenDocumentFile(file);
  frame.show();
  frame.EnableDrop();
  // A clips file that could not be read at start is reported as soon as the window is up, not
  // only when it first gets the focus (which a session without a window manager never sends).
  QTimer::singleShot(0, &frame, [&frame] { frame.Doc()->ShowClipsNotice(); });
  return app.exec();
}
