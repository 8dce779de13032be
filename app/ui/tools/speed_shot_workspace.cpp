// speed_shot_workspace: writes the workspaces that app/ui/tools/speed_shots.sh opens to show how
// fast Match All is in the window:
//   speed_shot_workspace email OUTPUT.rws   the e-mail pattern on 3 MB of text with addresses
//   speed_shot_workspace fail OUTPUT.rws    (a|b)*c on 1 MB of "abab...", which has no match
//   speed_shot_workspace slow OUTPUT.rws    (a|aa)*?(?:b|c) on 10,000 a's: exponential for any
//                                            backtracker, so the wait dialog and Break show
// The texts are made here (the same every run) so that the pictures can be remade.
#include <QCoreApplication>
#include <QFile>
#include <cstring>
#include <string>

#include "app/document/core/korvane_doc.h"
#include "stringtable.h"

namespace {
std::vector<unsigned short> U16(const std::string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

// Prose lines, every third with an address: about 3 MB.
std::string MailText() {
  static const char* const kNames[] = {"anna", "bert.k", "carla_m", "dev+ops", "emil", "fay.o-brien", "gus", "hana"};
  static const char* const kHosts[] = {"example.com", "mail.example.org", "lists.example.net", "corp.example.co.uk"};
  std::string text;
  text.reserve(3u << 20);
  for (unsigned line = 0; text.size() < (3u << 20); ++line) {
    text += "Line ";
    text += std::to_string(line);
    text += ": the build of the night went well, see the notes and the logs";
    if (line % 3 == 0) {
      text += "; write to ";
      text += kNames[line % 8];
      text += std::to_string(line % 97);
      text += '@';
      text += kHosts[line % 4];
    }
    text += ".\n";
  }
  return text;
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3) return 2;
  CStringTable::SetCurrent(CStringTable::kEnglish);
  CKorvaneDoc doc(nullptr);
  doc.OnNewDocument();
  std::string pattern, subject;
  if (std::strcmp(argv[1], "email") == 0) {
    pattern = "[\\w\\.+-]+@[\\w\\.-]+\\.[\\w\\.-]+";
    subject = MailText();
  } else if (std::strcmp(argv[1], "fail") == 0) {
    pattern = "(a|b)*c";
    for (int i = 0; i < (1 << 19); ++i) subject += "ab";
  } else if (std::strcmp(argv[1], "slow") == 0) {
    pattern = "(a|aa)*?(?:b|c)";
    subject.assign(10000, 'a');
  } else {
    return 2;
  }
  const std::vector<unsigned short> p = U16(pattern), s = U16(subject);
  doc.SetPattern(p.data(), static_cast<int>(p.size()), false);
  doc.SetSubjectText(s.data(), static_cast<int>(s.size()));
  const std::string bytes = doc.WorkspaceBytes();
  QFile out(QString::fromLocal8Bit(argv[2]));
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
    return 1;
  return 0;
}
