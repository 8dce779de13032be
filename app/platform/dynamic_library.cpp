// Covered by tests/dynamic_library_test.cpp.
#include "platform/dynamic_library.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "platform/program_paths.h"

CDynamicLibrary::CDynamicLibrary() = default;

CDynamicLibrary::~CDynamicLibrary() = default;

QStringList CDynamicLibrary::ListPluginLibraries(const QString& folder) {
#if defined(Q_OS_WIN)
  const QString pattern = QStringLiteral("*.dll");
#elif defined(Q_OS_MACOS)
  const QString pattern = QStringLiteral("*.dylib");
#else
  const QString pattern = QStringLiteral("*.so");
#endif
  if (folder.isEmpty()) return {};
  QDir dir(folder);
  // QDir::Files includes links to files; broken links and folders named like a library are
  // left out. No sorting here: it is done below, independent of locale and QDir's rules.
  QDir::Filters filters = QDir::Files | QDir::Hidden;
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
  filters |= QDir::CaseSensitive;  // "x.SO" is not a library name here
#endif
  QStringList names = dir.entryList({pattern}, filters, QDir::Unsorted);
  std::sort(names.begin(), names.end(),
            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseSensitive) < 0; });
  QStringList paths;
  paths.reserve(names.size());
  for (const QString& name : names) paths.append(dir.absoluteFilePath(name));
  return paths;
}

QStringList CDynamicLibrary::ListPluginLibraries() {
  return ListPluginLibraries(CProgramPaths::ProgramFolder());
}

bool CDynamicLibrary::Load(const QString& path) {
  if (m_loaded) Unload();
  m_error.clear();
  const QFileInfo info(path);
  // An absolute path keeps QLibrary from searching the system's library folders.
  m_library.setFileName(info.absoluteFilePath());
  m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
  if (!m_library.load()) {
    m_error = m_library.errorString();
    return false;
  }
  m_loaded = true;
  return true;
}

QFunctionPointer CDynamicLibrary::Resolve(const char* name) {
  m_error.clear();
  if (!m_loaded) {
    m_error = m_library.errorString();
    return nullptr;
  }
  QFunctionPointer f = m_library.resolve(name);
  if (!f) m_error = m_library.errorString();
  return f;
}

bool CDynamicLibrary::Unload() {
  m_error.clear();
  if (!m_loaded) return false;
  m_loaded = false;
  if (!m_library.unload()) {
    m_error = m_library.errorString();
    return false;
  }
  return true;
}
