// Covered by tests/program_paths_test.cpp.
#include "platform/program_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>

#ifndef KORVANE_PLUGIN_SUBDIR
#define KORVANE_PLUGIN_SUBDIR "../lib/korvane/plugins"
#endif

QString CProgramPaths::ProgramPath() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
#if defined(__linux__)
  // Before the application object exists (and in tools without one).
  const QString path = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  if (!path.isEmpty()) return path;
#endif
  return QString();
}

QString CProgramPaths::ProgramFolder() {
  const QString path = ProgramPath();
  return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

QString CProgramPaths::ProgramPathWithExtension(const QString& extension) {
  const QString path = ProgramPath();
  return path.isEmpty() ? QString() : ReplaceExtension(path, extension);
}

QString CProgramPaths::ReplaceExtension(const QString& path, const QString& extension) {
  qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
#if defined(Q_OS_WIN)
  nameStart = std::max(nameStart, path.lastIndexOf(QLatin1Char('\\')) + 1);
#endif
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  if (dot > nameStart) return path.left(dot) + extension;
  return path + extension;
}

QString CProgramPaths::UserDataFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
  if (folder.isEmpty()) return QString();
  QDir().mkpath(folder);
  return folder;
}

bool CProgramPaths::IsFolderWritable(const QString& folder) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".korvane-write-test-XXXXXX")));
  return probe.open();  // removed again when probe goes out of scope
}

QString CProgramPaths::WritableFileBesideProgram(const QString& extension) {
  return WritableFileBeside(ProgramPath(), extension, UserDataFolder());
}

QString CProgramPaths::WritableFileBeside(const QString& programPath, const QString& extension,
                                          const QString& fallbackFolder) {
  if (programPath.isEmpty()) return QString();
  const QFileInfo program(programPath);
  const bool besideProgram = !IsInstalledProgram(programPath) && IsFolderWritable(program.absolutePath());
  if (besideProgram || fallbackFolder.isEmpty())
    return ReplaceExtension(program.absoluteFilePath(), extension);
  const QString name = ReplaceExtension(program.fileName(), extension);
  return QDir(fallbackFolder).filePath(name);
}

QString CProgramPaths::InstalledPluginSubfolder() { return QStringLiteral(KORVANE_PLUGIN_SUBDIR); }

QString CProgramPaths::InstalledPluginFolder(const QString& programPath) {
  if (programPath.isEmpty()) return QString();
  const QDir folder = QFileInfo(programPath).absoluteDir();
  return QDir::cleanPath(folder.absoluteFilePath(InstalledPluginSubfolder()));
}

bool CProgramPaths::IsInstalledProgram(const QString& programPath) {
  const QString folder = InstalledPluginFolder(programPath);
  return !folder.isEmpty() && QFileInfo(folder).isDir();
}

QStringList CProgramPaths::PluginFolders() { return PluginFolders(ProgramPath()); }

QStringList CProgramPaths::PluginFolders(const QString& programPath) {
  if (programPath.isEmpty()) return {};
  if (IsInstalledProgram(programPath)) return {InstalledPluginFolder(programPath)};
  return {QFileInfo(programPath).absolutePath()};
}
