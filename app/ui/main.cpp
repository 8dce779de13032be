// The korvane program: a desktop workbench for regular expressions.
#include <QApplication>
#include <QCoreApplication>

#include "app/ui/korvane_app.h"
#include "app/ui/test_command.h"
#include "platform/program_paths.h"

int main(int argc, char** argv) {
  // The command-line modes run without a window, so without a display: only a core application
  // object, created before anything that would want a GUI one.
  if (CTestCommand::Wanted(argc, argv) != CTestCommand::NONE) {
    QCoreApplication app(argc, argv);
    CKorvaneApp::InstallLanguage(CKorvaneApp::ChooseLanguage(
        CKorvaneApp::ReadLanguageSetting(CProgramPaths::ProgramPathWithExtension(QStringLiteral(".ini")))));
    return CTestCommand::Main(app.arguments());
  }
  QApplication app(argc, argv);
  return CKorvaneApp::Run(app);
}
