// The log view on the "Log" page and the report of an environment's failure.
#include "VersionsForm.h"

#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Exception.h"
#include "session/BuildLog.h"

void TVersionsForm::FlushBuildLog() {
  if (BuildLog)
    Memo1.SetLines(*BuildLog);
  // Inside a run the view stays locked with the rest of the window until the run ends.
  Button4.SetEnabled(!runInProgress_ && !Memo1.Lines().empty());
  Memo1.ScrollToEnd(); // the end of the log is what the user wants to see after a run
  BuildLog.reset();
}

void TVersionsForm::ReportBuildError(int index, const std::exception &error) {
  LogBuildError(error);
  ShowBuildError(index, error);
  throw EAbort();
}

void TVersionsForm::LogBuildError(const std::exception &error) {
  EnsureBuildLog();
  BuildLog->push_back("EXCEPTION:");
  BuildLog->push_back(error.what());
  BuildLog->push_back(std::string(44, '-'));
}

void TVersionsForm::ShowBuildError(int index, const std::exception &) {
  ShowStatus(index, "ERROR");
  PageControl1.SetActivePage(&TabSheet2);
}

void TVersionsForm::Button4Click(TControl &) {
  SourceFolder = Edit1.Text();
  DestinationBase = DestinationFolder(SourceFolder + "\\");
  std::string path = DestinationBase + "\\Log.txt";
  SaveLines(path, Memo1.Lines());
  Application().Desktop().StartProgram("notepad " + path); // a failure to start it is not reported
}
