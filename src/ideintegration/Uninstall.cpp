#include "Uninstall.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Controls.h"
#include "session/BuildLog.h"

namespace {
std::string Caption(int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  return row.CheckBox ? row.CheckBox->Caption() : EnvironmentRegistryKey(index);
}
} // namespace

TUninstallOutcome UninstallQuivex(int index) {
  TUninstallOutcome outcome;
  AppendToBuildLog("Uninstalling Quivex from " + Caption(index));
  outcome.Report = UninstallEnvironment(EnvironmentRegistryKey(index), JournalFolder());
  if (outcome.Report.Journals == 0) {
    AppendToBuildLog("Nothing to uninstall: no change of this program is recorded for " + Caption(index) +
                     ".");
    outcome.Status = TUninstallOutcome::NothingRecorded;
    return outcome;
  }
  for (const auto &line : UndoReportLines(outcome.Report, "undone"))
    AppendToBuildLog(line);
  outcome.Status = outcome.Report.Failed.empty() ? TUninstallOutcome::Undone : TUninstallOutcome::Failed;
  return outcome;
}
