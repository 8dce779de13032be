// Covered by tests/file_io_test.cpp.
#include "platform/file_io.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>

namespace {

void SetDetail(QString* detail, const QString& text) {
  if (detail) *detail = text;
}

}  // namespace

EFileError CFileIo::ReadAll(const QString& path, qint64 maxBytes, QByteArray* data,
                            QString* detail) {
  data->clear();
  SetDetail(detail, QString());
  const QFileInfo info(path);
  if (!info.exists()) return EFileError::NotFound;
  if (info.isDir()) return EFileError::OpenFailed;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    SetDetail(detail, file.errorString());
    return EFileError::OpenFailed;
  }
  if (maxBytes < 0) maxBytes = 0;
  // The size is only a hint: it is 0 for pipes and many special files, and the file may grow
  // while it is read; the loop below enforces the limit on what is actually read.
  if (!file.isSequential() && file.size() > maxBytes) return EFileError::TooLarge;
  QByteArray buffer;
  const qint64 chunk = 64 * 1024;
  for (;;) {
    const qint64 room = maxBytes + 1 - buffer.size();  // one byte more tells "too large"
    if (room <= 0) return EFileError::TooLarge;
    const qsizetype old = buffer.size();
    buffer.resize(old + qsizetype(std::min(chunk, room)));
    const qint64 got = file.read(buffer.data() + old, buffer.size() - old);
    if (got < 0) {
      SetDetail(detail, file.errorString());
      return EFileError::ReadFailed;
    }
    buffer.resize(old + qsizetype(got));
    if (got == 0) break;
  }
  if (buffer.size() > maxBytes) return EFileError::TooLarge;
  *data = std::move(buffer);
  return EFileError::None;
}

EFileError CFileIo::WriteAll(const QString& path, QByteArrayView data, QString* detail) {
  SetDetail(detail, QString());
  QSaveFile file(path);
  // No fallback to writing the target directly: a half-written file would replace good data.
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly)) {
    SetDetail(detail, file.errorString());
    return EFileError::WriteFailed;
  }
  if (file.write(data.data(), data.size()) != data.size()) {
    SetDetail(detail, file.errorString());
    file.cancelWriting();
    return EFileError::WriteFailed;
  }
  if (!file.commit()) {
    SetDetail(detail, file.errorString());
    return EFileError::WriteFailed;
  }
  return EFileError::None;
}

bool CFileIo::Remove(const QString& path) {
  QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return true;
  if (info.isDir() && !info.isSymLink()) return false;
  return QFile::remove(path);
}

QByteArray CFileIo::EncodeUtf16Le(QStringView text, bool withByteOrderMark) {
  const qsizetype units = text.size() + (withByteOrderMark ? 1 : 0);
  QByteArray bytes(units * 2, Qt::Uninitialized);
  char* out = bytes.data();
  if (withByteOrderMark) {
    qToLittleEndian<quint16>(0xFEFF, out);
    out += 2;
  }
  for (QChar c : text) {
    qToLittleEndian<quint16>(c.unicode(), out);
    out += 2;
  }
  return bytes;
}

QString CFileIo::DecodeUtf16Le(QByteArrayView bytes, bool skipByteOrderMark) {
  const qsizetype units = bytes.size() / 2;
  const char* in = bytes.data();
  qsizetype first = 0;
  if (skipByteOrderMark && units > 0 && qFromLittleEndian<quint16>(in) == 0xFEFF) first = 1;
  QString text(units - first, Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = first; i < units; ++i) *out++ = QChar(qFromLittleEndian<quint16>(in + 2 * i));
  return text;
}

EFileError CFileIo::ReadUtf16Le(const QString& path, qint64 maxBytes, QString* text,
                                bool skipByteOrderMark, QString* detail) {
  text->clear();
  QByteArray bytes;
  const EFileError error = ReadAll(path, maxBytes, &bytes, detail);
  if (error == EFileError::None) *text = DecodeUtf16Le(bytes, skipByteOrderMark);
  return error;
}

EFileError CFileIo::WriteUtf16Le(const QString& path, QStringView text, bool withByteOrderMark,
                                 QString* detail) {
  return WriteAll(path, EncodeUtf16Le(text, withByteOrderMark), detail);
}
