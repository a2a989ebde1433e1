#include "TestRows.h"
#include "TestSupport.h"
#include "changes/EnvironmentChanges.h"

#include "environments/Environments.h"
#include "framework/Controls.h"
#include "session/BuildLog.h"

#include <memory>
#include <vector>

void ResetProgramState() {
  // Journals of a test of their own: an uninstall must never see another test's installs.
  static TTempFolder journals;
  static int next = 0;
  SetJournalFolder(journals / ("Journal" + std::to_string(++next)));
  ResetEnvironments();
  BuildLog.reset();
  StandardMode = false;
}

void SetRow(int index, const std::string &rootDir, bool isDelphi, bool isCLX, bool isDotNet,
            const std::string &edition, int version) {
  static std::vector<std::unique_ptr<TLabel>> labels;
  labels.push_back(std::make_unique<TLabel>("Status"));
  TEnviron &row = Environments[std::size_t(index)];
  row = TEnviron{};
  row.RootDir = rootDir;
  row.IsDelphi = isDelphi;
  row.IsCLX = isCLX;
  row.IsDotNet = isDotNet;
  row.Edition = edition;
  row.IsStandard = edition == "STD";
  row.Version = version;
  row.ProductVersion = isDotNet ? version + 6 : version;
  row.StatusLabel = labels.back().get();
  if (EnvironmentCount <= index)
    EnvironmentCount = index + 1;
}
