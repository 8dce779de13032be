// The korvane program: a desktop workbench for regular expressions. The one place in the user
// interface that reaches the command-line modes (app/cli/): the layer check allows it here only.
#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include "app/cli/test_command.h"
#include "app/ui/frame/korvane_app.h"
#include "platform/program_paths.h"

namespace {

// The language of the INI file beside the program, for a run that stands no window.
void InstallLanguageForCommandLine() {
  CKorvaneApp::InstallLanguage(CKorvaneApp::ChooseLanguage(
      CKorvaneApp::ReadLanguageSetting(CProgramPaths::ProgramPathWithExtension(QStringLiteral(".ini")))));
}

}  // namespace

int main(int argc, char** argv) {
  // The command-line modes run without a window, so without a display: only a core application
  // object, created before anything that would want a GUI one.
  if (CTestCommand::Wanted(argc, argv) != CTestCommand::NONE) {
    QCoreApplication app(argc, argv);
    InstallLanguageForCommandLine();
    return CTestCommand::Main(app.arguments());
  }
  QApplication app(argc, argv);
  // Qt has taken its own options out of the arguments by now; what is left and looks like an
  // option is one nobody knows: refuse it before a window stands.
  const QString unknown = CTestCommand::UnknownWindowOption(app.arguments());
  if (!unknown.isEmpty()) {
    InstallLanguageForCommandLine();
    QTextStream err(stderr);
    return CTestCommand::RefuseOption(unknown, err);
  }
  return CKorvaneApp::Run(app);
}
