#include "EnvironmentJournal.h"
#include "BuildLog.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Controls.h"
#include "framework/Exception.h"

namespace {

std::string Caption(int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  return row.CheckBox ? row.CheckBox->Caption() : EnvironmentRegistryKey(index);
}

void LogUndo(const TUndoReport &report) {
  if (report.Undone == 0 && report.ChangedSince.empty() && report.Failed.empty())
    return; // nothing had changed yet
  for (const auto &line : UndoReportLines(report, "undone"))
    AppendToBuildLog(line);
}

} // namespace

void RunWithJournal(TBuildHost &host, int index, const std::function<void()> &work) {
  if (TChangeScope::Current()) {
    work();
    return;
  }
  TChangeScope scope(Caption(index), EnvironmentRegistryKey(index),
                     {host.DestinationBase, host.SourceFolder});
  try {
    work();
  } catch (const EAbort &) {
    LogUndo(scope.Rollback());
    throw;
  } catch (const std::exception &error) {
    TUndoReport report = scope.Rollback();
    try {
      host.ReportBuildError(index, error);
    } catch (...) {
      LogUndo(report);
      throw;
    }
  }
  scope.Commit();
}
