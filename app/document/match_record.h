// One search step's result as the document keeps it: the engine's MatchResult with its elapsed
// time and its place in the results list, shared by counted handles (the results list, the
// current and last result, the replace result's segments).
#ifndef KORVANE_MATCH_RECORD_H
#define KORVANE_MATCH_RECORD_H

#include <memory>

#include "app/host_engine.h"

struct MatchRecord {
  MatchResult result;
  double elapsed = -1.0;  // seconds; -1 when not measured
  int sequence = -1;      // 10 x index in the results list; 10k - 5 between entries k - 1 and k; -1 outside
};

typedef std::shared_ptr<MatchRecord> MatchHandle;

inline MatchHandle NewMatchRecord() { return std::make_shared<MatchRecord>(); }

#endif
