// Whole-file reads and writes. Writes replace a file only when the new content is complete.
// Covered by tests/file_io_test.cpp.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// What went wrong. The detail text that the functions can also return is the system's own
// description of the error (for example "No space left on device"); the messages around it come
// from the string tables, chosen by the caller.
enum class EFileError {
  None,
  NotFound,     // the file does not exist
  OpenFailed,   // it exists but cannot be opened (permissions, a folder, ...)
  TooLarge,     // longer than the caller's limit; nothing is returned
  ReadFailed,   // an error while reading
  WriteFailed,  // cannot create, write, flush or rename into place; the old file is unchanged
};

// Identifies one version of a file on disk: a write through WriteAll always gives a new stamp,
// because it renames a new file into place. Invalid (size -1) for a file that does not exist.
struct FileStamp {
  qint64 size = -1;
  quint64 device = 0;
  quint64 inode = 0;
  qint64 modifiedNs = 0;
  qint64 changedNs = 0;
  bool IsValid() const { return size >= 0; }
  bool operator==(const FileStamp& o) const {
    return size == o.size && device == o.device && inode == o.inode && modifiedNs == o.modifiedNs &&
           changedNs == o.changedNs;
  }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// Test-only fault injection. While a plan is installed, WriteAll and Remove consult it at each
// step and count the steps they take, so that a test can first learn how many write calls a
// real save makes and then fail each of them in turn. A failed step behaves exactly as the
// system's failure would (the same clean-up and error); a short write writes fewer bytes than
// asked, as a nearly full disk does. One plan at a time, for the thread that installed it; the
// program never installs one.
struct CFileFaultPlan {
  int failWrite = 0;        // the n-th write call (from 1) fails; 0 for none
  int shortWrite = 0;       // the n-th write call writes only half of its bytes; 0 for none
  bool failFlush = false;   // forcing the data to the disk fails
  bool failClose = false;   // closing the new file fails
  bool failCommit = false;  // renaming it into place fails (Remove: deleting fails)
  int error = 0;            // the system error to fail with; 0 for "no space left on device"
  qint64 chunkBytes = 0;    // when above 0, no write call carries more bytes than this
  // Counted by the file functions while the plan is installed.
  int writeCalls = 0;
  int commits = 0;
};

// All functions are thread-safe; two writers of the same path each produce a complete file and
// the later rename wins.
class CFileIo {
 public:
  // A limit that no file this program reads legitimately comes near.
  static constexpr qint64 kDefaultReadLimit = qint64(256) << 20;

  // Reads the whole file into data. Files longer than maxBytes give TooLarge (also for files
  // whose size is not known in advance, such as pipes: reading stops after maxBytes + 1 bytes).
  // On any error data is left empty. `stamp`, when given, receives the stamp of the version
  // that was read (taken when the file was opened, so a later change always shows as a
  // different stamp).
  static EFileError ReadAll(const QString& path, qint64 maxBytes, QByteArray* data,
                            QString* detail = nullptr, FileStamp* stamp = nullptr);
  // Writes data to a new file beside path, forces it to the disk, then renames it over path, so
  // that readers see either the old or the complete new file, never a part, also after a crash.
  // Every write, the flush, the close and the rename are checked: on any failure the new file is
  // removed, path is left byte for byte as it was, and WriteFailed is returned with the
  // system's reason in `detail`. A symbolic link at path stays a link: its target is replaced.
  // An existing file keeps its permission bits.
  static EFileError WriteAll(const QString& path, QByteArrayView data, QString* detail = nullptr);
  // Deletes the file. True when the file no longer exists afterwards (also when it never did);
  // otherwise `detail` says why.
  static bool Remove(const QString& path, QString* detail = nullptr);
  // The stamp of the file as it is now; invalid when it does not exist.
  static FileStamp Stamp(const QString& path);

  // UTF-16LE for the files the program reads back. The code units are copied as they are, so
  // unpaired surrogates survive a round trip. An odd trailing byte is ignored.
  static QByteArray EncodeUtf16Le(QStringView text, bool withByteOrderMark = false);
  static QString DecodeUtf16Le(QByteArrayView bytes, bool skipByteOrderMark = false);
  static EFileError ReadUtf16Le(const QString& path, qint64 maxBytes, QString* text,
                                bool skipByteOrderMark = false, QString* detail = nullptr);
  static EFileError WriteUtf16Le(const QString& path, QStringView text,
                                 bool withByteOrderMark = false, QString* detail = nullptr);

  // Installs a fault plan (null removes it); test code only. The plan must outlive its use.
  static void SetFaultPlan(CFileFaultPlan* plan);
};
