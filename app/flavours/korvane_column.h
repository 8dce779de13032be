// Korvane's own column of the matrix: the pattern searched in this process with the engine's
// untraced host build, the build the window's own searches use when nothing is traced (the
// host's dialect, the same element graph), each subject's find-all being the engine's own
// succession of matches. The answer has the shape of every other flavour's, so the comparison
// treats it like theirs.
//
// Korvane's engine reads every pattern (what other engines reject it takes literally), so its
// outcome is always Compiled. A subject's search stops at its time limit (Timeout) or the
// nesting limit (Error).
//
// Threads: any, but the search recurses once per nesting level: run it on a thread with a large
// stack (the pool does: 64 MiB) or the main thread.
//
// Covered by app/flavours/tests/flavour_pool_test.cpp and probe_table_test.cpp.
#ifndef KORVANE_FLAVOURS_KORVANE_COLUMN_H
#define KORVANE_FLAVOURS_KORVANE_COLUMN_H

#include "app/flavours/flavour_answer.h"

// The generic flag letters as the engine's option bits; false when a letter is not one of imsx.
bool KorvaneFlagBits(const QString& letters, int* bits);

FlavourAnswer RunKorvaneColumn(const FlavourRequest& request);

// What the korvane column's header shows.
QString KorvaneEngineName();
QString KorvaneEngineVersion();

#endif
