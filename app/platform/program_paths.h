// Where the program lies and where its files go: the program's path and folder, files beside it
// with another extension, the per-user data folder, whether a folder is writable, and the folders
// that plugin libraries are loaded from.
// Covered by tests/program_paths_test.cpp.
#pragma once

#include <QString>
#include <QStringList>

class CProgramPaths {
 public:
  // Full path of the running executable; empty if it cannot be found out. Uses the
  // application object when there is one, else the operating system's own record.
  static QString ProgramPath();
  // The folder holding the executable, without a trailing separator.
  static QString ProgramFolder();
  // The program's path with its extension replaced by extension (which includes its dot, as in
  // ".clips"); see ReplaceExtension.
  static QString ProgramPathWithExtension(const QString& extension);
  // Replaces everything from the last dot of the file name (not of the folders above it) with
  // extension. A file name without a dot, or whose only dot is its first character, has no
  // extension, and extension is appended.
  static QString ReplaceExtension(const QString& path, const QString& extension);

  // The per-user data folder of the application (QStandardPaths' AppLocalDataLocation), created
  // if missing. Empty when there is none.
  static QString UserDataFolder();
  // True when a file can actually be created in folder (tried with a temporary file, which also
  // catches read-only file systems and access rules that permission bits do not show).
  static bool IsFolderWritable(const QString& folder);

  // For a file the program writes as well as reads (the clips): the program's path with the
  // extension replaced when the program's folder is writable and the program is not installed,
  // else the same file name in the per-user data folder, so that the file is never silently lost
  // and an installed program never writes into its bin folder (not even when run by a user who
  // may). Reads use the same path, so a copy the program could not replace is never read back as
  // current.
  static QString WritableFileBesideProgram(const QString& extension);
  // The same choice for a given program path and fallback folder.
  static QString WritableFileBeside(const QString& programPath, const QString& extension,
                                    const QString& fallbackFolder);

  // The library folder of an installed program, relative to the folder of the program
  // ("../lib/korvane/plugins" for the usual layout; set by the build).
  static QString InstalledPluginSubfolder();
  // The library folder that belongs to the program at programPath (whether it exists or not).
  static QString InstalledPluginFolder(const QString& programPath);
  // True when the program at programPath lies in an installed tree: its library folder exists.
  // A program run from its build folder has none.
  static bool IsInstalledProgram(const QString& programPath);
  // Where plugin libraries are looked for: the library folder of an installed program, else
  // the program's own folder (a build folder). An installed program's own folder is a shared
  // bin folder (/usr/bin holds the system's ld.so, for one): loading every library found there
  // would run code that was never meant as a plugin. For the running program, or for the
  // program at programPath.
  static QStringList PluginFolders();
  static QStringList PluginFolders(const QString& programPath);
};
