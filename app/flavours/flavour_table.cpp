// The flavour table and where the runners are (see flavour_table.h).
#include "app/flavours/flavour_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/platform/profile.h"

#ifndef KORVANE_BUILD_RUNNERS_DIR
#define KORVANE_BUILD_RUNNERS_DIR ""
#endif

const std::vector<FlavourInfo>& AllFlavours() {
  // Native runners take the flavour as their argument; the python runner takes the module.
  static const std::vector<FlavourInfo> table = {
      {"korvane", "Korvane", "", "", "", ""},
      {"pcre2", "PCRE2", "", "korvane-runner-native", "pcre2", "libpcre2-16-0"},
      {"php", "PHP (preg)", "php", "runner.php", "", "php-cli"},
      {"js", "JavaScript (node)", "node", "runner.js", "", "nodejs"},
      {"python", "Python (re)", "python3", "runner.py", "re", "python3"},
      {"python-regex", "Python (regex)", "python3", "runner.py", "regex", "python3-regex"},
      {"java", "Java", "java", "KorvaneRunner.class", "", "openjdk-17-jre-headless"},
      {"dotnet", ".NET (mono)", "mono", "KorvaneRunner.exe", "", "mono-runtime libmono-system4.0-cil"},
      {"ruby", "Ruby", "ruby", "runner.rb", "", "ruby"},
      {"perl", "Perl", "perl", "runner.pl", "", "perl"},
      {"posix-ere", "POSIX ERE (glibc)", "", "korvane-runner-native", "posix-ere", "libc6"},
      {"posix-bre", "POSIX BRE (glibc)", "", "korvane-runner-native", "posix-bre", "libc6"},
      {"cpp-ecmascript", "C++ std::regex ECMAScript", "", "korvane-runner-native", "cpp-ecmascript", "libstdc++6"},
      {"cpp-basic", "C++ std::regex basic", "", "korvane-runner-native", "cpp-basic", "libstdc++6"},
      {"cpp-extended", "C++ std::regex extended", "", "korvane-runner-native", "cpp-extended", "libstdc++6"},
      {"cpp-awk", "C++ std::regex awk", "", "korvane-runner-native", "cpp-awk", "libstdc++6"},
      {"cpp-grep", "C++ std::regex grep", "", "korvane-runner-native", "cpp-grep", "libstdc++6"},
      {"cpp-egrep", "C++ std::regex egrep", "", "korvane-runner-native", "cpp-egrep", "libstdc++6"},
      {"re2", "RE2", "", "korvane-runner-re2", "", "libre2-dev"},
      // Built only where the engine's development files were at build time.
      {"icu", "ICU (uregex)", "", "korvane-runner-icu", "", "libicu-dev"},
      {"boost", "Boost.Regex", "", "korvane-runner-boost", "", "libboost-regex-dev"},
      {"oniguruma", "Oniguruma", "", "korvane-runner-onig", "", "libonig-dev"},
      // `go run runner.go`: compiled on the first start, then taken from go's build cache.
      {"go", "Go (regexp)", "go", "runner.go", "", "golang-go"},
  };
  return table;
}

const FlavourInfo* FindFlavour(const QString& name) {
  for (const FlavourInfo& f : AllFlavours())
    if (name == QLatin1String(f.name)) return &f;
  return nullptr;
}

QStringList FlavourNames() {
  QStringList names;
  for (const FlavourInfo& f : AllFlavours()) names << QString::fromLatin1(f.name);
  return names;
}

FlavourSettings FlavourSettings::FromEnvironment() {
  FlavourSettings s;
  for (const FlavourInfo& f : AllFlavours()) {
    if (f.InProcess()) continue;
    QString key = QString::fromLatin1(f.name).toUpper();
    key.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QByteArray value = qgetenv(("KORVANE_" + key + "_INTERPRETER").toLatin1().constData());
    if (!value.isEmpty()) s.interpreters.insert(QString::fromLatin1(f.name), QString::fromLocal8Bit(value));
  }
  return s;
}

namespace {
const QString kInterpretersSection = QStringLiteral("Flavours\\Interpreters");
}  // namespace

QString FlavourSettings::StoredInterpreter(const QString& flavour) {
  return CProfile().GetString(kInterpretersSection, flavour, QString()).trimmed();
}

void FlavourSettings::SetInterpreter(const QString& flavour, const QString& interpreter) {
  CProfile profile;
  profile.WriteString(kInterpretersSection, flavour, interpreter.trimmed());
  profile.Flush();
}

FlavourSettings FlavourSettings::Current() {
  FlavourSettings s = FromEnvironment();
  for (const FlavourInfo& f : AllFlavours()) {
    if (f.InProcess() || !*f.interpreter) continue;
    const QString name = QString::fromLatin1(f.name);
    if (s.interpreters.contains(name)) continue;  // the environment's comes first
    const QString stored = StoredInterpreter(name);
    if (!stored.isEmpty()) s.interpreters.insert(name, stored);
  }
  return s;
}

QString RunnersFolder() {
  const QByteArray env = qgetenv("KORVANE_RUNNERS_DIR");
  if (!env.isEmpty()) return QDir::cleanPath(QString::fromLocal8Bit(env));
  if (QCoreApplication::instance()) {
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/korvane/runners"));
    if (QFileInfo(installed).isDir()) return installed;
  }
  return QDir::cleanPath(QStringLiteral(KORVANE_BUILD_RUNNERS_DIR));
}

namespace {

// An interpreter as the user gave it: a path is taken as it is, a bare name is looked up in PATH.
QString FindProgram(const QString& program) {
  if (program.contains(QLatin1Char('/'))) {
    const QFileInfo fi(program);
    return fi.isFile() && fi.isExecutable() ? fi.absoluteFilePath() : QString();
  }
  return QStandardPaths::findExecutable(program);
}

}  // namespace

FlavourLaunch LaunchFor(const FlavourInfo& info, const QString& runnersFolder, const FlavourSettings& settings) {
  FlavourLaunch l;
  l.flavour = QString::fromLatin1(info.name);
  l.package = QString::fromLatin1(info.package);
  if (info.InProcess()) return l;
  const QString folder = runnersFolder.isEmpty() ? QStringLiteral(".") : runnersFolder;
  l.runnerFile = folder + QLatin1Char('/') + QString::fromLatin1(info.runner);
  const QStringList extra = QString::fromLatin1(info.arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts);
  const QString install = QStringLiteral("not installed: apt-get install ") + l.package;
  if (!*info.interpreter) {
    // A native runner: built with the program, absent when its library was missing at build time.
    l.program = l.runnerFile;
    l.arguments = extra;
    const QFileInfo fi(l.program);
    if (!fi.isFile() || !fi.isExecutable())
      l.notInstalled = install + QStringLiteral(", then rebuild (no runner ") + l.program + QLatin1Char(')');
    return l;
  }
  QString interpreter = settings.interpreters.value(l.flavour);
  const bool chosen = !interpreter.isEmpty();
  if (!chosen) {
    interpreter = QString::fromLatin1(info.interpreter);
    // Debian's own python3 carries the regex module; a python3 found first in PATH may not.
    if (interpreter == QLatin1String("python3") && QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
      interpreter = QStringLiteral("/usr/bin/python3");
  }
  l.program = FindProgram(interpreter);
  if (l.program.isEmpty()) {
    l.program = interpreter;
    l.notInstalled = chosen ? QStringLiteral("not installed: no interpreter ") + interpreter +
                                  QStringLiteral(" (the flavour's interpreter setting)")
                            : install;
    return l;
  }
  if (l.flavour == QLatin1String("java"))
    l.arguments << QStringLiteral("-cp") << folder << QStringLiteral("KorvaneRunner");
  else if (l.flavour == QLatin1String("go"))
    l.arguments << QStringLiteral("run") << l.runnerFile;
  else
    l.arguments << l.runnerFile;
  l.arguments << extra;
  return l;
}

bool FlavourInstalled(const QString& name) {
  const FlavourInfo* info = FindFlavour(name);
  return info && LaunchFor(*info, RunnersFolder(), FlavourSettings::FromEnvironment()).notInstalled.isEmpty();
}
