// The document's text clips with their file and the clips version shared by every running copy
// of the program.
//
// The clips file lies beside the program (its path with the extension ".clips"), or in the
// per-user data folder when the program's folder is not writable. Every running copy may change
// it, so every change is a read-modify-write under a lock file beside it ("<clips file>.lock"):
// take the lock, read the file again unless it is still the version this copy last read or
// wrote, apply this copy's change to what it holds, write it (to a new file renamed into place),
// increment the shared version, release the lock. A change names its clip by the clip's text
// (texts are unique), not by its row, so it means the same clip in the file as in this copy's
// list; a change to a clip that another copy has deleted meanwhile does nothing.
//
// A change that cannot be written now (the lock is held too long, the disk is full) stays in
// this copy's list and in its journal of unwritten changes, and is applied again, to the file as
// it then is, at the next change, the next version check and when the document goes. A copy
// that sees a version other than its own reloads the file.
//
// A clips file that cannot be read completely (larger than kReadLimit, a read error, an odd
// number of bytes) is never written or deleted: this copy leaves it alone for the rest of its
// run and keeps its clips in the fallback file (the same name in the per-user data folder), or,
// when there is none or that cannot be read either, only in memory. The user is told once.
//
// UI thread only. Covered by app/document/files/tests/clips_test.cpp (with other processes,
// clips_peer.cpp) and doc_files_test.cpp.
#ifndef KORVANE_TEXT_CLIPS_H
#define KORVANE_TEXT_CLIPS_H

#include <QString>
#include <vector>

#include "app/document/files/clips_format.h"
#include "platform/file_io.h"

class CSharedCounter;

class CTextClips {
 public:
  enum class ESave {
    Unchanged,  // there was nothing to write
    Saved,      // the file was written
    Deleted,    // there are no clips and the file is gone
    Busy,       // another copy held the lock too long; nothing was written, the change waits
    Failed,     // the file could not be written or deleted; the change waits
    InMemory,   // no file can take the clips (see above); they are kept in memory
  };

  // The largest clips file that is read. It is read and parsed on the UI thread at start-up and
  // whenever another copy changed it, at roughly 10 ms per MB (app/document/bench/
  // clips_load_bench), so the limit keeps that to a small fraction of a second; a user's clips
  // are nowhere near it.
  static constexpr qint64 kReadLimit = qint64(16) << 20;

  // Uses the default location (see SetDefaultLocation).
  CTextClips();
  // Where the clips live: the file, the shared version counter (not owned; it must outlive this
  // object) and the fallback file for a clips file that cannot be read (empty: none). An empty
  // path means the file beside the program with the per-user fallback; a null counter means
  // the process's shared clips version.
  void SetLocation(const QString& path, CSharedCounter* counter, const QString& fallbackPath = QString());
  // The location that new objects take (for tests and tools, before any document is made).
  static void SetDefaultLocation(const QString& path, CSharedCounter* counter,
                                 const QString& fallbackPath = QString());
  static QString DefaultPath();
  // The same file name in the per-user data folder; empty when that is `path` itself.
  static QString DefaultFallbackPath(const QString& path);
  // The file the clips are written to now: the clips file, the fallback after the clips file
  // proved unreadable, or empty when the clips are kept in memory only.
  const QString& Path() const { return m_path; }

  // --- the list: each change is applied here at once and then written (see above) ---
  // The index of the new or existing clip in the list as it is after the write.
  int AddClip(const std::vector<unsigned short>& text, const std::vector<unsigned short>& name);
  // Puts the clip at `index` of the list as this copy shows it; in the file it goes before the
  // clip that follows it here (or to the end). Returns where it is after the write.
  int InsertClip(int index, const std::vector<unsigned short>& text, const std::vector<unsigned short>& name);
  void RemoveClip(int index);
  void ClearClips();
  void SetClipName(int index, const std::vector<unsigned short>& name);
  const CTextClipList& List() const { return m_list; }
  int Count() const { return m_list.Count(); }
  // The result of the last write attempt of a change.
  ESave LastSave() const { return m_lastSave; }

  // --- the file ---
  // Replaces the clips with the file's content. Changes not yet written are applied on top, so
  // they stay visible. A missing file gives no clips; a file that cannot be read completely is
  // left behind (see above).
  void LoadClips();
  // Writes the changes not yet written (read-modify-write).
  ESave SaveClips();
  // Reads the shared version and loads the file, as a document does when it is made.
  void Open();
  // After a change made through the views: writes what is still unwritten.
  ESave Publish();
  // Writes what is unwritten; then, when the shared version differs from ours, reloads the
  // file. True when the list changed.
  bool CheckVersion();
  // Before the document goes: writes what is still unwritten (waiting longer for the lock).
  // Clips that were only loaded are not written back.
  void Close();

  int Version() const { return m_nVersion; }
  bool HasUnsavedChanges() const { return !m_journal.empty(); }
  // A message for the user about the clips file, or empty: that it could not be read completely
  // (once per run), or that a change could not be written (once until a write succeeds again).
  // Taking it clears it.
  QString TakeNotice();

 private:
  // One change of the list, replayed on the file's content by every write until it is written.
  struct Change {
    enum EKind { Add, Insert, Remove, Rename };
    EKind kind;
    std::vector<unsigned short> text;    // the clip it is about
    std::vector<unsigned short> name;    // Add, Insert: the new clip's name; Rename: the new name
    std::vector<unsigned short> before;  // Insert: the clip it goes before (when !atEnd)
    bool atEnd = false;                  // Insert: it goes to the end
    int index = 0;                       // Insert: where it goes when `before` is gone
  };
  enum class ERead { Read, Missing, Unreadable };

  static void Apply(CTextClipList* list, const Change& change);
  ERead ReadFile(const QString& path, CTextClipList* list, FileStamp* stamp, QString* reason) const;
  // Records the changes, applies them to the list and writes.
  void Record(std::vector<Change> changes);
  ESave Commit(int waitMs);
  // The clips file proved unreadable: leave it alone from now on (see above).
  void LeaveUnreadableFile(const QString& reason);
  int ReadCounter() const;

  CTextClipList m_list;   // what this copy shows: the file's content with the journal applied
  CTextClipList m_base;   // the file's content at m_stamp, when m_bBaseKnown
  FileStamp m_stamp;
  bool m_bBaseKnown = false;
  std::vector<Change> m_journal;  // changes not yet written, oldest first
  QString m_path;
  QString m_fallbackPath;
  CSharedCounter* m_pCounter = nullptr;
  int m_nVersion = 0;  // the shared version this copy's clips correspond to
  ESave m_lastSave = ESave::Unchanged;
  QString m_notice;
  bool m_bUnreadableTold = false;
  bool m_bFailureTold = false;
};

#endif
