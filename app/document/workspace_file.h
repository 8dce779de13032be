// The regex workspace file (".rws"): a little-endian byte stream without header or tags.
//
//   int32 version (2 when written), int32 work mode, float32 pattern share, float32 text share,
//   int32 match flags, string pattern, string subject text, string replace-to text,
//   version >= 2 only: int32 current snapshot id, int32 record count N, N snapshot records:
//     int32 id, int32 parent id, int32 flags, int32 creation time (seconds since 1970 UTC),
//     string pattern, string name.
//   A string is an int32 count of UTF-16 code units, then the units as UTF-16LE.
//
// Writer and reader work on bytes in memory; the document does the file and the messages.
// Standard library only (the reader is fuzzed on its own). Covered by
// app/document/tests/workspace_file_test.cpp and fuzz/workspace_fuzz.cpp.
#ifndef KORVANE_WORKSPACE_FILE_H
#define KORVANE_WORKSPACE_FILE_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/document/snapshot.h"

struct WorkspaceData {
  int version = 2;
  int mode = 1;
  float patternShare = 0.2f;
  float textShare = 0.5f;
  int flags = 0;
  std::vector<unsigned short> pattern;
  std::vector<unsigned short> subject;
  std::vector<unsigned short> replaceTo;
  int currentSnapshot = 0;
  // The records as they come in the file (children arrays are not stored).
  std::vector<std::unique_ptr<Snapshot>> snapshots;
};

enum class EWorkspaceError {
  None,
  Truncated,   // the file ends inside a field, or a count is larger than the rest of the file
  BadCount,    // a negative count
};

class CWorkspaceFile {
 public:
  static constexpr int kVersion = 2;
  // The match option bits the file keeps; other bits in a file are dropped when it is read.
  static constexpr int kFlagMask = 0x3F;

  // Writes version 2: the fields of `data` except its version and its snapshot list, then the
  // tree's records in the iteration order of its table.
  static std::string Write(const WorkspaceData& data, const CSnapshotTree& tree);

  // Reads a whole file. Versions below 2 have no snapshot section (and are reported as 1);
  // versions above 2 are read as 2. Work modes outside 1..5 become 1, shares that are not
  // finite or lie outside 0..1 take their defaults, unknown flag bits are dropped, snapshot
  // records with an id below 1 are skipped, and of two records with one id the later is kept.
  // Bytes after the last record are ignored. Nothing larger than the file is ever allocated.
  // On failure `out` holds what was read so far; the caller discards it.
  static EWorkspaceError Read(const unsigned char* bytes, size_t size, WorkspaceData* out);
};

#endif
