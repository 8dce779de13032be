// Whole-file reads and writes. Writes replace a file only when the new content is complete.
// Covered by tests/file_io_test.cpp.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// What went wrong. The detail text that the functions can also return is the system's own
// description (from Qt) for diagnostics; messages for the user come from the string tables,
// chosen by this code.
enum class EFileError {
  None,
  NotFound,     // the file does not exist
  OpenFailed,   // it exists but cannot be opened (permissions, a folder, ...)
  TooLarge,     // longer than the caller's limit; nothing is returned
  ReadFailed,   // an error while reading
  WriteFailed,  // cannot create, write or rename into place; the old file is unchanged
};

// All functions are thread-safe; two writers of the same path each produce a complete file and
// the later rename wins.
class CFileIo {
 public:
  // A limit that no file this program reads legitimately comes near.
  static constexpr qint64 kDefaultReadLimit = qint64(256) << 20;

  // Reads the whole file into data. Files longer than maxBytes give TooLarge (also for files
  // whose size is not known in advance, such as pipes: reading stops after maxBytes + 1 bytes).
  // On any error data is left empty.
  static EFileError ReadAll(const QString& path, qint64 maxBytes, QByteArray* data,
                            QString* detail = nullptr);
  // Writes data to a temporary file beside path, then renames it into place, so that readers
  // see either the old or the complete new file, never a part.
  static EFileError WriteAll(const QString& path, QByteArrayView data, QString* detail = nullptr);
  // Deletes the file. True when the file no longer exists afterwards (also when it never did).
  static bool Remove(const QString& path);

  // UTF-16LE for the files the program reads back. The code units are copied as they are, so
  // unpaired surrogates survive a round trip. An odd trailing byte is ignored.
  static QByteArray EncodeUtf16Le(QStringView text, bool withByteOrderMark = false);
  static QString DecodeUtf16Le(QByteArrayView bytes, bool skipByteOrderMark = false);
  static EFileError ReadUtf16Le(const QString& path, qint64 maxBytes, QString* text,
                                bool skipByteOrderMark = false, QString* detail = nullptr);
  static EFileError WriteUtf16Le(const QString& path, QStringView text,
                                 bool withByteOrderMark = false, QString* detail = nullptr);
};
