// How the window names a snapshot wherever it lists snapshots (the snapshot tree, the Tests
// pane's table of tests against snapshots): its name, or else the start of its pattern followed
// by an ellipsis. Header-only and here, beside the other pieces the views share, so that the two
// panes agree on it without including each other.
#ifndef KORVANE_SNAPSHOT_CAPTION_H
#define KORVANE_SNAPSHOT_CAPTION_H

#include <QString>

#include "app/document/files/snapshot.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

// The longest start of an unnamed snapshot's pattern a caption shows.
inline constexpr int kSnapshotCaptionLength = 20;

inline QString SnapshotCaption(const Snapshot& s) {
  if (!s.name.empty())
    return QString(reinterpret_cast<const QChar*>(s.name.data()), static_cast<int>(s.name.size()));
  const QString pattern(reinterpret_cast<const QChar*>(s.pattern.data()), static_cast<int>(s.pattern.size()));
  if (pattern.size() > kSnapshotCaptionLength)
    return pattern.left(kSnapshotCaptionLength) + CStringTable::Str(IDS_FMT_SNAPSHOT_ELLIPSIS);
  return pattern;
}

#endif
