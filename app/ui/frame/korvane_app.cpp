// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/korvane_app.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include "app/ui/editor/view_colours.h"
#include "app/document/core/korvane_doc.h"
#include "app/document/files/text_clips.h"
#include "app/plugin_host/plugin_manager.h"
#include "app/ui/frame/main_frame.h"
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

namespace {

// The built-in application icon, for desktops whose icon theme lacks it (or that have none).
QIcon ApplicationIcon() {
  QIcon builtIn;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    builtIn.addFile(QStringLiteral(":/korvane/app/org.korvane.Korvane-%1.png").arg(size), QSize(size, size));
  return QIcon::fromTheme(QStringLiteral("org.korvane.Korvane"), builtIn);
}

void DescribeMenu(const QMenu* menu, const QString& path, int depth, QStringList* lines) {
  // Deeper than any menu the frame or a plugin can build (plugin popups nest 32 deep at most).
  if (depth > 40) return;
  for (const QAction* item : menu->actions()) {
    if (item->isSeparator()) continue;
    QString caption = item->text();
    caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    caption.replace(QLatin1String("&&"), QLatin1String("&"));
    caption = caption.section(QLatin1Char('\t'), 0, 0);
    const QString here = path + QLatin1String(" > ") + caption;
    if (item->menu())
      DescribeMenu(item->menu(), here, depth + 1, lines);
    else
      lines->append(QLatin1String("menu: ") + here);
  }
}

}  // namespace

QStringList CKorvaneApp::DescribeFrame(const CMainFrame& frame) {
  QStringList lines;
  for (const QAction* top : frame.menuBar()->actions()) {
    if (!top->menu()) continue;
    QString caption = top->text();
    caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    DescribeMenu(top->menu(), caption, 0, &lines);
  }
  if (const PluginManager* plugins = frame.Plugins())
    for (const QString& path : plugins->LoadedLibraries()) lines.append(QLatin1String("plugin-library: ") + path);
  lines.append(QLatin1String("clips-file: ") + frame.Doc()->GetClips().Path());
  return lines;
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
  app.setDesktopFileName(QStringLiteral("org.korvane.Korvane"));
  app.setWindowIcon(ApplicationIcon());
  // KORVANE_PALETTE=dark (or light) overrides the desktop's palette; with -style Fusion that
  // gives a dark program on any desktop.
  ApplyPaletteFromEnvironment();

  CMainFrame frame;
  const QString file = CommandLineFile(app.arguments());
  if (!file.isEmpty()) frame.OpenDocumentFile(file);
  frame.show();
  frame.EnableDrop();
  // A clips file that could not be read at start is reported as soon as the window is up, not
  // only when it first gets the focus (which a session without a window manager never sends).
  QTimer::singleShot(0, &frame, [&frame] { frame.Doc()->ShowClipsNotice(); });
  if (app.arguments().contains(QLatin1String("--list-menus"))) {
    // After the first events: the frame stands, its menus are filled and it is shown.
    QTimer::singleShot(0, &frame, [&frame] {
      QTextStream out(stdout);
      for (const QString& line : DescribeFrame(frame)) out << line << '\n';
      out.flush();
      frame.close();
      QCoreApplication::exit(0);  // also when the frame would not close
    });
  }
  return app.exec();
}
