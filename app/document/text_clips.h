// The document's text clips with their file and the clips version shared by every running copy
// of the program.
//
// The clips file lies beside the program (its path with the extension ".clips"), or in the
// per-user data folder when the program's folder is not writable. A write goes to a temporary
// file that is renamed into place, under a lock file beside it ("<clips file>.lock") that keeps
// out the other copies' writers: a copy that finds the lock taken skips its write, keeps its clips
// in memory and marks them unsaved, and tries again at the next change, the next version check or
// when it closes. After each write the shared version is incremented; a copy that sees a version
// other than its own reloads the file.
//
// UI thread only. Covered by app/document/tests/clips_test.cpp (with a second process,
// clips_peer.cpp).
#ifndef KORVANE_TEXT_CLIPS_H
#define KORVANE_TEXT_CLIPS_H

#include <QString>

#include "app/document/clips_format.h"

class CSharedCounter;

class CTextClips {
 public:
  enum class ESave {
    Saved,    // the file was written
    Deleted,  // there are no clips and the file is gone
    Busy,     // another copy is writing the file; nothing was written
    Failed,   // the file could not be written or deleted
  };

  // Uses the default location (see SetDefaultLocation).
  CTextClips();
  // Where the clips live: the file, and the shared version counter (not owned; it must outlive
  // this object). An empty path means the file beside the program; a null counter means the
  // process's shared clips version.
  void SetLocation(const QString& path, CSharedCounter* counter);
  // The location that new objects take (for tests and tools, before any document is made).
  static void SetDefaultLocation(const QString& path, CSharedCounter* counter);
  static QString DefaultPath();
  const QString& Path() const { return m_path; }

  // --- the list (each change marks the clips unsaved) ---
  int AddClip(const std::vector<unsigned short>& text, const std::vector<unsigned short>& name);
  int InsertClip(int index, const std::vector<unsigned short>& text, const std::vector<unsigned short>& name);
  void RemoveClip(int index);
  void ClearClips();
  void SetClipName(int index, const std::vector<unsigned short>& name);
  const CTextClipList& List() const { return m_list; }
  int Count() const { return m_list.Count(); }

  // --- the file ---
  // Replaces the clips with the file's content; a missing or unreadable file gives none.
  void LoadClips();
  // Writes the clips, or deletes the file when there are none.
  ESave SaveClips();
  // Reads the shared version and loads the file, as a document does when it is made.
  void Open();
  // After a change made through the views: SaveClips, then, when the file changed, increment
  // the shared version and keep the new value (so that this copy does not reload its own write).
  ESave Publish();
  // When the shared version differs from ours: reload the file and return true. Unsaved clips
  // are not thrown away for another copy's file: they are published instead (false).
  bool CheckVersion();
  // Before the document goes: publishes clips whose write was skipped or failed. Clips that
  // were only loaded are not written back, so a copy that closes never overwrites another
  // copy's newer file with its older list.
  void Close();

  int Version() const { return m_nVersion; }
  bool HasUnsavedChanges() const { return m_bUnsaved; }

 private:
  int ReadCounter() const;

  CTextClipList m_list;
  QString m_path;
  CSharedCounter* m_pCounter = nullptr;
  int m_nVersion = 0;     // the shared version this copy's clips correspond to
  bool m_bUnsaved = false;
};

#endif
