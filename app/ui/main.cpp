// The korvane program: a desktop workbench for regular expressions.
#include <QApplication>

#include "app/ui/korvane_app.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return CKorvaneApp::Run(app);
}
