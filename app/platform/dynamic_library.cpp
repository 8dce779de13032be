// Covered by tests/dynamic_library_test.cpp.
#include "platform/dynamic_library.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/program_paths.h"

#if defined(__linux__) || defined(__FreeBSD__) || defined(__NetBSD__) || defined(__OpenBSD__)
#include <elf.h>
#define KORVANE_ELF_LIBRARIES 1
#endif

namespace {

#if defined(KORVANE_ELF_LIBRARIES)
#if UINTPTR_MAX > 0xFFFFFFFFu
typedef Elf64_Ehdr NativeEhdr;
typedef Elf64_Phdr NativePhdr;
const unsigned char kNativeClass = ELFCLASS64;
#else
typedef Elf32_Ehdr NativeEhdr;
typedef Elf32_Phdr NativePhdr;
const unsigned char kNativeClass = ELFCLASS32;
#endif
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
const unsigned char kNativeData = ELFDATA2LSB;
#else
const unsigned char kNativeData = ELFDATA2MSB;
#endif

// The reason a native ELF file cannot be loaded safely, or empty. Files of another class or
// byte order are left to the system loader, which refuses them before mapping anything.
QString CheckElf(QFile& file) {
  const quint64 size = static_cast<quint64>(file.size());
  NativeEhdr header;
  if (file.read(reinterpret_cast<char*>(&header), sizeof header) != static_cast<qint64>(sizeof header)) {
    // Too short even for a header: only an ELF file's start matters here.
    return QString();
  }
  if (memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != kNativeClass ||
      header.e_ident[EI_DATA] != kNativeData)
    return QString();
  if (header.e_phnum == 0) return QStringLiteral("the file has no program headers");
  if (header.e_phentsize != sizeof(NativePhdr)) return QStringLiteral("the file's program headers have an unknown size");
  const quint64 tableEnd = static_cast<quint64>(header.e_phoff) + quint64(header.e_phnum) * sizeof(NativePhdr);
  if (header.e_phoff > size || tableEnd > size)
    return QStringLiteral("the file is truncated (%1 bytes; its program headers end at byte %2)").arg(size).arg(tableEnd);
  if (!file.seek(static_cast<qint64>(header.e_phoff))) return QStringLiteral("the file cannot be read");
  for (int i = 0; i < header.e_phnum; ++i) {
    NativePhdr segment;
    if (file.read(reinterpret_cast<char*>(&segment), sizeof segment) != static_cast<qint64>(sizeof segment))
      return QStringLiteral("the file cannot be read");
    const quint64 offset = segment.p_offset, length = segment.p_filesz;
    if (length == 0) continue;
    if (offset > size || length > size - offset)
      return QStringLiteral("the file is truncated (%1 bytes; a part to be loaded ends at byte %2)")
          .arg(size)
          .arg(offset + length);
  }
  return QString();
}
#endif

}  // namespace

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
  const QString incomplete = CheckComplete(info.absoluteFilePath());
  if (!incomplete.isEmpty()) {
    m_error = incomplete;
    return false;
  }
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

QString CDynamicLibrary::CheckComplete(const QString& path) {
#if defined(KORVANE_ELF_LIBRARIES)
  QFile file(path);
  // A file that cannot be opened is left to the loader, which says why in its own words.
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return QString();
  return CheckElf(file);
#else
  Q_UNUSED(path);
  return QString();
#endif
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
