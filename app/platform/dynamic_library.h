// Finding the plugin libraries beside the program, loading one, looking up its exports.
// Covered by tests/dynamic_library_test.cpp (with a small test library).
#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

// One loaded library. Not copyable; used on the UI thread only.
//
// The destructor does not unload: a library whose code may still be referenced (callbacks,
// objects it made) must be released on purpose, with Unload, once its users are gone.
class CDynamicLibrary {
 public:
  CDynamicLibrary();
  ~CDynamicLibrary();
  CDynamicLibrary(const CDynamicLibrary&) = delete;
  CDynamicLibrary& operator=(const CDynamicLibrary&) = delete;

  // Full paths of every plugin library in folder ("*.so" on Linux and other Unix systems,
  // "*.dylib" on macOS, "*.dll" on Windows; plain files or links to files, matched with the
  // platform's case rules), sorted by file name in code-unit order so that the order is the same
  // on every file system.
  static QStringList ListPluginLibraries(const QString& folder);
  // The same for the program's own folder.
  static QStringList ListPluginLibraries();

  // Loads the library at path, resolving all its symbols at once so that a library with a
  // missing symbol fails here rather than at its first call. A library already loaded is
  // unloaded first. On failure the reason is in ErrorString.
  //
  // A file that is cut short (an interrupted copy or download) is refused before the system
  // loader sees it: the loader maps the parts the file's headers promise, and touching a page
  // past the end of the file kills the process (SIGBUS) instead of failing the load.
  bool Load(const QString& path);
  // Empty when the file at path is no ELF file of this machine's kind (the system loader judges
  // those), or when every part that its program headers ask to be loaded lies inside the file;
  // otherwise why it cannot be loaded safely. Always empty where libraries are no ELF files.
  static QString CheckComplete(const QString& path);
  // The export called name, or null (reason in ErrorString). Exports are found by their plain
  // (extern "C") names.
  QFunctionPointer Resolve(const char* name);
  // Releases the library. True when it was loaded and is released.
  bool Unload();

  bool IsLoaded() const { return m_loaded; }
  QString Path() const { return m_library.fileName(); }
  // The loader's own description of the last failure (empty after a success).
  QString ErrorString() const { return m_error; }

 private:
  QLibrary m_library;
  bool m_loaded = false;
  QString m_error;
};
