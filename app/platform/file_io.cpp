// Covered by tests/file_io_test.cpp.
#include "platform/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtEndian>
#include <algorithm>
#include <cerrno>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace {

void SetDetail(QString* detail, const QString& text) {
  if (detail) *detail = text;
}

// Large enough that a usual file goes in one call; the plan may make it smaller.
constexpr qint64 kWriteChunk = qint64(1) << 20;

thread_local CFileFaultPlan* t_plan = nullptr;

int PlanError() { return t_plan && t_plan->error != 0 ? t_plan->error : ENOSPC; }

// Before the write call carrying `wanted` bytes: how many it may write (a short write gives
// fewer), or -1 when the plan makes it fail.
qint64 PlannedWrite(qint64 wanted) {
  if (!t_plan) return wanted;
  const int call = ++t_plan->writeCalls;
  if (call == t_plan->failWrite) return -1;
  if (call == t_plan->shortWrite && wanted > 1) return wanted / 2;
  return wanted;
}

bool PlannedFailure(bool CFileFaultPlan::*step) { return t_plan && t_plan->*step; }

bool PlannedCommitFailure() {
  if (!t_plan) return false;
  ++t_plan->commits;
  return t_plan->failCommit;
}

qint64 ChunkSize() { return t_plan && t_plan->chunkBytes > 0 ? t_plan->chunkBytes : kWriteChunk; }

// The file that a write to `path` replaces: the target of a symbolic link, else path itself.
QString WriteTarget(const QString& path) {
  const QFileInfo info(path);
  if (!info.isSymLink()) return path;
  const QString target = info.symLinkTarget();
  return target.isEmpty() ? path : target;
}

// A fresh name beside target for the new content; hidden, so that folder listings do not show a
// write in progress.
QString TemporaryName(const QString& target) {
  const QFileInfo info(target);
  return info.dir().filePath(QStringLiteral(".%1.%2.tmp")
                                 .arg(info.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

}  // namespace

void CFileIo::SetFaultPlan(CFileFaultPlan* plan) { t_plan = plan; }

EFileError CFileIo::ReadAll(const QString& path, qint64 maxBytes, QByteArray* data, QString* detail,
                            FileStamp* stamp) {
  data->clear();
  SetDetail(detail, QString());
  if (stamp) *stamp = FileStamp();
  const QFileInfo info(path);
  if (!info.exists()) return EFileError::NotFound;
  if (info.isDir()) {
    SetDetail(detail, qt_error_string(EISDIR));
    return EFileError::OpenFailed;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    SetDetail(detail, file.errorString());
    return EFileError::OpenFailed;
  }
  if (stamp) {
#if defined(Q_OS_UNIX)
    struct stat st;
    if (::fstat(file.handle(), &st) == 0) {
      stamp->size = st.st_size;
      stamp->device = st.st_dev;
      stamp->inode = st.st_ino;
      stamp->modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
      stamp->changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    }
#else
    *stamp = Stamp(path);
#endif
  }
  if (maxBytes < 0) maxBytes = 0;
  // The size is only a hint: it is 0 for pipes and many special files, and the file may grow
  // while it is read; the loop below enforces the limit on what is actually read.
  if (!file.isSequential() && file.size() > maxBytes) {
    if (stamp) *stamp = FileStamp();
    return EFileError::TooLarge;
  }
  QByteArray buffer;
  const qint64 chunk = 64 * 1024;
  for (;;) {
    const qint64 room = maxBytes + 1 - buffer.size();  // one byte more tells "too large"
    if (room <= 0) break;
    const qsizetype old = buffer.size();
    buffer.resize(old + qsizetype(std::min(chunk, room)));
    const qint64 got = file.read(buffer.data() + old, buffer.size() - old);
    if (got < 0) {
      SetDetail(detail, file.errorString());
      if (stamp) *stamp = FileStamp();
      return EFileError::ReadFailed;
    }
    buffer.resize(old + qsizetype(got));
    if (got == 0) break;
  }
  if (buffer.size() > maxBytes) {
    if (stamp) *stamp = FileStamp();
    return EFileError::TooLarge;
  }
  *data = std::move(buffer);
  return EFileError::None;
}

#if defined(Q_OS_UNIX)

FileStamp CFileIo::Stamp(const QString& path) {
  FileStamp stamp;
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return stamp;
  stamp.size = st.st_size;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return stamp;
}

EFileError CFileIo::WriteAll(const QString& path, QByteArrayView data, QString* detail) {
  SetDetail(detail, QString());
  const QString target = WriteTarget(path);
  const QByteArray targetName = QFile::encodeName(target);
  struct stat old;
  const bool exists = ::stat(targetName.constData(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    SetDetail(detail, qt_error_string(EISDIR));
    return EFileError::WriteFailed;
  }

  // The new content goes to a file of its own; created with O_EXCL so that it is never someone
  // else's file, with the umask's permissions, or the old file's when there is one.
  QByteArray tempName;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    tempName = QFile::encodeName(TemporaryName(target));
    fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetDetail(detail, qt_error_string(errno));
    return EFileError::WriteFailed;
  }
  auto fail = [&](int error) {
    if (fd >= 0) ::close(fd);
    ::unlink(tempName.constData());
    SetDetail(detail, qt_error_string(error));
    return EFileError::WriteFailed;
  };
  if (exists) (void)::fchmod(fd, old.st_mode & 07777);  // best effort: the content matters more

  // Every byte must be written: a short write is followed by another call, which then reports
  // why the rest does not fit (ENOSPC, EFBIG, EIO, ...).
  const char* p = data.data();
  qint64 left = data.size();
  const qint64 chunk = ChunkSize();
  while (left > 0) {
    const qint64 wanted = std::min(left, chunk);
    const qint64 allowed = PlannedWrite(wanted);
    if (allowed < 0) return fail(PlanError());
    const ssize_t n = ::write(fd, p, size_t(allowed));
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    if (n == 0) return fail(EIO);  // no progress and no reason: never loop on it
    p += n;
    left -= n;
  }
  // The data must be on the disk before the rename makes it the file, or a crash could leave an
  // empty file in place of the old one. A file system without the call (EINVAL) has nothing to
  // flush that a reader could miss.
  if (PlannedFailure(&CFileFaultPlan::failFlush)) return fail(PlanError());
  if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) return fail(errno);
  // Network file systems report late write errors only here.
  const bool closeFailsByPlan = PlannedFailure(&CFileFaultPlan::failClose);
  const int closed = ::close(fd);
  const int closeError = errno;
  fd = -1;
  if (closeFailsByPlan) return fail(PlanError());
  if (closed != 0 && closeError != EINTR) return fail(closeError);
  if (PlannedCommitFailure()) return fail(PlanError());
  if (::rename(tempName.constData(), targetName.constData()) != 0) return fail(errno);
  // Make the rename itself lasting; the file is already complete either way.
  const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
  const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return EFileError::None;
}

bool CFileIo::Remove(const QString& path, QString* detail) {
  SetDetail(detail, QString());
  const QByteArray name = QFile::encodeName(path);
  struct stat st;
  if (::lstat(name.constData(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  if (S_ISDIR(st.st_mode)) {
    SetDetail(detail, qt_error_string(EISDIR));
    return false;
  }
  if (PlannedCommitFailure()) {
    SetDetail(detail, qt_error_string(PlanError()));
    return false;
  }
  if (::unlink(name.constData()) != 0 && errno != ENOENT) {
    SetDetail(detail, qt_error_string(errno));
    return false;
  }
  return true;
}

#else  // not Unix: the same steps through QSaveFile, which flushes and renames on commit

FileStamp CFileIo::Stamp(const QString& path) {
  FileStamp stamp;
  const QFileInfo info(path);
  if (!info.exists()) return stamp;
  stamp.size = info.size();
  stamp.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
  stamp.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
  return stamp;
}

EFileError CFileIo::WriteAll(const QString& path, QByteArrayView data, QString* detail) {
  SetDetail(detail, QString());
  QSaveFile file(WriteTarget(path));
  // No fallback to writing the target directly: a half-written file would replace good data.
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    SetDetail(detail, file.errorString());
    return EFileError::WriteFailed;
  }
  const char* p = data.data();
  qint64 left = data.size();
  const qint64 chunk = ChunkSize();
  while (left > 0) {
    const qint64 wanted = std::min(left, chunk);
    const qint64 allowed = PlannedWrite(wanted);
    const qint64 n = allowed < 0 ? -1 : file.write(p, allowed);
    if (n <= 0) {
      SetDetail(detail, allowed < 0 ? qt_error_string(PlanError()) : file.errorString());
      file.cancelWriting();
      return EFileError::WriteFailed;
    }
    p += n;
    left -= n;
  }
  if (PlannedFailure(&CFileFaultPlan::failFlush) || PlannedFailure(&CFileFaultPlan::failClose) ||
      !file.flush()) {
    SetDetail(detail, file.errorString().isEmpty() ? qt_error_string(PlanError()) : file.errorString());
    file.cancelWriting();
    return EFileError::WriteFailed;
  }
  if (PlannedCommitFailure()) {
    SetDetail(detail, qt_error_string(PlanError()));
    file.cancelWriting();
    return EFileError::WriteFailed;
  }
  if (!file.commit()) {
    SetDetail(detail, file.errorString());
    return EFileError::WriteFailed;
  }
  return EFileError::None;
}

bool CFileIo::Remove(const QString& path, QString* detail) {
  SetDetail(detail, QString());
  QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return true;
  if (info.isDir() && !info.isSymLink()) {
    SetDetail(detail, qt_error_string(EISDIR));
    return false;
  }
  if (PlannedCommitFailure()) {
    SetDetail(detail, qt_error_string(PlanError()));
    return false;
  }
  QFile file(path);
  if (file.remove()) return true;
  SetDetail(detail, file.errorString());
  return false;
}

#endif

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
