// A flavour's answer beside Korvane's, subject by subject: the cell of the matrix.
//
//   same             both found the same matches, spans and groups alike
//   differs          both answered and the matches differ, or only one of them compiled
//   error            the flavour rejected the pattern (compile error), hit a run-time error,
//                    or its runner failed
//   timeout          the flavour or Korvane ran out of time on the subject
//   not-installed    the flavour's runtime is missing
//   unrepresentable  the subject holds a lone surrogate the flavour cannot take
//
// Covered by app/flavours/tests/flavour_pool_test.cpp.
#ifndef KORVANE_FLAVOURS_FLAVOUR_COMPARE_H
#define KORVANE_FLAVOURS_FLAVOUR_COMPARE_H

#include "app/flavours/flavour_answer.h"

enum class CellStatus { Same, Differs, Error, Timeout, NotInstalled, Unrepresentable };

struct FlavourCell {
  CellStatus status = CellStatus::Error;
  QString message;  // the error, or what is missing; empty for same / differs
};

FlavourCell CompareWithKorvane(const FlavourAnswer& korvane, const FlavourAnswer& flavour, int subject);
// "same", "differs", "error", "timeout", "not-installed", "unrepresentable".
const char* CellStatusName(CellStatus status);

#endif
