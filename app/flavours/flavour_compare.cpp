// A flavour's answer beside Korvane's (see flavour_compare.h).
#include "app/flavours/flavour_compare.h"

const char* CellStatusName(CellStatus status) {
  switch (status) {
    case CellStatus::Same: return "same";
    case CellStatus::Differs: return "differs";
    case CellStatus::Error: return "error";
    case CellStatus::Timeout: return "timeout";
    case CellStatus::NotInstalled: return "not-installed";
    case CellStatus::Unrepresentable: return "unrepresentable";
  }
  return "error";
}

FlavourCell CompareWithKorvane(const FlavourAnswer& korvane, const FlavourAnswer& flavour, int subject) {
  FlavourCell cell;
  switch (flavour.outcome) {
    case FlavourOutcome::NotInstalled:
      cell.status = CellStatus::NotInstalled;
      cell.message = flavour.error;
      return cell;
    case FlavourOutcome::RunnerFailed:
    case FlavourOutcome::CompileError:
      cell.status = CellStatus::Error;
      cell.message = flavour.error;
      return cell;
    case FlavourOutcome::Compiled:
      break;
  }
  const size_t i = static_cast<size_t>(subject);
  if (subject < 0 || i >= flavour.subjects.size()) {
    cell.message = QStringLiteral("no answer for this subject");
    return cell;
  }
  const SubjectAnswer& theirs = flavour.subjects[i];
  switch (theirs.status) {
    case SubjectStatus::Unrepresentable:
      cell.status = CellStatus::Unrepresentable;
      cell.message = theirs.error;
      return cell;
    case SubjectStatus::Timeout:
      cell.status = CellStatus::Timeout;
      return cell;
    case SubjectStatus::Error:
    case SubjectStatus::Failed:
      cell.status = CellStatus::Error;
      cell.message = theirs.error;
      return cell;
    case SubjectStatus::Ok:
      break;
  }
  if (korvane.outcome != FlavourOutcome::Compiled || i >= korvane.subjects.size()) {
    cell.status = CellStatus::Differs;  // it compiled, Korvane did not
    return cell;
  }
  const SubjectAnswer& ours = korvane.subjects[i];
  if (ours.status == SubjectStatus::Timeout) {
    cell.status = CellStatus::Timeout;
    cell.message = QStringLiteral("Korvane ran out of time on this subject");
    return cell;
  }
  if (ours.status != SubjectStatus::Ok) {
    cell.status = CellStatus::Differs;
    return cell;
  }
  cell.status = ours.matches == theirs.matches && ours.truncated == theirs.truncated ? CellStatus::Same : CellStatus::Differs;
  return cell;
}
