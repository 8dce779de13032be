// The regex workspace file (".rws"): a little-endian byte stream without header or tags.
//
//   int32 version (3 when written), int32 work mode, float32 pattern share, float32 text share,
//   int32 match flags, string pattern, string subject text, string replace-to text,
//   version >= 2 only: int32 current snapshot id, int32 record count N, N snapshot records:
//     int32 id, int32 parent id, int32 flags, int32 creation time (seconds since 1970 UTC),
//     string pattern, string name.
//   version >= 3 only, the test cases:
//     int32 text count T, T strings: the distinct subject and expected replaced texts, each
//       written once however many tests (in the workspace and its snapshots) share it;
//     test set: the workspace's tests;
//     int32 count K, K times: int32 snapshot id, test set (the snapshots that keep tests).
//   then, optionally (older files end before it), int32 document options: bit 1 classic
//     backtracking.
//   A test set is an int32 count, then the tests:
//     string name, int32 subject (index into the texts), int32 own options (0 or 1),
//     int32 options, int32 expectation (ETestExpectation), int32 compare groups (0 or 1),
//     int32 match count M, M times: int32 start, int32 end, int32 group count G, G strings;
//     int32 expected replaced text (index into the texts),
//     int32 piece count P, P strings.
//   then, only when the workspace has breakpoints, the breakpoint section (older builds ignore
//   it as bytes after the last record, so the version stays 3):
//     int32 tag 0x504B5242 ("BRKP"), int32 count B, B times: int32 span start, int32 span end,
//     int32 condition (0 none, 1 text position, 2 hit count), int32 condition value.
//   then, only when the test time limit is not the default, the test settings section (after
//     the breakpoints, so that a reader that knows only those still finds them first):
//     int32 tag 0x4D494C54 ("TLIM"), int32 byte count L, L bytes: int32 time limit of each test
//     in ms (a longer section is read as far as known, the rest skipped).
//   then, only when the workspace's chosen flavours are not the default choice, the flavours
//     section (last, so that a reader that knows only the sections before it stops at its tag
//     and ignores it): int32 tag 0x56414C46 ("FLAV"), int32 byte count L, L bytes: int32 count
//     N, N strings (the flavour names, such as "python"); a longer section is read as far as
//     known, the rest skipped.
//   then, only when a test must pass in other flavours, the test flavours section (after the
//     flavours section, for the same reason): int32 tag 0x564C4654 ("TFLV"), int32 byte count L,
//     L bytes: int32 set count S, S times: int32 set (0 the workspace's tests, else a snapshot
//     id), int32 entry count E, E times: int32 test index in the set, int32 count N, N strings
//     (flavour names). An entry for a test or a snapshot the file does not have is ignored.
//   A string is an int32 count of UTF-16 code units, then the units as UTF-16LE.
//
// Writer and reader work on bytes in memory; the document does the file and the messages.
// Standard library only (the reader is fuzzed on its own). Covered by
// app/document/files/tests/workspace_file_test.cpp and fuzz/workspace_fuzz.cpp.
#ifndef KORVANE_WORKSPACE_FILE_H
#define KORVANE_WORKSPACE_FILE_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/document/files/snapshot.h"

// A breakpoint as the file keeps it: the pattern span of its element and its condition.
struct WorkspaceBreakpoint {
  int start = 0;
  int end = 0;
  int condition = 0;
  int value = 0;
  bool operator==(const WorkspaceBreakpoint& o) const {
    return start == o.start && end == o.end && condition == o.condition && value == o.value;
  }
};

struct WorkspaceData {
  int version = 3;
  int mode = 1;
  float patternShare = 0.2f;
  float textShare = 0.5f;
  int flags = 0;
  std::vector<unsigned short> pattern;
  std::vector<unsigned short> subject;
  std::vector<unsigned short> replaceTo;
  int currentSnapshot = 0;
  // The records as they come in the file (children arrays are not stored).
  std::vector<std::unique_ptr<Snapshot>> snapshots;  // version 3: with their tests
  // The workspace's tests (version 3; older files have none: an empty set). Never null after
  // a successful Read.
  std::shared_ptr<const TestSet> tests;
  // Document options kept after the tests (version 3; false when the file ends before them).
  bool classic = false;  // searches backtrack classically (CMatchContext::m_bClassic)
  // Breakpoints (the optional section after the tests; none in older files). Read as written:
  // the document drops those whose span no element of the pattern has.
  std::vector<WorkspaceBreakpoint> breakpoints;
  // How long each test may run (the optional test settings section; the default in older
  // files). Clamped to kMinTestTimeLimitMs..kMaxTestTimeLimitMs when read.
  int testTimeLimitMs = kDefaultTestTimeLimitMs;
  // The flavours the Flavours pane compares with (the optional flavours section); when the file
  // has none, `hasFlavours` is false and the document takes its default choice. Names are kept
  // as written: the document drops the ones it does not know.
  bool hasFlavours = false;
  std::vector<std::vector<unsigned short>> flavours;
};

enum class EWorkspaceError {
  None,
  Truncated,   // the file ends inside a field, or a count is larger than the rest of the file
  BadCount,    // a negative count
};

class CWorkspaceFile {
 public:
  static constexpr int kVersion = 3;
  // Bits of the document options word after the tests.
  static constexpr int kOptionClassic = 1;
  // The match option bits the file keeps; other bits in a file are dropped when it is read.
  static constexpr int kFlagMask = 0x3F;
  // The tags of the optional sections after the document options word.
  static constexpr int kBreakpointTag = 0x504B5242;    // "BRKP" as little-endian bytes
  static constexpr int kTestSettingsTag = 0x4D494C54;  // "TLIM"
  static constexpr int kFlavoursTag = 0x56414C46;      // "FLAV"
  static constexpr int kTestFlavoursTag = 0x564C4654;  // "TFLV"

  // Writes version 3: the fields of `data` except its version and its snapshot list, then the
  // tree's records in the iteration order of its table, then the tests of the workspace and of
  // the snapshots (in the same order). A null test set is written as an empty one.
  static std::string Write(const WorkspaceData& data, const CSnapshotTree& tree);

  // Reads a whole file. Versions below 2 have no snapshot section (and are reported as 1);
  // version 2 has no tests; versions above 3 are read as 3. Test counts and text indexes are
  // checked before anything is allocated (a count larger than the rest of the file can hold is
  // Truncated, a negative count or an index outside the texts BadCount); options are masked like
  // the workspace's, and an expectation number this program does not know is kept (the test
  // then reports an error). Tests of a snapshot id no record has are dropped. Work modes outside 1..5 become 1, shares that are not
  // finite or lie outside 0..1 take their defaults, unknown flag bits are dropped, snapshot
  // records with an id below 1 are skipped, and of two records with one id the later is kept.
  // Bytes after the last record are ignored. Nothing larger than the file is ever allocated.
  // On failure `out` holds what was read so far; the caller discards it. `errorAt`, when given,
  // receives the offset of the field that could not be read (the count or index that is
  // impossible, or the field the file ends in).
  static EWorkspaceError Read(const unsigned char* bytes, size_t size, WorkspaceData* out,
                              size_t* errorAt = nullptr);
  // Whether the first bytes look like the start of a workspace any version of the program
  // writes (a version from 1 to 1000, a work mode from 0 to 5, pane shares between 0 and 1): a
  // file that fails to read is then a damaged workspace, otherwise no workspace at all.
  static bool LooksLikeWorkspace(const unsigned char* bytes, size_t size);
};

#endif
