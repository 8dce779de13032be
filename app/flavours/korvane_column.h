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

#include <atomic>

#include "app/flavours/flavour_answer.h"

// The generic flag letters as the engine's option bits; false when a letter is not one of imsx.
bool KorvaneFlagBits(const QString& letters, int* bits);

// `stop`, when given and set, ends the work at the next look at the clock: the subjects not
// done are answered as timed out (the pool sets it when it goes away, so that it never waits for
// a whole request of slow subjects).
FlavourAnswer RunKorvaneColumn(const FlavourRequest& request, const std::atomic<bool>* stop = nullptr);

// What the korvane column's header shows.
QString KorvaneEngineName();
QString KorvaneEngineVersion();

#endif
